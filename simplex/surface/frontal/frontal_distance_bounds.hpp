#pragma once

#include <algorithm>
#include <cmath>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/point.hpp>

namespace orvane::internal
{
    /// Cheap tests that a segment lies beyond a distance threshold, used by
    /// the front's neighbour search to skip the computed distances that
    /// cannot change its decisions.
    ///
    /// Each test answers true only when every point of the segment is
    /// farther than the threshold by a margin of 1e-9 times the coordinates'
    /// magnitude (and 1e-9 times the threshold), thousands of times the
    /// rounding of the computed distances, which measure between points
    /// rounded onto the segments. Then point_segment_distance and
    /// segment_segment_distance cannot answer below the threshold either,
    /// and skipping them leaves every `distance < threshold` test as it
    /// was. Near the threshold the tests answer false and the caller
    /// computes the distance as before.
    template < index_t dimension >
    class FrontalSegmentBall
    {
    public:
        explicit FrontalSegmentBall( const Segment< dimension >& segment )
        {
            const auto& ends = segment.vertices();
            double length2{ 0 };
            for( local_index_t c = 0; c < dimension; c++ )
            {
                const auto start = ends[0].value( c );
                const auto end = ends[1].value( c );
                middle_[c] = 0.5 * ( start + end );
                const auto delta = end - start;
                length2 += delta * delta;
                scale_ = std::max( { scale_, std::abs( start ), std::abs( end ) } );
            }
            radius_ = 0.5 * std::sqrt( length2 );
        }

        /// True when every point of the segment is farther than `threshold`
        /// from the point (see the class comment for the margin).
        [[nodiscard]] bool beyond(
            const Point< dimension >& point, double threshold ) const
        {
            double distance2{ 0 };
            auto scale = scale_;
            for( local_index_t c = 0; c < dimension; c++ )
            {
                const auto value = point.value( c );
                const auto delta = value - middle_[c];
                distance2 += delta * delta;
                scale = std::max( scale, std::abs( value ) );
            }
            return exceeds( distance2, threshold, scale );
        }

        /// True when every point of this segment is farther than
        /// `threshold` from every point of `other`: the middle of this
        /// segment lies farther than the threshold plus this segment's
        /// half length from `other`.
        [[nodiscard]] bool beyond(
            const Segment< dimension >& other, double threshold ) const
        {
            const auto& ends = other.vertices();
            double along{ 0 };
            double length2{ 0 };
            auto scale = scale_;
            for( local_index_t c = 0; c < dimension; c++ )
            {
                const auto start = ends[0].value( c );
                const auto delta = ends[1].value( c ) - start;
                along += ( middle_[c] - start ) * delta;
                length2 += delta * delta;
                scale = std::max(
                    { scale, std::abs( start ), std::abs( ends[1].value( c ) ) } );
            }
            // The closest point of `other` to the middle, clamped to its
            // ends; a segment without length is its first end.
            double parameter{ 0 };
            if( length2 > 0 && along > 0 )
            {
                parameter = along >= length2 ? 1. : along / length2;
            }
            double distance2{ 0 };
            for( local_index_t c = 0; c < dimension; c++ )
            {
                const auto start = ends[0].value( c );
                const auto closest =
                    start + ( ends[1].value( c ) - start ) * parameter;
                const auto delta = middle_[c] - closest;
                distance2 += delta * delta;
            }
            return exceeds( distance2, threshold, scale );
        }

    private:
        /// Whether sqrt( distance2 ) - radius passes the threshold by the
        /// margin.
        [[nodiscard]] bool exceeds(
            double distance2, double threshold, double scale ) const
        {
            constexpr double MARGIN = 1e-9;
            const auto reach =
                threshold + radius_ + MARGIN * ( 1 + scale + std::abs( threshold ) );
            return reach >= 0 && distance2 > reach * reach;
        }

        double middle_[dimension]{};
        double radius_{ 0 };
        double scale_{ 0 };
    };
} // namespace orvane::internal
