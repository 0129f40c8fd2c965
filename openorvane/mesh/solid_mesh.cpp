#include <openorvane/mesh/solid_mesh.hpp>

#include <algorithm>

#include <openorvane/basic/assert.hpp>
#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/solid_mesh_builder.hpp>

namespace orvane
{
    template < index_t dimension >
    class SolidMesh< dimension >::Impl
    {
    public:
        Impl() = default;

        AttributeManager& polyhedron_attribute_manager()
        {
            return polyhedron_attribute_manager_;
        }

        std::unique_ptr< SolidEdges< dimension > >& edges()
        {
            return edges_;
        }

        std::unique_ptr< SolidFacets< dimension > >& facets()
        {
            return facets_;
        }

    private:
        AttributeManager polyhedron_attribute_manager_;
        // The two tables live in separate objects so that enabling one may
        // run while the other is being enabled on another thread.
        std::unique_ptr< SolidEdges< dimension > > edges_;
        std::unique_ptr< SolidFacets< dimension > > facets_;
    };

    template < index_t dimension >
    SolidMesh< dimension >::SolidMesh() : impl_( std::make_unique< Impl >() )
    {
    }

    template < index_t dimension >
    SolidMesh< dimension >::SolidMesh( SolidMesh&& other ) noexcept
        : VertexSet( std::move( other ) ),
          impl_( std::exchange( other.impl_, std::make_unique< Impl >() ) )
    {
    }

    template < index_t dimension >
    SolidMesh< dimension >& SolidMesh< dimension >::operator=(
        SolidMesh&& other ) noexcept
    {
        VertexSet::operator=( std::move( other ) );
        impl_ = std::exchange( other.impl_, std::make_unique< Impl >() );
        return *this;
    }

    template < index_t dimension >
    SolidMesh< dimension >::~SolidMesh() = default;

    template < index_t dimension >
    std::unique_ptr< SolidMesh< dimension > > SolidMesh< dimension >::create()
    {
        return create( MeshFactory::default_impl( type_name_static() ) );
    }

    template < index_t dimension >
    std::unique_ptr< SolidMesh< dimension > > SolidMesh< dimension >::create(
        const MeshImpl& impl )
    {
        return detail::create_mesh< SolidMesh< dimension > >( impl );
    }

    template < index_t dimension >
    MeshType SolidMesh< dimension >::type_name_static()
    {
        return MeshType{ absl::StrCat( "SolidMesh", dimension, "D" ) };
    }

    template < index_t dimension >
    std::unique_ptr< SolidMesh< dimension > > SolidMesh< dimension >::clone()
        const
    {
        auto clone = create( this->impl_name() );
        auto builder = SolidMeshBuilder< dimension >::create( *clone );
        builder->copy( *this );
        return clone;
    }

    template < index_t dimension >
    index_t SolidMesh< dimension >::nb_polyhedra() const
    {
        return get_nb_polyhedra();
    }

    template < index_t dimension >
    local_index_t SolidMesh< dimension >::nb_polyhedron_vertices(
        index_t polyhedron_id ) const
    {
        return get_nb_polyhedron_vertices( polyhedron_id );
    }

    template < index_t dimension >
    local_index_t SolidMesh< dimension >::nb_polyhedron_facets(
        index_t polyhedron_id ) const
    {
        return get_nb_polyhedron_facets( polyhedron_id );
    }

    template < index_t dimension >
    local_index_t SolidMesh< dimension >::nb_polyhedron_facet_vertices(
        const PolyhedronFacet& polyhedron_facet ) const
    {
        return get_nb_polyhedron_facet_vertices( polyhedron_facet );
    }

    template < index_t dimension >
    index_t SolidMesh< dimension >::polyhedron_vertex(
        const PolyhedronVertex& polyhedron_vertex ) const
    {
        ORVANE_ASSERT( polyhedron_vertex.polyhedron_id < nb_polyhedra()
                           && polyhedron_vertex.vertex_id
                                  < get_nb_polyhedron_vertices(
                                      polyhedron_vertex.polyhedron_id ),
            "[SolidMesh::polyhedron_vertex] Polyhedron vertex (",
            polyhedron_vertex.polyhedron_id, ", ", polyhedron_vertex.vertex_id,
            ") out of range (", nb_polyhedra(), " polyhedra)" );
        return get_polyhedron_vertex( polyhedron_vertex );
    }

    template < index_t dimension >
    PolyhedronVertices SolidMesh< dimension >::polyhedron_vertices(
        index_t polyhedron_id ) const
    {
        const auto nb_vertices = nb_polyhedron_vertices( polyhedron_id );
        PolyhedronVertices vertices( nb_vertices );
        for( local_index_t v = 0; v < nb_vertices; v++ )
        {
            vertices[v] = get_polyhedron_vertex( { polyhedron_id, v } );
        }
        return vertices;
    }

