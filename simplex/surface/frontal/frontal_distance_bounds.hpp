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
    class FrontalSegmentBall;

    /// A point that many FrontalSegmentBall are tested against, with the
    /// magnitude of its coordinates read once.
    template < index_t dimension >
    class FrontalBallPoint
    {
    public:
        explicit FrontalBallPoint( const Point< dimension >& point )
        {
            for( local_index_t c = 0; c < dimension; c++ )
            {
                values_[c] = point.value( c );
                scale_ = std::max( scale_, std::abs( values_[c] ) );
            }
        }

    private:
        friend class FrontalSegmentBall< dimension >;

        double values_[dimension]{};
        double scale_{ 0 };
    };

    /// A segment that many FrontalSegmentBall are tested against, with its
    /// direction, squared length and coordinates' magnitude computed once.
    template < index_t dimension >
    class FrontalBallSegment
    {
    public:
        explicit FrontalBallSegment( const Segment< dimension >& segment )
        {
            const auto& ends = segment.vertices();
            for( local_index_t c = 0; c < dimension; c++ )
            {
                start_[c] = ends[0].value( c );
                delta_[c] = ends[1].value( c ) - start_[c];
                length2_ += delta_[c] * delta_[c];
                scale_ = std::max(
                    { scale_, std::abs( start_[c] ), std::abs( ends[1].value( c ) ) } );
            }
        }

    private:
        friend class FrontalSegmentBall< dimension >;

        double start_[dimension]{};
        double delta_[dimension]{};
        double length2_{ 0 };
        double scale_{ 0 };
    };

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
            return beyond( FrontalBallPoint< dimension >{ point }, threshold );
        }

        /// beyond( point, threshold ) for a point prepared once for many
        /// balls; the same answer.
        [[nodiscard]] bool beyond(
            const FrontalBallPoint< dimension >& point, double threshold ) const
        {
            double distance2{ 0 };
            for( local_index_t c = 0; c < dimension; c++ )
            {
                const auto delta = point.values_[c] - middle_[c];
                distance2 += delta * delta;
            }
            return exceeds( distance2, threshold, std::max( scale_, point.scale_ ) );
        }

        /// True when every point of this segment is farther than
        /// `threshold` from every point of `other`: the middle of this
        /// segment lies farther than the threshold plus this segment's
        /// half length from `other`.
        [[nodiscard]] bool beyond(
            const Segment< dimension >& other, double threshold ) const
        {
            return beyond( FrontalBallSegment< dimension >{ other }, threshold );
        }

        /// beyond( other, threshold ) for a segment prepared once for many
        /// balls; the same answer.
        [[nodiscard]] bool beyond(
            const FrontalBallSegment< dimension >& other, double threshold ) const
        {
            double along{ 0 };
            for( local_index_t c = 0; c < dimension; c++ )
            {
                along += ( middle_[c] - other.start_[c] ) * other.delta_[c];
            }
            // The closest point of `other` to the middle, clamped to its
            // ends; a segment without length is its first end.
            double parameter{ 0 };
            if( other.length2_ > 0 && along > 0 )
            {
                parameter = along >= other.length2_ ? 1. : along / other.length2_;
            }
            double distance2{ 0 };
            for( local_index_t c = 0; c < dimension; c++ )
            {
                const auto closest = other.start_[c] + other.delta_[c] * parameter;
                const auto delta = middle_[c] - closest;
                distance2 += delta * delta;
            }
            return exceeds( distance2, threshold, std::max( scale_, other.scale_ ) );
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
