#pragma once

#include <utility>

#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/position.hpp>

// Exact intersection detections, built on the orientation predicates: they
// answer where a contact lies, never a computed point.

namespace orvane
{
    /// Where the plane meets the segment: inside (strict crossing), vertex0
    /// or vertex1 (an end lies on the plane), parallel (both ends on the
    /// plane) or outside. Exact for the plane's stored normal and origin.
    POSITION segment_plane_intersection_detection(
        const Segment< 3 >& segment, const Plane& plane );

    /// The same for a 2-D segment and a line.
    POSITION segment_line_intersection_detection(
        const Segment< 2 >& segment, const InfiniteLine< 2 >& line );

    /// Where two 2-D segments meet, as positions on the first and on the
    /// second segment (inside, vertex0, vertex1). Collinear segments that
    /// share more than one point give {parallel, parallel}; segments that do
    /// not meet give {outside, outside}.
    std::pair< POSITION, POSITION > segment_segment_intersection_detection(
        const Segment< 2 >& segment0, const Segment< 2 >& segment1 );

    /// Where the segment meets the closed triangle: the position on the
    /// segment (inside, vertex0, vertex1) and on the triangle (inside,
    /// vertex0..2, edge0..2). A segment lying in the triangle's plane and
    /// touching the triangle gives {parallel, parallel}; no contact gives
    /// {outside, outside}. A degenerate (exactly collinear) triangle is only
    /// met through a segment end lying on it.
    std::pair< POSITION, POSITION > segment_triangle_intersection_detection(
        const Segment< 3 >& segment, const Triangle< 3 >& triangle );

    /// Where the line meets the closed triangle, as the position on the
    /// triangle: parallel when the line lies in the triangle's plane and
    /// touches it, outside when there is no contact. The line is taken
    /// through its origin and origin + direction.
    POSITION line_triangle_intersection_detection(
        const InfiniteLine< 3 >& line, const Triangle< 3 >& triangle );

    /// True when the closed triangles share at least one point (touching
    /// counts). Exact. Two exactly collinear triangles are never reported.
    bool triangle_triangle_intersection_detection(
        const Triangle< 3 >& triangle0, const Triangle< 3 >& triangle1 );
} // namespace orvane
