#include <common/modifier/vertices_modifier.hpp>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>

namespace
{
    using orvane::index_t;
    using orvane::NO_ID;
    using orvane::VertexCycle;
    using orvane::VertexEntry;
    using Edges = std::vector< std::array< index_t, 2 > >;
    using Triangles = std::vector< std::array< index_t, 3 > >;
    using Cycles = std::vector< VertexCycle >;

    // Exposes the vertex map so that tests can see what path compression
    // wrote.
    class TestModifier : public orvane::VerticesModifier
    {
    public:
        std::optional< index_t > entry( index_t vertex ) const
        {
            const auto found = vertex_map().find( vertex );
            if( found == vertex_map().end() )
            {
                return std::nullopt;
            }
            return found->second;
        }

        std::size_t nb_entries() const
        {
            return vertex_map().size();
        }

        void collapse( index_t new_vertex, std::vector< index_t > merged )
        {
            update_vertex_map( new_vertex, merged );
        }
    };

    struct Collapse
    {
        index_t new_vertex;
        absl::InlinedVector< index_t, 4 > merged_vertices;
        index_t other_field{ 0 };
    };

    TEST( VerticesModifier, unmapped_vertex_is_returned_without_new_entry )
    {
        TestModifier modifier;
        modifier.collapse( 10, { 1, 2 } );
        for( const index_t vertex : { index_t{ 0 }, index_t{ 10 }, NO_ID } )
        {
            EXPECT_EQ( modifier.updated_vertex( vertex ), vertex );
        }
        EXPECT_EQ( modifier.nb_entries(), 2u );
    }

    TEST( VerticesModifier, chains_resolve_and_compress_every_entry_walked )
    {
        // a -> p, then p and b -> q: a reads q and then maps to q directly.
        const index_t a{ 0 }, b{ 1 }, p{ 5 }, q{ 6 };
        TestModifier modifier;
        modifier.collapse( p, { a } );
        modifier.collapse( q, { p, b } );
        EXPECT_EQ( modifier.entry( a ), p );
        EXPECT_EQ( modifier.updated_vertex( a ), q );
        EXPECT_EQ( modifier.entry( a ), q );
        EXPECT_EQ( modifier.updated_vertex( b ), q );

        // A chain longer than the inline walk buffer: 0 -> 1 -> ... -> 7.
        TestModifier long_chain;
        for( index_t v = 0; v < 7; v++ )
        {
            long_chain.collapse( v + 1, { v } );
        }
        EXPECT_EQ( long_chain.updated_vertex( 0 ), 7u );
        for( index_t v = 0; v < 7; v++ )
        {
            EXPECT_EQ( long_chain.entry( v ), 7u ) << "vertex " << v;
        }
        EXPECT_EQ( long_chain.entry( 7 ), std::nullopt );
    }

    TEST( VerticesModifier, map_updates_overwrite_and_clear )
    {
        TestModifier modifier;
        modifier.update_vertex_map( Collapse{ 20, { 4, 6 } } );
        EXPECT_EQ( modifier.updated_vertex( 4 ), 20u );
        EXPECT_EQ( modifier.updated_vertex( 6 ), 20u );
        EXPECT_EQ( modifier.entry( 20 ), std::nullopt );

        modifier.collapse( 30, { 4 } );
        EXPECT_EQ( modifier.updated_vertex( 4 ), 30u );
        EXPECT_EQ( modifier.updated_vertex( 6 ), 20u );

        // Listing the new vertex among the merged ones maps it nowhere.
        modifier.collapse( 40, { 6, 40 } );
        EXPECT_EQ( modifier.entry( 40 ), std::nullopt );
        EXPECT_EQ( modifier.updated_vertex( 40 ), 40u );
        EXPECT_EQ( modifier.updated_vertex( 6 ), 40u );

        modifier.clear_vertex_map();
        EXPECT_EQ( modifier.nb_entries(), 0u );
        EXPECT_EQ( modifier.updated_vertex( 4 ), 4u );
    }

