#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/mesh/mesh_records.hpp>

namespace orvane
{
    class AttributeManager;

    /// The edge table of a surface or a solid: one entry per distinct edge,
    /// keyed by its unordered pair of vertices, with its own attribute
    /// manager.
    ///
    /// Entries are created by the mesh's builder whenever an element that
    /// uses them is created or changed, and they keep their index through
    /// every edit of the mesh, so that attributes stored on edges survive the
    /// deletion and re-creation of the elements around them. Only
    /// `EdgesBuilder::delete_isolated_edges` (or `delete_edges`) removes
    /// entries.
    ///
    /// Const queries may run concurrently.
    class Edges
    {
        friend class EdgesBuilder;

    public:
        Edges();
        Edges( Edges&& other ) noexcept;
        Edges& operator=( Edges&& other ) noexcept;
        ~Edges();

        index_t nb_edges() const;

        /// The edge's vertices in the order in which it was first created.
        /// An edge one of whose vertices was deleted holds NO_ID there.
        const EdgeVertices& edge_vertices( index_t edge_id ) const;

        /// The edge joining the two vertices (in either order), if
        /// registered.
        std::optional< index_t > edge_from_vertices(
            const EdgeVertices& vertices ) const;

        /// edge_from_vertices for each pair, written to the entry of `edges`
        /// at the same position (NO_ID when not registered); the spans have
        /// the same size. The lookups of the pairs overlap in memory, which
        /// makes the handful of edges around a vertex cheaper to look up
        /// together than one at a time.
        void edges_from_vertices( absl::Span< const EdgeVertices > vertices,
            absl::Span< index_t > edges ) const;

        /// Asks the processor to start loading the table entries of the
        /// pairs, where each is found or would be created. An edit that is
        /// about to look up or create a few edges names them first, so that
        /// their cache misses overlap with its other work. Changes nothing.
        void prefetch_edges( absl::Span< const EdgeVertices > vertices ) const;

        AttributeManager& edge_attribute_manager() const;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };

    /// The edge table of a surface mesh.
    template < index_t dimension >
    using SurfaceEdges = Edges;

    /// The edge table of a solid mesh.
    template < index_t dimension >
    using SolidEdges = Edges;

    /// Edits an edge table.
    ///
    /// The table cannot tell by itself which entries are still used: the
    /// owning mesh gives a function that flags, for every entry, whether
    /// some element of the mesh uses it. `delete_isolated_edges` needs it.
    class EdgesBuilder
    {
    public:
        using UsedEdges = std::function< std::vector< bool >( const Edges& ) >;

        explicit EdgesBuilder( Edges& edges, UsedEdges used_edges = {} );

        /// The index of the edge joining the two vertices (in either order),
        /// appended with default attribute values when missing. A registered
        /// entry that no element uses any more is returned as it is.
        index_t find_or_create_edge( const EdgeVertices& vertices );

        /// find_or_create_edge for each pair in order, written to the entry
        /// of `edges` at the same position (the spans have the same size):
        /// the entries created and their indices are those of one call per
        /// pair, but the lookups overlap in memory.
        void find_or_create_edges( absl::Span< const EdgeVertices > vertices,
            absl::Span< index_t > edges );

        /// Renumbers the edges' vertices after a deletion of vertices. An
        /// edge that loses a vertex can no longer be found from vertices; it
        /// keeps its index until it is deleted.
        void update_edge_vertices( const OldToNew& old2new );

        /// Removes the flagged edges, compacts their attributes and returns
        /// the old-to-new vector.
        OldToNew delete_edges( const std::vector< bool >& to_delete );

        /// Removes every edge that no element of the mesh uses and returns
        /// the old-to-new vector. Throws OpenOrvaneException when the builder
        /// was made without the usage function.
        OldToNew delete_isolated_edges();

        /// Makes the table a copy of `other`, attributes included.
        void copy( const Edges& other );

    private:
        Edges& edges_;
        UsedEdges used_edges_;
    };

    template < index_t dimension >
    using SurfaceEdgesBuilder = EdgesBuilder;

    template < index_t dimension >
    using SolidEdgesBuilder = EdgesBuilder;
} // namespace orvane
