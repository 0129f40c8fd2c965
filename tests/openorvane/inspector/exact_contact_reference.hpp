#pragma once

#include <array>
#include <vector>

// An independent, slow reference for the contact rules, in exact integer
// arithmetic: points have small integer coordinates, and every point it
// derives is a rational with a common denominator. It enumerates the
// candidate corners of the common set of two closed elements (their
// vertices, the crossings of their edges, the crossings of an edge with the
// other's plane), keeps those that lie in both elements, and asks whether
// one of them lies off the part the elements are allowed to share. A
// compact convex set lies in a convex part exactly when its corners do.

namespace orvane::test
{
    using IntegerPoint = std::array< long long, 3 >;

    /// Whether the closed triangles meet beyond the convex hull of their
    /// common vertices (by id): any contact without common vertex, another
    /// common point with one, a point off the common edge with two, never
    /// with three. A collinear triangle is the segment its points span.
    bool reference_triangles_intersect( const std::array< IntegerPoint, 3 >& triangle0,
        const std::array< long long, 3 >& vertices0,
        const std::array< IntegerPoint, 3 >& triangle1,
        const std::array< long long, 3 >& vertices1 );

    /// Whether the closed segment meets the closed triangle at a point other
    /// than a segment end equal to a triangle vertex.
    bool reference_segment_triangle_intersect( const IntegerPoint& start,
        const IntegerPoint& end,
        const std::array< IntegerPoint, 3 >& triangle );
} // namespace orvane::test
