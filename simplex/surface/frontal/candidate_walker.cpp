#include <simplex/surface/frontal/candidate_walker.hpp>

#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/intersection.hpp>
#include <openorvane/geometry/intersection_detection.hpp>
#include <openorvane/geometry/predicates.hpp>

#include <simplex/surface/frontal/frontal_remesher_impl.hpp>

namespace orvane::internal
{
    template < index_t dimension >
    CandidateWalker< dimension >::CandidateWalker(
        const SurfaceMesh< dimension >& macro,
        typename FrontalRemesher< dimension >::Impl& state,
        const Cutter& cutter )
        : macro_( macro ), state_( state ), cutter_( cutter )
    {
    }

    template < index_t dimension >
    POSITION CandidateWalker< dimension >::detect(
        const Segment< dimension >& segment ) const
    {
        if constexpr( dimension == 3 )
        {
            return segment_plane_intersection_detection( segment, cutter_ );
        }
        else
        {
            return segment_line_intersection_detection( segment, cutter_ );
        }
    }

    template < index_t dimension >
    SIDE CandidateWalker< dimension >::side( const Point< dimension >& point ) const
    {
        if constexpr( dimension == 3 )
        {
            return point_side_to_plane( point, cutter_ );
        }
        else
        {
            return point_side_to_line( point, cutter_ );
        }
    }

    template < index_t dimension >
    index_t CandidateWalker< dimension >::max_steps() const
    {
        // A section that does not close on itself crosses each polygon at
        // most once.
        return 2 * macro_.nb_polygons() + 8;
    }

    template < index_t dimension >
    SurfacePathCrossing CandidateWalker< dimension >::next_crossing(
        const PolygonEdge& edge )
    {
        const auto before = macro_.previous_polygon_edge( edge );
        const auto opposite = macro_.polygon_edge_vertex( before, 0 );
        const auto where = side( macro_.point( opposite ) );
        if( where == SIDE::zero )
        {
            return { before, POSITION::vertex0, opposite, true };
        }
        // 3-D leaves through the edge after `edge` below the plane, 2-D on
        // the left of the line.
        const auto after_side = dimension == 3 ? SIDE::negative : SIDE::positive;
        return { where == after_side ? macro_.next_polygon_edge( edge ) : before,
            POSITION::inside, NO_ID, true };
    }

    template < index_t dimension >
    Point< dimension > CandidateWalker< dimension >::crossing_point(
        const SurfacePathCrossing& crossing ) const
    {
        if( crossing.vertex != NO_ID )
        {
            return macro_.point( crossing.vertex );
        }
        const auto segment = macro_.segment( crossing.edge );
        const auto intersection = [&] {
            if constexpr( dimension == 3 )
            {
                return segment_plane_intersection( segment, cutter_ );
            }
            else
            {
                return segment_line_intersection( segment, cutter_ );
            }
        }();
        if( intersection.type == INTERSECTION_TYPE::intersect )
        {
            return intersection.result.value();
        }
        return segment.barycenter();
    }

    template < index_t dimension >
    bool CandidateWalker< dimension >::start_at(
        const MacroEdgeStep& step, Crossings& crossings )
    {
        const auto origin = step_origin( macro_, step );
        const auto destination = step_destination( macro_, step );
        const Segment< dimension > travel{ macro_.point( origin ),
            macro_.point( destination ) };
        const auto position = detect( travel );
        if( position != POSITION::inside && position != POSITION::vertex0
            && position != POSITION::vertex1 )
        {
            // Missed, or the whole step lies on the cutter.
            return false;
        }
        if( position == POSITION::inside )
        {
            crossings.push_back( { step.edge, POSITION::inside, NO_ID, true } );
            const auto twin = macro_.polygon_adjacent_edge( step.edge );
            const auto& entered = twin ? *twin : step.edge;
            if( dimension == 2 || !state_.is_covered( entered.polygon_id ) )
            {
                crossings.push_back( next_crossing( entered ) );
            }
            return true;
        }
        const auto vertex = position == POSITION::vertex0 ? origin : destination;
        const auto own_position = macro_.polygon_edge_vertex( step.edge, 0 ) == vertex
                                      ? POSITION::vertex0
                                      : POSITION::vertex1;
        crossings.push_back( { step.edge, own_position, vertex, true } );
        for( const auto& corner : macro_.polygons_around_vertex( vertex ) )
        {
            if( state_.is_covered( corner.polygon_id ) )
            {
                continue;
            }
            const auto opposite =
                macro_.next_polygon_edge( { corner.polygon_id, corner.vertex_id } );
            const auto crossed = detect( macro_.segment( opposite ) );
            if( crossed == POSITION::outside )
            {
                continue;
            }
            index_t at{ NO_ID };
            if( crossed == POSITION::vertex0 )
            {
                at = macro_.polygon_edge_vertex( opposite, 0 );
            }
            else if( crossed == POSITION::vertex1 )
            {
                at = macro_.polygon_edge_vertex( opposite, 1 );
            }
            crossings.push_back( { opposite, crossed, at, true } );
            break;
        }
        return true;
    }

