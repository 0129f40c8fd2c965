#include <openorvane/mesh/solid_mesh_builder.hpp>

#include <algorithm>
#include <tuple>

#include <openorvane/basic/algorithm.hpp>
#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/coordinates.hpp>

namespace
{
    using namespace orvane;

    template < index_t dimension >
    void check_vertex( const SolidMesh< dimension >& solid,
        index_t vertex,
        const char* function )
    {
        ORVANE_EXCEPTION( vertex < solid.nb_vertices(), "[SolidMeshBuilder::",
            function, "] Vertex ", vertex, " does not exist (the solid has ",
            solid.nb_vertices(), " vertices)" );
    }

    template < index_t dimension >
    void check_polyhedron_vertex( const SolidMesh< dimension >& solid,
        const PolyhedronVertex& polyhedron_vertex,
        const char* function )
    {
        ORVANE_EXCEPTION( polyhedron_vertex.polyhedron_id < solid.nb_polyhedra()
                              && polyhedron_vertex.vertex_id
                                     < solid.nb_polyhedron_vertices(
                                         polyhedron_vertex.polyhedron_id ),
            "[SolidMeshBuilder::", function, "] Polyhedron vertex (",
            polyhedron_vertex.polyhedron_id, ", ", polyhedron_vertex.vertex_id,
            ") does not exist (the solid has ", solid.nb_polyhedra(),
            " polyhedra)" );
    }

    template < index_t dimension >
    void check_polyhedron_facet( const SolidMesh< dimension >& solid,
        const PolyhedronFacet& polyhedron_facet,
        const char* function )
    {
        ORVANE_EXCEPTION( polyhedron_facet.polyhedron_id < solid.nb_polyhedra()
                              && polyhedron_facet.facet_id
                                     < solid.nb_polyhedron_facets(
                                         polyhedron_facet.polyhedron_id ),
            "[SolidMeshBuilder::", function, "] Polyhedron facet (",
            polyhedron_facet.polyhedron_id, ", ", polyhedron_facet.facet_id,
            ") does not exist (the solid has ", solid.nb_polyhedra(),
            " polyhedra)" );
    }

    /// A polyhedron facet with its sorted vertices and the parity of the
    /// permutation that sorts its listed vertices: two facets with the same
    /// vertices face each other when their parities differ.
    struct FacetKey
    {
        std::array< index_t, 3 > vertices;
        bool odd;
        PolyhedronFacet facet;

        bool same_vertices( const FacetKey& other ) const
        {
            return vertices == other.vertices;
        }
    };

    FacetKey make_key( const PolyhedronFacetVertices& facet_vertices,
        const PolyhedronFacet& facet )
    {
        FacetKey key{ { facet_vertices[0], facet_vertices[1], facet_vertices[2] },
            false, facet };
        // Sorting three values with swaps, counting them for the parity.
        auto& v = key.vertices;
        if( v[0] > v[1] )
        {
            std::swap( v[0], v[1] );
            key.odd = !key.odd;
        }
        if( v[1] > v[2] )
        {
            std::swap( v[1], v[2] );
            key.odd = !key.odd;
        }
        if( v[0] > v[1] )
        {
            std::swap( v[0], v[1] );
            key.odd = !key.odd;
        }
        return key;
    }

    /// Orders keys by vertices, then by polyhedron and local facet, so that
    /// the uses of each vertex triple are next to each other in polyhedron
    /// order.
    bool key_less( const FacetKey& lhs, const FacetKey& rhs )
    {
        return std::tie( lhs.vertices, lhs.facet.polyhedron_id, lhs.facet.facet_id )
               < std::tie( rhs.vertices, rhs.facet.polyhedron_id, rhs.facet.facet_id );
    }

    template < index_t dimension >
    std::vector< bool > used_edges(
        const SolidMesh< dimension >& solid, const Edges& edges )
    {
        std::vector< bool > used( edges.nb_edges(), false );
        for( index_t p = 0; p < solid.nb_polyhedra(); p++ )
        {
            for( local_index_t f = 0; f < solid.nb_polyhedron_facets( p ); f++ )
            {
                const PolyhedronFacet facet{ p, f };
                for( local_index_t e = 0;
                     e < solid.nb_polyhedron_facet_vertices( facet ); e++ )
                {
                    if( const auto edge = edges.edge_from_vertices(
                            solid.polyhedron_facet_edge_vertices( { facet, e } ) ) )
                    {
                        used[edge.value()] = true;
                    }
                }
            }
        }
        return used;
    }
} // namespace

