#include <optional>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/predicates.hpp>

#include <common/modifier/triangle_preview.hpp>

#include <tests/support/surface_fixtures.hpp>
#include <tests/support/surface_modifier_checks.hpp>

namespace
{
    using namespace orvane;

    using test::planar_point;

    /// The hexagonal fan with two more triangles: (2, 4, 3) closes the fan
    /// of vertex 3, and optionally (1, 4, 2) closes the fan of vertex 2 and
    /// joins 1 to 4.
    test::EditableSurface< 3 > make_folded_fan( bool join_one_and_four )
    {
        std::vector< std::array< double, 3 > > points{ { 0, 0, 0 } };
        std::vector< std::array< index_t, 3 > > triangles;
        for( index_t k = 0; k < 6; k++ )
        {
            const auto angle = static_cast< double >( k ) * M_PI / 3.;
            points.push_back( { std::cos( angle ), std::sin( angle ), 0 } );
            triangles.push_back( { 0, k + 1, ( k + 1 ) % 6 + 1 } );
        }
        triangles.push_back( { 2, 4, 3 } );
        if( join_one_and_four )
        {
            triangles.push_back( { 1, 4, 2 } );
        }
        return test::make_surface< 3 >( points, triangles );
    }

    TEST( SurfacePreviews, split_edge_previews )
    {
        auto surface = test::make_square< 2 >();
        const auto& mesh = *surface.mesh;
        const auto border =
            triangles_after_split_edge( mesh, { 0, 0 }, planar_point< 2 >( 0.5, 0 ) );
        ASSERT_EQ( border.size(), 2 );
        const auto inner =
            triangles_after_split_edge( mesh, { 0, 2 }, planar_point< 2 >( 0.5, 0.5 ) );
        ASSERT_EQ( inner.size(), 4 );
        EXPECT_EQ( inner[0].polygon, 0 );
        EXPECT_EQ( inner[2].polygon, 1 );
        // Edge 2 of triangle 0 runs from 2 to 0 with apex 1: (2, P, 1) and
        // (P, 0, 1).
        EXPECT_EQ( inner[0].triangle.vertices()[0], mesh.point( 2 ) );
        EXPECT_EQ( inner[1].triangle.vertices()[1], mesh.point( 0 ) );
        EXPECT_EQ( inner[1].triangle.vertices()[2], mesh.point( 1 ) );
        for( const auto& preview : inner )
        {
            EXPECT_EQ( triangle_area_sign( preview.triangle ), SIDE::positive );
        }
    }

    TEST( SurfacePreviews, triangle_split_and_move_previews )
    {
        auto surface = test::make_square< 3 >();
        const auto& mesh = *surface.mesh;
        const Point< 3 > point{ { 0.7, 0.2, 0 } };
        const auto split = triangles_after_split_triangle( mesh, 0, point );
        for( local_index_t i = 0; i < 3; i++ )
        {
            EXPECT_EQ( split[i].vertices()[i], point );
            EXPECT_EQ( split[i].vertices()[( i + 1 ) % 3],
                mesh.point( mesh.polygon_vertex( { 0, static_cast< local_index_t >(
                                                          ( i + 1 ) % 3 ) } ) ) );
        }
        const auto moved = triangles_after_move_vertex( mesh, 0, point );
        const auto fan = mesh.polygons_around_vertex( 0 );
        ASSERT_EQ( moved.size(), fan.size() );
        for( std::size_t i = 0; i < fan.size(); i++ )
        {
            EXPECT_EQ( moved[i].polygon, fan[i].polygon_id );
            EXPECT_EQ( moved[i].triangle.vertices()[fan[i].vertex_id], point );
        }
    }

    TEST( SurfacePreviews, collapse_previews_keep_outer_triangles )
    {
        // Strip of two squares: 0 1 2 at the bottom, 3 4 5 on top; the
        // bottom edge 0 -> 1 belongs to triangle 0 (0, 1, 4).
        auto surface = test::make_strip< 2 >( 2 );
        const auto& mesh = *surface.mesh;
        const auto corners = polygons_around_edge_vertices( mesh, { 0, 1 } );
        // Triangle 1 around 0, triangles 2 and 3 around 1.
        ASSERT_EQ( corners.size(), 3 );
        EXPECT_EQ( corners[0].polygon_id, 1 );
        EXPECT_EQ( mesh.polygon_vertex( corners[0] ), 0 );
        for( const auto i : { 1, 2 } )
        {
            EXPECT_EQ( mesh.polygon_vertex( corners[i] ), 1 );
        }
        const auto onto_first =
            triangles_after_collapse_onto_vertex( mesh, { 0, 1 }, 0 );
        ASSERT_EQ( onto_first.size(), 2 );
        for( const auto& preview : onto_first )
        {
            EXPECT_NE( preview.polygon, 0 );
            EXPECT_EQ( triangle_area_sign( preview.triangle ), SIDE::positive );
        }
        const auto onto_second =
            triangles_after_collapse_onto_vertex( mesh, { 0, 1 }, 1 );
        ASSERT_EQ( onto_second.size(), 1 );
        EXPECT_EQ( onto_second[0].polygon, 1 );
        EXPECT_EQ( onto_second[0].triangle.vertices()[0], mesh.point( 1 ) );
    }

