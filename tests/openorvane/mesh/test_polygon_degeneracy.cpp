#include <openorvane/mesh/polygon_degeneracy.hpp>

#include <vector>

#include <gtest/gtest.h>

#include <openorvane/mesh/surface_mesh.hpp>
#include <openorvane/mesh/surface_mesh_builder.hpp>

#include <tests/support/surface_fixtures.hpp>

namespace
{
    using namespace orvane;

    TEST( PolygonDegeneracy, HeightAgainstTheLengthTolerance )
    {
        test::initialize_surface_meshes();
        struct Case
        {
            const char* name;
            std::vector< Point< 2 > > points;
            bool degenerated;
        };
        const std::vector< Case > cases{
            { "proper triangle", { Point< 2 >{ { 0, 0 } }, Point< 2 >{ { 1, 0 } },
                                     Point< 2 >{ { 0, 1 } } },
                false },
            { "collinear triangle", { Point< 2 >{ { 0, 0 } }, Point< 2 >{ { 1, 0 } },
                                        Point< 2 >{ { 3, 0 } } },
                true },
            { "two coincident vertices", { Point< 2 >{ { 0, 0 } }, Point< 2 >{ { 1, 1 } },
                                             Point< 2 >{ { 1, 1 } } },
                true },
            { "height below the tolerance",
                { Point< 2 >{ { 0, 0 } }, Point< 2 >{ { 1, 0 } },
                    Point< 2 >{ { 0.5, 5e-7 } } },
                true },
            { "height above the tolerance",
                { Point< 2 >{ { 0, 0 } }, Point< 2 >{ { 1, 0 } },
                    Point< 2 >{ { 0.5, 2e-6 } } },
                false },
        };
        for( const auto& test : cases )
        {
            SCOPED_TRACE( test.name );
            auto mesh = SurfaceMesh< 2 >::create();
            auto builder = SurfaceMeshBuilder< 2 >::create( *mesh );
            std::vector< index_t > vertices;
            for( const auto& point : test.points )
            {
                vertices.push_back( builder->create_point( point ) );
            }
            builder->create_polygon( vertices );
            EXPECT_EQ( detail::is_polygon_degenerated( *mesh, 0 ), test.degenerated );
        }
    }
} // namespace
