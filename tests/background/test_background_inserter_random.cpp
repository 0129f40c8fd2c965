#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include <openorvane/basic/mapping.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

#include <background/background_solid.hpp>
#include <background/background_solid_inserter.hpp>
#include <background/internal_distance_problem.hpp>

#include <tests/background/background_fixtures.hpp>
#include <tests/background/inserter_checks.hpp>
#include <tests/support/solid_checks.hpp>
#include <tests/support/solid_fixtures.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace
{
    using namespace orvane;

    constexpr double SIZE = 3;

    /// Random triangles and segments in and around the box [0, SIZE]^3,
    /// close enough to one another to cross: their corners are drawn in a
    /// slightly larger box, so that some stick out of the solid.
    struct RandomScene
    {
        explicit RandomScene( unsigned seed, index_t nb_triangles, index_t nb_segments )
        {
            std::mt19937 random{ seed };
            std::uniform_real_distribution< double > coordinate{ -0.4, SIZE + 0.4 };
            const auto point = [&] {
                return Point< 3 >{ { coordinate( random ), coordinate( random ),
                    coordinate( random ) } };
            };
            std::vector< Point< 3 > > points;
            std::vector< std::array< index_t, 3 > > triangles;
            while( triangles.size() < nb_triangles )
            {
                const Triangle< 3 > triangle{ point(), point(), point() };
                // Slivers make the exact cover test meaningless at 1e-9.
                if( triangle.minimum_height() < 0.3 )
                {
                    continue;
                }
                const auto first = static_cast< index_t >( points.size() );
                points.insert(
                    points.end(), triangle.vertices().begin(), triangle.vertices().end() );
                triangles.push_back( { first, first + 1, first + 2 } );
            }
            surface = test::create_triangulated_surface< 3 >( points, triangles );
            curve = EdgedCurve< 3 >::create();
            auto builder = EdgedCurveBuilder< 3 >::create( *curve );
            for( index_t s = 0; s < nb_segments; s++ )
            {
                const auto a = builder->create_point( point() );
                const auto b = builder->create_point( point() );
                builder->create_edge( a, b );
            }
        }

        std::unique_ptr< TriangulatedSurface< 3 > > surface;
        std::unique_ptr< EdgedCurve< 3 > > curve;
    };

    std::vector< index_t > all_ids( index_t count )
    {
        std::vector< index_t > ids( count );
        std::iota( ids.begin(), ids.end(), 0 );
        return ids;
    }

    TEST( BackgroundInserterRandom, CrossingTrianglesAndSegmentsBecomeFacetsAndEdges )
    {
        test::initialize_solid_meshes();
        test::initialize_surface_meshes();
        for( const unsigned seed : { 3u } )
        {
            SCOPED_TRACE( "seed " + std::to_string( seed ) );
            const RandomScene scene{ seed, 6, 4 };
            auto solid = test::background_grid( 3, 3, 3 );
            std::vector< index_t > failed_polygons;
            std::vector< index_t > failed_edges;
            {
                internal::BackgroundSolidInserter inserter{ *solid };
                try
                {
                    inserter.insert_surface(
                        *scene.surface, all_ids( scene.surface->nb_polygons() ) );
                }
                catch( const internal::BackgroundInsertionException& error )
                {
                    failed_polygons = error.elements();
                }
                try
                {
                    inserter.insert_curve(
                        *scene.curve, all_ids( scene.curve->nb_edges() ) );
                }
                catch( const internal::BackgroundInsertionException& error )
                {
                    failed_edges = error.elements();
                }
            }
            EXPECT_TRUE( failed_polygons.empty() ) << failed_polygons.size();
            EXPECT_TRUE( failed_edges.empty() ) << failed_edges.size();
            ASSERT_TRUE( test::is_valid_tetrahedral_solid( *solid ) );
            const Point< 3 > min{ { 0, 0, 0 } };
            const Point< 3 > max{ { SIZE, SIZE, SIZE } };
            for( index_t p = 0; p < scene.surface->nb_polygons(); p++ )
            {
                if( std::count( failed_polygons.begin(), failed_polygons.end(), p ) )
                {
                    continue;
                }
                const auto triangle = test::surface_triangle( *scene.surface, p );
                EXPECT_TRUE( test::covers_triangle( *solid, { scene.surface->id(), p },
                    triangle, test::area_in_box( triangle, min, max ) ) )
                    << "polygon " << p;
            }
            for( index_t e = 0; e < scene.curve->nb_edges(); e++ )
            {
                if( std::count( failed_edges.begin(), failed_edges.end(), e ) )
                {
                    continue;
                }
                const auto& ends = scene.curve->edge_vertices( e );
                const Segment< 3 > segment{ scene.curve->point( ends[0] ),
                    scene.curve->point( ends[1] ) };
                EXPECT_TRUE( test::covers_segment( *solid, { scene.curve->id(), e },
                    segment, test::length_in_box( segment, min, max ) ) )
                    << "edge " << e;
            }
            for( index_t t = 0; t < solid->nb_polyhedra(); t++ )
            {
                const auto vertices = solid->polyhedron_vertices( t );
                const Tetrahedron tetrahedron{ solid->point( vertices[0] ),
                    solid->point( vertices[1] ), solid->point( vertices[2] ),
                    solid->point( vertices[3] ) };
                internal::InternalDistanceProblems problems;
                EXPECT_FALSE( internal::find_short_edges( tetrahedron, 1e-6, problems )
                              || internal::find_vertices_near_edges(
                                  tetrahedron, 1e-6, problems )
                              || internal::find_vertices_near_facets(
                                  tetrahedron, 1e-6, problems ) )
                    << "tetrahedron " << t;
            }
        }
    }
} // namespace
