#include <simplex/line/line_relaxer.hpp>

#include <deque>
#include <memory>
#include <utility>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/progress_logger.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/surface_mesh.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>
#include <common/modifier/brep_geometric_modifier_previews.hpp>

#include <simplex/metric/metric.hpp>
#include <simplex/remeshing_data.hpp>

namespace
{
    using namespace orvane;

    constexpr char METRIC_STAMP[] = "metric stamp";
    constexpr char SMOOTH_STAMP[] = "smooth stamp";
    constexpr char FIXED[] = "fixed";
    /// The stamp of a vertex removed by a collapse: no entry matches it.
    constexpr index_t RETIRED = NO_ID;
    /// An edge shorter than this share of the metric is collapsed.
    constexpr double SHORT_EDGE_RATIO = 0.5;
    /// A vertex moves only when its target is farther than this share of
    /// its mean edge length...
    constexpr double MIN_MOVE_RATIO = 0.05;
    /// ...and nearer than this share to where it stood at the pass start.
    constexpr double MAX_MOVE_RATIO = 0.3;
    constexpr double DIVISION_GUARD = 1e-30;

    using QueueEntry = std::pair< index_t, index_t >;

    /// Removes the working attributes from the line mesh, however the
    /// relaxation of the line ends.
    class AttributeRemover
    {
    public:
        explicit AttributeRemover( const EdgedCurve< 3 >& mesh ) : mesh_( mesh ) {}

        AttributeRemover( const AttributeRemover& ) = delete;
        AttributeRemover& operator=( const AttributeRemover& ) = delete;

        ~AttributeRemover()
        {
            auto& manager = mesh_.vertex_attribute_manager();
            for( const auto* name : { METRIC_STAMP, SMOOTH_STAMP, FIXED } )
            {
                if( manager.attribute_exists( name ) )
                {
                    manager.delete_attribute( name );
                }
            }
        }

    private:
        const EdgedCurve< 3 >& mesh_;
    };

    /// The relaxation of one line.
    class LineRelaxer
    {
    public:
        LineRelaxer( BRep& model,
            BRepGeometricModifier& modifier,
            const Metric< 3 >* metric,
            const Line< 3 >& line )
            : model_( model ),
              modifier_( modifier ),
              metric_( metric ),
              line_( line ),
              mesh_( line.mesh() ),
              edge_count_( mesh_.nb_edges() ),
              closed_( model.is_closed( line ) ),
              metric_stamp_( mesh_.vertex_attribute_manager()
                                 .find_or_create_attribute< VariableAttribute, index_t >(
                                     METRIC_STAMP, 0 ) ),
              smooth_stamp_( mesh_.vertex_attribute_manager()
                                 .find_or_create_attribute< VariableAttribute, index_t >(
                                     SMOOTH_STAMP, 0 ) ),
              fixed_( mesh_.vertex_attribute_manager()
                          .find_or_create_attribute< VariableAttribute, bool >( FIXED, false ) )
        {
        }

        void relax()
        {
            initialize();
            do
            {
                if( metric_ )
                {
                    process_collapse_queue();
                }
                smoothing_pass();
            } while( ( metric_ && !collapse_queue_.empty() ) || !smoothing_queue_.empty() );
        }

    private:
        void initialize()
        {
            for( index_t v = 0; v < mesh_.nb_vertices(); v++ )
            {
                if( mesh_.is_vertex_isolated( v ) )
                {
                    continue;
                }
                const auto unique_vertex = model_.unique_vertex( { line_.component_id(), v } );
                if( unique_vertex != NO_ID
                    && model_.has_component_mesh_vertices(
                        unique_vertex, Corner< 3 >::component_type_static() ) )
                {
                    fixed_->set_value( v, true );
                }
                else if( !fixed_->value( v ) )
                {
                    requeue_vertex( v );
                }
            }
        }

        void requeue_vertex( index_t vertex )
        {
            if( fixed_->value( vertex ) )
            {
                return;
            }
            if( metric_ )
            {
                collapse_queue_.emplace_back( vertex, push_stamp( *metric_stamp_, vertex ) );
            }
            smoothing_queue_.emplace_back( vertex, push_stamp( *smooth_stamp_, vertex ) );
        }

        static index_t push_stamp( VariableAttribute< index_t >& stamps, index_t vertex )
        {
            const auto stamp = stamps.value( vertex ) + 1;
            stamps.set_value( vertex, stamp );
            return stamp;
        }

        void retire( index_t vertex )
        {
            fixed_->set_value( vertex, true );
            metric_stamp_->set_value( vertex, RETIRED );
            smooth_stamp_->set_value( vertex, RETIRED );
        }

        bool is_current( const QueueEntry& entry, const VariableAttribute< index_t >& stamps ) const
        {
            const auto [vertex, stamp] = entry;
            return stamp == stamps.value( vertex ) && !fixed_->value( vertex )
                   && mesh_.edges_around_vertex( vertex ).size() == 2;
        }

        void process_collapse_queue()
        {
            while( !collapse_queue_.empty() )
            {
                const auto entry = collapse_queue_.front();
                collapse_queue_.pop_front();
                if( !is_current( entry, *metric_stamp_ ) )
                {
                    continue;
                }
                // A triangle-shaped closed line keeps its three vertices.
                if( closed_ && edge_count_ == 3 )
                {
                    continue;
                }
                if( edge_count_ <= 2 && touches_lone_surface_polygon( entry.first ) )
                {
                    continue;
                }
                collapse_short_edge( entry.first );
            }
        }

