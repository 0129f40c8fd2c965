#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>
#include <openorvane/model/model_component_mesh_polygons.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>
#include <common/modifier/brep_geometric_modifier_previews.hpp>
#include <common/modifier/common_modifier_model_library.hpp>

#include <tests/support/brep_checks.hpp>
#include <tests/support/brep_fixtures.hpp>
#include <tests/support/brep_modifier_checks.hpp>

namespace
{
    using namespace orvane;
    using test::is_conformal_brep;

    const std::string SURFACE_SPLIT_WARNING{
        "[BRepGeometricModifier::split_edge] Invalid split edge on brep non manifold "
        "surface edge with meshed Blocks. Operation will probably remove mesh conformity."
    };
    const std::string LINE_SPLIT_WARNING{
        "[BRepGeometricModifier::split_edge] Invalid split edge on brep non manifold line "
        "edge. Operation will probably remove mesh conformity."
    };
    const std::string SWAP_WARNING{
        "[BRepGeometricModifier::swap_edge] Invalid swap edge on brep non manifold surface "
        "edge with meshed Blocks. Operation probably will remove mesh conformity."
    };

    Point< 3 > point( double x, double y, double z )
    {
        return Point< 3 >{ { x, y, z } };
    }

    PolygonEdge surface_edge( const BRep& model, const uuid& surface, index_t from, index_t to )
    {
        const auto edge = model.surface( surface ).mesh().polygon_edge_from_vertices( from, to );
        EXPECT_TRUE( edge.has_value() );
        return edge.value_or( PolygonEdge{} );
    }

    /// The component types of the unique vertex's component vertices, sorted.
    std::vector< std::string > component_types( const BRep& model, index_t unique )
    {
        std::vector< std::string > types;
        for( const auto& vertex : model.component_mesh_vertices( unique ) )
        {
            types.push_back( vertex.component_id.type().get() );
        }
        std::sort( types.begin(), types.end() );
        return types;
    }

    /// Adds a surface through the edge (0, 1) of the tetrahedron model with
    /// that edge inside it: triangles (0, 1, 4) and (1, 0, 5) with 4 and 5
    /// outside the block.
    uuid add_fin_through_edge( test::TetrahedronModel& fixture )
    {
        BRepBuilder builder{ fixture.model };
        const auto first = builder.create_unique_vertices( 2 );
        return test::add_linked_surface( fixture.model,
            { point( 0, 0, 0 ), point( 1, 0, 0 ), point( 0.5, -1, 0.5 ),
                point( 0.5, -1, -0.5 ) },
            { { 0, 1, 2 }, { 1, 0, 3 } }, { 0, 1, first, first + 1 } );
    }

    class BRepModifierEdits : public ::testing::Test
    {
    protected:
        static void SetUpTestSuite()
        {
            CommonModifierModelLibrary::initialize();
        }
    };

    TEST_F( BRepModifierEdits, checker_reports_an_edit_made_in_one_component_only )
    {
        BRep model;
        const auto strips = test::add_two_strips( model, point( 0, 0, 0 ) );
        ASSERT_TRUE( is_conformal_brep( model ) );
        BRepBuilder builder{ model };
        BRepGeometricModifier modifier{ model, builder };
        const auto& line = model.line( strips.line );
        const auto vertex = modifier.line_modifier( line ).split_edge( 1, point( 1.5, 0, 0 ) );
        builder.set_unique_vertex( { line.component_id(), vertex }, builder.create_unique_vertex() );
        EXPECT_FALSE( is_conformal_brep( model ) );
    }

