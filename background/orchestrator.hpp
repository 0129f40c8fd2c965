#pragma once

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>

namespace orvane
{
    namespace internal
    {
        /// What one processing step reports.
        template < typename Element >
        struct OrchestratorResult
        {
            /// The element was processed successfully.
            bool done{ false };
            /// Elements to queue again with their current stamp.
            std::vector< Element > touched;
            /// Elements to stamp anew and queue again.
            std::vector< Element > created;
        };

        /// A bounded first-in first-out work queue of element ids, handed one
        /// at a time to a subclass.
        ///
        /// Every queued element carries a stamp; queuing an element again
        /// (`add_element`) gives it a new stamp, so that its earlier entries
        /// become obsolete and are dropped when popped, without searching the
        /// queue. Each (element, stamp) pair has a try state: untried, failed
        /// once in a normal step, failed again in a retry step. A retry step
        /// starts when every queued entry has failed or been put back since
        /// the last success; in it only the entries that failed once are
        /// processed again.
        ///
        /// Two limits end a run: the number of successful steps
        /// (`max_steps`), and the number of consecutive failures and
        /// put-backs, which may not exceed the queue size (twice the queue
        /// size when `double_skip_limit` says so). A subclass chooses with
        /// `stop_on_limit` whether a reached limit ends the run quietly or
        /// throws OpenOrvaneException "[Orchestrator::process_queue] Too many
        /// skipped elements" or "[Orchestrator::process_queue] Too many steps
        /// while orchestrating elements". However the run ends, every element
        /// that was not processed keeps a current entry in the queue, where
        /// `queued_elements` reads it.
        ///
        /// Use: construct, `add_element` the initial elements, set the step
        /// limit, run `process_queue` once. An orchestrator is used by one
        /// thread.
        template < typename Element >
        class Orchestrator
        {
        public:
            using Stamp = std::uint32_t;
            using Entry = std::pair< Element, Stamp >;
            using Result = OrchestratorResult< Element >;

            Orchestrator() = default;
            Orchestrator( const Orchestrator& ) = delete;
            Orchestrator& operator=( const Orchestrator& ) = delete;
            virtual ~Orchestrator();

            /// Queues the element at the back with a new stamp: 0 the first
            /// time, the previous stamp plus one afterwards.
            void add_element( Element element );

            void set_max_steps( std::uint32_t max_steps )
            {
                max_steps_ = max_steps;
            }

            /// Sets the step limit every driver uses: max(1000, 100 x the
            /// number of queued entries), in unsigned 32-bit arithmetic.
            void set_default_max_steps();

            [[nodiscard]] std::uint32_t max_steps() const
            {
                return max_steps_;
            }

            /// Runs the queue until it is empty or a limit is reached.
            void process_queue();

            /// The elements that still have a current entry in the queue, in
            /// queue order, each once.
            [[nodiscard]] std::vector< Element > queued_elements() const;

            /// Successful steps so far.
            [[nodiscard]] std::uint32_t nb_steps() const
            {
                return steps_;
            }

        protected:
            /// True while the current step is a retry step.
            [[nodiscard]] bool retry() const
            {
                return retry_;
            }

            [[nodiscard]] const std::deque< Entry >& queue() const
            {
                return queue_;
            }

            /// The current stamp of an element ever added; throws
            /// std::out_of_range for another.
            [[nodiscard]] Stamp stamp( Element element ) const
            {
                return stamps_.at( element );
            }

        private:
            /// True when the popped entry is to be dropped unprocessed.
            virtual bool skip_element( const Entry& entry ) = 0;

            virtual Result process_element( const Entry& entry ) = 0;

            /// True when a reached limit ends the run quietly, false when it
            /// throws.
            virtual bool stop_on_limit() = 0;

            /// True when the skip limit is twice the queue size, false when
            /// it is the queue size.
            virtual bool double_skip_limit() = 0;

            /// Counts one failure or put-back of the entry; at the skip limit
            /// puts the entry back at the end of the queue and returns true
            /// (or throws, see stop_on_limit).
            bool count_skip( const Entry& entry );

            /// True when the queue still holds a current entry.
            [[nodiscard]] bool has_current_entry() const;

        private:
            std::deque< Entry > queue_;
            absl::flat_hash_map< Element, Stamp > stamps_;
            absl::flat_hash_map< Entry, std::uint32_t > tries_;
            std::uint32_t skips_{ 0 };
            std::uint32_t steps_{ 0 };
            std::uint32_t max_steps_{ 0 };
            bool retry_{ false };
            std::uint32_t skip_limit_{ 0 };
        };
    } // namespace internal
} // namespace orvane
