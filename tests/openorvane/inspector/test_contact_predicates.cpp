#include <array>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/geometry/point.hpp>
#include <openorvane/inspector/contact_predicates.hpp>

#include <tests/openorvane/inspector/exact_contact_reference.hpp>

namespace
{
    using orvane::index_t;
    using orvane::Point;
    using orvane::detail::MeshTriangle;
    using orvane::test::IntegerPoint;

    Point< 3 > point( double x, double y, double z )
    {
        return Point< 3 >{ { x, y, z } };
    }

    /// Two triangles given by vertex ids into one point list.
    struct PairCase
    {
        std::string name;
        std::vector< Point< 3 > > points;
        std::array< index_t, 3 > triangle0;
        std::array< index_t, 3 > triangle1;
        bool intersect;
    };

    MeshTriangle mesh_triangle(
        const std::vector< Point< 3 > >& points, const std::array< index_t, 3 >& vertices )
    {
        return { vertices, { &points[vertices[0]], &points[vertices[1]], &points[vertices[2]] } };
    }

    bool intersect_both_ways( const PairCase& pair )
    {
        const auto t0 = mesh_triangle( pair.points, pair.triangle0 );
        const auto t1 = mesh_triangle( pair.points, pair.triangle1 );
        const auto forward = orvane::detail::mesh_triangles_intersect( t0, t1 );
        EXPECT_EQ( forward, orvane::detail::mesh_triangles_intersect( t1, t0 ) )
            << pair.name << ": the answer depends on the order";
        return forward;
    }

