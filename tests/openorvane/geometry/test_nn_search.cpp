#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <oneapi/tbb/task_arena.h>

#include <openorvane/basic/assert.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/nn_search.hpp>

namespace
{
    using P2 = orvane::Point2D;
    using P3 = orvane::Point3D;
    using orvane::index_t;

    double distance2( const P3& a, const P3& b )
    {
        const auto d = a - b;
        return d.value( 0 ) * d.value( 0 ) + d.value( 1 ) * d.value( 1 )
               + d.value( 2 ) * d.value( 2 );
    }
} // namespace

TEST( NNSearch, ColocationNumbersUniquePointsInFirstOccurrenceOrder )
{
    const std::vector< P3 > points{
        P3{ { 5, 0, 0 } },        // 0 -> unique 0
        P3{ { 0, 0, 0 } },        // 1 -> unique 1
        P3{ { 5, 0, 1e-7 } },     // 2 -> 0
        P3{ { 2, 2, 2 } },        // 3 -> unique 2
        P3{ { 0, 5e-7, 0 } },     // 4 -> 1
        P3{ { 2, 2, 2 + 1.5e-6 } }, // 5 -> unique 3 (too far from 3)
        P3{ { 0, 0, 0 } },        // 6 -> 1
        P3{ { 2, 2, 2 + 0.75e-6 } }, // 7 -> 2: within 1e-6 of 3 and of 5
    };
    const orvane::NNSearch3D search{ points };
    const auto info = search.colocated_index_mapping( 1e-6 );
    const std::vector< index_t > expected{ 0, 1, 0, 2, 1, 3, 1, 2 };
    EXPECT_EQ( info.colocated_mapping, expected );
    ASSERT_EQ( info.nb_unique_points(), 4u );
    EXPECT_EQ( info.nb_colocated_points(), 4u );
    EXPECT_EQ( info.unique_points[0], points[0] );
    EXPECT_EQ( info.unique_points[1], points[1] );
    EXPECT_EQ( info.unique_points[2], points[3] );
    EXPECT_EQ( info.unique_points[3], points[5] );

    const auto exact = search.colocated_index_mapping( 0 );
    EXPECT_EQ( exact.nb_unique_points(), 7u );
    EXPECT_EQ( exact.colocated_mapping[6], 1u );

    const orvane::NNSearch2D empty{ std::vector< P2 >{} };
    EXPECT_EQ( empty.colocated_index_mapping( 1 ).nb_unique_points(), 0u );
    EXPECT_TRUE( empty.neighbors( P2{}, 3 ).empty() );
}

TEST( NNSearch, ColocationInvariantsOnRandomClusters )
{
    std::mt19937 random{ 17 };
    std::uniform_int_distribution< int > cell{ 0, 20 };
    std::uniform_real_distribution< double > jitter{ -3e-7, 3e-7 };
    std::vector< P3 > points;
    for( int i = 0; i < 3000; i++ )
    {
        points.push_back( P3{ { cell( random ) + jitter( random ),
            cell( random ) * 0.5 + jitter( random ), jitter( random ) } } );
    }
    const double epsilon = 1e-6;
    const orvane::NNSearch3D search{ points };
    const auto info = search.colocated_index_mapping( epsilon );
    // Unique points are numbered in order of first occurrence, each point is
    // within epsilon of its unique point, and unique points are pairwise
    // farther apart than epsilon.
    index_t next{ 0 };
    for( index_t i = 0; i < points.size(); i++ )
    {
        const auto unique = info.colocated_mapping[i];
        ASSERT_LE( unique, next );
        if( unique == next )
        {
            EXPECT_EQ( info.unique_points[unique], points[i] );
            next++;
        }
        EXPECT_LE( distance2( points[i], info.unique_points[unique] ),
            epsilon * epsilon );
    }
    EXPECT_EQ( next, info.nb_unique_points() );
    const orvane::NNSearch3D uniques{ info.unique_points };
    for( index_t u = 0; u < info.nb_unique_points(); u++ )
    {
        EXPECT_EQ( uniques.radius_neighbors( info.unique_points[u], epsilon ),
            std::vector< index_t >{ u } );
    }
}

