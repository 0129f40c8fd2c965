#pragma once

#include <array>
#include <optional>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/geometry/point.hpp>

namespace orvane
{
    /// A segment between two points, stored by value.
    template < index_t dimension >
    class Segment
    {
    public:
        Segment() = default;
        Segment(
            const Point< dimension >& point0, const Point< dimension >& point1 )
            : vertices_{ point0, point1 }
        {
        }

        const std::array< Point< dimension >, 2 >& vertices() const
        {
            return vertices_;
        }

        /// Replaces vertex `vertex` (0 or 1).
        void set_point( local_index_t vertex, const Point< dimension >& point )
        {
            vertices_[vertex] = point;
        }

        /// The vector from vertex 0 to vertex 1 (not normalized).
        Vector< dimension > direction() const;

        /// The unit vector from vertex 0 to vertex 1. Throws
        /// OpenOrvaneException when the segment has no length.
        Vector< dimension > normalized_direction() const;

        double length() const;

        Point< dimension > barycenter() const;

        BoundingBox< dimension > bounding_box() const;

    private:
        std::array< Point< dimension >, 2 > vertices_;
    };

    class Plane;

    /// A triangle given by three points, stored by value.
    template < index_t dimension >
    class Triangle
    {
    public:
        Triangle() = default;
        Triangle( const Point< dimension >& point0,
            const Point< dimension >& point1,
            const Point< dimension >& point2 )
            : vertices_{ point0, point1, point2 }
        {
        }

        const std::array< Point< dimension >, 3 >& vertices() const
        {
            return vertices_;
        }

        /// Replaces vertex `vertex` (0 to 2).
        void set_point( local_index_t vertex, const Point< dimension >& point )
        {
            vertices_[vertex] = point;
        }

        Point< dimension > barycenter() const;

        BoundingBox< dimension > bounding_box() const;

        /// Twice the area divided by the longest edge; 0 when the triangle
        /// is degenerate (collinear or coincident vertices).
        double minimum_height() const;

        /// The unit normal (b - a) x (c - a), or nothing when the vertices
        /// are exactly collinear or |(b - a) x (c - a)| <= DIVISION_EPSILON.
        std::optional< Vector< 3 > > normal() const
            requires( dimension == 3 );

        /// The plane through vertex 0 with normal(), or nothing when the
        /// triangle has no normal.
        std::optional< Plane > plane() const
            requires( dimension == 3 );

    private:
        std::array< Point< dimension >, 3 > vertices_;
    };

    /// A tetrahedron given by four points, stored by value.
    class Tetrahedron
    {
    public:
        Tetrahedron() = default;
        Tetrahedron( const Point< 3 >& point0,
            const Point< 3 >& point1,
            const Point< 3 >& point2,
            const Point< 3 >& point3 )
            : vertices_{ point0, point1, point2, point3 }
        {
        }

        const std::array< Point< 3 >, 4 >& vertices() const
        {
            return vertices_;
        }

        /// Replaces vertex `vertex` (0 to 3).
        void set_point( local_index_t vertex, const Point< 3 >& point )
        {
            vertices_[vertex] = point;
        }

        Point< 3 > barycenter() const;

        BoundingBox< 3 > bounding_box() const;

    private:
        std::array< Point< 3 >, 4 > vertices_;
    };

    /// The plane through `origin` orthogonal to `normal`. The normal is kept
    /// as a unit vector; the default plane is z = 0.
    class Plane
    {
    public:
        Plane();

        /// Throws OpenOrvaneException when the normal's length is at most
        /// DIVISION_EPSILON.
        Plane( const Vector< 3 >& normal, const Point< 3 >& origin );

        const Vector< 3 >& normal() const
        {
            return normal_;
        }

        const Point< 3 >& origin() const
        {
            return origin_;
        }

        /// The constant c of the plane's equation n.x + c = 0.
        double plane_constant() const;

    private:
        Vector< 3 > normal_;
        Point< 3 > origin_;
    };

    /// The line through `origin` along `direction`; the direction is kept
    /// as a unit vector.
    template < index_t dimension >
    class InfiniteLine
    {
    public:
        /// Throws OpenOrvaneException when the direction's length is at most
        /// DIVISION_EPSILON.
        InfiniteLine(
            const Vector< dimension >& direction, const Point< dimension >& origin );

        /// The line through the segment, from vertex 0 towards vertex 1.
        explicit InfiniteLine( const Segment< dimension >& segment );

        const Vector< dimension >& direction() const
        {
            return direction_;
        }

        const Point< dimension >& origin() const
        {
            return origin_;
        }

    private:
        Vector< dimension > direction_;
        Point< dimension > origin_;
    };

    /// The half-line from `origin` along `direction` (unit vector).
    template < index_t dimension >
    class Ray : public InfiniteLine< dimension >
    {
    public:
        Ray( const Vector< dimension >& direction, const Point< dimension >& origin )
            : InfiniteLine< dimension >( direction, origin )
        {
        }

        /// The ray from vertex 0 through vertex 1.
        explicit Ray( const Segment< dimension >& segment )
            : InfiniteLine< dimension >( segment )
        {
        }
    };

    /// The ball boundary of given centre and radius.
    template < index_t dimension >
    class Sphere
    {
    public:
        Sphere( const Point< dimension >& origin, double radius )
            : origin_( origin ), radius_( radius )
        {
        }

        const Point< dimension >& origin() const
        {
            return origin_;
        }

        double radius() const
        {
            return radius_;
        }

        BoundingBox< dimension > bounding_box() const;

    private:
        Point< dimension > origin_;
        double radius_;
    };

    /// The circle of given radius centred at the plane's origin and lying in
    /// the plane.
    class Circle
    {
    public:
        Circle( const Plane& plane, double radius )
            : plane_( plane ), radius_( radius )
        {
        }

        const Plane& plane() const
        {
            return plane_;
        }

        double radius() const
        {
            return radius_;
        }

        /// The tight box of the circle.
        BoundingBox< 3 > bounding_box() const;

    private:
        Plane plane_;
        double radius_;
    };

    // The primitives own their points; these names are kept for code that
    // distinguishes owning primitives.
    template < index_t dimension >
    using OwnerSegment = Segment< dimension >;
    template < index_t dimension >
    using OwnerTriangle = Triangle< dimension >;
    template < index_t dimension >
    using OwnerInfiniteLine = InfiniteLine< dimension >;
    template < index_t dimension >
    using OwnerRay = Ray< dimension >;
    template < index_t dimension >
    using OwnerSphere = Sphere< dimension >;
    using OwnerTetrahedron = Tetrahedron;
    using OwnerPlane = Plane;
    using OwnerCircle = Circle;

    using Segment2D = Segment< 2 >;
    using Segment3D = Segment< 3 >;
    using Triangle2D = Triangle< 2 >;
    using Triangle3D = Triangle< 3 >;
    using InfiniteLine2D = InfiniteLine< 2 >;
    using InfiniteLine3D = InfiniteLine< 3 >;
    using Ray2D = Ray< 2 >;
    using Ray3D = Ray< 3 >;
    using Sphere2D = Sphere< 2 >;
    using Sphere3D = Sphere< 3 >;
} // namespace orvane
