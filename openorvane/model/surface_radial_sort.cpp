#include <openorvane/model/surface_radial_sort.hpp>

#include <algorithm>
#include <cmath>
#include <numbers>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/surface_mesh.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>

namespace
{
    /// A polygon around the line: its surface, its position away from the
    /// line, and which side faces the sector of growing angle.
    struct RadialPolygon
    {
        orvane::uuid surface;
        orvane::Vector3D away;
        orvane::local_index_t side_ahead;
        double angle{ 0. };
    };

    /// The polygons on the line edge joining the two unique vertices, surface
    /// by surface in model order. `side_ahead` comes from the direction the
    /// polygon runs the edge: a polygon running it like the line has its
    /// normal along line x away, which points towards growing angles.
    std::vector< RadialPolygon > polygons_on_edge( const orvane::BRep& model,
        const std::array< orvane::index_t, 2 >& uniques,
        const orvane::Point3D& start,
        const orvane::Vector3D& along )
    {
        std::vector< RadialPolygon > result;
        const auto edges = orvane::surface_component_mesh_edges( model, uniques );
        if( edges.empty() )
        {
            return result;
        }
        const double length2 = along.dot( along );
        for( const auto& surface : model.surfaces() )
        {
            const auto found = edges.find( surface.id() );
            if( found == edges.end() )
            {
                continue;
            }
            const auto& mesh = surface.mesh();
            for( const auto& edge : found->second )
            {
                const auto opposite = mesh.polygon_vertex(
                    mesh.previous_polygon_vertex( { edge.polygon_id, edge.edge_id } ) );
                const orvane::Vector3D offset{ start, mesh.point( opposite ) };
                const auto away = offset - along * ( offset.dot( along ) / length2 );
                const auto first = mesh.polygon_edge_vertex( edge, 0 );
                const bool same_direction =
                    model.unique_vertex( { surface.component_id(), first } )
                    == uniques[0];
                result.push_back( { surface.id(), away,
                    static_cast< orvane::local_index_t >( same_direction ? 0 : 1 ) } );
            }
        }
        return result;
    }

    bool stands_clear( const std::vector< RadialPolygon >& polygons )
    {
        return std::all_of( polygons.begin(), polygons.end(),
            []( const RadialPolygon& polygon ) {
                return polygon.away.dot( polygon.away ) > orvane::GLOBAL_EPSILON2;
            } );
    }
} // namespace

namespace orvane
{
    absl::InlinedVector< index_t, 2 > SortedSurfaces::find(
        const SidedSurface& surface ) const
    {
        absl::InlinedVector< index_t, 2 > positions;
        for( index_t p = 0; p < surfaces.size(); p++ )
        {
            if( surfaces[p] == surface )
            {
                positions.push_back( p );
            }
        }
        return positions;
    }

    index_t SortedSurfaces::next( index_t position ) const
    {
        const auto nb_positions = static_cast< index_t >( surfaces.size() );
        ORVANE_EXCEPTION( position < nb_positions, "[SortedSurfaces::next] Position ",
            position, " does not exist (there are ", nb_positions, ")" );
        const auto nb_polygons = nb_positions / 2;
        const auto polygon = position / 2;
        if( position % 2 == 1 )
        {
            return 2 * ( ( polygon + 1 ) % nb_polygons );
        }
        return 2 * ( ( polygon + nb_polygons - 1 ) % nb_polygons ) + 1;
    }

    SortedSurfaces surface_radial_sort( const BRep& model, const Line< 3 >& line )
    {
        const auto& mesh = line.mesh();
        std::vector< RadialPolygon > polygons;
        Vector3D along;
        for( index_t e = 0; e < mesh.nb_edges(); e++ )
        {
            const auto vertices = mesh.edge_vertices( e );
            const std::array< index_t, 2 > uniques{
                model.unique_vertex( { line.component_id(), vertices[0] } ),
                model.unique_vertex( { line.component_id(), vertices[1] } )
            };
            if( uniques[0] == NO_ID || uniques[1] == NO_ID )
            {
                continue;
            }
            const auto& start = mesh.point( vertices[0] );
            const Vector3D edge_along{ start, mesh.point( vertices[1] ) };
            if( edge_along.dot( edge_along ) <= GLOBAL_EPSILON2 )
            {
                continue;
            }
            auto edge_polygons = polygons_on_edge( model, uniques, start, edge_along );
            const bool clear = stands_clear( edge_polygons );
            if( polygons.empty() || clear )
            {
                polygons = std::move( edge_polygons );
                along = edge_along;
            }
            if( clear && !polygons.empty() )
            {
                break;
            }
        }
        SortedSurfaces result;
        if( polygons.empty() )
        {
            return result;
        }
        // Angles in the plane normal to the line, from the first polygon,
        // growing from `reference` towards along x reference.
        const auto axis = along / along.length();
        auto reference = polygons.front().away;
        if( reference.dot( reference ) > GLOBAL_EPSILON2 )
        {
            reference = reference / reference.length();
        }
        const auto ahead = axis.cross( reference );
        for( auto& polygon : polygons )
        {
            auto angle =
                std::atan2( polygon.away.dot( ahead ), polygon.away.dot( reference ) );
            if( angle < 0. )
            {
                angle += 2. * std::numbers::pi;
            }
            polygon.angle = angle;
        }
        std::stable_sort( polygons.begin(), polygons.end(),
            []( const RadialPolygon& lhs, const RadialPolygon& rhs ) {
                return lhs.angle < rhs.angle;
            } );
        result.surfaces.reserve( 2 * polygons.size() );
        for( const auto& polygon : polygons )
        {
            const auto behind = static_cast< local_index_t >( 1 - polygon.side_ahead );
            result.surfaces.push_back( { polygon.surface, behind } );
            result.surfaces.push_back( { polygon.surface, polygon.side_ahead } );
        }
        return result;
    }
} // namespace orvane
