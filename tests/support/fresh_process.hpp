#pragma once

#include <cstdlib>
#include <iostream>
#include <string>

#include <gtest/gtest.h>

namespace orvane::test
{
    /// Runs `check` in a new process of the test program started from
    /// scratch (a re-executed death test), so that what it observes does not
    /// depend on what the tests run before it initialised: library modules
    /// and factories are process-wide and never reset.
    ///
    /// `check` returns an empty string on success, otherwise a description
    /// of the failure, which the parent test reports.
    template < typename Check >
    void expect_in_fresh_process( Check check )
    {
        GTEST_FLAG_SET( death_test_style, "threadsafe" );
        EXPECT_EXIT(
            {
                const std::string failure = check();
                std::cerr << failure << std::endl;
                std::_Exit( failure.empty() ? 0 : 1 );
            },
            testing::ExitedWithCode( 0 ), "" );
    }
} // namespace orvane::test
