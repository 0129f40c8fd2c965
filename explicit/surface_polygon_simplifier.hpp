#pragma once

#include <openorvane/basic/types.hpp>

namespace orvane
{
    namespace internal
    {
        class BackgroundProvenance;
        class MeshesExtracterfromBackgroundSolid;
        struct ExtractedMeshes;
        struct ExtractedSurface;

        /// Simplifies every extracted patch back to as few triangles as its
        /// provenance allows.
        class SurfacePolygonSimplifier
        {
        public:
            /// The most collapse cycles a patch may need.
            static constexpr index_t MAX_CYCLES = 100;

            /// Every patch of every surface, in increasing surface uuid and
            /// polygon order. Each patch is simplified in cycles (collect the
            /// collapsible edges, collapse, repair degenerate triangles)
            /// until a cycle changes nothing, then its edges are swapped
            /// towards fatter triangles and it is cleaned. Throws
            /// OpenOrvaneException "[SurfacePolygonSimplifier::apply] Max
            /// safety count reached" when the last allowed cycle still
            /// changed the patch; the patch is cleaned in any case.
            static void apply( MeshesExtracterfromBackgroundSolid& extracter );

            static void apply(
                const BackgroundProvenance& provenance, ExtractedMeshes& meshes );

            /// One patch, with at most `max_cycles` cycles; returns the
            /// number of cycles run.
            static index_t simplify_patch( const BackgroundProvenance& provenance,
                ExtractedSurface& patch,
                index_t max_cycles = MAX_CYCLES );
        };
    } // namespace internal
} // namespace orvane
