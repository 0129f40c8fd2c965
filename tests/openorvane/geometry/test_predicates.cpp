#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <random>
#include <thread>
#include <vector>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/predicates.hpp>

// The exact-arithmetic routines of the tetrahedralisation library, used as
// a reference.
void exactinit( int, int, int, double, double, double );
double orient3dexact( double*, double*, double*, double* );

namespace
{
    using orvane::POSITION;
    using orvane::SIDE;
    using P2 = orvane::Point2D;
    using P3 = orvane::Point3D;

    const char* name( SIDE side )
    {
        switch( side )
        {
        case SIDE::positive:
            return "positive";
        case SIDE::negative:
            return "negative";
        default:
            return "zero";
        }
    }
} // namespace

TEST( Predicates, TriangleAreaSign2D )
{
    struct Case
    {
        P2 a, b, c;
        SIDE expected;
    };
    const Case cases[] = {
        { P2{ { 0, 0 } }, P2{ { 1, 0 } }, P2{ { 0, 1 } }, SIDE::positive },
        { P2{ { 0, 0 } }, P2{ { 0, 1 } }, P2{ { 1, 0 } }, SIDE::negative },
        { P2{ { 0, 0 } }, P2{ { 1, 1 } }, P2{ { 2, 2 } }, SIDE::zero },
        { P2{ { 0, 0 } }, P2{ { 0, 0 } }, P2{ { 2, 2 } }, SIDE::zero },
        // Tiny but exact offsets that a plain floating-point sign gets
        // wrong or calls zero.
        { P2{ { 0, 0 } }, P2{ { 1, 0 } }, P2{ { 0.5, 1e-300 } },
            SIDE::positive },
        // On y = x exactly, whatever the decimal values round to.
        { P2{ { 0.1, 0.1 } }, P2{ { 0.3, 0.3 } }, P2{ { 0.7, 0.7 } },
            SIDE::zero },
        // One ulp above y = x at 0.7.
        { P2{ { 0.1, 0.1 } }, P2{ { 0.3, 0.3 } },
            P2{ { 0.7, std::nextafter( 0.7, 1. ) } }, SIDE::positive },
        { P2{ { 1e10, 1e10 } }, P2{ { 1e10 + 1, 1e10 + 1 } },
            P2{ { 1e10 + 2, 1e10 + 2 } }, SIDE::zero },
    };
    for( const auto& c : cases )
    {
        EXPECT_EQ( orvane::triangle_area_sign( { c.a, c.b, c.c } ), c.expected )
            << c.a.string() << " / " << c.b.string() << " / " << c.c.string()
            << " gave " << name( orvane::triangle_area_sign( { c.a, c.b, c.c } ) );
    }
}

TEST( Predicates, NearlyCollinearPointsAgreeWithExactArithmetic )
{
    // (0.1, 0.1), (0.3, 0.3), (0.7, 0.7) are not collinear as doubles: the
    // exact sign is the sign of an exactly computed determinant. Check that
    // the predicate agrees with a long-double-free exact reference: points
    // on y = x built from the same doubles are collinear exactly.
    std::mt19937 random{ 42 };
    std::uniform_real_distribution< double > coordinate{ -1, 1 };
    for( int i = 0; i < 1000; i++ )
    {
        const double x0 = coordinate( random );
        const double x1 = coordinate( random );
        const double x2 = coordinate( random );
        EXPECT_EQ( orvane::triangle_area_sign( { P2{ { x0, x0 } },
                       P2{ { x1, x1 } }, P2{ { x2, x2 } } } ),
            SIDE::zero );
        // Each point shifted by the smallest step keeps a definite sign,
        // and swapping two points flips it.
        const P2 a{ { x0, x0 } };
        const P2 b{ { x1, x1 } };
        const P2 c{ { x2, std::nextafter( x2, 2. ) } };
        const auto sign = orvane::triangle_area_sign( { a, b, c } );
        EXPECT_EQ( orvane::triangle_area_sign( { b, a, c } ),
            orvane::opposite_side( sign ) );
        EXPECT_EQ( sign == SIDE::zero, x0 == x1 );
    }
}

