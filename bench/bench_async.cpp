#include <openorvane/basic/async.hpp>

#include <cmath>
#include <vector>

#include <benchmark/benchmark.h>

namespace
{
    constexpr orvane::index_t NB_VALUES = 10'000'000;

    /// A body worth a few dozen flops, like a normal or metric update.
    double body( double value )
    {
        double result = value;
        for( int k = 0; k < 4; k++ )
        {
            result = std::sqrt( result * result + 1.0 ) * std::sin( result );
        }
        return result;
    }

    std::vector< double > make_values()
    {
        std::vector< double > values( NB_VALUES );
        for( orvane::index_t i = 0; i < NB_VALUES; i++ )
        {
            values[i] = 1e-7 * i;
        }
        return values;
    }

    void serial_loop( benchmark::State& state )
    {
        const auto values = make_values();
        std::vector< double > results( NB_VALUES );
        for( auto _ : state )
        {
            for( orvane::index_t i = 0; i < NB_VALUES; i++ )
            {
                results[i] = body( values[i] );
            }
            benchmark::DoNotOptimize( results.data() );
            benchmark::ClobberMemory();
        }
        state.SetItemsProcessed( state.iterations() * NB_VALUES );
    }
    BENCHMARK( serial_loop )->Unit( benchmark::kMillisecond )->UseRealTime();

    void pool_parallel_for( benchmark::State& state )
    {
        const auto values = make_values();
        std::vector< double > results( NB_VALUES );
        for( auto _ : state )
        {
            orvane::async::parallel_for( 0, NB_VALUES, [&]( orvane::index_t i ) {
                results[i] = body( values[i] );
            } );
            benchmark::DoNotOptimize( results.data() );
            benchmark::ClobberMemory();
        }
        state.SetItemsProcessed( state.iterations() * NB_VALUES );
        state.counters["threads"] = orvane::async::hardware_concurrency();
    }
    BENCHMARK( pool_parallel_for )->Unit( benchmark::kMillisecond )->UseRealTime();

    void pool_chunked_tasks( benchmark::State& state )
    {
        const auto values = make_values();
        std::vector< double > results( NB_VALUES );
        for( auto _ : state )
        {
            orvane::async::when_all(
                orvane::async::chunked_tasks( NB_VALUES,
                    [&]( orvane::index_t begin, orvane::index_t end ) {
                        for( auto i = begin; i < end; i++ )
                        {
                            results[i] = body( values[i] );
                        }
                    } ) )
                .then( []( std::vector< orvane::async::Task< void > >&& tasks ) {
                    orvane::async::wait_all( tasks );
                } )
                .get();
            benchmark::DoNotOptimize( results.data() );
            benchmark::ClobberMemory();
        }
        state.SetItemsProcessed( state.iterations() * NB_VALUES );
    }
    BENCHMARK( pool_chunked_tasks )->Unit( benchmark::kMillisecond )->UseRealTime();
} // namespace
