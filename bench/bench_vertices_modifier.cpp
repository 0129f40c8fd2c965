// Cost of reading vertex indices back through a modifier's vertex map, as the
// cutters, inserters and remeshers do before every use of a stored index.

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include <common/modifier/vertices_modifier.hpp>

namespace
{
    using orvane::index_t;

    // A modifier whose map holds `nb_chains` chains of `chain_length`
    // collapses each: vertex c * length + k maps to c * length + k + 1 until
    // the last vertex of the chain, which is unmapped.
    class ChainedModifier : public orvane::VerticesModifier
    {
    public:
        ChainedModifier( index_t nb_chains, index_t chain_length )
        {
            for( index_t c = 0; c < nb_chains; c++ )
            {
                const index_t first = c * ( chain_length + 1 );
                for( index_t k = 0; k < chain_length; k++ )
                {
                    const index_t merged = first + k;
                    update_vertex_map( first + k + 1, { &merged, 1 } );
                }
            }
        }
    };

    void unmapped_lookup( benchmark::State& state )
    {
        ChainedModifier modifier{ 10000, 1 };
        index_t vertex{ 0 };
        for( auto _ : state )
        {
            // Odd vertices end their chains of one step: never keys.
            benchmark::DoNotOptimize( modifier.updated_vertex( 2 * vertex + 1 ) );
            vertex = ( vertex + 1 ) % 10000;
        }
    }
    BENCHMARK( unmapped_lookup );

    // The first lookup of each chain start walks and compresses the chain;
    // later ones take one step.
    void chain_lookup( benchmark::State& state )
    {
        const auto length = static_cast< index_t >( state.range( 0 ) );
        const index_t nb_chains = 10000;
        for( auto _ : state )
        {
            state.PauseTiming();
            ChainedModifier modifier{ nb_chains, length };
            state.ResumeTiming();
            for( int pass = 0; pass < 2; pass++ )
            {
                for( index_t c = 0; c < nb_chains; c++ )
                {
                    benchmark::DoNotOptimize(
                        modifier.updated_vertex( c * ( length + 1 ) ) );
                }
            }
        }
        state.SetItemsProcessed( state.iterations() * 2 * nb_chains );
    }
    BENCHMARK( chain_lookup )->Arg( 1 )->Arg( 3 )->Arg( 8 );

    // A full scan of a pair list for a pair it does not hold, half of the
    // stored vertices having been merged.
    void contains_remapped_edge_scan( benchmark::State& state )
    {
        const auto nb_edges = static_cast< index_t >( state.range( 0 ) );
        ChainedModifier modifier{ nb_edges, 1 };
        std::vector< std::array< index_t, 2 > > edges;
        std::mt19937 random{ 42 };
        std::uniform_int_distribution< index_t > vertex{ 0, 2 * nb_edges - 1 };
        for( index_t e = 0; e < nb_edges; e++ )
        {
            edges.push_back( { vertex( random ), vertex( random ) } );
        }
        const std::array< index_t, 2 > absent{ 4 * nb_edges, 4 * nb_edges + 1 };
        for( auto _ : state )
        {
            benchmark::DoNotOptimize( orvane::detail::contains_remapped_edge(
                edges, absent, modifier ) );
        }
        state.SetItemsProcessed( state.iterations() * nb_edges );
    }
    BENCHMARK( contains_remapped_edge_scan )->Arg( 16 )->Arg( 1024 );
} // namespace
