// Regular grid: conservative rasterisation of a 1,000,000-triangle wavy
// surface onto a grid of 1,000,000 cells, on 1 and 8 threads.

#include <cmath>
#include <memory>
#include <numeric>
#include <vector>

#include <oneapi/tbb/task_arena.h>

#include <benchmark/benchmark.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/mesh/grid_rasterization.hpp>
#include <openorvane/mesh/mesh_library.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <bench/bench_meshes.hpp>

namespace
{
    using namespace orvane;

    // 708 x 707 squares of two triangles: 1,001,112 triangles.
    constexpr index_t NX = 708;
    constexpr index_t NY = 707;

    std::unique_ptr< TriangulatedSurface< 3 > > wavy_surface()
    {
        OpenOrvaneMeshLibrary::initialize();
        auto surface = TriangulatedSurface< 3 >::create();
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        for( index_t j = 0; j <= NY; j++ )
        {
            for( index_t i = 0; i <= NX; i++ )
            {
                const auto x = static_cast< double >( i ) / NX;
                const auto y = static_cast< double >( j ) / NY;
                builder->create_point( Point< 3 >{
                    { x, y, 0.5 + 0.4 * std::sin( 6 * x ) * std::cos( 5 * y ) } } );
            }
        }
        bench::create_grid_triangles( *builder, NX, NY );
        return surface;
    }

    void BM_RasterizeTriangles( benchmark::State& state )
    {
        const auto surface = wavy_surface();
        const auto grid = build_grid_from_bbox_target_length_and_maximum_cell_number(
            surface->bounding_box(), 0.009, 1'000'000 );
        tbb::task_arena arena{ static_cast< int >( state.range( 0 ) ) };
        // One count per triangle: no shared counter between the tasks.
        std::vector< std::size_t > listed( surface->nb_polygons(), 0 );
        for( auto _ : state )
        {
            arena.execute( [&] {
                async::parallel_for( 0, surface->nb_polygons(), [&]( index_t t ) {
                    listed[t] =
                        conservative_rasterize_triangle( *grid, surface->triangle( t ) ).size();
                } );
            } );
        }
        state.counters["threads"] = static_cast< double >( state.range( 0 ) );
        state.counters["triangles"] = surface->nb_polygons();
        state.counters["cells"] = grid->nb_cells();
        state.counters["cells_listed"] = static_cast< double >(
            std::accumulate( listed.begin(), listed.end(), std::size_t{ 0 } ) );
    }
    BENCHMARK( BM_RasterizeTriangles )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Unit( benchmark::kMillisecond )
        ->Iterations( 3 )
        ->UseRealTime();
} // namespace
