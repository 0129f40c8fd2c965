// Conflict search of explicit modeling on two surfaces of 500,000 triangles
// each: a gently folded horizon and a sheet above it with a hundred narrow
// dimples reaching down through the horizon (a few hundred crossing
// triangle pairs). On 1 and 8 threads, with the resident-memory peak the
// search adds.

#include <cmath>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>

#include <benchmark/benchmark.h>
#include <oneapi/tbb/global_control.h>

#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <explicit/conflict_finder.hpp>
#include <explicit/explicit_brep_library.hpp>

#include <bench/bench_meshes.hpp>
#include <bench/bench_process.hpp>

namespace
{
    using namespace orvane;

    // 500 x 500 cells of two triangles each, per surface.
    constexpr index_t N = 500;
    constexpr int NB_DIMPLES = 100;

    template < typename Height >
    std::unique_ptr< TriangulatedSurface< 3 > > grid( const Height& height )
    {
        auto result = TriangulatedSurface< 3 >::create();
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *result );
        for( index_t j = 0; j <= N; j++ )
        {
            for( index_t i = 0; i <= N; i++ )
            {
                const auto x = static_cast< double >( i );
                const auto y = static_cast< double >( j );
                builder->create_point( Point< 3 >{ { x, y, height( x, y ) } } );
            }
        }
        bench::create_grid_triangles( *builder, N, N );
        builder->compute_polygon_adjacencies();
        return result;
    }

    const std::vector< std::unique_ptr< TriangulatedSurface< 3 > > >& scene()
    {
        static const auto surfaces = [] {
            ExplicitBRepLibrary::initialize();
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > result;
            result.push_back( grid( []( double x, double y ) {
                return 0.3 * std::sin( 0.05 * x ) * std::cos( 0.04 * y );
            } ) );
            std::mt19937 engine{ 7 };
            std::uniform_real_distribution< double > position{ 5., N - 5. };
            std::vector< std::pair< double, double > > dimples;
            for( int d = 0; d < NB_DIMPLES; d++ )
            {
                dimples.emplace_back( position( engine ), position( engine ) );
            }
            result.push_back( grid( [&dimples]( double x, double y ) {
                double z = 2.;
                for( const auto& [cx, cy] : dimples )
                {
                    const auto r2 = ( x - cx ) * ( x - cx ) + ( y - cy ) * ( y - cy );
                    z -= 4. * std::exp( -r2 / 2. );
                }
                return z;
            } ) );
            return result;
        }();
        return surfaces;
    }

    void conflict_search( benchmark::State& state )
    {
        const auto& surfaces = scene();
        internal::ModelerMeshes meshes;
        double nb_triangles{ 0 };
        for( const auto& surface : surfaces )
        {
            meshes.surfaces.push_back( surface.get() );
            nb_triangles += surface->nb_polygons();
        }
        const tbb::global_control threads{ tbb::global_control::max_allowed_parallelism,
            static_cast< std::size_t >( state.range( 0 ) ) };
        double nb_elements{ 0 };
        double nb_conflicts{ 0 };
        double peak_growth_kb{ 0 };
        const auto cpu_before = bench::process_cpu_seconds();
        for( auto _ : state )
        {
            bench::reset_peak_rss();
            const auto before = bench::status_kb( "VmRSS" );
            const auto graph = internal::find_conflicts( meshes );
            peak_growth_kb = std::max( peak_growth_kb, bench::status_kb( "VmHWM" ) - before );
            nb_elements = graph ? ( *graph )->graph().nb_vertices() : 0;
            nb_conflicts = graph ? ( *graph )->graph().nb_edges() : 0;
        }
        state.counters["all_threads_cpu_ms"] = 1e3 * ( bench::process_cpu_seconds() - cpu_before )
                                               / static_cast< double >( state.iterations() );
        state.counters["triangles"] = nb_triangles;
        state.counters["threads"] = static_cast< double >( state.range( 0 ) );
        state.counters["conflicting_elements"] = nb_elements;
        state.counters["conflicts"] = nb_conflicts;
        state.counters["peak_rss_growth_MB"] = peak_growth_kb / 1024.;
        state.counters["peak_rss_MB"] = bench::status_kb( "VmHWM" ) / 1024.;
    }
    BENCHMARK( conflict_search )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Unit( benchmark::kMillisecond )
        ->Iterations( 3 )
        ->UseRealTime();
} // namespace
