#pragma once

#include <vector>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>

namespace orvane
{
    template < index_t dimension >
    class EdgedCurve;

    namespace internal
    {
        /// The state of one box query of the line repair: an output edge of
        /// one line (the queried edge) against the edges of another output
        /// line whose boxes meet the queried edge's box enlarged by a bound
        /// w. Pass it to AABBTree::visit_boxes_intersecting_box; it never
        /// ends the traversal.
        ///
        /// An edge pair within w is a candidate. Each of its two edges asks
        /// for a split when it is longer than 5% of w and its closest point
        /// to the other edge lies farther than 1e-6 from both its ends: the
        /// pair crosses or comes close inside that edge, not at a shared or
        /// neighbouring vertex.
        class CloseEdgeVisitor
        {
        public:
            /// The other line's mesh must outlive the visitor.
            CloseEdgeVisitor( const Segment< 3 >& queried_edge,
                const EdgedCurve< 3 >& other_mesh,
                double bound );

            /// Examines the edge of the other line; always returns false.
            bool operator()( index_t other_edge );

            /// Whether the queried edge must be split.
            [[nodiscard]] bool must_split() const
            {
                return must_split_;
            }

            /// The smallest distance of the pairs that asked for a split; the
            /// bound when none did.
            [[nodiscard]] double smallest_distance() const
            {
                return smallest_;
            }

            /// The edges of the other line that must be split, in visit
            /// order.
            [[nodiscard]] const std::vector< index_t >& other_edges() const
            {
                return other_edges_;
            }

        private:
            Segment< 3 > segment_;
            const EdgedCurve< 3 >& other_mesh_;
            double bound_;
            double length_threshold_;
            double smallest_;
            std::vector< index_t > other_edges_;
            bool must_split_{ false };
        };
    } // namespace internal
} // namespace orvane
