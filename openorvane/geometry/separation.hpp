#pragma once

#include <absl/types/span.h>

#include <openorvane/geometry/point.hpp>

// Cheap proofs that small convex shapes (points, segments, triangles, given
// by their vertices) are apart, meant to skip exact tests whose answer they
// settle. A proof comes from a separating direction evaluated in floating
// point together with a bound on every rounding error made along the way,
// so a positive answer holds for the exact shapes; a negative answer only
// says that no proof was found.

namespace orvane
{
    /// Whether the convex hull of `first` and the convex hull of `second`
    /// (one to three points each) are proven farther apart than `distance`
    /// (at least 0). Answers false on a non-finite coordinate, which is
    /// left to the exact tests, and for more than three points a shape.
    bool hulls_proven_farther_than( absl::Span< const Point< 3 > > first,
        absl::Span< const Point< 3 > > second,
        double distance );

    /// Whether one direction proves both that the hull of `first` lies
    /// farther than `distance` from the hull of `shared` and `second`, and
    /// that the hull of `second` lies farther than `distance` from the hull
    /// of `shared` and `first`: the two triangles (or segments) made of the
    /// shared points and each side, apart beyond what they share. Needs one
    /// or two shared points and at most three points a triangle; answers
    /// false otherwise, and when no such direction was found.
    bool proven_apart_around( absl::Span< const Point< 3 > > shared,
        absl::Span< const Point< 3 > > first,
        absl::Span< const Point< 3 > > second,
        double distance );

    /// Whether a plane through `apex` is proven to leave the points of
    /// `first` strictly on one side and the points of `second` strictly on
    /// the other (one or two points each). Then the convex hulls of
    /// `first` plus the apex and of `second` plus the apex meet at the apex
    /// only. Answers false when no such plane was found (always for more
    /// than two points a side).
    bool proven_apart_beyond_apex( const Point< 3 >& apex,
        absl::Span< const Point< 3 > > first,
        absl::Span< const Point< 3 > > second );
} // namespace orvane
