#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <typeinfo>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/basic/singleton.hpp>

namespace orvane
{
    /// A strong type around T, distinguished by Tag, so that keys of
    /// different kinds (implementation names, type names) do not mix.
    /// Compares and hashes by its value.
    template < typename T, typename Tag >
    class NamedType
    {
    public:
        NamedType() = default;

        explicit NamedType( T value ) : value_( std::move( value ) ) {}

        const T& get() const
        {
            return value_;
        }

        friend bool operator==( const NamedType& lhs, const NamedType& rhs )
        {
            return lhs.value_ == rhs.value_;
        }

        friend bool operator!=( const NamedType& lhs, const NamedType& rhs )
        {
            return !( lhs == rhs );
        }

        friend bool operator<( const NamedType& lhs, const NamedType& rhs )
        {
            return lhs.value_ < rhs.value_;
        }

        template < typename H >
        friend H AbslHashValue( H hash, const NamedType& named )
        {
            return H::combine( std::move( hash ), named.value_ );
        }

    private:
        T value_{};
    };

    /// A registry of creators of BaseClass objects, keyed by Key; one store
    /// per template instance, kept in the Singleton registry.
    ///
    /// Creators are registered while modules initialise; lookups afterwards
    /// only read the store. A key registered twice keeps its first creator
    /// and draws the warning "Factory: Trying to register twice the same
    /// key".
    template < typename Key, typename BaseClass, typename... Args >
    class Factory : public Singleton
    {
    public:
        using Creator = std::unique_ptr< BaseClass > ( * )( Args... );

        /// Registers the creator of Derived (built from Args...).
        template < typename Derived >
            requires std::derived_from< Derived, BaseClass >
        static void register_creator( Key key )
        {
            register_creator( std::move( key ), &create_derived< Derived > );
        }

        static void register_creator( Key key, Creator creator )
        {
            auto& store = get_store();
            const std::lock_guard< std::mutex > locking{ store.registering_ };
            if( !store.creators_.try_emplace( std::move( key ), creator ).second )
            {
                Logger::log_warn( "Factory: Trying to register twice the same key" );
            }
        }

        /// Creates the object registered under the key. Throws
        /// OpenOrvaneException when the key is missing.
        static std::unique_ptr< BaseClass > create( const Key& key, Args... args )
        {
            const auto& store = get_store();
            const auto found = store.creators_.find( key );
            if( found == store.creators_.end() )
            {
                throw OpenOrvaneException{
                    "[Factory::create] Factory does not contain the requested key"
                };
            }
            return found->second( std::forward< Args >( args )... );
        }

        static bool has_creator( const Key& key )
        {
            return get_store().creators_.contains( key );
        }

        /// The registered keys, in no particular order.
        static std::vector< Key > list_creators()
        {
            const auto& store = get_store();
            std::vector< Key > keys;
            keys.reserve( store.creators_.size() );
            for( const auto& [key, creator] : store.creators_ )
            {
                keys.push_back( key );
            }
            return keys;
        }

    protected:
        Factory() = default;

    private:
        template < typename Derived >
        static std::unique_ptr< BaseClass > create_derived( Args... args )
        {
            return std::unique_ptr< BaseClass >{ new Derived(
                std::forward< Args >( args )... ) };
        }

        /// This factory's store, found or created in the registry on first
        /// use. Only that first step takes the registry mutex; later lookups
        /// take no lock.
        static Factory& get_store()
        {
            static Factory& store = find_or_create_store();
            return store;
        }

        static Factory& find_or_create_store()
        {
            const std::lock_guard< std::mutex > locking{ Singleton::lock() };
            auto* store = dynamic_cast< Factory* >(
                Singleton::instance( typeid( Factory ) ) );
            if( store == nullptr )
            {
                store = new Factory;
                Singleton::set_instance( typeid( Factory ), store );
            }
            return *store;
        }

    private:
        absl::flat_hash_map< Key, Creator > creators_;
        std::mutex registering_;
    };
} // namespace orvane
