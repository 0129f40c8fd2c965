#include <simplex/line/line_remesher.hpp>

#include <algorithm>
#include <string>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/progress_logger.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/intersection.hpp>
#include <openorvane/mesh/edged_curve.hpp>

#include <simplex/metric/metric.hpp>
#include <simplex/remeshing_data.hpp>

namespace
{
    using namespace orvane;

    /// Share of the metric by which an input vertex may stray from a chord
    /// before it is kept as an output vertex.
    constexpr double DEVIATION_RATIO = 0.05;
    /// A candidate point nearer the end than this share of the metric there
    /// is dropped, and the last edge reaches the end directly.
    constexpr double END_RATIO = 0.5;
    /// The end test is only made when the arc length left to the end is at
    /// most this many metrics: a line passing near its own end (a hook, a
    /// spiral) keeps its whole shape.
    constexpr double END_ARC_RATIO = 1.0;
    /// A path between two points longer than this many times their chord
    /// is looked at for a loop.
    constexpr double LOOP_PATH_RATIO = 4.0;
    /// On such a path, a vertex whose path length from the last point
    /// exceeds this many times its straight distance is kept.
    constexpr double LOOP_VERTEX_RATIO = 3.0;

    index_t nb_used_edges( const EdgedCurve< 3 >& mesh, index_t vertex )
    {
        return static_cast< index_t >( mesh.edges_around_vertex( vertex ).size() );
    }

    /// The line's mesh vertices at the corner (sharing its unique vertex).
    std::vector< index_t > corner_line_vertices(
        const BRep& model, const Corner< 3 >& corner, const Line< 3 >& line )
    {
        const auto unique_vertex = model.unique_vertex( { corner.component_id(), 0 } );
        if( unique_vertex == NO_ID )
        {
            return {};
        }
        return model.mesh_component_vertices( unique_vertex, line.id() );
    }

    /// Output unique vertex for an input line vertex lying at an output
    /// vertex: the output corner's when the input vertex is on a corner,
    /// otherwise a new one.
    index_t output_unique_vertex_at(
        RemeshingData< BRep >& data, const Line< 3 >& line, index_t input_vertex )
    {
        const auto unique_vertex =
            data.input.unique_vertex( { line.component_id(), input_vertex } );
        if( unique_vertex != NO_ID )
        {
            for( const auto& component_vertex :
                data.input.component_mesh_vertices( unique_vertex ) )
            {
                if( component_vertex.component_id.type()
                    == Corner< 3 >::component_type_static() )
                {
                    const auto output_corner =
                        internal::output_component_id( data, component_vertex.component_id );
                    return data.output->unique_vertex(
                        { { Corner< 3 >::component_type_static(), output_corner }, 0 } );
                }
            }
        }
        return data.output_builder.create_unique_vertex();
    }

