#include <simplex/sampling/cell_points.hpp>

#include <algorithm>
#include <cmath>
#include <numeric>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/distance.hpp>

namespace orvane
{
    namespace detail
    {
        std::array< index_t, 3 > sample_grid_cell_counts(
            const BoundingBox< 3 >& box, double cell_length )
        {
            if( std::fabs( cell_length ) <= DIVISION_EPSILON )
            {
                throw OpenOrvaneException{ OpenOrvaneException::no_stack,
                    "[Point::operator/] Cannot divide Point by something close to zero" };
            }
            std::array< index_t, 3 > counts{};
            for( const local_index_t axis : { 0, 1, 2 } )
            {
                const auto cells =
                    std::ceil( ( box.max().value( axis ) - box.min().value( axis ) ) / cell_length );
                counts[axis] = static_cast< index_t >( std::max( cells, 1. ) );
            }
            return counts;
        }

        std::shared_ptr< VariableAttribute< CellPoints > > cell_points_attribute(
            LightRegularGrid< 3 >& grid )
        {
            return grid.cell_attribute_manager()
                .find_or_create_attribute< VariableAttribute, CellPoints >(
                    "cell points", CellPoints{} );
        }

        std::vector< Point< 3 > > cell_points_closer_than( const LightRegularGrid< 3 >& grid,
            const VariableAttribute< CellPoints >& cell_points,
            const LightRegularGrid< 3 >::CellsAroundPoint& cells,
            double radius,
            const Point< 3 >& point )
        {
            std::vector< Point< 3 > > points;
            std::vector< double > distances;
            visit_cell_points( grid, cell_points, cell_range( grid, cells, radius ),
                [&]( const Point< 3 >& other ) {
                    const auto distance = point_point_distance( point, other );
                    if( distance < radius )
                    {
                        points.push_back( other );
                        distances.push_back( distance );
                    }
                    return false;
                } );
            std::vector< index_t > order( points.size() );
            std::iota( order.begin(), order.end(), 0 );
            std::stable_sort( order.begin(), order.end(),
                [&distances]( index_t a, index_t b ) { return distances[a] < distances[b]; } );
            // A point on a cell border is stored in every cell around it and
            // visited once per cell: keep its first visit only. Its copies
            // share its distance, so they are looked for among the kept
            // points of that distance.
            std::vector< Point< 3 > > result;
            result.reserve( points.size() );
            std::size_t same_distance_begin{ 0 };
            for( std::size_t k = 0; k < order.size(); k++ )
            {
                const auto index = order[k];
                if( k == 0 || distances[index] != distances[order[k - 1]] )
                {
                    same_distance_begin = result.size();
                }
                const auto& point = points[index];
                if( std::find( result.begin() + static_cast< std::ptrdiff_t >( same_distance_begin ),
                        result.end(), point )
                    == result.end() )
                {
                    result.push_back( point );
                }
            }
            return result;
        }

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
