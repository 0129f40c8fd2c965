#include <common/cutter/find_and_cut_along_patch.hpp>

#include <algorithm>
#include <atomic>
#include <tuple>

#include <absl/strings/str_cat.h>

#include <openorvane/basic/logger.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/intersection.hpp>
#include <openorvane/geometry/intersection_detection.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/geometry/position.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/mesh_output.hpp>
#include <openorvane/mesh/solid_output.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/modifier/tetrahedral_collapse_validity.hpp>
#include <common/modifier/tetrahedral_solid_modifier.hpp>
#include <common/modifier/tetrahedron_preview.hpp>

namespace
{
    using namespace orvane;

    /// Numbers the failure dumps of the process.
    std::atomic< index_t > dump_counter{ 0 };

    void append_origins( std::vector< ElementEntry >& entries,
        absl::Span< const ElementOrigin > origins )
    {
        for( const auto& origin : origins )
        {
            entries.push_back( { origin.new_element, { origin.old_element } } );
        }
    }

    template < typename Origins >
    void append_origins_of( std::vector< ElementEntry >& entries,
        const Origins& origins )
    {
        append_origins( entries,
            absl::Span< const ElementOrigin >{ origins.data(), origins.size() } );
    }

    bool is_near_segment( const Point< 3 >& point, const Segment< 3 >& segment )
    {
        return std::get< 0 >( point_segment_distance( point, segment ) )
               <= GLOBAL_EPSILON;
    }

    /// 2 * area / longest side of the triangle at most 1e-6.
    bool is_degenerate( const Triangle< 3 >& triangle )
    {
        const auto& v = triangle.vertices();
        double longest{ 0. };
        for( const local_index_t k : { 0, 1, 2 } )
        {
            longest = std::max(
                longest, point_point_distance( v[k], v[( k + 1 ) % 3] ) );
        }
        if( longest <= DIVISION_EPSILON )
        {
            return true;
        }
        return 2. * triangle_area( triangle ) / longest <= GLOBAL_EPSILON;
    }

    bool lexicographically_not_greater(
        const Point< 3 >& point, const Point< 3 >& reference )
    {
        for( const local_index_t c : { 0, 1, 2 } )
        {
            if( point.value( c ) < reference.value( c ) )
            {
                return true;
            }
            if( point.value( c ) > reference.value( c ) )
            {
                return false;
            }
        }
        return true;
    }
} // namespace

namespace orvane
{
    CutPatchException::CutPatchException()
        : OpenOrvaneException{ "Invalid cut to do in cut_along_patch" }
    {
    }

    CutPatchException::~CutPatchException() = default;

    FindAndCutAlongPatchImpl::FindAndCutAlongPatchImpl(
        const TetrahedralSolid< 3 >& solid,
        TetrahedralSolidModifier& modifier,
        const Triangle< 3 >& triangle,
        absl::Span< const PatchBoundaryEdge > boundary_edges )
        : solid_( solid ),
          triangle_( triangle ),
          boundary_edges_( boundary_edges ),
          modifier_( modifier ),
          patch_( std::make_unique< PatchSurface >() )
    {
        solid_.enable_edges();
        solid_.enable_facets();
        build_front_cycles();
        if( front_cycles_.empty() )
        {
            throw OpenOrvaneException{ "[FindAndCutAlongPatchImpl] Given boundary "
                                       "edges do not define a patch with an "
                                       "inside" };
        }
        // The projection axis and every later orientation test need the
        // normal: refuse a degenerate triangle here rather than read it.
        const auto normal = triangle_.normal();
        if( !normal )
        {
            throw OpenOrvaneException{ "[FindAndCutAlongPatchImpl] Given "
                                       "MacroTriangle has no normal" };
        }
        double largest{ -1. };
        for( const local_index_t c : { 0, 1, 2 } )
        {
            if( std::abs( normal->value( c ) ) > largest )
            {
                largest = std::abs( normal->value( c ) );
                projection_axis_ = c;
            }
        }
        forward_sign_ = get_forward_sign();
        backward_side_ = opposite_side( forward_sign_ );
    }

    FindAndCutAlongPatchImpl::~FindAndCutAlongPatchImpl() = default;

