#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <common/cutter/solid_cut_along_path.hpp>

// The work state of CutAlongPath3D, shared by its two source files: the
// splits (solid_cut_along_path.cpp) and the finishing step with its collapses
// (solid_cut_along_path_finish.cpp).

namespace orvane
{
    struct SolidCollapseEdgeInfo;

    class CutAlongPath3D::Impl
    {
    public:
        /// An edge touched by the cut: kind 0 for an edge of the cut chain,
        /// kind 1 for an edge made or changed beside it.
        struct EdgeRecord
        {
            ElementOrigins origins;
            std::uint32_t kind{ 1 };
            bool same_direction{ false };
        };

        Impl( const TetrahedralSolid< 3 >& solid,
            TetrahedralSolidModifier& modifier,
            absl::Span< const SolidCut > cuts );

        CutAlongPathResult cut_along_path();

    private:
        CutAlongPathResult& result()
        {
            return failure_.result;
        }

        void check_path_ends() const;

        void cut_two_vertices();

        void cut_general();

        void split_facets();

        void split_edges();

        void add_path_edges();

        /// Records an edge made by a split from `old_edge`; an edge already
        /// recorded keeps its origins and stays in the chain if it was.
        void record_new_edge( const ElementOrigin& origin );

        /// The edge of the edge table joining the two vertices, when a live
        /// tetrahedron holds it (the table keeps edges that no tetrahedron
        /// uses any more).
        std::optional< index_t > live_edge( index_t from, index_t to ) const;

        /// Calls `visit( i, from, to, edge )` for every step of the chain,
        /// from cut vertex i - 1 to cut vertex i, whose two cuts were made;
        /// `edge` is the live edge joining them, if any.
        template < typename Visit >
        void for_each_chain_step( const Visit& visit )
        {
            const auto& cut_vertices = result().cut_vertices;
            for( std::size_t i = 1; i < cut_vertices.size(); i++ )
            {
                const auto from = cut_vertices[i - 1].element;
                const auto to = cut_vertices[i].element;
                if( from == NO_ID || to == NO_ID )
                {
                    continue;
                }
                visit( i, from, to, live_edge( from, to ) );
            }
        }

        PolyhedronFacet live_facet( const PolyhedronFacet& facet ) const;

        PolyhedronFacetEdge live_facet_edge( const PolyhedronFacetEdge& edge ) const;

        // Finishing step.
        void finish();

        /// Collapses the edges of the edge map whose two ends coincide, in
        /// passes of edges that share no vertex. Returns whether a collapse
        /// was refused.
        bool collapse_zero_length_edges( std::vector< index_t >& touched );

        bool collapse( index_t edge );

        void update_after_collapse(
            index_t edge, const SolidCollapseEdgeInfo& collapse );

        void remove_cut_vertex_loops();

        void compose_tetrahedra();

        void move_edge_map_to_result();

        void list_short_edges();

    private:
        const TetrahedralSolid< 3 >& solid_;
        TetrahedralSolidModifier& modifier_;
        absl::Span< const SolidCut > cuts_;
        absl::flat_hash_map< index_t, EdgeRecord > edge_map_;
        CutPathException failure_;
    };
} // namespace orvane
