#include <simplex/surface/frontal/propagate_along_macro_edge.hpp>

#include <algorithm>

#include <openorvane/geometry/intersection_detection.hpp>
#include <openorvane/geometry/predicates.hpp>

#include <simplex/surface/frontal/frontal_remesher_impl.hpp>

namespace
{
    orvane::SurfacePathCrossing vertex_record( orvane::index_t vertex )
    {
        return { orvane::PolygonEdge{}, orvane::POSITION::outside, vertex, true };
    }

    /// Two records name the same place: the same vertex, or for records
    /// without vertex the same polygon edge.
    bool same_place(
        const orvane::SurfacePathCrossing& lhs, const orvane::SurfacePathCrossing& rhs )
    {
        if( lhs.vertex != orvane::NO_ID || rhs.vertex != orvane::NO_ID )
        {
            return lhs.vertex == rhs.vertex;
        }
        return lhs.edge == rhs.edge;
    }

    template < orvane::index_t dimension >
    orvane::SurfacePathCrossing next_crossing_on_side(
        const orvane::SurfaceMesh< dimension >& mesh,
        const orvane::PolygonEdge& entered,
        orvane::SIDE side,
        bool positive_goes_next )
    {
        const auto before = mesh.previous_polygon_edge( entered );
        if( side == orvane::SIDE::zero )
        {
            return { before, orvane::POSITION::vertex0,
                mesh.polygon_edge_vertex( before, 0 ), true };
        }
        const bool go_next = ( side == orvane::SIDE::positive ) == positive_goes_next;
        return { go_next ? mesh.next_polygon_edge( entered ) : before,
            orvane::POSITION::inside, orvane::NO_ID, true };
    }
} // namespace

namespace orvane::internal
{
    template < index_t dimension >
    PropagateAlongSurfaceMacroEdge< dimension >::PropagateAlongSurfaceMacroEdge(
        const SurfaceMesh< dimension >& macro,
        index_t start,
        index_t end,
        typename FrontalRemesher< dimension >::Impl& state )
        : SurfaceSegmentFinder< dimension >( macro, start, end ), state_( state )
    {
    }

    template < index_t dimension >
    PropagateAlongSurfaceMacroEdge< dimension >::~PropagateAlongSurfaceMacroEdge() =
        default;

    template < index_t dimension >
    SurfacePathCrossing PropagateAlongSurfaceMacroEdge< dimension >::empty_crossing()
        const
    {
        return { PolygonEdge{}, POSITION::outside, NO_ID, true };
    }

    template < index_t dimension >
    SurfacePathCrossing PropagateAlongSurfaceMacroEdge< dimension >::edge_crossing(
        const PolygonEdge& edge, POSITION position ) const
    {
        index_t vertex{ NO_ID };
        if( position == POSITION::vertex0 )
        {
            vertex = this->mesh().polygon_edge_vertex( edge, 0 );
        }
        else if( position == POSITION::vertex1 )
        {
            vertex = this->mesh().polygon_edge_vertex( edge, 1 );
        }
        return { edge, position, vertex, true };
    }

    template < index_t dimension >
    auto PropagateAlongSurfaceMacroEdge< dimension >::find_path()
        -> std::optional< Path >
    {
        const auto& mesh = this->mesh();
        const auto s = this->begin();
        const auto t = this->end();
        Path path{ vertex_record( s ) };
        if( s == t )
        {
            return path;
        }
        if( mesh.polygon_edge_from_vertices( s, t )
            || mesh.polygon_edge_from_vertices( t, s ) )
        {
            path.push_back( vertex_record( t ) );
            return path;
        }
        auto found = propagate( crossing_starts() );
        if( !found )
        {
            found = propagate( front_starts() );
        }
        if( !found )
        {
            return std::nullopt;
        }
        if( found->back().vertex != t || found->back().edge.polygon_id != NO_ID )
        {
            found->push_back( vertex_record( t ) );
        }
        return found;
    }

    template < index_t dimension >
    auto PropagateAlongSurfaceMacroEdge< dimension >::crossing_starts()
        -> std::vector< Path >
    {
        const auto& mesh = this->mesh();
        std::vector< Path > starts;
        for( const auto& corner : mesh.polygons_around_vertex( this->begin() ) )
        {
            if( state_.is_covered( corner.polygon_id ) )
            {
                continue;
            }
            const auto opposite =
                mesh.next_polygon_edge( { corner.polygon_id, corner.vertex_id } );
            const auto vertices = mesh.polygon_edge_vertices( opposite );
            if( !is_oriented_edge( mesh.point( vertices[0] ), mesh.point( vertices[1] ) ) )
            {
                continue;
            }
            const auto position = crossing_position( mesh.segment( opposite ) );
            if( position == POSITION::outside )
            {
                continue;
            }
            starts.push_back(
                { vertex_record( this->begin() ), edge_crossing( opposite, position ) } );
        }
        return starts;
    }

