#include <openorvane/basic/attribute_interpolation.hpp>

#include <openorvane/basic/exception.hpp>

namespace orvane
{
    AttributeLinearInterpolation::AttributeLinearInterpolation(
        absl::Span< const index_t > indices,
        absl::Span< const double > weights )
    {
        if( indices.size() != weights.size() )
        {
            throw OpenOrvaneException{
                "[AttributeLinearInterpolation] Both arrays should have the "
                "same size"
            };
        }
        indices_.assign( indices.begin(), indices.end() );
        weights_.assign( weights.begin(), weights.end() );
    }
} // namespace orvane
