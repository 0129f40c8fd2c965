// Conformal parameterisation: the least-squares conformal map of a curved
// 100,000-triangle patch (a bumpy disc-like grid), on 1 and 8 threads, with
// the resident-memory peak it adds. The solver runs on one thread; the
// thread count shows that nothing depends on it.

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <oneapi/tbb/global_control.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <numerics/lscm.hpp>
#include <numerics/numerics_surface_library.hpp>

#include <bench/bench_meshes.hpp>
#include <bench/bench_process.hpp>

namespace
{
    using namespace orvane;

    // 250 x 200 cells of two triangles each.
    constexpr index_t NX = 250;
    constexpr index_t NY = 200;

    const TriangulatedSurface< 3 >& bumpy_patch()
    {
        static const auto surface = [] {
            NumericsSurfaceLibrary::initialize();
            auto result = TriangulatedSurface< 3 >::create();
            auto builder = TriangulatedSurfaceBuilder< 3 >::create( *result );
            for( index_t j = 0; j <= NY; j++ )
            {
                for( index_t i = 0; i <= NX; i++ )
                {
                    const auto x = 2. * i / NX - 1.;
                    const auto y = 2. * j / NY - 1.;
                    builder->create_point( Point< 3 >{ { x, y,
                        0.3 * std::sin( 3. * x ) * std::cos( 2. * y ) + 0.2 * x * y } } );
                }
            }
            bench::create_grid_triangles( *builder, NX, NY );
            builder->compute_polygon_adjacencies();
            return result;
        }();
        return *surface;
    }

    void conformal_map( benchmark::State& state )
    {
        const auto& surface = bumpy_patch();
        const tbb::global_control threads{ tbb::global_control::max_allowed_parallelism,
            static_cast< std::size_t >( state.range( 0 ) ) };
        double peak_growth_kb{ 0 };
        for( auto _ : state )
        {
            bench::reset_peak_rss();
            const auto before = bench::status_kb( "VmRSS" );
            auto parameters = surface.vertex_attribute_manager()
                                  .find_or_create_attribute< VariableAttribute, Point< 2 > >(
                                      "lscm", Point< 2 >{} );
            {
                internal::LSCM lscm{ surface, parameters,
                    internal::LinearSolver{ 2 * surface.nb_vertices() } };
                lscm.compute();
            }
            const auto flat = internal::create_parameterized_surface( surface, "lscm" );
            peak_growth_kb = std::max( peak_growth_kb, bench::status_kb( "VmHWM" ) - before );
            benchmark::DoNotOptimize( flat.get() );
            surface.vertex_attribute_manager().delete_attribute( "lscm" );
        }
        state.counters["triangles"] = surface.nb_polygons();
        state.counters["threads"] = static_cast< double >( state.range( 0 ) );
        state.counters["peak_rss_growth_MB"] = peak_growth_kb / 1024.;
    }
    BENCHMARK( conformal_map )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Unit( benchmark::kMillisecond )
        ->Iterations( 2 );
} // namespace
