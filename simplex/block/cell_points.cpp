#include <simplex/block/cell_points.hpp>

#include <algorithm>
#include <cmath>

namespace orvane
{
    namespace detail
    {
        CellRange cell_range( const LightRegularGrid< 3 >& grid,
            const LightRegularGrid< 3 >::CellsAroundPoint& cells,
            double distance )
        {
            CellRange range{};
            if( cells.empty() )
            {
                return range;
            }
            for( const local_index_t axis : { 0, 1, 2 } )
            {
                index_t low = cells.front()[axis];
                index_t high = low;
                for( const auto& cell : cells )
                {
                    low = std::min( low, cell[axis] );
                    high = std::max( high, cell[axis] );
                }
                const auto layers = static_cast< index_t >(
                    std::ceil( distance / grid.cell_length_in_direction( axis ) ) );
                const auto nb_cells = grid.nb_cells_in_direction( axis );
                range[axis][0] = low > layers ? low - layers : 0;
                range[axis][1] = std::min< index_t >(
                    nb_cells, high + std::min< index_t >( layers, nb_cells ) + 1 );
            }
            return range;
        }

        void add_point_to_cells( const LightRegularGrid< 3 >& grid,
            VariableAttribute< CellPoints >& cell_points,
            const LightRegularGrid< 3 >::CellsAroundPoint& cells,
            const Point< 3 >& point )
        {
            for( const auto& cell : cells )
            {
                cell_points.modify_value( grid.cell_index( cell ),
                    [&point]( CellPoints& points ) { points.push_back( point ); } );
            }
        }
    } // namespace detail
} // namespace orvane
