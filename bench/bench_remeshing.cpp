#include <cmath>
#include <memory>
#include <vector>

#include <sys/resource.h>

#include <benchmark/benchmark.h>
#include <oneapi/tbb/global_control.h>

#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <simplex/corner/corner_remesher.hpp>
#include <simplex/line/line_remesher.hpp>
#include <simplex/metric/constant_metric.hpp>
#include <simplex/model_splitter.hpp>
#include <simplex/remeshing_data.hpp>
#include <simplex/simplex_brep_library.hpp>

#include <bench/bench_meshes.hpp>
#include <bench/bench_process.hpp>

// Whole-model remeshing stages. Run with the argument 1 and 8: the pool is
// limited to that many threads for the timed stage.

namespace
{
    using namespace orvane;

    /// Adds a grid of n x n unit squares (two triangles each) in the plane
    /// z = height, with its own unique vertices.
    void add_grid_surface( BRepBuilder& builder, index_t n, double height )
    {
        const auto id = builder.add_surface();
        auto& mesh = dynamic_cast< TriangulatedSurface< 3 >& >(
            builder.modifiable_surface( id ).get_modifiable_mesh() );
        auto mesh_builder = TriangulatedSurfaceBuilder< 3 >::create( mesh );
        const auto first_unique = builder.create_unique_vertices( ( n + 1 ) * ( n + 1 ) );
        const ComponentID component{ Surface< 3 >::component_type_static(), id };
        for( index_t j = 0; j <= n; j++ )
        {
            for( index_t i = 0; i <= n; i++ )
            {
                const auto vertex = mesh_builder->create_point(
                    Point< 3 >{ { double( i ), double( j ), height } } );
                builder.set_unique_vertex( { component, vertex }, first_unique + vertex );
            }
        }
        bench::create_grid_triangles( *mesh_builder, n, n );
        mesh_builder->compute_polygon_adjacencies();
    }

    /// 16 grids of 177 x 177 squares: 1,002,528 triangles.
    BRep surfaces_model()
    {
        BRep model;
        BRepBuilder builder{ model };
        for( index_t s = 0; s < 16; s++ )
        {
            add_grid_surface( builder, 177, double( s ) );
        }
        return model;
    }

    /// `nb_lines` lines between two corners each, every line a helix arc
    /// of `nb_edges` input edges and length about 20.
    BRep lines_model( index_t nb_lines, index_t nb_edges )
    {
        BRep model;
        BRepBuilder builder{ model };
        for( index_t l = 0; l < nb_lines; l++ )
        {
            const auto origin = Point< 3 >{ { double( l % 100 ) * 10., double( l / 100 ) * 10., 0. } };
            const auto first_unique = builder.create_unique_vertices( nb_edges + 1 );
            const auto line = builder.add_line();
            auto mesh = builder.line_mesh_builder( line );
            const ComponentID component{ Line< 3 >::component_type_static(), line };
            for( index_t v = 0; v <= nb_edges; v++ )
            {
                const auto angle = 4. * double( v ) / double( nb_edges );
                const auto point = origin
                                   + Point< 3 >{ { 3. * std::cos( angle ), 3. * std::sin( angle ),
                                       8. * double( v ) / double( nb_edges ) } };
                mesh->create_point( point );
                builder.set_unique_vertex( { component, v }, first_unique + v );
                if( v > 0 )
                {
                    mesh->create_edge( v - 1, v );
                }
            }
            for( const auto end : { index_t{ 0 }, nb_edges } )
            {
                const auto corner = builder.add_corner();
                builder.corner_mesh_builder( corner )->create_point(
                    model.line( line ).mesh().point( end ) );
                builder.set_unique_vertex(
                    { { Corner< 3 >::component_type_static(), corner }, 0 }, first_unique + end );
                builder.add_corner_line_boundary_relationship(
                    model.corner( corner ), model.line( line ) );
            }
        }
        return model;
    }

    void prepare_remeshing_1m_triangles( benchmark::State& state )
    {
        SimplexBRepLibrary::initialize();
        const auto threads = static_cast< std::size_t >( state.range( 0 ) );
        // Every square's diagonal (1.41) exceeds twice the metric, its sides
        // do not: about 500k splits.
        const ConstantMetric< 3 > metric{ 0.6 };
        double growth{ 0 };
        for( auto _ : state )
        {
            state.PauseTiming();
            auto input = surfaces_model();
            BRep output;
            const auto before = bench::heap_in_use();
            {
                RemeshingData< BRep > data{ std::move( input ), output, metric };
                const tbb::global_control limit{
                    tbb::global_control::max_allowed_parallelism, threads
                };
                state.ResumeTiming();
                internal::prepare_remeshing( data );
                state.PauseTiming();
                growth = bench::heap_growth_since( before );
            }
            state.ResumeTiming();
        }
        state.counters["heap_growth_MB"] = growth / 1e6;
        state.counters["peak_rss_MB"] = bench::peak_rss_mib();
    }
    BENCHMARK( prepare_remeshing_1m_triangles )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Iterations( 2 )
        ->Unit( benchmark::kMillisecond )
        ->UseRealTime();

    void remesh_10000_lines( benchmark::State& state )
    {
        SimplexBRepLibrary::initialize();
        const auto threads = static_cast< std::size_t >( state.range( 0 ) );
        // About 20 output edges per line, from 50 input edges.
        const ConstantMetric< 3 > metric{ 1. };
        double growth{ 0 };
        for( auto _ : state )
        {
            state.PauseTiming();
            auto input = lines_model( 10000, 50 );
            BRep output;
            {
                RemeshingData< BRep > data{ std::move( input ), output, metric };
                internal::prepare_remeshing( data );
                internal::remesh_corners( data );
                const auto before = bench::heap_in_use();
                const tbb::global_control limit{
                    tbb::global_control::max_allowed_parallelism, threads
                };
                state.ResumeTiming();
                internal::remesh_lines( data );
                state.PauseTiming();
                growth = bench::heap_growth_since( before );
            }
            state.ResumeTiming();
        }
        state.SetItemsProcessed( state.iterations() * 10000 );
        state.counters["heap_growth_MB"] = growth / 1e6;
        state.counters["peak_rss_MB"] = bench::peak_rss_mib();
    }
    BENCHMARK( remesh_10000_lines )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Iterations( 3 )
        ->Unit( benchmark::kMillisecond )
        ->UseRealTime();
} // namespace
