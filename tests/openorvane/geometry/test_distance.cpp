#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/barycentric_coordinates.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/geometry/projection.hpp>

namespace
{
    using P2 = orvane::Point2D;
    using P3 = orvane::Point3D;
    using V3 = orvane::Vector3D;

    template < std::size_t n >
    double sum( const std::array< double, n >& values )
    {
        double total{ 0. };
        for( const auto value : values )
        {
            total += value;
        }
        return total;
    }

    template < orvane::index_t dimension, std::size_t n >
    orvane::Point< dimension > combine( const std::array< double, n >& weights,
        const std::array< orvane::Point< dimension >, n >& points )
    {
        orvane::Point< dimension > result;
        for( std::size_t i = 0; i < n; i++ )
        {
            result += points[i] * weights[i];
        }
        return result;
    }
} // namespace

TEST( Mensuration, AreasAndVolumes )
{
    const orvane::Triangle3D triangle{ P3{ { 0, 0, 0 } }, P3{ { 4, 0, 0 } },
        P3{ { 0, 3, 5 } } };
    EXPECT_DOUBLE_EQ( orvane::triangle_area( triangle ), 0.5 * 4 * std::sqrt( 34. ) );
    EXPECT_EQ( orvane::triangle_signed_area(
                   { P2{ { 0, 0 } }, P2{ { 0, 2 } }, P2{ { 2, 0 } } } ),
        -2 );
    EXPECT_EQ( orvane::triangle_area(
                   orvane::Triangle2D{ P2{ { 0, 0 } }, P2{ { 0, 2 } }, P2{ { 2, 0 } } } ),
        2 );
    const orvane::Tetrahedron unit{ P3{ { 0, 0, 0 } }, P3{ { 1, 0, 0 } },
        P3{ { 0, 1, 0 } }, P3{ { 0, 0, 1 } } };
    EXPECT_DOUBLE_EQ( orvane::tetrahedron_signed_volume( unit ), 1. / 6. );
    const orvane::Tetrahedron inverted{ P3{ { 0, 0, 0 } }, P3{ { 0, 1, 0 } },
        P3{ { 1, 0, 0 } }, P3{ { 0, 0, 1 } } };
    EXPECT_DOUBLE_EQ( orvane::tetrahedron_signed_volume( inverted ), -1. / 6. );
    EXPECT_DOUBLE_EQ( orvane::tetrahedron_volume( inverted ), 1. / 6. );
}

TEST( Barycentric, RegularElementsReproduceThePoint )
{
    const orvane::Triangle3D triangle{ P3{ { 0, 0, 0 } }, P3{ { 4, 0, 0 } },
        P3{ { 0, 4, 2 } } };
    const P3 point{ { 1, 1, 0.5 } };
    const auto coordinates =
        orvane::safe_triangle_barycentric_coordinates( point, triangle );
    EXPECT_NEAR( coordinates[0], 0.5, 1e-15 );
    EXPECT_NEAR( coordinates[1], 0.25, 1e-15 );
    EXPECT_NEAR( coordinates[2], 0.25, 1e-15 );
    EXPECT_EQ( coordinates,
        orvane::triangle_barycentric_coordinates( point, triangle ) );
    // Off the plane: the coordinates of the orthogonal projection.
    const auto lifted = orvane::safe_triangle_barycentric_coordinates(
        point + V3{ { 0, -2, 4 } } * 0.1, triangle );
    for( int i = 0; i < 3; i++ )
    {
        EXPECT_NEAR( lifted[i], coordinates[i], 1e-15 );
    }

    const orvane::Tetrahedron tetrahedron{ P3{ { 0, 0, 0 } },
        P3{ { 2, 0, 0 } }, P3{ { 0, 2, 0 } }, P3{ { 0, 0, 2 } } };
    const auto weights = orvane::safe_tetrahedron_barycentric_coordinates(
        P3{ { 0.5, 0.25, 1 } }, tetrahedron );
    EXPECT_NEAR( weights[0], 0.125, 1e-15 );
    EXPECT_NEAR( weights[1], 0.25, 1e-15 );
    EXPECT_NEAR( weights[2], 0.125, 1e-15 );
    EXPECT_NEAR( weights[3], 0.5, 1e-15 );

    const auto on_segment = orvane::safe_segment_barycentric_coordinates(
        P2{ { 3, 7 } }, orvane::Segment2D{ P2{ { 0, 0 } }, P2{ { 4, 0 } } } );
    EXPECT_EQ( on_segment[0], 0.25 );
    EXPECT_EQ( on_segment[1], 0.75 );
}

