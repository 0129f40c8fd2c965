#pragma once

#include <array>
#include <memory>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/mesh_records.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/model/component.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>
#include <openorvane/model/model_component_mesh_polygons.hpp>

#include <common/modifier/edged_curve_modifier.hpp>
#include <common/modifier/model_geometric_modifier.hpp>
#include <common/modifier/tetrahedral_solid_modifier.hpp>
#include <common/modifier/triangulated_surface_modifier.hpp>
#include <common/modifier/vertices_modifier.hpp>

namespace orvane
{
    class BRep;
    class BRepBuilder;
    template < index_t dimension >
    class Block;

    /// Result of a model edge split: the unique vertex of the new point and,
    /// per edited component, what the component modifier returned.
    struct BRepSplitEdgeInfo
    {
        index_t new_unique_vertex{ NO_ID };
        /// The new line vertices.
        ComponentEditResults< index_t, 4 > lines;
        ComponentEditResults< SurfaceSplitEdgeInfo > surfaces;
        ComponentEditResults< SolidSplitEdgeInfo > blocks;
    };

    /// Result of a model triangle split.
    struct BRepSplitTriangleInfo
    {
        index_t new_unique_vertex{ NO_ID };
        ComponentEditResults< SurfaceSplitTriangleInfo > surfaces;
        ComponentEditResults< SolidSplitFacetInfo > blocks;
    };

    /// Result of a tetrahedron split; NO_ID and no block when the
    /// tetrahedron was inactive.
    struct BRepSplitTetrahedronInfo
    {
        index_t new_unique_vertex{ NO_ID };
        ComponentEditResults< SolidSplitTetrahedronInfo > blocks;
    };

    /// Result of a model edge swap.
    struct BRepSwapEdgeInfo
    {
        ComponentEditResults< SurfaceSwapEdgeInfo > surfaces;
        ComponentEditResults< SolidSwapEdgeInfo > blocks;
    };

    /// Result of a model edge collapse.
    struct BRepCollapseEdgeInfo
    {
        index_t new_unique_vertex{ NO_ID };
        /// The two collapsed unique vertices, in the order given.
        absl::InlinedVector< index_t, 4 > old_unique_vertices;
        /// The component vertices of each collapsed unique vertex as they
        /// were before the collapse.
        std::array< std::vector< ComponentMeshVertex >, 2 > old_component_vertices;
        ComponentEditResults< EdgedCurveCollapseEdgeInfo > lines;
        ComponentEditResults< SurfaceCollapsePolygonEdgeInfo > surfaces;
        ComponentEditResults< SolidCollapseEdgeInfo > blocks;
    };

    /// Old-to-new vectors of a model clean-up (NO_ID for a deleted index).
    /// A component that needed no deletion of a kind has no entry for it.
    struct BRepCleanInfo
    {
        ComponentOldToNew line_vertices;
        ComponentOldToNew surface_vertices;
        ComponentOldToNew block_vertices;
        /// Always one entry per unique vertex that existed before.
        std::vector< index_t > unique_vertices;
        ComponentOldToNew line_edges;
        ComponentOldToNew surface_polygons;
        ComponentOldToNew block_polyhedra;
    };

    /// Old-to-new element vectors of a deletion of the inactive elements
    /// (NO_ID for a deleted index); only components that had an inactive
    /// element have an entry.
    struct BRepInactiveElementsInfo
    {
        ComponentOldToNew line_edges;
        ComponentOldToNew surface_polygons;
        ComponentOldToNew block_polyhedra;
    };

    /// Edits the meshes of a whole BRep while keeping them conformal: an
    /// edit named on one component (a surface or line edge, a model
    /// triangle, a tetrahedron) is repeated in every line, surface and block
    /// mesh that holds the same element, and every new component vertex is
    /// tied to one new unique vertex.
    ///
    /// Edits never delete: replaced elements are flagged inactive in their
    /// component meshes, and vertices or unique vertices left unused stay
    /// until `clean`. Edits do not test validity; callers check them first
    /// with the whole-model previews (brep_geometric_modifier_previews.hpp).
    ///
    /// The vertex map of the VerticesModifier base maps old unique vertices
    /// to new ones; only collapses fill it.
    ///
    /// Used by one thread at a time; only `clean` runs work on the pool.
    class BRepGeometricModifier : public VerticesModifier
    {
    public:
        class Impl;

        /// Every surface mesh must be a TriangulatedSurface<3> and every
        /// block mesh a TetrahedralSolid<3> (OpenOrvaneException otherwise).
        BRepGeometricModifier( BRep& model, BRepBuilder& builder );
        ~BRepGeometricModifier() override;

        /// Splits the model edge of the surface edge at the point. When
        /// other surfaces hold the same edge while it is inside the given
        /// surface (a non-manifold edge), only the given surface is split
        /// among surfaces; the warning is logged when blocks hold the edge.
        BRepSplitEdgeInfo split_edge( const Surface< 3 >& surface,
            const PolygonEdge& edge,
            const Point< 3 >& point );

