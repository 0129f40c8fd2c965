#pragma once

#include <optional>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/point.hpp>

namespace orvane
{
    class BRep;
    template < index_t dimension >
    class Line;
    template < index_t dimension >
    class AABBTree;

    namespace internal
    {
        /// Where an output edge is split to follow its input line: a point
        /// of the input line and the input edge it lies on (an end of that
        /// edge when the point is an input vertex).
        struct SplitPoint
        {
            Point< 3 > point;
            index_t edge{ NO_ID };
        };

        /// The point of the input line, between the input vertices at the
        /// ends of the output edge, that lies farthest from that edge, for
        /// an output edge found at `distance` from another line.
        ///
        /// The stretch walked is Repair::line_part between the input
        /// vertices at the edge's ends, found through `input_tree` (a tree
        /// over the input line's edges). Only points farther than 5% of
        /// `distance` from both ends of the output edge count, and the point
        /// must lie farther than that from the edge itself. Empty when no
        /// point qualifies, or when an end of the output edge has no input
        /// vertex at its position. Throws as Repair::line_part does.
        [[nodiscard]] std::optional< SplitPoint > split_point( const BRep& input_model,
            const Line< 3 >& input_line,
            const AABBTree< 3 >& input_tree,
            const Segment< 3 >& output_edge,
            double distance );
    } // namespace internal
} // namespace orvane
