#pragma once

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include <absl/container/inlined_vector.h>
#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/mesh_factory.hpp>
#include <openorvane/mesh/mesh_records.hpp>
#include <openorvane/mesh/vertex_set.hpp>

namespace orvane
{
    class AttributeManager;
    template < index_t dimension >
    class SurfaceMeshBuilder;

    using PolygonVertices = absl::InlinedVector< index_t, 3 >;
    using PolygonsAroundVertex = absl::InlinedVector< PolygonVertex, 10 >;
    using PolygonEdges = absl::InlinedVector< PolygonEdge, 2 >;

    /// The other two vertices of a fan corner's polygon: the one after the
    /// corner's vertex and the one before it.
    struct CornerSides
    {
        index_t next{ NO_ID };
        index_t previous{ NO_ID };
    };
    /// Entry i belongs to corner i of a PolygonsAroundVertex.
    using CornersSides = absl::InlinedVector< CornerSides, 10 >;

    /// A surface made of polygons, in 2 or 3 dimensions.
    ///
    /// Storage is compact: one row per polygon holding its three vertex
    /// indices and its three adjacency entries side by side (every polygon
    /// of this library's surfaces is a triangle), one point and one stored
    /// PolygonVertex per vertex, and the optional edge table.
    ///
    /// Conventions:
    /// - local edge e of a polygon runs from its local vertex e to local
    ///   vertex e + 1 (cyclically); the vertex opposite edge e is the
    ///   previous vertex of e;
    /// - adjacency is stored per polygon edge, one direction at a time, and
    ///   the builder never repairs it by itself;
    /// - each vertex stores at most one PolygonVertex (its association),
    ///   from which the around-vertex queries start, so that they reach only
    ///   the polygons connected to it through adjacency.
    ///
    /// Const queries keep no cache and may run concurrently.
    template < index_t dimension >
    class SurfaceMesh : public VertexSet
    {
        friend class SurfaceMeshBuilder< dimension >;

    public:
        using Builder = SurfaceMeshBuilder< dimension >;
        static constexpr index_t dim = dimension;

        ~SurfaceMesh() override;

        /// A new empty surface of the default implementation of
        /// `type_name_static()`.
        static std::unique_ptr< SurfaceMesh > create();

        /// A new empty surface of the given implementation. Throws
        /// OpenOrvaneException when the key is unknown or is not a surface.
        static std::unique_ptr< SurfaceMesh > create( const MeshImpl& impl );

        /// "SurfaceMesh2D" or "SurfaceMesh3D".
        static MeshType type_name_static();

        /// A copy of geometry, topology, edge table (when enabled),
        /// attributes, uuid and name, of the same implementation.
        std::unique_ptr< SurfaceMesh > clone() const;

        // Elements

        index_t nb_polygons() const;

        local_index_t nb_polygon_vertices( index_t polygon_id ) const;

        /// `polygon_vertex`, `polygon_vertices` and `point` check their
        /// indices in Debug and sanitizer builds only (openorvane/basic/
        /// assert.hpp): Release reads out of range on a bad index.
        index_t polygon_vertex( const PolygonVertex& polygon_vertex ) const;

        PolygonVertices polygon_vertices( index_t polygon_id ) const;

        /// Vertex 0 (start) or 1 (end) of the polygon edge.
        index_t polygon_edge_vertex(
            const PolygonEdge& polygon_edge, local_index_t vertex_id ) const;

        /// The start and end of the polygon edge.
        EdgeVertices polygon_edge_vertices( const PolygonEdge& polygon_edge ) const;

        PolygonVertex next_polygon_vertex( const PolygonVertex& polygon_vertex ) const;

        PolygonVertex previous_polygon_vertex(
            const PolygonVertex& polygon_vertex ) const;

        PolygonEdge next_polygon_edge( const PolygonEdge& polygon_edge ) const;

        PolygonEdge previous_polygon_edge( const PolygonEdge& polygon_edge ) const;

        /// The local index of the vertex in the polygon, if it is one of its
        /// vertices.
        std::optional< local_index_t > vertex_in_polygon(
            index_t polygon_id, index_t vertex_id ) const;

        // Adjacency

        /// The polygon across the edge, if set.
        std::optional< index_t > polygon_adjacent(
            const PolygonEdge& polygon_edge ) const;

        /// The edge of the adjacent polygon that joins the same two vertices
        /// (the reversed edge when both polygons have the same orientation);
        /// empty on the border or when the neighbour lacks that edge.
        std::optional< PolygonEdge > polygon_adjacent_edge(
            const PolygonEdge& polygon_edge ) const;

        /// True when the edge has no adjacent polygon.
        bool is_edge_on_border( const PolygonEdge& polygon_edge ) const;

        // Around a vertex

        /// The PolygonVertex stored for the vertex, if any.
        std::optional< PolygonVertex > polygon_around_vertex(
            index_t vertex_id ) const;

