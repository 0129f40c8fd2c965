#pragma once

#include <algorithm>
#include <memory>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/types/span.h>

#include <openorvane/basic/mapping.hpp>
#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/cutter/solid_cut_along_path.hpp>
#include <common/modifier/tetrahedral_solid_modifier.hpp>
#include <common/modifier/vertices_modifier.hpp>

// Provenance ("macro info") of the elements of a background solid: for every
// vertex, edge, facet and tetrahedron, the input elements it stands for.
//
// It lives in six attributes of the solid, all lists whose default is the
// empty list:
// - vertex "init_vertex_id" (MeshVertex): the input vertices this vertex is;
// - edge "init_edge_id" and vertex "init_edge_id" (MeshEdge): the input
//   curve edges this edge, or this vertex, lies on;
// - facet "init_facet_id" and vertex "init_facet_id" (MeshPolygon): the input
//   polygons this facet, or this vertex, lies on;
// - polyhedron "orvane_macro_block_id" (uuid): the blocks this tetrahedron
//   belongs to. This one is assignable, so that the splits and collapses of
//   the tetrahedral-solid modifier copy it to the tetrahedra they make.
//
// A list never holds two equal records (same mesh id and same index): every
// addition looks for an equal record first and appends at the end
// otherwise, so lists keep their insertion order. Lists are short and
// searched linearly.
//
// The read side (MacroInfo, MacroInfo3D) is a base of the background solid;
// the write side (MacroInfoBuilder, MacroInfoBuilder3D) a base of its
// builder. Every edit of the solid must be replayed through the builder
// (the update_* operations) right after it is made, before a clean-up
// renumbers the solid.

namespace orvane
{
    namespace internal
    {
        class BackgroundSolid;
        template < index_t dimension >
        class MacroInfoBuilder;
        class MacroInfoBuilder3D;

        inline constexpr const char* INIT_VERTEX_ID_ATTRIBUTE = "init_vertex_id";
        inline constexpr const char* INIT_EDGE_ID_ATTRIBUTE = "init_edge_id";
        inline constexpr const char* INIT_FACET_ID_ATTRIBUTE = "init_facet_id";
        inline constexpr const char* MACRO_BLOCK_ID_ATTRIBUTE =
            "orvane_macro_block_id";

        /// Vertex and curve-edge provenance. Defined only on a solid made by
        /// the BackgroundSolid constructor from a tetrahedral solid: on a
        /// default-constructed solid the attributes do not exist.
        template < index_t dimension >
        class MacroInfo
        {
            friend class MacroInfoBuilder< dimension >;
            friend class MacroInfoBuilder3D;

        public:
            MacroInfo( const MacroInfo& ) = delete;
            MacroInfo& operator=( const MacroInfo& ) = delete;
            ~MacroInfo();

            /// The input vertices the vertex is.
            [[nodiscard]] const std::vector< MeshVertex >& init_vertex_ids(
                index_t vertex ) const;

            /// The input curve edges the edge lies on.
            [[nodiscard]] const std::vector< MeshEdge >& init_edge_ids(
                index_t edge ) const;

            /// The input curve edges the vertex lies on.
            [[nodiscard]] const std::vector< MeshEdge >& vertex_init_edge_ids(
                index_t vertex ) const;

            /// True when one of the vertex's input vertices belongs to the
            /// mesh `component` (the element index is not compared).
            [[nodiscard]] bool has_init_vertex_component(
                index_t vertex, const uuid& component ) const;

        protected:
            MacroInfo();

            /// Creates (or finds) the three attributes on the solid's
            /// vertices and edges; the edge table must be enabled.
            void create_macro_info_attributes(
                const TetrahedralSolid< dimension >& solid );

        private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };

        /// Facet and block provenance, on top of the vertex and edge one.
        class MacroInfo3D : public MacroInfo< 3 >
        {
            friend class MacroInfoBuilder3D;

        public:
            ~MacroInfo3D();

            /// The input polygons the facet lies on.
            [[nodiscard]] const std::vector< MeshPolygon >& init_facet_ids(
                index_t facet ) const;

            /// The input polygons the vertex lies on.
            [[nodiscard]] const std::vector< MeshPolygon >&
                vertex_init_facet_ids( index_t vertex ) const;

            /// The blocks the tetrahedron belongs to.
            [[nodiscard]] const std::vector< uuid >& macro_block_ids(
                index_t tetrahedron ) const;

            /// The facets around the edge that carry provenance, each with a
            /// copy of its list. The facets are those of the tetrahedra
            /// around the edge (from the solid's stored start), the two
            /// facets of each through the edge. The map's iteration order is
            /// unspecified: callers that depend on an order sort the keys.
            [[nodiscard]] absl::flat_hash_map< index_t, std::vector< MeshPolygon > >
                init_facet_ids_around_edge( const EdgeVertices& edge_vertices,
                    const TetrahedralSolid< 3 >& solid ) const;

            /// True when the edge borders a facet that lies on an input
            /// polygon common to both its ends: among the vertices around
            /// the edge (walked from `tetrahedron`, a tetrahedron holding the
            /// edge), the first one that shares such a polygon with the ends
            /// decides through the provenance of its facet with the edge.
            [[nodiscard]] bool has_init_facet_around_edge( index_t tetrahedron,
                const EdgeVertices& edge_vertices,
                const TetrahedralSolid< 3 >& solid ) const;

