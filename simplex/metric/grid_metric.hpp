#pragma once

#include <memory>

#include <openorvane/mesh/grid_rasterization.hpp>
#include <openorvane/mesh/light_regular_grid.hpp>

#include <simplex/metric/metric.hpp>

namespace orvane
{
    template < index_t dimension >
    class EdgedCurve;
    template < index_t dimension >
    class PointSet;
    template < index_t dimension >
    class SurfaceMesh;

    template < index_t dimension >
    class GridMetric;

    /// A target edge length per cell of a regular grid, kept in the grid's
    /// cell attribute "metric" (unset cells hold NO_SIZE_REQUESTED).
    ///
    /// Sizes are written by lowering cells, a cell only ever getting
    /// smaller, then graded once by optimize(). The grid is borrowed: it
    /// must outlive the metric, and the attribute stays on the grid after
    /// the metric is destroyed.
    ///
    /// Queries are const and may run concurrently. The setters may run
    /// concurrently with one another (each cell update is an atomic
    /// minimum), but not with optimize() or with the queries.
    template <>
    class GridMetric< 3 > : public Metric< 3 >
    {
    public:
        /// Name of the cell attribute holding the sizes.
        static constexpr const char* ATTRIBUTE_NAME = "metric";

        /// Every cell starts unset (or keeps the values of an existing
        /// "metric" attribute of the grid). `default_value` is answered
        /// outside the grid and given to unset cells by optimize().
        GridMetric( const LightRegularGrid< 3 >& grid, double default_value );
        ~GridMetric() override;

        /// The value of the first cell (lowest index) whose closed box holds
        /// the point; the default value outside the grid.
        double point_metric( const Point< 3 >& point ) const override;

        /// The smallest value over the cells the triangle meets;
        /// NO_SIZE_REQUESTED when it meets none.
        double triangle_metric( const Triangle< 3 >& triangle ) const override;

        /// The smallest value over the cells the segment meets;
        /// NO_SIZE_REQUESTED when it meets none.
        double segment_metric( const Segment< 3 >& segment ) const override;

        /// The mean of the set cell values, in cell order;
        /// NO_SIZE_REQUESTED when no cell is set.
        double mean_metric() const override;

        /// The set cell value at rank count / 2 in increasing order (the
        /// upper middle for an even count); NO_SIZE_REQUESTED when no cell
        /// is set.
        double median_metric() const override;

        /// The smallest value over the cells the tetrahedron meets;
        /// NO_SIZE_REQUESTED when it meets none.
        double tetrahedron_metric( const Tetrahedron& tetrahedron ) const override;

        /// Lowers every cell holding the point to min(cell, value).
        void lower_point_value( const Point< 3 >& point, double value );

        /// Lowers every cell the triangle meets.
        void lower_triangle_value( const Triangle< 3 >& triangle, double value );

        /// Lowers every cell the segment meets.
        void lower_segment_value( const Segment< 3 >& segment, double value );

        /// Lowers the cells of every triangle of the surface (a polygon is
        /// taken as the fan of its triangles from its first vertex), with a
        /// parallel loop over the polygons.
        void lower_surface_value( const SurfaceMesh< 3 >& surface, double value );

        /// Lowers the cells of every edge of the curve, in parallel.
        void lower_curve_value( const EdgedCurve< 3 >& curve, double value );

        /// Lowers the cells of every vertex of the point set, in parallel.
        void lower_vertices_value( const PointSet< 3 >& points, double value );

        /// Lowers each listed cell.
        void lower_cells_value( const RasterizedCells& cells, double value );

        /// Fills the unset cells with the default value, then grades the
        /// field: one sweep per axis (x, y, z), forward and backward along
        /// every line of cells, so that no cell exceeds a face neighbour by
        /// more than (gradation - 1) times the cell length along their axis.
        /// Reports its steps under "Optimizing GridMetric".
        void optimize( double gradation );

        const LightRegularGrid< 3 >& grid() const;

        double default_value() const;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };
} // namespace orvane
