#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>

#include <common/cutter/surface_cut_along_path.hpp>
#include <common/modifier/triangulated_surface_modifier.hpp>

#include <tests/common/cutter/cut_path_checks.hpp>
#include <tests/common/cutter/cutter_test_helpers.hpp>
#include <tests/common/cutter/surface_path_walker.hpp>
#include <tests/support/surface_fixtures.hpp>
#include <tests/support/surface_modifier_checks.hpp>

namespace
{
    using namespace orvane;
    using test::edge_element;
    using test::vertex_element;

    using Origins = absl::InlinedVector< PolygonEdge, 2 >;
    using Sources = absl::InlinedVector< index_t, 4 >;

    /// A surface with its modifier, for one cut.
    template < index_t dimension >
    struct CutSurface
    {
        explicit CutSurface( test::EditableSurface< dimension > editable )
            : surface( std::move( editable ) ),
              modifier( *surface.mesh, *surface.builder )
        {
        }

        const TriangulatedSurface< dimension >& mesh() const
        {
            return *surface.mesh;
        }

        /// The cuts of the walked path from begin to end.
        std::vector< SurfaceCut< dimension > > cuts( index_t begin, index_t end )
        {
            test::SurfacePathWalker< dimension > walker{ mesh(), begin, end };
            const auto path = walker.find_path().value();
            return test::surface_cuts< dimension >( mesh(), begin, end, path );
        }

        SurfaceCutAlongPathResult cut( index_t begin,
            index_t end,
            const std::vector< SurfaceCut< dimension > >& cuts )
        {
            SurfaceCutAlongPath< dimension > cutter{ mesh(), modifier, begin, end,
                cuts };
            return cutter.cut_along_path();
        }

        test::CutPathExpectation expectation( index_t begin, index_t end )
        {
            return { modifier.updated_vertex( begin ), modifier.updated_vertex( end ),
                test::seen_from_above( mesh().point( begin ) ),
                test::seen_from_above( mesh().point( end ) ) };
        }

        test::EditableSurface< dimension > surface;
        TriangulatedSurfaceModifier< dimension > modifier;
    };

    template < index_t dimension >
    void expect_one_cut_changes_nothing()
    {
        CutSurface< dimension > square{ test::make_square< dimension >() };
        const std::vector< SurfaceCut< dimension > > cuts{ { PolygonEdge{},
            POSITION::outside, 1, true, square.mesh().point( 1 ) } };
        const auto result = square.cut( 1, 1, cuts );
        EXPECT_TRUE( result.cut_vertices.empty() );
        EXPECT_TRUE( result.polygons.empty() );
        EXPECT_TRUE( result.created_edges.empty() );
        EXPECT_TRUE( result.left_path_edges.empty() );
        EXPECT_TRUE( result.right_path_edges.empty() );
        EXPECT_EQ( square.mesh().nb_polygons(), 2u );
        EXPECT_EQ( test::nb_active_polygons( square.mesh() ), 2u );
    }

    TEST( SurfaceCutAlongPath, one_cut_leaves_the_surface_untouched )
    {
        expect_one_cut_changes_nothing< 2 >();
        expect_one_cut_changes_nothing< 3 >();
    }

