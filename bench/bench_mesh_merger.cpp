// Surface merge: two 500,000-triangle grid surfaces side by side, sharing
// the 501 vertices of one border column, merged at the model tolerance on 1
// and 8 threads, with the heap held by the merger and the merged surface.

#include <memory>
#include <vector>

#include <sys/resource.h>

#include <benchmark/benchmark.h>
#include <oneapi/tbb/task_arena.h>

#include <openorvane/mesh/mesh_library.hpp>
#include <openorvane/mesh/surface_mesh_merger.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <bench/bench_meshes.hpp>
#include <bench/bench_process.hpp>

namespace
{
    using namespace orvane;

    // 500 x 500 cells of two triangles each, per surface.
    constexpr index_t N = 500;

    std::unique_ptr< TriangulatedSurface< 3 > > grid_surface( double x_offset )
    {
        OpenOrvaneMeshLibrary::initialize();
        auto surface = TriangulatedSurface< 3 >::create();
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        for( index_t j = 0; j <= N; j++ )
        {
            for( index_t i = 0; i <= N; i++ )
            {
                builder->create_point( Point< 3 >{
                    { x_offset + i, static_cast< double >( j ), 0. } } );
            }
        }
        bench::create_grid_triangles( *builder, N, N );
        builder->compute_polygon_adjacencies();
        return surface;
    }

    void BM_MergeTwoSurfaces( benchmark::State& state )
    {
        const auto left = grid_surface( 0. );
        const auto right = grid_surface( static_cast< double >( N ) );
        const std::vector< const SurfaceMesh< 3 >* > surfaces{ left.get(), right.get() };
        tbb::task_arena arena{ static_cast< int >( state.range( 0 ) ) };
        double heap_mib{ 0 };
        for( auto _ : state )
        {
            arena.execute( [&] {
                const auto before = bench::heap_in_use();
                const detail::SurfaceMeshMerger< 3 > merger{ surfaces, GLOBAL_EPSILON };
                auto merged = merger.merge();
                heap_mib = bench::heap_growth_since( before ) / ( 1024. * 1024. );
                benchmark::DoNotOptimize( merged.get() );
            } );
        }
        state.counters["threads"] = static_cast< double >( state.range( 0 ) );
        state.counters["triangles"] = 4. * N * N;
        state.counters["heap_MiB"] = heap_mib;
        state.counters["peak_rss_MiB"] = bench::peak_rss_mib();
    }
    BENCHMARK( BM_MergeTwoSurfaces )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Unit( benchmark::kMillisecond )
        ->Iterations( 3 );
} // namespace
