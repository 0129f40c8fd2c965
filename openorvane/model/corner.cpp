#include <openorvane/model/corner.hpp>

#include <utility>

namespace orvane
{
    template < index_t dimension >
    Corner< dimension >::Corner( std::unique_ptr< PointSet< dimension > > mesh )
        : internal::MeshComponent< PointSet< dimension > >( std::move( mesh ) )
    {
    }

    template < index_t dimension >
    Corner< dimension >::~Corner() = default;

    template < index_t dimension >
    ComponentType Corner< dimension >::component_type_static()
    {
        return ComponentType{ "Corner" };
    }

    template < index_t dimension >
    ComponentID Corner< dimension >::component_id() const
    {
        return { component_type_static(), this->id() };
    }

    template < index_t dimension >
    Corners< dimension >::Corners() = default;

    template < index_t dimension >
    Corners< dimension >::Corners( Corners&& ) noexcept = default;

    template < index_t dimension >
    Corners< dimension >& Corners< dimension >::operator=( Corners&& ) noexcept = default;

    template < index_t dimension >
    Corners< dimension >::~Corners() = default;

    template < index_t dimension >
    index_t Corners< dimension >::nb_corners() const
    {
        return registry_.size();
    }

    template < index_t dimension >
    bool Corners< dimension >::has_corner( const uuid& id ) const
    {
        return registry_.contains( id );
    }

    template < index_t dimension >
    const Corner< dimension >& Corners< dimension >::corner( const uuid& id ) const
    {
        return registry_.at( id );
    }

    template < index_t dimension >
    ComponentRange< Corner< dimension > > Corners< dimension >::corners() const
    {
        return registry_.range();
    }

    template < index_t dimension >
    Corner< dimension >& Corners< dimension >::modifiable_corner( const uuid& id )
    {
        return registry_.at( id );
    }

    template < index_t dimension >
    CornersBuilder< dimension >::CornersBuilder( Corners< dimension >& corners )
        : corners_( corners )
    {
    }

    template < index_t dimension >
    CornersBuilder< dimension >::~CornersBuilder() = default;

    template < index_t dimension >
    std::unique_ptr< PointSetBuilder< dimension > >
        CornersBuilder< dimension >::corner_mesh_builder( const uuid& id )
    {
        return PointSetBuilder< dimension >::create(
            corners_.modifiable_corner( id ).get_modifiable_mesh() );
    }

    template < index_t dimension >
    void CornersBuilder< dimension >::set_corner_name(
        const uuid& id, std::string_view name )
    {
        IdentifierBuilder{ corners_.modifiable_corner( id ) }.set_name( name );
    }

    template < index_t dimension >
    Corner< dimension >& CornersBuilder< dimension >::modifiable_corner( const uuid& id )
    {
        return corners_.modifiable_corner( id );
    }

    template < index_t dimension >
    const Corner< dimension >& CornersBuilder< dimension >::create_corner(
        const uuid& id, const MeshImpl& impl )
    {
        std::unique_ptr< Corner< dimension > > corner{ new Corner< dimension >{
            PointSet< dimension >::create( impl ) } };
        IdentifierBuilder{ *corner }.set_id( id );
        return corners_.registry_.add( std::move( corner ) );
    }

    template < index_t dimension >
    void CornersBuilder< dimension >::delete_corner( const uuid& id )
    {
        corners_.registry_.remove( id );
    }

    template < index_t dimension >
    void CornersBuilder< dimension >::set_corner_mesh(
        const uuid& id, std::unique_ptr< PointSet< dimension > > mesh )
    {
        if( !mesh )
        {
            throw OpenOrvaneException{ "[CornersBuilder::set_corner_mesh] "
                                       "The new mesh is null" };
        }
        corners_.modifiable_corner( id ).exchange_mesh( std::move( mesh ) );
    }

    template class Corner< 2 >;
    template class Corner< 3 >;
    template class Corners< 2 >;
    template class Corners< 3 >;
    template class CornersBuilder< 2 >;
    template class CornersBuilder< 3 >;
} // namespace orvane
