#pragma once

#include <cstdint>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    /// Where a vertex of a cutting patch lies in the background solid.
    /// Readers look at `vertex` first and fall back to `edge` when `vertex`
    /// is NO_ID. The record is copied as a whole; it has no scalar form and
    /// is not interpolated when stored in an attribute.
    struct SolidPatch
    {
        /// Kind of location, chosen by the cutter; 0 by default and for a
        /// patch vertex made at a solid vertex.
        std::uint32_t code{ 0 };
        /// The solid edge the patch vertex lies on, NO_ID when none.
        index_t edge{ NO_ID };
        /// The solid vertex the patch vertex coincides with, NO_ID when none.
        index_t vertex{ NO_ID };

        friend bool operator==( const SolidPatch&, const SolidPatch& ) = default;
    };
} // namespace orvane
