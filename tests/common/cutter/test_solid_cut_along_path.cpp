#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>

#include <common/cutter/solid_cut_along_path.hpp>

#include <tests/common/cutter/solid_cut_helpers.hpp>
#include <tests/support/solid_fixtures.hpp>
#include <tests/support/solid_modifier_checks.hpp>

namespace
{
    using namespace orvane;
    using Point3D = Point< 3 >;

    /// Runs the cutter and returns the exception it threw.
    CutPathException expect_cut_path_exception(
        test::CuttableSolid& solid, const std::vector< SolidCut >& cuts )
    {
        try
        {
            (void) solid.cut( cuts );
        }
        catch( const CutPathException& exception )
        {
            return exception;
        }
        ADD_FAILURE() << "no CutPathException";
        return {};
    }

    TEST( CutAlongPath3D, OneCutChangesNothing )
    {
        test::CuttableSolid five{ test::cube_of_five_tetrahedra() };
        const auto result = five.cut( { test::vertex_cut( *five.solid, 4 ) } );
        EXPECT_EQ( result.cut_vertices,
            ( std::vector< ElementEntry >{ { 4, { 4 } } } ) );
        EXPECT_TRUE( result.path_edges.empty() );
        EXPECT_TRUE( result.tetrahedra.empty() );
        EXPECT_EQ( five.solid->nb_polyhedra(), 5 );
    }

    TEST( CutAlongPath3D, TwoVertexCutsOnAnEdge )
    {
        test::CuttableSolid tetrahedron{ test::single_tetrahedron() };
        const auto& edges = tetrahedron.solid->edges();
        for( const auto& [from, to] : { std::pair{ 0u, 2u }, std::pair{ 2u, 0u } } )
        {
            const auto edge = edges.edge_from_vertices( { from, to } ).value();
            const auto result = tetrahedron.cut( { test::vertex_cut( *tetrahedron.solid, from ),
                test::vertex_cut( *tetrahedron.solid, to ) } );
            EXPECT_EQ( result.cut_vertices,
                ( std::vector< ElementEntry >{ { from, { from } }, { to, { to } } } ) );
            ASSERT_EQ( result.path_edges.size(), 1 );
            EXPECT_EQ( result.path_edges[0].edge, edge );
            EXPECT_EQ( result.path_edges[0].origins, ElementOrigins{ edge } );
            // The path runs from the edge's vertex 0 to its vertex 1.
            EXPECT_EQ( result.path_edges[0].same_direction,
                edges.edge_vertices( edge )[0] == from );
            EXPECT_EQ( test::path_edge_chain( *tetrahedron.solid, result, from ),
                ( std::vector< index_t >{ from, to } ) );
        }
        EXPECT_EQ( tetrahedron.solid->nb_polyhedra(), 1 );
    }

    TEST( CutAlongPath3D, TwoVertexCutsFollowTheEdgeTableDirection )
    {
        // The edge table keeps the order in which an edge was first met,
        // not the order of the vertex indices: the direction flag follows
        // the table for every edge of the grid.
        test::CuttableSolid grid{ test::grid_tetrahedral_solid( 1, 1, 2 ) };
        const auto& edges = grid.solid->edges();
        bool met_decreasing_edge{ false };
        for( index_t edge = 0; edge < edges.nb_edges(); edge++ )
        {
            const auto vertices = edges.edge_vertices( edge );
            const auto from = std::min( vertices[0], vertices[1] );
            const auto to = std::max( vertices[0], vertices[1] );
            met_decreasing_edge = met_decreasing_edge || vertices[0] > vertices[1];
            const auto result = grid.cut( { test::vertex_cut( *grid.solid, from ),
                test::vertex_cut( *grid.solid, to ) } );
            ASSERT_EQ( result.path_edges.size(), 1 );
            EXPECT_EQ( result.path_edges[0].same_direction, vertices[0] == from );
            EXPECT_EQ( test::path_edge_chain( *grid.solid, result, from ),
                ( std::vector< index_t >{ from, to } ) );
        }
        EXPECT_TRUE( met_decreasing_edge );
    }