    TEST_F( BRepModifierEdits, shared_edge_split_in_every_component_under_one_unique_vertex )
    {
        // The same model edge (p1, p2) named through the line and through a
        // surface: both must reach the line and both surfaces.
        for( const bool through_line : { true, false } )
        {
            SCOPED_TRACE( through_line ? "through the line" : "through a surface" );
            BRep model;
            const auto strips = test::add_two_strips( model, point( 0, 0, 0 ) );
            BRepBuilder builder{ model };
            BRepGeometricModifier modifier{ model, builder };
            const LoggerCapture capture;
            const auto nb_unique = model.nb_unique_vertices();
            const auto target = point( 1.5, 0, 0 );
            const auto info =
                through_line
                    ? modifier.split_edge( model.line( strips.line ), 1, target )
                    : modifier.split_edge( model.surface( strips.surface0 ),
                        surface_edge( model, strips.surface0, 1, 2 ), target );
            EXPECT_EQ( info.new_unique_vertex, nb_unique );
            EXPECT_EQ( model.nb_unique_vertices(), nb_unique + 1 );
            ASSERT_EQ( info.lines.size(), 1 );
            ASSERT_EQ( info.lines.at( strips.line ).size(), 1 );
            ASSERT_EQ( info.surfaces.size(), 2 );
            EXPECT_EQ( info.surfaces.at( strips.surface0 ).size(), 1 );
            EXPECT_EQ( info.surfaces.at( strips.surface1 ).size(), 1 );
            EXPECT_TRUE( info.blocks.empty() );
            EXPECT_EQ( component_types( model, info.new_unique_vertex ),
                ( std::vector< std::string >{ "Line", "Surface", "Surface" } ) );
            for( const auto& vertex : model.component_mesh_vertices( info.new_unique_vertex ) )
            {
                EXPECT_TRUE( modifier.impl().component_vertex_point( vertex ).inexact_equal( target ) );
            }
            EXPECT_TRUE( is_conformal_brep( model ) );
            EXPECT_EQ( capture.count( Logger::Level::warn, LINE_SPLIT_WARNING ), 0 );
            EXPECT_EQ( capture.count( Logger::Level::warn, SURFACE_SPLIT_WARNING ), 0 );
        }
    }

    TEST_F( BRepModifierEdits, inner_edge_listed_through_both_polygons_split_once )
    {
        BRep model;
        const auto strips = test::add_two_strips( model, point( 0, 0, 0 ) );
        BRepBuilder builder{ model };
        BRepGeometricModifier modifier{ model, builder };
        // The diagonal (p1, q2) of surface0 lies inside it.
        const auto edge = surface_edge( model, strips.surface0, 1, 6 );
        ASSERT_EQ( component_mesh_edges( model, model.surface( strips.surface0 ), edge )
                       .surfaces.at( strips.surface0 )
                       .size(),
            2 );
        const auto info =
            modifier.split_edge( model.surface( strips.surface0 ), edge, point( 1.5, 0.5, 0 ) );
        EXPECT_TRUE( info.lines.empty() );
        ASSERT_EQ( info.surfaces.size(), 1 );
        EXPECT_EQ( info.surfaces.at( strips.surface0 ).size(), 1 );
        EXPECT_EQ( component_types( model, info.new_unique_vertex ),
            ( std::vector< std::string >{ "Surface" } ) );
        EXPECT_TRUE( is_conformal_brep( model ) );
    }

