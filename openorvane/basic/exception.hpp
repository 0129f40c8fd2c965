#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include <absl/strings/str_cat.h>

namespace orvane
{
    class OpenOrvaneException;

    namespace detail
    {
        template < typename T >
        concept NotAnException =
            !std::derived_from< std::remove_cvref_t< T >, OpenOrvaneException >;

        /// Passes a message piece to absl::StrCat unchanged, except standard
        /// string views, which abseil's own string view does not accept.
        template < typename T >
        decltype( auto ) message_piece( const T& piece )
        {
            if constexpr( std::is_convertible_v< const T&, std::string_view >
                          && !std::is_convertible_v< const T&, const char* >
                          && !std::is_same_v< T, std::string > )
            {
                const std::string_view view{ piece };
                return absl::string_view{ view.data(), view.size() };
            }
            else
            {
                return ( piece );
            }
        }
    } // namespace detail

    /// The error type of the whole library.
    ///
    /// The message is the concatenation of its pieces: text unchanged,
    /// integers in decimal and doubles with six significant digits (1e-07,
    /// 0.5, 1.23457e+06). A number is glued to the text before it, so texts
    /// that precede a number end with a blank.
    ///
    /// The general constructors record the caller's stack (at most 10
    /// frames, the constructor's own frame skipped); the `no_stack` ones do
    /// not. Unrecorded entries are null, so a copy never reads garbage.
    class OpenOrvaneException : public std::runtime_error
    {
    public:
        static constexpr std::int32_t MAX_STACK_DEPTH = 10;

        /// Tag selecting the constructor that records no stack.
        struct NoStack
        {
        };
        static constexpr NoStack no_stack{};

        /// A message from one C string; a null pointer gives an empty message.
        explicit OpenOrvaneException( const char* message );

        /// A message concatenated from several pieces.
        template < typename... Pieces >
            requires( sizeof...( Pieces ) >= 1
                      && ( detail::NotAnException< Pieces > && ... ) )
        explicit OpenOrvaneException( const Pieces&... pieces )
            : std::runtime_error{ absl::StrCat(
                detail::message_piece( pieces )... ) }
        {
            record_stack();
        }

        /// A message that records no stack.
        OpenOrvaneException( NoStack, const char* message );

        OpenOrvaneException( const OpenOrvaneException& ) = default;
        OpenOrvaneException& operator=( const OpenOrvaneException& ) = default;
        ~OpenOrvaneException() override;

        /// Number of recorded return addresses (0 to 10).
        std::int32_t depth() const
        {
            return depth_;
        }

        /// The recorded return addresses, innermost first.
        const std::array< void*, MAX_STACK_DEPTH >& stack() const
        {
            return stack_;
        }

    private:
        void record_stack();

    private:
        std::array< void*, MAX_STACK_DEPTH > stack_{};
        std::int32_t depth_{ 0 };
    };
} // namespace orvane

/// Throws an OpenOrvaneException built from the pieces when the condition
/// does not hold.
#define ORVANE_EXCEPTION( condition, ... )                                     \
    do                                                                         \
    {                                                                          \
        if( !( condition ) )                                                   \
        {                                                                      \
            throw ::orvane::OpenOrvaneException{ __VA_ARGS__ };                \
        }                                                                      \
    } while( false )
