#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

namespace orvane::detail
{
    /// A map kept as one vector of (key, value) pairs sorted by key.
    ///
    /// Meant for the few dozen entries that one edit gathers: a search is a
    /// binary search over contiguous memory, an insertion shifts the entries
    /// after it (cheap when keys mostly grow, as new element indices do), and
    /// iteration runs in key order, so that reading the map never depends on
    /// hashing. The interface follows the standard maps where it overlaps.
    /// An insertion or an erasure invalidates iterators and references.
    template < typename Key, typename Value, typename Less = std::less< Key > >
    class SortedVectorMap
    {
    public:
        using value_type = std::pair< Key, Value >;
        using iterator = typename std::vector< value_type >::iterator;
        using const_iterator = typename std::vector< value_type >::const_iterator;

        SortedVectorMap() = default;

        /// An empty map that stores its entries in `storage`, emptied first:
        /// its capacity serves, so that a map made often need not allocate.
        explicit SortedVectorMap( std::vector< value_type >&& storage )
            : entries_( std::move( storage ) )
        {
            entries_.clear();
        }

        /// Like the standard maps, the first of repeated keys wins.
        SortedVectorMap( std::initializer_list< value_type > entries )
        {
            entries_.reserve( entries.size() );
            for( const auto& entry : entries )
            {
                try_emplace( entry.first, entry.second );
            }
        }

        iterator begin()
        {
            return entries_.begin();
        }
        iterator end()
        {
            return entries_.end();
        }
        const_iterator begin() const
        {
            return entries_.begin();
        }
        const_iterator end() const
        {
            return entries_.end();
        }
        std::size_t size() const
        {
            return entries_.size();
        }
        bool empty() const
        {
            return entries_.empty();
        }
        void reserve( std::size_t capacity )
        {
            entries_.reserve( capacity );
        }

        /// The entry at `position` in key order.
        value_type& entry( std::size_t position )
        {
            return entries_[position];
        }
        const value_type& entry( std::size_t position ) const
        {
            return entries_[position];
        }

        /// The position of `key` in key order, or size() when it is absent.
        std::size_t position( const Key& key ) const
        {
            const auto found = lower_bound( key );
            if( found == entries_.end() || Less{}( key, found->first ) )
            {
                return entries_.size();
            }
            return static_cast< std::size_t >( found - entries_.begin() );
        }

        iterator find( const Key& key )
        {
            return entries_.begin()
                   + static_cast< std::ptrdiff_t >( position( key ) );
        }
        const_iterator find( const Key& key ) const
        {
            return entries_.begin()
                   + static_cast< std::ptrdiff_t >( position( key ) );
        }
        bool contains( const Key& key ) const
        {
            return position( key ) != entries_.size();
        }

        /// Throws std::out_of_range when `key` is absent.
        Value& at( const Key& key )
        {
            const auto found = find( key );
            if( found == entries_.end() )
            {
                throw std::out_of_range{ "SortedVectorMap::at: no such key" };
            }
            return found->second;
        }
        const Value& at( const Key& key ) const
        {
            const auto found = find( key );
            if( found == entries_.end() )
            {
                throw std::out_of_range{ "SortedVectorMap::at: no such key" };
            }
            return found->second;
        }

        /// Inserts `key` with a value built from `args` when it is absent;
        /// returns its entry and whether it was inserted.
        template < typename... Args >
        std::pair< iterator, bool > try_emplace( const Key& key, Args&&... args )
        {
            const auto found = lower_bound( key );
            if( found != entries_.end() && !Less{}( key, found->first ) )
            {
                return { entries_.begin() + ( found - entries_.cbegin() ), false };
            }
            // Appended then rotated into place: the usual new key is the
            // largest, and nothing moves.
            const auto index = found - entries_.cbegin();
            const auto appended = found == entries_.cend();
            entries_.emplace_back( std::piecewise_construct,
                std::forward_as_tuple( key ),
                std::forward_as_tuple( std::forward< Args >( args )... ) );
            const auto inserted = entries_.begin() + index;
            if( !appended )
            {
                std::rotate( inserted, entries_.end() - 1, entries_.end() );
            }
            return { inserted, true };
        }

        /// Appends `key` with a value built from `args`. The caller ensures
        /// that `key` comes after every stored key: nothing is searched.
        template < typename... Args >
        value_type& append( const Key& key, Args&&... args )
        {
            return entries_.emplace_back( std::piecewise_construct,
                std::forward_as_tuple( key ),
                std::forward_as_tuple( std::forward< Args >( args )... ) );
        }

        /// The value of `key`, inserted value-initialised when absent.
        Value& operator[]( const Key& key )
        {
            return try_emplace( key ).first->second;
        }

        /// Removes `key`; returns the number of entries removed.
        std::size_t erase( const Key& key )
        {
            const auto found = find( key );
            if( found == entries_.end() )
            {
                return 0;
            }
            entries_.erase( found );
            return 1;
        }

        void clear()
        {
            entries_.clear();
        }

        /// Empties the map and gives its storage away, capacity included.
        std::vector< value_type > release_storage()
        {
            entries_.clear();
            return std::move( entries_ );
        }

    private:
        const_iterator lower_bound( const Key& key ) const
        {
            // New keys mostly come after every stored one: try the end first.
            if( entries_.empty() || Less{}( entries_.back().first, key ) )
            {
                return entries_.end();
            }
            // Keys searched before every stored one, as older elements than
            // an edit made, need no search either.
            if( !Less{}( entries_.front().first, key ) )
            {
                return entries_.begin();
            }
            // The keys of the last edit are searched most: among the last
            // entries first.
            constexpr std::size_t RECENT = 16;
            auto first = entries_.begin();
            if( entries_.size() > RECENT
                && !Less{}( key, entries_[entries_.size() - RECENT].first ) )
            {
                first = entries_.end() - RECENT;
            }
            return std::lower_bound( first, entries_.end(), key,
                []( const value_type& entry, const Key& searched ) {
                    return Less{}( entry.first, searched );
                } );
        }

        std::vector< value_type > entries_;
    };
} // namespace orvane::detail
