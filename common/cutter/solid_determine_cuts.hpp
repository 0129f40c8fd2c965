#pragma once

#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>

#include <common/cutter/solid_path_finder.hpp>

namespace orvane
{
    template < index_t dimension >
    class TetrahedralSolid;
    class Plane;

    /// One cut of a solid path: the step it comes from and the cut position.
    ///
    /// A cut lying on an existing vertex v is always the vertex cut
    /// {POSITION::outside, unset facet, v, point of v}; a facet cut keeps
    /// POSITION::inside and its facet, an edge cut its edge position and its
    /// facet, both with no vertex.
    struct SolidCut : SolidPathStep
    {
        Point< 3 > point;

        bool operator==( const SolidCut& ) const = default;
    };

    /// The cuts of the straight segment from the first to the last step's
    /// vertex along a solid path (see SolidPathFinder), in path order.
    ///
    /// Facets and edges are cut where they meet the segment; a cut within
    /// squared distance 1e-12 of a vertex of its facet or edge becomes the
    /// cut of that vertex. Consecutive cuts on the same vertex, edge or facet
    /// give one cut (the earlier). When the path comes back to an element it
    /// already met, the cuts between the two visits are dropped (the later
    /// visit stays), unless the last cut lies on the element of the first,
    /// in which case the list is kept whole. A facet parallel to the segment
    /// is cut by bisection between the previous cut and the segment's end.
    /// When the segment is shorter than 1e-6 every crossing is cut at the
    /// begin point.
    ///
    /// The first and last steps must carry a vertex. Reads the solid only.
    /// Throws OpenOrvaneException when a crossed facet has no plane and the
    /// segment misses it, or when the bisection takes 100 halvings.
    [[nodiscard]] std::vector< SolidCut > determine_segment_cuts(
        const TetrahedralSolid< 3 >& solid,
        absl::Span< const SolidPathStep > path );

    /// The same along a border path (see SolidBorderPathFinder), whose edges
    /// are cut where they cross the plane. An edge lying in the plane is cut
    /// at its end nearer to the previous cut.
    ///
    /// Throws OpenOrvaneException on a facet step, and on an edge step whose
    /// edge does not meet the plane.
    [[nodiscard]] std::vector< SolidCut > determine_plane_cuts(
        const TetrahedralSolid< 3 >& solid,
        absl::Span< const SolidPathStep > path,
        const Plane& plane );
} // namespace orvane
