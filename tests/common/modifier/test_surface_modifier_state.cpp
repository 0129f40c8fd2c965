#include <array>
#include <typeinfo>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/edges.hpp>

#include <common/modifier/common_modifier_surface_library.hpp>
#include <common/modifier/mesh_modifier_factory.hpp>
#include <common/modifier/triangulated_surface_modifier.hpp>

#include <tests/support/surface_fixtures.hpp>
#include <tests/support/surface_modifier_checks.hpp>

namespace
{
    using namespace orvane;
    using test::is_valid_surface;

    constexpr const char* ACTIVE = "orvane_active";

    std::shared_ptr< VariableAttribute< double > > height_attribute(
        const VertexSet& mesh )
    {
        return mesh.vertex_attribute_manager()
            .find_or_create_attribute< VariableAttribute, double >(
                "height", 0., { false, true } );
    }

    TEST( SurfaceChecker, detects_broken_surfaces )
    {
        {
            auto surface = test::make_square< 3 >();
            ASSERT_TRUE( is_valid_surface( *surface.mesh ) );
            surface.builder->unset_polygon_adjacent( { 0, 2 } );
            EXPECT_FALSE( is_valid_surface( *surface.mesh ) );
        }
        {
            auto surface = test::make_surface< 2 >(
                { { 0, 0, 0 }, { 1, 0, 0 }, { 0, 1, 0 } }, { { 0, 2, 1 } } );
            EXPECT_FALSE( is_valid_surface( *surface.mesh ) );
        }
        {
            auto surface = test::make_square< 3 >();
            surface.builder->associate_polygon_vertex_to_vertex( { 0, 0 }, 3 );
            EXPECT_FALSE( is_valid_surface( *surface.mesh ) );
        }
    }

    TEST( SurfaceModifierMove, isolated_vertex_only_moves )
    {
        auto surface = test::make_surface< 3 >(
            { { 0, 0, 0 }, { 1, 0, 0 }, { 0, 1, 0 }, { 5, 5, 5 } },
            { { 0, 1, 2 } } );
        auto height = height_attribute( *surface.mesh );
        height->set_value( 3, 4. );
        TriangulatedSurfaceModifier< 3 > modifier{ *surface.mesh,
            *surface.builder };
        const Point< 3 > target{ { 7, 7, 7 } };
        modifier.move_vertex( 3, target );
        EXPECT_EQ( surface.mesh->point( 3 ), target );
        EXPECT_DOUBLE_EQ( height->value( 3 ), 4. );
    }

    TEST( SurfaceModifierMove, first_close_triangle_of_the_fan_wins )
    {
        auto surface = test::make_square< 3 >();
        auto height = height_attribute( *surface.mesh );
        height->set_value( 1, 100. );
        height->set_value( 3, 100. );
        TriangulatedSurfaceModifier< 3 > modifier{ *surface.mesh,
            *surface.builder };
        // The fan of vertex 0 starts with triangle 1 (0, 2, 3), which lies
        // within 1e-6 of the target although triangle 0 holds it.
        ASSERT_EQ( surface.mesh->polygons_around_vertex( 0 )[0].polygon_id, 1 );
        const Point< 3 > target{ { 0.5 + 5e-7, 0.5, 0 } };
        modifier.move_vertex( 0, target );
        EXPECT_EQ( surface.mesh->point( 0 ), target );
        // Weights in triangle 1: 0.5 on vertex 0, 0.5 + 5e-7 on 2 and -5e-7
        // on 3; in triangle 0 the value would be +5e-5.
        EXPECT_NEAR( height->value( 0 ), -5e-5, 1e-9 );
        EXPECT_TRUE( is_valid_surface( *surface.mesh ) );
    }

    /// Moves the centre of a flat closed fan of six triangles to each target
    /// and checks that the interpolated height reproduces a linear field
    /// there, the target inside the fan, on its border or far outside it.
    template < index_t dimension >
    void check_linear_field_after_moves( const Point< dimension >& offset )
    {
        const auto linear = [&]( const Point< dimension >& p ) {
            double value = 1. + 2. * p.value( 0 ) - 3. * p.value( 1 );
            if constexpr( dimension == 3 )
            {
                value += 0.5 * p.value( 2 );
            }
            return value;
        };
        for( const auto [x, y] : { std::array< double, 2 >{ 0.3, -0.2 },
                 { 1., 0. }, { 2.5, -1.7 }, { -40., 13. } } )
        {
            auto mesh = test::triangle_fan< dimension >( 6, true );
            auto builder = TriangulatedSurfaceBuilder< dimension >::create( *mesh );
            // The fan moved off the origin (and off z = 0 in 3D).
            for( index_t v = 0; v < mesh->nb_vertices(); v++ )
            {
                builder->set_point( v, mesh->point( v ) + offset );
            }
            auto height = height_attribute( *mesh );
            for( index_t v = 0; v < mesh->nb_vertices(); v++ )
            {
                height->set_value( v, linear( mesh->point( v ) ) );
            }
            TriangulatedSurfaceModifier< dimension > modifier{ *mesh, *builder };
            auto target = test::planar_point< dimension >( x, y ) + offset;
            SCOPED_TRACE( target.string() );
            modifier.move_vertex( 0, target );
            EXPECT_NEAR( height->value( 0 ), linear( target ), 1e-12 );
        }
    }

