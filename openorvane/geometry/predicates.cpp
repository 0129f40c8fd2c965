#include <openorvane/geometry/predicates.hpp>

#include <array>
#include <cmath>
#include <initializer_list>
#include <limits>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/exception.hpp>

// The adaptive filters below are the classic dynamic error bounds; when a
// filter cannot decide, the sign comes from an exact expansion computed here.
// Nothing is shared with the tetrahedralisation library, whose own
// predicates keep process-wide constants and filters that every
// tetrahedralisation rewrites while it starts: the answers here never depend
// on it, whatever runs on other threads.

namespace
{
    constexpr double EPSILON = std::numeric_limits< double >::epsilon() / 2.;
    constexpr double CCW_ERROR_BOUND_A = ( 3.0 + 16.0 * EPSILON ) * EPSILON;
    constexpr double O3D_ERROR_BOUND_A = ( 7.0 + 56.0 * EPSILON ) * EPSILON;
    /// Rounding of n . (p - o) in doubles: each term n_i (p_i - o_i) is off
    /// by at most 2 eps of itself, the two additions by at most 2 eps of the
    /// sum of the terms' magnitudes; the margin covers the second-order terms
    /// and the rounding of the bound itself.
    constexpr double PLANE_SIDE_ERROR_BOUND = ( 8.0 + 64.0 * EPSILON ) * EPSILON;
    /// Below this sum of magnitudes a product may have lost relative
    /// precision to underflow: the exact sum decides.
    constexpr double PLANE_SIDE_MIN_MAGNITUDE = 1e-200;

    /// Called when a predicate meets a value that is not finite: throws,
    /// naming a non-finite coordinate when there is one, and otherwise the
    /// overflow of coordinates beyond the supported range.
    [[noreturn]] void refuse_coordinates(
        const char* predicate, std::initializer_list< double > coordinates, const char* bound )
    {
        for( const auto coordinate : coordinates )
        {
            if( !std::isfinite( coordinate ) )
            {
                throw orvane::OpenOrvaneException{ "[", predicate,
                    "] Cannot give the sign of non-finite coordinates" };
            }
        }
        throw orvane::OpenOrvaneException{ "[", predicate,
            "] Coordinates too large for an exact sign: magnitudes up to ", bound,
            " are supported" };
    }

    orvane::SIDE side( double value )
    {
        if( value > 0 )
        {
            return orvane::SIDE::positive;
        }
        if( value < 0 )
        {
            return orvane::SIDE::negative;
        }
        return orvane::SIDE::zero;
    }

    /// An exact sum of doubles kept as a non-overlapping expansion (terms in
    /// increasing magnitude). Only its sign and leading term are read.
    class ExactSum
    {
    public:
        /// Adds a * (b - c) exactly.
        void add_product_of_difference( double a, double b, double c )
        {
            const auto [high, low] = two_diff( b, c );
            const auto [p1, e1] = two_product( a, high );
            const auto [p2, e2] = two_product( a, low );
            add( p1 );
            add( e1 );
            add( p2 );
            add( e2 );
        }

        /// Adds s * a * b * c exactly, s being +1 or -1.
        void add_triple_product( double a, double b, double c, double s )
        {
            const auto [high, low] = two_product( a, b );
            const auto [p1, e1] = two_product( high, c );
            const auto [p2, e2] = two_product( low, c );
            add( s * p1 );
            add( s * e1 );
            add( s * p2 );
            add( s * e2 );
        }

        /// The most significant non-zero term: the sign of the sum and an
        /// approximation of its value (0 when the sum is exactly 0).
        double approximation() const
        {
            const auto side = sign();
            for( auto it = terms_.rbegin(); it != terms_.rend(); ++it )
            {
                if( *it != 0 )
                {
                    return side == orvane::SIDE::zero ? 0. : *it;
                }
            }
            return 0.;
        }

        orvane::SIDE sign() const
        {
            for( auto it = terms_.rbegin(); it != terms_.rend(); ++it )
            {
                if( !std::isfinite( *it ) )
                {
                    throw orvane::OpenOrvaneException{
                        "[exact sign] Cannot give the sign of non-finite or "
                        "overflowing values"
                    };
                }
                if( *it != 0 )
                {
                    return side( *it );
                }
            }
            return orvane::SIDE::zero;
        }

        struct Pair
        {
            double high;
            double low;
        };

        static Pair two_sum( double a, double b )
        {
            const double x = a + b;
            const double b_virtual = x - a;
            const double a_virtual = x - b_virtual;
            return { x, ( a - a_virtual ) + ( b - b_virtual ) };
        }

