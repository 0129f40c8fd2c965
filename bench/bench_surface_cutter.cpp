#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <common/cutter/determine_cuts.hpp>
#include <common/cutter/surface_cut_along_path.hpp>
#include <common/modifier/triangulated_surface_modifier.hpp>

#include <bench/bench_meshes.hpp>
#include <bench/bench_process.hpp>
#include <tests/common/cutter/surface_path_walker.hpp>

// Straight cuts between random vertices of a wavy 100,352-triangle grid:
// the path walk, the cut determination and the cut itself. The walk is the
// brute-force walker of the tests; its cost is measured on its own.

namespace
{
    using namespace orvane;

    constexpr index_t GRID_SIZE = 224;

    struct Surface
    {
        explicit Surface( index_t n )
            : mesh( std::make_unique< OpenOrvaneTriangulatedSurface< 3 > >() ),
              builder( std::make_unique< OpenOrvaneTriangulatedSurfaceBuilder< 3 > >(
                  *mesh ) )
        {
            for( index_t j = 0; j <= n; j++ )
            {
                for( index_t i = 0; i <= n; i++ )
                {
                    const auto x = static_cast< double >( i );
                    const auto y = static_cast< double >( j );
                    builder->create_point( Point< 3 >{
                        { x, y, 0.3 * std::sin( 0.4 * x ) * std::cos( 0.3 * y ) } } );
                }
            }
            bench::create_grid_triangles( *builder, n, n );
            builder->compute_polygon_adjacencies();
            modifier = std::make_unique< TriangulatedSurfaceModifier< 3 > >(
                *mesh, *builder );
        }

        std::unique_ptr< TriangulatedSurface< 3 > > mesh;
        std::unique_ptr< TriangulatedSurfaceBuilder< 3 > > builder;
        std::unique_ptr< TriangulatedSurfaceModifier< 3 > > modifier;
    };

    /// Two distinct grid vertices at most `span` squares apart along each
    /// axis, as the surface has them now.
    std::pair< index_t, index_t > random_ends(
        Surface& surface, std::mt19937& random, index_t span )
    {
        std::uniform_int_distribution< index_t > cell{ 0, GRID_SIZE };
        std::uniform_int_distribution< int > offset{ -static_cast< int >( span ),
            static_cast< int >( span ) };
        while( true )
        {
            const auto i = cell( random );
            const auto j = cell( random );
            const auto k = static_cast< index_t >( std::clamp(
                static_cast< int >( i ) + offset( random ), 0, static_cast< int >( GRID_SIZE ) ) );
            const auto l = static_cast< index_t >( std::clamp(
                static_cast< int >( j ) + offset( random ), 0, static_cast< int >( GRID_SIZE ) ) );
            const auto begin =
                surface.modifier->updated_vertex( i + ( GRID_SIZE + 1 ) * j );
            const auto end = surface.modifier->updated_vertex( k + ( GRID_SIZE + 1 ) * l );
            if( begin != end )
            {
                return { begin, end };
            }
        }
    }

    Plane vertical_plane( const Point< 3 >& from, const Point< 3 >& to )
    {
        const Vector< 3 > along{ from, to };
        return Plane{ Vector< 3 >{ { along.value( 1 ), -along.value( 0 ), 0. } }, from };
    }

    /// Walks and determines the cuts of one random path; cuts the surface
    /// along it when `cut` is set. Returns the number of cuts.
    std::size_t cut_once(
        Surface& surface, std::mt19937& random, index_t span, bool cut )
    {
        const auto [begin, end] = random_ends( surface, random, span );
        const auto& mesh = *surface.mesh;
        test::SurfacePathWalker< 3 > walker{ mesh, begin, end };
        const auto path = walker.find_path();
        if( !path )
        {
            return 0;
        }
        const auto cuts = determine_cuts< 3 >( mesh, begin, end,
            vertical_plane( mesh.point( begin ), mesh.point( end ) ), path.value() );
        if( cut )
        {
            SurfaceCutAlongPath< 3 > cutter{ mesh, *surface.modifier, begin, end, cuts };
            try
            {
                benchmark::DoNotOptimize( cutter.cut_along_path() );
            }
            catch( const SurfaceCutPathException< 3 >& )
            {
            }
        }
        return cuts.size();
    }

    /// Cuts (or only walks, at range(1) = 0) between vertices at most
    /// range(0) squares apart, one after the other on one surface.
    void surface_cuts( benchmark::State& state )
    {
        Surface surface{ GRID_SIZE };
        const auto span = static_cast< index_t >( state.range( 0 ) );
        const bool cut = state.range( 1 ) != 0;
        std::mt19937 random{ 5 };
        std::size_t nb_cut_points{ 0 };
        const auto heap_before = bench::heap_in_use();
        for( auto _ : state )
        {
            nb_cut_points += cut_once( surface, random, span, cut );
        }
        state.SetItemsProcessed( state.iterations() );
        state.counters["cut_points_per_path"] = benchmark::Counter(
            static_cast< double >( nb_cut_points ), benchmark::Counter::kAvgIterations );
        state.counters["heap_bytes_per_path"] =
            benchmark::Counter( bench::heap_growth_since( heap_before ),
                benchmark::Counter::kAvgIterations );
        state.counters["peak_rss_MB"] = bench::peak_rss_mib();
    }
    BENCHMARK( surface_cuts )
        ->ArgNames( { "span", "cut" } )
        ->Args( { 4, 0 } )
        ->Args( { 4, 1 } )
        ->Args( { GRID_SIZE, 0 } )
        ->Args( { GRID_SIZE, 1 } )
        ->Iterations( 2000 )
        ->Unit( benchmark::kMicrosecond );

    /// Eight surfaces cut at once, one pool task each, 1000 short cuts per
    /// surface, on a pool of range(0) threads: the remesher cuts its
    /// surfaces in parallel, each on one thread.
    void surface_cuts_on_threads( benchmark::State& state )
    {
        constexpr index_t NB_SURFACES = 8;
        constexpr index_t NB_CUTS = 1000;
        bench::run_objects_on_threads(
            state, NB_SURFACES, NB_CUTS,
            []( std::size_t ) { return std::make_unique< Surface >( GRID_SIZE ); },
            []( Surface& surface, std::size_t s ) {
                std::mt19937 random{ 100 + static_cast< unsigned >( s ) };
                for( index_t c = 0; c < NB_CUTS; c++ )
                {
                    cut_once( surface, random, 4, true );
                }
            } );
    }
    BENCHMARK( surface_cuts_on_threads )
        ->ArgName( "threads" )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Iterations( 2 )
        ->UseRealTime()
        ->Unit( benchmark::kMillisecond );
} // namespace
