// Triangulated surface: building a 1,000,000-triangle grid surface,
// computing its adjacencies and walking the fan of every vertex, with the
// heap held per triangle.

#include <memory>

#include <benchmark/benchmark.h>

#include <openorvane/mesh/mesh_library.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <bench/bench_meshes.hpp>

namespace
{
    using namespace orvane;

    // 1000 x 500 cells of two triangles each.
    constexpr index_t NX = 1000;
    constexpr index_t NY = 500;

    using bench::heap_growth_since;
    using bench::heap_in_use;

    std::unique_ptr< TriangulatedSurface< 3 > > grid_surface( bool with_adjacencies )
    {
        OpenOrvaneMeshLibrary::initialize();
        auto surface = TriangulatedSurface< 3 >::create();
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        for( index_t j = 0; j <= NY; j++ )
        {
            for( index_t i = 0; i <= NX; i++ )
            {
                builder->create_point( Point< 3 >{
                    { static_cast< double >( i ), static_cast< double >( j ), 0. } } );
            }
        }
        bench::create_grid_triangles( *builder, NX, NY );
        if( with_adjacencies )
        {
            builder->compute_polygon_adjacencies();
        }
        return surface;
    }

    void BM_BuildSurface( benchmark::State& state )
    {
        double bytes_per_triangle{ 0 };
        for( auto _ : state )
        {
            const auto before = heap_in_use();
            auto surface = grid_surface( false );
            bytes_per_triangle =
                heap_growth_since( before ) / surface->nb_polygons();
            benchmark::DoNotOptimize( surface.get() );
        }
        state.counters["triangles"] = 2. * NX * NY;
        state.counters["bytes_per_triangle"] = bytes_per_triangle;
    }
    BENCHMARK( BM_BuildSurface )->Unit( benchmark::kMillisecond )->Iterations( 3 );

    void BM_ComputeAdjacencies( benchmark::State& state )
    {
        auto surface = grid_surface( false );
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        const auto before = heap_in_use();
        for( auto _ : state )
        {
            builder->compute_polygon_adjacencies();
        }
        state.counters["ns_per_triangle"] = benchmark::Counter(
            static_cast< double >( surface->nb_polygons() ) * state.iterations(),
            benchmark::Counter::kIsRate | benchmark::Counter::kInvert );
        state.counters["bytes_per_triangle_after"] =
            heap_growth_since( before ) / surface->nb_polygons();
    }
    BENCHMARK( BM_ComputeAdjacencies )->Unit( benchmark::kMillisecond )->Iterations( 5 );

    void BM_WalkEveryFan( benchmark::State& state )
    {
        const auto surface = grid_surface( true );
        for( auto _ : state )
        {
            std::size_t nb_corners{ 0 };
            for( index_t v = 0; v < surface->nb_vertices(); v++ )
            {
                nb_corners += surface->polygons_around_vertex( v ).size();
            }
            benchmark::DoNotOptimize( nb_corners );
            if( nb_corners != 3 * std::size_t{ surface->nb_polygons() } )
            {
                state.SkipWithError( "a fan missed polygons" );
            }
        }
        state.counters["ns_per_vertex"] = benchmark::Counter(
            static_cast< double >( surface->nb_vertices() ) * state.iterations(),
            benchmark::Counter::kIsRate | benchmark::Counter::kInvert );
    }
    BENCHMARK( BM_WalkEveryFan )->Unit( benchmark::kMillisecond )->Iterations( 5 );

    void BM_EnableEdges( benchmark::State& state )
    {
        const auto surface = grid_surface( true );
        for( auto _ : state )
        {
            state.PauseTiming();
            auto clone = surface->clone();
            const auto before = heap_in_use();
            state.ResumeTiming();
            clone->enable_edges();
            state.PauseTiming();
            state.counters["edge_table_bytes_per_triangle"] =
                heap_growth_since( before ) / clone->nb_polygons();
            clone.reset();
            state.ResumeTiming();
        }
    }
    BENCHMARK( BM_EnableEdges )->Unit( benchmark::kMillisecond )->Iterations( 3 );
} // namespace
