#include <openorvane/geometry/intersection.hpp>

#include <algorithm>
#include <cmath>

#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/intersection_detection.hpp>
#include <openorvane/geometry/predicates.hpp>

namespace
{
    using orvane::INTERSECTION_TYPE;
    using orvane::POSITION;

    /// The point at parameter d0 / (d0 - d1) between p and q, where d0 and
    /// d1 are the signed distances (of opposite signs) of p and q to a line
    /// or plane. The parameter is clamped to the segment.
    template < orvane::index_t dimension >
    orvane::Point< dimension > crossing_point( const orvane::Point< dimension >& p,
        const orvane::Point< dimension >& q,
        double d0,
        double d1 )
    {
        const double denominator = d0 - d1;
        double t = denominator != 0. ? d0 / denominator : 0.5;
        t = std::clamp( t, 0., 1. );
        if( t == 0. )
        {
            return p;
        }
        if( t == 1. )
        {
            return q;
        }
        return p + ( q - p ) * t;
    }

    double cross2( const orvane::Vector< 2 >& a, const orvane::Vector< 2 >& b )
    {
        return a.value( 0 ) * b.value( 1 ) - a.value( 1 ) * b.value( 0 );
    }

    /// The answer the detected position settles alone: no intersection,
    /// parallel, or the crossing at one of the given vertices; nullopt when
    /// the crossing point must be computed.
    template < typename Result, typename Vertices >
    std::optional< Result > settled_by_position(
        POSITION position, const Vertices& vertices )
    {
        if( position == POSITION::outside )
        {
            return Result{ INTERSECTION_TYPE::none };
        }
        if( position == POSITION::parallel )
        {
            return Result{ INTERSECTION_TYPE::parallel };
        }
        if( orvane::detail::is_vertex_position( position ) )
        {
            return Result{ vertices[orvane::detail::position_to_index( position )] };
        }
        return std::nullopt;
    }

    orvane::Point< 3 > triangle_plane_crossing( const orvane::Point< 3 >& p,
        const orvane::Point< 3 >& q,
        const orvane::Triangle< 3 >& triangle )
    {
        const auto& t = triangle.vertices();
        const auto normal = orvane::Vector< 3 >{ t[0], t[1] }.cross(
            orvane::Vector< 3 >{ t[0], t[2] } );
        return crossing_point( p, q, normal.dot( orvane::Vector< 3 >{ t[0], p } ),
            normal.dot( orvane::Vector< 3 >{ t[0], q } ) );
    }
} // namespace

namespace orvane
{
    IntersectionResult< Point< 2 > > segment_segment_intersection(
        const Segment< 2 >& segment0, const Segment< 2 >& segment1 )
    {
        using Result = IntersectionResult< Point< 2 > >;
        const auto [position0, position1] =
            segment_segment_intersection_detection( segment0, segment1 );
        const auto& a = segment0.vertices();
        const auto& b = segment1.vertices();
        if( const auto result = settled_by_position< Result >( position0, a ) )
        {
            return *result;
        }
        if( detail::is_vertex_position( position1 ) )
        {
            return Result{ b[detail::position_to_index( position1 )] };
        }
        const Vector< 2 > direction{ b[0], b[1] };
        return Result{ crossing_point( a[0], a[1],
            cross2( direction, Vector< 2 >{ b[0], a[0] } ),
            cross2( direction, Vector< 2 >{ b[0], a[1] } ) ) };
    }

    IntersectionResult< Point< 2 > > segment_line_intersection(
        const Segment< 2 >& segment, const InfiniteLine< 2 >& line )
    {
        using Result = IntersectionResult< Point< 2 > >;
        const auto position = segment_line_intersection_detection( segment, line );
        const auto& v = segment.vertices();
        if( const auto result = settled_by_position< Result >( position, v ) )
        {
            return *result;
        }
        return Result{ crossing_point( v[0], v[1],
            cross2( line.direction(), Vector< 2 >{ line.origin(), v[0] } ),
            cross2( line.direction(), Vector< 2 >{ line.origin(), v[1] } ) ) };
    }

