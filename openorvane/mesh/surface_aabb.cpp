#include <openorvane/mesh/surface_aabb.hpp>

#include <tuple>
#include <vector>

#include <openorvane/basic/async.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

namespace orvane
{
    template < index_t dimension >
    AABBTree< dimension > create_aabb_tree( const SurfaceMesh< dimension >& mesh )
    {
        // The boxes are independent: made on the pool, which matters for
        // the large merged surfaces of the conflict search.
        std::vector< BoundingBox< dimension > > boxes( mesh.nb_polygons() );
        async::parallel_for( 0, mesh.nb_polygons(), [&mesh, &boxes]( index_t p ) {
            for( const auto vertex : mesh.polygon_vertices( p ) )
            {
                boxes[p].add_point( mesh.point( vertex ) );
            }
        } );
        return AABBTree< dimension >{ boxes };
    }

    template < index_t dimension >
    double DistanceToTriangle< dimension >::operator()(
        const Point< dimension >& query, index_t triangle_id ) const
    {
        return std::get< 0 >(
            point_triangle_distance( query, surface_.triangle( triangle_id ) ) );
    }

    template AABBTree< 2 > create_aabb_tree( const SurfaceMesh< 2 >& );
    template AABBTree< 3 > create_aabb_tree( const SurfaceMesh< 3 >& );
    template class DistanceToTriangle< 2 >;
    template class DistanceToTriangle< 3 >;
} // namespace orvane