    // Square 0 (0,0), 1 (1,0), 2 (1,1), 3 (0,1); triangles (0,1,2), (0,2,3).
    template < index_t dimension >
    void expect_two_cuts()
    {
        {
            CutSurface< dimension > square{ test::make_square< dimension >() };
            const auto result = square.cut( 0, 2, square.cuts( 0, 2 ) );
            EXPECT_EQ( result.cut_vertices,
                ( std::vector< SurfaceCutVertex >{ { 0, { 0 } }, { 2, { 2 } } } ) );
            // 0 -> 2 is edge 0 of polygon 1, 2 -> 0 edge 2 of polygon 0.
            EXPECT_EQ( result.left_path_edges,
                ( std::vector< SurfaceCutEdge >{ { { 1, 0 }, { { 1, 0 } } } } ) );
            EXPECT_EQ( result.right_path_edges,
                ( std::vector< SurfaceCutEdge >{ { { 0, 2 }, { { 0, 2 } } } } ) );
            EXPECT_TRUE( result.created_edges.empty() );
            EXPECT_TRUE( result.polygons.empty() );
        }
        {
            // Two cuts are taken to be begin and end, even unjoined.
            CutSurface< dimension > square{ test::make_square< dimension >() };
            const std::vector< SurfaceCut< dimension > > cuts( 2 );
            const auto result = square.cut( 1, 3, cuts );
            EXPECT_EQ( result.cut_vertices,
                ( std::vector< SurfaceCutVertex >{ { 1, { 1 } }, { 3, { 3 } } } ) );
            EXPECT_TRUE( result.left_path_edges.empty() );
            EXPECT_TRUE( result.right_path_edges.empty() );
            EXPECT_EQ( test::nb_active_polygons( square.mesh() ), 2u );
        }
    }

    TEST( SurfaceCutAlongPath, two_cuts_report_the_edge_between_begin_and_end )
    {
        expect_two_cuts< 2 >();
        expect_two_cuts< 3 >();
    }

    // A strip of three squares cut along its bottom border: every cut is a
    // vertex, no split is made and only the border half-edges are on the
    // path (on the left: the strip lies above the path going right).
    template < index_t dimension >
    void expect_vertex_cuts_only()
    {
        CutSurface< dimension > strip{ test::make_strip< dimension >( 3 ) };
        const auto cuts = strip.cuts( 0, 3 );
        ASSERT_EQ( test::cut_vertices_of( cuts ),
            ( std::vector< index_t >{ 0, 1, 2, 3 } ) );
        const auto nb_polygons = strip.mesh().nb_polygons();
        const auto result = strip.cut( 0, 3, cuts );
        EXPECT_EQ( strip.mesh().nb_polygons(), nb_polygons );
        EXPECT_TRUE( result.polygons.empty() );
        EXPECT_TRUE( result.created_edges.empty() );
        EXPECT_TRUE( result.right_path_edges.empty() );
        ASSERT_EQ( result.left_path_edges.size(), 3u );
        for( const auto& edge : result.left_path_edges )
        {
            EXPECT_EQ( edge.origins, Origins{ edge.edge } );
        }
        EXPECT_TRUE( test::is_cut_path_chain(
            strip.mesh(), result, strip.expectation( 0, 3 ) ) );
    }

    TEST( SurfaceCutAlongPath, a_path_of_vertex_cuts_makes_no_split )
    {
        expect_vertex_cuts_only< 2 >();
        expect_vertex_cuts_only< 3 >();
    }

