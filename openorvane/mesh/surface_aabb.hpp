#pragma once

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/aabb.hpp>
#include <openorvane/geometry/point.hpp>

namespace orvane
{
    template < index_t dimension >
    class SurfaceMesh;
    template < index_t dimension >
    class TriangulatedSurface;

    /// A tree over the bounding boxes of the surface's polygons: element i
    /// of the tree is polygon i.
    template < index_t dimension >
    AABBTree< dimension > create_aabb_tree( const SurfaceMesh< dimension >& mesh );

    /// The distance from a point to a triangle of a surface (0 on the closed
    /// triangle), for the searches of a tree made by create_aabb_tree. The
    /// surface must outlive the functor.
    template < index_t dimension >
    class DistanceToTriangle
    {
    public:
        explicit DistanceToTriangle( const TriangulatedSurface< dimension >& surface )
            : surface_( surface )
        {
        }

        double operator()( const Point< dimension >& query, index_t triangle_id ) const;

    private:
        const TriangulatedSurface< dimension >& surface_;
    };
} // namespace orvane