    template < index_t dimension >
    PolyhedronVertex SolidMesh< dimension >::polyhedron_facet_vertex_id(
        const PolyhedronFacetVertex& polyhedron_facet_vertex ) const
    {
        return { polyhedron_facet_vertex.polyhedron_facet.polyhedron_id,
            get_polyhedron_facet_vertex_id( polyhedron_facet_vertex ) };
    }

    template < index_t dimension >
    index_t SolidMesh< dimension >::polyhedron_facet_vertex(
        const PolyhedronFacetVertex& polyhedron_facet_vertex ) const
    {
        return get_polyhedron_vertex(
            polyhedron_facet_vertex_id( polyhedron_facet_vertex ) );
    }

    template < index_t dimension >
    PolyhedronFacetVertices SolidMesh< dimension >::polyhedron_facet_vertices(
        const PolyhedronFacet& polyhedron_facet ) const
    {
        ORVANE_ASSERT( polyhedron_facet.polyhedron_id < nb_polyhedra()
                           && polyhedron_facet.facet_id
                                  < get_nb_polyhedron_facets(
                                      polyhedron_facet.polyhedron_id ),
            "[SolidMesh::polyhedron_facet_vertices] Polyhedron facet (",
            polyhedron_facet.polyhedron_id, ", ", polyhedron_facet.facet_id,
            ") out of range (", nb_polyhedra(), " polyhedra)" );
        const auto nb_vertices =
            get_nb_polyhedron_facet_vertices( polyhedron_facet );
        PolyhedronFacetVertices vertices( nb_vertices );
        for( local_index_t v = 0; v < nb_vertices; v++ )
        {
            vertices[v] = polyhedron_facet_vertex( { polyhedron_facet, v } );
        }
        return vertices;
    }

    template < index_t dimension >
    PolyhedronFacetsVertices SolidMesh< dimension >::polyhedron_facets_vertices(
        index_t polyhedron_id ) const
    {
        const auto nb_facets = nb_polyhedron_facets( polyhedron_id );
        PolyhedronFacetsVertices facets( nb_facets );
        for( local_index_t f = 0; f < nb_facets; f++ )
        {
            facets[f] = polyhedron_facet_vertices( { polyhedron_id, f } );
        }
        return facets;
    }

    template < index_t dimension >
    EdgeVertices SolidMesh< dimension >::polyhedron_facet_edge_vertices(
        const PolyhedronFacetEdge& polyhedron_facet_edge ) const
    {
        const auto& facet = polyhedron_facet_edge.polyhedron_facet;
        const auto nb_vertices = get_nb_polyhedron_facet_vertices( facet );
        const auto edge = polyhedron_facet_edge.edge_id;
        const auto next = static_cast< local_index_t >( ( edge + 1 ) % nb_vertices );
        return { polyhedron_facet_vertex( { facet, edge } ),
            polyhedron_facet_vertex( { facet, next } ) };
    }

    template < index_t dimension >
    std::optional< index_t > SolidMesh< dimension >::polyhedron_adjacent(
        const PolyhedronFacet& polyhedron_facet ) const
    {
        const auto adjacent = get_polyhedron_adjacent( polyhedron_facet );
        if( adjacent == NO_ID )
        {
            return std::nullopt;
        }
        return adjacent;
    }

    template < index_t dimension >
    std::optional< PolyhedronFacet >
        SolidMesh< dimension >::polyhedron_adjacent_facet(
            const PolyhedronFacet& polyhedron_facet ) const
    {
        const auto adjacent = get_polyhedron_adjacent( polyhedron_facet );
        if( adjacent >= nb_polyhedra() )
        {
            return std::nullopt;
        }
        auto vertices = polyhedron_facet_vertices( polyhedron_facet );
        std::sort( vertices.begin(), vertices.end() );
        for( local_index_t f = 0; f < nb_polyhedron_facets( adjacent ); f++ )
        {
            auto other = polyhedron_facet_vertices( { adjacent, f } );
            std::sort( other.begin(), other.end() );
            if( other == vertices )
            {
                return PolyhedronFacet{ adjacent, f };
            }
        }
        return std::nullopt;
    }

    template < index_t dimension >
    bool SolidMesh< dimension >::is_polyhedron_facet_on_border(
        const PolyhedronFacet& polyhedron_facet ) const
    {
        return get_polyhedron_adjacent( polyhedron_facet ) == NO_ID;
    }

    template < index_t dimension >
    const Point< dimension >& SolidMesh< dimension >::point(
        index_t vertex_id ) const
    {
        return get_point( vertex_id );
    }

    template < index_t dimension >
    BoundingBox< dimension > SolidMesh< dimension >::bounding_box() const
    {
        BoundingBox< dimension > box;
        for( index_t v = 0; v < this->nb_vertices(); v++ )
        {
            box.add_point( get_point( v ) );
        }
        return box;
    }

