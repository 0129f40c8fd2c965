#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/edges.hpp>

#include <common/modifier/triangulated_surface_modifier.hpp>

#include <tests/support/surface_modifier_checks.hpp>

namespace
{
    using namespace orvane;
    using test::is_valid_surface;

    template < typename T >
    class SurfaceSwap : public ::testing::Test
    {
    public:
        static constexpr index_t dimension = T::value;
    };

    using Dimensions = ::testing::Types< std::integral_constant< index_t, 2 >,
        std::integral_constant< index_t, 3 > >;
    TYPED_TEST_SUITE( SurfaceSwap, Dimensions );

    TYPED_TEST( SurfaceSwap, swap_diagonal_of_square_inside_strip )
    {
        constexpr auto dimension = TestFixture::dimension;
        // Three squares; the middle one is triangles 2 (1, 2, 6) and
        // 3 (1, 6, 5), its diagonal runs from 1 to 6.
        auto surface = test::make_strip< dimension >( 3 );
        auto origin = surface.mesh->polygon_attribute_manager()
                          .template find_or_create_attribute< VariableAttribute,
                              index_t >( "origin", NO_ID, { true, false } );
        for( index_t polygon = 0; polygon < 6; polygon++ )
        {
            origin->set_value( polygon, polygon );
        }
        TriangulatedSurfaceModifier< dimension > modifier{ *surface.mesh,
            *surface.builder };
        // Edge 2 of triangle 2 runs along the diagonal from 6 to 1.
        const PolygonEdge edge{ 2, 2 };
        ASSERT_EQ( surface.mesh->polygon_edge_vertices( edge ),
            ( EdgeVertices{ 6, 1 } ) );
        const auto info = modifier.swap_edge( edge );
        ASSERT_TRUE( is_valid_surface( *surface.mesh ) );

        const index_t ta{ 6 }, tb{ 7 };
        // s = 6, t = 1, a = 2 (apex of triangle 2), b = 5 (apex of 3).
        EXPECT_EQ( surface.mesh->polygon_vertices( ta )[0], 6 );
        EXPECT_EQ( surface.mesh->polygon_vertices( ta )[1], 5 );
        EXPECT_EQ( surface.mesh->polygon_vertices( ta )[2], 2 );
        EXPECT_EQ( surface.mesh->polygon_vertices( tb )[0], 2 );
        EXPECT_EQ( surface.mesh->polygon_vertices( tb )[1], 5 );
        EXPECT_EQ( surface.mesh->polygon_vertices( tb )[2], 1 );
        EXPECT_EQ( info.old_polygons, ( std::array< index_t, 2 >{ 2, 3 } ) );
        EXPECT_EQ( info.new_polygons, ( std::array< index_t, 2 >{ ta, tb } ) );
        // A swap copies no attribute: the new triangles take the defaults.
        EXPECT_EQ( origin->value( ta ), NO_ID );
        EXPECT_EQ( origin->value( tb ), NO_ID );
        EXPECT_EQ( info.new_diagonal[0], PolygonEdge( ta, 1 ) );
        EXPECT_EQ( info.new_diagonal[1], PolygonEdge( tb, 0 ) );
        EXPECT_EQ( info.old_diagonal[0], edge );
        EXPECT_EQ( info.old_diagonal[1], PolygonEdge( 3, 0 ) );
        // Outer edges, in the order n_A (1 -> 2), p_A (2 -> 6), n_B (6 -> 5),
        // p_B (5 -> 1): the first and third lie on the border.
        const std::array< PolygonEdge, 4 > new_edges{ PolygonEdge( tb, 2 ),
            PolygonEdge( ta, 2 ), PolygonEdge( ta, 0 ), PolygonEdge( tb, 1 ) };
        const std::array< PolygonEdge, 4 > old_edges{ PolygonEdge( 2, 0 ),
            PolygonEdge( 2, 1 ), PolygonEdge( 3, 1 ), PolygonEdge( 3, 2 ) };
        for( std::size_t i = 0; i < 4; i++ )
        {
            EXPECT_EQ( info.outer_edges[i].new_edge, new_edges[i] ) << i;
            const auto neighbour = surface.mesh->polygon_adjacent( new_edges[i] );
            if( neighbour )
            {
                EXPECT_EQ( info.outer_edges[i].old_edge, old_edges[i] ) << i;
            }
            else
            {
                EXPECT_EQ( info.outer_edges[i].old_edge, PolygonEdge{} ) << i;
            }
        }
        // 1 -> 2 and 6 -> 5 lie on the border; 2 -> 6 and 5 -> 1 do not.
        EXPECT_FALSE( surface.mesh->polygon_adjacent( new_edges[0] ) );
        EXPECT_EQ( surface.mesh->polygon_adjacent( new_edges[1] ), 5 );
        EXPECT_FALSE( surface.mesh->polygon_adjacent( new_edges[2] ) );
        EXPECT_EQ( surface.mesh->polygon_adjacent( new_edges[3] ), 0 );
    }

    TYPED_TEST( SurfaceSwap, border_edge_is_refused_before_any_change )
    {
        constexpr auto dimension = TestFixture::dimension;
        auto surface = test::make_square< dimension >();
        TriangulatedSurfaceModifier< dimension > modifier{ *surface.mesh,
            *surface.builder };
        EXPECT_THROW( modifier.swap_edge( { 0, 0 } ), OpenOrvaneException );
        EXPECT_EQ( surface.mesh->nb_polygons(), 2 );
        EXPECT_TRUE( modifier.is_polygon_active( 0 ) );
        EXPECT_TRUE( modifier.is_polygon_active( 1 ) );
        EXPECT_TRUE( is_valid_surface( *surface.mesh ) );
    }

    TEST( SurfaceSwapEdges, swap_revives_a_recreated_edge )
    {
        auto surface = test::make_square< 3 >();
        surface.mesh->enable_edges();
        TriangulatedSurfaceModifier< 3 > modifier{ *surface.mesh,
            *surface.builder };
        const auto& edges = surface.mesh->edges();
        const auto diagonal = edges.edge_from_vertices( { 0, 2 } ).value();
        // Splitting the diagonal flags its table entry inactive; swapping the
        // new inner edge towards vertex 1 makes (0, 2) an edge again.
        const auto split =
            modifier.split_edge( { 0, 2 }, Point< 3 >{ { 0.6, 0.4, 0 } } );
        EXPECT_FALSE( modifier.is_edge_active( diagonal ) );
        auto inner =
            surface.mesh->polygon_edge_from_vertices( split.new_vertex, 1 );
        if( !inner )
        {
            inner = surface.mesh->polygon_edge_from_vertices( 1, split.new_vertex );
        }
        ASSERT_TRUE( inner );
        modifier.swap_edge( inner.value() );
        ASSERT_TRUE( is_valid_surface( *surface.mesh ) );
        EXPECT_EQ( edges.edge_from_vertices( { 0, 2 } ), diagonal );
        EXPECT_TRUE( modifier.is_edge_active( diagonal ) );
    }
} // namespace
