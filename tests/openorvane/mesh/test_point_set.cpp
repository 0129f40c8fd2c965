#include <gtest/gtest.h>

#include <openorvane/mesh/point_set.hpp>

#include <tests/support/surface_fixtures.hpp>

namespace orvane
{
    TEST( PointSets, PointsCloneAndDeleteNothing )
    {
        test::initialize_surface_meshes();
        const auto points = PointSet< 3 >::create();
        auto builder = PointSetBuilder< 3 >::create( *points );
        EXPECT_EQ( builder->create_point( Point< 3 >{ { 1, 2, 3 } } ), 0 );
        EXPECT_EQ( builder->create_point( Point< 3 >{ { -1, 0, 3 } } ), 1 );
        builder->set_point( 0, Point< 3 >{ { 1, 2, 4 } } );
        EXPECT_EQ( points->point( 0 ), ( Point< 3 >{ { 1, 2, 4 } } ) );
        EXPECT_EQ( points->bounding_box().min(), ( Point< 3 >{ { -1, 0, 3 } } ) );
        EXPECT_EQ( builder->delete_isolated_vertices(), ( OldToNew{ 0, 1 } ) );
        EXPECT_EQ( points->nb_vertices(), 2 );
        const auto clone = points->clone();
        EXPECT_EQ( clone->point( 1 ), points->point( 1 ) );
        EXPECT_EQ( clone->id(), points->id() );
    }
} // namespace orvane
