#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/geometry/distance.hpp>

#include <simplex/surface/frontal/candidate_walker.hpp>
#include <simplex/surface/frontal/propagate_along_macro_edge.hpp>

#include <tests/simplex/surface/frontal/frontal_fixtures.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::internal;

    template < index_t dimension >
    std::vector< SurfacePathCrossing > macro_path(
        test::FrontalFixture< dimension >& fixture, index_t a, index_t b )
    {
        const FrontalQueueElement< dimension > element{ *fixture.surface.mesh,
            fixture.metric, a, b, 1, 0 };
        return fixture.remesher->find_macro_path( element, a, b ).value();
    }

    TEST( FrontalPathSearch, equal_and_adjacent_vertices_give_vertex_records_only )
    {
        test::FrontalFixture< 2 > flat{ test::flat_grid< 2 >( 3, 3 ) };
        flat.prepare();
        const auto same = macro_path( flat, 5, 5 );
        ASSERT_EQ( same.size(), 1u );
        EXPECT_EQ( same[0].vertex, 5u );
        test::FrontalFixture< 3 > fixture{ test::flat_grid< 3 >( 3, 3 ) };
        fixture.prepare();
        const auto adjacent = macro_path( fixture, 5, 10 );
        ASSERT_EQ( adjacent.size(), 2u );
        EXPECT_EQ( adjacent[0].vertex, 5u );
        EXPECT_EQ( adjacent[1].vertex, 10u );
        EXPECT_EQ( adjacent[1].edge.polygon_id, NO_ID );
    }

    TEST( FrontalPathSearch, walkers_of_both_dimensions_cross_the_same_edges_of_a_flat_grid )
    {
        test::FrontalFixture< 3 > space{ test::flat_grid< 3 >( 4, 4 ) };
        test::FrontalFixture< 2 > plane{ test::flat_grid< 2 >( 4, 4 ) };
        space.prepare();
        plane.prepare();
        // From (0, 0) to (3, 1): crosses inner edges only.
        const auto in_space = macro_path( space, 0, 8 );
        const auto in_plane = macro_path( plane, 0, 8 );
        EXPECT_EQ( in_space, in_plane );
        ASSERT_GE( in_space.size(), 4u );
        EXPECT_EQ( in_space.front().vertex, 0u );
        EXPECT_EQ( in_space.back().vertex, 8u );
        for( std::size_t i = 1; i + 1 < in_space.size(); i++ )
        {
            EXPECT_NE( in_space[i].edge.polygon_id, NO_ID );
        }
    }

    TEST( FrontalMacroEdgeWalk, a_reversed_walk_is_the_reverse_path )
    {
        test::FrontalFixture< 2 > fixture{ test::flat_grid< 2 >( 3, 2 ) };
        fixture.prepare();
        // Along the middle row and up: 4 -> 5 -> 6 -> 10.
        const auto element = fixture.add_element( { 4, 5, 6, 10 } );
        auto& state = fixture.state();
        const auto forward = state.macro_edge_path( 4, 10, element );
        const auto backward = state.macro_edge_path( 10, 4, element );
        ASSERT_EQ( forward.size(), 3u );
        ASSERT_EQ( backward.size(), 3u );
        const auto& mesh = *fixture.surface.mesh;
        for( std::size_t i = 0; i < 3; i++ )
        {
            const auto& f = forward[i];
            const auto& b = backward[2 - i];
            EXPECT_EQ( f.edge, b.edge );
            EXPECT_NE( f.forward, b.forward );
            EXPECT_EQ( step_origin( mesh, f ), step_destination( mesh, b ) );
        }
        EXPECT_EQ( state.element_on_polygon_edge( forward[0].edge ), element );
        EXPECT_EQ( state.element_on_polygon_edge(
                       mesh.polygon_adjacent_edge( forward[0].edge ).value() ),
            element );
    }

    TEST( FrontalMacroEdgeWalk, a_visit_sees_the_path_in_order_and_stops_where_asked )
    {
        test::FrontalFixture< 2 > fixture{ test::flat_grid< 2 >( 3, 2 ) };
        fixture.prepare();
        const auto element = fixture.add_element( { 4, 5, 6, 10 } );
        auto& state = fixture.state();
        const auto path = state.macro_edge_path( 4, 10, element );
        ASSERT_EQ( path.size(), 3u );
        // Stopping at each step in turn, and never: the steps seen are the
        // path's first ones, and none is looked at past the stop.
        for( std::size_t stop = 0; stop <= path.size(); stop++ )
        {
            std::vector< MacroEdgeStep > seen;
            const auto stopped = state.visit_macro_edge_path(
                4, 10, element, [&]( const MacroEdgeStep& step ) {
                    seen.push_back( step );
                    return seen.size() == stop + 1;
                } );
            EXPECT_EQ( stopped, stop < path.size() ) << "stop " << stop;
            const auto expected = std::min( stop + 1, path.size() );
            ASSERT_EQ( seen.size(), expected ) << "stop " << stop;
            for( std::size_t i = 0; i < expected; i++ )
            {
                EXPECT_EQ( seen[i], path[i] ) << "stop " << stop << " step " << i;
            }
        }
    }

    TEST( FrontalCandidate, on_a_flat_uncovered_grid_the_candidate_lies_at_the_height )
    {
        test::FrontalFixture< 3 > space{ test::flat_grid< 3 >( 4, 4 ) };
        test::FrontalFixture< 2 > plane{ test::flat_grid< 2 >( 4, 4 ) };
        space.prepare();
        plane.prepare();
        const auto check = [&]( auto& fixture, auto midpoint, auto expected ) {
            const auto id = fixture.add_element( { 1, 2 } );
            const auto element = fixture.queue_element( id );
            EXPECT_NEAR( element.height, std::sqrt( 3. ) / 2, 1e-12 );
            const auto candidate =
                fixture.remesher->candidate_point( element, midpoint );
            ASSERT_TRUE( candidate );
            EXPECT_FALSE( candidate->on_vertex );
            EXPECT_NEAR( point_point_distance( candidate->point, expected ), 0, 1e-9 )
                << candidate->point.string() << " " << candidate->distance;
            EXPECT_NEAR( candidate->distance, element.height, 1e-9 );
            EXPECT_NEAR( candidate->start_distance, 0, 1e-9 );
        };
        const double h = std::sqrt( 3. ) / 2;
        check( space, Point< 3 >{ { 1.5, 0., 0. } }, Point< 3 >{ { 1.5, h, 0. } } );
        check( plane, Point< 2 >{ { 1.5, 0. } }, Point< 2 >{ { 1.5, h } } );
    }

    TEST( FrontalCandidate, a_point_next_to_a_free_edge_splits_it_and_next_to_the_front_splits_the_polygon )
    {
        for( const bool on_front : { false, true } )
        {
            test::FrontalFixture< 2 > fixture{ test::flat_grid< 2 >( 2, 2 ) };
            fixture.prepare();
            if( on_front )
            {
                fixture.add_element( { 0, 4 } );
            }
            auto& state = fixture.state();
            const auto& mesh = *fixture.surface.mesh;
            // Polygon 0 is (0, 1, 4); the point lies 5e-7 off its diagonal 4-0.
            FrontalCandidate< 2 > candidate;
            candidate.polygon = 0;
            candidate.point = Point< 2 >{ { 0.5 + 5e-7, 0.5 - 5e-7 } };
            const auto before = mesh.nb_polygons();
            const auto vertex = state.macro_vertex_at_point( candidate );
            EXPECT_EQ( vertex, mesh.nb_vertices() - 1 );
            EXPECT_EQ( mesh.nb_polygons() - before, on_front ? 3u : 4u ) << on_front;
            EXPECT_EQ( mesh.point( vertex ), candidate.point );
        }
    }

    TEST( FrontalCuttingPlane, cancelling_vertex_normals_fall_back_to_the_triangle_normal )
    {
        // Two single triangles, one facing up at a = 0 and one facing down
        // at b = 3: the vertex normals cancel exactly.
        auto surface = test::make_surface< 3 >(
            { { 0., 0., 0. }, { 0., -1., 0. }, { -1., 0., 0. }, { 2., 0., 0. },
                { 3., -1., 0. }, { 3., 0., 0. } },
            { { 0, 2, 1 }, { 3, 5, 4 } } );
        test::FrontalFixture< 3 > fixture{ std::move( surface ) };
        fixture.prepare();
        FrontalQueueElement< 3 > element{ *fixture.surface.mesh, fixture.metric,
            0, 3, 1, 0 };
        EXPECT_FALSE( fixture.remesher->cutting_plane( element, 0, 3 ) );
        // Apex above the segment: the triangle (0, 3, apex) stands in the
        // plane y = 0 with normal -y... its normal crossed with a-b is z.
        element.apex = 1;
        const auto plane = fixture.remesher->cutting_plane( element, 0, 3 );
        ASSERT_TRUE( plane );
        EXPECT_NEAR( std::abs( plane->normal().value( 1 ) ), 1, 1e-12 );
        // A degenerate apex triangle gives no plane and no path.
        element.apex = 3;
        EXPECT_FALSE( fixture.remesher->cutting_plane( element, 0, 3 ) );
        EXPECT_FALSE( fixture.remesher->find_macro_path( element, 0, 3 ) );
    }

    TEST( FrontalCandidate, a_walk_around_a_closed_section_ends_at_its_bound )
    {
        // A tube of 8 sides around the z axis: the plane through the middle
        // of a vertical element cuts it along a closed loop.
        std::vector< std::array< double, 3 > > points;
        for( index_t level = 0; level < 2; level++ )
        {
            for( index_t i = 0; i < 8; i++ )
            {
                const double angle = 2 * std::numbers::pi * i / 8;
                points.push_back( { std::cos( angle ), std::sin( angle ), double( level ) } );
            }
        }
        std::vector< std::array< index_t, 3 > > triangles;
        for( index_t i = 0; i < 8; i++ )
        {
            const index_t j = ( i + 1 ) % 8;
            triangles.push_back( { i, j, 8 + j } );
            triangles.push_back( { i, 8 + j, 8 + i } );
        }
        test::FrontalFixture< 3 > fixture{ test::make_surface< 3 >( points, triangles ) };
        fixture.prepare();
        const auto id = fixture.add_element( { 0, 8 } );
        auto element = fixture.queue_element( id );
        element.height = 100.;
        const Point< 3 > query{ { 1., 0., 0.5 } };
        EXPECT_FALSE( fixture.remesher->candidate_point( element, query ) );
    }

    TEST( FrontalCandidate, a_single_crossing_beyond_the_height_gives_no_candidate )
    {
        test::FrontalFixture< 2 > fixture{ test::flat_grid< 2 >( 2, 1 ) };
        fixture.prepare();
        const auto id = fixture.add_element( { 0, 1, 2 } );
        auto& state = fixture.state();
        // Cover the polygons around vertex 1, where the perpendicular through
        // the query point meets the element's path.
        for( const auto& corner : fixture.surface.mesh->polygons_around_vertex( 1 ) )
        {
            state.triangle_info->set_value( corner.polygon_id, 0 );
        }
        const auto element = fixture.queue_element( id );
        EXPECT_FALSE(
            fixture.remesher->candidate_point( element, Point< 2 >{ { 1., -5. } } ) );
    }
} // namespace
