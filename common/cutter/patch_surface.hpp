#pragma once

#include <list>
#include <memory>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/flat_hash_set.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/mesh/mesh_records.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <core_support/solid_patch.hpp>

namespace orvane
{
    template < typename T >
    class VariableAttribute;

    /// One side of a patch boundary: a solid edge, run from its vertex 0 to
    /// its vertex 1 when `forward`, else from vertex 1 to vertex 0.
    struct PatchBoundaryEdge
    {
        index_t edge{ NO_ID };
        bool forward{ true };
    };

    /// A closed chain of patch vertices: the last vertex is followed by the
    /// first. Its front edge runs from its first vertex to its second.
    class FrontCycle
    {
    public:
        FrontCycle() = default;
        FrontCycle( std::initializer_list< index_t > vertices )
            : vertices_( vertices )
        {
        }
        explicit FrontCycle( std::list< index_t > vertices )
            : vertices_( std::move( vertices ) )
        {
        }

        /// Inserts `value` right after the first occurrence of `key`; does
        /// nothing when `key` is absent.
        void insert_after( index_t key, index_t value );

        /// Removes every occurrence of `value`.
        void remove( index_t value );

        /// With i and j the positions of the first and the second occurrence
        /// of `value`, moves the vertices at positions i to j - 1 (starting
        /// with `value`) into the returned cycle; this cycle keeps the rest,
        /// including the second occurrence. Returns an empty cycle and
        /// changes nothing when `value` occurs less than twice.
        FrontCycle split_at( index_t value );

        [[nodiscard]] bool contains( index_t value ) const;

        [[nodiscard]] std::size_t size() const
        {
            return vertices_.size();
        }

        [[nodiscard]] bool empty() const
        {
            return vertices_.empty();
        }

        [[nodiscard]] const std::list< index_t >& vertices() const
        {
            return vertices_;
        }

        bool operator==( const FrontCycle& ) const = default;

    private:
        std::list< index_t > vertices_;
    };

    /// The two sides of a directed patch edge. The outer side is the patch
    /// triangle holding the edge in its registered direction, the inner side
    /// the one holding it reversed. Polygon NO_ID: no triangle on that side
    /// yet. An inner polygon NO_ID - 1 marks a boundary edge given in both
    /// directions, whose inner side counts as taken.
    struct PatchEdgeRecord
    {
        static constexpr index_t TAKEN = NO_ID - 1;

        PolygonEdge outer;
        PolygonEdge inner;
    };

    /// The solid edge under a registered directed patch edge, and the index
    /// of its edge record.
    struct PatchFrontEdge
    {
        index_t solid_edge{ NO_ID };
        index_t record{ NO_ID };
    };

    using PatchEdgeKey = std::pair< index_t, index_t >;

    /// The part of a triangle already covered by solid facets while a solid
    /// is cut along it: a triangulated surface whose vertices stand for solid
    /// vertices (vertex attribute "patch") and whose triangles are solid
    /// facets, with one record per directed edge that keeps the adjacency
    /// between its triangles as they are added.
    class PatchSurface
    {
    public:
        PatchSurface();
        PatchSurface( const PatchSurface& ) = delete;
        PatchSurface& operator=( const PatchSurface& ) = delete;
        ~PatchSurface();

        /// Registers a boundary edge of the patch, running between
        /// `solid_vertices` (the solid edge's vertices 0 and 1) in the
        /// direction `boundary.forward` gives; returns its directed pair of
        /// patch vertices. When the reversed pair is already registered, its
        /// inner side is marked taken and nothing else is registered.
        PatchEdgeKey add_boundary_edge( const PatchBoundaryEdge& boundary,
            const std::array< index_t, 2 >& solid_vertices );

        /// The patch vertex of the solid vertex, created when missing.
        index_t find_or_create_vertex( index_t solid_vertex );

        /// Registers the side `polygon_edge` (of a new patch triangle, running
        /// from `a` to `b`): as the inner side of (b, a) when that is
        /// registered, linking the two triangles, otherwise as the outer side
        /// of a new record of (a, b). The solid edge joining the two solid
        /// vertices must exist.
        void add_front_edge( index_t a,
            index_t b,
            const PolygonEdge& polygon_edge,
            const SolidMesh< 3 >& solid );

        /// True when a patch triangle lies on a, b and c, in either
        /// orientation.
        [[nodiscard]] bool has_triangle( index_t a, index_t b, index_t c ) const;

        /// The solid vertex of a patch vertex.
        [[nodiscard]] index_t solid_vertex( index_t patch_vertex ) const;

        /// The patch vertex of a solid vertex, if any.
        [[nodiscard]] std::optional< index_t > patch_vertex(
            index_t solid_vertex ) const;

        /// Whether the solid vertex has been reached by the patch.
        [[nodiscard]] bool is_reached( index_t solid_vertex ) const
        {
            return solid_vertices_.contains( solid_vertex );
        }

        void mark_reached( index_t solid_vertex )
        {
            solid_vertices_.insert( solid_vertex );
        }

        /// The registration of a directed edge; throws std::out_of_range
        /// when it is not registered.
        [[nodiscard]] const PatchFrontEdge& front_edge(
            const PatchEdgeKey& edge ) const
        {
            return front_edges_.at( edge );
        }

        [[nodiscard]] PatchEdgeRecord& record( index_t record )
        {
            return edge_records_.at( record );
        }

        [[nodiscard]] const PatchEdgeRecord& record( index_t record ) const
        {
            return edge_records_.at( record );
        }

        [[nodiscard]] index_t nb_records() const
        {
            return static_cast< index_t >( edge_records_.size() );
        }

        [[nodiscard]] const TriangulatedSurface< 3 >& mesh() const
        {
            return *mesh_;
        }

        [[nodiscard]] TriangulatedSurfaceBuilder< 3 >& builder()
        {
            return *builder_;
        }

        /// Makes the two patch triangles adjacent both ways.
        void link( const PolygonEdge& edge, const PolygonEdge& other );

    private:
        index_t new_record( const PatchEdgeKey& edge, index_t solid_edge );

    private:
        std::unique_ptr< TriangulatedSurface< 3 > > mesh_;
        std::unique_ptr< TriangulatedSurfaceBuilder< 3 > > builder_;
        std::shared_ptr< VariableAttribute< SolidPatch > > patch_;
        absl::flat_hash_map< PatchEdgeKey, PatchFrontEdge > front_edges_;
        absl::flat_hash_map< PatchEdgeKey, index_t > record_index_;
        std::vector< PatchEdgeRecord > edge_records_;
        absl::flat_hash_map< index_t, index_t > vertex_map_;
        absl::flat_hash_set< index_t > solid_vertices_;
    };

    namespace detail
    {
        /// Cuts a closed chain at its repeated vertices into cycles that
        /// visit each of their vertices once. Pieces of fewer than three
        /// vertices (back-and-forth runs) are dropped.
        std::vector< FrontCycle > split_into_simple_cycles(
            const FrontCycle& chain );
    } // namespace detail
} // namespace orvane
