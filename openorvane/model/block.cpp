#include <openorvane/model/block.hpp>

#include <utility>

namespace orvane
{
    template < index_t dimension >
    Block< dimension >::Block( std::unique_ptr< SolidMesh< dimension > > mesh )
        : internal::MeshComponent< SolidMesh< dimension > >( std::move( mesh ) )
    {
    }

    template < index_t dimension >
    Block< dimension >::~Block() = default;

    template < index_t dimension >
    ComponentType Block< dimension >::component_type_static()
    {
        return ComponentType{ "Block" };
    }

    template < index_t dimension >
    ComponentID Block< dimension >::component_id() const
    {
        return { component_type_static(), this->id() };
    }

    template < index_t dimension >
    Blocks< dimension >::Blocks() = default;

    template < index_t dimension >
    Blocks< dimension >::Blocks( Blocks&& ) noexcept = default;

    template < index_t dimension >
    Blocks< dimension >& Blocks< dimension >::operator=( Blocks&& ) noexcept = default;

    template < index_t dimension >
    Blocks< dimension >::~Blocks() = default;

    template < index_t dimension >
    index_t Blocks< dimension >::nb_blocks() const
    {
        return registry_.size();
    }

    template < index_t dimension >
    bool Blocks< dimension >::has_block( const uuid& id ) const
    {
        return registry_.contains( id );
    }

    template < index_t dimension >
    const Block< dimension >& Blocks< dimension >::block( const uuid& id ) const
    {
        return registry_.at( id );
    }

    template < index_t dimension >
    ComponentRange< Block< dimension > > Blocks< dimension >::blocks() const
    {
        return registry_.range();
    }

    template < index_t dimension >
    Block< dimension >& Blocks< dimension >::modifiable_block( const uuid& id )
    {
        return registry_.at( id );
    }

    template < index_t dimension >
    BlocksBuilder< dimension >::BlocksBuilder( Blocks< dimension >& blocks )
        : blocks_( blocks )
    {
    }

    template < index_t dimension >
    BlocksBuilder< dimension >::~BlocksBuilder() = default;

    template < index_t dimension >
    std::unique_ptr< SolidMeshBuilder< dimension > >
        BlocksBuilder< dimension >::block_mesh_builder( const uuid& id )
    {
        return SolidMeshBuilder< dimension >::create(
            blocks_.modifiable_block( id ).get_modifiable_mesh() );
    }

    template < index_t dimension >
    void BlocksBuilder< dimension >::set_block_name(
        const uuid& id, std::string_view name )
    {
        IdentifierBuilder{ blocks_.modifiable_block( id ) }.set_name( name );
    }

    template < index_t dimension >
    Block< dimension >& BlocksBuilder< dimension >::modifiable_block( const uuid& id )
    {
        return blocks_.modifiable_block( id );
    }

    template < index_t dimension >
    const Block< dimension >& BlocksBuilder< dimension >::create_block(
        const uuid& id, const MeshImpl& impl )
    {
        std::unique_ptr< Block< dimension > > block{ new Block< dimension >{
            SolidMesh< dimension >::create( impl ) } };
        IdentifierBuilder{ *block }.set_id( id );
        return blocks_.registry_.add( std::move( block ) );
    }

    template < index_t dimension >
    void BlocksBuilder< dimension >::delete_block( const uuid& id )
    {
        blocks_.registry_.remove( id );
    }

    template < index_t dimension >
    void BlocksBuilder< dimension >::set_block_mesh(
        const uuid& id, std::unique_ptr< SolidMesh< dimension > > mesh )
    {
        if( !mesh )
        {
            throw OpenOrvaneException{ "[BlocksBuilder::set_block_mesh] "
                                       "The new mesh is null" };
        }
        blocks_.modifiable_block( id ).exchange_mesh( std::move( mesh ) );
    }

    template class Block< 3 >;
    template class Blocks< 3 >;
    template class BlocksBuilder< 3 >;
} // namespace orvane
