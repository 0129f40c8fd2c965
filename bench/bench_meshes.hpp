#pragma once

// Grid meshes and heap measurement shared by the benchmark executables.

#include <malloc.h>

#include <array>
#include <cstddef>
#include <memory>

#include <openorvane/mesh/mesh_library.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

namespace orvane
{
    namespace bench
    {
        /// Bytes of heap in use, for memory-per-element counters: the chunks
        /// of the main arena plus the large blocks malloc maps on their own,
        /// which hold the big arrays of a mesh.
        inline std::size_t heap_in_use()
        {
            const auto info = mallinfo2();
            return info.uordblks + info.hblkhd;
        }

        /// Heap bytes gained since the `before` reading of heap_in_use(),
        /// negative when memory was given back.
        inline double heap_growth_since( std::size_t before )
        {
            return static_cast< double >( heap_in_use() ) - static_cast< double >( before );
        }

        /// Creates the triangles of a grid of nx * ny squares whose vertex
        /// (i, j) is i + (nx + 1) * j: square (i, j) gives the triangles
        /// ((i, j), (i + 1, j), (i + 1, j + 1)) and
        /// ((i, j), (i + 1, j + 1), (i, j + 1)).
        inline void create_grid_triangles(
            TriangulatedSurfaceBuilder< 3 >& builder, index_t nx, index_t ny )
        {
            const auto vertex = [nx]( index_t i, index_t j ) {
                return i + ( nx + 1 ) * j;
            };
            for( index_t j = 0; j < ny; j++ )
            {
                for( index_t i = 0; i < nx; i++ )
                {
                    builder.create_triangle(
                        { vertex( i, j ), vertex( i + 1, j ), vertex( i + 1, j + 1 ) } );
                    builder.create_triangle(
                        { vertex( i, j ), vertex( i + 1, j + 1 ), vertex( i, j + 1 ) } );
                }
            }
        }

        /// A conformal block of n * n * n unit cells, each cut into 6
        /// positive tetrahedra around its diagonal from corner 0 to corner 7
        /// (corner c at (c & 1, (c >> 1) & 1, (c >> 2) & 1)); vertex
        /// (i, j, k) is i + (n + 1) * (j + (n + 1) * k). Adjacencies are not
        /// computed.
        inline std::unique_ptr< TetrahedralSolid< 3 > > grid_solid( index_t n )
        {
            constexpr std::array< std::array< index_t, 4 >, 6 > CELL_TETRAHEDRA{ {
                { 0, 1, 3, 7 },
                { 0, 5, 1, 7 },
                { 0, 3, 2, 7 },
                { 0, 2, 6, 7 },
                { 0, 6, 4, 7 },
                { 0, 4, 5, 7 },
            } };
            OpenOrvaneMeshLibrary::initialize();
            auto solid = TetrahedralSolid< 3 >::create();
            auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
            for( index_t k = 0; k <= n; k++ )
            {
                for( index_t j = 0; j <= n; j++ )
                {
                    for( index_t i = 0; i <= n; i++ )
                    {
                        builder->create_point( Point< 3 >{ { static_cast< double >( i ),
                            static_cast< double >( j ), static_cast< double >( k ) } } );
                    }
                }
            }
            const auto vertex = [n]( index_t i, index_t j, index_t k ) {
                return i + ( n + 1 ) * ( j + ( n + 1 ) * k );
            };
            for( index_t k = 0; k < n; k++ )
            {
                for( index_t j = 0; j < n; j++ )
                {
                    for( index_t i = 0; i < n; i++ )
                    {
                        std::array< index_t, 8 > corners;
                        for( index_t c = 0; c < 8; c++ )
                        {
                            corners[c] = vertex( i + ( c & 1 ), j + ( ( c >> 1 ) & 1 ),
                                k + ( ( c >> 2 ) & 1 ) );
                        }
                        for( const auto& tetrahedron : CELL_TETRAHEDRA )
                        {
                            builder->create_tetrahedron(
                                { corners[tetrahedron[0]], corners[tetrahedron[1]],
                                    corners[tetrahedron[2]], corners[tetrahedron[3]] } );
                        }
                    }
                }
            }
            return solid;
        }
    } // namespace bench
} // namespace orvane
