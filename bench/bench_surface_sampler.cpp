// Surface sampling of 8 wavy surfaces of 2 x 120 x 120 = 28,800 triangles
// each, seeded at their border vertices, under a metric of 2 cells: one
// pool task per surface, all sharing one sampling context, on a pool of 1
// and 8 threads. The fronts run side by side; the insertions are serialised
// by the context's mutex. Each iteration samples a fresh model (built
// outside the timing).

#include <cmath>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>
#include <oneapi/tbb/task_arena.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <background/background_solid.hpp>
#include <common/modifier/brep_geometric_modifier.hpp>

#include <simplex/block/block_macro_vertices.hpp>
#include <simplex/metric/constant_metric.hpp>
#include <simplex/simplex_brep_library.hpp>
#include <simplex/surface/surface_sampler.hpp>

#include <bench/bench_meshes.hpp>
#include <bench/bench_process.hpp>

namespace
{
    using namespace orvane;

    constexpr index_t NB_SURFACES = 8;
    constexpr index_t CELLS = 120;

    /// The surfaces, one above the other, and one block whose background
    /// solid holds a vertex (no tetrahedron) at every border vertex of every
    /// surface, tagged with `macro`.
    std::unique_ptr< BRep > wavy_surfaces( const uuid& macro )
    {
        SimplexBRepLibrary::initialize();
        auto model = std::make_unique< BRep >();
        BRepBuilder builder{ *model };
        auto cloud = TetrahedralSolid< 3 >::create();
        auto cloud_builder = TetrahedralSolidBuilder< 3 >::create( *cloud );
        std::vector< index_t > tagged_uniques;
        for( index_t s = 0; s < NB_SURFACES; s++ )
        {
            const auto id = builder.add_surface();
            auto& mesh = dynamic_cast< TriangulatedSurface< 3 >& >(
                builder.modifiable_surface( id ).get_modifiable_mesh() );
            auto mesh_builder = TriangulatedSurfaceBuilder< 3 >::create( mesh );
            const auto first_unique =
                builder.create_unique_vertices( ( CELLS + 1 ) * ( CELLS + 1 ) );
            const ComponentID component{ Surface< 3 >::component_type_static(), id };
            for( index_t j = 0; j <= CELLS; j++ )
            {
                for( index_t i = 0; i <= CELLS; i++ )
                {
                    const auto x = static_cast< double >( i );
                    const auto y = static_cast< double >( j );
                    const auto z = 100. * s + 3. * std::sin( x / 20. ) * std::cos( y / 25. );
                    const Point< 3 > point{ { x, y, z } };
                    const auto vertex = mesh_builder->create_point( point );
                    builder.set_unique_vertex( { component, vertex }, first_unique + vertex );
                    if( i == 0 || j == 0 || i == CELLS || j == CELLS )
                    {
                        cloud_builder->create_point( point );
                        tagged_uniques.push_back( first_unique + vertex );
                    }
                }
            }
            bench::create_grid_triangles( *mesh_builder, CELLS, CELLS );
            mesh_builder->compute_polygon_adjacencies();
        }
        cloud_builder.reset();
        const auto block = builder.add_block( internal::BackgroundSolid::impl_name_static() );
        builder.update_block_mesh(
            model->block( block ), std::make_unique< internal::BackgroundSolid >( *cloud ) );
        const auto block_id = model->block( block ).component_id();
        internal::MacroVertexRecorder recorder{ *model, builder };
        for( index_t v = 0; v < tagged_uniques.size(); v++ )
        {
            builder.set_unique_vertex( { block_id, v }, tagged_uniques[v] );
            internal::add_macro_component( recorder, macro, v, tagged_uniques[v] );
        }
        return model;
    }

    void BM_sample_surfaces( benchmark::State& state )
    {
        const ConstantMetric< 3 > metric{ 2. };
        const uuid macro;
        tbb::task_arena arena{ static_cast< int >( state.range( 0 ) ) };
        double cpu_seconds{ 0 };
        index_t nb_new_vertices{ 0 };
        for( auto _ : state )
        {
            state.PauseTiming();
            auto model = wavy_surfaces( macro );
            index_t before{ 0 };
            for( const auto& surface : model->surfaces() )
            {
                before += surface.mesh().nb_vertices();
            }
            const auto cpu_before = bench::process_cpu_seconds();
            state.ResumeTiming();
            {
                BRepBuilder builder{ *model };
                BRepGeometricModifier modifier{ *model, builder };
                internal::MacroVertexRecorder recorder{ *model, builder };
                internal::SamplingContext context{ *model, macro, modifier, metric, recorder };
                arena.execute( [&] {
                    std::vector< async::Task< void > > tasks;
                    for( const auto& surface : model->surfaces() )
                    {
                        tasks.push_back( async::spawn( [&context, &surface] {
                            internal::sample_surface( context, surface );
                        } ) );
                    }
                    async::wait_all( tasks );
                } );
            }
            state.PauseTiming();
            cpu_seconds += bench::process_cpu_seconds() - cpu_before;
            index_t after{ 0 };
            for( const auto& surface : model->surfaces() )
            {
                after += surface.mesh().nb_vertices();
            }
            nb_new_vertices = after - before;
            state.ResumeTiming();
        }
        state.counters["threads"] = static_cast< double >( state.range( 0 ) );
        state.counters["cpu_s_per_iter"] = cpu_seconds / static_cast< double >( state.iterations() );
        state.counters["new_vertices"] = static_cast< double >( nb_new_vertices );
        state.counters["peak_rss_MB"] = bench::peak_rss_mib();
    }
} // namespace

BENCHMARK( BM_sample_surfaces )
    ->Arg( 1 )
    ->Arg( 8 )
    ->Unit( benchmark::kMillisecond )
    ->Iterations( 2 )
    ->UseRealTime();
