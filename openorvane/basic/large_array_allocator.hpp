#pragma once

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

#if defined( __linux__ )
#    include <sys/mman.h>
#endif

namespace orvane
{
    namespace detail
    {
        /// Blocks of at least this many bytes (one huge page) are large.
        inline constexpr std::size_t HUGE_PAGE_BYTES = std::size_t{ 1 } << 21;

        /// The bytes rounded up to whole huge pages.
        inline std::size_t whole_huge_pages( std::size_t bytes )
        {
            return ( bytes + HUGE_PAGE_BYTES - 1 ) / HUGE_PAGE_BYTES * HUGE_PAGE_BYTES;
        }

        /// Offers the block to the kernel for transparent huge pages. The
        /// hint is advisory: a refusal only loses the speed-up.
        inline void advise_huge_pages( void* block, std::size_t bytes )
        {
#if defined( __linux__ ) && defined( MADV_HUGEPAGE )
            static_cast< void >( ::madvise( block, bytes, MADV_HUGEPAGE ) );
#else
            static_cast< void >( block );
            static_cast< void >( bytes );
#endif
        }
    } // namespace detail

    /// An allocator for the large arrays of search structures.
    ///
    /// Blocks of at least 2 MiB are aligned on 2 MiB and, on Linux, offered
    /// to the kernel for transparent huge pages: first touching such an
    /// array then costs a few page faults instead of one per 4 KiB, which
    /// dominates the build of a tree over millions of elements. Smaller
    /// blocks come from the ordinary operator new. The hint is advisory: the
    /// memory behaves the same whether the kernel honours it or not.
    template < typename T >
    class LargeArrayAllocator
    {
    public:
        using value_type = T;

        static constexpr std::size_t LARGE_BLOCK = detail::HUGE_PAGE_BYTES;

        LargeArrayAllocator() = default;

        template < typename U >
        LargeArrayAllocator( const LargeArrayAllocator< U >& ) noexcept
        {
        }

        T* allocate( std::size_t nb )
        {
            const auto bytes = nb * sizeof( T );
            if( bytes < LARGE_BLOCK )
            {
                return static_cast< T* >( ::operator new( bytes ) );
            }
            const auto rounded = rounded_size( bytes );
            void* block =
                ::operator new( rounded, std::align_val_t{ LARGE_BLOCK } );
            detail::advise_huge_pages( block, rounded );
            return static_cast< T* >( block );
        }

        void deallocate( T* block, std::size_t nb ) noexcept
        {
            const auto bytes = nb * sizeof( T );
            if( bytes < LARGE_BLOCK )
            {
                ::operator delete( block );
                return;
            }
            ::operator delete( block, std::align_val_t{ LARGE_BLOCK } );
        }

        template < typename U >
        bool operator==( const LargeArrayAllocator< U >& ) const noexcept
        {
            return true;
        }

    protected:
        static std::size_t rounded_size( std::size_t bytes )
        {
            return detail::whole_huge_pages( bytes );
        }
    };
    /// A large-array allocator that leaves value-initialised elements
    /// uninitialised: `resize` on a vector using it writes nothing, for
    /// arrays of trivially copyable items that are all written before they
    /// are read (or whose unwritten slots are never read). Other
    /// constructions behave as usual.
    template < typename T >
    class UninitializedArrayAllocator : public LargeArrayAllocator< T >
    {
    public:
        using value_type = T;

        UninitializedArrayAllocator() = default;

        template < typename U >
        UninitializedArrayAllocator( const UninitializedArrayAllocator< U >& ) noexcept
        {
        }

        template < typename U >
        void construct( U* ) noexcept
        {
            static_assert( std::is_trivially_copyable_v< U >
                               && std::is_trivially_destructible_v< U >,
                "only trivially copyable items may stay uninitialised" );
        }

        template < typename U, typename... Args >
        void construct( U* place, Args&&... args )
        {
            ::new( static_cast< void* >( place ) ) U( std::forward< Args >( args )... );
        }

        template < typename U >
        bool operator==( const UninitializedArrayAllocator< U >& ) const noexcept
        {
            return true;
        }
    };

    namespace detail
    {
        /// Writes one byte of every 4 KiB page of the block, the pages
        /// spread over the pool. The kernel zeroes a fresh page when it is
        /// first written: this way the zeroing runs on several threads
        /// instead of on the one thread that fills the block.
        void touch_pages_on_pool( void* block, std::size_t bytes );
    } // namespace detail

    /// A large-array allocator for blocks that are written all over soon
    /// after allocation, such as the slot arrays of hash tables: a large
    /// block has every page touched on the pool before it is handed out.
    /// Use it only where the whole block is bound to be written anyway,
    /// since touching makes every page resident.
    template < typename T >
    class PrefaultedArrayAllocator : public LargeArrayAllocator< T >
    {
    public:
        using value_type = T;

        PrefaultedArrayAllocator() = default;

        template < typename U >
        PrefaultedArrayAllocator( const PrefaultedArrayAllocator< U >& ) noexcept
        {
        }

        T* allocate( std::size_t nb )
        {
            auto* block = LargeArrayAllocator< T >::allocate( nb );
            const auto bytes = nb * sizeof( T );
            if( bytes >= LargeArrayAllocator< T >::LARGE_BLOCK )
            {
                detail::touch_pages_on_pool(
                    block, LargeArrayAllocator< T >::rounded_size( bytes ) );
            }
            return block;
        }

        template < typename U >
        bool operator==( const PrefaultedArrayAllocator< U >& ) const noexcept
        {
            return true;
        }
    };
} // namespace orvane
