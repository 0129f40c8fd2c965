#include <openorvane/inspector/surface_curve_intersections.hpp>

#include <array>

#include <openorvane/basic/async.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/inspector/contact_predicates.hpp>
#include <openorvane/inspector/parallel_box_pairs.hpp>
#include <openorvane/inspector/surface_triangles.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

namespace orvane
{
    template < index_t dimension >
    class SurfaceCurveIntersections< dimension >::Impl
    {
    public:
        Impl( const TriangulatedSurface< dimension >& surface,
            const EdgedCurve< dimension >& curve )
            : triangles_( surface ), curve_( curve )
        {
            std::vector< BoundingBox< dimension > > boxes( curve.nb_edges() );
            async::parallel_for( 0, curve.nb_edges(), [&curve, &boxes]( index_t e ) {
                for( const auto vertex : curve.edge_vertices( e ) )
                {
                    boxes[e].add_point( curve.point( vertex ) );
                }
                // An edge end within the point-equality tolerance of a
                // triangle vertex is taken at that vertex, which may lie
                // just outside the edge's own box.
                boxes[e].extends( 2 * GLOBAL_EPSILON );
            } );
            edge_tree_ = AABBTree< dimension >{ boxes };
        }

        std::vector< std::pair< index_t, index_t > > intersecting_elements() const
        {
            return internal::ParallelBoxPairs< dimension >{ triangles_.tree(), edge_tree_ }
                .accepted_pairs( [this]( index_t polygon, index_t edge ) {
                    const auto vertices = curve_.edge_vertices( edge );
                    return detail::segment_triangle_intersect( curve_.point( vertices[0] ),
                        curve_.point( vertices[1] ), triangles_.points( polygon ) );
                } );
        }

    private:
        internal::SurfaceTriangles triangles_;
        const EdgedCurve< dimension >& curve_;
        AABBTree< dimension > edge_tree_;
    };

    template < index_t dimension >
    SurfaceCurveIntersections< dimension >::SurfaceCurveIntersections(
        const TriangulatedSurface< dimension >& surface,
        const EdgedCurve< dimension >& curve )
        : impl_( std::make_unique< Impl >( surface, curve ) )
    {
    }

    template < index_t dimension >
    SurfaceCurveIntersections< dimension >::~SurfaceCurveIntersections() = default;

    template < index_t dimension >
    std::vector< std::pair< index_t, index_t > >
        SurfaceCurveIntersections< dimension >::intersecting_elements() const
    {
        return impl_->intersecting_elements();
    }

    template class SurfaceCurveIntersections< 3 >;
} // namespace orvane
