#include <algorithm>
#include <cmath>
#include <memory>
#include <ranges>
#include <string>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/barycentric_coordinates.hpp>
#include <openorvane/geometry/predicates.hpp>

#include <common/modifier/common_modifier_solid_library.hpp>
#include <common/modifier/mesh_modifier_factory.hpp>
#include <common/modifier/tetrahedral_collapse_validity.hpp>
#include <common/modifier/tetrahedral_solid_modifier.hpp>
#include <common/modifier/tetrahedron_preview.hpp>

#include <tests/support/solid_checks.hpp>
#include <tests/support/solid_fixtures.hpp>
#include <tests/support/solid_modifier_checks.hpp>

namespace
{
    using namespace orvane;

    Point< 3 > point( double x, double y, double z )
    {
        return Point< 3 >{ { x, y, z } };
    }

    /// A solid with its builder and modifier, destroyed in the right order.
    struct EditedSolid
    {
        explicit EditedSolid(
            std::unique_ptr< TetrahedralSolid< 3 > > mesh, bool tables = false )
            : solid( std::move( mesh ) )
        {
            if( tables )
            {
                solid->enable_edges();
                solid->enable_facets();
            }
            builder = TetrahedralSolidBuilder< 3 >::create( *solid );
            modifier =
                std::make_unique< TetrahedralSolidModifier >( *solid, *builder );
        }

        /// "height" = x + 2y + 3z on every vertex, interpolable.
        std::shared_ptr< VariableAttribute< double > > add_height()
        {
            auto height =
                solid->vertex_attribute_manager()
                    .find_or_create_attribute< VariableAttribute, double >(
                        "height", 0., AttributeProperties{ false, true } );
            for( index_t v = 0; v < solid->nb_vertices(); v++ )
            {
                height->set_value( v, linear( solid->point( v ) ) );
            }
            return height;
        }

        /// "region" = 10 + polyhedron index on every polyhedron, assignable.
        std::shared_ptr< VariableAttribute< index_t > > add_region()
        {
            auto region =
                solid->polyhedron_attribute_manager()
                    .find_or_create_attribute< VariableAttribute, index_t >(
                        "region", NO_ID, AttributeProperties{ true, false } );
            for( index_t t = 0; t < solid->nb_polyhedra(); t++ )
            {
                region->set_value( t, 10 + t );
            }
            return region;
        }

        static double linear( const Point< 3 >& p )
        {
            return p.value( 0 ) + 2 * p.value( 1 ) + 3 * p.value( 2 );
        }

        PolyhedronFacetEdge facet_edge( index_t a, index_t b ) const
        {
            return solid->polyhedron_facet_edge_from_vertices( { a, b } ).value();
        }

        std::unique_ptr< TetrahedralSolid< 3 > > solid;
        std::unique_ptr< TetrahedralSolidBuilder< 3 > > builder;
        std::unique_ptr< TetrahedralSolidModifier > modifier;
    };

    bool holds( const TetrahedralSolid< 3 >& solid, index_t t, index_t v )
    {
        return solid.vertex_in_polyhedron( t, v ).has_value();
    }

    index_t facet_of( const TetrahedralSolid< 3 >& solid, const PolyhedronFacet& f )
    {
        return solid.facets()
            .facet_from_vertices( solid.polyhedron_facet_vertices( f ) )
            .value();
    }

    bool facet_holds( const TetrahedralSolid< 3 >& solid, index_t facet, index_t v )
    {
        const auto& vertices = solid.facets().facet_vertices( facet );
        return std::find( vertices.begin(), vertices.end(), v ) != vertices.end();
    }

    /// The first facet of the tetrahedron with or without a neighbour.
    PolyhedronFacet facet_with_neighbour(
        const TetrahedralSolid< 3 >& solid, index_t t, bool with_neighbour )
    {
        for( local_index_t f = 0; f < 4; f++ )
        {
            if( solid.polyhedron_adjacent( { t, f } ).has_value() == with_neighbour )
            {
                return { t, f };
            }
        }
        throw std::runtime_error( "no such facet" );
    }
} // namespace

TEST( TetrahedralSolidModifierSplit, tetrahedron_without_neighbours )
{
    EditedSolid edited{ test::single_tetrahedron() };
    auto height = edited.add_height();
    auto region = edited.add_region();
    const auto inside = point( 0.1, 0.2, 0.3 );

    const auto info = edited.modifier->split_tetrahedron( 0, inside );

    EXPECT_EQ( info.new_vertex, 4u );
    ASSERT_EQ( info.tetrahedra.size(), 4u );
    for( local_index_t f = 0; f < 4; f++ )
    {
        const auto created = info.tetrahedra[f].new_element;
        EXPECT_EQ( info.tetrahedra[f].old_element, 0u );
        EXPECT_TRUE( edited.modifier->is_polyhedron_active( created ) );
        EXPECT_FALSE( edited.solid->polyhedron_adjacent( { created, 3 } ) )
            << "facet 3 lies on the old border facet";
        EXPECT_EQ( region->value( created ), 10u );
    }
    EXPECT_TRUE( info.facets.empty() );
    EXPECT_TRUE( info.edges.empty() );
    EXPECT_FALSE( edited.modifier->is_polyhedron_active( 0 ) );
    EXPECT_DOUBLE_EQ( height->value( 4 ), EditedSolid::linear( inside ) );
    EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
    EXPECT_NEAR( test::live_volume( *edited.solid ), 1. / 6., 1e-15 );
}

