#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <openorvane/basic/logger.hpp>
#include <openorvane/basic/mapping.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

#include <background/background_solid.hpp>
#include <background/background_solid_inserter.hpp>
#include <background/background_solid_inserter_impl.hpp>

#include <tests/background/background_fixtures.hpp>
#include <tests/background/inserter_checks.hpp>
#include <tests/support/solid_checks.hpp>
#include <tests/support/solid_fixtures.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace
{
    using namespace orvane;

    class FacetInsertionTest : public ::testing::Test
    {
    protected:
        static void SetUpTestSuite()
        {
            test::initialize_solid_meshes();
            test::initialize_surface_meshes();
        }

        /// A surface of the given triangles over the points.
        static std::unique_ptr< TriangulatedSurface< 3 > > surface(
            const std::vector< Point< 3 > >& points,
            const std::vector< std::array< index_t, 3 > >& triangles )
        {
            return test::create_triangulated_surface< 3 >( points, triangles );
        }

        /// Inserts every triangle of the surface; returns the message of the
        /// failure, empty when none.
        static std::string insert_all(
            internal::BackgroundSolid& solid, const TriangulatedSurface< 3 >& mesh )
        {
            std::vector< index_t > polygons( mesh.nb_polygons() );
            std::iota( polygons.begin(), polygons.end(), 0 );
            try
            {
                internal::BackgroundSolidInserter inserter{ solid };
                inserter.insert_surface( mesh, polygons );
            }
            catch( const std::exception& error )
            {
                return error.what();
            }
            return {};
        }
    };
} // namespace

namespace
{
    TEST_F( FacetInsertionTest, InteriorTriangleBecomesFacetsCarryingItsPolygon )
    {
        auto solid = test::background_grid( 3, 3, 3 );
        const auto mesh = surface( { Point< 3 >{ { 0.3, 0.4, 0.45 } },
                                       Point< 3 >{ { 2.6, 0.7, 1.3 } },
                                       Point< 3 >{ { 1.2, 2.5, 2.1 } } },
            { { 0, 1, 2 } } );
        ASSERT_EQ( insert_all( *solid, *mesh ), "" );
        EXPECT_TRUE( test::is_valid_tetrahedral_solid( *solid ) );
        const auto triangle = test::surface_triangle( *mesh, 0 );
        EXPECT_TRUE( test::covers_triangle(
            *solid, { mesh->id(), 0 }, triangle, triangle_area( triangle ) ) );
    }

    TEST_F( FacetInsertionTest, TriangleLeavingTheSolidIsInsertedUpToItsBorder )
    {
        struct Case
        {
            const char* name;
            std::array< Point< 3 >, 3 > corners;
        };
        // The solid is the box [0, 2]^3.
        const std::vector< Case > cases{
            { "one corner outside",
                { Point< 3 >{ { 0.3, 0.4, 0.45 } }, Point< 3 >{ { 1.6, 0.5, 0.7 } },
                    Point< 3 >{ { 0.9, 3.1, 1.3 } } } },
            { "two corners outside",
                { Point< 3 >{ { 0.3, 0.4, 0.45 } }, Point< 3 >{ { 3.2, 0.6, 0.9 } },
                    Point< 3 >{ { 1.1, 2.9, 1.4 } } } },
            { "every side outside, the plane across the solid",
                { Point< 3 >{ { -1, -1, 0.7 } }, Point< 3 >{ { 4, -0.5, 1.1 } },
                    Point< 3 >{ { 0.5, 4, 1.3 } } } },
            { "wholly outside",
                { Point< 3 >{ { 3, 3, 3 } }, Point< 3 >{ { 4, 3, 3 } },
                    Point< 3 >{ { 3, 4, 3.5 } } } },
        };
        for( const auto& test_case : cases )
        {
            SCOPED_TRACE( test_case.name );
            auto solid = test::background_grid( 2, 2, 2 );
            const auto mesh = surface( { test_case.corners[0], test_case.corners[1],
                                           test_case.corners[2] },
                { { 0, 1, 2 } } );
            ASSERT_EQ( insert_all( *solid, *mesh ), "" );
            EXPECT_TRUE( test::is_valid_tetrahedral_solid( *solid ) );
            const auto triangle = test::surface_triangle( *mesh, 0 );
            const auto inside = test::area_in_box(
                triangle, Point< 3 >{ { 0, 0, 0 } }, Point< 3 >{ { 2, 2, 2 } } );
            EXPECT_TRUE( test::covers_triangle( *solid, { mesh->id(), 0 }, triangle, inside ) );
        }
    }

    TEST_F( FacetInsertionTest, TrianglesSharingASideAreBothCovered )
    {
        auto solid = test::background_grid( 3, 3, 3 );
        // Folded along the shared side 0-2.
        const auto mesh = surface( { Point< 3 >{ { 0.31, 0.27, 0.63 } },
                                       Point< 3 >{ { 2.71, 0.43, 0.92 } },
                                       Point< 3 >{ { 2.58, 2.47, 1.69 } },
                                       Point< 3 >{ { 0.42, 2.61, 1.13 } } },
            { { 0, 1, 2 }, { 0, 2, 3 } } );
        ASSERT_EQ( insert_all( *solid, *mesh ), "" );
        EXPECT_TRUE( test::is_valid_tetrahedral_solid( *solid ) );
        for( const index_t polygon : { 0u, 1u } )
        {
            const auto triangle = test::surface_triangle( *mesh, polygon );
            EXPECT_TRUE( test::covers_triangle( *solid, { mesh->id(), polygon }, triangle,
                triangle_area( triangle ) ) )
                << "polygon " << polygon;
        }
        // Off the shared side the two triangles part: no facet lies on both.
        const auto first = test::facets_with_record( *solid, { mesh->id(), 0 } );
        for( const auto facet : test::facets_with_record( *solid, { mesh->id(), 1 } ) )
        {
            EXPECT_EQ( std::count( first.begin(), first.end(), facet ), 0 );
        }
    }
} // namespace