    void FindAndCutAlongPatchImpl::build_front_cycles()
    {
        const auto& edges = solid_.edges();
        std::list< index_t > chain;
        for( const auto& boundary : boundary_edges_ )
        {
            const auto [a, b] =
                patch_->add_boundary_edge( boundary, edges.edge_vertices( boundary.edge ) );
            if( chain.empty() || chain.back() != a )
            {
                chain.push_back( a );
            }
            if( b != chain.front() )
            {
                chain.push_back( b );
                continue;
            }
            for( auto& cycle :
                detail::split_into_simple_cycles( FrontCycle{ std::move( chain ) } ) )
            {
                front_cycles_.push_back( std::move( cycle ) );
            }
            chain.clear();
        }
    }

    SIDE FindAndCutAlongPatchImpl::get_forward_sign() const
    {
        const auto& edges = solid_.edges();
        const auto start = [&]( const PatchBoundaryEdge& edge ) {
            return edges.edge_vertices( edge.edge )[edge.forward ? 0 : 1];
        };
        const auto end = [&]( const PatchBoundaryEdge& edge ) {
            return edges.edge_vertices( edge.edge )[edge.forward ? 1 : 0];
        };
        index_t reference = edges.edge_vertices( boundary_edges_.front().edge )[0];
        index_t previous{ NO_ID };
        index_t next{ NO_ID };
        for( std::size_t i = 0; i < boundary_edges_.size(); i++ )
        {
            const auto vertex = start( boundary_edges_[i] );
            if( lexicographically_not_greater(
                    solid_.point( vertex ), solid_.point( reference ) ) )
            {
                reference = vertex;
                previous = start(
                    boundary_edges_[i == 0 ? boundary_edges_.size() - 1 : i - 1] );
                next = end( boundary_edges_[i] );
            }
        }
        if( previous == NO_ID )
        {
            throw OpenOrvaneException{ "[FindAndCutAlongPatch::get_forward_sign] "
                                       "Have not find the smallest X-Y point. "
                                       "This is a bug." };
        }
        const auto sign = triangle_area_sign(
            Triangle< 3 >{ solid_.point( previous ), solid_.point( reference ),
                solid_.point( next ) },
            projection_axis_ );
        if( sign == SIDE::zero )
        {
            throw OpenOrvaneException{
                "[FindAndCutAlongPatch::get_forward_sign] Smallest X-Y point is "
                "(exactly) aligned with previous and next vertices (flat "
                "angle). Not managed and probably a bug."
            };
        }
        return sign;
    }

    bool FindAndCutAlongPatchImpl::is_on_triangle( const Point< 3 >& point ) const
    {
        return std::get< 0 >( point_triangle_distance( point, triangle_ ) )
               <= GLOBAL_EPSILON;
    }

    index_t FindAndCutAlongPatchImpl::prepare()
    {
        std::deque< PolyhedronFacetEdge > crossing;
        gather_crossing_edges( crossing );
        return process_prepare( crossing );
    }

    void FindAndCutAlongPatchImpl::gather_crossing_edges(
        std::deque< PolyhedronFacetEdge >& crossing )
    {
        const auto& edges = solid_.edges();
        absl::flat_hash_set< index_t > visited;
        absl::InlinedVector< index_t, 10 > stack;
        const auto visit = [&]( index_t vertex ) {
            if( visited.insert( vertex ).second )
            {
                stack.push_back( vertex );
            }
        };
        for( const auto& boundary : boundary_edges_ )
        {
            const auto& vertices = edges.edge_vertices( boundary.edge );
            visit( vertices[0] );
            visit( vertices[1] );
        }
        while( !stack.empty() )
        {
            const auto vertex = stack.back();
            stack.pop_back();
            for( const auto& corner : solid_.polyhedra_around_vertex( vertex ) )
            {
                const PolyhedronFacet facet{ corner.polyhedron_id,
                    corner.vertex_id };
                for( const local_index_t k : { 0, 1, 2 } )
                {
                    const PolyhedronFacetEdge edge{ facet, k };
                    const auto ends = solid_.polyhedron_facet_edge_vertices( edge );
                    if( patch_->patch_vertex( ends[0] )
                        || patch_->patch_vertex( ends[1] ) )
                    {
                        continue;
                    }
                    const auto [on_segment, on_triangle] =
                        segment_triangle_intersection_detection(
                            Segment< 3 >{ solid_.point( ends[0] ),
                                solid_.point( ends[1] ) },
                            triangle_ );
                    if( on_triangle == POSITION::outside
                        || on_triangle == POSITION::parallel )
                    {
                        continue;
                    }
                    if( on_segment == POSITION::vertex0 )
                    {
                        visit( ends[0] );
                    }
                    else if( on_segment == POSITION::vertex1 )
                    {
                        visit( ends[1] );
                    }
                    else if( on_segment == POSITION::inside )
                    {
                        crossing.push_back( edge );
                        visit( ends[0] );
                        visit( ends[1] );
                    }
                }
            }
        }
    }

