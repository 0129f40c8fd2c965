#include <array>
#include <cmath>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include <absl/strings/str_cat.h>
#include <gtest/gtest.h>
#include <oneapi/tbb/global_control.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/inspector/contact_predicates.hpp>
#include <openorvane/inspector/inspector_library.hpp>
#include <openorvane/inspector/surface_curve_intersections.hpp>
#include <openorvane/inspector/triangulated_surface_intersections.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <tests/openorvane/inspector/exact_contact_reference.hpp>
#include <tests/support/fresh_process.hpp>
#include <tests/support/initialized_libraries.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace
{
    using orvane::index_t;
    using orvane::Point;
    using orvane::test::IntegerPoint;
    using Pairs = std::vector< std::pair< index_t, index_t > >;

    Point< 3 > to_point( const IntegerPoint& p )
    {
        return Point< 3 >{ { static_cast< double >( p[0] ), static_cast< double >( p[1] ),
            static_cast< double >( p[2] ) } };
    }

    /// A soup of triangles over a small pool of integer points: triangles
    /// share vertices and edges often, and small coordinate ranges make
    /// degenerate, coplanar and touching pairs common.
    struct IntegerSoup
    {
        std::vector< IntegerPoint > points;
        std::vector< std::array< index_t, 3 > > triangles;

        std::vector< Point< 3 > > mesh_points() const
        {
            std::vector< Point< 3 > > result;
            for( const auto& p : points )
            {
                result.push_back( to_point( p ) );
            }
            return result;
        }

        std::array< IntegerPoint, 3 > triangle_points( index_t t ) const
        {
            return { points[triangles[t][0]], points[triangles[t][1]], points[triangles[t][2]] };
        }

        std::array< long long, 3 > triangle_ids( index_t t ) const
        {
            return { triangles[t][0], triangles[t][1], triangles[t][2] };
        }
    };

    /// nb_duplicates points repeat an earlier point under a new id.
    IntegerSoup integer_soup( unsigned seed,
        index_t nb_points,
        index_t nb_duplicates,
        index_t nb_triangles,
        long long range,
        bool planar )
    {
        std::mt19937 engine{ seed };
        std::uniform_int_distribution< long long > coordinate{ 0, range };
        IntegerSoup soup;
        for( index_t p = 0; p < nb_points; p++ )
        {
            soup.points.push_back( { coordinate( engine ), coordinate( engine ),
                planar ? 0 : coordinate( engine ) } );
        }
        for( index_t d = 0; d < nb_duplicates; d++ )
        {
            soup.points.push_back( soup.points[d] );
        }
        std::uniform_int_distribution< index_t > vertex{ 0,
            static_cast< index_t >( soup.points.size() - 1 ) };
        while( soup.triangles.size() < nb_triangles )
        {
            const std::array< index_t, 3 > triangle{ vertex( engine ), vertex( engine ),
                vertex( engine ) };
            if( triangle[0] != triangle[1] && triangle[1] != triangle[2]
                && triangle[0] != triangle[2] )
            {
                soup.triangles.push_back( triangle );
            }
        }
        return soup;
    }

    Pairs brute_force_reference_pairs( const IntegerSoup& soup )
    {
        Pairs pairs;
        for( index_t a = 0; a < soup.triangles.size(); a++ )
        {
            for( index_t b = a + 1; b < soup.triangles.size(); b++ )
            {
                if( orvane::test::reference_triangles_intersect( soup.triangle_points( a ),
                        soup.triangle_ids( a ), soup.triangle_points( b ), soup.triangle_ids( b ) ) )
                {
                    pairs.emplace_back( a, b );
                }
            }
        }
        return pairs;
    }

    Pairs brute_force_pairs( const orvane::TriangulatedSurface< 3 >& surface )
    {
        const auto triangle = [&surface]( index_t p ) {
            orvane::detail::MeshTriangle result;
            for( const orvane::local_index_t v : { 0, 1, 2 } )
            {
                result.vertices[v] = surface.polygon_vertex( { p, v } );
                result.points[v] = &surface.point( result.vertices[v] );
            }
            return result;
        };
        Pairs pairs;
        for( index_t a = 0; a < surface.nb_polygons(); a++ )
        {
            for( index_t b = a + 1; b < surface.nb_polygons(); b++ )
            {
                if( orvane::detail::mesh_triangles_intersect( triangle( a ), triangle( b ) ) )
                {
                    pairs.emplace_back( a, b );
                }
            }
        }
        return pairs;
    }

    std::unique_ptr< orvane::TriangulatedSurface< 3 > > surface_of( const IntegerSoup& soup )
    {
        orvane::OpenOrvaneInspectorLibrary::initialize();
        return orvane::test::create_triangulated_surface< 3 >(
            soup.mesh_points(), soup.triangles, false );
    }

    std::unique_ptr< orvane::EdgedCurve< 3 > > curve_of( const std::vector< Point< 3 > >& points,
        const std::vector< std::array< index_t, 2 > >& edges )
    {
        orvane::OpenOrvaneInspectorLibrary::initialize();
        auto curve = orvane::EdgedCurve< 3 >::create();
        auto builder = orvane::EdgedCurveBuilder< 3 >::create( *curve );
        for( const auto& point : points )
        {
            builder->create_point( point );
        }
        for( const auto& edge : edges )
        {
            builder->create_edge( edge[0], edge[1] );
        }
        return curve;
    }

    TEST( TriangulatedSurfaceIntersections, matches_brute_force_exact_tests_on_integer_soups )
    {
        struct Family
        {
            const char* name;
            index_t nb_points;
            index_t nb_duplicates;
            long long range;
            bool planar;
        };
        const std::vector< Family > families{
            { "spatial", 40, 0, 5, false },
            { "few points, many shared edges", 12, 0, 4, false },
            { "coplanar", 30, 0, 6, true },
            { "repeated points under other ids", 30, 6, 4, false },
        };
        for( const auto& family : families )
        {
            for( const unsigned seed : { 11u } )
            {
                const auto soup = integer_soup(
                    seed, family.nb_points, family.nb_duplicates, 120, family.range, family.planar );
                const auto surface = surface_of( soup );
                const auto found =
                    orvane::TriangulatedSurfaceIntersections< 3 >{ *surface }.intersecting_elements();
                const auto expected = brute_force_reference_pairs( soup );
                EXPECT_FALSE( expected.empty() );
                EXPECT_EQ( found, expected ) << family.name << ", seed " << seed;
            }
        }
    }

    /// A grid of nx * ny unit squares on a gentle height field, each cut in
    /// two triangles.
    std::unique_ptr< orvane::TriangulatedSurface< 3 > > wavy_grid(
        index_t nx, index_t ny, double amplitude )
    {
        std::vector< Point< 3 > > points;
        for( index_t j = 0; j <= ny; j++ )
        {
            for( index_t i = 0; i <= nx; i++ )
            {
                points.push_back( Point< 3 >{ { static_cast< double >( i ),
                    static_cast< double >( j ),
                    amplitude * std::sin( 0.7 * i ) * std::cos( 0.4 * j ) } } );
            }
        }
        orvane::OpenOrvaneInspectorLibrary::initialize();
        return orvane::test::create_triangulated_surface< 3 >(
            points, orvane::test::grid_triangles( nx, ny ), false );
    }

    TEST( TriangulatedSurfaceIntersections, conformal_grids_have_no_intersection )
    {
        // Flat: every neighbour pair is coplanar, sharing an edge or a vertex.
        for( const double amplitude : { 0., 0.3 } )
        {
            const auto surface = wavy_grid( 12, 9, amplitude );
            EXPECT_TRUE( orvane::TriangulatedSurfaceIntersections< 3 >{ *surface }
                             .intersecting_elements()
                             .empty() )
                << "amplitude " << amplitude;
        }
    }

    /// The wavy grid with random vertices moved sideways by up to two
    /// cells, which folds the surface over itself: crossings, folds along
    /// edges and overlaps around shared vertices.
    std::unique_ptr< orvane::TriangulatedSurface< 3 > > folded_grid(
        index_t nx, index_t ny, int nb_moves, unsigned seed )
    {
        auto surface = wavy_grid( nx, ny, 0.4 );
        auto builder = orvane::TriangulatedSurfaceBuilder< 3 >::create( *surface );
        std::mt19937 engine{ seed };
        std::uniform_int_distribution< index_t > vertex{ 0, surface->nb_vertices() - 1 };
        std::uniform_real_distribution< double > shift{ -2., 2. };
        for( int move = 0; move < nb_moves; move++ )
        {
            const auto v = vertex( engine );
            auto point = surface->point( v );
            point.set_value( 0, point.value( 0 ) + shift( engine ) );
            point.set_value( 1, point.value( 1 ) + shift( engine ) );
            builder->set_point( v, point );
        }
        return surface;
    }

    TEST( TriangulatedSurfaceIntersections, matches_brute_force_on_folded_random_surfaces )
    {
        for( const unsigned seed : { 3u, 4u } )
        {
            const auto surface = folded_grid( 20, 16, 25, seed );
            const auto found =
                orvane::TriangulatedSurfaceIntersections< 3 >{ *surface }.intersecting_elements();
            EXPECT_FALSE( found.empty() );
            EXPECT_EQ( found, brute_force_pairs( *surface ) ) << "seed " << seed;
        }
    }

    TEST( TriangulatedSurfaceIntersections, results_do_not_depend_on_threads_and_allow_shared_use )
    {
        const auto surface = folded_grid( 90, 70, 200, 5 );
        const orvane::TriangulatedSurfaceIntersections< 3 > finder{ *surface };
        Pairs single;
        {
            const tbb::global_control one_thread{
                tbb::global_control::max_allowed_parallelism, 1 };
            single = finder.intersecting_elements();
        }
        EXPECT_FALSE( single.empty() );
        std::vector< Pairs > concurrent( 4 );
        std::vector< std::thread > threads;
        for( auto& result : concurrent )
        {
            threads.emplace_back( [&finder, &result] { result = finder.intersecting_elements(); } );
        }
        for( auto& thread : threads )
        {
            thread.join();
        }
        for( const auto& result : concurrent )
        {
            EXPECT_EQ( result, single );
        }
        // From pool tasks, as the callers run it beside other searches.
        std::vector< orvane::async::Task< Pairs > > tasks;
        for( int t = 0; t < 3; t++ )
        {
            tasks.push_back(
                orvane::async::spawn( [&finder] { return finder.intersecting_elements(); } ) );
        }
        for( auto& task : tasks )
        {
            EXPECT_EQ( task.get(), single );
        }
    }

    TEST( TriangulatedSurfaceIntersections, empty_and_single_triangle_surfaces_have_none )
    {
        for( const index_t nb_triangles : { 0, 1 } )
        {
            const auto soup = integer_soup( 5, 3, 0, nb_triangles, 3, false );
            const auto surface = surface_of( soup );
            EXPECT_TRUE( orvane::TriangulatedSurfaceIntersections< 3 >{ *surface }
                             .intersecting_elements()
                             .empty() );
        }
    }

    TEST( SurfaceCurveIntersections, matches_brute_force_exact_tests_on_integer_soups )
    {
        for( const bool planar : { false, true } )
        {
            const unsigned seed = planar ? 31 : 32;
            const auto soup = integer_soup( seed, 30, 0, 120, 4, planar );
            const auto surface = surface_of( soup );
            // Curve points: the soup's points (so that edge ends fall on
            // triangle vertices) and fresh ones.
            std::mt19937 engine{ seed };
            std::uniform_int_distribution< long long > coordinate{ 0, 4 };
            auto curve_points = soup.points;
            for( int p = 0; p < 30; p++ )
            {
                curve_points.push_back( { coordinate( engine ), coordinate( engine ),
                    planar ? 0 : coordinate( engine ) } );
            }
            std::uniform_int_distribution< index_t > vertex{ 0,
                static_cast< index_t >( curve_points.size() - 1 ) };
            std::vector< std::array< index_t, 2 > > edges;
            while( edges.size() < 80 )
            {
                const std::array< index_t, 2 > edge{ vertex( engine ), vertex( engine ) };
                if( edge[0] != edge[1] )
                {
                    edges.push_back( edge );
                }
            }
            std::vector< Point< 3 > > points;
            for( const auto& p : curve_points )
            {
                points.push_back( to_point( p ) );
            }
            const auto curve = curve_of( points, edges );
            Pairs expected;
            for( index_t t = 0; t < soup.triangles.size(); t++ )
            {
                for( index_t e = 0; e < edges.size(); e++ )
                {
                    if( orvane::test::reference_segment_triangle_intersect(
                            curve_points[edges[e][0]], curve_points[edges[e][1]],
                            soup.triangle_points( t ) ) )
                    {
                        expected.emplace_back( t, e );
                    }
                }
            }
            const auto found = orvane::SurfaceCurveIntersections< 3 >{ *surface, *curve }
                                   .intersecting_elements();
            EXPECT_FALSE( expected.empty() );
            EXPECT_EQ( found, expected ) << "planar " << planar;
        }
    }

    TEST( SurfaceCurveIntersections, an_end_near_a_vertex_is_found_beyond_the_edge_box )
    {
        // A thin triangle whose vertex 0 is the origin. Both edges start
        // 6e-7 from it, outside the triangle's box: the first then runs
        // into the triangle from the vertex, the second leaves its plane.
        orvane::OpenOrvaneInspectorLibrary::initialize();
        const auto surface = orvane::test::create_triangulated_surface< 3 >(
            { Point< 3 >{ { 0, 0, 0 } }, Point< 3 >{ { 5e-7, 1, 0 } },
                Point< 3 >{ { 0, -1, 0 } } },
            { { 0, 1, 2 } }, false );
        const std::vector< Point< 3 > > points{ Point< 3 >{ { 6e-7, 0, 0 } },
            Point< 3 >{ { 1, 1, 0 } }, Point< 3 >{ { 1, 0, 1 } } };
        const auto curve = curve_of( points, { { 0, 1 }, { 0, 2 } } );
        const Pairs expected{ { 0, 0 } };
        const auto found =
            orvane::SurfaceCurveIntersections< 3 >{ *surface, *curve }.intersecting_elements();
        EXPECT_EQ( found, expected );
    }

    TEST( InspectorLibrary, initializes_the_model_library_first )
    {
        orvane::test::expect_in_fresh_process( [] {
            orvane::Logger::set_level( orvane::Logger::Level::debug );
            orvane::LoggerCapture capture;
            orvane::OpenOrvaneInspectorLibrary::initialize();
            orvane::OpenOrvaneInspectorLibrary::initialize();
            const std::vector< std::string > expected_order{ "OpenOrvaneInspector",
                "OpenOrvaneModel", "OpenOrvaneMesh", "OpenOrvaneGeometry", "OpenOrvaneBasic" };
            const auto order = orvane::test::initialized_libraries( capture );
            if( order != expected_order )
            {
                return absl::StrCat( "initialised ", orvane::test::joined( order ) );
            }
            return std::string{};
        } );
    }
} // namespace