TEST( Barycentric, DegenerateElementsGiveDefinedCoordinatesSummingToOne )
{
    const P3 point{ { 0.3, 0.7, -0.2 } };
    // Segments.
    const auto point_segment = orvane::safe_segment_barycentric_coordinates(
        point, orvane::Segment3D{ P3{ { 1, 1, 1 } }, P3{ { 1, 1, 1 } } } );
    EXPECT_EQ( point_segment[0], 0.5 );
    EXPECT_EQ( point_segment[1], 0.5 );

    struct TriangleCase
    {
        const char* name;
        orvane::Triangle3D triangle;
        std::array< double, 3 > expected;
    };
    const TriangleCase triangles[] = {
        { "collinear, longest edge 2 -> 0",
            { P3{ { 0, 0, 0 } }, P3{ { 1, 0, 0 } }, P3{ { 4, 0, 0 } } },
            { 0.75, 0., 0.25 } },
        { "two coincident vertices",
            { P3{ { 0, 0, 0 } }, P3{ { 2, 0, 0 } }, P3{ { 2, 0, 0 } } },
            { 0.5, 0.5, 0. } },
        { "all coincident",
            { P3{ { 5, 5, 5 } }, P3{ { 5, 5, 5 } }, P3{ { 5, 5, 5 } } },
            { 1. / 3., 1. / 3., 1. / 3. } },
    };
    const P3 query{ { 1, 3, 0 } };
    for( const auto& c : triangles )
    {
        const auto coordinates =
            orvane::safe_triangle_barycentric_coordinates( query, c.triangle );
        EXPECT_NEAR( sum( coordinates ), 1, 1e-15 ) << c.name;
        for( int i = 0; i < 3; i++ )
        {
            EXPECT_NEAR( coordinates[i], c.expected[i], 1e-15 ) << c.name;
        }
        EXPECT_THROW( (void) orvane::triangle_barycentric_coordinates(
                          query, c.triangle ),
            orvane::OpenOrvaneException )
            << c.name;
    }

    // A flat tetrahedron: coordinates on its largest facet (0, 1, 2 here,
    // opposite vertex 3), reproducing the point when it is in that plane.
    const orvane::Tetrahedron flat{ P3{ { 0, 0, 0 } }, P3{ { 4, 0, 0 } },
        P3{ { 0, 4, 0 } }, P3{ { 1, 1, 0 } } };
    const P3 in_plane{ { 1, 2, 0 } };
    const auto weights =
        orvane::safe_tetrahedron_barycentric_coordinates( in_plane, flat );
    EXPECT_NEAR( sum( weights ), 1, 1e-15 );
    EXPECT_EQ( weights[3], 0 );
    EXPECT_TRUE( combine( weights, flat.vertices() ).inexact_equal( in_plane ) );
    EXPECT_THROW(
        (void) orvane::tetrahedron_barycentric_coordinates( in_plane, flat ),
        orvane::OpenOrvaneException );
    const orvane::Tetrahedron collapsed{ P3{ { 1, 1, 1 } }, P3{ { 1, 1, 1 } },
        P3{ { 1, 1, 1 } }, P3{ { 1, 1, 1 } } };
    EXPECT_NEAR( sum( orvane::safe_tetrahedron_barycentric_coordinates(
                     point, collapsed ) ),
        1, 1e-15 );
}

