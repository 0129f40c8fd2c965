#include <algorithm>
#include <limits>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/distance.hpp>

#include <simplex/surface/frontal/frontal_distance_bounds.hpp>
#include <simplex/surface/frontal/frontal_remesher_impl.hpp>

namespace
{
    /// The new vertex snaps to a front vertex closer to a new side than this
    /// share of the side's length (1 / 2.82).
    constexpr double SIDE_SNAP_FACTOR = 0.3546099290780142;

    /// Share of the target size within which straying cuts do not count.
    constexpr double TOLERANCE_FACTOR = 0.05;

    template < orvane::index_t dimension >
    bool same_point(
        const orvane::Point< dimension >& p, const orvane::Point< dimension >& q )
    {
        double squared{ 0 };
        for( orvane::local_index_t c = 0; c < dimension; c++ )
        {
            const auto delta = p.value( c ) - q.value( c );
            squared += delta * delta;
        }
        return squared <= orvane::GLOBAL_EPSILON2;
    }

    /// Counts one nested triangle attempt for as long as it lives.
    class AttemptScope
    {
    public:
        explicit AttemptScope( orvane::index_t& depth ) : depth_( depth )
        {
            depth_++;
        }
        AttemptScope( const AttemptScope& ) = delete;
        AttemptScope& operator=( const AttemptScope& ) = delete;
        ~AttemptScope()
        {
            depth_--;
        }

    private:
        orvane::index_t& depth_;
    };
} // namespace

namespace orvane::internal
{
    template < index_t dimension >
    bool FrontalRemesher< dimension >::Impl::process_candidate(
        FrontalQueueElement< dimension >& element,
        const FrontalCandidate< dimension >& candidate )
    {
        apex_retry_depth = 0;
        apex_attempts = 0;
        const auto remap = [this]( index_t vertex ) {
            return updated_vertex( vertex );
        };
        const auto nearby = nearby_front_vertices( element, candidate );
        FrontEdgeMidpoint< dimension > midpoint{ ( element.p0 + element.p1 ) / 2.,
            std::numeric_limits< double >::max() };
        if( nearby.empty() )
        {
            element.apex = macro_vertex_at_point( candidate );
            element.remap_vertices( remap );
            return process_macro_triangle(
                element, TOLERANCE_FACTOR * element.size, midpoint );
        }
        for( const auto& [vertex, distance] : nearby )
        {
            const auto on_border =
                macro.is_vertex_on_border( vertex )
                && ( macro.is_vertex_on_border( element.v0 )
                     || macro.is_vertex_on_border( element.v1 ) );
            const auto base = on_border ? candidate.distance : element.size;
            element.apex = vertex;
            if( owner->is_well_oriented( element, candidate.point, vertex )
                && process_macro_triangle( element, TOLERANCE_FACTOR * base, midpoint ) )
            {
                return true;
            }
        }
        if( modifier->is_polygon_active( candidate.polygon ) && !candidate.on_vertex )
        {
            element.apex = macro_vertex_at_point( candidate );
            element.remap_vertices( remap );
            return process_macro_triangle(
                element, TOLERANCE_FACTOR * element.size, midpoint );
        }
        return false;
    }