namespace orvane
{
    template < index_t dimension >
    SolidMeshBuilder< dimension >::SolidMeshBuilder( SolidMesh< dimension >& mesh )
        : VertexSetBuilder( mesh ), solid_mesh_( mesh )
    {
    }

    template < index_t dimension >
    SolidMeshBuilder< dimension >::~SolidMeshBuilder() = default;

    template < index_t dimension >
    std::unique_ptr< SolidMeshBuilder< dimension > >
        SolidMeshBuilder< dimension >::create( SolidMesh< dimension >& mesh )
    {
        return detail::create_mesh_builder< SolidMeshBuilder< dimension > >(
            mesh );
    }

    template < index_t dimension >
    index_t SolidMeshBuilder< dimension >::create_point(
        const Point< dimension >& point )
    {
        // Checked first, so that a refused point creates no vertex.
        CoordinateArray< dimension >::check_finite( point );
        const auto vertex = this->create_vertex();
        do_set_point( vertex, point );
        return vertex;
    }

    template < index_t dimension >
    void SolidMeshBuilder< dimension >::set_point(
        index_t vertex_id, const Point< dimension >& point )
    {
        do_set_point( vertex_id, point );
    }

    template < index_t dimension >
    void SolidMeshBuilder< dimension >::set_polyhedron_vertex(
        const PolyhedronVertex& polyhedron_vertex, index_t vertex_id )
    {
        check_vertex( solid_mesh_, vertex_id, "set_polyhedron_vertex" );
        check_polyhedron_vertex(
            solid_mesh_, polyhedron_vertex, "set_polyhedron_vertex" );
        do_set_polyhedron_vertex( polyhedron_vertex, vertex_id );
        do_associate_polyhedron_vertex_to_vertex( polyhedron_vertex, vertex_id );
        const auto polyhedron = polyhedron_vertex.polyhedron_id;
        auto& edges = solid_mesh_.edges_storage();
        auto& facets = solid_mesh_.facets_storage();
        if( !edges && !facets )
        {
            return;
        }
        // Register the facets and facet edges that now hold the new vertex.
        for( local_index_t f = 0; f < solid_mesh_.nb_polyhedron_facets( polyhedron );
             f++ )
        {
            const PolyhedronFacet facet{ polyhedron, f };
            const auto vertices = solid_mesh_.polyhedron_facet_vertices( facet );
            if( std::find( vertices.begin(), vertices.end(), vertex_id )
                == vertices.end() )
            {
                continue;
            }
            if( facets )
            {
                facets_builder().find_or_create_facet( vertices );
            }
            if( edges )
            {
                auto builder = edges_builder();
                for( local_index_t e = 0; e < vertices.size(); e++ )
                {
                    builder.find_or_create_edge(
                        solid_mesh_.polyhedron_facet_edge_vertices( { facet, e } ) );
                }
            }
        }
    }

    template < index_t dimension >
    void SolidMeshBuilder< dimension >::set_polyhedron_adjacent(
        const PolyhedronFacet& polyhedron_facet, index_t adjacent_id )
    {
        check_polyhedron_facet(
            solid_mesh_, polyhedron_facet, "set_polyhedron_adjacent" );
        ORVANE_EXCEPTION(
            adjacent_id == NO_ID || adjacent_id < solid_mesh_.nb_polyhedra(),
            "[SolidMeshBuilder::set_polyhedron_adjacent] Adjacent polyhedron ",
            adjacent_id, " does not exist (the solid has ",
            solid_mesh_.nb_polyhedra(), " polyhedra)" );
        do_set_polyhedron_adjacent( polyhedron_facet, adjacent_id );
    }

    template < index_t dimension >
    void SolidMeshBuilder< dimension >::unset_polyhedron_adjacent(
        const PolyhedronFacet& polyhedron_facet )
    {
        check_polyhedron_facet(
            solid_mesh_, polyhedron_facet, "unset_polyhedron_adjacent" );
        do_set_polyhedron_adjacent( polyhedron_facet, NO_ID );
    }

