#include <array>
#include <vector>

#include <gtest/gtest.h>

#include <common/modifier/tetrahedral_collapse_validity.hpp>
#include <common/modifier/tetrahedral_solid_modifier.hpp>

#include <tests/support/solid_fixtures.hpp>
#include <tests/support/solid_modifier_checks.hpp>

namespace
{
    using namespace orvane;
    using Flags = std::vector< std::array< bool, 2 > >;

    constexpr std::array< bool, 2 > BOTH{ true, true };
    constexpr std::array< bool, 2 > FIRST{ true, false };
    constexpr std::array< bool, 2 > SECOND{ false, true };
    constexpr std::array< bool, 2 > NEITHER{ false, false };

    Point< 3 > point( double x, double y, double z )
    {
        return Point< 3 >{ { x, y, z } };
    }

    PolyhedronFacetEdge facet_edge(
        const TetrahedralSolid< 3 >& solid, index_t a, index_t b )
    {
        return solid.polyhedron_facet_edge_from_vertices( { a, b } ).value();
    }
} // namespace

TEST( TetrahedralCollapseValidity, border_facet_scans )
{
    struct Case
    {
        const char* name;
        Flags flags;
        bool edge_on_border;
        bool pattern_breaks;
        bool runs_break;
    };
    const std::vector< Case > cases{
        { "no polyhedron", {}, true, false, false },
        { "one run", { NEITHER, FIRST, NEITHER }, true, false, false },
        { "first-only then second-only", { FIRST, SECOND }, true, true, true },
        { "mixed across a neither", { FIRST, NEITHER, SECOND }, true, true, false },
        { "two runs split by both", { NEITHER, BOTH, NEITHER }, true, false, true },
        { "inner edge starting both", { BOTH, NEITHER }, false, false, true },
        { "border edge starting both", { BOTH, NEITHER }, true, false, false },
        { "inner edge all both", { BOTH, BOTH }, false, false, false },
    };
    for( const auto& test_case : cases )
    {
        SCOPED_TRACE( test_case.name );
        EXPECT_EQ( detail::breaks_border_facet_pattern( test_case.flags ),
            test_case.pattern_breaks );
        EXPECT_EQ( detail::breaks_border_facet_runs(
                       test_case.flags, test_case.edge_on_border ),
            test_case.runs_break );
    }
}

TEST( TetrahedralCollapseValidity, link_condition )
{
    // Around the axis of a closed fan of three, ring vertices 2 and 3 have
    // the ring vertex 4 as common neighbour, but no tetrahedron holds 2, 3
    // and 4.
    const auto fan = test::tetrahedra_fan_around_edge( 3, true );
    EXPECT_TRUE( detail::breaks_link_condition( *fan, facet_edge( *fan, 2, 3 ) ) );
    EXPECT_FALSE( detail::breaks_link_condition( *fan, facet_edge( *fan, 0, 1 ) ) );

    const auto grid = test::grid_tetrahedral_solid( 3, 3, 3 );
    EXPECT_FALSE( detail::breaks_link_condition( *grid, facet_edge( *grid, 21, 22 ) ) );
}

TEST( TetrahedralCollapseValidity, geometry_then_topology )
{
    const auto grid = test::grid_tetrahedral_solid( 3, 3, 3 );
    const auto edge = facet_edge( *grid, 21, 22 );
    EXPECT_TRUE( is_collapse_edge_valid( *grid, edge, grid->edge_barycenter( { 21, 22 } ) ) );
    EXPECT_FALSE( is_collapse_edge_valid( *grid, edge, point( 5, 1, 1 ) ) )
        << "a point far out inverts surviving tetrahedra";

    // A lone tetrahedron: nothing survives, so the geometric test passes,
    // and the border edge keeps the topology.
    const auto single = test::single_tetrahedron();
    EXPECT_TRUE( is_collapse_edge_valid(
        *single, facet_edge( *single, 0, 1 ), point( 0.5, 0, 0 ) ) );
}

TEST( TetrahedralCollapseValidity, inner_edge_between_border_vertices_is_refused )
{
    // The diagonal 0-7 of the six-tetrahedra cube runs inside the cube
    // between two corners: collapsing it would merge two separate pieces of
    // the border into one vertex.
    const auto cube = test::cube_of_six_tetrahedra();
    const auto diagonal = facet_edge( *cube, 0, 7 );
    EXPECT_FALSE( cube->is_edge_on_border( { 0, 7 } ) );
    EXPECT_TRUE( detail::collapse_edge_breaks_topology( *cube, diagonal ) );
    EXPECT_FALSE( is_collapse_edge_valid( *cube, diagonal, point( 0.5, 0.5, 0.5 ) ) );

    // An edge inside one border face between two vertices of that face is
    // fine.
    const auto slab = test::grid_tetrahedral_solid( 3, 3, 1 );
    EXPECT_TRUE( is_collapse_edge_valid(
        *slab, facet_edge( *slab, 5, 6 ), slab->edge_barycenter( { 5, 6 } ) ) );
}

TEST( TetrahedralCollapseValidity, by_edge_index_agrees_with_the_kept_end )
{
    // Collapsing onto a kept end is the collapse to that end's point: the
    // kept end's own tetrahedra do not move.
    auto grid = test::grid_tetrahedral_solid( 2, 2, 2 );
    grid->enable_edges();
    index_t nb_valid{ 0 };
    for( index_t edge = 0; edge < grid->edges().nb_edges(); edge++ )
    {
        const auto vertices = grid->edges().edge_vertices( edge );
        const auto facet = facet_edge( *grid, vertices[0], vertices[1] );
        for( const local_index_t kept : { 0, 1 } )
        {
            const auto valid = is_collapse_edge_valid( *grid, edge, kept );
            EXPECT_EQ( valid, is_collapse_edge_valid(
                                  *grid, facet, grid->point( vertices[kept] ) ) )
                << "edge " << edge << " onto end " << int{ kept };
            nb_valid += valid ? 1 : 0;
        }
    }
    EXPECT_GT( nb_valid, 0u );
}

