#pragma once

#include <vector>

#include <openorvane/basic/assert.hpp>
#include <openorvane/basic/growable_array.hpp>
#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/geometry/point.hpp>

namespace orvane
{
    /// The coordinates of a mesh's vertices, one point per vertex.
    ///
    /// Meshes with coordinates (point sets, curves, surfaces and solids)
    /// hold one and keep its size equal to their number of vertices: a new
    /// vertex starts at the origin.
    ///
    /// `point` checks its index in Debug and sanitizer builds only (see
    /// assert.hpp); `set_point` checks it in every build, and refuses
    /// non-finite points.
    template < index_t dimension >
    class CoordinateArray
    {
    public:
        /// Meshes grow one vertex at a time: large arrays take huge pages
        /// and grow in place (see GrowableArray).
        using Points = GrowableArray< Point< dimension > >;

        const Point< dimension >& point( index_t vertex ) const
        {
            ORVANE_ASSERT( vertex < points_.size(), "[point] Vertex ", vertex,
                " out of range (", points_.size(), " vertices)" );
            return points_[vertex];
        }

        void set_point( index_t vertex, const Point< dimension >& point )
        {
            ORVANE_EXCEPTION( vertex < points_.size(), "[set_point] Vertex ",
                vertex, " out of range (", points_.size(), " vertices)" );
            check_finite( point );
            points_[vertex] = point;
        }

        /// Throws OpenOrvaneException when a coordinate of the point is NaN
        /// or infinite: meshes hold finite points only, since the exact
        /// predicates cannot order the others.
        static void check_finite( const Point< dimension >& point )
        {
            ORVANE_EXCEPTION( point.is_finite(),
                "[set_point] Cannot give a vertex the non-finite point ",
                point.string() );
        }

        index_t nb_points() const
        {
            return static_cast< index_t >( points_.size() );
        }

        const Points& points() const
        {
            return points_;
        }

        /// Grows or shrinks to `nb_points`; new points are the origin.
        void resize( index_t nb_points );

        /// Removes the flagged points, keeping the order of the others.
        void delete_points( const std::vector< bool >& to_delete );

        /// The smallest box holding every point (empty without points).
        BoundingBox< dimension > bounding_box() const;

    private:
        Points points_;
    };
} // namespace orvane
