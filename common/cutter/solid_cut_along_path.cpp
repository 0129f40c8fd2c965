#include <common/cutter/solid_cut_along_path.hpp>

#include <algorithm>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>

#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/cutter/solid_cut_along_path_impl.hpp>
#include <common/modifier/tetrahedral_solid_modifier.hpp>
#include <common/modifier/tetrahedron_preview.hpp>

namespace orvane
{
    CutPathException::CutPathException()
        : OpenOrvaneException{ "Invalid cut to do in cut_along_path" }
    {
    }

    CutPathException::~CutPathException() = default;

    namespace detail
    {
        void merge_element_entries( std::vector< ElementEntry >& entries )
        {
            absl::flat_hash_map< index_t, ElementOrigins > origins;
            origins.reserve( entries.size() );
            std::vector< index_t > order;
            order.reserve( entries.size() );
            for( const auto& entry : entries )
            {
                if( origins.try_emplace( entry.element, entry.origins ).second )
                {
                    order.push_back( entry.element );
                }
            }
            // Without a cycle every rewrite pass replaces origins by origins
            // one step further back, so a chain ends within as many passes
            // as there are elements.
            const auto max_passes = origins.size() + 1;
            absl::flat_hash_set< index_t > consumed;
            for( const auto& entry : entries )
            {
                auto current = entry.origins;
                for( std::size_t pass = 0;; pass++ )
                {
                    if( pass == max_passes )
                    {
                        throw OpenOrvaneException{
                            "[merge_element_entries] The origins of element ",
                            entry.element, " form a cycle"
                        };
                    }
                    ElementOrigins next;
                    bool changed{ false };
                    for( const auto origin : current )
                    {
                        if( origin == NO_ID )
                        {
                            changed = true;
                            continue;
                        }
                        const auto found = origins.find( origin );
                        // An element listing itself existed before the cut.
                        if( found == origins.end() || origin == entry.element
                            || ( found->second.size() == 1
                                 && found->second.front() == origin ) )
                        {
                            next.push_back( origin );
                            continue;
                        }
                        next.insert( next.end(), found->second.begin(),
                            found->second.end() );
                        consumed.insert( origin );
                        changed = true;
                    }
                    std::sort( next.begin(), next.end() );
                    next.erase(
                        std::unique( next.begin(), next.end() ), next.end() );
                    current = std::move( next );
                    if( !changed )
                    {
                        break;
                    }
                }
                if( current.empty() )
                {
                    current.push_back( NO_ID );
                }
                origins[entry.element] = std::move( current );
            }
            std::vector< ElementEntry > merged;
            merged.reserve( order.size() );
            for( const auto element : order )
            {
                if( !consumed.contains( element ) )
                {
                    merged.push_back(
                        { element, std::move( origins.at( element ) ) } );
                }
            }
            entries = std::move( merged );
        }
    } // namespace detail

    CutAlongPath3D::Impl::Impl( const TetrahedralSolid< 3 >& solid,
        TetrahedralSolidModifier& modifier,
        absl::Span< const SolidCut > cuts )
        : solid_( solid ), modifier_( modifier ), cuts_( cuts )
    {
    }

    CutAlongPathResult CutAlongPath3D::Impl::cut_along_path()
    {
        check_path_ends();
        if( cuts_.size() == 1 )
        {
            const auto vertex = cuts_.front().vertex;
            CutAlongPathResult single;
            single.cut_vertices.push_back( { vertex, { vertex } } );
            return single;
        }
        if( cuts_.size() == 2 )
        {
            cut_two_vertices();
        }
        else
        {
            cut_general();
        }
        finish();
        if( failure_.leftover_facet_cuts.empty()
            && failure_.leftover_edge_cuts.empty()
            && failure_.missing_edges.empty() )
        {
            return result();
        }
        throw failure_;
    }