    TEST_F( BRepModifierEdits, block_edge_and_triangle_splits_reach_lines_surfaces_and_block )
    {
        auto fixture = test::tetrahedron_model();
        auto& model = fixture.model;
        BRepBuilder builder{ model };
        BRepGeometricModifier modifier{ model, builder };
        // Line 0 joins points 0 and 1: it bounds the facets opposite 2 and 3.
        const auto split =
            modifier.split_edge( model.line( fixture.lines[0] ), 0, point( 0.5, 0, 0 ) );
        EXPECT_EQ( split.lines.size(), 1 );
        EXPECT_EQ( split.surfaces.size(), 2 );
        EXPECT_TRUE( split.surfaces.contains( fixture.surfaces[2] ) );
        EXPECT_TRUE( split.surfaces.contains( fixture.surfaces[3] ) );
        ASSERT_EQ( split.blocks.size(), 1 );
        EXPECT_EQ( split.blocks.at( fixture.block ).size(), 1 );
        EXPECT_EQ( component_types( model, split.new_unique_vertex ),
            ( std::vector< std::string >{ "Block", "Line", "Surface", "Surface" } ) );
        EXPECT_TRUE( is_conformal_brep( model ) );

        // The facet opposite point 0 is untouched by the split: split it.
        const auto& surface = model.surface( fixture.surfaces[0] );
        const auto polygons = component_mesh_polygons( model, surface, 0 );
        ASSERT_EQ( polygons.blocks.size(), 1 );
        const auto triangle =
            modifier.split_triangle( polygons, point( 1. / 3, 1. / 3, 1. / 3 ) );
        EXPECT_EQ( triangle.surfaces.at( fixture.surfaces[0] ).size(), 1 );
        EXPECT_EQ( triangle.blocks.at( fixture.block ).size(), 1 );
        EXPECT_EQ( component_types( model, triangle.new_unique_vertex ),
            ( std::vector< std::string >{ "Block", "Surface" } ) );
        EXPECT_TRUE( is_conformal_brep( model ) );

        // The same record again: every listed element is now inactive.
        const auto nb_unique = model.nb_unique_vertices();
        const auto again = modifier.split_triangle( polygons, point( 0.3, 0.3, 0.4 ) );
        EXPECT_EQ( again.new_unique_vertex, nb_unique );
        EXPECT_TRUE( again.surfaces.empty() );
        EXPECT_TRUE( again.blocks.empty() );
        EXPECT_TRUE( model.component_mesh_vertices( again.new_unique_vertex ).empty() );
        EXPECT_TRUE( is_conformal_brep( model ) );
    }

    TEST_F( BRepModifierEdits, tetrahedron_split_only_when_active )
    {
        auto fixture = test::bipyramid_model();
        auto& model = fixture.model;
        BRepBuilder builder{ model };
        BRepGeometricModifier modifier{ model, builder };
        const auto& block = model.block( fixture.block );
        const auto info = modifier.split_tetrahedron( block, 0, point( 0.1, 0.1, 0.1 ) );
        ASSERT_NE( info.new_unique_vertex, NO_ID );
        EXPECT_EQ( info.blocks.at( fixture.block ).front().tetrahedra.size(), 4 );
        EXPECT_EQ( component_types( model, info.new_unique_vertex ),
            ( std::vector< std::string >{ "Block" } ) );
        EXPECT_TRUE( is_conformal_brep( model ) );

        const auto nb_unique = model.nb_unique_vertices();
        const auto inactive = modifier.split_tetrahedron( block, 0, point( 0.1, 0.1, 0.1 ) );
        EXPECT_EQ( inactive.new_unique_vertex, NO_ID );
        EXPECT_TRUE( inactive.blocks.empty() );
        EXPECT_EQ( model.nb_unique_vertices(), nb_unique );
    }

