// Surface-intersection repair of a remeshed model: construction of the
// repairer (candidate pairs, trees), the small-block step and the passes
// until one repairs nothing.
//
// The model holds G x G cells 4 apart. Each cell has an input "tent" (ridge
// x = 0 at z = 0.5, feet at x = -1 and x = 1 at z = -0.5, y in [-1, 1]),
// refined into 2 * S x S quads per face, and a vertical triangle under the
// ridge. The remeshed tent is the coarse square on its four feet, whose
// diagonal crosses the triangle: one crossing per cell to repair. With G = 16
// and S = 16 that is 512 surfaces and 262,144 input triangles. Run with the
// argument 1 and 8: the repair runs on a pool of that many threads.

#include <memory>
#include <vector>

#include <benchmark/benchmark.h>
#include <oneapi/tbb/task_arena.h>

#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/surface.hpp>

#include <simplex/metric/constant_metric.hpp>
#include <simplex/model_splitter.hpp>
#include <simplex/remeshing_data.hpp>
#include <simplex/repair/repair_brep_surfaces.hpp>
#include <simplex/simplex_brep_library.hpp>

#include <bench/bench_process.hpp>

namespace
{
    using namespace orvane;

    constexpr index_t CELLS = 16;
    constexpr index_t STEPS = 16;
    constexpr double SPACING = 4.;

    struct Mesh
    {
        std::vector< Point< 3 > > points;
        std::vector< std::array< index_t, 3 > > triangles;
    };

    Point< 3 > at( double x, double y, double z )
    {
        return Point< 3 >{ { x, y, z } };
    }

    /// The tent over [-1, 1]^2 shifted by (dx, dy), 2 * STEPS by STEPS
    /// quads, each cut into two triangles facing up.
    Mesh tent( double dx, double dy )
    {
        Mesh mesh;
        const index_t nx = 2 * STEPS;
        for( index_t j = 0; j <= STEPS; j++ )
        {
            for( index_t i = 0; i <= nx; i++ )
            {
                const double x = -1. + 2. * i / nx;
                mesh.points.push_back(
                    at( x + dx, -1. + 2. * j / STEPS + dy, 0.5 - std::abs( x ) ) );
            }
        }
        for( index_t j = 0; j < STEPS; j++ )
        {
            for( index_t i = 0; i < nx; i++ )
            {
                const index_t v = j * ( nx + 1 ) + i;
                mesh.triangles.push_back( { v, v + 1, v + nx + 2 } );
                mesh.triangles.push_back( { v, v + nx + 2, v + nx + 1 } );
            }
        }
        return mesh;
    }

    Mesh square( double dx, double dy )
    {
        return { { at( dx - 1, dy - 1, -0.5 ), at( dx + 1, dy - 1, -0.5 ),
                     at( dx + 1, dy + 1, -0.5 ), at( dx - 1, dy + 1, -0.5 ) },
            { { 0, 1, 2 }, { 0, 2, 3 } } };
    }

    Mesh wall( double dx, double dy )
    {
        return { { at( dx, dy - 1, -0.6 ), at( dx, dy + 1, -0.6 ), at( dx, dy, -0.3 ) },
            { { 0, 1, 2 } } };
    }

    /// Fills the surface's mesh, each vertex on a new unique vertex.
    void fill( BRepBuilder& builder, const uuid& id, const Mesh& mesh )
    {
        auto& surface = dynamic_cast< TriangulatedSurface< 3 >& >(
            builder.modifiable_surface( id ).get_modifiable_mesh() );
        auto mesh_builder = TriangulatedSurfaceBuilder< 3 >::create( surface );
        const auto first = builder.create_unique_vertices(
            static_cast< index_t >( mesh.points.size() ) );
        for( index_t v = 0; v < mesh.points.size(); v++ )
        {
            mesh_builder->create_point( mesh.points[v] );
            builder.set_unique_vertex(
                { { Surface< 3 >::component_type_static(), id }, v }, first + v );
        }
        for( const auto& triangle : mesh.triangles )
        {
            mesh_builder->create_triangle( triangle );
        }
        mesh_builder->compute_polygon_adjacencies();
    }

    /// A remeshing run stopped after its surface stage, on the cells.
    struct Run
    {
        Run() : metric( 0.5 )
        {
            SimplexBRepLibrary::initialize();
            BRep input;
            std::vector< uuid > ids;
            {
                BRepBuilder builder{ input };
                for( index_t i = 0; i < CELLS; i++ )
                {
                    for( index_t j = 0; j < CELLS; j++ )
                    {
                        ids.push_back( builder.add_surface() );
                        fill( builder, ids.back(), tent( SPACING * i, SPACING * j ) );
                        ids.push_back( builder.add_surface() );
                        fill( builder, ids.back(), wall( SPACING * i, SPACING * j ) );
                    }
                }
            }
            data = std::make_unique< RemeshingData< BRep > >( std::move( input ), output, metric );
            internal::prepare_remeshing( *data );
            const auto& mapping = data->mappings.at( Surface< 3 >::component_type_static() );
            index_t k{ 0 };
            for( index_t i = 0; i < CELLS; i++ )
            {
                for( index_t j = 0; j < CELLS; j++ )
                {
                    fill( data->output_builder, mapping.in2out( ids[k++] ),
                        square( SPACING * i, SPACING * j ) );
                    fill( data->output_builder, mapping.in2out( ids[k++] ),
                        wall( SPACING * i, SPACING * j ) );
                }
            }
        }

        ConstantMetric< 3 > metric;
        BRep output;
        std::unique_ptr< RemeshingData< BRep > > data;
    };

    void BM_surface_repair( benchmark::State& state )
    {
        tbb::task_arena arena{ static_cast< int >( state.range( 0 ) ) };
        double cpu_seconds{ 0 };
        index_t nb_passes{ 0 };
        for( auto _ : state )
        {
            state.PauseTiming();
            auto run = std::make_unique< Run >();
            bench::reset_peak_rss();
            const auto cpu_before = bench::process_cpu_seconds();
            state.ResumeTiming();
            arena.execute( [&run, &nb_passes] {
                internal::RepairBRepSurfaces repair{ *run->data };
                repair.repair_small_blocks();
                nb_passes = 0;
                internal::repeat_surface_repair_passes( [&repair, &nb_passes] {
                    nb_passes++;
                    return repair.repair_pass();
                } );
            } );
            state.PauseTiming();
            cpu_seconds += bench::process_cpu_seconds() - cpu_before;
            run.reset();
            state.ResumeTiming();
        }
        state.SetItemsProcessed( static_cast< std::int64_t >( state.iterations() ) * 2 * CELLS
                                 * CELLS );
        state.counters["cpu_s_per_run"] = cpu_seconds / static_cast< double >( state.iterations() );
        state.counters["passes"] = static_cast< double >( nb_passes );
        state.counters["peak_rss_MB"] = bench::peak_rss_mib();
    }
} // namespace

BENCHMARK( BM_surface_repair )->Arg( 1 )->Arg( 8 )->Unit( benchmark::kMillisecond )->UseRealTime();
