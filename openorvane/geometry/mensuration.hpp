#pragma once

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>

namespace orvane
{
    /// The unsigned area of the triangle.
    double triangle_area( const Triangle< 2 >& triangle );
    double triangle_area( const Triangle< 3 >& triangle );

    /// The signed area: positive when the triangle turns counter-clockwise.
    /// Use triangle_area_sign for an exact sign.
    double triangle_signed_area( const Triangle< 2 >& triangle );

    /// (b - a).((c - a) x (d - a)) / 6: positive for (0,0,0), (1,0,0),
    /// (0,1,0), (0,0,1). Use tetrahedron_volume_sign for an exact sign.
    double tetrahedron_signed_volume( const Tetrahedron& tetrahedron );

    /// The unsigned volume of the tetrahedron.
    double tetrahedron_volume( const Tetrahedron& tetrahedron );
} // namespace orvane
