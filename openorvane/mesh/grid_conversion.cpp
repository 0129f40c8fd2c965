#include <openorvane/mesh/grid_conversion.hpp>

#include <array>
#include <cstdint>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

namespace
{
    using namespace orvane;

    /// The six paths from corner 000 to corner 111 of a cell, one axis at a
    /// time (the permutations of x, y, z), as corner bits (x = 1, y = 2,
    /// z = 4). The even permutations give positive tetrahedra in this order;
    /// the odd ones have their last two vertices swapped to be positive.
    constexpr std::array< std::array< index_t, 4 >, 6 > CELL_TETRAHEDRA{ {
        { 0, 1, 3, 7 }, // x, y, z
        { 0, 2, 6, 7 }, // y, z, x
        { 0, 4, 5, 7 }, // z, x, y
        { 0, 1, 7, 5 }, // x, z, y
        { 0, 2, 7, 3 }, // y, x, z
        { 0, 4, 7, 6 }, // z, y, x
    } };
} // namespace

namespace orvane
{
    std::unique_ptr< TetrahedralSolid< 3 > > convert_grid_into_tetrahedral_solid(
        const LightRegularGrid< 3 >& grid )
    {
        std::array< index_t, 3 > nb_vertices;
        std::uint64_t total_vertices{ 1 };
        for( const index_t d : { 0u, 1u, 2u } )
        {
            nb_vertices[d] = grid.nb_cells_in_direction( d ) + 1;
            total_vertices *= nb_vertices[d];
        }
        const auto total_tetrahedra = 6 * static_cast< std::uint64_t >( grid.nb_cells() );
        if( total_vertices >= NO_ID || total_tetrahedra >= NO_ID )
        {
            throw OpenOrvaneException{
                "[convert_grid_into_tetrahedral_solid] The grid has too many "
                "cells for a tetrahedral solid: ",
                grid.nb_cells(), " cells" };
        }
        auto solid = TetrahedralSolid< 3 >::create();
        auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
        for( index_t k = 0; k < nb_vertices[2]; k++ )
        {
            for( index_t j = 0; j < nb_vertices[1]; j++ )
            {
                for( index_t i = 0; i < nb_vertices[0]; i++ )
                {
                    builder->create_point( Point< 3 >{ { grid.cell_coordinate( 0, i ),
                        grid.cell_coordinate( 1, j ), grid.cell_coordinate( 2, k ) } } );
                }
            }
        }
        const auto vertex = [&]( index_t i, index_t j, index_t k ) {
            return i + nb_vertices[0] * ( j + nb_vertices[1] * k );
        };
        for( index_t cell = 0; cell < grid.nb_cells(); cell++ )
        {
            const auto c = grid.cell_indices( cell );
            std::array< index_t, 8 > corners;
            for( index_t bits = 0; bits < 8; bits++ )
            {
                corners[bits] = vertex( c[0] + ( bits & 1 ),
                    c[1] + ( ( bits >> 1 ) & 1 ), c[2] + ( ( bits >> 2 ) & 1 ) );
            }
            for( const auto& tetrahedron : CELL_TETRAHEDRA )
            {
                builder->create_tetrahedron(
                    { corners[tetrahedron[0]], corners[tetrahedron[1]],
                        corners[tetrahedron[2]], corners[tetrahedron[3]] } );
            }
        }
        builder->compute_polyhedron_adjacencies();
        return solid;
    }
} // namespace orvane
