#pragma once

#include <memory>
#include <string>
#include <utility>

#include <absl/strings/str_cat.h>

#include <openorvane/basic/identifier.hpp>
#include <openorvane/basic/mapping.hpp>
#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>

namespace orvane
{
    /// A component of a model: its type name ("Corner", "Line", "Surface",
    /// "Block") and its uuid.
    class ComponentID
    {
    public:
        ComponentID() = default;

        ComponentID( ComponentType type, const uuid& id )
            : type_( std::move( type ) ), id_( id )
        {
        }

        const ComponentType& type() const
        {
            return type_;
        }

        const uuid& id() const
        {
            return id_;
        }

        /// "<type> <uuid>", for messages.
        std::string string() const
        {
            return absl::StrCat( type_.get(), " ", id_.string() );
        }

        friend bool operator==( const ComponentID& lhs, const ComponentID& rhs )
        {
            return lhs.id_ == rhs.id_ && lhs.type_ == rhs.type_;
        }

        friend bool operator!=( const ComponentID& lhs, const ComponentID& rhs )
        {
            return !( lhs == rhs );
        }

        /// By type name, then by uuid.
        friend bool operator<( const ComponentID& lhs, const ComponentID& rhs )
        {
            if( lhs.type_ != rhs.type_ )
            {
                return lhs.type_ < rhs.type_;
            }
            return lhs.id_ < rhs.id_;
        }

        template < typename H >
        friend H AbslHashValue( H hash, const ComponentID& value )
        {
            return H::combine( std::move( hash ), value.type_, value.id_ );
        }

    private:
        ComponentType type_;
        uuid id_;
    };

    /// A vertex of the mesh of one component.
    struct ComponentMeshVertex
    {
        ComponentMeshVertex() = default;

        ComponentMeshVertex( ComponentID component, index_t vertex_id )
            : component_id( std::move( component ) ), vertex( vertex_id )
        {
        }

        /// The same vertex as a mesh vertex keyed by the component's uuid.
        MeshVertex mesh_vertex() const
        {
            return { component_id.id(), vertex };
        }

        std::string string() const
        {
            return absl::StrCat( component_id.string(), " vertex ", vertex );
        }

        friend bool operator==(
            const ComponentMeshVertex& lhs, const ComponentMeshVertex& rhs )
        {
            return lhs.vertex == rhs.vertex && lhs.component_id == rhs.component_id;
        }

        friend bool operator!=(
            const ComponentMeshVertex& lhs, const ComponentMeshVertex& rhs )
        {
            return !( lhs == rhs );
        }

        friend bool operator<(
            const ComponentMeshVertex& lhs, const ComponentMeshVertex& rhs )
        {
            if( lhs.component_id != rhs.component_id )
            {
                return lhs.component_id < rhs.component_id;
            }
            return lhs.vertex < rhs.vertex;
        }

        template < typename H >
        friend H AbslHashValue( H hash, const ComponentMeshVertex& value )
        {
            return H::combine( std::move( hash ), value.component_id, value.vertex );
        }

        ComponentID component_id;
        index_t vertex{ NO_ID };
    };

    /// An element (edge, polygon or polyhedron, depending on the component
    /// type) of the mesh of one component.
    struct ComponentMeshElement
    {
        ComponentMeshElement() = default;

        ComponentMeshElement( ComponentID component, index_t element_id )
            : component_id( std::move( component ) ), element( element_id )
        {
        }

        std::string string() const
        {
            return absl::StrCat( component_id.string(), " element ", element );
        }

        friend bool operator==(
            const ComponentMeshElement& lhs, const ComponentMeshElement& rhs )
        {
            return lhs.element == rhs.element && lhs.component_id == rhs.component_id;
        }

        friend bool operator!=(
            const ComponentMeshElement& lhs, const ComponentMeshElement& rhs )
        {
            return !( lhs == rhs );
        }

        friend bool operator<(
            const ComponentMeshElement& lhs, const ComponentMeshElement& rhs )
        {
            if( lhs.component_id != rhs.component_id )
            {
                return lhs.component_id < rhs.component_id;
            }
            return lhs.element < rhs.element;
        }

        template < typename H >
        friend H AbslHashValue( H hash, const ComponentMeshElement& value )
        {
            return H::combine( std::move( hash ), value.component_id, value.element );
        }

        ComponentID component_id;
        index_t element{ NO_ID };
    };

    namespace internal
    {
        /// The common part of the model components: an identity (uuid and
        /// name) and one owned mesh.
        ///
        /// The mesh always exists. It is read through `mesh()`; writing it
        /// takes a modifiable component, which only the model builder hands
        /// out, and a mesh builder.
        template < typename Mesh >
        class MeshComponent : public Identifier
        {
        public:
            using MeshType = Mesh;

            ~MeshComponent() override = default;

            const Mesh& mesh() const
            {
                return *mesh_;
            }

            /// The same as mesh().
            const Mesh& get_mesh() const
            {
                return *mesh_;
            }

            /// The mesh, for editing through its builder.
            Mesh& get_modifiable_mesh()
            {
                return *mesh_;
            }

        protected:
            explicit MeshComponent( std::unique_ptr< Mesh > mesh )
                : mesh_( std::move( mesh ) )
            {
            }

            /// Replaces the mesh and returns the former one.
            std::unique_ptr< Mesh > exchange_mesh( std::unique_ptr< Mesh > mesh )
            {
                return std::exchange( mesh_, std::move( mesh ) );
            }

        private:
            std::unique_ptr< Mesh > mesh_;
        };
    } // namespace internal
} // namespace orvane

namespace std
{
    template <>
    struct hash< orvane::ComponentID >
    {
        std::size_t operator()( const orvane::ComponentID& value ) const noexcept
        {
            return std::hash< orvane::uuid >{}( value.id() )
                   ^ std::hash< std::string >{}( value.type().get() );
        }
    };
} // namespace std
