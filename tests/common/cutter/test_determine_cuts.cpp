#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>

#include <common/cutter/determine_cuts.hpp>

#include <tests/common/cutter/cutter_test_helpers.hpp>
#include <tests/support/surface_fixtures.hpp>
#include <tests/support/surface_modifier_checks.hpp>

namespace
{
    using namespace orvane;
    using test::edge_element;
    using test::vertex_element;

    struct CutCase
    {
        std::string name;
        index_t begin;
        index_t end;
        std::vector< SurfacePathCrossing > path;
        std::vector< index_t > expected;
    };

    // Square 0 (0,0), 1 (1,0), 2 (1,1), 3 (0,1); triangles (0,1,2) and
    // (0,2,3). The diagonal is edge {0, 2} (2 -> 0) and edge {1, 0} (0 -> 2).
    std::vector< CutCase > square_cases()
    {
        const PolygonEdge diagonal{ 0, 2 };
        const PolygonEdge other_diagonal{ 1, 0 };
        return {
            { "single element", 1, 1, { vertex_element( 1 ) }, { 1 } },
            { "existing edge", 0, 2, { vertex_element( 0 ), vertex_element( 2 ) },
                { 0, 2 } },
            { "across the diagonal", 1, 3,
                { vertex_element( 1 ), edge_element( diagonal ),
                    vertex_element( 3 ) },
                { 1, NO_ID, 3 } },
            { "both halves of one edge give one cut", 1, 3,
                { vertex_element( 1 ), edge_element( diagonal ),
                    edge_element( other_diagonal, false ), vertex_element( 3 ) },
                { 1, NO_ID, 3 } },
            { "two elements on one vertex give one cut", 1, 3,
                { vertex_element( 1 ),
                    { PolygonEdge{ 0, 1 }, POSITION::vertex1, NO_ID, true },
                    vertex_element( 2 ), vertex_element( 3 ) },
                { 1, 2, 3 } },
            { "an element at an edge's first vertex", 1, 3,
                { vertex_element( 1 ),
                    { PolygonEdge{ 0, 2 }, POSITION::vertex0, NO_ID, true },
                    vertex_element( 3 ) },
                { 1, 2, 3 } },
            { "a path back to a vertex loses its loop", 0, 3,
                { vertex_element( 0 ), vertex_element( 1 ), vertex_element( 2 ),
                    vertex_element( 1 ), vertex_element( 3 ) },
                { 0, 1, 3 } },
            { "a path back to an edge loses its loop", 1, 3,
                { vertex_element( 1 ), edge_element( diagonal ),
                    vertex_element( 3 ), edge_element( other_diagonal, false ),
                    vertex_element( 3 ) },
                { 1, NO_ID, 3 } },
            { "a path back to its begin keeps the last visit", 1, 3,
                { vertex_element( 1 ), vertex_element( 2 ), vertex_element( 1 ),
                    vertex_element( 3 ) },
                { 1, 3 } },
        };
    }

    template < index_t dimension >
    void expect_square_cases()
    {
        const auto square = test::make_square< dimension >();
        for( const auto& test_case : square_cases() )
        {
            const auto cuts = test::surface_cuts< dimension >(
                *square.mesh, test_case.begin, test_case.end, test_case.path );
            EXPECT_EQ( test::cut_vertices_of( cuts ), test_case.expected )
                << dimension << "-D: " << test_case.name;
            for( const auto& cut : cuts )
            {
                if( cut.vertex == NO_ID )
                {
                    EXPECT_TRUE( cut.point.inexact_equal(
                        test::planar_point< dimension >( 0.5, 0.5 ) ) )
                        << dimension << "-D: " << test_case.name;
                    EXPECT_EQ( cut.position, POSITION::inside );
                }
                else
                {
                    EXPECT_EQ( cut.point, square.mesh->point( cut.vertex ) );
                }
            }
        }
    }

    TEST( DetermineCuts, square_paths_merge_repeats_and_drop_loops )
    {
        expect_square_cases< 2 >();
        expect_square_cases< 3 >();
    }