        protected:
            MacroInfo3D();

            /// Creates (or finds) the vertex and edge attributes, then the
            /// two facet attributes and the block attribute; both tables
            /// must be enabled.
            void create_macro_info_attributes( const TetrahedralSolid< 3 >& solid );

        private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };

        /// True when every record of `included` has an equal record in
        /// `records` (true for an empty `included`). For lists of MeshVertex,
        /// MeshEdge, MeshPolygon or uuid.
        template < typename Records >
        [[nodiscard]] bool all_macro_records_included(
            const Records& included, const Records& records )
        {
            return std::all_of( included.begin(), included.end(),
                [&records]( const auto& record ) {
                    return std::find( records.begin(), records.end(), record )
                           != records.end();
                } );
        }

        /// Writes the vertex and curve-edge provenance. Every add appends
        /// the record only when no equal record is in the list.
        template < index_t dimension >
        class MacroInfoBuilder
        {
        public:
            explicit MacroInfoBuilder( MacroInfo< dimension >& macro_info );
            MacroInfoBuilder( const MacroInfoBuilder& ) = delete;
            MacroInfoBuilder& operator=( const MacroInfoBuilder& ) = delete;
            ~MacroInfoBuilder();

            /// Adds (component, component_vertex) to the vertex's
            /// "init_vertex_id".
            void add_init_vertex_id( const uuid& component,
                index_t component_vertex,
                index_t vertex );

            /// Adds (component, component_edge) to the edge's "init_edge_id"
            /// only, not to its vertices.
            void add_init_edge_id(
                const uuid& component, index_t component_edge, index_t edge );

            /// Adds (component, component_edge) to the vertex "init_edge_id"
            /// of each listed vertex.
            void add_vertices_init_edge_id( const uuid& component,
                index_t component_edge,
                absl::Span< const index_t > vertices );

            /// Adds to the new vertex every input vertex, then every input
            /// curve edge, of each old vertex in order (NO_ID skipped).
            void transfer_vertex_init_ids( const ElementEntry& vertices );

        protected:
            [[nodiscard]] MacroInfo< dimension >& macro_info()
            {
                return macro_info_;
            }

        private:
            MacroInfo< dimension >& macro_info_;
        };

        /// Writes the facet and block provenance, and replays the edits of
        /// the solid into the whole provenance. Edge and facet indices are
        /// those of the solid when the call is made.
        class MacroInfoBuilder3D : public MacroInfoBuilder< 3 >
        {
        public:
            MacroInfoBuilder3D(
                MacroInfo3D& macro_info, const BackgroundSolid& solid );
            ~MacroInfoBuilder3D();

            /// For each edge in order, adds (component, component_edge) to
            /// the vertex lists of its two ends; then to each edge's list.
            void add_edges_init_edge_id( const uuid& component,
                index_t component_edge,
                absl::Span< const index_t > edges );

            /// For each facet in order, adds (component, component_polygon)
            /// to the facet's list, then to the vertex list of each of its
            /// vertices in the facet's order.
            void add_init_facet_id( const uuid& component,
                index_t component_polygon,
                absl::Span< const index_t > facets );

            /// Removes (component, component_polygon) from the facet's list,
            /// then from the vertex list of each of its vertices. The other
            /// records keep their order; a list without it is unchanged.
            void remove_init_facet_id( const uuid& component,
                index_t component_polygon,
                index_t facet );

            /// transfer_vertex_init_ids, then adds to the new vertex the
            /// input polygons of each old vertex (NO_ID skipped).
            void update_vertex( const ElementEntry& vertices );
            void update_vertices( absl::Span< const ElementEntry > vertices );

            /// Adds every input curve edge of the old edge to the new edge
            /// and to both its vertices; nothing when the old edge is NO_ID.
            void update_edge( const ElementOrigin& edge );
            void update_edges( absl::Span< const ElementOrigin > edges );

            /// For each record, replays its old edges in order up to the
            /// first NO_ID, which ends the record's list.
            void update_edges( absl::Span< const ElementEntry > edges );

            /// Adds every input polygon of the old facet to the new facet and
            /// to each of its vertices; nothing when the old facet is NO_ID
            /// or the new one.
            void update_facet( const ElementOrigin& facet );
            void update_facets( absl::Span< const ElementOrigin > facets );

            /// For each record, replays every old facet that is neither
            /// NO_ID nor the new facet.
            void update_facets( absl::Span< const ElementEntry > facets );

            /// Appends to the new tetrahedron's block list each block of the
            /// old one that it lacks; nothing when the old tetrahedron is
            /// NO_ID or the new one.
            void update_macro_block_ids( const ElementOrigin& tetrahedra );

            /// Replays a tetrahedron or facet split: its facets, then its
            /// edges. Block lists follow the split by assignment.
            void update_after_split( const SolidSplitTetrahedronInfo& split );
            void update_after_split( const SolidSplitFacetInfo& split );

            /// Replays an edge split: the facets of the first half, of the
            /// second half and the created ones, then the edges in the same
            /// order.
            void update_after_split_edge( const SolidSplitEdgeInfo& split );

            /// Replays a collapse: its facets, its edges, then the merged
            /// vertices into the new vertex.
            void update_after_collapse_edge( const SolidCollapseEdgeInfo& collapse );

        private:
            MacroInfo3D& macro_info_3d_;
            const BackgroundSolid& solid_;
        };
    } // namespace internal
} // namespace orvane
