#pragma once

#include <memory>

#include <simplex/metric/metric_constraints.hpp>

namespace orvane
{
    class BRep;

    /// The metric constraints of a model: its default metric, its short
    /// lines and the constraints set on its components, turned into the
    /// metric the remeshing reads. The work is done by the implementation
    /// object, which callers may build directly.
    class BRepMetricConstraints
    {
    public:
        class Impl;

        explicit BRepMetricConstraints( const BRep& model );
        ~BRepMetricConstraints();

        Impl& impl();
        const Impl& impl() const;

    private:
        std::unique_ptr< Impl > impl_;
    };

    /// The constraints of a model whose grid metrics also honour the block
    /// constraints: each block's closed boundary is rasterised with its
    /// interior and its cells lowered to the block's value (neither clamped
    /// to the cell size nor warned about).
    class BRepMetricConstraints::Impl
        : public internal::JsonMetricConstraintsImpl< BRep >,
          public internal::MetricConstraintsImpl< BRep >
    {
    public:
        explicit Impl( const BRep& model );
        ~Impl() override;

    protected:
        std::unique_ptr< GridMetric< 3 > > create_grid_metric(
            double default_value ) override;
    };
} // namespace orvane
