#include <openorvane/geometry/distance.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include <openorvane/geometry/intersection.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/geometry/projection.hpp>

namespace
{
    /// Squared lengths at or below this are treated as points.
    constexpr double DEGENERATE_LENGTH2 =
        orvane::DIVISION_EPSILON * orvane::DIVISION_EPSILON;
} // namespace

namespace orvane
{
    template < index_t dimension >
    double point_point_distance(
        const Point< dimension >& point0, const Point< dimension >& point1 )
    {
        return Vector< dimension >{ point0, point1 }.length();
    }

    template < index_t dimension >
    std::tuple< double, Point< dimension > > point_segment_distance(
        const Point< dimension >& point, const Segment< dimension >& segment )
    {
        const auto closest = point_segment_projection( point, segment );
        return { point_point_distance( point, closest ), closest };
    }

    template < index_t dimension >
    std::tuple< double, Point< dimension >, Point< dimension > >
        segment_segment_distance( const Segment< dimension >& segment0,
            const Segment< dimension >& segment1 )
    {
        // Closest points of two segments: minimise over the parameters
        // (s, t) in [0, 1]^2, clamping one parameter then the other.
        const auto& p = segment0.vertices();
        const auto& q = segment1.vertices();
        const Vector< dimension > d1{ p[0], p[1] };
        const Vector< dimension > d2{ q[0], q[1] };
        const Vector< dimension > r{ q[0], p[0] };
        const double a = d1.length2();
        const double e = d2.length2();
        const double f = d2.dot( r );
        double s{ 0. };
        double t{ 0. };
        if( a <= DEGENERATE_LENGTH2 && e <= DEGENERATE_LENGTH2 )
        {
            s = 0.;
            t = 0.;
        }
        else if( a <= DEGENERATE_LENGTH2 )
        {
            s = 0.;
            t = std::clamp( f / e, 0., 1. );
        }
        else
        {
            const double c = d1.dot( r );
            if( e <= DEGENERATE_LENGTH2 )
            {
                t = 0.;
                s = std::clamp( -c / a, 0., 1. );
            }
            else
            {
                const double b = d1.dot( d2 );
                const double denominator = a * e - b * b;
                s = denominator > 0.
                        ? std::clamp( ( b * f - c * e ) / denominator, 0., 1. )
                        : 0.;
                t = ( b * s + f ) / e;
                if( t < 0. )
                {
                    t = 0.;
                    s = std::clamp( -c / a, 0., 1. );
                }
                else if( t > 1. )
                {
                    t = 1.;
                    s = std::clamp( ( b - c ) / a, 0., 1. );
                }
            }
        }
        const auto at = []( const std::array< Point< dimension >, 2 >& ends,
                            const Vector< dimension >& direction,
                            double parameter ) {
            if( parameter == 0. )
            {
                return ends[0];
            }
            if( parameter == 1. )
            {
                return ends[1];
            }
            return ends[0] + direction * parameter;
        };
        const auto closest0 = at( p, d1, s );
        const auto closest1 = at( q, d2, t );
        return { point_point_distance( closest0, closest1 ), closest0,
            closest1 };
    }

    template < index_t dimension >
    std::tuple< double, Point< dimension > > point_triangle_distance(
        const Point< dimension >& point, const Triangle< dimension >& triangle )
    {
        const auto closest = point_triangle_projection( point, triangle );
        return { point_point_distance( point, closest ), closest };
    }

    std::tuple< double, Point< 3 > > point_triangle_signed_distance(
        const Point< 3 >& point, const Triangle< 3 >& triangle )
    {
        const auto [distance, closest] = point_triangle_distance( point, triangle );
        const auto& v = triangle.vertices();
        if( triangle.normal()
            && detail::orient3d( v[0], v[1], v[2], point ) < 0 )
        {
            return { -distance, closest };
        }
        return { distance, closest };
    }