    TEST( MeshTrianglesIntersect, contact_rules_on_small_fixtures )
    {
        // Points 0-2: the triangle A = (0,0,0), (4,0,0), (0,4,0) of the plane z = 0.
        const std::vector< Point< 3 > > base{ point( 0, 0, 0 ), point( 4, 0, 0 ),
            point( 0, 4, 0 ) };
        const auto with = [&base]( std::vector< Point< 3 > > extra ) {
            auto points = base;
            points.insert( points.end(), extra.begin(), extra.end() );
            return points;
        };
        const std::vector< PairCase > cases{
            // No common vertex: any contact counts.
            { "far apart", with( { point( 10, 10, 1 ), point( 11, 10, 1 ), point( 10, 11, 1 ) } ),
                { 0, 1, 2 }, { 3, 4, 5 }, false },
            { "piercing", with( { point( 1, 1, -1 ), point( 1, 1, 1 ), point( 2, 1, 1 ) } ),
                { 0, 1, 2 }, { 3, 4, 5 }, true },
            { "vertex touching the interior",
                with( { point( 1, 1, 0 ), point( 1, 1, 2 ), point( 2, 1, 2 ) } ), { 0, 1, 2 },
                { 3, 4, 5 }, true },
            { "vertex just above the interior",
                with( { point( 1, 1, 1e-300 ), point( 1, 1, 2 ), point( 2, 1, 2 ) } ),
                { 0, 1, 2 }, { 3, 4, 5 }, false },
            { "edges crossing at one point out of plane",
                with( { point( 2, -1, 0 ), point( 2, 1, 0 ), point( 2, 0, 3 ) } ), { 0, 1, 2 },
                { 3, 4, 5 }, true },
            { "plane through an edge, touching along it",
                with( { point( 2, -1, 1 ), point( 2, 1, -1 ), point( 1, -1, 1 ) } ), { 0, 1, 2 },
                { 3, 4, 5 }, true },
            { "coplanar overlap", with( { point( 1, 1, 0 ), point( 5, 1, 0 ), point( 1, 5, 0 ) } ),
                { 0, 1, 2 }, { 3, 4, 5 }, true },
            { "coplanar, one inside the other",
                with( { point( 1, 1, 0 ), point( 2, 1, 0 ), point( 1, 2, 0 ) } ), { 0, 1, 2 },
                { 3, 4, 5 }, true },
            { "coplanar apart", with( { point( 3, 3, 0 ), point( 5, 3, 0 ), point( 3, 5, 0 ) } ),
                { 0, 1, 2 }, { 3, 4, 5 }, false },
            { "coplanar, vertex on an edge",
                with( { point( 2, 2, 0 ), point( 4, 4, 0 ), point( 2, 5, 0 ) } ), { 0, 1, 2 },
                { 3, 4, 5 }, true },
            { "coplanar, edges along one line",
                with( { point( 4, 0, 0 ), point( 6, 0, 0 ), point( 5, -1, 0 ) } ), { 0, 1, 2 },
                { 3, 4, 5 }, true },
            { "equal points under other ids",
                with( { point( 4, 0, 0 ), point( 5, 0, 1 ), point( 5, 1, 1 ) } ), { 0, 1, 2 },
                { 3, 4, 5 }, true },
            // One common vertex: another common point counts.
            { "fan neighbours in one plane", with( { point( -4, 0, 0 ), point( 0, -4, 0 ) } ),
                { 0, 1, 2 }, { 0, 3, 4 }, false },
            { "meeting at the vertex only, out of plane",
                with( { point( -1, -1, 1 ), point( -1, 1, 2 ) } ), { 0, 1, 2 }, { 0, 3, 4 },
                false },
            { "coplanar, an edge entering the other",
                with( { point( 1, 1, 0 ), point( -1, 2, 0 ) } ), { 0, 1, 2 }, { 0, 3, 4 }, true },
            { "coplanar, edges along each other",
                with( { point( 2, 0, 0 ), point( 2, -2, 0 ) } ), { 0, 1, 2 }, { 0, 3, 4 }, true },
            { "coplanar, edges on one line, opposite ways",
                with( { point( -2, 0, 0 ), point( -2, -2, 0 ) } ), { 0, 1, 2 }, { 0, 3, 4 },
                false },
            { "out of plane, an edge along an edge",
                with( { point( 8, 0, 0 ), point( 0, 0, 3 ) } ), { 0, 1, 2 }, { 0, 3, 4 }, true },
            { "opposite edge crossing the other",
                with( { point( 1, 1, -1 ), point( 1, 1, 1 ) } ), { 0, 1, 2 }, { 0, 3, 4 }, true },
            { "opposite edge touching the other",
                with( { point( 1, 1, 0 ), point( 1, 2, 2 ) } ), { 0, 1, 2 }, { 0, 3, 4 }, true },
            // A common edge: only a fold counts.
            { "dihedral", with( { point( 2, 2, 3 ) } ), { 0, 1, 2 }, { 1, 0, 3 }, false },
            { "flat across the edge", with( { point( 2, -2, 0 ) } ), { 0, 1, 2 }, { 1, 0, 3 },
                false },
            { "fold", with( { point( 1, 1, 0 ) } ), { 0, 1, 2 }, { 1, 0, 3 }, true },
            { "fold beyond the far vertex", with( { point( 1, 6, 0 ) } ), { 0, 1, 2 },
                { 1, 0, 3 }, true },
            { "same three vertices", with( {} ), { 0, 1, 2 }, { 2, 1, 0 }, false },
            // Collinear triangles are the segment their points span.
            { "flat triangle piercing", with( { point( 1, 1, -1 ), point( 1, 1, 1 ), point( 1, 1, 3 ) } ),
                { 0, 1, 2 }, { 3, 4, 5 }, true },
            { "flat triangle above", with( { point( 1, 1, 1 ), point( 1, 1, 2 ), point( 1, 1, 3 ) } ),
                { 0, 1, 2 }, { 3, 4, 5 }, false },
            { "flat triangle from the common vertex out of plane",
                with( { point( 0, 0, 1 ), point( 0, 0, 2 ) } ), { 0, 1, 2 }, { 0, 3, 4 }, false },
            { "flat triangle from the common vertex along an edge",
                with( { point( 1, 0, 0 ), point( 2, 0, 0 ) } ), { 0, 1, 2 }, { 0, 3, 4 }, true },
            { "flat triangle on the common edge line, beyond it",
                with( { point( 6, 0, 0 ) } ), { 0, 1, 2 }, { 0, 1, 3 }, false },
            { "two flat triangles beyond the same end of the common edge",
                { point( 0, 0, 0 ), point( 1, 0, 0 ), point( 2, 0, 0 ), point( 3, 0, 0 ) },
                { 0, 1, 2 }, { 1, 0, 3 }, true },
            { "two flat triangles beyond opposite ends of the common edge",
                { point( 0, 0, 0 ), point( 1, 0, 0 ), point( 2, 0, 0 ), point( -1, 0, 0 ) },
                { 0, 1, 2 }, { 1, 0, 3 }, false },
        };
        for( const auto& pair : cases )
        {
            EXPECT_EQ( intersect_both_ways( pair ), pair.intersect ) << pair.name;
        }
    }

