#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <absl/container/fixed_array.h>
#include <absl/container/inlined_vector.h>
#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/geometry/aabb.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/mesh_records.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

#include <common/cutter/find_and_cut_along_patch.hpp>
#include <common/cutter/solid_cut_along_path.hpp>
#include <common/cutter/solid_determine_cuts.hpp>
#include <common/modifier/vertices_modifier.hpp>

#include <background/background_solid.hpp>
#include <background/background_solid_inserter.hpp>
#include <background/background_solid_modifier.hpp>

// The working parts of BackgroundSolidInserter, shared by its source files:
// - background_solid_inserter.cpp: state, skin, runs, polygon insertion;
// - inserter_point_edge_insertion.cpp: points and input edges;
// - inserter_edge_cutting.cpp: cutting the segment between two vertices;
// - inserter_facet_insertion.cpp: input triangles;
// - inserter_edit_context.cpp: the repair passes run after each insertion.

namespace orvane
{
    template < index_t dimension >
    class SurfaceMesh;
    template < index_t dimension >
    class EdgedCurve;
} // namespace orvane

namespace orvane
{
    namespace internal
    {
        /// A point of an input edge that becomes a background vertex: one of
        /// the edge's two ends, or a crossing of the edge with the skin.
        struct EdgeCrossing
        {
            Point< 3 > point;
            /// The background vertex made for it; empty while not inserted,
            /// for an end outside the solid, or when no border facet lies at
            /// a skin crossing.
            std::optional< index_t > vertex;
            /// For the two ends: the end's vertex in the input mesh.
            std::optional< index_t > input_vertex;
            /// For a skin crossing: the skin triangle crossed.
            std::optional< index_t > skin_triangle;
        };

        /// What inserting one input edge made.
        struct EdgeInsertion
        {
            /// The ends and the skin crossings, ordered along the edge from
            /// its first vertex.
            std::vector< EdgeCrossing > crossings;
            /// One per consecutive pair of crossings: 0 when the stretch was
            /// inserted as background edges, 1 when it was not (an end has no
            /// vertex, or the stretch lies outside the solid).
            std::vector< std::uint32_t > outside;
        };

        /// One step of a walk along background edges: the edge, and whether
        /// the walk goes from its smaller to its larger vertex id.
        struct EdgeStep
        {
            index_t edge{ NO_ID };
            bool ascending{ true };

            bool operator==( const EdgeStep& ) const = default;
        };

        /// Background vertices from a first to a last one, each consecutive
        /// pair joined by an edge once the chain is complete.
        using VertexChain = std::vector< index_t >;

        /// A stretch of a chain that had no edge and the chain then cut
        /// between its two ends.
        struct SubChain
        {
            /// The two chain vertices, as they were in the chain.
            std::array< index_t, 2 > gap{ NO_ID, NO_ID };
            /// The chain from the first to the second, both included.
            VertexChain chain;
        };
        using SubChains = absl::FixedArray< SubChain, 8 >;

        /// The splits made for the cuts a failed path cut left undone.
        struct PendingCutsReplay
        {
            /// One slot per cut of the failed cut's path: the vertex made for
            /// it, NO_ID when the cut was done by the cutter or skipped.
            std::vector< index_t > vertices;
            /// The vertices of every split edge, smaller first, each once.
            std::vector< std::array< index_t, 2 > > edges;
            /// The vertices of every split facet, in canonical rotation.
            std::vector< VertexCycle > facets;
            /// The tetrahedra the splits made.
            std::vector< index_t > tetrahedra;
        };

        /// One split of a pending cut.
        struct PendingSplit
        {
            /// The vertices of the split facet or edge, taken before it.
            absl::InlinedVector< index_t, 3 > vertices;
            std::vector< index_t > tetrahedra;
            index_t vertex{ NO_ID };
        };

        /// Where an edge of the solid crosses an input triangle.
        struct SkinCrossing
        {
            PolyhedronFacetEdge edge;
            Point< 3 > point;
        };

