#include <simplex/metric/constant_metric.hpp>

namespace orvane
{
    template < index_t dimension >
    ConstantMetric< dimension >::ConstantMetric( double value ) : value_( value )
    {
    }

    template < index_t dimension >
    ConstantMetric< dimension >::~ConstantMetric() = default;

    template < index_t dimension >
    double ConstantMetric< dimension >::point_metric(
        const Point< dimension >& /*point*/ ) const
    {
        return value_;
    }

    template < index_t dimension >
    double ConstantMetric< dimension >::triangle_metric(
        const Triangle< dimension >& /*triangle*/ ) const
    {
        return value_;
    }

    template < index_t dimension >
    double ConstantMetric< dimension >::segment_metric(
        const Segment< dimension >& /*segment*/ ) const
    {
        return value_;
    }

    template < index_t dimension >
    double ConstantMetric< dimension >::mean_metric() const
    {
        return value_;
    }

    template < index_t dimension >
    double ConstantMetric< dimension >::median_metric() const
    {
        return value_;
    }

    template < index_t dimension >
    double ConstantMetric< dimension >::tetrahedron_metric(
        const Tetrahedron& /*tetrahedron*/ ) const
    {
        return value_;
    }

    template class ConstantMetric< 2 >;
    template class ConstantMetric< 3 >;
} // namespace orvane
