#pragma once

#include <memory>
#include <vector>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    class Graph;

    namespace detail
    {
        /// Groups the vertices of a graph into pieces connected through its
        /// edges. The graph is read when identify_vertices runs.
        class GraphIdentifier
        {
        public:
            explicit GraphIdentifier( const Graph& graph );
            GraphIdentifier( GraphIdentifier&& other ) noexcept;
            GraphIdentifier& operator=( GraphIdentifier&& other ) noexcept;
            ~GraphIdentifier();

            /// Groups the vertices as the graph stands now; an edge with an
            /// unset end joins nothing. Throws OpenOrvaneException when an
            /// edge names a vertex past the end.
            void identify_vertices();

            /// The pieces, ordered by their lowest vertex, each ascending (an
            /// isolated vertex is a piece of its own); empty before
            /// identify_vertices.
            const std::vector< std::vector< index_t > >&
                identified_connected_vertices() const;

            /// The position of the vertex's piece in
            /// identified_connected_vertices(); NO_ID before
            /// identify_vertices. Throws OpenOrvaneException for a vertex past
            /// the end.
            index_t vertex_identifier( index_t vertex_id ) const;

        private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace orvane