    template < index_t dimension >
    void SolidMeshBuilder< dimension >::compute_polyhedron_adjacencies()
    {
        // Sorting the facets by their vertices puts the uses of each vertex
        // triple next to each other: deterministic and without hashing.
        std::vector< FacetKey > keys;
        keys.reserve( static_cast< std::size_t >( solid_mesh_.nb_polyhedra() ) * 4 );
        for( index_t p = 0; p < solid_mesh_.nb_polyhedra(); p++ )
        {
            for( local_index_t f = 0; f < solid_mesh_.nb_polyhedron_facets( p ); f++ )
            {
                const PolyhedronFacet facet{ p, f };
                do_set_polyhedron_adjacent( facet, NO_ID );
                const auto vertices = solid_mesh_.polyhedron_facet_vertices( facet );
                ORVANE_EXCEPTION( vertices.size() == 3,
                    "[SolidMeshBuilder::compute_polyhedron_adjacencies] Only "
                    "triangular facets are supported" );
                keys.push_back( make_key( vertices, facet ) );
            }
        }
        std::sort( keys.begin(), keys.end(), key_less );
        std::size_t begin{ 0 };
        while( begin < keys.size() )
        {
            auto end = begin + 1;
            while( end < keys.size() && keys[end].same_vertices( keys[begin] ) )
            {
                end++;
            }
            // Only a pair of facets facing each other is linked: a border, a
            // non-manifold triple or two facets with the same orientation
            // stay unset.
            if( end - begin == 2 && keys[begin].odd != keys[begin + 1].odd
                && keys[begin].facet.polyhedron_id
                       != keys[begin + 1].facet.polyhedron_id )
            {
                do_set_polyhedron_adjacent(
                    keys[begin].facet, keys[begin + 1].facet.polyhedron_id );
                do_set_polyhedron_adjacent(
                    keys[begin + 1].facet, keys[begin].facet.polyhedron_id );
            }
            begin = end;
        }
    }

    template < index_t dimension >
    void SolidMeshBuilder< dimension >::compute_polyhedron_adjacencies(
        absl::Span< const index_t > polyhedra )
    {
        const auto nb_polyhedra = solid_mesh_.nb_polyhedra();
        // Candidates: the listed polyhedra, their current neighbours (even
        // when linked one way or stale: an edit that replaces a polyhedron
        // keeps the old links on it) and the polyhedra around their
        // vertices.
        std::vector< index_t > candidates;
        std::vector< index_t > vertices;
        for( const auto polyhedron : polyhedra )
        {
            candidates.push_back( polyhedron );
            for( local_index_t f = 0;
                 f < solid_mesh_.nb_polyhedron_facets( polyhedron ); f++ )
            {
                const auto adjacent =
                    solid_mesh_.polyhedron_adjacent( { polyhedron, f } );
                if( adjacent && adjacent.value() < nb_polyhedra )
                {
                    candidates.push_back( adjacent.value() );
                }
            }
            for( const auto vertex : solid_mesh_.polyhedron_vertices( polyhedron ) )
            {
                vertices.push_back( vertex );
            }
        }
        std::sort( vertices.begin(), vertices.end() );
        vertices.erase(
            std::unique( vertices.begin(), vertices.end() ), vertices.end() );
        for( const auto vertex : vertices )
        {
            for( const auto& around : solid_mesh_.polyhedra_around_vertex( vertex ) )
            {
                candidates.push_back( around.polyhedron_id );
            }
        }
        std::sort( candidates.begin(), candidates.end() );
        candidates.erase(
            std::unique( candidates.begin(), candidates.end() ), candidates.end() );

        std::vector< FacetKey > keys;
        for( const auto candidate : candidates )
        {
            for( local_index_t f = 0;
                 f < solid_mesh_.nb_polyhedron_facets( candidate ); f++ )
            {
                const PolyhedronFacet facet{ candidate, f };
                keys.push_back( make_key(
                    solid_mesh_.polyhedron_facet_vertices( facet ), facet ) );
            }
        }
        std::sort( keys.begin(), keys.end(), key_less );

        for( const auto polyhedron : polyhedra )
        {
            for( local_index_t f = 0;
                 f < solid_mesh_.nb_polyhedron_facets( polyhedron ); f++ )
            {
                const PolyhedronFacet facet{ polyhedron, f };
                const auto key = make_key(
                    solid_mesh_.polyhedron_facet_vertices( facet ), facet );
                // The facets with the same vertices, in increasing polyhedron
                // order: the last facing one is the newest.
                auto first = std::lower_bound( keys.begin(), keys.end(),
                    FacetKey{ key.vertices, false, { 0, 0 } }, key_less );
                std::optional< PolyhedronFacet > best;
                for( ; first != keys.end() && first->same_vertices( key ); first++ )
                {
                    if( first->facet.polyhedron_id != polyhedron
                        && first->odd != key.odd )
                    {
                        best = first->facet;
                    }
                }
                if( best )
                {
                    do_set_polyhedron_adjacent( facet, best->polyhedron_id );
                    do_set_polyhedron_adjacent( best.value(), polyhedron );
                }
                else
                {
                    do_set_polyhedron_adjacent( facet, NO_ID );
                }
            }
        }
    }

