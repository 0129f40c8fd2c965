#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <simplex/surface/frontal/frontal_edge_info.hpp>

namespace
{
    using orvane::index_t;
    using orvane::internal::FrontalEdgeInfo;
    using orvane::internal::FrontalElementList;

    std::vector< index_t > ids( const FrontalElementList& list )
    {
        return { list.begin(), list.end() };
    }

    /// contains() agrees with the listed ids, for them and for ids that the
    /// storage words could be mistaken for (0, 1 and the low word of an
    /// address are no ids of the list unless listed).
    void expect_contains_agrees( const FrontalElementList& list,
        const std::vector< index_t >& expected )
    {
        std::vector< index_t > probes{ 0, 1, 2, 3, 5, 7, 12, 99, 0xFFFFFFFEu };
        probes.insert( probes.end(), expected.begin(), expected.end() );
        for( const auto probe : probes )
        {
            EXPECT_EQ( list.contains( probe ),
                std::find( expected.begin(), expected.end(), probe ) != expected.end() )
                << "id " << probe;
        }
    }

    TEST( FrontalElementList, keeps_insertion_order_through_every_storage )
    {
        // Empty, one id kept in place, and a heap block grown several times.
        FrontalElementList list;
        std::vector< index_t > expected;
        EXPECT_TRUE( list.empty() );
        EXPECT_EQ( list.begin(), list.end() );
        expect_contains_agrees( list, expected );
        for( const index_t id : { 7u, 0u, 0xFFFFFFFEu, 3u, 7u, 12u } )
        {
            list.push_back( id );
            expected.push_back( id );
            expect_contains_agrees( list, expected );
            EXPECT_EQ( ids( list ), expected );
            EXPECT_EQ( list.size(), expected.size() );
            EXPECT_EQ( list.front(), 7u );
        }
        // The first occurrence goes, the others keep their order.
        list.erase( list.begin() );
        expected.erase( expected.begin() );
        EXPECT_EQ( ids( list ), expected );
        list.erase( list.begin() + 2 );
        expected.erase( expected.begin() + 2 );
        EXPECT_EQ( ids( list ), expected );
        expect_contains_agrees( list, expected );
        while( !list.empty() )
        {
            list.erase( list.end() - 1 );
        }
        expect_contains_agrees( list, {} );
        list.push_back( 5 );
        EXPECT_EQ( ids( list ), std::vector< index_t >{ 5 } );
        expect_contains_agrees( list, { 5 } );
        list.erase( list.begin() );
        EXPECT_TRUE( list.empty() );
        expect_contains_agrees( list, {} );
    }

    TEST( FrontalElementList, copies_are_deep_and_moves_empty_the_source )
    {
        for( const auto& start :
            { std::vector< index_t >{}, { 4 }, { 4, 9, 1 } } )
        {
            FrontalElementList original;
            original.assign( start.begin(), start.end() );
            FrontalElementList copy{ original };
            copy.push_back( 2 );
            EXPECT_EQ( ids( original ), start );
            auto grown = start;
            grown.push_back( 2 );
            EXPECT_EQ( ids( copy ), grown );

            FrontalElementList assigned{ 8, 8, 8 };
            assigned = original;
            EXPECT_EQ( assigned, original );
            FrontalElementList moved{ std::move( copy ) };
            EXPECT_EQ( ids( moved ), grown );
            EXPECT_TRUE( copy.empty() );
        }
    }

    TEST( FrontalElementList, appends_a_range_of_itself )
    {
        FrontalElementList single{ 3 };
        single.insert( single.end(), single.begin(), single.end() );
        EXPECT_EQ( ids( single ), ( std::vector< index_t >{ 3, 3 } ) );
        FrontalElementList list{ 1, 2 };
        list.insert( list.end(), list.begin(), list.end() );
        EXPECT_EQ( ids( list ), ( std::vector< index_t >{ 1, 2, 1, 2 } ) );
        list.assign( 2, 6 );
        EXPECT_EQ( ids( list ), ( std::vector< index_t >{ 6, 6 } ) );
        list.assign( 0, 6 );
        EXPECT_TRUE( list.empty() );
    }

    using EdgeLists = std::array< std::vector< index_t >, 3 >;

