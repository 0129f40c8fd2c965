#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/model_library.hpp>

#include <simplex/metric/constant_metric.hpp>
#include <simplex/model_splitter.hpp>
#include <simplex/remeshing_data.hpp>

#include <tests/simplex/remeshing_fixtures.hpp>
#include <tests/support/brep_checks.hpp>
#include <tests/support/brep_fixtures.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;

    const TriangulatedSurface< 3 >& triangulated( const BRep& model, const uuid& id )
    {
        return dynamic_cast< const TriangulatedSurface< 3 >& >( model.surface( id ).mesh() );
    }

    double longest_edge( const TriangulatedSurface< 3 >& mesh, index_t polygon )
    {
        const auto triangle = mesh.triangle( polygon );
        double longest{ 0 };
        for( local_index_t e = 0; e < 3; e++ )
        {
            longest = std::max( longest, point_point_distance( triangle.vertices()[e],
                                             triangle.vertices()[( e + 1u ) % 3u] ) );
        }
        return longest;
    }

    template < typename Mesh >
    bool has_vertex_at( const Mesh& mesh, const Point< 3 >& point )
    {
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            if( mesh.point( v ) == point )
            {
                return true;
            }
        }
        return false;
    }

    /// Two surfaces sharing the edge (0,0,0)-(2,0,0), held by a line between
    /// two corners: one triangle in z = 0, one in y = 0.
    TwoSurfacesModel long_shared_edge()
    {
        OpenOrvaneModelLibrary::initialize();
        TwoSurfacesModel model;
        BRepBuilder builder{ model.model };
        builder.create_unique_vertices( 4 );
        model.corner0 = add_linked_corner( model.model, p3( 0, 0, 0 ), 0 );
        model.corner1 = add_linked_corner( model.model, p3( 2, 0, 0 ), 1 );
        model.line = add_linked_line( model.model, { p3( 0, 0, 0 ), p3( 2, 0, 0 ) }, { 0, 1 } );
        model.surface0 = add_linked_surface( model.model,
            { p3( 0, 0, 0 ), p3( 2, 0, 0 ), p3( 1, 0.5, 0 ) }, { { 0, 1, 2 } }, { 0, 1, 2 } );
        model.surface1 = add_linked_surface( model.model,
            { p3( 2, 0, 0 ), p3( 0, 0, 0 ), p3( 1, 0, 0.5 ) }, { { 0, 1, 2 } }, { 1, 0, 3 } );
        const auto& line = model.model.line( model.line );
        builder.add_corner_line_boundary_relationship( model.model.corner( model.corner0 ), line );
        builder.add_corner_line_boundary_relationship( model.model.corner( model.corner1 ), line );
        builder.add_line_surface_boundary_relationship( line, model.model.surface( model.surface0 ) );
        builder.add_line_surface_boundary_relationship( line, model.model.surface( model.surface1 ) );
        return model;
    }

    TEST( ModelSplit, short_edges_are_left_unchanged_and_the_components_copied )
    {
        auto fixture = two_surfaces_sharing_a_line();
        const ConstantMetric< 3 > metric{ 1. };
        LoggerCapture capture;
        RemeshingRun run{ std::move( fixture.model ), metric };
        internal::prepare_remeshing( *run.data );

        EXPECT_NE( progress_end( capture, "Model split" ).find( "(0/0 steps)" ), std::string::npos )
            << progress_end( capture, "Model split" );
        const auto& input = run.data->input;
        EXPECT_EQ( input.surface( fixture.surface0 ).mesh().nb_polygons(), 2 );
        EXPECT_EQ( input.line( fixture.line ).mesh().nb_edges(), 2 );
        // One empty output component per input component, same relations.
        const auto& output = run.output;
        EXPECT_EQ( output.nb_corners(), 2 );
        EXPECT_EQ( output.nb_lines(), 1 );
        EXPECT_EQ( output.nb_surfaces(), 2 );
        const auto output_line = internal::output_component_id(
            *run.data, input.line( fixture.line ).component_id() );
        EXPECT_EQ( output.line( output_line ).mesh().nb_vertices(), 0 );
        EXPECT_EQ( output.nb_boundaries( output_line ), 2 );
        EXPECT_EQ( output.nb_incidences( output_line ), 2 );
        EXPECT_EQ( internal::input_component_id(
                       *run.data, output.line( output_line ).component_id() ),
            fixture.line );
    }

    TEST( ModelSplit, mapping_lookups_throw_out_of_range_for_unknown_components )
    {
        auto fixture = two_surfaces_sharing_a_line();
        const ConstantMetric< 3 > metric{ 1. };
        RemeshingRun run{ std::move( fixture.model ), metric };
        const ComponentID unknown_line{ Line< 3 >::component_type_static(), uuid{} };
        EXPECT_THROW( (void) internal::output_component_id( *run.data, unknown_line ),
            std::out_of_range );
        internal::prepare_remeshing( *run.data );
        EXPECT_THROW( (void) internal::output_component_id( *run.data, unknown_line ),
            std::out_of_range );
        EXPECT_THROW( (void) internal::input_component_id( *run.data, unknown_line ),
            std::out_of_range );
    }

    TEST( ModelSplit, an_edge_of_exactly_twice_the_metric_is_not_split )
    {
        auto fixture = long_shared_edge();
        const ConstantMetric< 3 > metric{ 1. };
        RemeshingRun run{ std::move( fixture.model ), metric };
        internal::prepare_remeshing( *run.data );
        EXPECT_EQ( run.data->input.surface( fixture.surface0 ).mesh().nb_polygons(), 1 );
        EXPECT_EQ( run.data->input.line( fixture.line ).mesh().nb_edges(), 1 );
    }

    TEST( ModelSplit, a_longer_edge_is_split_at_its_midpoint_in_every_component_holding_it )
    {
        auto fixture = long_shared_edge();
        const ConstantMetric< 3 > metric{ 0.999 };
        RemeshingRun run{ std::move( fixture.model ), metric };
        internal::prepare_remeshing( *run.data );
        const auto& input = run.data->input;
        const auto midpoint = p3( 1, 0, 0 );
        for( const auto& surface : { fixture.surface0, fixture.surface1 } )
        {
            const auto& mesh = triangulated( input, surface );
            EXPECT_EQ( mesh.nb_polygons(), 2 );
            EXPECT_TRUE( has_vertex_at( mesh, midpoint ) );
        }
        const auto& line = input.line( fixture.line ).mesh();
        EXPECT_EQ( line.nb_edges(), 2 );
        EXPECT_TRUE( has_vertex_at( line, midpoint ) );
        EXPECT_TRUE( is_valid_brep( input, open_surfaces() ) );
    }

    TEST( ModelSplit, splits_go_on_in_the_new_triangles_until_no_edge_is_too_long )
    {
        auto fixture = long_shared_edge();
        const FunctionMetric metric{ []( const Point< 3 >& point ) {
            return 0.1 + 0.2 * point.value( 0 );
        } };
        RemeshingRun run{ std::move( fixture.model ), metric };
        internal::prepare_remeshing( *run.data );
        const auto& input = run.data->input;
        for( const auto& surface : { fixture.surface0, fixture.surface1 } )
        {
            const auto& mesh = triangulated( input, surface );
            EXPECT_GT( mesh.nb_polygons(), 8 );
            for( index_t polygon = 0; polygon < mesh.nb_polygons(); polygon++ )
            {
                const auto triangle = mesh.triangle( polygon );
                const auto& vertices = triangle.vertices();
                // The longest edge's midpoint metric bounds the edge.
                local_index_t longest{ 0 };
                for( local_index_t e = 1; e < 3; e++ )
                {
                    if( point_point_distance( vertices[e], vertices[( e + 1u ) % 3u] )
                        > point_point_distance(
                            vertices[longest], vertices[( longest + 1u ) % 3u] ) )
                    {
                        longest = e;
                    }
                }
                const auto middle =
                    ( vertices[longest] + vertices[( longest + 1u ) % 3u] ) / 2.;
                EXPECT_LE( longest_edge( mesh, polygon ), 2 * metric.point_metric( middle ) );
            }
        }
        EXPECT_GT( input.line( fixture.line ).mesh().nb_edges(), 2 );
        EXPECT_TRUE( is_valid_brep( input, open_surfaces() ) );
    }

    TEST( ModelSplit, a_metric_not_greater_than_zero_is_refused )
    {
        struct Case
        {
            double value;
            std::string text;
        };
        for( const auto& [value, text] : { Case{ 0., "0" }, Case{ -1.5, "-1.5" },
                 Case{ std::numeric_limits< double >::quiet_NaN(), "nan" } } )
        {
            auto fixture = two_surfaces_sharing_a_line();
            const ConstantMetric< 3 > metric{ value };
            RemeshingRun run{ std::move( fixture.model ), metric };
            try
            {
                internal::prepare_remeshing( *run.data );
                ADD_FAILURE() << "no failure for the metric " << text;
            }
            catch( const OpenOrvaneException& error )
            {
                EXPECT_EQ( std::string{ error.what() },
                    "[Splitter::add_to_queue] Invalid metric value: " + text );
            }
        }
    }

    TEST( DegenerateElements, small_flipped_or_flat_elements_are_degenerate )
    {
        auto fixture = two_surfaces_sharing_a_line();
        // Polygon 0 of surface0 lies in z = 0 with its normal along +z.
        const auto small = std::cbrt( 3e-6 );
        struct Case
        {
            const char* name;
            std::vector< Triangle< 3 > > triangles;
            std::vector< Tetrahedron > tetrahedra;
            bool degenerate;
        };
        const std::vector< Case > cases{
            { "regular", { { p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 0, 1, 0 ) } },
                { { p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 0, 1, 0 ), p3( 0, 0, 1 ) } }, false },
            { "area 5e-7", { { p3( 0, 0, 0 ), p3( 1e-3, 0, 0 ), p3( 0, 1e-3, 0 ) } }, {}, true },
            { "flipped", { { p3( 0, 0, 0 ), p3( 0, 1, 0 ), p3( 1, 0, 0 ) } }, {}, true },
            { "flat", { { p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 2, 0, 0 ) } }, {}, true },
            { "volume 5e-7", {},
                { { p3( 0, 0, 0 ), p3( small, 0, 0 ), p3( 0, small, 0 ), p3( 0, 0, small ) } },
                true },
        };
        for( const auto& test_case : cases )
        {
            ElementsAfterCollapseEdge preview;
            for( const auto& triangle : test_case.triangles )
            {
                preview.surfaces[fixture.surface0].push_back( { triangle, 0 } );
            }
            for( const auto& tetrahedron : test_case.tetrahedra )
            {
                preview.blocks[uuid{}].push_back( { tetrahedron, 0 } );
            }
            EXPECT_EQ( internal::has_degenerate_elements( fixture.model, preview ),
                test_case.degenerate )
                << test_case.name;
        }
    }
} // namespace
