#pragma once

#include <vector>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/point.hpp>

namespace orvane
{
    class BRep;
    template < index_t dimension >
    class Block;

    /// Where a line meets the boundary of a block.
    struct LineBoundaryIntersection
    {
        /// Signed distance from the line's origin along its direction.
        double distance{ 0. };
        Point< 3 > point;
        /// The line lies in the plane of a boundary polygon it touches. The
        /// distance and point are then those of the polygon vertex farthest
        /// along the line, so that a contact behind the origin reads as a
        /// negative distance.
        bool parallel{ false };
    };

    /// Every place where the line meets a polygon of the block's boundary
    /// surfaces, sorted by distance. Contacts are decided with exact
    /// predicates; a hit on an edge or a vertex shared by several polygons
    /// is reported once (hits whose points are equal merge, parallel when
    /// any of them is). A hit exactly at the origin has distance 0.
    std::vector< LineBoundaryIntersection > find_intersections_with_boundaries(
        const InfiniteLine< 3 >& line, const BRep& model, const Block< 3 >& block );
} // namespace orvane