TEST( TetrahedralSolidModifierSplit, tetrahedron_inside_cube_with_tables )
{
    EditedSolid edited{ test::cube_of_six_tetrahedra(), true };
    const auto nb_before = edited.solid->nb_polyhedra();

    const auto info = edited.modifier->split_tetrahedron(
        2, edited.solid->polyhedron_barycenter( 2 ) );

    ASSERT_EQ( info.facets.size(), 6u );
    for( const auto& origin : info.facets )
    {
        EXPECT_EQ( origin.old_element, NO_ID );
        EXPECT_TRUE( facet_holds( *edited.solid, origin.new_element, info.new_vertex ) );
    }
    ASSERT_EQ( info.edges.size(), 4u );
    for( const auto& origin : info.edges )
    {
        const auto& ends = edited.solid->edges().edge_vertices( origin.new_element );
        EXPECT_TRUE( ends[0] == info.new_vertex || ends[1] == info.new_vertex );
    }
    EXPECT_EQ( edited.solid->nb_polyhedra(), nb_before + 4 );
    EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
    EXPECT_NEAR( test::live_volume( *edited.solid ), 1., 1e-14 );
}

TEST( TetrahedralSolidModifierSplit, facet_on_border_and_inside )
{
    // Corner tetrahedron 0 of the five-tetrahedra cube: one facet faces the
    // central tetrahedron, three lie on the border.
    for( const bool inner : { false, true } )
    {
        SCOPED_TRACE( inner ? "inner facet" : "border facet" );
        EditedSolid edited{ test::cube_of_five_tetrahedra(), true };
        auto height = edited.add_height();
        auto region = edited.add_region();
        const auto facet = facet_with_neighbour( *edited.solid, 0, inner );
        const auto facet_id = facet_of( *edited.solid, facet );
        const auto at = edited.solid->polyhedron_facet_barycenter( facet );

        const auto info = edited.modifier->split_facet( facet, at );

        const auto nb_sides = inner ? 2u : 1u;
        ASSERT_EQ( info.tetrahedra.size(), 3 * nb_sides );
        for( const auto& origin : info.tetrahedra )
        {
            EXPECT_FALSE( edited.modifier->is_polyhedron_active( origin.old_element ) );
            EXPECT_EQ( region->value( origin.new_element ), 10 + origin.old_element );
        }
        ASSERT_GE( info.facets.size(), 3u );
        for( const auto k : { 0, 1, 2 } )
        {
            EXPECT_EQ( info.facets[k].old_element, facet_id );
            EXPECT_TRUE( facet_holds(
                *edited.solid, info.facets[k].new_element, info.new_vertex ) );
        }
        EXPECT_EQ( info.facets.size(), 3 + 3 * nb_sides )
            << "three facets replace the split one, three more per side";
        EXPECT_EQ( info.edges.size(), 3 + nb_sides );
        EXPECT_FALSE( edited.modifier->is_facet_active( facet_id ) );
        EXPECT_EQ( info.facet_vertices,
            edited.solid->polyhedron_facet_vertices( facet ) );
        EXPECT_NEAR( height->value( info.new_vertex ), EditedSolid::linear( at ),
            1e-12 );
        EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
        EXPECT_NEAR( test::live_volume( *edited.solid ), 1., 1e-14 );
    }
}

TEST( TetrahedralSolidModifierSplit, facet_by_index )
{
    EditedSolid edited{ test::cube_of_five_tetrahedra(), true };
    const auto facet = facet_with_neighbour( *edited.solid, 4, true );
    const auto facet_id = facet_of( *edited.solid, facet );
    const auto at = edited.solid->polyhedron_facet_barycenter( facet );

    const auto info = edited.modifier->split_facet( facet_id, at );
    EXPECT_EQ( info.tetrahedra.size(), 6u );
    EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );

    // The split facet is now used by no tetrahedron: splitting it again
    // fails before any change.
    const auto nb_vertices = edited.solid->nb_vertices();
    const auto nb_polyhedra = edited.solid->nb_polyhedra();
    try
    {
        static_cast< void >( edited.modifier->split_facet( facet_id, at ) );
        ADD_FAILURE() << "split of an unused facet should throw";
    }
    catch( const OpenOrvaneException& error )
    {
        EXPECT_STREQ( error.what(), "[SplitFacet] Facet should correspond to one "
                                    "or two tetrahedra, but corresponds to no "
                                    "tetrahedra" );
    }
    EXPECT_EQ( edited.solid->nb_vertices(), nb_vertices );
    EXPECT_EQ( edited.solid->nb_polyhedra(), nb_polyhedra );
}

