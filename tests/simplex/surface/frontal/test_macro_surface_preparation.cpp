#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/distance.hpp>

#include <tests/simplex/surface/frontal/frontal_fixtures.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::internal;

    /// A 2 x 2 grid whose adjacencies are cut along the middle row 3-4-5, so
    /// that its centre 4 joins two fans. `lift` moves vertices 1 and 7 to
    /// within `lift` of the centre.
    test::EditableSurface< 3 > grid_cut_along_a_line( double lift = 0 )
    {
        auto surface = test::flat_grid< 3 >( 2, 2 );
        if( lift > 0 )
        {
            surface.builder->set_point( 1, Point< 3 >{ { 1., 1. - lift, 0. } } );
            surface.builder->set_point( 7, Point< 3 >{ { 1., 1. + lift, 0. } } );
        }
        for( const auto& pair : { std::pair< index_t, index_t >{ 3, 4 }, { 4, 5 } } )
        {
            for( const auto& edge :
                surface.mesh->polygons_from_edge_vertices( { pair.first, pair.second } ) )
            {
                surface.builder->unset_polygon_adjacent( edge );
            }
        }
        return surface;
    }

    /// The "vertex info" of every live corner at the point.
    std::vector< index_t > output_vertices_at( test::FrontalFixture< 3 >& fixture,
        const Point< 3 >& point )
    {
        auto& state = fixture.state();
        std::vector< index_t > found;
        const auto& mesh = *fixture.surface.mesh;
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            if( !state.modifier->is_polygon_active( p ) )
            {
                continue;
            }
            for( const auto v : mesh.polygon_vertices( p ) )
            {
                if( point_point_distance( mesh.point( v ), point ) < 1e-6 )
                {
                    found.push_back( state.vertex_info->value( v ) );
                }
            }
        }
        return found;
    }

    TEST( MacroSurfacePreparation, a_fixed_vertex_with_two_fans_gets_one_copy_sharing_its_output_vertex )
    {
        test::FrontalFixture< 3 > fixture{ grid_cut_along_a_line(), { 4, 0 } };
        const auto nb_vertices = fixture.surface.mesh->nb_vertices();
        const auto splits = fixture.state().cut_surface_by_lines();
        ASSERT_EQ( splits.size(), 1u );
        ASSERT_EQ( splits.at( 4 ).size(), 1u );
        EXPECT_EQ( splits.at( 4 ).front(), nb_vertices );
        // Both sides are single fans now.
        const auto& mesh = *fixture.surface.mesh;
        EXPECT_EQ( mesh.polygons_around_vertex( 4 ).size(), 3u );
        EXPECT_EQ( mesh.polygons_around_vertex( nb_vertices ).size(), 3u );
    }

    TEST( MacroSurfacePreparation, fixed_vertices_get_output_vertices_shared_by_their_copies )
    {
        // Vertex 2 joins one fan; 3, 4 and 5 join two (the line's vertices
        // are fixed, as line vertices always are); 1 is not fixed.
        test::FrontalFixture< 3 > fixture{ grid_cut_along_a_line(), { 4, 2, 3, 5 } };
        fixture.prepare();
        auto& state = fixture.state();
        EXPECT_EQ( fixture.surface.mesh->nb_vertices(), 12u );
        EXPECT_EQ( state.output().created_vertices,
            ( std::vector< std::pair< index_t, bool > >{
                { 4, true }, { 2, true }, { 3, true }, { 5, true } } ) );
        EXPECT_EQ( state.output().mesh->nb_vertices(), 4u );
        EXPECT_EQ( state.vertex_info->value( 2 ), 1u );
        EXPECT_EQ( state.vertex_info->value( 1 ), NO_ID );
        const std::vector< std::pair< Point< 3 >, index_t > > expected{
            { Point< 3 >{ { 1., 1., 0. } }, 0 },
            { Point< 3 >{ { 0., 1., 0. } }, 2 },
            { Point< 3 >{ { 2., 1., 0. } }, 3 } };
        for( const auto& [point, output] : expected )
        {
            const auto found = output_vertices_at( fixture, point );
            EXPECT_EQ( found.size(), point.value( 0 ) == 1. ? 6u : 3u );
            for( const auto value : found )
            {
                EXPECT_EQ( value, output ) << point.string();
            }
        }
    }

    TEST( MacroSurfacePreparation, a_fixed_vertex_on_a_tiny_edge_keeps_its_output_vertex )
    {
        auto surface = test::flat_grid< 3 >( 2, 2 );
        surface.builder->set_point( 5, Point< 3 >{ { 1. + 1e-7, 1., 0. } } );
        test::FrontalFixture< 3 > fixture{ std::move( surface ), { 4, 0 } };
        fixture.prepare();
        auto& state = fixture.state();
        // The collapse replaced vertex 4 by a new vertex.
        EXPECT_NE( state.updated_vertex( 4 ), 4u );
        EXPECT_EQ( state.fixed_output_vertex( 4 ), 0u );
        EXPECT_EQ( state.fixed_output_vertex( 0 ), 1u );
        // The pairs name the fixed vertices as the caller knows them.
        EXPECT_EQ( state.output().created_vertices,
            ( std::vector< std::pair< index_t, bool > >{ { 4, true }, { 0, true } } ) );
        EXPECT_THROW( (void) state.fixed_output_vertex( 8 ), OpenOrvaneException );
    }

    TEST( MacroSurfacePreparation, collapses_only_active_edges_up_to_the_tolerance )
    {
        for( const auto& [offset, collapsed] :
            { std::pair{ 1e-6, true }, std::pair{ 1.5e-6, false } } )
        {
            auto surface = test::flat_grid< 3 >( 2, 2 );
            surface.builder->set_point( 5, Point< 3 >{ { 1. + offset, 1., 0. } } );
            test::FrontalFixture< 3 > fixture{ std::move( surface ), { 4, 5 } };
            fixture.prepare();
            auto& state = fixture.state();
            EXPECT_EQ( state.updated_vertex( 4 ) == state.updated_vertex( 5 ), collapsed )
                << offset;
            // Two fixed vertices merged share one output vertex and one pair.
            EXPECT_EQ( state.output().created_vertices.size(), collapsed ? 1u : 2u );
        }
    }

    TEST( MacroSurfacePreparation, a_copy_merged_by_a_collapse_keeps_the_output_vertex )
    {
        // Both fans of the centre have an edge of 5e-7 to it: whichever fan
        // took the copy, the copy is merged away by the collapses.
        test::FrontalFixture< 3 > fixture{ grid_cut_along_a_line( 5e-7 ), { 4, 3, 5 } };
        fixture.prepare();
        const auto found =
            output_vertices_at( fixture, Point< 3 >{ { 1., 1., 0. } } );
        ASSERT_FALSE( found.empty() );
        for( const auto output : found )
        {
            EXPECT_EQ( output, 0u );
        }
    }

    TEST( MacroSurfacePreparation, a_surface_without_polygons_still_gets_fixed_output_vertices )
    {
        test::initialize_surface_meshes();
        test::EditableSurface< 2 > surface;
        surface.mesh = TriangulatedSurface< 2 >::create();
        surface.builder = TriangulatedSurfaceBuilder< 2 >::create( *surface.mesh );
        surface.builder->create_point( Point< 2 >{ { 0., 0. } } );
        surface.builder->create_point( Point< 2 >{ { 1., 0. } } );
        test::FrontalFixture< 2 > fixture{ std::move( surface ), { 1, 0 } };
        fixture.prepare();
        EXPECT_EQ( fixture.state().output().created_vertices.size(), 2u );
    }
} // namespace
