#include <openorvane/basic/logger.hpp>
#include <openorvane/basic/progress_logger.hpp>

#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace
{
    using orvane::Logger;
    using orvane::LoggerCapture;

    /// Restores the global level at the end of a test.
    class LevelGuard
    {
    public:
        LevelGuard() : level_( Logger::level() ) {}
        ~LevelGuard()
        {
            Logger::set_level( level_ );
        }

    private:
        Logger::Level level_;
    };

    TEST( Logger, capture_receives_formatted_messages_with_levels )
    {
        LevelGuard guard;
        Logger::set_level( Logger::Level::trace );
        LoggerCapture capture;
        const std::string_view view{ "view" };
        Logger::log_trace( "t ", 1 );
        Logger::log_debug( "d ", view );
        Logger::log_info( "i ", 0.5 );
        Logger::log_warn( "w ", 1e-7 );
        Logger::log_error( "e ", std::string{ "s" }, -3 );
        const auto messages = capture.messages();
        ASSERT_EQ( messages.size(), 5u );
        const std::vector< std::pair< Logger::Level, std::string > > expected{
            { Logger::Level::trace, "t 1" }, { Logger::Level::debug, "d view" },
            { Logger::Level::info, "i 0.5" }, { Logger::Level::warn, "w 1e-07" },
            { Logger::Level::error, "e s-3" } };
        for( std::size_t i = 0; i < expected.size(); i++ )
        {
            EXPECT_EQ( messages[i].level, expected[i].first );
            EXPECT_EQ( messages[i].text, expected[i].second );
        }
        EXPECT_EQ( capture.count( Logger::Level::warn, "w 1e-07" ), 1u );
        EXPECT_EQ( capture.count( Logger::Level::info, "w 1e-07" ), 0u );
    }

    TEST( Logger, level_filters_and_capture_restores_previous_sink )
    {
        LevelGuard guard;
        Logger::set_level( Logger::Level::warn );
        LoggerCapture outer;
        {
            LoggerCapture inner;
            Logger::log_info( "dropped" );
            Logger::log_warn( "kept" );
            ASSERT_EQ( inner.messages().size(), 1u );
            EXPECT_EQ( inner.messages()[0].text, "kept" );
        }
        Logger::log_error( "after" );
        ASSERT_EQ( outer.messages().size(), 1u );
        EXPECT_EQ( outer.messages()[0].text, "after" );
        Logger::set_level( Logger::Level::off );
        Logger::log_error( "silenced" );
        EXPECT_EQ( outer.messages().size(), 1u );
    }

    TEST( Logger, concurrent_logging_loses_nothing )
    {
        LoggerCapture capture;
        constexpr int NB_THREADS = 8;
        constexpr int NB_MESSAGES = 500;
        std::vector< std::thread > threads;
        for( int t = 0; t < NB_THREADS; t++ )
        {
            threads.emplace_back( [] {
                for( int i = 0; i < NB_MESSAGES; i++ )
                {
                    Logger::log_warn( "message ", i );
                }
            } );
        }
        for( auto& thread : threads )
        {
            thread.join();
        }
        EXPECT_EQ( capture.messages().size(), std::size_t{ NB_THREADS * NB_MESSAGES } );
        EXPECT_EQ( capture.count( Logger::Level::warn, "message 7" ),
            std::size_t{ NB_THREADS } );
    }

    TEST( ProgressLogger, concurrent_increments_are_all_counted )
    {
        LevelGuard guard;
        Logger::set_level( Logger::Level::info );
        LoggerCapture capture;
        constexpr orvane::index_t NB_THREADS = 8;
        constexpr orvane::index_t NB_STEPS = 1000;
        {
            orvane::ProgressLogger progress{ "Model split", 0 };
            std::vector< std::thread > threads;
            for( orvane::index_t t = 0; t < NB_THREADS; t++ )
            {
                threads.emplace_back( [&progress] {
                    for( orvane::index_t i = 0; i < NB_STEPS; i++ )
                    {
                        progress.increment_nb_steps();
                        progress.increment();
                    }
                } );
            }
            for( auto& thread : threads )
            {
                thread.join();
            }
            EXPECT_EQ( progress.increment_nb_steps(), NB_THREADS * NB_STEPS + 1 );
            EXPECT_EQ( progress.increment(), NB_THREADS * NB_STEPS + 1 );
        }
        const auto messages = capture.messages();
        ASSERT_GE( messages.size(), 2u );
        EXPECT_EQ( messages.front().text, "Model split started" );
        EXPECT_EQ( messages.front().level, Logger::Level::info );
        const auto& closing = messages.back().text;
        EXPECT_EQ( closing.rfind( "Model split completed in ", 0 ), 0u ) << closing;
        EXPECT_NE( closing.find( "(8001/8001 steps)" ), std::string::npos ) << closing;
    }
} // namespace
