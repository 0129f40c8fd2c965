#pragma once

#include <array>
#include <deque>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>
#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/mesh/mesh_records.hpp>

#include <common/modifier/triangle_preview.hpp>
#include <common/modifier/triangulated_surface_modifier.hpp>

#include <explicit/extracted_meshes.hpp>

namespace orvane
{
    namespace internal
    {
        class BackgroundProvenance;

        /// Coarsens one extracted patch by edge collapses and repairs what
        /// the collapses leave by edge swaps, without losing provenance: a
        /// vertex that stands for an input vertex never moves, the border
        /// stays, points of input curves stay on them, and no edge between
        /// triangles of different input polygons is swapped away.
        ///
        /// Every edit goes through the modifier, which keeps replaced
        /// triangles as inactive cells until the caller cleans the patch;
        /// the modifier and the patch must outlive the simplifier.
        class SurfaceSimplifier
        {
        public:
            /// A queued edge and the stamp it was queued with. An entry is
            /// current while its stamp is the edge's stamp in `stamps`.
            using Entry = std::pair< PolygonEdge, unsigned >;
            using Queue = std::deque< Entry >;
            /// Triangles already swapped away in one pass, as sorted vertex
            /// triples.
            using Tried = std::vector< std::array< index_t, 3 > >;

            SurfaceSimplifier( const BackgroundProvenance& provenance,
                ExtractedSurface& surface,
                TriangulatedSurfaceModifier< 3 >& modifier );

            // Collapse rules

            /// Flag i set: the edge may not collapse onto its end i (that
            /// is, its end 1 - i must stay where it is).
            [[nodiscard]] std::array< bool, 2 > fixed_ends( const PolygonEdge& edge ) const;

            /// Whether every input curve edge that both background vertices
            /// lie on is listed on the patch edge.
            [[nodiscard]] bool keeps_common_curve_edges(
                index_t edge, index_t moved, index_t kept ) const;

            /// Whether every input polygon that both background vertices lie
            /// on is listed around the patch edge.
            [[nodiscard]] bool keeps_common_polygons(
                index_t edge, index_t moved, index_t kept ) const;

            /// The triangles around the edge's ends, with the moving end
            /// placed on end `kept_end` (0 or 1).
            [[nodiscard]] TrianglePreviews< 3 > collapse_preview(
                const PolygonEdge& edge, local_index_t kept_end ) const;

            /// Collapses the edge onto its vertex `kept`: the new vertex
            /// takes its place and provenance, and the edges around it are
            /// queued again with raised stamps.
            void collapse_onto( const PolygonEdge& edge, index_t kept );

            // Collapse pass

            /// Queues once every edge of the active polygons that may
            /// collapse onto at least one of its ends.
            void collect_collapsible_edges();

            /// Collapses queued edges while the rules allow. Returns whether
            /// another cycle is worth running.
            bool collapse_edges();

            // Repairs

            /// Removes degenerate triangles by swapping non-feature edges.
            void remove_degenerate_polygons();

            /// Final pass: swaps non-feature edges whose swap makes both
            /// triangles more than 1 % larger than the smaller old one.
            void swap_edges();

            bool repair_degenerate_polygon(
                index_t polygon, std::deque< index_t >& queue, Tried& tried );

            /// Makes blocked collapses possible by swaps. Returns true when
            /// something was unlocked or every remaining entry was given up.
            bool unlock_blocked_collapses( Queue queue );

            /// Swaps an edge around a link vertex that blocks a collapse.
            /// Throws OpenOrvaneException when the collapse would pinch the
            /// border.
            std::pair< std::array< index_t, 2 >, bool > unlock_topological_invalidity(
                const SurfaceOperationReport& report,
                const std::array< index_t, 2 >& edge_vertices,
                Tried& tried );

            std::pair< std::array< index_t, 2 >, bool > try_unlock_swap(
                const PolygonEdge& edge, Tried& tried );

            /// A border edge, an edge between triangles of different input
            /// polygons, an edge on an input curve, or an edge where several
            /// input polygons meet.
            [[nodiscard]] bool is_feature_edge( const PolygonEdge& edge ) const;

            [[nodiscard]] bool have_different_components(
                index_t polygon, index_t other ) const;

            /// The two new triangles of a swap take the provenance of the
            /// swapped edge's polygon.
            void copy_polygon_origins( const SurfaceSwapEdgeInfo& swap );

            [[nodiscard]] const Queue& queue() const
            {
                return queue_;
            }

        private:
            [[nodiscard]] index_t background_vertex( index_t vertex ) const;

            [[nodiscard]] index_t patch_edge(
                const std::array< index_t, 2 >& vertices ) const;

            [[nodiscard]] index_t apex( const PolygonEdge& edge ) const;

            void update_edge_components( absl::Span< const EdgeMerge > merges );

            void put_back( const Entry& entry, std::size_t& put_back_count );

            const BackgroundProvenance& provenance_;
            ExtractedSurface& surface_;
            const TriangulatedSurface< 3 >& mesh_;
            TriangulatedSurfaceModifier< 3 >& modifier_;
            Queue queue_;
            absl::flat_hash_map< PolygonEdge, unsigned > stamps_;
        };
    } // namespace internal
} // namespace orvane