    template < index_t dimension >
    std::optional< PolyhedronVertex >
        SolidMesh< dimension >::polyhedron_around_vertex(
            index_t vertex_id ) const
    {
        const auto stored = get_polyhedron_around_vertex( vertex_id );
        if( stored.polyhedron_id == NO_ID )
        {
            return std::nullopt;
        }
        return stored;
    }

    template < index_t dimension >
    bool SolidMesh< dimension >::is_vertex_isolated( index_t vertex_id ) const
    {
        return get_polyhedron_around_vertex( vertex_id ).polyhedron_id == NO_ID;
    }

    template < index_t dimension >
    Point< dimension > SolidMesh< dimension >::edge_barycenter(
        const EdgeVertices& edge_vertices ) const
    {
        return ( get_point( edge_vertices[0] ) + get_point( edge_vertices[1] ) )
               / 2.;
    }

    template < index_t dimension >
    Point< dimension > SolidMesh< dimension >::polyhedron_barycenter(
        index_t polyhedron_id ) const
    {
        Point< dimension > barycenter;
        const auto nb_vertices = nb_polyhedron_vertices( polyhedron_id );
        for( local_index_t v = 0; v < nb_vertices; v++ )
        {
            barycenter += get_point( get_polyhedron_vertex( { polyhedron_id, v } ) );
        }
        return barycenter / static_cast< double >( nb_vertices );
    }

    template < index_t dimension >
    Point< dimension > SolidMesh< dimension >::polyhedron_facet_barycenter(
        const PolyhedronFacet& polyhedron_facet ) const
    {
        Point< dimension > barycenter;
        const auto vertices = polyhedron_facet_vertices( polyhedron_facet );
        for( const auto vertex : vertices )
        {
            barycenter += get_point( vertex );
        }
        return barycenter / static_cast< double >( vertices.size() );
    }

    template < index_t dimension >
    AttributeManager& SolidMesh< dimension >::polyhedron_attribute_manager() const
    {
        return impl_->polyhedron_attribute_manager();
    }

    template < index_t dimension >
    void SolidMesh< dimension >::enable_edges() const
    {
        auto& edges = impl_->edges();
        if( edges )
        {
            return;
        }
        auto table = std::make_unique< SolidEdges< dimension > >();
        SolidEdgesBuilder< dimension > builder{ *table };
        for( index_t p = 0; p < nb_polyhedra(); p++ )
        {
            for( local_index_t f = 0; f < nb_polyhedron_facets( p ); f++ )
            {
                const PolyhedronFacet facet{ p, f };
                const auto nb_facet_vertices =
                    get_nb_polyhedron_facet_vertices( facet );
                for( local_index_t e = 0; e < nb_facet_vertices; e++ )
                {
                    builder.find_or_create_edge(
                        polyhedron_facet_edge_vertices( { facet, e } ) );
                }
            }
        }
        edges = std::move( table );
    }

    template < index_t dimension >
    bool SolidMesh< dimension >::are_edges_enabled() const
    {
        return impl_->edges() != nullptr;
    }

    template < index_t dimension >
    const SolidEdges< dimension >& SolidMesh< dimension >::edges() const
    {
        ORVANE_EXCEPTION( are_edges_enabled(),
            "[SolidMesh::edges] Edges should be enabled before accessing them" );
        return *impl_->edges();
    }

    template < index_t dimension >
    void SolidMesh< dimension >::enable_facets() const
    {
        auto& facets = impl_->facets();
        if( facets )
        {
            return;
        }
        facets = std::make_unique< SolidFacets< dimension > >( *this );
    }

    template < index_t dimension >
    void SolidMesh< dimension >::vertices_deleted(
        const std::vector< bool >& to_delete, const OldToNew& old2new )
    {
        if( auto& edges = impl_->edges() )
        {
            SolidEdgesBuilder< dimension >{ *edges }.update_edge_vertices(
                old2new );
        }
        if( auto& facets = impl_->facets() )
        {
            SolidFacetsBuilder< dimension >{ *facets, *this }
                .update_facet_vertices( old2new );
        }
        VertexSet::vertices_deleted( to_delete, old2new );
    }

    template < index_t dimension >
    std::unique_ptr< SolidEdges< dimension > >&
        SolidMesh< dimension >::edges_storage() const
    {
        return impl_->edges();
    }

    template < index_t dimension >
    std::unique_ptr< SolidFacets< dimension > >&
        SolidMesh< dimension >::facets_storage() const
    {
        return impl_->facets();
    }

    template < index_t dimension >
    bool SolidMesh< dimension >::are_facets_enabled() const
    {
        return impl_->facets() != nullptr;
    }

    template < index_t dimension >
    const SolidFacets< dimension >& SolidMesh< dimension >::facets() const
    {
        ORVANE_EXCEPTION( are_facets_enabled(),
            "[SolidMesh::facets] Facets should be enabled before accessing "
            "them" );
        return *impl_->facets();
    }

    template class SolidMesh< 3 >;
} // namespace orvane
