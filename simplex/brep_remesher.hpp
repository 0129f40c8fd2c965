#pragma once

#include <functional>
#include <utility>

#include <openorvane/basic/mapping.hpp>
#include <openorvane/model/brep.hpp>

#include <core_support/stage_clock.hpp>

#include <simplex/surface/surface_stages.hpp>

namespace orvane
{
    template < index_t dimension >
    class Metric;

    /// The switches of a whole-model remeshing run. Defaults follow the
    /// usual road: lines and surfaces relaxed, no repair, no block meshing.
    struct BRepRemeshOptions
    {
        /// Line-intersection repair after the line stage.
        bool repair_lines{ false };
        /// Line relaxation after the surface stage.
        bool relax_lines{ true };
        /// Surface-intersection repair after the surface stage.
        bool repair_surfaces{ false };
        /// Final surface relaxation with vertex smoothing and edge flips.
        bool relax_surfaces{ true };
        /// Block relaxation; acts only together with mesh_blocks.
        bool relax_blocks{ true };
        /// Block meshing, with a flip-only surface relaxation before it.
        bool mesh_blocks{ false };
    };

    /// The remeshed model and, per component type, the uuid of the output
    /// component of every input component.
    using BRepRemeshResult =
        std::pair< BRep, ModelMapping< BijectiveMapping< uuid, uuid > > >;

    /// Remeshes a conformal model to the metric: a new model with one
    /// component per input component, filled stage by stage (corners,
    /// lines, surfaces, then the relaxations the options ask for) so that
    /// neighbouring components share one discretisation.
    ///
    /// The input is moved in and not restored on failure; the metric must
    /// live until the call returns. Any stage failure reaches the caller.
    /// With mesh_blocks, every block gets a tetrahedral mesh conformal to
    /// its remeshed boundary (and, with relax_blocks, improved by swaps).
    /// With repair_lines, remeshed lines that cross or come too close are
    /// split along their input lines before the surfaces are remeshed; with
    /// repair_surfaces, the remeshed surfaces that cross or wrongly share
    /// edges are repaired before the block stage.
    [[nodiscard]] BRepRemeshResult remesh_brep(
        BRep&& model, const Metric< 3 >& metric, const BRepRemeshOptions& options );

    namespace internal
    {
        /// The surface stages the driver calls, so that a run can be made
        /// with other implementations (test doubles, say).
        struct SurfaceStages
        {
            std::function< void( RemeshingData< BRep >& ) > remesh_surfaces;
            std::function< void( BRep&, BRepGeometricModifier&, const SurfaceRelaxerOptions& ) >
                relax_surfaces;
        };

        /// The library's own surface stages.
        [[nodiscard]] SurfaceStages default_surface_stages();

        /// remesh_brep with the given surface stages. The observer, when
        /// given, is told the time of each stage as it ends, in run order:
        /// "prepare", "corners", "lines", then "repair lines" when asked
        /// for, "surfaces", then those the options ask for among "flip
        /// surfaces", "repair surfaces", "block meshing", "relax lines",
        /// "relax surfaces" and "relax blocks", and last "clean".
        [[nodiscard]] BRepRemeshResult remesh_brep( BRep&& model,
            const Metric< 3 >& metric,
            const BRepRemeshOptions& options,
            const SurfaceStages& stages,
            const StageObserver& observer = {} );
    } // namespace internal
} // namespace orvane
