#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/edges.hpp>

namespace orvane
{
    TEST( EdgesTable, FindOrCreateIsKeyedByTheUnorderedPair )
    {
        Edges edges;
        EdgesBuilder builder{ edges };
        auto flags = edges.edge_attribute_manager().find_or_create_attribute< VariableAttribute, bool >(
            "test_flag", true );
        EXPECT_EQ( builder.find_or_create_edge( { 4, 2 } ), 0 );
        EXPECT_EQ( builder.find_or_create_edge( { 2, 7 } ), 1 );
        EXPECT_EQ( builder.find_or_create_edge( { 2, 4 } ), 0 );
        EXPECT_EQ( edges.nb_edges(), 2 );
        // Vertices stay as first given.
        EXPECT_EQ( edges.edge_vertices( 0 ), ( EdgeVertices{ 4, 2 } ) );
        EXPECT_EQ( edges.edge_from_vertices( { 7, 2 } ), index_t{ 1 } );
        EXPECT_FALSE( edges.edge_from_vertices( { 4, 7 } ) );
        // New entries take the attributes' defaults.
        EXPECT_EQ( edges.edge_attribute_manager().nb_elements(), 2 );
        EXPECT_TRUE( flags->value( 1 ) );
    }

    TEST( EdgesTable, BatchedCallsMatchSingleCalls )
    {
        Edges edges;
        EdgesBuilder builder{ edges };
        builder.find_or_create_edge( { 4, 2 } );
        // A known pair, a new one, the new one reversed, another new one.
        const std::vector< EdgeVertices > pairs{ { 2, 4 }, { 2, 7 }, { 7, 2 }, { 9, 4 } };
        std::vector< index_t > created( pairs.size() );
        builder.find_or_create_edges( pairs, absl::MakeSpan( created ) );
        EXPECT_EQ( created, ( std::vector< index_t >{ 0, 1, 1, 2 } ) );
        EXPECT_EQ( edges.edge_vertices( 1 ), ( EdgeVertices{ 2, 7 } ) );
        EXPECT_EQ( edges.edge_vertices( 2 ), ( EdgeVertices{ 9, 4 } ) );
        // The attributes grow with the batch.
        EXPECT_EQ( edges.edge_attribute_manager().nb_elements(), 3 );

        const std::vector< EdgeVertices > queries{ { 7, 2 }, { 4, 7 }, { 4, 9 } };
        std::vector< index_t > found( queries.size() );
        edges.edges_from_vertices( queries, absl::MakeSpan( found ) );
        EXPECT_EQ( found, ( std::vector< index_t >{ 1, NO_ID, 2 } ) );
        std::vector< index_t > too_short( 2 );
        EXPECT_THROW( edges.edges_from_vertices( queries, absl::MakeSpan( too_short ) ),
            OpenOrvaneException );
        EXPECT_THROW( builder.find_or_create_edges( queries, absl::MakeSpan( too_short ) ),
            OpenOrvaneException );
        EXPECT_EQ( edges.nb_edges(), 3 );
    }

    TEST( EdgesTable, BatchThatGrowsTheTableMatchesSingleCalls )
    {
        // Enough new pairs to grow the lookup several times within one
        // batch, then each of them again, reversed, after the growth.
        std::vector< EdgeVertices > pairs;
        for( index_t i = 0; i < 60; i++ )
        {
            pairs.push_back( { i, i + 100 } );
        }
        for( index_t i = 0; i < 60; i++ )
        {
            pairs.push_back( { i + 100, i } );
        }
        Edges batched;
        std::vector< index_t > created( pairs.size() );
        EdgesBuilder{ batched }.find_or_create_edges( pairs, absl::MakeSpan( created ) );
        Edges single;
        EdgesBuilder single_builder{ single };
        for( std::size_t i = 0; i < pairs.size(); i++ )
        {
            EXPECT_EQ( created[i], single_builder.find_or_create_edge( pairs[i] ) ) << i;
        }
        EXPECT_EQ( batched.nb_edges(), 60 );
        std::vector< index_t > found( pairs.size() );
        batched.edges_from_vertices( pairs, absl::MakeSpan( found ) );
        for( std::size_t i = 0; i < pairs.size(); i++ )
        {
            EXPECT_EQ( found[i], i % 60 ) << i;
            EXPECT_EQ( batched.edge_from_vertices( pairs[i] ), index_t( i % 60 ) ) << i;
        }
    }

    TEST( EdgesTable, VertexRenumberingLeavesOrphans )
    {
        Edges edges;
        EdgesBuilder builder{ edges };
        builder.find_or_create_edge( { 0, 1 } );
        builder.find_or_create_edge( { 1, 2 } );
        builder.find_or_create_edge( { 2, 3 } );
        builder.update_edge_vertices( { 0, NO_ID, 1, 2 } );
        EXPECT_EQ( edges.nb_edges(), 3 );
        EXPECT_EQ( edges.edge_vertices( 0 ), ( EdgeVertices{ 0, NO_ID } ) );
        EXPECT_EQ( edges.edge_vertices( 2 ), ( EdgeVertices{ 1, 2 } ) );
        EXPECT_EQ( edges.edge_from_vertices( { 1, 2 } ), index_t{ 2 } );
        // A key of the new numbering that matches nothing is not found, even
        // though an old entry held that pair before.
        EXPECT_FALSE( edges.edge_from_vertices( { 0, 1 } ) );
        EXPECT_EQ( builder.find_or_create_edge( { 0, 1 } ), 3 );
    }

    TEST( EdgesTable, DeletionsCompactAttributes )
    {
        Edges edges;
        std::vector< bool > used{ true, false, true };
        EdgesBuilder builder{ edges, [&used]( const Edges& ) { return used; } };
        auto ids = edges.edge_attribute_manager().find_or_create_attribute< VariableAttribute,
            index_t >( "test_id", NO_ID );
        for( index_t e = 0; e < 3; e++ )
        {
            builder.find_or_create_edge( { e, e + 1 } );
            ids->set_value( e, 10 * e );
        }
        EXPECT_EQ( builder.delete_isolated_edges(), ( OldToNew{ 0, NO_ID, 1 } ) );
        EXPECT_EQ( edges.nb_edges(), 2 );
        EXPECT_EQ( ids->value( 1 ), 20 );
        EXPECT_EQ( edges.edge_from_vertices( { 2, 3 } ), index_t{ 1 } );
        EXPECT_FALSE( edges.edge_from_vertices( { 1, 2 } ) );
        EXPECT_THROW( builder.delete_edges( { true } ), OpenOrvaneException );

        EdgesBuilder blind{ edges };
        EXPECT_THROW( blind.delete_isolated_edges(), OpenOrvaneException );

        Edges copy;
        EdgesBuilder{ copy }.copy( edges );
        EXPECT_EQ( copy.nb_edges(), 2 );
        EXPECT_EQ( copy.edge_attribute_manager().find_attribute< index_t >( "test_id" )->value( 1 ),
            20 );
        Edges moved{ std::move( copy ) };
        EXPECT_EQ( moved.nb_edges(), 2 );
        EXPECT_EQ( copy.nb_edges(), 0 );
        EXPECT_FALSE( copy.edge_from_vertices( { 2, 3 } ) );
    }
} // namespace orvane