        /// The splits made for the cuts a failed patch cut postponed.
        struct PendingPatchCuts
        {
            /// The two vertices of each split edge.
            std::vector< std::array< index_t, 2 > > split_edges;
            /// One per postponed cut: its new vertex, NO_ID when skipped.
            std::vector< index_t > vertices;
            std::vector< index_t > tetrahedra;
        };

        /// The repairs run after one insertion step, with the elements the
        /// step made that they must keep: the vertices no repair may remove,
        /// the edges and facets (vertex cycles) no repair may make again.
        /// Built on the inserter's solid, modifier and builder; the tracked
        /// lists compare vertices through the modifier's vertex map.
        class InsertionEditContext
        {
        public:
            InsertionEditContext( BackgroundSolid& solid,
                BackgroundSolidModifier& modifier,
                BackgroundSolidBuilder& builder,
                std::vector< index_t > tracked_vertices );
            InsertionEditContext( const InsertionEditContext& ) = delete;
            InsertionEditContext& operator=( const InsertionEditContext& ) = delete;
            ~InsertionEditContext();

            /// The tracked vertices; callers append to it or overwrite it.
            [[nodiscard]] std::vector< index_t >& tracked_vertices();

            /// Adds the pair, smaller first, unless it is tracked already.
            void track_edge( std::array< index_t, 2 > edge );

            /// Adds the cycle in canonical rotation unless it is present.
            void track_facet( VertexCycle cycle );

            /// Adds every vertex, edge and facet of the replay that is not
            /// tracked yet (NO_ID slots skipped).
            void track( const PendingCutsReplay& replay );

            /// The epsilon pass over the listed tetrahedra; returns the
            /// tetrahedra it made.
            std::vector< index_t > repair_epsilon(
                absl::Span< const index_t > tetrahedra );

            /// The epsilon pass over the tetrahedra numbered from `first` on.
            std::vector< index_t > repair_epsilon_from( index_t first );

            /// The quality pass over the tetrahedra numbered from `first` on.
            void repair_quality( index_t first );

        private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };

        class BackgroundSolidInserter::Impl
        {
        public:
            /// Builds the skin and marks the border facets with its records.
            explicit Impl( BackgroundSolid& solid );
            Impl( const Impl& ) = delete;
            Impl& operator=( const Impl& ) = delete;
            /// Removes every record of the skin from the solid.
            ~Impl();

            [[nodiscard]] BackgroundSolid& solid()
            {
                return solid_;
            }

            [[nodiscard]] BackgroundSolidModifier& modifier()
            {
                return modifier_;
            }

            [[nodiscard]] BackgroundSolidBuilder& builder()
            {
                return builder_;
            }

            [[nodiscard]] const TriangulatedSurface< 3 >& skin() const
            {
                return *skin_;
            }

            [[nodiscard]] const AABBTree< 3 >& skin_tree() const
            {
                return skin_tree_;
            }

            [[nodiscard]] const uuid& skin_id() const
            {
                return skin_id_;
            }

            /// A fresh repair context on the inserter's solid.
            [[nodiscard]] std::unique_ptr< InsertionEditContext >
                make_edit_context( std::vector< index_t > tracked_vertices = {} );

            /// Repairs the tetrahedra a split made (those from `first_new` on
            /// and the split's own), tracking its new vertex, and returns
            /// that vertex as it is after the repairs.
            template < typename SplitInfo >
            index_t repair_split( const SplitInfo& split, index_t first_new );

            /// Compacts the solid (the modifier's clean-up) and keeps the
            /// skin's corner vertices pointing at the renumbered vertices.
            void compact();

            // ---- runs ----

            void insert_surface( const SurfaceMesh< 3 >& surface,
                absl::Span< const index_t > polygons );
            void insert_curve(
                const EdgedCurve< 3 >& curve, absl::Span< const index_t > edges );

            /// The three edges of the triangle, then the triangle.
            void insert_polygon( const uuid& surface_id,
                const SurfaceMesh< 3 >& surface,
                index_t polygon );

            // ---- points and edges ----

            /// A tetrahedron of the current solid within 1e-6 of the point.
            [[nodiscard]] std::optional< index_t > locate_point(
                const Point< 3 >& point );

