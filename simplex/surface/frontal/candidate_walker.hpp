#pragma once

#include <optional>
#include <type_traits>
#include <vector>

#include <absl/container/inlined_vector.h>

#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/predicates.hpp>

#include <common/cutter/surface_path_finder.hpp>

#include <simplex/surface/frontal/frontal_remesher.hpp>

namespace orvane::internal
{
    /// The walk that places the apex of a new triangle: from the macro path
    /// of a front element it crosses the uncovered macro polygons along the
    /// plane (3-D) or line (2-D) through the query point perpendicular to the
    /// element, until it is farther than a limit from the query point, meets
    /// the border or meets covered polygons.
    ///
    /// The walk is bounded: a section that closes on itself over uncovered
    /// polygons within the limit would otherwise never end.
    template < index_t dimension >
    class CandidateWalker
    {
    public:
        using Cutter =
            std::conditional_t< dimension == 3, Plane, InfiniteLine< 2 > >;
        /// A walk crosses a few macro edges within the height: kept off the
        /// heap.
        using Crossings = absl::InlinedVector< SurfacePathCrossing, 8 >;

        CandidateWalker( const SurfaceMesh< dimension >& macro,
            typename FrontalRemesher< dimension >::Impl& state,
            const Cutter& cutter );

        /// The walk on from its first crossings (see start_at), up to and
        /// including the crossing where it stopped; empty when there are no
        /// first crossings (the cutter meets no step of the path) or the walk
        /// reaches its bound.
        [[nodiscard]] std::optional< Crossings > walk_from(
            Crossings crossings, double limit );

        /// The first crossings of the walk when the cutter meets the step,
        /// appended to `crossings`; answers whether it meets it. The walk
        /// starts at the first step of the path that the cutter meets, so
        /// the steps after it need not be looked at.
        bool start_at( const MacroEdgeStep& step, Crossings& crossings );

        /// How the cutter leaves the polygon entered through `edge`.
        [[nodiscard]] SurfacePathCrossing next_crossing( const PolygonEdge& edge );

        /// The point of a crossing: its vertex's point, or where the cutter
        /// meets its edge (the edge's midpoint when they do not meet in one
        /// point).
        [[nodiscard]] Point< dimension > crossing_point(
            const SurfacePathCrossing& crossing ) const;

        /// The most crossings a walk appends before giving up.
        [[nodiscard]] index_t max_steps() const;

    private:
        [[nodiscard]] POSITION detect( const Segment< dimension >& segment ) const;
        [[nodiscard]] SIDE side( const Point< dimension >& point ) const;

        const SurfaceMesh< dimension >& macro_;
        typename FrontalRemesher< dimension >::Impl& state_;
        const Cutter& cutter_;
    };

    using CandidateWalker3D = CandidateWalker< 3 >;
    using CandidateWalker2D = CandidateWalker< 2 >;

    /// The candidate of `candidate_point` for both dimensions: the point at
    /// the element's height along the perpendicular through `query`, or the
    /// front vertex or element met before.
    template < index_t dimension >
    [[nodiscard]] std::optional< FrontalCandidate< dimension > >
        frontal_candidate_point( typename FrontalRemesher< dimension >::Impl& state,
            const FrontalQueueElement< dimension >& element,
            const Point< dimension >& query );
} // namespace orvane::internal
