#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/separation.hpp>

namespace
{
    using P3 = orvane::Point3D;
    using Points = std::vector< P3 >;

    P3 p( double x, double y, double z )
    {
        return P3{ { x, y, z } };
    }

    bool farther( const Points& first, const Points& second, double distance )
    {
        return orvane::hulls_proven_farther_than( first, second, distance );
    }

    TEST( Separation, ProvesOnlyWhatHolds )
    {
        const double nan = std::numeric_limits< double >::quiet_NaN();
        const double inf = std::numeric_limits< double >::infinity();
        struct Case
        {
            const char* name;
            Points first;
            Points second;
            double distance;
            bool proven;
        };
        const Points triangle{ p( 0, 0, 0 ), p( 1, 0, 0 ), p( 0, 1, 0 ) };
        const std::vector< Case > cases{
            { "point above the interior", { p( 0.2, 0.2, 1 ) }, triangle, 0.9, true },
            { "point above the interior, too close", { p( 0.2, 0.2, 1 ) }, triangle, 1.,
                false },
            { "point in the plane beside an edge", { p( 1, 1, 0 ) }, triangle, 0.7, true },
            { "point in the plane beyond a vertex", { p( -1e-3, -1e-3, 0 ) }, triangle,
                1e-3, true },
            { "point on the triangle", { p( 0.5, 0.5, 0 ) }, triangle, 0, false },
            { "skew segments 1 apart", { p( -1, 0, 0 ), p( 1, 0, 0 ) },
                { p( 0, -1, 1 ), p( 0, 1, 1 ) }, 0.99, true },
            { "crossing segments", { p( -1, 0, 0 ), p( 1, 0, 0 ) },
                { p( 0, -1, 0 ), p( 0, 1, 0 ) }, 0, false },
            { "stacked triangles 1e-3 apart", triangle,
                { p( 0, 0, 1e-3 ), p( 1, 0, 1e-3 ), p( 0, 1, 1e-3 ) }, 5e-4, true },
            { "triangles touching at a point", triangle,
                { p( 1, 0, 0 ), p( 2, 0, 1 ), p( 2, 1, -1 ) }, 0, false },
            // A segment facing a triangle through a vertex of the triangle
            // in the same plane (the opposite corner of a grid square).
            { "coplanar segment across a vertex", { p( 1, 0, 0 ), p( 0, 1, 0 ) },
                { p( 0, 0, 0 ), p( -1, 0, 0 ), p( 0, -1, 0 ) }, 0.7, true },
            { "far from the origin", { p( 5e6 + 1, 7e6, 100 ) },
                { p( 5e6, 7e6, 100 ), p( 5e6, 7e6 + 1, 100 ), p( 5e6, 7e6, 101 ) }, 0.99,
                true },
            { "equal points", { p( 1, 2, 3 ) }, { p( 1, 2, 3 ) }, 0, false },
            { "NaN coordinate", { p( nan, 0, 5 ) }, triangle, 0, false },
            { "infinite coordinate", { p( 0, 0, inf ) }, triangle, 0, false },
            { "too many points", { p( 0, 0, 5 ), p( 1, 0, 5 ), p( 0, 1, 5 ), p( 1, 1, 5 ) },
                triangle, 0, false },
        };
        for( const auto& test_case : cases )
        {
            SCOPED_TRACE( test_case.name );
            EXPECT_EQ( farther( test_case.first, test_case.second, test_case.distance ),
                test_case.proven );
            EXPECT_EQ( farther( test_case.second, test_case.first, test_case.distance ),
                test_case.proven );
        }
    }

