#pragma once

#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/attribute.hpp>
#include <openorvane/basic/attribute_interpolation.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/sparse_attribute.hpp>
#include <openorvane/basic/types.hpp>
#include <openorvane/basic/variable_attribute.hpp>

namespace orvane
{
    /// The named attributes of one element set (the vertices, edges,
    /// polygons, facets or polyhedra of a mesh, the cells of a grid).
    ///
    /// The manager shares ownership of every registered attribute and keeps
    /// its number of values equal to the element count: it resizes, reorders
    /// and deletes the values of all attributes together with the elements.
    /// A caller's handle keeps an attribute alive after the manager dropped
    /// it, detached from the element set.
    ///
    /// No operation locks: one manager is used by one thread at a time.
    class AttributeManager
    {
    public:
        AttributeManager();
        ~AttributeManager();
        AttributeManager( AttributeManager&& other ) noexcept;
        AttributeManager& operator=( AttributeManager&& other ) noexcept;
        AttributeManager( const AttributeManager& ) = delete;
        AttributeManager& operator=( const AttributeManager& ) = delete;

        /// The attribute registered under the name, or an empty handle.
        std::shared_ptr< AttributeBase > find_attribute_base(
            std::string_view name ) const;

        /// The attribute of the name as Storage<T> (VariableAttribute or
        /// SparseAttribute), created with the default value and properties
        /// and registered first when the name is free. An existing attribute
        /// is returned unchanged whatever default and properties are given.
        /// Throws OpenOrvaneException when the name holds an attribute of
        /// another storage or value type.
        template < template < typename > class Storage, typename T >
        std::shared_ptr< Storage< T > > find_or_create_attribute(
            std::string_view name,
            T default_value,
            AttributeProperties properties = {} )
        {
            const auto found = find_attribute_base( name );
            if( auto typed = std::dynamic_pointer_cast< Storage< T > >( found ) )
            {
                return typed;
            }
            if( found && found.use_count() >= 2 )
            {
                throw OpenOrvaneException{ OpenOrvaneException::no_stack,
                    "[AttributeManager::find_or_create_attribute] Do not "
                    "instantiate an attribute if an instantiated attribute of "
                    "the same name with different storage already exists." };
            }
            std::shared_ptr< Storage< T > > created{ new Storage< T >{
                std::move( default_value ), properties } };
            register_attribute( created, name );
            return created;
        }

        /// The attribute of the name for reading, whatever its storage.
        /// Throws OpenOrvaneException when the name is free or holds another
        /// value type; nothing is registered then.
        template < typename T >
        std::shared_ptr< ReadOnlyAttribute< T > > find_attribute(
            std::string_view name ) const
        {
            auto typed = std::dynamic_pointer_cast< ReadOnlyAttribute< T > >(
                find_attribute_base( name ) );
            if( !typed )
            {
                throw OpenOrvaneException{ OpenOrvaneException::no_stack,
                    "[AttributeManager::find_attribute] You have to create an "
                    "attribute before using it. See find_or_create_attribute "
                    "method and derived classes of ReadOnlyAttribute." };
            }
            return typed;
        }

        /// Keeps the attribute under the name (replacing any attribute held
        /// under it), names it and resizes it at once to the element count.
        void register_attribute(
            std::shared_ptr< AttributeBase > attribute, std::string_view name );

        /// Drops the attribute of the name, if any. A later creation under
        /// the name makes a fresh attribute.
        void delete_attribute( std::string_view name );

        /// Whether an attribute is registered under the name.
        bool attribute_exists( std::string_view name ) const;

        /// The names of the registered attributes, in increasing order.
        std::vector< std::string_view > attribute_names() const;

        index_t nb_elements() const;

        /// Makes room for `capacity` elements in every attribute.
        void reserve( index_t capacity );

        /// Sets the element count; new elements take each attribute's
        /// default value.
        void resize( index_t nb_elements );

        /// Removes the flagged elements from every attribute, keeping the
        /// others in their order. Throws OpenOrvaneException unless there is
        /// one flag per element.
        void delete_elements( const std::vector< bool >& to_delete );

        /// Reorders every attribute so that new element i takes the values
        /// of old element permutation[i]. Throws OpenOrvaneException, with
        /// nothing changed, unless the entries are a permutation of the
        /// elements.
        void permute_elements( absl::Span< const index_t > permutation );

        /// Replaces the contents of this manager with duplicates of every
        /// attribute of `other` and its element count.
        void copy( const AttributeManager& other );

        /// Drops every attribute and sets the element count to 0.
        void clear();

        /// Whether an attribute has the assignable property.
        bool has_assignable_attributes() const;

        /// Whether an attribute has the interpolable property.
        bool has_interpolable_attributes() const;

        /// Copies the value of element `from` to element `to` in every
        /// assignable attribute.
        void assign_attribute_value( index_t from, index_t to );

        /// Sets the element's value from the interpolation in every
        /// interpolable attribute.
        void interpolate_attribute_value(
            const AttributeLinearInterpolation& interpolation,
            index_t element );

        /// Takes over the attributes of `other`: element old of `other` is
        /// element old2new[old] here (NO_ID: not taken).
        /// - An attribute whose name is free here is registered as the
        ///   extraction of other's attribute (the elements that receive no
        ///   value take its default).
        /// - An attribute of the same storage and value type receives the
        ///   values of the targets only; its other elements keep theirs, so
        ///   several managers can be imported one after the other.
        /// - An attribute of another type is skipped with a warning.
        /// Throws OpenOrvaneException, with nothing changed, when the table
        /// is longer than other's element count or a target is not below
        /// this element count.
        void import(
            const AttributeManager& other, absl::Span< const index_t > old2new );

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };
} // namespace orvane