TEST( TetrahedralSolidModifierSplit, edge_of_closed_and_open_fans )
{
    struct Case
    {
        index_t nb_tetrahedra;
        bool closed;
        std::size_t nb_created_edges;
    };
    for( const auto& test_case :
        { Case{ 5, true, 5 }, Case{ 4, false, 5 }, Case{ 1, false, 2 } } )
    {
        SCOPED_TRACE( ::testing::Message() << test_case.nb_tetrahedra
                                           << ( test_case.closed ? " closed" : " open" ) );
        EditedSolid edited{
            test::tetrahedra_fan_around_edge( test_case.nb_tetrahedra, test_case.closed ),
            true
        };
        auto height = edited.add_height();
        const auto volume = test::live_volume( *edited.solid );
        const auto old_edge =
            edited.solid->edges().edge_from_vertices( { 0, 1 } ).value();
        const auto at = point( 0, 0, 0.25 );

        const auto info =
            edited.modifier->split_edge( edited.facet_edge( 0, 1 ), at );

        EXPECT_EQ( info.edge_vertices, ( std::array< index_t, 2 >{ 0, 1 } ) );
        ASSERT_EQ( info.first_tetrahedra.size(), test_case.nb_tetrahedra );
        ASSERT_EQ( info.second_tetrahedra.size(), test_case.nb_tetrahedra );
        for( const auto i : std::views::iota( index_t{ 0 }, test_case.nb_tetrahedra ) )
        {
            const auto first = info.first_tetrahedra[i].new_element;
            const auto second = info.second_tetrahedra[i].new_element;
            EXPECT_TRUE( holds( *edited.solid, first, 0 ) );
            EXPECT_FALSE( holds( *edited.solid, first, 1 ) );
            EXPECT_TRUE( holds( *edited.solid, second, 1 ) );
            EXPECT_FALSE( holds( *edited.solid, second, 0 ) );
        }
        EXPECT_EQ( info.created_edges.size(), test_case.nb_created_edges );
        ASSERT_EQ( info.first_edges.size(), 1u );
        EXPECT_EQ( info.first_edges[0].old_element, old_edge );
        EXPECT_EQ( info.second_edges[0].old_element, old_edge );
        EXPECT_EQ( info.created_facets.size(), test_case.nb_tetrahedra );
        // Each old facet through the edge gives one half-facet per side.
        const auto nb_old_facets =
            test_case.closed ? test_case.nb_tetrahedra : test_case.nb_tetrahedra + 1;
        EXPECT_EQ( info.first_facets.size(), nb_old_facets );
        EXPECT_EQ( info.second_facets.size(), nb_old_facets );
        for( const auto& origin : info.first_facets )
        {
            EXPECT_FALSE( edited.modifier->is_facet_active( origin.old_element ) );
        }
        EXPECT_DOUBLE_EQ( height->value( info.new_vertex ), EditedSolid::linear( at ) );
        EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
        EXPECT_NEAR( test::live_volume( *edited.solid ), volume, 1e-14 );
    }
}

TEST( TetrahedralSolidModifierSplit, edge_by_index_without_tetrahedra_throws )
{
    EditedSolid edited{ test::tetrahedra_fan_around_edge( 5, true ), true };
    auto height = edited.add_height();
    const auto edge = edited.solid->edges().edge_from_vertices( { 0, 1 } ).value();
    static_cast< void >( edited.modifier->split_edge( edge, point( 0, 0, 0.5 ) ) );
    EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );

    const auto nb_vertices = edited.solid->nb_vertices();
    EXPECT_THROW(
        {
            try
            {
                static_cast< void >(
                    edited.modifier->split_edge( edge, point( 0, 0, 0.75 ) ) );
            }
            catch( const OpenOrvaneException& error )
            {
                EXPECT_STREQ( error.what(),
                    "[SplitEdge] Given edge corresponds to no tetrahedron" );
                throw;
            }
        },
        OpenOrvaneException );
    EXPECT_EQ( edited.solid->nb_vertices(), nb_vertices )
        << "the failed split creates no vertex";
    static_cast< void >( height );
}

TEST( TetrahedralSolidModifierCollapse, inner_edge )
{
    EditedSolid edited{ test::grid_tetrahedral_solid( 3, 3, 3 ), true };
    auto height = edited.add_height();
    const index_t e0 = 21; // (1, 1, 1)
    const index_t e1 = 22; // (2, 1, 1)
    const auto edge = edited.facet_edge( e0, e1 );
    const auto at = edited.solid->edge_barycenter( { e0, e1 } );
    ASSERT_TRUE( is_collapse_edge_valid( *edited.solid, edge, at ) );
    const auto star = edited.solid->polyhedra_around_edge( edge );
    const auto around0 = edited.solid->polyhedra_around_vertex( e0 ).size();
    const auto around1 = edited.solid->polyhedra_around_vertex( e1 ).size();

    const auto info = edited.modifier->collapse_edge( edge, at );

    ASSERT_EQ( info.merged_vertices.size(), 2u );
    EXPECT_EQ( info.merged_vertices[0], e0 );
    EXPECT_EQ( info.merged_vertices[1], e1 );
    EXPECT_EQ( info.removed_tetrahedra.size(), star.size() );
    for( const auto removed : info.removed_tetrahedra )
    {
        EXPECT_FALSE( edited.modifier->is_polyhedron_active( removed ) );
    }
    EXPECT_EQ( info.modified_tetrahedra.size(), around0 + around1 - 2 * star.size() );
    for( const auto modified : info.modified_tetrahedra )
    {
        EXPECT_TRUE( holds( *edited.solid, modified, info.new_vertex ) );
        EXPECT_FALSE( holds( *edited.solid, modified, e0 ) );
        EXPECT_FALSE( holds( *edited.solid, modified, e1 ) );
    }
    EXPECT_EQ( info.facets.size(), 3 * info.modified_tetrahedra.size() + 2 * star.size() );
    for( const auto& origin : info.facets )
    {
        EXPECT_TRUE( facet_holds( *edited.solid, origin.new_element, info.new_vertex ) );
        EXPECT_FALSE( edited.modifier->is_facet_active( origin.old_element ) );
    }
    for( const auto& origin : info.edges )
    {
        const auto& ends = edited.solid->edges().edge_vertices( origin.old_element );
        EXPECT_TRUE( ends[0] == e0 || ends[0] == e1 || ends[1] == e0 || ends[1] == e1 );
    }
    EXPECT_DOUBLE_EQ( height->value( info.new_vertex ), EditedSolid::linear( at ) );
    EXPECT_EQ( edited.modifier->updated_vertex( e0 ), info.new_vertex );
    EXPECT_EQ( edited.modifier->updated_vertex( e1 ), info.new_vertex );
    EXPECT_TRUE( edited.solid->is_vertex_isolated( e0 ) );
    EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
    EXPECT_NEAR( test::live_volume( *edited.solid ), 27., 1e-12 );

    const auto clean = edited.modifier->clean();
    EXPECT_EQ( edited.modifier->updated_vertex( e0 ), e0 )
        << "clean empties the vertex map";
    EXPECT_EQ( clean.vertices[e0], NO_ID );
    EXPECT_EQ( clean.vertices[e1], NO_ID );
    EXPECT_TRUE( test::is_valid_tetrahedral_solid( *edited.solid ) );
}

