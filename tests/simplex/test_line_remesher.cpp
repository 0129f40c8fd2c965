#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/edged_curve.hpp>

#include <simplex/corner/corner_remesher.hpp>
#include <simplex/line/line_remesher.hpp>
#include <simplex/metric/constant_metric.hpp>
#include <simplex/model_splitter.hpp>
#include <simplex/remeshing_data.hpp>

#include <tests/simplex/remeshing_fixtures.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;

    std::unique_ptr< RemeshingRun > remesh_to_lines( BRep&& model, const Metric< 3 >& metric )
    {
        auto run = std::make_unique< RemeshingRun >( std::move( model ), metric );
        internal::prepare_remeshing( *run->data );
        internal::remesh_corners( *run->data );
        internal::remesh_lines( *run->data );
        return run;
    }

    /// The vertices of a chain or a cycle, walked from vertex 0.
    std::vector< index_t > chain( const EdgedCurve< 3 >& mesh )
    {
        std::vector< index_t > order{ 0 };
        EdgeVertex arriving{ NO_ID, 0 };
        while( true )
        {
            const auto& around = mesh.edges_around_vertex( order.back() );
            const EdgeVertex* next = nullptr;
            for( const auto& entry : around )
            {
                if( entry.edge_id != arriving.edge_id )
                {
                    next = &entry;
                    break;
                }
            }
            if( !next )
            {
                return order;
            }
            arriving = next->opposite();
            const auto vertex = mesh.edge_vertex( arriving );
            if( vertex == 0 )
            {
                order.push_back( 0 );
                return order;
            }
            order.push_back( vertex );
            if( order.size() > mesh.nb_vertices() + 1 )
            {
                ADD_FAILURE() << "the line is not a chain";
                return order;
            }
        }
    }

    std::vector< Point< 3 > > chain_points( const EdgedCurve< 3 >& mesh )
    {
        std::vector< Point< 3 > > points;
        for( const auto v : chain( mesh ) )
        {
            points.push_back( mesh.point( v ) );
        }
        return points;
    }

    double polyline_length( const std::vector< Point< 3 > >& points )
    {
        double length{ 0 };
        for( index_t i = 1; i < points.size(); i++ )
        {
            length += point_point_distance( points[i - 1], points[i] );
        }
        return length;
    }

    TEST( LineRemeshing, a_one_edge_line_shorter_than_the_metric_gets_its_midpoint )
    {
        WireModel wire{ { p3( 0, 0, 0 ), p3( 1, 0, 0 ) } };
        const auto line = wire.add_line( { p3( 0, 0, 0 ), p3( 1, 0, 0 ) } );
        const ConstantMetric< 3 > metric{ 2. };
        const auto run = remesh_to_lines( std::move( wire.model ), metric );

        const auto& mesh = output_line( *run, line ).mesh();
        ASSERT_EQ( mesh.nb_vertices(), 3 );
        EXPECT_EQ( mesh.nb_edges(), 2 );
        const auto points = chain_points( mesh );
        ASSERT_EQ( points.size(), 3 );
        EXPECT_TRUE( points[1].inexact_equal( p3( 0.5, 0, 0 ) ) );
        // The ends share the corners' unique vertices, the midpoint has its
        // own, and the input line was split there.
        const auto& id = output_line( *run, line ).component_id();
        EXPECT_EQ( run->output.unique_vertex( { id, 0 } ), 0 );
        EXPECT_EQ( run->output.unique_vertex( { id, 1 } ), 1 );
        EXPECT_EQ( run->output.unique_vertex( { id, 2 } ), 2 );
        EXPECT_EQ( run->data->input.line( line ).mesh().nb_edges(), 2 );
        expect_linked_to_input( *run, line );
    }

    TEST( LineRemeshing, a_straight_line_gets_edges_of_the_metric_and_keeps_its_ends )
    {
        WireModel wire{ { p3( 0, 0, 0 ), p3( 10, 0, 0 ) } };
        std::vector< Point< 3 > > points;
        for( const auto x : { 0., 0.3, 2.1, 2.2, 4.9, 7., 9.95, 10. } )
        {
            points.push_back( p3( x, 0, 0 ) );
        }
        const auto line = wire.add_line( points );
        const ConstantMetric< 3 > metric{ 1. };
        const auto run = remesh_to_lines( std::move( wire.model ), metric );

        const auto result = chain_points( output_line( *run, line ).mesh() );
        ASSERT_GE( result.size(), 2 );
        EXPECT_EQ( result.front(), p3( 0, 0, 0 ) );
        EXPECT_EQ( result.back(), p3( 10, 0, 0 ) );
        EXPECT_EQ( result.size(), 11 );
        for( index_t i = 1; i < result.size(); i++ )
        {
            const auto length = point_point_distance( result[i - 1], result[i] );
            EXPECT_GT( length, 0.5 );
            EXPECT_LT( length, 1.5 );
        }
        expect_linked_to_input( *run, line );
    }

    TEST( LineRemeshing, a_closed_line_without_corner_becomes_a_cycle_of_at_least_three_edges )
    {
        for( const double size : { 10., 0.3 } )
        {
            WireModel wire{ {} };
            const auto line = wire.add_line(
                { p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 1, 1, 0 ), p3( 0, 1, 0 ) }, true );
            const ConstantMetric< 3 > metric{ size };
            const auto run = remesh_to_lines( std::move( wire.model ), metric );
            const auto& mesh = output_line( *run, line ).mesh();
            EXPECT_GE( mesh.nb_edges(), 3 ) << size;
            EXPECT_EQ( mesh.nb_edges(), mesh.nb_vertices() ) << size;
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                EXPECT_EQ( mesh.edges_around_vertex( v ).size(), 2 ) << size;
            }
            const auto cycle = chain( mesh );
            EXPECT_EQ( cycle.size(), mesh.nb_vertices() + 1 ) << size;
            EXPECT_NEAR( polyline_length( chain_points( mesh ) ), 4, size < 1 ? 1e-9 : 2 );
            expect_linked_to_input( *run, line );
        }
    }

    TEST( LineRemeshing, a_closed_line_through_one_corner_starts_and_ends_there )
    {
        WireModel wire{ { p3( 0, 0, 0 ) } };
        const auto line = wire.add_line(
            { p3( 0, 0, 0 ), p3( 3, 0, 0 ), p3( 3, 3, 0 ), p3( 0, 3, 0 ) }, true );
        const ConstantMetric< 3 > metric{ 1. };
        const auto run = remesh_to_lines( std::move( wire.model ), metric );
        const auto& output = output_line( *run, line );
        const auto& mesh = output.mesh();
        EXPECT_EQ( mesh.nb_edges(), 12 );
        EXPECT_EQ( mesh.nb_edges(), mesh.nb_vertices() );
        EXPECT_EQ( run->output.unique_vertex( { output.component_id(), 0 } ), 0 );
        EXPECT_EQ( mesh.point( 0 ), p3( 0, 0, 0 ) );
    }

    TEST( LineRemeshing, a_line_of_zero_length_is_refused )
    {
        WireModel wire{ {} };
        wire.add_line( { p3( 1, 1, 1 ), p3( 1, 1, 1 ), p3( 1, 1, 1 ) } );
        const ConstantMetric< 3 > metric{ 1. };
        try
        {
            (void) remesh_to_lines( std::move( wire.model ), metric );
            ADD_FAILURE() << "no failure";
        }
        catch( const OpenOrvaneException& error )
        {
            EXPECT_EQ( std::string{ error.what() },
                "[LocalLineRemesher] Found a Line of null length" );
        }
    }

    TEST( LineRemeshing, a_metric_not_greater_than_zero_on_a_line_is_refused )
    {
        // Without surfaces the split never reads the metric: the line walk
        // must refuse it rather than step by nothing forever.
        for( const double value : { 0., -2. } )
        {
            WireModel wire{ { p3( 0, 0, 0 ), p3( 1, 0, 0 ) } };
            wire.add_line( { p3( 0, 0, 0 ), p3( 0.5, 0, 0 ), p3( 1, 0, 0 ) } );
            const ConstantMetric< 3 > metric{ value };
            try
            {
                (void) remesh_to_lines( std::move( wire.model ), metric );
                ADD_FAILURE() << "no failure for " << value;
            }
            catch( const OpenOrvaneException& error )
            {
                EXPECT_TRUE( std::string{ error.what() }.starts_with(
                    "[LocalLineRemesher] Invalid metric value: " ) )
                    << error.what();
            }
        }
    }

    TEST( LineRemeshing, a_hook_shaped_line_keeps_its_whole_shape )
    {
        // The line passes within 0.3 of its own end at (1, 0, 0), long
        // before reaching it.
        WireModel wire{ { p3( 0, 0, 0 ), p3( 1, 0.3, 0 ) } };
        const std::vector< Point< 3 > > input{ p3( 0, 0, 0 ), p3( 5, 0, 0 ), p3( 5, 2, 0 ),
            p3( 1, 2, 0 ), p3( 1, 0.3, 0 ) };
        const auto line = wire.add_line( input );
        const ConstantMetric< 3 > metric{ 1. };
        const auto run = remesh_to_lines( std::move( wire.model ), metric );
        const auto result = chain_points( output_line( *run, line ).mesh() );
        ASSERT_GE( result.size(), 2 );
        EXPECT_EQ( result.back(), p3( 1, 0.3, 0 ) );
        // Every input corner of the hook is kept, and the length is that of
        // the input line.
        for( const auto& point : { p3( 5, 0, 0 ), p3( 5, 2, 0 ), p3( 1, 2, 0 ) } )
        {
            EXPECT_NE( std::find_if( result.begin(), result.end(),
                           [&point]( const Point< 3 >& p ) { return p.inexact_equal( point ); } ),
                result.end() )
                << point.string();
        }
        EXPECT_NEAR( polyline_length( result ), polyline_length( input ), 1e-9 );
        for( index_t i = 1; i < result.size(); i++ )
        {
            EXPECT_LT( point_point_distance( result[i - 1], result[i] ), 1.5 );
        }
    }

    TEST( LineRemeshing, input_vertices_straying_from_the_chord_are_kept )
    {
        WireModel wire{ { p3( 0, 0, 0 ), p3( 2, 0, 0 ) } };
        const auto line = wire.add_line( { p3( 0, 0, 0 ), p3( 1, 0.2, 0 ), p3( 2, 0, 0 ) } );
        const ConstantMetric< 3 > metric{ 3. };
        const auto run = remesh_to_lines( std::move( wire.model ), metric );
        const auto result = chain_points( output_line( *run, line ).mesh() );
        ASSERT_EQ( result.size(), 3 );
        EXPECT_EQ( result[1], p3( 1, 0.2, 0 ) );
        expect_linked_to_input( *run, line );
    }

    TEST( LineRemeshing, a_line_doubling_back_within_the_chord_tolerance_keeps_its_return_vertex )
    {
        // A flat zigzag: every vertex stays within 5% of the metric from
        // the chord, but the path is five times as long as the chord.
        WireModel wire{ { p3( 0, 0, 0 ), p3( 1, 0.04, 0 ) } };
        const auto line = wire.add_line( { p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 0, 0.02, 0 ),
            p3( 1, 0.02, 0 ), p3( 0, 0.04, 0 ), p3( 1, 0.04, 0 ) } );
        const ConstantMetric< 3 > metric{ 2. };
        const auto run = remesh_to_lines( std::move( wire.model ), metric );
        const auto result = chain_points( output_line( *run, line ).mesh() );
        ASSERT_EQ( result.size(), 3 );
        // The first vertex whose path from the start exceeds three times
        // its distance.
        EXPECT_EQ( result[1], p3( 0, 0.02, 0 ) );
        expect_linked_to_input( *run, line );
    }

    TEST( LineExtremities, ends_are_found_at_corners_free_ends_or_around_vertex_zero )
    {
        WireModel wire{ { p3( 0, 0, 0 ), p3( 2, 0, 0 ) } };
        const auto between_corners = wire.add_line( { p3( 2, 0, 0 ), p3( 1, 1, 0 ), p3( 0, 0, 0 ) } );
        const auto free = wire.add_line( { p3( 5, 0, 0 ), p3( 6, 0, 0 ), p3( 7, 0, 0 ) } );
        const auto closed = wire.add_line( { p3( 5, 5, 0 ), p3( 6, 5, 0 ), p3( 6, 6, 0 ) }, true );
        const auto& model = wire.model;
        // The corners in boundary order: the fixture adds (2,0,0) first.
        const auto [first, second] =
            internal::line_extremities( model, model.line( between_corners ) );
        const auto& mesh = model.line( between_corners ).mesh();
        EXPECT_EQ( mesh.point( mesh.edge_vertex( first ) ), p3( 2, 0, 0 ) );
        EXPECT_EQ( mesh.point( mesh.edge_vertex( second ) ), p3( 0, 0, 0 ) );

        const auto [start, end] = internal::line_extremities( model, model.line( free ) );
        EXPECT_EQ( model.line( free ).mesh().edge_vertex( start ), 0 );
        EXPECT_EQ( model.line( free ).mesh().edge_vertex( end ), 2 );

        const auto [from, to] = internal::line_extremities( model, model.line( closed ) );
        const auto& cycle = model.line( closed ).mesh();
        EXPECT_EQ( cycle.edge_vertex( from ), 0 );
        EXPECT_EQ( cycle.edge_vertex( to ), 0 );
        EXPECT_NE( from.edge_id, to.edge_id );
    }

    TEST( LineExtremities, unsupported_line_ends_are_refused_with_a_message )
    {
        struct Case
        {
            const char* name;
            std::vector< Point< 3 > > points;
            bool closed;
            std::string message_start;
        };
        const std::vector< Case > cases{
            { "one corner and a free end", { p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 2, 0, 0 ) }, false,
                "[line_extremities] Line " },
            { "three vertices on the corner",
                { p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 0, 0, 0 ), p3( 1, 1, 0 ), p3( 0, 0, 0 ) },
                false, "[line_extremities] Only one vertex should be on the corner" },
            // A loop with a tail: the loop closes back to vertex 0 and the
            // tail is added below.
            { "one free end without corner", { p3( 5, 0, 0 ), p3( 6, 0, 0 ), p3( 6, 1, 0 ) },
                true, "[line_extremities] Only one extremity found" },
        };
        for( const auto& test_case : cases )
        {
            WireModel wire{ { p3( 0, 0, 0 ) } };
            const auto line = wire.add_line( test_case.points, test_case.closed );
            if( test_case.closed )
            {
                BRepBuilder builder{ wire.model };
                auto mesh = builder.line_mesh_builder( line );
                const auto tail = mesh->create_point( p3( 4, 0, 0 ) );
                mesh->create_edge( 0, tail );
            }
            try
            {
                (void) internal::line_extremities( wire.model, wire.model.line( line ) );
                ADD_FAILURE() << test_case.name << ": no failure";
            }
            catch( const OpenOrvaneException& error )
            {
                EXPECT_TRUE( std::string{ error.what() }.starts_with( test_case.message_start ) )
                    << test_case.name << ": " << error.what();
            }
        }
    }
} // namespace
