#include <simplex/surface/brep_surface_relaxation.hpp>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/progress_logger.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/projection.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep.hpp>

#include <common/modifier/triangulated_surface_modifier.hpp>

namespace
{
    using namespace orvane;

    constexpr char POINTS_2D[] = "BRepSurfaceRelaxer 2d";
    constexpr double DIVISION_GUARD = 1e-30;
    /// Triangles whose unit normals agree beyond this are nearly coplanar:
    /// their flip cannot fold the surface.
    constexpr double COPLANAR_DOT = 0.9;
    /// How much worse the new triangles may follow the surface around the
    /// edge's ends than the old ones did.
    constexpr double NORMAL_SLACK = 0.1;

    /// The unit sum of the normals of the polygons around the vertex other
    /// than the two left out, and how many were summed. A zero vector with
    /// a count of 0 when none was; no value when the sum vanishes.
    struct AverageNormal
    {
        Vector< 3 > normal;
        index_t count{ 0 };
    };

    std::optional< AverageNormal > average_normal( const TriangulatedSurface< 3 >& mesh,
        index_t vertex,
        index_t left_out0,
        index_t left_out1 )
    {
        AverageNormal result;
        for( const auto& corner : mesh.polygons_around_vertex( vertex ) )
        {
            if( corner.polygon_id == left_out0 || corner.polygon_id == left_out1 )
            {
                continue;
            }
            if( const auto normal = mesh.polygon_normal( corner.polygon_id ) )
            {
                result.normal += *normal;
                result.count++;
            }
        }
        if( result.count == 0 )
        {
            return result;
        }
        const auto length = result.normal.length();
        if( length <= DIVISION_GUARD )
        {
            return std::nullopt;
        }
        result.normal /= length;
        return result;
    }

