#pragma once

// Storage of Graph, shared by the graph and its builder. Not part of the
// public interface.

#include <vector>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/mesh/graph.hpp>

namespace orvane
{
    class Graph::Impl
    {
    public:
        index_t nb_edges() const
        {
            return static_cast< index_t >( edge_vertices.size() / 2 );
        }

        index_t& vertex( const EdgeVertex& edge_vertex )
        {
            return edge_vertices[2 * edge_vertex.edge_id + edge_vertex.vertex_id];
        }

        index_t vertex( const EdgeVertex& edge_vertex ) const
        {
            return edge_vertices[2 * edge_vertex.edge_id + edge_vertex.vertex_id];
        }

        void copy( const Impl& other )
        {
            edge_vertices = other.edge_vertices;
            edges_around_vertex = other.edges_around_vertex;
            edge_attributes.copy( other.edge_attributes );
        }

        /// Two vertex indices per edge (NO_ID when unset).
        std::vector< index_t > edge_vertices;
        /// The edge ends naming each vertex, in insertion order.
        std::vector< EdgesAroundVertex > edges_around_vertex;
        AttributeManager edge_attributes;
    };
} // namespace orvane