    /// Inserts the point at its place in an edge's queue: before the first
    /// entry that is not nearer the edge's vertex 0.
    void insert_ordered( internal::EdgePoints& edge_points,
        const EdgedCurve< 3 >& mesh,
        index_t edge,
        const Point< 3 >& point,
        index_t vertex )
    {
        const auto& origin = mesh.point( mesh.edge_vertex( { edge, 0 } ) );
        const auto distance = point_point_distance( origin, point );
        auto& queue = edge_points[edge];
        const auto position = std::lower_bound( queue.begin(), queue.end(), distance,
            [&origin]( const internal::EdgePoint& entry, double value ) {
                return point_point_distance( origin, entry.point ) < value;
            } );
        queue.insert( position, { point, vertex } );
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        std::pair< EdgeVertex, EdgeVertex > line_extremities(
            const BRep& model, const Line< 3 >& line )
        {
            const auto& mesh = line.mesh();
            if( model.nb_boundaries( line.id() ) != 0 )
            {
                std::vector< EdgeVertex > found;
                for( const auto& corner : model.boundaries( line ) )
                {
                    const auto vertices = corner_line_vertices( model, corner, line );
                    if( vertices.size() == 1 )
                    {
                        const auto& around = mesh.edges_around_vertex( vertices[0] );
                        if( around.size() == 1 )
                        {
                            found.push_back( around[0] );
                            continue;
                        }
                        if( around.size() == 2 )
                        {
                            return { around.front(), around.back() };
                        }
                        throw OpenOrvaneException{
                            "[line_extremities] Only one or two edges should be on the corner"
                        };
                    }
                    if( vertices.size() == 2 )
                    {
                        if( nb_used_edges( mesh, vertices[0] ) == 1
                            && nb_used_edges( mesh, vertices[1] ) == 1 )
                        {
                            return { mesh.edges_around_vertex( vertices[0] )[0],
                                mesh.edges_around_vertex( vertices[1] )[0] };
                        }
                        throw OpenOrvaneException{
                            "[line_extremities] Only one edge should be on the corner"
                        };
                    }
                    throw OpenOrvaneException{
                        "[line_extremities] Only one vertex should be on the corner"
                    };
                }
                if( found.size() != 2 )
                {
                    // A single corner at a line end with another free end:
                    // there is no second extremity to remesh towards.
                    throw OpenOrvaneException{ "[line_extremities] Line ", line.id().string(),
                        " has one boundary corner holding one of its ends and a "
                        "free other end: a line must end at two corners or close "
                        "through its corner" };
                }
                return { found[0], found[1] };
            }
            std::vector< EdgeVertex > ends;
            for( index_t v = 0; v < mesh.nb_vertices() && ends.size() < 2; v++ )
            {
                if( nb_used_edges( mesh, v ) == 1 )
                {
                    ends.push_back( mesh.edges_around_vertex( v )[0] );
                }
            }
            if( ends.size() == 2 )
            {
                return { ends[0], ends[1] };
            }
            if( ends.size() == 1 )
            {
                throw OpenOrvaneException{ "[line_extremities] Only one extremity found" };
            }
            if( mesh.nb_vertices() == 0 || mesh.edges_around_vertex( 0 ).empty() )
            {
                throw OpenOrvaneException{ "[line_extremities] Line ", line.id().string(),
                    " has no edge at its vertex 0 and no free end" };
            }
            const auto& around = mesh.edges_around_vertex( 0 );
            return { around.front(), around.back() };
        }

        LocalLineRemesher::LocalLineRemesher( const Metric< 3 >& metric,
            const Line< 3 >& input_line,
            const Line< 3 >& output_line,
            const LineExtremity& first,
            const LineExtremity& second,
            index_t min_nb_vertices )
            : metric_( metric ),
              mesh_( input_line.mesh() ),
              first_( first ),
              second_( second ),
              min_nb_vertices_( min_nb_vertices ),
              base_( first.output_vertex == second.output_vertex ? 1 : 2 ),
              input_line_( input_line.id() ),
              output_line_( output_line.id() )
        {
            for( index_t edge = 0; edge < mesh_.nb_edges(); edge++ )
            {
                total_length_ += mesh_.edge_length( edge );
            }
        }

        LocalLineRemesher::Output LocalLineRemesher::remesh()
        {
            compute_line_points( [this]( const EdgeVertex& s, const EdgeVertex& t ) {
                return metric_step( s, t );
            } );
            if( points_.size() + 1 < min_nb_vertices_ )
            {
                const auto step = total_length_ / ( min_nb_vertices_ - 1 );
                if( step == 0 )
                {
                    throw OpenOrvaneException{
                        "[LocalLineRemesher] Found a Line of null length"
                    };
                }
                compute_line_points( [this, step]( const EdgeVertex& s, const EdgeVertex& t ) {
                    return uniform_step( s, t, step );
                } );
            }
            Output output;
            output.points = std::move( points_ );
            output.result.input_line = input_line_;
            output.result.output_line = output_line_;
            output.result.edge_points = std::move( edge_points_ );
            return output;
        }

        void LocalLineRemesher::create_edges(
            EdgedCurveBuilder< 3 >& builder, const std::vector< Point< 3 > >& points ) const
        {
            const auto start = first_.output_vertex;
            const auto end = second_.output_vertex;
            const auto nb_points = static_cast< index_t >( points.size() );
            if( nb_points < 2 )
            {
                builder.create_edge( start, end );
                return;
            }
            const auto first_new = builder.create_vertices( nb_points - 1 );
            for( index_t p = 1; p < nb_points; p++ )
            {
                builder.set_point( first_new + p - 1, points[p] );
            }
            builder.create_edge( start, first_new );
            for( index_t p = 0; p + 2 < nb_points; p++ )
            {
                builder.create_edge( first_new + p, first_new + p + 1 );
            }
            builder.create_edge( first_new + nb_points - 2, end );
        }

        template < typename Step >
        void LocalLineRemesher::compute_line_points( Step&& step )
        {
            points_.clear();
            path_.clear();
            edge_points_.clear();
            walked_length_ = 0;
            accumulated_ = 0;
            points_.push_back( vertex_point( first_.input_end ) );
            path_.push_back( first_.input_end );
            auto s = first_.input_end;
            auto t = s.opposite();
            while( step( s, t ) )
            {
                walked_length_ += mesh_.edge_length( s.edge_id );
                s = next_around( t );
                t = s.opposite();
            }
        }

        bool LocalLineRemesher::metric_step( const EdgeVertex& s, const EdgeVertex& t )
        {
            const auto& start = vertex_point( s );
            const auto& end = vertex_point( t );
            const auto& line_end = vertex_point( second_.input_end );
            auto centre = points_.back();
            auto radius = metric_.point_metric( centre );
            if( !( radius > 0 ) )
            {
                throw OpenOrvaneException{ "[LocalLineRemesher] Invalid metric value: ",
                    radius };
            }
            while( point_point_distance( centre, end ) > radius )
            {
                const auto candidate = sphere_step( start, end, centre, radius );
                const auto tolerance = DEVIATION_RATIO * radius;
                const auto next_radius = metric_.point_metric( candidate );
                if( !( next_radius > 0 ) )
                {
                    throw OpenOrvaneException{ "[LocalLineRemesher] Invalid metric value: ",
                        next_radius };
                }
                const auto arc_left = total_length_ - walked_length_
                                      - point_point_distance( start, candidate );
                if( point_point_distance( candidate, line_end ) < END_RATIO * next_radius
                    && arc_left <= END_ARC_RATIO * next_radius )
                {
                    insert_deviating_vertices( candidate, t, tolerance );
                    return false;
                }
                insert_deviating_vertices( candidate, t, tolerance );
                add_point( candidate, s );
                centre = candidate;
                radius = next_radius;
            }
            if( is_second_extremity( t ) )
            {
                insert_deviating_vertices( line_end, t, DEVIATION_RATIO * radius );
                return false;
            }
            return true;
        }

        bool LocalLineRemesher::uniform_step(
            const EdgeVertex& s, const EdgeVertex& t, double step )
        {
            const auto& start = vertex_point( s );
            const auto& end = vertex_point( t );
            const auto& line_end = vertex_point( second_.input_end );
            const auto length = mesh_.edge_length( s.edge_id );
            auto along = step - accumulated_;
            bool placed{ false };
            while( along <= length )
            {
                const auto point = start + ( end - start ) * ( along / length );
                if( point_point_distance( point, line_end ) < GLOBAL_EPSILON )
                {
                    return false;
                }
                insert_deviating_vertices(
                    point, t, DEVIATION_RATIO * metric_.point_metric( start ) );
                add_point( point, s );
                along += step;
                placed = true;
            }
            accumulated_ = placed ? length - ( along - step ) : accumulated_ + length;
            return !is_second_extremity( t );
        }

        Point< 3 > LocalLineRemesher::sphere_step( const Point< 3 >& p,
            const Point< 3 >& q,
            const Point< 3 >& centre,
            double radius ) const
        {
            const auto intersection =
                segment_sphere_intersection( Segment< 3 >{ p, q }, Sphere< 3 >{ centre, radius } );
            if( !intersection.has_intersection() )
            {
                throw OpenOrvaneException{ "Segment should be intersected by the sphere" };
            }
            const auto& points = intersection.result.value();
            if( points.size() == 1 )
            {
                return points[0];
            }
            return point_point_distance( points[0], q ) < point_point_distance( points[1], q )
                       ? points[0]
                       : points[1];
        }

        void LocalLineRemesher::add_point( const Point< 3 >& point, const EdgeVertex& entry )
        {
            const auto vertex = base_ + static_cast< index_t >( points_.size() ) - 1;
            points_.push_back( point );
            path_.push_back( entry );
            auto& queue = edge_points_[entry.edge_id];
            if( entry.vertex_id == 1 )
            {
                queue.push_front( { point, vertex } );
            }
            else
            {
                queue.push_back( { point, vertex } );
            }
        }

        void LocalLineRemesher::insert_deviating_vertices(
            const Point< 3 >& target, const EdgeVertex& t, double tolerance )
        {
            // Each added point restarts the search from that point.
            while( insert_first_deviating_vertex( target, t, tolerance )
                   || insert_loop_vertex( target, t ) )
            {
            }
        }

        bool LocalLineRemesher::insert_first_deviating_vertex(
            const Point< 3 >& target, const EdgeVertex& t, double tolerance )
        {
            const Segment< 3 > chord{ points_.back(), target };
            auto entry = path_.back();
            while( entry.edge_id != t.edge_id )
            {
                const auto far = entry.opposite();
                const auto next = next_around( far );
                const auto& vertex = vertex_point( far );
                if( std::get< 0 >( point_segment_distance( vertex, chord ) ) > tolerance )
                {
                    add_point( vertex, next );
                    return true;
                }
                entry = next;
            }
            return false;
        }

        bool LocalLineRemesher::insert_loop_vertex( const Point< 3 >& target, const EdgeVertex& t )
        {
            // Arc lengths are measured from the last point, which lies on
            // the edge of the last path entry, and up to the target on t's
            // edge: whole input edges would make long input edges look like
            // loops on a straight line.
            const auto last = points_.back();
            auto entry = path_.back();
            if( entry.edge_id == t.edge_id )
            {
                return false;
            }
            double path_length{ point_point_distance( last, vertex_point( entry.opposite() ) ) };
            for( entry = next_around( entry.opposite() ); entry.edge_id != t.edge_id;
                 entry = next_around( entry.opposite() ) )
            {
                path_length += mesh_.edge_length( entry.edge_id );
            }
            path_length += point_point_distance( vertex_point( t.opposite() ), target );
            if( path_length / point_point_distance( last, target ) < LOOP_PATH_RATIO )
            {
                return false;
            }
            double walked{ 0 };
            for( entry = path_.back(); entry.edge_id != t.edge_id; )
            {
                const auto far = entry.opposite();
                const auto& vertex = vertex_point( far );
                walked += entry == path_.back() ? point_point_distance( last, vertex )
                                                : mesh_.edge_length( entry.edge_id );
                if( !vertex.inexact_equal( last )
                    && walked / point_point_distance( vertex, last ) > LOOP_VERTEX_RATIO )
                {
                    add_point( vertex, entry );
                    return true;
                }
                entry = next_around( far );
            }
            return false;
        }

        EdgeVertex LocalLineRemesher::next_around( const EdgeVertex& arriving ) const
        {
            const auto vertex = mesh_.edge_vertex( arriving );
            const auto& around = mesh_.edges_around_vertex( vertex );
            if( around.size() != 2 )
            {
                throw OpenOrvaneException{
                    "[LocalLineRemesher::compute_line_points] Vertex should have two "
                    "edges around"
                };
            }
            return around[0] == arriving ? around[1] : around[0];
        }

        const Point< 3 >& LocalLineRemesher::vertex_point( const EdgeVertex& edge_vertex ) const
        {
            return mesh_.point( mesh_.edge_vertex( edge_vertex ) );
        }

        bool LocalLineRemesher::is_second_extremity( const EdgeVertex& edge_vertex ) const
        {
            return edge_vertex == second_.input_end;
        }

        LineRemeshResult remesh_line( RemeshingData< BRep >& data, const Line< 3 >& input_line )
        {
            const auto output_id = output_component_id( data, input_line.component_id() );
            const auto& output_line = data.output->line( output_id );
            auto builder = data.output_builder.line_mesh_builder( output_id );
            const index_t min_nb_vertices = data.input.is_closed( input_line ) ? 4 : 3;
            const auto [first_end, second_end] = line_extremities( data.input, input_line );
            const auto& mesh = input_line.mesh();
            const auto first_vertex = mesh.edge_vertex( first_end );
            const auto second_vertex = mesh.edge_vertex( second_end );
            const auto first_output = builder->create_point( mesh.point( first_vertex ) );
            const auto second_output = second_vertex == first_vertex
                                           ? first_output
                                           : builder->create_point( mesh.point( second_vertex ) );
            LocalLineRemesher remesher{ *data.metric, input_line, output_line,
                { first_end, first_output }, { second_end, second_output }, min_nb_vertices };
            auto output = remesher.remesh();
            remesher.create_edges( *builder, output.points );
            auto& edge_points = output.result.edge_points;
            insert_ordered( edge_points, mesh, first_end.edge_id, mesh.point( first_vertex ),
                first_output );
            if( second_vertex != first_vertex )
            {
                insert_ordered( edge_points, mesh, second_end.edge_id,
                    mesh.point( second_vertex ), second_output );
            }
            return std::move( output.result );
        }

        void link_remeshed_line( RemeshingData< BRep >& data, LineRemeshResult& result )
        {
            const auto& line = data.input.line( result.input_line );
            const auto& mesh = line.mesh();
            const ComponentID output_line{ Line< 3 >::component_type_static(),
                result.output_line };
            auto attribute = mesh.vertex_attribute_manager()
                                 .find_or_create_attribute< VariableAttribute, index_t >(
                                     REMESHED_LINE_ATTRIBUTE, NO_ID );
            // Edges in index order: the numbering of new unique vertices
            // must not depend on hash order.
            std::vector< index_t > edges;
            edges.reserve( result.edge_points.size() );
            for( const auto& entry : result.edge_points )
            {
                edges.push_back( entry.first );
            }
            std::sort( edges.begin(), edges.end() );
            for( const auto input_edge : edges )
            {
                auto edge = input_edge;
                for( const auto& [point, vertex] : result.edge_points.at( input_edge ) )
                {
                    if( const auto end = detail::edge_vertex_at_point( mesh, edge, point ) )
                    {
                        const auto input_vertex = mesh.edge_vertex( { edge, *end } );
                        const auto unique_vertex =
                            output_unique_vertex_at( data, line, input_vertex );
                        data.output_builder.set_unique_vertex(
                            { output_line, vertex }, unique_vertex );
                        attribute->set_value( input_vertex, unique_vertex );
                        continue;
                    }
                    const auto split = data.input_modifier.split_edge( line, edge, point );
                    const auto unique_vertex = data.output_builder.create_unique_vertex();
                    data.output_builder.set_unique_vertex( { output_line, vertex }, unique_vertex );
                    const auto input_vertex = split.lines.at( line.id() ).front();
                    attribute->set_value( input_vertex, unique_vertex );
                    // The rest of the queue lies beyond the point, on the
                    // edge the split created last.
                    edge = mesh.nb_edges() - 1;
                }
            }
        }

        void remesh_lines( RemeshingData< BRep >& data )
        {
            std::vector< uuid > lines;
            for( const auto& line : data.input.lines() )
            {
                lines.push_back( line.id() );
            }
            ProgressLogger logger{ "Remeshing Lines", static_cast< index_t >( lines.size() ) };
            std::vector< async::Task< LineRemeshResult > > tasks;
            tasks.reserve( lines.size() );
            for( const auto& line_id : lines )
            {
                tasks.push_back( async::spawn( [&data, &logger, line_id] {
                    auto result = remesh_line( data, data.input.line( line_id ) );
                    logger.increment();
                    return result;
                } ) );
            }
            // Everything that touches shared state runs here, one line
            // after the other, once every task has ended.
            auto join = async::when_all( std::move( tasks ) )
                            .then( [&data]( std::vector< async::Task< LineRemeshResult > >&& done ) {
                                for( auto& task : done )
                                {
                                    auto result = task.get();
                                    link_remeshed_line( data, result );
                                }
                                data.input_modifier.delete_inactive_component_elements();
                            } );
            join.get();
        }
    } // namespace internal
} // namespace orvane