    TEST( DetermineCuts, cuts_keep_the_edge_position_and_side_of_their_element )
    {
        const auto square = test::make_square< 2 >();
        const std::vector< SurfacePathCrossing > path{ vertex_element( 1 ),
            edge_element( { 1, 0 }, false ), vertex_element( 3 ) };
        const auto cuts = determine_cuts< 2 >( *square.mesh, 1, 3, path );
        ASSERT_EQ( cuts.size(), 3u );
        EXPECT_EQ( cuts[1].edge, PolygonEdge( 1, 0 ) );
        EXPECT_FALSE( cuts[1].toward_adjacent );
        EXPECT_EQ( cuts[0].edge, PolygonEdge{} );
        EXPECT_EQ( cuts[0].position, POSITION::outside );
    }

    // A plane across the square's diagonal at (s, s): crossings within
    // 1e-6 of an end of the diagonal (2 -> 0 in polygon 0) land on it.
    TEST( DetermineCuts, crossings_near_an_edge_end_snap_to_that_vertex )
    {
        const auto square = test::make_square< 3 >();
        const Vector< 3 > normal{ { 1., 1., 0. } };
        const std::vector< SurfacePathCrossing > path{ vertex_element( 1 ),
            edge_element( { 0, 2 } ), vertex_element( 3 ) };
        const struct
        {
            double s;
            index_t expected;
        } cases[]{
            { 0.5, NO_ID },
            { 1. - 1e-7, 2 },
            { 1e-7, 0 },
            { 1. - 1e-5, NO_ID },
            { 1e-5, NO_ID },
        };
        for( const auto& [s, expected] : cases )
        {
            const Plane plane{ normal, Point< 3 >{ { s, s, 0. } } };
            const auto cuts = determine_cuts< 3 >( *square.mesh, 1, 3, plane, path );
            ASSERT_EQ( cuts.size(), 3u ) << s;
            EXPECT_EQ( cuts[1].vertex, expected ) << s;
            if( expected == NO_ID )
            {
                EXPECT_NEAR( cuts[1].point.value( 0 ), s, 1e-12 );
                EXPECT_NEAR( cuts[1].point.value( 1 ), s, 1e-12 );
            }
        }
    }

    // An edge of 1e-6 from 0 (0,0) to 1 (1e-6,0) crossed at its middle: the
    // cut is within 1e-12 (squared) of both ends and goes to the first end
    // of the crossed polygon edge.
    TEST( DetermineCuts, a_crossing_close_to_both_ends_goes_to_the_first )
    {
        const auto surface = test::make_surface< 3 >(
            { { 0, 0, 0 }, { 1e-6, 0, 0 }, { 5e-7, 1, 0 }, { 5e-7, -1, 0 } },
            { { 0, 1, 2 }, { 1, 0, 3 } } );
        const Plane plane{ Vector< 3 >{ { 1., 0., 0. } },
            Point< 3 >{ { 5e-7, 0., 0. } } };
        for( const auto& [edge, expected] :
            { std::pair{ PolygonEdge{ 0, 0 }, index_t{ 0 } },
                std::pair{ PolygonEdge{ 1, 0 }, index_t{ 1 } } } )
        {
            const std::vector< SurfacePathCrossing > path{ vertex_element( 2 ),
                edge_element( edge ), vertex_element( 3 ) };
            const auto cuts = determine_cuts< 3 >( *surface.mesh, 2, 3, plane, path );
            EXPECT_EQ( test::cut_vertices_of( cuts ),
                ( std::vector< index_t >{ 2, expected, 3 } ) )
                << edge.string();
        }
    }

