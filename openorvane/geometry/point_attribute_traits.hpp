#pragma once

#include <openorvane/basic/attribute_value_traits.hpp>
#include <openorvane/geometry/point.hpp>

namespace orvane
{
    /// Points in attributes: one scalar per coordinate, and interpolation
    /// as a weighted sum taken coordinate by coordinate from the origin.
    template < index_t dimension >
    struct AttributeValueTraits< Point< dimension > >
        : DefaultAttributeValueTraits< Point< dimension > >
    {
        static constexpr bool scalar_convertible = true;
        static constexpr local_index_t nb_scalars = dimension;
        static constexpr bool interpolable = true;

        static float scalar( const Point< dimension >& value, local_index_t item )
        {
            return static_cast< float >( value.value( item ) );
        }

        template < typename ValueOf >
        static Point< dimension > interpolate(
            const AttributeLinearInterpolation& interpolation,
            const ValueOf& value_of )
        {
            Point< dimension > sum;
            for( index_t k = 0; k < interpolation.nb_indices(); k++ )
            {
                sum += value_of( interpolation.index( k ) )
                       * interpolation.weight( k );
            }
            return sum;
        }
    };
} // namespace orvane
