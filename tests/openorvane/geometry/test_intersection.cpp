#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/intersection.hpp>
#include <openorvane/geometry/intersection_detection.hpp>

namespace
{
    using orvane::INTERSECTION_TYPE;
    using orvane::POSITION;
    using P2 = orvane::Point2D;
    using P3 = orvane::Point3D;
    using V3 = orvane::Vector3D;

    const orvane::Triangle3D TRIANGLE{ P3{ { 0, 0, 0 } }, P3{ { 4, 0, 0 } },
        P3{ { 0, 4, 0 } } };

    P3 above( double x, double y )
    {
        return P3{ { x, y, 1 } };
    }

    P3 below( double x, double y )
    {
        return P3{ { x, y, -1 } };
    }

    /// The regular octahedron with vertices on the axes, outward facing.
    std::vector< orvane::Triangle3D > octahedron()
    {
        std::vector< orvane::Triangle3D > triangles;
        for( const double sx : { -1., 1. } )
        {
            for( const double sy : { -1., 1. } )
            {
                for( const double sz : { -1., 1. } )
                {
                    const P3 x{ { sx, 0, 0 } };
                    const P3 y{ { 0, sy, 0 } };
                    const P3 z{ { 0, 0, sz } };
                    if( sx * sy * sz > 0 )
                    {
                        triangles.emplace_back( x, y, z );
                    }
                    else
                    {
                        triangles.emplace_back( x, z, y );
                    }
                }
            }
        }
        return triangles;
    }
} // namespace

TEST( IntersectionDetection, SegmentTrianglePositions )
{
    struct Case
    {
        const char* name;
        orvane::Segment3D segment;
        POSITION on_segment;
        POSITION on_triangle;
    };
    const Case cases[] = {
        { "inside", { above( 1, 1 ), below( 1, 1 ) }, POSITION::inside,
            POSITION::inside },
        { "vertex 0", { above( 0, 0 ), below( 0, 0 ) }, POSITION::inside,
            POSITION::vertex0 },
        { "vertex 2", { above( 0, 4 ), below( 0, 4 ) }, POSITION::inside,
            POSITION::vertex2 },
        { "edge 0", { above( 2, 0 ), below( 2, 0 ) }, POSITION::inside,
            POSITION::edge0 },
        { "edge 1", { above( 2, 2 ), below( 2, 2 ) }, POSITION::inside,
            POSITION::edge1 },
        { "edge 2", { above( 0, 1 ), below( 0, 1 ) }, POSITION::inside,
            POSITION::edge2 },
        { "slanted through edge 1", { P3{ { 3, 3, 1 } }, P3{ { 1, 1, -1 } } },
            POSITION::inside, POSITION::edge1 },
        { "outside", { above( 3, 3 ), below( 3, 3 ) }, POSITION::outside,
            POSITION::outside },
        { "too short", { above( 1, 1 ), P3{ { 1, 1, 1e-300 } } },
            POSITION::outside, POSITION::outside },
        { "end on inside", { above( 1, 1 ), P3{ { 1, 1, 0 } } },
            POSITION::vertex1, POSITION::inside },
        { "start on edge", { P3{ { 2, 0, 0 } }, below( 5, 5 ) },
            POSITION::vertex0, POSITION::edge0 },
        { "end on plane, outside", { above( 9, 9 ), P3{ { 9, 9, 0 } } },
            POSITION::outside, POSITION::outside },
        { "in plane, crossing", { P3{ { -1, 1, 0 } }, P3{ { 5, 1, 0 } } },
            POSITION::parallel, POSITION::parallel },
        { "in plane, inside", { P3{ { 1, 1, 0 } }, P3{ { 1, 2, 0 } } },
            POSITION::parallel, POSITION::parallel },
        { "in plane, touching a vertex",
            { P3{ { -1, 1, 0 } }, P3{ { 1, -1, 0 } } }, POSITION::parallel,
            POSITION::parallel },
        { "in plane, away", { P3{ { 5, 5, 0 } }, P3{ { 6, 5, 0 } } },
            POSITION::outside, POSITION::outside },
    };
    for( const auto& c : cases )
    {
        const auto [on_segment, on_triangle] =
            orvane::segment_triangle_intersection_detection( c.segment, TRIANGLE );
        EXPECT_EQ( on_segment, c.on_segment ) << c.name;
        EXPECT_EQ( on_triangle, c.on_triangle ) << c.name;
        // The crossing point agrees with the positions.
        const auto crossing =
            orvane::segment_triangle_intersection( c.segment, TRIANGLE );
        if( c.on_segment == POSITION::outside )
        {
            EXPECT_EQ( crossing.type, INTERSECTION_TYPE::none ) << c.name;
        }
        else if( c.on_segment == POSITION::parallel )
        {
            EXPECT_EQ( crossing.type, INTERSECTION_TYPE::parallel ) << c.name;
            EXPECT_FALSE( crossing.result ) << c.name;
        }
        else
        {
            ASSERT_TRUE( crossing.has_intersection() ) << c.name;
            EXPECT_EQ( crossing.result->value( 2 ), 0 ) << c.name;
            EXPECT_NEAR( std::get< 0 >( orvane::point_triangle_distance(
                             *crossing.result, TRIANGLE ) ),
                0, 1e-15 )
                << c.name;
        }
    }
}

