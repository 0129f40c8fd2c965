#include <common/modifier/tetrahedral_solid_modifier_impl.hpp>

#include <algorithm>
#include <ranges>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/barycentric_coordinates.hpp>
#include <openorvane/geometry/distance.hpp>

// Edits that shrink or reshape a tetrahedral solid: edge collapse, removal of
// flat tetrahedron pairs, vertex move, and the final clean-up.

namespace orvane
{
    SolidCollapseEdgeInfo TetrahedralSolidModifier::Impl::collapse_edge(
        VerticesModifier& modifier, index_t edge, const Point< 3 >& point )
    {
        const auto vertex = builder_.create_point( point );
        const EdgeVertices edge_vertices = solid_.edges().edge_vertices( edge );
        interpolate_on_segment( vertex, edge_vertices );
        const auto polyhedra = solid_.polyhedra_around_edge( edge_vertices );
        return do_collapse_edge( modifier, edge_vertices, polyhedra, vertex );
    }

    SolidCollapseEdgeInfo TetrahedralSolidModifier::Impl::collapse_edge(
        VerticesModifier& modifier,
        const PolyhedronFacetEdge& edge,
        const Point< 3 >& point )
    {
        const auto vertex = builder_.create_point( point );
        const auto edge_vertices = solid_.polyhedron_facet_edge_vertices( edge );
        interpolate_on_segment( vertex, edge_vertices );
        const auto polyhedra = solid_.polyhedra_around_edge(
            edge_vertices, edge.polyhedron_facet.polyhedron_id );
        return do_collapse_edge( modifier, edge_vertices, polyhedra, vertex );
    }

