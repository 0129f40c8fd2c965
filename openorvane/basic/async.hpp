#pragma once

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/parallel_for.h>
#include <oneapi/tbb/parallel_sort.h>
#include <oneapi/tbb/partitioner.h>
#include <oneapi/tbb/task_group.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/types.hpp>

/// The thread pool: tasks, joins and parallel loops on the process-wide
/// default pool (or on the arena the caller runs in).
///
/// A thread that waits for a task helps run pending work instead of
/// sleeping, so tasks may wait for tasks they started, at any depth, even on
/// a pool of one or two threads.
namespace orvane::async
{
    /// std::thread::hardware_concurrency(), or 1 when it is unknown.
    unsigned int hardware_concurrency();

    /// Range length of the parallel loops: n / (8 * hardware_concurrency())
    /// in integer division, clamped to [1, 2048].
    index_t grain( index_t nb_elements );

    template < typename R >
    class Task;

    namespace internal
    {
        /// What a task shares with the body that runs on the pool: its
        /// result or failure, the group that joins it, and a hook run once
        /// the body has ended.
        template < typename R >
        class TaskState
        {
        public:
            using Stored = std::conditional_t< std::is_void_v< R >, std::monostate, R >;

            TaskState() = default;
            TaskState( const TaskState& ) = delete;
            TaskState& operator=( const TaskState& ) = delete;

            /// A task that is dropped without being waited for is still
            /// joined: its body may reference this state.
            ~TaskState()
            {
                group_.wait();
            }

            template < typename F >
            void run( F&& function )
            {
                group_.run( runner( std::forward< F >( function ) ) );
            }

            /// Reserves the body in the group (a wait blocks until it has
            /// run) without scheduling it yet.
            template < typename F >
            tbb::task_handle defer( F&& function )
            {
                return group_.defer( runner( std::forward< F >( function ) ) );
            }

            void submit( tbb::task_handle&& handle )
            {
                group_.run( std::move( handle ) );
            }

            void wait()
            {
                group_.wait();
            }

            /// Runs the hook once the body has ended: at once when it already
            /// has, otherwise on the thread that ends it.
            void on_finished( std::function< void() > hook )
            {
                {
                    const std::lock_guard< std::mutex > locking{ mutex_ };
                    if( !finished_ )
                    {
                        hook_ = std::move( hook );
                        return;
                    }
                }
                hook();
            }

            const std::exception_ptr& error() const
            {
                return error_;
            }

            std::optional< Stored >& result()
            {
                return result_;
            }

        private:
            template < typename F >
            auto runner( F&& function )
            {
                // The pool calls its functors as const: keep the body behind a
                // pointer so that it may be move-only and mutable.
                auto body = std::make_unique< std::decay_t< F > >(
                    std::forward< F >( function ) );
                return [this, body = std::shared_ptr< std::decay_t< F > >(
                                  std::move( body ) )] { execute( *body ); };
            }

            template < typename F >
            void execute( F& function )
            {
                try
                {
                    if constexpr( std::is_void_v< R > )
                    {
                        function();
                        result_.emplace();
                    }
                    else
                    {
                        result_.emplace( function() );
                    }
                }
                catch( ... )
                {
                    error_ = std::current_exception();
                }
                std::function< void() > hook;
                {
                    const std::lock_guard< std::mutex > locking{ mutex_ };
                    finished_ = true;
                    hook = std::move( hook_ );
                }
                if( hook )
                {
                    hook();
                }
            }

        private:
            // An isolated context: cancelling the work that spawned the task
            // (a failing parallel loop, say) must not silently skip its body.
            tbb::task_group_context context_{ tbb::task_group_context::isolated };
            tbb::task_group group_{ context_ };
            std::optional< Stored > result_;
            std::exception_ptr error_;
            std::mutex mutex_;
            bool finished_{ false };
            std::function< void() > hook_;
        };
    } // namespace internal

