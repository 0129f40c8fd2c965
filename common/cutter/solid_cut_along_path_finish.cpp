#include <algorithm>
#include <ranges>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>

#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/cutter/solid_cut_along_path_impl.hpp>
#include <common/modifier/tetrahedral_collapse_validity.hpp>
#include <common/modifier/tetrahedral_solid_modifier.hpp>

// The finishing step of a path cut: splits at points that coincide with
// existing vertices leave edges of zero length, which are collapsed; the
// collapses can make the chain of cut vertices come back to a vertex, and
// the loops so made are removed. Then the origins are made final and the
// edge records become the result's edge lists.

namespace
{
    using namespace orvane;

    /// Keys of the map in increasing order, so that what depends on the
    /// visiting order does not depend on the hash.
    template < typename Map >
    std::vector< index_t > sorted_keys( const Map& map )
    {
        std::vector< index_t > keys;
        keys.reserve( map.size() );
        for( const auto& [key, value] : map )
        {
            keys.push_back( key );
        }
        std::sort( keys.begin(), keys.end() );
        return keys;
    }
} // namespace

namespace orvane
{
    void CutAlongPath3D::Impl::finish()
    {
        std::vector< index_t > touched;
        const auto refused = collapse_zero_length_edges( touched );
        if( !touched.empty() )
        {
            remove_cut_vertex_loops();
            auto& facets = result().modified_facets;
            detail::merge_element_entries( facets );
            std::erase_if( facets, [this]( const ElementEntry& entry ) {
                return !modifier_.is_facet_active( entry.element );
            } );
            compose_tetrahedra();
        }
        move_edge_map_to_result();
        detail::merge_element_entries( result().modified_edges );
        if( refused )
        {
            list_short_edges();
        }
    }

    bool CutAlongPath3D::Impl::collapse_zero_length_edges(
        std::vector< index_t >& touched )
    {
        const auto& edges = solid_.edges();
        while( true )
        {
            absl::flat_hash_set< index_t > pass_vertices;
            std::vector< index_t > candidates;
            for( const auto edge : sorted_keys( edge_map_ ) )
            {
                const auto& vertices = edges.edge_vertices( edge );
                if( pass_vertices.contains( vertices[0] )
                    || pass_vertices.contains( vertices[1] )
                    || !solid_.point( vertices[0] )
                            .inexact_equal( solid_.point( vertices[1] ) )
                    || !live_edge( vertices[0], vertices[1] ) )
                {
                    continue;
                }
                pass_vertices.insert( vertices[0] );
                pass_vertices.insert( vertices[1] );
                candidates.push_back( edge );
            }
            if( candidates.empty() )
            {
                return false;
            }
            bool refused{ false };
            for( const auto edge : candidates )
            {
                const auto vertices = edges.edge_vertices( edge );
                if( collapse( edge ) )
                {
                    touched.push_back( vertices[0] );
                    touched.push_back( vertices[1] );
                }
                else
                {
                    refused = true;
                }
            }
            if( refused )
            {
                return true;
            }
        }
    }

    bool CutAlongPath3D::Impl::collapse( index_t edge )
    {
        local_index_t kept_end{ 0 };
        if( !is_collapse_edge_valid( solid_, edge, 0 ) )
        {
            if( !is_collapse_edge_valid( solid_, edge, 1 ) )
            {
                return false;
            }
            kept_end = 1;
        }
        // A copy: the collapse creates a vertex, which may move the points.
        const auto point =
            solid_.point( solid_.edges().edge_vertices( edge )[kept_end] );
        const auto info = modifier_.collapse_edge( edge, point );
        update_after_collapse( edge, info );
        return true;
    }

