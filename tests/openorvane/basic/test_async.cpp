#include <openorvane/basic/async.hpp>

#include <atomic>
#include <chrono>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <oneapi/tbb/task_arena.h>
#include <gtest/gtest.h>

namespace
{
    namespace async = orvane::async;
    using orvane::index_t;

    /// A failure type that callers catch by its own type.
    class CutFailure : public orvane::OpenOrvaneException
    {
    public:
        CutFailure( std::string text, int code )
            : orvane::OpenOrvaneException( text ), code_( code )
        {
        }

        int code() const
        {
            return code_;
        }

    private:
        int code_;
    };

    void pause( int milliseconds )
    {
        std::this_thread::sleep_for( std::chrono::milliseconds{ milliseconds } );
    }

    TEST( Async, tasks_return_values_move_only_results_and_void )
    {
        auto number = async::spawn( [] { return 42; } );
        auto pointer = async::spawn( [] { return std::make_unique< int >( 7 ); } );
        std::atomic< bool > ran{ false };
        auto nothing = async::spawn( [&ran] { ran = true; } );
        auto move_only_body = async::spawn(
            [owned = std::make_unique< int >( 5 )] { return *owned + 1; } );
        EXPECT_EQ( number.get(), 42 );
        EXPECT_EQ( *pointer.get(), 7 );
        nothing.get();
        EXPECT_TRUE( ran );
        EXPECT_EQ( move_only_body.get(), 6 );
        auto moved = std::move( number );
        EXPECT_TRUE( moved.valid() );
        EXPECT_FALSE( number.valid() ); // NOLINT: checking the moved-from state
    }

    TEST( Async, get_rethrows_with_dynamic_type_and_wait_does_not )
    {
        auto task = async::spawn( []() -> int { throw CutFailure{ "cut", 3 }; } );
        EXPECT_NO_THROW( task.wait() );
        EXPECT_TRUE( task.failed() );
        try
        {
            task.get();
            FAIL() << "no exception";
        }
        catch( const CutFailure& failure )
        {
            EXPECT_STREQ( failure.what(), "cut" );
            EXPECT_EQ( failure.code(), 3 );
        }
        auto standard = async::spawn( [] { throw std::out_of_range{ "range" }; } );
        EXPECT_THROW( standard.get(), std::out_of_range );
    }

    TEST( Async, wait_all_rethrows_first_failure_in_scheduling_order_after_all_ended )
    {
        std::atomic< int > ended{ 0 };
        std::vector< async::Task< int > > tasks;
        tasks.push_back( async::spawn( [&ended] {
            ended++;
            return 0;
        } ) );
        // Scheduled first but fails last.
        tasks.push_back( async::spawn( [&ended]() -> int {
            pause( 100 );
            ended++;
            throw CutFailure{ "first", 1 };
        } ) );
        tasks.push_back( async::spawn( [&ended]() -> int {
            ended++;
            throw CutFailure{ "second", 2 };
        } ) );
        tasks.push_back( async::spawn( [&ended] {
            pause( 150 );
            ended++;
            return 3;
        } ) );
        try
        {
            async::wait_all( tasks );
            FAIL() << "no exception";
        }
        catch( const CutFailure& failure )
        {
            EXPECT_EQ( failure.code(), 1 );
            EXPECT_EQ( ended, 4 );
        }
        EXPECT_EQ( tasks[0].get(), 0 );
        EXPECT_EQ( tasks[3].get(), 3 );
    }

    TEST( Async, when_all_continuation_runs_after_every_input_in_order )
    {
        std::atomic< int > ended{ 0 };
        std::vector< async::Task< int > > tasks;
        for( int i = 0; i < 20; i++ )
        {
            tasks.push_back( async::spawn( [i, &ended] {
                pause( ( 20 - i ) % 5 );
                ended++;
                return i;
            } ) );
        }
        auto continuation =
            async::when_all( std::move( tasks ) )
                .then( [&ended]( std::vector< async::Task< int > >&& inputs ) {
                    EXPECT_EQ( ended, 20 );
                    std::vector< int > results;
                    for( auto& input : inputs )
                    {
                        results.push_back( input.get() );
                    }
                    return results;
                } );
        std::vector< int > expected( 20 );
        std::iota( expected.begin(), expected.end(), 0 );
        EXPECT_EQ( continuation.get(), expected );
    }

    TEST( Async, when_all_of_no_task_runs_at_once_and_failures_reach_the_caller )
    {
        auto empty = async::when_all( std::vector< async::Task< void > >{} ).then(
            []( std::vector< async::Task< void > >&& inputs ) {
                return inputs.size();
            } );
        EXPECT_EQ( empty.get(), 0u );

        std::vector< async::Task< int > > tasks;
        tasks.push_back( async::spawn( [] { return 1; } ) );
        tasks.push_back( async::spawn( []() -> int { throw CutFailure{ "bad", 9 }; } ) );
        auto sum = async::when_all( std::move( tasks ) )
                       .then( []( std::vector< async::Task< int > >&& inputs ) {
                           int total = 0;
                           for( auto& input : inputs )
                           {
                               total += input.get();
                           }
                           return total;
                       } );
        EXPECT_THROW( sum.get(), CutFailure );
    }

    TEST( Async, dropped_tasks_are_joined )
    {
        std::atomic< bool > ended{ false };
        {
            auto task = async::spawn( [&ended] {
                pause( 50 );
                ended = true;
            } );
        }
        EXPECT_TRUE( ended );
    }

