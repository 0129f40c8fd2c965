#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include <openorvane/basic/identifier.hpp>
#include <openorvane/basic/types.hpp>
#include <openorvane/mesh/mesh_factory.hpp>

namespace orvane
{
    class AttributeManager;

    /// The base of every mesh: a number of vertices with their attributes,
    /// an identity (uuid and name) and the names under which the factories
    /// know the mesh.
    ///
    /// Vertices are numbered 0 to nb_vertices() - 1. They are created and
    /// deleted only through a VertexSetBuilder, which keeps the vertex
    /// attributes and the derived mesh's per-vertex data in step.
    class VertexSet : public Identifier
    {
        friend class VertexSetBuilder;

    public:
        ~VertexSet() override;

        index_t nb_vertices() const;

        AttributeManager& vertex_attribute_manager() const;

        /// The implementation name: the key of this mesh in the factories.
        virtual MeshImpl impl_name() const = 0;

        /// The name of the mesh type the implementation belongs to.
        virtual MeshType type_name() const = 0;

        /// The file extension of the native format, e.g. "oo_tsf3d".
        virtual std::string_view native_extension() const = 0;

    protected:
        VertexSet();
        /// A moved-from mesh is valid and empty (no vertex, no attribute).
        VertexSet( VertexSet&& other ) noexcept;
        VertexSet& operator=( VertexSet&& other ) noexcept;

        /// Called once `nb_vertices()` has grown to `nb_vertices_total`, the
        /// new vertices being appended. Derived meshes grow their own
        /// per-vertex storage here; an override must call its base's.
        virtual void vertices_added( index_t nb_vertices_total );

        /// Called after the flagged vertices were removed from the count and
        /// from the vertex attributes. Derived meshes compact their own
        /// per-vertex storage and renumber their elements' vertices with
        /// `old2new`; an override must call its base's.
        virtual void vertices_deleted(
            const std::vector< bool >& to_delete, const OldToNew& old2new );

        /// Makes this vertex set's count, vertex attributes, uuid and name
        /// copies of `other`'s.
        void copy_vertex_set( const VertexSet& other );

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };

    /// Edits a VertexSet: creation and deletion of vertices, uuid and name.
    ///
    /// Builders of the derived meshes derive from it; `create(mesh)` makes
    /// the builder registered for the mesh's implementation name.
    class VertexSetBuilder : public IdentifierBuilder
    {
    public:
        ~VertexSetBuilder() override;

        /// The builder registered for `mesh.impl_name()` in the
        /// mesh-builder factory.
        static std::unique_ptr< VertexSetBuilder > create( VertexSet& mesh );

        /// Appends one vertex and returns its index.
        index_t create_vertex();

        /// Appends `nb` vertices and returns the index of the first one;
        /// the new vertices are consecutive.
        index_t create_vertices( index_t nb );

        /// Deletes the vertices that no element of the mesh uses and that
        /// are not attached to any element, renumbers everything that refers
        /// to vertices and returns the old-to-new vector. A vertex set
        /// without elements deletes nothing.
        virtual OldToNew delete_isolated_vertices();

    protected:
        explicit VertexSetBuilder( VertexSet& mesh );

        /// Removes the flagged vertices with their attributes, lets the mesh
        /// renumber its own data and returns the old-to-new vector.
        OldToNew delete_vertices( const std::vector< bool >& to_delete );

        /// Makes the vertex set a copy of `other` (count, vertex attributes,
        /// uuid and name). Derived builders copy their own data around it.
        void copy_vertex_set( const VertexSet& other );

        VertexSet& vertex_set()
        {
            return vertex_set_;
        }

    private:
        VertexSet& vertex_set_;
    };
} // namespace orvane
