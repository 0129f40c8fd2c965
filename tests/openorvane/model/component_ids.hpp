#pragma once

#include <vector>

#include <openorvane/basic/uuid.hpp>

namespace orvane
{
    namespace test
    {
        /// The uuids of a component range, in the range's order.
        template < typename Range >
        std::vector< uuid > ids( const Range& range )
        {
            std::vector< uuid > result;
            for( const auto& component : range )
            {
                result.push_back( component.id() );
            }
            return result;
        }
    } // namespace test
} // namespace orvane
