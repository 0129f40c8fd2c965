#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <simplex/block/tetgen_mesher.hpp>
#include <simplex/simplex_brep_library.hpp>

#include <tests/simplex/block/block_scenes.hpp>
#include <tests/simplex/remeshing_fixtures.hpp>
#include <tests/support/brep_fixtures.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;

    /// Meshes the model's first block with the extra points and registers
    /// its vertices; returns what the mesher returned.
    internal::RemeshedComponent mesh_first_block(
        BRep& model, const std::vector< Point< 3 > >& points )
    {
        SimplexBRepLibrary::initialize();
        BRepBuilder builder{ model };
        const auto& block = *model.blocks().begin();
        builder.update_block_mesh( block, TetrahedralSolid< 3 >::create() );
        internal::TetgenMesher mesher{ model, builder, block, points };
        auto result = mesher.assign_result();
        internal::register_unique_vertices( builder, result );
        return result;
    }

    index_t nb_boundary_unique_vertices( const BRep& model, const Block< 3 >& block )
    {
        std::vector< bool > seen( model.nb_unique_vertices(), false );
        index_t count = 0;
        for( const auto& surface : model.boundaries( block ) )
        {
            for( index_t v = 0; v < surface.mesh().nb_vertices(); v++ )
            {
                const auto unique = model.unique_vertex( { surface.component_id(), v } );
                if( !seen[unique] )
                {
                    seen[unique] = true;
                    count++;
                }
            }
        }
        return count;
    }

    TEST( TetgenMesher, a_cube_without_extra_points_is_refined_and_keeps_its_boundary )
    {
        auto model = cube_model( 4 );
        ASSERT_EQ( model.nb_blocks(), 1 );
        const auto nb_unique_vertices = model.nb_unique_vertices();
        const auto result = mesh_first_block( model, {} );
        const auto& block = *model.blocks().begin();
        expect_valid_block_mesh( model, block );
        const auto& solid = block_solid( model, block );
        ASSERT_EQ( result.unique_vertices.size(), solid.nb_vertices() );
        index_t nb_on_boundary = 0;
        for( const auto unique : result.unique_vertices )
        {
            if( unique != NO_ID )
            {
                EXPECT_LT( unique, nb_unique_vertices );
                nb_on_boundary++;
            }
        }
        EXPECT_EQ( nb_on_boundary, nb_boundary_unique_vertices( model, block ) );
        // The radius-edge bound of 1 cannot hold with the 98 boundary
        // points alone: refinement added points inside.
        EXPECT_GT( solid.nb_vertices(), nb_on_boundary );
    }

    TEST( TetgenMesher, extra_points_are_inserted_without_refinement )
    {
        auto model = cube_model( 4 );
        const auto result = mesh_first_block( model, { p3( 0.5, 0.5, 0.5 ) } );
        const auto& block = *model.blocks().begin();
        expect_valid_block_mesh( model, block );
        const auto& solid = block_solid( model, block );
        const auto nb_boundary = nb_boundary_unique_vertices( model, block );
        ASSERT_EQ( solid.nb_vertices(), nb_boundary + 1 );
        index_t nb_new = 0;
        for( index_t v = 0; v < solid.nb_vertices(); v++ )
        {
            if( result.unique_vertices[v] == NO_ID )
            {
                nb_new++;
                EXPECT_EQ( solid.point( v ), p3( 0.5, 0.5, 0.5 ) );
            }
        }
        EXPECT_EQ( nb_new, 1 );
    }

    /// A model of one block bounded by one surface of the given triangles,
    /// each point its own unique vertex.
    BRep block_of_triangles( const std::vector< Point< 3 > >& points,
        const std::vector< std::array< index_t, 3 > >& triangles )
    {
        SimplexBRepLibrary::initialize();
        BRep model;
        BRepBuilder builder{ model };
        const auto first = builder.create_unique_vertices( static_cast< index_t >( points.size() ) );
        std::vector< index_t > uniques;
        for( index_t v = 0; v < points.size(); v++ )
        {
            uniques.push_back( first + v );
        }
        const auto surface = add_linked_surface( model, points, triangles, uniques );
        const auto block = builder.add_block();
        builder.add_surface_block_boundary_relationship(
            model.surface( surface ), model.block( block ) );
        return model;
    }

    TEST( TetgenMesher, inputs_without_volume_are_refused_with_a_message )
    {
        const std::vector< Point< 3 > > corner{ p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 0, 1, 0 ),
            p3( 0, 0, 1 ) };
        auto with_midpoint = corner;
        with_midpoint.push_back( p3( 0.5, 0, 0 ) );
        const std::string input_error = "[TetgenMesher] An input error was detected";
        struct Case
        {
            const char* name;
            std::vector< Point< 3 > > points;
            std::vector< std::array< index_t, 3 > > triangles;
            std::string message;
        };
        for( const auto& [name, points, triangles, message] :
            { Case{ "open tent", corner, { { 0, 2, 1 }, { 0, 1, 3 }, { 0, 3, 2 } },
                  "[TetgenMesher::assign_result] Generated mesh is empty" },
                Case{ "flat square", { p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 1, 1, 0 ), p3( 0, 1, 0 ) },
                    { { 0, 1, 2 }, { 0, 2, 3 } }, input_error },
                Case{ "three points", { p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 0, 1, 0 ) },
                    { { 0, 1, 2 } }, input_error },
                Case{ "collinear facet", with_midpoint,
                    { { 0, 2, 1 }, { 0, 1, 3 }, { 0, 3, 2 }, { 1, 2, 3 }, { 0, 4, 1 } },
                    input_error } } )
        {
            auto model = block_of_triangles( points, triangles );
            try
            {
                (void) mesh_first_block( model, {} );
                ADD_FAILURE() << name << ": no failure";
            }
            catch( const OpenOrvaneException& error )
            {
                EXPECT_EQ( std::string{ error.what() }, message ) << name;
            }
            EXPECT_EQ( model.blocks().begin()->mesh().nb_vertices(), 0 ) << name;
        }
    }

    TEST( TetgenMesher, failure_codes_have_their_messages )
    {
        const std::vector< std::pair< int, std::string > > cases{
            { 1, "[TetgenMesher] Out of memory" },
            { 2, "[TetgenMesher] Internal Error" },
            { 3, "[TetgenMesher] A self-intersection was detected" },
            { 4, "[TetgenMesher] A very small input feature size was detected" },
            { 5, "[TetgenMesher] Two very close input polygons were detected" },
            { 10, "[TetgenMesher] An input error was detected" },
            { 200, "[TetgenMesher] Boundary contains Steiner points" },
            { 7, "[TetgenMesher] Tetrahedralize failed (7)" },
            { -3, "[TetgenMesher] Tetrahedralize failed (-3)" } };
        for( const auto& [code, message] : cases )
        {
            EXPECT_EQ( detail::tetgen_error_message( code ), message ) << code;
        }
    }

    TEST( TetgenMesher, positive_markers_name_unique_vertices_only_at_their_points )
    {
        // Unique vertex 0 at the origin and 4 at (1, 0, 0); markers are
        // unique vertex + 1, extra points negative, inside points 0.
        const std::vector< Point< 3 > > model_points{ p3( 0, 0, 0 ), p3( 1, 0, 0 ) };
        const auto lookup = [&model_points]( index_t unique ) -> const Point< 3 >* {
            if( unique == 0 )
            {
                return &model_points[0];
            }
            if( unique == 4 )
            {
                return &model_points[1];
            }
            return nullptr;
        };
        const std::vector< double > coordinates{ 1, 0, 0, 0, 0, 0, 0.3, 0.3, 0.3, 0.5, 0.5, 0.5 };
        const auto unique_vertices =
            detail::unique_vertices_of_markers( { 5, 1, -1, 0 }, coordinates, lookup );
        EXPECT_EQ( unique_vertices, ( std::vector< index_t >{ 4, 0, NO_ID, NO_ID } ) );

        // A point added on a facet carries a mark of the facet, which looks
        // like a model marker: it must not be tied to that unique vertex.
        struct Case
        {
            const char* name;
            int marker;
        };
        for( const auto& [name, marker] :
            { Case{ "marker of another point", 5 }, Case{ "marker of no point", 3 } } )
        {
            try
            {
                (void) detail::unique_vertices_of_markers(
                    { 1, marker }, std::vector< double >{ 0, 0, 0, 0.5, 0, 0 }, lookup );
                ADD_FAILURE() << name << ": accepted";
            }
            catch( const OpenOrvaneException& error )
            {
                EXPECT_EQ( std::string{ error.what() },
                    "[TetgenMesher] Boundary contains Steiner points" )
                    << name;
            }
        }
    }
} // namespace

