#pragma once

namespace orvane
{
    class BRep;
    class BRepBuilder;

    namespace detail
    {
        /// Completes the model's outer boundary records once its blocks are
        /// built. This model keeps no boundary record beyond the
        /// relationships its builder already wrote, so there is nothing to
        /// add: the call leaves the model unchanged.
        void build_model_boundaries( const BRep& model, BRepBuilder& builder );
    } // namespace detail
} // namespace orvane