    template < index_t dimension >
    void SolidMeshBuilder< dimension >::associate_polyhedron_vertex_to_vertex(
        const PolyhedronVertex& polyhedron_vertex, index_t vertex_id )
    {
        check_vertex( solid_mesh_, vertex_id, "associate_polyhedron_vertex_to_vertex" );
        check_polyhedron_vertex(
            solid_mesh_, polyhedron_vertex, "associate_polyhedron_vertex_to_vertex" );
        do_associate_polyhedron_vertex_to_vertex( polyhedron_vertex, vertex_id );
    }

    template < index_t dimension >
    void SolidMeshBuilder< dimension >::disassociate_polyhedron_vertex_to_vertex(
        index_t vertex_id )
    {
        check_vertex(
            solid_mesh_, vertex_id, "disassociate_polyhedron_vertex_to_vertex" );
        do_associate_polyhedron_vertex_to_vertex( {}, vertex_id );
    }

    template < index_t dimension >
    void SolidMeshBuilder< dimension >::reset_polyhedra_around_vertex(
        index_t /*unused*/ )
    {
    }

    template < index_t dimension >
    std::vector< index_t > SolidMeshBuilder< dimension >::delete_polyhedra(
        const std::vector< bool >& to_delete )
    {
        ORVANE_EXCEPTION( to_delete.size() == solid_mesh_.nb_polyhedra(),
            "[SolidMeshBuilder::delete_polyhedra] The number of flags (",
            to_delete.size(), ") differs from the number of polyhedra (",
            solid_mesh_.nb_polyhedra(), ")" );
        auto old2new = detail::mapping_after_deletion( to_delete );
        if( std::find( to_delete.begin(), to_delete.end(), true )
            == to_delete.end() )
        {
            return old2new;
        }
        // Renumber the associations; those of deleted polyhedra are redone
        // from the remaining polyhedra below.
        const auto nb_vertices = solid_mesh_.nb_vertices();
        std::vector< bool > to_reassociate( nb_vertices, false );
        bool any_reassociation{ false };
        for( index_t v = 0; v < nb_vertices; v++ )
        {
            const auto stored = solid_mesh_.polyhedron_around_vertex( v );
            if( !stored )
            {
                continue;
            }
            const auto new_polyhedron = stored->polyhedron_id < old2new.size()
                                            ? old2new[stored->polyhedron_id]
                                            : NO_ID;
            if( new_polyhedron == NO_ID )
            {
                do_associate_polyhedron_vertex_to_vertex( {}, v );
                to_reassociate[v] = true;
                any_reassociation = true;
            }
            else if( new_polyhedron != stored->polyhedron_id )
            {
                do_associate_polyhedron_vertex_to_vertex(
                    { new_polyhedron, stored->vertex_id }, v );
            }
        }
        do_delete_polyhedra( to_delete, old2new );
        solid_mesh_.polyhedron_attribute_manager().delete_elements( to_delete );
        if( any_reassociation )
        {
            for( index_t p = 0; p < solid_mesh_.nb_polyhedra(); p++ )
            {
                for( local_index_t v = 0;
                     v < solid_mesh_.nb_polyhedron_vertices( p ); v++ )
                {
                    const auto vertex = solid_mesh_.polyhedron_vertex( { p, v } );
                    if( vertex != NO_ID && to_reassociate[vertex] )
                    {
                        do_associate_polyhedron_vertex_to_vertex( { p, v }, vertex );
                        to_reassociate[vertex] = false;
                    }
                }
            }
        }
        return old2new;
    }

