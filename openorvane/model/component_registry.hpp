#pragma once

#include <cstddef>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>

namespace orvane
{
    /// A list of components of one kind, walked in a fixed order (the
    /// model's insertion order, or the order in which relationships were
    /// added). It holds pointers into the model: edits of the model's
    /// components invalidate it.
    template < typename Component >
    class ComponentRange
    {
    public:
        class Iterator
        {
        public:
            using iterator_category = std::forward_iterator_tag;
            using value_type = Component;
            using difference_type = std::ptrdiff_t;
            using pointer = const Component*;
            using reference = const Component&;

            Iterator() = default;

            explicit Iterator(
                typename std::vector< const Component* >::const_iterator current )
                : current_( current )
            {
            }

            const Component& operator*() const
            {
                return **current_;
            }

            const Component* operator->() const
            {
                return *current_;
            }

            Iterator& operator++()
            {
                ++current_;
                return *this;
            }

            Iterator operator++( int )
            {
                auto copy = *this;
                ++current_;
                return copy;
            }

            friend bool operator==( const Iterator& lhs, const Iterator& rhs )
            {
                return lhs.current_ == rhs.current_;
            }

        private:
            typename std::vector< const Component* >::const_iterator current_;
        };

        ComponentRange() = default;

        explicit ComponentRange( std::vector< const Component* > components )
            : components_( std::move( components ) )
        {
        }

        Iterator begin() const
        {
            return Iterator{ components_.begin() };
        }

        Iterator end() const
        {
            return Iterator{ components_.end() };
        }

        index_t size() const
        {
            return static_cast< index_t >( components_.size() );
        }

        bool empty() const
        {
            return components_.empty();
        }

        const Component& operator[]( index_t position ) const
        {
            return *components_[position];
        }

    private:
        std::vector< const Component* > components_;
    };

    namespace internal
    {
        /// The components of one kind, in insertion order, with a lookup by
        /// uuid. Lookups of a missing uuid throw std::out_of_range (through
        /// flat_hash_map::at). Reads never write, so any number of threads
        /// may look components up while none adds or removes one. A
        /// moved-from registry is empty.
        template < typename Component >
        class ComponentRegistry
        {
        public:
            ComponentRegistry() = default;

            ComponentRegistry( ComponentRegistry&& other ) noexcept
                : components_( std::move( other.components_ ) ),
                  positions_( std::move( other.positions_ ) )
            {
                other.components_.clear();
                other.positions_.clear();
            }

            ComponentRegistry& operator=( ComponentRegistry&& other ) noexcept
            {
                if( this != &other )
                {
                    components_ = std::move( other.components_ );
                    positions_ = std::move( other.positions_ );
                    other.components_.clear();
                    other.positions_.clear();
                }
                return *this;
            }

            index_t size() const
            {
                return static_cast< index_t >( components_.size() );
            }

            bool contains( const uuid& id ) const
            {
                return positions_.contains( id );
            }

            const Component& at( const uuid& id ) const
            {
                return *components_[positions_.at( id )];
            }

            Component& at( const uuid& id )
            {
                return *components_[positions_.at( id )];
            }

            ComponentRange< Component > range() const
            {
                std::vector< const Component* > components;
                components.reserve( components_.size() );
                for( const auto& component : components_ )
                {
                    components.push_back( component.get() );
                }
                return ComponentRange< Component >{ std::move( components ) };
            }

            /// Appends the component. Its uuid must be new in the registry.
            Component& add( std::unique_ptr< Component > component )
            {
                const auto id = component->id();
                if( positions_.contains( id ) )
                {
                    throw OpenOrvaneException{ "[ComponentRegistry::add] A ",
                        Component::component_type_static().get(),
                        " with the uuid ", id.string(), " already exists" };
                }
                positions_.emplace( id, size() );
                components_.push_back( std::move( component ) );
                return *components_.back();
            }

            /// Removes the component (missing uuid: std::out_of_range); the
            /// others keep their relative order.
            void remove( const uuid& id )
            {
                const auto position = positions_.at( id );
                components_.erase( components_.begin() + position );
                positions_.erase( id );
                for( auto p = position; p < size(); p++ )
                {
                    positions_[components_[p]->id()] = p;
                }
            }

        private:
            std::vector< std::unique_ptr< Component > > components_;
            absl::flat_hash_map< uuid, index_t > positions_;
        };
    } // namespace internal
} // namespace orvane
