// Cutting tetrahedral solids along triangles: patch cuts per second in
// solids of 105,456 tetrahedra (a grid of 26^3 cells of 6 tetrahedra),
// one solid per task.
//
// Each solid receives the same 18 triangles of 16 grid facets' size, lying in the planes
// z = y + c, whose sides are grid edges; every other vertex is moved at
// random by up to 0.3 cell, so that the planes cross edges and facets at
// arbitrary places. Run with the argument 1 and 8: the pool is limited to
// that many threads and cuts 8 solids, one task each.

#include <memory>
#include <random>
#include <vector>

#include <absl/container/flat_hash_set.h>
#include <benchmark/benchmark.h>
#include <oneapi/tbb/global_control.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/cutter/find_and_cut_along_patch.hpp>
#include <common/modifier/tetrahedral_solid_modifier.hpp>

#include <bench/bench_meshes.hpp>
#include <bench/bench_process.hpp>

namespace
{
    using namespace orvane;

    constexpr index_t CELLS = 26;
    constexpr index_t SIZE = 4;
    constexpr index_t NB_SOLIDS = 8;

    index_t vertex( index_t i, index_t j, index_t k )
    {
        return i + ( CELLS + 1 ) * ( j + ( CELLS + 1 ) * k );
    }

    /// A triangle (a, b, b + c), (a + SIZE, b, b + c),
    /// (a + SIZE, b + SIZE, b + SIZE + c) and its boundary chain.
    struct Patch
    {
        std::array< Point< 3 >, 3 > corners;
        std::vector< index_t > chain;
    };

    std::vector< Patch > patches()
    {
        std::vector< Patch > result;
        for( index_t c = 0; c + 2 * SIZE < CELLS; c += 6 )
        {
            for( index_t a = 1; a + SIZE < CELLS; a += 7 )
            {
                for( index_t b = 1; b + SIZE + c < CELLS && b < 12; b += 7 )
                {
                    Patch patch;
                    const auto point = []( index_t i, index_t j, index_t k ) {
                        return Point< 3 >{ { static_cast< double >( i ),
                            static_cast< double >( j ), static_cast< double >( k ) } };
                    };
                    patch.corners = { point( a, b, b + c ), point( a + SIZE, b, b + c ),
                        point( a + SIZE, b + SIZE, b + SIZE + c ) };
                    for( index_t s = 0; s < SIZE; s++ )
                    {
                        patch.chain.push_back( vertex( a + s, b, b + c ) );
                    }
                    for( index_t s = 0; s < SIZE; s++ )
                    {
                        patch.chain.push_back( vertex( a + SIZE, b + s, b + s + c ) );
                    }
                    for( index_t s = SIZE; s > 0; s-- )
                    {
                        patch.chain.push_back( vertex( a + s, b + s, b + s + c ) );
                    }
                    result.push_back( std::move( patch ) );
                }
            }
        }
        return result;
    }

    std::unique_ptr< TetrahedralSolid< 3 > > jittered_solid(
        const std::vector< Patch >& patches )
    {
        auto solid = bench::grid_solid( CELLS );
        auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
        builder->compute_polyhedron_adjacencies();
        absl::flat_hash_set< index_t > fixed;
        for( const auto& patch : patches )
        {
            fixed.insert( patch.chain.begin(), patch.chain.end() );
        }
        std::mt19937 random{ 5 };
        std::uniform_real_distribution< double > shift{ -0.3, 0.3 };
        for( index_t v = 0; v < solid->nb_vertices(); v++ )
        {
            auto point = solid->point( v );
            for( const local_index_t c : { 0, 1, 2 } )
            {
                const auto moved = point.value( c ) + shift( random );
                if( !fixed.contains( v ) && point.value( c ) > 0
                    && point.value( c ) < CELLS )
                {
                    point.set_value( c, moved );
                }
            }
            builder->set_point( v, point );
        }
        solid->enable_edges();
        solid->enable_facets();
        return solid;
    }