    /// A unit vector orthogonal to the unit normal: the normal crossed with
    /// the coordinate axis it leans on least, which is never parallel to it.
    Vector< 3 > tangent_axis( const Vector< 3 >& normal )
    {
        local_index_t axis{ 0 };
        for( const local_index_t i : { 1, 2 } )
        {
            if( std::abs( normal.value( i ) ) < std::abs( normal.value( axis ) ) )
            {
                axis = i;
            }
        }
        Vector< 3 > direction;
        direction.set_value( axis, 1. );
        return normal.cross( direction ).normalize();
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        BRepSurfaceRelaxer::BRepSurfaceRelaxer( BRep& model,
            BRepGeometricModifier& modifier,
            const Surface< 3 >& surface,
            const SurfaceRelaxerOptions& options )
            : SurfaceRelaxer< BRep >( model, modifier, surface, options ),
              points_2d_( mesh().vertex_attribute_manager()
                              .find_or_create_attribute< VariableAttribute, Point< 2 > >(
                                  POINTS_2D, Point< 2 >{} ) )
        {
        }

        BRepSurfaceRelaxer::~BRepSurfaceRelaxer()
        {
            points_2d_.reset();
            mesh().vertex_attribute_manager().delete_attribute( POINTS_2D );
        }

        bool BRepSurfaceRelaxer::compute_2d_projection(
            index_t vertex, const PolygonsAroundVertex& polygons )
        {
            const auto& surface = mesh();
            const auto normal = surface.polygon_vertex_normal( vertex );
            if( !normal )
            {
                return false;
            }
            const auto& origin = surface.point( vertex );
            const Plane plane{ *normal, origin };
            const auto u = tangent_axis( plane.normal() );
            const auto w = plane.normal().cross( u );
            points_2d_->set_value( vertex, Point< 2 >{} );
            // Both neighbours of every polygon: on a fan that does not close
            // the ends are met only as previous vertices.
            for( const auto& corner : polygons )
            {
                for( const auto& neighbour_corner :
                    { surface.next_polygon_vertex( corner ),
                        surface.previous_polygon_vertex( corner ) } )
                {
                    const auto neighbour = surface.polygon_vertex( neighbour_corner );
                    const auto& point = surface.point( neighbour );
                    const Vector< 3 > projected{ origin, point_plane_projection( point, plane ) };
                    const auto projected_length = projected.length();
                    // A neighbour on the normal through the vertex has no
                    // direction in the plane: the vertex is not smoothed.
                    if( projected_length <= DIVISION_GUARD )
                    {
                        return false;
                    }
                    const auto in_plane =
                        projected * ( Vector< 3 >{ origin, point }.length() / projected_length );
                    points_2d_->set_value(
                        neighbour, Point< 2 >{ { in_plane.dot( u ), in_plane.dot( w ) } } );
                }
            }
            return true;
        }

        const Point< 2 >& BRepSurfaceRelaxer::point_2d( index_t vertex ) const
        {
            return points_2d_->value( vertex );
        }

        bool BRepSurfaceRelaxer::is_flip_valid( const FlipCandidate& candidate ) const
        {
            const auto& surface = mesh();
            const auto& edge = candidate.edge_side.edge.edge;
            const auto p = edge.polygon_id;
            const auto q = candidate.adjacent_side.edge.edge.polygon_id;
            const auto a = candidate.edge_side.edge.vertex;
            const auto b = candidate.edge_side.next.vertex;
            const auto& point_a = *candidate.edge_side.edge.point;
            const auto& point_b = *candidate.edge_side.next.point;
            const auto& point_c = *candidate.edge_side.previous.point;
            const auto& point_d = *candidate.adjacent_side.previous.point;
            try
            {
                // Exact test: neither new triangle may face against the two
                // it replaces.
                if( detail::is_triangle_inverted_around_edge(
                        surface, Triangle< 3 >{ point_c, point_a, point_d }, edge )
                    || detail::is_triangle_inverted_around_edge(
                        surface, Triangle< 3 >{ point_d, point_b, point_c }, edge ) )
                {
                    return false;
                }
                const auto normal_p = surface.polygon_normal( p );
                const auto normal_q = surface.polygon_normal( q );
                if( !normal_p || !normal_q )
                {
                    return true;
                }
                if( normal_p->dot( *normal_q ) > COPLANAR_DOT )
                {
                    return true;
                }
                const auto normal_f =
                    Vector< 3 >{ point_a, point_d }.cross( Vector< 3 >{ point_a, point_c } ).normalize();
                const auto normal_g =
                    Vector< 3 >{ point_b, point_c }.cross( Vector< 3 >{ point_b, point_d } ).normalize();
                if( normal_f.dot( normal_g ) < 0 )
                {
                    return false;
                }
                const auto around_a = average_normal( surface, a, p, q );
                if( !around_a )
                {
                    return false;
                }
                if( around_a->count == 0 )
                {
                    return true;
                }
                const auto around_b = average_normal( surface, b, p, q );
                if( !around_b )
                {
                    return false;
                }
                if( around_b->count == 0 )
                {
                    return true;
                }
                const auto& m_a = around_a->normal;
                const auto& m_b = around_b->normal;
                const auto new_agreement = std::min( m_b.dot( normal_g ), m_a.dot( normal_f ) );
                const auto old_agreement = std::min( { normal_q->dot( m_b ), normal_q->dot( m_a ),
                    normal_p->dot( m_b ), normal_p->dot( m_a ) } );
                return !( new_agreement < old_agreement - NORMAL_SLACK );
            }
            catch( const OpenOrvaneException& )
            {
                return false;
            }
        }

        void relax_listed_surfaces( BRep& model,
            BRepGeometricModifier& modifier,
            const SurfaceRelaxerOptions& options,
            absl::Span< const uuid > surfaces )
        {
            ProgressLogger logger{ "Relaxing Surfaces", static_cast< index_t >( surfaces.size() ) };
            for( const auto& id : surfaces )
            {
                BRepSurfaceRelaxer relaxer{ model, modifier, model.surface( id ), options };
                relaxer.relax();
                logger.increment();
            }
        }

        void relax_surfaces( BRep& model,
            BRepGeometricModifier& modifier,
            const SurfaceRelaxerOptions& options )
        {
            std::vector< uuid > surfaces;
            surfaces.reserve( model.nb_surfaces() );
            for( const auto& surface : model.surfaces() )
            {
                surfaces.push_back( surface.id() );
            }
            relax_listed_surfaces( model, modifier, options, surfaces );
        }
    } // namespace internal
} // namespace orvane