    SolidCollapseEdgeInfo TetrahedralSolidModifier::Impl::do_collapse_edge(
        VerticesModifier& modifier,
        const EdgeVertices& edge_vertices,
        const PolyhedraAroundEdge& polyhedra,
        index_t vertex )
    {
        struct StarRecord
        {
            index_t tetrahedron;
            std::array< local_index_t, 2 > locals;
            // Neighbours across the facets opposite e0 and opposite e1.
            std::array< std::optional< PolyhedronFacet >, 2 > outer;
        };
        absl::InlinedVector< StarRecord, 10 > star;
        for( const auto tetrahedron : polyhedra )
        {
            StarRecord record;
            record.tetrahedron = tetrahedron;
            record.locals =
                solid_.edge_vertices_in_polyhedron( tetrahedron, edge_vertices )
                    .value();
            for( const auto end : { 0, 1 } )
            {
                record.outer[end] = solid_.polyhedron_adjacent_facet(
                    { tetrahedron, record.locals[end] } );
            }
            star.push_back( record );
        }
        const auto in_star = [&]( index_t tetrahedron ) {
            return std::find( polyhedra.begin(), polyhedra.end(), tetrahedron )
                   != polyhedra.end();
        };

        SolidCollapseEdgeInfo info;
        info.new_vertex = vertex;
        info.merged_vertices = { edge_vertices[0], edge_vertices[1] };
        const std::array< PolyhedraAroundVertex, 2 > around{
            solid_.polyhedra_around_vertex( edge_vertices[0] ),
            solid_.polyhedra_around_vertex( edge_vertices[1] )
        };
        info.modified_tetrahedra.reserve( around[0].size() + around[1].size() );
        info.removed_tetrahedra.reserve( star.size() );
        const auto facets_enabled = solid_.are_facets_enabled();
        const auto edges_enabled = solid_.are_edges_enabled();
        if( facets_enabled )
        {
            info.facets.reserve( 3 * ( around[0].size() + around[1].size() ) );
        }

        // The tetrahedra of either end outside the star take the new vertex.
        absl::InlinedVector< std::pair< index_t, PolyhedronVertex >, 40 > modified;
        for( const auto end : { 0, 1 } )
        {
            const auto end_vertex = edge_vertices[end];
            builder_.disassociate_polyhedron_vertex_to_vertex( end_vertex );
            const auto first_entry = info.facets.size();
            for( const auto& polyhedron_vertex : around[end] )
            {
                const auto tetrahedron = polyhedron_vertex.polyhedron_id;
                if( in_star( tetrahedron ) )
                {
                    continue;
                }
                const auto k = polyhedron_vertex.vertex_id;
                info.modified_tetrahedra.push_back( tetrahedron );
                modified.emplace_back( end_vertex, polyhedron_vertex );
                const auto position = info.facets.size();
                if( facets_enabled )
                {
                    for( const local_index_t j : { 1, 2, 3 } )
                    {
                        const auto old_facet = polyhedron_facet_index( { tetrahedron,
                            static_cast< local_index_t >( ( k + j ) % 4 ) } );
                        info.facets.push_back( { NO_ID, old_facet } );
                        deactivate_facet( old_facet );
                    }
                }
                builder_.set_polyhedron_vertex( polyhedron_vertex, vertex );
                for( const local_index_t j : { 1, 2, 3 } )
                {
                    const PolyhedronVertex other{ tetrahedron,
                        static_cast< local_index_t >( ( k + j ) % 4 ) };
                    builder_.associate_polyhedron_vertex_to_vertex(
                        other, solid_.polyhedron_vertex( other ) );
                }
                if( facets_enabled )
                {
                    for( const local_index_t j : { 1, 2, 3 } )
                    {
                        info.facets[position + j - 1].new_element =
                            polyhedron_facet_index( { tetrahedron,
                                static_cast< local_index_t >( ( k + j ) % 4 ) } );
                    }
                }
            }
            if( facets_enabled )
            {
                copy_facet_attributes( absl::MakeConstSpan(
                    info.facets.data() + first_entry,
                    info.facets.size() - first_entry ) );
            }
        }

        // Edges of the modified tetrahedra that moved onto the new vertex,
        // in order of first encounter.
        if( edges_enabled )
        {
            absl::flat_hash_map< index_t, std::size_t > positions;
            positions.reserve( 63 );
            for( const auto& [end_vertex, polyhedron_vertex] : modified )
            {
                for( const local_index_t j : { 1, 2, 3 } )
                {
                    const auto other = solid_.polyhedron_vertex(
                        { polyhedron_vertex.polyhedron_id,
                            static_cast< local_index_t >(
                                ( polyhedron_vertex.vertex_id + j ) % 4 ) } );
                    const auto old_edge = edge_index( { end_vertex, other } );
                    const auto new_edge = edge_index( { vertex, other } );
                    const auto [found, inserted] =
                        positions.emplace( old_edge, info.edges.size() );
                    if( inserted )
                    {
                        info.edges.push_back( { new_edge, old_edge } );
                    }
                    else
                    {
                        info.edges[found->second].new_element = new_edge;
                    }
                }
            }
            copy_edge_attributes( info.edges );
        }

        // The outer facets of the star move onto the new vertex where a
        // neighbour carries them over.
        if( facets_enabled )
        {
            auto& manager = solid_.facets().facet_attribute_manager();
            const auto assignable = manager.has_assignable_attributes();
            for( const auto& record : star )
            {
                for( const auto end : { 0, 1 } )
                {
                    const auto& outer = record.outer[end];
                    if( !outer || in_star( outer->polyhedron_id ) )
                    {
                        continue;
                    }
                    const PolyhedronFacet old_facet{ record.tetrahedron,
                        record.locals[end] };
                    auto vertices = solid_.polyhedron_facet_vertices( old_facet );
                    const auto old_index = facet_index( vertices );
                    for( auto& facet_vertex : vertices )
                    {
                        if( facet_vertex == edge_vertices[0]
                            || facet_vertex == edge_vertices[1] )
                        {
                            facet_vertex = vertex;
                        }
                    }
                    const auto new_index = facet_index( vertices );
                    info.facets.push_back( { new_index, old_index } );
                    if( assignable )
                    {
                        manager.assign_attribute_value( old_index, new_index );
                    }
                }
            }
        }

        // Glue the outer neighbours of each removed tetrahedron to each other:
        // once both ends become the new vertex, the facets of a removed
        // tetrahedron opposite the two ends hold the same vertices, facing
        // each other. Every other adjacency around the collapse is already
        // right (the modified tetrahedra keep their neighbours), so the glue
        // is the whole adjacency update of a valid collapse.
        for( const auto& record : star )
        {
            const auto& a0 = record.outer[0];
            const auto& a1 = record.outer[1];
            if( !a0 || in_star( a0->polyhedron_id ) )
            {
                if( a1 )
                {
                    builder_.unset_polyhedron_adjacent( a1.value() );
                }
            }
            else if( !a1 || in_star( a1->polyhedron_id ) )
            {
                builder_.unset_polyhedron_adjacent( a0.value() );
            }
            else
            {
                builder_.set_polyhedron_adjacent( a0.value(), a1->polyhedron_id );
                builder_.set_polyhedron_adjacent( a1.value(), a0->polyhedron_id );
            }
            deactivate_polyhedron( record.tetrahedron );
            info.removed_tetrahedra.push_back( record.tetrahedron );
        }
        if( facets_enabled )
        {
            for( const auto& record : star )
            {
                for( const local_index_t f : { 0, 1, 2, 3 } )
                {
                    deactivate_facet( polyhedron_facet_index( { record.tetrahedron, f } ) );
                }
            }
        }
        // A ring vertex whose recorded tetrahedron was removed and that no
        // modified tetrahedron took over has no live tetrahedron left around
        // it (when its star is connected): leave it isolated rather than
        // pointing at a dead cell.
        for( const auto& record : star )
        {
            for( const auto corner : solid_.polyhedron_vertices( record.tetrahedron ) )
            {
                if( corner == edge_vertices[0] || corner == edge_vertices[1] )
                {
                    continue;
                }
                const auto current = solid_.polyhedron_around_vertex( corner );
                if( current && !is_polyhedron_active( current->polyhedron_id ) )
                {
                    builder_.disassociate_polyhedron_vertex_to_vertex( corner );
                }
            }
        }
        modifier.update_vertex_map( info );
        return info;
    }

