#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/barycentric_coordinates.hpp>

#include <common/cutter/solid_path_finder.hpp>

#include <tests/common/cutter/solid_cut_helpers.hpp>
#include <tests/support/solid_fixtures.hpp>

namespace
{
    using namespace orvane;
    using Point3D = Point< 3 >;

    index_t grid_vertex( index_t nx, index_t ny, index_t i, index_t j, index_t k )
    {
        return i + ( nx + 1 ) * ( j + ( ny + 1 ) * k );
    }

    std::array< index_t, 2 > sorted_edge(
        const TetrahedralSolid< 3 >& solid, const SolidPathStep& step )
    {
        auto vertices = solid.polyhedron_facet_edge_vertices(
            { step.facet, detail::position_to_index( step.position ) } );
        std::sort( vertices.begin(), vertices.end() );
        return vertices;
    }

    /// A 2 x 2 x 1 grid without its cell (1, 1): an L-shaped, non-convex
    /// solid (same vertex numbering as the full grid).
    std::unique_ptr< TetrahedralSolid< 3 > > l_shaped_solid()
    {
        const auto grid = test::grid_tetrahedral_solid( 2, 2, 1 );
        std::vector< Point< 3 > > points;
        for( index_t v = 0; v < grid->nb_vertices(); v++ )
        {
            points.push_back( grid->point( v ) );
        }
        std::vector< std::array< index_t, 4 > > tetrahedra;
        for( index_t t = 0; t < grid->nb_polyhedra(); t++ )
        {
            const auto center = grid->polyhedron_barycenter( t );
            if( center.value( 0 ) > 1 && center.value( 1 ) > 1 )
            {
                continue;
            }
            const auto vertices = grid->polyhedron_vertices( t );
            tetrahedra.push_back(
                { vertices[0], vertices[1], vertices[2], vertices[3] } );
        }
        return test::create_tetrahedral_solid( points, tetrahedra );
    }

    TEST( SolidPathFinder, ShortPaths )
    {
        const auto tetrahedron = test::single_tetrahedron();
        const auto to_itself = SolidPathFinder{ *tetrahedron, 2, 2 }.find_path();
        ASSERT_TRUE( to_itself );
        EXPECT_EQ( to_itself.value(),
            std::vector< SolidPathStep >{ SolidPathStep::vertex_step( 2 ) } );

        const auto along_edge = SolidPathFinder{ *tetrahedron, 0, 3 }.find_path();
        ASSERT_TRUE( along_edge );
        EXPECT_EQ( along_edge.value(),
            ( std::vector< SolidPathStep >{ SolidPathStep::vertex_step( 0 ),
                SolidPathStep::vertex_step( 3 ) } ) );

        // Every tetrahedron of the cube of six holds its diagonal.
        const auto six = test::cube_of_six_tetrahedra();
        const auto diagonal = SolidPathFinder{ *six, 7, 0 }.find_path();
        ASSERT_TRUE( diagonal );
        EXPECT_EQ( diagonal->size(), 2 );
    }

    TEST( SolidPathFinder, ThroughOneFacet )
    {
        // From corner 0 the diagonal leaves the corner tetrahedron through
        // the centre of its facet (1, 2, 4) and reaches 7 as the apex of the
        // central tetrahedron.
        const auto five = test::cube_of_five_tetrahedra();
        const auto path = SolidPathFinder{ *five, 0, 7 }.find_path();
        ASSERT_TRUE( path );
        ASSERT_EQ( path->size(), 3 );
        EXPECT_EQ( path->front(), SolidPathStep::vertex_step( 0 ) );
        const auto& crossing = path->at( 1 );
        EXPECT_EQ( crossing.position, POSITION::inside );
        EXPECT_EQ( crossing.vertex, NO_ID );
        auto facet_vertices = five->polyhedron_facet_vertices( crossing.facet );
        std::sort( facet_vertices.begin(), facet_vertices.end() );
        EXPECT_EQ( facet_vertices, ( PolyhedronFacetVertices{ 1, 2, 4 } ) );
        EXPECT_EQ( path->back(), SolidPathStep::vertex_step( 7 ) );
    }