TEST( Distance, PointToSegmentAndTriangle )
{
    const orvane::Segment3D segment{ P3{ { 0, 0, 0 } }, P3{ { 2, 0, 0 } } };
    struct SegmentCase
    {
        P3 point;
        double distance;
        P3 closest;
    };
    const SegmentCase segment_cases[] = {
        { P3{ { 1, 1, 0 } }, 1, P3{ { 1, 0, 0 } } },
        { P3{ { -3, 4, 0 } }, 5, P3{ { 0, 0, 0 } } },
        { P3{ { 5, 0, 4 } }, 5, P3{ { 2, 0, 0 } } },
        { P3{ { 0.5, 0, 0 } }, 0, P3{ { 0.5, 0, 0 } } },
    };
    for( const auto& c : segment_cases )
    {
        const auto [distance, closest] =
            orvane::point_segment_distance( c.point, segment );
        EXPECT_DOUBLE_EQ( distance, c.distance ) << c.point.string();
        EXPECT_EQ( closest, c.closest ) << c.point.string();
    }

    const orvane::Triangle3D triangle{ P3{ { 0, 0, 0 } }, P3{ { 4, 0, 0 } },
        P3{ { 0, 4, 0 } } };
    const SegmentCase triangle_cases[] = {
        { P3{ { 1, 1, 3 } }, 3, P3{ { 1, 1, 0 } } },       // face
        { P3{ { 1, 1, -3 } }, 3, P3{ { 1, 1, 0 } } },
        { P3{ { -1, -1, 0 } }, std::sqrt( 2. ), P3{ { 0, 0, 0 } } },
        { P3{ { 6, -1, 0 } }, std::sqrt( 5. ), P3{ { 4, 0, 0 } } },
        { P3{ { 2, -3, 4 } }, 5, P3{ { 2, 0, 0 } } },      // edge 0
        { P3{ { 3, 3, 0 } }, std::sqrt( 2. ), P3{ { 2, 2, 0 } } },  // edge 1
        { P3{ { -2, 1, 0 } }, 2, P3{ { 0, 1, 0 } } },      // edge 2
    };
    for( const auto& c : triangle_cases )
    {
        const auto [distance, closest] =
            orvane::point_triangle_distance( c.point, triangle );
        EXPECT_DOUBLE_EQ( distance, c.distance ) << c.point.string();
        EXPECT_TRUE( closest.inexact_equal( c.closest ) ) << c.point.string();
    }
    EXPECT_EQ( std::get< 0 >( orvane::point_triangle_signed_distance(
                   P3{ { 1, 1, -3 } }, triangle ) ),
        -3 );
    EXPECT_EQ( std::get< 0 >( orvane::point_triangle_signed_distance(
                   P3{ { 1, 1, 3 } }, triangle ) ),
        3 );
    // A degenerate triangle is measured through its edges.
    const orvane::Triangle3D flat{ P3{ { 0, 0, 0 } }, P3{ { 1, 0, 0 } },
        P3{ { 2, 0, 0 } } };
    EXPECT_DOUBLE_EQ(
        std::get< 0 >( orvane::point_triangle_distance( P3{ { 1, 2, 0 } }, flat ) ),
        2 );
    // 2-D: a point in the closed triangle is at distance 0, exactly.
    const orvane::Triangle2D triangle2{ P2{ { 0, 0 } }, P2{ { 1, 0 } },
        P2{ { 0, 1 } } };
    const P2 inner{ { 0.1, 0.7 } };
    const auto [distance2, closest2] =
        orvane::point_triangle_distance( inner, triangle2 );
    EXPECT_EQ( distance2, 0 );
    EXPECT_EQ( closest2, inner );
}

TEST( Distance, ContactTolerances )
{
    // A corner exactly on a triangle vertex lies at distance 0 of it; a
    // corner 1e-7 above the middle of a triangle comes within 1e-6.
    const orvane::Triangle3D triangle{ P3{ { 0, 0, 0 } }, P3{ { 1, 0, 0 } },
        P3{ { 0, 1, 0 } } };
    EXPECT_EQ( std::get< 0 >(
                   orvane::point_triangle_distance( P3{ { 1, 0, 0 } }, triangle ) ),
        0 );
    const double near = std::get< 0 >( orvane::point_triangle_distance(
        P3{ { 0.25, 0.25, 1e-7 } }, triangle ) );
    EXPECT_NEAR( near, 1e-7, 1e-20 );
}

