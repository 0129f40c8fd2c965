#include <simplex/repair/do_repair_intersection.hpp>

#include <algorithm>
#include <array>
#include <set>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/intersection.hpp>
#include <openorvane/geometry/intersection_detection.hpp>
#include <openorvane/geometry/position.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/surface_aabb.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>
#include <openorvane/model/surface.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>
#include <common/modifier/brep_geometric_modifier_previews.hpp>

#include <simplex/repair/repair_brep_surfaces.hpp>

namespace
{
    using namespace orvane;

    /// Iterations of a crossing repair, and triangles popped by the repair
    /// of inverted triangles.
    constexpr index_t MAX_OPERATIONS{ 99 };

    /// Stop distance of the shared-edge candidate point: ten length
    /// tolerances.
    constexpr double SHARED_EDGE_STOP{ 10. * GLOBAL_EPSILON };

    /// Appends the new edge of every split record of the surface whose old
    /// edge is `old_edge`: the pieces of that edge, or the edge that
    /// replaces it in a new triangle.
    void append_edge_successors( const absl::InlinedVector< SurfaceSplitEdgeInfo, 1 >& records,
        const PolygonEdge& old_edge,
        std::vector< PolygonEdge >& edges )
    {
        for( const auto& record : records )
        {
            for( const auto& half : record.halves )
            {
                for( const auto* origins : { &half.split_edges, &half.outer_edges } )
                {
                    for( const auto& origin : *origins )
                    {
                        if( origin.old_edge == old_edge )
                        {
                            edges.push_back( origin.new_edge );
                        }
                    }
                }
            }
        }
    }
} // namespace

namespace orvane::internal
{
    DoRepairIntersection::DoRepairIntersection( RepairBRepSurfaces& repairer,
        const Surface< 3 >& surface_d,
        const PolygonEdge& edge,
        const Surface< 3 >& surface_m,
        std::vector< PolygonEdge > edges_m )
        : repairer_( repairer ),
          first_( repairer.make_side( surface_d, { edge } ) ),
          second_( repairer.make_side( surface_m, std::move( edges_m ) ) )
    {
    }

    absl::flat_hash_set< uuid > DoRepairIntersection::apply()
    {
        if( first_.edges.empty() )
        {
            return {};
        }
        for( index_t iteration = 1; iteration <= MAX_OPERATIONS; iteration++ )
        {
            if( process_inverted_edges( second_ ) || process_inverted_edges( first_ ) )
            {
                return touched_surfaces_;
            }
            sort_edges_by_length( first_.mesh, first_.edges );
            sort_edges_by_length( second_.mesh, second_.edges );
            index_t j{ 0 };
            index_t k{ 0 };
            bool done{ false };
            while( !done )
            {
                if( j < first_.edges.size()
                    && ( k == second_.edges.size()
                         || first_.mesh.edge_length( first_.edges[j] )
                                > second_.mesh.edge_length( second_.edges[k] ) ) )
                {
                    done = split_first_side_edge( first_.edges[j++] );
                }
                else if( k < second_.edges.size() )
                {
                    done = split_second_side_edge( second_.edges[k++] );
                }
                if( !done && j == first_.edges.size() && k == second_.edges.size() )
                {
                    throw OpenOrvaneException{
                        "[DoRepairIntersection::apply] Unable to find an operation"
                    };
                }
            }
            update_crossing_edges();
            if( first_.edges.empty() )
            {
                return touched_surfaces_;
            }
        }
        throw OpenOrvaneException{
            "[DoRepairIntersection::apply] Too many repair operations occurs"
        };
    }

    std::optional< Point< 3 > > DoRepairIntersection::split_point(
        RepairSide& side, const PolygonEdge& edge )
    {
        if( side.mesh.is_edge_on_border( edge ) )
        {
            return repairer_.line_split_point( side, edge );
        }
        const auto point = repairer_.closest_input_point( side, edge ).first;
        if( !repairer_.is_split_acceptable( side.surface, edge, point ) )
        {
            return std::nullopt;
        }
        return point;
    }

    BRepSplitEdgeInfo DoRepairIntersection::split(
        const RepairSide& side, const PolygonEdge& edge, const Point< 3 >& point )
    {
        return repairer_.modifier().split_edge( side.surface, edge, point );
    }

    bool DoRepairIntersection::split_first_side_edge( PolygonEdge edge )
    {
        const auto point = split_point( first_, edge );
        if( !point )
        {
            return false;
        }
        const auto result = split( first_, edge, *point );
        append_edge_successors(
            result.surfaces.at( first_.surface.id() ), edge, first_.edges );
        add_touched_surfaces( result );
        return true;
    }

