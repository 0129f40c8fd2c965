#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/mesh/mesh_factory.hpp>
#include <openorvane/mesh/mesh_records.hpp>
#include <openorvane/mesh/vertex_set.hpp>

namespace orvane
{
    class AttributeManager;
    class GraphBuilder;

    using EdgesAroundVertex = absl::InlinedVector< EdgeVertex, 2 >;

    /// Vertices joined by edges, without coordinates.
    ///
    /// Each vertex keeps the full list of the edge ends (EdgeVertex) that
    /// name it, in insertion order: create_edge( a, b ) appends {e, 0} to a's
    /// list and {e, 1} to b's, and set_edge_vertex moves an entry to the end
    /// of the new vertex's list.
    ///
    /// Const queries keep no cache and may run concurrently.
    class Graph : public VertexSet
    {
        friend class GraphBuilder;

    public:
        using Builder = GraphBuilder;

        ~Graph() override;

        /// A new empty graph of the default implementation ("OpenOrvaneGraph").
        static std::unique_ptr< Graph > create();

        /// A new empty graph of the given implementation.
        static std::unique_ptr< Graph > create( const MeshImpl& impl );

        /// "Graph".
        static MeshType type_name_static();

        /// A copy of topology, attributes, uuid and name, of the same
        /// implementation.
        std::unique_ptr< Graph > clone() const;

        index_t nb_edges() const;

        /// The vertex at one end of an edge (NO_ID when unset).
        index_t edge_vertex( const EdgeVertex& edge_vertex ) const;

        EdgeVertices edge_vertices( index_t edge_id ) const;

        /// The edge ends that name the vertex, in insertion order.
        const EdgesAroundVertex& edges_around_vertex( index_t vertex_id ) const;

        /// True when no edge end names the vertex.
        bool is_vertex_isolated( index_t vertex_id ) const;

        /// An edge joining the two vertices in either direction (the first in
        /// the first vertex's list), if any.
        std::optional< index_t > edge_from_vertices(
            const EdgeVertices& vertices ) const;

        AttributeManager& edge_attribute_manager() const;

    protected:
        Graph();
        /// A moved-from graph is valid and empty.
        Graph( Graph&& other ) noexcept;
        Graph& operator=( Graph&& other ) noexcept;

        void vertices_added( index_t nb_vertices_total ) override;
        void vertices_deleted( const std::vector< bool >& to_delete,
            const OldToNew& old2new ) override;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };

    /// The core implementation of graphs.
    class OpenOrvaneGraph : public Graph
    {
    public:
        OpenOrvaneGraph();
        OpenOrvaneGraph( OpenOrvaneGraph&& other ) noexcept;
        OpenOrvaneGraph& operator=( OpenOrvaneGraph&& other ) noexcept;
        ~OpenOrvaneGraph() override;

        /// "OpenOrvaneGraph".
        static MeshImpl impl_name_static();

        MeshImpl impl_name() const override;

        MeshType type_name() const override;

        /// "oo_grp".
        std::string_view native_extension() const override;
    };

    /// Edits a Graph.
    class GraphBuilder : public VertexSetBuilder
    {
    public:
        ~GraphBuilder() override;

        /// The builder registered for the graph's implementation name.
        static std::unique_ptr< GraphBuilder > create( Graph& mesh );

        /// Appends an edge whose two ends are unset; returns its index.
        index_t create_edge();

        /// Appends an edge from `v0` to `v1`; returns its index.
        index_t create_edge( index_t v0, index_t v1 );

        /// Appends `nb` edges with unset ends; returns the first index.
        index_t create_edges( index_t nb );

        /// Moves the edge end to `vertex_id`: the entry leaves the former
        /// vertex's list and goes to the end of the new vertex's list. Throws
        /// OpenOrvaneException, the graph unchanged, when the edge end or the
        /// vertex does not exist.
        void set_edge_vertex( const EdgeVertex& edge_vertex, index_t vertex_id );

        /// Removes the edge end from its vertex's list only; the edge still
        /// names the vertex. Throws OpenOrvaneException when the edge end does
        /// not exist.
        void disassociate_edge_vertex_to_vertex( const EdgeVertex& edge_vertex );

        /// Deletes the flagged edges (one flag per edge); the kept edges keep
        /// their relative order. Vertex lists drop the deleted ends and
        /// renumber the others; edge attributes follow. Returns old-to-new.
        OldToNew delete_edges( const std::vector< bool >& to_delete );

        /// Deletes the vertices that no edge end names.
        OldToNew delete_isolated_vertices() override;

        /// Makes the graph a copy of `graph` (topology, attributes, uuid and
        /// name).
        void copy( const Graph& graph );

    protected:
        explicit GraphBuilder( Graph& mesh );

    private:
        /// Throws OpenOrvaneException naming `function` when the edge end
        /// does not exist.
        void check_edge_vertex(
            const EdgeVertex& edge_vertex, const char* function ) const;

    private:
        Graph& graph_;
    };

    /// The builder of OpenOrvaneGraph.
    class OpenOrvaneGraphBuilder : public GraphBuilder
    {
    public:
        /// Views the mesh as a Graph: throws std::bad_cast when it is not one.
        explicit OpenOrvaneGraphBuilder( VertexSet& mesh );
        ~OpenOrvaneGraphBuilder() override;
    };
} // namespace orvane
