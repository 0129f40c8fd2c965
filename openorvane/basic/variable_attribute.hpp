#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include <openorvane/basic/algorithm.hpp>
#include <openorvane/basic/attribute.hpp>

namespace orvane
{
    namespace detail
    {
        /// How a dense attribute stores one value: as the value itself.
        template < typename T >
        struct DenseAttributeStorage
        {
            using stored_type = T;

            static stored_type store( const T& value )
            {
                return value;
            }

            static const T& get( const stored_type& stored )
            {
                return stored;
            }

            static T& get( stored_type& stored )
            {
                return stored;
            }
        };

        /// One byte holding a bool. Wrapping it keeps std::vector from
        /// packing the values into bits, so every element has its own byte:
        /// value() returns a reference to it, and tasks may write distinct
        /// elements at the same time.
        struct BoolByte
        {
            bool value{ false };
        };
        static_assert( sizeof( BoolByte ) == 1 );

        template <>
        struct DenseAttributeStorage< bool >
        {
            using stored_type = BoolByte;

            static stored_type store( bool value )
            {
                return BoolByte{ value };
            }

            static const bool& get( const stored_type& stored )
            {
                return stored.value;
            }

            static bool& get( stored_type& stored )
            {
                return stored.value;
            }
        };
    } // namespace detail

    /// Dense storage: one value per element, position = element index, and
    /// a default value for the elements added by resize().
    template < typename T >
    class VariableAttribute : public ReadOnlyAttribute< T >
    {
        using Storage = detail::DenseAttributeStorage< T >;
        using Stored = typename Storage::stored_type;
        using Traits = AttributeValueTraits< T >;

    public:
        /// Room for this many values is reserved at construction.
        static constexpr index_t INITIAL_CAPACITY = 10;

        VariableAttribute( T default_value, AttributeProperties properties )
            : ReadOnlyAttribute< T >( properties ),
              default_value_( std::move( default_value ) )
        {
            values_.reserve( INITIAL_CAPACITY );
        }

        const T& value( index_t element ) const final
        {
            return Storage::get( values_[element] );
        }

        void set_value( index_t element, T value )
        {
            Storage::get( values_[element] ) = std::move( value );
        }

        /// Calls modifier( T& ) on the stored value of the element, to change
        /// it in place.
        template < typename Modifier >
        void modify_value( index_t element, Modifier&& modifier )
        {
            modifier( Storage::get( values_[element] ) );
        }

        const T& default_value() const
        {
            return default_value_;
        }

        /// Number of stored values (the element count once registered).
        index_t size() const
        {
            return static_cast< index_t >( values_.size() );
        }

        /// Number of values the storage holds before it must grow.
        index_t capacity() const
        {
            return static_cast< index_t >( values_.capacity() );
        }

        std::shared_ptr< AttributeBase > duplicate() const final
        {
            std::shared_ptr< VariableAttribute > copy{ new VariableAttribute{
                default_value_, this->properties() } };
            copy->values_ = values_;
            return copy;
        }

        void copy_from( const AttributeBase& other, index_t n ) final
        {
            const auto& typed = dynamic_cast< const VariableAttribute& >( other );
            if( &typed == this )
            {
                if( n != 0 )
                {
                    resize( n );
                }
                return;
            }
            default_value_ = typed.default_value_;
            if( n == 0 )
            {
                return;
            }
            resize( n );
            std::copy_n( typed.values_.begin(), n, values_.begin() );
        }

        std::shared_ptr< AttributeBase > extract(
            const GenericMapping< index_t, index_t >& old2new_mapping,
            index_t n ) const final
        {
            auto extracted = make_extracted( n );
            for( const auto& [old_element, new_elements] :
                old2new_mapping.in2out() )
            {
                for( const auto new_element : new_elements )
                {
                    detail::check_extract_target( new_element, n );
                    extracted->values_[new_element] = values_[old_element];
                }
            }
            return extracted;
        }

        std::shared_ptr< AttributeBase > extract(
            absl::Span< const index_t > old2new, index_t n ) const final
        {
            auto extracted = make_extracted( n );
            for( index_t old_element = 0; old_element < old2new.size();
                 old_element++ )
            {
                const auto new_element = old2new[old_element];
                if( new_element == NO_ID )
                {
                    continue;
                }
                detail::check_extract_target( new_element, n );
                extracted->values_[new_element] = values_[old_element];
            }
            return extracted;
        }

        /// Grows the capacity to max(size, 2 x capacity) when size exceeds
        /// it, so that adding elements one by one costs amortised constant
        /// time. Shrinking keeps the capacity.
        void resize( index_t size ) final
        {
            const auto capacity = values_.capacity();
            if( size > capacity )
            {
                values_.reserve( std::max< std::size_t >( size, 2 * capacity ) );
            }
            if( size == values_.size() + 1 )
            {
                // Meshes create their elements one by one: appending one
                // value skips the general fill.
                values_.push_back( Storage::store( default_value_ ) );
                return;
            }
            values_.resize( size, Storage::store( default_value_ ) );
        }

        void reserve( index_t capacity ) final
        {
            values_.reserve( capacity );
        }

        void erase_flagged_elements( const std::vector< bool >& to_delete ) final
        {
            delete_vector_elements( to_delete, values_ );
        }

        void apply_permutation( absl::Span< const index_t > permutation ) final
        {
            permute( values_, permutation );
        }

        void interpolate_element_value(
            const AttributeLinearInterpolation& interpolation,
            index_t element ) final
        {
            if constexpr( Traits::interpolable )
            {
                // Formed completely before it is stored: the element may be
                // one of the interpolated ones.
                T result = Traits::interpolate(
                    interpolation, [this]( index_t index ) -> const T& {
                        return value( index );
                    } );
                Storage::get( values_[element] ) = std::move( result );
            }
            else
            {
                values_[element] = Storage::store( default_value_ );
            }
        }

        void assign_element_value( index_t from, index_t to ) final
        {
            if( from == to )
            {
                return;
            }
            values_[to] = values_[from];
        }

    protected:
        bool import_values( const AttributeBase& other,
            absl::Span< const index_t > old2new ) final
        {
            const auto* typed = dynamic_cast< const VariableAttribute* >( &other );
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
                if( new_element != NO_ID )
                {
                    values_[new_element] = typed->values_[old_element];
                }
            }
            return true;
        }

    private:
        std::shared_ptr< VariableAttribute > make_extracted( index_t n ) const
        {
            std::shared_ptr< VariableAttribute > extracted{ new VariableAttribute{
                default_value_, this->properties() } };
            extracted->resize( n );
            return extracted;
        }

    private:
        T default_value_;
        // An ordinary vector: a process holds many attribute arrays of a
        // few megabytes, and rounding each to whole huge pages would raise
        // its peak memory by far more than it saves in page faults.
        std::vector< Stored > values_;
    };
} // namespace orvane