    TEST( VertexListOperations, canonical_cycle )
    {
        const std::vector< std::pair< VertexCycle, VertexCycle > > cases{
            { { 5, 2, 9, 7 }, { 2, 5, 7, 9 } },
            { { 9, 7, 5, 2 }, { 2, 5, 7, 9 } },
            { { 2, 5, 7, 9 }, { 2, 5, 7, 9 } },
            { { 2, 9, 7, 5 }, { 2, 5, 7, 9 } },
            { { 3, 1, 2 }, { 1, 2, 3 } },
            { { 2, 1, 3 }, { 1, 2, 3 } },
            // The first occurrence of a repeated smallest vertex leads.
            { { 3, 1, 4, 1, 5 }, { 1, 3, 5, 1, 4 } },
            { { 7, 3 }, { 3, 7 } },
            { { 4, 2, 4 }, { 2, 4, 4 } },
            { { 8 }, { 8 } },
            { {}, {} },
        };
        for( const auto& [cycle, expected] : cases )
        {
            EXPECT_EQ( orvane::detail::canonical_cycle( cycle ), expected )
                << "cycle of " << cycle.size() << " starting with "
                << ( cycle.empty() ? NO_ID : cycle[0] );
        }
        // Every rotation of both directions of one loop gives one form.
        const VertexCycle loop{ 6, 3, 8, 1, 4 };
        const auto canonical = orvane::detail::canonical_cycle( loop );
        for( std::size_t shift = 0; shift < loop.size(); shift++ )
        {
            VertexCycle rotated, reversed;
            for( std::size_t i = 0; i < loop.size(); i++ )
            {
                rotated.push_back( loop[( i + shift ) % loop.size()] );
                reversed.push_back(
                    loop[( loop.size() + shift - i ) % loop.size()] );
            }
            EXPECT_EQ( orvane::detail::canonical_cycle( rotated ), canonical );
            EXPECT_EQ( orvane::detail::canonical_cycle( reversed ), canonical );
        }
    }

    TEST( VertexListOperations, unique_additions_compare_exactly )
    {
        Edges edges;
        orvane::detail::add_unique_edge( edges, { 7, 4 } );
        EXPECT_EQ( edges, ( Edges{ { 4, 7 } } ) );
        orvane::detail::add_unique_edge( edges, { 7, 4 } );
        orvane::detail::add_unique_edge( edges, { 4, 7 } );
        orvane::detail::add_unique_edge( edges, { 1, 4 } );
        EXPECT_EQ( edges, ( Edges{ { 4, 7 }, { 1, 4 } } ) );

        Triangles triangles;
        orvane::detail::add_unique_triangle( triangles, { 9, 2, 5 } );
        orvane::detail::add_unique_triangle( triangles, { 5, 9, 2 } );
        orvane::detail::add_unique_triangle( triangles, { 2, 5, 8 } );
        EXPECT_EQ( triangles, ( Triangles{ { 2, 5, 9 }, { 2, 5, 8 } } ) );

        Cycles cycles;
        orvane::detail::add_unique_cycle( cycles, { 5, 2, 9, 7 } );
        orvane::detail::add_unique_cycle( cycles, { 9, 7, 5, 2 } );
        EXPECT_EQ( cycles, ( Cycles{ { 2, 5, 7, 9 } } ) );

        // add_unique_cycles takes the cycles as stored: (1, 2, 3) is not
        // (2, 3, 1) exactly, and a repeated cycle is added once.
        Cycles listed{ { 2, 3, 1 } };
        orvane::detail::add_unique_cycles(
            listed, { { 1, 2, 3 }, { 2, 3, 1 }, { 3, 1, 2 }, { 1, 2, 3 } } );
        EXPECT_EQ(
            listed, ( Cycles{ { 2, 3, 1 }, { 1, 2, 3 }, { 3, 1, 2 } } ) );
    }

