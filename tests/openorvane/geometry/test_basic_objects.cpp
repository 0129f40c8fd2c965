#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/basic_objects.hpp>

namespace
{
    using P2 = orvane::Point2D;
    using P3 = orvane::Point3D;
    using V3 = orvane::Vector3D;
} // namespace

TEST( BoundingBox, EmptyBoxHoldsNothing )
{
    const orvane::BoundingBox3D empty;
    EXPECT_TRUE( empty.empty() );
    EXPECT_FALSE( empty.contains( P3{} ) );
    orvane::BoundingBox3D unit;
    unit.add_point( P3{} );
    EXPECT_FALSE( empty.intersects( unit ) );
    EXPECT_FALSE( unit.intersects( empty ) );
    EXPECT_FALSE(
        empty.intersects( orvane::Ray3D{ V3{ { 1, 0, 0 } }, P3{} } ) );
    orvane::BoundingBox3D grown = unit;
    grown.add_box( empty );
    EXPECT_EQ( grown.min(), unit.min() );
    EXPECT_EQ( grown.max(), unit.max() );
    orvane::BoundingBox3D extended = empty;
    extended.extends( 1 );
    EXPECT_TRUE( extended.empty() );
}

TEST( BoundingBox, ClosedBoxQueries )
{
    orvane::BoundingBox3D box;
    box.add_point( P3{ { 0, 0, 0 } } );
    box.add_point( P3{ { 2, 4, 6 } } );
    EXPECT_EQ( box.center(), P3( { 1, 2, 3 } ) );
    EXPECT_EQ( box.diagonal(), V3( { 2, 4, 6 } ) );
    EXPECT_TRUE( box.contains( P3{ { 2, 4, 6 } } ) );
    EXPECT_TRUE( box.contains( P3{ { 0, 2, 3 } } ) );
    EXPECT_FALSE( box.contains( P3{ { -1e-300, 2, 3 } } ) );

    struct Case
    {
        P3 min, max;
        bool intersects;
    };
    const Case cases[] = {
        { P3{ { 2, 4, 6 } }, P3{ { 3, 5, 7 } }, true },      // corner touch
        { P3{ { 2, 0, 0 } }, P3{ { 3, 4, 6 } }, true },      // face touch
        { P3{ { 1, 1, 1 } }, P3{ { 1, 1, 1 } }, true },      // inner point
        { P3{ { -1, -1, -1 } }, P3{ { 9, 9, 9 } }, true },   // enclosing
        { P3{ { std::nextafter( 2., 3. ), 0, 0 } }, P3{ { 3, 4, 6 } },
            false },
        { P3{ { 0, 0, 7 } }, P3{ { 2, 4, 8 } }, false },
    };
    for( const auto& c : cases )
    {
        orvane::BoundingBox3D other;
        other.add_point( c.min );
        other.add_point( c.max );
        EXPECT_EQ( box.intersects( other ), c.intersects ) << c.min.string();
        EXPECT_EQ( other.intersects( box ), c.intersects ) << c.min.string();
    }

    EXPECT_DOUBLE_EQ( box.signed_distance( P3{ { 1, 2, 3 } } ), -1 );
    EXPECT_DOUBLE_EQ( box.signed_distance( P3{ { 1, 2, 6 } } ), 0 );
    EXPECT_DOUBLE_EQ( box.signed_distance( P3{ { 5, 8, 6 } } ), 5 );
    EXPECT_DOUBLE_EQ( box.signed_distance( P3{ { 1, -2, 3 } } ), 2 );

    box.extends( 1 );
    EXPECT_EQ( box.min(), P3( { -1, -1, -1 } ) );
    EXPECT_EQ( box.max(), P3( { 3, 5, 7 } ) );
}

