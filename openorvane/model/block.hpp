#pragma once

#include <memory>
#include <string_view>

#include <openorvane/basic/types.hpp>
#include <openorvane/mesh/solid_mesh_builder.hpp>
#include <openorvane/model/component.hpp>
#include <openorvane/model/component_registry.hpp>

namespace orvane
{
    template < index_t dimension >
    class Blocks;
    template < index_t dimension >
    class BlocksBuilder;

    /// A volume component of a model; its mesh is a solid mesh.
    template < index_t dimension >
    class Block : public internal::MeshComponent< SolidMesh< dimension > >
    {
        friend class Blocks< dimension >;
        friend class BlocksBuilder< dimension >;

    public:
        ~Block() override;

        /// "Block".
        static ComponentType component_type_static();

        /// {"Block", id()}.
        ComponentID component_id() const;

    private:
        explicit Block( std::unique_ptr< SolidMesh< dimension > > mesh );
    };

    /// The blocks of a model, in insertion order.
    template < index_t dimension >
    class Blocks
    {
        friend class BlocksBuilder< dimension >;

    public:
        Blocks();
        Blocks( Blocks&& other ) noexcept;
        Blocks& operator=( Blocks&& other ) noexcept;
        virtual ~Blocks();

        index_t nb_blocks() const;

        bool has_block( const uuid& id ) const;

        /// Throws std::out_of_range when the model has no such block.
        const Block< dimension >& block( const uuid& id ) const;

        ComponentRange< Block< dimension > > blocks() const;

    protected:
        Block< dimension >& modifiable_block( const uuid& id );

    private:
        internal::ComponentRegistry< Block< dimension > > registry_;
    };

    /// Edits the blocks of a model: creation, removal, names, meshes. The
    /// model builder creates and removes blocks through it so that the
    /// relationships and the unique vertices follow.
    template < index_t dimension >
    class BlocksBuilder
    {
    public:
        virtual ~BlocksBuilder();

        /// The builder of the block's mesh, made by the mesh-builder factory
        /// under the mesh's implementation name. Creating it writes nothing
        /// shared, so builders of different components may be used from
        /// different threads.
        std::unique_ptr< SolidMeshBuilder< dimension > > block_mesh_builder(
            const uuid& id );

        void set_block_name( const uuid& id, std::string_view name );

        /// The block with write access to its mesh.
        Block< dimension >& modifiable_block( const uuid& id );

    protected:
        explicit BlocksBuilder( Blocks< dimension >& blocks );

        /// A new block with the given uuid and an empty mesh of the given
        /// implementation. Throws when the uuid is already used.
        const Block< dimension >& create_block(
            const uuid& id, const MeshImpl& impl );

        void delete_block( const uuid& id );

        /// Replaces the block's mesh; the former one is destroyed.
        void set_block_mesh(
            const uuid& id, std::unique_ptr< SolidMesh< dimension > > mesh );

    private:
        Blocks< dimension >& blocks_;
    };
} // namespace orvane
