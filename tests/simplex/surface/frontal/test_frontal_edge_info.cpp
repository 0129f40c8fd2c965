#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include <simplex/surface/frontal/frontal_edge_info.hpp>

namespace
{
    using orvane::index_t;
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
} // namespace
