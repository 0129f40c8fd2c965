#include <gtest/gtest.h>

#include <openorvane/basic/assert.hpp>
#include <openorvane/basic/exception.hpp>

#include <tests/support/solid_fixtures.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace orvane
{
    // Read accessors check their indices only where debug checks are on.
    TEST( ReadAccessorChecks, BadIndicesThrowInCheckedBuilds )
    {
        if constexpr( !debug_checks_enabled )
        {
            GTEST_SKIP() << "index checks of read accessors are off in this build";
        }
        const auto surface = test::square_of_two_triangles< 3 >();
        EXPECT_THROW( surface->point( 4 ), OpenOrvaneException );
        EXPECT_THROW( surface->point( NO_ID ), OpenOrvaneException );
        EXPECT_THROW( surface->polygon_vertex( { 2, 0 } ), OpenOrvaneException );
        EXPECT_THROW( surface->polygon_vertex( { 0, 3 } ), OpenOrvaneException );
        EXPECT_THROW( surface->polygon_vertices( NO_ID ), OpenOrvaneException );
        EXPECT_EQ( surface->polygon_vertex( { 1, 2 } ), 3 );

        const auto solid = test::single_tetrahedron();
        EXPECT_THROW( solid->point( 4 ), OpenOrvaneException );
        EXPECT_THROW( solid->polyhedron_vertex( { 1, 0 } ), OpenOrvaneException );
        EXPECT_THROW( solid->polyhedron_vertex( { 0, 4 } ), OpenOrvaneException );
        EXPECT_THROW(
            solid->polyhedron_facet_vertices( { 0, 4 } ), OpenOrvaneException );
        EXPECT_THROW(
            solid->polyhedron_facet_vertices( { NO_ID, 0 } ), OpenOrvaneException );
        EXPECT_EQ( solid->polyhedron_vertex( { 0, 3 } ), 3 );
    }
} // namespace orvane
