#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    template < index_t dimension >
    class EdgedCurve;
    template < index_t dimension >
    class SurfaceMesh;

    // Legacy VTK writers (ASCII POLYDATA), for looking at meshes in a viewer.
    // 2D points get z = 0. The title line is the mesh's name, or "OpenOrvane
    // mesh" when it has none. Elements naming an unset vertex (NO_ID) are
    // left out. Each returns the list of written files and throws
    // OpenOrvaneException when the file cannot be written.

    /// Writes the surface's points and polygons.
    template < index_t dimension >
    std::vector< std::string > save_vtk(
        const SurfaceMesh< dimension >& surface, std::string_view filename );

    /// Writes the curve's points and edges as lines.
    template < index_t dimension >
    std::vector< std::string > save_vtk(
        const EdgedCurve< dimension >& curve, std::string_view filename );
} // namespace orvane
