#pragma once

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/uuid.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/mesh/light_regular_grid.hpp>

#include <simplex/metric/grid_metric.hpp>

namespace orvane
{
    template < index_t dimension >
    class EdgedCurve;
    template < index_t dimension >
    class PointSet;
    template < index_t dimension >
    class TriangulatedSurface;

    namespace internal
    {
        /// Size constraints on a model, per component and per free mesh,
        /// and the choice of the metric they call for: one constant size
        /// when nothing constrains the size and no line is shorter than the
        /// default, otherwise a grid metric over the model's box with every
        /// constraint written into its cells (graded later by the caller).
        ///
        /// The model and the free meshes are borrowed. The grid of a grid
        /// metric is owned here, so a grid metric made here must not outlive
        /// this object.
        template < typename Model >
        class MetricConstraintsImpl
        {
        public:
            /// Grid cells at most, for the grid metric.
            static constexpr index_t MAX_NB_CELLS = 10'000'000;
            /// Smallest default metric accepted (exclusive).
            static constexpr double MIN_DEFAULT_METRIC = GLOBAL_EPSILON;

            /// Takes the model's bounding box now; default metric 0,
            /// gradation 1.2, no constraint, no metric, no grid.
            explicit MetricConstraintsImpl( const Model& model );
            virtual ~MetricConstraintsImpl();

            /// Throws OpenOrvaneException "[MetricConstraints] Metric should
            /// be larger than epsilon, provided <value>" unless the value is
            /// a finite number above 1e-6 (NaN and infinities refused).
            void set_default_metric( double value );

            double default_metric() const;

            double gradation() const;

            /// Component constraints: the target length of a component,
            /// replacing any earlier one.
            void set_corner_constraint( const uuid& corner, double value );
            void set_line_constraint( const uuid& line, double value );
            void set_surface_constraint( const uuid& surface, double value );
            void set_block_constraint( const uuid& block, double value );

            std::optional< double > line_constraint( const uuid& line ) const;

            /// Free-mesh constraints, in the order added; the meshes are the
            /// caller's and must stay alive until create_metric() returns.
            void add_point_set_constraint( const PointSet< 3 >& points, double value );
            void add_edged_curve_constraint( const EdgedCurve< 3 >& curve, double value );
            void add_triangulated_surface_constraint(
                const TriangulatedSurface< 3 >& surface, double value );

            /// The default metric when no constraint is set and no line is
            /// shorter than it (the total length of its edges); nothing
            /// otherwise.
            std::optional< double > constant_metric() const;

            /// Tightens the constraint of every line to its total length, and
            /// gives every unconstrained line shorter than the default metric
            /// a constraint of its length, with a warning.
            void constrain_short_lines();

            /// A grid metric over the model's box (at most MAX_NB_CELLS
            /// cells of about the smallest target length, the grid kept
            /// here) holding every constraint, each at least the smallest
            /// cell length, with warnings where a value is raised. Reports
            /// its steps under "Creating GridMetric".
            std::unique_ptr< GridMetric< 3 > > create_metric();

            /// The metric chosen as the model's: a constant metric when
            /// constant_metric() gives a value, otherwise a grid metric from
            /// constrain_short_lines(), create_metric() and an optimisation
            /// with the gradation. It replaces any earlier one.
            const Metric< 3 >& setup_metric();

            /// The metric chosen last; throws OpenOrvaneException when
            /// there is none yet.
            const Metric< 3 >& metric() const;

            /// The grid of the last grid metric, or null.
            const LightRegularGrid< 3 >* grid() const;

        protected:
            /// A new grid metric on the grid with the default value.
            virtual std::unique_ptr< GridMetric< 3 > > create_grid_metric(
                double default_value );

            const Model& model() const;

            const absl::flat_hash_map< uuid, double >& block_constraints() const;

            const LightRegularGrid< 3 >& current_grid() const;

        private:
            double smallest_constraint( double start ) const;
            double largest_constraint( double start ) const;
            index_t nb_written_constraints() const;

        private:
            const Model& model_;
            BoundingBox< 3 > box_;
            double default_metric_{ 0 };
            double gradation_{ 1.2 };
            absl::flat_hash_map< uuid, double > corner_constraints_;
            absl::flat_hash_map< uuid, double > line_constraints_;
            absl::flat_hash_map< uuid, double > surface_constraints_;
            absl::flat_hash_map< uuid, double > block_constraints_;
            std::vector< std::pair< const PointSet< 3 >*, double > >
                point_set_constraints_;
            std::vector< std::pair< const EdgedCurve< 3 >*, double > >
                edge_curve_constraints_;
            std::vector< std::pair< const TriangulatedSurface< 3 >*, double > >
                triangulated_surface_constraints_;
            std::unique_ptr< Metric< 3 > > metric_;
            std::unique_ptr< LightRegularGrid< 3 > > grid_;
        };

        /// The serialisable face of the constraints; it adds nothing here.
        template < typename Model >
        class JsonMetricConstraintsImpl
        {
        };
    } // namespace internal
} // namespace orvane
