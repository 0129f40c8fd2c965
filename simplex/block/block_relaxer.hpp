#pragma once

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>

namespace orvane
{
    class BRep;
    class BRepGeometricModifier;
    template < index_t dimension >
    class Metric;

    namespace internal
    {
        /// Improves the tetrahedra of every block by edge swaps, block after
        /// block in model order. Every edge of a block mesh is queued (an
        /// edge met again is re-queued and only its last entry acts); an
        /// edge that lies on no line is swapped around the first vertex of
        /// its ring whose new tetrahedra all have a quality above 1.01 times
        /// the worst quality around the edge and that the whole model
        /// accepts; the edges of the new tetrahedra are queued again. Swaps
        /// go through the modifier, so a swapped edge on a surface is
        /// flipped there too. The metric is accepted for a later size
        /// criterion and not read. Progress title "Relaxing Blocks".
        void relax_blocks( BRep& model, BRepGeometricModifier& modifier, const Metric< 3 >& metric );
    } // namespace internal

    namespace detail
    {
        /// 6 sqrt(2) V / l^3, V the signed volume and l the root mean square
        /// edge length: 1 for a regular tetrahedron, 0 for a flat one,
        /// negative for an inverted one (and 0 when every edge is null).
        [[nodiscard]] double tetrahedron_quality( const Tetrahedron& tetrahedron );
    } // namespace detail
} // namespace orvane
