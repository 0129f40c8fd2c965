#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include <openorvane/geometry/intersection_detection.hpp>
#include <openorvane/geometry/ray_tracing.hpp>

namespace
{
    using P3 = orvane::Point3D;
    using V3 = orvane::Vector3D;

    // Exact orientation of integer points: det[a - x, b - x, c - x].
    std::int64_t orientation( const P3& a, const P3& b, const P3& c, const P3& x )
    {
        std::int64_t m[3][3];
        const P3* rows[3] = { &a, &b, &c };
        for( int r = 0; r < 3; r++ )
        {
            for( int k = 0; k < 3; k++ )
            {
                m[r][k] = static_cast< std::int64_t >( rows[r]->value( k ) - x.value( k ) );
            }
        }
        return m[0][0] * ( m[1][1] * m[2][2] - m[1][2] * m[2][1] )
               - m[0][1] * ( m[1][0] * m[2][2] - m[1][2] * m[2][0] )
               + m[0][2] * ( m[1][0] * m[2][1] - m[1][1] * m[2][0] );
    }

    // Rays of integer coordinates, many of them nearly parallel to the
    // triangle, against random triangles: a polygon is reported exactly
    // when the line meets the triangle and the meeting point is not behind
    // the origin, decided here in exact integer arithmetic.
    TEST( RayTracing3D, HitsAheadOfTheOriginMatchExactArithmetic )
    {
        const unsigned seed = 20261210;
        std::mt19937 random{ seed };
        std::uniform_int_distribution< int > coordinate{ -1000, 1000 };
        std::uniform_int_distribution< int > slope{ -2, 2 };
        const auto random_point = [&] {
            return P3{ { double( coordinate( random ) ), double( coordinate( random ) ),
                double( coordinate( random ) ) } };
        };
        int nb_hits{ 0 };
        for( int trial = 0; trial < 20000; trial++ )
        {
            const std::vector< P3 > triangle{ random_point(), random_point(), random_point() };
            const auto origin = random_point();
            // Half of the directions run almost along the triangle's plane.
            const V3 direction =
                trial % 2 == 0
                    ? V3{ P3{}, random_point() }
                    : V3{ triangle[0], triangle[1] } * 7.
                          + V3{ triangle[0], triangle[2] } * 3.
                          + V3{ { 0., 0., double( slope( random ) ) } };
            if( direction.length2() == 0. )
            {
                continue;
            }
            const orvane::Ray3D ray{ direction, origin };
            orvane::RayTracing3D tracing{
                [&triangle]( orvane::index_t ) {
                    return absl::InlinedVector< P3, 3 >( triangle.begin(), triangle.end() );
                },
                ray
            };
            tracing( 0 );

            const auto position = orvane::line_triangle_intersection_detection(
                orvane::InfiniteLine3D{ direction, origin },
                orvane::Triangle3D{ triangle[0], triangle[1], triangle[2] } );
            const auto at_origin = orientation( triangle[0], triangle[1], triangle[2], origin );
            const auto at_second =
                orientation( triangle[0], triangle[1], triangle[2], origin + direction );
            bool expected = position != orvane::POSITION::outside
                            && position != orvane::POSITION::parallel;
            if( expected && at_origin != 0 )
            {
                // The plane is met at s = f(o) / (f(o) - f(q)), ahead when s >= 0.
                const auto change = at_origin - at_second;
                expected = change != 0 && ( ( at_origin > 0 ) == ( change > 0 ) );
            }
            nb_hits += expected ? 1 : 0;
            EXPECT_EQ( tracing.closest_polygon().has_value(), expected )
                << "seed " << seed << ", trial " << trial;
        }
        EXPECT_GT( nb_hits, 100 );
    }
} // namespace