    IntersectionResult< Point< 3 > > segment_plane_intersection(
        const Segment< 3 >& segment, const Plane& plane )
    {
        using Result = IntersectionResult< Point< 3 > >;
        const auto position =
            segment_plane_intersection_detection( segment, plane );
        const auto& v = segment.vertices();
        if( const auto result = settled_by_position< Result >( position, v ) )
        {
            return *result;
        }
        return Result{ crossing_point( v[0], v[1],
            plane.normal().dot( Vector< 3 >{ plane.origin(), v[0] } ),
            plane.normal().dot( Vector< 3 >{ plane.origin(), v[1] } ) ) };
    }

    IntersectionResult< Point< 3 > > line_plane_intersection(
        const InfiniteLine< 3 >& line, const Plane& plane )
    {
        using Result = IntersectionResult< Point< 3 > >;
        if( detail::dot_product_sign( line.direction(), plane.normal() )
            == SIDE::zero )
        {
            return Result{ INTERSECTION_TYPE::parallel };
        }
        if( point_side_to_plane( line.origin(), plane ) == SIDE::zero )
        {
            return Result{ line.origin() };
        }
        const double along = plane.normal().dot( line.direction() );
        if( along == 0. )
        {
            // Orthogonal only through rounding: the line meets the plane
            // far away, beyond what a double can place.
            return Result{ INTERSECTION_TYPE::parallel };
        }
        const double t =
            plane.normal().dot( Vector< 3 >{ line.origin(), plane.origin() } )
            / along;
        return Result{ line.origin() + line.direction() * t };
    }

    IntersectionResult< Point< 3 > > segment_triangle_intersection(
        const Segment< 3 >& segment, const Triangle< 3 >& triangle )
    {
        using Result = IntersectionResult< Point< 3 > >;
        const auto [on_segment, on_triangle] =
            segment_triangle_intersection_detection( segment, triangle );
        const auto& s = segment.vertices();
        if( const auto result = settled_by_position< Result >( on_segment, s ) )
        {
            return *result;
        }
        if( detail::is_vertex_position( on_triangle ) )
        {
            return Result{
                triangle.vertices()[detail::position_to_index( on_triangle )]
            };
        }
        return Result{ triangle_plane_crossing( s[0], s[1], triangle ) };
    }

    IntersectionResult< Point< 3 > > line_triangle_intersection(
        const InfiniteLine< 3 >& line, const Triangle< 3 >& triangle )
    {
        using Result = IntersectionResult< Point< 3 > >;
        const auto position = line_triangle_intersection_detection( line, triangle );
        const auto& t = triangle.vertices();
        if( const auto result = settled_by_position< Result >( position, t ) )
        {
            return *result;
        }
        if( detail::orient3d( t[0], t[1], t[2], line.origin() ) == 0 )
        {
            return Result{ line.origin() };
        }
        const auto normal =
            Vector< 3 >{ t[0], t[1] }.cross( Vector< 3 >{ t[0], t[2] } );
        const double along = normal.dot( line.direction() );
        if( along == 0. )
        {
            return Result{ INTERSECTION_TYPE::parallel };
        }
        const double parameter =
            normal.dot( Vector< 3 >{ line.origin(), t[0] } ) / along;
        return Result{ line.origin() + line.direction() * parameter };
    }

