#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include <absl/types/span.h>

#include <gtest/gtest.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

// Small surfaces for the modifier tests and the checker of the invariants
// that every edit of a triangulated surface must keep.

namespace orvane::test
{
    /// A surface with its builder.
    template < index_t dimension >
    struct EditableSurface
    {
        std::unique_ptr< TriangulatedSurface< dimension > > mesh;
        std::unique_ptr< TriangulatedSurfaceBuilder< dimension > > builder;
    };

    /// Builds a surface from points given in 3-D (the third coordinate is
    /// dropped in 2-D) and triangles, and links the adjacencies of every
    /// edge that exactly two triangles share in opposite directions.
    template < index_t dimension >
    EditableSurface< dimension > make_surface(
        const std::vector< std::array< double, 3 > >& points,
        const std::vector< std::array< index_t, 3 > >& triangles );

    /// 0 (0,0), 1 (1,0), 2 (1,1), 3 (0,1); triangles (0,1,2) and (0,2,3).
    template < index_t dimension >
    EditableSurface< dimension > make_square();

    /// Centre 0 at the origin and vertices 1 to 6 on the unit circle at
    /// 0, 60, ..., 300 degrees; triangles (0, k, k % 6 + 1) for k = 1..6.
    template < index_t dimension >
    EditableSurface< dimension > make_hexagonal_fan();

    /// A row of `nb_quads` unit squares: bottom vertices i = (i, 0), top
    /// vertices nb_quads + 1 + i = (i, 1); each square split along its
    /// diagonal from bottom-left to top-right.
    template < index_t dimension >
    EditableSurface< dimension > make_strip( index_t nb_quads );

    /// A grid of nx by ny squares over [0, nx] x [0, ny] (z a gentle wave in
    /// 3-D), each square split along its bottom-left to top-right diagonal.
    template < index_t dimension >
    EditableSurface< dimension > make_grid( index_t nx, index_t ny );

    /// Two triangles on the same three vertices a = 0, b = 1, c = 2:
    /// (a, b, c) and (b, a, c), adjacent across {a, b} and {b, c} only.
    EditableSurface< 3 > make_pillow();

    struct SurfaceEditCheckOptions
    {
        /// Two live triangles that use the same vertex pair in opposite
        /// directions must be adjacent across it, and no vertex pair has a
        /// third live triangle.
        bool linked_shared_edges{ true };
        /// Every live corner of a vertex is in its fan (one fan per vertex).
        bool single_fan{ true };
    };

    /// The invariants of a surface under edit, reading the "orvane_active"
    /// flags when present (a missing flag attribute means all live):
    /// - a live triangle has three distinct valid vertices;
    /// - a live triangle's neighbours are live, the adjacency is mutual and
    ///   the neighbour runs the shared edge the other way;
    /// - a vertex of a live triangle is associated with a fan of live
    ///   triangles that hold it, and a vertex of no live triangle is
    ///   isolated;
    /// - with an edge table, every edge of a live triangle is in the table
    ///   and is active when edge flags exist;
    /// - in 2-D every live triangle turns counter-clockwise (exact sign);
    /// - the shared surface checks of surface_checks.hpp, dead triangles
    ///   skipped.
    template < index_t dimension >
    ::testing::AssertionResult is_valid_surface(
        const TriangulatedSurface< dimension >& mesh,
        const SurfaceEditCheckOptions& options = {} );

    /// The same invariants restricted to the neighbourhood of an edit: the
    /// given vertices and their neighbours, with the live triangles of their
    /// fans. A vertex of two fans is only caught by the whole check.
    template < index_t dimension >
    ::testing::AssertionResult is_valid_surface_around(
        const TriangulatedSurface< dimension >& mesh,
        absl::Span< const index_t > vertices,
        const SurfaceEditCheckOptions& options = {} );

    /// Number of live triangles.
    template < index_t dimension >
    index_t nb_active_polygons( const TriangulatedSurface< dimension >& mesh );
} // namespace orvane::test
