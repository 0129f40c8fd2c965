#pragma once

#include <array>
#include <memory>
#include <optional>

#include <absl/container/inlined_vector.h>
#include <absl/types/span.h>

#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <common/modifier/triangulated_surface_modifier.hpp>

// The state of TriangulatedSurfaceModifier and the steps its edits share.
// The edits themselves are spread over triangulated_surface_modifier.cpp
// (splits, swap, moves, clean-up) and
// triangulated_surface_modifier_collapse.cpp (collapses).

namespace orvane
{
    template < index_t dimension >
    class TriangulatedSurfaceModifier< dimension >::Impl
    {
    public:
        Impl( const TriangulatedSurface< dimension >& mesh,
            TriangulatedSurfaceBuilder< dimension >& builder );
        Impl( const Impl& ) = delete;
        Impl& operator=( const Impl& ) = delete;
        ~Impl();

        [[nodiscard]] const TriangulatedSurface< dimension >& mesh() const
        {
            return mesh_;
        }

        [[nodiscard]] TriangulatedSurfaceBuilder< dimension >& builder()
        {
            return builder_;
        }

        [[nodiscard]] bool is_polygon_active( index_t polygon ) const;

        [[nodiscard]] bool is_edge_active( index_t edge );

        /// Flags the polygon inactive.
        void deactivate_polygon( index_t polygon );

        /// Flags inactive the table edge joining the polygon edge's vertices,
        /// when the surface has an edge table holding it.
        void deactivate_edge( const PolygonEdge& edge );

        /// Flags the table edge, which must exist.
        void set_edge_active( index_t edge, bool active );

        /// The edge flags, created and filled when missing. Throws
        /// OpenOrvaneException when the surface has no edge table.
        internal::ActiveFlags& edge_flags();

        /// The flags of the table edges, when they exist.
        [[nodiscard]] internal::ActiveFlags* existing_edge_flags()
        {
            return edge_active_.get();
        }

        /// The table edge joining two vertices. Throws OpenOrvaneException,
        /// naming `context`, when the table has no such edge.
        [[nodiscard]] index_t table_edge(
            index_t vertex0, index_t vertex1, const char* context ) const;

        /// Interpolates the new vertex's attributes on the segment between
        /// two vertices.
        void interpolate_on_segment(
            index_t new_vertex, index_t vertex0, index_t vertex1 );

        /// Copies the polygon attributes of one polygon to another, when the
        /// surface has assignable polygon attributes.
        void copy_polygon_attributes( index_t from, index_t to );

        [[nodiscard]] bool has_assignable_edge_attributes() const;

        SurfaceSplitTriangleInfo split_triangle(
            index_t polygon, const Point< dimension >& point );

        SurfaceSplitEdgeInfo split_edge(
            const PolygonEdge& edge, const Point< dimension >& point );

        SurfaceSwapEdgeInfo swap_edge( const PolygonEdge& edge );

        void move_vertex( index_t vertex, const Point< dimension >& point );

        SurfaceCollapseEdgeInfo collapse_edge( VerticesModifier& modifier,
            index_t edge,
            const Point< dimension >& point );

        SurfaceCollapsePolygonEdgeInfo collapse_edge( VerticesModifier& modifier,
            const PolygonEdge& edge,
            const Point< dimension >& point );

        std::vector< index_t > delete_inactive_polygons();

        SurfaceCleanInfo clean( VerticesModifier& modifier );

    private:
        /// Hints the processor at what an edit of the edge reads and writes
        /// around the edge's polygon: the rows of its neighbours, its
        /// corners, the flag of the adjacent polygon. Changes nothing.
        void prefetch_edge_surroundings( const PolygonEdge& edge ) const;

        /// Hints the processor at the neighbours of the polygon adjacent
        /// across the edge and at its opposite corner. Called once the
        /// adjacent row had time to load. Changes nothing.
        void prefetch_adjacent_surroundings( const PolygonEdge& edge ) const;

        /// Splits the triangle of `edge` (from x to y, apex z) into
        /// (x, v, z) and (v, y, z), linked to each other and to the outer
        /// neighbours, and deactivates it. Returns the triangle at x, then
        /// the one at y.
        std::array< index_t, 2 > split_polygon(
            const PolygonEdge& edge, index_t new_vertex );

        /// One triangle of a collapsed edge: the collapsed polygon edge, its
        /// next and previous edges, and the neighbours' edges across these
        /// two.
        struct CollapseSide
        {
            PolygonEdge edge;
            PolygonEdge next;
            PolygonEdge previous;
            std::optional< PolygonEdge > next_adjacent;
            std::optional< PolygonEdge > previous_adjacent;
        };

        /// What a collapse reads of the surface before it changes anything.
        struct CollapseContext
        {
            std::array< index_t, 2 > vertices{ NO_ID, NO_ID };
            std::array< PolygonsAroundVertex, 2 > polygons_around;
            /// Both ends' links, the first end's first: for each end, the
            /// other vertices of its triangles except the other end, sorted.
            /// Filled only when the surface has an edge table.
            absl::InlinedVector< index_t, 32 > link_vertices;
            /// The table edge from its end to each link vertex (same order
            /// as `link_vertices`), looked up once before the surface
            /// changes.
            absl::InlinedVector< index_t, 32 > link_edge_ids;
            /// End e's entries of both lists are those from link_starts[e]
            /// to link_starts[e + 1].
            std::array< std::size_t, 3 > link_starts{ 0, 0, 0 };

            [[nodiscard]] absl::Span< const index_t > links( int end ) const
            {
                return absl::MakeConstSpan( link_vertices )
                    .subspan( link_starts[end], link_starts[end + 1] - link_starts[end] );
            }

            [[nodiscard]] absl::Span< const index_t > link_edges( int end ) const
            {
                return absl::MakeConstSpan( link_edge_ids )
                    .subspan( link_starts[end], link_starts[end + 1] - link_starts[end] );
            }
            /// The table edge joining the two ends; NO_ID when the surface
            /// has no edge table or the table misses it.
            index_t collapsed_edge{ NO_ID };
            CollapseSide side;
            std::optional< CollapseSide > adjacent_side;
        };

        CollapseSide collapse_side( const PolygonEdge& edge ) const;

        CollapseContext collapse_context( const PolygonEdge& edge ) const;

        /// Flags the table edge joining the collapsed ends inactive, when
        /// there is one (deactivate_edge, with the lookup made beforehand).
        void deactivate_collapsed_edge( const CollapseContext& context );

        /// Re-points the corners of both ends to the new vertex, closes the
        /// holes and deactivates the collapsed triangles.
        template < typename Info >
        void collapse_polygons(
            const CollapseContext& context, index_t new_vertex, Info& info );

        /// Makes the two outer neighbours of the side's triangle adjacent to
        /// each other, skipping over the other collapsed triangle.
        void close_hole( const CollapseSide& side,
            const std::optional< CollapseSide >& other );

        /// Deactivates the old edges of both ends and copies their attributes
        /// to the matching edges of the new vertex.
        void update_collapsed_edges(
            const CollapseContext& context, index_t new_vertex );

    private:
        const TriangulatedSurface< dimension >& mesh_;
        TriangulatedSurfaceBuilder< dimension >& builder_;
        internal::ActiveFlags polygon_active_;
        std::unique_ptr< internal::ActiveFlags > edge_active_;
    };
} // namespace orvane
