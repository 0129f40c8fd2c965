#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <tests/support/solid_checks.hpp>
#include <tests/support/solid_fixtures.hpp>

namespace
{
    using namespace orvane;
} // namespace

// Splits random tetrahedra at their barycentre, as a modifier would with the
// builder alone: the old tetrahedron takes the new vertex in place of its
// local vertex 0 and three new tetrahedra take it in place of the others;
// then the adjacencies of the four are recomputed from the list. The solid
// must stay valid after every split.
TEST( SolidEdits, RandomSplitsWithListedAdjacencies )
{
    const auto solid = orvane::test::grid_tetrahedral_solid( 2, 2, 2 );
    solid->enable_edges();
    solid->enable_facets();
    auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
    const unsigned seed = 4242;
    std::srand( seed );
    for( index_t round = 0; round < 60; round++ )
    {
        const auto tetrahedron =
            static_cast< index_t >( std::rand() ) % solid->nb_polyhedra();
        const auto old_vertices = solid->polyhedron_vertices( tetrahedron );
        const auto vertex =
            builder->create_point( solid->polyhedron_barycenter( tetrahedron ) );
        builder->set_polyhedron_vertex( { tetrahedron, 0 }, vertex );
        std::vector< index_t > changed{ tetrahedron };
        for( local_index_t replaced = 1; replaced < 4; replaced++ )
        {
            std::array< index_t, 4 > vertices{ old_vertices[0], old_vertices[1],
                old_vertices[2], old_vertices[3] };
            vertices[replaced] = vertex;
            changed.push_back( builder->create_tetrahedron( vertices ) );
        }
        builder->compute_polyhedron_adjacencies( changed );
        ASSERT_TRUE( orvane::test::is_valid_tetrahedral_solid( *solid ) )
            << "seed " << seed << " round " << round << " tetrahedron "
            << tetrahedron;
    }
    EXPECT_EQ( solid->nb_polyhedra(), 48 + 3 * 60 );
    EXPECT_EQ( solid->nb_vertices(), 27 + 60 );
}
