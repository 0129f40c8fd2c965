#pragma once

#include <memory>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/bounding_box.hpp>

namespace orvane
{
    template < index_t dimension >
    class Metric;
    template < index_t dimension >
    class TetrahedralSolid;

    namespace internal
    {
        /// A tetrahedral solid covering the box, refined to the size field:
        /// a regular grid of at most 100,000 cells, with the median size of
        /// the field as target length, is cut into tetrahedra, and the
        /// longest edge of every tetrahedron whose shortest edge is longer
        /// than 2 sqrt(3) times the field's size over it is split, longest
        /// first, until none is left (progress under "Solid split"). A
        /// tetrahedron whose size query throws is not refined.
        [[nodiscard]] std::unique_ptr< TetrahedralSolid< 3 > >
            create_split_background_solid(
                const BoundingBox< 3 >& box, const Metric< 3 >& metric );
    } // namespace internal
} // namespace orvane
