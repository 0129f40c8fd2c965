#pragma once

#include <memory>
#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/geometry/point.hpp>

namespace orvane
{
    template < index_t dimension >
    class LightRegularGrid;
    template < index_t dimension >
    class Metric;
    template < index_t dimension >
    class SurfaceMesh;

    namespace internal
    {
        /// The size field of a conflict zone: a graded grid metric whose
        /// value near each point of the zone is the distance from that point
        /// to its nearest distinct neighbour.
        class ModelerMetric
        {
        public:
            /// Largest number of grid cells of the size field.
            static constexpr index_t MAX_NB_CELLS = 100000;
            /// Absolute margin added around the points' box on every side.
            static constexpr double BOX_MARGIN = 1.0;
            /// Neighbouring cells differ by at most one cell length.
            static constexpr double GRADATION = 2.0;

            ModelerMetric();
            ~ModelerMetric();

            /// Appends the distinct vertices of the listed polygons (first
            /// occurrence, in polygon then vertex order) and grows the box.
            void add_polygons( const SurfaceMesh< 3 >& surface,
                absl::Span< const index_t > polygons );

            /// Appends one point and grows the box.
            void add_point( const Point< 3 >& point );

            [[nodiscard]] const std::vector< Point< 3 > >& points() const
            {
                return points_;
            }

            [[nodiscard]] const BoundingBox< 3 >& box() const
            {
                return box_;
            }

            /// Builds the size field over the box grown by BOX_MARGIN and
            /// returns it; the ModelerMetric owns it and its grid. The points
            /// are consumed. Throws OpenOrvaneException "[ModelerMetric::build]
            /// No point added" when no point was added.
            const Metric< 3 >& build();

            /// The grid of the built size field (null before `build`).
            [[nodiscard]] const LightRegularGrid< 3 >* grid() const
            {
                return grid_.get();
            }

        private:
            std::vector< Point< 3 > > points_;
            BoundingBox< 3 > box_;
            std::unique_ptr< LightRegularGrid< 3 > > grid_;
            std::unique_ptr< Metric< 3 > > metric_;
        };
    } // namespace internal
} // namespace orvane
