#pragma once

#include <concepts>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/factory.hpp>
#include <openorvane/mesh/mesh_factory.hpp>
#include <openorvane/mesh/vertex_set.hpp>

#include <common/modifier/vertices_modifier.hpp>

namespace orvane
{
    /// Mesh-modifier factory: creates the modifier of a mesh from the mesh's
    /// implementation name, the key under which the mesh factory and the
    /// mesh-builder factory know the mesh ("OpenOrvaneTriangulatedSurface3D",
    /// "BackgroundSolid", ...). Creators receive the mesh and its builder
    /// through their base classes and throw std::bad_cast when either is not
    /// of the class they were registered for.
    ///
    /// Keys are registered while the modifier modules initialise; `create`
    /// only reads the store, so it may run on several threads once
    /// initialisation is over.
    class MeshModifierFactory
        : public Factory< MeshImpl,
              VerticesModifier,
              const VertexSet&,
              VertexSetBuilder& >
    {
    public:
        using Key = MeshImpl;
        using Base = Factory< Key,
            VerticesModifier,
            const VertexSet&,
            VertexSetBuilder& >;

        using Base::create;
        using Base::register_creator;

        MeshModifierFactory() = delete;

        /// The key of a core mesh class: its family name, the dimension
        /// digit and "D" ("OpenOrvaneEdgedCurve" and 2 give
        /// "OpenOrvaneEdgedCurve2D").
        [[nodiscard]] static Key key(
            std::string_view family, unsigned int dimension );

        /// Registers, under the key, the creator of a Modifier built from
        /// the mesh viewed as Mesh and the builder viewed as Builder. Views
        /// are reference casts, so a mesh or builder of another class makes
        /// the creator throw std::bad_cast. Modifier is built from
        /// (const Mesh&, Builder&) when it has that constructor, from
        /// (Mesh&, Builder&) otherwise.
        template < typename Modifier, typename Mesh, typename Builder >
            requires std::derived_from< Modifier, VerticesModifier >
        static void register_modifier( Key key )
        {
            Base::register_creator(
                std::move( key ), &create_modifier< Modifier, Mesh, Builder > );
        }

        /// Creates the modifier of the mesh, looked up by the mesh's own
        /// implementation name, and checks that it is a Modifier.
        ///
        /// Throws OpenOrvaneException "[Factory::create] Factory does not
        /// contain the requested key" when no module registered the name,
        /// and "Cannot create mesh modifier with key: " followed by the name
        /// when the registered modifier is of another class.
        template < typename Modifier >
            requires std::derived_from< Modifier, VerticesModifier >
        [[nodiscard]] static std::unique_ptr< Modifier > create(
            const VertexSet& mesh, VertexSetBuilder& builder )
        {
            const auto key = mesh.impl_name();
            auto modifier = Base::create( key, mesh, builder );
            auto* typed = dynamic_cast< Modifier* >( modifier.get() );
            if( typed == nullptr )
            {
                throw OpenOrvaneException{
                    "Cannot create mesh modifier with key: ", key.get()
                };
            }
            modifier.release();
            return std::unique_ptr< Modifier >{ typed };
        }

    private:
        template < typename Modifier, typename Mesh, typename Builder >
        static std::unique_ptr< VerticesModifier > create_modifier(
            const VertexSet& mesh, VertexSetBuilder& builder )
        {
            const auto& typed_mesh = dynamic_cast< const Mesh& >( mesh );
            auto& typed_builder = dynamic_cast< Builder& >( builder );
            if constexpr( std::is_constructible_v< Modifier, const Mesh&,
                              Builder& > )
            {
                return std::make_unique< Modifier >( typed_mesh, typed_builder );
            }
            else
            {
                // The mesh is edited only through its builder; the modifier
                // merely wants write access to the mesh's attributes.
                return std::make_unique< Modifier >(
                    const_cast< Mesh& >( typed_mesh ), typed_builder );
            }
        }
    };
} // namespace orvane
