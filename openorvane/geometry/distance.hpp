#pragma once

#include <tuple>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>

// Distances between a point or a segment and the primitives, with the
// closest points. The distances are measures computed in floating point;
// containment decisions inside them use the exact predicates.

namespace orvane
{
    template < index_t dimension >
    double point_point_distance(
        const Point< dimension >& point0, const Point< dimension >& point1 );

    /// The distance and the closest point of the segment.
    template < index_t dimension >
    std::tuple< double, Point< dimension > > point_segment_distance(
        const Point< dimension >& point, const Segment< dimension >& segment );

    /// The distance and the closest points on the first and the second
    /// segment.
    template < index_t dimension >
    std::tuple< double, Point< dimension >, Point< dimension > >
        segment_segment_distance( const Segment< dimension >& segment0,
            const Segment< dimension >& segment1 );

    /// The distance to the closed triangle and its closest point. A 2-D
    /// point in the closed triangle (exact test) is at distance 0.
    template < index_t dimension >
    std::tuple< double, Point< dimension > > point_triangle_distance(
        const Point< dimension >& point, const Triangle< dimension >& triangle );

    /// The distance to the triangle, positive on the side towards which
    /// (b - a) x (c - a) points and negative on the other (exact side);
    /// unsigned for a degenerate triangle. Also the closest point.
    std::tuple< double, Point< 3 > > point_triangle_signed_distance(
        const Point< 3 >& point, const Triangle< 3 >& triangle );

    /// The distance between the segment and the closed triangle, with the
    /// closest points on the segment and on the triangle. A segment meeting
    /// the triangle (exact test) is at distance 0.
    std::tuple< double, Point< 3 >, Point< 3 > > segment_triangle_distance(
        const Segment< 3 >& segment, const Triangle< 3 >& triangle );

    /// The distance to the closed tetrahedron and its closest point: 0 and
    /// the point itself when the point is inside or on the boundary (exact
    /// test).
    std::tuple< double, Point< 3 > > point_tetrahedron_distance(
        const Point< 3 >& point, const Tetrahedron& tetrahedron );

    /// The unsigned distance to the plane and the projected point.
    std::tuple< double, Point< 3 > > point_plane_distance(
        const Point< 3 >& point, const Plane& plane );

    /// The distance to the plane, positive on the normal's side, and the
    /// projected point.
    std::tuple< double, Point< 3 > > point_plane_signed_distance(
        const Point< 3 >& point, const Plane& plane );
} // namespace orvane
