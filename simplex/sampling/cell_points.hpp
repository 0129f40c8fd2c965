#pragma once

#include <array>
#include <memory>
#include <vector>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/light_regular_grid.hpp>

namespace orvane
{
    namespace detail
    {
        /// The points registered in one grid cell; one point stays inline.
        using CellPoints = absl::InlinedVector< Point< 3 >, 1 >;

        /// Per axis, the half-open range [first, last) of cell indices
        /// around some cells.
        using CellRange = std::array< std::array< index_t, 2 >, 3 >;

        /// The cells around the given ones (the cells that hold a point, as
        /// LightRegularGrid::cells gives them) within `distance`: per axis,
        /// the lowest index lowered by ceil(distance / cell length) and
        /// clipped at 0, and the highest raised by the same amount plus one
        /// and clipped at the number of cells (an exclusive bound). Empty
        /// cells give an empty range on every axis.
        [[nodiscard]] CellRange cell_range( const LightRegularGrid< 3 >& grid,
            const LightRegularGrid< 3 >::CellsAroundPoint& cells,
            double distance );

        /// The number of cubic cells of the given length along each axis of
        /// the box: ceil(extent / length), and at least one, so that a box
        /// flat along an axis still holds a layer of cells. Throws
        /// "[Point::operator/] Cannot divide Point by something close to
        /// zero" when the length is at most 1e-30 in magnitude.
        [[nodiscard]] std::array< index_t, 3 > sample_grid_cell_counts(
            const BoundingBox< 3 >& box, double cell_length );

        /// The "cell points" attribute of the grid's cells (empty lists by
        /// default), created when missing.
        [[nodiscard]] std::shared_ptr< VariableAttribute< CellPoints > > cell_points_attribute(
            LightRegularGrid< 3 >& grid );

        /// Appends the point to the cell points of each given cell.
        void add_point_to_cells( const LightRegularGrid< 3 >& grid,
            VariableAttribute< CellPoints >& cell_points,
            const LightRegularGrid< 3 >::CellsAroundPoint& cells,
            const Point< 3 >& point );

        /// Calls visitor(point) for every point registered in the cells of
        /// the range, cell by cell in flat index order, until the visitor
        /// returns true; returns whether it did.
        template < typename Visitor >
        bool visit_cell_points( const LightRegularGrid< 3 >& grid,
            const VariableAttribute< CellPoints >& cell_points,
            const CellRange& range,
            Visitor&& visitor )
        {
            for( auto k = range[2][0]; k < range[2][1]; k++ )
            {
                for( auto j = range[1][0]; j < range[1][1]; j++ )
                {
                    for( auto i = range[0][0]; i < range[0][1]; i++ )
                    {
                        const auto cell = grid.cell_index( { i, j, k } );
                        for( const auto& point : cell_points.value( cell ) )
                        {
                            if( visitor( point ) )
                            {
                                return true;
                            }
                        }
                    }
                }
            }
            return false;
        }

        /// The points registered in the cells around `cells` (those of the
        /// point) that lie closer than `radius` to the point, each once
        /// (a point registered in several cells included), sorted by
        /// increasing distance; points at equal distance keep their visit
        /// order, so that runs repeat exactly.
        [[nodiscard]] std::vector< Point< 3 > > cell_points_closer_than(
            const LightRegularGrid< 3 >& grid,
            const VariableAttribute< CellPoints >& cell_points,
            const LightRegularGrid< 3 >::CellsAroundPoint& cells,
            double radius,
            const Point< 3 >& point );
    } // namespace detail
} // namespace orvane
