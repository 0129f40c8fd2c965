#pragma once

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/algorithm.hpp>
#include <openorvane/basic/attribute.hpp>

namespace orvane
{
    /// Sparse storage: a default value and a hash map from element index to
    /// value, holding only the elements that were written. It costs memory
    /// only for written elements and reads through one hash lookup.
    ///
    /// The attribute knows no element count: resize() does nothing and
    /// value() answers for any index. It reorders and deletes with the same
    /// conventions as the dense storage, so that both kinds of attribute of
    /// one element set stay in step; entries at an index beyond the flags or
    /// the permutation belong to no element and are dropped then.
    template < typename T >
    class SparseAttribute : public ReadOnlyAttribute< T >
    {
    public:
        /// Room for this many entries is reserved at construction.
        static constexpr index_t INITIAL_CAPACITY = 10;

        SparseAttribute( T default_value, AttributeProperties properties )
            : ReadOnlyAttribute< T >( properties ),
              default_value_( std::move( default_value ) )
        {
            values_.reserve( INITIAL_CAPACITY );
        }

        /// The element's entry, or the default value when it has none. The
        /// reference stays valid until the next write into the attribute.
        const T& value( index_t element ) const final
        {
            const auto it = values_.find( element );
            if( it == values_.end() )
            {
                return default_value_;
            }
            return it->second;
        }

        /// Inserts or overwrites the element's entry, even with a value equal
        /// to the default.
        void set_value( index_t element, T value )
        {
            values_.insert_or_assign( element, std::move( value ) );
        }

        /// Calls modifier( T& ) on the element's entry, which is created with
        /// the default value first when missing.
        template < typename Modifier >
        void modify_value( index_t element, Modifier&& modifier )
        {
            auto it = values_.try_emplace( element, default_value_ ).first;
            modifier( it->second );
        }

        const T& default_value() const
        {
            return default_value_;
        }

        /// Number of stored entries.
        index_t nb_entries() const
        {
            return static_cast< index_t >( values_.size() );
        }

        std::shared_ptr< AttributeBase > duplicate() const final
        {
            auto copy = empty_copy();
            copy->values_ = values_;
            return copy;
        }

        /// Takes other's default value and, when n is not 0, exactly other's
        /// values for the first n elements: the entries held before are
        /// dropped.
        void copy_from( const AttributeBase& other, index_t n ) final
        {
            const auto& typed = dynamic_cast< const SparseAttribute& >( other );
            if( &typed == this )
            {
                return;
            }
            default_value_ = typed.default_value_;
            if( n == 0 )
            {
                return;
            }
            values_.clear();
            for( const auto& [element, value] : typed.values_ )
            {
                if( element < n && !( value == default_value_ ) )
                {
                    values_.emplace( element, value );
                }
            }
        }

        std::shared_ptr< AttributeBase > extract(
            const GenericMapping< index_t, index_t >& old2new_mapping,
            index_t n ) const final
        {
            auto extracted = empty_copy();
            for( const auto& [old_element, new_elements] :
                old2new_mapping.in2out() )
            {
                const auto& old_value = value( old_element );
                if( old_value == default_value_ )
                {
                    continue;
                }
                for( const auto new_element : new_elements )
                {
                    detail::check_extract_target( new_element, n );
                    extracted->values_.insert_or_assign( new_element, old_value );
                }
            }
            return extracted;
        }

        std::shared_ptr< AttributeBase > extract(
            absl::Span< const index_t > old2new, index_t n ) const final
        {
            auto extracted = empty_copy();
            // Only the written elements can differ from the default; walk
            // them in increasing index so that the last writer wins as in
            // the dense storage.
            for( const auto old_element : detail::sorted_keys( values_ ) )
            {
                if( old_element >= old2new.size() )
                {
                    break;
                }
                const auto new_element = old2new[old_element];
                const auto& old_value = values_.at( old_element );
                if( new_element == NO_ID || old_value == default_value_ )
                {
                    continue;
                }
                detail::check_extract_target( new_element, n );
                extracted->values_.insert_or_assign( new_element, old_value );
            }
            return extracted;
        }

        void resize( index_t /*size*/ ) final {}

        void reserve( index_t capacity ) final
        {
            values_.reserve( capacity );
        }

        /// Drops the entries of flagged elements, the entries equal to the
        /// default and those beyond the flags, and renumbers the others.
        void erase_flagged_elements( const std::vector< bool >& to_delete ) final
        {
            renumber_entries( detail::mapping_after_deletion( to_delete ), true );
        }

        /// Same convention as the dense storage: new value i = old value
        /// permutation[i], so the entry of element permutation[i] moves to
        /// i. Entries beyond the permutation are dropped.
        void apply_permutation( absl::Span< const index_t > permutation ) final
        {
            std::vector< index_t > old2new( permutation.size(), NO_ID );
            for( index_t i = 0; i < permutation.size(); i++ )
            {
                if( permutation[i] < old2new.size() )
                {
                    old2new[permutation[i]] = i;
                }
            }
            renumber_entries( old2new, false );
        }

        /// Only the default value is stored: no sparse value type
        /// interpolates.
        void interpolate_element_value(
            const AttributeLinearInterpolation& /*interpolation*/,
            index_t element ) final
        {
            values_.insert_or_assign( element, default_value_ );
        }

        /// The target gets an explicit entry, equal to the default when the
        /// source has none.
        void assign_element_value( index_t from, index_t to ) final
        {
            // Copied first: inserting may move the entries.
            T copy = value( from );
            values_.insert_or_assign( to, std::move( copy ) );
        }

    protected:
        bool import_values( const AttributeBase& other,
            absl::Span< const index_t > old2new ) final
        {
            const auto* typed = dynamic_cast< const SparseAttribute* >( &other );
            if( typed == nullptr )
            {
                return false;
            }
            if( typed == this )
            {
                const auto copy = duplicate();
                return import_values( *copy, old2new );
            }
            for( index_t old_element = 0; old_element < old2new.size();
                 old_element++ )
            {
                const auto new_element = old2new[old_element];
                if( new_element == NO_ID )
                {
                    continue;
                }
                const auto& imported = typed->value( old_element );
                if( imported == default_value_ )
                {
                    values_.erase( new_element );
                }
                else
                {
                    values_.insert_or_assign( new_element, imported );
                }
            }
            return true;
        }

    private:
        /// Moves the entry of each element to old2new[element], dropping the
        /// entries of elements mapped to NO_ID or beyond old2new, and those
        /// equal to the default when drop_defaults is set.
        void renumber_entries( absl::Span< const index_t > old2new, bool drop_defaults )
        {
            auto old_values = std::move( values_ );
            values_ = {};
            values_.reserve( old_values.size() );
            for( auto& [element, value] : old_values )
            {
                if( element >= old2new.size() || old2new[element] == NO_ID
                    || ( drop_defaults && value == default_value_ ) )
                {
                    continue;
                }
                values_.emplace( old2new[element], std::move( value ) );
            }
        }

        std::shared_ptr< SparseAttribute > empty_copy() const
        {
            return std::shared_ptr< SparseAttribute >{ new SparseAttribute{
                default_value_, this->properties() } };
        }

    private:
        T default_value_;
        absl::flat_hash_map< index_t, T > values_;
    };
} // namespace orvane
