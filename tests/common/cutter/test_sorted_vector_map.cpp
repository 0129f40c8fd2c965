#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <common/cutter/sorted_vector_map.hpp>
#include <common/cutter/surface_cut_edge_map.hpp>

namespace
{
    using namespace orvane;

    template < typename Key, typename Value, typename Less >
    void expect_same_entries( const detail::SortedVectorMap< Key, Value, Less >& map,
        const std::map< Key, Value, Less >& reference )
    {
        ASSERT_EQ( map.size(), reference.size() );
        auto expected = reference.begin();
        for( const auto& [key, value] : map )
        {
            EXPECT_FALSE( Less{}( key, expected->first ) || Less{}( expected->first, key ) );
            EXPECT_EQ( value, expected->second );
            ++expected;
        }
    }

    // Random edits on keys drawn from a small range, so that keys repeat,
    // land before, between and after stored keys, and leave again.
    TEST( SortedVectorMap, random_edits_match_an_ordered_map )
    {
        for( const unsigned seed : { 1u, 2u, 3u } )
        {
            SCOPED_TRACE( "seed " + std::to_string( seed ) );
            std::mt19937 random{ seed };
            std::uniform_int_distribution< int > key_of( 0, 60 );
            std::uniform_int_distribution< int > operation_of( 0, 4 );
            detail::SortedVectorMap< int, int > map;
            std::map< int, int > reference;
            for( int step = 0; step < 2000; step++ )
            {
                const auto key = key_of( random );
                switch( operation_of( random ) )
                {
                case 0: {
                    const auto [entry, inserted] = map.try_emplace( key, step );
                    const auto [expected, expected_inserted] =
                        reference.try_emplace( key, step );
                    EXPECT_EQ( inserted, expected_inserted );
                    EXPECT_EQ( entry->first, key );
                    EXPECT_EQ( entry->second, expected->second );
                    break;
                }
                case 1:
                    map[key] += step;
                    reference[key] += step;
                    break;
                case 2:
                case 3:
                    EXPECT_EQ( map.erase( key ), reference.erase( key ) );
                    break;
                default: {
                    const auto found = map.find( key );
                    const auto expected = reference.find( key );
                    ASSERT_EQ( found == map.end(), expected == reference.end() );
                    EXPECT_EQ( map.contains( key ), expected != reference.end() );
                    if( found != map.end() )
                    {
                        EXPECT_EQ( found->second, expected->second );
                        EXPECT_EQ( map.at( key ), expected->second );
                        EXPECT_EQ( &map.entry( map.position( key ) ), &*found );
                    }
                    else
                    {
                        EXPECT_EQ( map.position( key ), map.size() );
                        EXPECT_THROW( static_cast< void >( map.at( key ) ),
                            std::out_of_range );
                    }
                }
                }
            }
            expect_same_entries( map, reference );
        }
    }

    // Edges sort by polygon first, the local edge only breaking ties, and the
    // unset edge (NO_ID, NO_LID) after every set edge.
    TEST( SortedVectorMap, edge_map_reads_in_polygon_then_local_edge_order )
    {
        const PolygonEdge unset{};
        const std::vector< PolygonEdge > edges{ { 7, 2 }, unset, { 300, 0 },
            { 7, 0 }, { 256, 1 }, { 1, 2 }, { 7, 1 } };
        detail::SurfaceCutEdgeMap map;
        for( const auto& edge : edges )
        {
            map.try_emplace( edge );
        }
        const std::vector< PolygonEdge > expected{ { 1, 2 }, { 7, 0 }, { 7, 1 },
            { 7, 2 }, { 256, 1 }, { 300, 0 }, unset };
        std::vector< PolygonEdge > read;
        for( const auto& [edge, entry] : map )
        {
            read.push_back( edge );
        }
        EXPECT_EQ( read, expected );
    }

    TEST( SortedVectorMap, first_of_repeated_keys_wins_at_construction )
    {
        const detail::SortedVectorMap< int, int > map{ { 5, 1 }, { 2, 2 }, { 5, 3 } };
        ASSERT_EQ( map.size(), 2u );
        EXPECT_EQ( map.at( 5 ), 1 );
        EXPECT_EQ( map.begin()->first, 2 );
    }
} // namespace
