#include <functional>
#include <limits>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/assert.hpp>
#include <openorvane/basic/attribute_interpolation.hpp>
#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

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

namespace orvane
{
    namespace
    {
        /// Runs the write, expects it to throw, and expects the solid's
        /// vertices and tetrahedra unchanged.
        template < typename Write >
        void expect_refused( const TetrahedralSolid< 3 >& solid, Write&& write, const char* name )
        {
            const auto nb_vertices = solid.nb_vertices();
            const auto nb_tetrahedra = solid.nb_polyhedra();
            std::vector< index_t > vertices;
            std::vector< std::optional< index_t > > adjacents;
            for( index_t t = 0; t < nb_tetrahedra; t++ )
            {
                for( local_index_t v = 0; v < 4; v++ )
                {
                    vertices.push_back( solid.polyhedron_vertex( { t, v } ) );
                    adjacents.push_back( solid.polyhedron_adjacent( { t, v } ) );
                }
            }
            EXPECT_THROW( write(), OpenOrvaneException ) << name;
            EXPECT_EQ( solid.nb_vertices(), nb_vertices ) << name;
            ASSERT_EQ( solid.nb_polyhedra(), nb_tetrahedra ) << name;
            std::size_t i{ 0 };
            for( index_t t = 0; t < nb_tetrahedra; t++ )
            {
                for( local_index_t v = 0; v < 4; v++, i++ )
                {
                    EXPECT_EQ( solid.polyhedron_vertex( { t, v } ), vertices[i] ) << name;
                    EXPECT_EQ( solid.polyhedron_adjacent( { t, v } ), adjacents[i] ) << name;
                }
            }
        }
    } // namespace

    TEST( BuilderWriteChecks, SolidWritesCheckTheirIndices )
    {
        auto solid = test::cube_of_five_tetrahedra();
        auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
        const auto nan = std::numeric_limits< double >::quiet_NaN();
        struct Case
        {
            const char* name;
            std::function< void() > write;
        };
        const std::vector< Case > cases{
            { "tetrahedron on a missing vertex",
                [&] { builder->create_tetrahedron( { 0, 1, 2, 999 } ); } },
            { "tetrahedron on NO_ID", [&] { builder->create_tetrahedron( { 0, 1, 2, NO_ID } ); } },
            { "tetrahedron with a repeated vertex",
                [&] { builder->create_tetrahedron( { 0, 1, 2, 1 } ); } },
            { "point of a missing vertex", [&] { builder->set_point( 8, Point< 3 >{} ); } },
            { "NaN point", [&] { builder->set_point( 0, Point< 3 >{ { nan, 0, 0 } } ); } },
            { "new NaN point", [&] { builder->create_point( Point< 3 >{ { 0, nan, 0 } } ); } },
            { "vertex of a missing tetrahedron",
                [&] { builder->set_polyhedron_vertex( { 5, 0 }, 0 ); } },
            { "vertex at local index 4", [&] { builder->set_polyhedron_vertex( { 0, 4 }, 0 ); } },
            { "missing vertex in a tetrahedron",
                [&] { builder->set_polyhedron_vertex( { 0, 0 }, 8 ); } },
            { "adjacent of a missing facet",
                [&] { builder->set_polyhedron_adjacent( { 0, 4 }, 1 ); } },
            { "missing adjacent", [&] { builder->set_polyhedron_adjacent( { 0, 0 }, 5 ); } },
            { "unset a missing facet", [&] { builder->unset_polyhedron_adjacent( { 7, 0 } ); } },
            { "associate a missing vertex",
                [&] { builder->associate_polyhedron_vertex_to_vertex( { 0, 0 }, 8 ); } },
            { "associate a missing tetrahedron",
                [&] { builder->associate_polyhedron_vertex_to_vertex( { 9, 0 }, 0 ); } },
            { "disassociate a missing vertex",
                [&] { builder->disassociate_polyhedron_vertex_to_vertex( NO_ID ); } },
            { "vertex count wrapping", [&] { builder->create_vertices( NO_ID - 2 ); } },
        };
        for( const auto& test_case : cases )
        {
            expect_refused( *solid, test_case.write, test_case.name );
        }
        EXPECT_EQ( solid->polyhedron_around_vertex( 0 ),
            test::cube_of_five_tetrahedra()->polyhedron_around_vertex( 0 ) );
    }