    std::array< index_t, 2 > TetrahedralSolidModifier::Impl::remove_tetrahedra_pair(
        const PolyhedronFacetEdge& edge )
    {
        const auto edge_vertices = solid_.polyhedron_facet_edge_vertices( edge );
        const auto t0 = edge.polyhedron_facet.polyhedron_id;
        const auto l = solid_.edge_vertices_in_polyhedron( t0, edge_vertices ).value();
        absl::InlinedVector< local_index_t, 2 > others;
        for( const local_index_t v : { 0, 1, 2, 3 } )
        {
            if( v != l[0] && v != l[1] )
            {
                others.push_back( v );
            }
        }
        const auto o0 = others[0];
        const auto o1 = others[1];
        // Both facets through the edge must face the second tetrahedron.
        const auto t1 = solid_.polyhedron_adjacent( { t0, o1 } ).value();
        static_cast< void >( solid_.polyhedron_adjacent( { t0, o0 } ).value() );
        const auto m = solid_.edge_vertices_in_polyhedron( t1, edge_vertices ).value();
        std::array< std::optional< PolyhedronFacet >, 2 > a;
        std::array< std::optional< PolyhedronFacet >, 2 > b;
        for( const auto j : { 0, 1 } )
        {
            a[j] = solid_.polyhedron_adjacent_facet( { t0, l[j] } );
            b[j] = solid_.polyhedron_adjacent_facet( { t1, m[j] } );
        }
        const auto t0_vertices = solid_.polyhedron_vertices( t0 );
        deactivate_polyhedron( t0 );
        deactivate_polyhedron( t1 );
        if( solid_.are_facets_enabled() )
        {
            for( const auto local : others )
            {
                deactivate_facet( facet_index( { edge_vertices[0],
                    edge_vertices[1], t0_vertices[local] } ) );
            }
        }
        const auto reassociate = [&]( const PolyhedronFacet& facet ) {
            for( const auto corner : solid_.polyhedron_facet_vertices( facet ) )
            {
                const auto current = solid_.polyhedron_around_vertex( corner );
                if( current
                    && ( current->polyhedron_id == t0
                         || current->polyhedron_id == t1 ) )
                {
                    builder_.associate_polyhedron_vertex_to_vertex(
                        { facet.polyhedron_id,
                            solid_.vertex_in_polyhedron( facet.polyhedron_id, corner )
                                .value() },
                        corner );
                }
            }
        };
        // The second tetrahedron's neighbours are tried too, so that a
        // vertex of a pair on the border is not left on a removed one.
        for( const auto* outer : { &a[0], &a[1], &b[0], &b[1] } )
        {
            if( *outer )
            {
                reassociate( outer->value() );
            }
        }
        for( const auto j : { 0, 1 } )
        {
            if( a[j] && b[j] )
            {
                builder_.set_polyhedron_adjacent( a[j].value(), b[j]->polyhedron_id );
                builder_.set_polyhedron_adjacent( b[j].value(), a[j]->polyhedron_id );
            }
            else if( a[j] )
            {
                builder_.unset_polyhedron_adjacent( a[j].value() );
            }
            else if( b[j] )
            {
                builder_.unset_polyhedron_adjacent( b[j].value() );
            }
        }
        return { t0, t1 };
    }

