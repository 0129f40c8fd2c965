#include <openorvane/geometry/ray_tracing.hpp>

#include <cmath>

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

    std::optional< double > RayTracing3D::hit_distance(
        const Triangle< 3 >& triangle ) const
    {
        const auto hit = line_triangle_intersection(
            InfiniteLine< 3 >{ ray_.direction(), ray_.origin() }, triangle );
        if( !hit.has_intersection() )
        {
            return std::nullopt;
        }
        // The line is taken through origin and origin + direction; which
        // side of the origin the hit lies on follows from the origin's side
        // of the plane and from that of the second point.
        const auto& t = triangle.vertices();
        const double origin_side =
            detail::orient3d( t[0], t[1], t[2], ray_.origin() );
        if( origin_side == 0 )
        {
            return 0.;
        }
        const double second_side = detail::orient3d(
            t[0], t[1], t[2], ray_.origin() + ray_.direction() );
        const bool ahead = second_side == 0
                           || ( second_side > 0 ) != ( origin_side > 0 )
                           || std::fabs( second_side ) < std::fabs( origin_side );
        if( !ahead )
        {
            return std::nullopt;
        }
        return std::max( 0.,
            Vector< 3 >{ ray_.origin(), *hit.result }.dot( ray_.direction() ) );
    }
} // namespace orvane
