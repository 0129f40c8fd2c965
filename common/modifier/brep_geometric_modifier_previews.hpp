#pragma once

#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/mesh_records.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>
#include <openorvane/model/model_component_mesh_polygons.hpp>

#include <common/modifier/tetrahedron_preview.hpp>
#include <common/modifier/triangle_preview.hpp>

// Whole-model previews and validity tests of the BRepGeometricModifier edits.
// Each combines the single-mesh previews over every component that holds the
// edited element, reading the model and its unique vertices only. A previewed
// tetrahedron is acceptable only when its volume sign (exact predicate) is
// positive. Surface triangles are built by the previews but no geometric
// criterion is applied to them: surfaces enter the verdicts through the
// topological tests of the collapse and the swap only.

namespace orvane
{
    class BRep;
    template < index_t dimension >
    class Surface;

    /// The model-edge split entries that some component would reject, with
    /// the verdict on each. Only components with a rejected entry are listed.
    struct InvalidSplitEdgeElements
    {
        absl::flat_hash_map< uuid, std::vector< std::pair< PolygonEdge, SplitPreviewReport > > >
            surfaces;
        absl::flat_hash_map< uuid,
            std::vector< std::pair< PolyhedronFacetEdge, SplitPreviewReport > > >
            blocks;
    };

    /// The elements that would remain around the collapsed edge in each
    /// component of the edge record (every component listed, possibly with
    /// an empty list).
    struct ElementsAfterCollapseEdge
    {
        absl::flat_hash_map< uuid, std::vector< TrianglePreview< 3 > > > surfaces;
        absl::flat_hash_map< uuid, std::vector< TetrahedronPreview > > blocks;
    };

    /// Whether splitting the model edge at the point keeps every block
    /// tetrahedron positive.
    [[nodiscard]] bool is_split_edge_valid( const BRep& model,
        const BRepComponentMeshEdges& edges,
        const Point< 3 >& point );

    /// The entries of the model edge whose split at the point some
    /// component rejects.
    [[nodiscard]] InvalidSplitEdgeElements invalid_split_edge_elements(
        const BRep& model,
        const BRepComponentMeshEdges& edges,
        const Point< 3 >& point );

    /// Whether splitting the model triangle at the point keeps every block
    /// tetrahedron positive.
    [[nodiscard]] bool is_split_triangle_valid( const BRep& model,
        const BRepComponentMeshPolygons& polygons,
        const Point< 3 >& point );

    /// The triangles and tetrahedra that would remain around the edge once
    /// collapsed at the point; nothing is judged.
    [[nodiscard]] ElementsAfterCollapseEdge elements_after_collapse_edge(
        const BRep& model,
        const BRepComponentMeshEdges& edges,
        const Point< 3 >& point );

    /// Whether collapsing the model edge at the point keeps every component
    /// mesh valid and the model's topology: both ends in the same
    /// components, positive tetrahedra, valid surface and solid collapses,
    /// and no line, surface or block broken.
    [[nodiscard]] bool is_collapse_edge_valid( const BRep& model,
        const BRepComponentMeshEdges& edges,
        const Point< 3 >& point );

    /// Whether the surface edge can be swapped in the whole model, its apex
    /// being the vertex opposite the edge in its polygon.
    [[nodiscard]] bool is_swap_edge_valid( const BRep& model,
        const Surface< 3 >& surface,
        const PolygonEdge& edge );

    /// Whether the model edge can be swapped in every surface and block
    /// holding it, around the apex unique vertex.
    [[nodiscard]] bool is_swap_model_edge_valid( const BRep& model,
        const BRepComponentMeshEdges& edges,
        index_t apex_unique_vertex );

    /// Per listed block, the tetrahedra of the edge swaps from every vertex
    /// of the apex in that block.
    [[nodiscard]] absl::flat_hash_map< uuid, std::vector< Tetrahedron > >
        block_tetrahedra_after_swap_edge( const BRep& model,
            const absl::flat_hash_map< uuid, BlockFacetEdges >& blocks,
            index_t apex_unique_vertex );

    /// Whether moving the unique vertex to the point keeps every block
    /// tetrahedron around it positive.
    [[nodiscard]] bool is_move_vertex_valid(
        const BRep& model, index_t unique_vertex, const Point< 3 >& point );
} // namespace orvane
