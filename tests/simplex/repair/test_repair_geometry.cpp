#include <string>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/line.hpp>
#include <openorvane/model/surface.hpp>

#include <simplex/repair/do_repair_intersection.hpp>
#include <simplex/repair/repair_brep_surfaces.hpp>
#include <simplex/repair/repair_geometry.hpp>
#include <simplex/simplex_brep_library.hpp>

#include <tests/simplex/repair/repair_scenes.hpp>
#include <tests/support/brep_fixtures.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;
    using internal::surface_repair::Repair::line_part;

    Point< 3 > p3( double x, double y, double z )
    {
        return Point< 3 >{ { x, y, z } };
    }

    TEST( RepairGeometry, edge_median_plane_holds_the_apex_and_the_triangle_normal )
    {
        SimplexBRepLibrary::initialize();
        struct Case
        {
            const char* name;
            Point< 3 > apex;
        };
        for( const auto& [name, apex] :
            { Case{ "apex above the midpoint", p3( 1, 1, 0 ) },
                Case{ "apex above an end", p3( 0, 1, 0 ) },
                Case{ "apex beyond an end", p3( 3, 0.5, 0 ) } } )
        {
            SCOPED_TRACE( name );
            BRep model;
            BRepBuilder builder{ model };
            builder.create_unique_vertices( 3 );
            const auto id = add_linked_surface( model,
                { p3( 0, 0, 0 ), p3( 2, 0, 0 ), apex }, { { 0, 1, 2 } }, { 0, 1, 2 } );
            const auto& mesh = model.surface( id ).mesh();
            const PolygonEdge edge{ 0, 0 };
            EXPECT_EQ( internal::edge_apex( mesh, edge ), 2u );
            const auto plane = internal::edge_median_plane( mesh, edge, apex );
            EXPECT_EQ( point_side_to_plane( p3( 1, 0, 0 ), plane ), SIDE::zero );
            const Vector< 3 > to_apex{ p3( 1, 0, 0 ), apex };
            EXPECT_NEAR( to_apex.dot( plane.normal() ), 0., 1e-15 );
            // Perpendicular to the triangle (z = 0): no z component.
            EXPECT_EQ( plane.normal().value( 2 ), 0. );
            // The edge's ends lie on either side.
            EXPECT_EQ( point_side_to_plane( p3( 0, 0, 0 ), plane ),
                opposite_side( point_side_to_plane( p3( 2, 0, 0 ), plane ) ) );
        }
    }

    TEST( RepairGeometry, line_part_walks_the_curve_between_two_edges )
    {
        SimplexBRepLibrary::initialize();
        BRep model;
        BRepBuilder builder{ model };
        builder.create_unique_vertices( 10 );
        // Open chain of four edges, edges e_i = (i, i + 1).
        const auto& open = model.line( add_linked_line( model,
            { p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 2, 0, 0 ), p3( 3, 0, 0 ), p3( 4, 0, 0 ) },
            { 0, 1, 2, 3, 4 } ) );
        // Closed loop of four edges.
        const auto& loop = model.line( add_linked_line( model,
            { p3( 0, 1, 0 ), p3( 1, 1, 0 ), p3( 1, 2, 0 ), p3( 0, 2, 0 ) }, { 5, 6, 7, 8 },
            true ) );
        struct Case
        {
            const char* name;
            const Line< 3 >* line;
            index_t from;
            index_t to;
            std::vector< index_t > expected;
        };
        const Case cases[] = {
            { "same edge", &open, 2, 2, { 2 } },
            { "through vertex 1", &open, 0, 3, { 0, 1, 2, 3 } },
            // From edge 3 the walk through its vertex 0 goes down the chain.
            { "through vertex 0", &open, 3, 1, { 3, 2, 1 } },
            // From edge 1 towards edge 3: vertex 0 leads to the free end,
            // the walk turns back through vertex 1.
            { "turns back at a free end", &open, 1, 3, { 1, 2, 3 } },
            { "end edge not on the line", &open, 1, 7, {} },
            { "loop, the short way", &loop, 0, 3, { 0, 3 } },
            { "loop, end edge not on the line", &loop, 0, 9, {} },
        };
        for( const auto& c : cases )
        {
            EXPECT_EQ( line_part( *c.line, c.from, c.to ), c.expected ) << c.name;
        }

        // A vertex of three edges.
        const auto branch = builder.add_line();
        {
            auto mesh = builder.line_mesh_builder( branch );
            for( const auto& point : { p3( 0, 5, 0 ), p3( 1, 5, 0 ), p3( 2, 5, 0 ), p3( 1, 6, 0 ) } )
            {
                mesh->create_point( point );
            }
            mesh->create_edge( 0, 1 );
            mesh->create_edge( 1, 2 );
            mesh->create_edge( 1, 3 );
        }
        try
        {
            (void) line_part( model.line( branch ), 0, 1 );
            ADD_FAILURE() << "no failure at a branching vertex";
        }
        catch( const OpenOrvaneException& error )
        {
            EXPECT_EQ( std::string{ error.what() },
                "[Repair::line_part] At least 2 edges around vertex (3)" );
        }
    }

    /// A scene whose input surface is two separate triangles facing +z
    /// (left) and, when `right_up` is false, -z (right); the output surface
    /// is one triangle above them, facing +z or -z, whose edge 0 runs from
    /// above the left triangle to above the right one.
    RepairScene inverted_scene( bool right_up, bool output_up )
    {
        SceneMeshes input{ { p3( -1, 0, 0 ), p3( -0.2, 0, 0 ), p3( -0.6, 1, 0 ), p3( 0.2, 0, 0 ),
                               p3( 1, 0, 0 ), p3( 0.6, 1, 0 ) },
            { { { 0, 1, 2 }, right_up ? std::array< index_t, 3 >{ 3, 4, 5 }
                                      : std::array< index_t, 3 >{ 3, 5, 4 } } },
            {} };
        SceneMeshes output{ { p3( -0.6, 0.3, 0.1 ), p3( 0.6, 0.3, 0.1 ), p3( 0, 1, 0.1 ) },
            { { output_up ? std::array< index_t, 3 >{ 0, 1, 2 }
                          : std::array< index_t, 3 >{ 1, 0, 2 } } },
            {} };
        return RepairScene{ input, output, {} };
    }

    TEST( RepairGeometry, inverted_triangle_compares_with_the_input_normals_near_the_edge )
    {
        struct Case
        {
            const char* name;
            bool right_up;
            bool output_up;
            bool inverted;
        };
        for( const auto& c : { Case{ "same side", true, true, false },
                 Case{ "facing against the input", true, false, true },
                 Case{ "input normals cancel", false, false, false } } )
        {
            auto scene = inverted_scene( c.right_up, c.output_up );
            internal::RepairBRepSurfaces repair{ *scene.data };
            const auto& surface = scene.output_surface( 0 );
            // The edge joining the vertices above the two input triangles.
            const auto& mesh = surface.mesh();
            std::optional< PolygonEdge > edge;
            for( const local_index_t e : { 0, 1, 2 } )
            {
                const auto vertices = mesh.polygon_edge_vertices( { 0, e } );
                if( mesh.point( vertices[0] ).value( 1 ) == 0.3
                    && mesh.point( vertices[1] ).value( 1 ) == 0.3 )
                {
                    edge = PolygonEdge{ 0, e };
                }
            }
            ASSERT_TRUE( edge ) << c.name;
            const auto inverted = repair.inverted_triangle( surface, *edge );
            EXPECT_EQ( inverted.has_value(), c.inverted ) << c.name;
            if( c.inverted )
            {
                EXPECT_EQ( *inverted, 0u ) << c.name;
            }
        }
    }

    TEST( RepairGeometry, closest_input_point_projects_the_edge_barycentre )
    {
        RepairScene scene{ RepairScene::tent_input(), RepairScene::tent_output(), {} };
        internal::RepairBRepSurfaces repair{ *scene.data };
        const auto& square = scene.output_surface( 0 );
        const auto& mesh = square.mesh();
        // The diagonal of the square, from (-1,-1) to (1,1), is the edge
        // that the two triangles share.
        std::optional< PolygonEdge > diagonal;
        for( const local_index_t e : { 0, 1, 2 } )
        {
            if( mesh.polygon_adjacent( { 0, e } ) )
            {
                diagonal = PolygonEdge{ 0, e };
            }
        }
        ASSERT_TRUE( diagonal );
        const auto side = repair.make_side( square, { *diagonal } );
        const auto [point, triangle] = repair.closest_input_point( side, *diagonal );
        // Both tent faces are at 1/sqrt(2) from (0,0,-0.5); the feet of the
        // perpendiculars are (-0.5,0,0) and (0.5,0,0).
        EXPECT_NEAR( std::abs( point.value( 0 ) ), 0.5, 1e-12 );
        EXPECT_NEAR( point.value( 1 ), 0., 1e-12 );
        EXPECT_NEAR( point.value( 2 ), 0., 1e-12 );
        EXPECT_LT( triangle, 4u );
        EXPECT_TRUE( repair.is_split_acceptable( square, *diagonal, point ) );
    }

    TEST( RepairGeometry, line_split_point_follows_the_input_line_of_a_border_edge )
    {
        // Output surface: a unit square with a vertex in the middle of its
        // bottom edge; its bottom border lies on a line. The input surface
        // is the same square; the input line runs along the bottom, or far
        // away from it.
        const SceneMeshes output{ { p3( 0, 0, 0 ), p3( 0.5, 0, 0 ), p3( 1, 0, 0 ), p3( 1, 1, 0 ),
                                      p3( 0, 1, 0 ) },
            { { { 0, 1, 4 }, { 1, 3, 4 }, { 1, 2, 3 } } }, { { 0, 1, 2 } } };
        struct Case
        {
            const char* name;
            std::vector< Point< 3 > > line_points;
            std::optional< double > crossing_x;
        };
        for( const auto& c : { Case{ "along the border", { p3( 0, 0, 0 ), p3( 1, 0, 0 ) }, 0.25 },
                 Case{ "far from the border", { p3( 2, 0, 0 ), p3( 3, 0, 0 ) }, std::nullopt } } )
        {
            SCOPED_TRACE( c.name );
            const SceneMeshes input{ { p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 1, 1, 0 ), p3( 0, 1, 0 ),
                                         c.line_points[0], c.line_points[1] },
                { { { 0, 1, 2 }, { 0, 2, 3 } } }, { { 4, 5 } } };
            RepairScene scene{ input, output, { { { 0 } }, {} } };
            internal::RepairBRepSurfaces repair{ *scene.data };
            const auto& surface = scene.output_surface( 0 );
            const auto side = repair.make_side( surface, {} );
            // Edge (0, 0) runs from (0,0,0) to (0.5,0,0) with apex (0,1,0).
            const auto point = repair.line_split_point( side, { 0, 0 } );
            ASSERT_EQ( point.has_value(), c.crossing_x.has_value() );
            if( point )
            {
                EXPECT_NEAR( point->value( 0 ), *c.crossing_x, 1e-12 );
                EXPECT_EQ( point->value( 1 ), 0. );
            }
            // Splitting the border edge succeeds only where the line
            // crosses; otherwise nothing changes.
            const auto nb_uniques = scene.output_model.nb_unique_vertices();
            internal::DoRepairIntersection operation{ repair, surface, { 0, 0 }, surface, {} };
            EXPECT_EQ( operation.split_first_side_edge( { 0, 0 } ), point.has_value() );
            EXPECT_EQ( scene.output_model.nb_unique_vertices(),
                nb_uniques + ( point.has_value() ? 1 : 0 ) );
            // Edge (1, 1) from (1,1,0) to (0,1,0) is on no line.
            try
            {
                (void) repair.line_split_point( side, { 1, 1 } );
                ADD_FAILURE() << "no failure for a border edge on no line";
            }
            catch( const OpenOrvaneException& error )
            {
                EXPECT_EQ( std::string{ error.what() },
                    "[RepairIntersetion] More than one Line found on border, not implemented yet" );
            }
        }
    }
} // namespace
