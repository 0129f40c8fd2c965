#pragma once

#include <cstdint>

#include <absl/container/inlined_vector.h>

#include <openorvane/mesh/mesh_records.hpp>

#include <common/cutter/sorted_vector_map.hpp>

namespace orvane::detail
{
    /// One integer that orders polygon edges by polygon then local edge:
    /// the local edge fits in the low byte.
    inline std::uint64_t polygon_edge_key( const PolygonEdge& edge )
    {
        return ( std::uint64_t{ edge.polygon_id } << 8 ) | edge.edge_id;
    }

    /// Orders polygon edges by polygon then local edge.
    struct PolygonEdgeLess
    {
        bool operator()( const PolygonEdge& edge, const PolygonEdge& other ) const
        {
            return polygon_edge_key( edge ) < polygon_edge_key( other );
        }
    };

    /// Whether the edge is the unset record (NO_ID, NO_LID).
    inline bool is_unset( const PolygonEdge& edge )
    {
        return edge == PolygonEdge{};
    }

    /// An edge of the surface cutter's edge map: its origins and whether it
    /// lies on the path (kind 0) or was made or replaced by an edit (kind 1).
    struct SurfaceCutEdgeEntry
    {
        absl::InlinedVector< PolygonEdge, 2 > origins;
        std::uint8_t kind{ 1 };
    };

    /// The surface cutter's edges, kept sorted by edge: one cut gathers a few
    /// dozen of them, read in edge order at the end.
    using SurfaceCutEdgeMap =
        SortedVectorMap< PolygonEdge, SurfaceCutEdgeEntry, PolygonEdgeLess >;

    /// Sorts the origins by edge and removes repeats.
    void sort_edge_origins( absl::InlinedVector< PolygonEdge, 2 >& origins );

    /// Replaces the origins of every entry by the source edges reached by
    /// following origins through the map, sorted: an origin that is not a
    /// key, or whose entry lists itself, is a source; unset origins are
    /// skipped. Each entry takes the smallest kind met on the way. Throws
    /// OpenOrvaneException, leaving the map unchanged, when the origins form
    /// a cycle longer than an entry listing itself.
    void resolve_edge_origins( SurfaceCutEdgeMap& edges );
} // namespace orvane::detail
