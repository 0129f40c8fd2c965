#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/uuid.hpp>

#include <simplex/remeshed_component.hpp>
#include <simplex/surface/surface_remesher.hpp>
#include <simplex/surface/surface_stages.hpp>

namespace orvane
{
    class ProgressLogger;
    template < index_t dimension >
    class Surface;
} // namespace orvane

namespace orvane::internal
{
    /// Makes the per-surface remesher of one input surface.
    using SurfaceRemesherMaker =
        std::function< std::unique_ptr< SurfaceRemesher< RemeshingData< BRep > > >(
            RemeshingData< BRep >&, const Surface< 3 >& ) >;

    /// Remeshes the listed input surfaces with the 3-D surface remesher, one
    /// pool task each, then registers their unique vertices in list order
    /// on one thread ("Remeshing Surfaces" progress, one step per surface).
    /// The failure of the first failed surface in list order is rethrown
    /// after every task has ended; the surfaces before it are registered.
    void remesh_listed_surfaces( RemeshingData< BRep >& data, absl::Span< const uuid > surfaces );

    /// The same with the given remesher maker.
    void remesh_listed_surfaces( RemeshingData< BRep >& data,
        absl::Span< const uuid > surfaces,
        const SurfaceRemesherMaker& make_remesher );

    /// The body of one surface's task: remeshes the surface and advances the
    /// logger once it succeeded.
    [[nodiscard]] RemeshedComponent remesh_surface_task( RemeshingData< BRep >& data,
        const Surface< 3 >& surface,
        ProgressLogger& logger,
        const SurfaceRemesherMaker& make_remesher );

    /// Registers the tasks' results in order, rethrowing the first failure.
    void collect_remeshed_surfaces(
        RemeshingData< BRep >& data, std::vector< async::Task< RemeshedComponent > >& tasks );
} // namespace orvane::internal