    /// Random triangles in a plane square to an axis, and points or
    /// segments at a known height above them (the exact distance when they
    /// lie over the triangle's interior), just below or above the asked
    /// distance. Axes and signs are permuted, which is exact, so the true
    /// distance stays known.
    TEST( Separation, NeverProvesAPairAtTheDistanceOrCloser )
    {
        std::mt19937 engine{ 11 };
        std::uniform_real_distribution< double > unit{ 0., 1. };
        std::size_t nb_proven_far{ 0 };
        constexpr int NB_CASES = 20000;
        for( int i = 0; i < NB_CASES; i++ )
        {
            const double scale = std::pow( 10., std::floor( unit( engine ) * 8. ) - 2. );
            const double distance = 1e-6 * scale;
            const std::array< double, 3 > offset{ ( unit( engine ) - 0.5 ) * 1e6,
                ( unit( engine ) - 0.5 ) * 1e6, ( unit( engine ) - 0.5 ) * 1e3 };
            const auto in_plane = [&]( double x, double y, double z ) {
                return std::array< double, 3 >{ offset[0] + x * scale, offset[1] + y * scale,
                    offset[2] + z };
            };
            // A triangle holding the unit square's corner region, and a point
            // or a short segment over (0.2, 0.2).
            const std::array< std::array< double, 3 >, 3 > triangle{ in_plane( 0, 0, 0 ),
                in_plane( 1 + unit( engine ), 0, 0 ), in_plane( 0, 1 + unit( engine ), 0 ) };
            const int kind = i % 3;
            const double factor = i % 2 == 0 ? 1 - 1e-9 : 1.;
            const double height = distance * factor;
            std::vector< std::array< double, 3 > > other{ in_plane( 0.2, 0.2, height ) };
            if( kind == 1 )
            {
                other.push_back( in_plane( 0.3, 0.25, height ) );
            }
            else if( kind == 2 )
            {
                other.push_back( in_plane( 0.3, 0.25, height ) );
                other.push_back( in_plane( 0.25, 0.3, height + distance ) );
            }
            // The exact height above the plane, as rounded into the doubles.
            const double true_distance = other[0][2] - triangle[0][2];
            std::array< int, 3 > axes{ 0, 1, 2 };
            std::shuffle( axes.begin(), axes.end(), engine );
            const double sign = unit( engine ) < 0.5 ? -1. : 1.;
            const auto place = [&]( const std::array< double, 3 >& values ) {
                P3 result;
                for( const int axis : { 0, 1, 2 } )
                {
                    result.set_value( axes[axis], sign * values[axis] );
                }
                return result;
            };
            Points first;
            for( const auto& values : other )
            {
                first.push_back( place( values ) );
            }
            const Points second{ place( triangle[0] ), place( triangle[1] ),
                place( triangle[2] ) };
            ASSERT_FALSE( farther( first, second, true_distance ) )
                << "case " << i << ", distance " << true_distance;
            ASSERT_FALSE( farther( first, second, true_distance * ( 1 + 1e-12 ) ) )
                << "case " << i;
            // Well short of the distance, the proof is expected.
            nb_proven_far += farther( first, second, true_distance * 0.9 );
        }
        EXPECT_EQ( nb_proven_far, NB_CASES );
    }

