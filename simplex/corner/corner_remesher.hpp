#pragma once

#include <openorvane/model/brep.hpp>

namespace orvane
{
    template < typename Model >
    class RemeshingData;

    namespace internal
    {
        /// Gives every output corner one vertex at its input corner's point
        /// and makes the corners the first unique vertices of the output
        /// model: unique vertex i is the output corner of the i-th input
        /// corner. Runs one task per corner on an output model that has its
        /// components and no unique vertex yet. Rethrows the first failure
        /// in corner order (std::out_of_range for a corner missing from the
        /// mapping) once every task has ended.
        void remesh_corners( RemeshingData< BRep >& data );
    } // namespace internal
} // namespace orvane
