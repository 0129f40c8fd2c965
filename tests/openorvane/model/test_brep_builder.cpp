#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/model_library.hpp>
#include <tests/openorvane/model/component_ids.hpp>
#include <tests/support/brep_checks.hpp>
#include <tests/support/brep_fixtures.hpp>

namespace orvane
{
    namespace
    {
        const ComponentType LINE{ "Line" };
        const ComponentType SURFACE{ "Surface" };

        using test::ids;
        using test::open_surfaces;
    } // namespace

    TEST( BRepBuilder, AddsComponentsWithGivenOrFreshUuids )
    {
        OpenOrvaneModelLibrary::initialize();
        BRep model;
        BRepBuilder builder{ model };
        const uuid chosen;
        EXPECT_EQ( builder.add_surface( chosen ), chosen );
        const auto fresh = builder.add_surface();
        EXPECT_NE( fresh, chosen );
        // A uuid is unique across all component kinds.
        EXPECT_THROW( builder.add_surface( chosen ), OpenOrvaneException );
        EXPECT_THROW( builder.add_line( chosen ), OpenOrvaneException );
        EXPECT_EQ( model.nb_surfaces(), 2u );
        EXPECT_EQ( model.nb_lines(), 0u );

        // Default implementations of each mesh type, and a chosen one.
        EXPECT_EQ( model.surface( chosen ).mesh().impl_name(),
            OpenOrvaneTriangulatedSurface< 3 >::impl_name_static() );
        const auto line = builder.add_line( OpenOrvaneEdgedCurve< 3 >::impl_name_static() );
        EXPECT_EQ( model.line( line ).mesh().impl_name(),
            OpenOrvaneEdgedCurve< 3 >::impl_name_static() );
        const auto block = builder.add_block();
        EXPECT_NO_THROW( dynamic_cast< const TetrahedralSolid< 3 >& >( model.block( block ).mesh() ) );
        try
        {
            builder.add_surface( MeshImpl{ "NoSuchSurface" } );
            ADD_FAILURE() << "an unknown implementation was accepted";
        }
        catch( const OpenOrvaneException& error )
        {
            EXPECT_EQ( std::string{ error.what() },
                "[Factory::create] Factory does not contain the requested key" );
        }
        EXPECT_EQ( model.nb_surfaces(), 2u );
        EXPECT_TRUE( test::is_valid_brep( model ) );
    }

    TEST( BRepBuilder, NamesAndMeshBuilders )
    {
        auto fixture = test::two_surfaces_sharing_a_line();
        auto& model = fixture.model;
        BRepBuilder builder{ model };
        builder.set_surface_name( fixture.surface0, "horizon" );
        builder.set_line_name( fixture.line, "fault trace" );
        builder.set_corner_name( fixture.corner0, "origin" );
        EXPECT_EQ( model.surface( fixture.surface0 ).name(), "horizon" );
        EXPECT_EQ( model.line( fixture.line ).name(), "fault trace" );
        EXPECT_EQ( model.corner( fixture.corner0 ).name(), "origin" );
        EXPECT_TRUE( model.surface( fixture.surface1 ).name().empty() );

        // Each builder edits its own component's mesh, and only that one.
        builder.corner_mesh_builder( fixture.corner1 )->set_point( 0, Point< 3 >{ { 1, 0, 0 } } );
        const auto vertex = builder.line_mesh_builder( fixture.line )->create_point(
            Point< 3 >{ { 2, 0, 0 } } );
        EXPECT_EQ( vertex, 3u );
        EXPECT_EQ( model.line( fixture.line ).mesh().nb_vertices(), 4u );
        EXPECT_EQ( builder.surface_mesh_builder( fixture.surface1 )->delete_isolated_vertices(),
            ( OldToNew{ 0, 1, 2, 3 } ) );
        EXPECT_EQ( model.surface( fixture.surface0 ).mesh().nb_vertices(), 4u );
        EXPECT_THROW( builder.surface_mesh_builder( fixture.line ), std::out_of_range );
        EXPECT_THROW( builder.block_mesh_builder( uuid{} ), std::out_of_range );
    }

