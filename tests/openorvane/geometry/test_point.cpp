#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <absl/container/flat_hash_set.h>
#include <absl/hash/hash.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/point.hpp>

namespace
{
    using orvane::Point2D;
    using orvane::Point3D;
    using orvane::Vector2D;
    using orvane::Vector3D;
} // namespace

TEST( Point, DefaultIsOrigin )
{
    EXPECT_EQ( Point2D{}, Point2D( { 0., 0. } ) );
    EXPECT_EQ( Point3D{}, Point3D( { 0., 0., 0. } ) );
}

TEST( Point, Arithmetic )
{
    const Point3D a{ { 1, 2, 3 } };
    const Point3D b{ { 0.5, -1, 4 } };
    EXPECT_EQ( a + b, Point3D( { 1.5, 1, 7 } ) );
    EXPECT_EQ( a - b, Point3D( { 0.5, 3, -1 } ) );
    EXPECT_EQ( a * 2, Point3D( { 2, 4, 6 } ) );
    EXPECT_EQ( a / 2, Point3D( { 0.5, 1, 1.5 } ) );
    Point3D c = a;
    c.set_value( 1, -7 );
    EXPECT_EQ( c.value( 1 ), -7 );
    EXPECT_EQ( a.value( 1 ), 2 );
}

TEST( Point, DivisionGuard )
{
    const double nan = std::numeric_limits< double >::quiet_NaN();
    for( const double divider : { 1e-30, -1e-30, 0., -0., 1e-31, nan } )
    {
        Point3D point{ { 1, 2, 3 } };
        try
        {
            point /= divider;
            ADD_FAILURE() << "no throw for divider " << divider;
        }
        catch( const orvane::OpenOrvaneException& error )
        {
            EXPECT_STREQ( error.what(), "[Point::operator/] Cannot divide "
                                        "Point by something close to zero" );
        }
        EXPECT_EQ( point, Point3D( { 1, 2, 3 } ) ) << "point changed";
        EXPECT_THROW( (void) ( Point2D{} / divider ),
            orvane::OpenOrvaneException );
    }
    const auto divided = Point3D{ { 2e-30, 4e-30, 0 } } / 2e-30;
    EXPECT_EQ( divided, Point3D( { 1, 2, 0 } ) );
    EXPECT_THROW( (void) Vector3D{}.normalize(), orvane::OpenOrvaneException );
}

TEST( Point, DotAddsInAxisOrderWithoutFusedMultiplyAdd )
{
    const Vector3D a{ { 1e16, 1, -1e16 } };
    const Vector3D b{ { 1, 1, 1 } };
    EXPECT_EQ( a.dot( b ), 0. );
    EXPECT_EQ( Vector3D( { 1, 2, 3 } ).dot( Vector3D( { 4, 5, 6 } ) ), 32. );
    EXPECT_EQ( Vector2D( { 3, 4 } ).length(), 5. );
    EXPECT_EQ( Vector2D( { 3, 4 } ).length2(), 25. );
}

TEST( Point, VectorOperations )
{
    const Vector3D x{ { 1, 0, 0 } };
    const Vector3D y{ { 0, 1, 0 } };
    EXPECT_EQ( x.cross( y ), Vector3D( { 0, 0, 1 } ) );
    EXPECT_EQ( y.cross( x ), Vector3D( { 0, 0, -1 } ) );
    EXPECT_EQ( Vector3D( Point3D{ { 1, 1, 1 } }, Point3D{ { 2, 3, 4 } } ),
        Vector3D( { 1, 2, 3 } ) );
    EXPECT_EQ( Vector3D( { 0, 3, 4 } ).normalize(), Vector3D( { 0, 0.6, 0.8 } ) );
    EXPECT_EQ( orvane::perpendicular( Vector2D{ { 2, 1 } } ),
        Vector2D( { -1, 2 } ) );
    // A point moved by a vector stays a point.
    const Point3D moved = Point3D{ { 1, 1, 1 } } + x;
    EXPECT_EQ( moved, Point3D( { 2, 1, 1 } ) );
}

