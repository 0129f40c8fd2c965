#include <vector>

#include <gtest/gtest.h>

#include <tests/simplex/surface/frontal/frontal_fixtures.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::internal;

    /// Replaces the element list of a polygon edge.
    template < index_t dimension >
    void set_edge_list( test::FrontalFixture< dimension >& fixture,
        const PolygonEdge& edge,
        std::vector< index_t > ids )
    {
        fixture.state().edge_info->modify_value(
            edge.polygon_id, [&]( FrontalEdgeInfo& info ) {
                info[edge.edge_id].assign( ids.begin(), ids.end() );
            } );
    }

    template < index_t dimension >
    std::vector< index_t > edge_list(
        test::FrontalFixture< dimension >& fixture, const PolygonEdge& edge )
    {
        const auto& list =
            fixture.state().edge_info->value( edge.polygon_id )[edge.edge_id];
        return { list.begin(), list.end() };
    }

    /// Appends `count` open elements without edges to the database.
    template < index_t dimension >
    void add_bare_elements( test::FrontalFixture< dimension >& fixture, index_t count )
    {
        for( index_t e = 0; e < count; e++ )
        {
            fixture.state().element_vertices_.emplace_back( 0, 1 );
            fixture.state().element_triangles.emplace_back( NO_ID, NO_ID );
        }
    }

    TEST( FrontElementOperations, crossings_off_segment_keeps_far_cuts_without_open_element )
    {
        test::FrontalFixture< 3 > fixture{ test::flat_grid< 3 >( 4, 4 ) };
        fixture.prepare();
        const auto& mesh = *fixture.surface.mesh;
        // The segment runs from vertex 0 = (0, 0) to vertex 4 = (4, 0).
        const auto diagonal = mesh.polygon_edge_from_vertices( 1, 7 ).value();
        std::vector< SurfaceCut< 3 > > cuts( 4 );
        cuts[0].vertex = 2; // (2, 0): on the segment
        cuts[0].point = mesh.point( 2 );
        cuts[1].vertex = 6; // (1, 1): 1 away
        cuts[1].point = mesh.point( 6 );
        cuts[2].edge = diagonal; // (1.5, 0.5) inside the edge 1-7
        cuts[2].position = POSITION::inside;
        cuts[2].point = Point< 3 >{ { 1.5, 0.5, 0. } };
        cuts[3].vertex = 0;
        cuts[3].point = mesh.point( 0 );
        struct Case
        {
            double distance;
            std::vector< index_t > kept;
        };
        for( const auto& [distance, kept] : std::vector< Case >{
                 { 0., { 0, 1, 2, 3 } }, { 0.5, { 1, 2 } }, { 0.6, { 1 } },
                 { 1.5, {} } } )
        {
            SCOPED_TRACE( distance );
            EXPECT_EQ( fixture.remesher->crossings_off_segment( 0, 4, cuts, distance ),
                kept );
        }
        // An open element along the cut edge keeps the cut inside it on the
        // front: it is never reported.
        fixture.add_element( { 1, 7 } );
        EXPECT_EQ( fixture.remesher->crossings_off_segment( 0, 4, cuts, 0. ),
            ( std::vector< index_t >{ 0, 1, 3 } ) );

        test::FrontalFixture< 2 > plane{ test::flat_grid< 2 >( 4, 4 ) };
        plane.prepare();
        std::vector< SurfaceCut< 2 > > plane_cuts( 1 );
        plane_cuts[0].vertex = 6;
        plane_cuts[0].point = plane.surface.mesh->point( 6 );
        EXPECT_TRUE( plane.remesher->crossings_off_segment( 0, 4, plane_cuts, 0. ).empty() );
    }

    TEST( FrontElementOperations, is_well_oriented_compares_the_sides_of_the_element )
    {
        test::FrontalFixture< 3 > fixture{ test::flat_grid< 3 >( 2, 2 ) };
        fixture.prepare();
        // Element from (0, 0) to (1, 0); vertex 4 = (1, 1) lies on its left.
        const FrontalQueueElement< 3 > element{ *fixture.surface.mesh, fixture.metric,
            0, 1, 0, 0 };
        struct Case
        {
            Point< 3 > point;
            bool expected;
        };
        for( const auto& [point, expected] : std::vector< Case >{
                 { Point< 3 >{ { 0.5, 1., 0. } }, true },
                 { Point< 3 >{ { 0.5, 0.2, 0.3 } }, true },
                 { Point< 3 >{ { 0.5, -1., 0. } }, false },
                 { Point< 3 >{ { 2., 0., 0. } }, false } } )
        {
            EXPECT_EQ( fixture.remesher->is_well_oriented( element, point, 4 ), expected )
                << point.string();
        }
        // A reference triangle without normal: never well oriented.
        const FrontalQueueElement< 3 > along{ *fixture.surface.mesh, fixture.metric, 0,
            1, 0, 0 };
        EXPECT_FALSE( fixture.remesher->is_well_oriented(
            along, Point< 3 >{ { 0.5, 1., 0. } }, 2 ) );

        test::FrontalFixture< 2 > plane{ test::flat_grid< 2 >( 2, 2 ) };
        plane.prepare();
        const FrontalQueueElement< 2 > flat{ *plane.surface.mesh, plane.metric, 0, 1, 0,
            0 };
        EXPECT_TRUE(
            plane.remesher->is_well_oriented( flat, Point< 2 >{ { 0.5, -1. } }, 4 ) );
    }

    TEST( FrontElementOperations, inherit_edge_info_appends_the_lists_of_real_origins )
    {
        test::FrontalFixture< 2 > fixture{ test::flat_grid< 2 >( 2, 2 ) };
        fixture.prepare();
        const PolygonEdge target{ 0, 0 };
        const PolygonEdge origin{ 1, 2 };
        const PolygonEdge other{ 2, 1 };
        set_edge_list( fixture, target, { 7 } );
        set_edge_list( fixture, origin, { 3, 5 } );
        set_edge_list( fixture, other, { 5 } );
        // The unset edge and the edge itself are no origins; repeats are kept.
        const std::vector< SurfaceCutEdge > records{
            { target, { PolygonEdge{}, origin, target } }, { target, { other } }
        };
        fixture.state().inherit_edge_info( records );
        EXPECT_EQ( edge_list( fixture, target ), ( std::vector< index_t >{ 7, 3, 5, 5 } ) );
        EXPECT_EQ( edge_list( fixture, origin ), ( std::vector< index_t >{ 3, 5 } ) );
    }

    TEST( FrontElementOperations, other_open_element_on_edge_needs_exactly_one_other )
    {
        test::FrontalFixture< 2 > fixture{ test::flat_grid< 2 >( 2, 2 ) };
        fixture.prepare();
        add_bare_elements( fixture, 5 );
        // The diagonal of the first square, seen from both of its polygons.
        const auto edge =
            fixture.surface.mesh->polygon_edge_from_vertices( 0, 4 ).value();
        const auto twin = fixture.surface.mesh->polygon_adjacent_edge( edge ).value();
        set_edge_list( fixture, edge, { 2, 1, 2 } );
        set_edge_list( fixture, twin, { 1, 3 } );
        fixture.state().element_triangles[3].second = 0;
        auto& state = fixture.state();
        EXPECT_EQ( state.other_open_element_on_edge( edge, 2 ), 1u );
        EXPECT_EQ( state.other_open_element_on_edge( twin, 1 ), 2u );
        EXPECT_EQ( state.other_open_element_on_edge( edge, 4 ), std::nullopt );
        state.element_triangles[1].second = 0;
        EXPECT_EQ( state.other_open_element_on_edge( edge, 2 ), std::nullopt );
        // A border edge has no twin: its own list alone.
        const PolygonEdge border{ 0, 0 };
        ASSERT_TRUE( fixture.surface.mesh->is_edge_on_border( border ) );
        set_edge_list( fixture, border, { 4 } );
        EXPECT_EQ( state.other_open_element_on_edge( border, 2 ), 4u );
        EXPECT_EQ( state.other_open_element_on_edge( border, 4 ), std::nullopt );
    }
} // namespace
