#pragma once

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/mesh_records.hpp>

#include <common/modifier/vertices_modifier.hpp>

// The edit context of the repair passes of a background solid: the solid,
// the modifier and the builder through which every repair edit goes, and the
// elements that the insertion step in progress tracks.
//
// The edits call the modifier, which already replays the provenance of the
// elements it replaces. They then repair what the modifier cannot know: when
// an edit leaves a vertex within 1e-6 of an edge or facet that it removed,
// the pieces of that edge or facet through the vertex take over its records,
// so that an inserted curve edge or surface facet keeps its provenance when
// it is cut into pieces. The admissibility tests refuse the edits that would
// lose provenance, move a border vertex inward, remove a tracked vertex, or
// create an edge or triangle that the tracked lists hold.
//
// Vertex ids stored in the tracked lists are compared through the
// modifier's vertex map, so that they stay valid across collapses.

namespace orvane
{
    namespace internal
    {
        class BackgroundSolid;
        class BackgroundSolidBuilder;
        class BackgroundSolidModifier;

        /// The elements an insertion step cares about.
        struct BackgroundSolidTrackedElements
        {
            BackgroundSolidTrackedElements() = default;

            /// Appends each vertex, edge and point of `other` that is not
            /// present yet (points compared exactly), then its cycles that
            /// are not present yet.
            void merge( const BackgroundSolidTrackedElements& other );

            /// Vertices that no edit may remove.
            std::vector< index_t > vertices;
            /// Vertex pairs, each sorted, no duplicates.
            std::vector< std::array< index_t, 2 > > edges;
            /// Vertex triangles, each in canonical rotation, no duplicates.
            std::vector< VertexCycle > facets;
            /// Points of the insertion step; carried along, not read by the
            /// repairs.
            std::vector< Point< 3 > > points;
        };

        /// What an edit that merges or creates a vertex reports: that vertex
        /// (NO_ID when none), the vertices merged into it, and the
        /// tetrahedra the edit modified or created.
        struct BackgroundSolidVertexEdit
        {
            index_t vertex{ NO_ID };
            absl::InlinedVector< index_t, 4 > merged_vertices;
            std::vector< index_t > tetrahedra;
        };

        class BackgroundSolidEditContext
        {
        public:
            BackgroundSolidEditContext( BackgroundSolid& solid_in,
                BackgroundSolidModifier& modifier_in,
                BackgroundSolidBuilder& builder_in,
                BackgroundSolidTrackedElements tracked_in );

            /// True when some tracked vertex reads as `vertex`.
            [[nodiscard]] bool is_vertex_tracked( index_t vertex );

            /// Drops the tracked edges and triangles that hold the vertex.
            void forget_vertex( index_t vertex );

            /// Collapses the edge, removing `removed` and keeping the point
            /// of `kept` for the merged vertex. A degenerate edge left on the
            /// merged vertex is collapsed too. Reports the merged vertex,
            /// the merged vertices and the tetrahedra the (first) collapse
            /// modified.
            BackgroundSolidVertexEdit collapse_edge(
                const PolyhedronFacetEdge& edge, index_t removed, index_t kept );

            /// Replaces the tetrahedra around the edge by a fan from the
            /// apex. When a replaced tetrahedron has a vertex within 1e-6 of
            /// the edge, the edge is tracked and its two pieces through that
            /// vertex take over its records (and, when that vertex is the
            /// apex, the triangles of the fan over the edge's facets take
            /// over those facets' records). Returns the new tetrahedra.
            std::vector< index_t > swap_edge(
                const PolyhedronFacetEdge& edge, index_t apex );

            /// 2-3 flip of the facet. When one of the two apexes lies within
            /// 1e-6 of the facet, the facet is tracked and the three facets
            /// through that apex take over its records. Returns the three new
            /// tetrahedra.
            std::vector< index_t > swap_facet( const PolyhedronFacet& facet );

            /// Splits the edge at the point of `vertex` and merges the new
            /// vertex into `vertex` (at its point); the pieces of the edge
            /// and of its facets through that vertex take over their
            /// records.
            BackgroundSolidVertexEdit split_edge_at_vertex(
                const PolyhedronFacetEdge& edge, index_t vertex );