    TEST( SurfacePreviews, collapse_validity_in_2d )
    {
        auto fan = test::make_hexagonal_fan< 2 >();
        // Strip of two squares: 0 (0, 0), 1 (1, 0), 2 (2, 0) at the bottom,
        // 3 (0, 1), 4 (1, 1), 5 (2, 1) on top.
        auto strip = test::make_strip< 2 >( 2 );
        struct Case
        {
            const char* name;
            const TriangulatedSurface< 2 >& mesh;
            std::array< index_t, 2 > ends;
            Point< 2 > point;
            bool valid;
        };
        const std::vector< Case > cases{
            { "centre onto a ring vertex", *fan.mesh, { 0, 1 },
                fan.mesh->point( 1 ), true },
            { "centre midway", *fan.mesh, { 0, 1 }, planar_point< 2 >( 0.5, 0 ), true },
            { "centre beyond the ring: flips", *fan.mesh, { 0, 1 },
                planar_point< 2 >( -2, 0 ), false },
            { "border edge inwards", *strip.mesh, { 0, 1 },
                planar_point< 2 >( 0.5, 0.5 ), true },
            { "border edge onto the top: flattens", *strip.mesh, { 0, 1 },
                planar_point< 2 >( 0.5, 1 ), false },
        };
        for( const auto& test_case : cases )
        {
            EXPECT_EQ( is_collapse_edge_valid(
                           test_case.mesh, test_case.ends, test_case.point ),
                test_case.valid )
                << test_case.name;
        }
        const auto& mesh = *fan.mesh;
        EXPECT_TRUE( is_collapse_edge_valid( mesh, { 0, 1 }, local_index_t{ 1 } ) );
        EXPECT_TRUE( is_collapse_edge_valid( mesh, { 0, 1 }, local_index_t{ 0 } ) );
    }

    /// The closed surface of a tetrahedron, outward triangles.
    test::EditableSurface< 3 > make_tetrahedron_boundary()
    {
        return test::make_surface< 3 >(
            { { 0, 0, 0 }, { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 } },
            { { 0, 2, 1 }, { 0, 1, 3 }, { 0, 3, 2 }, { 1, 2, 3 } } );
    }

    TEST( SurfacePreviews, collapse_validity_topology )
    {
        auto tetrahedron = make_tetrahedron_boundary();
        auto lone = test::make_surface< 3 >(
            { { 0, 0, 0 }, { 1, 0, 0 }, { 0, 1, 0 } }, { { 0, 1, 2 } } );
        auto folded = make_folded_fan( false );
        auto joined = make_folded_fan( true );
        auto strip = test::make_strip< 3 >( 3 );
        auto single = test::make_strip< 3 >( 1 );
        auto two = test::make_strip< 3 >( 2 );
        auto square = test::make_square< 3 >();
        struct Case
        {
            const char* name;
            const TriangulatedSurface< 3 >& mesh;
            std::array< index_t, 2 > ends;
            bool valid;
        };
        const std::vector< Case > cases{
            { "inner edge, two common neighbours", *folded.mesh, { 0, 1 }, true },
            { "inner edge, three common neighbours", *joined.mesh, { 0, 1 },
                false },
            { "border edge, two common neighbours", *folded.mesh, { 2, 4 },
                false },
            { "border edge, one common neighbour", *folded.mesh, { 4, 5 }, true },
            { "chord between border parts pinches", *strip.mesh, { 1, 6 }, false },
            { "chord cutting off an ear", *two.mesh, { 1, 5 }, true },
            { "diagonal of a lone square removes every polygon", *single.mesh,
                { 0, 3 }, false },
            { "against a border edge's direction", *square.mesh, { 1, 0 }, true },
            { "border edge given backwards, two common neighbours",
                *folded.mesh, { 4, 2 }, false },
            { "closed tetrahedron: duplicated triangles", *tetrahedron.mesh,
                { 0, 1 }, false },
            { "closed tetrahedron, ends backwards", *tetrahedron.mesh, { 2, 3 },
                false },
            { "inner diagonal removing the whole square", *square.mesh, { 0, 2 },
                false },
            { "inner diagonal given backwards", *square.mesh, { 2, 0 }, false },
            { "edge of a lone triangle", *lone.mesh, { 0, 1 }, false },
        };
        for( const auto& test_case : cases )
        {
            EXPECT_EQ( is_collapse_edge_valid( test_case.mesh, test_case.ends,
                           test_case.mesh.point( test_case.ends[0] ) ),
                test_case.valid )
                << test_case.name;
        }
    }

