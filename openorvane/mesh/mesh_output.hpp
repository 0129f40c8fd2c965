#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    template < index_t dimension >
    class PointSet;
    template < index_t dimension >
    class EdgedCurve;
    template < index_t dimension >
    class SurfaceMesh;

    // Native plain-text formats. Each file starts with a header line naming
    // the mesh kind, then "name", "id" and "dimension" lines, the vertices
    // (coordinates written with 17 significant digits, so that they read
    // back exactly) and the elements by vertex indices:
    //
    //     OpenOrvane EdgedCurve
    //     name <name>
    //     id <uuid>
    //     dimension 3
    //     vertices <n>
    //     <x> <y> <z>            (n lines)
    //     edges <m>
    //     <v0> <v1>              (m lines, NO_ID written as -1)
    //
    // Surfaces list "polygons <m>" with the vertex count then the vertices of
    // each polygon, followed by "adjacencies" with one line per polygon (the
    // polygon across each local edge, -1 on the border). Point sets stop
    // after the vertices. Each function writes the file at `filename` as
    // given (conventionally ending with the mesh's native extension, e.g.
    // "cycles_0_999.oo_edc3d") and returns the list of written files. Throws
    // OpenOrvaneException when the file cannot be written.

    template < index_t dimension >
    std::vector< std::string > save_point_set(
        const PointSet< dimension >& points, std::string_view filename );

    template < index_t dimension >
    std::vector< std::string > save_edged_curve(
        const EdgedCurve< dimension >& curve, std::string_view filename );

    template < index_t dimension >
    std::vector< std::string > save_surface_mesh(
        const SurfaceMesh< dimension >& surface, std::string_view filename );
} // namespace orvane
