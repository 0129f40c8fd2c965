#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <absl/strings/str_join.h>

#include <openorvane/basic/logger.hpp>

namespace orvane::test
{
    /// The names of the library modules whose initialisation ran while the
    /// capture was listening, in the order they started. Each module logs a
    /// debug message when its initialisation starts, so the log level must
    /// let debug messages through.
    inline std::vector< std::string > initialized_libraries(
        const LoggerCapture& capture )
    {
        constexpr std::string_view prefix{ "Initializing library " };
        std::vector< std::string > names;
        for( const auto& message : capture.messages() )
        {
            if( message.level == Logger::Level::debug
                && std::string_view{ message.text }.starts_with( prefix ) )
            {
                names.push_back( message.text.substr( prefix.size() ) );
            }
        }
        return names;
    }

    /// The names joined with ", ", for failure messages.
    inline std::string joined( const std::vector< std::string >& names )
    {
        return absl::StrJoin( names, ", " );
    }
} // namespace orvane::test
