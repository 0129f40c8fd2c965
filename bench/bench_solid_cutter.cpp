#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/cutter/solid_cut_along_path.hpp>
#include <common/cutter/solid_determine_cuts.hpp>
#include <common/cutter/solid_path_finder.hpp>
#include <common/modifier/tetrahedral_solid_modifier.hpp>

#include <bench/bench_meshes.hpp>
#include <bench/bench_process.hpp>

// Straight segment cuts through a jittered block of 105,456 tetrahedra
// (26^3 cells of 6): the interior path walk, the cut determination and the
// cut itself, as an inserter of curve edges runs them, between grid vertices
// at most a few cells apart.

namespace
{
    using namespace orvane;

    constexpr index_t GRID_SIZE = 26;

    struct Solid
    {
        explicit Solid( unsigned seed ) : solid( bench::grid_solid( GRID_SIZE ) )
        {
            builder = TetrahedralSolidBuilder< 3 >::create( *solid );
            std::mt19937 random{ seed };
            std::uniform_real_distribution< double > shift{ -0.25, 0.25 };
            for( index_t k = 1; k < GRID_SIZE; k++ )
            {
                for( index_t j = 1; j < GRID_SIZE; j++ )
                {
                    for( index_t i = 1; i < GRID_SIZE; i++ )
                    {
                        const auto vertex = grid_vertex( i, j, k );
                        auto point = solid->point( vertex );
                        for( local_index_t c = 0; c < 3; c++ )
                        {
                            point.set_value( c, point.value( c ) + shift( random ) );
                        }
                        builder->set_point( vertex, point );
                    }
                }
            }
            builder->compute_polyhedron_adjacencies();
            solid->enable_edges();
            solid->enable_facets();
            modifier = std::make_unique< TetrahedralSolidModifier >( *solid, *builder );
        }

        static index_t grid_vertex( index_t i, index_t j, index_t k )
        {
            return i + ( GRID_SIZE + 1 ) * ( j + ( GRID_SIZE + 1 ) * k );
        }

        std::unique_ptr< TetrahedralSolid< 3 > > solid;
        std::unique_ptr< TetrahedralSolidBuilder< 3 > > builder;
        std::unique_ptr< TetrahedralSolidModifier > modifier;
    };

    /// Cuts the segment between two grid vertices at most `span` cells apart
    /// along each axis. Returns the number of cuts made, 0 when the path or
    /// the cut failed.
    std::size_t cut_once( Solid& solid, std::mt19937& random, index_t span )
    {
        std::uniform_int_distribution< index_t > cell{ 0, GRID_SIZE };
        std::uniform_int_distribution< int > offset{ -static_cast< int >( span ),
            static_cast< int >( span ) };
        const auto near = [&]( index_t value ) {
            return static_cast< index_t >( std::clamp( static_cast< int >( value )
                                                           + offset( random ),
                0, static_cast< int >( GRID_SIZE ) ) );
        };
        const auto i = cell( random );
        const auto j = cell( random );
        const auto k = cell( random );
        const auto begin =
            solid.modifier->updated_vertex( Solid::grid_vertex( i, j, k ) );
        const auto end = solid.modifier->updated_vertex(
            Solid::grid_vertex( near( i ), near( j ), near( k ) ) );
        const auto path = SolidPathFinder{ *solid.solid, begin, end }.find_path();
        if( !path )
        {
            return 0;
        }
        try
        {
            const auto cuts = determine_segment_cuts( *solid.solid, path.value() );
            CutAlongPath3D cutter{ *solid.solid, *solid.modifier, cuts };
            benchmark::DoNotOptimize( cutter.cut_along_path() );
            return cuts.size();
        }
        catch( const OpenOrvaneException& )
        {
            return 0;
        }
    }

    /// Segment cuts one after the other in one solid, range(0) cells apart
    /// at most.
    void solid_segment_cuts( benchmark::State& state )
    {
        Solid solid{ 7 };
        const auto span = static_cast< index_t >( state.range( 0 ) );
        std::mt19937 random{ 5 };
        std::size_t nb_cuts{ 0 };
        const auto heap_before = bench::heap_in_use();
        for( auto _ : state )
        {
            nb_cuts += cut_once( solid, random, span );
        }
        state.SetItemsProcessed( state.iterations() );
        state.counters["cuts_per_segment"] = benchmark::Counter(
            static_cast< double >( nb_cuts ), benchmark::Counter::kAvgIterations );
        state.counters["heap_bytes_per_segment"] =
            benchmark::Counter( bench::heap_growth_since( heap_before ),
                benchmark::Counter::kAvgIterations );
        state.counters["tetrahedra"] = static_cast< double >( solid.solid->nb_polyhedra() );
        state.counters["peak_rss_MB"] = bench::peak_rss_mib();
    }
    BENCHMARK( solid_segment_cuts )
        ->ArgName( "span" )
        ->Arg( 2 )
        ->Arg( 6 )
        ->Iterations( 3000 )
        ->Unit( benchmark::kMicrosecond );

    /// Eight solids cut at once, one pool task each, 1000 segment cuts of at
    /// most 2 cells per solid, on a pool of range(0) threads: one solid is
    /// cut by one task at a time.
    void solid_segment_cuts_on_threads( benchmark::State& state )
    {
        constexpr index_t NB_SOLIDS = 8;
        constexpr index_t NB_CUTS = 1000;
        bench::run_objects_on_threads(
            state, NB_SOLIDS, NB_CUTS,
            []( std::size_t s ) {
                return std::make_unique< Solid >( 10 + static_cast< unsigned >( s ) );
            },
            []( Solid& solid, std::size_t s ) {
                std::mt19937 random{ 100 + static_cast< unsigned >( s ) };
                for( index_t c = 0; c < NB_CUTS; c++ )
                {
                    cut_once( solid, random, 2 );
                }
            } );
    }
    BENCHMARK( solid_segment_cuts_on_threads )
        ->ArgName( "threads" )
        ->Arg( 1 )
        ->Arg( 8 )
        ->Iterations( 1 )
        ->UseRealTime()
        ->Unit( benchmark::kMillisecond );
} // namespace