TEST( TetrahedralSolidModifierCollapse, border_edge_unsets_outer_facets )
{
    // With the tables, the outer facets of the removed tetrahedra are carried
    // over only where a neighbour exists on that side.
    for( const bool tables : { false, true } )
    {
        SCOPED_TRACE( tables ? "with tables" : "without tables" );
        EditedSolid edited{ test::grid_tetrahedral_solid( 3, 3, 1 ), tables };
        // Both ends inside the bottom face z = 0.
        const index_t e0 = 5; // (1, 1, 0)
        const index_t e1 = 6; // (2, 1, 0)
        const auto edge = edited.facet_edge( e0, e1 );
        const auto at = edited.solid->edge_barycenter( { e0, e1 } );
        ASSERT_TRUE( is_collapse_edge_valid( *edited.solid, edge, at ) );
        const auto nb_border_before = [&] {
            index_t count{ 0 };
            for( index_t t = 0; t < edited.solid->nb_polyhedra(); t++ )
            {
                for( local_index_t f = 0; f < 4; f++ )
                {
                    count += edited.modifier->is_polyhedron_active( t )
                             && edited.solid->is_polyhedron_facet_on_border( { t, f } );
                }
            }
            return count;
        };
        const auto before = nb_border_before();

        const auto info = edited.modifier->collapse_edge( edge, at );

        EXPECT_FALSE( info.removed_tetrahedra.empty() );
        EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
        EXPECT_NEAR( test::live_volume( *edited.solid ), 9., 1e-12 )
            << "a collapse inside a flat border face keeps the volume";
        // The bottom face loses its two triangles around the edge; the other
        // border facets stay, those at the ends now on the new vertex.
        EXPECT_EQ( nb_border_before(), before - 2 );
        if( tables )
        {
            for( const auto& origin : info.facets )
            {
                EXPECT_TRUE( facet_holds( *edited.solid, origin.new_element, info.new_vertex ) );
            }
        }
    }
}

TEST( TetrahedralSolidModifierCollapse, lone_tetrahedron_leaves_no_dangling_vertex )
{
    EditedSolid edited{ test::single_tetrahedron() };
    const auto edge = edited.facet_edge( 0, 1 );
    const auto at = point( 0.5, 0, 0 );
    ASSERT_TRUE( is_collapse_edge_valid( *edited.solid, edge, at ) );

    const auto info = edited.modifier->collapse_edge( edge, at );

    EXPECT_EQ( info.removed_tetrahedra, std::vector< index_t >{ 0 } );
    EXPECT_TRUE( info.modified_tetrahedra.empty() );
    for( const index_t v : { 2, 3 } )
    {
        EXPECT_TRUE( edited.solid->is_vertex_isolated( v ) )
            << "vertex " << v << " must not keep the removed tetrahedron";
    }
    EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
    static_cast< void >( edited.modifier->clean() );
    EXPECT_EQ( edited.solid->nb_polyhedra(), 0u );
    EXPECT_EQ( edited.solid->nb_vertices(), 0u );
}

TEST( TetrahedralSolidModifierSwap, facet_flip_and_back )
{
    EditedSolid edited{ test::cube_of_five_tetrahedra(), true };
    // Central tetrahedron 4 and corner tetrahedron 0 share a facet; the
    // segment joining their opposite vertices crosses it.
    const auto facet = facet_with_neighbour( *edited.solid, 0, true );
    const auto facet_id = facet_of( *edited.solid, facet );
    ASSERT_TRUE( detail::are_tetrahedra_positive(
        tetrahedra_after_swap_facet( *edited.solid, facet ) ) );

    const auto info = edited.modifier->swap_facet( facet );

    EXPECT_EQ( info.old_tetrahedra, ( std::array< index_t, 2 >{ 0, 4 } ) );
    for( const auto old : info.old_tetrahedra )
    {
        EXPECT_FALSE( edited.modifier->is_polyhedron_active( old ) );
    }
    EXPECT_FALSE( edited.modifier->is_facet_active( facet_id ) );
    for( const auto& [created, old] : info.facet_pairs )
    {
        EXPECT_EQ( facet_of( *edited.solid, created ), facet_of( *edited.solid, old ) );
        const auto outer = edited.solid->polyhedron_adjacent( created );
        if( outer )
        {
            EXPECT_TRUE( edited.modifier->is_polyhedron_active( outer.value() ) );
        }
    }
    EXPECT_EQ( info.apexes[0], edited.solid->polyhedron_vertex( { 0, facet.facet_id } ) );
    EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
    EXPECT_NEAR( test::live_volume( *edited.solid ), 1., 1e-14 );

    // 3-2 flip of the new edge between the apexes restores the facet, then
    // the 2-3 flip again reuses the facets that the 3-2 flip deactivated.
    const auto new_edge = edited.facet_edge( info.apexes[1], info.apexes[0] );
    const auto apex = info.facet_vertices[0];
    ASSERT_TRUE( is_swap_edge_valid( *edited.solid, new_edge, apex ) );
    const auto back = edited.modifier->swap_edge( new_edge, apex );
    EXPECT_EQ( back.old_tetrahedra.size(), 3u );
    EXPECT_EQ( back.new_tetrahedra.size(), 2u );
    EXPECT_TRUE( edited.modifier->is_facet_active( facet_id ) );
    EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );

    const auto restored = edited.solid->polyhedron_facet_from_vertices(
        edited.solid->facets().facet_vertices( facet_id ) );
    ASSERT_TRUE( restored );
    const auto again = edited.modifier->swap_facet( restored.value() );
    EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) )
        << "inner facets of a second flip are live again";
    for( const auto& inner : again.inner_facets )
    {
        EXPECT_TRUE( edited.modifier->is_facet_active( facet_of( *edited.solid, inner ) ) );
    }
}

