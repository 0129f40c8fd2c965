#pragma once

#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/bounding_box.hpp>

// Exact overlap tests between an element and a closed axis-aligned box.
// Every answer is decided with exact orientation signs on the input
// coordinates and the box's bounds, so an element that only touches the
// box (on a face, an edge or a corner) overlaps it. Degenerate elements
// (a point segment, a flat triangle or tetrahedron) are tested as the
// point sets they cover.

namespace orvane
{
    /// True when the closed segment and the closed box share a point.
    bool segment_box_overlap(
        const Segment< 3 >& segment, const BoundingBox< 3 >& box );

    /// True when the closed triangle and the closed box share a point.
    bool triangle_box_overlap(
        const Triangle< 3 >& triangle, const BoundingBox< 3 >& box );

    /// True when the closed tetrahedron and the closed box share a point.
    bool tetrahedron_box_overlap(
        const Tetrahedron& tetrahedron, const BoundingBox< 3 >& box );
} // namespace orvane
