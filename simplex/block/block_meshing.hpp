#pragma once

#include <openorvane/basic/types.hpp>

#include <simplex/remeshed_component.hpp>

namespace orvane
{
    class BRep;
    class BRepBuilder;
    template < index_t dimension >
    class Block;
    template < index_t dimension >
    class Metric;

    namespace internal
    {
        /// Gives every block of the model a new tetrahedral mesh conformal
        /// to the meshes of its boundary and internal surfaces, lines and
        /// corners, with interior points spaced by the metric.
        ///
        /// Every block first gets an empty mesh; then one pool task per
        /// block samples and tetrahedralises it. Once all tasks have ended,
        /// the block vertices are joined to the model's unique vertices in
        /// block order, and the block meshes are cut along their internal
        /// borders. A task failure is rethrown when its block's turn comes:
        /// the blocks before it are registered, it and the later ones keep
        /// the meshes their tasks wrote, without unique vertices, and the
        /// cut does not run. Progress title "Meshing Blocks".
        void mesh_blocks( BRep& model, BRepBuilder& builder, const Metric< 3 >& metric );

        /// The work of one block task: samples the block's inside, then
        /// tetrahedralises the block with those points into its (empty)
        /// mesh, and returns the unique vertex of each new block vertex.
        [[nodiscard]] RemeshedComponent mesh_block( const BRep& model,
            BRepBuilder& builder,
            const Block< 3 >& block,
            const Metric< 3 >& metric );
    } // namespace internal
} // namespace orvane
