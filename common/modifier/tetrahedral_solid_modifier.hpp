#pragma once

#include <array>
#include <memory>
#include <utility>
#include <vector>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/mesh_records.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/modifier/vertices_modifier.hpp>

namespace orvane
{
    /// Result of a tetrahedron split: the new vertex, the four new tetrahedra
    /// (each with the replaced one), and, when the solid's tables are
    /// enabled, the six new facets and four new edges through the vertex.
    struct SolidSplitTetrahedronInfo
    {
        index_t new_vertex{ NO_ID };
        absl::InlinedVector< ElementOrigin, 4 > tetrahedra;
        absl::InlinedVector< ElementOrigin, 4 > facets;
        absl::InlinedVector< ElementOrigin, 4 > edges;
    };

    /// Result of a facet split: the new vertex, the three or six new
    /// tetrahedra, the facets that replace the split facet followed by the
    /// other new facets, the new edges, and the split facet's vertices.
    struct SolidSplitFacetInfo
    {
        index_t new_vertex{ NO_ID };
        absl::InlinedVector< ElementOrigin, 4 > tetrahedra;
        absl::InlinedVector< ElementOrigin, 4 > facets;
        absl::InlinedVector< ElementOrigin, 4 > edges;
        absl::InlinedVector< index_t, 3 > facet_vertices;
    };

    /// Result of an edge split. Each tetrahedron around the edge is cut into
    /// a half holding edge_vertices[0] (the "first" lists) and a half holding
    /// edge_vertices[1] (the "second" lists).
    struct SolidSplitEdgeInfo
    {
        index_t new_vertex{ NO_ID };
        std::array< index_t, 2 > edge_vertices{ NO_ID, NO_ID };
        absl::InlinedVector< ElementOrigin, 2 > first_tetrahedra;
        absl::InlinedVector< ElementOrigin, 2 > first_facets;
        absl::InlinedVector< ElementOrigin, 2 > first_edges;
        absl::InlinedVector< ElementOrigin, 2 > second_tetrahedra;
        absl::InlinedVector< ElementOrigin, 2 > second_facets;
        absl::InlinedVector< ElementOrigin, 2 > second_edges;
        absl::InlinedVector< ElementOrigin, 2 > created_facets;
        absl::InlinedVector< ElementOrigin, 2 > created_edges;
    };

    /// Result of an edge collapse: the new vertex and the two vertices it
    /// replaces, the removed tetrahedra, the tetrahedra that now use the new
    /// vertex, and the facets and edges that moved onto it.
    struct SolidCollapseEdgeInfo
    {
        index_t new_vertex{ NO_ID };
        absl::InlinedVector< index_t, 4 > merged_vertices;
        std::vector< index_t > removed_tetrahedra;
        std::vector< index_t > modified_tetrahedra;
        std::vector< ElementOrigin > facets;
        std::vector< ElementOrigin > edges;
    };

    /// Old-to-new vectors of a clean-up (NO_ID for a deleted element); the
    /// edge and facet vectors are empty when those tables are disabled.
    struct SolidCleanInfo
    {
        std::vector< index_t > polyhedra;
        std::vector< index_t > vertices;
        std::vector< index_t > edges;
        std::vector< index_t > facets;
    };

    /// A new polyhedron facet and the old one it lies on.
    using PolyhedronFacetPair = std::pair< PolyhedronFacet, PolyhedronFacet >;

    /// Result of a 2-3 flip across a facet.
    struct SolidSwapFacetInfo
    {
        std::array< index_t, 2 > old_tetrahedra{ NO_ID, NO_ID };
        std::array< index_t, 3 > new_tetrahedra{ NO_ID, NO_ID, NO_ID };
        std::array< PolyhedronFacetPair, 6 > facet_pairs;
        std::array< PolyhedronFacet, 6 > inner_facets;
        std::array< PolyhedronFacet, 2 > swapped_facet;
        std::array< index_t, 2 > apexes{ NO_ID, NO_ID };
        absl::InlinedVector< index_t, 3 > facet_vertices;
    };

    /// Result of an edge swap: the replaced star, the new tetrahedra, the
    /// outer facets they took over, the facets between the two new
    /// tetrahedra of each ring segment, and the facets through the edge.
    struct SolidSwapEdgeInfo
    {
        std::vector< index_t > old_tetrahedra;
        std::vector< index_t > new_tetrahedra;
        std::vector< PolyhedronFacetPair > facet_pairs;
        std::vector< PolyhedronFacet > inner_facets;
        std::vector< PolyhedronFacet > removed_facets;
    };