    void CutAlongPath3D::Impl::update_after_collapse(
        index_t edge, const SolidCollapseEdgeInfo& collapse )
    {
        auto& cut_vertices = result().cut_vertices;
        std::vector< VertexEntry > vertex_entries;
        vertex_entries.reserve( cut_vertices.size() );
        for( const auto& entry : cut_vertices )
        {
            vertex_entries.push_back( { entry.element, entry.origins } );
        }
        detail::merge_vertex_entries( vertex_entries, collapse );
        for( const auto i : std::views::iota( std::size_t{ 0 }, cut_vertices.size() ) )
        {
            cut_vertices[i] = { vertex_entries[i].vertex,
                std::move( vertex_entries[i].values ) };
        }

        auto& facets = result().modified_facets;
        absl::flat_hash_map< index_t, std::size_t > facet_positions;
        facet_positions.reserve( facets.size() );
        for( std::size_t i = 0; i < facets.size(); i++ )
        {
            facet_positions.try_emplace( facets[i].element, i );
        }
        for( const auto& origin : collapse.facets )
        {
            const auto [position, inserted] =
                facet_positions.try_emplace( origin.new_element, facets.size() );
            if( inserted )
            {
                facets.push_back( { origin.new_element, { origin.old_element } } );
            }
            else
            {
                facets[position->second].origins.push_back( origin.old_element );
            }
        }

        const auto& edges = solid_.edges();
        for( const auto& origin : collapse.edges )
        {
            const auto old_record = edge_map_.find( origin.old_element );
            if( old_record == edge_map_.end() )
            {
                const auto [record, inserted] =
                    edge_map_.try_emplace( origin.new_element );
                if( inserted )
                {
                    record->second.origins = { origin.old_element };
                    record->second.kind = 1;
                }
                else
                {
                    record->second.origins.push_back( origin.old_element );
                }
                continue;
            }
            const auto copied = old_record->second;
            const auto [record, inserted] =
                edge_map_.try_emplace( origin.new_element, copied );
            if( !inserted )
            {
                record->second.kind = std::min( record->second.kind, copied.kind );
                record->second.origins.insert( record->second.origins.end(),
                    copied.origins.begin(), copied.origins.end() );
            }
            const auto& old_vertices = edges.edge_vertices( origin.old_element );
            const auto& new_vertices = edges.edge_vertices( origin.new_element );
            const auto agree = old_vertices[0] == new_vertices[0]
                               || old_vertices[1] == new_vertices[1]
                               || ( old_vertices[0] != new_vertices[1]
                                    && new_vertices[0] != old_vertices[1] );
            if( !agree )
            {
                record->second.same_direction = !record->second.same_direction;
            }
        }
        for( const auto& origin : collapse.edges )
        {
            edge_map_.erase( origin.old_element );
        }
        edge_map_.erase( edge );
    }

    void CutAlongPath3D::Impl::remove_cut_vertex_loops()
    {
        auto& cut_vertices = result().cut_vertices;
        absl::flat_hash_map< index_t, std::size_t > visits;
        visits.reserve( cut_vertices.size() );
        std::vector< bool > removed( cut_vertices.size(), false );
        for( std::size_t i = 0; i < cut_vertices.size(); i++ )
        {
            const auto vertex = cut_vertices[i].element;
            if( vertex == NO_ID )
            {
                continue;
            }
            const auto found = visits.find( vertex );
            if( found != visits.end() )
            {
                for( auto k = found->second; k < i; k++ )
                {
                    removed[k] = true;
                    const auto from = cut_vertices[k].element;
                    const auto to = cut_vertices[k + 1].element;
                    if( from == NO_ID )
                    {
                        continue;
                    }
                    visits.erase( from );
                    if( to == NO_ID )
                    {
                        continue;
                    }
                    if( const auto edge = live_edge( from, to ) )
                    {
                        if( const auto record = edge_map_.find( edge.value() );
                            record != edge_map_.end() )
                        {
                            record->second.kind = 1;
                        }
                    }
                }
            }
            visits[vertex] = i;
        }
        std::vector< index_t > new_index( cut_vertices.size(), NO_ID );
        std::size_t kept{ 0 };
        for( std::size_t i = 0; i < cut_vertices.size(); i++ )
        {
            if( !removed[i] )
            {
                new_index[i] = static_cast< index_t >( kept );
                cut_vertices[kept++] = std::move( cut_vertices[i] );
            }
        }
        cut_vertices.resize( kept );
        const auto renumber = [&new_index]( auto& leftovers ) {
            std::erase_if( leftovers, [&new_index]( const auto& leftover ) {
                return new_index[leftover.cut] == NO_ID;
            } );
            for( auto& leftover : leftovers )
            {
                leftover.cut = new_index[leftover.cut];
            }
        };
        renumber( failure_.leftover_facet_cuts );
        renumber( failure_.leftover_edge_cuts );
    }

