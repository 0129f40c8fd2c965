#pragma once

#include <memory>
#include <string_view>

#include <openorvane/basic/types.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/model/component.hpp>
#include <openorvane/model/component_registry.hpp>

namespace orvane
{
    template < index_t dimension >
    class Corners;
    template < index_t dimension >
    class CornersBuilder;

    /// A point component of a model; its mesh is a point set, usually of one
    /// vertex.
    template < index_t dimension >
    class Corner : public internal::MeshComponent< PointSet< dimension > >
    {
        friend class Corners< dimension >;
        friend class CornersBuilder< dimension >;

    public:
        ~Corner() override;

        /// "Corner".
        static ComponentType component_type_static();

        /// {"Corner", id()}.
        ComponentID component_id() const;

    private:
        explicit Corner( std::unique_ptr< PointSet< dimension > > mesh );
    };

    /// The corners of a model, in insertion order.
    template < index_t dimension >
    class Corners
    {
        friend class CornersBuilder< dimension >;

    public:
        Corners();
        Corners( Corners&& other ) noexcept;
        Corners& operator=( Corners&& other ) noexcept;
        virtual ~Corners();

        index_t nb_corners() const;

        bool has_corner( const uuid& id ) const;

        /// Throws std::out_of_range when the model has no such corner.
        const Corner< dimension >& corner( const uuid& id ) const;

        ComponentRange< Corner< dimension > > corners() const;

    protected:
        Corner< dimension >& modifiable_corner( const uuid& id );

    private:
        internal::ComponentRegistry< Corner< dimension > > registry_;
    };

    /// Edits the corners of a model: creation, removal, names, meshes. The
    /// model builder creates and removes corners through it so that the
    /// relationships and the unique vertices follow.
    template < index_t dimension >
    class CornersBuilder
    {
    public:
        virtual ~CornersBuilder();

        /// The builder of the corner's mesh, made by the mesh-builder factory
        /// under the mesh's implementation name. Creating it writes nothing
        /// shared, so builders of different components may be used from
        /// different threads.
        std::unique_ptr< PointSetBuilder< dimension > > corner_mesh_builder(
            const uuid& id );

        void set_corner_name( const uuid& id, std::string_view name );

        /// The corner with write access to its mesh.
        Corner< dimension >& modifiable_corner( const uuid& id );

    protected:
        explicit CornersBuilder( Corners< dimension >& corners );

        /// A new corner with the given uuid and an empty mesh of the given
        /// implementation. Throws when the uuid is already used.
        const Corner< dimension >& create_corner(
            const uuid& id, const MeshImpl& impl );

        void delete_corner( const uuid& id );

        /// Replaces the corner's mesh; the former one is destroyed.
        void set_corner_mesh(
            const uuid& id, std::unique_ptr< PointSet< dimension > > mesh );

    private:
        Corners< dimension >& corners_;
    };
} // namespace orvane