    // The diagonal of the square cut between the apexes 1 and 3 of its two
    // triangles, the crossing written in either triangle.
    template < index_t dimension >
    void expect_cut_between_apexes( bool toward_adjacent )
    {
        CutSurface< dimension > square{ test::make_square< dimension >() };
        const std::vector< SurfacePathCrossing > path{ vertex_element( 1 ),
            toward_adjacent ? edge_element( { 0, 2 }, true )
                            : edge_element( { 1, 0 }, false ),
            vertex_element( 3 ) };
        const auto cuts =
            test::surface_cuts< dimension >( square.mesh(), 1, 3, path );
        const auto result = square.cut( 1, 3, cuts );
        const auto context = ::testing::Message()
                             << dimension << "-D, toward_adjacent "
                             << toward_adjacent;

        EXPECT_EQ( result.cut_vertices, ( std::vector< SurfaceCutVertex >{
                                            { 1, { 1 } }, { 4, { NO_ID } }, { 3, { 3 } } } ) )
            << context;
        EXPECT_TRUE( square.mesh().point( 4 ).inexact_equal(
            test::planar_point< dimension >( 0.5, 0.5 ) ) );
        ASSERT_EQ( result.polygons.size(), 4u ) << context;
        std::vector< index_t > replaced;
        for( const auto& origin : result.polygons )
        {
            EXPECT_GE( origin.new_element, 2u );
            replaced.push_back( origin.old_element );
        }
        std::sort( replaced.begin(), replaced.end() );
        EXPECT_EQ( replaced, ( std::vector< index_t >{ 0, 0, 1, 1 } ) ) << context;
        EXPECT_EQ( test::nb_active_polygons( square.mesh() ), 4u );

        // Path edges are the two new inner edges, made from no old edge.
        for( const auto* list : { &result.left_path_edges, &result.right_path_edges } )
        {
            ASSERT_EQ( list->size(), 2u ) << context;
            for( const auto& edge : *list )
            {
                EXPECT_EQ( edge.origins, Origins{ PolygonEdge{} } ) << context;
            }
        }
        EXPECT_TRUE( test::is_cut_path_chain(
            square.mesh(), result, square.expectation( 1, 3 ) ) )
            << context;
        // The halves of the diagonal stem from its half in the same
        // direction; the outer edges from the old outer edges.
        ASSERT_EQ( result.created_edges.size(), 8u ) << context;
        for( const auto& created : result.created_edges )
        {
            ASSERT_EQ( created.origins.size(), 1u ) << context;
            const auto& origin = created.origins[0];
            ASSERT_LT( origin.polygon_id, 2u ) << context;
            const auto ends = square.mesh().polygon_edge_vertices( created.edge );
            const auto old_ends = square.mesh().polygon_edge_vertices( origin );
            const auto on_diagonal = ( origin == PolygonEdge{ 0, 2 }
                                       || origin == PolygonEdge{ 1, 0 } );
            if( on_diagonal )
            {
                EXPECT_TRUE( ends[0] == old_ends[0] || ends[1] == old_ends[1] )
                    << context << " " << created.edge.string();
            }
            else
            {
                EXPECT_EQ( ends, old_ends ) << context << " " << created.edge.string();
            }
        }
        EXPECT_TRUE( test::is_valid_surface( square.mesh() ) ) << context;
    }

    TEST( SurfaceCutAlongPath, a_cut_across_one_edge_between_apexes_splits_both_triangles )
    {
        for( const bool toward_adjacent : { true, false } )
        {
            expect_cut_between_apexes< 2 >( toward_adjacent );
            expect_cut_between_apexes< 3 >( toward_adjacent );
        }
    }

    // Strip 0 (0,0), 1 (1,0), 2 (2,0) / 3 (0,1), 4 (1,1), 5 (2,1), cut from
    // 3 to 2 across diagonal 0-4, edge 1-4 and diagonal 1-5. The cut on edge
    // 1-4 is moved to (0.5, 0), on the line of vertices 0 and 1, so that the
    // split would make a flat triangle.
    TEST( SurfaceCutAlongPath, a_flat_split_in_2d_is_left_over_and_the_others_are_made )
    {
        CutSurface< 2 > strip{ test::make_strip< 2 >( 2 ) };
        auto cuts = strip.cuts( 3, 2 );
        ASSERT_EQ( test::cut_vertices_of( cuts ),
            ( std::vector< index_t >{ 3, NO_ID, NO_ID, NO_ID, 2 } ) );
        ASSERT_TRUE( cuts[2].point.inexact_equal( Point< 2 >{ { 1., 0.5 } } ) );
        cuts[2].point = Point< 2 >{ { 0.5, 0. } };
        try
        {
            static_cast< void >( strip.cut( 3, 2, cuts ) );
            ADD_FAILURE() << "no exception";
        }
        catch( const SurfaceCutPathException< 2 >& exception )
        {
            EXPECT_STREQ(
                exception.what(), "Invalid operation in cut_along_path on surface" );
            ASSERT_EQ( exception.leftover_cuts.size(), 1u );
            EXPECT_EQ( exception.leftover_cuts[0].first, cuts[2].point );
            const auto ends =
                strip.mesh().polygon_edge_vertices( exception.leftover_cuts[0].second );
            EXPECT_EQ( std::min( ends[0], ends[1] ), 1u );
            EXPECT_EQ( std::max( ends[0], ends[1] ), 4u );
            EXPECT_TRUE( exception.degenerate_edges.empty() );
            const auto& result = exception.result;
            ASSERT_EQ( result.cut_vertices.size(), 5u );
            EXPECT_EQ( result.cut_vertices[2], SurfaceCutVertex{} );
            EXPECT_NE( result.cut_vertices[1].vertex, NO_ID );
            EXPECT_NE( result.cut_vertices[3].vertex, NO_ID );
            EXPECT_EQ( result.polygons.size(), 8u );
            // The pieces around the refused cut are still on the path.
            EXPECT_EQ( result.left_path_edges.size() + result.right_path_edges.size(),
                4u );
        }
        EXPECT_TRUE( test::is_valid_surface( strip.mesh() ) );
    }