    TEST_F( BRepModifierEdits, collapse_relinks_both_ends_and_clean_deletes_them )
    {
        BRep model;
        const auto strips = test::add_two_strips( model, point( 0, 0, 0 ) );
        BRepBuilder builder{ model };
        BRepGeometricModifier modifier{ model, builder };
        const auto& line = model.line( strips.line );
        const auto edges = component_mesh_edges( model, line, 1 );
        const auto ends = edge_unique_vertices( model, line, 1 );
        const auto target = point( 1.5, 0, 0 );
        ASSERT_TRUE( is_collapse_edge_valid( model, edges, target ) );
        const auto before = model.nb_unique_vertices();

        const auto info = modifier.collapse_edge( edges, ends, target );
        EXPECT_EQ( info.old_unique_vertices.size(), 2 );
        EXPECT_EQ( info.old_unique_vertices[0], ends[0] );
        EXPECT_EQ( info.old_unique_vertices[1], ends[1] );
        EXPECT_EQ( info.old_component_vertices[0].size(), 3 );
        EXPECT_EQ( info.old_component_vertices[1].size(), 3 );
        EXPECT_EQ( info.lines.at( strips.line ).size(), 1 );
        EXPECT_EQ( info.surfaces.at( strips.surface0 ).size(), 1 );
        EXPECT_EQ( info.surfaces.at( strips.surface1 ).size(), 1 );
        EXPECT_EQ( modifier.updated_vertex( ends[0] ), info.new_unique_vertex );
        EXPECT_EQ( modifier.updated_vertex( ends[1] ), info.new_unique_vertex );
        EXPECT_TRUE( model.component_mesh_vertices( ends[0] ).empty() );
        EXPECT_TRUE( model.component_mesh_vertices( ends[1] ).empty() );
        EXPECT_EQ( component_types( model, info.new_unique_vertex ),
            ( std::vector< std::string >{ "Line", "Surface", "Surface" } ) );
        EXPECT_TRUE( is_conformal_brep( model ) );

        const auto clean = modifier.clean();
        ASSERT_EQ( clean.unique_vertices.size(), before + 1 );
        EXPECT_EQ( clean.unique_vertices[ends[0]], NO_ID );
        EXPECT_EQ( clean.unique_vertices[ends[1]], NO_ID );
        EXPECT_EQ( model.nb_unique_vertices(), before - 1 );
        // The map spoke of the old numbering: clean forgets it.
        EXPECT_EQ( modifier.updated_vertex( ends[0] ), ends[0] );
        EXPECT_EQ( line.mesh().nb_edges(), 2 );
        EXPECT_EQ( line.mesh().nb_vertices(), 3 );
        EXPECT_EQ( model.surface( strips.surface0 ).mesh().nb_polygons(), 5 );
        EXPECT_TRUE( is_conformal_brep( model ) );
        EXPECT_TRUE( test::is_valid_brep( model, test::open_surfaces() ) );
    }

    TEST_F( BRepModifierEdits, collapse_at_a_corner_moves_the_corner )
    {
        BRep model;
        const auto strips = test::add_two_strips( model, point( 0, 0, 0 ) );
        BRepBuilder builder{ model };
        BRepGeometricModifier modifier{ model, builder };
        const auto& line = model.line( strips.line );
        const auto edges = component_mesh_edges( model, line, 0 );
        const auto ends = edge_unique_vertices( model, line, 0 );
        const auto target = point( 0.5, 0, 0 );
        // Only one end lies on the corner: the preview refuses it.
        EXPECT_FALSE( is_collapse_edge_valid( model, edges, target ) );
        const auto info = modifier.collapse_edge( edges, ends, target );
        const auto& corner = model.corner( strips.corner0 );
        EXPECT_EQ( model.unique_vertex( { corner.component_id(), 0 } ), info.new_unique_vertex );
        EXPECT_TRUE( corner.mesh().point( 0 ).inexact_equal( target ) );
        EXPECT_TRUE( is_conformal_brep( model ) );
    }

    TEST_F( BRepModifierEdits, collapse_finding_no_active_element_changes_nothing )
    {
        BRep model;
        const auto strips = test::add_two_strips( model, point( 0, 0, 0 ) );
        BRepBuilder builder{ model };
        BRepGeometricModifier modifier{ model, builder };
        const auto& line = model.line( strips.line );
        const auto edges = component_mesh_edges( model, line, 1 );
        const auto ends = edge_unique_vertices( model, line, 1 );
        // Splitting the edge makes every element of the record inactive.
        modifier.split_edge( line, 1, point( 1.5, 0, 0 ) );
        const auto before0 = model.component_mesh_vertices( ends[0] );
        const auto before1 = model.component_mesh_vertices( ends[1] );

        const auto info = modifier.collapse_edge( edges, ends, point( 1.2, 0, 0 ) );
        EXPECT_TRUE( info.lines.empty() );
        EXPECT_TRUE( info.surfaces.empty() );
        EXPECT_TRUE( model.component_mesh_vertices( info.new_unique_vertex ).empty() );
        EXPECT_EQ( model.component_mesh_vertices( ends[0] ), before0 );
        EXPECT_EQ( model.component_mesh_vertices( ends[1] ), before1 );
        EXPECT_EQ( modifier.updated_vertex( ends[0] ), ends[0] );
        EXPECT_EQ( modifier.updated_vertex( ends[1] ), ends[1] );
        EXPECT_TRUE( line.mesh().point( 1 ).inexact_equal( point( 1, 0, 0 ) ) );
        EXPECT_TRUE( line.mesh().point( 2 ).inexact_equal( point( 2, 0, 0 ) ) );
        EXPECT_TRUE( is_conformal_brep( model ) );

        const auto clean = modifier.clean();
        EXPECT_EQ( clean.unique_vertices[info.new_unique_vertex], NO_ID );
    }

