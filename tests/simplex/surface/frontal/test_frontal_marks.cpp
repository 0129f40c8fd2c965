#include <gtest/gtest.h>

#include <simplex/surface/frontal/frontal_marks.hpp>

namespace
{
    using orvane::index_t;
    using orvane::internal::FrontalMarks;

    TEST( FrontalMarks, each_round_starts_empty_even_after_the_round_counter_wraps )
    {
        FrontalMarks marks;
        marks.start( 4 );
        EXPECT_TRUE( marks.insert( 2 ) );
        EXPECT_FALSE( marks.insert( 2 ) );
        // Beyond the size given: the marks grow.
        EXPECT_TRUE( marks.insert( 100 ) );
        EXPECT_FALSE( marks.insert( 100 ) );
        // Id 3 is marked in the first round only, 2 in every round. The
        // 16-bit counter comes back to the first round's value at the last
        // of these rounds: a stale mark must not read as present then.
        marks.insert( 3 );
        for( index_t round = 0; round < 65535; round++ )
        {
            marks.start( 4 );
            ASSERT_TRUE( marks.insert( 2 ) ) << "round " << round;
            ASSERT_FALSE( marks.insert( 2 ) ) << "round " << round;
        }
        EXPECT_TRUE( marks.insert( 3 ) );
        EXPECT_TRUE( marks.insert( 100 ) );
    }
} // namespace
