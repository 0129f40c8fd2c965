#pragma once

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include <absl/container/inlined_vector.h>
#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/facets.hpp>
#include <openorvane/mesh/mesh_factory.hpp>
#include <openorvane/mesh/mesh_records.hpp>
#include <openorvane/mesh/vertex_set.hpp>

namespace orvane
{
    class AttributeManager;
    template < index_t dimension >
    class SolidMeshBuilder;

    using PolyhedronVertices = absl::InlinedVector< index_t, 4 >;
    using PolyhedronFacetsVertices =
        absl::InlinedVector< PolyhedronFacetVertices, 4 >;
    using PolyhedraAroundVertex = absl::InlinedVector< PolyhedronVertex, 20 >;
    using PolyhedraAroundEdge = absl::InlinedVector< index_t, 10 >;
    using VerticesAroundVertex = absl::InlinedVector< index_t, 20 >;

    /// A volumetric mesh made of polyhedra.
    ///
    /// Conventions:
    /// - local facet f of a polyhedron is numbered by the implementation
    ///   (for a tetrahedron: facet f is opposite local vertex f);
    /// - facet edge k of a facet joins its listed vertex k to vertex k + 1
    ///   (cyclically);
    /// - adjacency is stored per polyhedron facet, one direction at a time;
    /// - each vertex stores at most one PolyhedronVertex, from which the
    ///   around-vertex and around-edge queries start (they reach only the
    ///   polyhedra connected to it through adjacency).
    ///
    /// Const queries keep no cache and may run concurrently.
    template < index_t dimension >
    class SolidMesh : public VertexSet
    {
        friend class SolidMeshBuilder< dimension >;

    public:
        using Builder = SolidMeshBuilder< dimension >;
        static constexpr index_t dim = dimension;

        ~SolidMesh() override;

        /// A new empty solid of the default implementation.
        static std::unique_ptr< SolidMesh > create();

        /// A new empty solid of the given implementation.
        static std::unique_ptr< SolidMesh > create( const MeshImpl& impl );

        static MeshType type_name_static();

        /// A copy of geometry, topology, enabled tables, attributes, uuid and
        /// name, of the same implementation.
        std::unique_ptr< SolidMesh > clone() const;

        index_t nb_polyhedra() const;

        local_index_t nb_polyhedron_vertices( index_t polyhedron_id ) const;

        local_index_t nb_polyhedron_facets( index_t polyhedron_id ) const;

        local_index_t nb_polyhedron_facet_vertices(
            const PolyhedronFacet& polyhedron_facet ) const;

        /// `polyhedron_vertex`, `polyhedron_facet_vertices` and `point` check
        /// their indices in Debug and sanitizer builds only (openorvane/basic/
        /// assert.hpp): Release reads out of range on a bad index.
        index_t polyhedron_vertex( const PolyhedronVertex& polyhedron_vertex ) const;

        PolyhedronVertices polyhedron_vertices( index_t polyhedron_id ) const;

        /// The local vertex of the polyhedron that is vertex `vertex_id` of
        /// the facet.
        PolyhedronVertex polyhedron_facet_vertex_id(
            const PolyhedronFacetVertex& polyhedron_facet_vertex ) const;

        index_t polyhedron_facet_vertex(
            const PolyhedronFacetVertex& polyhedron_facet_vertex ) const;

        PolyhedronFacetVertices polyhedron_facet_vertices(
            const PolyhedronFacet& polyhedron_facet ) const;

        PolyhedronFacetsVertices polyhedron_facets_vertices(
            index_t polyhedron_id ) const;

        /// The two ends of the facet edge, in the facet edge's direction.
        EdgeVertices polyhedron_facet_edge_vertices(
            const PolyhedronFacetEdge& polyhedron_facet_edge ) const;

        /// The polyhedron across the facet, if set.
        std::optional< index_t > polyhedron_adjacent(
            const PolyhedronFacet& polyhedron_facet ) const;

        /// The facet of the adjacent polyhedron that holds the same
        /// vertices; empty on the border.
        std::optional< PolyhedronFacet > polyhedron_adjacent_facet(
            const PolyhedronFacet& polyhedron_facet ) const;

        bool is_polyhedron_facet_on_border(
            const PolyhedronFacet& polyhedron_facet ) const;

        const Point< dimension >& point( index_t vertex_id ) const;

        BoundingBox< dimension > bounding_box() const;

        /// The PolyhedronVertex stored for the vertex, if any.
        std::optional< PolyhedronVertex > polyhedron_around_vertex(
            index_t vertex_id ) const;

        bool is_vertex_isolated( index_t vertex_id ) const;

        /// The polyhedra around the vertex: a breadth-first flood from its
        /// stored PolyhedronVertex across the facets that hold the vertex,
        /// facets taken in local order. Empty for an isolated vertex.
        PolyhedraAroundVertex polyhedra_around_vertex( index_t vertex_id ) const;

        /// The vertices joined to the vertex by a polyhedron edge, in order of
        /// first appearance over polyhedra_around_vertex (each polyhedron's
        /// vertices taken in local order).
        VerticesAroundVertex vertices_around_vertex( index_t vertex_id ) const;

        /// The polyhedra around the edge in turning order, starting from
        /// `first_polyhedron` (which must hold both ends). The walk crosses
        /// first the edge facet opposite the non-edge vertex of smaller local
        /// index, until the border or back to the start; at the border it
        /// goes on from the start the other way. Empty when the first
        /// polyhedron does not hold the edge.
        PolyhedraAroundEdge polyhedra_around_edge(
            const EdgeVertices& edge_vertices,
            index_t first_polyhedron ) const;