    TEST( BRepBuilder, RemoveDropsRelationshipsAndLinks )
    {
        auto fixture = test::two_surfaces_sharing_a_line();
        auto& model = fixture.model;
        BRepBuilder builder{ model };
        builder.remove_line( model.line( fixture.line ) );
        EXPECT_EQ( model.nb_lines(), 0u );
        EXPECT_FALSE( model.has_line( fixture.line ) );
        EXPECT_FALSE( model.is_registered( fixture.line ) );
        EXPECT_EQ( model.nb_incidences( fixture.corner0 ), 0u );
        EXPECT_EQ( model.nb_boundaries( fixture.surface0 ), 0u );
        EXPECT_EQ( model.nb_boundaries( fixture.surface1 ), 0u );
        // (0.5, 0, 0) keeps the surface vertices only.
        EXPECT_FALSE( model.has_component_mesh_vertices( 2, LINE ) );
        EXPECT_EQ( model.component_mesh_vertices( 2 ).size(), 2u );
        EXPECT_TRUE( test::is_valid_brep( model, open_surfaces() ) );

        // Removing the second surface empties the unique vertex of its apex.
        builder.remove_surface( model.surface( fixture.surface1 ) );
        EXPECT_TRUE( model.component_mesh_vertices( 4 ).empty() );
        EXPECT_EQ( builder.delete_isolated_vertices(), ( OldToNew{ 0, 1, 2, 3, NO_ID } ) );
        EXPECT_TRUE( test::is_valid_brep( model, open_surfaces() ) );
        EXPECT_EQ( ids( model.surfaces() ), std::vector< uuid >{ fixture.surface0 } );
    }

    TEST( BRepBuilder, RemoveBlockKeepsItsSurfaces )
    {
        auto fixture = test::tetrahedron_model();
        auto& model = fixture.model;
        BRepBuilder builder{ model };
        builder.remove_block( model.block( fixture.block ) );
        EXPECT_EQ( model.nb_blocks(), 0u );
        for( const auto& surface : model.surfaces() )
        {
            EXPECT_EQ( model.nb_incidences( surface.id() ), 0u );
        }
        EXPECT_TRUE( test::is_valid_brep( model ) );
        EXPECT_THROW( builder.remove_block( model.block( fixture.block ) ), std::out_of_range );
    }

    TEST( BRepBuilder, UpdateMeshDropsTheOldLinks )
    {
        auto fixture = test::two_surfaces_sharing_a_line();
        auto& model = fixture.model;
        BRepBuilder builder{ model };
        auto replacement = TriangulatedSurface< 3 >::create();
        {
            auto mesh_builder = TriangulatedSurfaceBuilder< 3 >::create( *replacement );
            mesh_builder->create_point( Point< 3 >{ { 0, 0, 0 } } );
            mesh_builder->create_point( Point< 3 >{ { 1, 0, 0 } } );
            mesh_builder->create_point( Point< 3 >{ { 0.5, 0, 2 } } );
            mesh_builder->create_triangle( { 0, 1, 2 } );
        }
        const auto* raw = replacement.get();
        builder.update_surface_mesh( model.surface( fixture.surface1 ), std::move( replacement ) );
        EXPECT_EQ( &model.surface( fixture.surface1 ).mesh(), raw );
        EXPECT_EQ( model.unique_vertex( { { SURFACE, fixture.surface1 }, 0 } ), NO_ID );
        EXPECT_TRUE( model.component_mesh_vertices( 4 ).empty() );
        EXPECT_EQ( model.component_mesh_vertices( 2 ).size(), 2u );
        // Relationships are kept.
        EXPECT_EQ( model.nb_boundaries( fixture.surface1 ), 1u );
        EXPECT_THROW(
            builder.update_surface_mesh( model.surface( fixture.surface1 ), nullptr ),
            OpenOrvaneException );
        EXPECT_EQ( &model.surface( fixture.surface1 ).mesh(), raw );

        builder.set_unique_vertex( { { SURFACE, fixture.surface1 }, 0 }, 0 );
        builder.set_unique_vertex( { { SURFACE, fixture.surface1 }, 1 }, 1 );
        const auto apex = builder.create_unique_vertex();
        builder.set_unique_vertex( { { SURFACE, fixture.surface1 }, 2 }, apex );
        EXPECT_EQ( builder.delete_isolated_vertices(), ( OldToNew{ 0, 1, 2, 3, NO_ID, 4 } ) );
        EXPECT_EQ( model.unique_vertex( { { SURFACE, fixture.surface1 }, 2 } ), 4u );
        EXPECT_TRUE( test::is_valid_brep( model, open_surfaces() ) );
    }

