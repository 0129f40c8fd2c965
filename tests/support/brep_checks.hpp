#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/model/brep.hpp>

namespace orvane
{
    namespace test
    {
        struct BRepCheckOptions
        {
            /// Every vertex of every component mesh has a unique vertex.
            bool require_linked_vertices{ true };
            /// Unique vertices without any component mesh vertex are fine
            /// (they are normally deleted by delete_isolated_vertices).
            bool allow_empty_unique_vertices{ false };
            /// Each mesh passes its own checker (triangulated surfaces,
            /// tetrahedral solids, curves).
            bool check_meshes{ true };
            /// The end vertices of each line sit on corners bounding it, and
            /// each bounding corner sits on the line.
            bool check_line_ends{ true };
            /// Every line bounding or inside a surface has each of its edges
            /// in that surface, and every border edge of a surface lies on a
            /// line bounding it or inside it.
            bool check_surface_borders{ true };
            /// Every triangle of a surface bounding or inside a block is a
            /// facet of that block, and every border facet of a block is a
            /// triangle of a surface bounding it. A block without mesh must
            /// instead be bounded by a closed shell of surfaces, orientable
            /// together and enclosing a volume (checked once its boundary
            /// surfaces hold polygons).
            bool check_block_boundaries{ true };
        };

        /// The default options without the surface border check, for models
        /// whose surfaces have outer borders on no line.
        BRepCheckOptions open_surfaces();

        /// Adds a line per fault of the unique vertices: a listed component
        /// vertex of a missing component, beyond its mesh or linked to
        /// another unique vertex; component vertices of one unique vertex
        /// at distinct points (beyond the length tolerance); a unique vertex
        /// without component vertex unless `allow_empty`.
        void add_unique_vertex_problems(
            const BRep& model, bool allow_empty, std::vector< std::string >& problems );

        /// Every violated invariant of the model, one line each; empty when
        /// it is conformal. Always checked: the relationships are mutual,
        /// between registered components of the allowed types; every link
        /// between a component mesh vertex and a unique vertex is recorded
        /// both ways, once; the component mesh vertices of a unique vertex
        /// share one point (within the length tolerance). The options add
        /// the rest.
        std::vector< std::string > brep_problems(
            const BRep& model, const BRepCheckOptions& options = {} );

        /// For EXPECT_TRUE / ASSERT_TRUE: success when there is no problem,
        /// otherwise the list of problems (the first 20).
        ::testing::AssertionResult is_valid_brep(
            const BRep& model, const BRepCheckOptions& options = {} );
    } // namespace test
} // namespace orvane
