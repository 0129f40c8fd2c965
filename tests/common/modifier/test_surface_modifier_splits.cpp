#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/edges.hpp>

#include <common/modifier/triangulated_surface_modifier.hpp>

#include <tests/support/surface_fixtures.hpp>
#include <tests/support/surface_modifier_checks.hpp>

namespace
{
    using namespace orvane;
    using test::is_valid_surface;
    using test::planar_point;

    template < typename T >
    class SurfaceSplit : public ::testing::Test
    {
    public:
        static constexpr index_t dimension = T::value;
    };

    using Dimensions = ::testing::Types< std::integral_constant< index_t, 2 >,
        std::integral_constant< index_t, 3 > >;
    TYPED_TEST_SUITE( SurfaceSplit, Dimensions );

    TYPED_TEST( SurfaceSplit, split_triangle_of_isolated_triangle )
    {
        constexpr auto dimension = TestFixture::dimension;
        auto surface = test::make_surface< dimension >(
            { { 0, 0, 0 }, { 1, 0, 0 }, { 0, 1, 0 } }, { { 0, 1, 2 } } );
        auto height =
            surface.mesh->vertex_attribute_manager()
                .template find_or_create_attribute< VariableAttribute, double >(
                    "height", 0., { false, true } );
        height->set_value( 0, 3. );
        height->set_value( 1, 6. );
        height->set_value( 2, 9. );
        auto origin = surface.mesh->polygon_attribute_manager()
                          .template find_or_create_attribute< VariableAttribute,
                              index_t >( "origin", NO_ID, { true, false } );
        origin->set_value( 0, 42 );

        TriangulatedSurfaceModifier< dimension > modifier{ *surface.mesh,
            *surface.builder };
        const auto info =
            modifier.split_triangle( 0, planar_point< dimension >( 0.25, 0.25 ) );
        ASSERT_TRUE( is_valid_surface( *surface.mesh ) );

        EXPECT_EQ( info.new_vertex, 3 );
        EXPECT_DOUBLE_EQ( height->value( 3 ), 0.5 * 3. + 0.25 * 6. + 0.25 * 9. );
        EXPECT_FALSE( modifier.is_polygon_active( 0 ) );
        ASSERT_EQ( info.polygons.size(), 3 );
        EXPECT_TRUE( info.extra_edges.empty() );
        for( local_index_t i = 0; i < 3; i++ )
        {
            const auto triangle = info.polygons[i].new_element;
            EXPECT_EQ( triangle, 1 + i );
            EXPECT_EQ( info.polygons[i].old_element, 0 );
            EXPECT_EQ( origin->value( triangle ), 42 );
            EXPECT_EQ( info.border_edges[i].new_edge, PolygonEdge( triangle, 0 ) );
            EXPECT_EQ( info.border_edges[i].old_edge, PolygonEdge( 0, i ) );
            EXPECT_EQ( info.new_edges[2 * i], PolygonEdge( triangle, 1 ) );
            EXPECT_EQ( info.new_edges[2 * i + 1], PolygonEdge( triangle, 2 ) );
            EXPECT_FALSE( surface.mesh->polygon_adjacent( { triangle, 0 } ) );
            // Inner edges form a cycle t0 -> t1 -> t2 -> t0.
            EXPECT_EQ( surface.mesh->polygon_adjacent( { triangle, 1 } ),
                1 + ( i + 1 ) % 3 );
        }
    }

    TYPED_TEST( SurfaceSplit, split_triangle_relinks_outer_neighbours )
    {
        constexpr auto dimension = TestFixture::dimension;
        auto surface = test::make_hexagonal_fan< dimension >();
        TriangulatedSurfaceModifier< dimension > modifier{ *surface.mesh,
            *surface.builder };
        const auto centroid = surface.mesh->polygon_barycenter( 2 );
        const auto info = modifier.split_triangle( 2, centroid );
        ASSERT_TRUE( is_valid_surface( *surface.mesh ) );
        // The triangle's edges 0 and 2 had neighbours 3 and 1, edge 1 none.
        EXPECT_EQ( surface.mesh->polygon_adjacent( { info.polygons[0].new_element, 0 } ),
            1 );
        EXPECT_FALSE(
            surface.mesh->polygon_adjacent( { info.polygons[1].new_element, 0 } ) );
        EXPECT_EQ( surface.mesh->polygon_adjacent( { info.polygons[2].new_element, 0 } ),
            3 );
        EXPECT_EQ( test::nb_active_polygons( *surface.mesh ), 8 );
    }