    template < index_t dimension >
    typename FrontalRemesher< dimension >::Impl::NearbyVertices
        FrontalRemesher< dimension >::Impl::nearby_front_vertices(
            const FrontalQueueElement< dimension >& element,
            const FrontalCandidate< dimension >& candidate )
    {
        const auto& point = candidate.point;
        const Segment< dimension > side0{ point, element.p0 };
        const Segment< dimension > side1{ point, element.p1 };
        const auto limit0 = SIDE_SNAP_FACTOR * side0.length();
        const auto limit1 = SIDE_SNAP_FACTOR * side1.length();
        const auto half_height = 0.5 * element.height;
        // Every ball of the search is tested against these three.
        const FrontalBallPoint< dimension > point_probe{ point };
        const FrontalBallSegment< dimension > side0_probe{ side0 };
        const FrontalBallSegment< dimension > side1_probe{ side1 };
        NearbyVertices nearby;
        const auto qualifies = [&]( index_t vertex ) {
            if( vertex_info->value( vertex ) == NO_ID )
            {
                return false;
            }
            const auto& position = macro.point( vertex );
            return !same_point( position, element.p0 )
                   && !same_point( position, element.p1 );
        };
        const auto add_end = [&]( index_t vertex ) {
            if( qualifies( vertex ) )
            {
                nearby.emplace_back(
                    vertex, point_point_distance( point, macro.point( vertex ) ) );
            }
        };

        // The elements met on the edges of the search, with their ends and
        // whether their segment passes within half the height: an element
        // runs along several edges of the search, and its ends and segment
        // stay the same while nothing is edited.
        struct MetElement
        {
            index_t element;
            std::pair< index_t, index_t > ends;
            bool near;
        };
        absl::InlinedVector< MetElement, 8 > met_elements;

        auto& examined = scratch_vertices;
        auto& visited = scratch_polygons;
        examined.start( macro.nb_vertices() );
        visited.start( macro.nb_polygons() );
        auto& stack = scratch_stack;
        stack.assign( 1, candidate.polygon );
        visited.insert( candidate.polygon );
        while( !stack.empty() )
        {
            const auto polygon = stack.back();
            stack.pop_back();
            // The polygons across are read below, after the vertices: their
            // records start loading now.
            const auto across_edges = adjacent_polygons( polygon );
            for( const auto vertex : macro.polygon_vertices( polygon ) )
            {
                if( !examined.insert( vertex ) || !qualifies( vertex ) )
                {
                    continue;
                }
                const auto& position = macro.point( vertex );
                const auto to_point = point_point_distance( point, position );
                if( to_point < half_height )
                {
                    nearby.emplace_back( vertex, to_point );
                }
                const auto to_side0 =
                    std::get< 0 >( point_segment_distance( position, side0 ) );
                if( to_side0 < limit0 )
                {
                    nearby.emplace_back( vertex, to_side0 );
                }
                const auto to_side1 =
                    std::get< 0 >( point_segment_distance( position, side1 ) );
                if( to_side1 < limit1 )
                {
                    nearby.emplace_back( vertex, to_side1 );
                }
            }
            for( local_index_t e = 0; e < 3; e++ )
            {
                const PolygonEdge edge{ polygon, e };
                const auto across = across_edges[e] != NO_ID
                                        ? std::optional< index_t >{ across_edges[e] }
                                        : std::nullopt;
                const auto on_edge = element_on_polygon_edge( edge, across );
                if( on_edge == NO_ID || on_edge == element.id )
                {
                    if( !across || edge_info_holds( edge, element.id )
                        || !visited.insert( *across ) || is_covered( *across ) )
                    {
                        continue;
                    }
                    const auto segment = macro.segment( edge );
                    const FrontalSegmentBall< dimension > ball{ segment };
                    // The bounds answer first for the edges far from the
                    // new sides; they never change an answer (see
                    // FrontalSegmentBall).
                    if( ( !ball.beyond( point_probe, half_height )
                            && std::get< 0 >( point_segment_distance( point, segment ) )
                                   < half_height )
                        || ( !ball.beyond( side0_probe, limit0 )
                             && std::get< 0 >( segment_segment_distance( side0, segment ) )
                                    < limit0 )
                        || ( !ball.beyond( side1_probe, limit1 )
                             && std::get< 0 >( segment_segment_distance( side1, segment ) )
                                    < limit1 ) )
                    {
                        stack.push_back( *across );
                    }
                    continue;
                }
                const auto met = std::find_if( met_elements.begin(),
                    met_elements.end(), [on_edge]( const MetElement& entry ) {
                        return entry.element == on_edge;
                    } );
                if( met == met_elements.end() )
                {
                    const auto ends = element_vertices( on_edge );
                    const Segment< dimension > other{ macro.point( ends.first ),
                        macro.point( ends.second ) };
                    const auto near =
                        !FrontalSegmentBall< dimension >{ other }.beyond(
                            point_probe, half_height )
                        && std::get< 0 >( point_segment_distance( point, other ) )
                               <= half_height;
                    met_elements.push_back( { on_edge, ends, near } );
                    if( near )
                    {
                        add_end( ends.first );
                        add_end( ends.second );
                    }
                }
                else if( met->near )
                {
                    add_end( met->ends.first );
                    add_end( met->ends.second );
                }
            }
        }
        if( candidate.on_vertex && candidate.element != NO_ID )
        {
            const auto ends = element_vertices( candidate.element );
            add_end( ends.first );
            add_end( ends.second );
        }
        std::sort( nearby.begin(), nearby.end(),
            []( const auto& lhs, const auto& rhs ) {
                if( lhs.second != rhs.second )
                {
                    return lhs.second < rhs.second;
                }
                return lhs.first < rhs.first;
            } );
        nearby.erase( std::unique( nearby.begin(), nearby.end(),
                          []( const auto& lhs, const auto& rhs ) {
                              return lhs.first == rhs.first;
                          } ),
            nearby.end() );
        return nearby;
    }

