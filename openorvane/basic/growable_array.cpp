#include <openorvane/basic/growable_array.hpp>

#include <openorvane/basic/large_array_allocator.hpp>

#include <cstdlib>
#include <new>

#if defined( __linux__ )
#    include <sys/mman.h>
#endif

namespace orvane
{
    namespace detail
    {
        namespace
        {
            /// Blocks of at least a huge page are mapped on their own and
            /// grow by remapping.
            bool is_mapped( std::size_t bytes )
            {
                return bytes >= HUGE_PAGE_BYTES;
            }
        } // namespace

        void* resize_growable_block( void* block,
            std::size_t old_bytes,
            std::size_t bytes,
            std::size_t kept_bytes )
        {
#if defined( __linux__ )
            if( is_mapped( bytes ) )
            {
                const auto size = whole_huge_pages( bytes );
                if( block != nullptr && is_mapped( old_bytes ) )
                {
                    const auto old_size = whole_huge_pages( old_bytes );
                    if( size == old_size )
                    {
                        return block;
                    }
                    // The pages move with their contents: nothing is copied.
                    auto* moved = ::mremap( block, old_size, size, MREMAP_MAYMOVE );
                    if( moved == MAP_FAILED )
                    {
                        throw std::bad_alloc{};
                    }
                    advise_huge_pages( moved, size );
                    return moved;
                }
                auto* mapped = ::mmap( nullptr, size, PROT_READ | PROT_WRITE,
                    MAP_PRIVATE | MAP_ANONYMOUS, -1, 0 );
                if( mapped == MAP_FAILED )
                {
                    throw std::bad_alloc{};
                }
                advise_huge_pages( mapped, size );
                if( kept_bytes > 0 )
                {
                    std::memcpy( mapped, block, kept_bytes );
                }
                std::free( block );
                return mapped;
            }
#else
            static_cast< void >( old_bytes );
            static_cast< void >( kept_bytes );
#endif
            // Both sizes are small here: realloc keeps the contents.
            auto* resized = std::realloc( block, bytes );
            if( resized == nullptr )
            {
                throw std::bad_alloc{};
            }
            return resized;
        }

        void release_growable_block( void* block, std::size_t bytes ) noexcept
        {
#if defined( __linux__ )
            if( is_mapped( bytes ) )
            {
                ::munmap( block, whole_huge_pages( bytes ) );
                return;
            }
#else
            static_cast< void >( bytes );
#endif
            std::free( block );
        }
    } // namespace detail
} // namespace orvane