TEST( IntersectionDetection, SegmentsThroughAClosedSurfaceMeetItOnce )
{
    // Every segment from the centre of a closed surface to far outside
    // crosses it at one point: one triangle sees it inside, two see it on
    // their shared edge, or the four around a vertex see it at that vertex.
    // A miss or a double count on shared edges shows here.
    const auto triangles = octahedron();
    std::vector< P3 > targets{ P3{ { 3, 0, 0 } }, P3{ { 0, 0, -3 } },
        P3{ { 1, 1, 0 } }, P3{ { 0, -2, 2 } }, P3{ { 1, 1, 1 } },
        P3{ { -3, 1, 2 } } };
    std::mt19937 random{ 7 };
    std::uniform_real_distribution< double > coordinate{ -2, 2 };
    for( int i = 0; i < 300; i++ )
    {
        const double x = std::round( coordinate( random ) * 4 ) / 4;
        const double y = std::round( coordinate( random ) * 4 ) / 4;
        const double z = std::round( coordinate( random ) * 4 ) / 4;
        const P3 target{ { 4 * x, 4 * y, 4 * z } };
        if( std::fabs( x ) + std::fabs( y ) + std::fabs( z ) > 0.5 )
        {
            targets.push_back( target );
        }
    }
    for( const auto& target : targets )
    {
        const orvane::Segment3D segment{ P3{}, target };
        int inside{ 0 };
        int edges{ 0 };
        int vertices{ 0 };
        for( const auto& triangle : triangles )
        {
            const auto [on_segment, on_triangle] =
                orvane::segment_triangle_intersection_detection(
                    segment, triangle );
            ASSERT_NE( on_segment, POSITION::parallel ) << target.string();
            if( on_triangle == POSITION::inside )
            {
                inside++;
            }
            else if( orvane::detail::is_edge_position( on_triangle ) )
            {
                edges++;
            }
            else if( orvane::detail::is_vertex_position( on_triangle ) )
            {
                vertices++;
            }
        }
        const bool once = ( inside == 1 && edges == 0 && vertices == 0 )
                          || ( inside == 0 && edges == 2 && vertices == 0 )
                          || ( inside == 0 && edges == 0 && vertices == 4 );
        EXPECT_TRUE( once ) << target.string() << ": " << inside << " inside, "
                            << edges << " on edges, " << vertices
                            << " at vertices";
    }
}

