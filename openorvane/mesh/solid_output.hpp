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

    /// Writes the solid in the native plain-text format at `filename` as
    /// given (conventionally ending with `native_extension()`, "oo_tso3d")
    /// and returns the list of written files. The layout follows the other
    /// meshes' native formats (coordinates with 17 significant digits, so
    /// that they read back exactly; NO_ID written as -1):
    ///
    ///     OpenOrvane TetrahedralSolid
    ///     name <name>
    ///     id <uuid>
    ///     dimension 3
    ///     vertices <n>
    ///     <x> <y> <z>              (n lines)
    ///     tetrahedra <m>
    ///     <v0> <v1> <v2> <v3>      (m lines)
    ///     adjacencies
    ///     <a0> <a1> <a2> <a3>      (m lines: the tetrahedron across each
    ///                               local facet)
    ///
    /// Throws OpenOrvaneException when the file cannot be written.
    std::vector< std::string > save_tetrahedral_solid(
        const TetrahedralSolid< 3 >& solid, std::string_view filename );

    /// Writes the solid's points and tetrahedra in the legacy VTK ASCII
    /// format (UNSTRUCTURED_GRID), for looking at it in a viewer. The title
    /// line is the solid's name, or "OpenOrvane mesh" when it has none.
    /// Returns the list of written files; throws OpenOrvaneException when the
    /// file cannot be written.
    std::vector< std::string > save_vtk(
        const TetrahedralSolid< 3 >& solid, std::string_view filename );

    namespace detail
    {
        /// Writes the listed tetrahedra of the solid, with the points they
        /// use renumbered in order of first use and no adjacency, in the
        /// native format, for inspecting a failure. The file is
        /// "<name>.oo_tso3d" in the working directory, "tetrahedra.oo_tso3d"
        /// when the name is empty. Returns the list of files written.
        std::vector< std::string > save_tetrahedra(
            const TetrahedralSolid< 3 >& solid,
            absl::Span< const index_t > tetrahedra,
            std::string_view name );
    } // namespace detail
} // namespace orvane
