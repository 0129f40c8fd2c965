#pragma once

#include <array>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>

// Exact contact rules between the elements of meshes, on which the
// intersection finders decide. Every decision is a sign of an exact
// orientation predicate or an exact comparison of coordinates: no
// tolerance enters, except the point-equality rule that lets a curve end
// coincide with a surface vertex.

namespace orvane::detail
{
    /// A triangle of a mesh: its three vertex ids and their points. The
    /// points must outlive the record. Two vertex ids that are equal must
    /// name equal points.
    struct MeshTriangle
    {
        std::array< index_t, 3 > vertices;
        std::array< const Point< 3 >*, 3 > points;
    };

    /// Whether two closed triangles of one mesh meet beyond what their
    /// common vertices (by id) span:
    /// - no common vertex: any common point counts, touching included;
    /// - one common vertex: any common point other than that vertex;
    /// - a common edge: any common point off that edge, which for proper
    ///   triangles is a coplanar overlap of their interiors (a fold);
    /// - three common vertices: never.
    /// A degenerate (exactly collinear) triangle is the segment its points
    /// span.
    bool mesh_triangles_intersect(
        const MeshTriangle& triangle0, const MeshTriangle& triangle1 );

    /// Whether the closed segment meets the closed triangle elsewhere than
    /// at a segment end that coincides with a triangle vertex under point
    /// equality (Point::inexact_equal). Such an end is taken at the vertex
    /// itself, so that a segment ending on a vertex within the tolerance
    /// counts only when it goes on into the triangle. A degenerate triangle
    /// is the segment its points span.
    bool segment_triangle_intersect( const Point< 3 >& segment_start,
        const Point< 3 >& segment_end,
        const std::array< const Point< 3 >*, 3 >& triangle );
} // namespace orvane::detail