    TYPED_TEST( SurfaceSplit, split_border_edge )
    {
        constexpr auto dimension = TestFixture::dimension;
        auto surface = test::make_square< dimension >();
        TriangulatedSurfaceModifier< dimension > modifier{ *surface.mesh,
            *surface.builder };
        // Edge 0 of triangle 0 runs from 0 to 1 along the border.
        const PolygonEdge edge{ 0, 0 };
        const auto info = modifier.split_edge( edge, planar_point< dimension >( 0.5, 0 ) );
        ASSERT_TRUE( is_valid_surface( *surface.mesh ) );
        EXPECT_EQ( info.new_vertex, 4 );
        for( const auto& half : info.halves )
        {
            EXPECT_EQ( half.new_edges.size(), 1 );
            EXPECT_EQ( half.split_edges.size(), 1 );
            EXPECT_EQ( half.outer_edges.size(), 1 );
            EXPECT_EQ( half.polygons.size(), 1 );
        }
        const auto& first = info.halves[0];
        const auto& second = info.halves[1];
        EXPECT_EQ( first.polygons[0], ( ElementOrigin{ 2, 0 } ) );
        EXPECT_EQ( second.polygons[0], ( ElementOrigin{ 3, 0 } ) );
        EXPECT_EQ( first.new_edges[0], PolygonEdge( 2, 1 ) );
        EXPECT_EQ( second.new_edges[0], PolygonEdge( 3, 2 ) );
        EXPECT_EQ( first.split_edges[0],
            ( PolygonEdgeOrigin{ PolygonEdge( 2, 0 ), edge } ) );
        EXPECT_EQ( first.outer_edges[0],
            ( PolygonEdgeOrigin{ PolygonEdge( 2, 2 ), PolygonEdge( 0, 2 ) } ) );
        EXPECT_EQ( second.outer_edges[0],
            ( PolygonEdgeOrigin{ PolygonEdge( 3, 1 ), PolygonEdge( 0, 1 ) } ) );
        // The two pieces of the split edge stay on the border.
        EXPECT_FALSE( surface.mesh->polygon_adjacent( { 2, 0 } ) );
        EXPECT_FALSE( surface.mesh->polygon_adjacent( { 3, 0 } ) );
        EXPECT_EQ( surface.mesh->polygon_adjacent( { 2, 2 } ), 1 );
    }

    TYPED_TEST( SurfaceSplit, split_inner_edge )
    {
        constexpr auto dimension = TestFixture::dimension;
        auto surface = test::make_square< dimension >();
        surface.mesh->enable_edges();
        auto weight = surface.mesh->edges()
                          .edge_attribute_manager()
                          .template find_or_create_attribute< VariableAttribute,
                              double >( "weight", 0., { true, false } );
        const auto diagonal =
            surface.mesh->edges().edge_from_vertices( { 0, 2 } ).value();
        weight->set_value( diagonal, 7. );
        auto origin = surface.mesh->polygon_attribute_manager()
                          .template find_or_create_attribute< VariableAttribute,
                              index_t >( "origin", NO_ID, { true, false } );
        origin->set_value( 0, 10 );
        origin->set_value( 1, 11 );
        auto height =
            surface.mesh->vertex_attribute_manager()
                .template find_or_create_attribute< VariableAttribute, double >(
                    "height", 0., { false, true } );
        height->set_value( 0, 2. );
        height->set_value( 2, 6. );

        TriangulatedSurfaceModifier< dimension > modifier{ *surface.mesh,
            *surface.builder };
        // Edge 2 of triangle 0 runs from 2 to 0; triangle 1 holds 0 to 2.
        const PolygonEdge edge{ 0, 2 };
        const auto info =
            modifier.split_edge( edge, planar_point< dimension >( 0.5, 0.5 ) );
        ASSERT_TRUE( is_valid_surface( *surface.mesh ) );
        EXPECT_EQ( test::nb_active_polygons( *surface.mesh ), 4 );
        const index_t t1{ 2 }, t2{ 3 }, u1{ 4 }, u2{ 5 };
        EXPECT_EQ( info.halves[0].polygons[0], ( ElementOrigin{ t1, 0 } ) );
        EXPECT_EQ( info.halves[0].polygons[1], ( ElementOrigin{ u2, 1 } ) );
        EXPECT_EQ( info.halves[1].polygons[0], ( ElementOrigin{ t2, 0 } ) );
        EXPECT_EQ( info.halves[1].polygons[1], ( ElementOrigin{ u1, 1 } ) );
        EXPECT_EQ( info.halves[0].new_edges[1], PolygonEdge( u2, 2 ) );
        EXPECT_EQ( info.halves[1].new_edges[1], PolygonEdge( u1, 1 ) );
        EXPECT_EQ(
            info.halves[0].split_edges[1].old_edge, PolygonEdge( 1, 0 ) );
        EXPECT_EQ( surface.mesh->polygon_adjacent( { t1, 0 } ), u2 );
        EXPECT_EQ( surface.mesh->polygon_adjacent( { t2, 0 } ), u1 );
        for( const auto& half : info.halves )
        {
            for( const auto& polygon : half.polygons )
            {
                EXPECT_EQ( origin->value( polygon.new_element ),
                    origin->value( polygon.old_element ) );
            }
        }
        // Interpolated at the middle of the edge from 2 to 0.
        EXPECT_DOUBLE_EQ( height->value( info.new_vertex ), 4. );

        // The split edge is inactive and both halves carry its attributes.
        EXPECT_FALSE( modifier.is_edge_active( diagonal ) );
        const auto& edges = surface.mesh->edges();
        const auto v = info.new_vertex;
        for( const index_t end : { 0, 2 } )
        {
            const auto half = edges.edge_from_vertices( { end, v } ).value();
            EXPECT_TRUE( modifier.is_edge_active( half ) );
            EXPECT_DOUBLE_EQ( weight->value( half ), 7. );
        }
        for( const index_t apex : { 1, 3 } )
        {
            const auto inner = edges.edge_from_vertices( { apex, v } ).value();
            EXPECT_TRUE( modifier.is_edge_active( inner ) );
            EXPECT_DOUBLE_EQ( weight->value( inner ), 0. );
        }
    }