    void CutAlongPath3D::Impl::compose_tetrahedra()
    {
        auto& tetrahedra = result().tetrahedra;
        absl::flat_hash_map< index_t, index_t > old_of;
        old_of.reserve( tetrahedra.size() );
        std::vector< index_t > order;
        order.reserve( tetrahedra.size() );
        for( const auto& origin : tetrahedra )
        {
            if( old_of.try_emplace( origin.new_element, origin.old_element ).second )
            {
                order.push_back( origin.new_element );
            }
        }
        absl::flat_hash_set< index_t > consumed;
        for( const auto& origin : tetrahedra )
        {
            auto old = origin.old_element;
            // Without a cycle the chain passes each key at most once.
            for( std::size_t step = 0;; step++ )
            {
                const auto found = old_of.find( old );
                if( found == old_of.end() || found->second == old )
                {
                    break;
                }
                if( step == old_of.size() )
                {
                    throw OpenOrvaneException{ "[CutAlongPath3D::finish] The "
                                               "origins of tetrahedron ",
                        origin.new_element, " form a cycle" };
                }
                consumed.insert( old );
                old = found->second;
            }
            old_of[origin.new_element] = old;
        }
        std::vector< ElementOrigin > composed;
        composed.reserve( order.size() );
        for( const auto tetrahedron : order )
        {
            if( !consumed.contains( tetrahedron )
                && modifier_.is_polyhedron_active( tetrahedron ) )
            {
                composed.push_back( { tetrahedron, old_of.at( tetrahedron ) } );
            }
        }
        tetrahedra = std::move( composed );
    }

    /// The chain edges come first in chain order, then the other records by
    /// increasing edge.
    void CutAlongPath3D::Impl::move_edge_map_to_result()
    {
        auto& path_edges = result().path_edges;
        auto& modified_edges = result().modified_edges;
        for_each_chain_step( [this, &path_edges]( std::size_t, index_t, index_t,
                                 const std::optional< index_t >& edge ) {
            if( !edge )
            {
                return;
            }
            const auto record = edge_map_.find( edge.value() );
            if( record == edge_map_.end() || record->second.kind != 0 )
            {
                return;
            }
            path_edges.push_back( { edge.value(), std::move( record->second.origins ),
                record->second.same_direction } );
            edge_map_.erase( record );
        } );
        for( const auto edge : sorted_keys( edge_map_ ) )
        {
            auto& record = edge_map_.at( edge );
            if( record.kind == 0 )
            {
                path_edges.push_back(
                    { edge, std::move( record.origins ), record.same_direction } );
            }
            else
            {
                modified_edges.push_back( { edge, std::move( record.origins ) } );
            }
        }
        edge_map_.clear();
    }

    void CutAlongPath3D::Impl::list_short_edges()
    {
        const auto& edges = solid_.edges();
        const auto is_short = [this, &edges]( index_t edge ) {
            const auto& vertices = edges.edge_vertices( edge );
            return solid_.point( vertices[0] )
                .inexact_equal( solid_.point( vertices[1] ) );
        };
        auto& short_edges = result().short_edges;
        for( const auto& entry : result().modified_edges )
        {
            if( is_short( entry.element ) )
            {
                short_edges.push_back( entry.element );
            }
        }
        for( const auto& path_edge : result().path_edges )
        {
            if( is_short( path_edge.edge ) )
            {
                short_edges.push_back( path_edge.edge );
            }
        }
    }
} // namespace orvane