TEST( TetrahedralSolidModifierSwap, border_facet_throws )
{
    EditedSolid edited{ test::cube_of_five_tetrahedra() };
    const auto nb_polyhedra = edited.solid->nb_polyhedra();
    const auto facet = facet_with_neighbour( *edited.solid, 0, false );
    try
    {
        static_cast< void >( edited.modifier->swap_facet( facet ) );
        ADD_FAILURE() << "a border facet cannot be swapped";
    }
    catch( const OpenOrvaneException& error )
    {
        EXPECT_STREQ(
            error.what(), "[SwapFacet] Facet should have an adjacent tetrahedron" );
    }
    EXPECT_EQ( edited.solid->nb_polyhedra(), nb_polyhedra );
    EXPECT_TRUE( edited.modifier->is_polyhedron_active( 0 ) );
}

TEST( TetrahedralSolidModifierSwap, edge_of_fans )
{
    struct Case
    {
        index_t nb_tetrahedra;
        bool closed;
        index_t apex_ring_position;
        std::size_t nb_new;
    };
    // Closed fan of 5: 2n - 4 = 6. Open fan of 4 (ring of 5) with the apex
    // at a ring end: only the 3 segments away from the apex, 6 tetrahedra.
    for( const auto& test_case : { Case{ 5, true, 0, 6 }, Case{ 4, false, 0, 6 },
             Case{ 4, false, 4, 6 } } )
    {
        SCOPED_TRACE( ::testing::Message()
                      << test_case.nb_tetrahedra << ( test_case.closed ? " closed" : " open" )
                      << " apex " << test_case.apex_ring_position );
        EditedSolid edited{
            test::tetrahedra_fan_around_edge( test_case.nb_tetrahedra, test_case.closed ),
            true
        };
        const auto edge = edited.facet_edge( 0, 1 );
        const auto apex = 2 + test_case.apex_ring_position;
        const auto volume = test::live_volume( *edited.solid );
        ASSERT_TRUE( is_swap_edge_valid( *edited.solid, edge, apex ) );
        const auto preview = tetrahedra_after_swap_edge( *edited.solid, edge, apex );

        const auto info = edited.modifier->swap_edge( edge, apex );

        EXPECT_EQ( info.old_tetrahedra.size(), test_case.nb_tetrahedra );
        EXPECT_EQ( info.new_tetrahedra.size(), test_case.nb_new );
        EXPECT_EQ( preview.tetrahedra.size(), test_case.nb_new );
        EXPECT_EQ( info.removed_facets.size(), 2 * info.old_tetrahedra.size() );
        EXPECT_EQ( info.inner_facets.size(), test_case.nb_new );
        for( const auto old : info.old_tetrahedra )
        {
            EXPECT_FALSE( edited.modifier->is_polyhedron_active( old ) );
        }
        EXPECT_FALSE( edited.solid->polyhedron_facet_edge_from_vertices( { 0, 1 } ) );
        EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
        EXPECT_NEAR( test::live_volume( *edited.solid ), volume, 1e-14 );
    }
}

TEST( TetrahedralSolidModifierSwap, impossible_edge_swaps_throw_before_any_change )
{
    struct Case
    {
        index_t nb_tetrahedra;
        bool closed;
        index_t apex;
        std::string message;
    };
    for( const auto& test_case :
        { Case{ 1, false, 2,
              "[DoSwapEdge] The number of vertices in the one ring should be "
              "at least 3." },
            Case{ 5, true, 1, "[DoSwapEdge] Given apex is not in the one ring vertices" } } )
    {
        SCOPED_TRACE( test_case.message );
        EditedSolid edited{ test::tetrahedra_fan_around_edge(
            test_case.nb_tetrahedra, test_case.closed ) };
        const auto edge = edited.facet_edge( 0, 1 );
        EXPECT_FALSE( is_swap_edge_valid( *edited.solid, edge, test_case.apex ) );
        const auto nb_polyhedra = edited.solid->nb_polyhedra();
        try
        {
            static_cast< void >( edited.modifier->swap_edge( edge, test_case.apex ) );
            ADD_FAILURE() << "swap should throw";
        }
        catch( const OpenOrvaneException& error )
        {
            EXPECT_EQ( error.what(), test_case.message );
        }
        EXPECT_EQ( edited.solid->nb_polyhedra(), nb_polyhedra );
        for( index_t t = 0; t < nb_polyhedra; t++ )
        {
            EXPECT_TRUE( edited.modifier->is_polyhedron_active( t ) );
        }
    }
}

namespace
{
    /// An open fan around the edge (0, 1) whose first listed tetrahedron is
    /// flat: the ring walk starts at the next one and cannot attach the
    /// tetrahedron on the far side of the flat one in its turn.
    std::unique_ptr< TetrahedralSolid< 3 > > fan_with_flat_start()
    {
        const auto ring = []( double angle, double radius ) {
            return point( radius * std::cos( angle ), radius * std::sin( angle ), 0.5 );
        };
        return test::create_tetrahedral_solid(
            { point( 0, 0, 0 ), point( 0, 0, 1 ), ring( 0, 1 ), ring( 1, 1 ),
                ring( 1, 2 ), ring( 2, 1 ), ring( 2.5, 1 ) },
            { { 0, 1, 3, 4 }, { 0, 1, 4, 5 }, { 0, 1, 5, 6 }, { 0, 1, 2, 3 } } );
    }
} // namespace