TEST( Distance, SegmentSegment )
{
    struct Case
    {
        const char* name;
        orvane::Segment3D a;
        orvane::Segment3D b;
        double distance;
        P3 on_a;
        P3 on_b;
    };
    const Case cases[] = {
        { "skew", { P3{ { 0, 0, 0 } }, P3{ { 2, 0, 0 } } },
            { P3{ { 1, -1, 1 } }, P3{ { 1, 1, 1 } } }, 1, P3{ { 1, 0, 0 } },
            P3{ { 1, 0, 1 } } },
        { "crossing", { P3{ { 0, 0, 0 } }, P3{ { 2, 2, 0 } } },
            { P3{ { 0, 2, 0 } }, P3{ { 2, 0, 0 } } }, 0, P3{ { 1, 1, 0 } },
            P3{ { 1, 1, 0 } } },
        { "end to inside", { P3{ { 0, 0, 0 } }, P3{ { 2, 0, 0 } } },
            { P3{ { 1, 3, 0 } }, P3{ { 1, 7, 0 } } }, 3, P3{ { 1, 0, 0 } },
            P3{ { 1, 3, 0 } } },
        { "end to end", { P3{ { 0, 0, 0 } }, P3{ { 2, 0, 0 } } },
            { P3{ { 5, 4, 0 } }, P3{ { 9, 9, 0 } } }, 5, P3{ { 2, 0, 0 } },
            P3{ { 5, 4, 0 } } },
        { "degenerate", { P3{ { 1, 5, 0 } }, P3{ { 1, 5, 0 } } },
            { P3{ { 0, 0, 0 } }, P3{ { 2, 0, 0 } } }, 5, P3{ { 1, 5, 0 } },
            P3{ { 1, 0, 0 } } },
    };
    for( const auto& c : cases )
    {
        const auto [distance, on_a, on_b] =
            orvane::segment_segment_distance( c.a, c.b );
        EXPECT_NEAR( distance, c.distance, 1e-15 ) << c.name;
        EXPECT_TRUE( on_a.inexact_equal( c.on_a ) ) << c.name << " " << on_a.string();
        EXPECT_TRUE( on_b.inexact_equal( c.on_b ) ) << c.name << " " << on_b.string();
    }
    // Parallel overlapping segments: any pair of closest points at the gap.
    const auto [gap, p, q] = orvane::segment_segment_distance(
        orvane::Segment3D{ P3{ { 0, 0, 0 } }, P3{ { 4, 0, 0 } } },
        orvane::Segment3D{ P3{ { 1, 2, 0 } }, P3{ { 3, 2, 0 } } } );
    EXPECT_DOUBLE_EQ( gap, 2 );
    EXPECT_DOUBLE_EQ( orvane::point_point_distance( p, q ), 2 );
}