TEST( Predicates, TriangleAreaSign3DIsComponentOfCrossProduct )
{
    // (b - a) x (c - a) = (0, 0, 1) for the unit triangle in z = 0; rotate
    // the coordinates to reach the other axes.
    const orvane::Triangle3D xy{ P3{ { 0, 0, 0 } }, P3{ { 1, 0, 0 } },
        P3{ { 0, 1, 0 } } };
    EXPECT_EQ( orvane::triangle_area_sign( xy, 2 ), SIDE::positive );
    EXPECT_EQ( orvane::triangle_area_sign( xy, 0 ), SIDE::zero );
    EXPECT_EQ( orvane::triangle_area_sign( xy, 1 ), SIDE::zero );
    // Normal (1, 0, 0): y, z counter-clockwise.
    const orvane::Triangle3D yz{ P3{ { 0, 0, 0 } }, P3{ { 0, 1, 0 } },
        P3{ { 0, 0, 1 } } };
    EXPECT_EQ( orvane::triangle_area_sign( yz, 0 ), SIDE::positive );
    // Normal (0, 1, 0) needs (b - a) = z, (c - a) = x.
    const orvane::Triangle3D zx{ P3{ { 0, 0, 0 } }, P3{ { 0, 0, 1 } },
        P3{ { 1, 0, 0 } } };
    EXPECT_EQ( orvane::triangle_area_sign( zx, 1 ), SIDE::positive );
    const orvane::Triangle3D xz{ P3{ { 0, 0, 0 } }, P3{ { 1, 0, 0 } },
        P3{ { 0, 0, 1 } } };
    EXPECT_EQ( orvane::triangle_area_sign( xz, 1 ), SIDE::negative );
}

TEST( Predicates, TetrahedronVolumeSign )
{
    const P3 o{ { 0, 0, 0 } };
    const P3 x{ { 1, 0, 0 } };
    const P3 y{ { 0, 1, 0 } };
    const P3 z{ { 0, 0, 1 } };
    struct Case
    {
        orvane::Tetrahedron tetrahedron;
        SIDE expected;
    };
    const Case cases[] = {
        // Signed volume (b - a).((c - a) x (d - a)) / 6 = +1/6.
        { { o, x, y, z }, SIDE::positive },
        { { o, y, x, z }, SIDE::negative },
        { { x, y, z, o }, SIDE::negative },
        { { y, x, z, o }, SIDE::positive },
        // Exactly flat, and flat with a repeated vertex.
        { { o, x, y, P3{ { 0.3, 0.7, 0 } } }, SIDE::zero },
        { { o, x, x, z }, SIDE::zero },
        // 1e-17 off the plane z = 0 is below half an ulp of 1, yet exact.
        { { o, x, y, P3{ { 0.25, 0.25, 1e-17 } } }, SIDE::positive },
        { { o, x, y, P3{ { 0.25, 0.25, -1e-17 } } }, SIDE::negative },
        { { o, x, y, P3{ { 0.25, 0.25, 1e-300 } } }, SIDE::positive },
        // A plane x + y + z = 1 far from the origin, points exactly on it.
        { { P3{ { 1e8, -1e8 + 1, 0 } }, P3{ { 0, 1, 0 } }, P3{ { 0, 0, 1 } },
              P3{ { 0.5, 0.25, 0.25 } } },
            SIDE::zero },
    };
    for( const auto& c : cases )
    {
        const auto& v = c.tetrahedron.vertices();
        EXPECT_EQ( orvane::tetrahedron_volume_sign( c.tetrahedron ), c.expected )
            << v[0].string() << " / " << v[1].string() << " / "
            << v[2].string() << " / " << v[3].string();
    }
}

