#pragma once

#include <memory>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>

#include <explicit/component_resolution.hpp>

namespace orvane
{
    namespace internal
    {
        class BackgroundSolid;
        class BackgroundSolidInserter;

        /// Resolves one conflict zone locally: a size field from the points
        /// of the zone's polygons and edges, a tetrahedral solid of its box
        /// refined to it, the insertion of the zone's polygons (surface by
        /// surface) and then of its edges (curve by curve), the extraction
        /// and simplification of the conformal pieces of every current mesh.
        /// A failed insertion run goes to `left_over` and the next run still
        /// happens. Reads the current meshes only: their edges must have been
        /// enabled beforehand, so that zones may run side by side. Throws
        /// OpenOrvaneException "[ModelerMetric::build] No point added" for a
        /// zone of point-set vertices only, and lets every other failure of
        /// the metric, the solid, the insertion or the extraction through.
        ComponentResolution resolve_component(
            const ModelerState& state, const ProblematicElements& zone );

        /// Inserts the zone's polygons, surface by surface in list order;
        /// returns the polygons not inserted per surface uuid.
        absl::flat_hash_map< uuid, std::vector< index_t > > insert_component_surfaces(
            BackgroundSolidInserter& inserter,
            const ModelerState& state,
            const ProblematicElements& zone );

        /// Inserts the zone's edges, curve by curve in list order; returns the
        /// edges not inserted per curve uuid.
        absl::flat_hash_map< uuid, std::vector< index_t > > insert_component_curves(
            BackgroundSolidInserter& inserter,
            const ModelerState& state,
            const ProblematicElements& zone );

        /// The pieces of every current mesh in the solid, curves and
        /// surfaces simplified.
        ExtractedMeshes extract_meshes(
            const BackgroundSolid& solid, const ModelerState& state );
    } // namespace internal
} // namespace orvane
