#pragma once

#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/geometry/position.hpp>
#include <openorvane/mesh/mesh_records.hpp>

#include <common/cutter/surface_path_finder.hpp>

namespace orvane
{
    template < index_t dimension >
    class SurfaceMesh;
    class Plane;

    /// Where a straight cut meets one element of a surface path.
    template < index_t dimension >
    struct SurfaceCut
    {
        /// Copied from the path element.
        PolygonEdge edge;
        /// Copied from the path element.
        POSITION position{ POSITION::outside };
        /// The existing vertex that carries the cut, or NO_ID when the cut
        /// lies strictly inside `edge` and needs a new vertex.
        index_t vertex{ NO_ID };
        /// Copied from the path element.
        bool toward_adjacent{ true };
        /// The cut position; the vertex's point when `vertex` is set.
        Point< dimension > point;
    };

    /// The cuts of the straight segment from `begin` to `end` along a path
    /// of `mesh` between these vertices (see SurfacePathCrossing), in path
    /// order.
    ///
    /// An edge crossing is cut where the edge meets the segment (2-D) or the
    /// plane (3-D). A cut within squared distance 1e-12 of an edge end is
    /// moved onto that end (the first end tested first), so that no new
    /// vertex is ever made next to an existing one. An edge that lies along
    /// the cut gets its cut on the vertex it shares with the previous cut's
    /// edge, or else on its end nearest to the segment. Consecutive cuts on
    /// the same vertex or edge give one cut, and when the path comes back to
    /// a vertex or an edge it already met, the cuts between the two visits
    /// are dropped (the later visit stays).
    ///
    /// Reads the mesh only. Throws OpenOrvaneException when a path element
    /// names a polygon edge or a vertex that the mesh does not have, or an
    /// element that is not on an edge names no vertex.
    template < index_t dimension >
        requires( dimension == 2 )
    [[nodiscard]] std::vector< SurfaceCut< dimension > > determine_cuts(
        const SurfaceMesh< dimension >& mesh,
        index_t begin,
        index_t end,
        absl::Span< const SurfacePathCrossing > path );

    /// The 3-D form: the cutting primitive is `plane`, which the caller
    /// builds through `begin` and `end`.
    template < index_t dimension >
        requires( dimension == 3 )
    [[nodiscard]] std::vector< SurfaceCut< dimension > > determine_cuts(
        const SurfaceMesh< dimension >& mesh,
        index_t begin,
        index_t end,
        const Plane& plane,
        absl::Span< const SurfacePathCrossing > path );
} // namespace orvane