TEST( Predicates, ExactOnLargeNearlyCoplanarPointsWhateverTheLibrarySettings )
{
    // The tetrahedralisation library may switch on a static filter tuned
    // for coordinates below given bounds; with bounds of 1 its own orient3d
    // then errs on coordinates near 1000. Ours must not.
    exactinit( 0, 0, 0, 1., 1., 1. );
    const double s = 1e3;
    std::array< double, 3 > a{ 0.1 * s, 0.2 * s, 0.3 * s };
    std::array< double, 3 > b{ 0.7 * s, 0.11 * s, 0.5 * s };
    std::array< double, 3 > c{ 0.3 * s, 0.9 * s, 0.2 * s };
    const auto point = []( const std::array< double, 3 >& values ) {
        return P3{ values };
    };
    for( int i = 0; i < 20000; i++ )
    {
        const double t = ( i % 200 ) / 200.;
        const double u = ( i / 200 ) / 100.;
        std::array< double, 3 > d;
        for( int k = 0; k < 3; k++ )
        {
            d[k] = a[k] + ( b[k] - a[k] ) * t + ( c[k] - a[k] ) * u;
        }
        // The classic orient3d(a, b, c, d) has the opposite sign of the
        // signed volume of (a, b, c, d).
        const double reference =
            -orient3dexact( a.data(), b.data(), c.data(), d.data() );
        const SIDE expected = reference > 0   ? SIDE::positive
                              : reference < 0 ? SIDE::negative
                                              : SIDE::zero;
        ASSERT_EQ( orvane::tetrahedron_volume_sign(
                       { point( a ), point( b ), point( c ), point( d ) } ),
            expected )
            << i;
    }
}

TEST( Predicates, PointsOnAnAxisPlaneOrRepeatedAreCoplanarOthersNot )
{
    // Random points on a plane square to an axis, or with a repeated point,
    // are exactly coplanar; moving one of them off by the smallest step
    // gives the exact reference's sign, however small the volume.
    exactinit( 0, 0, 0, 1., 1., 1. );
    std::mt19937 engine{ 3 };
    std::uniform_real_distribution< double > coordinate{ -1e3, 1e3 };
    for( int i = 0; i < 3000; i++ )
    {
        std::array< std::array< double, 3 >, 4 > points;
        for( auto& point : points )
        {
            for( auto& value : point )
            {
                value = coordinate( engine );
            }
        }
        const int axis = i % 3;
        if( i % 4 == 3 )
        {
            points[( i / 4 ) % 4] = points[( i / 4 + 1 ) % 4];
        }
        else
        {
            for( auto& point : points )
            {
                point[axis] = points[0][axis];
            }
        }
        const auto as_tetrahedron = [&points] {
            return orvane::Tetrahedron{ P3{ points[0] }, P3{ points[1] }, P3{ points[2] },
                P3{ points[3] } };
        };
        ASSERT_EQ( orvane::tetrahedron_volume_sign( as_tetrahedron() ), SIDE::zero ) << i;
        auto& moved = points[i % 4][axis];
        moved = std::nextafter( moved, i % 2 ? 1e9 : -1e9 );
        const double reference = -orient3dexact(
            points[0].data(), points[1].data(), points[2].data(), points[3].data() );
        const SIDE expected = reference > 0   ? SIDE::positive
                              : reference < 0 ? SIDE::negative
                                              : SIDE::zero;
        ASSERT_EQ( orvane::tetrahedron_volume_sign( as_tetrahedron() ), expected ) << i;
    }
}

TEST( Predicates, PredicatesRunFromManyThreadsAtOnce )
{
    std::vector< std::thread > threads;
    std::vector< int > ok( 8, 0 );
    for( int t = 0; t < 8; t++ )
    {
        threads.emplace_back( [&ok, t] {
            int count = 0;
            for( int i = 0; i < 200; i++ )
            {
                count += orvane::tetrahedron_volume_sign(
                             { P3{ { 0, 0, 0 } }, P3{ { 1, 0, 0 } },
                                 P3{ { 0, 1, 0 } },
                                 P3{ { 0.5, 0.5, 1e-17 * ( i + 1 ) } } } )
                         == SIDE::positive;
            }
            ok[t] = count;
        } );
    }
    for( auto& thread : threads )
    {
        thread.join();
    }
    for( const auto count : ok )
    {
        EXPECT_EQ( count, 200 );
    }
}

