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
    class EdgedCurve;

    /// Finds the pairs (triangle of a surface, edge of a curve) that meet.
    ///
    /// Any contact counts, touching included, except at an edge end that
    /// coincides with a triangle vertex under point equality
    /// (Point::inexact_equal): such an end is taken at the vertex, and the
    /// pair counts only when the edge goes on into the triangle (see
    /// detail::segment_triangle_intersect). Decisions are exact.
    ///
    /// The constructor builds box trees of the triangles and of the edges.
    /// The meshes must outlive the finder and stay unchanged. Queries only
    /// read, so several threads may share one finder and its meshes.
    template < index_t dimension >
    class SurfaceCurveIntersections
    {
    public:
        SurfaceCurveIntersections( const TriangulatedSurface< dimension >& surface,
            const EdgedCurve< dimension >& curve );
        ~SurfaceCurveIntersections();

        /// Every meeting pair (polygon, edge), once, in ascending order. The
        /// result does not depend on the number of threads.
        std::vector< std::pair< index_t, index_t > > intersecting_elements() const;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };
} // namespace orvane