        static Pair two_diff( double a, double b )
        {
            const double x = a - b;
            const double b_virtual = a - x;
            const double a_virtual = x + b_virtual;
            return { x, ( a - a_virtual ) + ( b_virtual - b ) };
        }

    private:
        static Pair split( double a )
        {
            constexpr double SPLITTER = 134217729.0; // 2^27 + 1
            const double c = SPLITTER * a;
            const double a_big = c - a;
            const double high = c - a_big;
            return { high, a - high };
        }

        static Pair two_product( double a, double b )
        {
            const double x = a * b;
            const auto [a_high, a_low] = split( a );
            const auto [b_high, b_low] = split( b );
            const double error1 = x - ( a_high * b_high );
            const double error2 = error1 - ( a_low * b_high );
            const double error3 = error2 - ( a_high * b_low );
            return { x, ( a_low * b_low ) - error3 };
        }

        void add( double value )
        {
            double q = value;
            for( auto& term : terms_ )
            {
                const auto [sum, error] = two_sum( q, term );
                term = error;
                q = sum;
            }
            terms_.push_back( q );
        }

    private:
        absl::InlinedVector< double, 16 > terms_;
    };

    /// The exact determinant of the rows pa - pd, pb - pd, pc - pd (only
    /// its sign and leading term are exact). When the nine differences are
    /// exact (as for close or aligned coordinates), the products of the
    /// differences are summed; otherwise the determinant is expanded in the
    /// raw coordinates: det(a - d, b - d, c - d) = det(a, b, c) - det(d, b,
    /// c) - det(a, d, c) - det(a, b, d).
    double exact_orient3d( const std::array< double, 3 >& pa,
        const std::array< double, 3 >& pb,
        const std::array< double, 3 >& pc,
        const std::array< double, 3 >& pd )
    {
        using Row = std::array< double, 3 >;
        // Adds s * det(p, q, r), rows p, q, r.
        const auto add_determinant = []( ExactSum& sum, const Row& p, const Row& q,
                                         const Row& r, double s ) {
            sum.add_triple_product( p[0], q[1], r[2], s );
            sum.add_triple_product( p[0], q[2], r[1], -s );
            sum.add_triple_product( p[1], q[2], r[0], s );
            sum.add_triple_product( p[1], q[0], r[2], -s );
            sum.add_triple_product( p[2], q[0], r[1], s );
            sum.add_triple_product( p[2], q[1], r[0], -s );
        };
        Row a;
        Row b;
        Row c;
        bool exact_differences = true;
        for( const int k : { 0, 1, 2 } )
        {
            const auto da = ExactSum::two_diff( pa[k], pd[k] );
            const auto db = ExactSum::two_diff( pb[k], pd[k] );
            const auto dc = ExactSum::two_diff( pc[k], pd[k] );
            a[k] = da.high;
            b[k] = db.high;
            c[k] = dc.high;
            exact_differences =
                exact_differences && da.low == 0 && db.low == 0 && dc.low == 0;
        }
        ExactSum sum;
        if( exact_differences )
        {
            add_determinant( sum, a, b, c, 1. );
        }
        else
        {
            add_determinant( sum, pa, pb, pc, 1. );
            add_determinant( sum, pd, pb, pc, -1. );
            add_determinant( sum, pa, pd, pc, -1. );
            add_determinant( sum, pa, pb, pd, -1. );
        }
        return sum.approximation();
    }

    template < orvane::index_t dimension >
    bool are_collinear( const orvane::Point< dimension >& a,
        const orvane::Point< dimension >& b,
        const orvane::Point< dimension >& c )
    {
        if constexpr( dimension == 2 )
        {
            return orvane::detail::orient2d( a, b, c ) == 0;
        }
        else
        {
            const orvane::Triangle< 3 > triangle{ a, b, c };
            for( const orvane::local_index_t axis : { 0, 1, 2 } )
            {
                if( orvane::triangle_area_sign( triangle, axis )
                    != orvane::SIDE::zero )
                {
                    return false;
                }
            }
            return true;
        }
    }

    orvane::Point< 2 > project( const orvane::Point< 3 >& point,
        orvane::local_index_t axis )
    {
        return orvane::Point< 2 >{ { point.value( ( axis + 1 ) % 3 ),
            point.value( ( axis + 2 ) % 3 ) } };
    }

