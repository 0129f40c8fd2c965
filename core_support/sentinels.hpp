#pragma once

#include <openorvane/basic/uuid.hpp>
#include <openorvane/geometry/basic_objects.hpp>

namespace orvane
{
    /// Process-wide values made when the library is loaded and never changed
    /// afterwards, so threads read them without a lock. Their construction
    /// depends on no other static object (the uuid generator is built on
    /// first use), so it is safe whatever the initialisation order; do not
    /// read them from other static initialisers.

    /// The block id of a surface side that no block has claimed yet.
    extern const uuid no_block_id;

    /// The component of a wireframe vertex or edge not yet in any corner or
    /// line.
    extern const uuid no_component_id;

    /// The tetrahedron whose four vertices are the origin: the filler of
    /// fixed-size arrays of tetrahedra before they are overwritten.
    extern const Tetrahedron default_tetrahedron;
} // namespace orvane