TEST( Predicates, SideToPlaneIsExactForPointsWithinRoundingOfThePlane )
{
    // Coordinates in [2^20, 2^21) are multiples of 2^-32 and the unit normal's
    // components, at least 2^-9 in magnitude, multiples of 2^-61: the side
    // is exactly the sign of a sum of 128-bit integer products. Each point is
    // the one nearest the plane along z, moved by up to three ulps, so that
    // n . (p - o) is within a few roundings of zero.
    std::mt19937_64 random{ 20261211 };
    std::uniform_int_distribution< int > component{ -1000, 1000 };
    std::uniform_real_distribution< double > near_origin{ -256., 256. };
    std::uniform_real_distribution< double > origin{ 1.25, 1.75 };
    std::uniform_int_distribution< int > ulps{ -3, 3 };
    const auto scaled = []( double value, int exponent ) {
        return static_cast< std::int64_t >( std::ldexp( value, exponent ) );
    };
    std::array< int, 3 > answers{ 0, 0, 0 };
    int trials{ 0 };
    while( trials < 20000 )
    {
        const orvane::Vector3D direction{ { double( component( random ) ),
            double( component( random ) ), double( component( random ) ) } };
        if( direction.length() < 1 )
        {
            continue;
        }
        const P3 o{ { std::ldexp( origin( random ), 20 ),
            std::ldexp( origin( random ), 20 ), std::ldexp( origin( random ), 20 ) } };
        const orvane::Plane plane{ direction, o };
        const auto& n = plane.normal();
        if( std::fabs( n.value( 0 ) ) < 0x1p-9 || std::fabs( n.value( 1 ) ) < 0x1p-9
            || std::fabs( n.value( 2 ) ) < 0x1p-9 )
        {
            continue;
        }
        // Coordinates rounded to multiples of 2^-32.
        const auto on_grid = []( double value ) {
            return std::ldexp( std::nearbyint( std::ldexp( value, 32 ) ), -32 );
        };
        P3 p{ { on_grid( o.value( 0 ) + near_origin( random ) ),
            on_grid( o.value( 1 ) + near_origin( random ) ), 0. } };
        auto z = o.value( 2 )
                 - ( n.value( 0 ) * ( p.value( 0 ) - o.value( 0 ) )
                       + n.value( 1 ) * ( p.value( 1 ) - o.value( 1 ) ) )
                       / n.value( 2 );
        for( auto step = ulps( random ); step != 0; step += step > 0 ? -1 : 1 )
        {
            z = std::nextafter( z, step > 0 ? 1e300 : -1e300 );
        }
        p.set_value( 2, z );
        __int128 exact{ 0 };
        for( const orvane::local_index_t i : { 0, 1, 2 } )
        {
            exact += static_cast< __int128 >( scaled( n.value( i ), 61 ) )
                     * scaled( p.value( i ) - o.value( i ), 32 );
        }
        const auto expected =
            exact > 0 ? SIDE::positive : exact < 0 ? SIDE::negative : SIDE::zero;
        ASSERT_EQ( orvane::point_side_to_plane( p, plane ), expected )
            << "trial " << trials;
        answers[static_cast< int >( exact > 0 ) + static_cast< int >( exact >= 0 )]++;
        trials++;
    }
    // Both sides were met many times.
    EXPECT_GT( answers[0], 1000 );
    EXPECT_GT( answers[2], 1000 );
}

TEST( Predicates, SideToPlaneLineAndSegment )
{
    const orvane::Plane plane{ orvane::Vector3D{ { 0, 0, 2 } },
        P3{ { 0, 0, 1 } } };
    EXPECT_EQ( orvane::point_side_to_plane( P3{ { 5, 5, 2 } }, plane ),
        SIDE::positive );
    EXPECT_EQ( orvane::point_side_to_plane( P3{ { 5, 5, 0 } }, plane ),
        SIDE::negative );
    EXPECT_EQ( orvane::point_side_to_plane( P3{ { 5, -7, 1 } }, plane ),
        SIDE::zero );
    EXPECT_EQ(
        orvane::point_side_to_plane( P3{ { 5, -7, 1 + 2.3e-16 } }, plane ),
        SIDE::positive );
    // A tilted plane whose products round: still exact on the stored values.
    const orvane::Plane tilted{ orvane::Vector3D{ { 1, 1, 0 } },
        P3{ { 0.1, 0.2, 0 } } };
    EXPECT_EQ( orvane::point_side_to_plane( P3{ { 0.2, 0.1, 3 } }, tilted ),
        SIDE::zero );
    EXPECT_EQ( orvane::point_side_to_plane(
                   P3{ { 0.2, std::nextafter( 0.1, 1. ), 3 } }, tilted ),
        SIDE::positive );

    const orvane::InfiniteLine2D line{ orvane::Vector2D{ { 1, 0 } },
        P2{ { 0, 1 } } };
    EXPECT_EQ( orvane::point_side_to_line( P2{ { 7, 2 } }, line ),
        SIDE::positive );
    EXPECT_EQ( orvane::point_side_to_line( P2{ { -7, 0 } }, line ),
        SIDE::negative );
    EXPECT_EQ( orvane::point_side_to_line( P2{ { 1e9, 1 } }, line ),
        SIDE::zero );

    const orvane::Segment2D segment{ P2{ { 0, 0 } }, P2{ { 2, 2 } } };
    EXPECT_EQ( orvane::point_side_to_segment( P2{ { 0, 1 } }, segment ),
        SIDE::positive );
    EXPECT_EQ( orvane::point_side_to_segment( P2{ { 5, 5 } }, segment ),
        SIDE::zero );
    EXPECT_EQ( orvane::point_side_to_segment( P2{ { 1, 0 } }, segment ),
        SIDE::negative );
}