    bool DoRepairIntersection::split_second_side_edge( PolygonEdge edge )
    {
        const auto point = split_point( second_, edge );
        if( !point )
        {
            return false;
        }
        const auto result = split( second_, edge, *point );
        for( const auto& record : result.surfaces.at( second_.surface.id() ) )
        {
            for( const auto& half : record.halves )
            {
                for( const auto& origin : half.polygons )
                {
                    if( origin.old_element == edge.polygon_id )
                    {
                        for( const auto& new_edge : triangle_edges( origin.new_element ) )
                        {
                            second_.edges.push_back( new_edge );
                        }
                    }
                }
            }
        }
        add_touched_surfaces( result );
        // The split edge may be an edge of d too: follow its listed edges.
        if( const auto in_first = result.surfaces.find( first_.surface.id() );
            in_first != result.surfaces.end() )
        {
            const auto listed = first_.edges;
            for( const auto& old_edge : listed )
            {
                append_edge_successors( in_first->second, old_edge, first_.edges );
            }
        }
        return true;
    }

    void DoRepairIntersection::update_crossing_edges()
    {
        std::vector< bool > first_flags( first_.edges.size(), true );
        std::vector< bool > second_flags( second_.edges.size(), true );
        for( index_t i = 0; i < first_.edges.size(); i++ )
        {
            if( !repairer_.is_triangle_active( first_.surface, first_.edges[i].polygon_id ) )
            {
                continue;
            }
            const auto segment = first_.mesh.segment( first_.edges[i] );
            for( index_t j = 0; j < second_.edges.size(); j++ )
            {
                const auto triangle = second_.edges[j].polygon_id;
                if( !repairer_.is_triangle_active( second_.surface, triangle ) )
                {
                    continue;
                }
                if( segment_triangle_intersection_detection(
                        segment, second_.mesh.triangle( triangle ) )
                        .first
                    == POSITION::inside )
                {
                    first_flags[i] = false;
                    second_flags[j] = false;
                }
            }
        }
        detail::erase_flagged_elements( first_.edges, first_flags );
        detail::erase_flagged_elements( second_.edges, second_flags );
    }

    bool DoRepairIntersection::process_inverted_edges( RepairSide& side )
    {
        std::set< index_t > inverted;
        for( const auto& edge : side.edges )
        {
            if( !repairer_.is_triangle_active( side.surface, edge.polygon_id ) )
            {
                continue;
            }
            if( const auto triangle = repairer_.inverted_triangle( side.surface, edge ) )
            {
                inverted.insert( *triangle );
            }
        }
        if( inverted.empty() )
        {
            return false;
        }
        const auto still_inverted = [this, &side]( index_t triangle ) {
            return repairer_.is_triangle_active( side.surface, triangle )
                   && repairer_.inverted_triangle( side.surface, { triangle, 0 } )
                          == triangle;
        };
        std::vector< index_t > stack( inverted.begin(), inverted.end() );
        index_t nb_pops{ 0 };
        while( !stack.empty() )
        {
            if( nb_pops == MAX_OPERATIONS )
            {
                // The last allowed pop is reached: fail only when a triangle
                // left would still need an operation.
                if( std::any_of( stack.begin(), stack.end(), still_inverted ) )
                {
                    throw OpenOrvaneException{ "[DoRepairIntersection::process_inverted_"
                                               "edges] Too many repair operations occurs" };
                }
                break;
            }
            const auto triangle = stack.back();
            stack.pop_back();
            nb_pops++;
            if( !still_inverted( triangle ) )
            {
                continue;
            }
            std::array< double, 3 > heights;
            for( const local_index_t c : { 0, 1, 2 } )
            {
                const PolygonEdge edge{ triangle, c };
                heights[c] = std::get< 0 >(
                    point_segment_distance( side.mesh.point( edge_apex( side.mesh, edge ) ),
                        side.mesh.segment( edge ) ) );
            }
            const auto [lowest, highest] = std::minmax_element( heights.begin(), heights.end() );
            const auto low = static_cast< local_index_t >( lowest - heights.begin() );
            const auto high = static_cast< local_index_t >( highest - heights.begin() );
            const std::array< local_index_t, 3 > order{ low,
                static_cast< local_index_t >( 3 - low - high ), high };
            for( const auto c : order )
            {
                const PolygonEdge edge{ triangle, c };
                std::optional< BRepSplitEdgeInfo > result;
                if( side.mesh.is_edge_on_border( edge ) )
                {
                    if( const auto point = repairer_.line_split_point( side, edge ) )
                    {
                        result = split( side, edge, *point );
                    }
                }
                else
                {
                    result = split_inverted_edge( side, edge );
                }
                if( !result )
                {
                    continue;
                }
                add_touched_surfaces( *result );
                for( const auto& record : result->surfaces.at( side.surface.id() ) )
                {
                    for( const auto& half : record.halves )
                    {
                        for( const auto& origin : half.polygons )
                        {
                            stack.push_back( origin.new_element );
                        }
                    }
                }
                break;
            }
        }
        return !touched_surfaces_.empty();
    }

