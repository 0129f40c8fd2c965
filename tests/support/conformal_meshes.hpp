#pragma once

#include <array>
#include <memory>
#include <vector>

#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

namespace orvane
{
    namespace test
    {
        /// Points and triangles of a surface under construction; shared
        /// points are found by exact coordinates, so that pieces built
        /// separately join into one mesh.
        struct TriangleSoup
        {
            /// The index of the point, appended when new.
            index_t point( const Point< 3 >& point );

            /// Adds a quadrangle grid spanning origin + s * u + t * v for s, t
            /// in [0, 1], n x n cells, each cut into two triangles whose
            /// normals follow u x v.
            void add_grid( const Point< 3 >& origin,
                const Vector< 3 >& u,
                const Vector< 3 >& v,
                index_t n );

            /// The mesh, with adjacencies.
            std::unique_ptr< TriangulatedSurface< 3 > > mesh() const;

            std::vector< Point< 3 > > points;
            std::vector< std::array< index_t, 3 > > triangles;
        };

        /// A planar n x n grid over the rectangle [x0, x1] x [y0, y1] at
        /// height z, normals up.
        std::unique_ptr< TriangulatedSurface< 3 > > rectangle(
            double x0, double y0, double x1, double y1, double z, index_t n );

        /// The six faces of the cube [lo, hi]^3, each an n x n grid with its
        /// normals pointing out of the cube, in the order -x, +x, -y, +y, -z,
        /// +z.
        std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > cube_faces(
            double lo, double hi, index_t n );

        /// The same faces as one closed surface.
        std::unique_ptr< TriangulatedSurface< 3 > > closed_cube( double lo, double hi, index_t n );

        /// A closed surface of (n x n) x 6 x 2 triangles on the sphere of
        /// the centre and radius (the cube grid projected), normals out.
        std::unique_ptr< TriangulatedSurface< 3 > > sphere(
            const Point< 3 >& center, double radius, index_t n );

        /// A curve through the points, edge i from point i to point i + 1.
        std::unique_ptr< EdgedCurve< 3 > > curve( const std::vector< Point< 3 > >& points );

        /// A point set of the points.
        std::unique_ptr< PointSet< 3 > > point_set( const std::vector< Point< 3 > >& points );
    } // namespace test
} // namespace orvane
