#include <cmath>
#include <optional>
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

    /// Moves every edge cut, with probability 1/2, to 5e-7 from one end of
    /// its edge, where determine_cuts would have snapped it: the split then
    /// leaves an edge short enough to be collapsed.
    template < index_t dimension >
    void pull_cuts_to_edge_ends( const TriangulatedSurface< dimension >& mesh,
        std::vector< SurfaceCut< dimension > >& cuts,
        std::mt19937& random )
    {
        for( auto& cut : cuts )
        {
            if( cut.vertex != NO_ID || ( random() & 1U ) == 0 )
            {
                continue;
            }
            const auto ends = mesh.polygon_edge_vertices( cut.edge );
            const auto end = random() & 1U;
            const auto& near = mesh.point( ends[end] );
            const Vector< dimension > toward{ near, mesh.point( ends[1 - end] ) };
            const Point< dimension > shift = toward * ( 5e-7 / toward.length() );
            cut.point = near + shift;
        }
    }

    /// Rounds of straight cuts between random grid vertices, each round on a
    /// fresh grid so that later cuts cross the edges and vertices of the
    /// earlier ones. After every cut the surface must be valid, and after
    /// every complete cut the path must be a chain of edges on the segment
    /// (of edges only when the cuts were pulled to edge ends).
    template < index_t dimension >
    RandomCutCounts cut_at_random( unsigned seed, bool jitter, bool pull )
    {
        std::mt19937 random{ seed };
        RandomCutCounts counts;
        constexpr index_t NB_ROUNDS = 6;
        constexpr index_t NB_CUTS = 16;
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
                double expectation_tolerance = 1e-9 * GRID_SIZE;
                const auto context = ::testing::Message()
                                     << dimension << "-D, seed " << seed
                                     << ", round " << round << ", cut " << c
                                     << ": " << begin << " -> " << end;
                test::SurfacePathWalker< dimension > walker{ mesh, begin, end,
                    &random };
                std::optional< std::vector< SurfacePathCrossing > > path;
                try
                {
                    path = walker.find_path();
                }
                catch( const SurfacePathFinderException& )
                {
                }
                // Collapses onto pulled cuts move border vertices off the
                // border line: a later straight path may leave the surface.
                if( !path && pull )
                {
                    continue;
                }
                if( !path )
                {
                    ADD_FAILURE() << context << ": no path";
                    return counts;
                }
                auto cuts =
                    test::surface_cuts< dimension >( mesh, begin, end, path.value() );
                if( pull )
                {
                    pull_cuts_to_edge_ends( mesh, cuts, random );
                    expectation_tolerance = 2.;
                }
                auto expectation = test::CutPathExpectation{ NO_ID, NO_ID,
                    test::seen_from_above( mesh.point( begin ) ),
                    test::seen_from_above( mesh.point( end ) ),
                    expectation_tolerance };
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

    /// Refusals are rare: most cuts must have been checked whole.
    void expect_mostly_complete( const RandomCutCounts& counts )
    {
        EXPECT_GT( counts.cut, 4 * counts.refused )
            << counts.cut << " cuts, " << counts.refused << " refused";
    }

    TEST( SurfaceCutAlongPathRandom, straight_cuts_across_a_2d_grid )
    {
        expect_mostly_complete( cut_at_random< 2 >( 11, false, false ) );
    }

    TEST( SurfaceCutAlongPathRandom, straight_cuts_across_a_jittered_2d_grid )
    {
        expect_mostly_complete( cut_at_random< 2 >( 23, true, false ) );
    }

    TEST( SurfaceCutAlongPathRandom, straight_cuts_across_a_wavy_3d_grid )
    {
        expect_mostly_complete( cut_at_random< 3 >( 37, false, false ) );
    }

    // Cut points pulled next to edge ends make short edges that the cutter
    // collapses; in 2-D some splits are refused as flat.
    TEST( SurfaceCutAlongPathRandom, cuts_near_edge_ends_of_a_jittered_2d_grid )
    {
        expect_mostly_complete( cut_at_random< 2 >( 41, true, true ) );
    }

    TEST( SurfaceCutAlongPathRandom, cuts_near_edge_ends_of_a_wavy_3d_grid )
    {
        expect_mostly_complete( cut_at_random< 3 >( 53, false, true ) );
    }
} // namespace
