#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include <openorvane/geometry/geometry_library.hpp>
#include <openorvane/geometry/predicates.hpp>

TEST( OpenOrvaneGeometryLibrary, InitialisesOnceFromSeveralThreads )
{
    std::vector< std::thread > threads;
    for( int t = 0; t < 4; t++ )
    {
        threads.emplace_back( [] { orvane::OpenOrvaneGeometryLibrary::initialize(); } );
    }
    for( auto& thread : threads )
    {
        thread.join();
    }
    orvane::OpenOrvaneGeometryLibrary::initialize();
    EXPECT_EQ( orvane::tetrahedron_volume_sign(
                   { orvane::Point3D{ { 0, 0, 0 } }, orvane::Point3D{ { 1, 0, 0 } },
                       orvane::Point3D{ { 0, 1, 0 } },
                       orvane::Point3D{ { 0, 0, 1e-17 } } } ),
        orvane::SIDE::positive );
}
