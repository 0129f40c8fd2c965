#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>

#include <cxxabi.h>

#include <openorvane/basic/attribute_interpolation.hpp>
#include <openorvane/basic/types.hpp>

namespace orvane
{
    namespace detail
    {
        /// The readable run-time name of T ("unsigned int", "double", ...),
        /// demangled once and kept for the life of the process.
        template < typename T >
        std::string_view attribute_value_type_name()
        {
            static const std::string name = [] {
                const char* mangled = typeid( T ).name();
                int status{ 0 };
                std::unique_ptr< char, decltype( &std::free ) > demangled{
                    abi::__cxa_demangle( mangled, nullptr, nullptr, &status ),
                    &std::free
                };
                return status == 0 && demangled ? std::string{ demangled.get() }
                                                : std::string{ mangled };
            }();
            return name;
        }
    } // namespace detail

    /// What the attributes do with a value type that has no particular
    /// behaviour: no scalar form (scalars read 0), one scalar per value, and
    /// no interpolation (interpolated elements take the default value).
    template < typename T >
    struct DefaultAttributeValueTraits
    {
        /// Whether a value can be viewed as one or more floats.
        static constexpr bool scalar_convertible = false;
        /// Number of floats in the scalar view of one value.
        static constexpr local_index_t nb_scalars = 1;
        /// Whether a value can be formed as a weighted sum of other values.
        static constexpr bool interpolable = false;

        /// Scalar number `item` (below nb_scalars) of the value.
        static float scalar( const T& /*value*/, local_index_t /*item*/ )
        {
            return 0.f;
        }

        static std::string_view type_name()
        {
            return detail::attribute_value_type_name< T >();
        }
    };

    /// Per-value-type behaviour of the attributes.
    ///
    /// Specialise it (deriving from DefaultAttributeValueTraits<T> to keep
    /// the defaults) for a value type that has a scalar view or that
    /// interpolates. An interpolable type also provides
    ///
    ///     template < typename ValueOf >
    ///     static T interpolate( const AttributeLinearInterpolation& interpolation,
    ///                           const ValueOf& value_of );
    ///
    /// where value_of( index ) gives the current value of an element. The
    /// result must be formed completely before the attribute stores it, as
    /// an element may be interpolated from a set that contains itself.
    ///
    /// The specialisation must be visible wherever an attribute of the type
    /// is instantiated: put it in (or include it from) the header that
    /// defines the type.
    template < typename T >
    struct AttributeValueTraits : DefaultAttributeValueTraits< T >
    {
    };

    /// Integers and bools: the value converted to a float.
    template < typename T >
        requires( std::is_integral_v< T > )
    struct AttributeValueTraits< T > : DefaultAttributeValueTraits< T >
    {
        static constexpr bool scalar_convertible = true;

        static float scalar( const T& value, local_index_t /*item*/ )
        {
            return static_cast< float >( value );
        }
    };

    /// Doubles: rounded to a float, and interpolated as a weighted sum.
    template <>
    struct AttributeValueTraits< double > : DefaultAttributeValueTraits< double >
    {
        static constexpr bool scalar_convertible = true;
        static constexpr bool interpolable = true;

        static float scalar( const double& value, local_index_t /*item*/ )
        {
            return static_cast< float >( value );
        }

        template < typename ValueOf >
        static double interpolate(
            const AttributeLinearInterpolation& interpolation,
            const ValueOf& value_of )
        {
            double sum{ 0. };
            for( index_t k = 0; k < interpolation.nb_indices(); k++ )
            {
                sum += interpolation.weight( k )
                       * value_of( interpolation.index( k ) );
            }
            return sum;
        }
    };
} // namespace orvane