    std::array< index_t, 2 > TetrahedralSolidModifier::Impl::remove_tetrahedra_pair(
        const PolyhedronVertex& polyhedron_vertex )
    {
        const auto vertex = solid_.polyhedron_vertex( polyhedron_vertex );
        const auto around = solid_.polyhedra_around_vertex( vertex );
        if( around.size() != 2 )
        {
            throw OpenOrvaneException{ "[TetrahedralSolidModifier::remove_"
                                       "tetrahedra_pair] Vertex should have "
                                       "exactly two tetrahedra around it, "
                                       "but has ",
                around.size() };
        }
        const auto [t0, k0] = around[0];
        const auto [t1, k1] = around[1];
        const auto a0 = solid_.polyhedron_adjacent_facet( { t0, k0 } );
        const auto a1 = solid_.polyhedron_adjacent_facet( { t1, k1 } );
        deactivate_polyhedron( t0 );
        deactivate_polyhedron( t1 );
        if( solid_.are_facets_enabled() )
        {
            for( const local_index_t f : { 0, 1, 2, 3 } )
            {
                if( f != k0 )
                {
                    deactivate_facet( polyhedron_facet_index( { t0, f } ) );
                }
            }
        }
        builder_.disassociate_polyhedron_vertex_to_vertex( vertex );
        const auto on_pair = [&]( index_t corner ) {
            const auto current = solid_.polyhedron_around_vertex( corner );
            return current
                   && ( current->polyhedron_id == t0
                        || current->polyhedron_id == t1 );
        };
        const auto outer = a0 ? a0 : a1;
        if( outer )
        {
            for( const auto corner : solid_.polyhedron_facet_vertices( *outer ) )
            {
                if( on_pair( corner ) )
                {
                    builder_.associate_polyhedron_vertex_to_vertex(
                        { outer->polyhedron_id,
                            solid_.vertex_in_polyhedron( outer->polyhedron_id, corner )
                                .value() },
                        corner );
                }
            }
        }
        else
        {
            // Only the corners still pointing at the removed pair lose their
            // association: others belong to live tetrahedra elsewhere.
            for( const auto corner : solid_.polyhedron_vertices( t0 ) )
            {
                if( on_pair( corner ) )
                {
                    builder_.disassociate_polyhedron_vertex_to_vertex( corner );
                }
            }
        }
        if( a0 && a1 )
        {
            builder_.set_polyhedron_adjacent( a0.value(), a1->polyhedron_id );
            builder_.set_polyhedron_adjacent( a1.value(), a0->polyhedron_id );
        }
        else if( a0 )
        {
            builder_.unset_polyhedron_adjacent( a0.value() );
        }
        else if( a1 )
        {
            builder_.unset_polyhedron_adjacent( a1.value() );
        }
        return { t0, t1 };
    }

    void TetrahedralSolidModifier::Impl::move_vertex(
        index_t vertex, const Point< 3 >& point )
    {
        if( !solid_.is_vertex_isolated( vertex )
            && solid_.vertex_attribute_manager().has_interpolable_attributes() )
        {
            index_t best{ NO_ID };
            auto best_distance = MAX_DOUBLE;
            for( const auto& polyhedron_vertex :
                solid_.polyhedra_around_vertex( vertex ) )
            {
                const auto distance = std::get< 0 >( point_tetrahedron_distance(
                    point, solid_.tetrahedron( polyhedron_vertex.polyhedron_id ) ) );
                if( distance < best_distance )
                {
                    best = polyhedron_vertex.polyhedron_id;
                    best_distance = distance;
                }
                if( distance <= GLOBAL_EPSILON )
                {
                    break;
                }
            }
            if( best != NO_ID )
            {
                const auto weights = safe_tetrahedron_barycentric_coordinates(
                    point, solid_.tetrahedron( best ) );
                interpolate_vertex(
                    vertex, solid_.polyhedron_vertices( best ), weights );
            }
        }
        builder_.set_point( vertex, point );
    }

    std::vector< index_t >
        TetrahedralSolidModifier::Impl::delete_inactive_polyhedra()
    {
        std::vector< bool > to_delete( solid_.nb_polyhedra(), false );
        for( const auto tetrahedron :
            std::views::iota( index_t{ 0 }, solid_.nb_polyhedra() ) )
        {
            to_delete[tetrahedron] = !is_polyhedron_active( tetrahedron );
        }
        auto old2new = builder_.delete_polyhedra( to_delete );
        for( const auto tetrahedron :
            std::views::iota( index_t{ 0 }, solid_.nb_polyhedra() ) )
        {
            for( const local_index_t v : { 0, 1, 2, 3 } )
            {
                const auto corner = solid_.polyhedron_vertex( { tetrahedron, v } );
                if( solid_.is_vertex_isolated( corner ) )
                {
                    builder_.associate_polyhedron_vertex_to_vertex(
                        { tetrahedron, v }, corner );
                }
            }
        }
        return old2new;
    }

    SolidCleanInfo TetrahedralSolidModifier::Impl::clean(
        VerticesModifier& modifier )
    {
        SolidCleanInfo info;
        info.polyhedra = delete_inactive_polyhedra();
        info.vertices = builder_.delete_isolated_vertices();
        modifier.clear_vertex_map();
        if( solid_.are_edges_enabled() )
        {
            info.edges = builder_.edges_builder().delete_isolated_edges();
        }
        if( solid_.are_facets_enabled() )
        {
            info.facets = builder_.facets_builder().delete_isolated_facets();
        }
        return info;
    }
} // namespace orvane
