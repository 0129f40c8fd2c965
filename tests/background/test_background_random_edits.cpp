#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/geometry/predicates.hpp>

#include <common/modifier/tetrahedral_collapse_validity.hpp>
#include <common/modifier/tetrahedron_preview.hpp>

#include <background/background_solid.hpp>
#include <background/background_solid_modifier.hpp>

#include <tests/background/background_fixtures.hpp>
#include <tests/support/solid_modifier_checks.hpp>

namespace
{
    using namespace orvane;
    using internal::BackgroundSolid;
    using internal::BackgroundSolidBuilder;
    using internal::BackgroundSolidModifier;

    constexpr index_t CELLS = 4;
    constexpr double PLANE = 2.;

    /// The input a background solid stands for: a plane surface made of
    /// the grid's facets at z = 2, a curve along y = z = 2, a few points,
    /// and two blocks below and above the plane. Every element of the
    /// background solid lying on one of them records it.
    struct Input
    {
        uuid surface;
        uuid curve;
        uuid points;
        uuid below;
        uuid above;
        std::vector< Triangle< 3 > > triangles;
        std::vector< Segment< 3 > > segments;
        std::vector< Point< 3 > > vertices;
    };

    /// Random edits through the background-solid modifier that never
    /// destroy an inserted element: facets and edges carrying provenance are
    /// only split, and a collapse removes an end without provenance.
    class RandomBackgroundEditor
    {
    public:
        explicit RandomBackgroundEditor( unsigned seed ) : random_( seed )
        {
            solid_ = orvane::test::background_from( jittered_grid() );
            builder_ = std::make_unique< BackgroundSolidBuilder >( *solid_ );
            modifier_ = std::make_unique< BackgroundSolidModifier >( *solid_, *builder_ );
            record_input();
        }

        /// One random edit; the problems of the solid around what it made.
        std::vector< std::string > step()
        {
            const auto tetrahedron = random_live_tetrahedron();
            const auto nb_before = solid_->nb_polyhedra();
            touched_.clear();
            const auto edit = uniform( 0, 5 );
            if( !run( edit, tetrahedron ) )
            {
                return {};
            }
            done_[edit]++;
            last_edit_ = edit;
            for( auto t = nb_before; t < solid_->nb_polyhedra(); t++ )
            {
                touched_.push_back( t );
            }
            return orvane::test::modified_solid_problems_around( *solid_, touched_ );
        }

        /// Every provenance record of a live element names an input element
        /// that contains it within 1e-6, no list repeats a record, and the
        /// live elements carrying each input element cover it exactly.
        std::vector< std::string > provenance_problems() const;

        std::vector< std::string > full_check() const
        {
            return orvane::test::modified_solid_problems( *solid_ );
        }

        const std::array< int, 6 >& done() const
        {
            return done_;
        }

        /// The name of the last edit made.
        std::string last_edit() const
        {
            constexpr std::array< const char*, 6 > names{ "split_tetrahedron",
                "split_facet", "split_edge", "collapse_edge", "swap_facet",
                "swap_edge" };
            return names[last_edit_];
        }

    private:
        std::unique_ptr< TetrahedralSolid< 3 > > jittered_grid()
        {
            auto solid = orvane::test::grid_tetrahedral_solid( CELLS, CELLS, CELLS );
            auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
            for( index_t k = 1; k < CELLS; k++ )
            {
                for( index_t j = 1; j < CELLS; j++ )
                {
                    for( index_t i = 1; i < CELLS; i++ )
                    {
                        const auto vertex = i + ( CELLS + 1 ) * ( j + ( CELLS + 1 ) * k );
                        auto point = solid->point( vertex );
                        const bool on_plane = point.value( 2 ) == PLANE;
                        const bool on_curve = on_plane && point.value( 1 ) == PLANE;
                        point.set_value( 0, point.value( 0 ) + uniform_real( -0.15, 0.15 ) );
                        if( !on_curve )
                        {
                            point.set_value( 1, point.value( 1 ) + uniform_real( -0.15, 0.15 ) );
                        }
                        if( !on_plane )
                        {
                            point.set_value( 2, point.value( 2 ) + uniform_real( -0.15, 0.15 ) );
                        }
                        builder->set_point( vertex, point );
                    }
                }
            }
            return solid;
        }