        /// Whether a surface vertex of the line vertex has at most one
        /// polygon around it.
        bool touches_lone_surface_polygon( index_t vertex ) const
        {
            const auto unique_vertex = model_.unique_vertex( { line_.component_id(), vertex } );
            if( unique_vertex == NO_ID )
            {
                return false;
            }
            for( const auto& component_vertex : model_.component_mesh_vertices(
                     unique_vertex, Surface< 3 >::component_type_static() ) )
            {
                const auto& surface_mesh =
                    model_.surface( component_vertex.component_id.id() ).mesh();
                if( surface_mesh.polygons_around_vertex( component_vertex.vertex ).size() <= 1 )
                {
                    return true;
                }
            }
            return false;
        }

        void collapse_short_edge( index_t vertex )
        {
            const auto limit = SHORT_EDGE_RATIO * metric_->point_metric( mesh_.point( vertex ) );
            const auto around = mesh_.edges_around_vertex( vertex );
            for( const auto& edge_vertex : around )
            {
                const auto edge = edge_vertex.edge_id;
                if( !( mesh_.edge_length( edge ) < limit ) )
                {
                    continue;
                }
                const auto kept = mesh_.edge_vertex( edge_vertex.opposite() );
                const auto point = mesh_.point( kept );
                const auto edges = component_mesh_edges( model_, line_, edge );
                if( !is_collapse_edge_valid( model_, edges, point )
                    || internal::has_degenerate_elements(
                        model_, elements_after_collapse_edge( model_, edges, point ) ) )
                {
                    continue;
                }
                const auto unique_vertices = edge_unique_vertices( model_, line_, edge );
                const auto info = modifier_.collapse_edge( edges, unique_vertices, point );
                edge_count_--;
                const auto kept_fixed = fixed_->value( kept );
                for( const auto& record : info.lines.at( line_.id() ) )
                {
                    if( kept_fixed )
                    {
                        retire( record.new_vertex );
                    }
                    else
                    {
                        requeue_vertex( record.new_vertex );
                    }
                }
                retire( vertex );
                retire( kept );
                return;
            }
        }

        void smoothing_pass()
        {
            if( smoothing_queue_.empty() )
            {
                return;
            }
            absl::InlinedVector< Point< 3 >, 10 > start_points;
            start_points.reserve( mesh_.nb_vertices() );
            for( index_t v = 0; v < mesh_.nb_vertices(); v++ )
            {
                start_points.push_back( mesh_.point( v ) );
            }
            while( !smoothing_queue_.empty() )
            {
                const auto entry = smoothing_queue_.front();
                smoothing_queue_.pop_front();
                if( !is_current( entry, *smooth_stamp_ ) )
                {
                    continue;
                }
                smooth_vertex( entry.first, start_points[entry.first] );
            }
        }

        void smooth_vertex( index_t vertex, const Point< 3 >& start_point )
        {
            const auto& around = mesh_.edges_around_vertex( vertex );
            const auto first = mesh_.edge_vertex( around.front().opposite() );
            const auto second = mesh_.edge_vertex( around.back().opposite() );
            const auto& point = mesh_.point( vertex );
            const auto first_distance = point_point_distance( mesh_.point( first ), point );
            const auto second_distance = point_point_distance( mesh_.point( second ), point );
            const auto mean = ( first_distance + second_distance ) / 2;
            const auto& farther = mesh_.point( first_distance > mean ? first : second );
            const auto direction = point - farther;
            const auto direction_length = point_point_distance( farther, point );
            if( direction_length <= DIVISION_GUARD )
            {
                // Both edges have zero length: no direction to slide along.
                return;
            }
            const auto target = farther + direction * ( mean / direction_length );
            const auto sum = first_distance + second_distance;
            if( point_point_distance( point, target ) <= MIN_MOVE_RATIO * sum / 2
                || point_point_distance( start_point, target ) >= MAX_MOVE_RATIO * sum / 2 )
            {
                return;
            }
            const auto unique_vertex = model_.unique_vertex( { line_.component_id(), vertex } );
            if( unique_vertex == NO_ID || !is_move_vertex_valid( model_, unique_vertex, target ) )
            {
                return;
            }
            modifier_.move_unique_vertex( unique_vertex, target );
            requeue_vertex( vertex );
            requeue_vertex( first );
            requeue_vertex( second );
        }

    private:
        BRep& model_;
        BRepGeometricModifier& modifier_;
        const Metric< 3 >* metric_;
        const Line< 3 >& line_;
        const EdgedCurve< 3 >& mesh_;
        index_t edge_count_;
        bool closed_;
        std::shared_ptr< VariableAttribute< index_t > > metric_stamp_;
        std::shared_ptr< VariableAttribute< index_t > > smooth_stamp_;
        std::shared_ptr< VariableAttribute< bool > > fixed_;
        std::deque< QueueEntry > collapse_queue_;
        std::deque< QueueEntry > smoothing_queue_;
    };
} // namespace

namespace orvane
{
    namespace internal
    {
        void relax_lines( BRep& model, BRepGeometricModifier& modifier, const Metric< 3 >* metric )
        {
            ProgressLogger logger{ "Relaxing Lines", model.nb_lines() };
            for( const auto& line : model.lines() )
            {
                const AttributeRemover remover{ line.mesh() };
                LineRelaxer relaxer{ model, modifier, metric, line };
                relaxer.relax();
                logger.increment();
            }
        }
    } // namespace internal
} // namespace orvane