    /// Checked before any edit, so that a refused list leaves the solid as
    /// it was.
    void CutAlongPath3D::Impl::check_path_ends() const
    {
        if( cuts_.empty() )
        {
            throw OpenOrvaneException{
                "[CutAlongPath3D::cut_along_path] No cut to do"
            };
        }
        if( cuts_.front().vertex == NO_ID )
        {
            throw OpenOrvaneException{
                "[CutAlongPath3D::perform_vertex_path_splits] First path split "
                "should be a vertex (should be begin)"
            };
        }
        if( cuts_.back().vertex == NO_ID )
        {
            throw OpenOrvaneException{
                "[CutAlongPath3D::perform_vertex_path_splits] Last path split "
                "should be a vertex (should be end)"
            };
        }
    }

    void CutAlongPath3D::Impl::cut_two_vertices()
    {
        const auto from = cuts_[0].vertex;
        const auto to = cuts_[1].vertex;
        result().cut_vertices = { { from, { from } }, { to, { to } } };
        const auto edge = live_edge( from, to );
        if( !edge )
        {
            failure_.missing_edges.push_back( { from, to } );
            return;
        }
        result().path_edges.push_back( { edge.value(), { edge.value() },
            solid_.edges().edge_vertices( edge.value() )[0] == from } );
    }

    void CutAlongPath3D::Impl::cut_general()
    {
        result().cut_vertices.assign( cuts_.size(), { NO_ID, { NO_ID } } );
        split_facets();
        split_edges();
        for( std::size_t i = 0; i < cuts_.size(); i++ )
        {
            const auto vertex = cuts_[i].vertex;
            if( vertex != NO_ID )
            {
                result().cut_vertices[i] = { vertex, { vertex } };
            }
        }
        add_path_edges();
    }

    void CutAlongPath3D::Impl::split_facets()
    {
        for( auto i = cuts_.size(); i-- > 0; )
        {
            const auto& cut = cuts_[i];
            if( cut.position != POSITION::inside || cut.vertex != NO_ID )
            {
                continue;
            }
            const auto facet = live_facet( cut.facet );
            if( !detail::are_tetrahedra_positive(
                    tetrahedra_after_split_facet( solid_, facet, cut.point ) ) )
            {
                failure_.leftover_facet_cuts.push_back(
                    { static_cast< index_t >( i ), cut.point, cut.facet } );
                continue;
            }
            const auto info = modifier_.split_facet( facet, cut.point );
            result().cut_vertices[i] = { info.new_vertex, { NO_ID } };
            auto& tetrahedra = result().tetrahedra;
            tetrahedra.insert(
                tetrahedra.end(), info.tetrahedra.begin(), info.tetrahedra.end() );
            for( const auto& origin : info.facets )
            {
                result().modified_facets.push_back(
                    { origin.new_element, { origin.old_element } } );
            }
            for( const auto& origin : info.edges )
            {
                record_new_edge( origin );
            }
        }
    }

    void CutAlongPath3D::Impl::split_edges()
    {
        for( auto i = cuts_.size(); i-- > 0; )
        {
            const auto& cut = cuts_[i];
            if( !detail::is_edge_position( cut.position ) || cut.vertex != NO_ID )
            {
                continue;
            }
            if( i > 0 && same_crossing( solid_, cut, cuts_[i - 1] ) )
            {
                continue;
            }
            const auto edge = live_facet_edge( { cut.facet,
                detail::position_to_index( cut.position ) } );
            if( !is_split_edge_valid( solid_, edge, cut.point ) )
            {
                failure_.leftover_edge_cuts.push_back(
                    { static_cast< index_t >( i ), cut.point, edge } );
                continue;
            }
            const auto info = modifier_.split_edge( edge, cut.point );
            result().cut_vertices[i] = { info.new_vertex, { NO_ID } };
            auto& tetrahedra = result().tetrahedra;
            for( const auto* list :
                { &info.first_tetrahedra, &info.second_tetrahedra } )
            {
                tetrahedra.insert( tetrahedra.end(), list->begin(), list->end() );
            }
            for( const auto* list : { &info.first_facets, &info.second_facets,
                     &info.created_facets } )
            {
                for( const auto& origin : *list )
                {
                    result().modified_facets.push_back(
                        { origin.new_element, { origin.old_element } } );
                }
            }
            for( const auto* list : { &info.first_edges, &info.second_edges,
                     &info.created_edges } )
            {
                for( const auto& origin : *list )
                {
                    record_new_edge( origin );
                }
            }
        }
    }

