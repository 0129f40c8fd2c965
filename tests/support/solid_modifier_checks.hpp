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
        /// the live tetrahedra: distinct vertices and positive volume (exact
        /// sign); adjacencies only to live tetrahedra, mutual, and present
        /// wherever two live tetrahedra share a facet; each vertex triple
        /// used by at most two tetrahedra; every used vertex associated with
        /// a live tetrahedron holding it, and polyhedra_around_vertex
        /// reaching all its live tetrahedra; the edge and facet tables
        /// holding every edge and facet; and, when the facet flags exist, a
        /// facet active exactly when a live tetrahedron uses it.
        ///
        /// Linear in the size of the solid, so that tests can run it after
        /// every edit.
        std::vector< std::string > modified_solid_problems(
            const TetrahedralSolid< 3 >& solid );

        /// The same invariants, checked only around the given tetrahedra (an
        /// edit's new and modified ones) and their vertices. Their
        /// neighbours are reached through the adjacency checks, which look
        /// at both sides of every facet. Fast enough to run after every edit
        /// of a long random sequence, with a full check now and then.
        std::vector< std::string > modified_solid_problems_around(
            const TetrahedralSolid< 3 >& solid,
            const std::vector< index_t >& tetrahedra );

        /// For EXPECT_TRUE / ASSERT_TRUE: success when there is no problem,
        /// otherwise the problems (the first 20).
        ::testing::AssertionResult is_valid_modified_solid(
            const TetrahedralSolid< 3 >& solid );

        /// The number of live tetrahedra, and their total volume.
        index_t nb_live_tetrahedra( const TetrahedralSolid< 3 >& solid );
        double live_volume( const TetrahedralSolid< 3 >& solid );
    } // namespace test
} // namespace orvane