    /// The record lists exactly the expected ids, in order, and contains()
    /// agrees with them (also for NO_ID, which marks an empty list in place).
    void expect_record( const FrontalEdgeInfo& info, const EdgeLists& expected )
    {
        for( index_t local = 0; local < 3; local++ )
        {
            const auto list = info[local];
            EXPECT_EQ( std::vector< index_t >( list.begin(), list.end() ),
                expected[local] )
                << "list " << local;
            EXPECT_EQ( list.size(), expected[local].size() );
            for( const auto probe :
                { index_t{ 0 }, index_t{ 1 }, index_t{ 5 }, orvane::NO_ID } )
            {
                const auto listed =
                    std::find( expected[local].begin(), expected[local].end(), probe )
                    != expected[local].end();
                EXPECT_EQ( info.contains( local, probe ), listed )
                    << "list " << local << " id " << probe;
                EXPECT_EQ( list.contains( probe ), listed )
                    << "list " << local << " id " << probe;
            }
        }
    }

    TEST( FrontalEdgeInfo, random_edits_match_three_plain_lists )
    {
        // Small ids so that repeats, NO_ID and single ids in place all occur,
        // and records move from their place to the heap at any point.
        for( const unsigned seed : { 1u, 2u, 3u, 4u, 5u } )
        {
            SCOPED_TRACE( "seed " + std::to_string( seed ) );
            std::mt19937 random{ seed };
            const auto draw = [&random]( index_t bound ) {
                return std::uniform_int_distribution< index_t >{ 0, bound - 1 }(
                    random );
            };
            FrontalEdgeInfo info;
            EdgeLists expected;
            for( int step = 0; step < 400; step++ )
            {
                const auto local = draw( 3 );
                auto list = info[local];
                auto& model = expected[local];
                switch( draw( 5 ) )
                {
                case 0:
                case 1: {
                    const auto id = draw( 8 ) == 0 ? orvane::NO_ID : draw( 6 );
                    list.push_back( id );
                    model.push_back( id );
                    break;
                }
                case 2:
                    if( !model.empty() )
                    {
                        const auto at = draw( static_cast< index_t >( model.size() ) );
                        list.erase( list.begin() + at );
                        model.erase( model.begin() + at );
                    }
                    break;
                case 3: {
                    // A range of the same record, which the edit may move.
                    const auto from = draw( 3 );
                    const auto source = info[from];
                    list.insert( list.end(), source.begin(), source.end() );
                    const auto copied = expected[from];
                    model.insert( model.end(), copied.begin(), copied.end() );
                    break;
                }
                default:
                    if( draw( 2 ) == 0 )
                    {
                        list.clear();
                        model.clear();
                    }
                    else
                    {
                        const auto count = draw( 3 );
                        list.assign( count, 4 );
                        model.assign( count, 4 );
                    }
                    break;
                }
                expect_record( info, expected );
                if( ::testing::Test::HasFailure() )
                {
                    return;
                }
            }
        }
    }

    TEST( FrontalEdgeInfo, copies_are_deep_and_moves_empty_the_source )
    {
        // One record with its ids in place, one moved to the heap.
        for( const auto& start :
            { EdgeLists{ { {}, { 4 }, { 0 } } }, EdgeLists{ { { 7 }, {}, { 4, 9 } } } } )
        {
            FrontalEdgeInfo original;
            for( index_t local = 0; local < 3; local++ )
            {
                original[local].assign( start[local].begin(), start[local].end() );
            }
            FrontalEdgeInfo copy{ original };
            copy[0].push_back( 2 );
            copy[2].clear();
            expect_record( original, start );
            auto changed = start;
            changed[0].push_back( 2 );
            changed[2].clear();
            expect_record( copy, changed );

            FrontalEdgeInfo assigned;
            assigned[1].assign( 3, 8 );
            assigned = original;
            EXPECT_EQ( assigned, original );
            FrontalEdgeInfo moved{ std::move( copy ) };
            expect_record( moved, changed );
            expect_record( copy, {} );
            assigned = std::move( moved );
            expect_record( assigned, changed );
            expect_record( moved, {} );
        }
    }
} // namespace
