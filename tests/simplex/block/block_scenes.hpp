#pragma once

#include <memory>
#include <vector>

#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep.hpp>

namespace orvane::test
{
    /// The model built from the surfaces, with its blocks.
    BRep build_model( const std::vector< std::unique_ptr< TriangulatedSurface< 3 > > >& surfaces );

    /// The cube [0, 1]^3 as six faces of n x n squares: one block.
    BRep cube_model( index_t n );

    /// The cube [0, 1]^3 cut by the horizon z = 0.5: two blocks sharing it.
    BRep horizon_in_a_cube( index_t n );

    /// The cube [0, 1]^3 holding the square [1/4, 3/4]^2 at z = 1/2, whose
    /// border bounds nothing else: one block with an internal surface.
    BRep free_square_in_a_cube( index_t n );

    /// The block's tetrahedral mesh.
    const TetrahedralSolid< 3 >& block_solid( const BRep& model, const Block< 3 >& block );

    /// Checks one meshed block: every tetrahedron has a positive volume
    /// sign and the solid is valid; every border facet of the block is a
    /// triangle of a boundary surface and every boundary surface triangle
    /// is a border facet (by unique vertices); every block vertex has a
    /// unique vertex; no vertex lies outside the box of the boundary.
    void expect_valid_block_mesh( const BRep& model, const Block< 3 >& block );
} // namespace orvane::test
