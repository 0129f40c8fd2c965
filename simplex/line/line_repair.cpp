#include <simplex/line/line_repair.hpp>

#include <algorithm>
#include <array>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/progress_logger.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/aabb.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/edged_curve_aabb.hpp>
#include <openorvane/model/brep.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>

#include <simplex/line/close_edge_visitor.hpp>
#include <simplex/line/line_remesher.hpp>
#include <simplex/line/line_split_point.hpp>
#include <simplex/metric/metric.hpp>
#include <simplex/remeshing_data.hpp>

namespace
{
    using namespace orvane;

    /// Runs `step` while it reports a change, at most `max_runs` times. A
    /// loop that settles on its last allowed run has converged: only a last
    /// run that still changed something is a failure.
    template < typename Step >
    void repeat_while_changing( index_t max_runs, const char* message, const Step& step )
    {
        for( index_t run = 0; run < max_runs; run++ )
        {
            if( !step() )
            {
                return;
            }
        }
        throw OpenOrvaneException{ message };
    }

    /// An output edge to split, with the smallest distance found between
    /// the two lines near it.
    struct EdgeEntry
    {
        index_t edge{ NO_ID };
        double distance{ 0 };
    };

    /// Deletes the inactive edges of one line. A split only leaves inactive
    /// edges in the line it names, and the repair deletes them after every
    /// split: so this does what deleting the inactive edges of every line
    /// would, without scanning every line of the model each time.
    void delete_inactive_edges( BRepGeometricModifier& modifier, const Line< 3 >& line )
    {
        modifier.line_modifier( line ).delete_inactive_edges();
    }

    /// The box around the line's vertices, each grown by the metric there.
    BoundingBox< 3 > inflated_box( const EdgedCurve< 3 >& mesh, const Metric< 3 >& metric )
    {
        BoundingBox< 3 > box;
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            const auto& point = mesh.point( v );
            const auto size = metric.point_metric( point );
            box.add_point( Point< 3 >{ { point.value( 0 ) - size, point.value( 1 ) - size,
                point.value( 2 ) - size } } );
            box.add_point( Point< 3 >{ { point.value( 0 ) + size, point.value( 1 ) + size,
                point.value( 2 ) + size } } );
        }
        return box;
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        void run_line_repair_passes( const std::function< bool() >& pass )
        {
            repeat_while_changing( MAX_LINE_REPAIR_PASSES,
                "[RepairModelLines::repair] Too many line repair occurs", pass );
        }

        void run_line_pair_iterations( const std::function< bool() >& iteration )
        {
            repeat_while_changing( MAX_LINE_PAIR_ITERATIONS,
                "[RepairModelLines::repair_line] Too many line repair occurs", iteration );
        }

        class RepairModelLines::Impl
        {
        public:
            explicit Impl( RemeshingData< BRep >& data )
                : data_( data ),
                  input_( data.input ),
                  output_( *data.output ),
                  logger_( "Repairing line intersections", output_.nb_lines() )
            {
                auto close_lines = async::spawn( [this] { find_close_lines(); } );
                try
                {
                    build_output_line_trees();
                }
                catch( ... )
                {
                    // The search reads this object: it must end first.
                    close_lines.wait();
                    throw;
                }
                close_lines.get();
            }

            void repair()
            {
                for( const auto& line : coincident_single_edge_lines() )
                {
                    const auto& input_line = input_.line( line );
                    if( split_single_edge_line( input_line ) )
                    {
                        delete_inactive_edges( data_.output_modifier, output_line( input_line ) );
                    }
                }
                run_line_repair_passes( [this] { return repair_pass(); } );
                data_.input_modifier.clean();
                data_.output_modifier.clean();
            }

            void set_remeshed_point(
                const Line< 3 >& input_line, index_t vertex, index_t unique_vertex )
            {
                if( unique_vertex >= output_.nb_unique_vertices() )
                {
                    throw OpenOrvaneException{
                        "[RepairModelLines::set_remeshed_point] Uniquer vertex does not exist" };
                }
                auto& attribute = remeshed_attributes_[input_line.id()];
                if( !attribute )
                {
                    attribute = input_line.mesh()
                                    .vertex_attribute_manager()
                                    .find_or_create_attribute< VariableAttribute, index_t >(
                                        REMESHED_LINE_ATTRIBUTE, NO_ID );
                }
                attribute->set_value( vertex, unique_vertex );
            }

