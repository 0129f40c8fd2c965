#pragma once

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/mesh_records.hpp>

namespace orvane
{
    template < index_t dimension >
    class SurfaceMesh;
    template < index_t dimension >
    class TriangulatedSurface;
    template < index_t dimension >
    class Metric;
} // namespace orvane

namespace orvane::internal
{
    /// One entry of the front: a directed front edge ("element") from macro
    /// vertex v0 to macro vertex v1, with what the front loop needs to rank
    /// it and to build the triangle over it.
    template < index_t dimension >
    struct FrontalQueueElement
    {
        /// Builds the entry from the current points of v0 and v1 on the
        /// macro surface. `size` is the metric at the midpoint; the ideal
        /// side e is min(size, 2 length) when size > length and
        /// max(size, length / 2 + size / 4) otherwise, and the height is
        /// sqrt(e^2 - length^2 / 4).
        FrontalQueueElement( const SurfaceMesh< dimension >& macro,
            const Metric< dimension >& metric,
            index_t v0,
            index_t v1,
            index_t kind,
            index_t id );

        /// Replaces v0, v1 and apex (when set) by their images through the
        /// macro modifier's vertex map.
        template < typename VertexMap >
        void remap_vertices( VertexMap&& updated_vertex )
        {
            v0 = updated_vertex( v0 );
            v1 = updated_vertex( v1 );
            if( apex != NO_ID )
            {
                apex = updated_vertex( apex );
            }
        }

        index_t v0{ NO_ID };
        index_t v1{ NO_ID };
        Point< dimension > p0;
        Point< dimension > p1;
        /// |p1 - p0|.
        double length{ 0 };
        /// The metric at (p0 + p1) / 2.
        double size{ 0 };
        /// Height of the triangle to build over the element; the front loop
        /// may lower it.
        double height{ 0 };
        /// 0 for the elements of the initial border, 1 for all others.
        index_t kind{ 1 };
        /// The element id (index in the element database).
        index_t id{ NO_ID };
        /// The macro vertex tried as third vertex while the element is being
        /// processed, NO_ID otherwise.
        index_t apex{ NO_ID };
    };

    /// The ideal side and the height of the triangle over an edge of the
    /// given length where the metric asks for `size` (see
    /// FrontalQueueElement).
    [[nodiscard]] std::pair< double, double > frontal_side_and_height(
        double length, double size );

    /// Order of the front for a max-heap (std::priority_queue): answers true
    /// when `lhs` ranks after `rhs`. Border elements (kind 0) come before all
    /// others, then shorter elements before longer ones; ties are unordered.
    struct FrontalQueueOrder
    {
        template < index_t dimension >
        bool operator()( const FrontalQueueElement< dimension >& lhs,
            const FrontalQueueElement< dimension >& rhs ) const
        {
            if( lhs.kind != rhs.kind )
            {
                return lhs.kind > rhs.kind;
            }
            return lhs.length > rhs.length;
        }
    };

    /// Where the new vertex over an element should go.
    template < index_t dimension >
    struct FrontalCandidate
    {
        /// The proposed position of the new vertex.
        Point< dimension > point;
        /// The macro polygon that holds `point`.
        index_t polygon{ NO_ID };
        /// When on_vertex is set: the open front element at the vertex met
        /// (NO_ID when none runs along that vertex's polygon edges).
        /// Meaningless otherwise.
        index_t element{ NO_ID };
        /// The candidate is an existing front vertex rather than a new point.
        bool on_vertex{ false };
        /// From `point` to the query point.
        double distance{ 0 };
        /// From the query point to `start`.
        double start_distance{ 0 };
        /// Where the search for the candidate began on the macro surface.
        Point< dimension > start;
    };

    /// One macro edge of an element's macro path. `vertex` is the polygon
    /// vertex at which `edge` starts. When `forward` is set the path runs
    /// from the edge's start vertex to its end vertex, otherwise the other
    /// way round.
    struct MacroEdgeStep
    {
        PolygonEdge edge;
        PolygonVertex vertex;
        bool forward{ true };

        bool operator==( const MacroEdgeStep& ) const = default;
    };

    /// How one side of a new output triangle lies on the macro surface.
    struct MacroEdgeInfo
    {
        /// The side has no element yet: one is created with id `element`
        /// when the triangle is accepted.
        bool new_element{ false };
        /// The id reserved for the new element, or the open element that the
        /// side closes.
        index_t element{ NO_ID };
        /// Start macro vertex of the side.
        index_t v0{ NO_ID };
        /// End macro vertex of the side.
        index_t v1{ NO_ID };
        /// Polygon edges along the side.
        std::vector< PolygonEdge > path_edges;
        /// Polygon edges along the side that lie on the border.
        std::vector< PolygonEdge > border_edges;
        /// A macro vertex proposed as apex instead of the current one; when
        /// set, the other fields carry nothing.
        std::optional< index_t > apex_vertex;
        /// For a side closing an open element: the steps of the element's
        /// macro path from `path_ends.first` to `path_ends.second`, as read
        /// when the side was settled. They stay the path only while the
        /// macro surface is not edited.
        std::vector< MacroEdgeStep > path_steps;
        std::pair< index_t, index_t > path_ends{ NO_ID, NO_ID };
    };

    /// The macro vertex at which the step arrives.
    template < index_t dimension >
    [[nodiscard]] index_t step_destination(
        const SurfaceMesh< dimension >& macro, const MacroEdgeStep& step );

    /// The macro vertex from which the step leaves.
    template < index_t dimension >
    [[nodiscard]] index_t step_origin(
        const SurfaceMesh< dimension >& macro, const MacroEdgeStep& step );

    /// One hole the front could not close, as a small stand-alone surface.
    template < index_t dimension >
    struct FrontalHolePiece
    {
        FrontalHolePiece();
        FrontalHolePiece( FrontalHolePiece&& ) noexcept;
        FrontalHolePiece& operator=( FrontalHolePiece&& ) noexcept;
        ~FrontalHolePiece();

        /// Copies of the hole's macro polygons, then the collar triangles.
        std::unique_ptr< TriangulatedSurface< dimension > > mesh;
        /// Per piece vertex: the output vertex of its macro vertex, or NO_ID.
        std::vector< index_t > output_vertices;
        /// Per piece vertex: the macro vertex it copies.
        std::vector< index_t > macro_vertices;
        /// Per element of the cycle, in cycle order: the piece vertices along
        /// the element's macro path, from its v1 back to its v0.
        std::vector< std::vector< index_t > > element_chains;
        /// Piece triangles copied from macro polygons outside the hole that
        /// touch one of its boundary vertices.
        std::vector< index_t > collar_triangles;
    };

    /// What the frontal remesher hands back.
    template < index_t dimension >
    struct FrontalResult
    {
        FrontalResult();
        FrontalResult( FrontalResult&& ) noexcept;
        FrontalResult& operator=( FrontalResult&& ) noexcept;
        ~FrontalResult();

        /// The output surface.
        std::unique_ptr< TriangulatedSurface< dimension > > mesh;
        /// One (macro vertex, fixed) pair per output vertex, in order.
        std::vector< std::pair< index_t, bool > > created_vertices;
        /// The hole pieces, in the order of their cycles.
        absl::InlinedVector< FrontalHolePiece< dimension >, 1 > holes;
    };
} // namespace orvane::internal
