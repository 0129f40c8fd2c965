#include <cmath>
#include <memory>
#include <random>

#include <benchmark/benchmark.h>

#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <common/modifier/triangle_preview.hpp>
#include <common/modifier/triangulated_surface_modifier.hpp>

#include <bench/bench_meshes.hpp>

namespace
{
    using namespace orvane;

    struct Surface
    {
        std::unique_ptr< TriangulatedSurface< 3 > > mesh;
        std::unique_ptr< TriangulatedSurfaceBuilder< 3 > > builder;
    };

    /// A wavy grid of n by n squares, two triangles each.
    Surface make_grid( index_t n )
    {
        Surface surface;
        surface.mesh = std::make_unique< OpenOrvaneTriangulatedSurface< 3 > >();
        surface.builder =
            std::make_unique< OpenOrvaneTriangulatedSurfaceBuilder< 3 > >(
                *surface.mesh );
        for( index_t j = 0; j <= n; j++ )
        {
            for( index_t i = 0; i <= n; i++ )
            {
                const auto x = static_cast< double >( i );
                const auto y = static_cast< double >( j );
                surface.builder->create_point( Point< 3 >{
                    { x, y, 0.3 * std::sin( 0.4 * x ) * std::cos( 0.3 * y ) } } );
            }
        }
        bench::create_grid_triangles( *surface.builder, n, n );
        surface.builder->compute_polygon_adjacencies();
        return surface;
    }

    PolygonEdge random_live_edge( const TriangulatedSurface< 3 >& mesh,
        const TriangulatedSurfaceModifier< 3 >& modifier,
        std::mt19937& random )
    {
        std::uniform_int_distribution< index_t > pick{ 0, mesh.nb_polygons() - 1 };
        while( true )
        {
            const auto polygon = pick( random );
            if( modifier.is_polygon_active( polygon ) )
            {
                return { polygon,
                    static_cast< local_index_t >( random() % 3 ) };
            }
        }
    }

    /// Edge splits at the midpoint on a 131,072-triangle surface.
    void split_edges( benchmark::State& state )
    {
        auto surface = make_grid( 256 );
        TriangulatedSurfaceModifier< 3 > modifier{ *surface.mesh,
            *surface.builder };
        std::mt19937 random{ 7 };
        for( auto _ : state )
        {
            const auto edge = random_live_edge( *surface.mesh, modifier, random );
            benchmark::DoNotOptimize(
                modifier.split_edge( edge, surface.mesh->edge_barycenter( edge ) ) );
        }
        state.SetItemsProcessed( state.iterations() );
    }
    BENCHMARK( split_edges );

    /// Edge collapses at the midpoint, each after its validity test, on a
    /// 131,072-triangle surface with an edge table.
    void collapse_edges( benchmark::State& state )
    {
        auto surface = make_grid( 256 );
        surface.mesh->enable_edges();
        TriangulatedSurfaceModifier< 3 > modifier{ *surface.mesh,
            *surface.builder };
        std::mt19937 random{ 11 };
        for( auto _ : state )
        {
            const auto edge = random_live_edge( *surface.mesh, modifier, random );
            const auto ends = surface.mesh->polygon_edge_vertices( edge );
            const auto point = surface.mesh->edge_barycenter( edge );
            if( is_collapse_edge_valid( *surface.mesh, ends, point ) )
            {
                benchmark::DoNotOptimize( modifier.collapse_edge( edge, point ) );
            }
        }
        state.SetItemsProcessed( state.iterations() );
    }
    BENCHMARK( collapse_edges )->Iterations( 20000 );

    /// Clean-up of a 131,072-triangle surface after 20,000 triangle splits.
    void clean_after_splits( benchmark::State& state )
    {
        for( auto _ : state )
        {
            state.PauseTiming();
            auto surface = make_grid( 256 );
            TriangulatedSurfaceModifier< 3 > modifier{ *surface.mesh,
                *surface.builder };
            std::mt19937 random{ 3 };
            for( index_t split = 0; split < 20000; split++ )
            {
                const auto edge =
                    random_live_edge( *surface.mesh, modifier, random );
                modifier.split_triangle( edge.polygon_id,
                    surface.mesh->polygon_barycenter( edge.polygon_id ) );
            }
            state.ResumeTiming();
            benchmark::DoNotOptimize( modifier.clean() );
        }
    }
    BENCHMARK( clean_after_splits )->Unit( benchmark::kMillisecond );
} // namespace
