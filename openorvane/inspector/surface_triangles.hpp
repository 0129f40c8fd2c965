#pragma once

#include <array>
#include <vector>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/aabb.hpp>
#include <openorvane/inspector/contact_predicates.hpp>

namespace orvane
{
    template < index_t dimension >
    class TriangulatedSurface;
} // namespace orvane

namespace orvane::internal
{
    /// The triangles of a surface as flat vertex triples, with a box tree
    /// of them (element i is polygon i), both built on the thread pool or
    /// the tree given. The surface must outlive this and stay unchanged.
    class SurfaceTriangles
    {
    public:
        explicit SurfaceTriangles( const TriangulatedSurface< 3 >& surface );

        /// Uses `tree`, a box tree of the surface's polygons (element i is
        /// polygon i), instead of building one; it must outlive this.
        SurfaceTriangles( const TriangulatedSurface< 3 >& surface, const AABBTree< 3 >& tree );

        SurfaceTriangles( const SurfaceTriangles& ) = delete;
        SurfaceTriangles& operator=( const SurfaceTriangles& ) = delete;

        const AABBTree< 3 >& tree() const
        {
            return *tree_;
        }

        detail::MeshTriangle triangle( index_t polygon ) const;

        std::array< const Point< 3 >*, 3 > points( index_t polygon ) const;

    private:
        const TriangulatedSurface< 3 >& surface_;
        std::vector< std::array< index_t, 3 > > vertices_;
        AABBTree< 3 > own_tree_;
        const AABBTree< 3 >* tree_{ &own_tree_ };
    };
} // namespace orvane::internal