    template < index_t dimension >
    OldToNew SolidMeshBuilder< dimension >::delete_isolated_vertices()
    {
        const auto nb_vertices = solid_mesh_.nb_vertices();
        std::vector< bool > used( nb_vertices, false );
        for( index_t p = 0; p < solid_mesh_.nb_polyhedra(); p++ )
        {
            for( local_index_t v = 0; v < solid_mesh_.nb_polyhedron_vertices( p );
                 v++ )
            {
                const auto vertex = solid_mesh_.polyhedron_vertex( { p, v } );
                if( vertex == NO_ID || vertex >= nb_vertices )
                {
                    continue;
                }
                if( !used[vertex] && solid_mesh_.is_vertex_isolated( vertex ) )
                {
                    // Still used but not associated: attach it again rather
                    // than delete a vertex that a polyhedron refers to.
                    do_associate_polyhedron_vertex_to_vertex( { p, v }, vertex );
                }
                used[vertex] = true;
            }
        }
        std::vector< bool > to_delete( nb_vertices, false );
        for( index_t v = 0; v < nb_vertices; v++ )
        {
            to_delete[v] = !used[v] && solid_mesh_.is_vertex_isolated( v );
        }
        return this->delete_vertices( to_delete );
    }

    template < index_t dimension >
    SolidEdgesBuilder< dimension > SolidMeshBuilder< dimension >::edges_builder()
    {
        ORVANE_EXCEPTION( solid_mesh_.are_edges_enabled(),
            "[SolidMeshBuilder::edges_builder] Edges should be enabled before "
            "editing them" );
        const auto& solid = solid_mesh_;
        return SolidEdgesBuilder< dimension >{ *solid_mesh_.edges_storage(),
            [&solid]( const Edges& edges ) {
                return used_edges( solid, edges );
            } };
    }

    template < index_t dimension >
    SolidFacetsBuilder< dimension > SolidMeshBuilder< dimension >::facets_builder()
    {
        ORVANE_EXCEPTION( solid_mesh_.are_facets_enabled(),
            "[SolidMeshBuilder::facets_builder] Facets should be enabled "
            "before editing them" );
        return SolidFacetsBuilder< dimension >{ *solid_mesh_.facets_storage(),
            solid_mesh_ };
    }

    template < index_t dimension >
    void SolidMeshBuilder< dimension >::copy( const SolidMesh< dimension >& solid )
    {
        if( &solid == &solid_mesh_ )
        {
            return;
        }
        this->copy_vertex_set( solid );
        do_copy_polyhedra( solid );
        solid_mesh_.polyhedron_attribute_manager().copy(
            solid.polyhedron_attribute_manager() );
        solid_mesh_.edges_storage().reset();
        if( solid.are_edges_enabled() )
        {
            auto table = std::make_unique< SolidEdges< dimension > >();
            SolidEdgesBuilder< dimension >{ *table }.copy( solid.edges() );
            solid_mesh_.edges_storage() = std::move( table );
        }
        solid_mesh_.facets_storage().reset();
        if( solid.are_facets_enabled() )
        {
            auto table = std::make_unique< SolidFacets< dimension > >();
            SolidFacetsBuilder< dimension >{ *table, solid_mesh_ }.copy(
                solid.facets() );
            solid_mesh_.facets_storage() = std::move( table );
        }
    }

    template < index_t dimension >
    void SolidMeshBuilder< dimension >::register_new_polyhedron(
        index_t polyhedron_id )
    {
        solid_mesh_.polyhedron_attribute_manager().resize(
            solid_mesh_.nb_polyhedra() );
        for( local_index_t v = 0;
             v < solid_mesh_.nb_polyhedron_vertices( polyhedron_id ); v++ )
        {
            const PolyhedronVertex polyhedron_vertex{ polyhedron_id, v };
            do_associate_polyhedron_vertex_to_vertex(
                polyhedron_vertex, solid_mesh_.polyhedron_vertex( polyhedron_vertex ) );
        }
        auto& edges = solid_mesh_.edges_storage();
        auto& facets = solid_mesh_.facets_storage();
        if( !edges && !facets )
        {
            return;
        }
        for( local_index_t f = 0;
             f < solid_mesh_.nb_polyhedron_facets( polyhedron_id ); f++ )
        {
            const PolyhedronFacet facet{ polyhedron_id, f };
            if( facets )
            {
                facets_builder().find_or_create_facet(
                    solid_mesh_.polyhedron_facet_vertices( facet ) );
            }
            if( edges )
            {
                auto builder = edges_builder();
                for( local_index_t e = 0;
                     e < solid_mesh_.nb_polyhedron_facet_vertices( facet ); e++ )
                {
                    builder.find_or_create_edge(
                        solid_mesh_.polyhedron_facet_edge_vertices( { facet, e } ) );
                }
            }
        }
    }

    template class SolidMeshBuilder< 3 >;
} // namespace orvane
