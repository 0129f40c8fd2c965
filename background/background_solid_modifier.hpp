#pragma once

#include <memory>

#include <common/modifier/tetrahedral_solid_modifier.hpp>

namespace orvane
{
    namespace internal
    {
        class BackgroundSolid;
        class BackgroundSolidBuilder;

        /// The tetrahedral-solid modifier of a background solid. Every edit
        /// that makes facets, edges or tetrahedra out of old ones is
        /// replayed into the solid's provenance right after the base edit,
        /// so that inserted geometry keeps its records:
        /// - splits and collapses replay facets, edges (and, for collapses,
        ///   the merged vertices); block lists follow by assignment;
        /// - swaps give every new tetrahedron the blocks of all the
        ///   tetrahedra it replaces (their new facets and edges lie inside
        ///   the old ones and carry no provenance);
        /// - `clean` also rebuilds the solid's element search.
        /// The facet split by facet index, the removal of tetrahedron pairs
        /// and the vertex move are the base ones, without replay.
        ///
        /// Each edit returns the base edit's record unchanged, and errors of
        /// the base edits propagate before any replay.
        class BackgroundSolidModifier : public TetrahedralSolidModifier
        {
        public:
            BackgroundSolidModifier(
                BackgroundSolid& solid, BackgroundSolidBuilder& builder );
            ~BackgroundSolidModifier() override;

            SolidSplitTetrahedronInfo split_tetrahedron(
                index_t tetrahedron, const Point< 3 >& point ) override;

            SolidSplitFacetInfo split_facet(
                const PolyhedronFacet& facet, const Point< 3 >& point ) override;

            using TetrahedralSolidModifier::split_facet;

            SolidSplitEdgeInfo split_edge(
                const PolyhedronFacetEdge& edge, const Point< 3 >& point ) override;

            SolidSplitEdgeInfo split_edge(
                index_t edge, const Point< 3 >& point ) override;

            /// The base collapse and its replay; then both merged vertices
            /// must be isolated, or OpenOrvaneException "This edge collapse
            /// has provoked validity issue in TetrahedralSolid" is thrown,
            /// the collapse made and replayed.
            SolidCollapseEdgeInfo collapse_edge(
                index_t edge, const Point< 3 >& point ) override;

            SolidCollapseEdgeInfo collapse_edge(
                const PolyhedronFacetEdge& edge, const Point< 3 >& point ) override;

            SolidSwapFacetInfo swap_facet( const PolyhedronFacet& facet ) override;

            SolidSwapEdgeInfo swap_edge(
                const PolyhedronFacetEdge& edge, index_t apex ) override;

            SolidCleanInfo clean() override;

        private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace internal
} // namespace orvane
