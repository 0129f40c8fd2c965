#include <openorvane/mesh/edged_curve_aabb.hpp>

#include <tuple>
#include <vector>

#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/edged_curve.hpp>

namespace orvane
{
    template < index_t dimension >
    AABBTree< dimension > create_aabb_tree( const EdgedCurve< dimension >& mesh )
    {
        std::vector< BoundingBox< dimension > > boxes( mesh.nb_edges() );
        for( index_t e = 0; e < mesh.nb_edges(); e++ )
        {
            boxes[e] = mesh.segment( e ).bounding_box();
        }
        return AABBTree< dimension >{ boxes };
    }

    template < index_t dimension >
    double DistanceToEdge< dimension >::operator()(
        const Point< dimension >& query, index_t edge_id ) const
    {
        return std::get< 0 >( point_segment_distance( query, curve_.segment( edge_id ) ) );
    }

    template AABBTree< 2 > create_aabb_tree( const EdgedCurve< 2 >& );
    template AABBTree< 3 > create_aabb_tree( const EdgedCurve< 3 >& );
    template class DistanceToEdge< 2 >;
    template class DistanceToEdge< 3 >;
} // namespace orvane