    /// A job scheduled on the pool and its result. Move-only; R may be void
    /// or move-only. Dropping a task waits for it.
    template < typename R >
    class Task
    {
        template < typename T >
        friend class Task;
        template < typename T >
        friend class WhenAll;
        template < typename F >
        friend auto spawn( F&& function )
            -> Task< std::invoke_result_t< std::decay_t< F >& > >;

    public:
        using result_type = R;

        Task() = default;
        Task( Task&& ) noexcept = default;
        Task& operator=( Task&& ) noexcept = default;

        /// Whether the task holds a job (false once moved from).
        bool valid() const
        {
            return state_ != nullptr;
        }

        /// Blocks until the job has ended, helping the pool meanwhile.
        /// Never rethrows.
        void wait()
        {
            check_valid();
            state_->wait();
        }

        /// Waits, then returns the result (moved out: call it once) or
        /// rethrows the job's exception with its dynamic type.
        R get()
        {
            wait();
            rethrow_if_failed();
            if constexpr( !std::is_void_v< R > )
            {
                return std::move( *state_->result() );
            }
        }

        /// Whether the ended job threw. Call after wait().
        bool failed() const
        {
            check_valid();
            return static_cast< bool >( state_->error() );
        }

        /// Rethrows the ended job's exception, if any. Call after wait().
        void rethrow_if_failed() const
        {
            check_valid();
            if( state_->error() )
            {
                std::rethrow_exception( state_->error() );
            }
        }

    private:
        explicit Task( std::unique_ptr< internal::TaskState< R > > state )
            : state_( std::move( state ) )
        {
        }

        void check_valid() const
        {
            if( !state_ )
            {
                throw OpenOrvaneException{ "[Task] The task holds no job" };
            }
        }

    private:
        std::unique_ptr< internal::TaskState< R > > state_;
    };

    /// Schedules the function on the pool.
    template < typename F >
    auto spawn( F&& function ) -> Task< std::invoke_result_t< std::decay_t< F >& > >
    {
        using R = std::invoke_result_t< std::decay_t< F >& >;
        auto state = std::make_unique< internal::TaskState< R > >();
        state->run( std::forward< F >( function ) );
        return Task< R >{ std::move( state ) };
    }

    /// Waits until every task has ended (there is no cancellation), then
    /// rethrows the failure of the first failed task in the given order.
    template < typename R >
    void wait_all( std::span< Task< R > > tasks )
    {
        for( auto& task : tasks )
        {
            task.wait();
        }
        for( auto& task : tasks )
        {
            task.rethrow_if_failed();
        }
    }

    template < typename R >
    void wait_all( std::vector< Task< R > >& tasks )
    {
        wait_all( std::span< Task< R > >{ tasks } );
    }

    /// A set of tasks waiting for a continuation (see when_all).
    template < typename R >
    class WhenAll
    {
    public:
        explicit WhenAll( std::vector< Task< R > >&& tasks )
            : tasks_( std::move( tasks ) )
        {
        }

        /// Schedules `continuation( std::vector< Task< R > >&& )` on the pool
        /// once every task has ended (at once when there is none) and
        /// returns its task. The continuation takes the results with get(),
        /// in order, so the first failure ends it with that exception. No
        /// pool thread blocks until then: the last task to end schedules it.
        template < typename F >
        auto then( F&& continuation )
            -> Task< std::invoke_result_t< std::decay_t< F >&, std::vector< Task< R > >&& > >
        {
            using Result =
                std::invoke_result_t< std::decay_t< F >&, std::vector< Task< R > >&& >;
            struct Countdown
            {
                std::atomic< std::size_t > remaining;
                tbb::task_handle handle;
                internal::TaskState< Result >* state;

                void count_down()
                {
                    if( remaining.fetch_sub( 1, std::memory_order_acq_rel ) == 1 )
                    {
                        state->submit( std::move( handle ) );
                    }
                }
            };
            auto state = std::make_unique< internal::TaskState< Result > >();
            auto countdown = std::make_shared< Countdown >();
            countdown->remaining.store( tasks_.size() + 1 );
            countdown->state = state.get();
            // The inputs' states stay where they are when the vector moves,
            // so hooks can be attached before the vector goes to the body.
            std::vector< internal::TaskState< R >* > inputs;
            inputs.reserve( tasks_.size() );
            for( auto& task : tasks_ )
            {
                task.check_valid();
                inputs.push_back( task.state_.get() );
            }
            countdown->handle = state->defer(
                [tasks = std::move( tasks_ ),
                    continuation = std::forward< F >( continuation )]() mutable {
                    for( auto& task : tasks )
                    {
                        // Every input has ended: this only joins their groups.
                        task.wait();
                    }
                    return continuation( std::move( tasks ) );
                } );
            for( auto* input : inputs )
            {
                input->on_finished( [countdown] { countdown->count_down(); } );
            }
            countdown->count_down();
            return Task< Result >{ std::move( state ) };
        }