        bool is_vertex_isolated( index_t vertex_id ) const;

        /// The fan of polygons reached from the vertex's stored
        /// PolygonVertex by crossing adjacencies, each polygon with the
        /// vertex's local index.
        ///
        /// Order: the stored polygon first; then the walk turns across the
        /// edge that starts at the vertex (local edge v of each polygon, for
        /// consistently oriented polygons) until it meets the border or comes
        /// back to the start; at the border it goes on from the start across
        /// the edge that ends at the vertex, appending the polygons met. A
        /// non-manifold vertex yields this one fan only. Empty for an
        /// isolated vertex.
        PolygonsAroundVertex polygons_around_vertex( index_t vertex_id ) const;

        /// polygons_around_vertex, with `sides` replaced by the other two
        /// vertices of each corner's polygon, read while the walk's rows are
        /// at hand: edits and tests that walk a fan and then read its
        /// polygons' vertices save a call per vertex.
        PolygonsAroundVertex polygons_around_vertex(
            index_t vertex_id, CornersSides& sides ) const;

        /// The vertices joined to the vertex by a polygon edge, in order of
        /// first appearance over polygons_around_vertex (for each polygon:
        /// its next vertex, then its previous vertex).
        std::vector< index_t > vertices_around_vertex( index_t vertex_id ) const;

        /// True when a polygon edge of the vertex's fan that holds the
        /// vertex is on the border.
        bool is_vertex_on_border( index_t vertex_id ) const;

        /// The border edge that starts where the given border edge ends,
        /// found by turning around that vertex inside the surface; empty
        /// when the walk finds none (a corrupt or non-manifold surrounding).
        std::optional< PolygonEdge > next_on_border(
            const PolygonEdge& polygon_edge ) const;

        // Lookups

        /// The polygon edge that runs from `from_vertex_id` to
        /// `to_vertex_id`, looked for in the fans of both vertices.
        std::optional< PolygonEdge > polygon_edge_from_vertices(
            index_t from_vertex_id, index_t to_vertex_id ) const;

        /// Every polygon edge that joins the two vertices, in either
        /// direction, looked for in the fans of both vertices (fan of the
        /// first vertex first, no repetition).
        PolygonEdges polygons_from_edge_vertices(
            const EdgeVertices& edge_vertices ) const;

        // Memory hints

        /// Asks the processor to start loading the vertex and adjacency
        /// entries of the polygons; NO_ID and other indices out of range are
        /// skipped. An edit that visits a few scattered polygons names them
        /// all first, so that their cache misses overlap instead of following
        /// one another. Changes nothing and reads nothing that a result
        /// depends on.
        void prefetch_polygons( absl::Span< const index_t > polygon_ids ) const;

        /// The same for the stored PolygonVertex and the point of the
        /// vertices.
        void prefetch_vertices( absl::Span< const index_t > vertex_ids ) const;

        // Geometry

        const Point< dimension >& point( index_t vertex_id ) const;

        BoundingBox< dimension > bounding_box() const;

        Point< dimension > polygon_barycenter( index_t polygon_id ) const;

        double edge_length( const PolygonEdge& polygon_edge ) const;

        Point< dimension > edge_barycenter( const PolygonEdge& polygon_edge ) const;

        Segment< dimension > segment( const PolygonEdge& polygon_edge ) const;

        /// The unit normal of the polygon (right-hand rule over its vertex
        /// order); empty when the polygon is degenerate.
        std::optional< Vector< 3 > > polygon_normal( index_t polygon_id ) const
            requires( dimension == 3 );

        /// The unit sum of the normals of the vertex's fan; empty when that
        /// sum vanishes or the vertex is isolated.
        std::optional< Vector< 3 > > polygon_vertex_normal(
            index_t vertex_id ) const
            requires( dimension == 3 );

        // Edge table

        /// Builds the edge table from every current polygon (in polygon then
        /// local edge order); afterwards the builder keeps it up to date.
        /// Does nothing when already enabled. It writes the surface's
        /// storage, so it must not run beside other calls on this surface.
        void enable_edges() const;

        bool are_edges_enabled() const;

        /// Throws OpenOrvaneException when the edges are not enabled.
        const SurfaceEdges< dimension >& edges() const;

        AttributeManager& polygon_attribute_manager() const;

    protected:
        SurfaceMesh();
        /// A moved-from surface is valid and empty.
        SurfaceMesh( SurfaceMesh&& other ) noexcept;
        SurfaceMesh& operator=( SurfaceMesh&& other ) noexcept;

        void vertices_added( index_t nb_vertices_total ) override;
        void vertices_deleted( const std::vector< bool >& to_delete,
            const OldToNew& old2new ) override;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };

    using SurfaceMesh2D = SurfaceMesh< 2 >;
    using SurfaceMesh3D = SurfaceMesh< 3 >;
} // namespace orvane
