#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/large_array_allocator.hpp>

namespace orvane
{
    // Small and large blocks hold their values through growth, copies and
    // moves; large blocks sit on huge-page boundaries.
    TEST( LargeArrayAllocator, SmallAndLargeBlocksBehaveAsOrdinaryVectors )
    {
        using Array = std::vector< double, LargeArrayAllocator< double > >;
        for( const std::size_t size : { std::size_t{ 10 }, std::size_t{ 1 } << 18,
                 ( std::size_t{ 1 } << 19 ) + 3 } )
        {
            Array values( size );
            std::iota( values.begin(), values.end(), 0. );
            values.push_back( -1. );
            const auto bytes = values.capacity() * sizeof( double );
            if( bytes >= LargeArrayAllocator< double >::LARGE_BLOCK )
            {
                EXPECT_EQ( reinterpret_cast< std::uintptr_t >( values.data() )
                               % LargeArrayAllocator< double >::LARGE_BLOCK,
                    0u );
            }
            const Array copy = values;
            Array moved = std::move( values );
            ASSERT_EQ( moved.size(), size + 1 );
            EXPECT_EQ( moved[size - 1], static_cast< double >( size - 1 ) );
            EXPECT_EQ( moved.back(), -1. );
            EXPECT_EQ( copy, moved );
        }
    }

    // A prefaulted large block is touched on the pool before it is handed
    // out: allocating from inside pool tasks at once must neither deadlock
    // nor disturb the values the vector then holds.
    TEST( PrefaultedArrayAllocator, LargeBlocksAllocatedInsidePoolTasksHoldTheirValues )
    {
        using Array = std::vector< std::uint32_t, PrefaultedArrayAllocator< std::uint32_t > >;
        constexpr std::size_t SIZE = ( std::size_t{ 1 } << 20 ) + 7;
        std::vector< Array > arrays( 4 );
        async::parallel_for( 0, 4, [&arrays]( index_t k ) {
            arrays[k].resize( SIZE );
            std::iota( arrays[k].begin(), arrays[k].end(), k );
        } );
        for( std::uint32_t k = 0; k < 4; k++ )
        {
            EXPECT_EQ( reinterpret_cast< std::uintptr_t >( arrays[k].data() )
                           % PrefaultedArrayAllocator< std::uint32_t >::LARGE_BLOCK,
                0u );
            EXPECT_EQ( arrays[k].front(), k );
            EXPECT_EQ( arrays[k].back(), k + SIZE - 1 );
        }
    }
} // namespace orvane
