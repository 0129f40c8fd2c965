#pragma once

#include <vector>

#include <absl/types/span.h>

#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/surface_mesh.hpp>

#include <common/cutter/determine_cuts.hpp>

namespace orvane::test
{
    /// The vertical plane through two points: the cutting plane of a path
    /// between them over a height field. Any vertical plane through a single
    /// point.
    inline Plane vertical_plane( const Point< 3 >& from, const Point< 3 >& to )
    {
        if( from == to )
        {
            return Plane{ Vector< 3 >{ { 1., 0., 0. } }, from };
        }
        const Vector< 3 > along{ from, to };
        const Vector< 3 > normal{ { along.value( 1 ), -along.value( 0 ), 0. } };
        return Plane{ normal, from };
    }

    /// determine_cuts of the surface, through the vertical plane of the path
    /// in 3-D.
    template < index_t dimension >
    std::vector< SurfaceCut< dimension > > surface_cuts(
        const SurfaceMesh< dimension >& mesh,
        index_t begin,
        index_t end,
        absl::Span< const SurfacePathCrossing > path )
    {
        if constexpr( dimension == 2 )
        {
            return determine_cuts< 2 >( mesh, begin, end, path );
        }
        else
        {
            return determine_cuts< 3 >( mesh, begin, end,
                vertical_plane( mesh.point( begin ), mesh.point( end ) ), path );
        }
    }

    inline SurfacePathCrossing vertex_element( index_t vertex )
    {
        return { PolygonEdge{}, POSITION::outside, vertex, true };
    }

    inline SurfacePathCrossing edge_element(
        PolygonEdge edge, bool toward_adjacent = true )
    {
        return { edge, POSITION::inside, NO_ID, toward_adjacent };
    }

    /// The vertex of each cut (NO_ID for a cut inside an edge).
    template < index_t dimension >
    std::vector< index_t > cut_vertices_of(
        const std::vector< SurfaceCut< dimension > >& cuts )
    {
        std::vector< index_t > vertices;
        for( const auto& cut : cuts )
        {
            vertices.push_back( cut.vertex );
        }
        return vertices;
    }
} // namespace orvane::test