TEST( IntersectionDetection, SegmentSegment2D )
{
    struct Case
    {
        const char* name;
        orvane::Segment2D a;
        orvane::Segment2D b;
        POSITION on_a;
        POSITION on_b;
    };
    const P2 o{ { 0, 0 } };
    const Case cases[] = {
        { "cross", { o, P2{ { 2, 2 } } }, { P2{ { 0, 2 } }, P2{ { 2, 0 } } },
            POSITION::inside, POSITION::inside },
        { "T", { o, P2{ { 2, 0 } } }, { P2{ { 1, 0 } }, P2{ { 1, 3 } } },
            POSITION::inside, POSITION::vertex0 },
        { "L", { o, P2{ { 2, 0 } } }, { P2{ { 0, 3 } }, o }, POSITION::vertex0,
            POSITION::vertex1 },
        { "apart", { o, P2{ { 2, 0 } } }, { P2{ { 3, -1 } }, P2{ { 3, 1 } } },
            POSITION::outside, POSITION::outside },
        { "collinear overlap", { o, P2{ { 2, 0 } } },
            { P2{ { 1, 0 } }, P2{ { 3, 0 } } }, POSITION::parallel,
            POSITION::parallel },
        { "collinear end to end", { o, P2{ { 2, 0 } } },
            { P2{ { 3, 0 } }, P2{ { 2, 0 } } }, POSITION::vertex1,
            POSITION::vertex1 },
        { "collinear apart", { o, P2{ { 2, 2 } } },
            { P2{ { 3, 3 } }, P2{ { 4, 4 } } }, POSITION::outside,
            POSITION::outside },
        { "parallel", { o, P2{ { 2, 0 } } }, { P2{ { 0, 1 } }, P2{ { 2, 1 } } },
            POSITION::outside, POSITION::outside },
        { "point on segment", { P2{ { 1, 1 } }, P2{ { 1, 1 } } },
            { o, P2{ { 2, 2 } } }, POSITION::vertex0, POSITION::inside },
    };
    for( const auto& c : cases )
    {
        const auto [on_a, on_b] =
            orvane::segment_segment_intersection_detection( c.a, c.b );
        EXPECT_EQ( on_a, c.on_a ) << c.name;
        EXPECT_EQ( on_b, c.on_b ) << c.name;
        const auto [on_b2, on_a2] =
            orvane::segment_segment_intersection_detection( c.b, c.a );
        EXPECT_EQ( on_a2, c.on_a ) << c.name << " swapped";
        EXPECT_EQ( on_b2, c.on_b ) << c.name << " swapped";
    }
    const auto crossing = orvane::segment_segment_intersection(
        { o, P2{ { 2, 2 } } }, { P2{ { 0, 2 } }, P2{ { 2, 0 } } } );
    ASSERT_TRUE( crossing.has_intersection() );
    EXPECT_EQ( *crossing.result, P2( { 1, 1 } ) );
    EXPECT_EQ( orvane::segment_segment_intersection(
                   { o, P2{ { 2, 0 } } }, { P2{ { 1, 0 } }, P2{ { 3, 0 } } } )
                   .type,
        INTERSECTION_TYPE::parallel );
}

TEST( IntersectionDetection, SegmentPlaneAndLine )
{
    const orvane::Plane plane{ V3{ { 0, 0, 1 } }, P3{ { 0, 0, 1 } } };
    struct Case
    {
        orvane::Segment3D segment;
        POSITION position;
    };
    const Case cases[] = {
        { { P3{ { 0, 0, 0 } }, P3{ { 0, 0, 2 } } }, POSITION::inside },
        { { P3{ { 0, 0, 1 } }, P3{ { 0, 0, 2 } } }, POSITION::vertex0 },
        { { P3{ { 0, 0, 0 } }, P3{ { 5, 0, 1 } } }, POSITION::vertex1 },
        { { P3{ { 0, 0, 1 } }, P3{ { 5, 0, 1 } } }, POSITION::parallel },
        { { P3{ { 0, 0, 0 } }, P3{ { 5, 0, 0.5 } } }, POSITION::outside },
    };
    for( const auto& c : cases )
    {
        EXPECT_EQ( orvane::segment_plane_intersection_detection( c.segment, plane ),
            c.position )
            << c.segment.vertices()[1].string();
    }
    const auto crossing = orvane::segment_plane_intersection(
        { P3{ { 1, 1, 0 } }, P3{ { 3, 5, 2 } } }, plane );
    ASSERT_TRUE( crossing.has_intersection() );
    EXPECT_EQ( *crossing.result, P3( { 2, 3, 1 } ) );
    const auto end = orvane::segment_plane_intersection(
        { P3{ { 1, 1, 0 } }, P3{ { 3, 5, 1 } } }, plane );
    ASSERT_TRUE( end.has_intersection() );
    EXPECT_EQ( *end.result, P3( { 3, 5, 1 } ) );

    const auto line_crossing = orvane::line_plane_intersection(
        orvane::InfiniteLine3D{ V3{ { 1, 0, 1 } }, P3{ { 0, 0, 5 } } }, plane );
    ASSERT_TRUE( line_crossing.has_intersection() );
    EXPECT_NEAR( line_crossing.result->value( 0 ), -4, 1e-14 );
    EXPECT_NEAR( line_crossing.result->value( 2 ), 1, 1e-14 );
    EXPECT_EQ( orvane::line_plane_intersection(
                   orvane::InfiniteLine3D{ V3{ { 1, 1, 0 } }, P3{} }, plane )
                   .type,
        INTERSECTION_TYPE::parallel );

    const orvane::InfiniteLine2D line{ orvane::Vector2D{ { 0, 1 } },
        P2{ { 1, 0 } } };
    EXPECT_EQ( orvane::segment_line_intersection_detection(
                   { P2{ { 0, 5 } }, P2{ { 2, 7 } } }, line ),
        POSITION::inside );
    EXPECT_EQ( orvane::segment_line_intersection_detection(
                   { P2{ { 1, 5 } }, P2{ { 1, 7 } } }, line ),
        POSITION::parallel );
    const auto point = orvane::segment_line_intersection(
        { P2{ { 0, 5 } }, P2{ { 2, 7 } } }, line );
    ASSERT_TRUE( point.has_intersection() );
    EXPECT_EQ( *point.result, P2( { 1, 6 } ) );
}