    // A strip 0 (0,0), 1 (1,0), 2 (2,0), 3 (3,0) / 4..7 at y = 1, cut along
    // its bottom. The element after vertex 1 (reached on edge 0 -> 1) lies
    // along the cut: its cut goes to the vertex it shares with that edge,
    // where the nearest-end rule would have picked its second end 2.
    template < index_t dimension >
    void expect_parallel_edge_after_neighbour()
    {
        const auto strip = test::make_strip< dimension >( 3 );
        const auto& mesh = *strip.mesh;
        const auto bottom = [&mesh]( index_t from, index_t to ) {
            return mesh.polygon_edge_from_vertices( from, to ).value();
        };
        const std::vector< SurfacePathCrossing > path{ vertex_element( 0 ),
            { bottom( 0, 1 ), POSITION::vertex1, NO_ID, true },
            edge_element( bottom( 1, 2 ) ), vertex_element( 3 ) };
        std::vector< SurfaceCut< dimension > > cuts;
        if constexpr( dimension == 2 )
        {
            cuts = determine_cuts< 2 >( mesh, 0, 3, path );
        }
        else
        {
            const Plane plane{ Vector< 3 >{ { 0., 1., 0. } }, mesh.point( 0 ) };
            cuts = determine_cuts< 3 >( mesh, 0, 3, plane, path );
        }
        EXPECT_EQ( test::cut_vertices_of( cuts ), ( std::vector< index_t >{ 0, 1, 3 } ) )
            << dimension << "-D";
    }

    TEST( DetermineCuts, a_parallel_edge_after_a_neighbouring_cut_lands_on_the_shared_vertex )
    {
        expect_parallel_edge_after_neighbour< 2 >();
        expect_parallel_edge_after_neighbour< 3 >();
    }

    TEST( DetermineCuts, malformed_paths_throw_with_context )
    {
        const auto square = test::make_square< 2 >();
        const struct
        {
            const char* name;
            index_t begin;
            std::vector< SurfacePathCrossing > path;
        } cases[]{
            { "element naming nothing", 1,
                { vertex_element( 1 ), SurfacePathCrossing{}, vertex_element( 3 ) } },
            { "edge element without edge", 1,
                { vertex_element( 1 ), edge_element( PolygonEdge{} ),
                    vertex_element( 3 ) } },
            { "edge end without edge", 1,
                { vertex_element( 1 ),
                    { PolygonEdge{}, POSITION::vertex0, NO_ID, true },
                    vertex_element( 3 ) } },
            { "polygon out of range", 1,
                { vertex_element( 1 ), edge_element( { 7, 0 } ),
                    vertex_element( 3 ) } },
            { "local edge out of range", 1,
                { vertex_element( 1 ), edge_element( { 0, 3 } ),
                    vertex_element( 3 ) } },
            { "vertex out of range", 1,
                { vertex_element( 1 ), vertex_element( 4 ), vertex_element( 3 ) } },
            { "begin out of range", 9, { vertex_element( 1 ) } },
        };
        for( const auto& test_case : cases )
        {
            EXPECT_THROW( static_cast< void >( determine_cuts< 2 >(
                              *square.mesh, test_case.begin, 3, test_case.path ) ),
                OpenOrvaneException )
                << test_case.name;
        }
    }

    // Paths that wander back over a few vertices, short ones and ones long
    // enough to be indexed: what stays is what a path keeps when each return
    // to a vertex drops every cut after its earlier visit.
    TEST( DetermineCuts, wandering_paths_keep_the_cuts_after_the_last_return )
    {
        const auto grid = test::make_grid< 2 >( 3, 3 );
        for( const std::size_t length : { 12u, 40u, 300u } )
        {
            for( const unsigned seed : { 1u, 2u, 3u, 4u } )
            {
                std::mt19937 random{ seed };
                std::uniform_int_distribution< index_t > vertex_of(
                    0, grid.mesh->nb_vertices() - 1 );
                std::vector< SurfacePathCrossing > path;
                std::vector< index_t > expected;
                for( std::size_t step = 0; step < length; step++ )
                {
                    const auto vertex = vertex_of( random );
                    path.push_back( vertex_element( vertex ) );
                    const auto visited =
                        std::find( expected.begin(), expected.end(), vertex );
                    expected.erase( visited, expected.end() );
                    expected.push_back( vertex );
                }
                const auto cuts = test::surface_cuts< 2 >( *grid.mesh,
                    path.front().vertex, path.back().vertex, path );
                EXPECT_EQ( test::cut_vertices_of( cuts ), expected )
                    << "length " << length << ", seed " << seed;
            }
        }
    }
} // namespace
