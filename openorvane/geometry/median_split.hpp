#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <type_traits>
#include <utility>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>

/// The median split shared by the builds of the search trees: select the
/// item of a given rank along an axis, in the strict total order of
/// (coordinate, index), and bound the points on either side of it.
///
/// Items are trivially copyable and carry a `point` (Point< dimension >) and
/// an `index` (index_t), unique among the items split together.
namespace orvane::detail
{
    /// The coordinate-wise bounds of a set of points; inverted (+inf, -inf)
    /// while the set is empty.
    template < index_t dimension >
    struct PointExtent
    {
        PointExtent()
        {
            low.fill( std::numeric_limits< double >::infinity() );
            high.fill( -std::numeric_limits< double >::infinity() );
        }

        void add( const Point< dimension >& point )
        {
            for( local_index_t i = 0; i < dimension; i++ )
            {
                low[i] = std::min( low[i], point.value( i ) );
                high[i] = std::max( high[i], point.value( i ) );
            }
        }

        void add( const PointExtent& other )
        {
            for( local_index_t i = 0; i < dimension; i++ )
            {
                low[i] = std::min( low[i], other.low[i] );
                high[i] = std::max( high[i], other.high[i] );
            }
        }

        /// The axis of the largest spread, the lowest such axis on ties.
        local_index_t widest_axis() const
        {
            local_index_t axis{ 0 };
            for( local_index_t i = 1; i < dimension; i++ )
            {
                if( high[i] - low[i] > high[axis] - low[axis] )
                {
                    axis = i;
                }
            }
            return axis;
        }

        std::array< double, dimension > low;
        std::array< double, dimension > high;
    };

    /// The bounds of the points on either side of the selected item.
    template < index_t dimension >
    struct MedianSplit
    {
        PointExtent< dimension > before;
        PointExtent< dimension > after;
    };

    namespace internal
    {
        /// Below this many items a selection sorts them out directly.
        constexpr index_t DIRECT_SELECTION = 32;
        /// Upper bound of the buckets of one counting pass.
        constexpr index_t MAX_BUCKETS = 1024;
        /// Counting passes over the same items before selecting directly:
        /// bounds the work on inputs that pile up in one bucket pass after
        /// pass.
        constexpr int MAX_REFINEMENTS = 3;

        template < index_t dimension, typename Item >
        void add_points( const Item* begin,
            const Item* end,
            PointExtent< dimension >& extent )
        {
            for( auto item = begin; item != end; item++ )
            {
                extent.add( item->point );
            }
        }

        template < index_t dimension, typename Item >
        MedianSplit< dimension > select_directly(
            Item* items, index_t count, index_t rank, local_index_t axis )
        {
            std::nth_element( items, items + rank, items + count,
                [axis]( const Item& lhs, const Item& rhs ) {
                    const double left = lhs.point.value( axis );
                    const double right = rhs.point.value( axis );
                    if( left != right )
                    {
                        return left < right;
                    }
                    return lhs.index < rhs.index;
                } );
            MedianSplit< dimension > split;
            add_points( items, items + rank, split.before );
            add_points( items + rank + 1, items + count, split.after );
            return split;
        }

        template < index_t dimension, typename Item >
        MedianSplit< dimension > split_at_rank( Item* source,
            Item* target,
            index_t count,
            index_t rank,
            local_index_t axis,
            double low,
            double high,
            int refinements )
        {
            // The buckets split [low, high] in equal widths. The bucket of a
            // coordinate, computed by monotone operations, never decreases
            // with the coordinate, and equal coordinates share their bucket:
            // the bucket order agrees with the (coordinate, index) order, so
            // only the bucket holding the rank needs an exact selection.
            const double width = high - low;
            const auto nb_buckets = std::clamp< index_t >( count / 4, 2, MAX_BUCKETS );
            const double scale = static_cast< double >( nb_buckets ) / width;
            if( count < DIRECT_SELECTION || refinements == 0 || !( width > 0. )
                || !std::isfinite( width ) || !std::isfinite( scale ) )
            {
                std::copy( source, source + count, target );
                return select_directly< dimension >( target, count, rank, axis );
            }
            const double last = static_cast< double >( nb_buckets - 1 );
            // Clamped on both sides, so that a coordinate out of [low, high]
            // still lands in a bucket.
            const auto bucket_of = [axis, low, scale, last]( const Item& item ) {
                return static_cast< index_t >( std::min(
                    std::max( ( item.point.value( axis ) - low ) * scale, 0. ), last ) );
            };
            std::array< index_t, MAX_BUCKETS > counts;
            std::fill( counts.begin(), counts.begin() + nb_buckets, 0 );
            for( index_t i = 0; i < count; i++ )
            {
                counts[bucket_of( source[i] )]++;
            }
            index_t selected{ 0 };
            index_t nb_before{ 0 };
            while( nb_before + counts[selected] <= rank )
            {
                nb_before += counts[selected];
                selected++;
            }
            const auto nb_selected = counts[selected];

            // Scatter the items before, in and after the selected bucket to
            // their places, without a branch on the (unpredictable) side.
            std::array< index_t, 3 > cursor{ 0, nb_before, nb_before + nb_selected };
            for( index_t i = 0; i < count; i++ )
            {
                const auto& item = source[i];
                const auto bucket = bucket_of( item );
                target[cursor[static_cast< index_t >( bucket >= selected )
                              + static_cast< index_t >( bucket > selected )]++] = item;
            }
            MedianSplit< dimension > split;
            auto& before = split.before;
            auto& after = split.after;
            add_points( target, target + nb_before, before );
            add_points( target + nb_before + nb_selected, target + count, after );

            // The selected bucket, now in target: split it again, over the
            // source room it came from, which the scatter has freed.
            auto* bucket_items = target + nb_before;
            auto bucket_low = bucket_items[0].point.value( axis );
            auto bucket_high = bucket_low;
            for( index_t i = 1; i < nb_selected; i++ )
            {
                const double value = bucket_items[i].point.value( axis );
                bucket_low = std::min( bucket_low, value );
                bucket_high = std::max( bucket_high, value );
            }
            std::copy( bucket_items, bucket_items + nb_selected, source + nb_before );
            const auto inner = split_at_rank< dimension >( source + nb_before,
                bucket_items, nb_selected, rank - nb_before, axis, bucket_low,
                bucket_high, refinements - 1 );
            before.add( inner.before );
            after.add( inner.after );
            return split;
        }
    } // namespace internal

    /// Moves the `count` items of `source` to `target` (no overlap) so that
    /// target[rank] holds the item of that rank in the order of (coordinate
    /// along `axis`, index), with the lower ranks before it and the higher
    /// ones after it, in no particular order. `extent` must bound the
    /// points. Returns the bounds of the points before and after target[rank].
    /// The source is left in an unspecified state.
    ///
    /// The result depends on the items alone, not on their order in the
    /// source, so it is the same whatever the thread that runs it.
    template < index_t dimension, typename Item >
    MedianSplit< dimension > split_at_rank( Item* source,
        Item* target,
        index_t count,
        index_t rank,
        local_index_t axis,
        const PointExtent< dimension >& extent )
    {
        static_assert( std::is_trivially_copyable_v< Item > );
        return internal::split_at_rank< dimension >( source, target, count, rank,
            axis, extent.low[axis], extent.high[axis], internal::MAX_REFINEMENTS );
    }
} // namespace orvane::detail