    TEST( SurfacePreviews, check_collapse_edge_reports )
    {
        auto joined = make_folded_fan( true );
        const auto link = detail::check_collapse_edge( *joined.mesh, { 1, 0 },
            TrianglePreviews< 3 >( 0 ) );
        EXPECT_FALSE( link.topology_valid );
        EXPECT_TRUE( link.manifold_valid );
        EXPECT_TRUE( link.valid );
        auto blocking = link.blocking_vertices;
        std::sort( blocking.begin(), blocking.end() );
        EXPECT_EQ( blocking, ( std::vector< index_t >{ 2, 4, 6 } ) );

        auto strip = test::make_strip< 3 >( 3 );
        const auto pinch = detail::check_collapse_edge(
            *strip.mesh, { 1, 6 }, TrianglePreviews< 3 >( 0 ) );
        EXPECT_FALSE( pinch.topology_valid );
        EXPECT_FALSE( pinch.manifold_valid );

        const auto fine = detail::check_collapse_edge(
            *strip.mesh, { 1, 2 }, TrianglePreviews< 3 >( 0 ) );
        EXPECT_TRUE( fine.topology_valid );
        EXPECT_TRUE( fine.blocking_vertices.empty() );

        EXPECT_THROW( static_cast< void >( detail::check_collapse_edge(
                          *strip.mesh, { 0, 7 }, TrianglePreviews< 3 >( 0 ) ) ),
            std::bad_optional_access );
    }

    TEST( SurfacePreviews, swap_previews_and_tests )
    {
        auto square = test::make_square< 3 >();
        const auto& mesh = *square.mesh;
        const auto preview = triangles_after_swap_edge( mesh, { 0, 2 } );
        // s = 2, t = 0, a = 1, b = 3.
        EXPECT_EQ( preview.triangles[0].vertices()[0], mesh.point( 2 ) );
        EXPECT_EQ( preview.triangles[0].vertices()[1], mesh.point( 3 ) );
        EXPECT_EQ( preview.triangles[0].vertices()[2], mesh.point( 1 ) );
        EXPECT_EQ( preview.triangles[1].vertices()[0], mesh.point( 0 ) );
        EXPECT_EQ( preview.polygons[0], 0 );
        EXPECT_EQ( preview.polygons[1], 1 );
        EXPECT_TRUE( is_swap_edge_topologically_valid( mesh, { 0, 2 } ) );
        EXPECT_TRUE( detail::check_swap_edge( mesh, { 0, 2 } ).topology_valid );

        EXPECT_FALSE( is_swap_edge_topologically_valid( mesh, { 0, 0 } ) );
        for( const auto& call : { +[]( const TriangulatedSurface< 3 >& surface ) {
                 static_cast< void >( triangles_after_swap_edge( surface, { 0, 0 } ) );
             },
                 +[]( const TriangulatedSurface< 3 >& surface ) {
                     static_cast< void >( detail::check_swap_edge( surface, { 0, 0 } ) );
                 } } )
        {
            try
            {
                call( mesh );
                ADD_FAILURE() << "swap preview on a border edge";
            }
            catch( const OpenOrvaneException& error )
            {
                EXPECT_STREQ( error.what(),
                    "[triangles_after_swap_edge] Swap edge can only be simulated "
                    "on edge with an adjacent" );
            }
        }

        // In the folded fan, swapping edge 0 -> 3 would make the diagonal
        // (2, 4), which triangle (2, 4, 3) already has.
        auto folded = make_folded_fan( false );
        const auto edge = folded.mesh->polygon_edge_from_vertices( 0, 3 ).value();
        EXPECT_FALSE( is_swap_edge_topologically_valid( *folded.mesh, edge ) );
        const auto report = detail::check_swap_edge( *folded.mesh, edge );
        EXPECT_FALSE( report.topology_valid );
        EXPECT_TRUE( report.manifold_valid );
        auto blocking = report.blocking_vertices;
        std::sort( blocking.begin(), blocking.end() );
        EXPECT_EQ( blocking, ( std::vector< index_t >{ 2, 4 } ) );

        // Two triangles on the same three vertices: the swap would make
        // triangles with a repeated vertex.
        auto pillow = test::make_pillow();
        EXPECT_FALSE( is_swap_edge_topologically_valid( *pillow.mesh, { 0, 0 } ) );
        EXPECT_FALSE( detail::check_swap_edge( *pillow.mesh, { 0, 0 } ).topology_valid );
    }

    TEST( SurfacePreviews, polygon_vertex_at_point_tolerance )
    {
        auto surface = test::make_square< 3 >();
        const auto& mesh = *surface.mesh;
        // Triangle 0 is (0, 1, 2); vertex 1 lies at (1, 0, 0).
        EXPECT_EQ( detail::polygon_vertex_at_point(
                       mesh, 0, Point< 3 >{ { 1, 0.9e-6, 0 } } ),
            1 );
        EXPECT_EQ( detail::polygon_vertex_at_point(
                       mesh, 0, Point< 3 >{ { 1, 1.1e-6, 0 } } ),
            std::nullopt );
        EXPECT_EQ( detail::polygon_vertex_at_point(
                       mesh, 0, Point< 3 >{ { 1, 1, 0 } } ),
            2 );
    }
} // namespace
