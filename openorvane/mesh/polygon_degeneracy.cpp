#include <openorvane/mesh/polygon_degeneracy.hpp>

#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/mesh/surface_mesh.hpp>

namespace orvane
{
    namespace detail
    {
        template < index_t dimension >
        bool is_polygon_degenerated(
            const SurfaceMesh< dimension >& mesh, index_t polygon_id )
        {
            const auto vertices = mesh.polygon_vertices( polygon_id );
            const auto& apex = mesh.point( vertices[0] );
            for( std::size_t v = 1; v + 1 < vertices.size(); v++ )
            {
                const Triangle< dimension > triangle{ apex,
                    mesh.point( vertices[v] ), mesh.point( vertices[v + 1] ) };
                if( triangle.minimum_height() > GLOBAL_EPSILON )
                {
                    return false;
                }
            }
            return true;
        }

        template bool is_polygon_degenerated(
            const SurfaceMesh< 2 >&, index_t );
        template bool is_polygon_degenerated(
            const SurfaceMesh< 3 >&, index_t );
    } // namespace detail
} // namespace orvane
