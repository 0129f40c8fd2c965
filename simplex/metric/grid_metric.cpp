#include <simplex/metric/grid_metric.hpp>

#include <algorithm>
#include <atomic>
#include <vector>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/progress_logger.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/surface_mesh.hpp>

namespace orvane
{
    class GridMetric< 3 >::Impl
    {
    public:
        Impl( const LightRegularGrid< 3 >& grid, double default_value )
            : grid_( grid ),
              values_( grid.cell_attribute_manager()
                           .find_or_create_attribute< VariableAttribute, double >(
                               ATTRIBUTE_NAME, NO_SIZE_REQUESTED ) ),
              default_value_( default_value )
        {
        }

        double value( const LightRegularGrid< 3 >::CellIndices& cell ) const
        {
            return values_->value( grid_.cell_index( cell ) );
        }

        double minimum( const RasterizedCells& cells ) const
        {
            double result{ NO_SIZE_REQUESTED };
            for( const auto& cell : cells )
            {
                result = std::min( result, value( cell ) );
            }
            return result;
        }

        /// min(cell, value) as a compare-and-swap loop, so that tasks
        /// lowering the same cell never lose an update.
        void lower( index_t cell, double value )
        {
            values_->modify_value( cell, [value]( double& stored ) {
                std::atomic_ref< double > shared{ stored };
                auto current = shared.load( std::memory_order_relaxed );
                while( value < current
                       && !shared.compare_exchange_weak(
                           current, value, std::memory_order_relaxed ) )
                {
                }
            } );
        }

        void lower( const RasterizedCells& cells, double value )
        {
            for( const auto& cell : cells )
            {
                lower( grid_.cell_index( cell ), value );
            }
        }

        void lower( const Point< 3 >& point, double value )
        {
            for( const auto& cell : grid_.cells( point ) )
            {
                lower( grid_.cell_index( cell ), value );
            }
        }

        std::vector< double > set_values() const
        {
            std::vector< double > values;
            for( index_t c = 0; c < grid_.nb_cells(); c++ )
            {
                const auto value = values_->value( c );
                if( value != NO_SIZE_REQUESTED )
                {
                    values.push_back( value );
                }
            }
            return values;
        }

        void fill()
        {
            async::parallel_for( 0, grid_.nb_cells(), [this]( index_t c ) {
                if( values_->value( c ) == NO_SIZE_REQUESTED )
                {
                    values_->set_value( c, default_value_ );
                }
            } );
        }

        /// Sweeps every line of cells parallel to the axis, each line in
        /// its own loop iteration (lines share no cell).
        void sweep( index_t axis, double gradation )
        {
            const auto n = grid_.nb_cells_in_direction( axis );
            if( n < 2 )
            {
                return;
            }
            const auto nx = grid_.nb_cells_in_direction( 0 );
            const auto ny = grid_.nb_cells_in_direction( 1 );
            const index_t stride = axis == 0 ? 1 : axis == 1 ? nx : nx * ny;
            const auto nb_lines = grid_.nb_cells() / n;
            const auto step = ( gradation - 1. ) * grid_.cell_length_in_direction( axis );
            async::parallel_for( 0, nb_lines, [&]( index_t line ) {
                index_t first;
                if( axis == 0 )
                {
                    first = line * nx;
                }
                else if( axis == 1 )
                {
                    first = line % nx + ( line / nx ) * nx * ny;
                }
                else
                {
                    first = line;
                }
                auto previous = values_->value( first );
                for( index_t k = 1; k < n; k++ )
                {
                    const auto cell = first + k * stride;
                    previous = std::min( values_->value( cell ), previous + step );
                    values_->set_value( cell, previous );
                }
                for( auto k = n - 1; k-- > 0; )
                {
                    const auto cell = first + k * stride;
                    previous = std::min( values_->value( cell ), previous + step );
                    values_->set_value( cell, previous );
                }
            } );
        }

        const LightRegularGrid< 3 >& grid_;
        std::shared_ptr< VariableAttribute< double > > values_;
        double default_value_;
    };

    GridMetric< 3 >::GridMetric(
        const LightRegularGrid< 3 >& grid, double default_value )
        : impl_( std::make_unique< Impl >( grid, default_value ) )
    {
    }