        private:
            void build_output_line_trees()
            {
                for( const auto& line : output_.lines() )
                {
                    input_line_trees_.emplace( line.id(), std::nullopt );
                    output_line_trees_.emplace( line.id(), create_aabb_tree( line.mesh() ) );
                }
            }

            void find_close_lines()
            {
                std::vector< uuid > lines;
                std::vector< async::Task< BoundingBox< 3 > > > tasks;
                for( const auto& line : input_.lines() )
                {
                    lines.push_back( line.id() );
                    lines_to_repair_[line.id()] = true;
                    tasks.push_back( async::spawn( [this, id = line.id()] {
                        return inflated_box( input_.line( id ).mesh(), *data_.metric );
                    } ) );
                }
                async::wait_all( tasks );
                std::vector< BoundingBox< 3 > > boxes;
                boxes.reserve( tasks.size() );
                for( auto& task : tasks )
                {
                    boxes.push_back( task.get() );
                }
                const AABBTree< 3 > tree{ boxes };
                tree.visit_intersecting_box_pairs( [this, &lines]( index_t a, index_t b ) {
                    close_lines_[lines[a]].push_back( lines[b] );
                    close_lines_[lines[b]].push_back( lines[a] );
                    return false;
                } );
            }

            const Line< 3 >& output_line( const Line< 3 >& input_line ) const
            {
                return output_.line( output_component_id( data_, input_line.component_id() ) );
            }

            const AABBTree< 3 >& output_tree( const Line< 3 >& output_line )
            {
                auto& tree = output_line_trees_.at( output_line.id() );
                if( !tree )
                {
                    tree.emplace( create_aabb_tree( output_line.mesh() ) );
                }
                return *tree;
            }

            const AABBTree< 3 >& input_tree(
                const Line< 3 >& output_line, const Line< 3 >& input_line )
            {
                auto& tree = input_line_trees_.at( output_line.id() );
                if( !tree )
                {
                    tree.emplace( create_aabb_tree( input_line.mesh() ) );
                }
                return *tree;
            }

            /// The input lines, in model order, whose output line is one
            /// edge between the same two unique vertices as another such
            /// line's.
            std::vector< uuid > coincident_single_edge_lines() const
            {
                struct SingleEdge
                {
                    uuid input_line;
                    std::array< index_t, 2 > ends;
                };
                std::vector< SingleEdge > singles;
                for( const auto& line : input_.lines() )
                {
                    const auto& output = output_line( line );
                    const auto& mesh = output.mesh();
                    if( mesh.nb_edges() != 1 )
                    {
                        continue;
                    }
                    singles.push_back( { line.id(),
                        { output_.unique_vertex(
                              { output.component_id(), mesh.edge_vertex( { 0, 0 } ) } ),
                            output_.unique_vertex(
                                { output.component_id(), mesh.edge_vertex( { 0, 1 } ) } ) } } );
                }
                std::vector< bool > marked( singles.size(), false );
                for( index_t i = 0; i < singles.size(); i++ )
                {
                    const auto& [a0, a1] = singles[i].ends;
                    for( auto j = i + 1; j < singles.size(); j++ )
                    {
                        const auto& [b0, b1] = singles[j].ends;
                        if( ( a0 == b0 && a1 == b1 ) || ( a0 == b1 && a1 == b0 ) )
                        {
                            marked[i] = true;
                            marked[j] = true;
                        }
                    }
                }
                std::vector< uuid > result;
                for( index_t i = 0; i < singles.size(); i++ )
                {
                    if( marked[i] )
                    {
                        result.push_back( singles[i].input_line );
                    }
                }
                return result;
            }

