#pragma once

#include <mutex>

#include <openorvane/basic/uuid.hpp>

namespace orvane
{
    class BRep;
    class BRepGeometricModifier;
    template < index_t dimension >
    class Metric;

    namespace internal
    {
        class MacroVertexRecorder;

        /// What the surface sampler needs of its caller: the model, the
        /// uuid under which the blocks' provenance names the sample
        /// vertices, the model's geometric modifier, the metric, the
        /// provenance recorder of the blocks, and the mutex that serialises
        /// every read and edit of the shared model among the sampling tasks.
        struct SamplingContext
        {
            SamplingContext( const BRep& brep,
                const uuid& macro_component,
                BRepGeometricModifier& geometric_modifier,
                const Metric< 3 >& target_metric,
                MacroVertexRecorder& macro_recorder )
                : model( brep ),
                  component( macro_component ),
                  modifier( geometric_modifier ),
                  metric( target_metric ),
                  recorder( macro_recorder )
            {
            }

            const BRep& model;
            uuid component;
            BRepGeometricModifier& modifier;
            const Metric< 3 >& metric;
            MacroVertexRecorder& recorder;
            std::mutex mutex;
        };
    } // namespace internal
} // namespace orvane