namespace
{
    TEST( TetgenMesher, internal_lines_and_corners_become_edges_and_vertices_of_the_block )
    {
        auto model = cube_model( 4 );
        BRepBuilder builder{ model };
        const auto& block = *model.blocks().begin();
        const auto first = builder.create_unique_vertices( 4 );
        const auto line = add_linked_line( model,
            { p3( 0.25, 0.5, 0.5 ), p3( 0.5, 0.5, 0.5 ), p3( 0.75, 0.5, 0.5 ) },
            { first, first + 1, first + 2 } );
        builder.add_line_block_internal_relationship( model.line( line ), block );
        const auto corner = add_linked_corner( model, p3( 0.5, 0.25, 0.5 ), first + 3 );
        builder.add_corner_block_internal_relationship( model.corner( corner ), block );
        const auto result = mesh_first_block( model, {} );
        expect_valid_block_mesh( model, block );
        const auto& solid = block_solid( model, block );
        // Each model point once among the block vertices, and each line
        // edge an edge of the block.
        for( index_t unique = first; unique < first + 4; unique++ )
        {
            EXPECT_EQ( std::count( result.unique_vertices.begin(), result.unique_vertices.end(),
                           unique ),
                1 )
                << unique;
        }
        const auto block_vertex = [&result]( index_t unique ) {
            return static_cast< index_t >(
                std::find( result.unique_vertices.begin(), result.unique_vertices.end(), unique )
                - result.unique_vertices.begin() );
        };
        for( const index_t e : { 0, 1 } )
        {
            EXPECT_TRUE( solid
                             .polyhedron_facet_edge_from_vertices(
                                 { block_vertex( first + e ), block_vertex( first + e + 1 ) } )
                             .has_value() )
                << e;
        }
    }
} // namespace