TEST( TetrahedralCollapseValidity, valid_collapses_keep_the_solid_valid )
{
    // Every collapse the test accepts on a small block leaves a valid solid.
    const auto reference = test::grid_tetrahedral_solid( 2, 2, 2 );
    index_t nb_done{ 0 };
    for( index_t t = 0; t < reference->nb_polyhedra(); t++ )
    {
        for( local_index_t f = 0; f < 4; f++ )
        {
            const PolyhedronFacetEdge edge{ { t, f }, 0 };
            const auto vertices = reference->polyhedron_facet_edge_vertices( edge );
            const auto at = reference->edge_barycenter( vertices );
            if( !is_collapse_edge_valid( *reference, edge, at ) )
            {
                continue;
            }
            auto solid = reference->clone();
            auto& tetrahedral = dynamic_cast< TetrahedralSolid< 3 >& >( *solid );
            auto builder = TetrahedralSolidBuilder< 3 >::create( tetrahedral );
            TetrahedralSolidModifier modifier{ tetrahedral, *builder };
            static_cast< void >( modifier.collapse_edge( edge, at ) );
            EXPECT_TRUE( test::is_valid_modified_solid( tetrahedral ) )
                << "collapse of (" << vertices[0] << ", " << vertices[1] << ")";
            nb_done++;
        }
    }
    EXPECT_GT( nb_done, 0u );
}

namespace
{
    /// A 3x3x2 block whose inner vertices are moved by up to 0.12 of the
    /// cell size along each axis (fixed pseudo-random offsets), edges
    /// enabled.
    std::unique_ptr< TetrahedralSolid< 3 > > jittered_block()
    {
        constexpr std::array< double, 3 > EXTENT{ 3, 3, 2 };
        auto solid = test::grid_tetrahedral_solid( 3, 3, 2 );
        auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
        std::uint32_t state{ 12345 };
        const auto offset = [&state]() {
            state = state * 1664525u + 1013904223u;
            return ( static_cast< double >( state >> 8 ) / 16777216.0 - 0.5 ) * 0.24;
        };
        for( index_t v = 0; v < solid->nb_vertices(); v++ )
        {
            const auto& p = solid->point( v );
            const auto inner = [&p, &EXTENT]( local_index_t axis ) {
                return p.value( axis ) > 0.5 && p.value( axis ) < EXTENT[axis] - 0.5;
            };
            if( inner( 0 ) && inner( 1 ) && inner( 2 ) )
            {
                const auto dx = offset();
                const auto dy = offset();
                const auto dz = offset();
                builder->set_point( v, point( p.value( 0 ) + dx,
                                           p.value( 1 ) + dy, p.value( 2 ) + dz ) );
            }
        }
        solid->enable_edges();
        return solid;
    }
} // namespace

TEST( TetrahedralCollapseValidity, accepted_collapses_leave_only_positive_tetrahedra )
{
    // Every edge of every tetrahedron of a jittered block, collapsed onto
    // either end through both forms of the test: an accepted collapse must
    // leave a valid solid, every live tetrahedron positive.
    const auto reference = jittered_block();
    index_t nb_accepted{ 0 };
    for( index_t t = 0; t < reference->nb_polyhedra(); t++ )
    {
        for( local_index_t f = 0; f < 4; f++ )
        {
            for( local_index_t e = 0; e < 3; e++ )
            {
                const PolyhedronFacetEdge edge{ { t, f }, e };
                const auto vertices = reference->polyhedron_facet_edge_vertices( edge );
                const auto index =
                    reference->edges().edge_from_vertices( vertices ).value();
                for( const local_index_t kept : { 0, 1 } )
                {
                    const auto& at = reference->point(
                        reference->edges().edge_vertices( index )[kept] );
                    const auto by_index = is_collapse_edge_valid( *reference, index, kept );
                    const auto by_facet_edge = is_collapse_edge_valid( *reference, edge, at );
                    ASSERT_EQ( by_index, by_facet_edge )
                        << "tetrahedron " << t << " facet " << int{ f } << " edge "
                        << int{ e } << " kept " << int{ kept };
                    if( !by_index )
                    {
                        continue;
                    }
                    nb_accepted++;
                    // Every third accepted collapse is carried out, through
                    // the two forms in turn, to keep the test fast; the
                    // check looks around the modified tetrahedra.
                    if( nb_accepted % 3 != 0 )
                    {
                        continue;
                    }
                    const auto by_edge_index = nb_accepted % 2 == 0;
                    auto solid = reference->clone();
                    auto& tetrahedral = dynamic_cast< TetrahedralSolid< 3 >& >( *solid );
                    auto builder = TetrahedralSolidBuilder< 3 >::create( tetrahedral );
                    TetrahedralSolidModifier modifier{ tetrahedral, *builder };
                    const auto info = by_edge_index ? modifier.collapse_edge( index, at )
                                                    : modifier.collapse_edge( edge, at );
                    const auto problems = test::modified_solid_problems_around(
                        tetrahedral, info.modified_tetrahedra );
                    ASSERT_TRUE( problems.empty() )
                        << problems.front() << "\ntetrahedron " << t << " facet "
                        << int{ f } << " edge " << int{ e } << " kept " << int{ kept }
                        << ( by_edge_index ? " by edge index" : " by facet edge" );
                }
            }
        }
    }
    EXPECT_GT( nb_accepted, 500u );
}