    template < index_t dimension >
    bool FrontalRemesher< dimension >::Impl::process_macro_triangle(
        FrontalQueueElement< dimension >& element,
        double tolerance,
        FrontEdgeMidpoint< dimension >& midpoint )
    {
        // Every retry below may find new proposals or inner vertices again;
        // beyond these bounds the element is given up and left open, for the
        // hole pieces.
        if( apex_retry_depth >= MAX_APEX_RETRY_DEPTH
            || apex_attempts >= MAX_APEX_ATTEMPTS )
        {
            return false;
        }
        apex_attempts++;
        const AttemptScope scope{ apex_retry_depth };
        const auto remap = [this]( index_t vertex ) {
            return updated_vertex( vertex );
        };
        const auto retry_tolerance = TOLERANCE_FACTOR * element.size;

        const auto next_id = static_cast< index_t >( element_vertices_.size() );
        auto first = process_macro_edge(
            element.v0, element.apex, next_id, tolerance, midpoint, element );
        element.remap_vertices( remap );
        if( !first )
        {
            return false;
        }
        if( first->apex_vertex )
        {
            element.apex = *first->apex_vertex;
            return process_macro_triangle( element, retry_tolerance, midpoint );
        }
        auto second = process_macro_edge( element.apex, element.v1,
            first->new_element ? next_id + 1 : next_id, tolerance, midpoint,
            element );
        element.remap_vertices( remap );
        first->v0 = updated_vertex( first->v0 );
        first->v1 = updated_vertex( first->v1 );
        if( !second )
        {
            if( first->new_element )
            {
                remove_macro_edge_element( *first );
            }
            return false;
        }
        if( second->apex_vertex )
        {
            if( first->new_element )
            {
                remove_macro_edge_element( *first );
            }
            element.apex = *second->apex_vertex;
            return process_macro_triangle( element, retry_tolerance, midpoint );
        }
        const auto unregister = [&] {
            if( first->new_element )
            {
                remove_macro_edge_element( *first );
            }
            if( second->new_element )
            {
                remove_macro_edge_element( *second );
            }
        };
        const auto covered = init_stack( *first, *second, element );
        if( !touches_element( covered, element.id ) )
        {
            unregister();
            return false;
        }
        const auto inner = inner_front_vertices( covered, element );
        if( !inner.empty() )
        {
            unregister();
            for( const auto vertex : inner )
            {
                if( point_point_distance(
                        macro.point( element.apex ), macro.point( vertex ) )
                    >= 2 * element.size )
                {
                    throw OpenOrvaneException{
                        "[Frontal::process_macro_triangle] Corner too far away"
                    };
                }
                element.apex = vertex;
                if( process_macro_triangle( element, tolerance, midpoint ) )
                {
                    return true;
                }
            }
            return false;
        }

        const auto apex_output = output_vertex( element.apex, false );
        const auto triangle = output().builder->create_triangle(
            { vertex_info->value( element.v0 ), vertex_info->value( element.v1 ),
                apex_output } );
        element_triangles.at( element.id ).second = triangle;
        set_element_adjacency( element.v1, element.v0, triangle, element.id );
        for( const auto polygon : covered )
        {
            triangle_info->set_value( polygon, triangle );
        }
        update_macro_edge_info( *first, triangle, element.v0, element.apex );
        update_macro_edge_info( *second, triangle, element.apex, element.v1 );
        return true;
    }

    template < index_t dimension >
    void FrontalRemesher< dimension >::Impl::add_path_boundary(
        index_t a, index_t b, index_t element )
    {
        add_steps_boundary( macro_edge_path( a, b, element ) );
    }

    template < index_t dimension >
    void FrontalRemesher< dimension >::Impl::add_steps_boundary(
        absl::Span< const MacroEdgeStep > steps )
    {
        for( const auto& step : steps )
        {
            const auto ends = macro.polygon_edge_vertices( step.edge );
            FrontalBoundaryRecord record;
            record.edge = step.edge;
            record.vertices = std::minmax( ends[0], ends[1] );
            if( step.forward )
            {
                // The edge's own polygon lies left of the walk, outside the
                // triangle; its twin lies inside.
                if( const auto twin = macro.polygon_adjacent_edge( step.edge ) )
                {
                    record.edge = *twin;
                }
                else
                {
                    record.no_inner_polygon = true;
                }
            }
            const auto order = static_cast< index_t >( scratch_boundary.size() );
            scratch_boundary.emplace_back( record, order );
        }
    }

