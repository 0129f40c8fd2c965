#include <openorvane/inspector/triangulated_surface_intersections.hpp>

#include <openorvane/inspector/contact_predicates.hpp>
#include <openorvane/inspector/parallel_box_pairs.hpp>
#include <openorvane/inspector/surface_triangles.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

namespace orvane
{
    template < index_t dimension >
    class TriangulatedSurfaceIntersections< dimension >::Impl
    {
    public:
        explicit Impl( const TriangulatedSurface< dimension >& surface )
            : triangles_( surface )
        {
        }

        Impl( const TriangulatedSurface< dimension >& surface,
            const AABBTree< dimension >& tree )
            : triangles_( surface, tree )
        {
        }

        std::vector< std::pair< index_t, index_t > > intersecting_elements() const
        {
            return internal::ParallelBoxPairs< dimension >{ triangles_.tree() }
                .accepted_pairs( [this]( index_t polygon0, index_t polygon1 ) {
                    return detail::mesh_triangles_intersect(
                        triangles_.triangle( polygon0 ), triangles_.triangle( polygon1 ) );
                } );
        }

    private:
        internal::SurfaceTriangles triangles_;
    };

    template < index_t dimension >
    TriangulatedSurfaceIntersections< dimension >::TriangulatedSurfaceIntersections(
        const TriangulatedSurface< dimension >& surface )
        : impl_( std::make_unique< Impl >( surface ) )
    {
    }

    template < index_t dimension >
    TriangulatedSurfaceIntersections< dimension >::TriangulatedSurfaceIntersections(
        const TriangulatedSurface< dimension >& surface, const AABBTree< dimension >& tree )
        : impl_( std::make_unique< Impl >( surface, tree ) )
    {
    }

    template < index_t dimension >
    TriangulatedSurfaceIntersections< dimension >::~TriangulatedSurfaceIntersections() =
        default;

    template < index_t dimension >
    std::vector< std::pair< index_t, index_t > >
        TriangulatedSurfaceIntersections< dimension >::intersecting_elements() const
    {
        return impl_->intersecting_elements();
    }

    template class TriangulatedSurfaceIntersections< 3 >;
} // namespace orvane