        void record_input()
        {
            const auto& solid = *solid_;
            for( index_t f = 0; f < solid.facets().nb_facets(); f++ )
            {
                const auto vertices = solid.facets().facet_vertices( f );
                if( std::all_of( vertices.begin(), vertices.end(), [&]( index_t v ) {
                        return solid.point( v ).value( 2 ) == PLANE;
                    } ) )
                {
                    const index_t facets[] = { f };
                    builder_->add_init_facet_id(
                        input_.surface, static_cast< index_t >( input_.triangles.size() ), facets );
                    input_.triangles.push_back( { solid.point( vertices[0] ),
                        solid.point( vertices[1] ), solid.point( vertices[2] ) } );
                }
            }
            for( index_t e = 0; e < solid.edges().nb_edges(); e++ )
            {
                const auto vertices = solid.edges().edge_vertices( e );
                const auto on_curve = [&]( index_t v ) {
                    return solid.point( v ).value( 2 ) == PLANE
                           && solid.point( v ).value( 1 ) == PLANE;
                };
                if( on_curve( vertices[0] ) && on_curve( vertices[1] ) )
                {
                    const index_t edges[] = { e };
                    builder_->add_edges_init_edge_id(
                        input_.curve, static_cast< index_t >( input_.segments.size() ), edges );
                    input_.segments.push_back(
                        { solid.point( vertices[0] ), solid.point( vertices[1] ) } );
                }
            }
            for( const index_t vertex : { 62u, 31u, 93u } )
            {
                builder_->add_init_vertex_id( input_.points,
                    static_cast< index_t >( input_.vertices.size() ), vertex );
                input_.vertices.push_back( solid.point( vertex ) );
            }
            auto blocks = solid.polyhedron_attribute_manager()
                              .find_or_create_attribute< VariableAttribute, std::vector< uuid > >(
                                  "orvane_macro_block_id", {} );
            for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
            {
                blocks->set_value( t, { solid.polyhedron_barycenter( t ).value( 2 ) < PLANE
                                            ? input_.below
                                            : input_.above } );
            }
        }

        index_t uniform( index_t min, index_t max )
        {
            return std::uniform_int_distribution< index_t >{ min, max }( random_ );
        }

        double uniform_real( double min, double max )
        {
            return std::uniform_real_distribution< double >{ min, max }( random_ );
        }

        index_t random_live_tetrahedron()
        {
            while( true )
            {
                const auto t = uniform( 0, solid_->nb_polyhedra() - 1 );
                if( modifier_->is_polyhedron_active( t ) )
                {
                    return t;
                }
            }
        }

        template < std::size_t n >
        Point< 3 > combination( const std::array< index_t, n >& vertices )
        {
            std::array< double, n > weights;
            double sum{ 0 };
            for( auto& weight : weights )
            {
                weight = uniform_real( 0.1, 1. );
                sum += weight;
            }
            Point< 3 > result;
            for( std::size_t i = 0; i < n; i++ )
            {
                result = result + solid_->point( vertices[i] ) * ( weights[i] / sum );
            }
            return result;
        }

        bool has_vertex_provenance( index_t vertex ) const
        {
            return !solid_->init_vertex_ids( vertex ).empty()
                   || !solid_->vertex_init_edge_ids( vertex ).empty()
                   || !solid_->vertex_init_facet_ids( vertex ).empty();
        }

        bool run( index_t edit, index_t tetrahedron )
        {
            const PolyhedronFacet facet{ tetrahedron,
                static_cast< local_index_t >( uniform( 0, 3 ) ) };
            const PolyhedronFacetEdge edge{ facet, static_cast< local_index_t >( uniform( 0, 2 ) ) };
            switch( edit )
            {
            case 0: {
                const auto v = solid_->polyhedron_vertices( tetrahedron );
                const auto at = combination< 4 >( { v[0], v[1], v[2], v[3] } );
                for( const auto& created :
                    tetrahedra_after_split_tetrahedron( *solid_, tetrahedron, at ) )
                {
                    if( tetrahedron_volume_sign( created ) != SIDE::positive )
                    {
                        return false;
                    }
                }
                static_cast< void >( modifier_->split_tetrahedron( tetrahedron, at ) );
                return true;
            }
            case 1: {
                const auto v = solid_->polyhedron_facet_vertices( facet );
                const auto at = combination< 3 >( { v[0], v[1], v[2] } );
                if( !detail::are_tetrahedra_positive(
                        tetrahedra_after_split_facet( *solid_, facet, at ) ) )
                {
                    return false;
                }
                static_cast< void >( modifier_->split_facet( facet, at ) );
                return true;
            }
            case 2: {
                const auto v = solid_->polyhedron_facet_edge_vertices( edge );
                const auto at = combination< 2 >( v );
                if( !is_split_edge_valid( *solid_, edge, at ) )
                {
                    return false;
                }
                if( uniform( 0, 1 ) == 0 )
                {
                    static_cast< void >( modifier_->split_edge( edge, at ) );
                }
                else
                {
                    static_cast< void >( modifier_->split_edge(
                        solid_->edges().edge_from_vertices( v ).value(), at ) );
                }
                return true;
            }
            case 3: {
                // Onto the end that has provenance, removing one without.
                const auto index = solid_->edges()
                                       .edge_from_vertices(
                                           solid_->polyhedron_facet_edge_vertices( edge ) )
                                       .value();
                // Ends in the edge table's order, as the validity test takes.
                const auto v = solid_->edges().edge_vertices( index );
                const local_index_t kept = has_vertex_provenance( v[0] ) ? 0 : 1;
                if( has_vertex_provenance( v[1 - kept] ) )
                {
                    return false;
                }
                if( !is_collapse_edge_valid( *solid_, index, kept ) )
                {
                    return false;
                }
                const auto info = modifier_->collapse_edge( index, solid_->point( v[kept] ) );
                touched_ = info.modified_tetrahedra;
                return true;
            }
            case 4: {
                const auto index =
                    solid_->facets()
                        .facet_from_vertices( solid_->polyhedron_facet_vertices( facet ) )
                        .value();
                if( !solid_->init_facet_ids( index ).empty()
                    || !solid_->polyhedron_adjacent( facet )
                    || !detail::are_tetrahedra_positive(
                        tetrahedra_after_swap_facet( *solid_, facet ) ) )
                {
                    return false;
                }
                static_cast< void >( modifier_->swap_facet( facet ) );
                return true;
            }
            case 5: {
                const auto v = solid_->polyhedron_facet_edge_vertices( edge );
                if( !solid_->init_edge_ids( solid_->edges().edge_from_vertices( v ).value() )
                         .empty()
                    || !solid_->init_facet_ids_around_edge( v, *solid_ ).empty() )
                {
                    return false;
                }
                const auto ring = vertices_around_edge(
                    *solid_, v, solid_->polyhedra_around_edge( edge ) );
                const auto apex =
                    ring[uniform( 0, static_cast< index_t >( ring.size() ) - 1 )];
                if( !is_swap_edge_valid( *solid_, edge, apex ) )
                {
                    return false;
                }
                static_cast< void >( modifier_->swap_edge( edge, apex ) );
                return true;
            }
            default:
                return false;
            }
        }

