#pragma once

#include <openorvane/basic/types.hpp>

#include <explicit/extracted_meshes.hpp>
#include <explicit/modeler_meshes.hpp>
#include <explicit/problematic_elements.hpp>

namespace orvane
{
    namespace internal
    {
        /// What the resolution of one conflict zone hands to the integration:
        /// the conformal pieces extracted for every current mesh, the zone's
        /// polygons and edges whose insertion failed, and the zone status.
        struct ComponentResolution
        {
            ExtractedMeshes extracted;
            ProblematicElements left_over;
            /// 2: nothing left over; 0: none of the zone's polygons and edges
            /// was inserted; 1: some were.
            int status{ 0 };
        };

        /// The status of a zone from what was left over. Only the zone's
        /// polygons and edges are inserted, so they alone are counted: a
        /// zone whose every polygon and edge failed is 0 even when it also
        /// holds point-set vertices, and a left-over index counts once
        /// however often an insertion run reports it.
        int zone_status(
            const ProblematicElements& left_over, const ProblematicElements& zone );
    } // namespace internal
} // namespace orvane
