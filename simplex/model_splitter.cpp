#include <simplex/model_splitter.hpp>

#include <algorithm>
#include <vector>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/progress_logger.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

#include <simplex/metric/metric.hpp>
#include <simplex/remeshing_data.hpp>

namespace
{
    using namespace orvane;

    /// One candidate edge: the longest edge of a triangle.
    struct SplitterQueueElement
    {
        uuid surface;
        PolygonEdge edge;
        double length{ 0 };
        Point< 3 > midpoint;
    };

    /// Heap order: the longest candidate on top.
    bool shorter( const SplitterQueueElement& lhs, const SplitterQueueElement& rhs )
    {
        return lhs.length < rhs.length;
    }

    /// The candidate of the triangle's longest edge, when it is longer than
    /// twice the metric at its midpoint. Edges are measured in the order
    /// 0-1, 1-2, 2-0 and a later one wins only when strictly longer.
    std::optional< SplitterQueueElement > longest_edge_candidate(
        const TriangulatedSurface< 3 >& mesh,
        const uuid& surface,
        index_t polygon,
        const Metric< 3 >& metric )
    {
        std::array< Point< 3 >, 3 > points;
        for( local_index_t v = 0; v < 3; v++ )
        {
            points[v] = mesh.point( mesh.polygon_vertex( { polygon, v } ) );
        }
        local_index_t longest{ 0 };
        double longest_length{ -1 };
        for( local_index_t e = 0; e < 3; e++ )
        {
            const auto length = point_point_distance( points[e], points[( e + 1u ) % 3u] );
            if( length > longest_length )
            {
                longest = e;
                longest_length = length;
            }
        }
        const auto midpoint = ( points[longest] + points[( longest + 1u ) % 3u] ) / 2.;
        const auto value = metric.point_metric( midpoint );
        if( !( value > 0 ) )
        {
            throw OpenOrvaneException{ "[Splitter::add_to_queue] Invalid metric value: ",
                value };
        }
        if( longest_length > 2. * value )
        {
            return SplitterQueueElement{ surface, { polygon, longest },
                longest_length, midpoint };
        }
        return std::nullopt;
    }

    /// Splits the long surface edges of the input model, longest first.
    class Splitter
    {
    public:
        Splitter( BRep& model, BRepGeometricModifier& modifier, const Metric< 3 >& metric )
            : model_( model ), modifier_( modifier ), metric_( metric ), logger_( "Model split", 0 )
        {
        }

        void split()
        {
            queue_initial_candidates();
            while( !queue_.empty() )
            {
                std::pop_heap( queue_.begin(), queue_.end(), shorter );
                const auto candidate = queue_.back();
                queue_.pop_back();
                logger_.increment();
                const auto& surface = model_.surface( candidate.surface );
                if( !modifier_.surface_modifier( surface ).is_polygon_active(
                        candidate.edge.polygon_id ) )
                {
                    continue;
                }
                const auto info =
                    modifier_.split_edge( surface, candidate.edge, candidate.midpoint );
                queue_split_polygons( info );
            }
            modifier_.impl().delete_inactive_line_edges();
            modifier_.impl().delete_inactive_surface_polygons();
        }

    private:
        /// One task per surface lists its candidates; they enter the heap in
        /// surface order, so the heap does not depend on task timing.
        void queue_initial_candidates()
        {
            std::vector< uuid > surfaces;
            for( const auto& surface : model_.surfaces() )
            {
                surfaces.push_back( surface.id() );
            }
            std::vector< async::Task< std::vector< SplitterQueueElement > > > tasks;
            tasks.reserve( surfaces.size() );
            for( const auto& surface_id : surfaces )
            {
                tasks.push_back( async::spawn( [this, &surface_id] {
                    const auto& mesh = triangulated_mesh( surface_id );
                    std::vector< SplitterQueueElement > candidates;
                    for( index_t polygon = 0; polygon < mesh.nb_polygons(); polygon++ )
                    {
                        if( auto candidate = longest_edge_candidate(
                                mesh, surface_id, polygon, metric_ ) )
                        {
                            candidates.push_back( std::move( *candidate ) );
                        }
                    }
                    return candidates;
                } ) );
            }
            async::wait_all( tasks );
            for( auto& task : tasks )
            {
                for( auto& candidate : task.get() )
                {
                    push( std::move( candidate ) );
                }
            }
        }

        /// Queues the longest edge of every triangle the split created, the
        /// surfaces taken in uuid order for a reproducible heap.
        void queue_split_polygons( const BRepSplitEdgeInfo& info )
        {
            std::vector< uuid > surfaces;
            surfaces.reserve( info.surfaces.size() );
            for( const auto& entry : info.surfaces )
            {
                surfaces.push_back( entry.first );
            }
            std::sort( surfaces.begin(), surfaces.end() );
            for( const auto& surface_id : surfaces )
            {
                const auto& mesh = triangulated_mesh( surface_id );
                for( const auto& split : info.surfaces.at( surface_id ) )
                {
                    for( const auto& half : split.halves )
                    {
                        for( const auto& origin : half.polygons )
                        {
                            if( origin.new_element == origin.old_element )
                            {
                                continue;
                            }
                            if( auto candidate = longest_edge_candidate(
                                    mesh, surface_id, origin.new_element, metric_ ) )
                            {
                                push( std::move( *candidate ) );
                            }
                        }
                    }
                }
            }
        }

        void push( SplitterQueueElement&& candidate )
        {
            queue_.push_back( std::move( candidate ) );
            std::push_heap( queue_.begin(), queue_.end(), shorter );
            logger_.increment_nb_steps();
        }

        const TriangulatedSurface< 3 >& triangulated_mesh( const uuid& surface_id ) const
        {
            return dynamic_cast< const TriangulatedSurface< 3 >& >(
                model_.surface( surface_id ).mesh() );
        }

    private:
        BRep& model_;
        BRepGeometricModifier& modifier_;
        const Metric< 3 >& metric_;
        std::vector< SplitterQueueElement > queue_;
        ProgressLogger logger_;
    };
} // namespace

namespace orvane
{
    namespace internal
    {
        void prepare_remeshing( RemeshingData< BRep >& data )
        {
            async::parallel_invoke(
                [&data] {
                    data.mappings = data.output_builder.copy_components( data.input );
                    data.output_builder.copy_relationships( data.mappings, data.input );
                },
                [&data] {
                    Splitter splitter{ data.input, data.input_modifier, *data.metric };
                    splitter.split();
                } );
        }
    } // namespace internal
} // namespace orvane