    orvane::POSITION degenerate_triangle_position(
        const orvane::Point< 2 >& point, const orvane::Triangle< 2 >& triangle )
    {
        const auto& vertices = triangle.vertices();
        for( const orvane::local_index_t v : { 0, 1, 2 } )
        {
            if( point == vertices[v] )
            {
                return orvane::detail::vertex_position( v );
            }
        }
        for( const orvane::local_index_t e : { 0, 1, 2 } )
        {
            const orvane::Segment< 2 > edge{ vertices[e],
                vertices[( e + 1 ) % 3] };
            if( orvane::point_segment_position( point, edge )
                == orvane::POSITION::inside )
            {
                return orvane::detail::edge_position( e );
            }
        }
        return orvane::POSITION::outside;
    }

    orvane::POSITION triangle_position_2d(
        const orvane::Point< 2 >& point, const orvane::Triangle< 2 >& triangle )
    {
        const auto& vertices = triangle.vertices();
        const auto orientation = orvane::triangle_area_sign( triangle );
        if( orientation == orvane::SIDE::zero )
        {
            return degenerate_triangle_position( point, triangle );
        }
        std::array< orvane::SIDE, 3 > sides;
        for( const orvane::local_index_t e : { 0, 1, 2 } )
        {
            sides[e] = side( orvane::detail::orient2d(
                vertices[e], vertices[( e + 1 ) % 3], point ) );
            if( orientation == orvane::SIDE::negative )
            {
                sides[e] = orvane::opposite_side( sides[e] );
            }
            if( sides[e] == orvane::SIDE::negative )
            {
                return orvane::POSITION::outside;
            }
        }
        const bool on0 = sides[0] == orvane::SIDE::zero;
        const bool on1 = sides[1] == orvane::SIDE::zero;
        const bool on2 = sides[2] == orvane::SIDE::zero;
        // Edge e joins vertices e and e + 1, so vertex v lies on edges
        // v - 1 and v.
        if( on2 && on0 )
        {
            return orvane::POSITION::vertex0;
        }
        if( on0 && on1 )
        {
            return orvane::POSITION::vertex1;
        }
        if( on1 && on2 )
        {
            return orvane::POSITION::vertex2;
        }
        if( on0 )
        {
            return orvane::POSITION::edge0;
        }
        if( on1 )
        {
            return orvane::POSITION::edge1;
        }
        if( on2 )
        {
            return orvane::POSITION::edge2;
        }
        return orvane::POSITION::inside;
    }
} // namespace

namespace orvane
{
    namespace detail
    {
        void initialize_predicates()
        {
            // Thread-safe one-time set-up of the predicates' constants.
            // The exact stages use compile-time constants only.
        }

        double orient2d(
            const Point< 2 >& a, const Point< 2 >& b, const Point< 2 >& c )
        {
            initialize_predicates();
            const double left = ( a.value( 0 ) - c.value( 0 ) )
                                * ( b.value( 1 ) - c.value( 1 ) );
            const double right = ( a.value( 1 ) - c.value( 1 ) )
                                 * ( b.value( 0 ) - c.value( 0 ) );
            const double det = left - right;
            // A finite det means finite products, hence finite inputs; any
            // other value (NaN input, infinity, overflow) is refused below.
            if( std::isfinite( det ) )
            {
                double detsum;
                if( left > 0 )
                {
                    if( right <= 0 )
                    {
                        return det;
                    }
                    detsum = left + right;
                }
                else if( left < 0 )
                {
                    if( right >= 0 )
                    {
                        return det;
                    }
                    detsum = -left - right;
                }
                else
                {
                    return det;
                }
                const double error_bound = CCW_ERROR_BOUND_A * detsum;
                if( det >= error_bound || -det >= error_bound )
                {
                    return det;
                }
                if( std::isfinite( detsum ) )
                {
                    // det = ax (by - cy) + bx (cy - ay) + cx (ay - by),
                    // summed exactly.
                    ExactSum sum;
                    sum.add_product_of_difference( a.value( 0 ), b.value( 1 ), c.value( 1 ) );
                    sum.add_product_of_difference( b.value( 0 ), c.value( 1 ), a.value( 1 ) );
                    sum.add_product_of_difference( c.value( 0 ), a.value( 1 ), b.value( 1 ) );
                    return sum.approximation();
                }
            }
            refuse_coordinates( "orient2d",
                { a.value( 0 ), a.value( 1 ), b.value( 0 ), b.value( 1 ),
                    c.value( 0 ), c.value( 1 ) },
                "1e150" );
        }

