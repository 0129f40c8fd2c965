#include <openorvane/basic/identifier.hpp>
#include <openorvane/basic/uuid.hpp>

#include <set>
#include <thread>
#include <vector>

#include <absl/container/flat_hash_set.h>
#include <absl/hash/hash.h>
#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>

namespace
{
    using orvane::uuid;

    bool is_canonical_form( const std::string& text )
    {
        if( text.size() != 36 )
        {
            return false;
        }
        for( std::size_t i = 0; i < text.size(); i++ )
        {
            const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
            const auto c = text[i];
            if( dash ? c != '-'
                     : !( ( c >= '0' && c <= '9' ) || ( c >= 'a' && c <= 'f' ) ) )
            {
                return false;
            }
        }
        return true;
    }

    TEST( Uuid, new_ids_are_unique_across_threads )
    {
        constexpr int NB_THREADS = 8;
        constexpr int NB_PER_THREAD = 20000;
        std::vector< std::vector< uuid > > drawn( NB_THREADS );
        std::vector< std::thread > threads;
        for( int t = 0; t < NB_THREADS; t++ )
        {
            threads.emplace_back( [&drawn, t] {
                drawn[t].reserve( NB_PER_THREAD );
                for( int i = 0; i < NB_PER_THREAD; i++ )
                {
                    drawn[t].emplace_back();
                }
            } );
        }
        for( auto& thread : threads )
        {
            thread.join();
        }
        absl::flat_hash_set< uuid > all;
        for( const auto& ids : drawn )
        {
            all.insert( ids.begin(), ids.end() );
        }
        EXPECT_EQ( all.size(), std::size_t{ NB_THREADS * NB_PER_THREAD } );
    }

    TEST( Uuid, string_round_trip )
    {
        for( int i = 0; i < 100; i++ )
        {
            const uuid id;
            const auto text = id.string();
            EXPECT_TRUE( is_canonical_form( text ) ) << text;
            const uuid parsed{ text };
            EXPECT_EQ( parsed, id );
            EXPECT_EQ( parsed.string(), text );
        }
        const uuid fixed{ "0123ABCD-4567-89ab-cdef-0123456789AB" };
        EXPECT_EQ( fixed.string(), "0123abcd-4567-89ab-cdef-0123456789ab" );
        EXPECT_EQ( fixed.high(), 0x0123abcd456789abULL );
        EXPECT_EQ( fixed.low(), 0xcdef0123456789abULL );
    }

    TEST( Uuid, rejects_malformed_strings )
    {
        const std::vector< std::string > malformed{
            "",
            "0123abcd-4567-89ab-cdef-0123456789a",
            "0123abcd-4567-89ab-cdef-0123456789abc",
            "0123abcd04567-89ab-cdef-0123456789ab",
            "0123abcd-4567-89ab-cdef-0123456789ag",
            "0123abcd-4567-89ab-cdef-01234567-9ab",
        };
        for( const auto& text : malformed )
        {
            EXPECT_THROW( uuid{ text }, orvane::OpenOrvaneException ) << text;
        }
    }

    TEST( Uuid, comparison_and_hash_use_both_halves )
    {
        // Ids differing in one half only.
        const uuid a{ "00000000-0000-0000-0000-000000000001" };
        const uuid b{ "00000000-0000-0000-0000-000000000002" };
        const uuid c{ "00000000-0000-0001-0000-000000000001" };
        const uuid a_again{ a.string() };
        EXPECT_EQ( a, a_again );
        EXPECT_NE( a, b );
        EXPECT_NE( a, c );
        EXPECT_TRUE( a < b );
        EXPECT_TRUE( b < c );
        EXPECT_FALSE( b < a );
        EXPECT_FALSE( a < a_again );
        EXPECT_EQ( absl::Hash< uuid >{}( a ), absl::Hash< uuid >{}( a_again ) );
        EXPECT_NE( absl::Hash< uuid >{}( a ), absl::Hash< uuid >{}( b ) );
        EXPECT_NE( absl::Hash< uuid >{}( a ), absl::Hash< uuid >{}( c ) );
        EXPECT_EQ( std::hash< uuid >{}( a ), std::hash< uuid >{}( a_again ) );
        EXPECT_NE( std::hash< uuid >{}( a ), std::hash< uuid >{}( b ) );
        EXPECT_NE( std::hash< uuid >{}( a ), std::hash< uuid >{}( c ) );
        const std::set< uuid > ordered{ c, a, b, a_again };
        EXPECT_EQ( ordered.size(), 3u );
        EXPECT_EQ( *ordered.begin(), a );
    }

    class Named : public orvane::Identifier
    {
    };

    TEST( Identifier, builder_sets_id_and_name_and_copies_keep_them )
    {
        Named first;
        Named second;
        EXPECT_NE( first.id(), second.id() );
        EXPECT_EQ( first.name(), "" );
        orvane::IdentifierBuilder builder{ second };
        builder.set_id( first.id() );
        builder.set_name( "top" );
        EXPECT_EQ( second.id(), first.id() );
        EXPECT_EQ( second.name(), "top" );
        const Named copy{ second };
        EXPECT_EQ( copy.id(), second.id() );
        EXPECT_EQ( copy.name(), "top" );
    }
} // namespace