    TEST( VertexListOperations, contains_remapped_translates_both_sides )
    {
        TestModifier modifier;
        modifier.collapse( 9, { 8 } );

        const Edges edges{ { 1, 2 }, { 3, 8 } };
        EXPECT_TRUE(
            orvane::detail::contains_remapped_edge( edges, { 9, 3 }, modifier ) );
        EXPECT_TRUE(
            orvane::detail::contains_remapped_edge( edges, { 8, 3 }, modifier ) );
        EXPECT_FALSE(
            orvane::detail::contains_remapped_edge( edges, { 8, 1 }, modifier ) );
        EXPECT_EQ( edges, ( Edges{ { 1, 2 }, { 3, 8 } } ) );

        const Triangles triangles{ { 3, 5, 8 } };
        EXPECT_TRUE( orvane::detail::contains_remapped_triangle(
            triangles, { 9, 5, 3 }, modifier ) );
        EXPECT_FALSE( orvane::detail::contains_remapped_triangle(
            triangles, { 9, 5, 4 }, modifier ) );

        const Cycles cycles{ { 4, 8, 6, 5 } };
        EXPECT_TRUE( orvane::detail::contains_remapped_cycle(
            cycles, { 5, 6, 9, 4 }, modifier ) );
        EXPECT_FALSE( orvane::detail::contains_remapped_cycle(
            cycles, { 5, 9, 6, 4 }, modifier ) );
        EXPECT_EQ( cycles, ( Cycles{ { 4, 8, 6, 5 } } ) );
    }

    TEST( VertexListOperations, contains_remapped_on_empty_list_translates_nothing )
    {
        TestModifier modifier;
        modifier.collapse( 5, { 1 } );
        modifier.collapse( 6, { 5 } );
        EXPECT_FALSE(
            orvane::detail::contains_remapped_edge( {}, { 1, 2 }, modifier ) );
        EXPECT_FALSE( orvane::detail::contains_remapped_triangle(
            {}, { 1, 2, 3 }, modifier ) );
        EXPECT_FALSE( orvane::detail::contains_remapped_cycle(
            {}, { 1, 2, 3 }, modifier ) );
        EXPECT_EQ( modifier.entry( 1 ), 5u );

        // A non-empty list translates, hence compresses, the query.
        EXPECT_FALSE( orvane::detail::contains_remapped_edge(
            { { 7, 8 } }, { 1, 2 }, modifier ) );
        EXPECT_EQ( modifier.entry( 1 ), 6u );
    }

    TEST( VertexListOperations, removals_use_translated_vertices_and_keep_order )
    {
        TestModifier modifier;
        modifier.collapse( 2, { 4 } );
        modifier.collapse( 10, { 7 } );

        Edges edges{ { 1, 2 }, { 5, 6 }, { 3, 4 }, { 8, 9 }, { 2, 11 } };
        orvane::detail::remove_edges_with_vertex( edges, 2, modifier );
        EXPECT_EQ( edges, ( Edges{ { 5, 6 }, { 8, 9 } } ) );

        // A stored 7 now reads 10: it no longer matches 7.
        Edges moved{ { 7, 1 }, { 10, 3 }, { 5, 6 } };
        orvane::detail::remove_edges_with_vertex( moved, 7, modifier );
        EXPECT_EQ( moved, ( Edges{ { 7, 1 }, { 10, 3 }, { 5, 6 } } ) );
        orvane::detail::remove_edges_with_vertex( moved, 10, modifier );
        EXPECT_EQ( moved, ( Edges{ { 5, 6 } } ) );

        Cycles cycles{ { 1, 3, 5 }, { 4, 6, 8 }, { 9, 11, 12 }, { 6, 8, 2 },
            { 13, 14, 15 } };
        orvane::detail::remove_cycles_with_vertex( cycles, 2, modifier );
        EXPECT_EQ(
            cycles, ( Cycles{ { 1, 3, 5 }, { 9, 11, 12 }, { 13, 14, 15 } } ) );
    }

