#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include <absl/container/fixed_array.h>
#include <absl/container/inlined_vector.h>
#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/mesh_records.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

// Previews and validity tests of the local edits of a tetrahedral solid.
//
// A preview builds the tetrahedra that an edit would produce, without
// touching the solid, each paired with the polyhedron it would replace. A
// validity test accepts an edit only when every previewed tetrahedron has a
// positive volume sign (exact predicate): degenerate and inverted results are
// both refused. None of these functions keeps state or modifies the solid.

namespace orvane
{
    /// One previewed tetrahedron and the polyhedron of the solid that it
    /// would replace.
    struct TetrahedronPreview
    {
        Tetrahedron tetrahedron;
        index_t polyhedron{ NO_ID };
    };

    using TetrahedronPreviews = absl::FixedArray< TetrahedronPreview, 6 >;

    /// The outcome of a flip: the new tetrahedra and, as a set, the
    /// polyhedra they would replace.
    struct TetrahedraSwapPreview
    {
        TetrahedraSwapPreview( std::size_t nb_tetrahedra,
            std::size_t nb_polyhedra )
            : tetrahedra( nb_tetrahedra ), polyhedra( nb_polyhedra, NO_ID )
        {
        }

        absl::FixedArray< Tetrahedron, 8 > tetrahedra;
        absl::FixedArray< index_t, 64 > polyhedra;
    };

    /// The ring of vertices around an edge, in turning order. A closed ring
    /// does not repeat its first vertex.
    struct VerticesAroundEdge
    {
        explicit VerticesAroundEdge( std::size_t nb_vertices )
            : vertices( nb_vertices, NO_ID )
        {
        }

        bool closed{ false };
        absl::FixedArray< index_t, 64 > vertices;
    };

    /// The outcome of an edge swap: the ring around the edge (rotated so
    /// that the apex comes first when the swap is possible) and the new
    /// tetrahedra.
    struct SwapEdgePreview
    {
        SwapEdgePreview( absl::Span< const index_t > ring_vertices,
            std::size_t nb_tetrahedra,
            std::size_t nb_polyhedra )
            : ring( ring_vertices.begin(), ring_vertices.end() ),
              preview( nb_tetrahedra, nb_polyhedra )
        {
        }

        absl::FixedArray< index_t, 64 > ring;
        TetrahedraSwapPreview preview;
    };

    /// The verdict on one previewed split: the offending tetrahedra (volume
    /// sign not positive), in preview order, with the polyhedra they would
    /// replace.
    struct SplitPreviewReport
    {
        bool valid{ true };
        std::vector< Tetrahedron > invalid_elements;
        std::vector< index_t > replaced_elements;
    };

    using PolyhedraAroundEdgeVertices =
        absl::InlinedVector< PolyhedronVertex, 20 >;

    /// Entry i is the tetrahedron with its local vertex i replaced by the
    /// point.
    [[nodiscard]] std::array< Tetrahedron, 4 >
        tetrahedra_after_split_tetrahedron( const TetrahedralSolid< 3 >& solid,
            index_t polyhedron,
            const Point< 3 >& point );

    /// Three tetrahedra from the facet's polyhedron (its facet vertices
    /// replaced in turn by the point), then three from the adjacent
    /// polyhedron when there is one.
    [[nodiscard]] TetrahedronPreviews tetrahedra_after_split_facet(
        const TetrahedralSolid< 3 >& solid,
        const PolyhedronFacet& facet,
        const Point< 3 >& point );

    /// Two entries per listed polyhedron, in list order: the polyhedron with
    /// the end edge_vertices[0] replaced by the point, then with the end
    /// edge_vertices[1] replaced.
    [[nodiscard]] TetrahedronPreviews tetrahedra_after_split_edge(
        const TetrahedralSolid< 3 >& solid,
        const PolyhedraAroundEdge& polyhedra,
        const EdgeVertices& edge_vertices,
        const Point< 3 >& point );

    /// One entry per polyhedron around the vertex (polyhedra_around_vertex
    /// order), with the vertex moved to the point.
    [[nodiscard]] TetrahedronPreviews tetrahedra_after_move_vertex(
        const TetrahedralSolid< 3 >& solid,
        index_t vertex,
        const Point< 3 >& point );

    /// The polyhedra that survive a collapse of the edge, each with the local
    /// index of the end it holds: those around edge_vertices[0] that do not
    /// hold edge_vertices[1], then those around edge_vertices[1] that do not
    /// hold edge_vertices[0].
    [[nodiscard]] PolyhedraAroundEdgeVertices polyhedra_around_edge_vertices(
        const TetrahedralSolid< 3 >& solid, const EdgeVertices& edge_vertices );

    /// One entry per listed polyhedron vertex, in list order, with that
    /// vertex moved to the point.
    [[nodiscard]] TetrahedronPreviews tetrahedra_with_moved_vertices(
        const TetrahedralSolid< 3 >& solid,
        const PolyhedraAroundEdgeVertices& polyhedron_vertices,
        const Point< 3 >& point );

    /// The polyhedra around the removed end that survive a collapse onto the
    /// kept end (edge_vertices[kept_end]), moved onto the kept end's point.
    [[nodiscard]] TetrahedronPreviews tetrahedra_after_collapse_onto_vertex(
        const TetrahedralSolid< 3 >& solid,
        const EdgeVertices& edge_vertices,
        local_index_t kept_end );

