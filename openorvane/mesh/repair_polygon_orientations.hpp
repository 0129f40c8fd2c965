#pragma once

#include <openorvane/basic/types.hpp>

namespace orvane
{
    template < index_t dimension >
    class SurfaceMesh;

    /// Makes the polygons of each connected part of the surface agree in
    /// orientation, then recomputes every adjacency.
    ///
    /// Parts are connected through the vertex pairs that exactly two
    /// polygons use (whatever their directions). Each part keeps the
    /// orientation of its lowest-index polygon; the others are visited
    /// breadth first from it and reversed when they run a shared edge in the
    /// same direction as the neighbour they were reached from. A polygon
    /// (a, b, c) is reversed into (a, c, b); its vertices stay associated
    /// with valid corners. Surfaces that cannot be oriented (a Moebius band)
    /// keep the orientation that the first visit gives.
    template < index_t dimension >
    void repair_polygon_orientations( SurfaceMesh< dimension >& surface );
} // namespace orvane
