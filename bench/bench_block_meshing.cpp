#include <array>
#include <memory>
#include <tuple>
#include <vector>

#include <benchmark/benchmark.h>
#include <oneapi/tbb/global_control.h>

#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <conversion/conversion_model_library.hpp>
#include <conversion/model_builder_from_meshes.hpp>

#include <openorvane/basic/async.hpp>

#include <simplex/block/block_meshing.hpp>
#include <simplex/block/block_sampler.hpp>
#include <simplex/metric/constant_metric.hpp>
#include <simplex/simplex_brep_library.hpp>

#include <bench/bench_meshes.hpp>
#include <bench/bench_process.hpp>

// Block meshing (interior sampling, then one tetrahedralisation per block)
// of the unit cube cut by three horizons into four blocks of about 280k
// tetrahedra each. Run with the argument 1 and 8: the pool is limited to
// that many threads for the timed stage.

namespace
{
    using namespace orvane;

    /// origin + s u + t v for s, t in [0, 1] as an n x m grid of squares.
    std::unique_ptr< TriangulatedSurface< 3 > > grid( const std::array< double, 3 >& origin,
        const std::array< double, 3 >& u,
        const std::array< double, 3 >& v,
        index_t n,
        index_t m )
    {
        auto mesh = TriangulatedSurface< 3 >::create();
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *mesh );
        for( index_t j = 0; j <= m; j++ )
        {
            for( index_t i = 0; i <= n; i++ )
            {
                const auto s = double( i ) / n;
                const auto t = double( j ) / m;
                builder->create_point( Point< 3 >{ { origin[0] + s * u[0] + t * v[0],
                    origin[1] + s * u[1] + t * v[1], origin[2] + s * u[2] + t * v[2] } } );
            }
        }
        bench::create_grid_triangles( *builder, n, m );
        builder->compute_polygon_adjacencies();
        return mesh;
    }

    /// The unit cube of n x n squares per face (n a multiple of 4), cut by
    /// the horizons z = 1/4, 1/2 and 3/4: four blocks.
    BRep four_blocks( index_t n )
    {
        std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
        surfaces.push_back( grid( { 0, 0, 0 }, { 0, 0, 1 }, { 0, 1, 0 }, n, n ) );
        surfaces.push_back( grid( { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 }, n, n ) );
        surfaces.push_back( grid( { 0, 0, 0 }, { 1, 0, 0 }, { 0, 0, 1 }, n, n ) );
        surfaces.push_back( grid( { 0, 1, 0 }, { 0, 0, 1 }, { 1, 0, 0 }, n, n ) );
        surfaces.push_back( grid( { 0, 0, 0 }, { 0, 1, 0 }, { 1, 0, 0 }, n, n ) );
        surfaces.push_back( grid( { 0, 0, 1 }, { 1, 0, 0 }, { 0, 1, 0 }, n, n ) );
        for( const double z : { 0.25, 0.5, 0.75 } )
        {
            surfaces.push_back( grid( { 0, 0, z }, { 1, 0, 0 }, { 0, 1, 0 }, n, n ) );
        }
        std::vector< const SurfaceMesh< 3 >* > pointers;
        for( const auto& surface : surfaces )
        {
            pointers.push_back( surface.get() );
        }
        return std::get< 0 >( detail::build_brep_from_meshes( {}, {}, pointers ) );
    }

    void mesh_four_blocks_of_280k_tetrahedra( benchmark::State& state )
    {
        ConversionModelLibrary::initialize();
        SimplexBRepLibrary::initialize();
        const auto threads = static_cast< std::size_t >( state.range( 0 ) );
        constexpr index_t n = 56;
        const ConstantMetric< 3 > metric{ 1. / n };
        double stage_peak{ 0 };
        index_t nb_tetrahedra{ 0 };
        index_t nb_blocks{ 0 };
        for( auto _ : state )
        {
            state.PauseTiming();
            auto model = four_blocks( n );
            BRepBuilder builder{ model };
            bench::reset_peak_rss();
            {
                const tbb::global_control limit{
                    tbb::global_control::max_allowed_parallelism, threads
                };
                state.ResumeTiming();
                internal::mesh_blocks( model, builder, metric );
                state.PauseTiming();
            }
            stage_peak = bench::status_kb( "VmHWM" ) / 1024.;
            nb_tetrahedra = 0;
            nb_blocks = model.nb_blocks();
            for( const auto& block : model.blocks() )
            {
                nb_tetrahedra += block.mesh().nb_polyhedra();
            }
            state.ResumeTiming();
        }
        state.counters["blocks"] = nb_blocks;
        state.counters["tetrahedra"] = nb_tetrahedra;
        state.counters["stage_peak_rss_MiB"] = stage_peak;
        state.counters["peak_rss_MiB"] = bench::peak_rss_mib();
    }
    BENCHMARK( mesh_four_blocks_of_280k_tetrahedra )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Iterations( 1 )
        ->Unit( benchmark::kMillisecond )
        ->UseRealTime();

    /// The sampling part alone: the interior points of the four blocks,
    /// one task per block as block meshing runs them.
    void sample_four_blocks( benchmark::State& state )
    {
        ConversionModelLibrary::initialize();
        SimplexBRepLibrary::initialize();
        const auto threads = static_cast< std::size_t >( state.range( 0 ) );
        constexpr index_t n = 56;
        const ConstantMetric< 3 > metric{ 1. / n };
        const auto model = four_blocks( n );
        std::size_t nb_points{ 0 };
        for( auto _ : state )
        {
            const tbb::global_control limit{ tbb::global_control::max_allowed_parallelism,
                threads };
            std::vector< async::Task< std::size_t > > tasks;
            for( const auto& block : model.blocks() )
            {
                tasks.push_back( async::spawn( [&model, &block, &metric] {
                    return internal::sample_block_interior( model, block, metric ).size();
                } ) );
            }
            nb_points = 0;
            for( auto& task : tasks )
            {
                nb_points += task.get();
            }
        }
        state.counters["points"] = static_cast< double >( nb_points );
    }
    BENCHMARK( sample_four_blocks )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Iterations( 1 )
        ->Unit( benchmark::kMillisecond )
        ->UseRealTime();
} // namespace
