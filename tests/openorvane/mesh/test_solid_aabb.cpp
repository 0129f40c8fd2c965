#include <vector>

#include <gtest/gtest.h>

#include <openorvane/mesh/solid_aabb.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <tests/support/solid_fixtures.hpp>

namespace
{
    using namespace orvane;
} // namespace

TEST( SolidAABB, TreeOverTetrahedraFindsTheTetrahedraAtAPoint )
{
    const auto grid = orvane::test::grid_tetrahedral_solid( 3, 3, 3 );
    const auto tree = create_aabb_tree( *grid );
    ASSERT_EQ( tree.nb_bboxes(), grid->nb_polyhedra() );
    EXPECT_EQ( tree.bounding_box().min(), ( Point< 3 >{ { 0, 0, 0 } } ) );
    EXPECT_EQ( tree.bounding_box().max(), ( Point< 3 >{ { 3, 3, 3 } } ) );

    const DistanceToTetrahedron< 3 > distance{ *grid };
    // A point strictly inside cell (1, 2, 0), off every inner facet of the
    // cell, lies in exactly one tetrahedron; a point outside lies in none.
    const Point< 3 > inside{ { 1.7, 2.2, 0.5 } };
    BoundingBox< 3 > query;
    query.add_point( inside );
    std::vector< index_t > containing;
    tree.visit_boxes_intersecting_box( query, [&]( index_t tetrahedron ) {
        if( distance( inside, tetrahedron ) == 0. )
        {
            containing.push_back( tetrahedron );
        }
        return false;
    } );
    ASSERT_EQ( containing.size(), 1 );
    const auto cell = containing.front() / 6;
    EXPECT_EQ( cell, 1 + 3 * 2 );

    const Point< 3 > outside{ { 4, 1, 1 } };
    EXPECT_GT( distance( outside, containing.front() ), 0. );
    BoundingBox< 3 > far;
    far.add_point( outside );
    EXPECT_FALSE( tree.visit_boxes_intersecting_box(
        far, []( index_t ) { return true; } ) );

    // An empty solid gives an empty tree.
    orvane::test::initialize_solid_meshes();
    const auto empty = TetrahedralSolid< 3 >::create();
    EXPECT_EQ( create_aabb_tree( *empty ).nb_bboxes(), 0 );
}
