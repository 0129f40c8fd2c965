#include <openorvane/inspector/surface_triangles.hpp>

#include <openorvane/basic/async.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

namespace orvane::internal
{
    SurfaceTriangles::SurfaceTriangles( const TriangulatedSurface< 3 >& surface )
        : surface_( surface ), vertices_( surface.nb_polygons() )
    {
        std::vector< BoundingBox< 3 > > boxes( surface.nb_polygons() );
        async::parallel_for( 0, surface.nb_polygons(), [this, &boxes]( index_t p ) {
            for( const local_index_t v : { 0, 1, 2 } )
            {
                vertices_[p][v] = surface_.polygon_vertex( { p, v } );
                boxes[p].add_point( surface_.point( vertices_[p][v] ) );
            }
        } );
        tree_ = AABBTree< 3 >{ boxes };
    }

    detail::MeshTriangle SurfaceTriangles::triangle( index_t polygon ) const
    {
        return { vertices_[polygon], points( polygon ) };
    }

    std::array< const Point< 3 >*, 3 > SurfaceTriangles::points( index_t polygon ) const
    {
        const auto& vertices = vertices_[polygon];
        return { &surface_.point( vertices[0] ), &surface_.point( vertices[1] ),
            &surface_.point( vertices[2] ) };
    }
} // namespace orvane::internal