TEST( BoundingBox, RayAndSegmentTests )
{
    orvane::BoundingBox3D box;
    box.add_point( P3{ { 0, 0, 0 } } );
    box.add_point( P3{ { 1, 1, 1 } } );
    struct Case
    {
        V3 direction;
        P3 origin;
        bool hit;
    };
    const Case cases[] = {
        { V3{ { 1, 0, 0 } }, P3{ { -5, 0.5, 0.5 } }, true },
        { V3{ { -1, 0, 0 } }, P3{ { -5, 0.5, 0.5 } }, false }, // behind
        { V3{ { 1, 0, 0 } }, P3{ { 0.5, 0.5, 0.5 } }, true },  // from inside
        { V3{ { 1, 0, 0 } }, P3{ { -5, 1, 1 } }, true },       // along an edge
        { V3{ { 1, 0, 0 } }, P3{ { -5, 1.5, 0.5 } }, false },
        { V3{ { 1, 1, 0 } }, P3{ { -1, 0, 0.5 } }, true },     // through corner
        { V3{ { 1, 1, 0 } }, P3{ { -1.5, 0, 0.5 } }, false },
        { V3{ { 0, 0, 1 } }, P3{ { 1, 1, 1 } }, true },        // starts at corner
        { V3{ { 1, 2, 3 } }, P3{ { 1, 1, 1 } }, true },
    };
    for( const auto& c : cases )
    {
        EXPECT_EQ( box.intersects( orvane::Ray3D{ c.direction, c.origin } ),
            c.hit )
            << c.origin.string() << " -> " << c.direction.string();
    }
    EXPECT_TRUE( box.intersects(
        orvane::Segment3D{ P3{ { -1, 0.5, 0.5 } }, P3{ { 0, 0.5, 0.5 } } } ) );
    EXPECT_FALSE( box.intersects( orvane::Segment3D{ P3{ { -1, 0.5, 0.5 } },
        P3{ { -1e-9, 0.5, 0.5 } } } ) );
    EXPECT_TRUE( box.intersects( orvane::Segment3D{ P3{ { 0.2, 0.2, 0.2 } },
        P3{ { 0.2, 0.2, 0.2 } } } ) );
    EXPECT_TRUE( box.intersects(
        orvane::Segment3D{ P3{ { -1, -1, 0.5 } }, P3{ { 2, 2, 0.5 } } } ) );
}

TEST( Primitives, SegmentTriangleTetrahedron )
{
    orvane::Segment3D segment{ P3{ { 0, 0, 0 } }, P3{ { 3, 4, 0 } } };
    EXPECT_EQ( segment.length(), 5 );
    EXPECT_EQ( segment.direction(), V3( { 3, 4, 0 } ) );
    EXPECT_EQ( segment.normalized_direction(), V3( { 0.6, 0.8, 0 } ) );
    EXPECT_EQ( segment.barycenter(), P3( { 1.5, 2, 0 } ) );
    segment.set_point( 1, P3{ { 0, 0, 2 } } );
    EXPECT_EQ( segment.bounding_box().max(), P3( { 0, 0, 2 } ) );
    EXPECT_THROW( (void) orvane::Segment2D{}.normalized_direction(),
        orvane::OpenOrvaneException );

    const orvane::Triangle3D triangle{ P3{ { 0, 0, 0 } }, P3{ { 4, 0, 0 } },
        P3{ { 0, 3, 0 } } };
    EXPECT_EQ( triangle.barycenter(), P3( { 4. / 3., 1, 0 } ) );
    EXPECT_DOUBLE_EQ( triangle.minimum_height(), 12. / 5. );
    ASSERT_TRUE( triangle.normal() );
    EXPECT_EQ( *triangle.normal(), V3( { 0, 0, 1 } ) );
    const auto plane = triangle.plane();
    ASSERT_TRUE( plane );
    EXPECT_EQ( plane->normal(), V3( { 0, 0, 1 } ) );
    EXPECT_EQ( plane->plane_constant(), 0 );

    const orvane::Tetrahedron tetrahedron{ P3{ { 0, 0, 0 } },
        P3{ { 4, 0, 0 } }, P3{ { 0, 4, 0 } }, P3{ { 0, 0, 4 } } };
    EXPECT_EQ( tetrahedron.barycenter(), P3( { 1, 1, 1 } ) );
    EXPECT_EQ( tetrahedron.bounding_box().max(), P3( { 4, 4, 4 } ) );
}

