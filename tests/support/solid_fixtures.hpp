#pragma once

#include <array>
#include <memory>
#include <vector>

#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

namespace orvane
{
    namespace test
    {
        /// Initialises the core mesh library, which registers the solid
        /// implementations in the mesh factories.
        void initialize_solid_meshes();

        /// A solid of the default implementation holding the points and the
        /// tetrahedra as given (local order kept), with adjacencies computed
        /// when asked.
        std::unique_ptr< TetrahedralSolid< 3 > > create_tetrahedral_solid(
            const std::vector< Point< 3 > >& points,
            const std::vector< std::array< index_t, 4 > >& tetrahedra,
            bool compute_adjacencies = true );

        /// The positive unit tetrahedron (0,0,0), (1,0,0), (0,1,0), (0,0,1).
        std::unique_ptr< TetrahedralSolid< 3 > > single_tetrahedron();

        /// The unit cube cut into 5 positive tetrahedra: four corner
        /// tetrahedra at corners 0, 3, 5, 6 around the central one
        /// (1, 2, 4, 7), in this order. Corner i is at (i & 1, (i >> 1) & 1,
        /// (i >> 2) & 1). Adjacencies computed.
        std::unique_ptr< TetrahedralSolid< 3 > > cube_of_five_tetrahedra();

        /// The unit cube cut into 6 positive tetrahedra around the diagonal
        /// from corner 0 to corner 7 (same corner numbering). Adjacencies
        /// computed.
        std::unique_ptr< TetrahedralSolid< 3 > > cube_of_six_tetrahedra();

        /// Tetrahedra around the edge from vertex 0 = (0,0,0) to vertex 1 =
        /// (0,0,1). Ring vertex 2 + i lies at angle i * step at height 0.5;
        /// tetrahedron i is (0, 1, ring i, ring i + 1), positive. A closed
        /// fan has `nb_tetrahedra` ring vertices going round once; an open fan
        /// has nb_tetrahedra + 1 ring vertices over half a turn. Adjacencies
        /// computed.
        std::unique_ptr< TetrahedralSolid< 3 > > tetrahedra_fan_around_edge(
            index_t nb_tetrahedra, bool closed );

        /// A conformal block of nx * ny * nz unit cells, each cut into the 6
        /// positive tetrahedra of cube_of_six_tetrahedra; vertex (i, j, k) is
        /// i + (nx + 1) * (j + (ny + 1) * k). Adjacencies computed.
        std::unique_ptr< TetrahedralSolid< 3 > > grid_tetrahedral_solid(
            index_t nx, index_t ny, index_t nz );
    } // namespace test
} // namespace orvane
