#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include <absl/strings/str_cat.h>
#include <gtest/gtest.h>

#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

#include <common/cutter/surface_cut_along_path.hpp>

#include <tests/common/cutter/surface_path_walker.hpp>

namespace orvane::test
{
    /// What a cut from `begin` to `end` must have made of the path.
    struct CutPathExpectation
    {
        /// The begin and end vertices after the cut (a collapse may have
        /// replaced them).
        index_t begin{ NO_ID };
        index_t end{ NO_ID };
        /// The straight path, seen from above.
        Point< 2 > from;
        Point< 2 > to;
        /// Largest distance, seen from above, of a vertex made by a split
        /// from the straight path; vertices that existed or that a collapse
        /// moved onto an existing one may also lie up to 1e-6 further.
        double tolerance{ 1e-9 };
    };

    /// The cut vertices form one chain of live surface edges from the begin
    /// vertex to the end vertex, lying on the straight path; each edge of the
    /// chain is listed on the left in the path's direction and on the right
    /// in the other, and the path lists hold nothing else.
    template < index_t dimension >
    ::testing::AssertionResult is_cut_path_chain(
        const TriangulatedSurface< dimension >& mesh,
        const SurfaceCutAlongPathResult& result,
        const CutPathExpectation& expected )
    {
        const auto& cuts = result.cut_vertices;
        if( cuts.empty() || cuts.front().vertex != expected.begin
            || cuts.back().vertex != expected.end )
        {
            return ::testing::AssertionFailure()
                   << "the cut vertices do not run from " << expected.begin
                   << " to " << expected.end << " (" << cuts.size()
                   << " entries)";
        }
        const auto listed = []( const std::vector< SurfaceCutEdge >& edges,
                                const PolygonEdge& edge ) {
            return std::any_of( edges.begin(), edges.end(),
                [&edge]( const SurfaceCutEdge& entry ) { return entry.edge == edge; } );
        };
        std::size_t nb_path_edges{ 0 };
        for( std::size_t i = 0; i < cuts.size(); i++ )
        {
            const auto vertex = cuts[i].vertex;
            if( vertex == NO_ID || mesh.is_vertex_isolated( vertex ) )
            {
                return ::testing::AssertionFailure()
                       << "cut " << i << " lies on no live vertex";
            }
            const auto& sources = cuts[i].source_vertices;
            const bool made_by_split = sources.size() == 1 && sources[0] == NO_ID;
            const auto tolerance =
                expected.tolerance + ( made_by_split ? 0. : 1e-6 );
            const auto distance = std::get< 0 >( point_segment_distance(
                seen_from_above( mesh.point( vertex ) ),
                Segment< 2 >{ expected.from, expected.to } ) );
            if( distance > tolerance )
            {
                return ::testing::AssertionFailure()
                       << "cut vertex " << vertex << " lies " << distance
                       << " from the path";
            }
            if( i + 1 == cuts.size() )
            {
                continue;
            }
            const auto next = cuts[i + 1].vertex;
            const auto along = mesh.polygon_edge_from_vertices( vertex, next );
            const auto against = mesh.polygon_edge_from_vertices( next, vertex );
            if( !along && !against )
            {
                return ::testing::AssertionFailure()
                       << "no edge joins cut vertices " << vertex << " and "
                       << next << " (cuts " << i << " and " << i + 1 << ")";
            }
            if( along && !listed( result.left_path_edges, along.value() ) )
            {
                return ::testing::AssertionFailure()
                       << "path edge " << along->string() << " from " << vertex
                       << " to " << next << " is not on the left";
            }
            if( against && !listed( result.right_path_edges, against.value() ) )
            {
                return ::testing::AssertionFailure()
                       << "path edge " << against->string() << " from " << next
                       << " to " << vertex << " is not on the right";
            }
            nb_path_edges += ( along ? 1 : 0 ) + ( against ? 1 : 0 );
        }
        if( result.left_path_edges.size() + result.right_path_edges.size()
            != nb_path_edges )
        {
            return ::testing::AssertionFailure()
                   << "the path lists hold "
                   << result.left_path_edges.size()
                          + result.right_path_edges.size()
                   << " edges for a chain of " << nb_path_edges
                   << " half-edges";
        }
        return ::testing::AssertionSuccess();
    }
} // namespace orvane::test
