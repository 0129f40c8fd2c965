#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/attribute_interpolation.hpp>
#include <openorvane/basic/attribute_value_traits.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/mapping.hpp>
#include <openorvane/basic/types.hpp>

namespace orvane
{
    class AttributeManager;

    /// What the attribute manager may do with an attribute when the mesh
    /// creates elements.
    struct AttributeProperties
    {
        AttributeProperties() = default;

        AttributeProperties( bool is_assignable, bool is_interpolable )
            : assignable( is_assignable ), interpolable( is_interpolable )
        {
        }

        /// The value of a new element may be copied from another element
        /// (AttributeManager::assign_attribute_value).
        bool assignable{ false };
        /// The value of a new element may be a weighted sum of the values of
        /// other elements (AttributeManager::interpolate_attribute_value).
        bool interpolable{ false };
    };

    /// The root of every attribute: one value per element of an element set,
    /// driven by the AttributeManager of that set through the operations
    /// below. No operation checks an element index: the manager keeps the
    /// attributes sized to its element count, and callers pass elements
    /// below it.
    class AttributeBase
    {
        friend class AttributeManager;

    public:
        AttributeBase( const AttributeBase& ) = delete;
        AttributeBase& operator=( const AttributeBase& ) = delete;
        virtual ~AttributeBase() = default;

        /// The value of the element as one float (0 for value types without
        /// a scalar form).
        virtual float scalar_value( index_t element ) const = 0;

        /// Scalar number `item` of the element's value (below nb_scalars());
        /// value types with one scalar ignore the item.
        virtual float scalar_item_value(
            index_t element, local_index_t item ) const = 0;

        virtual bool is_scalar_convertible() const = 0;

        virtual local_index_t nb_scalars() const = 0;

        /// The readable run-time name of the value type.
        virtual std::string_view value_type_name() const = 0;

        /// A new attribute of the same class with the same default value,
        /// properties and values; it is not registered and has no name.
        virtual std::shared_ptr< AttributeBase > duplicate() const = 0;

        /// Takes the default value and the values of the first n elements of
        /// `other`, which must be of this very class (std::bad_cast
        /// otherwise, with nothing changed). With n = 0 only the default
        /// value is taken.
        virtual void copy_from( const AttributeBase& other, index_t n ) = 0;

        /// The attribute of a new set of n elements: every target of the
        /// mapping gets the value of its source element, the other elements
        /// the default value. Throws OpenOrvaneException when a target is n
        /// or more; this attribute is never changed.
        virtual std::shared_ptr< AttributeBase > extract(
            const GenericMapping< index_t, index_t >& old2new_mapping,
            index_t n ) const = 0;

        /// Same as above with an old-to-new table (NO_ID entries are
        /// skipped). When several elements share a target, the last one
        /// wins.
        virtual std::shared_ptr< AttributeBase > extract(
            absl::Span< const index_t > old2new, index_t n ) const = 0;

        /// Brings the number of values to `size`; new elements take the
        /// default value.
        virtual void resize( index_t size ) = 0;

        /// Makes room for `capacity` values; never shrinks.
        virtual void reserve( index_t capacity ) = 0;

        /// Removes the values of the flagged elements, keeping the others in
        /// their order. One flag per element.
        virtual void erase_flagged_elements(
            const std::vector< bool >& to_delete ) = 0;

        /// Reorders the values so that new value i = old value
        /// permutation[i]. One entry per element.
        virtual void apply_permutation(
            absl::Span< const index_t > permutation ) = 0;

        /// Sets the element's value to the weighted sum of the interpolation
        /// for interpolable value types, to the default value otherwise.
        virtual void interpolate_element_value(
            const AttributeLinearInterpolation& interpolation,
            index_t element ) = 0;

        /// Copies the value of `from` to `to`.
        virtual void assign_element_value( index_t from, index_t to ) = 0;

        const AttributeProperties& properties() const
        {
            return properties_;
        }

        /// The name under which the manager registered the attribute (empty
        /// before registration).
        const std::string& name() const
        {
            return name_;
        }

    protected:
        explicit AttributeBase( AttributeProperties properties )
            : properties_( properties )
        {
        }

        /// Writes the values of `other` (of this very class) into this
        /// attribute through the old-to-new table: element old of `other`
        /// goes to old2new[old]; NO_ID entries are skipped and the elements
        /// that receive nothing keep their values. Returns false, with
        /// nothing changed, when `other` is of another class. The table must
        /// not be longer than other's element count, and its targets must be
        /// below this attribute's element count.
        virtual bool import_values(
            const AttributeBase& other, absl::Span< const index_t > old2new ) = 0;

    private:
        void set_name( std::string_view name )
        {
            name_ = std::string{ name };
        }

    private:
        AttributeProperties properties_;
        std::string name_;
    };

    /// The typed read layer shared by every storage of a value type.
    template < typename T >
    class ReadOnlyAttribute : public AttributeBase
    {
    public:
        using value_type = T;

        /// The stored value of the element; the reference stays valid until
        /// the next write into the attribute.
        virtual const T& value( index_t element ) const = 0;

        float scalar_value( index_t element ) const final
        {
            return AttributeValueTraits< T >::scalar( value( element ), 0 );
        }

        float scalar_item_value(
            index_t element, local_index_t item ) const final
        {
            return AttributeValueTraits< T >::scalar( value( element ), item );
        }

        bool is_scalar_convertible() const final
        {
            return AttributeValueTraits< T >::scalar_convertible;
        }

        local_index_t nb_scalars() const final
        {
            return AttributeValueTraits< T >::nb_scalars;
        }

        std::string_view value_type_name() const final
        {
            return AttributeValueTraits< T >::type_name();
        }

    protected:
        explicit ReadOnlyAttribute( AttributeProperties properties )
            : AttributeBase( properties )
        {
        }
    };

    namespace detail
    {
        /// Throws "[VariableAttribute::extract] The given mapping contains
        /// values that go beyond the given number of elements." (no stack)
        /// when target >= nb_elements.
        inline void check_extract_target( index_t target, index_t nb_elements )
        {
            if( target >= nb_elements )
            {
                throw OpenOrvaneException{ OpenOrvaneException::no_stack,
                    "[VariableAttribute::extract] The given mapping contains "
                    "values that go beyond the given number of elements." };
            }
        }
    } // namespace detail
} // namespace orvane
