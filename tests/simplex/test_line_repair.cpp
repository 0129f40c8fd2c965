#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/aabb.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/edged_curve_aabb.hpp>

#include <simplex/brep_remesher.hpp>
#include <simplex/corner/corner_remesher.hpp>
#include <simplex/line/close_edge_visitor.hpp>
#include <simplex/line/line_part.hpp>
#include <simplex/line/line_remesher.hpp>
#include <simplex/line/line_repair.hpp>
#include <simplex/line/line_split_point.hpp>
#include <simplex/metric/constant_metric.hpp>
#include <simplex/model_splitter.hpp>

#include <tests/simplex/remeshing_fixtures.hpp>
#include <tests/support/brep_checks.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;

    /// A run stopped after the corner stage: the output lines are empty.
    std::unique_ptr< RemeshingRun > run_to_corners( BRep&& model, const Metric< 3 >& metric )
    {
        auto run = std::make_unique< RemeshingRun >( std::move( model ), metric );
        internal::prepare_remeshing( *run->data );
        internal::remesh_corners( *run->data );
        return run;
    }

    /// Writes the output line of the input line as the chain through the
    /// given input vertices, in the state line remeshing leaves: each output
    /// vertex tied to the output corner's unique vertex at a corner and to a
    /// new one elsewhere, and the input vertex linked to it in
    /// "remeshed_line_attribute".
    void set_output_line(
        RemeshingRun& run, const uuid& input_line, const std::vector< index_t >& input_vertices )
    {
        auto& data = *run.data;
        const auto& input = data.input.line( input_line );
        const auto& output = output_line( run, input_line );
        auto builder = data.output_builder.line_mesh_builder( output.id() );
        auto attribute = input.mesh()
                             .vertex_attribute_manager()
                             .find_or_create_attribute< VariableAttribute, index_t >(
                                 internal::REMESHED_LINE_ATTRIBUTE, NO_ID );
        for( index_t k = 0; k < input_vertices.size(); k++ )
        {
            const auto input_vertex = input_vertices[k];
            const auto vertex = builder->create_point( input.mesh().point( input_vertex ) );
            if( k > 0 )
            {
                builder->create_edge( vertex - 1, vertex );
            }
            auto unique = NO_ID;
            const auto input_unique =
                data.input.unique_vertex( { input.component_id(), input_vertex } );
            for( const auto& corner : data.input.component_mesh_vertices(
                     input_unique, Corner< 3 >::component_type_static() ) )
            {
                unique = data.output->unique_vertex(
                    { { Corner< 3 >::component_type_static(),
                          internal::output_component_id( data, corner.component_id ) },
                        0 } );
            }
            if( unique == NO_ID )
            {
                unique = data.output_builder.create_unique_vertex();
            }
            data.output_builder.set_unique_vertex( { output.component_id(), vertex }, unique );
            attribute->set_value( input_vertex, unique );
        }
    }

    std::vector< Point< 3 > > vertex_points( const EdgedCurve< 3 >& mesh )
    {
        std::vector< Point< 3 > > points;
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            points.push_back( mesh.point( v ) );
        }
        return points;
    }

    bool holds_point( const EdgedCurve< 3 >& mesh, const Point< 3 >& point )
    {
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            if( mesh.point( v ).inexact_equal( point ) )
            {
                return true;
            }
        }
        return false;
    }

    /// The smallest distance between an edge of one output line and an
    /// edge of another that share no unique vertex, over all pairs of
    /// lines; infinity without such a pair.
    double closest_approach_between_lines( const BRep& model )
    {
        double closest{ std::numeric_limits< double >::infinity() };
        const auto uniques = [&model]( const Line< 3 >& line, index_t edge ) {
            const auto& mesh = line.mesh();
            return std::array< index_t, 2 >{
                model.unique_vertex( { line.component_id(), mesh.edge_vertex( { edge, 0 } ) } ),
                model.unique_vertex( { line.component_id(), mesh.edge_vertex( { edge, 1 } ) } ) };
        };
        for( const auto& a : model.lines() )
        {
            for( const auto& b : model.lines() )
            {
                if( !( a.id() < b.id() ) )
                {
                    continue;
                }
                for( index_t i = 0; i < a.mesh().nb_edges(); i++ )
                {
                    const auto ends_a = uniques( a, i );
                    for( index_t j = 0; j < b.mesh().nb_edges(); j++ )
                    {
                        const auto ends_b = uniques( b, j );
                        if( ends_a[0] == ends_b[0] || ends_a[0] == ends_b[1]
                            || ends_a[1] == ends_b[0] || ends_a[1] == ends_b[1] )
                        {
                            continue;
                        }
                        closest = std::min( closest,
                            std::get< 0 >( segment_segment_distance(
                                a.mesh().segment( i ), b.mesh().segment( j ) ) ) );
                    }
                }
            }
        }
        return closest;
    }

    BRepCheckOptions lines_only()
    {
        BRepCheckOptions options;
        options.check_surface_borders = false;
        options.check_block_boundaries = false;
        return options;
    }

    std::string failure_message( const std::function< void() >& action )
    {
        try
        {
            action();
        }
        catch( const OpenOrvaneException& error )
        {
            return error.what();
        }
        return "no failure";
    }

    /// Two wavy lines 0.015 apart along x in [0, 5], out of phase by 0.4
    /// rad, sampled every 0.05: their vertical gap never falls below 0.003,
    /// but with a metric of 1 their waves (0.03 high) are below the line
    /// remesher's deviation tolerance, so its chords of the two lines cross.
    struct BraidedLines
    {
        static constexpr double MIN_GAP = 0.003;

        BraidedLines()
            : wire{ { p3( 0, wave( 0, 0 ), 0 ), p3( 5, wave( 5, 0 ), 0 ),
                  p3( 0, wave( 0, 1 ), 0 ), p3( 5, wave( 5, 1 ), 0 ) } }
        {
            for( const index_t k : { 0, 1 } )
            {
                std::vector< Point< 3 > > points;
                for( index_t i = 0; i <= 100; i++ )
                {
                    const auto x = 0.05 * i;
                    points.push_back( p3( x, wave( x, k ), 0 ) );
                }
                lines[k] = wire.add_line( points );
            }
        }

        static double wave( double x, index_t k )
        {
            constexpr double PERIOD = 0.37;
            return 0.015 * k + 0.03 * std::sin( 2 * std::numbers::pi * x / PERIOD + 0.4 * k );
        }

        WireModel wire;
        std::array< uuid, 2 > lines;
    };

    BRepRemeshOptions only_line_repair( bool repair_lines )
    {
        BRepRemeshOptions options{ false, false, false, false, false, false };
        options.repair_lines = repair_lines;
        return options;
    }

    TEST( LineRepair, coincident_single_edge_lines_are_split_at_their_farthest_input_vertex )
    {
        // Three lines between the same two corners, each remeshed into the
        // one edge between them, and a fourth single-edge line elsewhere.
        WireModel wire{ { p3( 0, 0, 0 ), p3( 4, 0, 0 ), p3( 0, 5, 0 ), p3( 4, 5, 0 ) } };
        const auto above = wire.add_line(
            { p3( 0, 0, 0 ), p3( 1, 1.5, 0 ), p3( 2, 3, 0 ), p3( 3, 1.4, 0 ), p3( 4, 0, 0 ) } );
        const auto below =
            wire.add_line( { p3( 0, 0, 0 ), p3( 2, -2, 0 ), p3( 3, -3, 0 ), p3( 4, 0, 0 ) } );
        const auto straight = wire.add_line( { p3( 0, 0, 0 ), p3( 4, 0, 0 ) } );
        const auto alone =
            wire.add_line( { p3( 0, 5, 0 ), p3( 2, 5.5, 0 ), p3( 4, 5, 0 ) } );
        const ConstantMetric< 3 > metric{ 1. };
        auto run = run_to_corners( std::move( wire.model ), metric );
        set_output_line( *run, above, { 0, 4 } );
        set_output_line( *run, below, { 0, 3 } );
        set_output_line( *run, straight, { 0, 1 } );
        set_output_line( *run, alone, { 0, 2 } );

        internal::RepairModelLines repair{ *run->data };
        repair.repair();

        struct Case
        {
            const char* name;
            uuid line;
            std::vector< Point< 3 > > output;
        };
        for( const auto& [name, line, expected] :
            { Case{ "above", above, { p3( 0, 0, 0 ), p3( 4, 0, 0 ), p3( 2, 3, 0 ) } },
                Case{ "below", below, { p3( 0, 0, 0 ), p3( 4, 0, 0 ), p3( 3, -3, 0 ) } },
                // An input line of one edge has no vertex to split at.
                Case{ "straight", straight, { p3( 0, 0, 0 ), p3( 4, 0, 0 ) } },
                // A single-edge line that coincides with no other is kept.
                Case{ "alone", alone, { p3( 0, 5, 0 ), p3( 4, 5, 0 ) } } } )
        {
            SCOPED_TRACE( name );
            const auto& mesh = output_line( *run, line ).mesh();
            EXPECT_EQ( vertex_points( mesh ), expected );
            EXPECT_EQ( mesh.nb_edges(), expected.size() - 1 );
            expect_linked_to_input( *run, line );
        }
        EXPECT_TRUE( is_valid_brep( run->output, lines_only() ) );
        EXPECT_TRUE( is_valid_brep( run->data->input, lines_only() ) );
    }

    /// A V-shaped line whose remeshed chord cuts off the V's apex and
    /// crosses a short straight line standing inside the V:
    /// - "vee": (0,0) (1,-0.5) (2,-1) (4,0), remeshed as (0,0) (1,-0.5) (4,0);
    /// - "post": (2,-0.6) (2,0.2) (2,1), remeshed as itself.
    struct CrossingChords
    {
        CrossingChords()
            : wire{ { p3( 0, 0, 0 ), p3( 4, 0, 0 ), p3( 2, -0.6, 0 ), p3( 2, 1, 0 ) } }
        {
            vee = wire.add_line(
                { p3( 0, 0, 0 ), p3( 1, -0.5, 0 ), p3( 2, -1, 0 ), p3( 4, 0, 0 ) } );
            post = wire.add_line( { p3( 2, -0.6, 0 ), p3( 2, 0.2, 0 ), p3( 2, 1, 0 ) } );
            run = run_to_corners( std::move( wire.model ), metric );
            set_output_line( *run, vee, { 0, 1, 3 } );
            set_output_line( *run, post, { 0, 1, 2 } );
        }

        WireModel wire;
        ConstantMetric< 3 > metric{ 1. };
        uuid vee;
        uuid post;
        std::unique_ptr< RemeshingRun > run;
    };

    TEST( LineRepair, crossing_chords_get_a_vertex_at_the_farthest_input_vertex )
    {
        CrossingChords scene;
        auto& run = *scene.run;
        EXPECT_LT( closest_approach_between_lines( run.output ), 1e-9 );
        const auto nb_input_vertices = run.data->input.line( scene.vee ).mesh().nb_vertices();

        internal::RepairModelLines repair{ *run.data };
        repair.repair();

        // The apex is an input vertex: it is reused, not split again.
        const auto& vee = output_line( run, scene.vee ).mesh();
        EXPECT_EQ( vee.nb_vertices(), 4 );
        EXPECT_TRUE( holds_point( vee, p3( 2, -1, 0 ) ) );
        EXPECT_EQ( run.data->input.line( scene.vee ).mesh().nb_vertices(), nb_input_vertices );
        // The post follows its straight input already.
        EXPECT_EQ( output_line( run, scene.post ).mesh().nb_vertices(), 3 );
        EXPECT_GT( closest_approach_between_lines( run.output ), 0.35 );
        expect_linked_to_input( run, scene.vee );
        expect_linked_to_input( run, scene.post );
        EXPECT_TRUE( is_valid_brep( run.output, lines_only() ) );
    }

    TEST( LineRepair, split_point_is_the_farthest_input_point_clear_of_the_edge_ends )
    {
        // The vee's output edge (1,-0.5)-(4,0) over its input stretch
        // (1,-0.5) (2,-1) (4,0), whose apex lies about 0.658 from the edge.
        CrossingChords scene;
        const auto& input = scene.run->data->input;
        const auto& line = input.line( scene.vee );
        const auto tree = create_aabb_tree( line.mesh() );
        const Segment< 3 > chord{ p3( 1, -0.5, 0 ), p3( 4, 0, 0 ) };
        struct Case
        {
            const char* name;
            Segment< 3 > edge;
            double distance;
            std::optional< Point< 3 > > expected;
        };
        for( const auto& [name, edge, distance, expected] :
            { Case{ "crossing pair", chord, 0., p3( 2, -1, 0 ) },
                Case{ "apex beyond 5% of the distance", chord, 12., p3( 2, -1, 0 ) },
                Case{ "apex within 5% of the distance", chord, 14., std::nullopt },
                // The first output edge lies on its straight input edge.
                Case{ "straight stretch", Segment< 3 >{ p3( 0, 0, 0 ), p3( 1, -0.5, 0 ) }, 0.,
                    std::nullopt },
                // An end without input vertex at its position.
                Case{ "end off the input", Segment< 3 >{ p3( 0.5, 0, 0 ), p3( 4, 0, 0 ) }, 0.,
                    std::nullopt } } )
        {
            SCOPED_TRACE( name );
            const auto found = internal::split_point( input, line, tree, edge, distance );
            ASSERT_EQ( found.has_value(), expected.has_value() );
            if( found )
            {
                EXPECT_TRUE( found->point.inexact_equal( *expected ) );
                EXPECT_TRUE( line.mesh().segment( found->edge ).vertices()[0].inexact_equal(
                                 *expected )
                             || line.mesh().segment( found->edge ).vertices()[1].inexact_equal(
                                 *expected ) );
            }
        }
    }

    TEST( LineRepair, close_edge_visitor_marks_edges_whose_closest_point_is_inside )
    {
        // The other line: the edges (0,0)-(2,0) and (2,0)-(2,2).
        WireModel wire{ {} };
        const auto other = wire.add_line( { p3( 0, 0, 0 ), p3( 2, 0, 0 ), p3( 2, 2, 0 ) } );
        const auto& mesh = wire.model.line( other ).mesh();
        struct Case
        {
            const char* name;
            Segment< 3 > queried;
            double bound;
            bool must_split;
            std::vector< index_t > others;
            double smallest;
        };
        for( const auto& [name, queried, bound, must_split, others, smallest] :
            { Case{ "crossing", Segment< 3 >{ p3( 1, -1, 0 ), p3( 1, 1, 0 ) }, 0.9, true, { 0 },
                  0. },
                // Passing 0.3 over the first edge.
                Case{ "close, inside both",
                    Segment< 3 >{ p3( 0.8, -0.5, 0.3 ), p3( 1.2, 0.5, 0.3 ) }, 0.5, true, { 0 },
                    0.3 },
                Case{ "beyond the bound",
                    Segment< 3 >{ p3( 0.8, -0.5, 0.3 ), p3( 1.2, 0.5, 0.3 ) }, 0.2, false, {},
                    0.2 },
                // Meeting the other line at one of its vertices.
                Case{ "touching a vertex", Segment< 3 >{ p3( 2, 0, 0 ), p3( 3, -1, 0 ) }, 1.,
                    false, {}, 1. },
                // Too short to split: only the other edge asks for a split.
                Case{ "short queried edge",
                    Segment< 3 >{ p3( 1, 0.1, 0 ), p3( 1.01, 0.11, 0 ) }, 0.5, false, { 0 },
                    0.1 },
                // Ending 0.2 over the first edge, crossing the second.
                Case{ "near the corner of the other line",
                    Segment< 3 >{ p3( 1.5, 0.2, 0 ), p3( 2.2, 0.8, 0 ) }, 1., true, { 0, 1 },
                    0. } } )
        {
            SCOPED_TRACE( name );
            internal::CloseEdgeVisitor visitor{ queried, mesh, bound };
            for( index_t edge = 0; edge < mesh.nb_edges(); edge++ )
            {
                EXPECT_FALSE( visitor( edge ) );
            }
            EXPECT_EQ( visitor.must_split(), must_split );
            EXPECT_EQ( visitor.other_edges(), others );
            EXPECT_DOUBLE_EQ( visitor.smallest_distance(), smallest );
        }
    }

    TEST( LineRepair, line_part_walks_unlinked_vertices_to_the_shortest_end )
    {
        // A closed line through one corner: (0,0) (1,0) (2,0) (2,1) (0,1)
        // and back to (0,0), walked both ways from the corner.
        WireModel wire{ { p3( 0, 0, 0 ) } };
        const auto line = wire.add_line(
            { p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 2, 0, 0 ), p3( 2, 1, 0 ), p3( 0, 1, 0 ) },
            true );
        auto& model = wire.model;
        const auto& mesh = model.line( line ).mesh();
        auto attribute = mesh.vertex_attribute_manager()
                             .find_or_create_attribute< VariableAttribute, index_t >(
                                 internal::REMESHED_LINE_ATTRIBUTE, NO_ID );
        attribute->set_value( 0, 0 );
        attribute->set_value( 2, 7 );
        // From the corner to (2,0): forwards through (1,0), length 2, beats
        // backwards through (0,1) and (2,1), length 4.
        EXPECT_EQ( internal::Repair::line_part( model, model.line( line ), 0, 2 ),
            ( std::vector< index_t >{ 0, 1 } ) );
        // A linked vertex on the way stops a walk: to (2,1), only backwards.
        EXPECT_EQ( internal::Repair::line_part( model, model.line( line ), 0, 3 ),
            ( std::vector< index_t >{ 4, 3 } ) );
        // Linked vertices on both ways: no stretch reaches (0,1)'s far side.
        attribute->set_value( 4, 9 );
        EXPECT_EQ( failure_message( [&] {
            (void) internal::Repair::line_part( model, model.line( line ), 0, 3 );
        } ),
            "[Repair::line_part] orvane::No line part found" );
        // A branch at an unlinked inner vertex.
        attribute->set_value( 4, NO_ID );
        BRepBuilder builder{ model };
        auto line_builder = builder.line_mesh_builder( line );
        const auto branch = line_builder->create_point( p3( 0, 3, 0 ) );
        line_builder->create_edge( 4, branch );
        EXPECT_EQ( failure_message( [&] {
            (void) internal::Repair::line_part( model, model.line( line ), 0, 3 );
        } ),
            "[Repair::line_part] At least 2 edges around vertex (3)" );
    }

    TEST( LineRepair, a_link_to_a_missing_unique_vertex_is_refused )
    {
        CrossingChords scene;
        auto& data = *scene.run->data;
        internal::RepairModelLines repair{ data };
        const auto& line = data.input.line( scene.vee );
        EXPECT_EQ( failure_message( [&] {
            repair.set_remeshed_point( line, 2, data.output->nb_unique_vertices() );
        } ),
            "[RepairModelLines::set_remeshed_point] Uniquer vertex does not exist" );
        repair.set_remeshed_point( line, 2, 0 );
        EXPECT_EQ( line.mesh()
                       .vertex_attribute_manager()
                       .find_attribute< index_t >( internal::REMESHED_LINE_ATTRIBUTE )
                       ->value( 2 ),
            0 );
    }

    TEST( LineRepair, repair_loops_fail_only_when_their_last_allowed_run_still_changes )
    {
        struct Loop
        {
            const char* name;
            void ( *run )( const std::function< bool() >& );
            index_t limit;
            std::string message;
        };
        struct Case
        {
            index_t nb_changing;
            index_t nb_runs;
            bool fails;
        };
        for( const auto& loop :
            { Loop{ "passes", &internal::run_line_repair_passes, 11,
                  "[RepairModelLines::repair] Too many line repair occurs" },
                Loop{ "pair iterations", &internal::run_line_pair_iterations, 100,
                    "[RepairModelLines::repair_line] Too many line repair occurs" } } )
        {
            SCOPED_TRACE( loop.name );
            const auto limit = loop.limit;
            for( const auto& test :
                { Case{ 0, 1, false }, Case{ limit - 2, limit - 1, false },
                    // Converging on the last allowed run is a success.
                    Case{ limit - 1, limit, false }, Case{ limit, limit, true },
                    Case{ limit + 5, limit, true } } )
            {
                index_t calls{ 0 };
                const auto outcome = failure_message( [&] {
                    loop.run( [&] { return ++calls <= test.nb_changing; } );
                } );
                EXPECT_EQ( calls, test.nb_runs ) << test.nb_changing;
                EXPECT_EQ( outcome, test.fails ? loop.message : "no failure" ) << test.nb_changing;
            }
        }
    }
    TEST( LineRepair, remeshing_with_the_repair_keeps_close_lines_apart )
    {
        SimplexBRepLibrary::initialize();
        const ConstantMetric< 3 > metric{ 1. };
        for( const bool repair : { false, true } )
        {
            SCOPED_TRACE( repair ? "with the repair" : "without the repair" );
            BraidedLines scene;
            const auto [output, mapping] = internal::remesh_brep( std::move( scene.wire.model ),
                metric, only_line_repair( repair ), internal::default_surface_stages() );
            const auto approach = closest_approach_between_lines( output );
            if( !repair )
            {
                // The scene shows the fault the repair mends.
                EXPECT_LT( approach, 1e-6 );
                continue;
            }
            EXPECT_GT( approach, 0.5 * BraidedLines::MIN_GAP );
            EXPECT_TRUE( is_valid_brep( output, lines_only() ) );
            for( const auto& line : output.lines() )
            {
                EXPECT_GE( line.mesh().nb_edges(), 5 );
            }
        }
    }

    TEST( LineRepair, repaired_lines_stay_linked_to_their_input_lines )
    {
        BraidedLines scene;
        const ConstantMetric< 3 > metric{ 1. };
        auto run = run_to_corners( std::move( scene.wire.model ), metric );
        internal::remesh_lines( *run->data );
        const auto before = output_line( *run, scene.lines[0] ).mesh().nb_vertices()
                            + output_line( *run, scene.lines[1] ).mesh().nb_vertices();

        internal::RepairModelLines repair{ *run->data };
        repair.repair();

        EXPECT_GT( output_line( *run, scene.lines[0] ).mesh().nb_vertices()
                       + output_line( *run, scene.lines[1] ).mesh().nb_vertices(),
            before );
        for( const auto& line : scene.lines )
        {
            expect_linked_to_input( *run, line );
        }
        EXPECT_TRUE( is_valid_brep( run->output, lines_only() ) );
        EXPECT_TRUE( is_valid_brep( run->data->input, lines_only() ) );
    }
} // namespace
