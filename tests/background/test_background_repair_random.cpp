#include <background/background_solid_optimization.hpp>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/predicates.hpp>

#include <tests/background/repair_fixtures.hpp>
#include <tests/support/solid_checks.hpp>
#include <tests/support/solid_modifier_checks.hpp>

namespace
{
    using orvane::index_t;
    using orvane::local_index_t;
    using orvane::MeshVertex;
    using orvane::Point;
    using orvane::Vector;
    using orvane::TetrahedralSolid;
    using orvane::TetrahedralSolidBuilder;

    constexpr index_t NB_CELLS = 3;

    bool is_star_positive( const TetrahedralSolid< 3 >& solid, index_t vertex )
    {
        for( const auto& around : solid.polyhedra_around_vertex( vertex ) )
        {
            if( orvane::tetrahedron_volume_sign( solid.tetrahedron( around.polyhedron_id ) )
                != orvane::SIDE::positive )
            {
                return false;
            }
        }
        return true;
    }

    bool is_interior( index_t vertex )
    {
        const auto n = NB_CELLS + 1;
        const std::array< index_t, 3 > ijk{ vertex % n, ( vertex / n ) % n, vertex / ( n * n ) };
        return std::all_of( ijk.begin(), ijk.end(),
            []( index_t c ) { return c > 0 && c < NB_CELLS; } );
    }

    /// Moves the vertex to the point unless a tetrahedron around it would
    /// not stay positive.
    bool try_move( TetrahedralSolid< 3 >& solid,
        TetrahedralSolidBuilder< 3 >& builder,
        index_t vertex,
        const Point< 3 >& point )
    {
        const auto old = solid.point( vertex );
        builder.set_point( vertex, point );
        if( is_star_positive( solid, vertex ) )
        {
            return true;
        }
        builder.set_point( vertex, old );
        return false;
    }

    Point< 3 > towards( const Point< 3 >& from, const Point< 3 >& to, double length )
    {
        auto direction = Vector< 3 >{ from, to };
        return from + direction.normalize() * length;
    }

    /// A jittered grid in which interior vertices are pushed within 1e-7 of
    /// a neighbour (needles), of an opposite facet (slivers and caps) or of
    /// an opposite edge (wedges).
    std::unique_ptr< TetrahedralSolid< 3 > > defective_grid( std::mt19937& random )
    {
        auto solid = orvane::test::grid_tetrahedral_solid( NB_CELLS, NB_CELLS, NB_CELLS );
        auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
        std::uniform_real_distribution< double > jitter( -0.2, 0.2 );
        std::uniform_real_distribution< double > unit( 0.15, 0.85 );
        std::uniform_real_distribution< double > gap( 1e-9, 1e-7 );
        for( index_t v = 0; v < solid->nb_vertices(); v++ )
        {
            if( is_interior( v ) )
            {
                const auto p = solid->point( v );
                try_move( *solid, *builder, v,
                    Point< 3 >{ { p.value( 0 ) + jitter( random ),
                        p.value( 1 ) + jitter( random ), p.value( 2 ) + jitter( random ) } } );
            }
        }
        std::vector< index_t > interior;
        for( index_t v = 0; v < solid->nb_vertices(); v++ )
        {
            if( is_interior( v ) )
            {
                interior.push_back( v );
            }
        }
        for( const auto vertex : interior )
        {
            for( int attempt = 0; attempt < 20; attempt++ )
            {
                const auto around = solid->polyhedra_around_vertex( vertex );
                const auto& chosen = around[random() % around.size()];
                const auto tetrahedron = solid->tetrahedron( chosen.polyhedron_id );
                const auto& corners = tetrahedron.vertices();
                const auto self = chosen.vertex_id;
                std::array< local_index_t, 3 > others{};
                local_index_t nb_others{ 0 };
                for( const local_index_t k : { 0, 1, 2, 3 } )
                {
                    if( k != self )
                    {
                        others[nb_others++] = k;
                    }
                }
                const auto& here = corners[self];
                Point< 3 > target;
                switch( random() % 3 )
                {
                case 0: {
                    // Needle: next to another vertex.
                    const auto& near = corners[others[random() % 3]];
                    target = towards( near, here, gap( random ) );
                    break;
                }
                case 1: {
                    // Wedge: next to an opposite edge.
                    const auto a = corners[others[0]];
                    const auto b = corners[others[1 + random() % 2]];
                    const auto t = unit( random );
                    const auto on_edge = a * ( 1 - t ) + b * t;
                    target = towards( on_edge, here, gap( random ) );
                    break;
                }
                default: {
                    // Sliver or cap: next to the opposite facet.
                    const auto s = unit( random );
                    const auto t = unit( random ) * ( 1 - s );
                    const auto on_facet = corners[others[0]] * ( 1 - s - t )
                                          + corners[others[1]] * s
                                          + corners[others[2]] * t;
                    target = towards( on_facet, here, gap( random ) );
                    break;
                }
                }
                if( try_move( *solid, *builder, vertex, target ) )
                {
                    break;
                }
            }
        }
        return solid;
    }