    template < index_t dimension >
    auto PropagateAlongSurfaceMacroEdge< dimension >::front_starts()
        -> std::vector< Path >
    {
        const auto& mesh = this->mesh();
        const Path start{ vertex_record( this->begin() ) };
        std::vector< Path > starts;
        for( const auto& corner : mesh.polygons_around_vertex( this->begin() ) )
        {
            const PolygonEdge leaving{ corner.polygon_id, corner.vertex_id };
            if( auto path = follow_elements_on_edge( leaving, true, start ) )
            {
                starts.push_back( std::move( *path ) );
            }
            if( auto path = follow_elements_on_edge(
                    mesh.previous_polygon_edge( leaving ), false, start ) )
            {
                starts.push_back( std::move( *path ) );
            }
        }
        return starts;
    }

    template < index_t dimension >
    auto PropagateAlongSurfaceMacroEdge< dimension >::follow_elements_on_edge(
        const PolygonEdge& edge, bool forward, const Path& path )
        -> std::optional< Path >
    {
        for( const auto element : state_.open_elements_on_edge( edge ) )
        {
            if( auto found = follow_element(
                    { edge, PolygonVertex{ edge.polygon_id, edge.edge_id }, forward },
                    element, path ) )
            {
                return found;
            }
        }
        return std::nullopt;
    }

    template < index_t dimension >
    auto PropagateAlongSurfaceMacroEdge< dimension >::propagate(
        std::vector< Path > paths ) -> std::optional< Path >
    {
        const auto& mesh = this->mesh();
        const auto t = this->end();
        for( auto& path : paths )
        {
            while( true )
            {
                const auto last = path.back();
                if( last.vertex == t )
                {
                    return std::move( path );
                }
                if( last.edge.polygon_id == NO_ID )
                {
                    break;
                }
                const auto element = state_.element_on_polygon_edge( last.edge );
                SurfacePathCrossing next;
                if( element == NO_ID )
                {
                    const auto twin = mesh.polygon_adjacent_edge( last.edge );
                    if( !twin )
                    {
                        throw SurfacePathFinderException{};
                    }
                    if( !state_.is_covered( twin->polygon_id )
                        && mesh.polygon_vertex(
                               { twin->polygon_id,
                                   static_cast< local_index_t >(
                                       ( twin->edge_id + 2 ) % 3 ) } )
                               == t )
                    {
                        return std::move( path );
                    }
                    next = this->next_crossing( *twin );
                }
                else if( !last.toward_adjacent )
                {
                    next = this->next_crossing( last.edge );
                }
                else
                {
                    auto branches = follow_front( last.edge, path );
                    if( !branches.empty() )
                    {
                        if( auto found = propagate( std::move( branches ) ) )
                        {
                            return found;
                        }
                    }
                    break;
                }
                if( std::any_of( path.begin(), path.end(),
                        [&]( const SurfacePathCrossing& held ) {
                            return same_place( held, next );
                        } ) )
                {
                    break;
                }
                path.push_back( next );
            }
        }
        return std::nullopt;
    }

    template < index_t dimension >
    auto PropagateAlongSurfaceMacroEdge< dimension >::follow_front(
        const PolygonEdge& edge, const Path& path ) -> std::vector< Path >
    {
        const auto element = state_.element_on_polygon_edge( edge );
        std::vector< Path > found;
        const auto keep = [&]( std::optional< Path > branch ) {
            if( branch )
            {
                found.push_back( std::move( *branch ) );
            }
        };
        if( path.back().vertex == NO_ID )
        {
            const PolygonVertex start{ edge.polygon_id, edge.edge_id };
            keep( follow_element( { edge, start, true }, element, path ) );
            keep( follow_element( { edge, start, false }, element, path ) );
            return found;
        }
        for( const auto& step :
            state_.element_edges_around_vertex( element, path.back().vertex ) )
        {
            keep( follow_element( step, element, path ) );
        }
        return found;
    }