    TEST( SurfaceModifierMove, linear_field_follows_a_move_out_of_the_fan )
    {
        check_linear_field_after_moves< 2 >( Point< 2 >{ { 0.25, -3. } } );
        check_linear_field_after_moves< 3 >( Point< 3 >{ { 0.25, -3., 7. } } );
    }

    TEST( SurfaceModifierClean, right_after_construction_keeps_everything )
    {
        auto surface = test::make_hexagonal_fan< 3 >();
        TriangulatedSurfaceModifier< 3 > modifier{ *surface.mesh,
            *surface.builder };
        const auto info = modifier.clean();
        EXPECT_EQ( info.polygons, ( std::vector< index_t >{ 0, 1, 2, 3, 4, 5 } ) );
        EXPECT_EQ( info.vertices.size(), 7 );
        EXPECT_TRUE( info.edges.empty() );
        EXPECT_TRUE( is_valid_surface( *surface.mesh ) );
    }

    TEST( SurfaceModifierClean, compacts_after_edits_and_clears_vertex_map )
    {
        auto surface = test::make_grid< 3 >( 3, 3 );
        surface.mesh->enable_edges();
        TriangulatedSurfaceModifier< 3 > modifier{ *surface.mesh,
            *surface.builder };
        const auto nb_edges = surface.mesh->edges().nb_edges();
        const auto collapse = modifier.collapse_edge(
            PolygonEdge{ 9, 0 }, Point< 3 >{ { 1.5, 1.5, 0 } } );
        modifier.split_triangle( 0, surface.mesh->polygon_barycenter( 0 ) );
        ASSERT_TRUE( is_valid_surface( *surface.mesh ) );
        const auto a = collapse.merged_vertices[0];

        const auto info = modifier.clean();
        ASSERT_TRUE( is_valid_surface( *surface.mesh ) );
        EXPECT_EQ( surface.mesh->nb_polygons(), 18 - 2 - 1 + 3 );
        EXPECT_EQ( info.polygons[0], NO_ID );
        EXPECT_EQ( info.polygons[8], NO_ID );
        EXPECT_EQ( info.polygons[9], NO_ID );
        EXPECT_EQ( info.vertices[a], NO_ID );
        EXPECT_EQ( info.vertices[collapse.merged_vertices[1]], NO_ID );
        EXPECT_NE( info.vertices[collapse.new_vertex], NO_ID );
        // The collapse joined the new vertex to the 8 neighbours of its ends,
        // the split made 3 inner edges.
        ASSERT_EQ( info.edges.size(), nb_edges + 8 + 3 );
        // The collapsed edge and the edges of the merged vertices are gone.
        EXPECT_EQ( std::count( info.edges.begin(), info.edges.end(), NO_ID ),
            1 + 2 * 5 );
        for( index_t polygon = 0; polygon < surface.mesh->nb_polygons(); polygon++ )
        {
            EXPECT_TRUE( modifier.is_polygon_active( polygon ) );
        }
        // Old indices mean nothing any more.
        EXPECT_EQ( modifier.updated_vertex( a ), a );
    }

    TEST( SurfaceModifierFlags, live_with_the_modifier )
    {
        auto surface = test::make_square< 3 >();
        surface.mesh->enable_edges();
        const auto& polygons = surface.mesh->polygon_attribute_manager();
        const auto& edges = surface.mesh->edges().edge_attribute_manager();
        {
            TriangulatedSurfaceModifier< 3 > modifier{ *surface.mesh,
                *surface.builder };
            EXPECT_TRUE( polygons.attribute_exists( ACTIVE ) );
            EXPECT_TRUE( edges.attribute_exists( ACTIVE ) );
            for( index_t edge = 0; edge < surface.mesh->edges().nb_edges(); edge++ )
            {
                EXPECT_TRUE( modifier.is_edge_active( edge ) );
            }
            modifier.swap_edge( { 0, 2 } );
        }
        EXPECT_FALSE( polygons.attribute_exists( ACTIVE ) );
        EXPECT_FALSE( edges.attribute_exists( ACTIVE ) );
    }