TEST( Predicates, PointSegmentPosition )
{
    const orvane::Segment3D segment{ P3{ { 0, 0, 0 } }, P3{ { 2, 2, 2 } } };
    struct Case
    {
        P3 point;
        POSITION expected;
    };
    const Case cases[] = {
        { P3{ { 0, 0, 0 } }, POSITION::vertex0 },
        { P3{ { 2, 2, 2 } }, POSITION::vertex1 },
        { P3{ { 1, 1, 1 } }, POSITION::inside },
        { P3{ { 3, 3, 3 } }, POSITION::outside },
        { P3{ { 1, 1, std::nextafter( 1., 2. ) } }, POSITION::outside },
    };
    for( const auto& c : cases )
    {
        EXPECT_EQ( orvane::point_segment_position( c.point, segment ),
            c.expected )
            << c.point.string();
    }
    const orvane::Segment2D vertical{ P2{ { 1, 3 } }, P2{ { 1, -1 } } };
    EXPECT_EQ( orvane::point_segment_position( P2{ { 1, 0 } }, vertical ),
        POSITION::inside );
    EXPECT_EQ( orvane::point_segment_position( P2{ { 1, -2 } }, vertical ),
        POSITION::outside );
    const orvane::Segment2D point_like{ P2{ { 1, 1 } }, P2{ { 1, 1 } } };
    EXPECT_EQ( orvane::point_segment_position( P2{ { 1, 1 } }, point_like ),
        POSITION::vertex0 );
    EXPECT_EQ( orvane::point_segment_position( P2{ { 1, 2 } }, point_like ),
        POSITION::outside );
}

