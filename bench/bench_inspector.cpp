// Inspector: the self-intersections of a 1,000,000-triangle surface (a wavy
// grid crossed by a hundred needle triangles, a few hundred crossings), on 1
// and 8 threads, with the resident-memory peak the inspector adds; then its
// two halves, the set-up (triangle boxes and tree) and the search.

#include <cmath>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include <sys/resource.h>

#include <benchmark/benchmark.h>
#include <oneapi/tbb/global_control.h>

#include <openorvane/inspector/inspector_library.hpp>
#include <openorvane/inspector/triangulated_surface_intersections.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <bench/bench_meshes.hpp>
#include <bench/bench_process.hpp>

namespace
{
    using namespace orvane;

    // 1000 x 500 cells of two triangles each.
    constexpr index_t NX = 1000;
    constexpr index_t NY = 500;
    constexpr int NB_NEEDLES = 120;

    const TriangulatedSurface< 3 >& crossed_surface()
    {
        static const auto surface = [] {
            OpenOrvaneInspectorLibrary::initialize();
            auto result = TriangulatedSurface< 3 >::create();
            auto builder = TriangulatedSurfaceBuilder< 3 >::create( *result );
            for( index_t j = 0; j <= NY; j++ )
            {
                for( index_t i = 0; i <= NX; i++ )
                {
                    builder->create_point( Point< 3 >{ { static_cast< double >( i ),
                        static_cast< double >( j ),
                        0.4 * std::sin( 0.07 * i ) * std::cos( 0.05 * j ) } } );
                }
            }
            bench::create_grid_triangles( *builder, NX, NY );
            // Needle triangles through the grid, as left by a merge of
            // crossing surfaces: each crosses a few grid triangles.
            std::mt19937 engine{ 42 };
            std::uniform_real_distribution< double > x{ 2., NX - 2. };
            std::uniform_real_distribution< double > y{ 2., NY - 2. };
            for( int needle = 0; needle < NB_NEEDLES; needle++ )
            {
                const auto cx = x( engine );
                const auto cy = y( engine );
                const auto first = builder->create_point( Point< 3 >{ { cx, cy, -1. } } );
                builder->create_point( Point< 3 >{ { cx + 0.6, cy + 0.3, 1. } } );
                builder->create_point( Point< 3 >{ { cx - 0.3, cy + 0.6, 1. } } );
                builder->create_triangle( { first, first + 1, first + 2 } );
            }
            return result;
        }();
        return *surface;
    }

    void self_intersections( benchmark::State& state )
    {
        const auto& surface = crossed_surface();
        const tbb::global_control threads{ tbb::global_control::max_allowed_parallelism,
            static_cast< std::size_t >( state.range( 0 ) ) };
        double nb_pairs{ 0 };
        double peak_growth_kb{ 0 };
        const auto cpu_before = bench::process_cpu_seconds();
        for( auto _ : state )
        {
            bench::reset_peak_rss();
            const auto before = bench::status_kb( "VmRSS" );
            const TriangulatedSurfaceIntersections< 3 > inspector{ surface };
            const auto pairs = inspector.intersecting_elements();
            peak_growth_kb = std::max( peak_growth_kb, bench::status_kb( "VmHWM" ) - before );
            nb_pairs = static_cast< double >( pairs.size() );
            benchmark::DoNotOptimize( pairs.data() );
        }
        // Work of all threads, which a loaded machine does not hide.
        state.counters["all_threads_cpu_ms"] =
            1e3 * ( bench::process_cpu_seconds() - cpu_before ) / static_cast< double >( state.iterations() );
        state.counters["triangles"] = surface.nb_polygons();
        state.counters["threads"] = static_cast< double >( state.range( 0 ) );
        state.counters["intersecting_pairs"] = nb_pairs;
        state.counters["peak_rss_growth_MB"] = peak_growth_kb / 1024.;
    }
    BENCHMARK( self_intersections )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Unit( benchmark::kMillisecond )
        ->Iterations( 3 )
        ->UseRealTime();

    void construction_only( benchmark::State& state )
    {
        const auto& surface = crossed_surface();
        const tbb::global_control threads{ tbb::global_control::max_allowed_parallelism,
            static_cast< std::size_t >( state.range( 0 ) ) };
        for( auto _ : state )
        {
            const TriangulatedSurfaceIntersections< 3 > inspector{ surface };
            benchmark::DoNotOptimize( &inspector );
        }
    }
    BENCHMARK( construction_only )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Unit( benchmark::kMillisecond )
        ->Iterations( 3 )
        ->UseRealTime();

    void search_only( benchmark::State& state )
    {
        const auto& surface = crossed_surface();
        const tbb::global_control threads{ tbb::global_control::max_allowed_parallelism,
            static_cast< std::size_t >( state.range( 0 ) ) };
        const TriangulatedSurfaceIntersections< 3 > inspector{ surface };
        for( auto _ : state )
        {
            const auto pairs = inspector.intersecting_elements();
            benchmark::DoNotOptimize( pairs.data() );
        }
    }
    BENCHMARK( search_only )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Unit( benchmark::kMillisecond )
        ->Iterations( 3 )
        ->UseRealTime();
} // namespace