    private:
        std::vector< Task< R > > tasks_;
    };

    template < typename R >
    WhenAll< R > when_all( std::vector< Task< R > >&& tasks )
    {
        return WhenAll< R >{ std::move( tasks ) };
    }

    /// Calls function( i ) for every i in [begin, end) on the pool. Ranges
    /// are split in halves down to grain( end - begin ) elements. A failure
    /// reaches the caller; other ranges may then be skipped.
    template < typename F >
    void parallel_for( index_t begin, index_t end, F&& function )
    {
        if( begin >= end )
        {
            return;
        }
        tbb::parallel_for(
            tbb::blocked_range< index_t >{ begin, end, grain( end - begin ) },
            [&function]( const tbb::blocked_range< index_t >& range ) {
                for( auto i = range.begin(); i != range.end(); i++ )
                {
                    function( i );
                }
            },
            tbb::simple_partitioner{} );
    }

    /// Sorts [begin, end) with operator< on the pool. Equal elements may end
    /// in any order: where the result must not depend on the number of
    /// threads, sort elements that no two compare equal.
    template < typename RandomIt >
    void parallel_sort( RandomIt begin, RandomIt end )
    {
        tbb::parallel_sort( begin, end );
    }

    /// Schedules task_job on the pool and runs inline_job on this thread.
    /// Always joins the task before returning or throwing (it may reference
    /// the caller's stack), then rethrows the task's failure first,
    /// otherwise the inline job's.
    template < typename TaskJob, typename InlineJob >
    void parallel_invoke( TaskJob&& task_job, InlineJob&& inline_job )
    {
        auto task = spawn( std::forward< TaskJob >( task_job ) );
        std::exception_ptr inline_error;
        try
        {
            std::forward< InlineJob >( inline_job )();
        }
        catch( ... )
        {
            inline_error = std::current_exception();
        }
        task.wait();
        task.rethrow_if_failed();
        if( inline_error )
        {
            std::rethrow_exception( inline_error );
        }
    }

    /// Splits [0, nb_elements) into chunks of m = grain( nb_elements ): one
    /// task per [k m, (k + 1) m) for k < nb_elements / m, plus one task for
    /// the remainder, which may be empty (so nb_elements = 0 gives one empty
    /// task). Each task calls function( chunk_begin, chunk_end ).
    template < typename F >
    std::vector< Task< void > > chunked_tasks( index_t nb_elements, F function )
    {
        const auto size = grain( nb_elements );
        const auto nb_full_chunks = nb_elements / size;
        std::vector< Task< void > > tasks;
        tasks.reserve( nb_full_chunks + 1 );
        for( index_t chunk = 0; chunk < nb_full_chunks; chunk++ )
        {
            tasks.push_back( spawn( [function, chunk, size] {
                function( chunk * size, ( chunk + 1 ) * size );
            } ) );
        }
        tasks.push_back( spawn( [function, nb_full_chunks, size, nb_elements] {
            function( nb_full_chunks * size, nb_elements );
        } ) );
        return tasks;
    }
} // namespace orvane::async