    TEST( Separation, RandomShapesProvedApartAreApart )
    {
        std::mt19937 engine{ 5 };
        std::uniform_real_distribution< double > unit{ -1., 1. };
        std::size_t nb_proven{ 0 };
        constexpr int NB_CASES = 20000;
        for( int i = 0; i < NB_CASES; i++ )
        {
            const auto random_shape = [&]( std::size_t size, double shift ) {
                Points shape;
                for( std::size_t v = 0; v < size; v++ )
                {
                    shape.push_back( p( unit( engine ) + shift, unit( engine ), unit( engine ) ) );
                }
                return shape;
            };
            const auto first = random_shape( 1 + i % 3, 0 );
            const auto second = random_shape( 1 + ( i / 3 ) % 3, 1.5 );
            const double distance = 0.05 * ( 1 + unit( engine ) );
            if( !farther( first, second, distance ) )
            {
                continue;
            }
            nb_proven++;
            // The closest points of two such hulls involve a vertex of one
            // and the other hull, or two edges.
            double closest{ std::numeric_limits< double >::max() };
            const auto measure = [&closest]( const Points& from, const Points& to ) {
                for( const auto& point : from )
                {
                    double d;
                    if( to.size() == 1 )
                    {
                        d = orvane::point_point_distance( point, to[0] );
                    }
                    else if( to.size() == 2 )
                    {
                        d = std::get< 0 >( orvane::point_segment_distance(
                            point, orvane::Segment< 3 >{ to[0], to[1] } ) );
                    }
                    else
                    {
                        d = std::get< 0 >( orvane::point_triangle_distance(
                            point, orvane::Triangle< 3 >{ to[0], to[1], to[2] } ) );
                    }
                    closest = std::min( closest, d );
                }
                for( std::size_t e = 0; e + 1 < from.size(); e++ )
                {
                    for( std::size_t f = e + 1; f < from.size(); f++ )
                    {
                        for( std::size_t g = 0; g + 1 < to.size(); g++ )
                        {
                            for( std::size_t h = g + 1; h < to.size(); h++ )
                            {
                                closest = std::min( closest,
                                    std::get< 0 >( orvane::segment_segment_distance(
                                        orvane::Segment< 3 >{ from[e], from[f] },
                                        orvane::Segment< 3 >{ to[g], to[h] } ) ) );
                            }
                        }
                    }
                }
            };
            measure( first, second );
            measure( second, first );
            ASSERT_GT( closest, distance ) << "case " << i;
        }
        // The shapes are mostly apart: most of them must be proven so.
        EXPECT_GT( nb_proven, NB_CASES / 4 );
    }

    TEST( Separation, TrianglesAroundAVertexApartBeyondIt )
    {
        // The six triangles around the centre vertex of a grid with one
        // diagonal per square, counter-clockwise from the +x axis.
        const auto apex = p( 0, 0, 0 );
        const std::array< P3, 6 > ring{ p( 1, 0, 0 ), p( 1, 1, 0 ), p( 0, 1, 0 ),
            p( -1, 0, 0 ), p( -1, -1, 0 ), p( 0, -1, 0 ) };
        for( const bool bent : { false, true } )
        {
            for( std::size_t i = 0; i < ring.size(); i++ )
            {
                for( std::size_t j = 0; j < ring.size(); j++ )
                {
                    auto lift = [bent]( P3 point ) {
                        // Folded along the y axis, still a proper fan.
                        if( bent && point.value( 0 ) > 0 )
                        {
                            point.set_value( 2, 0.5 * point.value( 0 ) );
                        }
                        return point;
                    };
                    const Points first{ lift( ring[i] ), lift( ring[( i + 1 ) % 6] ) };
                    const Points second{ lift( ring[j] ), lift( ring[( j + 1 ) % 6] ) };
                    // Triangles of the fan share only the apex unless they
                    // are the same or neighbours (a common edge).
                    const auto distance_around = std::min( ( i + 6 - j ) % 6, ( j + 6 - i ) % 6 );
                    SCOPED_TRACE( testing::Message() << i << " " << j << " bent " << bent );
                    EXPECT_EQ( orvane::proven_apart_beyond_apex( apex, first, second ),
                        distance_around >= 2 );
                }
            }
        }
        // A triangle folded back onto another one overlaps it.
        EXPECT_FALSE( orvane::proven_apart_beyond_apex( apex,
            Points{ p( 1, 0, 0 ), p( 0, 1, 0 ) }, Points{ p( 1, 1, 0 ), p( 1, 0.5, 0 ) } ) );
        // Touching along a ray from the apex.
        EXPECT_FALSE( orvane::proven_apart_beyond_apex( apex,
            Points{ p( 1, 0, 0 ), p( 0, 1, 0 ) }, Points{ p( 2, 0, 0 ), p( 0, -1, 0 ) } ) );
        // A point of the other side equal to the apex.
        EXPECT_FALSE( orvane::proven_apart_beyond_apex(
            apex, Points{ p( 1, 0, 0 ) }, Points{ p( 0, 0, 0 ), p( -1, 0, 0 ) } ) );
    }
} // namespace
