#pragma once

#include <array>
#include <memory>
#include <vector>

#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

namespace orvane
{
    namespace test
    {
        using TriangleCorners = std::array< Point< 3 >, 3 >;

        /// A surface of the triangles, whose vertices are shared only where
        /// their coordinates are equal.
        std::unique_ptr< TriangulatedSurface< 3 > > triangles_surface(
            const std::vector< TriangleCorners >& triangles );

        /// Three horizons cut by a vertical fault inside the box [0, 4] x
        /// [0, 2] x [0, 3], all stitched along shared polylines and closed by
        /// the box sides: the horizons at z = 1, 1.5 and 2 span the box, the
        /// fault is the plane x = 2. Every surface is a separate mesh; n is
        /// the number of cells per unit length.
        std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > layered_box(
            index_t n );
    } // namespace test
} // namespace orvane
