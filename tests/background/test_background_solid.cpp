#include <background/background_solid.hpp>

#include <memory>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/mesh_factory.hpp>

#include <background/background_solid_modifier.hpp>

#include <tests/background/background_fixtures.hpp>
#include <tests/support/solid_checks.hpp>

namespace
{
    using orvane::index_t;
    using orvane::NO_ID;
    using orvane::Point;
    using orvane::internal::BackgroundSolid;
    using orvane::internal::BackgroundSolidBuilder;

    /// Every provenance list of the solid is empty.
    void expect_no_provenance( const BackgroundSolid& solid )
    {
        for( index_t v = 0; v < solid.nb_vertices(); v++ )
        {
            EXPECT_TRUE( solid.init_vertex_ids( v ).empty() );
            EXPECT_TRUE( solid.vertex_init_edge_ids( v ).empty() );
            EXPECT_TRUE( solid.vertex_init_facet_ids( v ).empty() );
        }
        for( index_t e = 0; e < solid.edges().nb_edges(); e++ )
        {
            EXPECT_TRUE( solid.init_edge_ids( e ).empty() );
        }
        for( index_t f = 0; f < solid.facets().nb_facets(); f++ )
        {
            EXPECT_TRUE( solid.init_facet_ids( f ).empty() );
        }
        for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
        {
            EXPECT_TRUE( solid.macro_block_ids( t ).empty() );
        }
    }

    /// The closest tetrahedron by brute force, the first on ties.
    std::pair< index_t, double > brute_closest(
        const orvane::TetrahedralSolid< 3 >& solid, const Point< 3 >& point )
    {
        std::pair< index_t, double > best{ NO_ID, orvane::MAX_DOUBLE };
        for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
        {
            const auto distance = std::get< 0 >(
                orvane::point_tetrahedron_distance( point, solid.tetrahedron( t ) ) );
            if( distance < best.second )
            {
                best = { t, distance };
            }
        }
        return best;
    }

    TEST( BackgroundSolid, core_solid_is_moved_in )
    {
        auto source = orvane::test::grid_tetrahedral_solid( 2, 2, 1 );
        const auto id = source->id();
        const auto nb_vertices = source->nb_vertices();
        const auto nb_tetrahedra = source->nb_polyhedra();
        const auto first = source->polyhedron_vertices( 0 );
        const auto background = orvane::test::background_from( std::move( source ) );
        // background_from keeps the source alive only during construction:
        // check the moved-from state on a second solid.
        auto kept = orvane::test::grid_tetrahedral_solid( 1, 1, 1 );
        const BackgroundSolid other{ *kept };
        EXPECT_EQ( kept->nb_vertices(), 0u );
        EXPECT_EQ( kept->nb_polyhedra(), 0u );
        EXPECT_EQ( other.nb_polyhedra(), 6u );

        EXPECT_EQ( background->id(), id );
        EXPECT_EQ( background->nb_vertices(), nb_vertices );
        EXPECT_EQ( background->nb_polyhedra(), nb_tetrahedra );
        EXPECT_EQ( background->polyhedron_vertices( 0 ), first );
        EXPECT_EQ( background->impl_name().get(), "BackgroundSolid" );
        EXPECT_EQ( background->type_name(),
            orvane::TetrahedralSolid< 3 >::type_name_static() );
        EXPECT_EQ( background->native_extension(), "oo_tso3d" );
        ASSERT_TRUE( background->are_edges_enabled() );
        ASSERT_TRUE( background->are_facets_enabled() );
        EXPECT_TRUE( orvane::test::is_valid_tetrahedral_solid( *background ) );
        expect_no_provenance( *background );
        const auto blocks =
            background->polyhedron_attribute_manager().find_attribute_base(
                "orvane_macro_block_id" );
        ASSERT_NE( blocks, nullptr );
        EXPECT_TRUE( blocks->properties().assignable );
        EXPECT_FALSE( blocks->properties().interpolable );
        for( const auto& [manager, name] :
            { std::pair{ &background->vertex_attribute_manager(), "init_vertex_id" },
                { &background->vertex_attribute_manager(), "init_edge_id" },
                { &background->vertex_attribute_manager(), "init_facet_id" },
                { &background->edges().edge_attribute_manager(), "init_edge_id" },
                { &background->facets().facet_attribute_manager(), "init_facet_id" } } )
        {
            const auto attribute = manager->find_attribute_base( name );
            ASSERT_NE( attribute, nullptr ) << name;
            EXPECT_FALSE( attribute->properties().assignable ) << name;
            EXPECT_FALSE( attribute->properties().interpolable ) << name;
        }
    }

