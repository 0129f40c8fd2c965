#include <simplex/surface/surface_relaxer.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/barycentric_coordinates.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>
#include <common/modifier/brep_geometric_modifier_previews.hpp>
#include <common/modifier/triangle_preview.hpp>
#include <common/modifier/triangulated_surface_modifier.hpp>

#include <simplex/metric/metric.hpp>
#include <simplex/remeshing_data.hpp>

namespace
{
    using namespace orvane;

    constexpr char STAMP[] = "stamp";
    constexpr char QUALITY[] = "quality";
    constexpr char FIXED[] = "fixed";
    constexpr double PI = 3.141592653589793;
    /// A flip must raise the worse quality of its two triangles by this
    /// factor at least.
    constexpr double MIN_FLIP_GAIN = 1.01;
    /// Edges shorter than this share of the metric are collapsed.
    constexpr double SHORT_EDGE_RATIO = 0.5;
    /// A vertex nearer its ideal position than this share of its mean ring
    /// length is not moved.
    constexpr double MIN_MOVE_RATIO = 0.01;
    constexpr double DIVISION_GUARD = 1e-30;
    constexpr double UNDEFINED = std::numeric_limits< double >::quiet_NaN();

    /// The angle at `corner` between the directions to `first` and
    /// `second`; throws the division error on a zero-length direction.
    double corner_angle( const Point< 3 >& corner,
        const Point< 3 >& first,
        const Point< 3 >& second )
    {
        const auto to_first = Vector< 3 >{ corner, first }.normalize();
        const auto to_second = Vector< 3 >{ corner, second }.normalize();
        return std::acos( to_first.dot( to_second ) );
    }

    /// corner_angle, NaN instead of the error.
    double safe_corner_angle( const Point< 3 >& corner,
        const Point< 3 >& first,
        const Point< 3 >& second )
    {
        try
        {
            return corner_angle( corner, first, second );
        }
        catch( const OpenOrvaneException& )
        {
            return UNDEFINED;
        }
    }

    /// The minimum of the current value and the quality, undefined
    /// qualities ignored.
    double min_quality( double current, double quality )
    {
        return std::isnan( quality ) ? current : std::min( current, quality );
    }

