#pragma once

#include <openorvane/basic/exception.hpp>

/// Which builds run the assertions of ORVANE_ASSERT.
///
/// - Debug builds (no NDEBUG) and sanitizer builds (ORVANE_SANITIZE, which
///   defines ORVANE_SANITIZED) check every assertion and throw an
///   OpenOrvaneException when one fails.
/// - Release and RelWithDebInfo builds skip them: the condition is not even
///   evaluated. Use ORVANE_ASSERT only for checks that cost on hot paths
///   (the index checks of read accessors); input a caller can get wrong in
///   normal use is checked in every build with ORVANE_EXCEPTION.
///
/// Defining ORVANE_FORCE_DEBUG_CHECKS turns the assertions on in any build.
#if !defined( NDEBUG ) || defined( ORVANE_SANITIZED )                          \
    || defined( ORVANE_FORCE_DEBUG_CHECKS )
#    define ORVANE_DEBUG_CHECKS 1
#else
#    define ORVANE_DEBUG_CHECKS 0
#endif

namespace orvane
{
    /// True in the builds that check ORVANE_ASSERT, so that tests of those
    /// checks can skip themselves elsewhere.
    inline constexpr bool debug_checks_enabled = ORVANE_DEBUG_CHECKS != 0;
} // namespace orvane

/// Throws an OpenOrvaneException built from the message pieces when the
/// condition does not hold, in the builds listed above; compiles to nothing
/// (the condition unevaluated) in the others.
#if ORVANE_DEBUG_CHECKS
#    define ORVANE_ASSERT( condition, ... )                                    \
        ORVANE_EXCEPTION( condition, __VA_ARGS__ )
#else
#    define ORVANE_ASSERT( condition, ... )                                    \
        static_cast< void >( sizeof( !( condition ) ) )
#endif