TEST( Primitives, DegenerateTrianglesHaveNoNormal )
{
    struct Case
    {
        orvane::Triangle3D triangle;
        bool has_normal;
    };
    const Case cases[] = {
        { { P3{ { 0, 0, 0 } }, P3{ { 1, 1, 1 } }, P3{ { 2, 2, 2 } } }, false },
        { { P3{ { 0, 0, 0 } }, P3{ { 0, 0, 0 } }, P3{ { 2, 2, 2 } } }, false },
        { { P3{ { 1, 2, 3 } }, P3{ { 1, 2, 3 } }, P3{ { 1, 2, 3 } } }, false },
        // |cross| = 1e-32: not collinear, but under the division guard.
        { { P3{ { 0, 0, 0 } }, P3{ { 1e-16, 0, 0 } }, P3{ { 0, 1e-16, 0 } } },
            false },
        // |cross| = 1e-28: a tiny but valid triangle.
        { { P3{ { 0, 0, 0 } }, P3{ { 1e-14, 0, 0 } }, P3{ { 0, 1e-14, 0 } } },
            true },
        // Exactly non-collinear although nearly flat.
        { { P3{ { 0, 0, 0 } }, P3{ { 1, 0, 0 } }, P3{ { 2, 1e-10, 0 } } },
            true },
    };
    for( const auto& c : cases )
    {
        EXPECT_EQ( c.triangle.normal().has_value(), c.has_normal )
            << c.triangle.vertices()[1].string();
        EXPECT_EQ( c.triangle.plane().has_value(), c.has_normal );
        if( c.has_normal )
        {
            EXPECT_NEAR( c.triangle.normal()->length(), 1, 1e-15 );
        }
    }
    const orvane::Triangle2D flat{ P2{ { 0, 0 } }, P2{ { 1, 1 } },
        P2{ { 3, 3 } } };
    EXPECT_EQ( flat.minimum_height(), 0 );
    const orvane::Triangle2D point{ P2{ { 1, 1 } }, P2{ { 1, 1 } },
        P2{ { 1, 1 } } };
    EXPECT_EQ( point.minimum_height(), 0 );
}

TEST( Primitives, PlaneLinesSphereCircle )
{
    const orvane::Plane plane{ V3{ { 0, 0, -3 } }, P3{ { 1, 1, 2 } } };
    EXPECT_EQ( plane.normal(), V3( { 0, 0, -1 } ) );
    EXPECT_EQ( plane.plane_constant(), 2 );
    EXPECT_THROW( ( orvane::Plane{ V3{}, P3{} } ), orvane::OpenOrvaneException );
    EXPECT_EQ( orvane::Plane{}.normal(), V3( { 0, 0, 1 } ) );

    const orvane::InfiniteLine3D line{ orvane::Segment3D{ P3{ { 1, 0, 0 } },
        P3{ { 1, 0, 5 } } } };
    EXPECT_EQ( line.direction(), V3( { 0, 0, 1 } ) );
    EXPECT_EQ( line.origin(), P3( { 1, 0, 0 } ) );
    // Direction first, then origin.
    const orvane::Ray3D ray{ V3{ { 2, 0, 0 } }, P3{ { 0, 1, 0 } } };
    EXPECT_EQ( ray.direction(), V3( { 1, 0, 0 } ) );
    EXPECT_EQ( ray.origin(), P3( { 0, 1, 0 } ) );
    EXPECT_THROW( ( orvane::Ray2D{ orvane::Vector2D{}, P2{} } ),
        orvane::OpenOrvaneException );

    const orvane::Sphere3D sphere{ P3{ { 1, 2, 3 } }, 2 };
    EXPECT_EQ( sphere.bounding_box().min(), P3( { -1, 0, 1 } ) );
    EXPECT_EQ( sphere.bounding_box().max(), P3( { 3, 4, 5 } ) );

    const orvane::Circle flat_circle{ orvane::Plane{ V3{ { 0, 0, 1 } },
                                          P3{ { 1, 1, 1 } } },
        2 };
    EXPECT_EQ( flat_circle.bounding_box().min(), P3( { -1, -1, 1 } ) );
    EXPECT_EQ( flat_circle.bounding_box().max(), P3( { 3, 3, 1 } ) );
    const orvane::Circle tilted{ orvane::Plane{ V3{ { 1, 1, 0 } }, P3{} }, 1 };
    const auto box = tilted.bounding_box();
    EXPECT_NEAR( box.max().value( 0 ), std::sqrt( 0.5 ), 1e-15 );
    EXPECT_NEAR( box.max().value( 2 ), 1, 1e-15 );
}
