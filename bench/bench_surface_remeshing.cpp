#include <array>
#include <memory>
#include <tuple>
#include <vector>

#include <benchmark/benchmark.h>
#include <oneapi/tbb/global_control.h>

#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <conversion/conversion_model_library.hpp>
#include <conversion/model_builder_from_meshes.hpp>

#include <simplex/corner/corner_remesher.hpp>
#include <simplex/line/line_remesher.hpp>
#include <simplex/metric/constant_metric.hpp>
#include <simplex/model_splitter.hpp>
#include <simplex/remeshing_data.hpp>
#include <simplex/simplex_brep_library.hpp>
#include <simplex/surface/surface_stages.hpp>

#include <bench/bench_meshes.hpp>
#include <bench/bench_process.hpp>

// The surface stage of whole-model remeshing (every surface remeshed from its
// remeshed lines, then the unique vertices registered). Run with the
// argument 1 and 8: the pool is limited to that many threads for the timed
// stage.

namespace
{
    using namespace orvane;

    /// One face of the unit cube as an n x n grid, normals out of the cube:
    /// origin + s u + t v for s, t in [0, 1].
    std::unique_ptr< TriangulatedSurface< 3 > > cube_face( const Point< 3 >& origin,
        const std::array< double, 3 >& u,
        const std::array< double, 3 >& v,
        index_t n )
    {
        auto mesh = TriangulatedSurface< 3 >::create();
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *mesh );
        for( index_t j = 0; j <= n; j++ )
        {
            for( index_t i = 0; i <= n; i++ )
            {
                const auto s = double( i ) / n;
                const auto t = double( j ) / n;
                builder->create_point( Point< 3 >{ { origin.value( 0 ) + s * u[0] + t * v[0],
                    origin.value( 1 ) + s * u[1] + t * v[1],
                    origin.value( 2 ) + s * u[2] + t * v[2] } } );
            }
        }
        bench::create_grid_triangles( *builder, n, n );
        builder->compute_polygon_adjacencies();
        return mesh;
    }

    /// The unit cube as a model of six faces of n x n squares each, built
    /// from the loose face meshes: 12 n^2 triangles, 12 lines, 8 corners.
    BRep cube_model( index_t n )
    {
        std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > faces;
        const Point< 3 > o{ { 0., 0., 0. } };
        const Point< 3 > x{ { 1., 0., 0. } };
        const Point< 3 > y{ { 0., 1., 0. } };
        const Point< 3 > z{ { 0., 0., 1. } };
        faces.push_back( cube_face( o, { 0, 0, 1 }, { 0, 1, 0 }, n ) );
        faces.push_back( cube_face( x, { 0, 1, 0 }, { 0, 0, 1 }, n ) );
        faces.push_back( cube_face( o, { 1, 0, 0 }, { 0, 0, 1 }, n ) );
        faces.push_back( cube_face( y, { 0, 0, 1 }, { 1, 0, 0 }, n ) );
        faces.push_back( cube_face( o, { 0, 1, 0 }, { 1, 0, 0 }, n ) );
        faces.push_back( cube_face( z, { 1, 0, 0 }, { 0, 1, 0 }, n ) );
        std::vector< const SurfaceMesh< 3 >* > pointers;
        for( const auto& face : faces )
        {
            pointers.push_back( face.get() );
        }
        return std::get< 0 >( detail::build_brep_from_meshes( {}, {}, pointers ) );
    }

    void remesh_surfaces_400k_to_200k_triangles( benchmark::State& state )
    {
        ConversionModelLibrary::initialize();
        SimplexBRepLibrary::initialize();
        const auto threads = static_cast< std::size_t >( state.range( 0 ) );
        // 6 x 183^2 x 2 = 401,868 input triangles; a target length of
        // 0.0083 covers the cube's area of 6 with about 200k triangles.
        const ConstantMetric< 3 > metric{ 0.0083 };
        double growth{ 0 };
        double stage_peak{ 0 };
        index_t nb_output{ 0 };
        for( auto _ : state )
        {
            state.PauseTiming();
            auto input = cube_model( 183 );
            BRep output;
            {
                RemeshingData< BRep > data{ std::move( input ), output, metric };
                internal::prepare_remeshing( data );
                internal::remesh_corners( data );
                internal::remesh_lines( data );
                const auto before = bench::heap_in_use();
                bench::reset_peak_rss();
                const tbb::global_control limit{
                    tbb::global_control::max_allowed_parallelism, threads
                };
                state.ResumeTiming();
                internal::remesh_surfaces( data );
                state.PauseTiming();
                growth = bench::heap_growth_since( before );
                stage_peak = bench::status_kb( "VmHWM" ) / 1024.;
            }
            nb_output = 0;
            for( const auto& surface : output.surfaces() )
            {
                nb_output += surface.mesh().nb_polygons();
            }
            state.ResumeTiming();
        }
        state.counters["output_triangles"] = nb_output;
        state.counters["heap_growth_MB"] = growth / 1e6;
        state.counters["stage_peak_rss_MiB"] = stage_peak;
        state.counters["peak_rss_MiB"] = bench::peak_rss_mib();
    }
    BENCHMARK( remesh_surfaces_400k_to_200k_triangles )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Iterations( 1 )
        ->Unit( benchmark::kMillisecond )
        ->UseRealTime();
} // namespace