    template < index_t dimension >
    typename FrontalRemesher< dimension >::Impl::CoveredPolygons
        FrontalRemesher< dimension >::Impl::init_stack(
        const MacroEdgeInfo& first,
        const MacroEdgeInfo& second,
        const FrontalQueueElement< dimension >& element )
    {
        auto& boundary = scratch_boundary;
        boundary.clear();
        // A side that closes an open element read its path when it was
        // settled; the second side is settled last, and the first is
        // followed by no edit when the second closes an element too.
        const auto add_side = [this]( const MacroEdgeInfo& side, bool unedited ) {
            if( unedited && !side.new_element
                && side.path_ends == std::make_pair( side.v0, side.v1 ) )
            {
                add_steps_boundary( side.path_steps );
                return;
            }
            add_path_boundary( side.v0, side.v1, side.element );
        };
        add_side( first, !second.new_element );
        add_side( second, true );
        add_path_boundary( element.v1, element.v0, element.id );

        // Seeds in the order of their vertex pairs, so that the covered list
        // does not depend on the walks' order. A pair met an even number of
        // times is inside the region; of one met an odd number of times the
        // last record met counts.
        std::sort( boundary.begin(), boundary.end(),
            []( const auto& lhs, const auto& rhs ) {
                if( lhs.first.vertices != rhs.first.vertices )
                {
                    return lhs.first.vertices < rhs.first.vertices;
                }
                return lhs.second < rhs.second;
            } );

        auto& visited = scratch_polygons;
        visited.start( macro.nb_polygons() );
        auto& stack = scratch_stack;
        stack.clear();
        CoveredPolygons covered;
        for( std::size_t run = 0; run < boundary.size(); )
        {
            auto next = run + 1;
            while( next < boundary.size()
                   && boundary[next].first.vertices == boundary[run].first.vertices )
            {
                next++;
            }
            const auto count = next - run;
            run = next;
            if( count % 2 == 0 )
            {
                continue;
            }
            const auto& record = boundary[next - 1].first;
            const auto polygon = record.edge.polygon_id;
            if( !modifier->is_polygon_active( polygon ) )
            {
                throw OpenOrvaneException{
                    "[Frontal::init_stack] Polygon should be active"
                };
            }
            if( record.no_inner_polygon )
            {
                visited.insert( polygon );
                continue;
            }
            if( const auto across = macro.polygon_adjacent( record.edge ) )
            {
                visited.insert( *across );
            }
            if( visited.insert( polygon ) )
            {
                covered.push_back( polygon );
                stack.push_back( polygon );
            }
        }
        while( !stack.empty() )
        {
            const auto polygon = stack.back();
            stack.pop_back();
            const auto across_edges = adjacent_polygons( polygon );
            for( local_index_t e = 0; e < 3; e++ )
            {
                const PolygonEdge edge{ polygon, e };
                const auto across = across_edges[e] != NO_ID
                                        ? std::optional< index_t >{ across_edges[e] }
                                        : std::nullopt;
                if( !across || is_covered( *across )
                    || element_on_polygon_edge( edge, across ) != NO_ID )
                {
                    continue;
                }
                if( visited.insert( *across ) )
                {
                    stack.push_back( *across );
                    covered.push_back( *across );
                }
            }
        }
        return covered;
    }

    template < index_t dimension >
    std::vector< index_t > FrontalRemesher< dimension >::Impl::inner_front_vertices(
        absl::Span< const index_t > covered,
        const FrontalQueueElement< dimension >& element ) const
    {
        std::vector< index_t > inner;
        for( const auto polygon : covered )
        {
            for( const auto vertex : macro.polygon_vertices( polygon ) )
            {
                if( vertex != element.v0 && vertex != element.v1
                    && vertex != element.apex && vertex_info->value( vertex ) != NO_ID )
                {
                    inner.push_back( vertex );
                }
            }
        }
        std::sort( inner.begin(), inner.end() );
        inner.erase( std::unique( inner.begin(), inner.end() ), inner.end() );
        return inner;
    }

    template < index_t dimension >
    bool FrontalRemesher< dimension >::Impl::touches_element(
        absl::Span< const index_t > covered, index_t element ) const
    {
        for( const auto polygon : covered )
        {
            for( local_index_t e = 0; e < 3; e++ )
            {
                const PolygonEdge edge{ polygon, e };
                const auto twin = macro.polygon_adjacent_edge( edge );
                if( edge_info_holds( twin ? *twin : edge, element ) )
                {
                    return true;
                }
            }
        }
        return false;
    }

    template class FrontalRemesher< 2 >::Impl;
    template class FrontalRemesher< 3 >::Impl;
} // namespace orvane::internal
