#pragma once

#include <openorvane/model/brep.hpp>

namespace orvane
{
    template < typename Model >
    class RemeshingData;

    namespace internal
    {
        /// Fills the output model with one empty component per input
        /// component (same relationships; the mapping goes into
        /// `data.mappings`) while, at the same time, the long input surface
        /// edges are split at their midpoints: the longest edge of every
        /// triangle, longest first, as long as it is longer than twice the
        /// metric at its midpoint. Lines and blocks holding a split edge are
        /// split with it. The inactive line edges and surface polygons are
        /// deleted at the end.
        ///
        /// Throws OpenOrvaneException "[Splitter::add_to_queue] Invalid
        /// metric value: <value>" when the metric is not greater than 0 (or
        /// is NaN) at a candidate midpoint; a failure of the copy is
        /// rethrown after the split has ended.
        void prepare_remeshing( RemeshingData< BRep >& data );
    } // namespace internal
} // namespace orvane
