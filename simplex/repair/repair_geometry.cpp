#include <simplex/repair/repair_geometry.hpp>

#include <algorithm>

#include <absl/strings/str_cat.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/surface_mesh.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/line.hpp>
#include <openorvane/model/surface.hpp>

namespace orvane
{
    namespace internal
    {
        Plane edge_median_plane(
            const SurfaceMesh< 3 >& mesh, const PolygonEdge& edge, const Point< 3 >& apex )
        {
            const auto segment = mesh.segment( edge );
            const auto middle = segment.barycenter();
            const auto direction = segment.direction();
            const Vector< 3 > to_apex{ middle, apex };
            const auto normal = to_apex.cross( direction ).cross( to_apex );
            return Plane{ normal, middle };
        }

        index_t edge_apex( const SurfaceMesh< 3 >& mesh, const PolygonEdge& edge )
        {
            return mesh.polygon_vertex(
                mesh.previous_polygon_vertex( PolygonVertex{ edge } ) );
        }

        std::array< index_t, 2 > sorted_unique_vertices(
            const BRep& model, const Surface< 3 >& surface, const PolygonEdge& edge )
        {
            const auto& mesh = surface.mesh();
            const auto vertices = mesh.polygon_edge_vertices( edge );
            std::array< index_t, 2 > uniques{
                model.unique_vertex( { surface.component_id(), vertices[0] } ),
                model.unique_vertex( { surface.component_id(), vertices[1] } )
            };
            std::sort( uniques.begin(), uniques.end() );
            return uniques;
        }

        std::vector< PolygonEdge > triangle_edges( index_t triangle )
        {
            return { { triangle, 0 }, { triangle, 1 }, { triangle, 2 } };
        }

        void sort_edges_by_length(
            const SurfaceMesh< 3 >& mesh, std::vector< PolygonEdge >& edges )
        {
            std::sort( edges.begin(), edges.end(),
                [&mesh]( const PolygonEdge& lhs, const PolygonEdge& rhs ) {
                    return mesh.edge_length( lhs ) > mesh.edge_length( rhs );
                } );
        }

        namespace surface_repair::Repair
        {
            std::vector< index_t > line_part(
                const Line< 3 >& line, index_t from, index_t to )
            {
                if( from == to )
                {
                    return { from };
                }
                const auto& mesh = line.mesh();
                for( const local_index_t start : { 0, 1 } )
                {
                    std::vector< index_t > path{ from };
                    path.reserve( mesh.nb_edges() );
                    EdgeVertex current{ from, start };
                    bool reached{ true };
                    while( path.back() != to )
                    {
                        // A closed line walked all the way round without
                        // meeting the end edge: it is not on this line.
                        if( path.size() > mesh.nb_edges() )
                        {
                            return {};
                        }
                        const auto& around =
                            mesh.edges_around_vertex( mesh.edge_vertex( current ) );
                        if( around.size() == 1 )
                        {
                            reached = false;
                            break;
                        }
                        if( around.size() != 2 )
                        {
                            throw OpenOrvaneException{
                                "[Repair::line_part] At least 2 edges around vertex (",
                                around.size(), ")"
                            };
                        }
                        const auto next = around[0] == current ? around[1] : around[0];
                        current = next.opposite();
                        path.push_back( next.edge_id );
                    }
                    if( reached )
                    {
                        return path;
                    }
                }
                return {};
            }
        } // namespace surface_repair::Repair
    } // namespace internal

    namespace detail
    {
        index_t erase_flagged_elements(
            std::vector< PolygonEdge >& edges, const std::vector< bool >& flags )
        {
            index_t kept{ 0 };
            for( index_t i = 0; i < edges.size(); i++ )
            {
                if( !flags[i] )
                {
                    edges[kept++] = edges[i];
                }
            }
            const auto removed = static_cast< index_t >( edges.size() ) - kept;
            edges.resize( kept );
            return removed;
        }
    } // namespace detail
} // namespace orvane