    std::optional< Point< 3 > > FindAndCutAlongPatchImpl::cut_point(
        const PolyhedronFacetEdge& edge, const Segment< 3 >& segment )
    {
        const auto check = [&]( const Point< 3 >& point, std::string_view open ) {
            if( !is_near_segment( point, segment ) || !is_on_triangle( point ) )
            {
                throw OpenOrvaneException{ "[CutAlongFacet::prepare] Incorrect "
                                           "computation of point",
                    open, point.string(), ")" };
            }
        };
        const auto intersection = segment_triangle_intersection( segment, triangle_ );
        switch( intersection.type )
        {
        case INTERSECTION_TYPE::intersect:
            check( intersection.result.value(), " (" );
            return intersection.result;
        case INTERSECTION_TYPE::incorrect:
            if( !intersection.result )
            {
                fail();
            }
            check( *intersection.result, "(" );
            return intersection.result;
        case INTERSECTION_TYPE::parallel: {
            const auto& ends = segment.vertices();
            if( is_on_triangle( ends[0] ) && is_on_triangle( ends[1] ) )
            {
                return std::nullopt;
            }
            try
            {
                detail::save_patch_cut_failure(
                    solid_, edge.polyhedron_facet.polyhedron_id, *patch_,
                    front_cycles_ );
            }
            catch( const std::exception& error )
            {
                Logger::log_warn( "[CutAlongPatch::process_prepare] Could not "
                                  "save the failure: ",
                    error.what() );
            }
            fail();
        }
        case INTERSECTION_TYPE::none:
            break;
        }
        const auto normal = triangle_.normal();
        if( !normal )
        {
            throw OpenOrvaneException{
                "[CutAlongPatch::process_prepare] MacroTriangle has no normal"
            };
        }
        const Plane plane{ *normal, triangle_.vertices()[0] };
        const auto crossing = segment_plane_intersection( segment, plane );
        if( crossing.type == INTERSECTION_TYPE::intersect )
        {
            if( !is_on_triangle( crossing.result.value() ) )
            {
                throw OpenOrvaneException{ "[CutAlongPatch::process_prepare] "
                                           "Segment-Plane intersection point is "
                                           "too far from MacroTriangle" };
            }
            return crossing.result;
        }
        if( crossing.type != INTERSECTION_TYPE::parallel )
        {
            return std::nullopt;
        }
        const auto& ends = segment.vertices();
        if( is_on_triangle( ends[0] ) || is_on_triangle( ends[1] ) )
        {
            return std::nullopt;
        }
        // The edge runs along the triangle's plane without touching it
        // within tolerance: cut it between its points nearest to the two
        // nearest sides of the triangle.
        const auto& corners = triangle_.vertices();
        std::array< std::tuple< double, Point< 3 > >, 3 > sides;
        for( const local_index_t k : { 0, 1, 2 } )
        {
            const auto [distance, on_edge, on_side] = segment_segment_distance(
                segment, Segment< 3 >{ corners[k], corners[( k + 1 ) % 3] } );
            sides[k] = { distance, on_edge };
        }
        std::stable_sort( sides.begin(), sides.end(),
            []( const auto& lhs, const auto& rhs ) {
                return std::get< 0 >( lhs ) < std::get< 0 >( rhs );
            } );
        return ( std::get< 1 >( sides[0] ) + std::get< 1 >( sides[1] ) ) / 2.;
    }

