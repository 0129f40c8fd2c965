#include <algorithm>
#include <numeric>
#include <set>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <tests/support/surface_checks.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace orvane
{
    namespace
    {
        std::vector< index_t > fan_polygons( const SurfaceMesh< 3 >& surface, index_t vertex )
        {
            std::vector< index_t > polygons;
            for( const auto& corner : surface.polygons_around_vertex( vertex ) )
            {
                EXPECT_EQ( surface.polygon_vertex( corner ), vertex );
                polygons.push_back( corner.polygon_id );
            }
            return polygons;
        }

        bool are_adjacent( const SurfaceMesh< 3 >& surface, index_t p, index_t q )
        {
            for( local_index_t e = 0; e < 3; e++ )
            {
                if( surface.polygon_adjacent( { p, e } ) == q )
                {
                    return true;
                }
            }
            return false;
        }
    } // namespace

    TEST( SurfaceFixtures, AreValid )
    {
        EXPECT_TRUE( test::is_valid_triangulated_surface(
            *test::square_of_two_triangles< 3 >() ) );
        EXPECT_TRUE( test::is_valid_triangulated_surface(
            *test::square_of_two_triangles< 2 >() ) );
        EXPECT_TRUE(
            test::is_valid_triangulated_surface( *test::triangle_fan< 3 >( 6, true ) ) );
        EXPECT_TRUE(
            test::is_valid_triangulated_surface( *test::triangle_fan< 2 >( 4, false ) ) );
        EXPECT_TRUE( test::is_valid_triangulated_surface( *test::triangle_strip< 3 >( 5 ) ) );
        EXPECT_TRUE( test::is_valid_triangulated_surface( *test::grid_surface< 2 >( 4, 3 ) ) );
        test::SurfaceCheckOptions non_manifold;
        non_manifold.check_vertex_fans = false;
        EXPECT_TRUE(
            test::is_valid_triangulated_surface( *test::bowtie< 3 >(), non_manifold ) );
        EXPECT_FALSE( test::is_valid_triangulated_surface( *test::bowtie< 3 >() ) );
    }

    TEST( SurfaceQueries, LocalNumbering )
    {
        const auto surface = test::square_of_two_triangles< 3 >();
        // Triangle 1 is (0, 2, 3).
        EXPECT_EQ( surface->polygon_edge_vertices( { 1, 0 } ), ( EdgeVertices{ 0, 2 } ) );
        EXPECT_EQ( surface->polygon_edge_vertices( { 1, 2 } ), ( EdgeVertices{ 3, 0 } ) );
        EXPECT_EQ( surface->polygon_edge_vertex( { 1, 1 }, 1 ), 3 );
        EXPECT_EQ( surface->next_polygon_vertex( { 1, 2 } ), PolygonVertex( 1, 0 ) );
        // The previous vertex of an edge is the vertex opposite it.
        EXPECT_EQ( surface->polygon_vertex( surface->previous_polygon_vertex( { 1, 0 } ) ), 3 );
        EXPECT_EQ( surface->previous_polygon_edge( { 1, 0 } ), PolygonEdge( 1, 2 ) );
        EXPECT_EQ( surface->next_polygon_edge( { 1, 2 } ), PolygonEdge( 1, 0 ) );
        EXPECT_EQ( surface->vertex_in_polygon( 1, 3 ), local_index_t{ 2 } );
        EXPECT_FALSE( surface->vertex_in_polygon( 1, 1 ) );
        EXPECT_EQ( surface->nb_polygon_vertices( 0 ), 3 );
        EXPECT_EQ( PolygonEdge{}, PolygonEdge( NO_ID, NO_LID ) );
    }

    TEST( SurfaceQueries, AdjacencyAndBorder )
    {
        const auto surface = test::square_of_two_triangles< 3 >();
        EXPECT_EQ( surface->polygon_adjacent( { 0, 2 } ), index_t{ 1 } );
        EXPECT_EQ( surface->polygon_adjacent_edge( { 0, 2 } ), PolygonEdge( 1, 0 ) );
        EXPECT_EQ( surface->polygon_adjacent_edge( { 1, 0 } ), PolygonEdge( 0, 2 ) );
        EXPECT_FALSE( surface->polygon_adjacent( { 0, 0 } ) );
        EXPECT_FALSE( surface->polygon_adjacent_edge( { 0, 0 } ) );
        EXPECT_TRUE( surface->is_edge_on_border( { 0, 1 } ) );
        EXPECT_FALSE( surface->is_edge_on_border( { 1, 0 } ) );
        for( index_t v = 0; v < 4; v++ )
        {
            EXPECT_TRUE( surface->is_vertex_on_border( v ) );
        }
        const auto fan = test::triangle_fan< 3 >( 6, true );
        EXPECT_FALSE( fan->is_vertex_on_border( 0 ) );
        EXPECT_TRUE( fan->is_vertex_on_border( 1 ) );
    }

    TEST( SurfaceQueries, AdjacencySettersWriteOneDirection )
    {
        const auto surface = test::create_triangulated_surface< 3 >(
            { test::planar_point< 3 >( 0, 0 ), test::planar_point< 3 >( 1, 0 ),
                test::planar_point< 3 >( 1, 1 ), test::planar_point< 3 >( 0, 1 ) },
            { { 0, 1, 2 }, { 0, 2, 3 } }, false );
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        EXPECT_FALSE( surface->polygon_adjacent( { 0, 2 } ) );
        builder->set_polygon_adjacent( { 0, 2 }, 1 );
        EXPECT_EQ( surface->polygon_adjacent( { 0, 2 } ), index_t{ 1 } );
        EXPECT_FALSE( surface->polygon_adjacent( { 1, 0 } ) );
        builder->set_polygon_adjacent( { 1, 0 }, 0 );
        builder->unset_polygon_adjacent( { 0, 2 } );
        EXPECT_FALSE( surface->polygon_adjacent( { 0, 2 } ) );
        EXPECT_EQ( surface->polygon_adjacent( { 1, 0 } ), index_t{ 0 } );
        builder->set_polygon_adjacent( { 1, 0 }, NO_ID );
        EXPECT_FALSE( surface->polygon_adjacent( { 1, 0 } ) );
    }

    TEST( SurfaceQueries, ComputeAdjacenciesLinksOnlyOppositePairs )
    {
        struct Case
        {
            const char* name;
            std::vector< std::array< index_t, 3 > > triangles;
            // The polygon across edge 0 of each triangle (NO_ID: border).
            std::vector< index_t > across_edge0;
        };
        const std::vector< Case > cases{
            { "opposite directions", { { 0, 1, 2 }, { 1, 0, 3 } }, { 1, 0 } },
            { "same direction", { { 0, 1, 2 }, { 0, 1, 3 } }, { NO_ID, NO_ID } },
            { "three uses", { { 0, 1, 2 }, { 1, 0, 3 }, { 0, 1, 4 } },
                { NO_ID, NO_ID, NO_ID } },
            { "four uses", { { 0, 1, 2 }, { 1, 0, 3 }, { 0, 1, 4 }, { 1, 0, 2 } },
                { NO_ID, NO_ID, NO_ID, NO_ID } },
        };
        std::vector< Point< 3 > > points;
        for( index_t i = 0; i < 5; i++ )
        {
            points.push_back( Point< 3 >{ { double( i % 2 ), double( i / 2 ), double( i ) } } );
        }
        for( const auto& test_case : cases )
        {
            const auto surface =
                test::create_triangulated_surface< 3 >( points, test_case.triangles );
            for( index_t p = 0; p < surface->nb_polygons(); p++ )
            {
                EXPECT_EQ( surface->polygon_adjacent( { p, 0 } ).value_or( NO_ID ),
                    test_case.across_edge0[p] )
                    << test_case.name << ", polygon " << p;
            }
            // Recomputing for every listed polygon gives the same answer.
            std::vector< index_t > all( surface->nb_polygons() );
            std::iota( all.begin(), all.end(), index_t{ 0 } );
            TriangulatedSurfaceBuilder< 3 >::create( *surface )->compute_polygon_adjacencies( all );
            for( index_t p = 0; p < surface->nb_polygons(); p++ )
            {
                EXPECT_EQ( surface->polygon_adjacent( { p, 0 } ).value_or( NO_ID ),
                    test_case.across_edge0[p] )
                    << test_case.name << ", listed, polygon " << p;
            }
        }
    }

    TEST( SurfaceQueries, ComputeAdjacenciesOfListedPolygons )
    {
        const auto surface = test::triangle_fan< 3 >( 6, true );
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        // Cut triangle 2 off on both sides of its edges (one-way unsets).
        for( local_index_t e = 0; e < 3; e++ )
        {
            builder->unset_polygon_adjacent( { 2, e } );
        }
        // Triangle i is (0, i + 1, i + 2): the neighbours of triangle 2 point
        // to it across their edges (3, 0) and (0, 4).
        builder->unset_polygon_adjacent( { 1, 2 } );
        builder->unset_polygon_adjacent( { 3, 0 } );
        EXPECT_FALSE( test::is_valid_triangulated_surface( *surface ) );
        const std::array< index_t, 1 > listed{ 2 };
        builder->compute_polygon_adjacencies( listed );
        EXPECT_TRUE( test::is_valid_triangulated_surface( *surface ) );
        EXPECT_EQ( surface->polygon_adjacent( { 2, 0 } ), index_t{ 1 } );
        EXPECT_EQ( surface->polygon_adjacent( { 3, 0 } ), index_t{ 2 } );
    }

    TEST( SurfaceQueries, FanOfInteriorVertexTurnsOnce )
    {
        // Vertex 0 of the closed fan was associated with its last triangle,
        // 5 = (0, 6, 1); the walk crosses the edge that starts at the vertex
        // first: (0, 6) leads to triangle 4.
        const auto fan = test::triangle_fan< 3 >( 6, true );
        EXPECT_EQ( fan_polygons( *fan, 0 ), ( std::vector< index_t >{ 5, 4, 3, 2, 1, 0 } ) );

        const auto grid = test::grid_surface< 3 >( 3, 3 );
        for( const index_t vertex : { 5, 6, 9, 10 } )
        {
            const auto polygons = fan_polygons( *grid, vertex );
            ASSERT_EQ( polygons.size(), 6 ) << "vertex " << vertex;
            for( std::size_t i = 0; i < polygons.size(); i++ )
            {
                EXPECT_TRUE( are_adjacent(
                    *grid, polygons[i], polygons[( i + 1 ) % polygons.size()] ) )
                    << "vertex " << vertex << ", step " << i;
            }
        }
    }

    TEST( SurfaceQueries, FanOfBorderVertexGoesBothWays )
    {
        // Open fan: t0 = (0, 1, 2), t1 = (0, 2, 3), t2 = (0, 3, 4).
        const auto fan = test::triangle_fan< 3 >( 3, false );
        EXPECT_EQ( fan_polygons( *fan, 0 ), ( std::vector< index_t >{ 2, 1, 0 } ) );
        // Vertex 2 is stored in t1: the walk meets the border at once, then
        // goes the other way from t1 to t0.
        EXPECT_EQ( fan_polygons( *fan, 2 ), ( std::vector< index_t >{ 1, 0 } ) );
        // Stored in t0 instead, the walk goes forward to t1 first.
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *fan );
        builder->associate_polygon_vertex_to_vertex( { 0, 2 }, 2 );
        EXPECT_EQ( fan_polygons( *fan, 2 ), ( std::vector< index_t >{ 0, 1 } ) );
        EXPECT_EQ( fan->vertices_around_vertex( 2 ), ( std::vector< index_t >{ 0, 1, 3 } ) );
    }

    TEST( SurfaceQueries, FanOfNonManifoldVertexIsOneFan )
    {
        const auto surface = test::bowtie< 3 >();
        EXPECT_EQ( fan_polygons( *surface, 0 ), ( std::vector< index_t >{ 1 } ) );
        EXPECT_TRUE( surface->is_vertex_on_border( 0 ) );
        EXPECT_TRUE( fan_polygons( *surface, 0 ).size()
                     < 2 ); // fewer than the vertex's two corners
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        const auto isolated = builder->create_point( test::planar_point< 3 >( 5, 5 ) );
        EXPECT_TRUE( surface->is_vertex_isolated( isolated ) );
        EXPECT_TRUE( surface->polygons_around_vertex( isolated ).empty() );
        EXPECT_FALSE( surface->is_vertex_on_border( isolated ) );
    }

    TEST( SurfaceQueries, FanWithSidesGivesEachCornersOtherVertices )
    {
        auto bowtie = test::bowtie< 3 >();
        const auto isolated = TriangulatedSurfaceBuilder< 3 >::create( *bowtie )
                                  ->create_point( test::planar_point< 3 >( 5, 5 ) );
        const auto open_fan = test::triangle_fan< 3 >( 3, false );
        const auto closed_fan = test::triangle_fan< 3 >( 6, true );
        const auto grid = test::grid_surface< 3 >( 3, 3 );
        const std::vector< std::pair< const SurfaceMesh< 3 >*, index_t > > cases{
            { closed_fan.get(), 0 }, { closed_fan.get(), 3 }, { open_fan.get(), 0 },
            { open_fan.get(), 2 }, { grid.get(), 5 }, { grid.get(), 0 },
            { grid.get(), 15 }, { bowtie.get(), 0 }, { bowtie.get(), isolated }
        };
        for( const auto& [surface, vertex] : cases )
        {
            // Left over from an earlier call: replaced, not appended to.
            CornersSides sides( 3, CornerSides{ 7, 7 } );
            const auto corners = surface->polygons_around_vertex( vertex, sides );
            EXPECT_EQ( corners, surface->polygons_around_vertex( vertex ) )
                << "vertex " << vertex;
            ASSERT_EQ( sides.size(), corners.size() ) << "vertex " << vertex;
            for( std::size_t i = 0; i < corners.size(); i++ )
            {
                EXPECT_EQ( sides[i].next,
                    surface->polygon_vertex( surface->next_polygon_vertex( corners[i] ) ) )
                    << "vertex " << vertex << ", corner " << i;
                EXPECT_EQ( sides[i].previous,
                    surface->polygon_vertex( surface->previous_polygon_vertex( corners[i] ) ) )
                    << "vertex " << vertex << ", corner " << i;
            }
        }
    }

    TEST( SurfaceQueries, FanStopsOnInconsistentAdjacency )
    {
        // A neighbour that does not hold the vertex ends the walk instead of
        // looping or reading out of range.
        const auto surface = test::triangle_strip< 3 >( 3 );
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        builder->set_polygon_adjacent( { 0, 0 }, 5 );
        EXPECT_THROW( builder->set_polygon_adjacent( { 0, 1 }, 42 ), OpenOrvaneException )
            << "an adjacency past the end is refused";
        const auto polygons = fan_polygons( *surface, 0 );
        EXPECT_FALSE( polygons.empty() );
        EXPECT_LE( polygons.size(), 2 );
        fan_polygons( *surface, 1 );
    }

    TEST( SurfaceQueries, NextOnBorderWalksTheBoundary )
    {
        const auto surface = test::square_of_two_triangles< 3 >();
        // Border: (0, 0): 0->1, (0, 1): 1->2, (1, 1): 2->3, (1, 2): 3->0.
        const std::vector< std::pair< PolygonEdge, PolygonEdge > > expected{
            { { 0, 0 }, { 0, 1 } }, { { 0, 1 }, { 1, 1 } }, { { 1, 1 }, { 1, 2 } },
            { { 1, 2 }, { 0, 0 } } };
        for( const auto& [edge, next] : expected )
        {
            EXPECT_EQ( surface->next_on_border( edge ), next ) << edge.string();
        }
        const auto strip = test::triangle_strip< 3 >( 4 );
        PolygonEdge edge{ 0, 0 };
        index_t nb_border_edges{ 0 };
        do
        {
            ASSERT_TRUE( strip->is_edge_on_border( edge ) );
            edge = strip->next_on_border( edge ).value();
            nb_border_edges++;
        } while( edge != PolygonEdge{ 0, 0 } && nb_border_edges < 100 );
        EXPECT_EQ( nb_border_edges, 10 );
    }

    TEST( SurfaceQueries, EdgeLookups )
    {
        const auto surface = test::square_of_two_triangles< 3 >();
        EXPECT_EQ( surface->polygon_edge_from_vertices( 0, 2 ), PolygonEdge( 1, 0 ) );
        EXPECT_EQ( surface->polygon_edge_from_vertices( 2, 0 ), PolygonEdge( 0, 2 ) );
        EXPECT_EQ( surface->polygon_edge_from_vertices( 1, 2 ), PolygonEdge( 0, 1 ) );
        EXPECT_FALSE( surface->polygon_edge_from_vertices( 2, 1 ) );
        EXPECT_FALSE( surface->polygon_edge_from_vertices( 1, 3 ) );
        const auto both = surface->polygons_from_edge_vertices( { 0, 2 } );
        ASSERT_EQ( both.size(), 2 );
        EXPECT_NE( both[0], both[1] );
        for( const auto& edge : both )
        {
            EXPECT_TRUE( edge == PolygonEdge( 0, 2 ) || edge == PolygonEdge( 1, 0 ) );
        }
        EXPECT_EQ( surface->polygons_from_edge_vertices( { 3, 2 } ).size(), 1 );
        EXPECT_TRUE( surface->polygons_from_edge_vertices( { 1, 3 } ).empty() );
    }

    TEST( SurfaceQueries, Geometry )
    {
        const auto surface = test::square_of_two_triangles< 3 >();
        EXPECT_DOUBLE_EQ( surface->edge_length( { 0, 0 } ), 1. );
        EXPECT_EQ( surface->edge_barycenter( { 0, 0 } ), ( Point< 3 >{ { 0.5, 0, 0 } } ) );
        const auto barycenter = surface->polygon_barycenter( 0 );
        EXPECT_DOUBLE_EQ( barycenter.value( 0 ), 2. / 3. );
        EXPECT_DOUBLE_EQ( barycenter.value( 1 ), 1. / 3. );
        EXPECT_EQ( surface->polygon_normal( 0 ), ( Vector< 3 >{ { 0, 0, 1 } } ) );
        EXPECT_EQ( surface->polygon_vertex_normal( 0 ), ( Vector< 3 >{ { 0, 0, 1 } } ) );
        const auto box = surface->bounding_box();
        EXPECT_EQ( box.min(), ( Point< 3 >{ { 0, 0, 0 } } ) );
        EXPECT_EQ( box.max(), ( Point< 3 >{ { 1, 1, 0 } } ) );
        const auto triangle = surface->triangle( 1 );
        EXPECT_EQ( triangle.vertices()[2], ( Point< 3 >{ { 0, 1, 0 } } ) );

        // A flat triangle has no normal; a vertex whose fan normals cancel
        // has none either.
        const auto flat = test::create_triangulated_surface< 3 >(
            { test::planar_point< 3 >( 0, 0 ), test::planar_point< 3 >( 1, 0 ),
                test::planar_point< 3 >( 2, 0 ) },
            { { 0, 1, 2 } } );
        EXPECT_FALSE( flat->polygon_normal( 0 ) );
        EXPECT_FALSE( flat->polygon_vertex_normal( 0 ) );
        const auto folded = test::create_triangulated_surface< 3 >(
            { test::planar_point< 3 >( 0, 0 ), test::planar_point< 3 >( 1, 0 ),
                test::planar_point< 3 >( 0, 1 ) },
            { { 0, 1, 2 }, { 0, 2, 1 } }, false );
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *folded );
        builder->set_polygon_adjacent( { 0, 0 }, 1 );
        builder->set_polygon_adjacent( { 1, 2 }, 0 );
        EXPECT_FALSE( folded->polygon_vertex_normal( 0 ) );
    }
} // namespace orvane
