#include <algorithm>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/polygon_degeneracy.hpp>

#include <explicit/background_provenance.hpp>
#include <explicit/surface_simplifier.hpp>

namespace orvane
{
    namespace internal
    {
        namespace
        {
            constexpr double FINAL_SWAP_AREA_GAIN = 1.01;

            bool contains( const std::vector< index_t >& list, index_t value )
            {
                return std::find( list.begin(), list.end(), value ) != list.end();
            }
        } // namespace

        bool SurfaceSimplifier::have_different_components(
            index_t polygon, index_t other ) const
        {
            const auto& first = provenance_.init_facet_ids(
                surface_.polygon_origin->value( polygon ) );
            const auto& second =
                provenance_.init_facet_ids( surface_.polygon_origin->value( other ) );
            return first.size() != second.size()
                   || !detail::are_records_included( first, second );
        }

        bool SurfaceSimplifier::is_feature_edge( const PolygonEdge& edge ) const
        {
            const auto adjacent = mesh_.polygon_adjacent( edge );
            if( !adjacent )
            {
                return true;
            }
            if( have_different_components( edge.polygon_id, adjacent.value() ) )
            {
                return true;
            }
            const auto index = patch_edge( mesh_.polygon_edge_vertices( edge ) );
            if( !surface_.edge_components->value( index ).empty() )
            {
                return true;
            }
            const auto& incident = surface_.edge_incident_components->value( index );
            if( incident.size() < 3 )
            {
                return false;
            }
            // Several input polygons meet along the edge.
            const MeshPolygon* first{ nullptr };
            for( const auto& list : incident )
            {
                for( const auto& record : list )
                {
                    if( first == nullptr )
                    {
                        first = &record;
                    }
                    else if( !( record == *first ) )
                    {
                        return true;
                    }
                }
            }
            return false;
        }

        void SurfaceSimplifier::copy_polygon_origins( const SurfaceSwapEdgeInfo& swap )
        {
            const auto origin = surface_.polygon_origin->value( swap.old_polygons[0] );
            const auto components =
                surface_.component_facets->value( swap.old_polygons[0] );
            for( const auto polygon : swap.new_polygons )
            {
                surface_.polygon_origin->set_value( polygon, origin );
                surface_.component_facets->set_value( polygon, components );
            }
        }

        void SurfaceSimplifier::remove_degenerate_polygons()
        {
            std::deque< index_t > queue;
            for( index_t p = 0; p < mesh_.nb_polygons(); ++p )
            {
                if( modifier_.is_polygon_active( p )
                    && detail::is_polygon_degenerated( mesh_, p ) )
                {
                    queue.push_back( p );
                }
            }
            if( queue.empty() )
            {
                return;
            }
            Tried tried;
            std::size_t failures{ 0 };
            while( !queue.empty() )
            {
                const auto polygon = queue.front();
                queue.pop_front();
                if( !modifier_.is_polygon_active( polygon ) )
                {
                    continue;
                }
                if( repair_degenerate_polygon( polygon, queue, tried ) )
                {
                    failures = 0;
                    continue;
                }
                queue.push_back( polygon );
                // Every polygon left failed once in a row: give up on them.
                if( ++failures >= queue.size() )
                {
                    swap_edges();
                    return;
                }
            }
        }