    TEST( VertexListOperations, merge_vertex_entries )
    {
        struct Case
        {
            std::string name;
            std::vector< VertexEntry > entries;
            Collapse collapse;
            std::vector< VertexEntry > expected;
        };
        const std::vector< Case > cases{
            { "union without NO_ID",
                { { 4, { 10, 11 } }, { 5, { 3 } }, { 6, { 11, NO_ID } } },
                { 20, { 4, 6 } },
                { { 20, { 10, 11 } }, { 5, { 3 } }, { 20, { 10, 11 } } } },
            { "values all NO_ID", { { 4, { NO_ID } }, { 6, { NO_ID, NO_ID } } },
                { 20, { 4, 6 } }, { { 20, { NO_ID } }, { 20, { NO_ID } } } },
            { "order of first appearance",
                { { 6, { 3, 1 } }, { 4, { 1, 2, 3 } } }, { 20, { 4, 6 } },
                { { 20, { 3, 1, 2 } }, { 20, { 3, 1, 2 } } } },
            { "one tracked vertex", { { 4, { 1 } }, { 8, { 2 } } },
                { 20, { 4, 6 } }, { { 20, { 1 } }, { 8, { 2 } } } },
            { "no tracked vertex", { { 1, { NO_ID } }, { 2, {} } },
                { 20, { 4, 6 } }, { { 1, { NO_ID } }, { 2, {} } } },
            { "empty list", {}, { 20, { 4, 6 } }, {} },
        };
        for( auto test : cases )
        {
            orvane::detail::merge_vertex_entries(
                test.entries, test.collapse );
            EXPECT_EQ( test.entries, test.expected ) << test.name;
        }
    }

    TEST( ActiveFlags, exist_while_a_holder_lives )
    {
        orvane::AttributeManager manager;
        manager.resize( 3 );
        {
            orvane::internal::ActiveFlags flags{ manager };
            ASSERT_TRUE( manager.attribute_exists( "orvane_active" ) );
            EXPECT_TRUE( flags.is_active( 0 ) );
            flags.set_active( 1, false );
            manager.resize( 5 );
            EXPECT_FALSE( flags.is_active( 1 ) );
            EXPECT_TRUE( flags.is_active( 4 ) );
            EXPECT_FALSE(
                manager.find_attribute< bool >( "orvane_active" )->value( 1 ) );
        }
        EXPECT_FALSE( manager.attribute_exists( "orvane_active" ) );

        // A new holder starts from fresh flags.
        orvane::internal::ActiveFlags flags{ manager };
        EXPECT_TRUE( flags.is_active( 1 ) );
    }

    TEST( ActiveFlags, second_holder_shares_flags_and_keeps_them )
    {
        orvane::AttributeManager manager;
        manager.resize( 2 );
        auto first =
            std::make_unique< orvane::internal::ActiveFlags >( manager );
        first->set_active( 0, false );
        {
            orvane::internal::ActiveFlags second{ manager };
            EXPECT_FALSE( second.is_active( 0 ) );
            first.reset();
            ASSERT_TRUE( manager.attribute_exists( "orvane_active" ) );
            // The flags still follow the element set.
            manager.resize( 4 );
            EXPECT_TRUE( second.is_active( 3 ) );
            second.set_active( 3, false );
            EXPECT_FALSE(
                manager.find_attribute< bool >( "orvane_active" )->value( 3 ) );
        }
        EXPECT_FALSE( manager.attribute_exists( "orvane_active" ) );

        // Holders of different element sets do not interfere.
        orvane::AttributeManager other;
        other.resize( 1 );
        {
            orvane::internal::ActiveFlags on_manager{ manager };
            {
                orvane::internal::ActiveFlags on_other{ other };
            }
            EXPECT_FALSE( other.attribute_exists( "orvane_active" ) );
            EXPECT_TRUE( manager.attribute_exists( "orvane_active" ) );
        }
        EXPECT_FALSE( manager.attribute_exists( "orvane_active" ) );
    }
} // namespace
