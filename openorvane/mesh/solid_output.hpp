#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    template < index_t dimension >
    class TetrahedralSolid;

    /// Writes the solid to `filename` and returns the list of files written.
    ///
    /// A name ending in ".vtk" gives the legacy VTK ASCII format (points and
    /// tetra cells, for viewers). Any other name gives the native plain-text
    /// format (its extension is `native_extension()`, "oo_tso3d"):
    ///
    ///     OOTSO3D 1
    ///     name <the solid's name>
    ///     id <the solid's uuid>
    ///     vertices <n>
    ///     <x> <y> <z>                      (n lines, 17 significant digits)
    ///     tetrahedra <m>
    ///     <v0> <v1> <v2> <v3> <a0> <a1> <a2> <a3>   (m lines; -1 = no neighbour)
    ///
    /// Throws OpenOrvaneException when the file cannot be written.
    std::vector< std::string > save_tetrahedral_solid(
        const TetrahedralSolid< 3 >& solid, std::string_view filename );

    namespace detail
    {
        /// Writes the listed tetrahedra of the solid (with their points only)
        /// in the native format, for inspecting a failure. The file is
        /// "<name>.oo_tso3d" in the working directory, "tetrahedra.oo_tso3d"
        /// when the name is empty. Returns the list of files written.
        std::vector< std::string > save_tetrahedra(
            const TetrahedralSolid< 3 >& solid,
            absl::Span< const index_t > tetrahedra,
            std::string_view name );
    } // namespace detail
} // namespace orvane