            /// The background vertex at the point, in or on the tetrahedron.
            index_t insert_point_in_tetrahedron(
                index_t tetrahedron, const Point< 3 >& point );

            /// The current background vertex of a corner of a skin triangle.
            [[nodiscard]] index_t skin_vertex(
                index_t skin_triangle, local_index_t corner );

            /// The current border facets that come from the skin triangle, in
            /// discovery order.
            [[nodiscard]] std::vector< PolyhedronFacet > skin_border_facets(
                index_t skin_triangle );

            /// The background vertex at a skin crossing, or NO_ID when no
            /// border facet of its skin triangle lies within 1e-6.
            index_t insert_point_on_skin( const EdgeCrossing& crossing );

            EdgeInsertion insert_curve_edge( const EdgedCurve< 3 >& curve,
                index_t edge,
                std::array< index_t, 2 > vertices );
            EdgeInsertion insert_surface_edge( const SurfaceMesh< 3 >& surface,
                index_t edge,
                std::array< index_t, 2 > vertices );

            /// Inserts the input edge from the points of its two ends.
            EdgeInsertion insert_input_edge( const uuid& mesh_id,
                index_t edge,
                std::array< index_t, 2 > vertices,
                std::array< Point< 3 >, 2 > points );

            /// Makes the stretch between two background vertices carry the
            /// input edge: along edges that carry another input edge there,
            /// otherwise by cutting.
            void insert_sub_edge( const uuid& mesh_id,
                index_t edge,
                std::array< index_t, 2 > vertices );

            void cut_input_edge( const uuid& mesh_id,
                index_t edge,
                std::array< index_t, 2 > vertices );

            /// The edge between each two consecutive vertices (each exists).
            [[nodiscard]] std::vector< index_t > chain_edges(
                absl::Span< const index_t > chain ) const;

            /// The first vertex "init_edge_id" record of the first vertex
            /// that the second vertex also holds.
            [[nodiscard]] std::optional< MeshEdge > common_init_edge_id(
                std::array< index_t, 2 > vertices ) const;

            /// The edges around the vertex carrying the record, each with its
            /// other vertex.
            [[nodiscard]] std::vector< std::pair< index_t, index_t > >
                edges_with_init_edge( index_t vertex, const MeshEdge& record ) const;

            /// The walk from vertices[0] to vertices[1] along edges carrying
            /// the record; the two vertices are translated in place.
            std::optional< std::vector< EdgeStep > > track_inserted_edge(
                std::array< index_t, 2 >& vertices, const MeshEdge& record );

            // ---- facets ----

            void insert_polygon_facet( const uuid& surface_id,
                index_t polygon,
                const std::array< EdgeInsertion, 3 >& edges );

            CutAlongPatchResult insert_macro_facet(
                const std::array< EdgeInsertion, 3 >& edges,
                const Triangle< 3 >& triangle,
                const uuid& surface_id,
                index_t polygon,
                InsertionEditContext& context );

            CutAlongPatchResult insert_facet( absl::Span< const EdgeStep > boundary,
                const Triangle< 3 >& triangle,
                const uuid& surface_id,
                index_t polygon,
                const std::array< EdgeInsertion, 3 >& edges,
                InsertionEditContext& context );

            /// Position on a triangle's boundary: (edge 0..2, stretch).
            using BoundaryPosition = std::array< index_t, 2 >;

            [[nodiscard]] std::vector< EdgeStep > facet_boundary_edges(
                const std::array< EdgeInsertion, 3 >& edges,
                const Triangle< 3 >& triangle );

            bool skin_boundary_edges( const std::array< EdgeInsertion, 3 >& edges,
                const Triangle< 3 >& triangle,
                BoundaryPosition& position,
                std::vector< EdgeStep >& boundary );

            [[nodiscard]] std::optional< SkinCrossing >
                get_one_crossing_background_skin_edge(
                    const Triangle< 3 >& triangle );

            [[nodiscard]] std::vector< EdgeStep > overlap_boundary_edges(
                const SkinCrossing& crossing, const Triangle< 3 >& triangle );