    struct SegmentCase
    {
        std::string name;
        Point< 3 > start;
        Point< 3 > end;
        bool intersect;
    };

    TEST( SegmentTriangleIntersect, contact_rules_on_small_fixtures )
    {
        const std::array< Point< 3 >, 3 > triangle{ point( 0, 0, 0 ), point( 4, 0, 0 ),
            point( 0, 4, 0 ) };
        const std::array< const Point< 3 >*, 3 > points{ &triangle[0], &triangle[1],
            &triangle[2] };
        const std::vector< SegmentCase > cases{
            { "far", point( 5, 5, 1 ), point( 6, 6, 1 ), false },
            { "piercing", point( 1, 1, -1 ), point( 1, 1, 1 ), true },
            { "end on the interior", point( 1, 1, 0 ), point( 1, 1, 1 ), true },
            { "touching an edge", point( 2, -1, 0 ), point( 2, 1, -1 ) , false },
            { "crossing an edge from below", point( 2, -1, -1 ), point( 2, 1, 1 ), true },
            { "coplanar through", point( -1, 1, 0 ), point( 5, 1, 0 ), true },
            { "coplanar outside", point( 3, 3, 0 ), point( 5, 3, 0 ), false },
            { "end on a vertex, going away", point( 4, 0, 0 ), point( 5, 0, 1 ), false },
            { "end near a vertex, going away", point( 4, 1e-7, 0 ), point( 5, 0, -1 ), false },
            { "end near a vertex, going into the plane outside", point( 4, 1e-7, 0 ),
                point( 5, 1, 0 ), false },
            { "end near a vertex, going in", point( 4, 1e-7, 1e-7 ), point( 1, 1, 0 ), true },
            { "end on a vertex, along an edge", point( 4, 0, 0 ), point( 2, 0, 0 ), true },
            { "along a whole edge, ends near the vertices", point( 0, 1e-7, 0 ),
                point( 4, 0, 1e-7 ), true },
            { "both ends near one vertex", point( 0, 1e-7, 0 ), point( 0, 0, 1e-7 ), false },
            { "end on a vertex, the other on the opposite edge", point( 0, 0, 0 ),
                point( 2, 2, 0 ), true },
            { "end a little beyond tolerance from a vertex", point( 4, 2e-6, 0 ),
                point( 5, 1, 0 ), false },
        };
        for( const auto& segment : cases )
        {
            EXPECT_EQ( orvane::detail::segment_triangle_intersect(
                           segment.start, segment.end, points ),
                segment.intersect )
                << segment.name;
            EXPECT_EQ( orvane::detail::segment_triangle_intersect(
                           segment.end, segment.start, points ),
                segment.intersect )
                << segment.name << " (reversed)";
        }
    }

    /// Random small-integer points: coordinates in [0, range], with the
    /// last coordinate 0 for planar families (so that coplanar contacts are
    /// frequent).
    class IntegerPoints
    {
    public:
        IntegerPoints( unsigned seed, long long range, bool planar )
            : engine_( seed ), coordinate_( 0, range ), planar_( planar )
        {
        }

        IntegerPoint next()
        {
            return { coordinate_( engine_ ), coordinate_( engine_ ),
                planar_ ? 0 : coordinate_( engine_ ) };
        }

        std::mt19937& engine()
        {
            return engine_;
        }

    private:
        std::mt19937 engine_;
        std::uniform_int_distribution< long long > coordinate_;
        bool planar_;
    };

    Point< 3 > to_point( const IntegerPoint& p )
    {
        return point( static_cast< double >( p[0] ), static_cast< double >( p[1] ),
            static_cast< double >( p[2] ) );
    }

