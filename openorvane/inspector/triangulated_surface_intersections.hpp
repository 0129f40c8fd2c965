#pragma once

#include <memory>
#include <utility>
#include <vector>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    template < index_t dimension >
    class TriangulatedSurface;
    template < index_t dimension >
    class AABBTree;

    /// Finds the pairs of triangles of one surface that intersect. Callers
    /// that look for intersections between several surfaces merge them
    /// first, so that their common vertices become shared vertices.
    ///
    /// What counts (decided exactly, without tolerance; see
    /// detail::mesh_triangles_intersect):
    /// - triangles without common vertex: any contact, touching included;
    /// - triangles with one common vertex: any other common point;
    /// - triangles with a common edge: a coplanar overlap (a fold);
    /// - triangles on the same three vertices: never.
    ///
    /// The constructor builds a box tree of the triangles. The surface must
    /// outlive the finder and stay unchanged. Queries only read, so several
    /// threads may share one finder and its surface.
    template < index_t dimension >
    class TriangulatedSurfaceIntersections
    {
    public:
        explicit TriangulatedSurfaceIntersections(
            const TriangulatedSurface< dimension >& surface );

        /// Uses `tree`, a box tree of the surface's polygons (element i is
        /// polygon i, its box holding the polygon: the tree create_aabb_tree
        /// gives, or one with grown boxes), instead of building one, for
        /// callers that search the surface with it too. The tree must
        /// outlive the finder.
        TriangulatedSurfaceIntersections( const TriangulatedSurface< dimension >& surface,
            const AABBTree< dimension >& tree );
        ~TriangulatedSurfaceIntersections();

        /// Every intersecting pair (a, b) of polygons, a < b, once, in
        /// ascending order. Candidates come from the box tree and are tested
        /// on the thread pool; the result does not depend on the number of
        /// threads.
        std::vector< std::pair< index_t, index_t > > intersecting_elements() const;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };
} // namespace orvane
