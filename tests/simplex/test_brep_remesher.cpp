#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/point_set.hpp>

#include <simplex/brep_remesher.hpp>
#include <simplex/corner/corner_remesher.hpp>
#include <simplex/line/line_remesher.hpp>
#include <simplex/metric/constant_metric.hpp>
#include <simplex/model_splitter.hpp>

#include <tests/simplex/remeshing_fixtures.hpp>
#include <tests/support/brep_checks.hpp>
#include <tests/support/brep_fixtures.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;

    constexpr char REMESH_DOUBLE[] = "double: remesh surfaces";
    constexpr char RELAX_DOUBLE[] = "double: relax surfaces";

    /// Surface stages that leave the surfaces empty and log their calls.
    internal::SurfaceStages logging_stages( const Metric< 3 >& metric )
    {
        return { []( RemeshingData< BRep >& data ) {
                    // Corners and lines are remeshed before the surfaces.
                    for( const auto& line : data.output->lines() )
                    {
                        EXPECT_GT( line.mesh().nb_edges(), 0 );
                    }
                    for( const auto& corner : data.output->corners() )
                    {
                        EXPECT_EQ( corner.mesh().nb_vertices(), 1 );
                    }
                    Logger::log_info( REMESH_DOUBLE );
                },
            [&metric]( BRep&, BRepGeometricModifier&,
                const internal::SurfaceRelaxerOptions& options ) {
                EXPECT_TRUE( options.smooth_vertices );
                EXPECT_TRUE( options.flip_edges );
                EXPECT_EQ( options.metric, &metric );
                Logger::log_info( RELAX_DOUBLE );
            } };
    }

    /// The stage starts and the doubles' calls, in order.
    std::vector< std::string > stage_log( const LoggerCapture& capture )
    {
        std::vector< std::string > stages;
        for( const auto& message : capture.messages() )
        {
            if( message.text.ends_with( " started" ) || message.text.starts_with( "double" ) )
            {
                stages.push_back( message.text );
            }
        }
        return stages;
    }

    BRepRemeshOptions no_switch()
    {
        return { false, false, false, false, false, false };
    }

    TEST( BRepRemesher, an_empty_model_gives_an_empty_model_and_mapping )
    {
        SimplexBRepLibrary::initialize();
        const ConstantMetric< 3 > metric{ 1. };
        BRep model;
        auto [output, mapping] = internal::remesh_brep(
            std::move( model ), metric, BRepRemeshOptions{}, logging_stages( metric ) );
        EXPECT_EQ( output.nb_corners() + output.nb_lines() + output.nb_surfaces()
                       + output.nb_blocks(),
            0 );
        EXPECT_EQ( output.nb_unique_vertices(), 0 );
        for( const auto& type : mapping.mapping_types() )
        {
            EXPECT_EQ( mapping.at( type ).size(), 0 ) << type.get();
        }
    }

    TEST( BRepRemesher, stages_run_in_order_under_their_switches )
    {
        const std::vector< std::string > base{ "Model split started",
            "Remeshing Corners started", "Remeshing Lines started", REMESH_DOUBLE };
        auto with_relaxations = base;
        with_relaxations.insert(
            with_relaxations.end(), { "Relaxing Lines started", RELAX_DOUBLE } );
        auto only_blocks = no_switch();
        only_blocks.relax_blocks = true;
        struct Case
        {
            const char* name;
            BRepRemeshOptions options;
            std::vector< std::string > stages;
        };
        for( const auto& [name, options, stages] :
            { Case{ "default road", BRepRemeshOptions{}, with_relaxations },
                Case{ "no switch", no_switch(), base },
                Case{ "block relaxation alone", only_blocks, base } } )
        {
            auto fixture = tetrahedron_model();
            SimplexBRepLibrary::initialize();
            const ConstantMetric< 3 > metric{ 0.3 };
            LoggerCapture capture;
            const auto [output, mapping] = internal::remesh_brep(
                std::move( fixture.model ), metric, options, logging_stages( metric ) );
            EXPECT_EQ( stage_log( capture ), stages ) << name;
            // One output component per input component of each type.
            EXPECT_EQ( mapping.at( Corner< 3 >::component_type_static() ).size(), 4 );
            EXPECT_EQ( mapping.at( Line< 3 >::component_type_static() ).size(), 6 );
            EXPECT_EQ( mapping.at( Surface< 3 >::component_type_static() ).size(), 4 );
            EXPECT_EQ( mapping.at( Block< 3 >::component_type_static() ).size(), 1 );
            for( const auto& corner : fixture.corners )
            {
                EXPECT_TRUE( output.has_corner(
                    mapping.at( Corner< 3 >::component_type_static() ).in2out( corner ) ) );
            }
            expect_conformal_corners_and_lines( output, 0.3 );
        }
    }

    TEST( BRepRemesher, corners_and_lines_conform_on_shared_lines )
    {
        struct Case
        {
            const char* name;
            BRep model;
            double metric;
        };
        std::vector< Case > cases;
        cases.push_back( { "two grids", std::move( two_grid_surfaces_sharing_a_line( 8 ).model ),
            0.15 } );
        cases.push_back( { "tetrahedron", std::move( tetrahedron_model().model ), 0.2 } );
        for( auto& [name, model, size] : cases )
        {
            SimplexBRepLibrary::initialize();
            const ConstantMetric< 3 > metric{ size };
            auto options = no_switch();
            options.relax_lines = true;
            const auto [output, mapping] = internal::remesh_brep(
                std::move( model ), metric, options, logging_stages( metric ) );
            SCOPED_TRACE( name );
            expect_conformal_corners_and_lines( output, size );
        }
    }

    TEST( BRepRemesher, input_surfaces_hold_every_remeshed_line_vertex )
    {
        auto fixture = tetrahedron_model();
        const ConstantMetric< 3 > metric{ 0.2 };
        RemeshingRun run{ std::move( fixture.model ), metric };
        internal::prepare_remeshing( *run.data );
        internal::remesh_corners( *run.data );
        internal::remesh_lines( *run.data );
        const auto& input = run.data->input;
        for( const auto& line : input.lines() )
        {
            const auto& mesh = line.mesh();
            const auto attribute = mesh.vertex_attribute_manager().find_attribute< index_t >(
                internal::REMESHED_LINE_ATTRIBUTE );
            index_t nb_linked{ 0 };
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                if( attribute->value( v ) == NO_ID )
                {
                    continue;
                }
                nb_linked++;
                const auto unique = input.unique_vertex( { line.component_id(), v } );
                for( const auto& surface : input.incidences( line ) )
                {
                    EXPECT_FALSE( input.mesh_component_vertices( unique, surface.id() ).empty() )
                        << "line vertex " << v;
                }
            }
            const auto output_id = internal::output_component_id( *run.data, line.component_id() );
            EXPECT_EQ( nb_linked, run.output.line( output_id ).mesh().nb_vertices() );
        }
        EXPECT_TRUE( is_valid_brep( input ) );
    }
} // namespace
