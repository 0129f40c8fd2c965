#include <openorvane/basic/exception.hpp>

#include <absl/debugging/stacktrace.h>

namespace orvane
{
    namespace
    {
        const char* non_null( const char* message )
        {
            return message == nullptr ? "" : message;
        }
    } // namespace

    OpenOrvaneException::OpenOrvaneException( const char* message )
        : std::runtime_error{ non_null( message ) }
    {
        record_stack();
    }

    OpenOrvaneException::OpenOrvaneException( NoStack, const char* message )
        : std::runtime_error{ non_null( message ) }
    {
    }

    OpenOrvaneException::~OpenOrvaneException() = default;

    // Kept out of line: the two skipped frames are this function and the
    // constructor that called it.
    __attribute__( ( noinline ) ) void OpenOrvaneException::record_stack()
    {
        depth_ = absl::GetStackTrace( stack_.data(), MAX_STACK_DEPTH, 2 );
    }
} // namespace orvane
