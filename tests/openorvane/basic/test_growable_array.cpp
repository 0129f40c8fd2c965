#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/growable_array.hpp>

namespace orvane
{
    namespace
    {
        struct Corner
        {
            std::uint32_t polygon{ 7 };
            std::uint8_t local{ 9 };

            bool operator==( const Corner& ) const = default;
        };
    } // namespace

    // Growing one value at a time far past the size where blocks are mapped
    // and remapped keeps every value, as a std::vector does; copies and
    // moves are independent of the source.
    TEST( GrowableArray, KeepsItsValuesAcrossGrowthAndCopies )
    {
        GrowableArray< std::uint64_t > array;
        std::vector< std::uint64_t > reference;
        // 4.8 MB of values: small blocks, then a mapped one remapped twice.
        for( std::uint64_t value = 0; value < 600'000; value++ )
        {
            const auto stored = value * 2654435761ULL;
            if( value % 3 == 0 )
            {
                array.push_back( stored );
            }
            else
            {
                const std::uint64_t pair[2]{ stored, stored + 1 };
                array.append( pair, pair + 1 );
            }
            reference.push_back( stored );
        }
        ASSERT_EQ( array.size(), reference.size() );
        EXPECT_TRUE( std::equal( array.begin(), array.end(), reference.begin() ) );

        auto copy = array;
        copy[5] = 1;
        EXPECT_EQ( array[5], reference[5] );
        auto moved = std::move( copy );
        EXPECT_EQ( moved[5], 1 );
        EXPECT_EQ( moved.size(), reference.size() );

        // Shrinking then growing again: the new values take the given one.
        array.resize( 10 );
        array.resize( 1'200'000, 42 );
        EXPECT_EQ( array[9], reference[9] );
        EXPECT_EQ( array[10], 42 );
        EXPECT_EQ( array[1'199'999], 42 );
    }

    TEST( GrowableArray, NewValuesTakeTheDefaultAndEraseKeepsOrder )
    {
        GrowableArray< Corner > corners( 3 );
        EXPECT_EQ( corners[2], Corner{} );
        corners[0].polygon = 0;
        corners[1].polygon = 1;
        corners[2].polygon = 2;
        corners.append( 2, Corner{ 5, 1 } );
        corners.erase( corners.begin() + 1, corners.begin() + 3 );
        ASSERT_EQ( corners.size(), 3 );
        EXPECT_EQ( corners[0].polygon, 0 );
        EXPECT_EQ( corners[1], ( Corner{ 5, 1 } ) );
        EXPECT_EQ( corners[2], ( Corner{ 5, 1 } ) );
        corners.clear();
        EXPECT_TRUE( corners.empty() );
    }
} // namespace orvane
