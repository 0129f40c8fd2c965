// Model building from conformal meshes and the feature-angle split, on ten
// surfaces of about 100,000 triangles each, on 1 and 8 threads.

#include <sys/resource.h>

#include <cmath>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include <oneapi/tbb/task_arena.h>

#include "bench_meshes.hpp"
#include "bench_process.hpp"

#include <conversion/conversion_model_library.hpp>
#include <conversion/feature_angle_split.hpp>
#include <conversion/model_builder_from_meshes.hpp>

namespace orvane
{
    namespace
    {
        constexpr index_t NB_SURFACES = 10;
        constexpr index_t CELLS = 224;

        /// Sheet k: a grid of CELLS x CELLS squares at height 10 k, gently
        /// waved, with one sharp crease along x = CELLS / 2.
        std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > sheets()
        {
            ConversionModelLibrary::initialize();
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > meshes;
            for( index_t k = 0; k < NB_SURFACES; k++ )
            {
                auto mesh = TriangulatedSurface< 3 >::create();
                auto builder = TriangulatedSurfaceBuilder< 3 >::create( *mesh );
                for( index_t j = 0; j <= CELLS; j++ )
                {
                    for( index_t i = 0; i <= CELLS; i++ )
                    {
                        const auto x = static_cast< double >( i );
                        const auto y = static_cast< double >( j );
                        const auto z = 1000. * k + 0.5 * std::sin( x / 7. ) * std::cos( y / 5. )
                                       + 0.8 * std::abs( x - CELLS / 2. );
                        builder->create_point( Point< 3 >{ { x, y, z } } );
                    }
                }
                bench::create_grid_triangles( *builder, CELLS, CELLS );
                builder->compute_polygon_adjacencies();
                meshes.push_back( std::move( mesh ) );
            }
            return meshes;
        }

        void build_from_meshes( benchmark::State& state )
        {
            const auto meshes = sheets();
            std::vector< const SurfaceMesh< 3 >* > pointers;
            for( const auto& mesh : meshes )
            {
                pointers.push_back( mesh.get() );
            }
            tbb::task_arena arena{ static_cast< int >( state.range( 0 ) ) };
            double heap{ 0. };
            for( auto _ : state )
            {
                const auto before = bench::heap_in_use();
                arena.execute( [&] {
                    auto result = detail::build_brep_from_meshes( {}, {}, pointers );
                    heap = bench::heap_growth_since( before );
                    benchmark::DoNotOptimize( result );
                } );
            }
            state.counters["result_heap_MB"] = heap / 1048576.;
            state.counters["peak_rss_MB"] = bench::peak_rss_mib();
            state.counters["triangles"] = static_cast< double >( NB_SURFACES * CELLS * CELLS * 2 );
        }
        BENCHMARK( build_from_meshes )
            ->Arg( 1 )
            ->Arg( 8 )
            ->Unit( benchmark::kMillisecond )
            ->Iterations( 2 )
            ->UseRealTime();

        void split_by_feature_angle( benchmark::State& state )
        {
            const auto meshes = sheets();
            std::vector< const SurfaceMesh< 3 >* > pointers;
            for( const auto& mesh : meshes )
            {
                pointers.push_back( mesh.get() );
            }
            const auto [model, mappings] = detail::build_brep_from_meshes( {}, {}, pointers );
            tbb::task_arena arena{ static_cast< int >( state.range( 0 ) ) };
            index_t nb_surfaces{ 0 };
            const auto cpu_before = bench::process_cpu_seconds();
            for( auto _ : state )
            {
                arena.execute( [&] {
                    auto result = detail::split_brep_by_feature_angle( model, 120. );
                    nb_surfaces = std::get< 0 >( result ).nb_surfaces();
                    benchmark::DoNotOptimize( result );
                } );
            }
            state.counters["surfaces_out"] = nb_surfaces;
            // CPU seconds of every thread per iteration (result release
            // included), to read through the noise of a shared machine.
            state.counters["process_cpu_s"] = ( bench::process_cpu_seconds() - cpu_before )
                                              / static_cast< double >( state.iterations() );
            state.counters["peak_rss_MB"] = bench::peak_rss_mib();
        }
        BENCHMARK( split_by_feature_angle )
            ->Arg( 1 )
            ->Arg( 8 )
            ->Unit( benchmark::kMillisecond )
            ->Iterations( 2 )
            ->UseRealTime();
    } // namespace
} // namespace orvane
