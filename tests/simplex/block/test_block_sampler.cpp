#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/distance.hpp>

#include <simplex/block/block_sampler.hpp>
#include <simplex/metric/constant_metric.hpp>

#include <tests/simplex/block/block_scenes.hpp>
#include <tests/simplex/remeshing_fixtures.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;

    /// A sampler over the box [-2, 2]^3 with one registered point at the
    /// origin and one front triangle that proposes the given candidates at
    /// size 1; neighbour triangles follow BlockSampler and are recorded but
    /// not queued.
    class ScriptedSampler : public internal::BlockSampler
    {
    public:
        ScriptedSampler( const BRep& model,
            const Block< 3 >& block,
            const Metric< 3 >& metric,
            std::vector< Point< 3 > > registered,
            std::vector< Point< 3 > > candidates )
            : internal::BlockSampler( model, block, metric ),
              registered_( std::move( registered ) ),
              candidates_( std::move( candidates ) )
        {
        }

        std::vector< OwnerTriangle< 3 > > made_triangles;

    private:
        void initialize() override
        {
            for( const auto& point : registered_ )
            {
                register_point( point );
            }
        }

        std::vector< OwnerTriangle< 3 > > initial_queue_elements() override
        {
            return { OwnerTriangle< 3 >{ p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 0, 1, 0 ) } };
        }

        Candidates candidate_points( const OwnerTriangle< 3 >& ) override
        {
            Candidates result{ 1., {} };
            for( const auto& point : candidates_ )
            {
                result.candidates.push_back( { 7, point } );
            }
            return result;
        }

        std::vector< OwnerTriangle< 3 > > new_queue_elements(
            const std::vector< Point< 3 > >& neighbours, double size, const Point< 3 >& point ) override
        {
            auto triangles = BlockSampler::new_queue_elements( neighbours, size, point );
            made_triangles.insert( made_triangles.end(), triangles.begin(), triangles.end() );
            return {};
        }

        BoundingBox< 3 > bounding_box() const override
        {
            BoundingBox< 3 > box;
            box.add_point( p3( -2, -2, -2 ) );
            box.add_point( p3( 2, 2, 2 ) );
            return box;
        }

        std::vector< Point< 3 > > registered_;
        std::vector< Point< 3 > > candidates_;
    };

    std::vector< Point< 3 > > kept( ScriptedSampler& sampler )
    {
        auto result = sampler.sample();
        return result.contains( 7 ) ? result.at( 7 ) : std::vector< Point< 3 > >{};
    }

    TEST( BlockSampler, candidates_closer_than_0_8_times_the_size_are_dropped )
    {
        const auto model = cube_model( 1 );
        const auto& block = *model.blocks().begin();
        const ConstantMetric< 3 > metric{ 1. };
        struct Case
        {
            const char* name;
            std::vector< Point< 3 > > candidates;
            std::vector< Point< 3 > > expected;
        };
        for( const auto& [name, candidates, expected] :
            { Case{ "at 0.8", { p3( 0.8, 0, 0 ) }, { p3( 0.8, 0, 0 ) } },
                Case{ "at 0.79", { p3( 0.79, 0, 0 ) }, {} },
                Case{ "second too close to the first", { p3( 0, 0, 1 ), p3( 0, 0.5, 1 ) },
                    { p3( 0, 0, 1 ) } },
                Case{ "outside the grid", { p3( 3, 0, 0 ) }, {} } } )
        {
            ScriptedSampler sampler{ model, block, metric, { p3( 0, 0, 0 ) }, candidates };
            EXPECT_EQ( kept( sampler ), expected ) << name;
        }
    }

    TEST( BlockSampler, kept_points_make_triangles_with_close_neighbour_pairs )
    {
        const auto model = cube_model( 1 );
        const auto& block = *model.blocks().begin();
        const ConstantMetric< 3 > metric{ 1. };
        struct Case
        {
            const char* name;
            std::vector< Point< 3 > > registered;
            std::size_t nb_triangles;
        };
        // The candidate is (0, 0, 1); every registered point lies within
        // 1.2 of it, the pairs are what is tested.
        for( const auto& [name, registered, nb_triangles] :
            { Case{ "pair closer than 1.2", { p3( 0.85, 0, 1 ), p3( 0.6, 0.6, 1 ) }, 1 },
                Case{ "pair exactly 1.2 apart", { p3( 0.6, 0, 1.9 ), p3( -0.6, 0, 1.9 ) }, 0 },
                Case{ "pair closer than 1e-6", { p3( 0.9, 0, 1 ), p3( 0.9, 0, 1 + 1e-7 ) }, 0 },
                Case{ "single neighbour", { p3( 0.9, 0, 1 ) }, 0 },
                Case{ "three neighbours, one pair too far",
                    { p3( 0.85, 0, 1 ), p3( 0.6, 0.6, 1 ), p3( 0, 0.85, 1 ) }, 2 } } )
        {
            ScriptedSampler sampler{ model, block, metric, registered, { p3( 0, 0, 1 ) } };
            ASSERT_EQ( kept( sampler ).size(), 1 ) << name;
            EXPECT_EQ( sampler.made_triangles.size(), nb_triangles ) << name;
            for( const auto& triangle : sampler.made_triangles )
            {
                EXPECT_EQ( triangle.vertices()[0], p3( 0, 0, 1 ) ) << name;
            }
        }
    }

    TEST( BlockSampler, a_null_mean_metric_is_refused )
    {
        const auto model = cube_model( 1 );
        const ConstantMetric< 3 > metric{ 0. };
        try
        {
            (void) internal::sample_block_interior( model, *model.blocks().begin(), metric );
            ADD_FAILURE() << "no failure";
        }
        catch( const OpenOrvaneException& error )
        {
            EXPECT_EQ( std::string{ error.what() },
                "[Point::operator/] Cannot divide Point by something close to zero" );
        }
    }

    TEST( BlockSampler, interior_points_are_spaced_by_the_metric )
    {
        const auto model = cube_model( 4 );
        const auto& block = *model.blocks().begin();
        const double size = 0.25;
        const ConstantMetric< 3 > metric{ size };
        const auto points = internal::sample_block_interior( model, block, metric );
        ASSERT_FALSE( points.empty() );
        std::vector< Point< 3 > > all = points;
        for( const auto& surface : model.boundaries( block ) )
        {
            for( index_t v = 0; v < surface.mesh().nb_vertices(); v++ )
            {
                all.push_back( surface.mesh().point( v ) );
            }
        }
        for( std::size_t i = 0; i < points.size(); i++ )
        {
            for( std::size_t j = 0; j < all.size(); j++ )
            {
                if( i != j )
                {
                    ASSERT_GE( point_point_distance( points[i], all[j] ), 0.8 * size )
                        << points[i].string() << " / " << all[j].string();
                }
            }
            for( const local_index_t axis : { 0, 1, 2 } )
            {
                EXPECT_GE( points[i].value( axis ), 0. );
                EXPECT_LE( points[i].value( axis ), 1. );
            }
        }
        // A unit cube at spacing 0.25 holds some tens of interior points,
        // not a handful nor thousands.
        EXPECT_GT( points.size(), 20 );
        EXPECT_LT( points.size(), 400 );
        // The same run gives the same points.
        EXPECT_EQ( internal::sample_block_interior( model, block, metric ), points );
    }
} // namespace
