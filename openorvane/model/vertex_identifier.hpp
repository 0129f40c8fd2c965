#pragma once

#include <array>
#include <memory>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/model/component.hpp>

namespace orvane
{
    class VertexIdentifierBuilder;

    /// The unique vertices of a model: each ties together the component
    /// mesh vertices that stand for one point shared by several component
    /// meshes (a corner vertex, the line vertices at that corner, the
    /// surface vertices there...).
    ///
    /// A component mesh vertex has at most one unique vertex; a unique
    /// vertex lists its component mesh vertices in the order they were
    /// linked. The identifier is passive: mesh builders never touch it, and
    /// only VertexIdentifierBuilder writes it.
    ///
    /// Threads: queries never write. Each component has its own link table,
    /// created when the component is registered, and each unique vertex its
    /// own list, created with the unique vertex; so tasks that link disjoint
    /// components to disjoint unique vertices (created beforehand) never
    /// write the same memory.
    class VertexIdentifier
    {
        friend class VertexIdentifierBuilder;

    public:
        VertexIdentifier();
        VertexIdentifier( VertexIdentifier&& other ) noexcept;
        VertexIdentifier& operator=( VertexIdentifier&& other ) noexcept;
        virtual ~VertexIdentifier();

        index_t nb_unique_vertices() const;

        /// The unique vertex of the component mesh vertex, NO_ID when it has
        /// none. Throws std::out_of_range when the component is not
        /// registered.
        index_t unique_vertex( const ComponentMeshVertex& component_vertex ) const;

        /// The component mesh vertices of the unique vertex, in link order.
        const std::vector< ComponentMeshVertex >& component_mesh_vertices(
            index_t unique_vertex_id ) const;

        /// The component mesh vertices of the unique vertex that lie in
        /// components of the given type, in link order.
        std::vector< ComponentMeshVertex > component_mesh_vertices(
            index_t unique_vertex_id, const ComponentType& type ) const;

        /// The vertices of the unique vertex in the mesh of one component.
        std::vector< index_t > mesh_component_vertices(
            index_t unique_vertex_id, const uuid& component_id ) const;

        bool has_component_mesh_vertices(
            index_t unique_vertex_id, const ComponentType& type ) const;

        /// For every component of the type that holds both unique vertices:
        /// each pair (v0, v1) of its mesh vertices, v0 linked to the first
        /// unique vertex and v1 to the second, in link order.
        absl::flat_hash_map< uuid, std::vector< std::array< index_t, 2 > > >
            component_mesh_vertex_pairs( index_t unique_vertex0,
                index_t unique_vertex1,
                const ComponentType& type ) const;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };

    /// Writes a VertexIdentifier.
    class VertexIdentifierBuilder
    {
    public:
        explicit VertexIdentifierBuilder( VertexIdentifier& identifier );
        virtual ~VertexIdentifierBuilder();

        /// Creates the link table of the component. Registering it again
        /// does nothing.
        void register_mesh_component( const ComponentID& component_id );

        /// Drops every link of the component and its table.
        void unregister_mesh_component( const uuid& component_id );

        /// Drops every link of the component and keeps its (empty) table,
        /// for a component whose mesh was replaced.
        void unlink_component_mesh_vertices( const uuid& component_id );

        /// A new unique vertex without component vertex; returns its index.
        index_t create_unique_vertex();

        /// `nb` new consecutive unique vertices; returns the first index.
        index_t create_unique_vertices( index_t nb );

        /// Links the component mesh vertex to the unique vertex, after
        /// unlinking it from its previous unique vertex. Throws
        /// OpenOrvaneException for a unique vertex out of range, and
        /// std::out_of_range for an unregistered component.
        void set_unique_vertex(
            const ComponentMeshVertex& component_vertex, index_t unique_vertex_id );

        /// Removes the link between the component mesh vertex and the unique
        /// vertex; does nothing when they are not linked.
        void unset_unique_vertex(
            const ComponentMeshVertex& component_vertex, index_t unique_vertex_id );

        /// Follows the renumbering of one component's mesh vertices: vertex v
        /// becomes old2new[v]. A vertex mapped to NO_ID, or beyond the
        /// vector, loses its link. When several vertices map to the same new
        /// vertex, the first one (in old vertex order) keeps its link. The
        /// unique vertices' lists keep their order.
        void update_unique_vertices(
            const ComponentID& component_id, const OldToNew& old2new );

        /// Deletes the unique vertices without component vertex, renumbers
        /// the others (keeping their order) and returns the old-to-new
        /// vector.
        OldToNew delete_isolated_vertices();

    private:
        VertexIdentifier& identifier_;
    };
} // namespace orvane
