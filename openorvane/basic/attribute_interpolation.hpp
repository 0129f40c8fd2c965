#pragma once

#include <absl/container/inlined_vector.h>
#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    /// One weighted interpolation: the value of a new element as the sum of
    /// weight_k times the value of element index_k.
    ///
    /// The record keeps its own copies of both lists, inline up to 64
    /// indices and 32 weights. The weights are used as given: they are
    /// neither normalised nor checked for sign or sum.
    class AttributeLinearInterpolation
    {
    public:
        /// Throws OpenOrvaneException "[AttributeLinearInterpolation] Both
        /// arrays should have the same size" when the lists differ in length.
        AttributeLinearInterpolation( absl::Span< const index_t > indices,
            absl::Span< const double > weights );

        index_t nb_indices() const
        {
            return static_cast< index_t >( indices_.size() );
        }

        index_t index( index_t position ) const
        {
            return indices_[position];
        }

        double weight( index_t position ) const
        {
            return weights_[position];
        }

        absl::Span< const index_t > indices() const
        {
            return indices_;
        }

        absl::Span< const double > weights() const
        {
            return weights_;
        }

    private:
        absl::InlinedVector< index_t, 64 > indices_;
        absl::InlinedVector< double, 32 > weights_;
    };
} // namespace orvane