TEST( TetrahedralSolidModifierSwap, incomplete_ring_is_refused )
{
    EditedSolid edited{ fan_with_flat_start() };
    ASSERT_EQ( tetrahedron_volume_sign( edited.solid->tetrahedron( 0 ) ), SIDE::zero );
    const PolyhedronFacetEdge edge = [&] {
        for( local_index_t f = 0; f < 4; f++ )
        {
            for( local_index_t e = 0; e < 3; e++ )
            {
                const PolyhedronFacetEdge candidate{ { 0, f }, e };
                if( edited.solid->polyhedron_facet_edge_vertices( candidate )
                    == EdgeVertices{ 0, 1 } )
                {
                    return candidate;
                }
            }
        }
        throw std::runtime_error( "edge not found" );
    }();
    const auto polyhedra = edited.solid->polyhedra_around_edge( edge );
    ASSERT_EQ( polyhedra.size(), 4u );
    const auto ring = ordered_vertices_around_edge( *edited.solid, { 0, 1 }, polyhedra );
    EXPECT_FALSE( ring.closed );
    EXPECT_LT( ring.vertices.size(), 5u ) << "the walk skipped a tetrahedron";
    EXPECT_FALSE( detail::is_ring_complete( *edited.solid, { 0, 1 }, polyhedra, ring ) );
    for( index_t apex = 2; apex < 7; apex++ )
    {
        EXPECT_FALSE( is_swap_edge_valid( *edited.solid, edge, apex ) );
        EXPECT_TRUE( tetrahedra_after_swap_edge( *edited.solid, edge, apex )
                         .tetrahedra.empty() );
    }
    EXPECT_THROW( static_cast< void >( edited.modifier->swap_edge( edge, 4 ) ),
        OpenOrvaneException );
    for( index_t t = 0; t < 4; t++ )
    {
        EXPECT_TRUE( edited.modifier->is_polyhedron_active( t ) );
    }
}

namespace
{
    void link( TetrahedralSolidBuilder< 3 >& builder,
        const PolyhedronFacet& a,
        const PolyhedronFacet& b )
    {
        builder.set_polyhedron_adjacent( a, b.polyhedron_id );
        builder.set_polyhedron_adjacent( b, a.polyhedron_id );
    }

    /// The facet of t opposite vertex v.
    PolyhedronFacet opposite( const TetrahedralSolid< 3 >& solid, index_t t, index_t v )
    {
        return { t, solid.vertex_in_polyhedron( t, v ).value() };
    }

    /// A flat layer: the quad b0 e1 b1 e0 in the plane z = 0, covered from
    /// above by A0 = (e1, b0, b1, top) and A1 = (e0, b0, b1, top), from
    /// below by B0 and B1, with in between the flat pair T0 = (e0, e1, b0,
    /// b1), glued to A0 and A1, and T1 (same vertices, other orientation),
    /// glued to B0 and B1. T0 and T1 share their two facets through e0-e1.
    std::unique_ptr< TetrahedralSolid< 3 > > flat_pair_on_edge()
    {
        // 0 b0, 1 b1, 2 e0, 3 e1, 4 top, 5 bottom.
        auto solid = test::create_tetrahedral_solid(
            { point( 0, 0, 0 ), point( 2, 0, 0 ), point( 1, 1, 0 ), point( 1, -1, 0 ),
                point( 1, 0, 1 ), point( 1, 0, -1 ) },
            { { 3, 1, 0, 4 }, { 2, 0, 1, 4 }, { 3, 0, 1, 5 }, { 2, 1, 0, 5 },
                { 2, 3, 0, 1 }, { 2, 3, 1, 0 } },
            false );
        auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
        const auto& s = *solid;
        link( *builder, opposite( s, 0, 3 ), opposite( s, 1, 2 ) );
        link( *builder, opposite( s, 2, 3 ), opposite( s, 3, 2 ) );
        link( *builder, opposite( s, 0, 4 ), opposite( s, 4, 2 ) );
        link( *builder, opposite( s, 1, 4 ), opposite( s, 4, 3 ) );
        link( *builder, opposite( s, 2, 5 ), opposite( s, 5, 2 ) );
        link( *builder, opposite( s, 3, 5 ), opposite( s, 5, 3 ) );
        link( *builder, opposite( s, 4, 0 ), opposite( s, 5, 0 ) );
        link( *builder, opposite( s, 4, 1 ), opposite( s, 5, 1 ) );
        return solid;
    }

    /// Tetrahedra P (above) and Q (below) of the triangle a b c, with in
    /// between the flat pair T0 = (a, b, c, w), T1 = (a, c, b, w) around
    /// the vertex w lying in the triangle.
    std::unique_ptr< TetrahedralSolid< 3 > > flat_pair_on_vertex()
    {
        // 0 a, 1 b, 2 c, 3 w, 4 top, 5 bottom.
        auto solid = test::create_tetrahedral_solid(
            { point( 0, 0, 0 ), point( 1, 0, 0 ), point( 0, 1, 0 ),
                point( 0.25, 0.25, 0 ), point( 0.3, 0.3, 1 ), point( 0.3, 0.3, -1 ) },
            { { 0, 1, 2, 4 }, { 0, 2, 1, 5 }, { 0, 1, 2, 3 }, { 0, 2, 1, 3 } }, false );
        auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
        const auto& s = *solid;
        link( *builder, opposite( s, 0, 4 ), opposite( s, 2, 3 ) );
        link( *builder, opposite( s, 1, 5 ), opposite( s, 3, 3 ) );
        for( const index_t v : { 0, 1, 2 } )
        {
            link( *builder, opposite( s, 2, v ), opposite( s, 3, v ) );
        }
        return solid;
    }
} // namespace