    template < index_t dimension >
    auto PropagateAlongSurfaceMacroEdge< dimension >::follow_element(
        MacroEdgeStep step, index_t element, const Path& given )
        -> std::optional< Path >
    {
        const auto& mesh = this->mesh();
        const auto s = this->begin();
        const auto t = this->end();
        Path path = given;
        const auto first = step_destination( mesh, step );
        if( first == t )
        {
            path.push_back( vertex_record( first ) );
            return path;
        }
        if( first == s || state_.vertex_info->value( first ) != NO_ID )
        {
            return std::nullopt;
        }
        path.push_back( vertex_record( first ) );
        for( index_t count = 0; count < MAX_FOLLOWED_EDGES; count++ )
        {
            const auto next = state_.find_next_edge_on_macro_edge( step, element );
            if( !next )
            {
                return std::nullopt;
            }
            step = *next;
            const auto destination = step_destination( mesh, step );
            if( destination == t )
            {
                path.push_back( vertex_record( destination ) );
                return path;
            }
            if( destination == s )
            {
                return std::nullopt;
            }
            if( state_.open_elements_on_macro_edge( step.edge ).size() < 2 )
            {
                const auto position = crossing_position( mesh.segment( step.edge ) );
                if( position != POSITION::outside && position != POSITION::parallel )
                {
                    const auto origin = step_origin( mesh, step );
                    if( !is_ahead( mesh.point( destination ), mesh.point( origin ) ) )
                    {
                        return std::nullopt;
                    }
                    auto crossing = edge_crossing( step.edge, position );
                    if( state_.is_covered( step.edge.polygon_id ) )
                    {
                        const auto twin = mesh.polygon_adjacent_edge( step.edge );
                        if( !twin )
                        {
                            return std::nullopt;
                        }
                        // The twin runs the other way: its ends swap.
                        crossing.edge = *twin;
                        if( mesh.polygon_edge_vertex( *twin, 0 ) != mesh.polygon_edge_vertex( step.edge, 0 ) )
                        {
                            if( position == POSITION::vertex0 )
                            {
                                crossing.position = POSITION::vertex1;
                            }
                            else if( position == POSITION::vertex1 )
                            {
                                crossing.position = POSITION::vertex0;
                            }
                        }
                    }
                    crossing.toward_adjacent = false;
                    path.push_back( crossing );
                    return path;
                }
            }
            if( state_.vertex_info->value( destination ) != NO_ID )
            {
                return std::nullopt;
            }
            path.push_back( vertex_record( destination ) );
        }
        return std::nullopt;
    }

    PropagateAlongSurfaceMacroEdge3D::PropagateAlongSurfaceMacroEdge3D(
        const SurfaceMesh< 3 >& macro,
        index_t start,
        index_t end,
        FrontalRemesher< 3 >::Impl& state,
        const Plane& plane )
        : PropagateAlongSurfaceMacroEdge< 3 >( macro, start, end, state ),
          plane_( &plane )
    {
    }

    PropagateAlongSurfaceMacroEdge3D::~PropagateAlongSurfaceMacroEdge3D() = default;

    SurfacePathCrossing PropagateAlongSurfaceMacroEdge3D::next_crossing(
        const PolygonEdge& edge )
    {
        const auto& mesh = this->mesh();
        const auto opposite =
            mesh.polygon_edge_vertex( mesh.previous_polygon_edge( edge ), 0 );
        const auto side = point_side_to_plane( mesh.point( opposite ), *plane_ );
        // Below the plane: leave through the edge after the entered one.
        return next_crossing_on_side( mesh, edge, side, false );
    }

    POSITION PropagateAlongSurfaceMacroEdge3D::crossing_position(
        const Segment< 3 >& segment ) const
    {
        return segment_plane_intersection_detection( segment, *plane_ );
    }

    bool PropagateAlongSurfaceMacroEdge3D::is_oriented_edge(
        const Point< 3 >& p, const Point< 3 >& q ) const
    {
        return Vector< 3 >{ p, q }.dot( plane_->normal() ) < 0;
    }

    bool PropagateAlongSurfaceMacroEdge3D::is_ahead(
        const Point< 3 >& p, const Point< 3 >& q ) const
    {
        const auto& start = this->segment().vertices()[0];
        const auto direction = this->segment().direction();
        return Vector< 3 >{ start, p }.dot( direction ) > 0
               && Vector< 3 >{ start, q }.dot( direction ) > 0;
    }

    PropagateAlongSurfaceMacroEdge2D::PropagateAlongSurfaceMacroEdge2D(
        const SurfaceMesh< 2 >& macro,
        index_t start,
        index_t end,
        FrontalRemesher< 2 >::Impl& state )
        : PropagateAlongSurfaceMacroEdge< 2 >( macro, start, end, state )
    {
    }

    PropagateAlongSurfaceMacroEdge2D::~PropagateAlongSurfaceMacroEdge2D() = default;

    SurfacePathCrossing PropagateAlongSurfaceMacroEdge2D::next_crossing(
        const PolygonEdge& edge )
    {
        const auto& mesh = this->mesh();
        const auto opposite =
            mesh.polygon_edge_vertex( mesh.previous_polygon_edge( edge ), 0 );
        const auto side = point_side_to_segment( mesh.point( opposite ), this->segment() );
        // Left of the segment: leave through the edge after the entered one.
        return next_crossing_on_side( mesh, edge, side, true );
    }

    POSITION PropagateAlongSurfaceMacroEdge2D::crossing_position(
        const Segment< 2 >& segment ) const
    {
        const auto [first, second] =
            segment_segment_intersection_detection( segment, this->segment() );
        if( first == POSITION::outside || second == POSITION::outside )
        {
            return POSITION::outside;
        }
        return first;
    }

    bool PropagateAlongSurfaceMacroEdge2D::is_oriented_edge(
        const Point< 2 >&, const Point< 2 >& ) const
    {
        return true;
    }

    bool PropagateAlongSurfaceMacroEdge2D::is_ahead(
        const Point< 2 >&, const Point< 2 >& ) const
    {
        return true;
    }

    template class PropagateAlongSurfaceMacroEdge< 2 >;
    template class PropagateAlongSurfaceMacroEdge< 3 >;
} // namespace orvane::internal