    TEST( BuilderWriteChecks, SurfaceWritesCheckTheirIndices )
    {
        auto surface = test::square_of_two_triangles< 3 >();
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        const auto inf = std::numeric_limits< double >::infinity();
        struct Case
        {
            const char* name;
            std::function< void() > write;
        };
        const std::vector< Case > cases{
            { "triangle with a repeated vertex", [&] { builder->create_triangle( { 0, 1, 1 } ); } },
            { "triangle on a missing vertex", [&] { builder->create_triangle( { 0, 1, 4 } ); } },
            { "point of a missing vertex", [&] { builder->set_point( 4, Point< 3 >{} ); } },
            { "infinite point", [&] { builder->create_point( Point< 3 >{ { inf, 0, 0 } } ); } },
            { "vertex of a missing polygon", [&] { builder->set_polygon_vertex( { 2, 0 }, 0 ); } },
            { "vertex at local index 3", [&] { builder->set_polygon_vertex( { 0, 3 }, 0 ); } },
            { "adjacent of a missing polygon", [&] { builder->set_polygon_adjacent( { 2, 0 }, 0 ); } },
            { "missing adjacent", [&] { builder->set_polygon_adjacent( { 0, 0 }, 7 ); } },
            { "associate a missing vertex",
                [&] { builder->associate_polygon_vertex_to_vertex( { 0, 0 }, 9 ); } },
            { "associate a missing polygon",
                [&] { builder->associate_polygon_vertex_to_vertex( { 3, 0 }, 0 ); } },
            { "disassociate a missing vertex",
                [&] { builder->disassociate_polygon_vertex_to_vertex( 4 ); } },
        };
        for( const auto& test_case : cases )
        {
            const auto nb_vertices = surface->nb_vertices();
            const auto nb_polygons = surface->nb_polygons();
            const auto first = surface->polygon_vertices( 0 );
            const auto second = surface->polygon_vertices( 1 );
            const auto adjacent = surface->polygon_adjacent( { 0, 2 } );
            EXPECT_THROW( test_case.write(), OpenOrvaneException ) << test_case.name;
            EXPECT_EQ( surface->nb_vertices(), nb_vertices ) << test_case.name;
            EXPECT_EQ( surface->nb_polygons(), nb_polygons ) << test_case.name;
            EXPECT_EQ( surface->polygon_vertices( 0 ), first ) << test_case.name;
            EXPECT_EQ( surface->polygon_vertices( 1 ), second ) << test_case.name;
            EXPECT_EQ( surface->polygon_adjacent( { 0, 2 } ), adjacent ) << test_case.name;
        }
    }

    TEST( BuilderWriteChecks, AttributeWritesCheckTheirElements )
    {
        auto surface = test::square_of_two_triangles< 3 >();
        auto& manager = surface->vertex_attribute_manager();
        auto attribute = manager.find_or_create_attribute< VariableAttribute, double >(
            "height", 0., { true, true } );
        EXPECT_THROW( manager.assign_attribute_value( 0, 4 ), OpenOrvaneException );
        EXPECT_THROW( manager.assign_attribute_value( NO_ID, 0 ), OpenOrvaneException );
        const std::array< index_t, 2 > indices{ 0, 9 };
        const std::array< double, 2 > weights{ 0.5, 0.5 };
        EXPECT_THROW( manager.interpolate_attribute_value(
                          AttributeLinearInterpolation{ indices, weights }, 1 ),
            OpenOrvaneException );
        const std::array< index_t, 2 > good{ 0, 1 };
        EXPECT_THROW( manager.interpolate_attribute_value(
                          AttributeLinearInterpolation{ good, weights }, 4 ),
            OpenOrvaneException );
        attribute->set_value( 0, 2. );
        manager.interpolate_attribute_value( AttributeLinearInterpolation{ good, weights }, 3 );
        EXPECT_EQ( attribute->value( 3 ), 1. );
    }
} // namespace orvane
