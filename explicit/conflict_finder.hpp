#pragma once

#include <memory>
#include <optional>

#include <explicit/conflict_graph.hpp>
#include <explicit/modeler_meshes.hpp>

namespace orvane
{
    namespace internal
    {
        /// Finds the elements of the current meshes that intersect or come
        /// within 1e-6 of each other. The surfaces and the curves are each
        /// merged first (tolerance 1e-6), so that elements touching through
        /// shared vertices are neighbours rather than conflicts; findings on
        /// the merged meshes are mapped back to the current elements. Three
        /// searches run as pool tasks (exact intersections, proximity,
        /// polygons lost in the merge), each into its own graph, merged in
        /// that order.
        ///
        /// Returns the graph when a search found anything (possibly only
        /// lost polygons, leaving the graph without vertex), nothing
        /// otherwise.
        std::optional< std::unique_ptr< ConflictGraph > > find_conflicts(
            const ModelerMeshes& meshes );
    } // namespace internal
} // namespace orvane
