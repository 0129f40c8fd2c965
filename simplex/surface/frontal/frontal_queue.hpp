#pragma once

#include <algorithm>
#include <utility>
#include <vector>

#include <openorvane/basic/types.hpp>

#include <simplex/surface/frontal/frontal_records.hpp>

namespace orvane::internal
{
    /// The front: a max-heap of front entries in FrontalQueueOrder, with the
    /// interface of std::priority_queue that the front loop uses.
    ///
    /// The heap holds only what the order reads (kind and length) and the
    /// slot of the entry in a pool, 16 bytes instead of the whole entry: a
    /// large front moves and compares far less memory per push and pop.
    /// The heap algorithms are those of std::priority_queue, given the same
    /// comparisons in the same sequence of pushes and pops: entries come out
    /// in exactly the order a std::priority_queue of whole entries gives,
    /// ties included.
    template < index_t dimension >
    class FrontalQueue
    {
    public:
        [[nodiscard]] bool empty() const
        {
            return heap_.empty();
        }

        [[nodiscard]] std::size_t size() const
        {
            return heap_.size();
        }

        /// The entry that ranks first.
        [[nodiscard]] const FrontalQueueElement< dimension >& top() const
        {
            return entries_[heap_.front().slot];
        }

        void push( FrontalQueueElement< dimension > entry )
        {
            index_t slot;
            if( free_slots_.empty() )
            {
                slot = static_cast< index_t >( entries_.size() );
                entries_.push_back( std::move( entry ) );
            }
            else
            {
                slot = free_slots_.back();
                free_slots_.pop_back();
                entries_[slot] = std::move( entry );
            }
            const auto& stored = entries_[slot];
            heap_.push_back( { stored.length, stored.kind, slot } );
            std::push_heap( heap_.begin(), heap_.end(), KeyOrder{} );
        }

        template < typename... Args >
        void emplace( Args&&... args )
        {
            push( FrontalQueueElement< dimension >{ std::forward< Args >( args )... } );
        }

        /// Removes the entry that ranks first.
        void pop()
        {
            std::pop_heap( heap_.begin(), heap_.end(), KeyOrder{} );
            free_slots_.push_back( heap_.back().slot );
            heap_.pop_back();
        }

    private:
        struct Key
        {
            double length;
            index_t kind;
            index_t slot;
        };

        /// FrontalQueueOrder on the keys.
        struct KeyOrder
        {
            bool operator()( const Key& lhs, const Key& rhs ) const
            {
                if( lhs.kind != rhs.kind )
                {
                    return lhs.kind > rhs.kind;
                }
                return lhs.length > rhs.length;
            }
        };

        std::vector< Key > heap_;
        std::vector< FrontalQueueElement< dimension > > entries_;
        std::vector< index_t > free_slots_;
    };
} // namespace orvane::internal