    TEST( CutAlongPath3D, TwoVertexCutsWithoutEdgeThrowTheRecoverableFailure )
    {
        // Corners 0 and 7 of the cube of five share no edge.
        test::CuttableSolid five{ test::cube_of_five_tetrahedra() };
        const auto failure = expect_cut_path_exception( five,
            { test::vertex_cut( *five.solid, 0 ), test::vertex_cut( *five.solid, 7 ) } );
        EXPECT_EQ( std::string{ failure.what() }, "Invalid cut to do in cut_along_path" );
        EXPECT_EQ( failure.missing_edges,
            ( std::vector< std::array< index_t, 2 > >{ { 0, 7 } } ) );
        EXPECT_EQ( failure.result.cut_vertices,
            ( std::vector< ElementEntry >{ { 0, { 0 } }, { 7, { 7 } } } ) );
        EXPECT_TRUE( failure.result.path_edges.empty() );
    }

    TEST( CutAlongPath3D, VertexFacetVertex )
    {
        test::CuttableSolid five{ test::cube_of_five_tetrahedra() };
        const auto volume = test::live_volume( *five.solid );
        const auto path = SolidPathFinder{ *five.solid, 0, 7 }.find_path().value();
        const auto cuts = determine_segment_cuts( *five.solid, path );
        ASSERT_EQ( cuts.size(), 3 );
        const auto nb_vertices = five.solid->nb_vertices();
        const auto result = five.cut( cuts );

        const auto created = nb_vertices;
        EXPECT_EQ( result.cut_vertices,
            ( std::vector< ElementEntry >{
                { 0, { 0 } }, { created, { NO_ID } }, { 7, { 7 } } } ) );
        EXPECT_TRUE( five.solid->point( created ).inexact_equal( cuts[1].point ) );
        EXPECT_EQ( test::path_edge_chain( *five.solid, result, 0 ),
            ( std::vector< index_t >{ 0, created, 7 } ) );
        for( const auto& path_edge : result.path_edges )
        {
            EXPECT_EQ( path_edge.origins, ElementOrigins{ NO_ID } );
        }
        // One facet split: six tetrahedra replace the two beside the facet.
        EXPECT_EQ( result.tetrahedra.size(), 6 );
        for( const auto& origin : result.tetrahedra )
        {
            EXPECT_TRUE( five.modifier->is_polyhedron_active( origin.new_element ) );
            EXPECT_LT( origin.old_element, 5 );
        }
        EXPECT_FALSE( result.modified_facets.empty() );
        EXPECT_FALSE( result.modified_edges.empty() );
        EXPECT_TRUE( result.short_edges.empty() );
        EXPECT_TRUE( test::is_valid_modified_solid( *five.solid ) );
        EXPECT_NEAR( test::live_volume( *five.solid ), volume, 1e-12 );
    }

    TEST( CutAlongPath3D, EdgeCutOnAnEdgeCrossing )
    {
        test::CuttableSolid grid{ test::grid_tetrahedral_solid( 2, 2, 2 ) };
        const auto path = SolidPathFinder{ *grid.solid, 9, 14 }.find_path().value();
        const auto cuts = determine_segment_cuts( *grid.solid, path );
        const auto result = grid.cut( cuts );
        ASSERT_EQ( result.cut_vertices.size(), 3 );
        const auto created = result.cut_vertices[1].element;
        EXPECT_EQ( test::path_edge_chain( *grid.solid, result, 9 ),
            ( std::vector< index_t >{ 9, created, 14 } ) );
        // The two halves of the split edge are changed edges that stem from
        // it.
        const auto split = grid.solid->edges().edge_from_vertices( { 10, 13 } ).value();
        index_t halves{ 0 };
        for( const auto& entry : result.modified_edges )
        {
            const auto& vertices = grid.solid->edges().edge_vertices( entry.element );
            if( ( vertices[0] == created || vertices[1] == created )
                && entry.origins == ElementOrigins{ split } )
            {
                halves++;
            }
        }
        EXPECT_EQ( halves, 2 );
        EXPECT_TRUE( test::is_valid_modified_solid( *grid.solid ) );
    }