    std::tuple< double, Point< 3 >, Point< 3 > > segment_triangle_distance(
        const Segment< 3 >& segment, const Triangle< 3 >& triangle )
    {
        const auto crossing = segment_triangle_intersection( segment, triangle );
        if( crossing.has_intersection() )
        {
            return { 0., *crossing.result, *crossing.result };
        }
        // Otherwise the closest points involve a segment end or a triangle
        // edge (a coplanar touching segment reaches 0 through them too).
        const auto& s = segment.vertices();
        const auto& t = triangle.vertices();
        std::tuple< double, Point< 3 >, Point< 3 > > best{
            std::numeric_limits< double >::max(), s[0], t[0]
        };
        for( const auto& end : s )
        {
            const auto [distance, closest] = point_triangle_distance( end, triangle );
            if( distance < std::get< 0 >( best ) )
            {
                best = { distance, end, closest };
            }
        }
        for( const local_index_t e : { 0, 1, 2 } )
        {
            const auto result = segment_segment_distance(
                segment, Segment< 3 >{ t[e], t[( e + 1 ) % 3] } );
            if( std::get< 0 >( result ) < std::get< 0 >( best ) )
            {
                best = result;
            }
        }
        return best;
    }

    std::tuple< double, Point< 3 > > point_tetrahedron_distance(
        const Point< 3 >& point, const Tetrahedron& tetrahedron )
    {
        const auto& v = tetrahedron.vertices();
        const auto orientation = tetrahedron_volume_sign( tetrahedron );
        if( orientation != SIDE::zero )
        {
            bool inside{ true };
            for( const local_index_t replaced : { 0, 1, 2, 3 } )
            {
                auto sub = tetrahedron;
                sub.set_point( replaced, point );
                const auto side = tetrahedron_volume_sign( sub );
                if( side != SIDE::zero && side != orientation )
                {
                    inside = false;
                    break;
                }
            }
            if( inside )
            {
                return { 0., point };
            }
        }
        constexpr std::array< std::array< local_index_t, 3 >, 4 > FACETS{ {
            { 1, 3, 2 },
            { 0, 2, 3 },
            { 3, 1, 0 },
            { 0, 1, 2 },
        } };
        std::tuple< double, Point< 3 > > best{
            std::numeric_limits< double >::max(), v[0]
        };
        for( const auto& facet : FACETS )
        {
            const auto result = point_triangle_distance(
                point, Triangle< 3 >{ v[facet[0]], v[facet[1]], v[facet[2]] } );
            if( std::get< 0 >( result ) < std::get< 0 >( best ) )
            {
                best = result;
            }
        }
        return best;
    }

    std::tuple< double, Point< 3 > > point_plane_distance(
        const Point< 3 >& point, const Plane& plane )
    {
        const auto [distance, projected] =
            point_plane_signed_distance( point, plane );
        return { std::fabs( distance ), projected };
    }

    std::tuple< double, Point< 3 > > point_plane_signed_distance(
        const Point< 3 >& point, const Plane& plane )
    {
        const double distance =
            plane.normal().dot( Vector< 3 >{ plane.origin(), point } );
        return { distance, point - plane.normal() * distance };
    }

    template double point_point_distance( const Point< 2 >&, const Point< 2 >& );
    template double point_point_distance( const Point< 3 >&, const Point< 3 >& );
    template std::tuple< double, Point< 2 > > point_segment_distance(
        const Point< 2 >&, const Segment< 2 >& );
    template std::tuple< double, Point< 3 > > point_segment_distance(
        const Point< 3 >&, const Segment< 3 >& );
    template std::tuple< double, Point< 2 >, Point< 2 > >
        segment_segment_distance( const Segment< 2 >&, const Segment< 2 >& );
    template std::tuple< double, Point< 3 >, Point< 3 > >
        segment_segment_distance( const Segment< 3 >&, const Segment< 3 >& );
    template std::tuple< double, Point< 2 > > point_triangle_distance(
        const Point< 2 >&, const Triangle< 2 >& );
    template std::tuple< double, Point< 3 > > point_triangle_distance(
        const Point< 3 >&, const Triangle< 3 >& );
} // namespace orvane
