#pragma once

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/point.hpp>

namespace orvane
{
    /// The value a metric returns where no size is requested: the largest
    /// finite double. A grid metric answers it from an element query that
    /// touches no cell and uses it as the unset value of its cells.
    inline constexpr double NO_SIZE_REQUESTED = MAX_DOUBLE;

    /// The target edge length as a field over space. Every value is a
    /// length in model units (not squared, not a density). The interface
    /// accepts any value; callers enforce positivity where they need it.
    /// Queries are const and must be safe for any number of concurrent
    /// readers while no one modifies the metric. Degenerate arguments (a
    /// flat triangle or tetrahedron, a zero-length segment) are valid.
    template < index_t dimension >
    class Metric
    {
    public:
        virtual ~Metric() = default;

        /// Target edge length at a point.
        virtual double point_metric( const Point< dimension >& point ) const = 0;

        /// Target edge length over a triangle.
        virtual double triangle_metric(
            const Triangle< dimension >& triangle ) const = 0;

        /// Target edge length along a segment.
        virtual double segment_metric(
            const Segment< dimension >& segment ) const = 0;

        /// Mean target length over the metric's support.
        virtual double mean_metric() const = 0;

        /// Median target length over the metric's support.
        virtual double median_metric() const = 0;

        /// Target edge length over a tetrahedron. The query keeps its place
        /// in the plane too, so that both dimensions share one layout.
        virtual double tetrahedron_metric(
            const Tetrahedron& tetrahedron ) const = 0;

    protected:
        Metric() = default;
        Metric( const Metric& ) = default;
        Metric& operator=( const Metric& ) = default;
    };
} // namespace orvane
