#pragma once

#include <array>
#include <memory>
#include <optional>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/geometry/point.hpp>

namespace orvane
{
    /// A regular grid of axis-aligned cells: an origin, a number of cells
    /// and a cell length per axis, and attributes on the cells. It stores no
    /// geometry per cell.
    ///
    /// Cell (i, j, k) has the flat index i + nx * (j + ny * k). Its closed
    /// box spans, along each axis d, from cell_coordinate(d, i) to
    /// cell_coordinate(d, i + 1); every geometric answer of the grid (cells
    /// of a point, rasterisations, converted solids) uses these same bounds,
    /// so a point on a shared face belongs to both cells.
    ///
    /// The cell attribute manager is reachable from a const grid: the grid's
    /// geometry is immutable, and its attributes are the data that users
    /// such as metrics attach to it.
    template < index_t dimension >
    class LightRegularGrid
    {
    public:
        using CellIndices = std::array< index_t, dimension >;
        using CellsAroundPoint = absl::InlinedVector< CellIndices, 8 >;

        /// Throws OpenOrvaneException when a cell count is 0, a cell length
        /// is not a positive finite number, a coordinate of the origin is
        /// not finite, or the number of cells does not fit an index_t.
        LightRegularGrid( const Point< dimension >& origin,
            const std::array< index_t, dimension >& cells_number,
            const std::array< double, dimension >& cells_length );
        ~LightRegularGrid();
        LightRegularGrid( LightRegularGrid&& other ) noexcept;
        LightRegularGrid& operator=( LightRegularGrid&& other ) noexcept;

        index_t nb_cells() const;

        index_t nb_cells_in_direction( index_t direction ) const;

        double cell_length_in_direction( index_t direction ) const;

        const Point< dimension >& origin() const;

        /// The coordinate of the cell boundary `boundary` (0 to the number
        /// of cells) along the axis: origin + boundary * length.
        double cell_coordinate( index_t direction, index_t boundary ) const;

        index_t cell_index( const CellIndices& indices ) const;

        CellIndices cell_indices( index_t index ) const;

        /// The closed box of the cell.
        BoundingBox< dimension > cell_bounding_box(
            const CellIndices& indices ) const;

        Point< dimension > cell_barycenter( const CellIndices& indices ) const;

        /// The box of the whole grid.
        BoundingBox< dimension > grid_bounding_box() const;

        /// Every cell whose closed box holds the point, in increasing flat
        /// index: one inside a cell, two on a face, four on an edge, eight on
        /// a corner; nothing outside the grid.
        CellsAroundPoint cells( const Point< dimension >& point ) const;

        /// The range [first, last] of cells along the axis whose closed
        /// extent meets the closed interval [low, high], or nothing when the
        /// interval misses the grid (or is not a number).
        std::optional< std::array< index_t, 2 > > cell_range(
            index_t direction, double low, double high ) const;

        AttributeManager& cell_attribute_manager() const;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };

    /// A grid over the box whose cells approach the target length with at
    /// most `max_nb_cells` cells:
    /// - along each axis n = max(1, ceil(extent / target)) cells of length
    ///   extent / n;
    /// - while the product of the counts exceeds `max_nb_cells`, the target
    ///   is multiplied by the cube root of the excess ratio and the counts
    ///   recomputed;
    /// - an axis whose extent is at most GLOBAL_EPSILON (flat box) gets one
    ///   cell of the (final) target length centred on the box, so that no
    ///   cell length is ever zero.
    /// Throws OpenOrvaneException when the box is empty or not finite, the
    /// target is not a positive finite number or `max_nb_cells` is 0.
    std::unique_ptr< LightRegularGrid< 3 > >
        build_grid_from_bbox_target_length_and_maximum_cell_number(
            const BoundingBox< 3 >& box, double target_length, index_t max_nb_cells );
} // namespace orvane