    TEST( SurfaceModifierFlags, edge_flags_made_on_demand )
    {
        auto surface = test::make_square< 3 >();
        TriangulatedSurfaceModifier< 3 > modifier{ *surface.mesh,
            *surface.builder };
        try
        {
            static_cast< void >( modifier.is_edge_active( 0 ) );
            FAIL() << "edge flags without an edge table";
        }
        catch( const OpenOrvaneException& error )
        {
            EXPECT_STREQ( error.what(),
                "[TriangulatedSurfaceModifier::is_edge_active] Edges should be "
                "enabled to use edge indexing" );
        }
        modifier.swap_edge( { 0, 2 } );
        // The table, built now from every polygon, still lists the old
        // diagonal; only the edges of active triangles are active.
        surface.mesh->enable_edges();
        const auto& edges = surface.mesh->edges();
        EXPECT_FALSE( modifier.is_edge_active(
            edges.edge_from_vertices( { 0, 2 } ).value() ) );
        EXPECT_TRUE( modifier.is_edge_active(
            edges.edge_from_vertices( { 1, 3 } ).value() ) );
        EXPECT_TRUE( modifier.is_edge_active(
            edges.edge_from_vertices( { 0, 1 } ).value() ) );
    }

    TEST( SurfaceModifierFactory, creates_modifiers_by_implementation_name )
    {
        CommonModifierSurfaceLibrary::initialize();
        auto surface3 = test::make_square< 3 >();
        auto modifier3 = MeshModifierFactory::create< TriangulatedSurfaceModifier< 3 > >(
            *surface3.mesh, *surface3.builder );
        ASSERT_TRUE( modifier3 );
        modifier3->split_triangle( 0, surface3.mesh->polygon_barycenter( 0 ) );
        EXPECT_TRUE( is_valid_surface( *surface3.mesh ) );

        auto surface2 = test::make_square< 2 >();
        auto modifier2 = MeshModifierFactory::create< TriangulatedSurfaceModifier< 2 > >(
            *surface2.mesh, *surface2.builder );
        EXPECT_TRUE( modifier2 );

        // A surface creator handed another kind of mesh.
        auto curve = EdgedCurve< 3 >::create();
        auto curve_builder = EdgedCurveBuilder< 3 >::create( *curve );
        EXPECT_THROW( static_cast< void >( MeshModifierFactory::create(
                          MeshModifierFactory::key(
                              "OpenOrvaneTriangulatedSurface", 3 ),
                          *curve, *curve_builder ) ),
            std::bad_cast );
    }

    TEST( SurfaceOrientation, triangle_inverted_against_reference )
    {
        struct Case
        {
            const char* name;
            std::array< Point< 3 >, 3 > triangle;
            Vector< 3 > reference;
            bool inverted;
        };
        const Point< 3 > o{ { 0, 0, 0 } };
        const Point< 3 > x{ { 1, 0, 0 } };
        const Point< 3 > y{ { 0, 1, 0 } };
        const Point< 3 > tiny_x{ { 1e-16, 0, 0 } };
        const Point< 3 > tiny_y{ { 0, 1e-16, 0 } };
        const std::vector< Case > cases{
            { "short reference", { o, y, x }, Vector< 3 >{ { 0, 0, 0.9e-6 } },
                false },
            { "along normal", { o, x, y }, Vector< 3 >{ { 0, 0, 1 } }, false },
            { "against normal", { o, x, y }, Vector< 3 >{ { 0, 0, -1 } }, true },
            { "reversed twin", { o, y, x }, Vector< 3 >{ { 0, 0, 1 } }, true },
            { "orthogonal", { o, x, y }, Vector< 3 >{ { 1, 0, 0 } }, true },
            { "slightly tilted", { o, x, y }, Vector< 3 >{ { 1, 1, 1e-9 } },
                false },
            { "flat", { o, x, Point< 3 >{ { 2, 0, 0 } } },
                Vector< 3 >{ { 0, 0, -1 } }, false },
            { "tiny, positive area", { o, tiny_x, tiny_y },
                Vector< 3 >{ { 0.1, 0, 1 } }, false },
            { "tiny, negative area", { o, tiny_y, tiny_x },
                Vector< 3 >{ { 0.1, 0, 1 } }, true },
            { "tiny, against negative axis", { o, tiny_x, tiny_y },
                Vector< 3 >{ { 0, 0, -1 } }, true },
        };
        for( const auto& test_case : cases )
        {
            const Triangle< 3 > triangle{ test_case.triangle[0],
                test_case.triangle[1], test_case.triangle[2] };
            EXPECT_EQ( detail::is_triangle_inverted( triangle, test_case.reference ),
                test_case.inverted )
                << test_case.name;
        }
    }

    TEST( SurfaceOrientation, inverted_around_edge_and_in_polygon )
    {
        auto surface = test::make_square< 3 >();
        const auto& mesh = *surface.mesh;
        const auto triangle = mesh.triangle( 0 );
        const auto& points = triangle.vertices();
        const Triangle< 3 > reversed{ points[0], points[2], points[1] };
        EXPECT_FALSE( detail::is_triangle_inverted_in_polygon( mesh, triangle, 1 ) );
        EXPECT_TRUE( detail::is_triangle_inverted_in_polygon( mesh, reversed, 1 ) );
        EXPECT_FALSE(
            detail::is_triangle_inverted_around_edge( mesh, triangle, { 0, 2 } ) );
        EXPECT_TRUE(
            detail::is_triangle_inverted_around_edge( mesh, reversed, { 0, 0 } ) );
    }
} // namespace