    std::optional< BRepSplitEdgeInfo > DoRepairIntersection::split_inverted_edge(
        const RepairSide& side, const PolygonEdge& edge )
    {
        const auto apex = side.mesh.point( edge_apex( side.mesh, edge ) );
        const auto start = detail::closest_element_box( repairer_.input_surface_tree( side.surface ),
            apex, DistanceToTriangle< 3 >{ side.input_mesh } )
                               .second;
        if( start == NO_ID )
        {
            return std::nullopt;
        }
        const auto plane = edge_median_plane( side.mesh, edge, apex );
        std::set< index_t > visited{ start };
        std::vector< index_t > stack{ start };
        while( !stack.empty() )
        {
            const auto triangle = stack.back();
            stack.pop_back();
            std::vector< Point< 3 > > found;
            const auto keep = [&found]( const Point< 3 >& point ) {
                if( found.size() < 2 )
                {
                    found.push_back( point );
                }
            };
            for( const local_index_t c : { 0, 1, 2 } )
            {
                const PolygonEdge input_edge{ triangle, c };
                const auto segment = side.input_mesh.segment( input_edge );
                // Only input edges running along the plane's normal.
                if( point_side_to_plane( plane.origin() + segment.direction(), plane )
                    == SIDE::negative )
                {
                    continue;
                }
                if( segment_plane_intersection_detection( segment, plane ) == POSITION::outside )
                {
                    continue;
                }
                const auto crossing = segment_plane_intersection( segment, plane );
                if( crossing.has_intersection() )
                {
                    const auto& point = *crossing.result;
                    const auto adjacent = side.input_mesh.polygon_adjacent( input_edge );
                    const bool away = point_point_distance( apex, point ) > GLOBAL_EPSILON;
                    if( adjacent )
                    {
                        if( away )
                        {
                            return split( side, edge, point );
                        }
                        if( visited.insert( *adjacent ).second )
                        {
                            stack.push_back( *adjacent );
                        }
                        keep( point );
                    }
                    else
                    {
                        const auto halfway = ( point + apex ) / 2.;
                        if( point_point_distance( apex, halfway ) > GLOBAL_EPSILON )
                        {
                            return split( side, edge, halfway );
                        }
                        keep( point );
                    }
                    continue;
                }
                for( const auto& end : segment.vertices() )
                {
                    if( std::get< 0 >( point_plane_distance( end, plane ) ) < GLOBAL_EPSILON
                        && point_point_distance( end, apex ) > GLOBAL_EPSILON )
                    {
                        keep( end );
                        break;
                    }
                }
            }
            if( found.size() == 2 )
            {
                return split( side, edge, ( found[0] + apex ) / 2. );
            }
        }
        return std::nullopt;
    }

    absl::flat_hash_set< uuid > DoRepairIntersection::repair_shared_edges()
    {
        for( auto* side : { &first_, &second_ } )
        {
            if( side->edges.empty() )
            {
                continue;
            }
            const auto edge = side->edges.front();
            if( !repairer_.is_triangle_active( side->surface, edge.polygon_id ) )
            {
                continue;
            }
            // The apex across the edge is needed: a border edge of this side
            // is left to the other side.
            const auto across = side->mesh.polygon_adjacent_edge( edge );
            if( !across )
            {
                continue;
            }
            const auto [target, triangle] = repairer_.closest_input_point( *side, edge );
            const auto model_edges =
                component_mesh_edges( repairer_.output(), side->surface, edge );
            if( !is_split_edge_valid( repairer_.output(), model_edges, target ) )
            {
                continue;
            }
            const auto apex = side->mesh.point( edge_apex( side->mesh, edge ) );
            const auto other_apex = side->mesh.point( edge_apex( side->mesh, *across ) );
            auto candidate = side->input_mesh.polygon_barycenter( triangle );
            do
            {
                if( point_point_distance( candidate, apex ) <= GLOBAL_EPSILON
                    || point_point_distance( candidate, other_apex ) <= GLOBAL_EPSILON )
                {
                    if( is_swap_edge_valid( repairer_.output(), side->surface, edge ) )
                    {
                        repairer_.modifier().swap_edge( side->surface, edge );
                        touched_surfaces_.insert( side->surface.id() );
                        // The stored edge no longer exists.
                        break;
                    }
                }
                else if( is_split_edge_valid( repairer_.output(), model_edges, candidate ) )
                {
                    add_touched_surfaces( split( *side, edge, candidate ) );
                    break;
                }
                candidate = ( candidate + target ) / 2.;
            } while( point_point_distance( candidate, target ) > SHARED_EDGE_STOP );
        }
        return touched_surfaces_;
    }

    void DoRepairIntersection::add_touched_surfaces( const BRepSplitEdgeInfo& split )
    {
        for( const auto& [id, records] : split.surfaces )
        {
            touched_surfaces_.insert( id );
        }
    }
} // namespace orvane::internal
