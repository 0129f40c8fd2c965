#include <algorithm>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/edges.hpp>

#include <common/modifier/triangle_preview.hpp>
#include <common/modifier/triangulated_surface_modifier.hpp>

#include <tests/support/surface_fixtures.hpp>
#include <tests/support/surface_modifier_checks.hpp>

namespace
{
    using namespace orvane;
    using test::is_valid_surface;
    using test::planar_point;

    /// Vertex (i, j) of test::make_grid( nx, ny ).
    index_t grid_vertex( index_t nx, index_t i, index_t j )
    {
        return j * ( nx + 1 ) + i;
    }

    template < typename T >
    class SurfaceCollapse : public ::testing::Test
    {
    public:
        static constexpr index_t dimension = T::value;
    };

    using Dimensions = ::testing::Types< std::integral_constant< index_t, 2 >,
        std::integral_constant< index_t, 3 > >;
    TYPED_TEST_SUITE( SurfaceCollapse, Dimensions );

    /// Checks what every polygon-edge collapse guarantees, whatever the
    /// surface: the ends are isolated and map to the new vertex, the removed
    /// polygons are inactive and never among the moved corners, and the
    /// moved corners now name the new vertex.
    template < index_t dimension >
    void check_collapse_result( const TriangulatedSurface< dimension >& mesh,
        TriangulatedSurfaceModifier< dimension >& modifier,
        const SurfaceCollapsePolygonEdgeInfo& info,
        const EdgeVertices& ends )
    {
        ASSERT_TRUE( is_valid_surface( mesh ) );
        EXPECT_EQ( info.merged_vertices,
            ( absl::InlinedVector< index_t, 4 >{ ends[0], ends[1] } ) );
        for( const auto end : ends )
        {
            EXPECT_TRUE( mesh.is_vertex_isolated( end ) );
            EXPECT_EQ( modifier.updated_vertex( end ), info.new_vertex );
        }
        for( const auto polygon : info.removed_polygons )
        {
            EXPECT_FALSE( modifier.is_polygon_active( polygon ) );
        }
        for( const auto& corner : info.moved_polygon_vertices )
        {
            EXPECT_EQ( std::count( info.removed_polygons.begin(),
                           info.removed_polygons.end(), corner.polygon_id ),
                0 );
            EXPECT_EQ( mesh.polygon_vertex( corner ), info.new_vertex );
        }
        for( const auto& merge : info.edges )
        {
            ASSERT_EQ( merge.merged_edges.size(), 2 );
            EXPECT_EQ( merge.merged_edges[0], merge.kept_edge );
            EXPECT_TRUE( modifier.is_polygon_active( merge.kept_edge.polygon_id ) );
            EXPECT_FALSE(
                modifier.is_polygon_active( merge.merged_edges[1].polygon_id ) );
        }
    }

    TYPED_TEST( SurfaceCollapse, border_edge_of_strip )
    {
        constexpr auto dimension = TestFixture::dimension;
        // Bottom edge 1 -> 2 of triangle 2 (1, 2, 6); its apex 6 has
        // neighbours on both outer edges.
        auto surface = test::make_strip< dimension >( 3 );
        TriangulatedSurfaceModifier< dimension > modifier{ *surface.mesh,
            *surface.builder };
        const PolygonEdge edge{ 2, 0 };
        const auto ends = surface.mesh->polygon_edge_vertices( edge );
        const auto info =
            modifier.collapse_edge( edge, planar_point< dimension >( 1.5, 0. ) );
        check_collapse_result( *surface.mesh, modifier, info, ends );
        EXPECT_EQ( info.removed_polygons,
            ( absl::InlinedVector< index_t, 4 >{ 2 } ) );
        // n_P is edge 6 -> 2 of triangle 5, p_P edge 1 -> 6 of triangle 3.
        ASSERT_EQ( info.edges.size(), 2 );
        EXPECT_EQ( info.edges[0].kept_edge.polygon_id, 5 );
        EXPECT_EQ( info.edges[0].merged_edges[1], PolygonEdge( 2, 2 ) );
        EXPECT_EQ( info.edges[1].kept_edge.polygon_id, 3 );
        EXPECT_EQ( info.edges[1].merged_edges[1], PolygonEdge( 2, 1 ) );
        EXPECT_EQ( surface.mesh->polygon_adjacent( info.edges[0].kept_edge ), 3 );
        EXPECT_EQ( test::nb_active_polygons( *surface.mesh ), 5 );
    }

