#pragma once

#include <openorvane/basic/types.hpp>

#include <explicit/modeler_meshes.hpp>

namespace orvane
{
    namespace internal
    {
        /// Rounds of local repairs a surface gets before its remaining
        /// degenerate triangles are simply deleted.
        inline constexpr index_t MAX_DEGENERATE_REPAIR_ROUNDS = 10;

        /// Rids the surface of its triangles whose smallest height is at most
        /// 1e-6 without opening it, so that no T-junction crack is left:
        /// - a needle (an edge of length at most 1e-6) has that edge
        ///   collapsed: the polygons of one end take the other end, and the
        ///   triangles left with a repeated vertex go;
        /// - a cap (a vertex within 1e-6 of the opposite, longest, edge) has
        ///   that edge swapped with the one polygon across it, the two new
        ///   triangles sharing both polygons' provenance; a cap on the
        ///   surface's border goes, its border moving by at most 1e-6.
        /// What the repairs cannot reach within MAX_DEGENERATE_REPAIR_ROUNDS
        /// rounds is deleted. Adjacencies are recomputed and the vertices
        /// left unused deleted, also when nothing changed. Returns the number
        /// of triangles deleted.
        index_t remove_degenerate_triangles( TriangulatedSurface< 3 >& surface );

        /// Deletes the edges of length at most 1e-6, joining their two ends
        /// into one so that the curve stays connected; returns how many went.
        index_t remove_degenerate_edges( EdgedCurve< 3 >& curve );

        /// One task per surface, then per curve; the first failure in that
        /// order is rethrown once all have ended. Returns the number of
        /// elements deleted.
        index_t remove_degenerate_elements( const ModelerMeshes& meshes );
    } // namespace internal
} // namespace orvane