TEST( Intersection, LineTriangle )
{
    const auto hit = orvane::line_triangle_intersection(
        orvane::InfiniteLine3D{ V3{ { 0, 0, -1 } }, above( 1, 2 ) }, TRIANGLE );
    ASSERT_TRUE( hit.has_intersection() );
    EXPECT_EQ( *hit.result, P3( { 1, 2, 0 } ) );
    // Behind the origin counts too: the line is infinite.
    const auto behind = orvane::line_triangle_intersection(
        orvane::InfiniteLine3D{ V3{ { 0, 0, 1 } }, above( 1, 2 ) }, TRIANGLE );
    ASSERT_TRUE( behind.has_intersection() );
    EXPECT_EQ( *behind.result, P3( { 1, 2, 0 } ) );
    EXPECT_EQ( orvane::line_triangle_intersection(
                   orvane::InfiniteLine3D{ V3{ { 0, 0, 1 } }, above( 3, 3 ) },
                   TRIANGLE )
                   .type,
        INTERSECTION_TYPE::none );
    EXPECT_EQ( orvane::line_triangle_intersection(
                   orvane::InfiniteLine3D{ V3{ { 1, 0, 0 } }, P3{ { 0, 1, 0 } } },
                   TRIANGLE )
                   .type,
        INTERSECTION_TYPE::parallel );
    EXPECT_EQ( orvane::line_triangle_intersection(
                   orvane::InfiniteLine3D{ V3{ { 1, 0, 0 } }, above( 0, 1 ) },
                   TRIANGLE )
                   .type,
        INTERSECTION_TYPE::none );
    EXPECT_EQ( orvane::line_triangle_intersection_detection(
                   orvane::InfiniteLine3D{ V3{ { 1, -1, -1 } }, above( 1, 3 ) },
                   TRIANGLE ),
        POSITION::edge1 );
}

TEST( Intersection, SegmentSphere )
{
    const orvane::Sphere3D sphere{ P3{ { 0, 0, 0 } }, 2 };
    struct Case
    {
        const char* name;
        orvane::Segment3D segment;
        std::vector< P3 > points;
    };
    const Case cases[] = {
        { "through", { P3{ { -3, 0, 0 } }, P3{ { 3, 0, 0 } } },
            { P3{ { -2, 0, 0 } }, P3{ { 2, 0, 0 } } } },
        { "out of the inside", { P3{ { 3, 0, 0 } }, P3{ { 1, 0, 0 } } },
            { P3{ { 2, 0, 0 } } } },
        { "inside", { P3{ { -1, 0, 0 } }, P3{ { 1, 0, 0 } } }, {} },
        { "outside", { P3{ { 3, 0, 0 } }, P3{ { 3, 3, 0 } } }, {} },
        { "end on the sphere", { P3{ { 0, 0, 0 } }, P3{ { 0, 2, 0 } } },
            { P3{ { 0, 2, 0 } } } },
        { "start on the sphere, going out",
            { P3{ { 0, 0, 2 } }, P3{ { 0, 0, 5 } } }, { P3{ { 0, 0, 2 } } } },
        { "tangent", { P3{ { -2, 2, 0 } }, P3{ { 2, 2, 0 } } },
            { P3{ { 0, 2, 0 } } } },
        { "point on the sphere", { P3{ { 2, 0, 0 } }, P3{ { 2, 0, 0 } } },
            { P3{ { 2, 0, 0 } } } },
    };
    for( const auto& c : cases )
    {
        const auto result = orvane::segment_sphere_intersection( c.segment, sphere );
        if( c.points.empty() )
        {
            EXPECT_EQ( result.type, INTERSECTION_TYPE::none ) << c.name;
            continue;
        }
        ASSERT_TRUE( result.has_intersection() ) << c.name;
        ASSERT_EQ( result.result->size(), c.points.size() ) << c.name;
        for( std::size_t i = 0; i < c.points.size(); i++ )
        {
            EXPECT_TRUE( ( *result.result )[i].inexact_equal( c.points[i] ) )
                << c.name << ": " << ( *result.result )[i].string();
        }
    }
    // An end placed on the sphere by the caller's own distance is found
    // even where the quadratic rounds the other way.
    const P3 centre{ { 0.1, 0.2, 0.3 } };
    const P3 end{ { 0.7, -0.3, 1.9 } };
    const double radius = orvane::point_point_distance( centre, end );
    const auto result = orvane::segment_sphere_intersection(
        { P3{ { 0.15, 0.2, 0.33 } }, end }, orvane::Sphere3D{ centre, radius } );
    ASSERT_TRUE( result.has_intersection() );
    EXPECT_EQ( result.result->back(), end );
}