    /// Cuts the solid along the patches from `first` on; returns the number
    /// of cuts made.
    index_t cut_patches( const TetrahedralSolid< 3 >& solid,
        TetrahedralSolidModifier& modifier,
        const std::vector< Patch >& patches,
        std::size_t first )
    {
        index_t nb_cuts{ 0 };
        for( std::size_t p = first; p < patches.size(); p++ )
        {
            const auto& patch = patches[p];
            std::vector< PatchBoundaryEdge > boundary;
            for( std::size_t i = 0; i < patch.chain.size(); i++ )
            {
                const auto from = patch.chain[i];
                const auto to = patch.chain[( i + 1 ) % patch.chain.size()];
                const auto edge = solid.edges().edge_from_vertices( { from, to } ).value();
                boundary.push_back(
                    { edge, solid.edges().edge_vertices( edge )[0] == from } );
            }
            const Triangle< 3 > triangle{ patch.corners[0], patch.corners[1],
                patch.corners[2] };
            try
            {
                FindAndCutAlongPatchImpl cutter{ solid, modifier, triangle, boundary };
                cutter.prepare();
                cutter.process();
                benchmark::DoNotOptimize( cutter.take_result() );
                nb_cuts++;
            }
            catch( const CutPatchException& )
            {
            }
        }
        return nb_cuts;
    }

    void BM_cut_along_patches( benchmark::State& state )
    {
        const tbb::global_control threads{ tbb::global_control::max_allowed_parallelism,
            static_cast< std::size_t >( state.range( 0 ) ) };
        const auto triangles = patches();
        index_t nb_cuts{ 0 };
        index_t nb_tetrahedra{ 0 };
        for( auto _ : state )
        {
            state.PauseTiming();
            std::vector< std::unique_ptr< TetrahedralSolid< 3 > > > solids;
            std::vector< std::unique_ptr< TetrahedralSolidBuilder< 3 > > > builders;
            std::vector< std::unique_ptr< TetrahedralSolidModifier > > modifiers;
            for( index_t s = 0; s < NB_SOLIDS; s++ )
            {
                solids.push_back( jittered_solid( triangles ) );
                builders.push_back( TetrahedralSolidBuilder< 3 >::create( *solids.back() ) );
                modifiers.push_back( std::make_unique< TetrahedralSolidModifier >(
                    *solids.back(), *builders.back() ) );
            }
            nb_tetrahedra = solids.front()->nb_polyhedra();
            std::vector< index_t > cuts( NB_SOLIDS, 0 );
            // The first cut of a fresh solid grows its edge and facet
            // tables and creates the modifier's flags: keep it out of the
            // timing, which then measures the cuts themselves.
            async::parallel_for( 0, NB_SOLIDS, [&]( index_t s ) {
                const std::vector< Patch > first{ triangles.front() };
                cut_patches( *solids[s], *modifiers[s], first, 0 );
            } );
            state.ResumeTiming();
            async::parallel_for( 0, NB_SOLIDS, [&]( index_t s ) {
                cuts[s] = cut_patches( *solids[s], *modifiers[s], triangles, 1 );
            } );
            state.PauseTiming();
            nb_cuts = 0;
            for( const auto count : cuts )
            {
                nb_cuts += count;
            }
            modifiers.clear();
            builders.clear();
            solids.clear();
            state.ResumeTiming();
        }
        state.counters["threads"] = static_cast< double >( state.range( 0 ) );
        state.counters["tetrahedra_per_solid"] = static_cast< double >( nb_tetrahedra );
        state.counters["patches"] =
            static_cast< double >( NB_SOLIDS * ( triangles.size() - 1 ) );
        state.counters["cuts_made"] = static_cast< double >( nb_cuts );
        state.counters["cuts_per_s"] = benchmark::Counter(
            static_cast< double >( nb_cuts ), benchmark::Counter::kIsIterationInvariantRate );
        state.counters["peak_rss_mb"] = bench::peak_rss_mib();
    }
} // namespace

BENCHMARK( BM_cut_along_patches )->Arg( 1 )->Arg( 8 )->Unit( benchmark::kMillisecond )->Iterations( 3 )->UseRealTime();