    TEST( BRepBuilder, RelationshipsNeedComponentsOfTheModel )
    {
        auto fixture = test::two_surfaces_sharing_a_line();
        auto other = test::two_surfaces_sharing_a_line();
        BRepBuilder builder{ fixture.model };
        EXPECT_THROW( builder.add_line_surface_boundary_relationship(
                          other.model.line( other.line ),
                          fixture.model.surface( fixture.surface0 ) ),
            std::out_of_range );
        EXPECT_EQ( fixture.model.nb_boundaries( fixture.surface0 ), 1u );
        // Adding an existing relationship again changes nothing.
        builder.add_line_surface_boundary_relationship(
            fixture.model.line( fixture.line ), fixture.model.surface( fixture.surface0 ) );
        EXPECT_EQ( fixture.model.nb_boundaries( fixture.surface0 ), 1u );
        EXPECT_EQ( fixture.model.nb_incidences( fixture.line ), 2u );
    }

    TEST( BRepBuilder, CopyComponentsAndRelationships )
    {
        auto fixture = test::tetrahedron_model();
        const auto& input = fixture.model;
        {
            BRepBuilder input_builder{ fixture.model };
            input_builder.set_surface_name( fixture.surfaces[1], "facet one" );
        }
        BRep copy;
        BRepBuilder builder{ copy };
        const auto mapping = builder.copy_components( input );
        builder.copy_relationships( mapping, input );

        ASSERT_EQ( mapping.size(), 4u );
        const auto& surfaces = mapping.at( SURFACE );
        EXPECT_EQ( surfaces.size(), 4u );
        EXPECT_EQ( mapping.at( ComponentType{ "Corner" } ).size(), 4u );
        EXPECT_EQ( mapping.at( LINE ).size(), 6u );
        EXPECT_EQ( mapping.at( ComponentType{ "Block" } ).size(), 1u );
        EXPECT_EQ( copy.nb_surfaces(), 4u );
        // Same order, fresh uuids, names and implementations kept, meshes
        // empty.
        index_t position{ 0 };
        for( const auto& surface : copy.surfaces() )
        {
            const auto& original = fixture.surfaces[position++];
            EXPECT_EQ( surfaces.in2out( original ), surface.id() );
            EXPECT_NE( surface.id(), original );
            EXPECT_EQ( surface.name(), input.surface( original ).name() );
            EXPECT_EQ( surface.mesh().impl_name(), input.surface( original ).mesh().impl_name() );
            EXPECT_EQ( surface.mesh().nb_vertices(), 0u );
        }
        EXPECT_EQ( copy.surface( surfaces.in2out( fixture.surfaces[1] ) ).name(), "facet one" );
        EXPECT_EQ( copy.nb_unique_vertices(), 0u );

        // Every relationship is carried over, mapped, in the same order.
        const auto map_ids = [&mapping]( const ComponentType& type, const std::vector< uuid >& in ) {
            std::vector< uuid > out;
            for( const auto& id : in )
            {
                out.push_back( mapping.at( type ).in2out( id ) );
            }
            return out;
        };
        for( const auto& line : input.lines() )
        {
            const auto& image = copy.line( mapping.at( LINE ).in2out( line.id() ) );
            EXPECT_EQ( ids( copy.boundaries( image ) ),
                map_ids( ComponentType{ "Corner" }, ids( input.boundaries( line ) ) ) );
            EXPECT_EQ( ids( copy.incidences( image ) ),
                map_ids( SURFACE, ids( input.incidences( line ) ) ) );
        }
        const auto& block = copy.block( mapping.at( ComponentType{ "Block" } ).in2out( fixture.block ) );
        EXPECT_EQ( ids( copy.boundaries( block ) ),
            map_ids( SURFACE, ids( input.boundaries( input.block( fixture.block ) ) ) ) );
        test::BRepCheckOptions options;
        options.check_line_ends = false;
        EXPECT_TRUE( test::is_valid_brep( copy, options ) );

        // Relationships whose ends are not mapped are skipped.
        BRep partial;
        BRepBuilder partial_builder{ partial };
        auto partial_mapping = partial_builder.copy_components( input );
        ModelMapping< BijectiveMapping< uuid, uuid > > only_lines;
        only_lines.emplace( LINE, partial_mapping.at( LINE ) );
        partial_builder.copy_relationships( only_lines, input );
        for( const auto& line : partial.lines() )
        {
            EXPECT_EQ( partial.nb_boundaries( line.id() ), 0u );
            EXPECT_EQ( partial.nb_incidences( line.id() ), 0u );
        }
    }
} // namespace orvane