    TYPED_TEST( SurfaceCollapse, inner_edge_closes_both_holes )
    {
        constexpr auto dimension = TestFixture::dimension;
        auto surface = test::make_grid< dimension >( 3, 3 );
        TriangulatedSurfaceModifier< dimension > modifier{ *surface.mesh,
            *surface.builder };
        // The diagonal of the middle square, from (1, 1) to (2, 2), is edge
        // 0 of triangle 9 and edge 2 of triangle 8.
        const PolygonEdge edge{ 9, 0 };
        const auto ends = surface.mesh->polygon_edge_vertices( edge );
        ASSERT_EQ( ends, ( EdgeVertices{ grid_vertex( 3, 1, 1 ),
                             grid_vertex( 3, 2, 2 ) } ) );
        const auto info =
            modifier.collapse_edge( edge, planar_point< dimension >( 1.5, 1.5 ) );
        check_collapse_result( *surface.mesh, modifier, info, ends );
        EXPECT_EQ( info.removed_polygons,
            ( absl::InlinedVector< index_t, 4 >{ 9, 8 } ) );
        ASSERT_EQ( info.edges.size(), 4 );
        // In the order n_P, p_P, n_Q, p_Q, each with the removed triangle's
        // edge that now lies on it.
        EXPECT_EQ( info.edges[0].merged_edges[1], PolygonEdge( 9, 2 ) );
        EXPECT_EQ( info.edges[1].merged_edges[1], PolygonEdge( 9, 1 ) );
        EXPECT_EQ( info.edges[2].merged_edges[1], PolygonEdge( 8, 1 ) );
        EXPECT_EQ( info.edges[3].merged_edges[1], PolygonEdge( 8, 0 ) );
        for( const auto& merge : info.edges )
        {
            EXPECT_TRUE( surface.mesh->polygon_adjacent( merge.kept_edge ) );
        }
        // Each end had six triangles, two of which are removed.
        EXPECT_EQ( info.moved_polygon_vertices.size(), 8 );
        EXPECT_EQ( test::nb_active_polygons( *surface.mesh ), 16 );
    }

    TYPED_TEST( SurfaceCollapse, chained_collapses_resolve_through_vertex_map )
    {
        constexpr auto dimension = TestFixture::dimension;
        auto surface = test::make_grid< dimension >( 4, 4 );
        TriangulatedSurfaceModifier< dimension > modifier{ *surface.mesh,
            *surface.builder };
        const auto a = grid_vertex( 4, 1, 1 );
        const auto b = grid_vertex( 4, 2, 1 );
        const auto d = grid_vertex( 4, 3, 1 );
        const auto first = modifier.collapse_edge(
            surface.mesh->polygon_edge_from_vertices( a, b ).value(),
            planar_point< dimension >( 1.5, 1. ) );
        ASSERT_TRUE( is_valid_surface( *surface.mesh ) );
        const auto v = first.new_vertex;
        const auto second = modifier.collapse_edge(
            surface.mesh->polygon_edge_from_vertices( v, d ).value(),
            planar_point< dimension >( 2.5, 1. ) );
        ASSERT_TRUE( is_valid_surface( *surface.mesh ) );
        const auto w = second.new_vertex;
        for( const auto vertex : { a, b, v, d } )
        {
            EXPECT_EQ( modifier.updated_vertex( vertex ), w ) << vertex;
        }
        EXPECT_EQ( modifier.updated_vertex( w ), w );
        EXPECT_EQ( test::nb_active_polygons( *surface.mesh ), 32 - 4 );
    }

    TYPED_TEST( SurfaceCollapse, isolated_triangle_leaves_its_apex_alone )
    {
        constexpr auto dimension = TestFixture::dimension;
        auto surface = test::make_surface< dimension >(
            { { 0, 0, 0 }, { 1, 0, 0 }, { 0, 1, 0 } }, { { 0, 1, 2 } } );
        surface.mesh->enable_edges();
        auto weight = surface.mesh->edges()
                          .edge_attribute_manager()
                          .template find_or_create_attribute< VariableAttribute,
                              double >( "weight", 0., { true, false } );
        TriangulatedSurfaceModifier< dimension > modifier{ *surface.mesh,
            *surface.builder };
        const auto info =
            modifier.collapse_edge( PolygonEdge{ 0, 0 }, planar_point< dimension >( 0.5, 0 ) );
        ASSERT_TRUE( is_valid_surface( *surface.mesh ) );
        EXPECT_TRUE( info.edges.empty() );
        EXPECT_TRUE( info.moved_polygon_vertices.empty() );
        for( const index_t vertex : { 0, 1, 2, 3 } )
        {
            EXPECT_TRUE( surface.mesh->is_vertex_isolated( vertex ) ) << vertex;
        }
    }