    /// The vertex that follows the corner in its polygon.
    index_t next_vertex( const TriangulatedSurface< 3 >& mesh, const PolygonVertex& corner )
    {
        return mesh.polygon_vertex( mesh.next_polygon_vertex( corner ) );
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        double triangle_quality( const Point< 3 >& a, const Point< 3 >& b, const Point< 3 >& c )
        {
            std::array< double, 3 > sines{};
            try
            {
                sines[0] = std::sin( corner_angle( a, b, c ) );
                sines[1] = std::sin( corner_angle( b, c, a ) );
                sines[2] = std::sin( corner_angle( c, a, b ) );
            }
            catch( const OpenOrvaneException& )
            {
                return UNDEFINED;
            }
            return 4. * sines[0] * sines[1] * sines[2] / ( sines[0] + sines[1] + sines[2] );
        }

        SurfaceRelaxer< BRep >::SurfaceRelaxer( BRep& model,
            BRepGeometricModifier& modifier,
            const Surface< 3 >& surface,
            const SurfaceRelaxerOptions& options )
            : model_( model ),
              modifier_( modifier ),
              surface_( surface ),
              mesh_( &dynamic_cast< const TriangulatedSurface< 3 >& >( surface.mesh() ) ),
              options_( &options )
        {
            auto& vertices = mesh_->vertex_attribute_manager();
            auto& polygons = mesh_->polygon_attribute_manager();
            // Each attribute is deleted by the destructor, also when a later
            // one cannot be created.
            try
            {
                vertex_stamps_ =
                    vertices.find_or_create_attribute< VariableAttribute, index_t >( STAMP, 0 );
                polygon_stamps_ =
                    polygons.find_or_create_attribute< VariableAttribute, index_t >( STAMP, 0 );
                polygon_quality_ = polygons.find_or_create_attribute< VariableAttribute, double >(
                    QUALITY, UNDEFINED );
                vertex_fixed_ =
                    vertices.find_or_create_attribute< VariableAttribute, bool >( FIXED, false );
            }
            catch( ... )
            {
                delete_attributes();
                throw;
            }
        }

        SurfaceRelaxer< BRep >::~SurfaceRelaxer()
        {
            delete_attributes();
        }

        void SurfaceRelaxer< BRep >::delete_attributes()
        {
            auto& vertices = mesh_->vertex_attribute_manager();
            auto& polygons = mesh_->polygon_attribute_manager();
            if( vertex_stamps_ )
            {
                vertex_stamps_.reset();
                vertices.delete_attribute( STAMP );
            }
            if( polygon_stamps_ )
            {
                polygon_stamps_.reset();
                polygons.delete_attribute( STAMP );
            }
            if( polygon_quality_ )
            {
                polygon_quality_.reset();
                polygons.delete_attribute( QUALITY );
            }
            if( vertex_fixed_ )
            {
                vertex_fixed_.reset();
                vertices.delete_attribute( FIXED );
            }
        }

        void SurfaceRelaxer< BRep >::relax()
        {
            if( mesh_->nb_polygons() == 0 )
            {
                return;
            }
            initialize();
            while( ( options_->flip_edges && !polygon_queue_.empty() )
                   || ( options_->smooth_vertices && !vertex_queue_.empty() ) )
            {
                if( options_->flip_edges )
                {
                    process_polygon_queue();
                }
                if( options_->smooth_vertices )
                {
                    process_vertex_queue();
                }
            }
        }

        void SurfaceRelaxer< BRep >::initialize()
        {
            for( index_t p = 0; p < mesh_->nb_polygons(); p++ )
            {
                push_polygon( p );
                store_quality( p );
            }
            const auto& identifier = model_;
            for( index_t v = 0; v < mesh_->nb_vertices(); v++ )
            {
                const auto unique_vertex =
                    identifier.unique_vertex( { surface_.component_id(), v } );
                // A border vertex stays even when no line holds the border:
                // moving it would change the outline of the surface.
                if( unique_vertex == NO_ID
                    || identifier.has_component_mesh_vertices(
                        unique_vertex, Corner< 3 >::component_type_static() )
                    || identifier.has_component_mesh_vertices(
                        unique_vertex, Line< 3 >::component_type_static() )
                    || mesh_->is_vertex_on_border( v ) )
                {
                    vertex_fixed_->set_value( v, true );
                    continue;
                }
                push_vertex( v );
            }
        }

        void SurfaceRelaxer< BRep >::push_vertex( index_t vertex )
        {
            const auto stamp = vertex_stamps_->value( vertex ) + 1;
            vertex_stamps_->set_value( vertex, stamp );
            vertex_queue_.emplace_back( vertex, stamp );
        }

        void SurfaceRelaxer< BRep >::push_polygon( index_t polygon )
        {
            const auto stamp = polygon_stamps_->value( polygon ) + 1;
            polygon_stamps_->set_value( polygon, stamp );
            polygon_queue_.emplace_back( polygon, stamp );
        }

        double SurfaceRelaxer< BRep >::polygon_quality( index_t polygon ) const
        {
            const auto vertices = mesh_->polygon_vertices( polygon );
            return triangle_quality( mesh_->point( vertices[0] ), mesh_->point( vertices[1] ),
                mesh_->point( vertices[2] ) );
        }

        void SurfaceRelaxer< BRep >::store_quality( index_t polygon )
        {
            polygon_quality_->set_value( polygon, polygon_quality( polygon ) );
        }

        void SurfaceRelaxer< BRep >::process_polygon_queue()
        {
            const auto& surface_modifier = modifier_.surface_modifier( surface_ );
            while( !polygon_queue_.empty() )
            {
                const auto [polygon, stamp] = polygon_queue_.front();
                polygon_queue_.pop_front();
                if( stamp != polygon_stamps_->value( polygon )
                    || !surface_modifier.is_polygon_active( polygon ) )
                {
                    continue;
                }
                process_polygon( polygon );
            }
        }

        void SurfaceRelaxer< BRep >::process_polygon( index_t polygon )
        {
            for( const local_index_t e : { 0, 1, 2 } )
            {
                const auto candidate = evaluate_flip( { polygon, e } );
                if( !candidate )
                {
                    continue;
                }
                const std::array< index_t, 4 > corners{ candidate->edge_side.edge.vertex,
                    candidate->edge_side.next.vertex, candidate->edge_side.previous.vertex,
                    candidate->adjacent_side.previous.vertex };
                modifier_.swap_edge( surface_, { polygon, e } );
                for( const auto corner : corners )
                {
                    push_vertex( corner );
                }
                // The flip appends its two triangles as the last polygons.
                for( const index_t back : { 2u, 1u } )
                {
                    const auto created = mesh_->nb_polygons() - back;
                    push_polygon( created );
                    store_quality( created );
                }
                return;
            }
        }

        TriangleEdgeInfo SurfaceRelaxer< BRep >::edge_info( const PolygonEdge& edge ) const
        {
            const auto vertex = mesh_->polygon_vertex( PolygonVertex{ edge } );
            return { edge, vertex, &mesh_->point( vertex ), mesh_->polygon_adjacent( edge ) };
        }

        FlipSide SurfaceRelaxer< BRep >::flip_side( const PolygonEdge& edge ) const
        {
            return { edge_info( mesh_->previous_polygon_edge( edge ) ),
                edge_info( mesh_->next_polygon_edge( edge ) ), edge_info( edge ) };
        }

        std::optional< FlipCandidate > SurfaceRelaxer< BRep >::evaluate_flip(
            const PolygonEdge& edge ) const
        {
            const auto across = mesh_->polygon_adjacent_edge( edge );
            if( !across || edge.polygon_id > across->polygon_id )
            {
                return std::nullopt;
            }
            FlipCandidate candidate;
            candidate.edge_side = flip_side( edge );
            candidate.adjacent_side = flip_side( *across );
            const auto& p_side = candidate.edge_side;
            const auto& q_side = candidate.adjacent_side;
            // A third triangle touching both P and Q at one end of the edge
            // would be duplicated or folded by the flip.
            if( ( p_side.next.adjacent && p_side.next.adjacent == q_side.previous.adjacent )
                || ( p_side.previous.adjacent
                     && p_side.previous.adjacent == q_side.next.adjacent ) )
            {
                return std::nullopt;
            }
            if( !is_swap_edge_valid( model_, surface_, edge ) )
            {
                return std::nullopt;
            }
            const auto& a = *p_side.edge.point;
            const auto& b = *p_side.next.point;
            const auto& c = *p_side.previous.point;
            const auto& d = *q_side.previous.point;
            // Convexity of the quadrilateral at both ends of the edge; an
            // undefined sum does not reject.
            const auto sum_at_a = safe_corner_angle( a, b, d ) + safe_corner_angle( a, c, b );
            const auto sum_at_b = safe_corner_angle( b, a, c ) + safe_corner_angle( b, d, a );
            if( sum_at_a > PI || sum_at_b > PI )
            {
                return std::nullopt;
            }
            const auto first = triangle_quality( c, a, d );
            const auto second = triangle_quality( d, b, c );
            if( std::isnan( first ) || std::isnan( second ) )
            {
                return std::nullopt;
            }
            const auto p_quality = polygon_quality_->value( edge.polygon_id );
            const auto q_quality = polygon_quality_->value( across->polygon_id );
            const auto old = q_quality < p_quality ? q_quality : p_quality;
            if( std::min( first, second ) / old < MIN_FLIP_GAIN )
            {
                return std::nullopt;
            }
            candidate.first_quality = first;
            candidate.second_quality = second;
            if( !is_flip_valid( candidate ) )
            {
                return std::nullopt;
            }
            return candidate;
        }

        void SurfaceRelaxer< BRep >::process_vertex_queue()
        {
            while( !vertex_queue_.empty() )
            {
                const auto [vertex, stamp] = vertex_queue_.front();
                vertex_queue_.pop_front();
                if( stamp != vertex_stamps_->value( vertex ) || vertex_fixed_->value( vertex ) )
                {
                    continue;
                }
                process_vertex( vertex );
            }
        }

        void SurfaceRelaxer< BRep >::process_vertex( index_t vertex )
        {
            // A copy: the edits below change the mesh's own fan.
            const PolygonsAroundVertex polygons = mesh_->polygons_around_vertex( vertex );
            if( polygons.empty() )
            {
                return;
            }
            if( remove_low_valence_vertex( vertex, polygons ) )
            {
                return;
            }
            if( options_->metric && collapse_short_edge( vertex, polygons ) )
            {
                return;
            }
            smooth_vertex( vertex, polygons );
        }

        bool SurfaceRelaxer< BRep >::remove_low_valence_vertex(
            index_t vertex, const PolygonsAroundVertex& polygons )
        {
            const auto valence = polygons.size();
            if( valence < 3 || valence > 5 )
            {
                return false;
            }
            // Valence 3 tries the first edge only.
            const auto tried = valence == 3 ? 1 : valence;
            for( std::size_t i = 0; i < tried; i++ )
            {
                const PolygonEdge edge{ polygons[i] };
                const auto kept = next_vertex( *mesh_, polygons[i] );
                if( valence == 5 && mesh_->polygons_around_vertex( kept ).size() != 5 )
                {
                    continue;
                }
                if( can_collapse_edge( edge, mesh_->point( kept ) ) )
                {
                    collapse_onto( edge, kept );
                    vertex_fixed_->set_value( vertex, true );
                    return true;
                }
            }
            return false;
        }

        bool SurfaceRelaxer< BRep >::collapse_short_edge(
            index_t vertex, const PolygonsAroundVertex& polygons )
        {
            const auto limit =
                SHORT_EDGE_RATIO * options_->metric->point_metric( mesh_->point( vertex ) );
            for( const auto& corner : polygons )
            {
                const PolygonEdge edge{ corner };
                if( !( mesh_->edge_length( edge ) < limit ) )
                {
                    continue;
                }
                const auto kept = next_vertex( *mesh_, corner );
                if( can_collapse_edge( edge, mesh_->point( kept ) ) )
                {
                    collapse_onto( edge, kept );
                    vertex_fixed_->set_value( vertex, true );
                    return true;
                }
            }
            return false;
        }

        bool SurfaceRelaxer< BRep >::can_collapse_edge(
            const PolygonEdge& edge, const Point< 3 >& point ) const
        {
            const auto edges = component_mesh_edges( model_, surface_, edge );
            return is_collapse_edge_valid( model_, edges, point )
                   && !has_degenerate_elements(
                       model_, elements_after_collapse_edge( model_, edges, point ) );
        }

        void SurfaceRelaxer< BRep >::collapse_onto( const PolygonEdge& edge, index_t kept )
        {
            const auto point = mesh_->point( kept );
            const auto unique_vertices = edge_unique_vertices( model_, surface_, edge );
            const auto edges = component_mesh_edges( model_, surface_, edge );
            const auto info = modifier_.collapse_edge( edges, unique_vertices, point );
            const auto new_vertex = info.surfaces.at( surface_.id() ).front().new_vertex;
            vertex_fixed_->set_value( new_vertex, vertex_fixed_->value( kept ) );
            push_vertex( new_vertex );
            requeue_ring( new_vertex );
            if( kept != new_vertex )
            {
                vertex_fixed_->set_value( kept, true );
            }
        }

        void SurfaceRelaxer< BRep >::requeue_ring( index_t vertex )
        {
            for( const auto& corner : mesh_->polygons_around_vertex( vertex ) )
            {
                push_vertex( next_vertex( *mesh_, corner ) );
                push_polygon( corner.polygon_id );
                store_quality( corner.polygon_id );
            }
        }

        void SurfaceRelaxer< BRep >::smooth_vertex(
            index_t vertex, const PolygonsAroundVertex& polygons )
        {
            if( !compute_2d_projection( vertex, polygons ) )
            {
                return;
            }
            const auto target = ideal_position( polygons );
            if( !target )
            {
                return;
            }
            double ring_length{ 0. };
            const auto& origin = point_2d( vertex );
            for( const auto& corner : polygons )
            {
                ring_length += Vector< 2 >{ origin, point_2d( next_vertex( *mesh_, corner ) ) }
                                   .length();
            }
            ring_length /= static_cast< double >( polygons.size() );
            const auto position = find_new_position( vertex, polygons, *target, ring_length );
            if( !position )
            {
                return;
            }
            const auto unique_vertex = model_.unique_vertex( { surface_.component_id(), vertex } );
            modifier_.move_unique_vertex( unique_vertex, *position );
            push_vertex( vertex );
            requeue_ring( vertex );
        }

        std::optional< Point< 2 > > SurfaceRelaxer< BRep >::ideal_position(
            const PolygonsAroundVertex& polygons ) const
        {
            static const double HEIGHT_RATIO = std::sqrt( 3. ) / 2.;
            Point< 2 > sum;
            for( const auto& corner : polygons )
            {
                if( std::isnan( polygon_quality_->value( corner.polygon_id ) ) )
                {
                    continue;
                }
                const auto e_corner = mesh_->next_polygon_vertex( corner );
                const auto e = mesh_->polygon_vertex( e_corner );
                const auto f = mesh_->polygon_vertex( mesh_->next_polygon_vertex( e_corner ) );
                const auto& from = point_2d( e );
                const auto& to = point_2d( f );
                const Vector< 2 > side{ from, to };
                const auto length = side.length();
                // Two neighbours at one place in the plane: no apex, and no
                // sound position to aim at.
                if( length <= DIVISION_GUARD )
                {
                    return std::nullopt;
                }
                const auto middle = ( from + to ) / 2.;
                sum += middle + perpendicular( side / length ) * ( HEIGHT_RATIO * length );
            }
            return sum / static_cast< double >( polygons.size() );
        }

        std::optional< Point< 3 > > SurfaceRelaxer< BRep >::find_new_position( index_t vertex,
            const PolygonsAroundVertex& polygons,
            const Point< 2 >& target,
            double mean_ring_length ) const
        {
            if( Vector< 2 >{ point_2d( vertex ), target }.length() / mean_ring_length
                < MIN_MOVE_RATIO )
            {
                return std::nullopt;
            }
            double old_quality{ 1. };
            for( const auto& corner : polygons )
            {
                old_quality =
                    min_quality( old_quality, polygon_quality_->value( corner.polygon_id ) );
            }
            const auto unique_vertex = model_.unique_vertex( { surface_.component_id(), vertex } );
            for( const auto& corner : polygons )
            {
                try
                {
                    const auto vertices = mesh_->polygon_vertices( corner.polygon_id );
                    const auto coordinates = triangle_barycentric_coordinates( target,
                        Triangle< 2 >{ point_2d( vertices[0] ), point_2d( vertices[1] ),
                            point_2d( vertices[2] ) } );
                    if( std::any_of( coordinates.begin(), coordinates.end(),
                            []( double value ) { return !( value >= 0. ); } ) )
                    {
                        continue;
                    }
                    const auto position = mesh_->point( vertices[0] ) * coordinates[0]
                                          + mesh_->point( vertices[1] ) * coordinates[1]
                                          + mesh_->point( vertices[2] ) * coordinates[2];
                    if( !is_move_vertex_valid( model_, unique_vertex, position ) )
                    {
                        continue;
                    }
                    // Qualities are unsigned: a triangle turned over, or
                    // squeezed to a point, would pass them. Both are refused.
                    double new_quality{ 1. };
                    bool refused{ false };
                    for( const auto& preview :
                        triangles_after_move_vertex( *mesh_, vertex, position ) )
                    {
                        const auto& points = preview.triangle.vertices();
                        const auto quality = triangle_quality( points[0], points[1], points[2] );
                        if( std::isnan( quality )
                            || detail::is_triangle_inverted_in_polygon(
                                *mesh_, preview.triangle, preview.polygon ) )
                        {
                            refused = true;
                            break;
                        }
                        new_quality = std::min( new_quality, quality );
                    }
                    if( !refused && new_quality > old_quality )
                    {
                        return position;
                    }
                }
                catch( const OpenOrvaneException& )
                {
                    continue;
                }
            }
            return std::nullopt;
        }
    } // namespace internal
} // namespace orvane
