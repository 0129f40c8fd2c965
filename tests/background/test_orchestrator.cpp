#include <background/orchestrator.hpp>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>

namespace
{
    using orvane::OpenOrvaneException;
    using Base = orvane::internal::Orchestrator< unsigned int >;

    constexpr const char* too_many_skips =
        "[Orchestrator::process_queue] Too many skipped elements";
    constexpr const char* too_many_steps =
        "[Orchestrator::process_queue] Too many steps while orchestrating "
        "elements";

    /// An orchestrator whose steps are decided by a callback, recording
    /// every call (element, stamp, retry step).
    class ScriptedOrchestrator : public Base
    {
    public:
        struct Call
        {
            unsigned int element;
            unsigned int stamp;
            bool retry;
        };

        ScriptedOrchestrator( bool quiet, bool doubled ) : quiet_( quiet ), doubled_( doubled ) {}

        std::function< Result( const Entry&, bool ) > step = []( const Entry&, bool ) {
            return Result{ true, {}, {} };
        };
        std::function< bool( const Entry& ) > skip = []( const Entry& ) { return false; };
        std::vector< Call > calls;

        using Base::queue;

    private:
        bool skip_element( const Entry& entry ) override
        {
            return skip( entry );
        }

        Result process_element( const Entry& entry ) override
        {
            calls.push_back( { entry.first, entry.second, retry() } );
            return step( entry, retry() );
        }

        bool stop_on_limit() override
        {
            return quiet_;
        }

        bool double_skip_limit() override
        {
            return doubled_;
        }

        bool quiet_;
        bool doubled_;
    };

    /// Runs the queue; the message thrown, or "" for a normal return.
    std::string run( ScriptedOrchestrator& orchestrator )
    {
        try
        {
            orchestrator.process_queue();
        }
        catch( const OpenOrvaneException& error )
        {
            return error.what();
        }
        return {};
    }

    TEST( Orchestrator, empty_queue_returns_at_once )
    {
        ScriptedOrchestrator orchestrator{ false, false };
        orchestrator.set_default_max_steps();
        EXPECT_EQ( orchestrator.max_steps(), 1000u );
        EXPECT_EQ( run( orchestrator ), "" );
        EXPECT_TRUE( orchestrator.calls.empty() );
    }

    TEST( Orchestrator, step_limit_is_at_least_1000_and_100_per_entry )
    {
        for( const auto& [nb_entries, expected] :
            std::vector< std::pair< unsigned int, unsigned int > >{
                { 0, 1000 }, { 1, 1000 }, { 10, 1000 }, { 11, 1100 }, { 250, 25000 } } )
        {
            ScriptedOrchestrator orchestrator{ false, false };
            for( unsigned int e = 0; e < nb_entries; e++ )
            {
                orchestrator.add_element( e );
            }
            orchestrator.set_default_max_steps();
            EXPECT_EQ( orchestrator.max_steps(), expected ) << nb_entries << " entries";
        }
    }

    TEST( Orchestrator, processes_in_queue_order_and_queues_results )
    {
        ScriptedOrchestrator orchestrator{ false, false };
        orchestrator.add_element( 4 );
        orchestrator.add_element( 7 );
        orchestrator.set_default_max_steps();
        orchestrator.step = []( const ScriptedOrchestrator::Entry& entry, bool ) {
            // 4 makes 9 and sends 7 again with its current stamp.
            if( entry.first == 4 )
            {
                return ScriptedOrchestrator::Result{ true, { 7 }, { 9 } };
            }
            return ScriptedOrchestrator::Result{ true, {}, {} };
        };
        EXPECT_EQ( run( orchestrator ), "" );
        // 7 is queued twice with the same stamp: a success leaves its try
        // state untried, so the touched entry is processed again.
        std::vector< unsigned int > elements;
        for( const auto& call : orchestrator.calls )
        {
            elements.push_back( call.element );
        }
        EXPECT_EQ( elements, ( std::vector< unsigned int >{ 4, 7, 7, 9 } ) );
        EXPECT_EQ( orchestrator.nb_steps(), 4u );
        EXPECT_TRUE( orchestrator.queued_elements().empty() );
    }