    TEST( MeshTrianglesIntersect, matches_the_exact_reference_on_random_pairs )
    {
        struct Family
        {
            long long range;
            bool planar;
        };
        // Small ranges give many degenerate, coplanar and touching pairs.
        for( const auto family : { Family{ 2, false }, Family{ 3, false }, Family{ 3, true },
                 Family{ 6, false } } )
        {
            for( const index_t nb_shared : { 0, 1, 2 } )
            {
                const unsigned seed = 1000 * static_cast< unsigned >( family.range )
                                      + 100 * family.planar + nb_shared;
                IntegerPoints generator{ seed, family.range, family.planar };
                std::size_t nb_intersecting{ 0 };
                constexpr int NB_PAIRS = 1000;
                for( int pair = 0; pair < NB_PAIRS; pair++ )
                {
                    // Vertices 0..2 make the first triangle; the second
                    // reuses its first nb_shared vertices.
                    std::array< IntegerPoint, 6 > integer_points;
                    for( auto& p : integer_points )
                    {
                        p = generator.next();
                    }
                    std::array< long long, 3 > ids0{ 0, 1, 2 };
                    std::array< long long, 3 > ids1{ 3, 4, 5 };
                    for( index_t s = 0; s < nb_shared; s++ )
                    {
                        ids1[s] = ids0[s];
                    }
                    // Shuffle the second triangle's local order.
                    std::shuffle( ids1.begin(), ids1.end(), generator.engine() );
                    const std::array< IntegerPoint, 3 > t0{ integer_points[ids0[0]],
                        integer_points[ids0[1]], integer_points[ids0[2]] };
                    const std::array< IntegerPoint, 3 > t1{ integer_points[ids1[0]],
                        integer_points[ids1[1]], integer_points[ids1[2]] };
                    std::vector< Point< 3 > > points;
                    for( const auto& p : integer_points )
                    {
                        points.push_back( to_point( p ) );
                    }
                    const auto as_index = []( const std::array< long long, 3 >& ids ) {
                        return std::array< index_t, 3 >{ static_cast< index_t >( ids[0] ),
                            static_cast< index_t >( ids[1] ), static_cast< index_t >( ids[2] ) };
                    };
                    const auto expected =
                        orvane::test::reference_triangles_intersect( t0, ids0, t1, ids1 );
                    const auto found = orvane::detail::mesh_triangles_intersect(
                        mesh_triangle( points, as_index( ids0 ) ),
                        mesh_triangle( points, as_index( ids1 ) ) );
                    nb_intersecting += expected;
                    ASSERT_EQ( found, expected )
                        << "seed " << seed << ", pair " << pair << ", " << nb_shared
                        << " shared; triangles " << to_point( t0[0] ).string() << " / "
                        << to_point( t0[1] ).string() << " / " << to_point( t0[2] ).string()
                        << " and " << to_point( t1[0] ).string() << " / "
                        << to_point( t1[1] ).string() << " / " << to_point( t1[2] ).string();
                }
                // Both answers must be well represented for the comparison to
                // mean something.
                EXPECT_GT( nb_intersecting, NB_PAIRS / 100 ) << "seed " << seed;
                EXPECT_LT( nb_intersecting, NB_PAIRS - NB_PAIRS / 100 ) << "seed " << seed;
            }
        }
    }

    TEST( SegmentTriangleIntersect, matches_the_exact_reference_on_random_pairs )
    {
        for( const long long range : { 2, 3, 5 } )
        {
            for( const bool planar : { false, true } )
            {
                const unsigned seed = 7000 + 10 * static_cast< unsigned >( range ) + planar;
                IntegerPoints generator{ seed, range, planar };
                std::uniform_int_distribution< int > share( 0, 3 );
                for( int pair = 0; pair < 1500; pair++ )
                {
                    const std::array< IntegerPoint, 3 > triangle{ generator.next(),
                        generator.next(), generator.next() };
                    auto start = generator.next();
                    auto end = generator.next();
                    // Ends on triangle vertices now and then.
                    if( share( generator.engine() ) == 0 )
                    {
                        start = triangle[pair % 3];
                    }
                    if( share( generator.engine() ) == 0 )
                    {
                        end = triangle[( pair + 1 ) % 3];
                    }
                    const std::array< Point< 3 >, 3 > points{ to_point( triangle[0] ),
                        to_point( triangle[1] ), to_point( triangle[2] ) };
                    const auto expected =
                        orvane::test::reference_segment_triangle_intersect( start, end, triangle );
                    const auto found = orvane::detail::segment_triangle_intersect(
                        to_point( start ), to_point( end ), { &points[0], &points[1], &points[2] } );
                    ASSERT_EQ( found, expected )
                        << "seed " << seed << ", pair " << pair << "; segment "
                        << to_point( start ).string() << " - " << to_point( end ).string()
                        << ", triangle " << points[0].string() << " / " << points[1].string()
                        << " / " << points[2].string();
                }
            }
        }
    }
} // namespace
