#pragma once

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/aabb.hpp>
#include <openorvane/geometry/point.hpp>

namespace orvane
{
    template < index_t dimension >
    class EdgedCurve;

    /// A tree over the bounding boxes of the curve's edges: element i of the
    /// tree is edge i.
    template < index_t dimension >
    AABBTree< dimension > create_aabb_tree( const EdgedCurve< dimension >& mesh );

    /// The distance from a point to an edge of a curve, for the searches of
    /// a tree made by create_aabb_tree. The curve must outlive the functor.
    template < index_t dimension >
    class DistanceToEdge
    {
    public:
        explicit DistanceToEdge( const EdgedCurve< dimension >& curve ) : curve_( curve )
        {
        }

        double operator()( const Point< dimension >& query, index_t edge_id ) const;

    private:
        const EdgedCurve< dimension >& curve_;
    };
} // namespace orvane