    TEST( Orchestrator, obsolete_and_skipped_entries_are_dropped_without_counting )
    {
        ScriptedOrchestrator orchestrator{ false, false };
        orchestrator.add_element( 1 );
        orchestrator.add_element( 2 );
        orchestrator.add_element( 1 ); // the first entry of 1 is now obsolete
        orchestrator.add_element( 3 );
        orchestrator.set_default_max_steps();
        orchestrator.skip = []( const ScriptedOrchestrator::Entry& entry ) {
            return entry.first == 3;
        };
        EXPECT_EQ( run( orchestrator ), "" );
        ASSERT_EQ( orchestrator.calls.size(), 2u );
        EXPECT_EQ( orchestrator.calls[0].element, 2u );
        EXPECT_EQ( orchestrator.calls[1].element, 1u );
        EXPECT_EQ( orchestrator.calls[1].stamp, 1u );
    }

    /// n elements that always fail, reporting themselves as touched (the
    /// optimizers' "no fix"): the calls made and the message.
    struct FailingCase
    {
        bool doubled;
        bool quiet;
        unsigned int nb_elements;
        std::size_t expected_calls;
        std::string expected_message;
    };

    TEST( Orchestrator, always_failing_elements_end_at_the_skip_limit )
    {
        for( const auto& test : std::vector< FailingCase >{
                 { false, false, 1, 2, too_many_skips },
                 { false, false, 4, 5, too_many_skips },
                 { false, true, 4, 5, "" },
                 { true, false, 4, 8, too_many_skips },
                 { true, true, 3, 6, "" },
             } )
        {
            SCOPED_TRACE( ::testing::Message()
                          << "doubled " << test.doubled << ", quiet "
                          << test.quiet << ", n " << test.nb_elements );
            ScriptedOrchestrator orchestrator{ test.quiet, test.doubled };
            for( unsigned int e = 0; e < test.nb_elements; e++ )
            {
                orchestrator.add_element( e );
            }
            orchestrator.set_default_max_steps();
            orchestrator.step = []( const ScriptedOrchestrator::Entry& entry, bool ) {
                return ScriptedOrchestrator::Result{ false, { entry.first }, {} };
            };
            EXPECT_EQ( run( orchestrator ), test.expected_message );
            ASSERT_EQ( orchestrator.calls.size(), test.expected_calls );
            // First every element in a normal step, then retries in order.
            for( unsigned int c = 0; c < test.expected_calls; c++ )
            {
                EXPECT_EQ( orchestrator.calls[c].element, c % test.nb_elements );
                EXPECT_EQ( orchestrator.calls[c].retry, c >= test.nb_elements );
            }
            // No element was processed: every one is still queued, including
            // the one whose failure hit the limit.
            auto left = orchestrator.queued_elements();
            std::sort( left.begin(), left.end() );
            ASSERT_EQ( left.size(), test.nb_elements );
            for( unsigned int e = 0; e < test.nb_elements; e++ )
            {
                EXPECT_EQ( left[e], e );
            }
        }
    }

    TEST( Orchestrator, failed_element_requeued_as_created_is_tried_afresh )
    {
        // The inserter's way: a failure lists the element in `created`, so
        // it gets a new stamp and a fresh try state.
        ScriptedOrchestrator orchestrator{ false, false };
        for( unsigned int e = 0; e < 3; e++ )
        {
            orchestrator.add_element( e );
        }
        orchestrator.set_default_max_steps();
        bool failed = false;
        orchestrator.step = [&failed]( const ScriptedOrchestrator::Entry& entry, bool ) {
            if( entry.first == 0 && !failed )
            {
                failed = true;
                return ScriptedOrchestrator::Result{ false, {}, { 0 } };
            }
            return ScriptedOrchestrator::Result{ true, {}, {} };
        };
        EXPECT_EQ( run( orchestrator ), "" );
        ASSERT_EQ( orchestrator.calls.size(), 4u );
        EXPECT_EQ( orchestrator.calls[3].element, 0u );
        EXPECT_EQ( orchestrator.calls[3].stamp, 1u );
        for( const auto& call : orchestrator.calls )
        {
            EXPECT_FALSE( call.retry );
        }
    }

