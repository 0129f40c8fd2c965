#include <openorvane/basic/exception.hpp>

#include <gtest/gtest.h>

namespace
{
    using orvane::OpenOrvaneException;

    TEST( OpenOrvaneException, formats_pieces_without_separators )
    {
        EXPECT_STREQ( OpenOrvaneException( "x", 1e-7 ).what(), "x1e-07" );
        EXPECT_STREQ( OpenOrvaneException( "v ", 1234567.0 ).what(), "v 1.23457e+06" );
        EXPECT_STREQ( OpenOrvaneException( "half ", 0.5 ).what(), "half 0.5" );
        EXPECT_STREQ( OpenOrvaneException( "found ", 3u ).what(), "found 3" );
        EXPECT_STREQ( OpenOrvaneException( "n ", -4 ).what(), "n -4" );
        EXPECT_STREQ(
            OpenOrvaneException( "big ", std::uint64_t{ 18446744073709551615u } ).what(),
            "big 18446744073709551615" );
    }

    TEST( OpenOrvaneException, null_message_is_empty )
    {
        const char* null_message = nullptr;
        const OpenOrvaneException with_stack{ null_message };
        EXPECT_STREQ( with_stack.what(), "" );
        const OpenOrvaneException without_stack{ OpenOrvaneException::no_stack,
            null_message };
        EXPECT_STREQ( without_stack.what(), "" );
        EXPECT_EQ( without_stack.depth(), 0 );
    }

    TEST( OpenOrvaneException, records_stack_only_when_asked )
    {
        const OpenOrvaneException recorded{ "message" };
        EXPECT_GT( recorded.depth(), 0 );
        EXPECT_LE( recorded.depth(), OpenOrvaneException::MAX_STACK_DEPTH );
        const OpenOrvaneException unrecorded{ OpenOrvaneException::no_stack, "m" };
        EXPECT_EQ( unrecorded.depth(), 0 );
        for( const auto* address : unrecorded.stack() )
        {
            EXPECT_EQ( address, nullptr );
        }
    }

    TEST( OpenOrvaneException, copy_keeps_message_depth_and_stack )
    {
        const OpenOrvaneException original{ "copied ", 2 };
        const OpenOrvaneException copy{ original }; // NOLINT
        EXPECT_STREQ( copy.what(), original.what() );
        EXPECT_EQ( copy.depth(), original.depth() );
        EXPECT_EQ( copy.stack(), original.stack() );
    }

    TEST( OpenOrvaneException, caught_as_runtime_error )
    {
        try
        {
            throw OpenOrvaneException{ "[Test::run] failed" };
        }
        catch( const std::runtime_error& error )
        {
            EXPECT_STREQ( error.what(), "[Test::run] failed" );
        }
    }
} // namespace

namespace
{
    TEST( OpenOrvaneException, accepts_every_text_kind_as_piece )
    {
        const std::string text{ "[A::b] " };
        const std::string_view view{ "view " };
        const OpenOrvaneException error( text, view, "literal ", 7 );
        EXPECT_STREQ( error.what(), "[A::b] view literal 7" );
    }
} // namespace