    index_t FindAndCutAlongPatchImpl::process_prepare(
        std::deque< PolyhedronFacetEdge >& crossing )
    {
        absl::flat_hash_set< std::pair< index_t, index_t > > met;
        index_t nb_splits{ 0 };
        std::size_t nb_postponed{ 0 };
        while( !crossing.empty() )
        {
            if( nb_postponed == crossing.size() )
            {
                fail();
            }
            auto edge = crossing.front();
            crossing.pop_front();
            // An edge keeps its vertices when the tetrahedron it was found
            // in is replaced: drop the pairs met already before looking for
            // a live tetrahedron holding it.
            const auto ends = solid_.polyhedron_facet_edge_vertices( edge );
            if( met.contains( std::minmax( ends[0], ends[1] ) )
                || patch_->patch_vertex( ends[0] )
                || patch_->patch_vertex( ends[1] ) )
            {
                continue;
            }
            if( !modifier_.is_polyhedron_active(
                    edge.polyhedron_facet.polyhedron_id ) )
            {
                const auto live = solid_.polyhedron_facet_edge_from_vertices( ends );
                if( !live )
                {
                    continue;
                }
                edge = *live;
            }
            met.emplace( std::minmax( ends[0], ends[1] ) );
            const Segment< 3 > segment{ solid_.point( ends[0] ),
                solid_.point( ends[1] ) };
            const auto point = cut_point( edge, segment );
            if( !point || point->inexact_equal( solid_.point( ends[0] ) )
                || point->inexact_equal( solid_.point( ends[1] ) ) )
            {
                continue;
            }
            if( !is_split_edge_valid( solid_, edge, *point ) )
            {
                crossing.push_back( edge );
                failure_.postponed_cuts.push_back( { *point, edge } );
                nb_postponed++;
                continue;
            }
            const auto split = modifier_.split_edge( edge, *point );
            nb_splits++;
            failure_.split_vertices.push_back( split.new_vertex );
            for( const auto* tetrahedra :
                { &split.first_tetrahedra, &split.second_tetrahedra } )
            {
                result_.tetrahedra.insert(
                    result_.tetrahedra.end(), tetrahedra->begin(), tetrahedra->end() );
            }
            append_origins_of( result_.modified_facets, split.first_facets );
            append_origins_of( result_.modified_facets, split.second_facets );
            append_origins_of( result_.modified_facets, split.created_facets );
            append_origins_of( result_.modified_edges, split.first_edges );
            append_origins_of( result_.modified_edges, split.second_edges );
            append_origins_of( result_.modified_edges, split.created_edges );
        }
        return nb_splits;
    }

    void FindAndCutAlongPatchImpl::process()
    {
        if( front_cycles_.empty() )
        {
            return;
        }
        const auto limit = 100 * boundary_edges_.size();
        std::size_t nb_steps{ 0 };
        while( true )
        {
            nb_steps++;
            auto& cycle = front_cycles_.back();
            if( cycle.size() <= 2 )
            {
                front_cycles_.pop_back();
            }
            else
            {
                const auto front = cycle.vertices().front();
                const auto next = *std::next( cycle.vertices().begin() );
                const auto& front_edge = patch_->front_edge( { front, next } );
                if( patch_->record( front_edge.record ).inner.polygon_id != NO_ID )
                {
                    fail();
                }
                const auto apex = find_next_cut( patch_->solid_vertex( front ),
                    patch_->solid_vertex( next ), cycle );
                add_patch_triangle( front, next, apex );
            }
            // A front that has just closed is complete, whatever the count.
            if( front_cycles_.empty() )
            {
                finalise();
                return;
            }
            if( nb_steps >= limit )
            {
                throw OpenOrvaneException{ "[FindAndCutAlongPatchImpl::process] "
                                           "Too many steps while cutting along "
                                           "patch. (",
                    triangle_.barycenter().string(), ")" };
            }
        }
    }

    SIDE FindAndCutAlongPatchImpl::apex_side(
        index_t front_vertex, index_t next_vertex, index_t apex ) const
    {
        return triangle_area_sign(
            Triangle< 3 >{ solid_.point( front_vertex ),
                solid_.point( next_vertex ), solid_.point( apex ) },
            projection_axis_ );
    }

