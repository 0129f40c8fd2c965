#pragma once

#include <array>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>

namespace orvane
{
    /// Coordinates (1 - t, t) of the point's orthogonal projection on the
    /// segment's line (not clamped). Never throws: a segment of length at
    /// most DIVISION_EPSILON gives (0.5, 0.5).
    template < index_t dimension >
    std::array< double, 2 > safe_segment_barycentric_coordinates(
        const Point< dimension >& point, const Segment< dimension >& segment );

    /// Coordinates of the point's orthogonal projection on the triangle's
    /// plane (not clamped). Never throws and always sums to 1 up to
    /// rounding: a degenerate triangle (exactly collinear, or
    /// |(b - a) x (c - a)| <= DIVISION_EPSILON) gives the segment coordinates
    /// on its longest edge with 0 for the third vertex, and a triangle whose
    /// vertices coincide gives 1/3 each.
    template < index_t dimension >
    std::array< double, 3 > safe_triangle_barycentric_coordinates(
        const Point< dimension >& point, const Triangle< dimension >& triangle );

    /// Coordinates of the point in the tetrahedron. Never throws: a flat
    /// tetrahedron (exactly, or six times its volume at most
    /// DIVISION_EPSILON) gives the triangle coordinates on its largest facet
    /// with 0 for the opposite vertex.
    std::array< double, 4 > safe_tetrahedron_barycentric_coordinates(
        const Point< 3 >& point, const Tetrahedron& tetrahedron );

    /// The same as the safe version on a valid triangle; throws
    /// OpenOrvaneException on a degenerate one.
    template < index_t dimension >
    std::array< double, 3 > triangle_barycentric_coordinates(
        const Point< dimension >& point, const Triangle< dimension >& triangle );

    /// The same as the safe version on a valid tetrahedron; throws
    /// OpenOrvaneException on a flat one.
    std::array< double, 4 > tetrahedron_barycentric_coordinates(
        const Point< 3 >& point, const Tetrahedron& tetrahedron );
} // namespace orvane
