#include <openorvane/mesh/solid_aabb.hpp>

#include <vector>

#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

namespace orvane
{
    template < index_t dimension >
    AABBTree< dimension > create_aabb_tree( const SolidMesh< dimension >& mesh )
    {
        std::vector< BoundingBox< dimension > > boxes( mesh.nb_polyhedra() );
        for( index_t p = 0; p < mesh.nb_polyhedra(); p++ )
        {
            for( const auto vertex : mesh.polyhedron_vertices( p ) )
            {
                boxes[p].add_point( mesh.point( vertex ) );
            }
        }
        return AABBTree< dimension >{ boxes };
    }

    template < index_t dimension >
    double DistanceToTetrahedron< dimension >::operator()(
        const Point< dimension >& query, index_t tetrahedron_id ) const
    {
        return std::get< 0 >( point_tetrahedron_distance(
            query, solid_.tetrahedron( tetrahedron_id ) ) );
    }

    template AABBTree< 3 > create_aabb_tree( const SolidMesh< 3 >& );
    template class DistanceToTetrahedron< 3 >;
} // namespace orvane