    TEST( BackgroundSolid, solid_of_another_implementation_is_copied )
    {
        auto first = orvane::test::background_grid( 2, 1, 1 );
        BackgroundSolidBuilder builder{ *first };
        builder.add_init_vertex_id( orvane::uuid{}, 3, 0 );
        // Viewed as a tetrahedral solid of the "BackgroundSolid" implementation.
        const BackgroundSolid copy{
            static_cast< orvane::TetrahedralSolid< 3 >& >( *first ) };
        EXPECT_EQ( first->nb_polyhedra(), 12u );
        EXPECT_EQ( copy.nb_polyhedra(), 12u );
        EXPECT_EQ( copy.nb_vertices(), first->nb_vertices() );
        for( index_t t = 0; t < copy.nb_polyhedra(); t++ )
        {
            EXPECT_EQ( copy.polyhedron_vertices( t ), first->polyhedron_vertices( t ) );
        }
        // The attributes come with the copy.
        EXPECT_EQ( copy.init_vertex_ids( 0 ), first->init_vertex_ids( 0 ) );
        EXPECT_EQ( first->init_vertex_ids( 0 ).size(), 1u );
        EXPECT_TRUE( orvane::test::is_valid_tetrahedral_solid( copy ) );
    }

    TEST( BackgroundSolid, closest_element_answers_the_containing_or_nearest_tetrahedron )
    {
        const auto solid = orvane::test::background_grid( 3, 2, 2 );
        for( index_t t = 0; t < solid->nb_polyhedra(); t++ )
        {
            const auto [found, distance] =
                solid->closest_element( solid->polyhedron_barycenter( t ) );
            EXPECT_EQ( found, t );
            EXPECT_EQ( distance, 0. );
        }
        for( const auto& point : { Point< 3 >{ { -1.5, 0.3, 0.7 } },
                 Point< 3 >{ { 4., 3., 3. } }, Point< 3 >{ { 1.2, -0.01, 5. } },
                 Point< 3 >{ { 1., 1., 1. } } } )
        {
            const auto [found, distance] = solid->closest_element( point );
            const auto expected = brute_closest( *solid, point );
            EXPECT_DOUBLE_EQ( distance, expected.second ) << point.string();
            ASSERT_NE( found, NO_ID );
            EXPECT_DOUBLE_EQ(
                std::get< 0 >( orvane::point_tetrahedron_distance(
                    point, solid->tetrahedron( found ) ) ),
                expected.second );
        }
    }

    TEST( BackgroundSolid, closest_element_of_an_empty_solid_is_none )
    {
        auto empty = orvane::test::create_tetrahedral_solid( {}, {} );
        const auto solid = orvane::test::background_from( std::move( empty ) );
        const auto [found, distance] = solid->closest_element( Point< 3 >{ { 1., 2., 3. } } );
        EXPECT_EQ( found, NO_ID );
        EXPECT_EQ( distance, 0. );
        // A default solid, as the mesh factory makes it, answers the same.
        const BackgroundSolid unbuilt;
        EXPECT_EQ( unbuilt.closest_element( Point< 3 >{ { 0., 0., 0. } } ).first, NO_ID );
    }

    TEST( BackgroundSolid, search_is_a_snapshot_until_clean )
    {
        auto solid = orvane::test::background_grid( 2, 2, 2 );
        BackgroundSolidBuilder builder{ *solid };
        orvane::internal::BackgroundSolidModifier modifier{ *solid, builder };
        const auto nb_tetrahedra = solid->nb_polyhedra();
        const auto point = solid->polyhedron_barycenter( 5 );
        // Split tetrahedron 5 and an earlier one, so that cleaning renumbers.
        modifier.split_tetrahedron( 0, solid->polyhedron_barycenter( 0 ) );
        modifier.split_tetrahedron( 5, point + Point< 3 >{ { 0.01, 0., 0. } } );
        EXPECT_EQ( solid->closest_element( point ).first, 5u );

        modifier.clean();
        EXPECT_EQ( solid->nb_polyhedra(), nb_tetrahedra + 6 );
        const auto [found, distance] = solid->closest_element( point );
        ASSERT_LT( found, solid->nb_polyhedra() );
        EXPECT_EQ( distance, 0. );
        EXPECT_EQ( std::get< 0 >( orvane::point_tetrahedron_distance(
                       point, solid->tetrahedron( found ) ) ),
            0. );
        // The tetrahedron found is one of the four parts of the old one.
        EXPECT_GE( found, nb_tetrahedra - 2 );
    }
} // namespace
