#pragma once

#include <optional>

#include <absl/container/inlined_vector.h>

#include <openorvane/geometry/basic_objects.hpp>

// Intersections that compute points. Whether the objects meet, and where on
// them, is decided exactly (see intersection_detection.hpp); only the
// coordinates of a crossing point are computed in floating point.

namespace orvane
{
    enum struct INTERSECTION_TYPE
    {
        none = 0,
        /// One intersection (the result holds it).
        intersect = 1,
        /// Parallel or overlapping objects: no single intersection.
        parallel = 2,
        /// The objects are invalid for this intersection.
        incorrect = 3
    };

    /// A kind and, for an intersection, its result. The result is only
    /// present with INTERSECTION_TYPE::intersect.
    template < typename Intersection >
    struct IntersectionResult
    {
        IntersectionResult() = default;

        explicit IntersectionResult( Intersection intersection )
            : result( std::move( intersection ) ),
              type( INTERSECTION_TYPE::intersect )
        {
        }

        explicit IntersectionResult( INTERSECTION_TYPE intersection_type )
            : type( intersection_type )
        {
        }

        bool has_intersection() const
        {
            return type == INTERSECTION_TYPE::intersect;
        }

        std::optional< Intersection > result;
        INTERSECTION_TYPE type{ INTERSECTION_TYPE::none };
    };

    /// The crossing of two 2-D segments; parallel when they are collinear
    /// and share more than one point.
    IntersectionResult< Point< 2 > > segment_segment_intersection(
        const Segment< 2 >& segment0, const Segment< 2 >& segment1 );

    /// The crossing of a 2-D segment with a line; parallel when the segment
    /// lies on the line.
    IntersectionResult< Point< 2 > > segment_line_intersection(
        const Segment< 2 >& segment, const InfiniteLine< 2 >& line );

    /// The crossing of a segment with a plane; parallel when the segment
    /// lies in the plane. An end on the plane is returned exactly.
    IntersectionResult< Point< 3 > > segment_plane_intersection(
        const Segment< 3 >& segment, const Plane& plane );

    /// The crossing of a line with a plane; parallel when the line's
    /// direction is exactly orthogonal to the plane's normal.
    IntersectionResult< Point< 3 > > line_plane_intersection(
        const InfiniteLine< 3 >& line, const Plane& plane );

    /// The point where the segment meets the closed triangle; parallel when
    /// the segment lies in the triangle's plane and touches the triangle.
    IntersectionResult< Point< 3 > > segment_triangle_intersection(
        const Segment< 3 >& segment, const Triangle< 3 >& triangle );

    /// The point where the line meets the closed triangle; parallel when
    /// the line lies in the triangle's plane and touches the triangle.
    IntersectionResult< Point< 3 > > line_triangle_intersection(
        const InfiniteLine< 3 >& line, const Triangle< 3 >& triangle );

    /// The points of the segment at the sphere's radius from its centre
    /// (one or two, ordered from vertex 0). An end whose distance to the
    /// centre equals the radius is always reported, as the end itself.
    IntersectionResult< absl::InlinedVector< Point< 3 >, 2 > >
        segment_sphere_intersection(
            const Segment< 3 >& segment, const Sphere< 3 >& sphere );

    /// The points where the circle pierces the closed triangle. Nothing
    /// when they do not meet, or when the triangle lies in the circle's
    /// plane (the contact is then made of arcs, not points).
    std::optional< absl::InlinedVector< Point< 3 >, 2 > >
        triangle_circle_intersection(
            const Triangle< 3 >& triangle, const Circle& circle );
} // namespace orvane