    std::optional< index_t > FindAndCutAlongPatchImpl::find_cycle_apex(
        index_t front_vertex,
        index_t next_vertex,
        absl::Span< const index_t > candidates,
        const FrontCycle& cycle ) const
    {
        const auto& vertices = cycle.vertices();
        const auto f = vertices.front();
        const auto h = *std::next( vertices.begin() );
        const auto point_of = [&]( index_t patch_vertex ) -> const Point< 3 >& {
            return solid_.point( patch_->solid_vertex( patch_vertex ) );
        };
        // True when a cycle vertex in [begin, end) lies on the segment.
        const auto blocks = [&]( auto begin, auto end, const Segment< 3 >& segment ) {
            for( auto it = begin; it != end; ++it )
            {
                if( is_near_segment( point_of( *it ), segment ) )
                {
                    return true;
                }
            }
            return false;
        };
        std::optional< index_t > best;
        double best_area{ -1. };
        absl::flat_hash_set< index_t > seen;
        for( const auto candidate : candidates )
        {
            if( !seen.insert( candidate ).second )
            {
                continue;
            }
            const auto g = patch_->patch_vertex( candidate );
            if( !g )
            {
                continue;
            }
            const auto at = std::find( vertices.begin(), vertices.end(), *g );
            if( at == vertices.end() || patch_->has_triangle( f, h, *g ) )
            {
                continue;
            }
            const auto after_h = std::next( vertices.begin(), 2 );
            if( blocks( after_h, at, Segment< 3 >{ point_of( h ), point_of( *g ) } )
                || blocks( std::next( at ), vertices.end(),
                    Segment< 3 >{ point_of( *g ), point_of( f ) } ) )
            {
                continue;
            }
            if( apex_side( front_vertex, next_vertex, candidate ) == backward_side_ )
            {
                continue;
            }
            const auto area = triangle_area(
                Triangle< 3 >{ solid_.point( candidate ),
                    solid_.point( front_vertex ), solid_.point( next_vertex ) } );
            if( area > best_area )
            {
                best_area = area;
                best = candidate;
            }
        }
        return best;
    }

    index_t FindAndCutAlongPatchImpl::find_next_cut(
        index_t front_vertex, index_t next_vertex, const FrontCycle& cycle )
    {
        absl::InlinedVector< index_t, 20 > candidates;
        for( const auto tetrahedron :
            solid_.polyhedra_around_edge( { front_vertex, next_vertex } ) )
        {
            absl::InlinedVector< index_t, 2 > others;
            for( const auto vertex : solid_.polyhedron_vertices( tetrahedron ) )
            {
                if( vertex != front_vertex && vertex != next_vertex )
                {
                    others.push_back( vertex );
                }
            }
            std::sort( others.begin(), others.end() );
            candidates.insert( candidates.end(), others.begin(), others.end() );
        }
        if( const auto apex =
                find_cycle_apex( front_vertex, next_vertex, candidates, cycle ) )
        {
            return *apex;
        }
        const auto f = cycle.vertices().front();
        const auto h = *std::next( cycle.vertices().begin() );
        const auto on_triangle = [&]( index_t vertex ) {
            return is_on_triangle( solid_.point( vertex ) );
        };
        const auto degenerate = [&]( index_t vertex ) {
            return is_degenerate( Triangle< 3 >{ solid_.point( front_vertex ),
                solid_.point( next_vertex ), solid_.point( vertex ) } );
        };
        const auto in_cycle_without_triangle = [&]( index_t vertex ) {
            const auto g = patch_->patch_vertex( vertex );
            return g && cycle.contains( *g ) && !patch_->has_triangle( f, h, *g );
        };
        for( const auto candidate : candidates )
        {
            if( !patch_->is_reached( candidate ) && on_triangle( candidate )
                && apex_side( front_vertex, next_vertex, candidate )
                       != backward_side_ )
            {
                return candidate;
            }
        }
        for( const auto candidate : candidates )
        {
            if( in_cycle_without_triangle( candidate ) && on_triangle( candidate )
                && degenerate( candidate ) )
            {
                return candidate;
            }
        }
        for( const auto candidate : candidates )
        {
            if( !patch_->is_reached( candidate ) && on_triangle( candidate )
                && degenerate( candidate ) )
            {
                return candidate;
            }
        }
        failure_.front_blocked = true;
        fail();
    }

