#pragma once

#include <memory>
#include <utility>
#include <vector>

#include <openorvane/model/component.hpp>

namespace orvane
{
    class BRep;
    class BRepBuilder;

    namespace detail
    {
        /// (old, new) component vertices made by a border split.
        using SplitVertices =
            std::vector< std::pair< ComponentMeshVertex, ComponentMeshVertex > >;

        /// Cuts the surface meshes of a model along their internal borders.
        ///
        /// A surface vertex whose polygons form k > 1 fans (groups joined
        /// through adjacencies across edges at the vertex, as an internal
        /// line or a cut leaves them) gets k - 1 copies, one per extra fan:
        /// the fan reached from the vertex's stored polygon keeps the vertex
        /// and each other fan, taken by its lowest polygon, moves to a new
        /// vertex at the same point. A copy receives every vertex attribute
        /// value of the original and the same unique vertex.
        template < typename Model >
        class SplitAlongSurfaceMeshBorders
        {
        public:
            explicit SplitAlongSurfaceMeshBorders( Model& model );
            SplitAlongSurfaceMeshBorders( Model& model, BRepBuilder& builder );
            ~SplitAlongSurfaceMeshBorders();

            /// Splits every surface, in model order; returns the pairs
            /// (original vertex, copy) in the order the copies were made.
            SplitVertices split_all_surfaces();

        private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };

        /// The same for the block meshes: a block vertex whose tetrahedra
        /// form several groups joined across facets at the vertex gets one
        /// copy per extra group.
        class SplitAlongBlockMeshBorders
        {
        public:
            explicit SplitAlongBlockMeshBorders( BRep& model );
            SplitAlongBlockMeshBorders( BRep& model, BRepBuilder& builder );
            ~SplitAlongBlockMeshBorders();

            /// Splits every block, in model order; returns the pairs
            /// (original vertex, copy) in the order the copies were made.
            SplitVertices split_all_blocks();

        private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace orvane
