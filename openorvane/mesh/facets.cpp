#include <openorvane/mesh/facets.hpp>

#include <algorithm>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/algorithm.hpp>
#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/solid_mesh.hpp>

namespace
{
    using namespace orvane;

    PolyhedronFacetVertices sorted_key( PolyhedronFacetVertices vertices )
    {
        std::sort( vertices.begin(), vertices.end() );
        return vertices;
    }

    bool has_deleted_vertex( const PolyhedronFacetVertices& vertices )
    {
        return std::find( vertices.begin(), vertices.end(), NO_ID )
               != vertices.end();
    }
} // namespace

namespace orvane
{
    template < index_t dimension >
    class SolidFacets< dimension >::Impl
    {
    public:
        index_t nb_facets() const
        {
            return static_cast< index_t >( facet_vertices_.size() );
        }

        const PolyhedronFacetVertices& facet_vertices( index_t facet_id ) const
        {
            return facet_vertices_[facet_id];
        }

        std::optional< index_t > facet_from_vertices(
            const PolyhedronFacetVertices& vertices ) const
        {
            const auto found = ids_.find( sorted_key( vertices ) );
            if( found == ids_.end() )
            {
                return std::nullopt;
            }
            return found->second;
        }

        index_t find_or_create( PolyhedronFacetVertices vertices )
        {
            const auto [found, inserted] =
                ids_.try_emplace( sorted_key( vertices ), nb_facets() );
            if( inserted )
            {
                facet_vertices_.push_back( std::move( vertices ) );
                attributes_.resize( nb_facets() );
            }
            return found->second;
        }

        void update_vertices( const OldToNew& old2new )
        {
            for( auto& vertices : facet_vertices_ )
            {
                for( auto& vertex : vertices )
                {
                    if( vertex != NO_ID )
                    {
                        vertex = old2new[vertex];
                    }
                }
            }
            rebuild_ids();
        }

        OldToNew delete_facets( const std::vector< bool >& to_delete )
        {
            ORVANE_EXCEPTION( to_delete.size() == nb_facets(),
                "[SolidFacets::delete_facets] The number of flags (",
                to_delete.size(), ") differs from the number of facets (",
                nb_facets(), ")" );
            auto old2new = detail::mapping_after_deletion( to_delete );
            delete_vector_elements( to_delete, facet_vertices_ );
            attributes_.delete_elements( to_delete );
            rebuild_ids();
            return old2new;
        }

        void copy( const Impl& other )
        {
            facet_vertices_ = other.facet_vertices_;
            ids_ = other.ids_;
            attributes_.copy( other.attributes_ );
        }

        AttributeManager& attributes()
        {
            return attributes_;
        }

    private:
        /// Registers every facet whose vertices all still exist under its
        /// sorted vertices; the first facet wins a duplicated key.
        void rebuild_ids()
        {
            ids_.clear();
            for( index_t f = 0; f < nb_facets(); f++ )
            {
                if( !has_deleted_vertex( facet_vertices_[f] ) )
                {
                    ids_.emplace( sorted_key( facet_vertices_[f] ), f );
                }
            }
        }

    private:
        std::vector< PolyhedronFacetVertices > facet_vertices_;
        // Sorted vertices to facet index; only used for lookups, never
        // iterated where an order matters.
        absl::flat_hash_map< PolyhedronFacetVertices, index_t > ids_;
        AttributeManager attributes_;
    };

    template < index_t dimension >
    SolidFacets< dimension >::SolidFacets() : impl_( std::make_unique< Impl >() )
    {
    }

    template < index_t dimension >
    SolidFacets< dimension >::SolidFacets( const SolidMesh< dimension >& solid )
        : SolidFacets()
    {
        for( index_t p = 0; p < solid.nb_polyhedra(); p++ )
        {
            for( local_index_t f = 0; f < solid.nb_polyhedron_facets( p ); f++ )
            {
                impl_->find_or_create( solid.polyhedron_facet_vertices( { p, f } ) );
            }
        }
    }

    template < index_t dimension >
    SolidFacets< dimension >::SolidFacets( SolidFacets&& other ) noexcept
        : impl_( std::exchange( other.impl_, std::make_unique< Impl >() ) )
    {
    }

    template < index_t dimension >
    SolidFacets< dimension >& SolidFacets< dimension >::operator=(
        SolidFacets&& other ) noexcept
    {
        impl_ = std::exchange( other.impl_, std::make_unique< Impl >() );
        return *this;
    }

    template < index_t dimension >
    SolidFacets< dimension >::~SolidFacets() = default;

    template < index_t dimension >
    index_t SolidFacets< dimension >::nb_facets() const
    {
        return impl_->nb_facets();
    }

    template < index_t dimension >
    const PolyhedronFacetVertices& SolidFacets< dimension >::facet_vertices(
        index_t facet_id ) const
    {
        return impl_->facet_vertices( facet_id );
    }

    template < index_t dimension >
    std::optional< index_t > SolidFacets< dimension >::facet_from_vertices(
        const PolyhedronFacetVertices& vertices ) const
    {
        return impl_->facet_from_vertices( vertices );
    }

    template < index_t dimension >
    bool SolidFacets< dimension >::is_facet_isolated(
        index_t facet_id, const SolidMesh< dimension >& solid ) const
    {
        const auto& vertices = facet_vertices( facet_id );
        if( has_deleted_vertex( vertices ) )
        {
            return true;
        }
        return !solid.polyhedron_facet_from_vertices( vertices ).has_value();
    }

    template < index_t dimension >
    AttributeManager& SolidFacets< dimension >::facet_attribute_manager() const
    {
        return impl_->attributes();
    }

    template < index_t dimension >
    SolidFacetsBuilder< dimension >::SolidFacetsBuilder(
        SolidFacets< dimension >& facets, const SolidMesh< dimension >& solid )
        : facets_( facets ), solid_( solid )
    {
    }

    template < index_t dimension >
    index_t SolidFacetsBuilder< dimension >::find_or_create_facet(
        PolyhedronFacetVertices vertices )
    {
        return facets_.impl_->find_or_create( std::move( vertices ) );
    }

    template < index_t dimension >
    void SolidFacetsBuilder< dimension >::update_facet_vertices(
        const std::vector< index_t >& old2new )
    {
        facets_.impl_->update_vertices( old2new );
    }

    template < index_t dimension >
    std::vector< index_t > SolidFacetsBuilder< dimension >::delete_facets(
        const std::vector< bool >& to_delete )
    {
        return facets_.impl_->delete_facets( to_delete );
    }

    template < index_t dimension >
    std::vector< index_t > SolidFacetsBuilder< dimension >::delete_isolated_facets()
    {
        // One pass over every polyhedron facet, so the cost does not depend
        // on how the polyhedra are connected.
        std::vector< bool > to_delete( facets_.nb_facets(), true );
        for( index_t p = 0; p < solid_.nb_polyhedra(); p++ )
        {
            for( local_index_t f = 0; f < solid_.nb_polyhedron_facets( p ); f++ )
            {
                if( const auto facet = facets_.facet_from_vertices(
                        solid_.polyhedron_facet_vertices( { p, f } ) ) )
                {
                    to_delete[facet.value()] = false;
                }
            }
        }
        return delete_facets( to_delete );
    }

    template < index_t dimension >
    void SolidFacetsBuilder< dimension >::copy( const SolidFacets< dimension >& other )
    {
        facets_.impl_->copy( *other.impl_ );
    }

    template class SolidFacets< 3 >;
    template class SolidFacetsBuilder< 3 >;
} // namespace orvane