TEST( NNSearch, NeighborsMatchBruteForceWithTies )
{
    std::mt19937 random{ 23 };
    std::uniform_int_distribution< int > coordinate{ 0, 6 };
    std::vector< P3 > points;
    for( int i = 0; i < 400; i++ )
    {
        // Integer coordinates: many equal distances and coincident points.
        points.push_back( P3{ { double( coordinate( random ) ),
            double( coordinate( random ) ), double( coordinate( random ) ) } } );
    }
    const orvane::NNSearch3D search{ points };
    for( int query = 0; query < 50; query++ )
    {
        const P3 point{ { coordinate( random ) + 0.5, double( coordinate( random ) ),
            double( coordinate( random ) ) } };
        std::vector< index_t > expected( points.size() );
        for( index_t i = 0; i < points.size(); i++ )
        {
            expected[i] = i;
        }
        std::stable_sort( expected.begin(), expected.end(),
            [&]( index_t a, index_t b ) {
                return distance2( point, points[a] ) < distance2( point, points[b] );
            } );
        for( const index_t k : { 1u, 7u, 30u } )
        {
            EXPECT_EQ( search.neighbors( point, k ),
                std::vector< index_t >( expected.begin(), expected.begin() + k ) );
        }
        EXPECT_EQ( search.closest_neighbor( point ), expected.front() );
        std::vector< index_t > within;
        for( index_t i = 0; i < points.size(); i++ )
        {
            if( distance2( point, points[i] ) <= 2.25 )
            {
                within.push_back( i );
            }
        }
        EXPECT_EQ( search.radius_neighbors( point, 1.5 ), within );
    }
    // By index: the point itself first unless an earlier point coincides.
    const auto first = search.neighbors( index_t{ 0 }, 1 );
    ASSERT_EQ( first.size(), 1u );
    EXPECT_EQ( first[0], 0u );
    EXPECT_EQ( search.neighbors( P3{}, 1000 ).size(), points.size() );
}

namespace
{
    /// Colocation by its definition, through radius queries: a point joins
    /// the lowest-index earlier representative within epsilon.
    std::vector< index_t > reference_colocation(
        const orvane::NNSearch3D& search, double epsilon )
    {
        std::vector< index_t > mapping( search.nb_points(), orvane::NO_ID );
        std::vector< index_t > unique_of( search.nb_points(), orvane::NO_ID );
        index_t nb_unique{ 0 };
        for( index_t i = 0; i < search.nb_points(); i++ )
        {
            for( const auto neighbor :
                search.radius_neighbors( search.point( i ), epsilon ) )
            {
                if( neighbor < i && unique_of[neighbor] != orvane::NO_ID )
                {
                    mapping[i] = unique_of[neighbor];
                    break;
                }
            }
            if( mapping[i] == orvane::NO_ID )
            {
                unique_of[i] = nb_unique++;
                mapping[i] = unique_of[i];
            }
        }
        return mapping;
    }
} // namespace

