#pragma once

#include <core_support/stage_clock.hpp>

#include <facade/mesher.hpp>

namespace orvane
{
    class BRepExplicitModeler;

    namespace internal
    {
        struct SurfaceStages;

        /// The whole run of Mesher::build_and_mesh on the modeler's stored
        /// surfaces (edited in place), with the given surface stages of the
        /// remeshing driver. The observer, when given, is told the time of
        /// every stage as it ends: those of the explicit modeler, then
        /// "feature split" and "metric", then those of the remeshing driver.
        orvane_tamsel::MesherResult mesh_surfaces( BRepExplicitModeler& modeler,
            const orvane_tamsel::MesherOptions& options,
            const SurfaceStages& stages,
            const StageObserver& observer = {} );
    } // namespace internal
} // namespace orvane
