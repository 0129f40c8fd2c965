#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <initializer_list>
#include <type_traits>
#include <utility>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/types.hpp>

namespace orvane::detail
{
    /// The compact id records below keep the address of their heap block in
    /// their first two index words: these read and write it.
    template < typename T >
    [[nodiscard]] T* address_in_words( const index_t* words )
    {
        static_assert( sizeof( T* ) == 2 * sizeof( index_t ) );
        T* address;
        std::memcpy( &address, words, sizeof( address ) );
        return address;
    }

    template < typename T >
    void store_address_in_words( index_t* words, T* address )
    {
        static_assert( sizeof( T* ) == 2 * sizeof( index_t ) );
        std::memcpy( words, &address, sizeof( address ) );
    }
} // namespace orvane::detail

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

        [[nodiscard]] bool is_inline() const
        {
            return words_[0] == INLINE;
        }

        [[nodiscard]] index_t* heap() const
        {
            return detail::address_in_words< index_t >( words_.data() );
        }

        void set_heap( index_t* block )
        {
            detail::store_address_in_words( words_.data(), block );
        }

        void release();
        void copy_heap( const FrontalElementList& other );

        alignas( index_t* ) std::array< index_t, 2 > words_{ 0, 0 };
    };

    /// Per local edge of a macro polygon: the elements whose macro path uses
    /// that polygon edge, as three lists in insertion order.
    ///
    /// The macro surface holds one record per polygon, so the record is kept
    /// to 16 bytes: while every list holds at most one id, the three ids (or
    /// NO_ID for an empty list) sit in place; once a list needs a second id
    /// (or the id NO_ID), the record moves its lists to a heap block of three
    /// FrontalElementList and keeps its address. Records of several million
    /// polygons fill that much less memory to touch and to read.
    ///
    /// `info[local]` answers a view of one list: read-only on a const record,
    /// with the FrontalElementList edits on a mutable one. A view reads the
    /// record it was taken from; an edit of the record may leave the
    /// pointers of a read-only view taken before it dangling, as it would
    /// with references into a FrontalElementList.
    class FrontalEdgeInfo
    {
    public:
        /// A read-only view of one list.
        class ConstList
        {
        public:
            ConstList( const index_t* first, const index_t* last )
                : first_( first ), last_( last )
            {
            }

            [[nodiscard]] const index_t* begin() const
            {
                return first_;
            }

            [[nodiscard]] const index_t* end() const
            {
                return last_;
            }

            [[nodiscard]] index_t size() const
            {
                return static_cast< index_t >( last_ - first_ );
            }

            [[nodiscard]] bool empty() const
            {
                return first_ == last_;
            }

            [[nodiscard]] index_t operator[]( index_t position ) const
            {
                return first_[position];
            }

            [[nodiscard]] index_t front() const
            {
                return *first_;
            }

            [[nodiscard]] bool contains( index_t id ) const
            {
                return std::find( first_, last_, id ) != last_;
            }

            bool operator==( const ConstList& other ) const
            {
                return std::equal( first_, last_, other.first_, other.last_ );
            }

        private:
            const index_t* first_;
            const index_t* last_;
        };

        /// A view of one list of a mutable record, with the edits of
        /// FrontalElementList.
        class List
        {
        public:
            List( FrontalEdgeInfo& info, index_t local )
                : info_( &info ), local_( local )
            {
            }

            [[nodiscard]] ConstList view() const
            {
                return std::as_const( *info_ )[local_];
            }

            [[nodiscard]] index_t* begin() const
            {
                return const_cast< index_t* >( view().begin() );
            }

            [[nodiscard]] index_t* end() const
            {
                return const_cast< index_t* >( view().end() );
            }

            [[nodiscard]] index_t size() const
            {
                return view().size();
            }

            [[nodiscard]] bool empty() const
            {
                return view().empty();
            }

            [[nodiscard]] index_t operator[]( index_t position ) const
            {
                return view()[position];
            }

            [[nodiscard]] index_t front() const
            {
                return view().front();
            }

            [[nodiscard]] bool contains( index_t id ) const
            {
                return std::as_const( *info_ ).contains( local_, id );
            }

            void push_back( index_t id )
            {
                info_->push_back( local_, id );
            }

            /// Inserts [first, last) at the end (the only position
            /// supported), which may be a range of this very record.
            template < typename Iterator >
            void insert( const index_t* position, Iterator first, Iterator last )
            {
                (void) position;
                // Copy first: the range may live in this record, which the
                // first push may move to the heap.
                const absl::InlinedVector< index_t, 4 > added( first, last );
                for( const auto id : added )
                {
                    push_back( id );
                }
            }

            /// Removes the id at `position`, keeping the order of the others.
            void erase( const index_t* position )
            {
                info_->erase( local_, position );
            }

            /// Replaces the ids by `count` copies of `id`.
            void assign( index_t count, index_t id )
            {
                clear();
                for( index_t i = 0; i < count; i++ )
                {
                    push_back( id );
                }
            }

            /// Replaces the ids by those of [first, last).
            template < typename Iterator >
                requires( !std::is_integral_v< Iterator > )
            void assign( Iterator first, Iterator last )
            {
                const absl::InlinedVector< index_t, 4 > ids( first, last );
                clear();
                for( const auto id : ids )
                {
                    push_back( id );
                }
            }

            void clear()
            {
                info_->clear( local_ );
            }

        private:
            FrontalEdgeInfo* info_;
            index_t local_;
        };

        FrontalEdgeInfo() = default;
        /// Inline: growing the macro surface copies the empty record for
        /// every polygon added.
        FrontalEdgeInfo( const FrontalEdgeInfo& other ) : words_( other.words_ )
        {
            if( other.is_heap() )
            {
                copy_heap( other );
            }
        }
        FrontalEdgeInfo( FrontalEdgeInfo&& other ) noexcept
            : words_( other.words_ )
        {
            other.words_ = EMPTY_WORDS;
        }
        FrontalEdgeInfo& operator=( const FrontalEdgeInfo& other );
        FrontalEdgeInfo& operator=( FrontalEdgeInfo&& other ) noexcept;
        ~FrontalEdgeInfo()
        {
            if( is_heap() )
            {
                release();
            }
        }

        [[nodiscard]] ConstList operator[]( index_t local ) const
        {
            if( is_heap() )
            {
                const auto& list = ( *heap() )[local];
                return { list.begin(), list.end() };
            }
            const auto* slot = &words_[local];
            return { slot, slot + ( *slot != NO_ID ? 1 : 0 ) };
        }

        [[nodiscard]] List operator[]( index_t local )
        {
            return { *this, local };
        }

        /// Whether none of the three lists holds an id.
        [[nodiscard]] bool empty() const
        {
            if( !is_heap() )
            {
                return words_[0] == NO_ID && words_[1] == NO_ID
                       && words_[2] == NO_ID;
            }
            const auto& lists = *heap();
            return lists[0].empty() && lists[1].empty() && lists[2].empty();
        }

        /// Whether the list of the local edge holds the id; the id kept in
        /// place is compared without building a view.
        [[nodiscard]] bool contains( index_t local, index_t id ) const
        {
            if( !is_heap() )
            {
                return words_[local] == id && id != NO_ID;
            }
            return ( *heap() )[local].contains( id );
        }

        bool operator==( const FrontalEdgeInfo& other ) const;

    private:
        using Lists = std::array< FrontalElementList, 3 >;

        /// words_[3] tells the layout: the ids in place, or the address of
        /// the heap block in words_[0] and words_[1].
        static constexpr index_t IN_PLACE = 0;
        static constexpr index_t ON_HEAP = 1;
        static constexpr std::array< index_t, 4 > EMPTY_WORDS{ NO_ID, NO_ID,
            NO_ID, IN_PLACE };

        [[nodiscard]] bool is_heap() const
        {
            return words_[3] == ON_HEAP;
        }

        [[nodiscard]] Lists* heap() const
        {
            return detail::address_in_words< Lists >( words_.data() );
        }

        /// Inline for the usual first id of an empty list.
        void push_back( index_t local, index_t id )
        {
            if( !is_heap() && words_[local] == NO_ID && id != NO_ID )
            {
                words_[local] = id;
                return;
            }
            push_back_slow( local, id );
        }
        void push_back_slow( index_t local, index_t id );
        void erase( index_t local, const index_t* position );
        void clear( index_t local );
        /// Moves the ids in place to a new heap block.
        void move_to_heap();
        void copy_heap( const FrontalEdgeInfo& other );
        void release();

        alignas( Lists* ) std::array< index_t, 4 > words_ = EMPTY_WORDS;
    };
    static_assert( sizeof( FrontalEdgeInfo ) == 16 );
} // namespace orvane::internal
