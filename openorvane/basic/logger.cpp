#include <openorvane/basic/logger.hpp>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace orvane
{
    namespace
    {
        std::string_view level_name( Logger::Level level )
        {
            switch( level )
            {
            case Logger::Level::trace:
                return "trace";
            case Logger::Level::debug:
                return "debug";
            case Logger::Level::info:
                return "info";
            case Logger::Level::warn:
                return "warning";
            case Logger::Level::error:
                return "error";
            case Logger::Level::off:
                break;
            }
            return "off";
        }

        void write_to_standard_error( Logger::Level level, std::string_view message )
        {
            const auto name = level_name( level );
            std::fprintf( stderr, "[%.*s] %.*s\n", static_cast< int >( name.size() ),
                name.data(), static_cast< int >( message.size() ), message.data() );
        }

        /// The logger's state, built on first use so that logging works
        /// during static initialisation.
        struct LoggerState
        {
            static LoggerState& instance()
            {
                static LoggerState state;
                return state;
            }

            std::atomic< Logger::Level > level{ Logger::Level::info };
            std::mutex mutex;
            Logger::Sink sink{ &write_to_standard_error };
        };
    } // namespace

    void Logger::set_level( Level level )
    {
        LoggerState::instance().level.store( level, std::memory_order_relaxed );
    }

    Logger::Level Logger::level()
    {
        return LoggerState::instance().level.load( std::memory_order_relaxed );
    }

    bool Logger::is_enabled( Level level )
    {
        return level != Level::off && level >= Logger::level();
    }

    Logger::Sink Logger::set_sink( Sink sink )
    {
        auto& state = LoggerState::instance();
        if( !sink )
        {
            sink = &write_to_standard_error;
        }
        const std::lock_guard< std::mutex > locking{ state.mutex };
        std::swap( state.sink, sink );
        return sink;
    }

    void Logger::log( Level level, std::string_view message )
    {
        if( !is_enabled( level ) )
        {
            return;
        }
        auto& state = LoggerState::instance();
        const std::lock_guard< std::mutex > locking{ state.mutex };
        state.sink( level, message );
    }

    struct LoggerCapture::State
    {
        mutable std::mutex mutex;
        std::vector< Message > messages;
    };

    LoggerCapture::LoggerCapture() : state_{ std::make_shared< State >() }
    {
        // The sink shares the state, so it stays valid even if a copy of the
        // sink outlives this object.
        previous_ = Logger::set_sink(
            [state = state_]( Logger::Level level, std::string_view text ) {
                const std::lock_guard< std::mutex > locking{ state->mutex };
                state->messages.push_back( { level, std::string{ text } } );
            } );
    }

    LoggerCapture::~LoggerCapture()
    {
        Logger::set_sink( std::move( previous_ ) );
    }

    std::vector< LoggerCapture::Message > LoggerCapture::messages() const
    {
        const std::lock_guard< std::mutex > locking{ state_->mutex };
        return state_->messages;
    }

    std::size_t LoggerCapture::count( Logger::Level level, std::string_view text ) const
    {
        const std::lock_guard< std::mutex > locking{ state_->mutex };
        std::size_t result{ 0 };
        for( const auto& message : state_->messages )
        {
            if( message.level == level && message.text == text )
            {
                result++;
            }
        }
        return result;
    }

    void LoggerCapture::clear()
    {
        const std::lock_guard< std::mutex > locking{ state_->mutex };
        state_->messages.clear();
    }
} // namespace orvane
