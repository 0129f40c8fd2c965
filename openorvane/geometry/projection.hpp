#pragma once

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>

namespace orvane
{
    /// The closest point of the line.
    template < index_t dimension >
    Point< dimension > point_line_projection(
        const Point< dimension >& point, const InfiniteLine< dimension >& line );

    /// The closest point of the closed segment (an end exactly when the
    /// projection falls beyond it; vertex 0 for a segment of length at most
    /// DIVISION_EPSILON).
    template < index_t dimension >
    Point< dimension > point_segment_projection(
        const Point< dimension >& point, const Segment< dimension >& segment );

    /// The closest point of the closed triangle. A degenerate triangle is
    /// handled as the union of its edges.
    template < index_t dimension >
    Point< dimension > point_triangle_projection(
        const Point< dimension >& point, const Triangle< dimension >& triangle );

    /// The orthogonal projection on the plane.
    Point< 3 > point_plane_projection(
        const Point< 3 >& point, const Plane& plane );
} // namespace orvane
