#pragma once

#include <openorvane/basic/types.hpp>

namespace orvane
{
    template < index_t dimension >
    class Metric;
    class BRep;
    class BRepGeometricModifier;
    template < typename Model >
    class RemeshingData;

    namespace internal
    {
        /// What the surface relaxation of a whole model does: the
        /// vertex-smoothing queue, the edge-flip queue, and the metric its
        /// collapses and smoothing read (may be null).
        struct SurfaceRelaxerOptions
        {
            bool smooth_vertices{ false };
            bool flip_edges{ false };
            const Metric< 3 >* metric{ nullptr };
        };

        /// Remeshes every surface of the model from the input surfaces, one
        /// task per surface, attaching the new surface vertices to the
        /// output unique vertices of the corners and remeshed lines. All
        /// tasks are joined before it returns; a task's failure is rethrown.
        void remesh_surfaces( RemeshingData< BRep >& data );

        /// Relaxes every surface of the model; every edit goes through the
        /// modifier.
        void relax_surfaces( BRep& model,
            BRepGeometricModifier& modifier,
            const SurfaceRelaxerOptions& options );
    } // namespace internal
} // namespace orvane