        /// Splits the model edge of the line edge at the point. Among lines,
        /// only the given one is split; the warning is logged when another
        /// line holds the edge and surfaces or blocks hold it too.
        BRepSplitEdgeInfo split_edge(
            const Line< 3 >& line, index_t edge, const Point< 3 >& point );

        /// Splits the model triangle (as component_mesh_polygons gives it)
        /// at the point.
        BRepSplitTriangleInfo split_triangle(
            const BRepComponentMeshPolygons& polygons, const Point< 3 >& point );

        /// Splits the tetrahedron at the point when it is active.
        BRepSplitTetrahedronInfo split_tetrahedron(
            const Block< 3 >& block, index_t tetrahedron, const Point< 3 >& point );

        /// Swaps the surface edge in the given surface, and in every block
        /// holding it with the apex (the vertex opposite the edge) as the
        /// vertex of the new fan. Throws OpenOrvaneException, before any
        /// change, when a block holding the edge does not hold the apex.
        BRepSwapEdgeInfo swap_edge(
            const Surface< 3 >& surface, const PolygonEdge& edge );

        /// Swaps the block edge around the apex (a vertex of the block's
        /// mesh) in every block holding it, and in the first surface holding
        /// it. Throws OpenOrvaneException, before any change, when a block
        /// holding the edge does not hold the apex.
        BRepSwapEdgeInfo swap_edge( const Block< 3 >& block,
            const PolyhedronFacetEdge& edge,
            index_t apex );

        /// Collapses the model edge joining the two unique vertices (the
        /// record from component_mesh_edges, the vertices from
        /// edge_unique_vertices) into one new unique vertex at the point.
        /// Every component vertex of either old unique vertex, collapsed or
        /// not, is tied to the new one and moved to the point. When no
        /// listed element is active, nothing but the (empty) new unique
        /// vertex changes.
        BRepCollapseEdgeInfo collapse_edge( const BRepComponentMeshEdges& edges,
            const std::array< index_t, 2 >& unique_vertices,
            const Point< 3 >& point );

        /// Deletes the inactive elements and the isolated vertices of every
        /// line, surface and block mesh, then the unique vertices left
        /// without component vertex, and empties this modifier's vertex map
        /// (its indices are meaningless once unique vertices are
        /// renumbered).
        BRepCleanInfo clean();

        /// Deletes the inactive edges of the lines, the inactive polygons of
        /// the surfaces and the inactive tetrahedra of the blocks, one pool
        /// task per mesh holding one. Vertices and unique vertices are kept.
        BRepInactiveElementsInfo delete_inactive_component_elements();

        /// Moves every component vertex of the unique vertex to the point.
        void move_unique_vertex( index_t unique_vertex, const Point< 3 >& point );

        /// The component modifiers, created on first use.
        EdgedCurveModifier< 3 >& line_modifier( const Line< 3 >& line );
        TriangulatedSurfaceModifier< 3 >& surface_modifier(
            const Surface< 3 >& surface );
        TetrahedralSolidModifier& block_modifier( const Block< 3 >& block );

        /// Drops the block modifiers and builders made so far. Call it
        /// before replacing block meshes through the model builder: the
        /// stored ones would refer to the replaced meshes. The next edit of a
        /// block makes them anew on its current mesh.
        void forget_block_modifiers();

        Impl& impl()
        {
            return *impl_;
        }

    private:
        std::unique_ptr< Impl > impl_;
    };

    /// The state of a BRepGeometricModifier: the line and surface stores of
    /// the base, plus the builder and modifier of every block edited so far.
    class BRepGeometricModifier::Impl
        : public internal::ModelGeometricModifier< BRep >
    {
    public:
        Impl( BRep& model, BRepBuilder& builder );
        ~Impl() override;

        /// The modifier of the block's mesh, created with its builder on
        /// first use. Throws OpenOrvaneException when the factories have no
        /// builder or modifier of the right class for the mesh.
        TetrahedralSolidModifier& block_modifier( const Block< 3 >& block );

        /// Drops every block modifier, then every block builder.
        void forget_block_modifiers();

        /// Block vertices are read from the block mesh; other types go to
        /// the base.
        const Point< 3 >& component_vertex_point(
            const ComponentMeshVertex& component_vertex ) override;

        /// Block vertices move through the block's modifier; other types go
        /// to the base.
        void move_component_vertex( const ComponentMeshVertex& component_vertex,
            const Point< 3 >& point ) override;

        /// Clean-up batches of blocks (see the line and surface ones).
        ComponentOldToNew delete_inactive_block_polyhedra();
        ComponentOldToNew delete_isolated_block_vertices();

        BRep& model()
        {
            return model_;
        }

        BRepBuilder& builder()
        {
            return builder_;
        }

    private:
        absl::flat_hash_map< uuid, std::unique_ptr< TetrahedralSolidBuilder< 3 > > >
            block_builders_;
        absl::flat_hash_map< uuid, std::unique_ptr< TetrahedralSolidModifier > >
            block_modifiers_;
    };
} // namespace orvane
