#include <simplex/metric/constant_metric.hpp>

#include <memory>

#include <gtest/gtest.h>

namespace
{
    using namespace orvane;

    TEST( ConstantMetric, AnswersItsValueToEveryQueryEvenOnDegenerateArguments )
    {
        const ConstantMetric< 3 > metric{ 2.5 };
        const Metric< 3 >& base = metric;
        const Point< 3 > a{ { 1, 2, 3 } };
        const Point< 3 > b{ { 4, 5, 6 } };
        const Point< 3 > c{ { 7, 8, 9 } };
        // Collinear triangle, zero-length segment, flat tetrahedron.
        EXPECT_EQ( base.point_metric( a ), 2.5 );
        EXPECT_EQ( base.point_metric( Point< 3 >{ { -1e300, 0, 1e300 } } ), 2.5 );
        EXPECT_EQ( base.triangle_metric( Triangle< 3 >{ a, b, c } ), 2.5 );
        EXPECT_EQ( base.triangle_metric( Triangle< 3 >{ a, a, a } ), 2.5 );
        EXPECT_EQ( base.segment_metric( Segment< 3 >{ a, a } ), 2.5 );
        EXPECT_EQ( base.tetrahedron_metric( Tetrahedron{ a, b, c, a } ), 2.5 );
        EXPECT_EQ( base.mean_metric(), 2.5 );
        EXPECT_EQ( base.median_metric(), 2.5 );
    }

    TEST( ConstantMetric, PlanarMetricAnswersItsValue )
    {
        const ConstantMetric< 2 > metric{ 0.75 };
        const Metric< 2 >& base = metric;
        const Point< 2 > a{ { 0, 0 } };
        const Point< 2 > b{ { 1, 0 } };
        EXPECT_EQ( base.point_metric( a ), 0.75 );
        EXPECT_EQ( base.triangle_metric( Triangle< 2 >{ a, b, b } ), 0.75 );
        EXPECT_EQ( base.segment_metric( Segment< 2 >{ b, b } ), 0.75 );
        EXPECT_EQ( base.tetrahedron_metric( Tetrahedron{} ), 0.75 );
        EXPECT_EQ( base.mean_metric(), 0.75 );
        EXPECT_EQ( base.median_metric(), 0.75 );
    }

    TEST( ConstantMetric, IsDestroyedThroughTheInterface )
    {
        static int destroyed = 0;
        struct Counted : ConstantMetric< 3 >
        {
            using ConstantMetric< 3 >::ConstantMetric;
            ~Counted() override
            {
                ++destroyed;
            }
        };
        destroyed = 0;
        {
            std::unique_ptr< Metric< 3 > > metric =
                std::make_unique< Counted >( 1.0 );
            EXPECT_EQ( metric->point_metric( Point< 3 >{} ), 1.0 );
        }
        EXPECT_EQ( destroyed, 1 );
    }
} // namespace
