// Metric set-up: choosing and building the graded grid metric of a model of
// about 1,000,000 triangles and 300 short lines (create_metric plus
// optimize over a grid capped at 10,000,000 cells), on 1 and 8 threads,
// with the heap it holds and the process's peak memory.

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <random>

#include <oneapi/tbb/task_arena.h>

#include <benchmark/benchmark.h>

#include <openorvane/basic/logger.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/model_library.hpp>

#include <simplex/metric/brep_metric_constraints.hpp>

#include <bench/bench_meshes.hpp>

namespace
{
    using namespace orvane;

    constexpr index_t NX = 708;
    constexpr index_t NY = 707;
    constexpr index_t NB_SHORT_LINES = 300;
    constexpr double SIZE = 100.;

    /// A wavy surface over a 100 x 100 square and 300 short lines (0.05 to
    /// 0.5 long) scattered in its box.
    BRep metric_model()
    {
        OpenOrvaneModelLibrary::initialize();
        BRep model;
        BRepBuilder builder{ model };
        const auto surface_id = builder.add_surface();
        auto& mesh = dynamic_cast< TriangulatedSurface< 3 >& >(
            builder.modifiable_surface( surface_id ).get_modifiable_mesh() );
        auto surface_builder = TriangulatedSurfaceBuilder< 3 >::create( mesh );
        for( index_t j = 0; j <= NY; j++ )
        {
            for( index_t i = 0; i <= NX; i++ )
            {
                const auto x = SIZE * i / NX;
                const auto y = SIZE * j / NY;
                surface_builder->create_point( Point< 3 >{ { x, y,
                    SIZE * ( 0.5 + 0.4 * std::sin( x / 15 ) * std::cos( y / 17 ) ) } } );
            }
        }
        bench::create_grid_triangles( *surface_builder, NX, NY );
        std::mt19937 random{ 11 };
        std::uniform_real_distribution< double > coordinate{ 1., SIZE - 1. };
        std::uniform_real_distribution< double > length{ 0.05, 0.5 };
        for( index_t l = 0; l < NB_SHORT_LINES; l++ )
        {
            const auto line = builder.add_line();
            auto line_builder = builder.line_mesh_builder( line );
            const Point< 3 > start{ { coordinate( random ), coordinate( random ),
                coordinate( random ) } };
            line_builder->create_point( start );
            line_builder->create_point(
                start + Vector< 3 >{ { length( random ), 0., 0. } } );
            line_builder->create_edge( 0, 1 );
        }
        return model;
    }

    void BM_CreateAndOptimizeGridMetric( benchmark::State& state )
    {
        const auto model = metric_model();
        const auto level = Logger::level();
        Logger::set_level( Logger::Level::error );
        tbb::task_arena arena{ static_cast< int >( state.range( 0 ) ) };
        double held{ 0 };
        double cells{ 0 };
        double create_ms{ 0 };
        double optimize_ms{ 0 };
        const auto since = []( std::chrono::steady_clock::time_point start ) {
            return std::chrono::duration< double, std::milli >(
                std::chrono::steady_clock::now() - start )
                .count();
        };
        for( auto _ : state )
        {
            const auto before = bench::heap_in_use();
            BRepMetricConstraints::Impl constraints{ model };
            constraints.set_default_metric( 5. );
            // The sequence of the metric set-up, timed by phase.
            arena.execute( [&] {
                benchmark::DoNotOptimize( constraints.constant_metric() );
                constraints.constrain_short_lines();
                const auto start = std::chrono::steady_clock::now();
                auto metric = constraints.create_metric();
                create_ms += since( start );
                const auto optimizing = std::chrono::steady_clock::now();
                metric->optimize( constraints.gradation() );
                optimize_ms += since( optimizing );
                held = bench::heap_growth_since( before );
            } );
            cells = constraints.grid()->nb_cells();
        }
        state.counters["create_metric_ms"] = create_ms / state.iterations();
        state.counters["optimize_ms"] = optimize_ms / state.iterations();
        Logger::set_level( level );
        rusage usage{};
        getrusage( RUSAGE_SELF, &usage );
        state.counters["threads"] = static_cast< double >( state.range( 0 ) );
        state.counters["triangles"] = 2. * NX * NY;
        state.counters["cells"] = cells;
        state.counters["heap_held_MB"] = held / 1e6;
        state.counters["peak_rss_MB"] = static_cast< double >( usage.ru_maxrss ) / 1e3;
    }
    BENCHMARK( BM_CreateAndOptimizeGridMetric )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Unit( benchmark::kMillisecond )
        ->Iterations( 3 )
        ->UseRealTime();
} // namespace
