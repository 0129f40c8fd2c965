#include <simplex/metric/metric_constraints.hpp>

#include <algorithm>
#include <cmath>
#include <string_view>

#include <openorvane/basic/algorithm.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/basic/progress_logger.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/corner.hpp>
#include <openorvane/model/line.hpp>
#include <openorvane/model/surface.hpp>

#include <simplex/metric/constant_metric.hpp>

namespace
{
    using namespace orvane;

    double total_length( const EdgedCurve< 3 >& curve )
    {
        double length{ 0 };
        for( index_t edge = 0; edge < curve.nb_edges(); edge++ )
        {
            length += curve.edge_length( edge );
        }
        return length;
    }

    void warn_component_clamp(
        std::string_view type, const uuid& id, double value, double cell_size )
    {
        Logger::log_warn( "The value of the metric for ", type, ": ", id.string(),
            " is: ", value, " so less than the size of a cell: ", cell_size,
            ". This metric value will therefore be replaced locally by the "
            "cell size." );
    }

    /// The value written for a free-mesh constraint: the cell size when it
    /// is larger than the constraint, with a warning.
    double free_mesh_value( std::string_view type, double value, double cell_size )
    {
        if( cell_size > value )
        {
            Logger::log_warn( "The value of the metric for one ", type, " is: ", value,
                " so less than the size of a cell: ", cell_size,
                ". This metric value will therefore be replaced locally by the "
                "cell size." );
            return cell_size;
        }
        return value;
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        template < typename Model >
        MetricConstraintsImpl< Model >::MetricConstraintsImpl( const Model& model )
            : model_( model ), box_( model.bounding_box() )
        {
        }

        template < typename Model >
        MetricConstraintsImpl< Model >::~MetricConstraintsImpl()
        {
            // The metric reads the grid: release it first.
            metric_.reset();
            grid_.reset();
        }

        template < typename Model >
        void MetricConstraintsImpl< Model >::set_default_metric( double value )
        {
            if( !std::isfinite( value ) || !( value > MIN_DEFAULT_METRIC ) )
            {
                throw OpenOrvaneException{
                    "[MetricConstraints] Metric should be larger than epsilon, "
                    "provided ",
                    value };
            }
            default_metric_ = value;
        }

        template < typename Model >
        double MetricConstraintsImpl< Model >::default_metric() const
        {
            return default_metric_;
        }

        template < typename Model >
        double MetricConstraintsImpl< Model >::gradation() const
        {
            return gradation_;
        }

        template < typename Model >
        void MetricConstraintsImpl< Model >::set_corner_constraint(
            const uuid& corner, double value )
        {
            corner_constraints_[corner] = value;
        }

        template < typename Model >
        void MetricConstraintsImpl< Model >::set_line_constraint(
            const uuid& line, double value )
        {
            line_constraints_[line] = value;
        }

        template < typename Model >
        void MetricConstraintsImpl< Model >::set_surface_constraint(
            const uuid& surface, double value )
        {
            surface_constraints_[surface] = value;
        }

        template < typename Model >
        void MetricConstraintsImpl< Model >::set_block_constraint(
            const uuid& block, double value )
        {
            block_constraints_[block] = value;
        }

        template < typename Model >
        std::optional< double > MetricConstraintsImpl< Model >::line_constraint(
            const uuid& line ) const
        {
            const auto found = line_constraints_.find( line );
            if( found == line_constraints_.end() )
            {
                return std::nullopt;
            }
            return found->second;
        }

        template < typename Model >
        void MetricConstraintsImpl< Model >::add_point_set_constraint(
            const PointSet< 3 >& points, double value )
        {
            point_set_constraints_.emplace_back( &points, value );
        }

        template < typename Model >
        void MetricConstraintsImpl< Model >::add_edged_curve_constraint(
            const EdgedCurve< 3 >& curve, double value )
        {
            edge_curve_constraints_.emplace_back( &curve, value );
        }

        template < typename Model >
        void MetricConstraintsImpl< Model >::add_triangulated_surface_constraint(
            const TriangulatedSurface< 3 >& surface, double value )
        {
            triangulated_surface_constraints_.emplace_back( &surface, value );
        }

        template < typename Model >
        std::optional< double > MetricConstraintsImpl< Model >::constant_metric() const
        {
            if( !corner_constraints_.empty() || !line_constraints_.empty()
                || !surface_constraints_.empty() || !block_constraints_.empty()
                || !point_set_constraints_.empty() || !edge_curve_constraints_.empty()
                || !triangulated_surface_constraints_.empty() )
            {
                return std::nullopt;
            }
            for( const auto& line : model_.lines() )
            {
                if( total_length( line.mesh() ) < default_metric_ )
                {
                    return std::nullopt;
                }
            }
            return default_metric_;
        }

        template < typename Model >
        void MetricConstraintsImpl< Model >::constrain_short_lines()
        {
            for( const auto& line : model_.lines() )
            {
                const auto length = total_length( line.mesh() );
                const auto found = line_constraints_.find( line.id() );
                if( found != line_constraints_.end() )
                {
                    found->second = std::min( length, found->second );
                }
                else if( length < default_metric_ )
                {
                    Logger::log_warn( "The length of one Line is less than the "
                                      "default metric, so the constraint will "
                                      "take the value of this length." );
                    line_constraints_.emplace( line.id(), length );
                }
            }
        }

        template < typename Model >
        double MetricConstraintsImpl< Model >::smallest_constraint( double start ) const
        {
            for( const auto* map : { &corner_constraints_, &line_constraints_,
                     &surface_constraints_, &block_constraints_ } )
            {
                for( const auto& entry : *map )
                {
                    start = std::min( start, entry.second );
                }
            }
            for( const auto& entry : point_set_constraints_ )
            {
                start = std::min( start, entry.second );
            }
            for( const auto& entry : edge_curve_constraints_ )
            {
                start = std::min( start, entry.second );
            }
            for( const auto& entry : triangulated_surface_constraints_ )
            {
                start = std::min( start, entry.second );
            }
            return start;
        }

        template < typename Model >
        double MetricConstraintsImpl< Model >::largest_constraint( double start ) const
        {
            for( const auto* map : { &corner_constraints_, &line_constraints_,
                     &surface_constraints_, &block_constraints_ } )
            {
                for( const auto& entry : *map )
                {
                    start = std::max( start, entry.second );
                }
            }
            for( const auto& entry : point_set_constraints_ )
            {
                start = std::max( start, entry.second );
            }
            for( const auto& entry : edge_curve_constraints_ )
            {
                start = std::max( start, entry.second );
            }
            for( const auto& entry : triangulated_surface_constraints_ )
            {
                start = std::max( start, entry.second );
            }
            return start;
        }

        template < typename Model >
        index_t MetricConstraintsImpl< Model >::nb_written_constraints() const
        {
            return static_cast< index_t >( corner_constraints_.size()
                                           + line_constraints_.size()
                                           + surface_constraints_.size()
                                           + point_set_constraints_.size()
                                           + edge_curve_constraints_.size()
                                           + triangulated_surface_constraints_.size() );
        }

        template < typename Model >
        std::unique_ptr< GridMetric< 3 > > MetricConstraintsImpl< Model >::create_metric()
        {
            ProgressLogger logger{ "Creating GridMetric", nb_written_constraints() + 1 };
            const auto target = smallest_constraint(
                default_metric_ == 0 ? MAX_DOUBLE : default_metric_ );
            auto grid = build_grid_from_bbox_target_length_and_maximum_cell_number(
                box_, target, MAX_NB_CELLS );
            // A metric made earlier reads the old grid: it goes first.
            metric_.reset();
            grid_ = std::move( grid );
            const auto default_value =
                default_metric_ == 0 ? largest_constraint( 0. ) : default_metric_;
            auto metric = create_grid_metric( default_value );
            logger.increment();

            double cell_size{ MAX_DOUBLE };
            for( const index_t d : { 0u, 1u, 2u } )
            {
                cell_size = std::min( cell_size, grid_->cell_length_in_direction( d ) );
            }
            Logger::log_warn( "If the value of the metric is less than the size "
                              "of a cell, it is currently replaced locally by "
                              "the cell size. " );
            // Sorted uuids keep the warnings in the same order on every run.
            const auto clamp = [cell_size]( std::string_view type, const uuid& id,
                                   double value ) {
                if( cell_size >= value )
                {
                    warn_component_clamp( type, id, value, cell_size );
                }
                return std::max( cell_size, value );
            };
            for( const auto& id : detail::sorted_keys( corner_constraints_ ) )
            {
                const auto value = clamp( "corner", id, corner_constraints_.at( id ) );
                metric->lower_vertices_value( model_.corner( id ).mesh(), value );
                logger.increment();
            }
            for( const auto& id : detail::sorted_keys( line_constraints_ ) )
            {
                const auto value = clamp( "line", id, line_constraints_.at( id ) );
                metric->lower_curve_value( model_.line( id ).mesh(), value );
                logger.increment();
            }
            for( const auto& id : detail::sorted_keys( surface_constraints_ ) )
            {
                const auto value = clamp( "surface", id, surface_constraints_.at( id ) );
                metric->lower_surface_value( model_.surface( id ).mesh(), value );
                logger.increment();
            }
            for( const auto& [points, value] : point_set_constraints_ )
            {
                metric->lower_vertices_value(
                    *points, free_mesh_value( "point_set", value, cell_size ) );
                logger.increment();
            }
            for( const auto& [curve, value] : edge_curve_constraints_ )
            {
                metric->lower_curve_value(
                    *curve, free_mesh_value( "edge_curve", value, cell_size ) );
                logger.increment();
            }
            for( const auto& [surface, value] : triangulated_surface_constraints_ )
            {
                metric->lower_surface_value(
                    *surface, free_mesh_value( "triangulated_surface", value, cell_size ) );
                logger.increment();
            }
            return metric;
        }

        template < typename Model >
        const Metric< 3 >& MetricConstraintsImpl< Model >::setup_metric()
        {
            if( const auto constant = constant_metric() )
            {
                metric_ = std::make_unique< ConstantMetric< 3 > >( *constant );
                return *metric_;
            }
            constrain_short_lines();
            auto grid_metric = create_metric();
            grid_metric->optimize( gradation_ );
            metric_ = std::move( grid_metric );
            return *metric_;
        }

        template < typename Model >
        const Metric< 3 >& MetricConstraintsImpl< Model >::metric() const
        {
            if( !metric_ )
            {
                throw OpenOrvaneException{
                    "[MetricConstraints::metric] No metric has been set up" };
            }
            return *metric_;
        }

        template < typename Model >
        const LightRegularGrid< 3 >* MetricConstraintsImpl< Model >::grid() const
        {
            return grid_.get();
        }

        template < typename Model >
        std::unique_ptr< GridMetric< 3 > > MetricConstraintsImpl< Model >::create_grid_metric(
            double default_value )
        {
            return std::make_unique< GridMetric< 3 > >( *grid_, default_value );
        }

        template < typename Model >
        const Model& MetricConstraintsImpl< Model >::model() const
        {
            return model_;
        }

        template < typename Model >
        const absl::flat_hash_map< uuid, double >&
            MetricConstraintsImpl< Model >::block_constraints() const
        {
            return block_constraints_;
        }

        template < typename Model >
        const LightRegularGrid< 3 >& MetricConstraintsImpl< Model >::current_grid() const
        {
            return *grid_;
        }

        template class MetricConstraintsImpl< BRep >;
    } // namespace internal
} // namespace orvane