namespace
{
    /// Three tetrahedra around the edge T-D, which crosses the triangle of
    /// vertices 0, 1, 2 (at z = 0); T lies 1.6e-16 off the plane through 2,
    /// 0 and D, so that the rounded crossing point falls on the wrong side
    /// of that sliver and the patch cutter refuses to split T-D there.
    std::unique_ptr< TetrahedralSolid< 3 > > sliver_around_crossing_edge()
    {
        constexpr double t = 0.6224;
        const std::vector< Point< 3 > > points{ Point< 3 >{ { 0, 0, 0 } },
            Point< 3 >{ { 2, 2.2, 0 } }, Point< 3 >{ { -3, 3, 0 } },
            Point< 3 >{ { -3 * t + 1.6e-16, 3 * t, 1 } },
            Point< 3 >{ { -3.9 * t, 3.9 * t, -1.7 - t } } };
        std::vector< std::array< index_t, 4 > > tetrahedra{ { 0, 1, 3, 4 },
            { 1, 2, 3, 4 }, { 2, 0, 3, 4 } };
        for( auto& tetrahedron : tetrahedra )
        {
            if( tetrahedron_volume_sign( Tetrahedron{ points[tetrahedron[0]],
                    points[tetrahedron[1]], points[tetrahedron[2]],
                    points[tetrahedron[3]] } )
                != SIDE::positive )
            {
                std::swap( tetrahedron[2], tetrahedron[3] );
            }
        }
        return test::create_tetrahedral_solid( points, tetrahedra );
    }

    TEST_F( FacetInsertionTest, RefusedPatchSplitIsMadeByTheReplayAndTheTriangleInserted )
    {
        auto solid = test::background_from( sliver_around_crossing_edge() );
        const auto mesh = surface( { solid->point( 0 ), solid->point( 1 ),
                                       solid->point( 2 ) },
            { { 0, 1, 2 } } );
        const auto level = Logger::level();
        Logger::set_level( Logger::Level::debug );
        std::string failure;
        std::size_t nb_replayed{ 0 };
        {
            LoggerCapture capture;
            failure = insert_all( *solid, *mesh );
            for( const auto& message : capture.messages() )
            {
                nb_replayed += message.text.starts_with( "done = " ) ? 1 : 0;
            }
        }
        Logger::set_level( level );
        ASSERT_EQ( failure, "" );
        EXPECT_GE( nb_replayed, 1u );
        EXPECT_TRUE( test::is_valid_tetrahedral_solid( *solid ) );
        const auto triangle = test::surface_triangle( *mesh, 0 );
        EXPECT_TRUE( test::covers_triangle(
            *solid, { mesh->id(), 0 }, triangle, triangle_area( triangle ) ) );
    }

    TEST_F( FacetInsertionTest, AttemptsOfOneFacetInsertionAreBounded )
    {
        using Impl = internal::BackgroundSolidInserter::Impl;
        auto solid = test::background_grid( 1, 1, 1 );
        Impl inserter{ *solid };
        // A triangle wholly outside the solid: each attempt finds nothing to
        // insert and edits nothing.
        const Triangle< 3 > triangle{ Point< 3 >{ { 3, 3, 3 } },
            Point< 3 >{ { 4, 3, 3 } }, Point< 3 >{ { 3, 4, 3 } } };
        std::array< internal::EdgeInsertion, 3 > edges;
        for( const local_index_t side : { 0, 1, 2 } )
        {
            const local_index_t next = ( side + 1 ) % 3;
            edges[side].crossings = { { triangle.vertices()[side], std::nullopt,
                                          side, std::nullopt },
                { triangle.vertices()[next], std::nullopt, next, std::nullopt } };
            edges[side].outside = { 1 };
        }
        const uuid surface_id;
        // One insertion resets the count of attempts.
        inserter.insert_polygon_facet( surface_id, 0, edges );
        auto context = inserter.make_edit_context();
        for( index_t attempt = 1; attempt < Impl::MAX_FACET_ATTEMPTS; attempt++ )
        {
            EXPECT_TRUE( inserter
                             .insert_macro_facet(
                                 edges, triangle, surface_id, 0, *context )
                             .patch_facets.empty() );
        }
        try
        {
            (void) inserter.insert_macro_facet(
                edges, triangle, surface_id, 0, *context );
            FAIL() << "the attempt past the bound should throw";
        }
        catch( const OpenOrvaneException& error )
        {
            EXPECT_STREQ( error.what(),
                "[BackgroundSolidInserter::insert_macro_facet] Too many "
                "attempts while inserting MacroFacet (3.33333333333333 "
                "3.33333333333333 3)" );
        }
        EXPECT_NO_THROW( inserter.insert_polygon_facet( surface_id, 0, edges ) );
    }
} // namespace
