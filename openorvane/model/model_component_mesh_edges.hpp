#pragma once

#include <array>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/mesh/mesh_records.hpp>

namespace orvane
{
    class BRep;
    template < index_t dimension >
    class Line;
    template < index_t dimension >
    class Surface;
    template < index_t dimension >
    class Block;

    using LineEdges = absl::InlinedVector< index_t, 1 >;
    using SurfacePolygonEdges = absl::InlinedVector< PolygonEdge, 2 >;
    using BlockFacetEdges = std::vector< PolyhedronFacetEdge >;

    /// Every component mesh element that stands for one model edge: the edge
    /// joining two unique vertices.
    struct BRepComponentMeshEdges
    {
        /// The two unique vertices of the edge (NO_ID when an end has none).
        std::array< index_t, 2 > unique_vertices{ NO_ID, NO_ID };
        /// Line uuid to the line-mesh edges joining the two ends.
        absl::flat_hash_map< uuid, LineEdges > lines;
        /// Surface uuid to the polygon edges joining the two ends, one per
        /// incident polygon, in either direction.
        absl::flat_hash_map< uuid, SurfacePolygonEdges > surfaces;
        /// Block uuid to one facet edge per polyhedron around the edge.
        absl::flat_hash_map< uuid, BlockFacetEdges > blocks;
    };

    /// The unique vertices of the ends of a component mesh edge, in the
    /// edge's direction; NO_ID for an end without unique vertex.
    std::array< index_t, 2 > edge_unique_vertices(
        const BRep& model, const Line< 3 >& line, index_t edge_id );

    std::array< index_t, 2 > edge_unique_vertices( const BRep& model,
        const Surface< 3 >& surface,
        const PolygonEdge& polygon_edge );

    std::array< index_t, 2 > edge_unique_vertices( const BRep& model,
        const Block< 3 >& block,
        const PolyhedronFacetEdge& facet_edge );

    /// The component mesh edges of the model edge joining two unique
    /// vertices: every line, surface and block whose mesh holds an edge
    /// between vertices linked to them. Inactive elements are listed too:
    /// callers skip them.
    BRepComponentMeshEdges component_mesh_edges(
        const BRep& model, const std::array< index_t, 2 >& unique_vertices );

    /// The same, for the model edge of a component mesh edge. When an end
    /// of the edge has no unique vertex, only the given component's own
    /// elements are listed.
    BRepComponentMeshEdges component_mesh_edges(
        const BRep& model, const Line< 3 >& line, index_t edge_id );

    BRepComponentMeshEdges component_mesh_edges( const BRep& model,
        const Surface< 3 >& surface,
        const PolygonEdge& polygon_edge );

    BRepComponentMeshEdges component_mesh_edges( const BRep& model,
        const Block< 3 >& block,
        const PolyhedronFacetEdge& facet_edge );

    /// The surface part of component_mesh_edges for two unique vertices.
    absl::flat_hash_map< uuid, SurfacePolygonEdges > surface_component_mesh_edges(
        const BRep& model, const std::array< index_t, 2 >& unique_vertices );
} // namespace orvane
