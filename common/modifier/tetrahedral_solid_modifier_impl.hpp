#pragma once

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/types/span.h>

#include <openorvane/basic/attribute_manager.hpp>

#include <common/modifier/tetrahedral_solid_modifier.hpp>

// The state and operations of TetrahedralSolidModifier. Derived modifiers
// include this header to call the operations directly and post-process the
// records they return.

namespace orvane
{
    class TetrahedralSolidModifier::Impl
    {
    public:
        using LocalEdge = std::array< local_index_t, 2 >;
        using AdjacentFacets = std::array< std::optional< PolyhedronFacet >, 4 >;

        Impl( const TetrahedralSolid< 3 >& solid,
            TetrahedralSolidBuilder< 3 >& builder );
        Impl( const Impl& ) = delete;
        Impl& operator=( const Impl& ) = delete;
        ~Impl();

        [[nodiscard]] const TetrahedralSolid< 3 >& solid() const
        {
            return solid_;
        }

        [[nodiscard]] TetrahedralSolidBuilder< 3 >& builder()
        {
            return builder_;
        }

        /// Splits the tetrahedron around the already created vertex; the
        /// adjacent facets are those of its facets 0 to 3.
        SolidSplitTetrahedronInfo split_tetrahedron( index_t tetrahedron,
            const AdjacentFacets& adjacent_facets,
            index_t vertex );

        SolidSplitFacetInfo split_facet(
            const PolyhedronFacet& facet, const Point< 3 >& point );
        SolidSplitFacetInfo split_facet( index_t facet, const Point< 3 >& point );

        SolidSplitEdgeInfo split_edge(
            const PolyhedronFacetEdge& edge, const Point< 3 >& point );
        SolidSplitEdgeInfo split_edge( index_t edge, const Point< 3 >& point );

        /// `modifier` is the one whose vertex map records the merge.
        SolidCollapseEdgeInfo collapse_edge(
            VerticesModifier& modifier, index_t edge, const Point< 3 >& point );
        SolidCollapseEdgeInfo collapse_edge( VerticesModifier& modifier,
            const PolyhedronFacetEdge& edge,
            const Point< 3 >& point );

        std::array< index_t, 2 > remove_tetrahedra_pair(
            const PolyhedronFacetEdge& edge );
        std::array< index_t, 2 > remove_tetrahedra_pair(
            const PolyhedronVertex& vertex );

        void move_vertex( index_t vertex, const Point< 3 >& point );

        SolidSwapFacetInfo swap_facet( const PolyhedronFacet& facet );
        SolidSwapEdgeInfo swap_edge(
            const PolyhedronFacetEdge& edge, index_t apex );

        std::vector< index_t > delete_inactive_polyhedra();

        /// `modifier` is the one whose vertex map is emptied.
        SolidCleanInfo clean( VerticesModifier& modifier );

        [[nodiscard]] bool is_polyhedron_active( index_t tetrahedron ) const;
        [[nodiscard]] bool is_facet_active( index_t facet );

        /// Flags the tetrahedron inactive.
        void deactivate_polyhedron( index_t tetrahedron );

        /// Flags the facet inactive; nothing when facets are disabled.
        void deactivate_facet( index_t facet );

        /// Flags the facet active; nothing when facets are disabled.
        void activate_facet( index_t facet );

        /// The adjacent facets of the tetrahedron's facets 0 to 3.
        [[nodiscard]] AdjacentFacets adjacent_facets( index_t tetrahedron ) const;

        /// The local edge opposite the given one (smaller local index first),
        /// in the orientation used by the edge split.
        [[nodiscard]] LocalEdge opposite_edge( const LocalEdge& edge ) const
        {
            return opposite_edges_.at( edge );
        }

    private:

        SolidSplitEdgeInfo do_split_edge( const EdgeVertices& edge_vertices,
            index_t edge,
            const PolyhedraAroundEdge& polyhedra,
            index_t vertex );

        SolidSplitFacetInfo do_split_facet( const PolyhedronFacet& first_side,
            const PolyhedronFacetVertices& facet_vertices,
            index_t facet,
            index_t vertex );

        SolidCollapseEdgeInfo do_collapse_edge( VerticesModifier& modifier,
            const EdgeVertices& edge_vertices,
            const PolyhedraAroundEdge& polyhedra,
            index_t vertex );

        /// Creates the facet flags when they do not exist yet (facets of
        /// inactive tetrahedra start inactive); false when facets are
        /// disabled.
        bool prepare_facet_flags();

        void interpolate_vertex( index_t vertex,
            absl::Span< const index_t > vertices,
            absl::Span< const double > weights );

        void interpolate_on_segment(
            index_t vertex, const EdgeVertices& edge_vertices );

        template < typename Origins >
        void copy_polyhedron_attributes( const Origins& origins );

        template < typename Origins >
        void copy_facet_attributes( const Origins& origins );

        template < typename Origins >
        void copy_edge_attributes( const Origins& origins );

        /// The facet of the table made of the polyhedron facet's vertices.
        [[nodiscard]] index_t polyhedron_facet_index(
            const PolyhedronFacet& facet ) const;

        [[nodiscard]] index_t facet_index(
            const PolyhedronFacetVertices& vertices ) const;

        [[nodiscard]] index_t edge_index( const EdgeVertices& vertices ) const;

    private:
        const TetrahedralSolid< 3 >& solid_;
        TetrahedralSolidBuilder< 3 >& builder_;
        std::unique_ptr< internal::ActiveFlags > polyhedron_flags_;
        std::unique_ptr< internal::ActiveFlags > facet_flags_;
        absl::flat_hash_map< LocalEdge, LocalEdge > opposite_edges_;
    };

    namespace detail
    {
        /// Copies, in the manager, the attribute values of every origin's
        /// old element to its new element; origins without an old element
        /// are skipped.
        template < typename Origins >
        void assign_origin_attributes(
            AttributeManager& manager, const Origins& origins )
        {
            if( !manager.has_assignable_attributes() )
            {
                return;
            }
            for( const auto& origin : origins )
            {
                if( origin.old_element != NO_ID )
                {
                    manager.assign_attribute_value(
                        origin.old_element, origin.new_element );
                }
            }
        }
    } // namespace detail

    template < typename Origins >
    void TetrahedralSolidModifier::Impl::copy_polyhedron_attributes(
        const Origins& origins )
    {
        detail::assign_origin_attributes(
            solid_.polyhedron_attribute_manager(), origins );
    }

    template < typename Origins >
    void TetrahedralSolidModifier::Impl::copy_facet_attributes(
        const Origins& origins )
    {
        if( solid_.are_facets_enabled() )
        {
            detail::assign_origin_attributes(
                solid_.facets().facet_attribute_manager(), origins );
        }
    }

    template < typename Origins >
    void TetrahedralSolidModifier::Impl::copy_edge_attributes(
        const Origins& origins )
    {
        if( solid_.are_edges_enabled() )
        {
            detail::assign_origin_attributes(
                solid_.edges().edge_attribute_manager(), origins );
        }
    }
} // namespace orvane