TEST( TetrahedralSolidModifierRemove, flat_pair_on_edge )
{
    EditedSolid edited{ flat_pair_on_edge(), true };
    const auto& solid = *edited.solid;
    const auto edge = [&] {
        for( local_index_t f = 0; f < 4; f++ )
        {
            for( local_index_t e = 0; e < 3; e++ )
            {
                const PolyhedronFacetEdge candidate{ { 4, f }, e };
                if( solid.polyhedron_facet_edge_vertices( candidate )
                    == EdgeVertices{ 2, 3 } )
                {
                    return candidate;
                }
            }
        }
        throw std::runtime_error( "edge not found" );
    }();

    const auto removed = edited.modifier->remove_tetrahedra_pair( edge );

    EXPECT_EQ( removed, ( std::array< index_t, 2 >{ 4, 5 } ) );
    EXPECT_EQ( solid.polyhedron_adjacent( opposite( solid, 0, 4 ) ), 2u );
    EXPECT_EQ( solid.polyhedron_adjacent( opposite( solid, 2, 5 ) ), 0u );
    EXPECT_EQ( solid.polyhedron_adjacent( opposite( solid, 1, 4 ) ), 3u );
    EXPECT_EQ( solid.polyhedron_adjacent( opposite( solid, 3, 5 ) ), 1u );
    EXPECT_FALSE( edited.modifier->is_facet_active(
        solid.facets().facet_from_vertices( { 2, 3, 0 } ).value() ) );
    EXPECT_TRUE( test::is_valid_modified_solid( solid ) );
}

TEST( TetrahedralSolidModifierRemove, flat_pair_on_vertex )
{
    EditedSolid edited{ flat_pair_on_vertex() };
    const auto& solid = *edited.solid;

    const auto removed = edited.modifier->remove_tetrahedra_pair(
        solid.polyhedron_around_vertex( 3 ).value() );

    EXPECT_EQ( std::min( removed[0], removed[1] ), 2u );
    EXPECT_EQ( std::max( removed[0], removed[1] ), 3u );
    EXPECT_EQ( solid.polyhedron_adjacent( opposite( solid, 0, 4 ) ), 1u );
    EXPECT_EQ( solid.polyhedron_adjacent( opposite( solid, 1, 5 ) ), 0u );
    EXPECT_TRUE( solid.is_vertex_isolated( 3 ) );
    EXPECT_TRUE( test::is_valid_modified_solid( solid ) );
}

TEST( TetrahedralSolidModifierRemove, vertex_without_exactly_two_tetrahedra_throws )
{
    for( const auto& [name, vertex] :
        { std::pair{ "one tetrahedron", index_t{ 0 } },
            std::pair{ "six tetrahedra", index_t{ 7 } } } )
    {
        SCOPED_TRACE( name );
        EditedSolid edited{ vertex == 0 ? test::single_tetrahedron()
                                        : test::cube_of_six_tetrahedra() };
        const auto nb_polyhedra = edited.solid->nb_polyhedra();
        EXPECT_THROW( static_cast< void >( edited.modifier->remove_tetrahedra_pair(
                          edited.solid->polyhedron_around_vertex( vertex ).value() ) ),
            OpenOrvaneException );
        for( index_t t = 0; t < nb_polyhedra; t++ )
        {
            EXPECT_TRUE( edited.modifier->is_polyhedron_active( t ) );
        }
    }
}

TEST( TetrahedralSolidModifierMove, vertex_interpolates_in_its_nearest_tetrahedron )
{
    EditedSolid edited{ test::cube_of_six_tetrahedra() };
    auto height = edited.add_height();
    height->set_value( 7, 100. );
    const auto target = point( 0.9, 0.8, 0.85 );
    // The first tetrahedron around the vertex that contains the point.
    index_t containing{ NO_ID };
    for( const auto& around : edited.solid->polyhedra_around_vertex( 7 ) )
    {
        const auto weights = safe_tetrahedron_barycentric_coordinates(
            target, edited.solid->tetrahedron( around.polyhedron_id ) );
        if( std::all_of(
                weights.begin(), weights.end(), []( double w ) { return w >= 0; } ) )
        {
            containing = around.polyhedron_id;
            break;
        }
    }
    ASSERT_NE( containing, NO_ID );
    const auto weights = safe_tetrahedron_barycentric_coordinates(
        target, edited.solid->tetrahedron( containing ) );
    double expected{ 0 };
    const auto vertices = edited.solid->polyhedron_vertices( containing );
    for( const auto i : { 0, 1, 2, 3 } )
    {
        expected += weights[i] * height->value( vertices[i] );
    }

    edited.modifier->move_vertex( 7, target );

    EXPECT_EQ( edited.solid->point( 7 ), target );
    EXPECT_NEAR( height->value( 7 ), expected, 1e-12 );
    EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );

    // An isolated vertex only moves.
    const auto isolated = edited.builder->create_point( point( 5, 5, 5 ) );
    height->set_value( isolated, 42. );
    edited.modifier->move_vertex( isolated, point( 6, 6, 6 ) );
    EXPECT_EQ( edited.solid->point( isolated ), point( 6, 6, 6 ) );
    EXPECT_EQ( height->value( isolated ), 42. );
}

TEST( TetrahedralSolidModifierMove, linear_field_follows_a_move_out_of_the_star )
{
    // The inner vertex of a 2x2x2 block moved inside, onto the star's border
    // and beyond it: the barycentric weights extend outside the nearest
    // tetrahedron, so a linear field is still reproduced.
    for( const auto& target : { point( 1.2, 0.9, 1.1 ), point( 0.5, 1., 1. ),
             point( 2.7, -0.4, 1.9 ), point( -3., 5., 0.25 ) } )
    {
        SCOPED_TRACE( target.string() );
        EditedSolid edited{ test::grid_tetrahedral_solid( 2, 2, 2 ) };
        auto height = edited.add_height();
        const index_t centre{ 13 };
        ASSERT_EQ( edited.solid->point( centre ), point( 1, 1, 1 ) );
        edited.modifier->move_vertex( centre, target );
        EXPECT_NEAR( height->value( centre ), EditedSolid::linear( target ), 1e-12 );
    }
}