    template < index_t dimension >
    auto CandidateWalker< dimension >::walk_from( Crossings crossings, double limit )
        -> std::optional< Crossings >
    {
        if( crossings.empty() )
        {
            return std::nullopt;
        }
        const auto& origin = cutter_.origin();
        const auto bound = max_steps();
        for( index_t count = 0; count < bound; count++ )
        {
            const auto last = crossings.back();
            if( last.vertex != NO_ID )
            {
                if( dimension == 2
                    || point_point_distance( origin, macro_.point( last.vertex ) )
                           > limit )
                {
                    return crossings;
                }
            }
            else
            {
                const auto ends = macro_.polygon_edge_vertices( last.edge );
                if( point_point_distance( origin, macro_.point( ends[0] ) ) > limit
                    || point_point_distance( origin, macro_.point( ends[1] ) )
                           > limit )
                {
                    if( point_point_distance( origin, crossing_point( last ) )
                        > limit )
                    {
                        return crossings;
                    }
                }
            }
            const auto across = macro_.polygon_adjacent( last.edge );
            if( !across || state_.is_covered( *across ) )
            {
                return crossings;
            }
            crossings.push_back(
                next_crossing( macro_.polygon_adjacent_edge( last.edge ).value() ) );
        }
        // The section closes on itself within the limit.
        return std::nullopt;
    }

    template < index_t dimension >
    std::optional< FrontalCandidate< dimension > > frontal_candidate_point(
        typename FrontalRemesher< dimension >::Impl& state,
        const FrontalQueueElement< dimension >& element,
        const Point< dimension >& query )
    {
        const auto cutter = [&] {
            if constexpr( dimension == 3 )
            {
                return Plane{ Vector< 3 >{ element.p0, element.p1 }, query };
            }
            else
            {
                // p0 -> p1 turned a quarter counter-clockwise: the line runs
                // into the element's open side, as the side rule of
                // next_crossing expects.
                return InfiniteLine< 2 >{
                    perpendicular( Vector< 2 >{ element.p0, element.p1 } ), query
                };
            }
        }();
        CandidateWalker< dimension > walker{ state.macro, state, cutter };
        // The walk starts at the first step of the element's path that the
        // cutter meets: the path is followed only that far.
        typename CandidateWalker< dimension >::Crossings first;
        state.visit_macro_edge_path( element.v0, element.v1, element.id,
            [&]( const MacroEdgeStep& step ) {
                return walker.start_at( step, first );
            } );
        auto crossings = walker.walk_from( std::move( first ), element.height );
        if( !crossings )
        {
            return std::nullopt;
        }
        const auto start = walker.crossing_point( crossings->front() );
        const auto start_distance = point_point_distance( query, start );
        const auto last = walker.crossing_point( crossings->back() );
        const auto last_distance = point_point_distance( query, last );
        if( last_distance > element.height )
        {
            if( crossings->size() < 2 )
            {
                // Nothing before the last crossing to interpolate from.
                return std::nullopt;
            }
            const auto beyond = crossings->back();
            crossings->pop_back();
            const auto before = walker.crossing_point( crossings->back() );
            const auto before_distance = point_point_distance( query, before );
            if( dimension == 3 && before_distance > element.height )
            {
                return std::nullopt;
            }
            const Vector< dimension > step{ before, last };
            Point< dimension > target = last;
            if( step.length() >= 1e-6 && last_distance - before_distance >= 1e-6 )
            {
                target = before
                         + step
                               * ( ( element.height - before_distance )
                                   / ( last_distance - before_distance ) );
            }
            const auto polygon = beyond.edge.polygon_id;
            FrontalCandidate< dimension > candidate;
            candidate.polygon = polygon;
            candidate.start_distance = start_distance;
            candidate.start = start;
            if( const auto met = state.element_at_polygon_vertex( polygon, target ) )
            {
                candidate.point = met->second;
                candidate.element = met->first;
                candidate.on_vertex = true;
            }
            else
            {
                candidate.point = target;
            }
            candidate.distance = point_point_distance( candidate.point, query );
            return candidate;
        }
        const auto& final_crossing = crossings->back();
        const auto other =
            state.other_open_element_on_edge( final_crossing.edge, element.id );
        if( !other )
        {
            return std::nullopt;
        }
        FrontalCandidate< dimension > candidate;
        candidate.point = last;
        candidate.polygon = final_crossing.edge.polygon_id;
        candidate.element = *other;
        candidate.on_vertex = true;
        candidate.distance = last_distance;
        candidate.start_distance = start_distance;
        candidate.start = start;
        return candidate;
    }

    template class CandidateWalker< 2 >;
    template class CandidateWalker< 3 >;
    template std::optional< FrontalCandidate< 2 > > frontal_candidate_point< 2 >(
        FrontalRemesher< 2 >::Impl&, const FrontalQueueElement< 2 >&, const Point< 2 >& );
    template std::optional< FrontalCandidate< 3 > > frontal_candidate_point< 3 >(
        FrontalRemesher< 3 >::Impl&, const FrontalQueueElement< 3 >&, const Point< 3 >& );
} // namespace orvane::internal
