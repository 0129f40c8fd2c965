#include <cstdint>
#include <random>
#include <tuple>

#include <gtest/gtest.h>

#include <openorvane/geometry/distance.hpp>

#include <simplex/surface/frontal/frontal_distance_bounds.hpp>

namespace
{
    using namespace orvane;
    using orvane::internal::FrontalSegmentBall;

    template < index_t dimension >
    Point< dimension > random_point(
        std::mt19937_64& random, double offset, double spread )
    {
        std::uniform_real_distribution< double > coordinate{ -spread, spread };
        Point< dimension > point;
        for( local_index_t c = 0; c < dimension; c++ )
        {
            point.set_value( c, offset + coordinate( random ) );
        }
        return point;
    }

    /// A bound never says "beyond" for a threshold at, past or within
    /// rounding of the computed distance, and does say it for many far
    /// cases. Small segments around the origin and around 1e6, and segments
    /// without length.
    template < index_t dimension >
    void check_bounds( std::uint64_t seed )
    {
        std::mt19937_64 random{ seed };
        index_t answered_beyond{ 0 };
        for( const double offset : { 0., 1e6 } )
        {
            for( index_t trial = 0; trial < 4000; trial++ )
            {
                const auto a = random_point< dimension >( random, offset, 0.01 );
                const auto b = trial % 50 == 0
                                   ? a
                                   : random_point< dimension >( random, offset, 0.01 );
                const Segment< dimension > segment{ a, b };
                const FrontalSegmentBall< dimension > ball{ segment };
                const auto point = random_point< dimension >( random, offset, 0.02 );
                const Segment< dimension > other{ point,
                    random_point< dimension >( random, offset, 0.02 ) };
                const auto to_point =
                    std::get< 0 >( point_segment_distance( point, segment ) );
                const auto to_other =
                    std::get< 0 >( segment_segment_distance( other, segment ) );
                for( const double factor : { 0., 0.5, 0.9, 1. - 1e-12, 1., 1. + 1e-12, 2. } )
                {
                    // Beyond a threshold within rounding of the distance
                    // would be a bound that can change a decision.
                    const auto near_or_past = factor > 1. - 1e-6;
                    if( ball.beyond( point, factor * to_point ) )
                    {
                        answered_beyond++;
                        EXPECT_FALSE( near_or_past )
                            << "seed " << seed << " trial " << trial << " factor " << factor;
                    }
                    if( ball.beyond( other, factor * to_other ) )
                    {
                        answered_beyond++;
                        EXPECT_FALSE( near_or_past )
                            << "seed " << seed << " trial " << trial << " factor " << factor;
                    }
                }
            }
        }
        // The bounds must also serve: many far cases are told apart.
        EXPECT_GT( answered_beyond, 4000u ) << "seed " << seed;
    }

    TEST( FrontalSegmentBall, never_answers_beyond_a_distance_the_segment_reaches )
    {
        check_bounds< 2 >( 20240611 );
        check_bounds< 3 >( 77 );
    }

    TEST( FrontalSegmentBall, answers_not_beyond_for_touching_and_unusable_input )
    {
        const Segment< 3 > segment{ Point< 3 >{ { 0, 0, 0 } }, Point< 3 >{ { 1, 0, 0 } } };
        const FrontalSegmentBall< 3 > ball{ segment };
        // A point on the segment, a crossing segment, a negative threshold.
        EXPECT_FALSE( ball.beyond( Point< 3 >{ { 0.5, 0, 0 } }, 0. ) );
        EXPECT_FALSE( ball.beyond(
            Segment< 3 >{ Point< 3 >{ { 0.5, -1, 0 } }, Point< 3 >{ { 0.5, 1, 0 } } },
            0. ) );
        EXPECT_FALSE( ball.beyond( Point< 3 >{ { 10, 0, 0 } }, -100. ) );
        // Far away it answers beyond.
        EXPECT_TRUE( ball.beyond( Point< 3 >{ { 10, 0, 0 } }, 1. ) );
        EXPECT_TRUE( ball.beyond(
            Segment< 3 >{ Point< 3 >{ { 0, 5, 0 } }, Point< 3 >{ { 1, 5, 0 } } }, 4. ) );
        EXPECT_FALSE( ball.beyond(
            Segment< 3 >{ Point< 3 >{ { 0, 5, 0 } }, Point< 3 >{ { 1, 5, 0 } } }, 5. ) );
    }
} // namespace
