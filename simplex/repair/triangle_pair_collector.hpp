#pragma once

#include <vector>

#include <openorvane/basic/types.hpp>
#include <openorvane/mesh/mesh_records.hpp>

namespace orvane
{
    template < index_t dimension >
    class Surface;
    template < index_t dimension >
    class TriangulatedSurface;

    namespace internal
    {
        class RepairBRepSurfaces;

        /// An edge of the surface being repaired that crosses a triangle of
        /// the other surface.
        struct CrossingEdge
        {
            PolygonEdge edge;
            index_t triangle{ NO_ID };
        };

        /// An edge of the surface being repaired and the edge of the other
        /// surface joining the same two unique vertices, where at least one
        /// of them lies inside its surface.
        struct SharedEdge
        {
            PolygonEdge edge;
            PolygonEdge other_edge;
        };

        /// The visitor of the two-tree box-pair search between the triangles
        /// of two output surfaces d and m: records the edges of d that cross
        /// a triangle of m, and the edges of d lying in the plane of a
        /// triangle of m that join the same unique vertices as one of its
        /// edges without being a border edge of both surfaces. Each inner
        /// edge of d is examined from its higher-indexed triangle only.
        /// Contacts are decided by the exact intersection detection, with
        /// no tolerance of its own. Never stops the search.
        struct TrianglePairCollector
        {
            TrianglePairCollector( RepairBRepSurfaces& repairer,
                const Surface< 3 >& surface_d,
                const Surface< 3 >& surface_m );

            bool operator()( index_t triangle_d, index_t triangle_m );

            RepairBRepSurfaces& repairer;
            const Surface< 3 >& d;
            const Surface< 3 >& m;
            const TriangulatedSurface< 3 >& mesh_d;
            const TriangulatedSurface< 3 >& mesh_m;
            std::vector< CrossingEdge > crossing_edges;
            std::vector< SharedEdge > shared_edges;
        };
    } // namespace internal
} // namespace orvane