    void FindAndCutAlongPatchImpl::perform_one_cut( index_t apex )
    {
        if( apexes_.insert( apex ).second )
        {
            result_.cut_vertices.push_back( { apex, { apex } } );
        }
    }

    void FindAndCutAlongPatchImpl::add_patch_triangle(
        index_t front, index_t next, index_t apex )
    {
        perform_one_cut( apex );
        const auto d = patch_->find_or_create_vertex( apex );
        const auto triangle = patch_->builder().create_triangle( { front, d, next } );
        auto& record = patch_->record( patch_->front_edge( { front, next } ).record );
        record.inner = PolygonEdge{ triangle, 2 };
        if( record.outer.polygon_id != NO_ID )
        {
            patch_->link( record.outer, record.inner );
        }
        patch_->mark_reached( apex );
        patch_->add_front_edge( front, d, PolygonEdge{ triangle, 0 }, solid_ );
        patch_->add_front_edge( d, next, PolygonEdge{ triangle, 1 }, solid_ );

        auto& cycle = front_cycles_.back();
        const auto& vertices = cycle.vertices();
        if( vertices.size() == 3 && cycle.contains( d ) )
        {
            front_cycles_.pop_back();
        }
        else if( vertices.back() == d )
        {
            cycle.remove( front );
        }
        else if( *std::next( vertices.begin(), 2 ) == d )
        {
            cycle.remove( next );
        }
        else if( !cycle.contains( d ) )
        {
            cycle.insert_after( front, d );
        }
        else
        {
            cycle.insert_after( front, d );
            auto piece = cycle.split_at( d );
            front_cycles_.push_back( std::move( piece ) );
        }
    }

    void FindAndCutAlongPatchImpl::collapse_short_edges()
    {
        const auto& edges = solid_.edges();
        const auto& facets = solid_.facets();
        const auto is_short = [&]( index_t a, index_t b ) {
            return point_point_distance( solid_.point( a ), solid_.point( b ) )
                   < GLOBAL_EPSILON;
        };
        std::deque< std::pair< index_t, index_t > > pending;
        absl::flat_hash_set< std::pair< index_t, index_t > > queued;
        for( const auto& entry : result_.modified_facets )
        {
            if( !modifier_.is_facet_active( entry.element ) )
            {
                continue;
            }
            const auto& vertices = facets.facet_vertices( entry.element );
            for( const local_index_t k : { 0, 1, 2 } )
            {
                const auto pair = std::minmax( vertices[k], vertices[( k + 1 ) % 3] );
                if( is_short( pair.first, pair.second ) && queued.insert( pair ).second )
                {
                    pending.push_back( pair );
                }
            }
        }
        // A collapse can make a refused one valid, so every pair is tried
        // again until a whole round collapses nothing.
        bool collapsed{ true };
        while( collapsed && !pending.empty() )
        {
            collapsed = false;
            std::deque< std::pair< index_t, index_t > > refused;
            for( const auto& [first, second] : pending )
            {
                const auto a = modifier_.updated_vertex( first );
                const auto b = modifier_.updated_vertex( second );
                if( a == b || !is_short( a, b ) )
                {
                    continue;
                }
                const auto edge = edges.edge_from_vertices( { a, b } );
                if( !edge )
                {
                    continue;
                }
                std::optional< local_index_t > kept;
                if( is_collapse_edge_valid( solid_, *edge, 0 ) )
                {
                    kept = 0;
                }
                else if( is_collapse_edge_valid( solid_, *edge, 1 ) )
                {
                    kept = 1;
                }
                if( !kept )
                {
                    refused.emplace_back( a, b );
                    continue;
                }
                const auto point = solid_.point( edges.edge_vertices( *edge )[*kept] );
                const auto collapse = modifier_.collapse_edge( *edge, point );
                collapsed = true;
                std::erase_if( result_.modified_edges,
                    [&]( const ElementEntry& entry ) {
                        return entry.element == *edge;
                    } );
                for( auto& entry : result_.cut_vertices )
                {
                    entry.element = modifier_.updated_vertex( entry.element );
                }
                append_origins( result_.modified_facets, collapse.facets );
                append_origins( result_.modified_edges, collapse.edges );
            }
            pending = std::move( refused );
        }
        for( const auto& [first, second] : pending )
        {
            const auto a = modifier_.updated_vertex( first );
            const auto b = modifier_.updated_vertex( second );
            if( a == b )
            {
                continue;
            }
            if( const auto edge = edges.edge_from_vertices( { a, b } ) )
            {
                result_.short_edges.push_back( *edge );
            }
        }
    }

