#pragma once

#include <vector>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    class BRep;
    template < index_t dimension >
    class Line;

    namespace internal::Repair
    {
        /// The stretch of an input line between two of its vertices that no
        /// remeshed vertex interrupts: the edges, in walk order, of a path
        /// from a vertex at `from_vertex`'s unique vertex to a vertex at
        /// `to_vertex`'s unique vertex whose inner vertices all carry NO_ID
        /// in "remeshed_line_attribute". The line must have that attribute.
        ///
        /// Every copy of the start (a line closed on a corner holds it
        /// twice) and every edge around it start a walk; among the complete
        /// paths the shortest wins, the first on a tie.
        ///
        /// Throws OpenOrvaneException "[Repair::line_part] At least 2 edges
        /// around vertex (n)" when an inner vertex of a walk does not have
        /// exactly two edges, and "[Repair::line_part] orvane::No line part
        /// found" when no walk reaches the end.
        [[nodiscard]] std::vector< index_t > line_part( const BRep& model,
            const Line< 3 >& line,
            index_t from_vertex,
            index_t to_vertex );
    } // namespace internal::Repair
} // namespace orvane