        /// As above, starting from the first polyhedron of
        /// polyhedra_around_vertex( edge_vertices[0] ) that holds
        /// edge_vertices[1]. Empty when no polyhedron holds the edge.
        PolyhedraAroundEdge polyhedra_around_edge(
            const EdgeVertices& edge_vertices ) const;

        /// The polyhedra around the facet edge, starting from its polyhedron.
        PolyhedraAroundEdge polyhedra_around_edge(
            const PolyhedronFacetEdge& polyhedron_facet_edge ) const;

        /// True when the turning walk around the edge meets the border.
        bool is_edge_on_border( const EdgeVertices& edge_vertices,
            index_t first_polyhedron ) const;

        bool is_edge_on_border(
            const EdgeVertices& edge_vertices ) const;

        /// True when a facet holding the vertex, among its polyhedra, lies on
        /// the border.
        bool is_vertex_on_border( index_t vertex_id ) const;

        /// The local index of the vertex in the polyhedron, if it is one of
        /// its vertices.
        std::optional< local_index_t > vertex_in_polyhedron(
            index_t polyhedron_id, index_t vertex_id ) const;

        /// The local indices of the edge's two ends in the polyhedron, in the
        /// given order, if the polyhedron holds both.
        std::optional< std::array< local_index_t, 2 > >
            edge_vertices_in_polyhedron( index_t polyhedron_id,
                const EdgeVertices& edge_vertices ) const;

        /// A polyhedron facet made of these vertices (in any order), looked
        /// for among the polyhedra around the first vertex.
        std::optional< PolyhedronFacet > polyhedron_facet_from_vertices(
            const PolyhedronFacetVertices& vertices ) const;

        /// The facet edge that runs from edge_vertices[0] to
        /// edge_vertices[1], looked for among the polyhedra around the first
        /// vertex; the first polyhedron found gives it.
        std::optional< PolyhedronFacetEdge > polyhedron_facet_edge_from_vertices(
            const EdgeVertices& edge_vertices ) const;

        /// The two facets of the polyhedron that hold the edge opposite the
        /// given edge (the facets opposite the given ends), first the one
        /// opposite edge_vertices[0]. Throws when the polyhedron does not
        /// hold the edge.
        std::array< PolyhedronFacet, 2 > opposite_edge_incident_facets(
            index_t polyhedron_id,
            const EdgeVertices& edge_vertices ) const;

        /// The two facets of the polyhedron that hold the edge, in increasing
        /// local facet order. Throws when the polyhedron does not hold the
        /// edge.
        std::array< PolyhedronFacet, 2 > edge_incident_facets(
            index_t polyhedron_id,
            const EdgeVertices& edge_vertices ) const;

        Point< dimension > edge_barycenter(
            const EdgeVertices& edge_vertices ) const;

        Point< dimension > polyhedron_barycenter( index_t polyhedron_id ) const;

        Point< dimension > polyhedron_facet_barycenter(
            const PolyhedronFacet& polyhedron_facet ) const;

        AttributeManager& polyhedron_attribute_manager() const;

        /// Builds the edge table from every current polyhedron; afterwards
        /// the builder keeps it up to date. Does nothing when enabled.
        /// May run concurrently with enable_facets on the same solid.
        void enable_edges() const;
        bool are_edges_enabled() const;
        /// Throws when the edges are not enabled.
        const SolidEdges< dimension >& edges() const;

        /// Builds the facet table from every current polyhedron; afterwards
        /// the builder keeps it up to date. Does nothing when enabled.
        /// May run concurrently with enable_edges on the same solid.
        void enable_facets() const;
        bool are_facets_enabled() const;
        /// Throws when the facets are not enabled.
        const SolidFacets< dimension >& facets() const;

    protected:
        SolidMesh();
        /// A moved-from solid is valid and empty.
        SolidMesh( SolidMesh&& other ) noexcept;
        SolidMesh& operator=( SolidMesh&& other ) noexcept;

        /// Renumbers the vertices of the edge and facet tables.
        void vertices_deleted( const std::vector< bool >& to_delete,
            const OldToNew& old2new ) override;

    private:
        std::unique_ptr< SolidEdges< dimension > >& edges_storage() const;

        std::unique_ptr< SolidFacets< dimension > >& facets_storage() const;

        virtual index_t get_nb_polyhedra() const = 0;

        virtual local_index_t get_nb_polyhedron_vertices(
            index_t polyhedron_id ) const = 0;

        virtual local_index_t get_nb_polyhedron_facets(
            index_t polyhedron_id ) const = 0;

        virtual local_index_t get_nb_polyhedron_facet_vertices(
            const PolyhedronFacet& polyhedron_facet ) const = 0;

        virtual index_t get_polyhedron_vertex(
            const PolyhedronVertex& polyhedron_vertex ) const = 0;

        /// The local vertex of the polyhedron that is the given facet vertex.
        virtual local_index_t get_polyhedron_facet_vertex_id(
            const PolyhedronFacetVertex& polyhedron_facet_vertex ) const = 0;

        /// NO_ID when unset.
        virtual index_t get_polyhedron_adjacent(
            const PolyhedronFacet& polyhedron_facet ) const = 0;

        /// {NO_ID, NO_LID} when the vertex is isolated.
        virtual PolyhedronVertex get_polyhedron_around_vertex(
            index_t vertex_id ) const = 0;

        virtual const Point< dimension >& get_point( index_t vertex_id ) const = 0;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };

    using SolidMesh3D = SolidMesh< 3 >;
} // namespace orvane
