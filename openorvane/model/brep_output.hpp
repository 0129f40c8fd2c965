#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvane
{
    class BRep;

    /// Writes the model for viewing: one legacy VTK file per component kind
    /// that has components, "<prefix>_corners.vtk", "<prefix>_lines.vtk",
    /// "<prefix>_surfaces.vtk" and "<prefix>_blocks.vtk", each holding the
    /// meshes of all components of that kind side by side. Every cell
    /// carries the integer cell data "component_index", the position of its
    /// component in the model order of its kind; "<prefix>_components.txt"
    /// lists, one line per component, its kind, that index, its uuid and its
    /// name. Lines, surfaces and blocks are written through the mesh
    /// library's VTK writers. Elements naming an unset vertex are left out.
    ///
    /// Returns the files written. Throws OpenOrvaneException when a file
    /// cannot be written.
    std::vector< std::string > save_brep_vtk(
        const BRep& brep, std::string_view prefix );
} // namespace orvane
