#include <algorithm>
#include <string>
#include <vector>

#include <absl/strings/str_cat.h>
#include <gtest/gtest.h>

#include <openorvane/basic/logger.hpp>

#include <common/cutter/common_cutter_surface_library.hpp>
#include <common/cutter/surface_path_finder.hpp>
#include <common/modifier/mesh_modifier_factory.hpp>

#include <tests/common/cutter/cutter_test_helpers.hpp>
#include <tests/common/cutter/surface_path_walker.hpp>
#include <tests/support/fresh_process.hpp>
#include <tests/support/initialized_libraries.hpp>
#include <tests/support/surface_modifier_checks.hpp>

namespace
{
    using namespace orvane;
    using test::vertex_element;

    TEST( SurfacePathFinderException, has_its_fixed_message_and_copies )
    {
        const SurfacePathFinderException exception;
        EXPECT_STREQ( exception.what(), "Cannot find a path in the surface" );
        EXPECT_GT( exception.depth(), 0 );
        const SurfacePathFinderException copy{ exception };
        EXPECT_STREQ( copy.what(), exception.what() );
        EXPECT_EQ( copy.depth(), exception.depth() );
        EXPECT_EQ( copy.stack(), exception.stack() );
        const OpenOrvaneException& base = copy;
        EXPECT_STREQ( base.what(), "Cannot find a path in the surface" );
    }

    TEST( SurfacePathFinder, holds_the_segment_between_its_vertices )
    {
        const auto square = test::make_square< 3 >();
        const test::SurfacePathWalker< 3 > walker{ *square.mesh, 1, 3 };
        EXPECT_EQ( &walker.mesh(), square.mesh.get() );
        EXPECT_EQ( walker.begin(), 1u );
        EXPECT_EQ( walker.end(), 3u );
        EXPECT_EQ( walker.segment().vertices()[0], square.mesh->point( 1 ) );
        EXPECT_EQ( walker.segment().vertices()[1], square.mesh->point( 3 ) );
        EXPECT_EQ( walker.empty_crossing(), SurfacePathCrossing{} );
        EXPECT_EQ( SurfacePathCrossing{}.edge, PolygonEdge{} );
        EXPECT_TRUE( SurfacePathCrossing{}.toward_adjacent );
    }

    // The path shapes every finder returns: one vertex element when begin is
    // end, two when an edge joins them, else the crossings between them.
    TEST( SurfacePathFinder, paths_start_and_end_on_vertex_elements )
    {
        const auto strip = test::make_strip< 2 >( 2 );
        const struct
        {
            index_t begin;
            index_t end;
            std::vector< SurfacePathCrossing > expected;
        } cases[]{
            { 4, 4, { vertex_element( 4 ) } },
            { 0, 4, { vertex_element( 0 ), vertex_element( 4 ) } },
            { 4, 0, { vertex_element( 4 ), vertex_element( 0 ) } },
            { 0, 2, { vertex_element( 0 ), vertex_element( 1 ), vertex_element( 2 ) } },
            { 3, 1,
                { vertex_element( 3 ),
                    { PolygonEdge{ 1, 0 }, POSITION::inside, NO_ID, true },
                    vertex_element( 1 ) } },
        };
        for( const auto& test_case : cases )
        {
            test::SurfacePathWalker< 2 > walker{ *strip.mesh, test_case.begin,
                test_case.end };
            EXPECT_EQ( walker.find_path(), test_case.expected )
                << test_case.begin << " -> " << test_case.end;
        }
    }

    // An L of three unit squares; the walk from (2, 0) to (1, 2) leaves
    // through the border at (1.5, 1).
    TEST( SurfacePathFinder, a_walk_through_the_border_throws )
    {
        const auto surface = test::make_surface< 2 >(
            { { 0, 0, 0 }, { 1, 0, 0 }, { 2, 0, 0 }, { 0, 1, 0 }, { 1, 1, 0 },
                { 2, 1, 0 }, { 0, 2, 0 }, { 1, 2, 0 } },
            { { 0, 1, 4 }, { 0, 4, 3 }, { 1, 2, 5 }, { 1, 5, 4 }, { 3, 4, 7 },
                { 3, 7, 6 } } );
        test::SurfacePathWalker< 2 > walker{ *surface.mesh, 2, 7 };
        EXPECT_THROW( static_cast< void >( walker.find_path() ),
            SurfacePathFinderException );
    }

    TEST( CommonCutterSurfaceLibrary, brings_in_the_surface_modifiers )
    {
        test::expect_in_fresh_process( [] {
            Logger::set_level( Logger::Level::debug );
            LoggerCapture capture;
            CommonCutterSurfaceLibrary::initialize();
            CommonCutterSurfaceLibrary::initialize();
            const auto order = test::initialized_libraries( capture );
            if( order.empty() || order.front() != "CommonCutterSurface"
                || std::count( order.begin(), order.end(), "CommonCutterSurface" ) != 1
                || std::count( order.begin(), order.end(), "CommonModifierSurface" )
                       != 1 )
            {
                return absl::StrCat( "initialised ", test::joined( order ) );
            }
            for( const auto* key : { "OpenOrvaneTriangulatedSurface2D",
                     "OpenOrvaneTriangulatedSurface3D" } )
            {
                const auto keys = MeshModifierFactory::list_creators();
                if( std::none_of( keys.begin(), keys.end(),
                        [key]( const auto& listed ) { return listed.get() == key; } ) )
                {
                    return absl::StrCat( "no modifier registered for ", key );
                }
            }
            return std::string{};
        } );
    }
} // namespace
