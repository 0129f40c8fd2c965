#pragma once

#include <memory>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>

namespace orvane
{
    class BRep;
    class BRepBuilder;
    template < index_t dimension >
    class SolidMeshBuilder;

    namespace internal
    {
        class BackgroundSolidBuilder;

        /// Writes vertex provenance into the background solids that mesh
        /// the blocks of a model. It keeps one mesh builder per block,
        /// made on first use; block meshes of another implementation carry
        /// no provenance and are skipped. The model and its builder must
        /// outlive the recorder, and the block meshes must not be replaced
        /// while it lives.
        class MacroVertexRecorder
        {
        public:
            MacroVertexRecorder( const BRep& model, BRepBuilder& builder );
            MacroVertexRecorder( const MacroVertexRecorder& ) = delete;
            MacroVertexRecorder& operator=( const MacroVertexRecorder& ) = delete;
            ~MacroVertexRecorder();

            [[nodiscard]] const BRep& model() const
            {
                return model_;
            }

            /// The background-solid builder of the block's mesh, or null
            /// when that mesh is not a background solid.
            [[nodiscard]] BackgroundSolidBuilder* block_builder( const uuid& block );

        private:
            struct BlockBuilder
            {
                std::unique_ptr< SolidMeshBuilder< 3 > > builder;
                BackgroundSolidBuilder* background{ nullptr };
            };

            const BRep& model_;
            BRepBuilder& builder_;
            absl::flat_hash_map< uuid, BlockBuilder > builders_;
        };

        /// Whether one of the block mesh vertices of the unique vertex lists
        /// an input vertex of the mesh `component` in its block background
        /// solid's provenance ("init_vertex_id").
        [[nodiscard]] bool is_macro_vertex_of(
            const BRep& model, index_t unique_vertex, const uuid& component );

        /// Adds (component, element) to the "init_vertex_id" provenance of
        /// every block mesh vertex of the unique vertex whose block is
        /// meshed by a background solid.
        void add_macro_component( MacroVertexRecorder& recorder,
            const uuid& component,
            index_t element,
            index_t unique_vertex );
    } // namespace internal
} // namespace orvane