    // The diagonal of the square cut 1e-7 from vertex 2: the short piece is
    // collapsed onto vertex 2's point, and the cut vertex names the
    // surviving vertex with vertex 2 as its source. With a vertex cut on 2
    // before the edge cut (along the border edge 2 -> 3), both cuts end on
    // the surviving vertex and the path keeps it once; a path that goes on
    // to 3 and comes back along the same border edge loses that loop.
    template < index_t dimension >
    void expect_short_edges_collapsed()
    {
        const auto near_two = 1. - 1e-7 / std::sqrt( 2. );
        const struct
        {
            const char* name;
            std::vector< index_t > vertices;
            PolygonEdge edge;
            Point< dimension > point;
            /// A vertex that the path visits between two cuts that end on
            /// the surviving vertex, or NO_ID.
            index_t loop;
        } cases[]{
            { "across the diagonal", { 1, NO_ID, 3 }, { 0, 2 },
                test::planar_point< dimension >( near_two, near_two ), NO_ID },
            { "along the border after vertex 2", { 1, 2, NO_ID, 3 }, { 1, 1 },
                test::planar_point< dimension >( 1. - 1e-7, 1. ), NO_ID },
            { "back along the border from 3", { 1, 2, 3, NO_ID, 0 }, { 1, 1 },
                test::planar_point< dimension >( 1. - 1e-7, 1. ), 3 },
        };
        for( const auto& test_case : cases )
        {
            CutSurface< dimension > square{ test::make_square< dimension >() };
            std::vector< SurfaceCut< dimension > > cuts;
            for( const auto vertex : test_case.vertices )
            {
                if( vertex != NO_ID )
                {
                    cuts.push_back( { PolygonEdge{}, POSITION::outside, vertex, true,
                        square.mesh().point( vertex ) } );
                }
                else
                {
                    cuts.push_back( { test_case.edge, POSITION::inside, NO_ID, true,
                        test_case.point } );
                }
            }
            const auto context = ::testing::Message()
                                 << dimension << "-D, " << test_case.name;
            const auto end = test_case.vertices.back();
            const auto result = square.cut( 1, end, cuts );
            ASSERT_EQ( result.cut_vertices.size(), 3u ) << context;
            const auto& kept = result.cut_vertices[1];
            EXPECT_EQ( kept.source_vertices, Sources{ 2 } ) << context;
            EXPECT_TRUE( square.mesh().is_vertex_isolated( 2 ) ) << context;
            EXPECT_EQ( square.modifier.updated_vertex( 2 ), kept.vertex ) << context;
            EXPECT_EQ( square.mesh().point( kept.vertex ),
                test::planar_point< dimension >( 1., 1. ) )
                << context;
            EXPECT_TRUE( test::is_valid_surface( square.mesh() ) ) << context;
            // The cut goes through the corner 2, off the segment from 1 to 3.
            auto expectation = square.expectation( 1, end );
            expectation.tolerance = 2.;
            EXPECT_TRUE( test::is_cut_path_chain( square.mesh(), result, expectation ) )
                << context;
            if( test_case.loop != NO_ID )
            {
                // The edges of the loop left the path.
                const auto loop_edge = square.mesh().polygon_edge_from_vertices(
                    kept.vertex, test_case.loop );
                ASSERT_TRUE( loop_edge.has_value() ) << context;
                EXPECT_TRUE( std::any_of( result.created_edges.begin(),
                    result.created_edges.end(), [&loop_edge]( const SurfaceCutEdge& edge ) {
                        return edge.edge == loop_edge.value();
                    } ) )
                    << context;
            }
            for( const auto& origin : result.polygons )
            {
                for( const local_index_t edge : { 0, 1, 2 } )
                {
                    EXPECT_GT( square.mesh().edge_length( { origin.new_element, edge } ),
                        1e-6 )
                        << context;
                }
            }
        }
    }

