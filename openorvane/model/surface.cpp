#include <openorvane/model/surface.hpp>

#include <utility>

namespace orvane
{
    template < index_t dimension >
    Surface< dimension >::Surface( std::unique_ptr< SurfaceMesh< dimension > > mesh )
        : internal::MeshComponent< SurfaceMesh< dimension > >( std::move( mesh ) )
    {
    }

    template < index_t dimension >
    Surface< dimension >::~Surface() = default;

    template < index_t dimension >
    ComponentType Surface< dimension >::component_type_static()
    {
        return ComponentType{ "Surface" };
    }

    template < index_t dimension >
    ComponentID Surface< dimension >::component_id() const
    {
        return { component_type_static(), this->id() };
    }

    template < index_t dimension >
    Surfaces< dimension >::Surfaces() = default;

    template < index_t dimension >
    Surfaces< dimension >::Surfaces( Surfaces&& ) noexcept = default;

    template < index_t dimension >
    Surfaces< dimension >& Surfaces< dimension >::operator=( Surfaces&& ) noexcept = default;

    template < index_t dimension >
    Surfaces< dimension >::~Surfaces() = default;

    template < index_t dimension >
    index_t Surfaces< dimension >::nb_surfaces() const
    {
        return registry_.size();
    }

    template < index_t dimension >
    bool Surfaces< dimension >::has_surface( const uuid& id ) const
    {
        return registry_.contains( id );
    }

    template < index_t dimension >
    const Surface< dimension >& Surfaces< dimension >::surface( const uuid& id ) const
    {
        return registry_.at( id );
    }

    template < index_t dimension >
    ComponentRange< Surface< dimension > > Surfaces< dimension >::surfaces() const
    {
        return registry_.range();
    }

    template < index_t dimension >
    Surface< dimension >& Surfaces< dimension >::modifiable_surface( const uuid& id )
    {
        return registry_.at( id );
    }

    template < index_t dimension >
    SurfacesBuilder< dimension >::SurfacesBuilder( Surfaces< dimension >& surfaces )
        : surfaces_( surfaces )
    {
    }

    template < index_t dimension >
    SurfacesBuilder< dimension >::~SurfacesBuilder() = default;

    template < index_t dimension >
    std::unique_ptr< SurfaceMeshBuilder< dimension > >
        SurfacesBuilder< dimension >::surface_mesh_builder( const uuid& id )
    {
        return SurfaceMeshBuilder< dimension >::create(
            surfaces_.modifiable_surface( id ).get_modifiable_mesh() );
    }

    template < index_t dimension >
    void SurfacesBuilder< dimension >::set_surface_name(
        const uuid& id, std::string_view name )
    {
        IdentifierBuilder{ surfaces_.modifiable_surface( id ) }.set_name( name );
    }

    template < index_t dimension >
    Surface< dimension >& SurfacesBuilder< dimension >::modifiable_surface( const uuid& id )
    {
        return surfaces_.modifiable_surface( id );
    }

    template < index_t dimension >
    const Surface< dimension >& SurfacesBuilder< dimension >::create_surface(
        const uuid& id, const MeshImpl& impl )
    {
        std::unique_ptr< Surface< dimension > > surface{ new Surface< dimension >{
            SurfaceMesh< dimension >::create( impl ) } };
        IdentifierBuilder{ *surface }.set_id( id );
        return surfaces_.registry_.add( std::move( surface ) );
    }

    template < index_t dimension >
    void SurfacesBuilder< dimension >::delete_surface( const uuid& id )
    {
        surfaces_.registry_.remove( id );
    }

    template < index_t dimension >
    void SurfacesBuilder< dimension >::set_surface_mesh(
        const uuid& id, std::unique_ptr< SurfaceMesh< dimension > > mesh )
    {
        if( !mesh )
        {
            throw OpenOrvaneException{ "[SurfacesBuilder::set_surface_mesh] "
                                       "The new mesh is null" };
        }
        surfaces_.modifiable_surface( id ).exchange_mesh( std::move( mesh ) );
    }

    template class Surface< 2 >;
    template class Surface< 3 >;
    template class Surfaces< 2 >;
    template class Surfaces< 3 >;
    template class SurfacesBuilder< 2 >;
    template class SurfacesBuilder< 3 >;
} // namespace orvane
