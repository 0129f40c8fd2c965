#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    /// Reorders `values` in place so that new[i] = old[permutation[i]].
    ///
    /// The permutation must be a permutation of 0 to values.size() - 1. The
    /// cycles of the permutation are followed with one bit per value, so no
    /// second copy of the values is made: the first value of each cycle is
    /// kept aside while the others move one step along it.
    template < typename Container >
    void permute( Container& values, absl::Span< const index_t > permutation )
    {
        const auto nb_values = static_cast< index_t >( permutation.size() );
        std::vector< bool > visited( nb_values, false );
        for( index_t i = 0; i < nb_values; i++ )
        {
            if( visited[i] )
            {
                continue;
            }
            visited[i] = true;
            auto kept = std::move( values[i] );
            auto j = i;
            // For a true permutation the walk ends back at i, which is
            // already marked; the extra tests only keep a malformed one from
            // looping forever or reading out of range.
            for( auto k = permutation[j]; k < nb_values && !visited[k];
                 k = permutation[j] )
            {
                values[j] = std::move( values[k] );
                visited[k] = true;
                j = k;
            }
            values[j] = std::move( kept );
        }
    }

    /// Removes the values whose flag is true, keeping the others in their
    /// order, and returns the number of values removed. There must be one
    /// flag per value. The kept values are moved, never copied.
    template < typename Container >
    index_t delete_vector_elements(
        const std::vector< bool >& to_delete, Container& values )
    {
        index_t first{ 0 };
        const auto nb_flags = static_cast< index_t >( to_delete.size() );
        while( first < nb_flags && !to_delete[first] )
        {
            first++;
        }
        if( first == nb_flags )
        {
            return 0;
        }
        index_t nb_removed{ 0 };
        for( auto i = first; i < nb_flags; i++ )
        {
            if( to_delete[i] )
            {
                nb_removed++;
            }
            else
            {
                values[i - nb_removed] = std::move( values[i] );
            }
        }
        values.erase( values.end() - nb_removed, values.end() );
        return nb_removed;
    }

    namespace detail
    {
        /// The old-to-new table of a deletion: NO_ID for every flagged
        /// element and 0, 1, 2, ... for the kept ones in increasing order.
        inline std::vector< index_t > mapping_after_deletion(
            const std::vector< bool >& to_delete )
        {
            std::vector< index_t > old2new( to_delete.size(), NO_ID );
            index_t count{ 0 };
            for( std::size_t i = 0; i < to_delete.size(); i++ )
            {
                if( !to_delete[i] )
                {
                    old2new[i] = count++;
                }
            }
            return old2new;
        }

        /// The keys of a map in increasing order, for results that must not
        /// depend on hash-map iteration order.
        template < typename Map >
        std::vector< typename Map::key_type > sorted_keys( const Map& map )
        {
            std::vector< typename Map::key_type > keys;
            keys.reserve( map.size() );
            for( const auto& entry : map )
            {
                keys.push_back( entry.first );
            }
            std::sort( keys.begin(), keys.end() );
            return keys;
        }
    } // namespace detail
} // namespace orvane