TEST( Predicates, PointTrianglePosition )
{
    const P3 a{ { 0, 0, 1 } };
    const P3 b{ { 4, 0, 1 } };
    const P3 c{ { 0, 4, 1 } };
    struct Case
    {
        P3 point;
        POSITION expected;
    };
    const Case cases[] = {
        { a, POSITION::vertex0 },
        { b, POSITION::vertex1 },
        { c, POSITION::vertex2 },
        { P3{ { 2, 0, 1 } }, POSITION::edge0 },
        { P3{ { 2, 2, 1 } }, POSITION::edge1 },
        { P3{ { 0, 2, 1 } }, POSITION::edge2 },
        { P3{ { 1, 1, 1 } }, POSITION::inside },
        { P3{ { 3, 3, 1 } }, POSITION::outside },
        { P3{ { 1, 1, std::nextafter( 1., 2. ) } }, POSITION::outside },
        { P3{ { 5, 0, 1 } }, POSITION::outside },
    };
    for( const auto& orientation : { 0, 1 } )
    {
        // Both windings give the same answers.
        const orvane::Triangle3D triangle =
            orientation == 0 ? orvane::Triangle3D{ a, b, c }
                             : orvane::Triangle3D{ b, a, c };
        for( const auto& c_ : cases )
        {
            auto expected = c_.expected;
            if( orientation == 1 )
            {
                // Swapping vertices 0 and 1 renames vertices and edges.
                const POSITION renamed[] = { POSITION::outside,
                    POSITION::inside, POSITION::vertex1, POSITION::vertex0,
                    POSITION::vertex2, POSITION::outside, POSITION::edge0,
                    POSITION::edge2, POSITION::edge1 };
                const auto code = static_cast< unsigned >( expected );
                expected = renamed[code];
            }
            EXPECT_EQ(
                orvane::point_triangle_position( c_.point, triangle ), expected )
                << c_.point.string() << " winding " << orientation;
        }
    }
    // A vertical triangle (no area in the xy projection).
    const orvane::Triangle3D vertical{ P3{ { 0, 0, 0 } }, P3{ { 1, 0, 0 } },
        P3{ { 0, 0, 1 } } };
    EXPECT_EQ( orvane::point_triangle_position( P3{ { 0.25, 0, 0.25 } }, vertical ),
        POSITION::inside );
    EXPECT_EQ( orvane::point_triangle_position( P3{ { 0.5, 0, 0.5 } }, vertical ),
        POSITION::edge1 );
    // A flat triangle is the union of its edges.
    const orvane::Triangle3D flat{ P3{ { 0, 0, 0 } }, P3{ { 1, 1, 1 } },
        P3{ { 2, 2, 2 } } };
    EXPECT_EQ( orvane::point_triangle_position( P3{ { 0.5, 0.5, 0.5 } }, flat ),
        POSITION::edge0 );
    EXPECT_EQ( orvane::point_triangle_position( P3{ { 1, 1, 1 } }, flat ),
        POSITION::vertex1 );
    EXPECT_EQ( orvane::point_triangle_position( P3{ { 3, 3, 3 } }, flat ),
        POSITION::outside );
    // 2-D.
    const orvane::Triangle2D flat2{ P2{ { 0, 0 } }, P2{ { 2, 0 } },
        P2{ { 0, 2 } } };
    EXPECT_EQ( orvane::point_triangle_position( P2{ { 1, 1 } }, flat2 ),
        POSITION::edge1 );
    EXPECT_EQ( orvane::point_triangle_position( P2{ { 0.5, 0.5 } }, flat2 ),
        POSITION::inside );
}

TEST( Predicates, PositionIndex )
{
    EXPECT_EQ( orvane::detail::position_to_index( POSITION::vertex2 ), 2 );
    EXPECT_EQ( orvane::detail::position_to_index( POSITION::edge1 ), 1 );
    EXPECT_EQ( orvane::detail::position_to_index( POSITION::inside ),
        orvane::NO_LID );
    EXPECT_EQ( static_cast< unsigned >( POSITION::parallel ), 19u );
    EXPECT_EQ( static_cast< unsigned >( POSITION::edge0 ), 6u );
}

TEST( Predicates, NonFiniteCoordinatesAreRefused )
{
    // A NaN read as "exactly coplanar" would pass every degeneracy test.
    const auto nan = std::numeric_limits< double >::quiet_NaN();
    const auto infinity = std::numeric_limits< double >::infinity();
    for( const auto odd : { nan, infinity, -infinity } )
    {
        const P2 a{ { 0, 0 } };
        const P2 b{ { 1, 0 } };
        const P2 bad{ { odd, 0 } };
        EXPECT_THROW( orvane::triangle_area_sign( orvane::Triangle2D{ a, b, bad } ),
            orvane::OpenOrvaneException );
        EXPECT_THROW( orvane::triangle_area_sign( orvane::Triangle2D{ bad, a, b } ),
            orvane::OpenOrvaneException );
        const P3 o{ { 0, 0, 0 } };
        const P3 x{ { 1, 0, 0 } };
        const P3 y{ { 0, 1, 0 } };
        const P3 bad3{ { 0, 0, odd } };
        EXPECT_THROW( orvane::tetrahedron_volume_sign( orvane::Tetrahedron{ o, x, y, bad3 } ),
            orvane::OpenOrvaneException );
        EXPECT_THROW(
            orvane::triangle_area_sign( orvane::Triangle3D{ o, x, P3{ { odd, 1, 0 } } }, 2 ),
            orvane::OpenOrvaneException );
        const orvane::Plane plane{ orvane::Vector3D{ { 0, 0, 1 } }, o };
        EXPECT_THROW( orvane::point_side_to_plane( bad3, plane ), orvane::OpenOrvaneException );
    }
}

