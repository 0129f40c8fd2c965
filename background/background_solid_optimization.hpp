#pragma once

#include <memory>
#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>

// The two repair passes that follow every insertion step into a background
// solid. Both edit the solid only through the edit context, whose
// admissibility tests keep the tracked elements and the provenance.

namespace orvane
{
    namespace internal
    {
        class BackgroundSolidEditContext;

        /// Best-effort removal of relatively thin tetrahedra among those from
        /// `first_tetrahedron` to the last one: a tetrahedron with an edge,
        /// or a vertex-to-edge, vertex-to-facet or edge-to-edge distance, of
        /// at most a tenth of its longest edge is removed by an edge
        /// collapse, an edge swap or a 2-3 flip that makes every tetrahedron
        /// it creates better than 1.01 times the worst one it replaces.
        /// Stops quietly when it runs out of edits. `first_tetrahedron`
        /// must not exceed the number of tetrahedra.
        void optimize_quality(
            std::unique_ptr< BackgroundSolidEditContext >& context,
            index_t first_tetrahedron );

        /// Removes every defect at the scale of 1e-6 from the listed
        /// tetrahedra and from the tetrahedra its edits make: edges of
        /// length 1e-6 or less, vertices within 1e-6 of an edge or facet,
        /// opposite edges within 1e-6 of each other, and tetrahedra glued to
        /// a neighbour along two or three facets. Edits that add flat
        /// tetrahedra, and splits at the offending vertex or point, are used
        /// only when nothing else remains.
        ///
        /// Returns every tetrahedron index created during the run, in
        /// increasing order, including those that a later edit of the run
        /// deactivated. Throws OpenOrvaneException "[Orchestrator::
        /// process_queue] Too many skipped elements" when defects remain,
        /// and "[Orchestrator::process_queue] Too many steps while
        /// orchestrating elements" when the step limit is reached; the solid
        /// keeps the edits made.
        std::vector< index_t > optimize_epsilon(
            std::unique_ptr< BackgroundSolidEditContext >& context,
            absl::Span< const index_t > tetrahedra );

        /// optimize_epsilon over the tetrahedra from `first_tetrahedron` to
        /// the last one.
        std::vector< index_t > optimize_epsilon_from(
            std::unique_ptr< BackgroundSolidEditContext >& context,
            index_t first_tetrahedron );
    } // namespace internal
} // namespace orvane