        bool SurfaceSimplifier::repair_degenerate_polygon(
            index_t polygon, std::deque< index_t >& queue, Tried& tried )
        {
            for( const local_index_t k : { 0, 1, 2 } )
            {
                const PolygonEdge edge{ polygon, k };
                if( is_feature_edge( edge ) )
                {
                    continue;
                }
                const auto b = apex( edge );
                const auto d = apex( mesh_.polygon_adjacent_edge( edge ).value() );
                const auto ends = mesh_.polygon_edge_vertices( edge );
                if( detail::contains_remapped_triangle(
                        tried, { b, d, ends[0] }, modifier_ )
                    || detail::contains_remapped_triangle(
                        tried, { b, d, ends[1] }, modifier_ ) )
                {
                    continue;
                }
                const auto preview = triangles_after_swap_edge( mesh_, edge );
                const auto refused = std::any_of( preview.triangles.begin(),
                    preview.triangles.end(), [this, &edge]( const Triangle< 3 >& t ) {
                        return t.minimum_height() <= GLOBAL_EPSILON
                               || detail::is_triangle_inverted_around_edge(
                                   mesh_, t, edge );
                    } );
                if( refused || !detail::check_swap_edge( mesh_, edge ).valid )
                {
                    continue;
                }
                detail::add_unique_triangle( tried, { b, ends[0], ends[1] } );
                detail::add_unique_triangle( tried, { d, ends[0], ends[1] } );
                const auto swap = modifier_.swap_edge( edge );
                copy_polygon_origins( swap );
                for( const auto created : swap.new_polygons )
                {
                    if( detail::is_polygon_degenerated( mesh_, created ) )
                    {
                        queue.push_back( created );
                    }
                }
                return true;
            }
            return false;
        }

        void SurfaceSimplifier::swap_edges()
        {
            std::deque< index_t > queue;
            for( index_t p = 0; p < mesh_.nb_polygons(); ++p )
            {
                if( modifier_.is_polygon_active( p ) )
                {
                    queue.push_back( p );
                }
            }
            while( !queue.empty() )
            {
                const auto polygon = queue.front();
                queue.pop_front();
                if( !modifier_.is_polygon_active( polygon ) )
                {
                    continue;
                }
                for( const local_index_t k : { 0, 1, 2 } )
                {
                    const PolygonEdge edge{ polygon, k };
                    if( is_feature_edge( edge ) )
                    {
                        continue;
                    }
                    const auto adjacent = mesh_.polygon_adjacent( edge ).value();
                    const auto smaller =
                        std::min( triangle_area( mesh_.triangle( polygon ) ),
                            triangle_area( mesh_.triangle( adjacent ) ) );
                    const auto preview = triangles_after_swap_edge( mesh_, edge );
                    const auto refused = std::any_of( preview.triangles.begin(),
                        preview.triangles.end(),
                        [this, &edge, smaller]( const Triangle< 3 >& t ) {
                            return detail::is_triangle_inverted_around_edge(
                                       mesh_, t, edge )
                                   || triangle_area( t )
                                          <= FINAL_SWAP_AREA_GAIN * smaller;
                        } );
                    if( refused || !detail::check_swap_edge( mesh_, edge ).valid )
                    {
                        continue;
                    }
                    const auto swap = modifier_.swap_edge( edge );
                    copy_polygon_origins( swap );
                    queue.push_back( swap.new_polygons[0] );
                    queue.push_back( swap.new_polygons[1] );
                    break;
                }
            }
        }

        bool SurfaceSimplifier::unlock_blocked_collapses( Queue queue )
        {
            Tried tried;
            std::size_t failures{ 0 };
            bool unlocked{ false };
            while( !queue.empty() )
            {
                if( failures >= queue.size() )
                {
                    return true;
                }
                const auto entry = queue.front();
                queue.pop_front();
                const auto& edge = entry.first;
                if( !modifier_.is_polygon_active( edge.polygon_id ) )
                {
                    continue;
                }
                const auto fixed = fixed_ends( edge );
                if( fixed[0] && fixed[1] )
                {
                    continue;
                }
                const local_index_t kept_end = fixed[0] ? 1 : 0;
                const auto ends = mesh_.polygon_edge_vertices( edge );
                const auto moved = ends[1 - kept_end];
                const auto preview = collapse_preview( edge, kept_end );
                const auto report = detail::check_collapse_edge( mesh_, ends, preview );
                bool result{ true };
                if( report.topology_valid )
                {
                    std::vector< index_t > handled;
                    for( const auto& triangle : preview )
                    {
                        if( triangle.triangle.minimum_height() <= GLOBAL_EPSILON
                            || !detail::is_triangle_inverted_in_polygon(
                                mesh_, triangle.triangle, triangle.polygon ) )
                        {
                            continue;
                        }
                        const auto h = triangle.polygon;
                        if( !modifier_.is_polygon_active( h ) || contains( handled, h ) )
                        {
                            continue;
                        }
                        handled.push_back( h );
                        bool swapped{ false };
                        for( const local_index_t k : { 0, 1, 2 } )
                        {
                            const PolygonEdge candidate{ h, k };
                            if( apex( candidate ) == moved )
                            {
                                continue;
                            }
                            const auto [created, success] =
                                try_unlock_swap( candidate, tried );
                            if( success )
                            {
                                handled.push_back( created[0] );
                                handled.push_back( created[1] );
                                swapped = true;
                                break;
                            }
                        }
                        result = swapped;
                    }
                }
                else
                {
                    result = unlock_topological_invalidity( report, ends, tried ).second;
                }
                if( result )
                {
                    unlocked = true;
                }
                else
                {
                    ++failures;
                    queue.push_back( entry );
                }
            }
            return unlocked;
        }