TEST( Point, InexactEqual )
{
    const Point3D origin{};
    struct Case
    {
        Point3D other;
        bool equal;
    };
    const Case cases[] = {
        { Point3D{ { 1e-6, 0, 0 } }, true },           // exactly 1e-12
        { Point3D{ { 1.0000001e-6, 0, 0 } }, false },  // just over
        { Point3D{ { 5e-7, 5e-7, 5e-7 } }, true },     // 7.5e-13 in total
        { Point3D{ { 6e-7, 6e-7, 6e-7 } }, false },    // 1.08e-12 in total
        { Point3D{ { 2, 0, 0 } }, false },
    };
    for( const auto& c : cases )
    {
        EXPECT_EQ( origin.inexact_equal( c.other ), c.equal ) << c.other.string();
        EXPECT_EQ( c.other.inexact_equal( origin ), c.equal ) << c.other.string();
    }
}

TEST( Point, NonFiniteCoordinates )
{
    // A NaN point equals nothing, itself included, and is not finite.
    const auto nan = std::numeric_limits< double >::quiet_NaN();
    const auto infinity = std::numeric_limits< double >::infinity();
    const Point3D origin{};
    for( const auto& odd : { Point3D{ { nan, 0, 0 } }, Point3D{ { 0, 0, nan } },
             Point3D{ { infinity, 0, 0 } } } )
    {
        EXPECT_FALSE( odd.inexact_equal( origin ) ) << odd.string();
        EXPECT_FALSE( origin.inexact_equal( odd ) ) << odd.string();
        EXPECT_FALSE( odd.is_finite() ) << odd.string();
    }
    EXPECT_FALSE( Point3D( { nan, nan, nan } ).inexact_equal( Point3D( { nan, nan, nan } ) ) );
    EXPECT_TRUE( Point3D( { 1e300, -1e300, 0 } ).is_finite() );
}

TEST( Point, OrderEqualityAndHash )
{
    EXPECT_TRUE( Point3D( { 0, 5, 5 } ) < Point3D( { 1, 0, 0 } ) );
    EXPECT_TRUE( Point3D( { 1, 0, 5 } ) < Point3D( { 1, 1, 0 } ) );
    EXPECT_TRUE( Point3D( { 1, 1, 0 } ) < Point3D( { 1, 1, 1e-300 } ) );
    EXPECT_FALSE( Point3D( { 1, 1, 1 } ) < Point3D( { 1, 1, 1 } ) );
    EXPECT_NE( Point3D( { 1, 1, 1 } ), Point3D( { 1, 1, 1 + 1e-15 } ) );

    // Equal points hash equally, including signed zeros.
    const Point3D positive_zero{ { 0., 1., 2. } };
    const Point3D negative_zero{ { -0., 1., 2. } };
    ASSERT_EQ( positive_zero, negative_zero );
    EXPECT_EQ( absl::Hash< Point3D >{}( positive_zero ),
        absl::Hash< Point3D >{}( negative_zero ) );
    absl::flat_hash_set< Point3D > set{ positive_zero, negative_zero,
        Point3D{ { 0, 1, 3 } } };
    EXPECT_EQ( set.size(), 2u );
}

TEST( Point, String )
{
    struct Case
    {
        Point3D point;
        const char* text;
    };
    const Case cases[] = {
        { Point3D{ { 1, 0.5, -2 } }, "1 0.5 -2" },
        { Point3D{ { 0.1, 0, 0 } }, "0.1 0 0" },
        { Point3D{ { 1. / 3., 1e20, -1e-7 } },
            "0.333333333333333 1e+20 -1e-07" },
        { Point3D{ { 123456789012345678., 0, 0 } }, "1.23456789012346e+17 0 0" },
    };
    for( const auto& c : cases )
    {
        EXPECT_EQ( c.point.string(), c.text );
    }
    EXPECT_EQ( Point2D( { -3, 2.25 } ).string(), "-3 2.25" );
}
