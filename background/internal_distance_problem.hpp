#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include <absl/container/inlined_vector.h>
#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

// Defects of a tetrahedron at the scale of a length threshold, found by the
// repair passes of the background solid, and the measures with which they
// judge an edit.
//
// Local numbering of a tetrahedron's vertices 0 to 3, as every finder walks
// it:
// - edges (0,1), (0,2), (0,3), (1,2), (1,3), (2,3);
// - vertex against edge: (0,1) with 2 then 3, (0,2) with 1, 3, (0,3) with
//   1, 2, (1,2) with 0, 3, (1,3) with 0, 2, (2,3) with 0, 1;
// - vertex against facet: 0 with (1,2,3), 1 with (2,3,0), 2 with (3,0,1),
//   3 with (0,1,2);
// - opposite edges (0,1)-(2,3), (0,2)-(1,3), (0,3)-(1,2).

namespace orvane
{
    namespace internal
    {
        /// One defect of a tetrahedron.
        struct InternalDistanceProblem
        {
            /// The kinds of defect.
            enum Kind : std::int32_t
            {
                /// An edge no longer than the threshold (`edge`).
                SHORT_EDGE = 0,
                /// A vertex within the threshold of an edge not holding it.
                VERTEX_NEAR_EDGE = 1,
                /// A vertex within the threshold of its opposite facet.
                VERTEX_NEAR_FACET = 2,
                /// Two opposite edges within the threshold (`edge` is the
                /// first of the pair, `point` the closest point of the
                /// second).
                EDGE_NEAR_EDGE = 3,
                /// Both facets through `edge` face the same tetrahedron.
                EDGE_DOUBLE_ADJACENCY = 4,
                /// The three facets through `vertex` face the same
                /// tetrahedron.
                VERTEX_TRIPLE_ADJACENCY = 5
            };

            std::int32_t kind{ SHORT_EDGE };
            /// The distance measured; 0 for the adjacency kinds.
            double distance{ 0 };
            /// A local vertex, NO_LID when none.
            local_index_t vertex{ NO_LID };
            /// The local vertices of a local edge, NO_LID when none.
            std::array< local_index_t, 2 > edge{ NO_LID, NO_LID };
            /// EDGE_NEAR_EDGE only: the point of the second edge closest to
            /// the first; the origin otherwise.
            Point< 3 > point;
        };

        using InternalDistanceProblems =
            absl::InlinedVector< InternalDistanceProblem, 10 >;

        /// The local edges of a tetrahedron, in finder order.
        inline constexpr std::array< std::array< local_index_t, 2 >, 6 >
            TETRAHEDRON_EDGES{ { { 0, 1 }, { 0, 2 }, { 0, 3 }, { 1, 2 },
                { 1, 3 }, { 2, 3 } } };

        // Each finder appends the problems it finds, in table order, and
        // returns whether it appended any.

        /// SHORT_EDGE for each edge whose length is at most the threshold.
        bool find_short_edges( const Tetrahedron& tetrahedron,
            double threshold,
            InternalDistanceProblems& problems );

        /// VERTEX_NEAR_EDGE for each (edge, vertex) pair at most the
        /// threshold apart.
        bool find_vertices_near_edges( const Tetrahedron& tetrahedron,
            double threshold,
            InternalDistanceProblems& problems );

        /// VERTEX_NEAR_FACET for each vertex at most the threshold from its
        /// opposite facet.
        bool find_vertices_near_facets( const Tetrahedron& tetrahedron,
            double threshold,
            InternalDistanceProblems& problems );

        /// EDGE_NEAR_EDGE for each pair of opposite edges at most the
        /// threshold apart; a pair with an edge of length 1e-6 or less is
        /// skipped, whatever the threshold.
        bool find_edges_near_edges( const Tetrahedron& tetrahedron,
            double threshold,
            InternalDistanceProblems& problems );

        /// EDGE_DOUBLE_ADJACENCY for each edge of the tetrahedron whose two
        /// facets face the same neighbour.
        bool find_edge_double_adjacencies( const TetrahedralSolid< 3 >& solid,
            index_t tetrahedron,
            InternalDistanceProblems& problems );

        /// VERTEX_TRIPLE_ADJACENCY for each vertex of the tetrahedron whose
        /// three facets face the same neighbour.
        bool find_vertex_triple_adjacencies( const TetrahedralSolid< 3 >& solid,
            index_t tetrahedron,
            InternalDistanceProblems& problems );

        /// The smallest vertex-to-opposite-facet and opposite-edge distance
        /// (pairs with an edge of 1e-6 or less left out), an absolute
        /// length; the largest finite double when nothing was measured.
        [[nodiscard]] double internal_distance_quality(
            const Tetrahedron& tetrahedron );

        enum struct TetrahedronClass
        {
            positive,
            flat,
            inverted
        };

        /// Positive by the exact volume sign; otherwise flat when a vertex
        /// lies within 1e-6 of its opposite facet or two opposite edges
        /// within 1e-6 of each other, inverted when not.
        [[nodiscard]] TetrahedronClass classify_tetrahedron(
            const Tetrahedron& tetrahedron );

        /// The number of tetrahedra that are not positive; nothing as soon
        /// as one of them is inverted.
        [[nodiscard]] std::optional< index_t > count_flat_tetrahedra(
            absl::Span< const Tetrahedron > tetrahedra );
    } // namespace internal
} // namespace orvane
