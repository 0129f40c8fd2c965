#pragma once

#include <openorvane/basic/types.hpp>

namespace orvane
{
    template < index_t dimension >
    class SurfaceMesh;

    namespace detail
    {
        /// Whether the polygon has no extent across its longest direction:
        /// a triangle is degenerate when its minimum height (twice its area
        /// over its longest edge) is at most GLOBAL_EPSILON, exactly
        /// collinear or coincident vertices included. A polygon of more
        /// vertices is degenerate when every triangle of its fan from local
        /// vertex 0 is.
        template < index_t dimension >
        bool is_polygon_degenerated(
            const SurfaceMesh< dimension >& mesh, index_t polygon_id );
    } // namespace detail
} // namespace orvane
