#pragma once

#include <array>
#include <optional>
#include <vector>

#include <absl/container/fixed_array.h>
#include <absl/container/inlined_vector.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/mesh_records.hpp>

// Previews and validity tests of the triangulated surface modifier's edits.
// They only read the surface: a caller previews or tests an edit first and
// then asks the modifier to perform it.

namespace orvane
{
    template < index_t dimension >
    class TriangulatedSurface;

    /// A triangle that an edit would make, with the polygon it replaces.
    template < index_t dimension >
    struct TrianglePreview
    {
        Triangle< dimension > triangle;
        index_t polygon{ NO_ID };
    };

    template < index_t dimension >
    using TrianglePreviews = absl::FixedArray< TrianglePreview< dimension >, 8 >;

    /// The two triangles of an edge swap and the two polygons they replace.
    struct TrianglesSwapPreview
    {
        absl::FixedArray< Triangle< 3 >, 10 > triangles;
        absl::FixedArray< index_t, 64 > polygons;
    };

    /// The vertices joined to both ends of an edge.
    struct EdgeCommonVertices
    {
        std::vector< index_t > vertices;
        /// More common vertices than the edge allows: one on the border,
        /// two inside.
        bool link_broken{ false };
    };

    /// The verdict on a collapse or a swap.
    struct SurfaceOperationReport
    {
        bool valid{ true };
        std::vector< Triangle< 3 > > invalid_elements;
        std::vector< index_t > replaced_elements;
        /// Cleared when a topological test rejects the operation.
        bool topology_valid{ true };
        /// Cleared only when a collapse would pinch the border.
        bool manifold_valid{ true };
        /// The vertices behind a topological rejection.
        std::vector< index_t > blocking_vertices;
    };

    /// The polygon corners of an edge's ends, the polygons that hold both
    /// ends left out.
    using EdgeVerticesCorners = absl::InlinedVector< PolygonVertex, 10 >;

    /// The triangles of splitting the edge, and its adjacent edge when there
    /// is one, at the point: (s0, P, a) and (P, s1, a) for each side, with
    /// s0 -> s1 the side's edge and a its opposite vertex. 2 or 4 entries.
    template < index_t dimension >
    [[nodiscard]] TrianglePreviews< dimension > triangles_after_split_edge(
        const TriangulatedSurface< dimension >& mesh,
        const PolygonEdge& edge,
        const Point< dimension >& point );

    /// Entry i is the polygon's triangle with vertex i replaced by the point.
    [[nodiscard]] std::array< Triangle< 3 >, 3 > triangles_after_split_triangle(
        const TriangulatedSurface< 3 >& mesh,
        index_t polygon,
        const Point< 3 >& point );

    /// The triangles of the vertex's fan with the vertex moved to the point,
    /// in fan order.
    [[nodiscard]] TrianglePreviews< 3 > triangles_after_move_vertex(
        const TriangulatedSurface< 3 >& mesh,
        index_t vertex,
        const Point< 3 >& point );

    /// The corners of the first end in the polygons that do not hold the
    /// second end, then the corners of the second end in the polygons that
    /// do not hold the first, each in fan order.
    template < index_t dimension >
    [[nodiscard]] EdgeVerticesCorners polygons_around_edge_vertices(
        const TriangulatedSurface< dimension >& mesh,
        const std::array< index_t, 2 >& edge_vertices );

    /// For each listed corner, its polygon's triangle with that corner moved
    /// to the point.
    template < index_t dimension >
    [[nodiscard]] TrianglePreviews< dimension > triangles_with_moved_vertices(
        const TriangulatedSurface< dimension >& mesh,
        const EdgeVerticesCorners& corners,
        const Point< dimension >& point );

    /// The triangles around the end other than `kept_end` (0 or 1) that are
    /// not around the kept end, with that end moved onto the kept end.
    template < index_t dimension >
    [[nodiscard]] TrianglePreviews< dimension > triangles_after_collapse_onto_vertex(
        const TriangulatedSurface< dimension >& mesh,
        const std::array< index_t, 2 >& edge_vertices,
        local_index_t kept_end );

