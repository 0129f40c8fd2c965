#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>

#include <common/modifier/vertices_modifier.hpp>

namespace orvane
{
    template < index_t dimension >
    class EdgedCurve;
    template < index_t dimension >
    class EdgedCurveBuilder;

    /// Result of an edge collapse on a curve.
    struct EdgedCurveCollapseEdgeInfo
    {
        /// The vertex created at the target point.
        index_t new_vertex{ NO_ID };
        /// The collapsed edge's vertices, its vertex 0 first.
        absl::InlinedVector< index_t, 4 > merged_vertices;
        /// The collapsed edge, now inactive.
        index_t collapsed_edge{ NO_ID };
    };

    /// Edits an edged curve in place through its builder: edge splits, edge
    /// collapses and vertex moves.
    ///
    /// No edit deletes an edge: a replaced edge is flagged inactive in the
    /// edge attribute "orvane_active" and `delete_inactive_edges` removes
    /// such edges later in one call. Every edit throws OpenOrvaneException,
    /// before any change, on an edge that does not exist or is inactive, or
    /// on a non-finite point. The flags are deleted from the curve when the
    /// modifier is destroyed.
    template < index_t dimension >
    class EdgedCurveModifier : public VerticesModifier
    {
    public:
        EdgedCurveModifier( const EdgedCurve< dimension >& mesh,
            EdgedCurveBuilder< dimension >& builder );
        ~EdgedCurveModifier() override;

        /// Replaces the edge by one new vertex at the point: every other edge
        /// of the edge's two vertices now ends at the new vertex, and both
        /// old vertices are left isolated.
        virtual EdgedCurveCollapseEdgeInfo collapse_edge(
            index_t edge, const Point< dimension >& point );

        /// Replaces the edge (a, b) by the edges (a, n) and (n, b) around a
        /// new vertex n at the point, and returns n.
        virtual index_t split_edge( index_t edge, const Point< dimension >& point );

        /// Moves the vertex to the point, re-interpolating its attributes
        /// from the nearest of its edges.
        virtual void move_vertex( index_t vertex, const Point< dimension >& point );

        [[nodiscard]] bool is_edge_active( index_t edge ) const;

        /// Deletes the inactive edges and returns the old-to-new edge vector.
        /// Vertices are kept, isolated or not.
        std::vector< index_t > delete_inactive_edges();

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };

    namespace detail
    {
        /// The local index of the edge's first end (0, then 1) within
        /// squared distance 1e-12 of the point.
        [[nodiscard]] std::optional< local_index_t > edge_vertex_at_point(
            const EdgedCurve< 3 >& mesh,
            index_t edge,
            const Point< 3 >& point );
    } // namespace detail
} // namespace orvane