TEST( Distance, SegmentTriangleAndTetrahedron )
{
    const orvane::Triangle3D triangle{ P3{ { 0, 0, 0 } }, P3{ { 4, 0, 0 } },
        P3{ { 0, 4, 0 } } };
    struct Case
    {
        const char* name;
        orvane::Segment3D segment;
        double distance;
    };
    const Case cases[] = {
        { "piercing", { P3{ { 1, 1, 1 } }, P3{ { 1, 1, -1 } } }, 0 },
        { "above, parallel", { P3{ { 1, 1, 2 } }, P3{ { 2, 1, 2 } } }, 2 },
        { "beside an edge", { P3{ { 3, 3, 5 } }, P3{ { 3, 3, -5 } } },
            std::sqrt( 2. ) },
        { "coplanar, crossing an edge", { P3{ { -1, 1, 0 } }, P3{ { 1, 1, 0 } } },
            0 },
        { "end above the face", { P3{ { 1, 1, 0.5 } }, P3{ { 1, 1, 3 } } }, 0.5 },
        { "skew over an edge", { P3{ { 2, -1, 1 } }, P3{ { 2, 1, 1 } } }, 1 },
    };
    for( const auto& c : cases )
    {
        const auto [distance, on_segment, on_triangle] =
            orvane::segment_triangle_distance( c.segment, triangle );
        EXPECT_NEAR( distance, c.distance, 1e-15 ) << c.name;
        EXPECT_NEAR( orvane::point_point_distance( on_segment, on_triangle ),
            distance, 1e-15 )
            << c.name;
    }

    const orvane::Tetrahedron tetrahedron{ P3{ { 0, 0, 0 } },
        P3{ { 1, 0, 0 } }, P3{ { 0, 1, 0 } }, P3{ { 0, 0, 1 } } };
    struct TetrahedronCase
    {
        P3 point;
        double distance;
    };
    const TetrahedronCase tetrahedron_cases[] = {
        { P3{ { 0.1, 0.1, 0.1 } }, 0 },
        { P3{ { 0, 0, 0 } }, 0 },
        { P3{ { 0.5, 0.5, 0 } }, 0 },
        { P3{ { 0.2, 0.2, -1 } }, 1 },
        { P3{ { 1, 1, 1 } }, 2 / std::sqrt( 3. ) },
        { P3{ { -1, 0, 0 } }, 1 },
    };
    for( const auto& c : tetrahedron_cases )
    {
        for( const auto& t : { tetrahedron,
                 orvane::Tetrahedron{ tetrahedron.vertices()[1],
                     tetrahedron.vertices()[0], tetrahedron.vertices()[2],
                     tetrahedron.vertices()[3] } } )
        {
            const auto [distance, closest] =
                orvane::point_tetrahedron_distance( c.point, t );
            EXPECT_NEAR( distance, c.distance, 1e-15 ) << c.point.string();
            if( c.distance == 0 )
            {
                EXPECT_EQ( closest, c.point );
            }
        }
    }
}

TEST( Distance, PlaneAndProjections )
{
    const orvane::Plane plane{ V3{ { 0, 0, 2 } }, P3{ { 0, 0, 1 } } };
    const auto [distance, projected] =
        orvane::point_plane_distance( P3{ { 3, 4, -2 } }, plane );
    EXPECT_EQ( distance, 3 );
    EXPECT_EQ( projected, P3( { 3, 4, 1 } ) );
    EXPECT_EQ( std::get< 0 >( orvane::point_plane_signed_distance(
                   P3{ { 3, 4, -2 } }, plane ) ),
        -3 );
    EXPECT_EQ( orvane::point_plane_projection( P3{ { 3, 4, 7 } }, plane ),
        P3( { 3, 4, 1 } ) );
    EXPECT_EQ( orvane::point_line_projection( P3{ { 3, 4, 7 } },
                   orvane::InfiniteLine3D{ V3{ { 0, 0, 3 } }, P3{} } ),
        P3( { 0, 0, 7 } ) );
}

TEST( Distance, ProjectionIsTheClosestPointOnRandomTriangles )
{
    // The projection is no farther than any sampled point of the triangle.
    std::mt19937 random{ 3 };
    std::uniform_real_distribution< double > coordinate{ -1, 1 };
    std::uniform_real_distribution< double > unit{ 0, 1 };
    const auto random_point = [&] {
        return P3{ { coordinate( random ), coordinate( random ),
            coordinate( random ) } };
    };
    for( int i = 0; i < 200; i++ )
    {
        const orvane::Triangle3D triangle{ random_point(), random_point(),
            random_point() };
        const auto point = random_point() * 2;
        const auto [distance, closest] =
            orvane::point_triangle_distance( point, triangle );
        const auto coordinates =
            orvane::safe_triangle_barycentric_coordinates( closest, triangle );
        for( const auto value : coordinates )
        {
            EXPECT_GE( value, -1e-9 );
        }
        for( int k = 0; k < 50; k++ )
        {
            double u = unit( random );
            double v = unit( random );
            if( u + v > 1 )
            {
                u = 1 - u;
                v = 1 - v;
            }
            const auto& t = triangle.vertices();
            const auto sample = t[0] + ( t[1] - t[0] ) * u + ( t[2] - t[0] ) * v;
            EXPECT_LE( distance,
                orvane::point_point_distance( point, sample ) + 1e-12 );
        }
    }
}
