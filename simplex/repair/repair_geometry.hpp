#pragma once

#include <vector>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/mesh_records.hpp>

// Geometric helpers of the surface-intersection repair that need none of the
// repairer's caches: median planes, the walk along an input line, edge
// bookkeeping. The operations that read the caches are members of
// RepairBRepSurfaces.

namespace orvane
{
    class BRep;
    template < index_t dimension >
    class Line;
    template < index_t dimension >
    class Surface;
    template < index_t dimension >
    class SurfaceMesh;
    template < index_t dimension >
    class TriangulatedSurface;

    namespace internal
    {
        /// One side of a local repair: an output surface, its mesh, the mesh
        /// of its input surface and the edges of the output surface still
        /// involved in the defect (each entry also stands for its triangle).
        struct RepairSide
        {
            const Surface< 3 >& surface;
            const TriangulatedSurface< 3 >& mesh;
            const TriangulatedSurface< 3 >& input_mesh;
            std::vector< PolygonEdge > edges;
        };

        /// The plane through the edge's midpoint that holds the line from
        /// the midpoint to the apex and stands perpendicular to the edge's
        /// triangle: its normal is the part of the edge direction orthogonal
        /// to (apex - midpoint). Throws OpenOrvaneException when the apex
        /// lies on the edge's line (no such plane).
        [[nodiscard]] Plane edge_median_plane( const SurfaceMesh< 3 >& mesh,
            const PolygonEdge& edge,
            const Point< 3 >& apex );

        /// The vertex of the edge's triangle opposite the edge.
        [[nodiscard]] index_t edge_apex(
            const SurfaceMesh< 3 >& mesh, const PolygonEdge& edge );

        /// The edge's two unique vertices in the model, ascending.
        [[nodiscard]] std::array< index_t, 2 > sorted_unique_vertices(
            const BRep& model, const Surface< 3 >& surface, const PolygonEdge& edge );

        /// [(t, 0), (t, 1), (t, 2)].
        [[nodiscard]] std::vector< PolygonEdge > triangle_edges( index_t triangle );

        /// Sorts the edges by decreasing length in the mesh (equal lengths
        /// in no fixed order).
        void sort_edges_by_length(
            const SurfaceMesh< 3 >& mesh, std::vector< PolygonEdge >& edges );

        namespace surface_repair::Repair
        {
            /// The edges of the line's mesh from edge `from` to edge `to`,
            /// both included, walking the curve first through the start
            /// edge's vertex 0, then through its vertex 1 when the first
            /// walk reaches a free end. Empty when neither walk reaches
            /// `to`. Throws OpenOrvaneException "[Repair::line_part] At
            /// least 2 edges around vertex (n)" at a vertex with none or
            /// more than two edges.
            [[nodiscard]] std::vector< index_t > line_part(
                const Line< 3 >& line, index_t from, index_t to );
        } // namespace surface_repair::Repair
    } // namespace internal

    namespace detail
    {
        /// Removes the edges whose flag is set, keeping the order of the
        /// others; returns how many were removed. The two vectors have the
        /// same length.
        index_t erase_flagged_elements(
            std::vector< PolygonEdge >& edges, const std::vector< bool >& flags );
    } // namespace detail
} // namespace orvane