    TEST( CutAlongPath3D, RefusedFacetSplitStillMakesTheOthers )
    {
        test::CuttableSolid five{ test::cube_of_five_tetrahedra() };
        const auto nb_vertices = five.solid->nb_vertices();
        // Cut 1: the centre of facet (1, 2, 4). Cut 2: a point of the plane
        // of a facet of corner tetrahedron 3, outside that facet.
        const PolyhedronFacet outer{ 1, 1 };
        const auto triangle = five.solid->triangle( outer );
        const auto& corners = triangle.vertices();
        const auto outside = corners[0] + ( corners[0] - corners[1] ) * 0.5;
        const std::vector< SolidCut > cuts{ test::vertex_cut( *five.solid, 0 ),
            test::facet_cut( { 0, 0 }, Point3D{ { 1. / 3, 1. / 3, 1. / 3 } } ),
            test::facet_cut( outer, outside ), test::vertex_cut( *five.solid, 7 ) };
        const auto failure = expect_cut_path_exception( five, cuts );
        ASSERT_EQ( failure.leftover_facet_cuts.size(), 1 );
        EXPECT_EQ( failure.leftover_facet_cuts[0].cut, 2 );
        EXPECT_EQ( failure.leftover_facet_cuts[0].facet, outer );
        EXPECT_TRUE( failure.leftover_facet_cuts[0].point.inexact_equal( outside ) );
        EXPECT_TRUE( failure.leftover_edge_cuts.empty() );
        EXPECT_TRUE( failure.missing_edges.empty() );
        EXPECT_EQ( failure.result.cut_vertices,
            ( std::vector< ElementEntry >{ { 0, { 0 } }, { nb_vertices, { NO_ID } },
                { NO_ID, { NO_ID } }, { 7, { 7 } } } ) );
        ASSERT_EQ( failure.result.path_edges.size(), 1 );
        EXPECT_EQ( failure.result.tetrahedra.size(), 6 );
        EXPECT_TRUE( test::is_valid_modified_solid( *five.solid ) );
    }

    TEST( CutAlongPath3D, PathsThatDoNotStartOrEndOnAVertexAreRefusedBeforeAnyEdit )
    {
        test::CuttableSolid five{ test::cube_of_five_tetrahedra() };
        const auto centre = test::facet_cut( { 0, 0 }, Point3D{ { 1. / 3, 1. / 3, 1. / 3 } } );
        const auto mid_edge =
            test::edge_cut( *five.solid, 1, 2, Point3D{ { 0.5, 0.5, 0 } } );
        const struct
        {
            std::vector< SolidCut > cuts;
            std::string message;
        } cases[] = {
            { { mid_edge, centre, test::vertex_cut( *five.solid, 7 ) },
                "[CutAlongPath3D::perform_vertex_path_splits] First path split "
                "should be a vertex (should be begin)" },
            { { test::vertex_cut( *five.solid, 0 ), centre, mid_edge },
                "[CutAlongPath3D::perform_vertex_path_splits] Last path split "
                "should be a vertex (should be end)" },
            { {}, "[CutAlongPath3D::cut_along_path] No cut to do" },
        };
        for( const auto& test_case : cases )
        {
            EXPECT_EQ( test::message_of( [&] { (void) five.cut( test_case.cuts ); } ),
                test_case.message );
            EXPECT_EQ( five.solid->nb_polyhedra(), 5 ) << test_case.message;
            EXPECT_EQ( test::nb_live_tetrahedra( *five.solid ), 5 );
        }
    }

    TEST( CutAlongPath3D, ZeroLengthEdgeIsCollapsedAndTheChainRenumbered )
    {
        // A cut 1e-7 from vertex 13 (the centre of the grid) on its edge
        // towards 14 makes an edge of zero length (within 1e-12 squared)
        // between 13 and the new vertex: it is collapsed, and the chain
        // 13 -> new -> 14 becomes a single edge.
        test::CuttableSolid grid{ test::grid_tetrahedral_solid( 2, 2, 2 ) };
        const auto volume = test::live_volume( *grid.solid );
        const auto near = Point3D{ { 1 + 1e-7, 1, 1 } };
        const std::vector< SolidCut > cuts{ test::vertex_cut( *grid.solid, 13 ),
            test::edge_cut( *grid.solid, 13, 14, near ),
            test::vertex_cut( *grid.solid, 14 ) };
        const auto result = grid.cut( cuts );
        ASSERT_EQ( result.cut_vertices.size(), 2 );
        const auto merged = result.cut_vertices[0].element;
        EXPECT_NE( merged, 13 );
        EXPECT_EQ( result.cut_vertices[0].origins, ElementOrigins{ 13 } );
        EXPECT_EQ( result.cut_vertices[1], ( ElementEntry{ 14, { 14 } } ) );
        EXPECT_TRUE( grid.solid->point( merged ).inexact_equal( grid.solid->point( 13 ) ) );
        EXPECT_EQ( test::path_edge_chain( *grid.solid, result, merged ),
            ( std::vector< index_t >{ merged, 14 } ) );
        EXPECT_TRUE( result.short_edges.empty() );
        for( const auto& origin : result.tetrahedra )
        {
            EXPECT_TRUE( grid.modifier->is_polyhedron_active( origin.new_element ) );
        }
        EXPECT_TRUE( test::is_valid_modified_solid( *grid.solid ) );
        EXPECT_NEAR( test::live_volume( *grid.solid ), volume, 1e-9 );
    }