            /// Splits the single output edge of the line at the input vertex
            /// farthest from it, when the input line has more than one edge
            /// and such a vertex lies off the edge.
            bool split_single_edge_line( const Line< 3 >& input_line )
            {
                const auto& input_mesh = input_line.mesh();
                if( input_mesh.nb_edges() == 1 )
                {
                    return false;
                }
                const auto& output = output_line( input_line );
                const auto edge = output.mesh().segment( 0 );
                const auto& [end0, end1] = edge.vertices();
                double farthest{ 0 };
                auto vertex = NO_ID;
                for( index_t v = 0; v < input_mesh.nb_vertices(); v++ )
                {
                    const auto& point = input_mesh.point( v );
                    if( input_mesh.edges_around_vertex( v ).empty()
                        || point.inexact_equal( end0 ) || point.inexact_equal( end1 ) )
                    {
                        continue;
                    }
                    const auto distance = std::get< 0 >( point_segment_distance( point, edge ) );
                    if( distance > farthest )
                    {
                        farthest = distance;
                        vertex = v;
                    }
                }
                if( vertex == NO_ID )
                {
                    return false;
                }
                const auto split =
                    data_.output_modifier.split_edge( output, 0, input_mesh.point( vertex ) );
                set_remeshed_point( input_line, vertex, split.new_unique_vertex );
                output_line_trees_.at( output.id() ).reset();
                return true;
            }

            bool repair_pass()
            {
                bool changed{ false };
                for( const auto& line : input_.lines() )
                {
                    const auto flag = lines_to_repair_.find( line.id() );
                    if( flag == lines_to_repair_.end() || !flag->second )
                    {
                        continue;
                    }
                    flag->second = false;
                    changed |= repair_line( line );
                    logger_.increment();
                }
                if( changed )
                {
                    const auto nb_flagged = std::count_if( lines_to_repair_.begin(),
                        lines_to_repair_.end(), []( const auto& entry ) { return entry.second; } );
                    for( std::ptrdiff_t step = 0; step < nb_flagged; step++ )
                    {
                        logger_.increment_nb_steps();
                    }
                }
                return changed;
            }

            bool repair_line( const Line< 3 >& line )
            {
                const auto close = close_lines_.find( line.id() );
                if( close == close_lines_.end() || close->second.empty() )
                {
                    return false;
                }
                const auto& output_p = output_line( line );
                bool changed{ false };
                for( const auto& other : close->second )
                {
                    if( other == line.id() )
                    {
                        continue;
                    }
                    const auto& input_q = input_.line( other );
                    const auto& output_q = output_line( input_q );
                    run_line_pair_iterations( [&] {
                        const bool iteration_changed =
                            repair_pair_iteration( line, input_q, output_p, output_q );
                        changed |= iteration_changed;
                        return iteration_changed;
                    } );
                }
                return changed;
            }

            /// One iteration on the pair (p, q): finds the edges of both
            /// output lines that come within the local size of the other
            /// line, splits them, and reports whether a split was made.
            bool repair_pair_iteration( const Line< 3 >& input_p,
                const Line< 3 >& input_q,
                const Line< 3 >& output_p,
                const Line< 3 >& output_q )
            {
                std::vector< EdgeEntry > edges_p;
                std::vector< EdgeEntry > edges_q;
                // Pairs already listed for q, so that each enters once; the
                // list keeps their first-found order.
                std::set< std::pair< index_t, double > > listed_q;
                const auto& mesh_p = output_p.mesh();
                const auto& mesh_q = output_q.mesh();
                for( index_t edge = 0; edge < mesh_p.nb_edges(); edge++ )
                {
                    const auto segment = mesh_p.segment( edge );
                    const auto bound = std::min(
                        data_.metric->point_metric( segment.barycenter() ), segment.length() );
                    auto query = segment.bounding_box();
                    query.extends( bound );
                    CloseEdgeVisitor visitor{ segment, mesh_q, bound };
                    output_tree( output_q ).visit_boxes_intersecting_box( query, visitor );
                    if( visitor.must_split() )
                    {
                        edges_p.push_back( { edge, visitor.smallest_distance() } );
                    }
                    for( const auto other : visitor.other_edges() )
                    {
                        if( listed_q.emplace( other, visitor.smallest_distance() ).second )
                        {
                            edges_q.push_back( { other, visitor.smallest_distance() } );
                        }
                    }
                }
                if( edges_p.empty() && edges_q.empty() )
                {
                    return false;
                }
                const bool changed_p = repair_edges( input_p, output_p, edges_p );
                const bool changed_q = repair_edges( input_q, output_q, edges_q );
                if( changed_p )
                {
                    delete_inactive_edges( data_.output_modifier, output_p );
                }
                if( changed_q )
                {
                    delete_inactive_edges( data_.output_modifier, output_q );
                }
                return changed_p || changed_q;
            }