    TEST( SurfaceCutAlongPath, edges_shorter_than_the_tolerance_are_collapsed )
    {
        expect_short_edges_collapsed< 2 >();
        expect_short_edges_collapsed< 3 >();
    }

    TEST( SurfaceCutAlongPath, cuts_naming_what_the_surface_lacks_throw_before_any_edit )
    {
        const auto point = test::planar_point< 2 >( 0.5, 0.5 );
        const struct
        {
            const char* name;
            SurfaceCut< 2 > middle;
        } cases[]{
            { "vertex out of range", { PolygonEdge{}, POSITION::outside, 4, true, point } },
            { "edge cut without edge",
                { PolygonEdge{}, POSITION::inside, NO_ID, true, point } },
            { "polygon out of range",
                { PolygonEdge{ 2, 0 }, POSITION::inside, NO_ID, true, point } },
            { "local edge out of range",
                { PolygonEdge{ 0, 3 }, POSITION::inside, NO_ID, true, point } },
        };
        for( const auto& test_case : cases )
        {
            CutSurface< 2 > square{ test::make_square< 2 >() };
            const std::vector< SurfaceCut< 2 > > cuts{
                { PolygonEdge{}, POSITION::outside, 1, true, square.mesh().point( 1 ) },
                test_case.middle,
                { PolygonEdge{}, POSITION::outside, 3, true, square.mesh().point( 3 ) }
            };
            EXPECT_THROW( static_cast< void >( square.cut( 1, 3, cuts ) ),
                OpenOrvaneException )
                << test_case.name;
            EXPECT_EQ( square.mesh().nb_polygons(), 2u ) << test_case.name;
            EXPECT_EQ( square.mesh().nb_vertices(), 4u ) << test_case.name;
        }
        CutSurface< 2 > square{ test::make_square< 2 >() };
        const std::vector< SurfaceCut< 2 > > two( 2 );
        EXPECT_THROW(
            static_cast< void >( square.cut( 1, 7, two ) ), OpenOrvaneException );
    }

    // Two cuts on the same diagonal: the first split removes the edge the
    // second one names. This used to escape as std::bad_optional_access.
    TEST( SurfaceCutAlongPath, an_edge_removed_by_an_earlier_split_throws_with_context )
    {
        for( const bool toward_adjacent : { true, false } )
        {
            CutSurface< 2 > square{ test::make_square< 2 >() };
            const std::vector< SurfaceCut< 2 > > cuts{
                { PolygonEdge{}, POSITION::outside, 1, true, square.mesh().point( 1 ) },
                { PolygonEdge{ 0, 2 }, POSITION::inside, NO_ID, toward_adjacent,
                    test::planar_point< 2 >( 0.3, 0.3 ) },
                { PolygonEdge{ 0, 2 }, POSITION::inside, NO_ID, toward_adjacent,
                    test::planar_point< 2 >( 0.6, 0.6 ) },
                { PolygonEdge{}, POSITION::outside, 3, true, square.mesh().point( 3 ) }
            };
            try
            {
                static_cast< void >( square.cut( 1, 3, cuts ) );
                ADD_FAILURE() << "no exception";
            }
            catch( const SurfaceCutPathException< 2 >& )
            {
                ADD_FAILURE() << "a broken path is not a refused split";
            }
            catch( const OpenOrvaneException& exception )
            {
                EXPECT_NE( std::string{ exception.what() }.find( "cut_along_path" ),
                    std::string::npos )
                    << exception.what();
            }
            EXPECT_TRUE( test::is_valid_surface( square.mesh() ) );
        }
    }
} // namespace