TEST( Predicates, HugeCoordinatesGiveTheRightSignOrThrow )
{
    // Within the documented range the signs stay exact; beyond it the
    // products overflow and the predicate throws instead of answering zero.
    for( const double scale : { 1e90, 1e100 } )
    {
        const orvane::Tetrahedron positive{ P3{ { 0, 0, 0 } }, P3{ { scale, 0, 0 } },
            P3{ { 0, scale, 0 } }, P3{ { 0, 0, scale } } };
        EXPECT_EQ( orvane::tetrahedron_volume_sign( positive ), SIDE::positive ) << scale;
    }
    const orvane::Tetrahedron huge{ P3{ { 1e150, 1e150, 1e150 } },
        P3{ { -1e150, 1e150, 1e150 } }, P3{ { 1e150, -1e150, 1e150 } },
        P3{ { 1e150, 1e150, -1e150 } } };
    try
    {
        EXPECT_EQ( orvane::tetrahedron_volume_sign( huge ), SIDE::negative );
    }
    catch( const orvane::OpenOrvaneException& error )
    {
        EXPECT_NE( std::string{ error.what() }.find( "too large" ), std::string::npos )
            << error.what();
    }
    EXPECT_EQ( orvane::triangle_area_sign( orvane::Triangle2D{ P2{ { 0, 0 } },
                   P2{ { 1e150, 0 } }, P2{ { 0, 1e150 } } } ),
        SIDE::positive );
    EXPECT_THROW( orvane::triangle_area_sign( orvane::Triangle2D{ P2{ { -1e300, -1e300 } },
                      P2{ { 1e300, -1e300 } }, P2{ { 0, 1e300 } } } ),
        orvane::OpenOrvaneException );
}

TEST( Predicates, SignsHoldWhileTheTetrahedraliserResetsItsConstants )
{
    // Every tetrahedralisation re-initialises the library's predicate
    // constants from scratch, going through transient values: signs that
    // need the exact stage must not depend on them.
    exactinit( 0, 0, 0, 1., 1., 1. );
    std::mt19937 random{ 7 };
    std::uniform_real_distribution< double > coordinate{ 0.1, 10. };
    struct Case
    {
        std::array< double, 3 > a, b, c, d;
        SIDE expected;
    };
    std::vector< Case > cases;
    for( int i = 0; i < 400; i++ )
    {
        Case c;
        for( int k = 0; k < 3; k++ )
        {
            c.a[k] = coordinate( random );
            c.b[k] = coordinate( random );
            c.c[k] = coordinate( random );
        }
        const double t = coordinate( random ) / 10.;
        const double u = coordinate( random ) / 10.;
        for( int k = 0; k < 3; k++ )
        {
            c.d[k] = c.a[k] + ( c.b[k] - c.a[k] ) * t + ( c.c[k] - c.a[k] ) * u;
        }
        const double reference =
            -orient3dexact( c.a.data(), c.b.data(), c.c.data(), c.d.data() );
        c.expected = reference > 0 ? SIDE::positive
                                   : reference < 0 ? SIDE::negative : SIDE::zero;
        cases.push_back( c );
    }
    std::atomic< bool > done{ false };
    std::thread resetter{ [&done] {
        double bound = 1.;
        while( !done.load() )
        {
            exactinit( 0, 0, 0, bound, bound, bound );
            bound = bound > 1e3 ? 1. : bound * 3.;
        }
    } };
    std::vector< std::thread > threads;
    std::vector< int > wrong( 4, 0 );
    for( int t = 0; t < 4; t++ )
    {
        threads.emplace_back( [&cases, &wrong, t] {
            for( int round = 0; round < 20; round++ )
            {
                for( const auto& c : cases )
                {
                    const auto side = orvane::tetrahedron_volume_sign(
                        { P3{ c.a }, P3{ c.b }, P3{ c.c }, P3{ c.d } } );
                    wrong[t] += side != c.expected;
                }
            }
        } );
    }
    for( auto& thread : threads )
    {
        thread.join();
    }
    done = true;
    resetter.join();
    exactinit( 0, 0, 0, 1., 1., 1. );
    for( const auto count : wrong )
    {
        EXPECT_EQ( count, 0 );
    }
}