    void CutAlongPath3D::Impl::add_path_edges()
    {
        const auto& edges = solid_.edges();
        for_each_chain_step( [this, &edges]( std::size_t i, index_t from, index_t to,
                                 const std::optional< index_t >& edge ) {
            if( !edge )
            {
                failure_.missing_edges.push_back( { from, to } );
                return;
            }
            const auto same_direction =
                edges.edge_vertices( edge.value() )[0] == from;
            const auto [record, inserted] = edge_map_.try_emplace( edge.value() );
            if( inserted )
            {
                const auto both_vertex_cuts =
                    cuts_[i - 1].vertex != NO_ID && cuts_[i].vertex != NO_ID;
                record->second.origins = { both_vertex_cuts ? edge.value() : NO_ID };
            }
            record->second.kind = 0;
            record->second.same_direction = same_direction;
        } );
    }

    void CutAlongPath3D::Impl::record_new_edge( const ElementOrigin& origin )
    {
        const auto [record, inserted] = edge_map_.try_emplace( origin.new_element );
        if( inserted )
        {
            record->second.origins = { origin.old_element };
            record->second.kind = 1;
            record->second.same_direction = false;
            return;
        }
        record->second.kind = std::min< std::uint32_t >( record->second.kind, 1 );
    }

    std::optional< index_t > CutAlongPath3D::Impl::live_edge(
        index_t from, index_t to ) const
    {
        if( !solid_.polyhedron_facet_edge_from_vertices( { from, to } ) )
        {
            return std::nullopt;
        }
        return solid_.edges().edge_from_vertices( { from, to } );
    }

    /// A cut names the facet as the path finder saw it; an earlier split may
    /// have replaced its tetrahedron since.
    PolyhedronFacet CutAlongPath3D::Impl::live_facet(
        const PolyhedronFacet& facet ) const
    {
        if( modifier_.is_polyhedron_active( facet.polyhedron_id ) )
        {
            return facet;
        }
        const auto found = solid_.polyhedron_facet_from_vertices(
            solid_.polyhedron_facet_vertices( facet ) );
        if( !found )
        {
            throw OpenOrvaneException{ "[CutAlongPath3D::cut_along_path] Facet ",
                facet.string(), " of a cut is no longer in the solid" };
        }
        return found.value();
    }

    PolyhedronFacetEdge CutAlongPath3D::Impl::live_facet_edge(
        const PolyhedronFacetEdge& edge ) const
    {
        if( modifier_.is_polyhedron_active( edge.polyhedron_facet.polyhedron_id ) )
        {
            return edge;
        }
        const auto found = solid_.polyhedron_facet_edge_from_vertices(
            solid_.polyhedron_facet_edge_vertices( edge ) );
        if( !found )
        {
            throw OpenOrvaneException{ "[CutAlongPath3D::cut_along_path] Edge ",
                edge.string(), " of a cut is no longer in the solid" };
        }
        return found.value();
    }

    CutAlongPath3D::CutAlongPath3D( const TetrahedralSolid< 3 >& solid,
        TetrahedralSolidModifier& modifier,
        absl::Span< const SolidCut > cuts )
        : impl_( std::make_unique< Impl >( solid, modifier, cuts ) )
    {
    }

    CutAlongPath3D::~CutAlongPath3D() = default;

    CutAlongPathResult CutAlongPath3D::cut_along_path()
    {
        return impl_->cut_along_path();
    }
} // namespace orvane
