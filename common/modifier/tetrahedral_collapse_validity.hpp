#pragma once

#include <array>
#include <optional>

#include <absl/container/fixed_array.h>
#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/mesh_records.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

// Tests run before an edge collapse of a tetrahedral solid. A collapse is
// accepted when every tetrahedron that survives it stays positive and when it
// keeps the topology: the border facets around the edge form one run without
// mixing the two ends' sides, and the two ends satisfy the link condition
// (every common neighbour of the ends shares a tetrahedron with the edge).

namespace orvane
{
    /// Border information of an edge one of whose ends lies on the border:
    /// per polyhedron around the edge (polyhedra_around_edge order), whether
    /// its facet opposite end 0, and its facet opposite end 1, lie on the
    /// border; and whether the edge itself lies on the border.
    struct EdgeBorderFacets
    {
        explicit EdgeBorderFacets( std::size_t nb_polyhedra )
            : flags( nb_polyhedra, std::array< bool, 2 >{ false, false } )
        {
        }

        absl::FixedArray< std::array< bool, 2 >, 128 > flags;
        bool edge_on_border{ false };
    };

    /// True when collapsing the edge into a vertex at the point keeps every
    /// surviving tetrahedron positive and keeps the topology.
    [[nodiscard]] bool is_collapse_edge_valid( const TetrahedralSolid< 3 >& solid,
        const PolyhedronFacetEdge& edge,
        const Point< 3 >& point );

    /// True when collapsing the edge (an index of the solid's edge table)
    /// onto its end `kept_end` (0 or 1), the merged vertex taking that end's
    /// point, keeps every surviving tetrahedron positive and keeps the
    /// topology. Throws std::bad_optional_access when no polyhedron holds the
    /// edge once the geometric test has passed.
    [[nodiscard]] bool is_collapse_edge_valid( const TetrahedralSolid< 3 >& solid,
        index_t edge,
        local_index_t kept_end );

    namespace detail
    {
        /// True when collapsing the edge would break the topology. When an
        /// end lies on the border: an inner edge whose two ends both lie on
        /// the border breaks it, and so do mixed or separate runs of border
        /// facets around the edge. Then the link condition decides.
        [[nodiscard]] bool collapse_edge_breaks_topology(
            const TetrahedralSolid< 3 >& solid, const PolyhedronFacetEdge& edge );

        /// The border facets around the edge; nothing when neither end lies
        /// on the border.
        [[nodiscard]] std::optional< EdgeBorderFacets > edge_border_facets(
            const TetrahedralSolid< 3 >& solid, const PolyhedronFacetEdge& edge );

        /// True when, around the edge, a polyhedron whose only border facet
        /// is opposite end 0 and one whose only border facet is opposite end
        /// 1 both occur (scanning from the first polyhedron's flags).
        [[nodiscard]] bool breaks_border_facet_pattern(
            absl::Span< const std::array< bool, 2 > > flags );

        /// True when the polyhedra around the edge that do not have both
        /// border facets form more than one run, or, for an inner edge, when
        /// the first polyhedron has both border facets and the last does not.
        [[nodiscard]] bool breaks_border_facet_runs(
            absl::Span< const std::array< bool, 2 > > flags, bool edge_on_border );

        /// True when a common neighbour of the edge's ends shares no
        /// tetrahedron with both ends.
        [[nodiscard]] bool breaks_link_condition(
            const TetrahedralSolid< 3 >& solid, const PolyhedronFacetEdge& edge );
    } // namespace detail
} // namespace orvane
