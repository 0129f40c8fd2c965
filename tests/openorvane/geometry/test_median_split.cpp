#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <openorvane/geometry/median_split.hpp>

namespace
{
    using orvane::index_t;
    using P3 = orvane::Point3D;

    struct Item
    {
        P3 point;
        index_t index;
    };

    /// Coordinates along the split axis that defeat equal-width buckets or
    /// the arithmetic behind them; the other axes get random values.
    struct Distribution
    {
        std::string name;
        std::function< double( std::mt19937&, index_t ) > coordinate;
    };

    std::vector< Distribution > distributions()
    {
        return {
            { "uniform",
                []( std::mt19937& random, index_t ) {
                    return std::uniform_real_distribution< double >{ -1, 1 }( random );
                } },
            { "magnitudes from 1e-9 to 1e3, piling up in the lowest bucket",
                []( std::mt19937& random, index_t ) {
                    const int exponent =
                        std::uniform_int_distribution< int >{ -9, 3 }( random );
                    return std::pow( 10., exponent )
                           * std::uniform_real_distribution< double >{ 0, 1 }( random );
                } },
            { "four values: ties decided by index",
                []( std::mt19937& random, index_t ) {
                    return double( std::uniform_int_distribution< int >{ 0, 3 }( random ) );
                } },
            { "one value",
                []( std::mt19937&, index_t ) { return 2.5; } },
            { "signed zeros and one",
                []( std::mt19937&, index_t i ) {
                    return i % 3 == 0 ? -0. : ( i % 3 == 1 ? 0. : 1. );
                } },
            { "subnormal spread",
                []( std::mt19937&, index_t i ) {
                    return ( i % 3 ) * std::numeric_limits< double >::denorm_min();
                } },
            { "spread beyond the largest double",
                []( std::mt19937&, index_t i ) {
                    return i % 2 == 0 ? -1e308 : 1e308;
                } },
        };
    }
} // namespace

TEST( MedianSplit, SelectsTheRankAndBoundsBothSidesOnAnyDistribution )
{
    constexpr orvane::local_index_t axis = 1;
    for( const auto& distribution : distributions() )
    {
        for( const index_t count : { 20u, 5000u } )
        {
            std::mt19937 random{ count };
            std::uniform_real_distribution< double > other{ -5, 5 };
            std::vector< Item > items;
            orvane::detail::PointExtent< 3 > extent;
            for( index_t i = 0; i < count; i++ )
            {
                // Shuffled indices: the order must not come from positions.
                items.push_back( { P3{ { other( random ),
                                       distribution.coordinate( random, i ),
                                       other( random ) } },
                    ( i * 7919 ) % count } );
                extent.add( items.back().point );
            }
            auto sorted = items;
            std::sort( sorted.begin(), sorted.end(), []( const Item& a, const Item& b ) {
                const auto left = a.point.value( axis );
                const auto right = b.point.value( axis );
                return left != right ? left < right : a.index < b.index;
            } );
            for( const index_t rank : { index_t{ 0 }, count / 2, count - 1 } )
            {
                SCOPED_TRACE( distribution.name + ", " + std::to_string( count )
                              + " items, rank " + std::to_string( rank ) );
                auto source = items;
                std::vector< Item > target( count );
                const auto split = orvane::detail::split_at_rank(
                    source.data(), target.data(), count, rank, axis, extent );
                ASSERT_EQ( target[rank].index, sorted[rank].index );
                const auto indices_of = []( auto begin, auto end ) {
                    std::vector< index_t > indices;
                    for( auto item = begin; item != end; item++ )
                    {
                        indices.push_back( item->index );
                    }
                    std::sort( indices.begin(), indices.end() );
                    return indices;
                };
                EXPECT_EQ( indices_of( target.begin(), target.begin() + rank ),
                    indices_of( sorted.begin(), sorted.begin() + rank ) );
                EXPECT_EQ( indices_of( target.begin() + rank + 1, target.end() ),
                    indices_of( sorted.begin() + rank + 1, sorted.end() ) );
                orvane::detail::PointExtent< 3 > before;
                orvane::detail::PointExtent< 3 > after;
                for( index_t i = 0; i < count; i++ )
                {
                    if( i < rank )
                    {
                        before.add( sorted[i].point );
                    }
                    else if( i > rank )
                    {
                        after.add( sorted[i].point );
                    }
                }
                EXPECT_EQ( split.before.low, before.low );
                EXPECT_EQ( split.before.high, before.high );
                EXPECT_EQ( split.after.low, after.low );
                EXPECT_EQ( split.after.high, after.high );
            }
        }
    }
}
