#include <cmath>
#include <numbers>

#include <benchmark/benchmark.h>
#include <oneapi/tbb/global_control.h>

#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <simplex/corner/corner_remesher.hpp>
#include <simplex/line/line_remesher.hpp>
#include <simplex/line/line_repair.hpp>
#include <simplex/metric/constant_metric.hpp>
#include <simplex/model_splitter.hpp>
#include <simplex/remeshing_data.hpp>
#include <simplex/simplex_brep_library.hpp>

#include <bench/bench_process.hpp>

// The line-intersection repair on many pairs of close lines. Run with the
// argument 1 and 8: the pool is limited to that many threads for the timed
// repair (only its set-up runs on the pool).

namespace
{
    using namespace orvane;

    /// Adds a line between two new corners through the points.
    void add_line_with_corners( BRep& model, const std::vector< Point< 3 > >& points )
    {
        BRepBuilder builder{ model };
        const auto nb_points = static_cast< index_t >( points.size() );
        const auto first_unique = builder.create_unique_vertices( nb_points );
        const auto line = builder.add_line();
        auto mesh = builder.line_mesh_builder( line );
        const ComponentID component{ Line< 3 >::component_type_static(), line };
        for( index_t v = 0; v < nb_points; v++ )
        {
            mesh->create_point( points[v] );
            builder.set_unique_vertex( { component, v }, first_unique + v );
            if( v > 0 )
            {
                mesh->create_edge( v - 1, v );
            }
        }
        for( const auto end : { index_t{ 0 }, nb_points - 1 } )
        {
            const auto corner = builder.add_corner();
            builder.corner_mesh_builder( corner )->create_point( points[end] );
            builder.set_unique_vertex(
                { { Corner< 3 >::component_type_static(), corner }, 0 }, first_unique + end );
            builder.add_corner_line_boundary_relationship(
                model.corner( corner ), model.line( line ) );
        }
    }

    /// `nb_pairs` pairs of wavy lines 20 long, 0.015 apart, out of phase, of
    /// 400 input edges each; pairs 2 apart. With a metric of 1 their waves
    /// (0.03 high) are below the line remesher's tolerance, so the remeshed
    /// chords of each pair cross in many places.
    BRep braided_pairs_model( index_t nb_pairs )
    {
        BRep model;
        for( index_t pair = 0; pair < nb_pairs; pair++ )
        {
            const auto offset = 2. * double( pair );
            for( const index_t k : { 0, 1 } )
            {
                std::vector< Point< 3 > > points;
                for( index_t i = 0; i <= 400; i++ )
                {
                    const auto x = 0.05 * double( i );
                    points.push_back( Point< 3 >{ { x,
                        offset + 0.015 * k
                            + 0.03 * std::sin( 2 * std::numbers::pi * x / 0.37 + 0.4 * k ),
                        0. } } );
                }
                add_line_with_corners( model, points );
            }
        }
        return model;
    }

    void repair_lines_of_close_pairs( benchmark::State& state )
    {
        SimplexBRepLibrary::initialize();
        constexpr index_t NB_PAIRS = 200;
        const auto threads = static_cast< std::size_t >( state.range( 0 ) );
        const ConstantMetric< 3 > metric{ 1. };
        double cpu_seconds{ 0 };
        double output_vertices{ 0 };
        for( auto _ : state )
        {
            state.PauseTiming();
            auto input = braided_pairs_model( NB_PAIRS );
            BRep output;
            {
                RemeshingData< BRep > data{ std::move( input ), output, metric };
                internal::prepare_remeshing( data );
                internal::remesh_corners( data );
                internal::remesh_lines( data );
                const tbb::global_control limit{
                    tbb::global_control::max_allowed_parallelism, threads
                };
                // The peak then covers the repair over the live models.
                bench::reset_peak_rss();
                const auto cpu_start = bench::process_cpu_seconds();
                state.ResumeTiming();
                internal::RepairModelLines repair{ data };
                repair.repair();
                state.PauseTiming();
                cpu_seconds += bench::process_cpu_seconds() - cpu_start;
            }
            output_vertices = 0;
            for( const auto& line : output.lines() )
            {
                output_vertices += line.mesh().nb_vertices();
            }
            state.ResumeTiming();
        }
        state.SetItemsProcessed( state.iterations() * 2 * NB_PAIRS );
        state.counters["all_threads_cpu_ms"] =
            1e3 * cpu_seconds / static_cast< double >( state.iterations() );
        state.counters["output_line_vertices"] = output_vertices;
        state.counters["peak_rss_MB"] = bench::peak_rss_mib();
    }
    BENCHMARK( repair_lines_of_close_pairs )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Iterations( 2 )
        ->Unit( benchmark::kMillisecond )
        ->UseRealTime();
} // namespace