    TEST( SolidPathFinder, ThroughAVertexAndThroughAnEdge )
    {
        // Along the bottom row of two cells: the segment passes vertex 1.
        const auto row = test::grid_tetrahedral_solid( 2, 1, 1 );
        const auto through_vertex = SolidPathFinder{ *row, 0, 2 }.find_path();
        ASSERT_TRUE( through_vertex );
        ASSERT_EQ( through_vertex->size(), 3 );
        EXPECT_TRUE( detail::is_vertex_position( through_vertex->at( 1 ).position ) );
        EXPECT_EQ( through_vertex->at( 1 ).vertex, 1 );
        EXPECT_EQ( through_vertex->back().vertex, 2 );

        // In the plane z = 1 of a 2 x 2 x 2 grid, from (0, 0, 1) to
        // (2, 1, 1): the segment crosses the edge from (1, 0, 1) to
        // (1, 1, 1) at its middle.
        const auto grid = test::grid_tetrahedral_solid( 2, 2, 2 );
        const auto begin = grid_vertex( 2, 2, 0, 0, 1 );
        const auto end = grid_vertex( 2, 2, 2, 1, 1 );
        const auto through_edge = SolidPathFinder{ *grid, begin, end }.find_path();
        ASSERT_TRUE( through_edge );
        ASSERT_EQ( through_edge->size(), 3 );
        const auto& crossing = through_edge->at( 1 );
        EXPECT_TRUE( detail::is_edge_position( crossing.position ) );
        EXPECT_EQ( crossing.vertex, NO_ID );
        const std::array< index_t, 2 > expected{ grid_vertex( 2, 2, 1, 0, 1 ),
            grid_vertex( 2, 2, 1, 1, 1 ) };
        EXPECT_EQ( sorted_edge( *grid, crossing ), expected );
        EXPECT_EQ( through_edge->back().vertex, end );
    }

    TEST( SolidPathFinder, LeavingTheSolidGivesNoPath )
    {
        // From (2, 1, 0) to (1, 2, 1) the segment runs through the missing
        // cell of the L.
        const auto solid = l_shaped_solid();
        EXPECT_FALSE( ( SolidPathFinder{ *solid, grid_vertex( 2, 2, 2, 1, 0 ),
            grid_vertex( 2, 2, 1, 2, 1 ) }
                              .find_path() ) );
        // Inside the L the same finder does find its way.
        EXPECT_TRUE( ( SolidPathFinder{ *solid, grid_vertex( 2, 2, 0, 0, 0 ),
            grid_vertex( 2, 2, 2, 1, 1 ) }
                             .find_path() ) );
    }

    TEST( SolidPathFinder, JitteredGridPathsAreContinuous )
    {
        // Each step after the first lies in a tetrahedron shared with the
        // step before it, and the path ends on the end vertex.
        const auto solid = test::jittered_grid_solid( 4, 4, 4, 0.2, 3 );
        std::mt19937 random{ 11 };
        std::uniform_int_distribution< index_t > vertex{ 0, solid->nb_vertices() - 1 };
        for( int trial = 0; trial < 50; trial++ )
        {
            const auto begin = vertex( random );
            const auto end = vertex( random );
            const auto path = SolidPathFinder{ *solid, begin, end }.find_path();
            ASSERT_TRUE( path ) << begin << " -> " << end;
            EXPECT_EQ( path->front(), SolidPathStep::vertex_step( begin ) );
            EXPECT_EQ( path->back().vertex, end );
            for( std::size_t s = 1; s + 1 < path->size(); s++ )
            {
                EXPECT_NE( path->at( s ).position, POSITION::outside );
                EXPECT_FALSE(
                    same_crossing( *solid, path->at( s ), path->at( s - 1 ) ) );
            }
        }
    }

    TEST( SolidPathFinder, SameCrossing )
    {
        const auto five = test::cube_of_five_tetrahedra();
        // Facet (1, 2, 4) seen from the corner tetrahedron 0 and from the
        // central one.
        const PolyhedronFacet corner_side{ 0, 0 };
        const auto central_side =
            five->polyhedron_adjacent_facet( corner_side ).value();
        const SolidPathStep facet{ POSITION::inside, corner_side, NO_ID };
        const SolidPathStep other_side{ POSITION::inside, central_side, NO_ID };
        EXPECT_TRUE( same_crossing( *five, facet, other_side ) );
        EXPECT_TRUE( same_crossing( *five, other_side, facet ) );
        EXPECT_FALSE( same_crossing( *five, facet, SolidPathStep::vertex_step( 1 ) ) );

        // A border facet compared with another facet has no other side.
        const PolyhedronFacet border{ 0, 1 };
        ASSERT_TRUE( five->is_polyhedron_facet_on_border( border ) );
        EXPECT_FALSE( same_crossing(
            *five, facet, SolidPathStep{ POSITION::inside, border, NO_ID } ) );

        // Edge (1, 2) named from both of its facets in tetrahedron 0, in
        // opposite directions.
        const auto forward =
            five->polyhedron_facet_edge_from_vertices( { 1, 2 } ).value();
        const auto backward =
            five->polyhedron_facet_edge_from_vertices( { 2, 1 } ).value();
        const SolidPathStep edge{ detail::edge_position( forward.edge_id ),
            forward.polyhedron_facet, NO_ID };
        const SolidPathStep reversed{ detail::edge_position( backward.edge_id ),
            backward.polyhedron_facet, NO_ID };
        EXPECT_TRUE( same_crossing( *five, edge, reversed ) );
        EXPECT_TRUE( same_crossing( *five, SolidPathStep::vertex_step( 4 ),
            SolidPathStep{ POSITION::vertex1, corner_side, 4 } ) );
    }

