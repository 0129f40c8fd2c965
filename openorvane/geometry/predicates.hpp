#pragma once

#include <cstdint>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/geometry/position.hpp>

// Exact orientation signs. Each answer is the sign of the exact value of a
// polynomial in the given coordinates (adaptive floating-point filter with
// an exact fallback), so a result of `zero` means exactly degenerate.
//
// Every predicate throws OpenOrvaneException on a NaN or infinite coordinate
// rather than answer. The exact signs hold for coordinates up to 1e100 in
// magnitude for the 3-D orientation (tetrahedron_volume_sign) and up to
// 1e150 for the 2-D ones; beyond, a predicate whose products overflow throws
// instead of answering a wrong sign.

namespace orvane
{
    enum struct SIDE : std::int8_t
    {
        positive,
        negative,
        zero
    };

    /// positive <-> negative; zero stays zero.
    SIDE opposite_side( SIDE side );

    /// Positive when the triangle turns counter-clockwise.
    SIDE triangle_area_sign( const Triangle< 2 >& triangle );

    /// The sign of component `axis` of (b - a) x (c - a): the orientation of
    /// the triangle projected on the coordinates ((axis + 1) mod 3,
    /// (axis + 2) mod 3).
    SIDE triangle_area_sign( const Triangle< 3 >& triangle, local_index_t axis );

    /// Positive when (b - a).((c - a) x (d - a)) > 0, i.e. when d lies on the
    /// side of the plane (a, b, c) towards which (b - a) x (c - a) points.
    SIDE tetrahedron_volume_sign( const Tetrahedron& tetrahedron );

    /// The side of the point relative to the plane: positive on the side the
    /// normal points to. Exact for the plane's stored normal and origin.
    SIDE point_side_to_plane( const Point< 3 >& point, const Plane& plane );

    /// The side of the point relative to the line: positive on the left,
    /// seen along the direction. Exact for the line's stored values.
    SIDE point_side_to_line(
        const Point< 2 >& point, const InfiniteLine< 2 >& line );

    /// The side of the point relative to the line through the segment,
    /// positive on the left of vertex 0 -> vertex 1 (exact).
    SIDE point_side_to_segment(
        const Point< 2 >& point, const Segment< 2 >& segment );

    /// The position of the point relative to the closed segment: vertex0 or
    /// vertex1 at an end, inside strictly between them, outside otherwise
    /// (exact; a degenerate segment only answers vertex0 or outside).
    template < index_t dimension >
    POSITION point_segment_position(
        const Point< dimension >& point, const Segment< dimension >& segment );

    /// The position of the point relative to the closed triangle: vertex0..2,
    /// edge0..2 strictly inside an edge, inside strictly inside the
    /// triangle, outside otherwise (also when a 3-D point is off the
    /// triangle's plane). Exact. A degenerate triangle is treated as the
    /// union of its edges, so only vertex, edge or outside answers are given.
    POSITION point_triangle_position(
        const Point< 2 >& point, const Triangle< 2 >& triangle );
    POSITION point_triangle_position(
        const Point< 3 >& point, const Triangle< 3 >& triangle );

    namespace detail
    {
        /// Exact orient2d: positive when a, b, c turn counter-clockwise; the
        /// magnitude is only an approximation of twice the signed area.
        double orient2d(
            const Point< 2 >& a, const Point< 2 >& b, const Point< 2 >& c );

        /// Exact sign of (b - a).((c - a) x (d - a)); the magnitude is an
        /// approximation of six times the signed volume.
        double orient3d( const Point< 3 >& a,
            const Point< 3 >& b,
            const Point< 3 >& c,
            const Point< 3 >& d );

        /// The exact sign of the scalar product of the stored vectors.
        SIDE dot_product_sign(
            const Vector< 3 >& vector0, const Vector< 3 >& vector1 );

        /// Makes sure the exact arithmetic is set up; every predicate calls
        /// it, so calling it is never required.
        void initialize_predicates();
    } // namespace detail
} // namespace orvane