            /// Repairs the listed edges of the output line; when one was
            /// split, flags the input line for the next pass and drops the
            /// output line's tree.
            bool repair_edges( const Line< 3 >& input_line,
                const Line< 3 >& output_line,
                const std::vector< EdgeEntry >& edges )
            {
                bool changed{ false };
                for( const auto& entry : edges )
                {
                    changed |= repair_edge( output_line, entry );
                }
                if( changed )
                {
                    lines_to_repair_[input_line.id()] = true;
                    output_line_trees_.at( output_line.id() ).reset();
                }
                return changed;
            }

            /// Splits the output edge at the point of its input line
            /// farthest from it, and links the new output vertex to an input
            /// vertex there (the existing one, or one split into the input
            /// line). False when the edge was split earlier in this
            /// iteration or when no point qualifies.
            bool repair_edge( const Line< 3 >& output_line, const EdgeEntry& entry )
            {
                if( !data_.output_modifier.line_modifier( output_line )
                         .is_edge_active( entry.edge ) )
                {
                    return false;
                }
                const auto& input_line =
                    input_.line( input_component_id( data_, output_line.component_id() ) );
                const auto point = split_point( input_, input_line,
                    input_tree( output_line, input_line ), output_line.mesh().segment( entry.edge ),
                    entry.distance );
                if( !point )
                {
                    return false;
                }
                const auto new_unique_vertex =
                    data_.output_modifier.split_edge( output_line, entry.edge, point->point )
                        .new_unique_vertex;
                const auto& input_mesh = input_line.mesh();
                if( const auto end =
                        detail::edge_vertex_at_point( input_mesh, point->edge, point->point ) )
                {
                    set_remeshed_point( input_line,
                        input_mesh.edge_vertex( { point->edge, *end } ), new_unique_vertex );
                    return true;
                }
                const auto split =
                    data_.input_modifier.split_edge( input_line, point->edge, point->point );
                set_remeshed_point(
                    input_line, split.lines.at( input_line.id() ).front(), new_unique_vertex );
                delete_inactive_edges( data_.input_modifier, input_line );
                input_line_trees_.at( output_line.id() ).reset();
                return true;
            }

        private:
            RemeshingData< BRep >& data_;
            BRep& input_;
            BRep& output_;
            ProgressLogger logger_;
            /// Per output line, the tree over its input line's edges.
            absl::flat_hash_map< uuid, std::optional< AABBTree< 3 > > > input_line_trees_;
            /// Per output line, the tree over its own edges.
            absl::flat_hash_map< uuid, std::optional< AABBTree< 3 > > > output_line_trees_;
            /// Per input line, its "remeshed_line_attribute".
            absl::flat_hash_map< uuid, std::shared_ptr< VariableAttribute< index_t > > >
                remeshed_attributes_;
            /// Per input line, the input lines that may come close to it.
            absl::flat_hash_map< uuid, std::vector< uuid > > close_lines_;
            /// The input lines the next pass repairs.
            absl::flat_hash_map< uuid, bool > lines_to_repair_;
        };

        RepairModelLines::RepairModelLines( RemeshingData< BRep >& data )
            : impl_( std::make_unique< Impl >( data ) )
        {
        }

        RepairModelLines::~RepairModelLines() = default;

        void RepairModelLines::repair()
        {
            impl_->repair();
        }

        void RepairModelLines::set_remeshed_point(
            const Line< 3 >& input_line, index_t vertex, index_t unique_vertex )
        {
            impl_->set_remeshed_point( input_line, vertex, unique_vertex );
        }
    } // namespace internal
} // namespace orvane