    TEST( SurfaceSplitPillow, split_edge_keeps_halves_linked_across_second_edge )
    {
        auto surface = test::make_pillow();
        const test::SurfaceEditCheckOptions pillow{ false, true };
        ASSERT_TRUE( is_valid_surface( *surface.mesh, pillow ) );
        TriangulatedSurfaceModifier< 3 > modifier{ *surface.mesh,
            *surface.builder };
        const auto info =
            modifier.split_edge( { 0, 0 }, Point< 3 >{ { 0.5, 0, 0 } } );
        ASSERT_TRUE( is_valid_surface( *surface.mesh, pillow ) );
        const auto& mesh = *surface.mesh;
        for( index_t polygon = 2; polygon < 6; polygon++ )
        {
            for( local_index_t edge = 0; edge < 3; edge++ )
            {
                const auto adjacent = mesh.polygon_adjacent( { polygon, edge } );
                if( adjacent )
                {
                    EXPECT_TRUE( modifier.is_polygon_active( adjacent.value() ) )
                        << "polygon edge " << PolygonEdge( polygon, edge ).string();
                }
            }
        }
        EXPECT_EQ( info.halves[1].polygons.size(), 2 );
    }

    TYPED_TEST( SurfaceSplit, epsilon_split_snaps_to_edge_ends )
    {
        constexpr auto dimension = TestFixture::dimension;
        struct Case
        {
            double x;
            double y;
            SurfaceEpsilonSplitEdgeKind kind;
            index_t vertex;
        };
        // Edge (0, 0) of the square runs from vertex 0 (0, 0) to 1 (1, 0).
        const std::vector< Case > cases{
            { 0., 0., SurfaceEpsilonSplitEdgeKind::first_vertex, 0 },
            { 0.9e-6, 0., SurfaceEpsilonSplitEdgeKind::first_vertex, 0 },
            { 1., 0., SurfaceEpsilonSplitEdgeKind::second_vertex, 1 },
            { 1. - 0.9e-6, 0., SurfaceEpsilonSplitEdgeKind::second_vertex, 1 },
            { 1e-5, 0., SurfaceEpsilonSplitEdgeKind::split, 4 },
            { 1. - 1e-5, 0., SurfaceEpsilonSplitEdgeKind::split, 4 },
        };
        for( const auto& test_case : cases )
        {
            auto surface = test::make_square< dimension >();
            TriangulatedSurfaceEpsilonModifier< dimension > modifier{ *surface.mesh,
                *surface.builder };
            const auto result = modifier.split_edge(
                PolygonEdge{ 0, 0 }, planar_point< dimension >( test_case.x, test_case.y ) );
            SCOPED_TRACE( test_case.x );
            EXPECT_EQ( result.kind, test_case.kind );
            EXPECT_EQ( result.info.new_vertex, test_case.vertex );
            const auto split = test_case.kind == SurfaceEpsilonSplitEdgeKind::split;
            EXPECT_EQ( surface.mesh->nb_vertices(), split ? 5 : 4 );
            EXPECT_EQ( result.info.halves[0].polygons.size(), split ? 1 : 0 );
            EXPECT_TRUE( is_valid_surface( *surface.mesh ) );
        }
    }

    TEST( SurfaceSplitEpsilon, degenerate_edge_snaps_to_first_vertex )
    {
        auto surface = test::make_surface< 3 >(
            { { 0, 0, 0 }, { 0, 0, 0 }, { 0, 1, 0 } }, { { 0, 1, 2 } } );
        TriangulatedSurfaceEpsilonModifier< 3 > modifier{ *surface.mesh,
            *surface.builder };
        const auto result =
            modifier.split_edge( PolygonEdge{ 0, 0 }, Point< 3 >{ { 0, 0, 0 } } );
        EXPECT_EQ( result.kind, SurfaceEpsilonSplitEdgeKind::first_vertex );
        EXPECT_EQ( result.info.new_vertex, 0 );
    }
} // namespace
