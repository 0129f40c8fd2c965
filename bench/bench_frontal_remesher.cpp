#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

#include <benchmark/benchmark.h>
#include <oneapi/tbb/global_control.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <simplex/metric/constant_metric.hpp>
#include <simplex/simplex_brep_library.hpp>
#include <simplex/surface/frontal/frontal_remesher_3d.hpp>

#include <bench/bench_meshes.hpp>
#include <bench/bench_process.hpp>

// Frontal remesh of a wavy unit square of 2 x 200 x 200 = 80,000 input
// triangles at a constant size of 0.0034, about 200,000 output triangles,
// the border fixed every 0.0035. Run with the argument 1 and 8: that many
// surfaces are remeshed at once, one pool task each (one remesh never runs
// on more than one thread), on a pool limited to that many threads.

namespace
{
    using namespace orvane;

    constexpr index_t CELLS = 200;
    constexpr double TARGET = 0.0034;

    struct WavySurface
    {
        std::unique_ptr< TriangulatedSurface< 3 > > mesh;
        std::unique_ptr< TriangulatedSurfaceBuilder< 3 > > builder;
        std::vector< index_t > fixed;
    };

    WavySurface wavy_surface()
    {
        WavySurface surface;
        surface.mesh = TriangulatedSurface< 3 >::create();
        surface.builder = TriangulatedSurfaceBuilder< 3 >::create( *surface.mesh );
        for( index_t j = 0; j <= CELLS; j++ )
        {
            for( index_t i = 0; i <= CELLS; i++ )
            {
                const auto x = double( i ) / CELLS;
                const auto y = double( j ) / CELLS;
                const auto z = 0.08 * std::sin( 2 * std::numbers::pi * x )
                               * std::sin( 3 * std::numbers::pi * y );
                surface.builder->create_point( Point< 3 >{ { x, y, z } } );
            }
        }
        bench::create_grid_triangles( *surface.builder, CELLS, CELLS );
        surface.builder->compute_polygon_adjacencies();
        // Every border vertex: the border elements are the input's border
        // edges, a little longer than the target.
        const auto at = []( index_t i, index_t j ) {
            return i + ( CELLS + 1 ) * j;
        };
        for( index_t i = 0; i < CELLS; i++ )
        {
            surface.fixed.push_back( at( i, 0 ) );
            surface.fixed.push_back( at( CELLS, i ) );
            surface.fixed.push_back( at( CELLS - i, CELLS ) );
            surface.fixed.push_back( at( 0, CELLS - i ) );
        }
        return surface;
    }

    // A checksum of everything a remesh hands back: output points (their
    // bits), triangles, vertex records and hole pieces. Speed work must leave
    // it unchanged. Folded to 48 bits so that a benchmark counter (a double)
    // carries it exactly.
    std::uint64_t mix( std::uint64_t hash, std::uint64_t value )
    {
        hash ^= value + 0x9e3779b97f4a7c15ULL + ( hash << 6 ) + ( hash >> 2 );
        return hash * 0xff51afd7ed558ccdULL;
    }

    std::uint64_t surface_checksum(
        std::uint64_t hash, const TriangulatedSurface< 3 >& mesh )
    {
        hash = mix( hash, mesh.nb_vertices() );
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            for( index_t d = 0; d < 3; d++ )
            {
                hash = mix( hash, std::bit_cast< std::uint64_t >( mesh.point( v ).value( d ) ) );
            }
        }
        hash = mix( hash, mesh.nb_polygons() );
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            for( const auto vertex : mesh.polygon_vertices( p ) )
            {
                hash = mix( hash, vertex );
            }
        }
        return hash;
    }

    double result_checksum( const internal::FrontalResult< 3 >& result )
    {
        auto hash = surface_checksum( 0, *result.mesh );
        for( const auto& [macro, fixed] : result.created_vertices )
        {
            hash = mix( hash, macro * 2 + ( fixed ? 1 : 0 ) );
        }
        for( const auto& hole : result.holes )
        {
            hash = surface_checksum( hash, *hole.mesh );
            for( const auto vertex : hole.output_vertices )
            {
                hash = mix( hash, vertex );
            }
        }
        return static_cast< double >( hash >> 16 );
    }

    void BM_frontal_remesh( benchmark::State& state )
    {
        SimplexBRepLibrary::initialize();
        const auto nb_threads = static_cast< index_t >( state.range( 0 ) );
        const tbb::global_control threads{ tbb::global_control::max_allowed_parallelism,
            nb_threads };
        const ConstantMetric< 3 > metric{ TARGET };
        double output_triangles{ 0 };
        double hole_pieces{ 0 };
        double checksum{ 0 };
        double seconds{ 0 };
        double cpu_seconds{ 0 };
        for( auto _ : state )
        {
            state.PauseTiming();
            std::vector< WavySurface > surfaces;
            for( index_t s = 0; s < nb_threads; s++ )
            {
                surfaces.push_back( wavy_surface() );
            }
            std::vector< internal::FrontalResult< 3 > > results( nb_threads );
            state.ResumeTiming();
            const auto start = std::chrono::steady_clock::now();
            const auto cpu_start = bench::process_cpu_seconds();
            std::vector< async::Task< void > > tasks;
            for( index_t s = 0; s < nb_threads; s++ )
            {
                tasks.push_back( async::spawn( [&, s] {
                    auto& surface = surfaces[s];
                    internal::FrontalRemesher3D remesher{ *surface.mesh,
                        *surface.builder, metric, surface.fixed };
                    remesher.remesh( results[s] );
                } ) );
            }
            async::wait_all( tasks );
            cpu_seconds += bench::process_cpu_seconds() - cpu_start;
            seconds += std::chrono::duration< double >(
                std::chrono::steady_clock::now() - start )
                           .count();
            output_triangles = 0;
            hole_pieces = 0;
            for( const auto& result : results )
            {
                output_triangles += result.mesh->nb_polygons();
                hole_pieces += static_cast< double >( result.holes.size() );
            }
            checksum = result_checksum( results.front() );
            benchmark::DoNotOptimize( output_triangles );
        }
        const auto iterations = static_cast< double >( state.iterations() );
        state.counters["threads"] = static_cast< double >( nb_threads );
        state.counters["input_triangles"] = 2. * CELLS * CELLS;
        state.counters["output_triangles"] = output_triangles / nb_threads;
        state.counters["hole_pieces"] = hole_pieces / nb_threads;
        state.counters["triangles_per_s_per_thread"] =
            output_triangles * iterations / seconds / nb_threads;
        // The machine may be shared: CPU time tells the work per thread
        // better than the wall clock does.
        state.counters["triangles_per_cpu_s"] =
            output_triangles * iterations / cpu_seconds;
        state.counters["output_checksum"] = checksum;
        state.counters["peak_rss_mb"] = bench::peak_rss_mib();
    }
} // namespace

BENCHMARK( BM_frontal_remesh )->Arg( 1 )->Arg( 8 )->Unit( benchmark::kMillisecond )->Iterations( 1 );
