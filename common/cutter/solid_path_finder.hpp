#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/position.hpp>
#include <openorvane/mesh/mesh_records.hpp>

namespace orvane
{
    template < index_t dimension >
    class TetrahedralSolid;

    /// One element of a solid path: where a straight cut between two solid
    /// vertices crosses a facet, runs through a facet edge or passes a
    /// vertex.
    ///
    /// A vertex step is {POSITION::outside, unset facet, vertex}. A facet
    /// crossing is {POSITION::inside, facet, NO_ID}. An edge crossing
    /// (edge0..2) names the edge of `facet` whose local index the position
    /// gives, with no vertex. A crossing at a facet vertex (vertex0..2)
    /// carries that vertex.
    struct SolidPathStep
    {
        /// Where the crossing lies on `facet`.
        POSITION position{ POSITION::outside };
        /// The crossed facet, {NO_ID, NO_LID} for a vertex step.
        PolyhedronFacet facet;
        /// The solid vertex of the crossing when it is one, else NO_ID.
        index_t vertex{ NO_ID };

        bool operator==( const SolidPathStep& ) const = default;

        /// The vertex step of the vertex.
        [[nodiscard]] static SolidPathStep vertex_step( index_t vertex )
        {
            return { POSITION::outside, PolyhedronFacet{}, vertex };
        }
    };

    /// Whether two steps stand for the same place of the solid: two facet
    /// crossings of one facet, seen from either of its sides; two edge
    /// crossings of one edge, in either direction; or two steps carrying the
    /// same vertex. A facet crossing and a step of another kind never are.
    [[nodiscard]] bool same_crossing( const TetrahedralSolid< 3 >& solid,
        const SolidPathStep& step,
        const SolidPathStep& other );

    /// Walks the straight segment between two vertices through the inside of
    /// a tetrahedral solid, tetrahedron by tetrahedron. Reads the solid only;
    /// built on the caller's stack for one walk.
    class SolidPathFinder
    {
    public:
        /// `begin` and `end` must be vertices of the solid.
        SolidPathFinder(
            const TetrahedralSolid< 3 >& solid, index_t begin, index_t end );

        /// The steps from the vertex step of `begin` to a step carrying
        /// `end`: a single step when begin is end, the two vertex steps when
        /// a tetrahedron holds both. Empty when the segment leaves the solid
        /// through its border or the walk cannot go on.
        [[nodiscard]] std::optional< std::vector< SolidPathStep > >
            find_path() const;

    private:
        const TetrahedralSolid< 3 >& solid_;
        index_t begin_;
        index_t end_;
        Segment< 3 > segment_;
    };

    /// Walks over the border facets of a tetrahedral solid between two
    /// border vertices, following where a triangle meets the border: every
    /// step is a border edge that the triangle crosses strictly, or a border
    /// vertex lying on the triangle. Reads the solid only.
    class SolidBorderPathFinder
    {
    public:
        /// Throws OpenOrvaneException when `begin` or `end` is not on the
        /// border, or when the triangle has no normal. The triangle must
        /// outlive the finder.
        SolidBorderPathFinder( const TetrahedralSolid< 3 >& solid,
            index_t begin,
            index_t end,
            const Triangle< 3 >& triangle );
        SolidBorderPathFinder( const SolidBorderPathFinder& ) = delete;
        SolidBorderPathFinder& operator=( const SolidBorderPathFinder& ) = delete;
        ~SolidBorderPathFinder();

        /// Every complete path from `begin` to `end`, one per way of leaving
        /// `begin` over a border facet, in the order of those first steps.
        /// A walk that cannot go on, or that comes back to a pair of steps it
        /// already took (it would then go round for ever), gives no path.
        [[nodiscard]] std::vector< std::vector< SolidPathStep > >
            find_paths() const;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };
} // namespace orvane