TEST( NNSearch, ParallelBuildAndColocationAgreeWithOneThread )
{
    // Points on a fine line where each point lies within epsilon of the two
    // before it (chains whose lowest earlier neighbour joined another
    // point), plus lattice points with many coincidences and equal
    // distances. Large enough to build and merge over the pool.
    const double epsilon = 1e-6;
    std::mt19937 random{ 31 };
    std::uniform_int_distribution< int > cell{ 0, 15 };
    std::vector< P3 > points;
    for( int i = 0; i < 12000; i++ )
    {
        if( i % 3 == 0 )
        {
            points.push_back( P3{ { 100 + ( i / 3 ) * 0.45 * epsilon, 0, 0 } } );
        }
        else
        {
            points.push_back( P3{ { double( cell( random ) ),
                double( cell( random ) ), double( cell( random ) % 3 ) } } );
        }
    }
    std::shuffle( points.begin(), points.end(), random );
    struct Answers
    {
        std::vector< std::vector< index_t > > neighbors;
        std::vector< index_t > closest;
        std::vector< index_t > colocation;
    };
    std::vector< P3 > queries;
    std::uniform_real_distribution< double > coordinate{ -1, 16 };
    for( int q = 0; q < 100; q++ )
    {
        queries.push_back( q % 5 == 0 ? points[q]
                                      : P3{ { coordinate( random ),
                                            coordinate( random ), 1 } } );
    }
    const auto answers_on = [&]( int nb_threads ) {
        tbb::task_arena arena{ nb_threads };
        Answers answers;
        arena.execute( [&] {
            const orvane::NNSearch3D search{ points };
            for( const auto& query : queries )
            {
                answers.neighbors.push_back( search.neighbors( query, 12 ) );
                answers.neighbors.push_back( search.neighbors( query, 40 ) );
                answers.closest.push_back( search.closest_neighbor( query ) );
            }
            answers.colocation =
                search.colocated_index_mapping( epsilon ).colocated_mapping;
            if( nb_threads == 1 )
            {
                EXPECT_EQ(
                    answers.colocation, reference_colocation( search, epsilon ) );
            }
        } );
        return answers;
    };
    const auto serial = answers_on( 1 );
    const auto parallel = answers_on( 8 );
    EXPECT_EQ( serial.neighbors, parallel.neighbors );
    EXPECT_EQ( serial.closest, parallel.closest );
    EXPECT_EQ( serial.colocation, parallel.colocation );
    for( std::size_t q = 0; q < queries.size(); q++ )
    {
        EXPECT_EQ( serial.closest[q], serial.neighbors[2 * q].front() );
    }
}

TEST( NNSearch, NonFinitePointsAndQueriesAreRefused )
{
    const double nan = std::nan( "" );
    const double inf = std::numeric_limits< double >::infinity();
    for( const auto bad : { P3{ { nan, 0, 0 } }, P3{ { 0, inf, 0 } },
             P3{ { 0, 0, -inf } } } )
    {
        for( const std::size_t nb : { 4u, 6000u } )
        {
            std::vector< P3 > points( nb );
            for( std::size_t i = 0; i < nb; i++ )
            {
                points[i] = P3{ { double( i ), 0, 0 } };
            }
            points[nb / 2] = bad;
            EXPECT_THROW( orvane::NNSearch3D{ points }, orvane::OpenOrvaneException )
                << bad.string();
        }
        const orvane::NNSearch3D search{ std::vector< P3 >{ P3{}, P3{ { 1, 0, 0 } } } };
        EXPECT_THROW( search.closest_neighbor( bad ), orvane::OpenOrvaneException );
        EXPECT_THROW( search.neighbors( bad, 2 ), orvane::OpenOrvaneException );
        EXPECT_THROW( search.radius_neighbors( bad, 1 ), orvane::OpenOrvaneException );
    }
}

TEST( NNSearch, IndexedAccessorsCheckTheirIndexInCheckedBuilds )
{
    if constexpr( !orvane::debug_checks_enabled )
    {
        GTEST_SKIP() << "index checks of read accessors are off in this build";
    }
    const orvane::NNSearch3D search{ std::vector< P3 >{ P3{}, P3{ { 1, 0, 0 } } } };
    EXPECT_THROW( search.point( 2 ), orvane::OpenOrvaneException );
    EXPECT_THROW( search.point( orvane::NO_ID ), orvane::OpenOrvaneException );
    EXPECT_THROW( search.neighbors( index_t{ 2 }, 1 ), orvane::OpenOrvaneException );
    EXPECT_EQ( search.neighbors( index_t{ 1 }, 1 ), std::vector< index_t >{ 1 } );
}