    TEST( SolidBorderPathFinder, ConstructorFailures )
    {
        const auto grid = test::grid_tetrahedral_solid( 2, 2, 2 );
        const auto inner = grid_vertex( 2, 2, 1, 1, 1 );
        const Triangle< 3 > triangle{ Point3D{ { 0, 0, 0 } }, Point3D{ { 2, 0, 0 } },
            Point3D{ { 0, 2, 0 } } };
        const Triangle< 3 > flat{ Point3D{ { 0, 0, 0 } }, Point3D{ { 1, 0, 0 } },
            Point3D{ { 2, 0, 0 } } };
        const struct
        {
            index_t begin;
            index_t end;
            const Triangle< 3 >* triangle;
            std::string message;
        } cases[] = {
            { inner, 0, &triangle,
                "[SolidBorderPathFinder::SolidBorderPathFinder] Given begin "
                "vertex is not on border" },
            { 0, inner, &triangle,
                "[SolidBorderPathFinder::SolidBorderPathFinder] Given end vertex "
                "is not on border" },
            { 0, 2, &flat,
                "[SolidBorderPathFinder::SolidBorderPathFinder] Given triangle "
                "has no normal" },
        };
        for( const auto& test_case : cases )
        {
            try
            {
                SolidBorderPathFinder finder{ *grid, test_case.begin,
                    test_case.end, *test_case.triangle };
                ADD_FAILURE() << "no exception for " << test_case.message;
            }
            catch( const OpenOrvaneException& exception )
            {
                EXPECT_EQ( std::string{ exception.what() }, test_case.message );
            }
        }
    }

    TEST( SolidBorderPathFinder, FollowsTheTriangleAcrossABorderEdge )
    {
        // Over the bottom of a row of two cells, the vertical triangle
        // through (0, 0, 0) and (2, 1, 0) crosses the edge x = 1 at
        // (1, 0.5, 0); no other border edge is crossed strictly.
        const auto row = test::grid_tetrahedral_solid( 2, 1, 1 );
        const Triangle< 3 > triangle{ Point3D{ { 0, 0, 0 } }, Point3D{ { 2, 1, 0 } },
            Point3D{ { 1, 0.5, 1 } } };
        const auto end = grid_vertex( 2, 1, 2, 1, 0 );
        const SolidBorderPathFinder finder{ *row, 0, end, triangle };
        const auto paths = finder.find_paths();
        ASSERT_EQ( paths.size(), 1 );
        const auto& path = paths.front();
        ASSERT_EQ( path.size(), 3 );
        EXPECT_EQ( path.front(), SolidPathStep::vertex_step( 0 ) );
        EXPECT_TRUE( detail::is_edge_position( path[1].position ) );
        EXPECT_TRUE( row->is_polyhedron_facet_on_border( path[1].facet ) );
        const std::array< index_t, 2 > expected{ grid_vertex( 2, 1, 1, 0, 0 ),
            grid_vertex( 2, 1, 1, 1, 0 ) };
        EXPECT_EQ( sorted_edge( *row, path[1] ), expected );
        EXPECT_EQ( path.back(), SolidPathStep::vertex_step( end ) );
    }

    TEST( SolidBorderPathFinder, StepsOnBorderVerticesOfTheTriangle )
    {
        // The vertical triangle over the bottom diagonal of a cell holds
        // both ends: the walk goes from vertex to vertex.
        const auto six = test::cube_of_six_tetrahedra();
        const Triangle< 3 > triangle{ Point3D{ { 0, 0, 0 } }, Point3D{ { 1, 1, 0 } },
            Point3D{ { 0.5, 0.5, 1 } } };
        const SolidBorderPathFinder finder{ *six, 0, 3, triangle };
        const auto paths = finder.find_paths();
        ASSERT_FALSE( paths.empty() );
        for( const auto& path : paths )
        {
            EXPECT_EQ( path,
                ( std::vector< SolidPathStep >{ SolidPathStep::vertex_step( 0 ),
                    SolidPathStep::vertex_step( 3 ) } ) );
        }
    }

    TEST( SolidBorderPathFinder, TriangleInTheBorderPlaneEnds )
    {
        // A triangle covering the whole bottom of a 2 x 2 x 2 grid holds
        // every bottom vertex: the walk can only go round the bottom and
        // never reaches the centre of the top. It must give up.
        const auto grid = test::grid_tetrahedral_solid( 2, 2, 2 );
        const Triangle< 3 > triangle{ Point3D{ { -1, -1, 0 } }, Point3D{ { 6, -1, 0 } },
            Point3D{ { -1, 6, 0 } } };
        const SolidBorderPathFinder finder{ *grid, 0, grid_vertex( 2, 2, 1, 1, 2 ),
            triangle };
        EXPECT_TRUE( finder.find_paths().empty() );
    }
} // namespace
