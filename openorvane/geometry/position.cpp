#include <openorvane/geometry/position.hpp>

namespace orvane
{
    namespace detail
    {
        bool is_vertex_position( POSITION position )
        {
            return position == POSITION::vertex0 || position == POSITION::vertex1
                   || position == POSITION::vertex2;
        }

        bool is_edge_position( POSITION position )
        {
            return position == POSITION::edge0 || position == POSITION::edge1
                   || position == POSITION::edge2;
        }

        local_index_t position_to_index( POSITION position )
        {
            if( is_vertex_position( position ) )
            {
                return static_cast< local_index_t >(
                    static_cast< std::uint32_t >( position )
                    - static_cast< std::uint32_t >( POSITION::vertex0 ) );
            }
            if( is_edge_position( position ) )
            {
                return static_cast< local_index_t >(
                    static_cast< std::uint32_t >( position )
                    - static_cast< std::uint32_t >( POSITION::edge0 ) );
            }
            return NO_LID;
        }

        POSITION vertex_position( local_index_t vertex )
        {
            return static_cast< POSITION >(
                static_cast< std::uint32_t >( POSITION::vertex0 ) + vertex );
        }

        POSITION edge_position( local_index_t edge )
        {
            return static_cast< POSITION >(
                static_cast< std::uint32_t >( POSITION::edge0 ) + edge );
        }
    } // namespace detail
} // namespace orvane