    TEST( CutAlongPath3D, RefusedCollapseLeavesAShortEdge )
    {
        // A closed fan of four tetrahedra around the edge (0, 1), squashed
        // so that the edge is 1e-7 long: the edge is inside the solid and
        // both its ends lie on the border, so it cannot be collapsed onto
        // either end. The path 2 -> 0 -> 1 -> 4 runs along it.
        test::CuttableSolid fan{ test::tetrahedra_fan_around_edge( 4, true ) };
        fan.builder->set_point( 1, Point3D{ { 0, 0, 1e-7 } } );
        for( index_t ring = 2; ring < 6; ring++ )
        {
            auto point = fan.solid->point( ring );
            point.set_value( 2, 0.5e-7 );
            fan.builder->set_point( ring, point );
        }
        ASSERT_TRUE( test::is_valid_modified_solid( *fan.solid ) );
        const std::vector< SolidCut > cuts{ test::vertex_cut( *fan.solid, 2 ),
            test::vertex_cut( *fan.solid, 0 ), test::vertex_cut( *fan.solid, 1 ),
            test::vertex_cut( *fan.solid, 4 ) };
        const auto result = fan.cut( cuts );
        const auto short_edge = fan.solid->edges().edge_from_vertices( { 0, 1 } ).value();
        EXPECT_EQ( result.short_edges, std::vector< index_t >{ short_edge } );
        EXPECT_EQ( test::cut_vertex_list( result ),
            ( std::vector< index_t >{ 2, 0, 1, 4 } ) );
        EXPECT_EQ( test::path_edge_chain( *fan.solid, result, 2 ),
            ( std::vector< index_t >{ 2, 0, 1, 4 } ) );
        EXPECT_EQ( test::nb_live_tetrahedra( *fan.solid ), 4 );
        EXPECT_TRUE( test::is_valid_modified_solid( *fan.solid ) );
    }

    TEST( MergeElementEntries, Cases )
    {
        const struct
        {
            const char* name;
            std::vector< ElementEntry > entries;
            std::vector< ElementEntry > expected;
        } cases[] = {
            { "chain", { { 7, { 3 } }, { 3, { 1 } } }, { { 7, { 1 } } } },
            { "itself", { { 5, { 5 } } }, { { 5, { 5 } } } },
            { "unset", { { 4, { NO_ID } } }, { { 4, { NO_ID } } } },
            { "itself and another", { { 5, { 5, 2 } } }, { { 5, { 2, 5 } } } },
            { "longer chain, sorted and unique",
                { { 9, { 8, 2 } }, { 8, { 6 } }, { 6, { 2, 1 } } },
                { { 9, { 1, 2 } } } },
            { "two origins through one entry", { { 1, { 3 } }, { 2, { 3 } }, { 3, { 0 } } },
                { { 1, { 0 } }, { 2, { 0 } } } },
            { "last occurrence wins", { { 4, { 1 } }, { 4, { 2 } } }, { { 4, { 2 } } } },
            { "unset dropped", { { 4, { NO_ID, 3 } } }, { { 4, { 3 } } } },
        };
        for( const auto& test_case : cases )
        {
            auto entries = test_case.entries;
            detail::merge_element_entries( entries );
            EXPECT_EQ( entries, test_case.expected ) << test_case.name;
        }
    }

    TEST( MergeElementEntries, CycleThrowsAndLeavesTheList )
    {
        std::vector< ElementEntry > entries{ { 1, { 2 } }, { 2, { 3 } }, { 3, { 2 } } };
        const auto copy = entries;
        EXPECT_THROW( detail::merge_element_entries( entries ), OpenOrvaneException );
        EXPECT_EQ( entries, copy );
    }
} // namespace
