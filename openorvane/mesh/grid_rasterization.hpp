#pragma once

#include <vector>

#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/mesh/light_regular_grid.hpp>

namespace orvane
{
    template < index_t dimension >
    class TriangulatedSurface;

    /// The cells of a grid that an element covers, in increasing flat cell
    /// index, each once. Only cells of the grid are listed: an element
    /// partly or wholly outside the grid gives the cells it meets inside,
    /// possibly none. A cell is listed when its closed box shares a point
    /// with the closed element, decided exactly, so an element that only
    /// touches a cell's face, edge or corner lists that cell too.
    using RasterizedCells = std::vector< LightRegularGrid< 3 >::CellIndices >;

    RasterizedCells rasterize_segment(
        const LightRegularGrid< 3 >& grid, const Segment< 3 >& segment );

    RasterizedCells conservative_rasterize_triangle(
        const LightRegularGrid< 3 >& grid, const Triangle< 3 >& triangle );

    RasterizedCells rasterize_tetrahedron(
        const LightRegularGrid< 3 >& grid, const Tetrahedron& tetrahedron );

    /// The cells that a closed surface covers or encloses: every cell met
    /// by one of its triangles, plus every cell whose centre lies inside
    /// the surface. Inside is decided by the parity of the crossings of a
    /// ray along +x through the cell centres; a ray through an edge or a
    /// vertex of the surface is counted consistently (as if shifted by an
    /// infinitesimal amount), so shared edges are crossed once. The surface
    /// should be closed; an open one gives an unspecified interior.
    RasterizedCells rasterize_closed_surface(
        const LightRegularGrid< 3 >& grid,
        const TriangulatedSurface< 3 >& surface );
} // namespace orvane
