#pragma once

#include <functional>
#include <optional>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>

namespace orvane
{
    /// A leaf visitor for AABBTree<3>::visit_boxes_along_ray that finds the
    /// polygon of a surface hit first by a ray.
    ///
    /// Fed polygon indices, it intersects the ray with each polygon (fanned
    /// into triangles from its first vertex) and keeps the hits at distance
    /// >= 0 along the ray. A ray lying in a polygon's plane is no hit. On
    /// equal distances the polygon visited first stays. The visitor always
    /// answers false, so the tree search visits every candidate.
    class RayTracing3D
    {
    public:
        struct PolygonDistance
        {
            index_t polygon{ NO_ID };
            double distance{ 0. };
        };

        /// Gives the points of a polygon in order.
        using PolygonPoints =
            std::function< absl::InlinedVector< Point< 3 >, 3 >( index_t ) >;

        RayTracing3D( PolygonPoints polygon_points, const Ray< 3 >& ray );

        /// Reads the polygons of a surface mesh through its
        /// polygon_vertices(polygon) and point(vertex) queries.
        template < typename SurfaceMeshType >
            requires requires( const SurfaceMeshType& mesh, index_t polygon ) {
                mesh.polygon_vertices( polygon );
            }
        RayTracing3D( const SurfaceMeshType& mesh, const Ray< 3 >& ray )
            : RayTracing3D(
                [&mesh]( index_t polygon ) {
                    absl::InlinedVector< Point< 3 >, 3 > points;
                    for( const auto vertex : mesh.polygon_vertices( polygon ) )
                    {
                        points.push_back( mesh.point( vertex ) );
                    }
                    return points;
                },
                ray )
        {
        }

        /// Tests the polygon against the ray; always answers false.
        bool operator()( index_t polygon );

        /// The closest polygon hit so far with its distance along the ray.
        std::optional< PolygonDistance > closest_polygon() const;

    private:
        std::optional< double > hit_distance( const Triangle< 3 >& triangle ) const;

        /// Whether the hit point, on the triangle, lies on the ray's side of
        /// its origin, decided with exact orientation signs.
        bool is_hit_ahead( const Triangle< 3 >& triangle, const Point< 3 >& hit ) const;

    private:
        PolygonPoints polygon_points_;
        Ray< 3 > ray_;
        std::optional< PolygonDistance > closest_;
    };
} // namespace orvane