    TEST_F( BRepModifierEdits, move_unique_vertex_moves_every_component_vertex )
    {
        BRep model;
        const auto strips = test::add_two_strips( model, point( 0, 0, 0 ) );
        BRepBuilder builder{ model };
        BRepGeometricModifier modifier{ model, builder };
        const auto unique = strips.first_unique; // p0: corner, line, two surfaces
        ASSERT_EQ( model.component_mesh_vertices( unique ).size(), 4 );
        const auto target = point( -0.2, 0.1, 0.1 );
        modifier.move_unique_vertex( unique, target );
        for( const auto& vertex : model.component_mesh_vertices( unique ) )
        {
            EXPECT_TRUE( modifier.impl().component_vertex_point( vertex ).inexact_equal( target ) )
                << vertex.string();
        }
        EXPECT_TRUE( is_conformal_brep( model ) );
        EXPECT_EQ( &modifier.line_modifier( model.line( strips.line ) ),
            &modifier.line_modifier( model.line( strips.line ) ) );
    }

    TEST_F( BRepModifierEdits, block_vertices_move_only_through_the_block_aware_modifier )
    {
        auto fixture = test::tetrahedron_model();
        auto& model = fixture.model;
        BRepBuilder builder{ model };
        const auto target = point( 0.1, 0.1, 0.8 );
        const ComponentMeshVertex block_vertex{ model.block( fixture.block ).component_id(), 3 };
        const ComponentMeshVertex corner_vertex{
            model.corner( fixture.corners[3] ).component_id(), 0
        };
        {
            internal::ModelGeometricModifier< BRep > lines_and_surfaces{ model, builder };
            lines_and_surfaces.move_component_vertex( block_vertex, target );
            lines_and_surfaces.move_component_vertex( corner_vertex, target );
        }
        EXPECT_TRUE( model.block( fixture.block ).mesh().point( 3 ).inexact_equal(
            point( 0, 0, 1 ) ) );
        EXPECT_TRUE( model.corner( fixture.corners[3] ).mesh().point( 0 ).inexact_equal( target ) );
        BRepGeometricModifier modifier{ model, builder };
        modifier.move_unique_vertex( 3, target );
        EXPECT_TRUE( modifier.impl().component_vertex_point( block_vertex ).inexact_equal( target ) );
        EXPECT_TRUE( is_conformal_brep( model ) );
    }

    TEST_F( BRepModifierEdits, surface_and_block_edge_swaps )
    {
        {
            BRep model;
            const auto strips = test::add_two_strips( model, point( 0, 0, 0 ) );
            BRepBuilder builder{ model };
            BRepGeometricModifier modifier{ model, builder };
            // The diagonal (p1, q2) of the second quad of surface0.
            const auto edge = surface_edge( model, strips.surface0, 1, 6 );
            const auto& surface = model.surface( strips.surface0 );
            ASSERT_TRUE( is_swap_edge_valid( model, surface, edge ) );
            const auto info = modifier.swap_edge( surface, edge );
            ASSERT_EQ( info.surfaces.at( strips.surface0 ).size(), 1 );
            EXPECT_TRUE( info.blocks.empty() );
            EXPECT_TRUE( surface.mesh().polygon_edge_from_vertices( 2, 5 ).has_value()
                         || surface.mesh().polygon_edge_from_vertices( 5, 2 ).has_value() );
            EXPECT_TRUE( is_conformal_brep( model ) );
        }
        {
            auto fixture = test::bipyramid_model();
            auto& model = fixture.model;
            BRepBuilder builder{ model };
            BRepGeometricModifier modifier{ model, builder };
            const auto& block = model.block( fixture.block );
            const auto edge = block.mesh().polyhedron_facet_edge_from_vertices( { 0, 1 } );
            ASSERT_TRUE( edge.has_value() );
            const auto record = component_mesh_edges( model, block, *edge );
            EXPECT_TRUE( record.surfaces.empty() );
            ASSERT_TRUE( is_swap_model_edge_valid( model, record, 2 ) );
            const auto info = modifier.swap_edge( block, *edge, 2 );
            ASSERT_EQ( info.blocks.at( fixture.block ).size(), 1 );
            EXPECT_EQ( info.blocks.at( fixture.block ).front().new_tetrahedra.size(), 2 );
            EXPECT_TRUE( is_conformal_brep( model ) );
        }
    }