            [[nodiscard]] std::optional< std::vector< SolidCut > >
                border_path_cuts( std::array< index_t, 2 > vertices,
                    const Triangle< 3 >& triangle );

            VertexChain cut_along_border_path(
                std::array< index_t, 2 > vertices, const Triangle< 3 >& triangle );

            PendingPatchCuts replay_pending_patch_cuts(
                const CutPatchException& exception );

            // ---- cutting between two background vertices ----

            /// The chain of background vertices along the segment between
            /// two current vertices, after cutting the tetrahedra it crosses.
            VertexChain cut_edge( std::array< index_t, 2 > vertices,
                index_t input_edge,
                InsertionEditContext& context );

            /// The chain along given cuts of a segment between two vertices
            /// (the first and last cuts on them): the cut, then its replay
            /// into the provenance, or the recovery of its failure.
            VertexChain cut_along_cuts( absl::Span< const SolidCut > cuts,
                index_t input_edge,
                InsertionEditContext& context );

            /// Collapses the listed edges whose ends are still distinct.
            void collapse_cut_edges(
                absl::Span< const index_t > edges, InsertionEditContext& context );

            /// Makes by plain splits the cuts a failed path cut left undone.
            PendingCutsReplay replay_pending_cuts(
                const CutPathException& exception );

            PendingSplit split_pending_facet( const LeftoverFacetCut& cut );
            PendingSplit split_pending_edge( const LeftoverEdgeCut& cut );

            /// Per cut, the first live vertex of the two lists; then
            /// simplified.
            VertexChain chain_from_cut_vertices( absl::Span< const index_t > first,
                absl::Span< const index_t > second );

            /// Removes the loops between two occurrences of a vertex (the
            /// first occurrence included) and the isolated vertices.
            void simplify_vertex_chain( VertexChain& chain ) const;

            /// Translates every vertex, then simplifies.
            void update_vertex_chain( VertexChain& chain );

            /// The consecutive pairs of distinct vertices with no edge.
            [[nodiscard]] std::vector< std::array< index_t, 2 > >
                missing_chain_edges( absl::Span< const index_t > chain ) const;

            /// Cuts every gap, recursively.
            SubChains insert_missing_edges(
                absl::Span< const std::array< index_t, 2 > > gaps,
                index_t input_edge,
                InsertionEditContext& context );

            /// The chain with the inner vertices of each subchain put in its
            /// gap, then updated.
            VertexChain splice_chains(
                absl::Span< const index_t > chain, const SubChains& subchains );

            /// Deepest nesting of the gap cuts of one edge cut: a recovery
            /// that makes no progress would otherwise recurse for ever. At
            /// the bound the cut throws OpenOrvaneException, which fails the
            /// element being inserted.
            static constexpr index_t MAX_CUT_RECOVERY_DEPTH = 16;
            /// Most attempts of one facet insertion, for the same reason.
            static constexpr index_t MAX_FACET_ATTEMPTS = 32;

            /// Lowers the bound on the nesting of gap cuts (for tests).
            void set_max_cut_recovery_depth( index_t depth )
            {
                max_cut_recovery_depth_ = depth;
            }

        private:
            /// The chain of a cut replayed into the provenance, or the
            /// recovery of its failure.
            VertexChain recover_cut_edge( const CutPathException& exception,
                index_t input_edge,
                InsertionEditContext& context );

        private:
            BackgroundSolid& solid_;
            BackgroundSolidBuilder builder_;
            BackgroundSolidModifier modifier_;
            std::unique_ptr< TriangulatedSurface< 3 > > skin_;
            std::vector< absl::InlinedVector< index_t, 3 > > skin_facet_vertices_;
            AABBTree< 3 > skin_tree_;
            uuid skin_id_;
            /// Depth of the gap cuts in progress, and its bound.
            index_t cut_recovery_depth_{ 0 };
            index_t max_cut_recovery_depth_{ MAX_CUT_RECOVERY_DEPTH };
            /// Attempts of the facet insertion in progress.
            index_t facet_attempts_{ 0 };
        };
    } // namespace internal
} // namespace orvane