    TEST( SurfaceCollapseEdgeIndex, edges_are_merged_and_carry_attributes )
    {
        auto surface = test::make_grid< 3 >( 3, 3 );
        auto& mesh = *surface.mesh;
        mesh.enable_edges();
        const auto& edges = mesh.edges();
        auto weight = edges.edge_attribute_manager()
                          .find_or_create_attribute< VariableAttribute, double >(
                              "weight", -1., { true, false } );
        for( index_t edge = 0; edge < edges.nb_edges(); edge++ )
        {
            weight->set_value( edge, static_cast< double >( edge ) );
        }
        const auto a = grid_vertex( 3, 1, 1 );
        const auto b = grid_vertex( 3, 2, 1 );
        const auto around_a = mesh.vertices_around_vertex( a );
        const auto around_b = mesh.vertices_around_vertex( b );
        const auto collapsed = edges.edge_from_vertices( { a, b } ).value();

        TriangulatedSurfaceModifier< 3 > modifier{ mesh, *surface.builder };
        const auto info =
            modifier.collapse_edge( collapsed, Point< 3 >{ { 1.5, 1, 0 } } );
        ASSERT_TRUE( is_valid_surface( mesh ) );
        const auto v = info.new_vertex;
        EXPECT_EQ( info.removed_polygons.size(), 2 );
        EXPECT_FALSE( modifier.is_edge_active( collapsed ) );

        std::vector< index_t > neighbours;
        for( const auto& [end, around] :
            { std::pair{ a, around_a }, std::pair{ b, around_b } } )
        {
            for( const auto w : around )
            {
                if( w == a || w == b )
                {
                    continue;
                }
                const auto old_edge = edges.edge_from_vertices( { end, w } ).value();
                EXPECT_FALSE( modifier.is_edge_active( old_edge ) );
                neighbours.push_back( w );
            }
        }
        std::sort( neighbours.begin(), neighbours.end() );
        neighbours.erase(
            std::unique( neighbours.begin(), neighbours.end() ), neighbours.end() );
        ASSERT_EQ( info.edges.size(), neighbours.size() );
        for( const auto w : neighbours )
        {
            const auto new_edge = edges.edge_from_vertices( { v, w } ).value();
            EXPECT_TRUE( modifier.is_edge_active( new_edge ) );
            const auto merge = std::find_if( info.edges.begin(), info.edges.end(),
                [new_edge]( const EdgeMerge& entry ) {
                    return entry.new_edge == new_edge;
                } );
            ASSERT_NE( merge, info.edges.end() );
            // A neighbour of both ends keeps the attributes of its edge to the
            // second merged vertex, whose attributes are copied last.
            const auto from_a =
                edges.edge_from_vertices( { info.merged_vertices[0], w } );
            const auto from_b =
                edges.edge_from_vertices( { info.merged_vertices[1], w } );
            EXPECT_DOUBLE_EQ( weight->value( new_edge ),
                weight->value( from_b ? from_b.value() : from_a.value() ) );
            EXPECT_EQ( merge->old_edges.size(), ( from_a && from_b ) ? 2 : 1 );
        }
    }

    TEST( SurfaceCollapseEdgeIndex, refused_before_any_change )
    {
        auto surface = test::make_square< 3 >();
        {
            TriangulatedSurfaceModifier< 3 > modifier{ *surface.mesh,
                *surface.builder };
            // Without an edge table an edge index means nothing.
            EXPECT_THROW(
                modifier.collapse_edge( index_t{ 0 }, Point< 3 >{} ), OpenOrvaneException );
        }
        surface.mesh->enable_edges();
        TriangulatedSurfaceModifier< 3 > modifier{ *surface.mesh,
            *surface.builder };
        // After the swap, the old diagonal is still in the table but no
        // polygon joins its vertices.
        modifier.swap_edge( { 0, 2 } );
        const auto old_diagonal =
            surface.mesh->edges().edge_from_vertices( { 0, 2 } ).value();
        const auto nb_vertices = surface.mesh->nb_vertices();
        EXPECT_THROW( modifier.collapse_edge( old_diagonal, Point< 3 >{} ),
            OpenOrvaneException );
        EXPECT_EQ( surface.mesh->nb_vertices(), nb_vertices );
        EXPECT_TRUE( is_valid_surface( *surface.mesh ) );
    }

    TEST( SurfaceCollapseEdgeIndex, merged_vertices_follow_polygon_edge )
    {
        auto surface = test::make_strip< 3 >( 2 );
        surface.mesh->enable_edges();
        const auto& edges = surface.mesh->edges();
        TriangulatedSurfaceModifier< 3 > modifier{ *surface.mesh,
            *surface.builder };
        // The top border edge between 4 and 5 runs 5 -> 4 in its triangle.
        const auto edge = edges.edge_from_vertices( { 4, 5 } ).value();
        const auto info = modifier.collapse_edge( edge, Point< 3 >{ { 0.5, 1, 0.2 } } );
        ASSERT_TRUE( is_valid_surface( *surface.mesh ) );
        EXPECT_EQ( info.merged_vertices, ( absl::InlinedVector< index_t, 4 >{ 5, 4 } ) );
        EXPECT_EQ( info.removed_polygons.size(), 1 );
    }

