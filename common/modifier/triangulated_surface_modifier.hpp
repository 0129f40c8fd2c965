#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/mesh_records.hpp>

#include <common/modifier/vertices_modifier.hpp>

namespace orvane
{
    template < index_t dimension >
    class TriangulatedSurface;
    template < index_t dimension >
    class TriangulatedSurfaceBuilder;

    /// A polygon edge made by an edit and the old polygon edge it lies on
    /// (whole or in part). An unset `old_edge` (NO_ID, NO_LID) records no old
    /// edge.
    struct PolygonEdgeOrigin
    {
        PolygonEdge new_edge;
        PolygonEdge old_edge;

        bool operator==( const PolygonEdgeOrigin& ) const = default;
    };

    /// Result of `split_triangle`.
    struct SurfaceSplitTriangleInfo
    {
        index_t new_vertex{ NO_ID };
        /// For each new triangle t, in creation order: {t, 1} then {t, 2},
        /// the inner edges seen from both sides.
        absl::InlinedVector< PolygonEdge, 6 > new_edges;
        /// Left empty by the triangle split.
        absl::InlinedVector< PolygonEdgeOrigin, 2 > extra_edges;
        /// ({t_i, 0}, {P, i}) for i = 0, 1, 2.
        absl::InlinedVector< PolygonEdgeOrigin, 3 > border_edges;
        /// {t_i, P} for i = 0, 1, 2.
        absl::InlinedVector< ElementOrigin, 3 > polygons;
    };

    /// One half of an edge split: the triangles at one end of the split
    /// edge. Each list holds the entry of the split edge's own polygon, then
    /// the entry of the adjacent polygon when there is one.
    struct SurfaceSplitEdgeHalf
    {
        /// The half triangle's side of the edge from the new vertex to the
        /// apex.
        absl::InlinedVector< PolygonEdge, 2 > new_edges;
        /// The half triangle's piece of the split edge, with the old edge.
        absl::InlinedVector< PolygonEdgeOrigin, 2 > split_edges;
        /// The half triangle's edge that replaces an outer edge of the split
        /// polygon, with that old edge.
        absl::InlinedVector< PolygonEdgeOrigin, 2 > outer_edges;
        /// The half triangle and the split polygon.
        absl::InlinedVector< ElementOrigin, 2 > polygons;
    };

    /// Result of `split_edge`: the first half lies at the split edge's first
    /// vertex, the second half at its second vertex.
    struct SurfaceSplitEdgeInfo
    {
        index_t new_vertex{ NO_ID };
        std::array< SurfaceSplitEdgeHalf, 2 > halves;
    };

    /// Result of `swap_edge`.
    struct SurfaceSwapEdgeInfo
    {
        /// The given edge's polygon, then the adjacent polygon.
        std::array< index_t, 2 > old_polygons{ NO_ID, NO_ID };
        /// The two new triangles in creation order.
        std::array< index_t, 2 > new_polygons{ NO_ID, NO_ID };
        /// The outer edges of the new triangles with the old edges they
        /// replace (an unset old edge on the border).
        std::array< PolygonEdgeOrigin, 4 > outer_edges;
        /// The new diagonal seen from each new triangle.
        std::array< PolygonEdge, 2 > new_diagonal;
        /// The given edge and its adjacent edge.
        std::array< PolygonEdge, 2 > old_diagonal;
    };

    /// What the snapping edge split did.
    enum struct SurfaceEpsilonSplitEdgeKind : std::uint32_t
    {
        /// The edge was split at the point.
        split = 1,
        /// The point was taken as the edge's first vertex; nothing changed.
        first_vertex = 2,
        /// The point was taken as the edge's second vertex; nothing changed.
        second_vertex = 3
    };

    /// Result of the snapping `split_edge`.
    struct SurfaceEpsilonSplitEdgeInfo
    {
        SurfaceSplitEdgeInfo info;
        SurfaceEpsilonSplitEdgeKind kind{ SurfaceEpsilonSplitEdgeKind::split };
    };

    /// An edge of the collapse's new vertex and the old edges it replaces.
    struct EdgeMerge
    {
        index_t new_edge{ NO_ID };
        absl::InlinedVector< index_t, 4 > old_edges;

        bool operator==( const EdgeMerge& ) const = default;
    };

    /// Result of `collapse_edge` given an edge index.
    struct SurfaceCollapseEdgeInfo
    {
        index_t new_vertex{ NO_ID };
        /// The collapsed edge's two vertices, in the direction of the polygon
        /// edge that was collapsed.
        absl::InlinedVector< index_t, 4 > merged_vertices;
        /// The edge's polygon, then the adjacent one when there is one.
        absl::InlinedVector< index_t, 4 > removed_polygons;
        /// The polygon corners moved from the merged vertices to the new one.
        std::vector< PolygonVertex > moved_polygon_vertices;
        std::vector< EdgeMerge > edges;
    };

    /// An edge of a surviving neighbour and the removed triangle's edge that
    /// now coincides with it (the kept edge itself comes first).
    struct PolygonEdgeMerge
    {
        PolygonEdge kept_edge;
        absl::InlinedVector< PolygonEdge, 2 > merged_edges;

        bool operator==( const PolygonEdgeMerge& ) const = default;
    };

    /// Result of `collapse_edge` given a polygon edge.
    struct SurfaceCollapsePolygonEdgeInfo
    {
        index_t new_vertex{ NO_ID };
        absl::InlinedVector< index_t, 4 > merged_vertices;
        absl::InlinedVector< index_t, 4 > removed_polygons;
        std::vector< PolygonVertex > moved_polygon_vertices;
        absl::InlinedVector< PolygonEdgeMerge, 4 > edges;
    };

