#pragma once

#include <array>
#include <deque>
#include <memory>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/light_regular_grid.hpp>

#include <simplex/sampling/cell_points.hpp>

namespace orvane
{
    template < index_t dimension >
    class Metric;

    namespace internal
    {
        /// A segment of a sampling front.
        struct Edge
        {
            Point< 3 > start;
            Point< 3 > end;
        };

        /// A proposed point and the surface polygon it lies on.
        struct SampleCandidate
        {
            index_t owner{ NO_ID };
            Point< 3 > point;
        };

        /// The sampling distance used for a front segment and the points it
        /// proposes.
        struct SampleCandidates
        {
            double size{ 0 };
            std::vector< SampleCandidate > candidates;
        };

        template < typename FrontElement >
        class Sampler;

        /// An advancing-front point sampler whose front is made of
        /// segments: each segment proposes candidate points, a candidate is
        /// kept when no stored point lies closer than half the sampling
        /// distance, and a kept point with at least two stored points closer
        /// than 1.5 times that distance extends the front. A regular grid of
        /// cells half the mean metric long, each listing the points stored
        /// in it, answers the proximity questions.
        ///
        /// A sampler runs `sample` once, on one thread; the metric is only
        /// read.
        template <>
        class Sampler< Edge >
        {
        public:
            using Result = absl::flat_hash_map< index_t, std::vector< Point< 3 > > >;

            virtual ~Sampler();

            /// Runs the whole sampling and moves out the kept points per
            /// owner, in order of acceptance. Throws "[Point::operator/]
            /// Cannot divide Point by something close to zero" when the mean
            /// metric is at most 1e-30 in magnitude.
            Result sample();

        protected:
            explicit Sampler( const Metric< 3 >& metric );

            /// Stores the points that exist before sampling.
            virtual void initialize() = 0;

            /// The front to start from.
            virtual std::vector< Edge > initial_queue_elements() = 0;

            virtual SampleCandidates candidate_points( const Edge& segment ) = 0;

            /// The front segments a kept point makes with its close stored
            /// points (sorted by increasing distance to it).
            virtual std::vector< Edge > new_queue_elements(
                absl::Span< const Point< 3 > > close_points,
                double size,
                const Point< 3 >& point ) = 0;

            /// The box the grid covers; points outside it are never kept.
            virtual BoundingBox< 3 > bounding_box() const = 0;

            /// Builds the grid over bounding_box(), at least one cell along
            /// each axis, and its "cell points" attribute.
            void initialize_grid();

            /// Stores the point in each of the cells.
            void add_point_to_cells(
                const LightRegularGrid< 3 >::CellsAroundPoint& cells, const Point< 3 >& point );

            /// Whether a stored point lies closer than 0.5 * size to the
            /// point (whose cells are given).
            [[nodiscard]] bool is_too_close( const LightRegularGrid< 3 >::CellsAroundPoint& cells,
                double size,
                const Point< 3 >& point ) const;

            /// The stored points closer than 1.5 * size to the point, by
            /// increasing distance.
            [[nodiscard]] std::vector< Point< 3 > > close_points(
                const LightRegularGrid< 3 >::CellsAroundPoint& cells,
                double size,
                const Point< 3 >& point ) const;

            [[nodiscard]] const LightRegularGrid< 3 >& grid() const
            {
                return *grid_;
            }

            [[nodiscard]] const std::array< int, 3 >& cells_per_axis() const
            {
                return cells_per_axis_;
            }

        protected:
            const Metric< 3 >* metric_;

        private:
            std::unique_ptr< LightRegularGrid< 3 > > grid_;
            std::array< int, 3 > cells_per_axis_{ 0, 0, 0 };
            double cell_length_{ 0 };
            std::shared_ptr< VariableAttribute< detail::CellPoints > > cell_points_;
            std::deque< Edge > front_;
            Result result_;
        };
    } // namespace internal
} // namespace orvane