    GridMetric< 3 >::~GridMetric() = default;

    double GridMetric< 3 >::point_metric( const Point< 3 >& point ) const
    {
        const auto cells = impl_->grid_.cells( point );
        if( cells.empty() )
        {
            return impl_->default_value_;
        }
        return impl_->value( cells.front() );
    }

    double GridMetric< 3 >::triangle_metric( const Triangle< 3 >& triangle ) const
    {
        return impl_->minimum(
            conservative_rasterize_triangle( impl_->grid_, triangle ) );
    }

    double GridMetric< 3 >::segment_metric( const Segment< 3 >& segment ) const
    {
        return impl_->minimum( rasterize_segment( impl_->grid_, segment ) );
    }

    double GridMetric< 3 >::tetrahedron_metric( const Tetrahedron& tetrahedron ) const
    {
        return impl_->minimum( rasterize_tetrahedron( impl_->grid_, tetrahedron ) );
    }

    double GridMetric< 3 >::mean_metric() const
    {
        double sum{ 0 };
        index_t count{ 0 };
        for( index_t c = 0; c < impl_->grid_.nb_cells(); c++ )
        {
            const auto value = impl_->values_->value( c );
            if( value != NO_SIZE_REQUESTED )
            {
                sum += value;
                count++;
            }
        }
        return count == 0 ? NO_SIZE_REQUESTED : sum / static_cast< double >( count );
    }

    double GridMetric< 3 >::median_metric() const
    {
        auto values = impl_->set_values();
        if( values.empty() )
        {
            return NO_SIZE_REQUESTED;
        }
        const auto middle = values.begin() + static_cast< std::ptrdiff_t >( values.size() / 2 );
        std::nth_element( values.begin(), middle, values.end() );
        return *middle;
    }

    void GridMetric< 3 >::lower_point_value( const Point< 3 >& point, double value )
    {
        impl_->lower( point, value );
    }

    void GridMetric< 3 >::lower_triangle_value(
        const Triangle< 3 >& triangle, double value )
    {
        impl_->lower( conservative_rasterize_triangle( impl_->grid_, triangle ), value );
    }

    void GridMetric< 3 >::lower_segment_value( const Segment< 3 >& segment, double value )
    {
        impl_->lower( rasterize_segment( impl_->grid_, segment ), value );
    }

    void GridMetric< 3 >::lower_surface_value(
        const SurfaceMesh< 3 >& surface, double value )
    {
        async::parallel_for( 0, surface.nb_polygons(), [&]( index_t polygon ) {
            const auto vertices = surface.polygon_vertices( polygon );
            const auto& apex = surface.point( vertices[0] );
            for( std::size_t v = 1; v + 1 < vertices.size(); v++ )
            {
                lower_triangle_value( Triangle< 3 >{ apex, surface.point( vertices[v] ),
                                          surface.point( vertices[v + 1] ) },
                    value );
            }
        } );
    }

    void GridMetric< 3 >::lower_curve_value( const EdgedCurve< 3 >& curve, double value )
    {
        async::parallel_for( 0, curve.nb_edges(), [&]( index_t edge ) {
            lower_segment_value( curve.segment( edge ), value );
        } );
    }

    void GridMetric< 3 >::lower_vertices_value( const PointSet< 3 >& points, double value )
    {
        async::parallel_for( 0, points.nb_vertices(), [&]( index_t vertex ) {
            lower_point_value( points.point( vertex ), value );
        } );
    }

    void GridMetric< 3 >::lower_cells_value( const RasterizedCells& cells, double value )
    {
        impl_->lower( cells, value );
    }

    void GridMetric< 3 >::optimize( double gradation )
    {
        ProgressLogger logger{ "Optimizing GridMetric", 3 };
        impl_->fill();
        for( const index_t axis : { 0u, 1u, 2u } )
        {
            impl_->sweep( axis, gradation );
            logger.increment();
        }
    }

    const LightRegularGrid< 3 >& GridMetric< 3 >::grid() const
    {
        return impl_->grid_;
    }

    double GridMetric< 3 >::default_value() const
    {
        return impl_->default_value_;
    }
} // namespace orvane