TEST( TetrahedralSolidModifierClean, compacts_every_kind )
{
    EditedSolid edited{ test::grid_tetrahedral_solid( 3, 3, 3 ), true };
    auto region = edited.add_region();
    const auto nb_polyhedra = edited.solid->nb_polyhedra();
    const auto nb_vertices = edited.solid->nb_vertices();

    // Nothing inactive: identity for tetrahedra and vertices.
    auto clean = edited.modifier->clean();
    ASSERT_EQ( clean.polyhedra.size(), nb_polyhedra );
    for( index_t t = 0; t < nb_polyhedra; t++ )
    {
        EXPECT_EQ( clean.polyhedra[t], t );
    }
    ASSERT_EQ( clean.vertices.size(), nb_vertices );

    // A split, a collapse and a swap leave dead cells of every kind.
    static_cast< void >( edited.modifier->split_tetrahedron(
        0, edited.solid->polyhedron_barycenter( 0 ) ) );
    const auto inner = edited.facet_edge( 42, 41 ); // (2, 2, 2), (1, 2, 2)
    const auto at = edited.solid->edge_barycenter( { 42, 41 } );
    ASSERT_TRUE( is_collapse_edge_valid( *edited.solid, inner, at ) );
    const auto collapse = edited.modifier->collapse_edge( inner, at );
    ASSERT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
    const auto nb_facets = edited.solid->facets().nb_facets();
    const auto nb_edges = edited.solid->edges().nb_edges();
    const auto live = test::nb_live_tetrahedra( *edited.solid );
    const auto survivor_region = region->value( collapse.modified_tetrahedra.front() );

    clean = edited.modifier->clean();

    EXPECT_EQ( edited.solid->nb_polyhedra(), live );
    ASSERT_EQ( clean.facets.size(), nb_facets );
    ASSERT_EQ( clean.edges.size(), nb_edges );
    for( const auto* old2new :
        { &clean.polyhedra, &clean.vertices, &clean.edges, &clean.facets } )
    {
        // Kept elements take the consecutive new indices in order.
        index_t next{ 0 };
        for( const auto value : *old2new )
        {
            if( value != NO_ID )
            {
                EXPECT_EQ( value, next++ );
            }
        }
    }
    EXPECT_EQ( clean.vertices[42], NO_ID );
    EXPECT_EQ( clean.vertices[41], NO_ID );
    EXPECT_EQ( region->value( clean.polyhedra[collapse.modified_tetrahedra.front()] ),
        survivor_region );
    for( index_t t = 0; t < edited.solid->nb_polyhedra(); t++ )
    {
        EXPECT_TRUE( edited.modifier->is_polyhedron_active( t ) );
    }
    EXPECT_TRUE( test::is_valid_tetrahedral_solid( *edited.solid ) );
    EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
    EXPECT_NEAR( test::live_volume( *edited.solid ), 27., 1e-12 );
}

TEST( TetrahedralSolidModifierFlags, facets_enabled_after_the_modifier )
{
    EditedSolid edited{ test::tetrahedra_fan_around_edge( 5, true ) };
    try
    {
        static_cast< void >( edited.modifier->is_facet_active( 0 ) );
        ADD_FAILURE() << "facet flags need facets";
    }
    catch( const OpenOrvaneException& error )
    {
        EXPECT_STREQ( error.what(), "[TetrahedralSolidModifier::is_facet_active] "
                                    "Facets should be enabled to use facet indexing" );
    }
    static_cast< void >(
        edited.modifier->split_edge( edited.facet_edge( 0, 1 ), point( 0, 0, 0.5 ) ) );
    edited.solid->enable_facets();
    const auto& facets = edited.solid->facets();
    // The old facets through the split edge belong to dead tetrahedra only.
    EXPECT_FALSE( edited.modifier->is_facet_active(
        facets.facet_from_vertices( { 0, 1, 2 } ).value() ) );
    EXPECT_TRUE( edited.modifier->is_facet_active(
        facets.facet_from_vertices( { 0, 2, 3 } ).value() ) );
    EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
}

TEST( TetrahedralSolidModifierFlags, destruction_removes_the_flags )
{
    auto solid = test::single_tetrahedron();
    solid->enable_facets();
    auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
    {
        TetrahedralSolidModifier modifier{ *solid, *builder };
        EXPECT_TRUE(
            solid->polyhedron_attribute_manager().find_attribute_base( "orvane_active" ) );
        EXPECT_TRUE( solid->facets().facet_attribute_manager().find_attribute_base(
            "orvane_active" ) );
    }
    EXPECT_FALSE(
        solid->polyhedron_attribute_manager().find_attribute_base( "orvane_active" ) );
    EXPECT_FALSE( solid->facets().facet_attribute_manager().find_attribute_base(
        "orvane_active" ) );
}

TEST( TetrahedralSolidModifierFactory, created_by_implementation_name )
{
    CommonModifierSolidLibrary::initialize();
    auto solid = test::cube_of_six_tetrahedra();
    auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
    EXPECT_TRUE( MeshModifierFactory::has_creator(
        MeshModifierFactory::key( "OpenOrvaneTetrahedralSolid", 3 ) ) );

    auto modifier =
        MeshModifierFactory::create< TetrahedralSolidModifier >( *solid, *builder );

    ASSERT_TRUE( modifier );
    const auto info =
        modifier->split_tetrahedron( 0, solid->polyhedron_barycenter( 0 ) );
    EXPECT_EQ( info.tetrahedra.size(), 4u );
    EXPECT_FALSE( modifier->is_polyhedron_active( 0 ) );
    EXPECT_TRUE( test::is_valid_modified_solid( *solid ) );
}
