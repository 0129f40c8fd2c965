#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/mesh/tetrahedral_solid.hpp>

namespace orvane
{
    namespace test
    {
        /// Every violated invariant of a solid under edition by a tetrahedral
        /// solid modifier, one line each; empty when the solid is valid.
        ///
        /// Tetrahedra flagged inactive ("orvane_active") are dead and
        /// ignored, except that nothing live may refer to them. Checked, over
        /// the live tetrahedra: the invariants of tetrahedral_solid_problems
        /// (positive volume, mutual adjacency between live cells, vertex
        /// associations to live cells, tables), each vertex triple used by
        /// at most two tetrahedra, and, when the facet flags exist, a facet
        /// is active exactly when a live tetrahedron uses it.
        std::vector< std::string > modified_solid_problems(
            const TetrahedralSolid< 3 >& solid );

        /// For EXPECT_TRUE / ASSERT_TRUE: success when there is no problem,
        /// otherwise the problems (the first 20).
        ::testing::AssertionResult is_valid_modified_solid(
            const TetrahedralSolid< 3 >& solid );

        /// The number of live tetrahedra, and their total volume.
        index_t nb_live_tetrahedra( const TetrahedralSolid< 3 >& solid );
        double live_volume( const TetrahedralSolid< 3 >& solid );
    } // namespace test
} // namespace orvane