    /// Every level starts tasks and waits for them from inside the pool.
    int nested_sum( int depth )
    {
        if( depth == 0 )
        {
            return 1;
        }
        auto left = async::spawn( [depth] { return nested_sum( depth - 1 ); } );
        int right{ 0 };
        async::parallel_invoke( [&right, depth] { right = nested_sum( depth - 1 ); },
            [] { pause( 1 ); } );
        std::vector< async::Task< int > > children;
        children.push_back( std::move( left ) );
        children.push_back( async::spawn( [] {
            std::atomic< int > count{ 0 };
            async::parallel_for( 0, 100, [&count]( index_t ) { count++; } );
            return count.load() - 99;
        } ) );
        auto total = async::when_all( std::move( children ) )
                         .then( []( std::vector< async::Task< int > >&& inputs ) {
                             int sum = 0;
                             for( auto& input : inputs )
                             {
                                 sum += input.get();
                             }
                             return sum;
                         } );
        return total.get() + right;
    }

    TEST( Async, nested_waits_do_not_deadlock_on_a_two_thread_arena )
    {
        // nested_sum( d ) = 2 nested_sum( d - 1 ) + 1, nested_sum( 0 ) = 1.
        const int depth = 7;
        const int expected = ( 1 << ( depth + 1 ) ) - 1;
        for( const int nb_threads : { 1, 2 } )
        {
            tbb::task_arena arena{ nb_threads };
            int result{ 0 };
            arena.execute( [&result, depth] {
                std::vector< async::Task< int > > outer;
                for( int i = 0; i < 4; i++ )
                {
                    outer.push_back(
                        async::spawn( [depth] { return nested_sum( depth ); } ) );
                }
                for( auto& task : outer )
                {
                    result += task.get();
                }
            } );
            EXPECT_EQ( result, 4 * expected ) << nb_threads << " threads";
        }
    }

    TEST( Async, parallel_invoke_joins_before_rethrowing )
    {
        std::atomic< bool > task_ended{ false };
        try
        {
            async::parallel_invoke(
                [&task_ended] {
                    pause( 100 );
                    task_ended = true;
                },
                [] { throw CutFailure{ "inline", 2 }; } );
            FAIL() << "no exception";
        }
        catch( const CutFailure& failure )
        {
            EXPECT_EQ( failure.code(), 2 );
            EXPECT_TRUE( task_ended );
        }
        // Both fail: the task's failure comes first.
        try
        {
            async::parallel_invoke(
                [] {
                    pause( 20 );
                    throw CutFailure{ "task", 1 };
                },
                [] { throw CutFailure{ "inline", 2 }; } );
            FAIL() << "no exception";
        }
        catch( const CutFailure& failure )
        {
            EXPECT_EQ( failure.code(), 1 );
        }
    }

    TEST( Async, grain_follows_the_formula )
    {
        const auto hw = async::hardware_concurrency();
        ASSERT_GE( hw, 1u );
        const index_t per_thread = 8 * hw;
        const std::vector< std::pair< index_t, index_t > > cases{
            { 0, 1 },
            { 1, 1 },
            { per_thread - 1, 1 },
            { 2 * per_thread, 2 },
            { 2 * per_thread + per_thread - 1, 2 },
            { 2047 * per_thread, 2047 },
            { 2048 * per_thread, 2048 },
            { 5000 * per_thread, 2048 },
            { orvane::NO_ID, 2048 },
        };
        for( const auto& [nb_elements, expected] : cases )
        {
            EXPECT_EQ( async::grain( nb_elements ), expected ) << nb_elements;
        }
    }

    TEST( Async, parallel_for_visits_every_index_once_and_reports_failures )
    {
        for( const index_t size : { 0u, 1u, 7u, 100000u } )
        {
            std::vector< std::atomic< int > > visits( size + 10 );
            async::parallel_for( 5, 5 + size, [&visits]( index_t i ) { visits[i]++; } );
            for( index_t i = 0; i < size + 10; i++ )
            {
                const int expected = i >= 5 && i < 5 + size ? 1 : 0;
                ASSERT_EQ( visits[i].load(), expected ) << size << " " << i;
            }
        }
        EXPECT_THROW( async::parallel_for( 0, 1000,
                          []( index_t i ) {
                              if( i == 500 )
                              {
                                  throw CutFailure{ "loop", 5 };
                              }
                          } ),
            CutFailure );
    }

    TEST( Async, chunked_tasks_cover_the_range_with_a_remainder_task )
    {
        const auto hw = async::hardware_concurrency();
        const index_t exact = 3 * 8 * hw * 4; // grain 12, 8 hw chunks, exact
        for( const index_t size : { 0u, 1u, exact, exact + 5, 1000000u } )
        {
            std::vector< std::atomic< int > > visits( size );
            auto tasks = async::chunked_tasks(
                size, [&visits]( index_t begin, index_t end ) {
                    for( auto i = begin; i < end; i++ )
                    {
                        visits[i]++;
                    }
                } );
            const auto chunk = async::grain( size );
            EXPECT_EQ( tasks.size(), size / chunk + 1 ) << size;
            async::when_all( std::move( tasks ) )
                .then( []( std::vector< async::Task< void > >&& inputs ) {
                    async::wait_all( inputs );
                } )
                .get();
            for( index_t i = 0; i < size; i++ )
            {
                ASSERT_EQ( visits[i].load(), 1 ) << size << " " << i;
            }
        }
    }
} // namespace
