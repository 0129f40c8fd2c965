#pragma once

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>

namespace orvane
{
    template < index_t dimension >
    class Ray;
    template < index_t dimension >
    class Segment;

    /// An axis-aligned box, empty until a point or a box is added. Boxes are
    /// closed: touching boxes intersect and a point on a face is contained.
    template < index_t dimension >
    class BoundingBox
    {
    public:
        /// An empty box: it contains nothing and intersects nothing.
        BoundingBox();

        /// Grows the box so that it contains the point.
        void add_point( const Point< dimension >& point );

        /// Grows the box so that it contains the other box (an empty box
        /// adds nothing).
        void add_box( const BoundingBox< dimension >& box );

        /// Grows the box by `distance` on every side.
        void extends( double distance );

        /// True until a point or a box has been added.
        bool empty() const;

        const Point< dimension >& min() const
        {
            return min_;
        }

        const Point< dimension >& max() const
        {
            return max_;
        }

        Point< dimension > center() const;

        /// The vector from min() to max().
        Vector< dimension > diagonal() const;

        /// True when the point lies in the closed box.
        bool contains( const Point< dimension >& point ) const;

        /// True when the closed boxes share at least one point.
        bool intersects( const BoundingBox< dimension >& box ) const;

        /// True when the ray meets the closed box. The test is a filter for
        /// tree searches: it may accept a ray that passes within a relative
        /// rounding margin of the box, and never rejects one that meets it.
        bool intersects( const Ray< dimension >& ray ) const;

        /// True when the segment meets the closed box, with the same
        /// conservative margin as the ray test.
        bool intersects( const Segment< dimension >& segment ) const;

        /// The Euclidean distance from the point to the box when the point
        /// is outside; minus the distance to the nearest face when inside.
        double signed_distance( const Point< dimension >& point ) const;

    private:
        Point< dimension > min_;
        Point< dimension > max_;
    };

    using BoundingBox2D = BoundingBox< 2 >;
    using BoundingBox3D = BoundingBox< 3 >;
} // namespace orvane
