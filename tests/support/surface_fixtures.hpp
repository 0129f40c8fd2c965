#pragma once

#include <array>
#include <memory>
#include <vector>

#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

namespace orvane
{
    namespace test
    {
        /// Initialises the core mesh library (every core mesh registered in
        /// the mesh factories).
        void initialize_surface_meshes();

        /// A point of the plane z = 0 (the z coordinate only in 3D).
        template < index_t dimension >
        Point< dimension > planar_point( double x, double y );

        /// A surface of the default implementation holding the points and
        /// the triangles as given (local order kept), with adjacencies
        /// computed when asked.
        template < index_t dimension >
        std::unique_ptr< TriangulatedSurface< dimension > >
            create_triangulated_surface(
                const std::vector< Point< dimension > >& points,
                const std::vector< std::array< index_t, 3 > >& triangles,
                bool compute_adjacencies = true );

        /// The unit square (0,0), (1,0), (1,1), (0,1) cut along its diagonal
        /// 0-2 into the counter-clockwise triangles (0, 1, 2) and (0, 2, 3).
        template < index_t dimension >
        std::unique_ptr< TriangulatedSurface< dimension > > square_of_two_triangles();

        /// Counter-clockwise triangles (0, i, i + 1) around the centre
        /// vertex 0 = (0, 0). A closed fan has `nb_triangles` ring vertices
        /// 1..n on the unit circle going round once, the last triangle being
        /// (0, n, 1); an open fan has nb_triangles + 1 ring vertices over
        /// half a turn. The hexagonal fan is triangle_fan( 6, true ).
        template < index_t dimension >
        std::unique_ptr< TriangulatedSurface< dimension > > triangle_fan(
            index_t nb_triangles, bool closed );

        /// A strip of `nb_quads` unit squares along x: bottom vertex i is
        /// (i, 0) and top vertex nb_quads + 1 + i is (i, 1); quad i gives the
        /// counter-clockwise triangles (i, i + 1, top i + 1) and
        /// (i, top i + 1, top i).
        template < index_t dimension >
        std::unique_ptr< TriangulatedSurface< dimension > > triangle_strip(
            index_t nb_quads );

        /// The triangles of a grid of nx * ny squares whose vertex (i, j) is
        /// i + (nx + 1) * j: square (i, j) gives the counter-clockwise
        /// triangles ((i, j), (i + 1, j), (i + 1, j + 1)) and
        /// ((i, j), (i + 1, j + 1), (i, j + 1)).
        std::vector< std::array< index_t, 3 > > grid_triangles( index_t nx, index_t ny );

        /// A regular grid of nx * ny unit squares, each cut into two
        /// counter-clockwise triangles; vertex (i, j) is i + (nx + 1) * j.
        template < index_t dimension >
        std::unique_ptr< TriangulatedSurface< dimension > > grid_surface(
            index_t nx, index_t ny );

        /// Two triangles (0, 1, 2) and (0, 3, 4) that share only vertex 0: a
        /// non-manifold vertex joining two fans.
        template < index_t dimension >
        std::unique_ptr< TriangulatedSurface< dimension > > bowtie();

        /// A polyline of `nb_edges` edges along x: vertex i is (i, 0), edge
        /// i runs from vertex i to vertex i + 1.
        template < index_t dimension >
        std::unique_ptr< EdgedCurve< dimension > > polyline( index_t nb_edges );
    } // namespace test
} // namespace orvane
