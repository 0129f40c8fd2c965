#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace orvane
{
    /// A 128-bit identifier of a mesh or a component.
    ///
    /// The default constructor draws a new random identifier (version 4
    /// layout). It is thread-safe and may run during static initialisation.
    class uuid
    {
    public:
        /// A new random identifier.
        uuid();

        /// Parses the 8-4-4-4-12 hexadecimal form that `string()` writes
        /// (upper or lower case). Throws OpenOrvaneException on any other
        /// text.
        explicit uuid( std::string_view text );

        uuid( const uuid& ) = default;
        uuid& operator=( const uuid& ) = default;

        friend bool operator==( const uuid& lhs, const uuid& rhs )
        {
            return lhs.ab_ == rhs.ab_ && lhs.cd_ == rhs.cd_;
        }

        friend bool operator!=( const uuid& lhs, const uuid& rhs )
        {
            return !( lhs == rhs );
        }

        friend bool operator<( const uuid& lhs, const uuid& rhs )
        {
            return lhs.ab_ < rhs.ab_ || ( lhs.ab_ == rhs.ab_ && lhs.cd_ < rhs.cd_ );
        }

        /// The 8-4-4-4-12 lower-case hexadecimal form.
        std::string string() const;

        /// The high and low 64-bit halves.
        std::uint64_t high() const
        {
            return ab_;
        }

        std::uint64_t low() const
        {
            return cd_;
        }

        template < typename H >
        friend H AbslHashValue( H hash, const uuid& id )
        {
            return H::combine( std::move( hash ), id.ab_, id.cd_ );
        }

    private:
        std::uint64_t ab_{ 0 };
        std::uint64_t cd_{ 0 };
    };
} // namespace orvane

namespace std
{
    template <>
    struct hash< orvane::uuid >
    {
        std::size_t operator()( const orvane::uuid& id ) const noexcept
        {
            // Mixes both halves so that ids differing in one half only still
            // spread over the buckets.
            std::uint64_t mixed =
                id.high() ^ ( id.low() + 0x9e3779b97f4a7c15ULL + ( id.high() << 6 )
                                + ( id.high() >> 2 ) );
            mixed ^= mixed >> 33;
            mixed *= 0xff51afd7ed558ccdULL;
            mixed ^= mixed >> 33;
            return static_cast< std::size_t >( mixed );
        }
    };
} // namespace std
