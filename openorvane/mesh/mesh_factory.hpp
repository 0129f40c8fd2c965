#pragma once

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/factory.hpp>

namespace orvane
{
    class VertexSet;
    class VertexSetBuilder;

    struct MeshImplTag
    {
    };
    struct MeshTypeTag
    {
    };

    /// The name of a mesh implementation, for example
    /// "OpenOrvaneTriangulatedSurface3D": the key of the mesh, mesh-builder
    /// and mesh-modifier factories.
    using MeshImpl = NamedType< std::string, MeshImplTag >;

    /// The name of a mesh type, for example "TriangulatedSurface3D". Several
    /// implementations may share one type.
    using MeshType = NamedType< std::string, MeshTypeTag >;

    /// Creates empty meshes by implementation name and records which type
    /// each implementation belongs to and which implementation is the
    /// default of each type.
    ///
    /// Everything is registered while the mesh modules initialise; lookups
    /// afterwards only read.
    class MeshFactory
    {
    public:
        using Creator = std::unique_ptr< VertexSet > ( * )();

        /// Registers the creator of `key`. A key registered twice keeps its
        /// first creator and draws the warning "Factory: Trying to register
        /// twice the same key".
        static void register_creator( const MeshImpl& key, Creator creator );

        template < typename Mesh >
        static void register_creator( const MeshImpl& key )
        {
            register_creator( key, &create_default< Mesh > );
        }

        /// Records that `impl` implements `type`. The first record of an
        /// implementation stays.
        static void register_type( const MeshType& type, const MeshImpl& impl );

        /// Makes `impl` the implementation that `type`'s `create()` uses. The
        /// first default of a type stays, so later modules cannot replace the
        /// core implementation.
        static void register_default( const MeshType& type, const MeshImpl& impl );

        /// A new empty mesh. Throws OpenOrvaneException "[Factory::create]
        /// Factory does not contain the requested key" for an unknown key.
        static std::unique_ptr< VertexSet > create( const MeshImpl& key );

        static bool has_creator( const MeshImpl& key );

        /// The default implementation of `type`. Throws OpenOrvaneException
        /// when the type has none.
        static MeshImpl default_impl( const MeshType& type );

        /// The type that `impl` implements. Throws OpenOrvaneException when
        /// the implementation was never registered with a type.
        static MeshType type( const MeshImpl& impl );

        /// Every implementation registered for `type`, sorted by name.
        static std::vector< MeshImpl > implementations( const MeshType& type );

    private:
        template < typename Mesh >
        static std::unique_ptr< VertexSet > create_default()
        {
            return std::unique_ptr< VertexSet >{ new Mesh };
        }
    };

    /// Creates the builder of a mesh from the mesh's implementation name.
    using MeshBuilderFactory = Factory< MeshImpl, VertexSetBuilder, VertexSet& >;

    namespace detail
    {
        /// A new empty mesh of implementation `key`, viewed as Mesh. Throws
        /// OpenOrvaneException when the key is unknown or when the mesh made
        /// under it is not a Mesh.
        template < typename Mesh >
        std::unique_ptr< Mesh > create_mesh( const MeshImpl& key )
        {
            auto mesh = MeshFactory::create( key );
            auto* typed = dynamic_cast< Mesh* >( mesh.get() );
            if( typed == nullptr )
            {
                throw OpenOrvaneException{ "Cannot create mesh with key: ",
                    key.get() };
            }
            mesh.release();
            return std::unique_ptr< Mesh >{ typed };
        }

        /// The builder of `mesh`, looked up under the mesh's implementation
        /// name and viewed as Builder.
        ///
        /// Throws OpenOrvaneException "[Factory::create] Factory does not
        /// contain the requested key" when no builder is registered under the
        /// name, and "Cannot create mesh builder with key: " followed by the
        /// name when the builder made is not a Builder (that builder is
        /// destroyed). Callers that start from a VertexSet cast it to the
        /// wanted mesh class first, which throws std::bad_cast on a mismatch.
        template < typename Builder, typename Mesh >
        std::unique_ptr< Builder > create_mesh_builder( Mesh& mesh )
        {
            const auto key = mesh.impl_name();
            auto builder =
                MeshBuilderFactory::create( key, static_cast< VertexSet& >( mesh ) );
            auto* typed = dynamic_cast< Builder* >( builder.get() );
            if( typed == nullptr )
            {
                throw OpenOrvaneException{
                    "Cannot create mesh builder with key: ", key.get()
                };
            }
            builder.release();
            return std::unique_ptr< Builder >{ typed };
        }
    } // namespace detail
} // namespace orvane
