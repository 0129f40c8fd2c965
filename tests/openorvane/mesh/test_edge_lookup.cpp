#include <cstdint>
#include <map>
#include <random>

#include <gtest/gtest.h>

#include <openorvane/mesh/edge_lookup.hpp>

namespace orvane
{
    namespace
    {
        std::uint64_t pair_key( std::uint32_t low, std::uint32_t high )
        {
            return ( static_cast< std::uint64_t >( low ) << 32 ) | high;
        }
    } // namespace

    // Random inserts and lookups across many growths, against an ordered map:
    // the keys mimic vertex pairs of a mesh (close indices) mixed with
    // scattered ones, with many repeats.
    TEST( EdgeLookup, MatchesAnOrderedMapThroughGrowth )
    {
        const std::uint32_t seed = 17;
        SCOPED_TRACE( ::testing::Message() << "seed " << seed );
        std::mt19937 random{ seed };
        std::uniform_int_distribution< std::uint32_t > vertex{ 0, 40000 };
        std::uniform_int_distribution< std::uint32_t > offset{ 1, 12 };
        std::uniform_int_distribution< std::uint32_t > any{ 0, ~std::uint32_t{ 0 } };

        internal::EdgeLookup lookup;
        std::map< std::uint64_t, index_t > reference;
        for( index_t step = 0; step < 150000; step++ )
        {
            const auto low = vertex( random );
            const auto key = step % 5 == 0 ? pair_key( any( random ), any( random ) )
                                           : pair_key( low, low + offset( random ) );
            if( step % 3 == 0 )
            {
                const auto found = reference.find( key );
                const auto expected = found == reference.end()
                                          ? std::optional< index_t >{}
                                          : std::optional< index_t >{ found->second };
                ASSERT_EQ( lookup.find( key ), expected ) << "step " << step;
                continue;
            }
            const auto [value, inserted] = lookup.try_emplace( key, step );
            const auto [it, reference_inserted] = reference.try_emplace( key, step );
            ASSERT_EQ( inserted, reference_inserted ) << "step " << step;
            ASSERT_EQ( value, it->second ) << "step " << step;
        }
        ASSERT_EQ( lookup.size(), reference.size() );

        // A copy answers alike, reserving keeps every entry, clearing drops
        // them all.
        auto copy = lookup;
        copy.reserve( 4 * reference.size() );
        for( const auto& [key, value] : reference )
        {
            ASSERT_EQ( copy.find( key ), value );
        }
        lookup.clear();
        EXPECT_EQ( lookup.size(), 0 );
        EXPECT_FALSE( lookup.find( reference.begin()->first ) );
        EXPECT_EQ( lookup.try_emplace( reference.begin()->first, 3 ).first, 3 );
    }

    // The key whose bits are all set marks free slots inside the table; it
    // is still a valid key (the pair of two missing vertices).
    TEST( EdgeLookup, KeyWithEveryBitSetIsStoredApart )
    {
        internal::EdgeLookup lookup;
        const auto all_set = ~std::uint64_t{ 0 };
        EXPECT_FALSE( lookup.find( all_set ) );
        EXPECT_EQ( lookup.try_emplace( all_set, 5 ), ( std::pair< index_t, bool >{ 5, true } ) );
        EXPECT_EQ( lookup.try_emplace( all_set, 6 ), ( std::pair< index_t, bool >{ 5, false } ) );
        EXPECT_EQ( lookup.try_emplace( 7, 1 ), ( std::pair< index_t, bool >{ 1, true } ) );
        EXPECT_EQ( lookup.find( all_set ), index_t{ 5 } );
        EXPECT_EQ( lookup.size(), 2 );
        lookup.clear();
        EXPECT_FALSE( lookup.find( all_set ) );
    }
} // namespace orvane
