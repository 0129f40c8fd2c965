#pragma once

#include <array>
#include <memory>
#include <vector>

#include <absl/container/inlined_vector.h>
#include <absl/types/span.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/mesh_records.hpp>

#include <common/cutter/solid_determine_cuts.hpp>
#include <common/modifier/vertices_modifier.hpp>

namespace orvane
{
    template < index_t dimension >
    class TetrahedralSolid;
    class TetrahedralSolidModifier;

    using ElementOrigins = absl::InlinedVector< index_t, 4 >;

    /// An element of the solid (vertex, edge or facet) and the elements it
    /// comes from.
    struct ElementEntry
    {
        index_t element{ NO_ID };
        ElementOrigins origins;

        bool operator==( const ElementEntry& ) const = default;
    };

    /// A solid edge of the cut chain.
    struct CutPathEdge
    {
        index_t edge{ NO_ID };
        /// {edge} for an edge that existed before the cut, else {NO_ID} or
        /// the edges it was derived from.
        ElementOrigins origins;
        /// Whether the path runs from the edge's vertex 0 to its vertex 1
        /// (as the edge table lists them).
        bool same_direction{ false };

        bool operator==( const CutPathEdge& ) const = default;
    };

    /// What a cut along a path changed. Edges and facets are indices of the
    /// solid's edge and facet tables.
    struct CutAlongPathResult
    {
        /// One entry per cut, in path order: the vertex of the cut (NO_ID
        /// when the cut was not made) and its origins, {v} for a cut on an
        /// existing vertex v, {NO_ID} for a vertex made by a split.
        std::vector< ElementEntry > cut_vertices;
        /// The edges of the cut chain, from the first cut to the last.
        std::vector< CutPathEdge > path_edges;
        /// The other edges made or changed by the cut, with the edges they
        /// come from.
        std::vector< ElementEntry > modified_edges;
        /// The facets made or changed by the cut, with the facets they come
        /// from.
        std::vector< ElementEntry > modified_facets;
        /// The tetrahedra made by the cut, with the tetrahedron of the uncut
        /// solid each replaces.
        std::vector< ElementOrigin > tetrahedra;
        /// Edges whose two ends coincide and that no collapse could remove.
        std::vector< index_t > short_edges;
    };

    /// A facet cut whose split was refused.
    struct LeftoverFacetCut
    {
        /// The cut's position in `cut_vertices`.
        index_t cut{ NO_ID };
        Point< 3 > point;
        PolyhedronFacet facet;

        bool operator==( const LeftoverFacetCut& ) const = default;
    };

    /// An edge cut whose split was refused.
    struct LeftoverEdgeCut
    {
        /// The cut's position in `cut_vertices`.
        index_t cut{ NO_ID };
        Point< 3 > point;
        PolyhedronFacetEdge edge;

        bool operator==( const LeftoverEdgeCut& ) const = default;
    };

    /// Raised by CutAlongPath3D when some split would have made a
    /// tetrahedron of non-positive volume, or when two consecutive cut
    /// vertices are not joined by an edge. Every other cut was made and the
    /// result finished: the caller keeps the edits and repairs around the
    /// listed cuts.
    class CutPathException : public OpenOrvaneException
    {
    public:
        /// The message "Invalid cut to do in cut_along_path", empty members.
        CutPathException();
        CutPathException( const CutPathException& ) = default;
        CutPathException& operator=( const CutPathException& ) = default;
        ~CutPathException() override;

        std::vector< LeftoverFacetCut > leftover_facet_cuts;
        std::vector< LeftoverEdgeCut > leftover_edge_cuts;
        /// Consecutive cut vertices that no solid edge joins.
        std::vector< std::array< index_t, 2 > > missing_edges;
        /// The result as finished when the cut failed.
        CutAlongPathResult result;
    };

    /// Makes a tetrahedral solid hold a straight cut as a chain of its own
    /// edges, from the cuts of determine_segment_cuts or
    /// determine_plane_cuts.
    ///
    /// Facet cuts and edge cuts are split at their points (all facet splits
    /// first, each kind from the last cut to the first); a split that would
    /// make a tetrahedron of non-positive volume is refused. Edges left with
    /// two coinciding ends are then collapsed where the collapse keeps the
    /// solid valid, and the loops those collapses make in the chain are
    /// removed.
    ///
    /// The edge table must be enabled. Every edit goes through the
    /// modifier, which keeps replaced tetrahedra as inactive; the cutter
    /// never cleans the solid. Built on the caller's stack for one call,
    /// on a solid that no other task touches meanwhile.
    class CutAlongPath3D
    {
    public:
        CutAlongPath3D( const TetrahedralSolid< 3 >& solid,
            TetrahedralSolidModifier& modifier,
            absl::Span< const SolidCut > cuts );
        CutAlongPath3D( const CutAlongPath3D& ) = delete;
        CutAlongPath3D& operator=( const CutAlongPath3D& ) = delete;
        ~CutAlongPath3D();

        /// Cuts the solid. One cut changes nothing.
        ///
        /// Throws OpenOrvaneException, before any edit, when there is no cut
        /// or when the first or the last cut is not on a vertex. Throws
        /// CutPathException after every other cut was made when a split was
        /// refused or consecutive cut vertices have no edge between them; the
        /// edits stay in the solid.
        CutAlongPathResult cut_along_path();

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };

    namespace detail
    {
        /// Leaves one entry per element, each with its final origins: an
        /// origin that is itself an entry of the list (other than the
        /// element's own) is replaced by that entry's origins, repeatedly,
        /// and the replaced entries leave the list. Origins are sorted and
        /// unique, NO_ID left out; an entry left with none gets {NO_ID}.
        /// Entries keep the order of their first occurrence; an element
        /// listed twice keeps the origins of its last occurrence.
        ///
        /// Throws OpenOrvaneException, the list unchanged, when the origins
        /// form a cycle.
        void merge_element_entries( std::vector< ElementEntry >& entries );
    } // namespace detail
} // namespace orvane
