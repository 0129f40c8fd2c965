#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <common/cutter/surface_cut_along_path.hpp>
#include <common/modifier/triangulated_surface_modifier.hpp>

#include <tests/common/cutter/cut_path_checks.hpp>
#include <tests/common/cutter/cutter_test_helpers.hpp>
#include <tests/common/cutter/surface_path_walker.hpp>
#include <tests/support/surface_fixtures.hpp>
#include <tests/support/surface_modifier_checks.hpp>

namespace
{
    using namespace orvane;

    constexpr index_t GRID_SIZE = 8;

    /// A grid of GRID_SIZE squares a side; in 2-D its inner vertices may be
    /// moved at random by up to a quarter of a square, which keeps every
    /// triangle counter-clockwise.
    template < index_t dimension >
    test::EditableSurface< dimension > random_grid( std::mt19937& random, bool jitter )
    {
        if( !jitter )
        {
            return test::make_grid< dimension >( GRID_SIZE, GRID_SIZE );
        }
        std::uniform_real_distribution< double > shift{ -0.25, 0.25 };
        std::vector< std::array< double, 3 > > points;
        for( index_t j = 0; j <= GRID_SIZE; j++ )
        {
            for( index_t i = 0; i <= GRID_SIZE; i++ )
            {
                const bool inner =
                    i > 0 && j > 0 && i < GRID_SIZE && j < GRID_SIZE;
                points.push_back( { i + ( inner ? shift( random ) : 0. ),
                    j + ( inner ? shift( random ) : 0. ), 0. } );
            }
        }
        return test::make_surface< dimension >(
            points, test::grid_triangles( GRID_SIZE, GRID_SIZE ) );
    }

    struct RandomCutCounts
    {
        index_t cut{ 0 };
        index_t refused{ 0 };
    };

    /// Rounds of straight cuts between random grid vertices, each round on a
    /// fresh grid so that later cuts cross the edges and vertices of the
    /// earlier ones. After every cut the surface must be valid, and after
    /// every complete cut the path must be a chain of edges on the segment.
    template < index_t dimension >
    RandomCutCounts cut_at_random( unsigned seed, bool jitter )
    {
        std::mt19937 random{ seed };
        RandomCutCounts counts;
        constexpr index_t NB_ROUNDS = 8;
        constexpr index_t NB_CUTS = 20;
        const index_t nb_grid_vertices = ( GRID_SIZE + 1 ) * ( GRID_SIZE + 1 );
        std::uniform_int_distribution< index_t > pick{ 0, nb_grid_vertices - 1 };
        for( index_t round = 0; round < NB_ROUNDS; round++ )
        {
            auto surface = random_grid< dimension >( random, jitter );
            const auto& mesh = *surface.mesh;
            TriangulatedSurfaceModifier< dimension > modifier{ mesh, *surface.builder };
            for( index_t c = 0; c < NB_CUTS; c++ )
            {
                const auto begin = modifier.updated_vertex( pick( random ) );
                const auto end = modifier.updated_vertex( pick( random ) );
                if( begin == end )
                {
                    continue;
                }
                const auto context = ::testing::Message()
                                     << dimension << "-D, seed " << seed
                                     << ", round " << round << ", cut " << c
                                     << ": " << begin << " -> " << end;
                test::SurfacePathWalker< dimension > walker{ mesh, begin, end,
                    &random };
                const auto path = walker.find_path();
                if( !path )
                {
                    ADD_FAILURE() << context << ": no path";
                    return counts;
                }
                const auto cuts =
                    test::surface_cuts< dimension >( mesh, begin, end, path.value() );
                auto expectation = test::CutPathExpectation{ NO_ID, NO_ID,
                    test::seen_from_above( mesh.point( begin ) ),
                    test::seen_from_above( mesh.point( end ) ),
                    1e-9 * GRID_SIZE };
                SurfaceCutAlongPath< dimension > cutter{ mesh, modifier, begin, end,
                    cuts };
                try
                {
                    const auto result = cutter.cut_along_path();
                    counts.cut++;
                    expectation.begin = modifier.updated_vertex( begin );
                    expectation.end = modifier.updated_vertex( end );
                    const auto chain =
                        test::is_cut_path_chain( mesh, result, expectation );
                    if( !chain )
                    {
                        ADD_FAILURE() << context << ": " << chain.message();
                        return counts;
                    }
                }
                catch( const SurfaceCutPathException< dimension >& )
                {
                    counts.refused++;
                }
                const auto valid = test::is_valid_surface( mesh );
                if( !valid )
                {
                    ADD_FAILURE() << context << ": " << valid.message();
                    return counts;
                }
            }
        }
        return counts;
    }

    TEST( SurfaceCutAlongPathRandom, straight_cuts_across_grids_keep_the_surface_valid )
    {
        const struct
        {
            const char* name;
            RandomCutCounts ( *run )( unsigned, bool );
            bool jitter;
            unsigned seed;
        } cases[]{
            { "2-D grid", &cut_at_random< 2 >, false, 11 },
            { "2-D jittered grid", &cut_at_random< 2 >, true, 23 },
            { "3-D wavy grid", &cut_at_random< 3 >, false, 37 },
        };
        for( const auto& test_case : cases )
        {
            const auto counts = test_case.run( test_case.seed, test_case.jitter );
            // Refusals are rare: most cuts must have been checked whole.
            EXPECT_GT( counts.cut, 4 * counts.refused )
                << test_case.name << ": " << counts.cut << " cuts, "
                << counts.refused << " refused";
        }
    }
} // namespace