        std::mt19937 random_;
        Input input_;
        std::unique_ptr< BackgroundSolid > solid_;
        std::unique_ptr< BackgroundSolidBuilder > builder_;
        std::unique_ptr< BackgroundSolidModifier > modifier_;
        std::vector< index_t > touched_;
        std::array< int, 6 > done_{};
        index_t last_edit_{ 0 };
    };

    template < typename Record >
    bool has_duplicates( const std::vector< Record >& list )
    {
        for( std::size_t i = 0; i < list.size(); i++ )
        {
            for( std::size_t j = i + 1; j < list.size(); j++ )
            {
                if( list[i] == list[j] )
                {
                    return true;
                }
            }
        }
        return false;
    }

    std::vector< std::string > RandomBackgroundEditor::provenance_problems() const
    {
        const auto& solid = *solid_;
        std::vector< std::string > problems;
        const auto report = [&problems]( std::string text ) {
            if( problems.size() < 20 )
            {
                problems.push_back( std::move( text ) );
            }
        };
        const auto near_triangle = [&]( index_t vertex, index_t polygon ) {
            return std::get< 0 >( point_triangle_distance(
                       solid.point( vertex ), input_.triangles.at( polygon ) ) )
                   <= GLOBAL_EPSILON;
        };
        const auto near_segment = [&]( index_t vertex, index_t edge ) {
            return std::get< 0 >( point_segment_distance(
                       solid.point( vertex ), input_.segments.at( edge ) ) )
                   <= GLOBAL_EPSILON;
        };
        std::vector< bool > vertex_seen( solid.nb_vertices(), false );
        std::vector< bool > edge_seen( solid.edges().nb_edges(), false );
        std::vector< bool > facet_seen( solid.facets().nb_facets(), false );
        std::vector< double > area( input_.triangles.size(), 0. );
        std::vector< double > length( input_.segments.size(), 0. );
        std::vector< int > point_uses( input_.vertices.size(), 0 );
        for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
        {
            if( !modifier_->is_polyhedron_active( t ) )
            {
                continue;
            }
            const auto& blocks = solid.macro_block_ids( t );
            const auto z = solid.polyhedron_barycenter( t ).value( 2 );
            if( blocks.empty() || has_duplicates( blocks )
                || ( blocks.size() == 1
                     && ( blocks[0] == input_.below ) != ( z < PLANE ) ) )
            {
                report( "tetrahedron " + std::to_string( t ) + ": wrong blocks" );
            }
            const auto vertices = solid.polyhedron_vertices( t );
            for( const auto vertex : vertices )
            {
                if( vertex_seen[vertex] )
                {
                    continue;
                }
                vertex_seen[vertex] = true;
                const auto name = "vertex " + std::to_string( vertex );
                for( const auto& record : solid.init_vertex_ids( vertex ) )
                {
                    point_uses.at( record.element )++;
                    if( record.mesh_id != input_.points
                        || point_point_distance( solid.point( vertex ),
                               input_.vertices.at( record.element ) )
                               > GLOBAL_EPSILON )
                    {
                        report( name + " is not its input vertex" );
                    }
                }
                for( const auto& record : solid.vertex_init_edge_ids( vertex ) )
                {
                    if( record.mesh_id != input_.curve || !near_segment( vertex, record.element ) )
                    {
                        report( name + " is not on its input edge" );
                    }
                }
                for( const auto& record : solid.vertex_init_facet_ids( vertex ) )
                {
                    if( record.mesh_id != input_.surface
                        || !near_triangle( vertex, record.element ) )
                    {
                        report( name + " is not on its input polygon" );
                    }
                }
                if( has_duplicates( solid.init_vertex_ids( vertex ) )
                    || has_duplicates( solid.vertex_init_edge_ids( vertex ) )
                    || has_duplicates( solid.vertex_init_facet_ids( vertex ) ) )
                {
                    report( name + " repeats a record" );
                }
            }
            for( const local_index_t f : { 0, 1, 2, 3 } )
            {
                const auto facet_vertices = solid.polyhedron_facet_vertices( { t, f } );
                const auto facet = solid.facets().facet_from_vertices( facet_vertices ).value();
                if( facet_seen[facet] )
                {
                    continue;
                }
                facet_seen[facet] = true;
                const auto& records = solid.init_facet_ids( facet );
                if( has_duplicates( records ) )
                {
                    report( "facet " + std::to_string( facet ) + " repeats a record" );
                }
                for( const auto& record : records )
                {
                    for( const auto vertex : facet_vertices )
                    {
                        if( !near_triangle( vertex, record.element ) )
                        {
                            report( "facet " + std::to_string( facet )
                                    + " is not on its input polygon" );
                        }
                    }
                    area.at( record.element ) += triangle_area( solid.triangle( { t, f } ) );
                }
            }
            for( const local_index_t a : { 0, 1, 2, 3 } )
            {
                for( local_index_t b = a + 1; b < 4; b++ )
                {
                    const EdgeVertices ends{ vertices[a], vertices[b] };
                    const auto edge = solid.edges().edge_from_vertices( ends ).value();
                    if( edge_seen[edge] )
                    {
                        continue;
                    }
                    edge_seen[edge] = true;
                    const auto& records = solid.init_edge_ids( edge );
                    if( has_duplicates( records ) )
                    {
                        report( "edge " + std::to_string( edge ) + " repeats a record" );
                    }
                    for( const auto& record : records )
                    {
                        if( !near_segment( ends[0], record.element )
                            || !near_segment( ends[1], record.element ) )
                        {
                            report( "edge " + std::to_string( edge )
                                    + " is not on its input edge" );
                        }
                        length.at( record.element ) += point_point_distance(
                            solid.point( ends[0] ), solid.point( ends[1] ) );
                    }
                }
            }
        }
        for( std::size_t p = 0; p < input_.triangles.size(); p++ )
        {
            if( std::abs( area[p] - triangle_area( input_.triangles[p] ) ) > 1e-9 )
            {
                report( "input polygon " + std::to_string( p ) + " covered by area "
                        + std::to_string( area[p] ) );
            }
        }
        for( std::size_t e = 0; e < input_.segments.size(); e++ )
        {
            if( std::abs( length[e] - input_.segments[e].length() ) > 1e-9 )
            {
                report( "input edge " + std::to_string( e ) + " covered by length "
                        + std::to_string( length[e] ) );
            }
        }
        for( std::size_t v = 0; v < input_.vertices.size(); v++ )
        {
            if( point_uses[v] != 1 )
            {
                report( "input vertex " + std::to_string( v ) + " carried by "
                        + std::to_string( point_uses[v] ) + " vertices" );
            }
        }
        return problems;
    }

    TEST( BackgroundSolidRandomEdits, provenance_follows_every_edit )
    {
        for( const unsigned seed : { 17u } )
        {
            SCOPED_TRACE( ::testing::Message() << "seed " << seed );
            RandomBackgroundEditor editor{ seed };
            ASSERT_TRUE( editor.full_check().empty() );
            ASSERT_EQ( editor.provenance_problems(), std::vector< std::string >{} );
            for( int step = 0; step < 1000; step++ )
            {
                const auto problems = editor.step();
                ASSERT_EQ( problems, std::vector< std::string >{} )
                    << "step " << step << ", " << editor.last_edit();
                if( step % 100 == 99 )
                {
                    ASSERT_EQ( editor.full_check(), std::vector< std::string >{} )
                        << "step " << step;
                    ASSERT_EQ( editor.provenance_problems(), std::vector< std::string >{} )
                        << "step " << step;
                }
            }
            for( const auto count : editor.done() )
            {
                EXPECT_GT( count, 10 );
            }
        }
    }
} // namespace
