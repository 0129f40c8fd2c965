#include <cmath>
#include <cstdint>
#include <random>

#include <sys/resource.h>

#include <benchmark/benchmark.h>
#include <oneapi/tbb/global_control.h>

#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>

#include <simplex/metric/constant_metric.hpp>
#include <simplex/simplex_brep_library.hpp>
#include <simplex/surface/surface_stages.hpp>

#include <bench/bench_meshes.hpp>
#include <bench/bench_process.hpp>

// Relaxation of one wavy surface of 2 x 317 x 317 = 200,978 triangles whose
// inner vertices are jittered by up to 0.35 cell, under a metric of one cell.
// Run with the argument 1 and 8: the pool is limited to that many threads
// (the relaxation itself runs on the calling thread; the clean-up uses the
// pool).

namespace
{
    using namespace orvane;

    constexpr index_t CELLS = 317;

    BRep jittered_wavy_surface()
    {
        SimplexBRepLibrary::initialize();
        BRep model;
        BRepBuilder builder{ model };
        const auto id = builder.add_surface();
        auto& mesh = dynamic_cast< TriangulatedSurface< 3 >& >(
            builder.modifiable_surface( id ).get_modifiable_mesh() );
        auto mesh_builder = TriangulatedSurfaceBuilder< 3 >::create( mesh );
        const auto first_unique = builder.create_unique_vertices( ( CELLS + 1 ) * ( CELLS + 1 ) );
        const ComponentID component{ Surface< 3 >::component_type_static(), id };
        std::mt19937 random{ 7 };
        const auto shift = [&random] {
            return ( static_cast< double >( random() ) / 4294967295. - 0.5 ) * 0.7;
        };
        for( index_t j = 0; j <= CELLS; j++ )
        {
            for( index_t i = 0; i <= CELLS; i++ )
            {
                auto x = static_cast< double >( i );
                auto y = static_cast< double >( j );
                if( i > 0 && i < CELLS && j > 0 && j < CELLS )
                {
                    x += shift();
                    y += shift();
                }
                const auto z = 3. * std::sin( x / 20. ) * std::cos( y / 25. );
                const auto vertex = mesh_builder->create_point( Point< 3 >{ { x, y, z } } );
                builder.set_unique_vertex( { component, vertex }, first_unique + vertex );
            }
        }
        bench::create_grid_triangles( *mesh_builder, CELLS, CELLS );
        mesh_builder->compute_polygon_adjacencies();
        return model;
    }

    void BM_relax_surfaces( benchmark::State& state )
    {
        const tbb::global_control threads{ tbb::global_control::max_allowed_parallelism,
            static_cast< std::size_t >( state.range( 0 ) ) };
        const ConstantMetric< 3 > metric{ 1. };
        const internal::SurfaceRelaxerOptions options{ true, true, &metric };
        index_t triangles_after{ 0 };
        for( auto _ : state )
        {
            state.PauseTiming();
            auto model = jittered_wavy_surface();
            state.ResumeTiming();
            {
                BRepBuilder builder{ model };
                BRepGeometricModifier modifier{ model, builder };
                internal::relax_surfaces( model, modifier, options );
                modifier.clean();
            }
            triangles_after = model.surfaces().begin()->mesh().nb_polygons();
            benchmark::DoNotOptimize( triangles_after );
        }
        state.counters["threads"] = static_cast< double >( state.range( 0 ) );
        state.counters["triangles_before"] = 2. * CELLS * CELLS;
        state.counters["triangles_after"] = static_cast< double >( triangles_after );
        state.counters["peak_rss_mb"] = bench::peak_rss_mib();
    }
} // namespace

BENCHMARK( BM_relax_surfaces )->Arg( 1 )->Arg( 8 )->Unit( benchmark::kMillisecond )->Iterations( 2 );
