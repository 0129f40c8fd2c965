#include <simplex/metric/brep_metric_constraints.hpp>

#include <openorvane/basic/algorithm.hpp>
#include <openorvane/mesh/grid_rasterization.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/block.hpp>
#include <openorvane/model/brep.hpp>

#include <simplex/metric/brep_grid_metric.hpp>

namespace orvane
{
    BRepMetricConstraints::BRepMetricConstraints( const BRep& model )
        : impl_( std::make_unique< Impl >( model ) )
    {
    }

    BRepMetricConstraints::~BRepMetricConstraints() = default;

    BRepMetricConstraints::Impl& BRepMetricConstraints::impl()
    {
        return *impl_;
    }

    const BRepMetricConstraints::Impl& BRepMetricConstraints::impl() const
    {
        return *impl_;
    }

    BRepMetricConstraints::Impl::Impl( const BRep& model )
        : internal::MetricConstraintsImpl< BRep >( model )
    {
    }

    BRepMetricConstraints::Impl::~Impl() = default;

    std::unique_ptr< GridMetric< 3 > > BRepMetricConstraints::Impl::create_grid_metric(
        double default_value )
    {
        auto metric =
            std::make_unique< BRepGridMetric >( current_grid(), default_value, model() );
        for( const auto& id : detail::sorted_keys( block_constraints() ) )
        {
            const auto boundary =
                metric->block_boundary_surface( model().block( id ) );
            metric->lower_cells_value(
                rasterize_closed_surface( current_grid(), *boundary ),
                block_constraints().at( id ) );
        }
        return metric;
    }
} // namespace orvane
