#include <openorvane/basic/large_array_allocator.hpp>

#include <oneapi/tbb/task_arena.h>

#include <openorvane/basic/async.hpp>

namespace orvane
{
    namespace detail
    {
        void touch_pages_on_pool( void* block, std::size_t bytes )
        {
            constexpr std::size_t PAGE = 4096;
            constexpr std::size_t PAGES_PER_TASK =
                LargeArrayAllocator< char >::LARGE_BLOCK / PAGE;
            auto* bytes_of_block = static_cast< volatile char* >( block );
            const auto nb_pages = ( bytes + PAGE - 1 ) / PAGE;
            const auto nb_ranges =
                static_cast< index_t >( ( nb_pages + PAGES_PER_TASK - 1 ) / PAGES_PER_TASK );
            // Isolated: the allocating thread may hold a lock, and must not
            // pick up unrelated pool work that could wait for the same lock
            // while it waits for the touching to end.
            tbb::this_task_arena::isolate( [&] {
                async::parallel_for( 0, nb_ranges, [&]( index_t range ) {
                    const auto begin = range * PAGES_PER_TASK;
                    const auto end = std::min( nb_pages, begin + PAGES_PER_TASK );
                    for( auto page = begin; page < end; page++ )
                    {
                        bytes_of_block[page * PAGE] = 0;
                    }
                } );
            } );
        }
    } // namespace detail
} // namespace orvane
