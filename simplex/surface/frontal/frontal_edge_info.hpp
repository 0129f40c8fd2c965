#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <initializer_list>
#include <type_traits>
#include <utility>

#include <openorvane/basic/types.hpp>

namespace orvane::internal
{
    /// The ids of the front elements listed on one polygon edge of the macro
    /// surface, in insertion order.
    ///
    /// The macro surface has several million polygons on a large remesh and
    /// most of their edges list no element or one, so a list takes eight
    /// bytes: nothing stored when empty, the single id kept in place, and a
    /// heap block only once a second id joins. The two words hold either
    /// (0, 0) for the empty list, (INLINE, id) for one id kept in place, or
    /// the address of the heap block, whose low word is even because the
    /// block is aligned.
    class FrontalElementList
    {
    public:
        using value_type = index_t;
        using const_iterator = const index_t*;
        using iterator = index_t*;

        FrontalElementList() = default;
        FrontalElementList( std::initializer_list< index_t > ids );
        /// Inline: filling a new polygon's three empty lists is the hot path
        /// of the macro surface's growth.
        FrontalElementList( const FrontalElementList& other )
        {
            if( other.is_inline() || !other.heap() )
            {
                words_ = other.words_;
            }
            else
            {
                copy_heap( other );
            }
        }
        FrontalElementList( FrontalElementList&& other ) noexcept
            : words_( other.words_ )
        {
            other.words_ = { 0, 0 };
        }
        FrontalElementList& operator=( const FrontalElementList& other );
        FrontalElementList& operator=( FrontalElementList&& other ) noexcept;
        /// Inline too: growing the macro surface makes and drops a
        /// temporary copy of the empty record for every polygon added.
        ~FrontalElementList()
        {
            if( !is_inline() && heap() )
            {
                release();
            }
        }

        [[nodiscard]] index_t size() const
        {
            if( is_inline() )
            {
                return 1;
            }
            const auto* block = heap();
            return block ? block[SIZE] : 0;
        }

        [[nodiscard]] bool empty() const
        {
            return size() == 0;
        }

        [[nodiscard]] const index_t* begin() const
        {
            if( is_inline() )
            {
                return &words_[1];
            }
            const auto* block = heap();
            return block ? block + IDS : nullptr;
        }

        [[nodiscard]] const index_t* end() const
        {
            const auto* first = begin();
            return first ? first + size() : nullptr;
        }

        [[nodiscard]] index_t* begin()
        {
            return const_cast< index_t* >( std::as_const( *this ).begin() );
        }

        [[nodiscard]] index_t* end()
        {
            return const_cast< index_t* >( std::as_const( *this ).end() );
        }

        [[nodiscard]] index_t operator[]( index_t position ) const
        {
            return begin()[position];
        }

        [[nodiscard]] index_t front() const
        {
            return *begin();
        }

        /// Whether the id is in the list; the single id kept in place is
        /// compared without walking a range.
        [[nodiscard]] bool contains( index_t id ) const
        {
            if( is_inline() )
            {
                return words_[1] == id;
            }
            const auto* block = heap();
            if( !block )
            {
                return false;
            }
            const auto* ids = block + IDS;
            return std::find( ids, ids + block[SIZE], id ) != ids + block[SIZE];
        }

        void push_back( index_t id );

        /// Inserts [first, last) at the end (the only position supported),
        /// which may be a range of this very list.
        template < typename Iterator >
        void insert( const index_t* position, Iterator first, Iterator last )
        {
            (void) position;
            // Copy first: the range may live in this list's storage.
            const FrontalElementList added( first, last );
            for( const auto id : added )
            {
                push_back( id );
            }
        }

        /// Removes the id at `position`, keeping the order of the others.
        void erase( const index_t* position );

        /// Replaces the ids by `count` copies of `id`.
        void assign( index_t count, index_t id );

        /// Replaces the ids by those of [first, last).
        template < typename Iterator >
            requires( !std::is_integral_v< Iterator > )
        void assign( Iterator first, Iterator last )
        {
            FrontalElementList ids( first, last );
            *this = std::move( ids );
        }

        void clear();

        bool operator==( const FrontalElementList& other ) const;

    private:
        template < typename Iterator >
            requires( !std::is_integral_v< Iterator > )
        FrontalElementList( Iterator first, Iterator last )
        {
            for( ; first != last; ++first )
            {
                push_back( static_cast< index_t >( *first ) );
            }
        }

        static constexpr index_t INLINE = 1;
        /// Layout of a heap block: size, capacity, then the ids.
        static constexpr index_t SIZE = 0;
        static constexpr index_t CAPACITY = 1;
        static constexpr index_t IDS = 2;

        static_assert( std::endian::native == std::endian::little,
            "the low word of an address is the first of the two words" );
        static_assert( sizeof( index_t* ) == 2 * sizeof( index_t ) );

        [[nodiscard]] bool is_inline() const
        {
            return words_[0] == INLINE;
        }

        [[nodiscard]] index_t* heap() const
        {
            index_t* block;
            std::memcpy( &block, words_.data(), sizeof( block ) );
            return block;
        }

        void set_heap( index_t* block )
        {
            std::memcpy( words_.data(), &block, sizeof( block ) );
        }

        void release();
        void copy_heap( const FrontalElementList& other );

        alignas( index_t* ) std::array< index_t, 2 > words_{ 0, 0 };
    };

    /// Per local edge of a macro polygon: the elements whose macro path uses
    /// that polygon edge.
    using FrontalEdgeInfo = std::array< FrontalElementList, 3 >;
} // namespace orvane::internal
