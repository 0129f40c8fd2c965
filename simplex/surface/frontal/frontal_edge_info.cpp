#include <simplex/surface/frontal/frontal_edge_info.hpp>

#include <algorithm>

namespace orvane::internal
{
    FrontalElementList::FrontalElementList( std::initializer_list< index_t > ids )
    {
        for( const auto id : ids )
        {
            push_back( id );
        }
    }

    void FrontalElementList::copy_heap( const FrontalElementList& other )
    {
        for( const auto id : other )
        {
            push_back( id );
        }
    }

    FrontalElementList& FrontalElementList::operator=(
        const FrontalElementList& other )
    {
        if( this != &other )
        {
            FrontalElementList copy{ other };
            *this = std::move( copy );
        }
        return *this;
    }

    FrontalElementList& FrontalElementList::operator=(
        FrontalElementList&& other ) noexcept
    {
        if( this != &other )
        {
            release();
            words_ = other.words_;
            other.words_ = { 0, 0 };
        }
        return *this;
    }

    void FrontalElementList::release()
    {
        if( !is_inline() )
        {
            delete[] heap();
        }
        words_ = { 0, 0 };
    }

    void FrontalElementList::push_back( index_t id )
    {
        if( !is_inline() && !heap() )
        {
            words_ = { INLINE, id };
            return;
        }
        if( is_inline() )
        {
            constexpr index_t FIRST_CAPACITY = 2;
            auto* block = new index_t[IDS + FIRST_CAPACITY];
            block[SIZE] = 2;
            block[CAPACITY] = FIRST_CAPACITY;
            block[IDS] = words_[1];
            block[IDS + 1] = id;
            set_heap( block );
            return;
        }
        auto* block = heap();
        if( block[SIZE] == block[CAPACITY] )
        {
            const auto capacity = 2 * block[CAPACITY];
            auto* grown = new index_t[IDS + capacity];
            std::copy_n( block, IDS + block[SIZE], grown );
            grown[CAPACITY] = capacity;
            delete[] block;
            set_heap( grown );
            block = grown;
        }
        block[IDS + block[SIZE]] = id;
        block[SIZE]++;
    }

    void FrontalElementList::erase( const index_t* position )
    {
        if( is_inline() )
        {
            words_ = { 0, 0 };
            return;
        }
        auto* block = heap();
        auto* ids = block + IDS;
        const auto at = static_cast< index_t >( position - ids );
        std::copy( ids + at + 1, ids + block[SIZE], ids + at );
        block[SIZE]--;
    }

    void FrontalElementList::assign( index_t count, index_t id )
    {
        clear();
        for( index_t i = 0; i < count; i++ )
        {
            push_back( id );
        }
    }

    void FrontalElementList::clear()
    {
        release();
    }

    bool FrontalElementList::operator==( const FrontalElementList& other ) const
    {
        return std::equal( begin(), end(), other.begin(), other.end() );
    }

    FrontalEdgeInfo& FrontalEdgeInfo::operator=( const FrontalEdgeInfo& other )
    {
        if( this != &other )
        {
            FrontalEdgeInfo copy{ other };
            *this = std::move( copy );
        }
        return *this;
    }

    FrontalEdgeInfo& FrontalEdgeInfo::operator=( FrontalEdgeInfo&& other ) noexcept
    {
        if( this != &other )
        {
            if( is_heap() )
            {
                release();
            }
            words_ = other.words_;
            other.words_ = EMPTY_WORDS;
        }
        return *this;
    }

    bool FrontalEdgeInfo::operator==( const FrontalEdgeInfo& other ) const
    {
        for( index_t local = 0; local < 3; local++ )
        {
            if( !( ( *this )[local] == other[local] ) )
            {
                return false;
            }
        }
        return true;
    }

    void FrontalEdgeInfo::push_back_slow( index_t local, index_t id )
    {
        if( !is_heap() )
        {
            // A second id, or NO_ID, which marks an empty list in place: the
            // lists go to the heap.
            move_to_heap();
        }
        ( *heap() )[local].push_back( id );
    }

    void FrontalEdgeInfo::erase( index_t local, const index_t* position )
    {
        if( !is_heap() )
        {
            words_[local] = NO_ID;
            return;
        }
        ( *heap() )[local].erase( position );
    }

    void FrontalEdgeInfo::clear( index_t local )
    {
        if( !is_heap() )
        {
            words_[local] = NO_ID;
            return;
        }
        ( *heap() )[local].clear();
    }

    void FrontalEdgeInfo::move_to_heap()
    {
        auto* block = new Lists;
        for( index_t local = 0; local < 3; local++ )
        {
            if( words_[local] != NO_ID )
            {
                ( *block )[local].push_back( words_[local] );
            }
        }
        detail::store_address_in_words( words_.data(), block );
        words_[2] = NO_ID;
        words_[3] = ON_HEAP;
    }

    void FrontalEdgeInfo::copy_heap( const FrontalEdgeInfo& other )
    {
        auto* block = new Lists( *other.heap() );
        detail::store_address_in_words( words_.data(), block );
    }

    void FrontalEdgeInfo::release()
    {
        delete heap();
        words_ = EMPTY_WORDS;
    }
} // namespace orvane::internal
