#pragma once

#include <optional>
#include <vector>

#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/position.hpp>

#include <common/cutter/surface_path_finder.hpp>

#include <simplex/surface/frontal/frontal_remesher.hpp>

namespace orvane::internal
{
    /// The path search of the frontal remesher: the crossings of the
    /// straight way (3-D: the cutting plane) from the start vertex to the end
    /// vertex over the macro surface, which may run along the front but
    /// never cross it. Built on the stack for one search; the derived walker
    /// says how the straight way meets polygons.
    ///
    /// Partial paths are explored in order, depth first; a partial path is
    /// abandoned when it comes back to a place it already holds.
    template < index_t dimension >
    class PropagateAlongSurfaceMacroEdge : public SurfaceSegmentFinder< dimension >
    {
    public:
        using Path = std::vector< SurfacePathCrossing >;

        PropagateAlongSurfaceMacroEdge( const SurfaceMesh< dimension >& macro,
            index_t start,
            index_t end,
            typename FrontalRemesher< dimension >::Impl& state );
        ~PropagateAlongSurfaceMacroEdge() override;

        /// The crossing that stands for "nothing yet": the unset edge,
        /// position outside, no vertex, flag set.
        [[nodiscard]] SurfacePathCrossing empty_crossing() const final;

        /// Where the straight way meets the segment of a polygon edge
        /// (outside, inside, vertex0, vertex1 or parallel).
        [[nodiscard]] virtual POSITION crossing_position(
            const Segment< dimension >& segment ) const = 0;

        /// Whether the edge from p to q faces the search direction.
        [[nodiscard]] virtual bool is_oriented_edge(
            const Point< dimension >& p, const Point< dimension >& q ) const = 0;

        /// Whether p and q both lie ahead of the start along the way.
        [[nodiscard]] virtual bool is_ahead(
            const Point< dimension >& p, const Point< dimension >& q ) const = 0;

        /// The path from the start vertex to the end vertex, or nothing.
        /// Throws SurfacePathFinderException when the way has to cross a
        /// border edge of the macro surface.
        [[nodiscard]] std::optional< Path > find_path();

        /// Bound on the macro edges followed along one front element.
        static constexpr index_t MAX_FOLLOWED_EDGES = 10000;

        [[nodiscard]] std::optional< Path > propagate( std::vector< Path > paths );
        [[nodiscard]] std::vector< Path > crossing_starts();
        [[nodiscard]] std::vector< Path > front_starts();
        [[nodiscard]] std::optional< Path > follow_elements_on_edge(
            const PolygonEdge& edge, bool forward, const Path& path );
        [[nodiscard]] std::vector< Path > follow_front(
            const PolygonEdge& edge, const Path& path );
        [[nodiscard]] std::optional< Path > follow_element(
            MacroEdgeStep step, index_t element, const Path& path );

    protected:
        [[nodiscard]] typename FrontalRemesher< dimension >::Impl& state()
        {
            return state_;
        }

        /// The crossing of `edge` at `position` (from crossing_position).
        [[nodiscard]] SurfacePathCrossing edge_crossing(
            const PolygonEdge& edge, POSITION position ) const;

    private:
        typename FrontalRemesher< dimension >::Impl& state_;
    };

    /// The 3-D walker: follows the cutting plane through a and b.
    class PropagateAlongSurfaceMacroEdge3D final
        : public PropagateAlongSurfaceMacroEdge< 3 >
    {
    public:
        PropagateAlongSurfaceMacroEdge3D( const SurfaceMesh< 3 >& macro,
            index_t start,
            index_t end,
            FrontalRemesher< 3 >::Impl& state,
            const Plane& plane );
        ~PropagateAlongSurfaceMacroEdge3D() override;

        /// Leaves the polygon of `edge` through its vertex opposite `edge`
        /// when the plane holds it, else through the edge after `edge`
        /// (vertex below the plane) or before it (above).
        [[nodiscard]] SurfacePathCrossing next_crossing(
            const PolygonEdge& edge ) override;
        [[nodiscard]] POSITION crossing_position(
            const Segment< 3 >& segment ) const override;
        [[nodiscard]] bool is_oriented_edge(
            const Point< 3 >& p, const Point< 3 >& q ) const override;
        [[nodiscard]] bool is_ahead(
            const Point< 3 >& p, const Point< 3 >& q ) const override;

    private:
        const Plane* plane_;
    };

    /// The 2-D walker: follows the segment a-b itself.
    class PropagateAlongSurfaceMacroEdge2D final
        : public PropagateAlongSurfaceMacroEdge< 2 >
    {
    public:
        PropagateAlongSurfaceMacroEdge2D( const SurfaceMesh< 2 >& macro,
            index_t start,
            index_t end,
            FrontalRemesher< 2 >::Impl& state );
        ~PropagateAlongSurfaceMacroEdge2D() override;

        [[nodiscard]] SurfacePathCrossing next_crossing(
            const PolygonEdge& edge ) override;
        [[nodiscard]] POSITION crossing_position(
            const Segment< 2 >& segment ) const override;
        /// Always true in the plane.
        [[nodiscard]] bool is_oriented_edge(
            const Point< 2 >& p, const Point< 2 >& q ) const override;
        /// Always true in the plane.
        [[nodiscard]] bool is_ahead(
            const Point< 2 >& p, const Point< 2 >& q ) const override;
    };
} // namespace orvane::internal