    TEST( BackgroundRepairPasses, epsilon_pass_repairs_jittered_grids_with_defects )
    {
        const orvane::uuid input;
        for( const unsigned seed : { 11u, 29u, 101u, 257u, 1009u, 4099u } )
        {
            SCOPED_TRACE( "seed " + std::to_string( seed ) );
            std::mt19937 random{ seed };
            auto grid = defective_grid( random );
            ASSERT_TRUE( orvane::test::is_valid_tetrahedral_solid( *grid ) );
            // Tracked vertices stand for input vertices.
            orvane::internal::BackgroundSolidTrackedElements tracked;
            std::vector< Point< 3 > > tracked_points;
            for( int k = 0; k < 8; k++ )
            {
                const auto vertex = static_cast< index_t >( random() % grid->nb_vertices() );
                if( std::find( tracked.vertices.begin(), tracked.vertices.end(), vertex )
                    == tracked.vertices.end() )
                {
                    tracked.vertices.push_back( vertex );
                    tracked_points.push_back( grid->point( vertex ) );
                }
            }
            orvane::test::RepairedSolid repaired{
                orvane::test::background_from( std::move( grid ) ), tracked
            };
            auto& solid = *repaired.solid;
            for( const auto vertex : tracked.vertices )
            {
                repaired.builder->add_init_vertex_id( input, vertex, vertex );
            }
            std::size_t nb_defective{ 0 };
            for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
            {
                nb_defective += orvane::test::epsilon_defects( solid, t ).empty() ? 0 : 1;
            }
            ASSERT_GT( nb_defective, 10u );
            try
            {
                orvane::internal::optimize_epsilon_from( repaired.context, 0 );
            }
            catch( const orvane::OpenOrvaneException& error )
            {
                FAIL() << error.what();
            }
            for( const auto tetrahedron : repaired.active_tetrahedra() )
            {
                ASSERT_EQ( orvane::tetrahedron_volume_sign( solid.tetrahedron( tetrahedron ) ),
                    orvane::SIDE::positive )
                    << tetrahedron;
                EXPECT_TRUE( orvane::test::epsilon_defects( solid, tetrahedron ).empty() )
                    << tetrahedron;
            }
            for( std::size_t k = 0; k < tracked.vertices.size(); k++ )
            {
                const auto vertex = tracked.vertices[k];
                const auto now = repaired.modifier->updated_vertex( vertex );
                EXPECT_FALSE( solid.is_vertex_isolated( now ) ) << vertex;
                const auto& records = solid.init_vertex_ids( now );
                EXPECT_NE( std::find( records.begin(), records.end(),
                               MeshVertex{ input, vertex } ),
                    records.end() )
                    << vertex;
                EXPECT_LE( orvane::point_point_distance( solid.point( now ), tracked_points[k] ),
                    orvane::GLOBAL_EPSILON )
                    << vertex;
            }
            EXPECT_TRUE( orvane::test::is_valid_modified_solid( solid ) );
        }
    }
} // namespace