    TEST( Orchestrator, one_element_always_failing_ends_the_inserter_run )
    {
        // Fails with itself in `created`: the fresh entry is untried, so a
        // retry step puts it back and the limit is exceeded. The element is
        // still reported.
        ScriptedOrchestrator orchestrator{ false, false };
        orchestrator.add_element( 5 );
        orchestrator.add_element( 6 );
        orchestrator.set_default_max_steps();
        orchestrator.step = []( const ScriptedOrchestrator::Entry& entry, bool ) {
            if( entry.first == 5 )
            {
                return ScriptedOrchestrator::Result{ false, {}, { 5 } };
            }
            return ScriptedOrchestrator::Result{ true, {}, {} };
        };
        EXPECT_EQ( run( orchestrator ), too_many_skips );
        EXPECT_EQ( orchestrator.queued_elements(), std::vector< unsigned int >{ 5 } );
    }

    TEST( Orchestrator, success_resets_the_skip_count )
    {
        // Element 0 fails once and then succeeds on its retry only when the
        // others have succeeded in between: no limit is reached.
        ScriptedOrchestrator orchestrator{ false, false };
        for( unsigned int e = 0; e < 3; e++ )
        {
            orchestrator.add_element( e );
        }
        orchestrator.set_default_max_steps();
        orchestrator.step = []( const ScriptedOrchestrator::Entry& entry, bool retry ) {
            if( entry.first == 0 && !retry )
            {
                return ScriptedOrchestrator::Result{ false, { 0 }, {} };
            }
            return ScriptedOrchestrator::Result{ true, {}, {} };
        };
        EXPECT_EQ( run( orchestrator ), "" );
        ASSERT_EQ( orchestrator.calls.size(), 4u );
        EXPECT_EQ( orchestrator.calls[3].element, 0u );
        EXPECT_TRUE( orchestrator.calls[3].retry );
        EXPECT_TRUE( orchestrator.queued_elements().empty() );
    }

    TEST( Orchestrator, step_limit_reported_only_when_work_is_left )
    {
        // Each success creates the next element until `last`.
        const auto chain = []( unsigned int last ) {
            return [last]( const ScriptedOrchestrator::Entry& entry, bool ) {
                ScriptedOrchestrator::Result result{ true, {}, {} };
                if( entry.first < last )
                {
                    result.created.push_back( entry.first + 1 );
                }
                return result;
            };
        };
        for( const auto quiet : { false, true } )
        {
            SCOPED_TRACE( quiet );
            {
                // The queue empties with the last success exactly at the
                // limit: the work is done, nothing is reported.
                ScriptedOrchestrator orchestrator{ quiet, false };
                orchestrator.add_element( 0 );
                orchestrator.set_max_steps( 3 );
                orchestrator.step = chain( 2 );
                EXPECT_EQ( run( orchestrator ), "" );
                EXPECT_EQ( orchestrator.nb_steps(), 3u );
            }
            {
                // One element is still waiting at the limit.
                ScriptedOrchestrator orchestrator{ quiet, false };
                orchestrator.add_element( 0 );
                orchestrator.set_max_steps( 3 );
                orchestrator.step = chain( 3 );
                EXPECT_EQ( run( orchestrator ), quiet ? "" : too_many_steps );
                EXPECT_EQ( orchestrator.nb_steps(), 3u );
                EXPECT_EQ( orchestrator.queued_elements(),
                    std::vector< unsigned int >{ 3 } );
            }
        }
    }

    TEST( Orchestrator, unknown_touched_element_is_a_broken_contract )
    {
        ScriptedOrchestrator orchestrator{ false, false };
        orchestrator.add_element( 0 );
        orchestrator.set_default_max_steps();
        orchestrator.step = []( const ScriptedOrchestrator::Entry&, bool ) {
            return ScriptedOrchestrator::Result{ true, { 42 }, {} };
        };
        EXPECT_THROW( orchestrator.process_queue(), std::out_of_range );
    }
} // namespace