    IntersectionResult< absl::InlinedVector< Point< 3 >, 2 > >
        segment_sphere_intersection(
            const Segment< 3 >& segment, const Sphere< 3 >& sphere )
    {
        using Points = absl::InlinedVector< Point< 3 >, 2 >;
        using Result = IntersectionResult< Points >;
        const auto& v = segment.vertices();
        const auto& centre = sphere.origin();
        const double radius = sphere.radius();
        // Parameters along the segment of the points found.
        absl::InlinedVector< std::pair< double, Point< 3 > >, 4 > found;
        for( const local_index_t e : { 0, 1 } )
        {
            if( e == 1 && v[1] == v[0] )
            {
                break;
            }
            if( point_point_distance( v[e], centre ) == radius )
            {
                found.emplace_back( static_cast< double >( e ), v[e] );
            }
        }
        const Vector< 3 > direction{ v[0], v[1] };
        const double a = direction.length2();
        if( v[0] != v[1] && a > 0. )
        {
            const Vector< 3 > from_centre{ centre, v[0] };
            const double b = from_centre.dot( direction );
            const double c = from_centre.length2() - radius * radius;
            const double discriminant = b * b - a * c;
            if( discriminant >= 0. )
            {
                // Stable roots of a t^2 + 2 b t + c = 0.
                const double root = std::sqrt( discriminant );
                const double q = b >= 0. ? -( b + root ) : -( b - root );
                absl::InlinedVector< double, 2 > parameters;
                if( q != 0. )
                {
                    parameters.push_back( q / a );
                    if( discriminant > 0. )
                    {
                        parameters.push_back( c / q );
                    }
                }
                else
                {
                    parameters.push_back( 0. );
                }
                // Roots that miss the segment by a rounding step are kept
                // at the nearest end.
                constexpr double PARAMETER_SLACK = 1e-12;
                for( const double t : parameters )
                {
                    if( t < -PARAMETER_SLACK || t > 1. + PARAMETER_SLACK )
                    {
                        continue;
                    }
                    const double clamped = std::clamp( t, 0., 1. );
                    const Point< 3 > point = clamped == 0.   ? v[0]
                                             : clamped == 1. ? v[1]
                                                             : v[0] + direction * clamped;
                    const bool duplicate = std::any_of( found.begin(),
                        found.end(), [&point]( const auto& entry ) {
                            return entry.second.inexact_equal( point );
                        } );
                    if( !duplicate )
                    {
                        found.emplace_back( clamped, point );
                    }
                }
            }
        }
        if( found.empty() )
        {
            return Result{ INTERSECTION_TYPE::none };
        }
        std::stable_sort( found.begin(), found.end(),
            []( const auto& lhs, const auto& rhs ) {
                return lhs.first < rhs.first;
            } );
        Points points;
        for( const auto& entry : found )
        {
            points.push_back( entry.second );
        }
        return Result{ std::move( points ) };
    }

    std::optional< absl::InlinedVector< Point< 3 >, 2 > >
        triangle_circle_intersection(
            const Triangle< 3 >& triangle, const Circle& circle )
    {
        const auto& plane = circle.plane();
        const auto& t = triangle.vertices();
        std::array< SIDE, 3 > sides;
        for( const local_index_t v : { 0, 1, 2 } )
        {
            sides[v] = point_side_to_plane( t[v], plane );
        }
        if( sides[0] == sides[1] && sides[1] == sides[2] )
        {
            // Coplanar (arcs) or entirely on one side.
            return std::nullopt;
        }
        // The part of the triangle in the circle's plane: a segment or a
        // point, made of vertices on the plane and edge crossings.
        absl::InlinedVector< Point< 3 >, 3 > section;
        for( const local_index_t v : { 0, 1, 2 } )
        {
            if( sides[v] == SIDE::zero )
            {
                section.push_back( t[v] );
            }
        }
        for( const local_index_t e : { 0, 1, 2 } )
        {
            const auto next = static_cast< local_index_t >( ( e + 1 ) % 3 );
            if( sides[e] != SIDE::zero && sides[next] != SIDE::zero
                && sides[e] != sides[next] )
            {
                section.push_back( crossing_point( t[e], t[next],
                    plane.normal().dot( Vector< 3 >{ plane.origin(), t[e] } ),
                    plane.normal().dot(
                        Vector< 3 >{ plane.origin(), t[next] } ) ) );
            }
        }
        if( section.empty() )
        {
            return std::nullopt;
        }
        const Segment< 3 > chord{ section.front(), section.back() };
        const auto hits = segment_sphere_intersection(
            chord, Sphere< 3 >{ plane.origin(), circle.radius() } );
        if( !hits.has_intersection() )
        {
            return std::nullopt;
        }
        return hits.result;
    }
} // namespace orvane
