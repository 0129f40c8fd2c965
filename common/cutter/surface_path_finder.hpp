#pragma once

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/position.hpp>
#include <openorvane/mesh/mesh_records.hpp>

namespace orvane
{
    template < index_t dimension >
    class SurfaceMesh;

    /// One element of a surface path: a place where the straight line
    /// between two surface vertices crosses an edge or passes a vertex.
    ///
    /// A path starts with the element of its begin vertex and ends with the
    /// element of its end vertex; the elements between them follow the walk.
    /// An element that names a vertex only has the unset edge and
    /// POSITION::outside.
    struct SurfacePathCrossing
    {
        /// The crossed polygon edge, unset for a vertex element.
        PolygonEdge edge;
        /// Where the crossing lies on `edge`: inside (strictly inside),
        /// vertex0 or vertex1 (at its first or second vertex), outside for a
        /// vertex element.
        POSITION position{ POSITION::outside };
        /// The mesh vertex of the crossing when known, else NO_ID.
        index_t vertex{ NO_ID };
        /// For an edge crossing: whether the path goes on into the polygon
        /// across `edge` (set) or stays in `edge`'s own polygon (clear). Set
        /// for a vertex element.
        bool toward_adjacent{ true };

        bool operator==( const SurfacePathCrossing& ) const = default;
    };

    /// The state shared by every surface path finder: the surface walked and
    /// the straight segment between the begin and end vertices. Finders are
    /// built on the caller's stack for one walk.
    template < index_t dimension >
    class SurfacePathFinder
    {
    public:
        /// The segment is taken from the points of `begin` and `end`, which
        /// must be vertices of the mesh.
        SurfacePathFinder(
            const SurfaceMesh< dimension >& mesh, index_t begin, index_t end );

        [[nodiscard]] const SurfaceMesh< dimension >& mesh() const
        {
            return mesh_;
        }

        [[nodiscard]] index_t begin() const
        {
            return begin_;
        }

        [[nodiscard]] index_t end() const
        {
            return end_;
        }

        [[nodiscard]] const Segment< dimension >& segment() const
        {
            return segment_;
        }

    private:
        const SurfaceMesh< dimension >& mesh_;
        index_t begin_;
        index_t end_;
        Segment< dimension > segment_;
    };

    /// A path finder that walks polygon by polygon along a cutting primitive
    /// (a line in 2-D, a plane in 3-D) that the derived class holds.
    template < index_t dimension >
    class SurfaceSegmentFinder : public SurfacePathFinder< dimension >
    {
    public:
        using SurfacePathFinder< dimension >::SurfacePathFinder;

        virtual ~SurfaceSegmentFinder();

        /// The record that stands for "no crossing found yet".
        [[nodiscard]] virtual SurfacePathCrossing empty_crossing() const = 0;

        /// Given the polygon edge through which the walk enters a polygon,
        /// the next crossing in that polygon: its remaining vertex when that
        /// vertex lies on the cutting primitive, else the crossing of its
        /// next or previous edge.
        [[nodiscard]] virtual SurfacePathCrossing next_crossing(
            const PolygonEdge& crossed_edge ) = 0;
    };

    /// Raised when a path walk reaches the border of the surface before the
    /// end vertex. The message is always "Cannot find a path in the surface".
    class SurfacePathFinderException : public OpenOrvaneException
    {
    public:
        SurfacePathFinderException();
        SurfacePathFinderException( const SurfacePathFinderException& ) = default;
        SurfacePathFinderException& operator=(
            const SurfacePathFinderException& ) = default;
        ~SurfacePathFinderException() override;
    };
} // namespace orvane
