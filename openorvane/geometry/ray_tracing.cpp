#include <openorvane/geometry/ray_tracing.hpp>

#include <algorithm>
#include <array>
#include <cmath>

#include <openorvane/geometry/barycentric_coordinates.hpp>
#include <openorvane/geometry/intersection.hpp>
#include <openorvane/geometry/predicates.hpp>

namespace orvane
{
    RayTracing3D::RayTracing3D( PolygonPoints polygon_points, const Ray< 3 >& ray )
        : polygon_points_( std::move( polygon_points ) ), ray_( ray )
    {
    }

    bool RayTracing3D::operator()( index_t polygon )
    {
        const auto points = polygon_points_( polygon );
        for( std::size_t v = 2; v < points.size(); v++ )
        {
            const auto distance = hit_distance(
                Triangle< 3 >{ points[0], points[v - 1], points[v] } );
            if( !distance )
            {
                continue;
            }
            if( !closest_ || *distance < closest_->distance )
            {
                closest_ = PolygonDistance{ polygon, *distance };
            }
        }
        return false;
    }

    std::optional< RayTracing3D::PolygonDistance >
        RayTracing3D::closest_polygon() const
    {
        return closest_;
    }

    // The line is the one through the origin o and q = o + direction, as the
    // intersection test takes it; the hit H = o + s (q - o) is ahead when
    // s >= 0. Let a, b be two triangle vertices and c the third, and f the
    // exact orientation of (o, a, b, x): f is affine in x and vanishes at o,
    // a and b, so f(H) = s f(q) and also f(H) = w f(c), w being H's
    // barycentric coordinate on c. With w > 0, s has the sign of
    // f(c) f(q): two exact signs, no rounded magnitude compared. The vertex
    // with the largest coordinate (at least 1/3) is taken as c.
    bool RayTracing3D::is_hit_ahead(
        const Triangle< 3 >& triangle, const Point< 3 >& hit ) const
    {
        const auto& t = triangle.vertices();
        const auto& origin = ray_.origin();
        const auto second = origin + ray_.direction();
        const auto coordinates = safe_triangle_barycentric_coordinates( hit, triangle );
        std::array< local_index_t, 3 > order{ 0, 1, 2 };
        std::sort( order.begin(), order.end(), [&coordinates]( auto lhs, auto rhs ) {
            return coordinates[lhs] > coordinates[rhs];
        } );
        for( const auto c : order )
        {
            const auto& a = t[( c + 1 ) % 3];
            const auto& b = t[( c + 2 ) % 3];
            const double at_vertex = detail::orient3d( origin, a, b, t[c] );
            const double at_second = detail::orient3d( origin, a, b, second );
            if( at_vertex != 0 && at_second != 0 )
            {
                return ( at_vertex > 0 ) == ( at_second > 0 );
            }
        }
        // Only reached when the origin lies in the triangle's plane, which
        // callers settle before.
        return Vector< 3 >{ origin, hit }.dot( ray_.direction() ) >= 0;
    }

    std::optional< double > RayTracing3D::hit_distance(
        const Triangle< 3 >& triangle ) const
    {
        const auto hit = line_triangle_intersection(
            InfiniteLine< 3 >{ ray_.direction(), ray_.origin() }, triangle );
        if( !hit.has_intersection() )
        {
            return std::nullopt;
        }
        const auto& t = triangle.vertices();
        const auto& origin = ray_.origin();
        if( detail::orient3d( t[0], t[1], t[2], origin ) == 0 )
        {
            return 0.;
        }
        if( !is_hit_ahead( triangle, *hit.result ) )
        {
            return std::nullopt;
        }
        return std::max( 0.,
            Vector< 3 >{ ray_.origin(), *hit.result }.dot( ray_.direction() ) );
    }
} // namespace orvane