    TEST_F( BRepModifierEdits, swap_refused_when_a_block_lacks_the_apex )
    {
        auto fixture = test::tetrahedron_model();
        auto& model = fixture.model;
        const auto fin = add_fin_through_edge( fixture );
        BRepBuilder builder{ model };
        BRepGeometricModifier modifier{ model, builder };
        const auto& surface = model.surface( fin );
        const auto edge = surface_edge( model, fin, 0, 1 );
        EXPECT_FALSE( is_swap_edge_valid( model, surface, edge ) );
        const LoggerCapture capture;
        EXPECT_THROW( modifier.swap_edge( surface, edge ), OpenOrvaneException );
        EXPECT_EQ( capture.count( Logger::Level::warn, SWAP_WARNING ), 1 );
        auto& surface_modifier = modifier.surface_modifier( surface );
        EXPECT_TRUE( surface_modifier.is_polygon_active( 0 ) );
        EXPECT_TRUE( surface_modifier.is_polygon_active( 1 ) );
        EXPECT_TRUE( modifier.block_modifier( model.block( fixture.block ) ).is_polyhedron_active( 0 ) );
    }

    TEST_F( BRepModifierEdits, non_manifold_splits_warn_and_split_the_given_component_only )
    {
        {
            auto fixture = test::tetrahedron_model();
            auto& model = fixture.model;
            const auto fin = add_fin_through_edge( fixture );
            BRepBuilder builder{ model };
            BRepGeometricModifier modifier{ model, builder };
            const LoggerCapture capture;
            const auto info = modifier.split_edge(
                model.surface( fin ), surface_edge( model, fin, 0, 1 ), point( 0.5, 0, 0 ) );
            EXPECT_EQ( capture.count( Logger::Level::warn, SURFACE_SPLIT_WARNING ), 1 );
            ASSERT_EQ( info.surfaces.size(), 1 );
            EXPECT_TRUE( info.surfaces.contains( fin ) );
            EXPECT_EQ( info.lines.size(), 1 );
            EXPECT_EQ( info.blocks.size(), 1 );
        }
        {
            BRep model;
            const auto strips = test::add_two_strips( model, point( 0, 0, 0 ) );
            BRepBuilder builder{ model };
            // A second line over the edge (p1, p2).
            const auto twin = builder.add_line();
            {
                auto mesh = builder.line_mesh_builder( twin );
                mesh->create_point( point( 1, 0, 0 ) );
                mesh->create_point( point( 2, 0, 0 ) );
                mesh->create_edge( 0, 1 );
                const ComponentID id{ Line< 3 >::component_type_static(), twin };
                builder.set_unique_vertex( { id, 0 }, strips.first_unique + 1 );
                builder.set_unique_vertex( { id, 1 }, strips.first_unique + 2 );
            }
            BRepGeometricModifier modifier{ model, builder };
            const LoggerCapture capture;
            const auto info =
                modifier.split_edge( model.line( strips.line ), 1, point( 1.5, 0, 0 ) );
            EXPECT_EQ( capture.count( Logger::Level::warn, LINE_SPLIT_WARNING ), 1 );
            ASSERT_EQ( info.lines.size(), 1 );
            EXPECT_TRUE( info.lines.contains( strips.line ) );
            EXPECT_EQ( info.surfaces.size(), 2 );
            EXPECT_EQ( model.line( twin ).mesh().nb_edges(), 1 );
        }
    }
} // namespace
