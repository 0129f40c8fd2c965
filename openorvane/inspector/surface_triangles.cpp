#include <openorvane/inspector/surface_triangles.hpp>

#include <functional>
#include <memory>
#include <new>
#include <type_traits>

#include <openorvane/basic/async.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

namespace orvane::internal
{
    SurfaceTriangles::SurfaceTriangles( const TriangulatedSurface< 3 >& surface )
        : surface_( surface ), vertices_( surface.nb_polygons() )
    {
        // The boxes are made in place by the pool threads: constructing
        // them all up front on one thread (and touching their pages) would
        // cost as much as the rest of the set-up.
        static_assert( std::is_trivially_destructible_v< BoundingBox< 3 > > );
        const auto nb_polygons = surface.nb_polygons();
        std::allocator< BoundingBox< 3 > > allocator;
        const std::unique_ptr< BoundingBox< 3 >, std::function< void( BoundingBox< 3 >* ) > >
            boxes{ allocator.allocate( nb_polygons ),
                [&allocator, nb_polygons]( BoundingBox< 3 >* storage ) {
                    allocator.deallocate( storage, nb_polygons );
                } };
        async::parallel_for( 0, nb_polygons, [this, &boxes]( index_t p ) {
            auto* box = new( boxes.get() + p ) BoundingBox< 3 >{};
            for( const local_index_t v : { 0, 1, 2 } )
            {
                vertices_[p][v] = surface_.polygon_vertex( { p, v } );
                box->add_point( surface_.point( vertices_[p][v] ) );
            }
        } );
        own_tree_ =
            AABBTree< 3 >{ absl::Span< const BoundingBox< 3 > >{ boxes.get(), nb_polygons } };
    }

    SurfaceTriangles::SurfaceTriangles(
        const TriangulatedSurface< 3 >& surface, const AABBTree< 3 >& tree )
        : surface_( surface ), vertices_( surface.nb_polygons() ), tree_( &tree )
    {
        async::parallel_for( 0, surface.nb_polygons(), [this]( index_t p ) {
            for( const local_index_t v : { 0, 1, 2 } )
            {
                vertices_[p][v] = surface_.polygon_vertex( { p, v } );
            }
        } );
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
