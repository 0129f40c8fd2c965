#pragma once

#include <simplex/metric/metric.hpp>

namespace orvane
{
    /// One edge length everywhere: every query returns the value given at
    /// construction, whatever its argument. Immutable, so safe to read from
    /// any number of threads.
    template < index_t dimension >
    class ConstantMetric : public Metric< dimension >
    {
    public:
        explicit ConstantMetric( double value );
        ~ConstantMetric() override;

        double point_metric( const Point< dimension >& point ) const override;

        double triangle_metric(
            const Triangle< dimension >& triangle ) const override;

        double segment_metric(
            const Segment< dimension >& segment ) const override;

        double mean_metric() const override;

        double median_metric() const override;

        double tetrahedron_metric(
            const Tetrahedron& tetrahedron ) const override;

        double value() const
        {
            return value_;
        }

    private:
        double value_;
    };
} // namespace orvane