            /// Splits the facet at the point of `vertex` and merges the new
            /// vertex into `vertex`; the three pieces of the facet take over
            /// its records.
            BackgroundSolidVertexEdit split_facet_at_vertex(
                const PolyhedronFacet& facet, index_t vertex );

            /// Splits both edges at the point and merges the two new
            /// vertices there; both edges are tracked.
            BackgroundSolidVertexEdit join_edges( const EdgeVertices& first,
                const EdgeVertices& second,
                const Point< 3 >& point );

            /// Removes the tetrahedron and the neighbour glued to it along
            /// the three facets through its local vertex. A vertex that
            /// carries provenance or is tracked is put back by splitting the
            /// facet that the pair left at its point (the vertex map sends it
            /// to the new vertex, which takes over its records and those of
            /// its edges and facets); otherwise it is left isolated and
            /// forgotten, and nothing is reported.
            BackgroundSolidVertexEdit remove_vertex_triple_adjacency(
                index_t tetrahedron, local_index_t vertex );

            /// Removes the flat pair of tetrahedra glued along both facets
            /// through the edge, and tracks the edge. When the edge carried
            /// provenance, its records go to the path that replaces it
            /// through a vertex of the pair within 1e-6 of it, splitting the
            /// opposite edge when needed; reports that split's vertex and
            /// tetrahedra.
            BackgroundSolidVertexEdit remove_edge_double_adjacency(
                const PolyhedronFacetEdge& edge );

            /// The collapse removing `removed` onto `kept` keeps every
            /// tracked vertex and all provenance, does not move a border
            /// vertex inward and makes no tracked edge or triangle.
            [[nodiscard]] bool is_collapse_admissible(
                index_t removed, index_t kept );

            /// The edge swap from the apex keeps the border, makes no
            /// tracked edge or triangle and loses no provenance.
            [[nodiscard]] bool is_swap_edge_admissible(
                const PolyhedronFacetEdge& edge, index_t apex );

            /// The facet has a neighbour, the flip makes no tracked edge or
            /// triangle and loses no provenance.
            [[nodiscard]] bool is_swap_facet_admissible(
                const PolyhedronFacet& facet );

            /// The edge is inside the solid and carries no provenance, nor
            /// borders a facet that does.
            [[nodiscard]] bool is_edge_free( const PolyhedronFacetEdge& edge );

            BackgroundSolid& solid;
            BackgroundSolidModifier& modifier;
            BackgroundSolidBuilder& builder;
            BackgroundSolidTrackedElements tracked;

        private:
            [[nodiscard]] bool is_tracked_edge( index_t a, index_t b );
            [[nodiscard]] bool is_tracked_facet( index_t a, index_t b, index_t c );
            [[nodiscard]] index_t edge( index_t a, index_t b ) const;
            [[nodiscard]] index_t facet( index_t a, index_t b, index_t c ) const;
            void inherit_edge( index_t a, index_t b, index_t old_edge );
            void inherit_facet(
                index_t a, index_t b, index_t c, index_t old_facet );
            [[nodiscard]] bool is_near_segment(
                index_t vertex, index_t a, index_t b ) const;
            [[nodiscard]] bool is_near_triangle(
                index_t vertex, index_t a, index_t b, index_t c ) const;
            void track_edge( index_t a, index_t b );
            void track_facet( index_t a, index_t b, index_t c );
            BackgroundSolidVertexEdit merge_split_vertex(
                index_t split_vertex, index_t vertex );
        };

        /// A new edit context over the solid, owned by the caller; the
        /// repair passes take a reference to this handle.
        [[nodiscard]] std::unique_ptr< BackgroundSolidEditContext >
            make_edit_context( BackgroundSolid& solid,
                BackgroundSolidModifier& modifier,
                BackgroundSolidBuilder& builder,
                BackgroundSolidTrackedElements tracked );

        /// The facet edge of the tetrahedron that runs from its local vertex
        /// `from` to its local vertex `to`.
        [[nodiscard]] PolyhedronFacetEdge tetrahedron_facet_edge(
            index_t tetrahedron, local_index_t from, local_index_t to );
    } // namespace internal
} // namespace orvane
