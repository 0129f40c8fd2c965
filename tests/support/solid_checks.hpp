#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/mesh/tetrahedral_solid.hpp>

namespace orvane
{
    namespace test
    {
        struct SolidCheckOptions
        {
            /// Ignore tetrahedra whose "orvane_active" bool polyhedron
            /// attribute (when present) is false: modifiers keep such dead
            /// cells until clean-up. Live cells must still not point to them.
            bool skip_inactive{ false };
            /// Every (live) tetrahedron has a positive volume sign.
            bool check_orientation{ true };
            /// Two live facets facing each other with no other use of their
            /// vertices must be linked.
            bool check_complete_adjacency{ true };
            /// polyhedra_around_vertex reaches exactly the live tetrahedra
            /// using the vertex (holds when every vertex star is connected
            /// through facets).
            bool check_vertex_fans{ true };
        };

        /// Every violated invariant of the solid, one line each; empty when
        /// the solid is valid. Checked: vertex indices in range and distinct,
        /// orientation, adjacency mutual and between facets of opposite
        /// orientation, live cells pointing only to live cells, the stored
        /// vertex association, the vertex fans, the edge and facet tables
        /// (when enabled) and the attribute manager sizes.
        std::vector< std::string > tetrahedral_solid_problems(
            const TetrahedralSolid< 3 >& solid,
            const SolidCheckOptions& options = {} );

        /// For EXPECT_TRUE / ASSERT_TRUE: success when there is no problem,
        /// otherwise the list of problems (the first 20).
        ::testing::AssertionResult is_valid_tetrahedral_solid(
            const TetrahedralSolid< 3 >& solid,
            const SolidCheckOptions& options = {} );
    } // namespace test
} // namespace orvane
