#pragma once

#include <numeric>
#include <vector>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    namespace detail
    {
        /// Connected groups of the elements [0, nb_elements) under the links
        /// that `for_each_link( link )` reports by calling link( a, b ); a
        /// link joins its two elements whichever direction it was reported
        /// in. Groups are listed by their lowest element, each ascending;
        /// `group_of` gives each element's position in that list.
        struct ConnectedGroups
        {
            std::vector< std::vector< index_t > > groups;
            std::vector< index_t > group_of;
        };

        template < typename ForEachLink >
        ConnectedGroups connected_groups(
            index_t nb_elements, ForEachLink&& for_each_link )
        {
            std::vector< index_t > parent( nb_elements );
            std::iota( parent.begin(), parent.end(), 0 );
            const auto root = [&parent]( index_t element ) {
                while( parent[element] != element )
                {
                    parent[element] = parent[parent[element]];
                    element = parent[element];
                }
                return element;
            };
            for_each_link( [&]( index_t a, index_t b ) {
                const auto root_a = root( a );
                const auto root_b = root( b );
                // The lower root wins, so a group's root is its lowest element.
                if( root_a < root_b )
                {
                    parent[root_b] = root_a;
                }
                else if( root_b < root_a )
                {
                    parent[root_a] = root_b;
                }
            } );
            ConnectedGroups result;
            result.group_of.assign( nb_elements, NO_ID );
            for( index_t element = 0; element < nb_elements; element++ )
            {
                const auto group_root = root( element );
                if( group_root == element )
                {
                    result.group_of[element] =
                        static_cast< index_t >( result.groups.size() );
                    result.groups.emplace_back();
                }
                else
                {
                    result.group_of[element] = result.group_of[group_root];
                }
                result.groups[result.group_of[element]].push_back( element );
            }
            return result;
        }
    } // namespace detail
} // namespace orvane
