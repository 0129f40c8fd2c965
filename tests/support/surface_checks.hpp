#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/graph.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

namespace orvane
{
    namespace test
    {
        struct SurfaceCheckOptions
        {
            /// Ignore polygons whose "orvane_active" bool polygon attribute
            /// (when present) is false: modifiers keep such dead cells until
            /// clean-up. Live polygons must still not point to them, and no
            /// vertex may be associated with them.
            bool skip_inactive{ false };
            /// Adjacent polygons run their shared edge in opposite directions.
            bool check_orientation{ true };
            /// Two live polygon edges that are the only uses of their vertex
            /// pair and run in opposite directions must be linked.
            bool check_complete_adjacency{ true };
            /// polygons_around_vertex reaches exactly the live polygons using
            /// the vertex (holds when every vertex's polygons form one fan).
            bool check_vertex_fans{ true };
            /// No live triangle is degenerate (exact orientation predicates:
            /// in 3D, its projections on the three axis planes all vanish).
            bool check_degenerate{ true };
            /// No vertex pair is used by more than two live polygon edges.
            bool check_manifold_edges{ false };
        };

        /// Every violated invariant of the surface, one line each; empty
        /// when it is valid. Checked: vertex indices in range and distinct,
        /// degeneracy, adjacency in range, mutual, between edges of the same
        /// vertex pair (of opposite directions), live polygons pointing only
        /// to live ones, complete adjacency, the stored vertex association,
        /// the vertex fans, the edge table (when enabled) and the attribute
        /// manager sizes.
        template < index_t dimension >
        std::vector< std::string > triangulated_surface_problems(
            const TriangulatedSurface< dimension >& surface,
            const SurfaceCheckOptions& options = {} );

        /// For EXPECT_TRUE / ASSERT_TRUE: success when there is no problem,
        /// otherwise the list of problems (the first 20).
        template < index_t dimension >
        ::testing::AssertionResult is_valid_triangulated_surface(
            const TriangulatedSurface< dimension >& surface,
            const SurfaceCheckOptions& options = {} );

        /// Every violated invariant of the graph: edge ends in range, each
        /// set edge end listed exactly once in its vertex's list, no list
        /// entry naming another vertex, attribute manager sizes.
        std::vector< std::string > graph_problems( const Graph& graph );

        ::testing::AssertionResult is_valid_graph( const Graph& graph );
    } // namespace test
} // namespace orvane