    /// Old-to-new vectors of `clean` (NO_ID for a deleted element). `edges`
    /// is empty when the surface has no edge table.
    struct SurfaceCleanInfo
    {
        std::vector< index_t > polygons;
        std::vector< index_t > vertices;
        std::vector< index_t > edges;
    };

    /// Edits a triangulated surface in place through its builder: splits,
    /// collapses, edge swaps, vertex moves and clean-up.
    ///
    /// No edit deletes a triangle. A replaced triangle is only flagged
    /// inactive in the polygon attribute "orvane_active" (and, when the
    /// surface has its edge table, a vanished edge in the edge attribute of
    /// the same name), so indices held by the caller stay valid until
    /// `clean`. Callers skip inactive triangles (`is_polygon_active`).
    ///
    /// Every edit checks its input before any change and throws
    /// OpenOrvaneException, the surface unchanged, on a polygon or edge that
    /// does not exist or is inactive, or on a non-finite point.
    ///
    /// The edits check nothing about the validity of their result: callers
    /// ask the previews and tests of triangle_preview.hpp first. The flags
    /// are deleted from the surface when the modifier is destroyed.
    template < index_t dimension >
    class TriangulatedSurfaceModifier : public VerticesModifier
    {
    public:
        /// The surface must have one fan of live polygons per vertex, linked
        /// by its adjacencies: throws OpenOrvaneException, before any change,
        /// naming the first vertex where separate fans meet (a bowtie). Such
        /// vertices are split into one vertex per fan before editing.
        TriangulatedSurfaceModifier( const TriangulatedSurface< dimension >& mesh,
            TriangulatedSurfaceBuilder< dimension >& builder );
        ~TriangulatedSurfaceModifier() override;

        /// Splits the polygon into three triangles around a new vertex at the
        /// point.
        virtual SurfaceSplitTriangleInfo split_triangle(
            index_t polygon, const Point< dimension >& point );

        /// Splits the edge, and the adjacent polygon's edge when there is
        /// one, at a new vertex at the point: two or four new triangles.
        virtual SurfaceSplitEdgeInfo split_edge(
            const PolygonEdge& edge, const Point< dimension >& point );

        /// Merges the two vertices of the edge (an index of the edge table)
        /// into a new vertex at the point. Throws OpenOrvaneException, before
        /// any change, when the surface has no edge table or no polygon edge
        /// joins the edge's vertices.
        virtual SurfaceCollapseEdgeInfo collapse_edge(
            index_t edge, const Point< dimension >& point );

        /// Merges the two vertices of the polygon edge into a new vertex at
        /// the point.
        virtual SurfaceCollapsePolygonEdgeInfo collapse_edge(
            const PolygonEdge& edge, const Point< dimension >& point );

        /// Replaces the edge's two triangles by the two triangles of the
        /// other diagonal. Throws OpenOrvaneException, before any change,
        /// when the edge has no adjacent polygon.
        virtual SurfaceSwapEdgeInfo swap_edge( const PolygonEdge& edge );

        /// Moves the vertex to the point, re-interpolating its attributes
        /// from the nearest triangle of its fan.
        virtual void move_vertex( index_t vertex, const Point< dimension >& point );

        /// Deletes inactive triangles, then isolated vertices and edges, and
        /// clears the vertex map.
        virtual SurfaceCleanInfo clean();

        [[nodiscard]] bool is_polygon_active( index_t polygon ) const;

        /// The edge's flag. The flags are created on first need, true for the
        /// edges of active triangles and false for the others. Throws
        /// OpenOrvaneException when the surface has no edge table.
        [[nodiscard]] bool is_edge_active( index_t edge );

        /// Deletes the inactive triangles only and returns the old-to-new
        /// polygon vector.
        std::vector< index_t > delete_inactive_polygons();

    protected:
        [[nodiscard]] const TriangulatedSurface< dimension >& mesh() const;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };

    /// A triangulated surface modifier whose edge split reuses an end of the
    /// edge when the point lies on it.
    template < index_t dimension >
    class TriangulatedSurfaceEpsilonModifier
        : public TriangulatedSurfaceModifier< dimension >
    {
    public:
        TriangulatedSurfaceEpsilonModifier(
            const TriangulatedSurface< dimension >& mesh,
            TriangulatedSurfaceBuilder< dimension >& builder );

        /// When the point is within squared distance 1e-12 of the edge's
        /// first vertex, then of its second vertex, returns that vertex with
        /// empty lists and changes nothing; otherwise splits the edge.
        SurfaceEpsilonSplitEdgeInfo split_edge(
            PolygonEdge edge, const Point< dimension >& point );
    };

    namespace detail
    {
        /// Whether the triangle faces against the reference direction: its
        /// normal makes a non-acute angle with the reference (decided
        /// exactly). A degenerate triangle is judged by the sign of its area
        /// projected along the reference's dominant axis; a zero area is
        /// never inverted. A reference shorter than 1e-6 gives false.
        [[nodiscard]] bool is_triangle_inverted(
            const Triangle< 3 >& triangle, const Vector< 3 >& reference );

        /// is_triangle_inverted against the sum of the normals of the edge's
        /// polygon and of its adjacent polygon.
        [[nodiscard]] bool is_triangle_inverted_around_edge(
            const TriangulatedSurface< 3 >& mesh,
            const Triangle< 3 >& triangle,
            const PolygonEdge& edge );

        /// is_triangle_inverted against the polygon's normal.
        [[nodiscard]] bool is_triangle_inverted_in_polygon(
            const TriangulatedSurface< 3 >& mesh,
            const Triangle< 3 >& triangle,
            index_t polygon );
    } // namespace detail
} // namespace orvane
