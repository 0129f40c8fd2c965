#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <absl/strings/str_cat.h>

namespace orvane
{
    namespace detail
    {
        /// Lets std::string_view pieces through to absl::StrCat, whose
        /// string view type may differ from the standard one.
        template < typename Piece >
        decltype( auto ) log_piece( const Piece& piece )
        {
            if constexpr( std::is_same_v< Piece, std::string_view > )
            {
                return absl::string_view{ piece.data(), piece.size() };
            }
            else
            {
                return ( piece );
            }
        }
    } // namespace detail

    /// The process-wide message log.
    ///
    /// Messages are concatenated from their pieces like exception messages
    /// (absl::StrCat). Those below the global level are dropped; the others
    /// go to the sink, one call at a time: logging is thread-safe. The
    /// default sink writes "[level] message" lines to the standard error.
    class Logger
    {
    public:
        enum struct Level
        {
            trace,
            debug,
            info,
            warn,
            error,
            off
        };

        /// Receives every message that passes the level filter. Calls are
        /// serialised, so a sink needs no lock of its own.
        using Sink = std::function< void( Level, std::string_view ) >;

        static void set_level( Level level );

        static Level level();

        static bool is_enabled( Level level );

        /// Installs a sink and returns the previous one. An empty sink
        /// restores the default one.
        static Sink set_sink( Sink sink );

        /// Sends one already formatted message (subject to the level).
        static void log( Level level, std::string_view message );

        template < typename... Pieces >
        static void log_trace( const Pieces&... pieces )
        {
            log_pieces( Level::trace, pieces... );
        }

        template < typename... Pieces >
        static void log_debug( const Pieces&... pieces )
        {
            log_pieces( Level::debug, pieces... );
        }

        template < typename... Pieces >
        static void log_info( const Pieces&... pieces )
        {
            log_pieces( Level::info, pieces... );
        }

        template < typename... Pieces >
        static void log_warn( const Pieces&... pieces )
        {
            log_pieces( Level::warn, pieces... );
        }

        template < typename... Pieces >
        static void log_error( const Pieces&... pieces )
        {
            log_pieces( Level::error, pieces... );
        }

    private:
        template < typename... Pieces >
        static void log_pieces( Level level, const Pieces&... pieces )
        {
            if( is_enabled( level ) )
            {
                log( level, absl::StrCat( detail::log_piece( pieces )... ) );
            }
        }
    };

    /// Captures the messages logged during its lifetime, for tests. The
    /// previous sink is restored on destruction. The global level still
    /// applies.
    class LoggerCapture
    {
    public:
        struct Message
        {
            Logger::Level level;
            std::string text;
        };

        LoggerCapture();
        ~LoggerCapture();
        LoggerCapture( const LoggerCapture& ) = delete;
        LoggerCapture& operator=( const LoggerCapture& ) = delete;

        /// A copy of the messages captured so far, in logging order.
        std::vector< Message > messages() const;

        /// Number of captured messages of that level and exactly that text.
        std::size_t count( Logger::Level level, std::string_view text ) const;

        void clear();

    private:
        struct State;
        std::shared_ptr< State > state_;
        Logger::Sink previous_;
    };
} // namespace orvane