    TEST( SurfaceCollapseValidity, accepted_collapses_keep_a_valid_nonempty_surface )
    {
        // Every polygon edge of small surfaces, its ends in both orders: a
        // collapse the test accepts must leave a valid surface with polygons,
        // and the verdict must not depend on the order of the ends.
        struct Fixture
        {
            const char* name;
            std::vector< std::array< double, 3 > > points;
            std::vector< std::array< index_t, 3 > > triangles;
        };
        const std::vector< Fixture > fixtures{
            { "closed tetrahedron",
                { { 0, 0, 0 }, { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 } },
                { { 0, 2, 1 }, { 0, 1, 3 }, { 0, 3, 2 }, { 1, 2, 3 } } },
            { "square", { { 0, 0, 0 }, { 1, 0, 0 }, { 1, 1, 0 }, { 0, 1, 0 } },
                { { 0, 1, 2 }, { 0, 2, 3 } } },
            { "lone triangle", { { 0, 0, 0 }, { 1, 0, 0 }, { 0, 1, 0 } },
                { { 0, 1, 2 } } },
            { "octahedron",
                { { 1, 0, 0 }, { -1, 0, 0 }, { 0, 1, 0 }, { 0, -1, 0 }, { 0, 0, 1 },
                    { 0, 0, -1 } },
                { { 0, 2, 4 }, { 2, 1, 4 }, { 1, 3, 4 }, { 3, 0, 4 }, { 2, 0, 5 },
                    { 1, 2, 5 }, { 3, 1, 5 }, { 0, 3, 5 } } },
        };
        for( const auto& fixture : fixtures )
        {
            const auto reference =
                test::make_surface< 3 >( fixture.points, fixture.triangles );
            for( index_t p = 0; p < reference.mesh->nb_polygons(); p++ )
            {
                for( local_index_t e = 0; e < 3; e++ )
                {
                    const PolygonEdge edge{ p, e };
                    const auto ends = reference.mesh->polygon_edge_vertices( edge );
                    const auto& at = reference.mesh->point( ends[0] );
                    const auto valid = is_collapse_edge_valid(
                        *reference.mesh, { ends[0], ends[1] }, at );
                    EXPECT_EQ( valid, is_collapse_edge_valid(
                                          *reference.mesh, { ends[1], ends[0] }, at ) )
                        << fixture.name << ", edge " << ends[0] << "-" << ends[1];
                    if( !valid )
                    {
                        continue;
                    }
                    auto surface = test::make_surface< 3 >( fixture.points, fixture.triangles );
                    TriangulatedSurfaceModifier< 3 > modifier{ *surface.mesh,
                        *surface.builder };
                    static_cast< void >( modifier.collapse_edge( edge, at ) );
                    EXPECT_TRUE( is_valid_surface( *surface.mesh ) )
                        << fixture.name << ", edge " << ends[0] << "-" << ends[1];
                    EXPECT_GT( test::nb_active_polygons( *surface.mesh ), 0 )
                        << fixture.name << ", edge " << ends[0] << "-" << ends[1];
                }
            }
        }
    }

    TEST( SurfaceCollapseValidity, vertices_joining_separate_fans_are_refused )
    {
        // Two fans of two triangles meet only at vertex 0: the modifier walks
        // one fan per vertex, so it refuses such a surface before any edit.
        auto bowtie = test::make_surface< 3 >(
            { { 0, 0, 0 }, { 1, 0, 0 }, { 1, 1, 0 }, { 0, 1, 0 }, { -1, 0, 0 },
                { -1, -1, 0 }, { 0, -1, 0 } },
            { { 0, 1, 2 }, { 0, 2, 3 }, { 0, 4, 5 }, { 0, 5, 6 } } );
        const auto nb_vertices = bowtie.mesh->nb_vertices();
        EXPECT_THROW( ( TriangulatedSurfaceModifier< 3 >{ *bowtie.mesh, *bowtie.builder } ),
            OpenOrvaneException );
        EXPECT_EQ( bowtie.mesh->nb_vertices(), nb_vertices );
        EXPECT_EQ( bowtie.mesh->polygon_vertex( { 2, 0 } ), 0 );

        // The same triangles with vertex 0 split into one vertex per fan are
        // accepted.
        auto split = test::make_surface< 3 >(
            { { 0, 0, 0 }, { 1, 0, 0 }, { 1, 1, 0 }, { 0, 1, 0 }, { -1, 0, 0 },
                { -1, -1, 0 }, { 0, -1, 0 }, { 0, 0, 0 } },
            { { 0, 1, 2 }, { 0, 2, 3 }, { 7, 4, 5 }, { 7, 5, 6 } } );
        EXPECT_NO_THROW(
            ( TriangulatedSurfaceModifier< 3 >{ *split.mesh, *split.builder } ) );
    }
} // namespace