TEST( Intersection, TriangleCircle )
{
    // A circle in the plane x = 1 centred on the triangle's plane z = 0.
    const orvane::Circle circle{ orvane::Plane{ V3{ { 1, 0, 0 } },
                                     P3{ { 1, 1, 0 } } },
        0.5 };
    const auto points = orvane::triangle_circle_intersection( TRIANGLE, circle );
    ASSERT_TRUE( points );
    ASSERT_EQ( points->size(), 2u );
    EXPECT_TRUE( ( *points )[0].inexact_equal( P3{ { 1, 0.5, 0 } } ) );
    EXPECT_TRUE( ( *points )[1].inexact_equal( P3{ { 1, 1.5, 0 } } ) );
    // Far away, and coplanar.
    EXPECT_FALSE( orvane::triangle_circle_intersection( TRIANGLE,
        orvane::Circle{ orvane::Plane{ V3{ { 1, 0, 0 } }, P3{ { 9, 1, 0 } } },
            0.5 } ) );
    EXPECT_FALSE( orvane::triangle_circle_intersection( TRIANGLE,
        orvane::Circle{ orvane::Plane{ V3{ { 0, 0, 1 } }, P3{ { 1, 1, 0 } } },
            0.5 } ) );
    // The circle reaches the triangle only once: the other point is beyond
    // its edge.
    const auto one = orvane::triangle_circle_intersection( TRIANGLE,
        orvane::Circle{ orvane::Plane{ V3{ { 1, 0, 0 } }, P3{ { 1, 2.9, 0 } } },
            0.5 } );
    ASSERT_TRUE( one );
    ASSERT_EQ( one->size(), 1u );
    EXPECT_TRUE( ( *one )[0].inexact_equal( P3{ { 1, 2.4, 0 } } ) );
}

TEST( IntersectionDetection, TriangleTriangle )
{
    struct Case
    {
        const char* name;
        orvane::Triangle3D other;
        bool meets;
    };
    const Case cases[] = {
        { "piercing", { below( 1, 1 ), above( 1, 1 ), above( 2, 1 ) }, true },
        { "through an edge", { below( 2, 0 ), above( 2, 0 ), above( 2, -3 ) },
            true },
        { "sharing a vertex", { P3{ { 4, 0, 0 } }, P3{ { 6, 0, 1 } },
                                  P3{ { 6, 1, 0 } } },
            true },
        { "sharing an edge", { P3{ { 0, 0, 0 } }, P3{ { 4, 0, 0 } },
                                 P3{ { 2, -2, 3 } } },
            true },
        { "above", { above( 0, 0 ), above( 1, 0 ), above( 0, 1 ) }, false },
        { "coplanar inside", { P3{ { 1, 1, 0 } }, P3{ { 1.5, 1, 0 } },
                                 P3{ { 1, 1.5, 0 } } },
            true },
        { "coplanar enclosing", { P3{ { -1, -1, 0 } }, P3{ { 9, -1, 0 } },
                                    P3{ { -1, 9, 0 } } },
            true },
        { "coplanar apart", { P3{ { 5, 5, 0 } }, P3{ { 6, 5, 0 } },
                                P3{ { 5, 6, 0 } } },
            false },
        { "close but apart", { P3{ { 2.5, 2.5, 0 } }, P3{ { 3, 3, 1 } },
                                 P3{ { 3, 3, -1 } } },
            false },
    };
    for( const auto& c : cases )
    {
        EXPECT_EQ( orvane::triangle_triangle_intersection_detection( TRIANGLE, c.other ),
            c.meets )
            << c.name;
        EXPECT_EQ( orvane::triangle_triangle_intersection_detection( c.other, TRIANGLE ),
            c.meets )
            << c.name;
    }
}