    void FindAndCutAlongPatchImpl::finalise()
    {
        if( finalised_ )
        {
            return;
        }
        finalised_ = true;
        collapse_short_edges();
        detail::merge_element_entries( result_.cut_vertices );
        detail::merge_element_entries( result_.modified_edges );
        detail::merge_element_entries( result_.modified_facets );
        std::erase_if( result_.tetrahedra, [this]( const ElementOrigin& origin ) {
            return !modifier_.is_polyhedron_active( origin.new_element );
        } );

        const auto& patch = patch_->mesh();
        const auto& facets = solid_.facets();
        std::vector< index_t > patch_facets;
        absl::flat_hash_set< index_t > in_patch;
        for( index_t triangle = 0; triangle < patch.nb_polygons(); triangle++ )
        {
            PolyhedronFacetVertices vertices;
            for( const local_index_t k : { 0, 1, 2 } )
            {
                vertices.push_back( modifier_.updated_vertex( patch_->solid_vertex(
                    patch.polygon_vertex( { triangle, k } ) ) ) );
            }
            if( vertices[0] == vertices[1] || vertices[1] == vertices[2]
                || vertices[0] == vertices[2] )
            {
                continue;
            }
            if( const auto facet = facets.facet_from_vertices( vertices ) )
            {
                if( in_patch.insert( *facet ).second )
                {
                    patch_facets.push_back( *facet );
                }
            }
        }
        absl::flat_hash_set< index_t > covered;
        std::vector< ElementEntry > others;
        for( auto& entry : result_.modified_facets )
        {
            if( !modifier_.is_facet_active( entry.element ) )
            {
                continue;
            }
            if( in_patch.contains( entry.element ) )
            {
                covered.insert( entry.element );
                result_.patch_facets.push_back( std::move( entry ) );
            }
            else
            {
                others.push_back( std::move( entry ) );
            }
        }
        result_.modified_facets = std::move( others );
        for( const auto facet : patch_facets )
        {
            if( !covered.contains( facet ) )
            {
                result_.patch_facets.push_back( { facet, { facet } } );
            }
        }
    }

    void FindAndCutAlongPatchImpl::fail()
    {
        finalise();
        failure_.result = result_;
        throw CutPatchException{ failure_ };
    }

    CutAlongPatchResult FindAndCutAlongPatchImpl::take_result()
    {
        return std::move( result_ );
    }

    namespace detail
    {
        std::vector< std::string > save_patch_cut_failure(
            const TetrahedralSolid< 3 >& solid,
            index_t tetrahedron,
            const PatchSurface& patch,
            absl::Span< const FrontCycle > cycles )
        {
            const auto number = dump_counter.fetch_add( 1 );
            std::vector< std::string > files = save_tetrahedra(
                solid, { tetrahedron }, absl::StrCat( "tetrahedra_", number ) );
            auto curve = EdgedCurve< 3 >::create();
            auto builder = EdgedCurveBuilder< 3 >::create( *curve );
            for( const auto& cycle : cycles )
            {
                if( cycle.empty() )
                {
                    continue;
                }
                const auto first = curve->nb_vertices();
                for( const auto vertex : cycle.vertices() )
                {
                    builder->create_point(
                        solid.point( patch.solid_vertex( vertex ) ) );
                }
                const auto last = curve->nb_vertices() - 1;
                for( auto v = first; v < last; v++ )
                {
                    builder->create_edge( v, v + 1 );
                }
                builder->create_edge( last, first );
            }
            const auto name = absl::StrCat( "cycles_", number, "_999.oo_edc3d" );
            save_edged_curve( *curve, name );
            files.push_back( name );
            return files;
        }
    } // namespace detail
} // namespace orvane