    /// Whether collapsing the two vertices at the point keeps the surface
    /// valid. In 2-D every kept triangle must turn counter-clockwise (exact
    /// sign); no geometric test is made in 3-D. When a polygon edge joins the
    /// two vertices (in either direction, so the order of the ends does not
    /// matter), the ends must also pass the link test, the collapse must not
    /// leave two triangles on the same vertices, must not remove every
    /// polygon around the ends and must not pinch the border.
    ///
    /// Like the modifier, the test needs one fan of polygons per vertex: a
    /// vertex where separate fans meet is not seen whole by the fan walks.
    template < index_t dimension >
    [[nodiscard]] bool is_collapse_edge_valid(
        const TriangulatedSurface< dimension >& mesh,
        const std::array< index_t, 2 >& edge_vertices,
        const Point< dimension >& point );

    /// The same test for a collapse onto one of the ends (0 or 1).
    template < index_t dimension >
    [[nodiscard]] bool is_collapse_edge_valid(
        const TriangulatedSurface< dimension >& mesh,
        const std::array< index_t, 2 >& edge_vertices,
        local_index_t kept_end );

    /// The two triangles of swapping the edge: (s0, b, a) and (s1, a, b),
    /// with a and b the vertices opposite the edge and its adjacent edge.
    /// Throws OpenOrvaneException when the edge has no adjacent polygon.
    [[nodiscard]] TrianglesSwapPreview triangles_after_swap_edge(
        const TriangulatedSurface< 3 >& mesh, const PolygonEdge& edge );

    /// Whether the edge can be swapped without breaking the topology: it has
    /// an adjacent polygon, its two opposite vertices differ and no polygon
    /// already joins them.
    [[nodiscard]] bool is_swap_edge_topologically_valid(
        const TriangulatedSurface< 3 >& mesh, const PolygonEdge& edge );

    namespace detail
    {
        /// The vertices around the edge's second vertex that are also around
        /// its first vertex, in the second vertex's order.
        template < index_t dimension >
        [[nodiscard]] EdgeCommonVertices edge_common_vertices(
            const TriangulatedSurface< dimension >& mesh,
            const PolygonEdge& edge );

        /// Whether collapsing this inner edge would leave two triangles on the
        /// same three vertices: its two opposite vertices are one vertex, or
        /// each end already forms a triangle with both of them (the link
        /// test counts the common neighbours but not the edge between them).
        template < index_t dimension >
        [[nodiscard]] bool collapse_duplicates_triangles(
            const TriangulatedSurface< dimension >& mesh,
            const PolygonEdge& edge );

        /// Whether every polygon around either end of the edge holds both
        /// ends: the collapse would remove the whole piece of surface (all of
        /// it when the surface is connected).
        template < index_t dimension >
        [[nodiscard]] bool collapse_removes_every_polygon(
            const TriangulatedSurface< dimension >& mesh,
            const PolygonEdge& edge );

        /// Whether collapsing this inner edge would join two parts of the
        /// border at one vertex: both ends are on the border and neither
        /// opposite vertex is an ear (a vertex of a single polygon).
        template < index_t dimension >
        [[nodiscard]] bool collapse_pinches_border(
            const TriangulatedSurface< dimension >& mesh,
            const PolygonEdge& edge );

        /// The topological verdict on collapsing the edge joining the two
        /// vertices; the kept triangles are not examined. Throws
        /// std::bad_optional_access when no polygon edge joins the vertices.
        [[nodiscard]] SurfaceOperationReport check_collapse_edge(
            const TriangulatedSurface< 3 >& mesh,
            const std::array< index_t, 2 >& edge_vertices,
            TrianglePreviews< 3 > kept_triangles );

        /// The topological verdict on swapping the edge. Throws
        /// OpenOrvaneException when the edge has no adjacent polygon.
        [[nodiscard]] SurfaceOperationReport check_swap_edge(
            const TriangulatedSurface< 3 >& mesh, const PolygonEdge& edge );

        /// The first local vertex of the polygon within squared distance
        /// 1e-12 of the point.
        template < index_t dimension >
        [[nodiscard]] std::optional< local_index_t > polygon_vertex_at_point(
            const TriangulatedSurface< dimension >& mesh,
            index_t polygon,
            const Point< dimension >& point );
    } // namespace detail
} // namespace orvane
