#pragma once

#include <memory>

#include <openorvane/mesh/light_regular_grid.hpp>

namespace orvane
{
    template < index_t dimension >
    class TetrahedralSolid;

    /// A tetrahedral solid covering the grid's box: one vertex per cell
    /// corner (at the grid's cell boundaries, x fastest, then y, then z) and
    /// six positive tetrahedra per cell, cell after cell in flat index
    /// order. Each cell is cut along its diagonal from its lowest to its
    /// highest corner; the cut is the same in every cell, so neighbouring
    /// cells share their facets and the solid is conformal. Adjacencies are
    /// set. Throws OpenOrvaneException when the vertex or tetrahedron count
    /// would not fit an index_t.
    std::unique_ptr< TetrahedralSolid< 3 > > convert_grid_into_tetrahedral_solid(
        const LightRegularGrid< 3 >& grid );
} // namespace orvane
