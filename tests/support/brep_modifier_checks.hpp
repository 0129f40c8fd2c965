#pragma once

#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/geometry/point.hpp>
#include <openorvane/model/brep.hpp>

#include <tests/support/brep_fixtures.hpp>

namespace orvane
{
    namespace test
    {
        /// Every violated conformity invariant of a model whose meshes may
        /// still hold inactive elements (flagged false in their
        /// "orvane_active" attribute), one line each; empty when the model is
        /// conformal:
        /// - every link between a component vertex and a unique vertex is
        ///   recorded both ways, in range, and the component vertices of one
        ///   unique vertex share one point (within 1e-6);
        /// - every vertex of an active line edge, surface triangle or block
        ///   tetrahedron has a unique vertex;
        /// - every active edge of a line is an edge of an active triangle in
        ///   each surface that the line bounds or is inside;
        /// - every active triangle of a surface bounding or inside a block is
        ///   a facet of an active tetrahedron of that block;
        /// - each line mesh is a valid graph, and each surface and block mesh
        ///   is valid by the surface and solid checks, inactive cells aside.
        /// Unique vertices without component vertex are allowed.
        std::vector< std::string > brep_conformity_problems( const BRep& model );

        /// For EXPECT_TRUE / ASSERT_TRUE: success when there is no problem,
        /// otherwise the first 20 problems.
        ::testing::AssertionResult is_conformal_brep( const BRep& model );

        /// Two strip surfaces hanging from one line of three edges, shifted
        /// by `offset`:
        /// - the line: p0..p3 = (i, 0, 0), edges (p_i, p_i+1), between the
        ///   corners at p0 and p3;
        /// - surface0 in the plane z = 0 with q_i = (i, 1, 0): vertices
        ///   p0..p3 then q0..q3, triangles (p_i, p_i+1, q_i+1) and
        ///   (p_i, q_i+1, q_i);
        /// - surface1 in the plane y = 0 with r_i = (i, 0, 1): vertices
        ///   p0..p3 then r0..r3, triangles (p_i, r_i+1, p_i+1) and
        ///   (p_i, r_i, r_i+1).
        /// Unique vertices, from `first_unique` on: p0..p3, q0..q3, r0..r3.
        /// The corners bound the line, the line bounds both surfaces.
        struct TwoStrips
        {
            uuid corner0;
            uuid corner1;
            uuid line;
            uuid surface0;
            uuid surface1;
            /// The unique vertex of p_i is first_unique + i.
            index_t first_unique{ 0 };
        };

        /// Adds the strips to the model (creating their 12 unique vertices).
        TwoStrips add_two_strips( BRep& model, const Point< 3 >& offset );

        /// A block of three tetrahedra around the inner edge N-S, N = (0,0,1),
        /// S = (0,0,-1), with the ring r0 = (1,0,0), r1 = (-0.5,0.8,0),
        /// r2 = (-0.5,-0.8,0), bounded by one closed surface of the six
        /// outer triangles. Unique vertices 0 N, 1 S, 2..4 r0..r2; block
        /// vertices and surface vertices follow the same numbering.
        struct Bipyramid
        {
            BRep model;
            uuid surface;
            uuid block;
        };

        Bipyramid bipyramid_model();
    } // namespace test
} // namespace orvane