        double orient3d( const Point< 3 >& a,
            const Point< 3 >& b,
            const Point< 3 >& c,
            const Point< 3 >& d )
        {
            initialize_predicates();
            // The classic orient3d(p0, p1, p2, p3) is positive when p3 lies
            // below the counter-clockwise plane (p0, p1, p2); (a, d, c, b)
            // gives the sign of (b - a).((c - a) x (d - a)).
            std::array< double, 3 > pa{ a.value( 0 ), a.value( 1 ),
                a.value( 2 ) };
            std::array< double, 3 > pb{ d.value( 0 ), d.value( 1 ),
                d.value( 2 ) };
            std::array< double, 3 > pc{ c.value( 0 ), c.value( 1 ),
                c.value( 2 ) };
            std::array< double, 3 > pd{ b.value( 0 ), b.value( 1 ),
                b.value( 2 ) };
            const double adx = pa[0] - pd[0];
            const double bdx = pb[0] - pd[0];
            const double cdx = pc[0] - pd[0];
            const double ady = pa[1] - pd[1];
            const double bdy = pb[1] - pd[1];
            const double cdy = pc[1] - pd[1];
            const double adz = pa[2] - pd[2];
            const double bdz = pb[2] - pd[2];
            const double cdz = pc[2] - pd[2];
            const double bdxcdy = bdx * cdy;
            const double cdxbdy = cdx * bdy;
            const double cdxady = cdx * ady;
            const double adxcdy = adx * cdy;
            const double adxbdy = adx * bdy;
            const double bdxady = bdx * ady;
            const double det = adz * ( bdxcdy - cdxbdy )
                               + bdz * ( cdxady - adxcdy )
                               + cdz * ( adxbdy - bdxady );
            const double permanent =
                ( std::fabs( bdxcdy ) + std::fabs( cdxbdy ) ) * std::fabs( adz )
                + ( std::fabs( cdxady ) + std::fabs( adxcdy ) )
                      * std::fabs( bdz )
                + ( std::fabs( adxbdy ) + std::fabs( bdxady ) )
                      * std::fabs( cdz );
            const double error_bound = O3D_ERROR_BOUND_A * permanent;
            if( det > error_bound || -det > error_bound )
            {
                return det;
            }
            // A NaN or infinite input, or products overflowing, make the
            // permanent non-finite; the exact stage would answer zero.
            if( !std::isfinite( permanent ) )
            {
                refuse_coordinates( "orient3d",
                    { pa[0], pa[1], pa[2], pb[0], pb[1], pb[2], pc[0], pc[1],
                        pc[2], pd[0], pd[1], pd[2] },
                    "1e100" );
            }
            // Points on one plane square to an axis, or a repeated point,
            // give a zero column or row of differences, so an exactly zero
            // determinant: with gradual underflow, the difference of two
            // doubles is zero only when they are equal. This spares the
            // exact stage, slow on such inputs, which flat pieces of models
            // (horizontal layers, box sides) give often.
            if( ( adx == 0 && bdx == 0 && cdx == 0 ) || ( ady == 0 && bdy == 0 && cdy == 0 )
                || ( adz == 0 && bdz == 0 && cdz == 0 ) || ( adx == 0 && ady == 0 && adz == 0 )
                || ( bdx == 0 && bdy == 0 && bdz == 0 ) || ( cdx == 0 && cdy == 0 && cdz == 0 ) )
            {
                return 0.;
            }
            return exact_orient3d( pa, pb, pc, pd );
        }

        SIDE dot_product_sign(
            const Vector< 3 >& vector0, const Vector< 3 >& vector1 )
        {
            ExactSum sum;
            for( const local_index_t i : { 0, 1, 2 } )
            {
                sum.add_product_of_difference(
                    vector0.value( i ), vector1.value( i ), 0. );
            }
            return sum.sign();
        }
    } // namespace detail

    SIDE opposite_side( SIDE side )
    {
        if( side == SIDE::positive )
        {
            return SIDE::negative;
        }
        if( side == SIDE::negative )
        {
            return SIDE::positive;
        }
        return SIDE::zero;
    }

    SIDE triangle_area_sign( const Triangle< 2 >& triangle )
    {
        const auto& vertices = triangle.vertices();
        return side( detail::orient2d( vertices[0], vertices[1], vertices[2] ) );
    }

    SIDE triangle_area_sign( const Triangle< 3 >& triangle, local_index_t axis )
    {
        const auto& vertices = triangle.vertices();
        return side( detail::orient2d( project( vertices[0], axis ),
            project( vertices[1], axis ), project( vertices[2], axis ) ) );
    }

    SIDE tetrahedron_volume_sign( const Tetrahedron& tetrahedron )
    {
        const auto& vertices = tetrahedron.vertices();
        return side( detail::orient3d(
            vertices[0], vertices[1], vertices[2], vertices[3] ) );
    }