    /// The 2-3 flip of the facet: three tetrahedra around the segment joining
    /// the two vertices opposite the facet. Throws OpenOrvaneException
    /// "[SwapFacet] Facet should have an adjacent tetrahedron" on the border.
    [[nodiscard]] TetrahedraSwapPreview tetrahedra_after_swap_facet(
        const TetrahedralSolid< 3 >& solid, const PolyhedronFacet& facet );

    /// The tetrahedra that replace the polyhedra around the edge when the
    /// edge is removed by a fan from the apex (see detail::swap_edge_preview).
    [[nodiscard]] TetrahedraSwapPreview tetrahedra_after_swap_edge(
        const TetrahedralSolid< 3 >& solid,
        const PolyhedronFacetEdge& edge,
        index_t apex );

    /// True when every tetrahedron of the edge split at the point is
    /// positive; an edge without polyhedron gives true.
    [[nodiscard]] bool is_split_edge_valid( const TetrahedralSolid< 3 >& solid,
        const PolyhedronFacetEdge& edge,
        const Point< 3 >& point );

    /// True when the swap of the edge from the apex is possible (complete
    /// ring of at least three vertices holding the apex), gives only positive
    /// tetrahedra and creates no edge that exists already.
    [[nodiscard]] bool is_swap_edge_valid( const TetrahedralSolid< 3 >& solid,
        const PolyhedronFacetEdge& edge,
        index_t apex );

    /// The ring of vertices around the edge, built from the given polyhedra
    /// around it (in the order the solid lists them). The ring turns so that
    /// (edge_vertices[0], edge_vertices[1], r, r') has the orientation of the
    /// first non-degenerate polyhedron, for consecutive ring vertices r, r'.
    ///
    /// A polyhedron that cannot be attached to either end of the ring when
    /// its turn comes is skipped: use detail::is_ring_complete to tell.
    /// Throws std::bad_optional_access when neither the second nor the last
    /// visited polyhedron touches the first one.
    [[nodiscard]] VerticesAroundEdge ordered_vertices_around_edge(
        const TetrahedralSolid< 3 >& solid,
        const EdgeVertices& edge_vertices,
        const PolyhedraAroundEdge& polyhedra );

    /// Every vertex of the listed polyhedra other than the edge's ends, once,
    /// in order of first appearance.
    [[nodiscard]] absl::InlinedVector< index_t, 10 > vertices_around_edge(
        const TetrahedralSolid< 3 >& solid,
        const EdgeVertices& edge_vertices,
        const PolyhedraAroundEdge& polyhedra );

    namespace detail
    {
        /// The edge-swap preview: the ring around the edge and, when the
        /// ring is complete, has at least three vertices and holds the apex,
        /// the 2n - 4 tetrahedra fanned from the apex (first
        /// (a, R[i-1], R[i], d1), then (d0, a, R[i-1], R[i]) for
        /// i = 2 .. n-1 over the ring R rotated to start at the apex).
        /// Otherwise the preview is empty and the ring is left unrotated.
        [[nodiscard]] SwapEdgePreview swap_edge_preview(
            const TetrahedralSolid< 3 >& solid,
            const PolyhedronFacetEdge& edge,
            index_t apex );

        /// True when each listed polyhedron around the edge fills one segment
        /// of the ring (two consecutive ring vertices, the closing pair
        /// counting only for a closed ring) and every segment is filled: the
        /// ring walk then skipped nothing.
        [[nodiscard]] bool is_ring_complete( const TetrahedralSolid< 3 >& solid,
            const EdgeVertices& edge_vertices,
            const PolyhedraAroundEdge& polyhedra,
            const VerticesAroundEdge& ring );

        /// polyhedra_around_edge_vertices from the polyhedra around each end
        /// (polyhedra_around_vertex of edge_vertices[0] and [1]).
        [[nodiscard]] PolyhedraAroundEdgeVertices polyhedra_around_edge_vertices(
            const std::array< PolyhedraAroundVertex, 2 >& around );

        /// The vertices around b (in vertices_around_vertex order) that are
        /// also around a.
        [[nodiscard]] std::vector< index_t > common_adjacent_vertices(
            const TetrahedralSolid< 3 >& solid, index_t a, index_t b );

        /// True when every tetrahedron is positive; an empty list gives true.
        [[nodiscard]] bool are_tetrahedra_positive(
            absl::Span< const TetrahedronPreview > previews );
        [[nodiscard]] bool are_tetrahedra_positive(
            const TetrahedraSwapPreview& preview );

        /// Appends to the report every preview whose volume sign is not
        /// positive and clears `valid` if there is one. Never sets `valid`.
        void report_invalid_tetrahedra(
            absl::Span< const TetrahedronPreview > previews,
            SplitPreviewReport& report );

        /// The first local vertex of the polyhedron lying within squared
        /// distance 1e-12 of the point.
        [[nodiscard]] std::optional< local_index_t > polyhedron_vertex_at_point(
            const TetrahedralSolid< 3 >& solid,
            index_t polyhedron,
            const Point< 3 >& point );

        /// The first vertex of the facet (in the facet's own numbering) lying
        /// within squared distance 1e-12 of the point.
        [[nodiscard]] std::optional< local_index_t >
            polyhedron_facet_vertex_at_point( const TetrahedralSolid< 3 >& solid,
                const PolyhedronFacet& facet,
                const Point< 3 >& point );
    } // namespace detail
} // namespace orvane
