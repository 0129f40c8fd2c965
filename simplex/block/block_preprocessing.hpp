#pragma once

namespace orvane
{
    class BRep;
    template < typename Model >
    class RemeshingData;

    namespace internal
    {
        /// Prepares the internal surfaces of the output model's blocks for
        /// tetrahedralisation: an inner edge of an internal surface whose two
        /// ends lie on a free border line of that surface (a boundary line
        /// with one incidence in the model) is split at its midpoint, so
        /// that no inner edge joins two free border vertices. Border edges
        /// are never split. The splits go through the output model's
        /// geometric modifier, which keeps every mesh holding the edge
        /// conformal, and the model is cleaned once at the end. Progress
        /// title "Pre-process Blocks", one step per block.
        void preprocess_blocks( RemeshingData< BRep >& data );
    } // namespace internal
} // namespace orvane