    SIDE point_side_to_plane( const Point< 3 >& point, const Plane& plane )
    {
        // Filter: a sum in doubles farther from zero than its rounding bound
        // has the exact sign. Non-finite or tiny values fail the test and
        // take the exact sum, which refuses what cannot be signed.
        double approximation{ 0 };
        double magnitude{ 0 };
        for( const local_index_t i : { 0, 1, 2 } )
        {
            const auto term = plane.normal().value( i )
                              * ( point.value( i ) - plane.origin().value( i ) );
            approximation += term;
            magnitude += std::fabs( term );
        }
        if( magnitude > PLANE_SIDE_MIN_MAGNITUDE && std::isfinite( magnitude ) )
        {
            const auto bound = PLANE_SIDE_ERROR_BOUND * magnitude;
            if( approximation > bound || approximation < -bound )
            {
                return side( approximation );
            }
        }
        ExactSum sum;
        for( const local_index_t i : { 0, 1, 2 } )
        {
            sum.add_product_of_difference( plane.normal().value( i ),
                point.value( i ), plane.origin().value( i ) );
        }
        return sum.sign();
    }

    SIDE point_side_to_line(
        const Point< 2 >& point, const InfiniteLine< 2 >& line )
    {
        // cross(direction, point - origin)
        const auto& direction = line.direction();
        const auto& origin = line.origin();
        ExactSum sum;
        sum.add_product_of_difference(
            direction.value( 0 ), point.value( 1 ), origin.value( 1 ) );
        sum.add_product_of_difference(
            -direction.value( 1 ), point.value( 0 ), origin.value( 0 ) );
        return sum.sign();
    }

    SIDE point_side_to_segment(
        const Point< 2 >& point, const Segment< 2 >& segment )
    {
        const auto& vertices = segment.vertices();
        return side( detail::orient2d( vertices[0], vertices[1], point ) );
    }

    template < index_t dimension >
    POSITION point_segment_position(
        const Point< dimension >& point, const Segment< dimension >& segment )
    {
        const auto& vertices = segment.vertices();
        if( point == vertices[0] )
        {
            return POSITION::vertex0;
        }
        if( point == vertices[1] )
        {
            return POSITION::vertex1;
        }
        if( vertices[0] == vertices[1]
            || !are_collinear( vertices[0], vertices[1], point ) )
        {
            return POSITION::outside;
        }
        // The point is on the segment's line: comparing one coordinate on
        // which the ends differ decides exactly.
        for( const auto i : { 0, 1, 2 } )
        {
            if( i >= static_cast< int >( dimension ) )
            {
                break;
            }
            const auto axis = static_cast< local_index_t >( i );
            const double p0 = vertices[0].value( axis );
            const double p1 = vertices[1].value( axis );
            if( p0 == p1 )
            {
                continue;
            }
            const double value = point.value( axis );
            const bool between = p0 < p1 ? ( p0 < value && value < p1 )
                                         : ( p1 < value && value < p0 );
            return between ? POSITION::inside : POSITION::outside;
        }
        return POSITION::outside;
    }

    POSITION point_triangle_position(
        const Point< 2 >& point, const Triangle< 2 >& triangle )
    {
        return triangle_position_2d( point, triangle );
    }

    POSITION point_triangle_position(
        const Point< 3 >& point, const Triangle< 3 >& triangle )
    {
        const auto& vertices = triangle.vertices();
        for( const local_index_t axis : { 2, 0, 1 } )
        {
            if( triangle_area_sign( triangle, axis ) == SIDE::zero )
            {
                continue;
            }
            if( detail::orient3d( vertices[0], vertices[1], vertices[2], point )
                != 0 )
            {
                return POSITION::outside;
            }
            // A projection along an axis on which the triangle does not
            // vanish keeps every incidence inside the triangle's plane.
            const Triangle< 2 > projected{ project( vertices[0], axis ),
                project( vertices[1], axis ), project( vertices[2], axis ) };
            return triangle_position_2d( project( point, axis ), projected );
        }
        // Degenerate triangle: the union of its edges.
        for( const local_index_t v : { 0, 1, 2 } )
        {
            if( point == vertices[v] )
            {
                return detail::vertex_position( v );
            }
        }
        for( const local_index_t e : { 0, 1, 2 } )
        {
            const Segment< 3 > edge{ vertices[e], vertices[( e + 1 ) % 3] };
            if( point_segment_position( point, edge ) == POSITION::inside )
            {
                return detail::edge_position( e );
            }
        }
        return POSITION::outside;
    }

    template POSITION point_segment_position(
        const Point< 2 >&, const Segment< 2 >& );
    template POSITION point_segment_position(
        const Point< 3 >&, const Segment< 3 >& );
} // namespace orvane