    /// Edits a tetrahedral solid in place through its builder.
    ///
    /// Edits never delete: every replaced tetrahedron is flagged inactive in
    /// the polyhedron attribute "orvane_active" (and replaced facets in the
    /// facet attribute of that name when the facet table is enabled), so that
    /// indices stay valid during a series of edits. `clean` deletes the
    /// inactive elements at the end and returns old-to-new vectors.
    ///
    /// Live tetrahedra only ever refer to live neighbours, and every vertex
    /// used by a live tetrahedron is associated with a live one. Every edit
    /// checks its indices, the activity of what it edits and the finiteness
    /// of its point before any change, and throws OpenOrvaneException, the
    /// solid unchanged, when one is wrong (`remove_tetrahedra_pair` also
    /// checks that the pair is flat). No edit checks the geometry of its
    /// result: callers test it first with the previews
    /// (tetrahedron_preview.hpp, tetrahedral_collapse_validity.hpp).
    ///
    /// The modifier creates the "orvane_active" attributes and deletes them
    /// when it is destroyed. A modifier and its solid are used by one thread
    /// at a time.
    class TetrahedralSolidModifier : public VerticesModifier
    {
    public:
        class Impl;

        TetrahedralSolidModifier( const TetrahedralSolid< 3 >& solid,
            TetrahedralSolidBuilder< 3 >& builder );
        ~TetrahedralSolidModifier() override;

        /// Splits the tetrahedron into four around a new vertex at the point.
        virtual SolidSplitTetrahedronInfo split_tetrahedron(
            index_t tetrahedron, const Point< 3 >& point );

        /// Splits the facet (and the one or two tetrahedra on its sides)
        /// around a new vertex at the point.
        virtual SolidSplitFacetInfo split_facet(
            const PolyhedronFacet& facet, const Point< 3 >& point );

        /// As above, for a facet of the facet table. Throws
        /// OpenOrvaneException when no tetrahedron holds the facet (the new
        /// vertex then stays, isolated).
        virtual SolidSplitFacetInfo split_facet(
            index_t facet, const Point< 3 >& point );

        /// Splits every tetrahedron around the edge in two at a new vertex at
        /// the point.
        virtual SolidSplitEdgeInfo split_edge(
            const PolyhedronFacetEdge& edge, const Point< 3 >& point );

        /// As above, for an edge of the edge table. Throws
        /// OpenOrvaneException when no tetrahedron holds the edge (the new
        /// vertex then stays, isolated).
        virtual SolidSplitEdgeInfo split_edge(
            index_t edge, const Point< 3 >& point );

        /// Merges the ends of the edge (of the edge table) into a new vertex
        /// at the point, removing the tetrahedra around the edge and gluing
        /// their outer neighbours. The vertex map then sends both ends to the
        /// new vertex.
        virtual SolidCollapseEdgeInfo collapse_edge(
            index_t edge, const Point< 3 >& point );

        virtual SolidCollapseEdgeInfo collapse_edge(
            const PolyhedronFacetEdge& edge, const Point< 3 >& point );

        /// 2-3 flip: replaces the facet's two tetrahedra by three around the
        /// segment joining their opposite vertices. Throws
        /// OpenOrvaneException on a border facet.
        virtual SolidSwapFacetInfo swap_facet( const PolyhedronFacet& facet );

        /// Replaces every tetrahedron around the edge by a fan of tetrahedra
        /// from the apex, a vertex of the edge's ring. Throws
        /// OpenOrvaneException, before any change, when the ring has fewer
        /// than three vertices, does not hold the apex, or is incomplete.
        virtual SolidSwapEdgeInfo swap_edge(
            const PolyhedronFacetEdge& edge, index_t apex );

        /// Removes the flat pair of tetrahedra that share both facets through
        /// the edge and glues their outer neighbours; returns the pair.
        virtual std::array< index_t, 2 > remove_tetrahedra_pair(
            const PolyhedronFacetEdge& edge );

        /// Removes the two tetrahedra around the vertex and glues their outer
        /// neighbours; returns the pair. Throws OpenOrvaneException when the
        /// vertex does not have exactly two tetrahedra around it.
        virtual std::array< index_t, 2 > remove_tetrahedra_pair(
            const PolyhedronVertex& vertex );

        /// Moves the vertex, re-interpolating its attributes within the
        /// tetrahedron around it nearest to the point.
        virtual void move_vertex( index_t vertex, const Point< 3 >& point );

        /// Deletes the inactive tetrahedra, then the isolated vertices, edges
        /// and facets, and empties the vertex map.
        virtual SolidCleanInfo clean();

        [[nodiscard]] bool is_polyhedron_active( index_t tetrahedron ) const;

        /// Throws OpenOrvaneException when the facet table is disabled.
        [[nodiscard]] bool is_facet_active( index_t facet ) const;

        /// Deletes the inactive tetrahedra and returns the old-to-new vector.
        std::vector< index_t > delete_inactive_polyhedra();

    protected:
        /// The operations behind the public ones, for derived modifiers that
        /// post-process their records.
        [[nodiscard]] Impl& impl()
        {
            return *impl_;
        }

    private:
        std::unique_ptr< Impl > impl_;
    };
} // namespace orvane
