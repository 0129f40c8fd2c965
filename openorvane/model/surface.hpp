#pragma once

#include <memory>
#include <string_view>

#include <openorvane/basic/types.hpp>
#include <openorvane/mesh/surface_mesh_builder.hpp>
#include <openorvane/model/component.hpp>
#include <openorvane/model/component_registry.hpp>

namespace orvane
{
    template < index_t dimension >
    class Surfaces;
    template < index_t dimension >
    class SurfacesBuilder;

    /// A surface component of a model; its mesh is a surface mesh.
    template < index_t dimension >
    class Surface : public internal::MeshComponent< SurfaceMesh< dimension > >
    {
        friend class Surfaces< dimension >;
        friend class SurfacesBuilder< dimension >;

    public:
        ~Surface() override;

        /// "Surface".
        static ComponentType component_type_static();

        /// {"Surface", id()}.
        ComponentID component_id() const;

    private:
        explicit Surface( std::unique_ptr< SurfaceMesh< dimension > > mesh );
    };

    /// The surfaces of a model, in insertion order.
    template < index_t dimension >
    class Surfaces
    {
        friend class SurfacesBuilder< dimension >;

    public:
        Surfaces();
        Surfaces( Surfaces&& other ) noexcept;
        Surfaces& operator=( Surfaces&& other ) noexcept;
        virtual ~Surfaces();

        index_t nb_surfaces() const;

        bool has_surface( const uuid& id ) const;

        /// Throws std::out_of_range when the model has no such surface.
        const Surface< dimension >& surface( const uuid& id ) const;

        ComponentRange< Surface< dimension > > surfaces() const;

    protected:
        Surface< dimension >& modifiable_surface( const uuid& id );

    private:
        internal::ComponentRegistry< Surface< dimension > > registry_;
    };

    /// Edits the surfaces of a model: creation, removal, names, meshes. The
    /// model builder creates and removes surfaces through it so that the
    /// relationships and the unique vertices follow.
    template < index_t dimension >
    class SurfacesBuilder
    {
    public:
        virtual ~SurfacesBuilder();

        /// The builder of the surface's mesh, made by the mesh-builder factory
        /// under the mesh's implementation name. Creating it writes nothing
        /// shared, so builders of different components may be used from
        /// different threads.
        std::unique_ptr< SurfaceMeshBuilder< dimension > > surface_mesh_builder(
            const uuid& id );

        void set_surface_name( const uuid& id, std::string_view name );

        /// The surface with write access to its mesh.
        Surface< dimension >& modifiable_surface( const uuid& id );

    protected:
        explicit SurfacesBuilder( Surfaces< dimension >& surfaces );

        /// A new surface with the given uuid and an empty mesh of the given
        /// implementation. Throws when the uuid is already used.
        const Surface< dimension >& create_surface(
            const uuid& id, const MeshImpl& impl );

        void delete_surface( const uuid& id );

        /// Replaces the surface's mesh; the former one is destroyed.
        void set_surface_mesh(
            const uuid& id, std::unique_ptr< SurfaceMesh< dimension > > mesh );

    private:
        Surfaces< dimension >& surfaces_;
    };
} // namespace orvane