        std::pair< std::array< index_t, 2 >, bool >
            SurfaceSimplifier::unlock_topological_invalidity(
                const SurfaceOperationReport& report,
                const std::array< index_t, 2 >& edge_vertices,
                Tried& tried )
        {
            if( !report.manifold_valid )
            {
                throw OpenOrvaneException{ OpenOrvaneException::no_stack,
                    "[SurfaceSimplifier::unlock_topological_invalidity] Non "
                    "manifold vertex result not managed" };
            }
            const auto& links = report.blocking_vertices;
            for( const auto link : links )
            {
                for( const auto end : edge_vertices )
                {
                    const auto edges = mesh_.polygons_from_edge_vertices( { end, link } );
                    if( edges.size() != 2 )
                    {
                        continue;
                    }
                    for( const auto& edge : edges )
                    {
                        const auto g = apex( edge );
                        if( g == edge_vertices[0] || g == edge_vertices[1] )
                        {
                            continue;
                        }
                        if( !contains( links, g ) )
                        {
                            const auto result = try_unlock_swap( edge, tried );
                            if( result.second )
                            {
                                return result;
                            }
                        }
                        break;
                    }
                }
            }
            return { { NO_ID, NO_ID }, false };
        }

        std::pair< std::array< index_t, 2 >, bool > SurfaceSimplifier::try_unlock_swap(
            const PolygonEdge& edge, Tried& tried )
        {
            const std::pair< std::array< index_t, 2 >, bool > failure{
                { NO_ID, NO_ID }, false
            };
            const auto adjacent = mesh_.polygon_adjacent( edge );
            if( !adjacent
                || triangle_area( mesh_.triangle( adjacent.value() ) )
                       <= GLOBAL_EPSILON )
            {
                return failure;
            }
            if( is_feature_edge( edge ) )
            {
                return failure;
            }
            if( !is_swap_edge_topologically_valid( mesh_, edge ) )
            {
                return failure;
            }
            const auto preview = triangles_after_swap_edge( mesh_, edge );
            for( const auto& triangle : preview.triangles )
            {
                if( triangle.minimum_height() <= GLOBAL_EPSILON
                    || detail::is_triangle_inverted_around_edge(
                        mesh_, triangle, edge ) )
                {
                    return failure;
                }
            }
            const auto b = apex( edge );
            const auto d = apex( mesh_.polygon_adjacent_edge( edge ).value() );
            const auto ends = mesh_.polygon_edge_vertices( edge );
            if( detail::contains_remapped_triangle( tried, { ends[0], b, d }, modifier_ )
                || detail::contains_remapped_triangle(
                    tried, { ends[1], b, d }, modifier_ ) )
            {
                return failure;
            }
            const auto swap = modifier_.swap_edge( edge );
            copy_polygon_origins( swap );
            for( const auto created : swap.new_polygons )
            {
                const auto vertices = mesh_.polygon_vertices( created );
                detail::add_unique_triangle(
                    tried, { vertices[0], vertices[1], vertices[2] } );
            }
            return { swap.new_polygons, true };
        }
    } // namespace internal
} // namespace orvane
