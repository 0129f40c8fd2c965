#pragma once

#include <cstdint>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    /// Where a contact lies on a segment or a triangle. Segment ends are
    /// vertex0 and vertex1; triangle edge k runs from vertex k to vertex
    /// (k + 1) mod 3.
    enum struct POSITION : std::uint32_t
    {
        /// No contact (also a record that names a vertex only).
        outside = 0,
        /// Strictly inside the segment or the triangle.
        inside = 1,
        vertex0 = 2,
        vertex1 = 3,
        vertex2 = 4,
        /// Strictly inside triangle edge 0, 1 or 2.
        edge0 = 6,
        edge1 = 7,
        edge2 = 8,
        /// Parallel or coplanar: no single contact point.
        parallel = 19
    };

    namespace detail
    {
        /// The local index named by a vertex or edge position: vertex0..2
        /// and edge0..2 give 0..2; any other position gives NO_LID.
        local_index_t position_to_index( POSITION position );

        bool is_vertex_position( POSITION position );
        bool is_edge_position( POSITION position );
        POSITION vertex_position( local_index_t vertex );
        POSITION edge_position( local_index_t edge );
    } // namespace detail
} // namespace orvane
