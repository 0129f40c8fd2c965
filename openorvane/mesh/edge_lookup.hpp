#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include <openorvane/basic/large_array_allocator.hpp>
#include <openorvane/basic/types.hpp>

namespace orvane
{
    namespace internal
    {
        /// The map from a packed vertex pair to an edge index behind the edge
        /// tables: open addressing with linear probing over one array of
        /// key/value slots.
        ///
        /// A key's home slot is given by the top bits of its hash, so that
        /// the array holds its entries nearly in hash order. Growing then
        /// walks the old array once in order and writes the new one nearly
        /// in order, instead of scattering every entry over memory as a table
        /// that places keys by their low hash bits does. A lookup usually
        /// reads a single cache line, key and value side by side. The table
        /// is at most three quarters full.
        ///
        /// Nothing walks the entries: no result depends on where they sit.
        /// Const members may run concurrently.
        class EdgeLookup
        {
        public:
            /// The value stored for the key, if any.
            [[nodiscard]] std::optional< index_t > find( std::uint64_t key ) const
            {
                if( key == EMPTY )
                {
                    return empty_key_value_;
                }
                if( slots_.empty() )
                {
                    return std::nullopt;
                }
                const auto mask = slots_.size() - 1;
                for( auto slot = home( key );; slot = ( slot + 1 ) & mask )
                {
                    const auto& entry = slots_[slot];
                    if( entry.key == key )
                    {
                        return entry.value;
                    }
                    if( entry.key == EMPTY )
                    {
                        return std::nullopt;
                    }
                }
            }

            /// The value stored for the key, with false; or, when the key is
            /// missing, `value` stored for it, with true.
            std::pair< index_t, bool > try_emplace( std::uint64_t key, index_t value )
            {
                if( key == EMPTY )
                {
                    if( empty_key_value_ )
                    {
                        return { empty_key_value_.value(), false };
                    }
                    empty_key_value_ = value;
                    return { value, true };
                }
                if( 4 * ( size_ + 1 ) > 3 * slots_.size() )
                {
                    grow( slots_.empty() ? MIN_SLOTS : 2 * slots_.size() );
                }
                const auto mask = slots_.size() - 1;
                for( auto slot = home( key );; slot = ( slot + 1 ) & mask )
                {
                    auto& entry = slots_[slot];
                    if( entry.key == key )
                    {
                        return { entry.value, false };
                    }
                    if( entry.key == EMPTY )
                    {
                        entry = { key, value };
                        size_++;
                        return { value, true };
                    }
                }
            }

            /// Asks the processor to start loading the key's home slot.
            void prefetch( std::uint64_t key ) const
            {
                if( !slots_.empty() )
                {
                    __builtin_prefetch( &slots_[home( key )] );
                }
            }

            /// Makes room for `nb_keys` keys without growing.
            void reserve( std::size_t nb_keys )
            {
                auto nb_slots = slots_.empty() ? MIN_SLOTS : slots_.size();
                while( 4 * nb_keys > 3 * nb_slots )
                {
                    nb_slots *= 2;
                }
                if( nb_slots != slots_.size() )
                {
                    grow( nb_slots );
                }
            }

            void clear()
            {
                slots_ = Slots{};
                size_ = 0;
                shift_ = 64;
                empty_key_value_.reset();
            }

            [[nodiscard]] std::size_t size() const
            {
                return size_ + ( empty_key_value_ ? 1 : 0 );
            }

        private:
            /// Marks a free slot. The key of that value is kept apart.
            static constexpr std::uint64_t EMPTY = ~std::uint64_t{ 0 };
            static constexpr std::size_t MIN_SLOTS = 16;

            struct Slot
            {
                std::uint64_t key{ EMPTY };
                index_t value{ NO_ID };
            };
            using Slots = std::vector< Slot, LargeArrayAllocator< Slot > >;

            /// A full 64-bit mix, so that the top bits depend on every bit of
            /// the pair.
            static std::uint64_t hash( std::uint64_t key )
            {
                key ^= key >> 30;
                key *= 0xbf58476d1ce4e5b9ULL;
                key ^= key >> 27;
                key *= 0x94d049bb133111ebULL;
                key ^= key >> 31;
                return key;
            }

            [[nodiscard]] std::size_t home( std::uint64_t key ) const
            {
                return static_cast< std::size_t >( hash( key ) >> shift_ );
            }

            /// Moves the entries to an array of `nb_slots` slots (a power of
            /// two).
            void grow( std::size_t nb_slots )
            {
                Slots old( nb_slots );
                old.swap( slots_ );
                shift_ = 64;
                for( auto size = nb_slots; size > 1; size /= 2 )
                {
                    shift_--;
                }
                const auto mask = nb_slots - 1;
                for( const auto& entry : old )
                {
                    if( entry.key == EMPTY )
                    {
                        continue;
                    }
                    auto slot = home( entry.key );
                    while( slots_[slot].key != EMPTY )
                    {
                        slot = ( slot + 1 ) & mask;
                    }
                    slots_[slot] = entry;
                }
            }

            Slots slots_;
            std::size_t size_{ 0 };
            /// 64 - log2 of the number of slots.
            unsigned shift_{ 64 };
            std::optional< index_t > empty_key_value_;
        };
    } // namespace internal
} // namespace orvane
