#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/mapping.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/mesh/surface_mesh.hpp>

#include <background/background_solid.hpp>

// Checks of what the inserter leaves in a background solid: the facets
// carrying an input polygon cover exactly the part of the polygon inside
// the solid, and the edges carrying an input edge the part of the edge.

namespace orvane::test
{
    inline Triangle< 3 > surface_triangle(
        const SurfaceMesh< 3 >& surface, index_t polygon )
    {
        return { surface.point( surface.polygon_vertex( { polygon, 0 } ) ),
            surface.point( surface.polygon_vertex( { polygon, 1 } ) ),
            surface.point( surface.polygon_vertex( { polygon, 2 } ) ) };
    }

    /// The part of a triangle inside an axis-aligned box, as a convex
    /// polygon (empty when they do not meet).
    inline std::vector< Point< 3 > > clip_to_box( const Triangle< 3 >& triangle,
        const Point< 3 >& min,
        const Point< 3 >& max )
    {
        std::vector< Point< 3 > > polygon(
            triangle.vertices().begin(), triangle.vertices().end() );
        for( const local_index_t axis : { 0, 1, 2 } )
        {
            for( const double sign : { 1., -1. } )
            {
                const auto bound = sign > 0 ? max.value( axis ) : min.value( axis );
                // Keeps the side where sign * (x - bound) <= 0.
                std::vector< Point< 3 > > kept;
                for( std::size_t i = 0; i < polygon.size(); i++ )
                {
                    const auto& p = polygon[i];
                    const auto& q = polygon[( i + 1 ) % polygon.size()];
                    const auto dp = sign * ( p.value( axis ) - bound );
                    const auto dq = sign * ( q.value( axis ) - bound );
                    if( dp <= 0 )
                    {
                        kept.push_back( p );
                    }
                    if( ( dp < 0 && dq > 0 ) || ( dp > 0 && dq < 0 ) )
                    {
                        kept.push_back( p + ( q - p ) * ( dp / ( dp - dq ) ) );
                    }
                }
                polygon = std::move( kept );
            }
        }
        return polygon;
    }

    inline double area_in_box( const Triangle< 3 >& triangle,
        const Point< 3 >& min,
        const Point< 3 >& max )
    {
        const auto polygon = clip_to_box( triangle, min, max );
        double area{ 0 };
        for( std::size_t i = 2; i < polygon.size(); i++ )
        {
            area += triangle_area(
                Triangle< 3 >{ polygon[0], polygon[i - 1], polygon[i] } );
        }
        return area;
    }

    /// The length of the part of a segment inside an axis-aligned box.
    inline double length_in_box( const Segment< 3 >& segment,
        const Point< 3 >& min,
        const Point< 3 >& max )
    {
        const auto& a = segment.vertices()[0];
        const auto& b = segment.vertices()[1];
        double enter{ 0 };
        double leave{ 1 };
        for( const local_index_t axis : { 0, 1, 2 } )
        {
            const auto delta = b.value( axis ) - a.value( axis );
            if( delta == 0 )
            {
                if( a.value( axis ) < min.value( axis )
                    || a.value( axis ) > max.value( axis ) )
                {
                    return 0;
                }
                continue;
            }
            auto t0 = ( min.value( axis ) - a.value( axis ) ) / delta;
            auto t1 = ( max.value( axis ) - a.value( axis ) ) / delta;
            enter = std::max( enter, std::min( t0, t1 ) );
            leave = std::min( leave, std::max( t0, t1 ) );
        }
        return leave > enter ? ( leave - enter ) * segment.length() : 0.;
    }

    /// The facets whose provenance holds the polygon.
    inline std::vector< index_t > facets_with_record(
        const internal::BackgroundSolid& solid, const MeshPolygon& record )
    {
        std::vector< index_t > facets;
        for( index_t facet = 0; facet < solid.facets().nb_facets(); facet++ )
        {
            const auto& records = solid.init_facet_ids( facet );
            if( std::find( records.begin(), records.end(), record ) != records.end() )
            {
                facets.push_back( facet );
            }
        }
        return facets;
    }

    /// Success when the facets carrying the record lie on the triangle and
    /// their areas add up to `area`: the facets of a valid solid do not
    /// overlap, so they then cover that much of the triangle exactly. For a
    /// cleaned solid, whose facets are all in use.
    inline ::testing::AssertionResult covers_triangle(
        const internal::BackgroundSolid& solid,
        const MeshPolygon& record,
        const Triangle< 3 >& triangle,
        double area )
    {
        double covered{ 0 };
        for( const auto facet : facets_with_record( solid, record ) )
        {
            const auto& vertices = solid.facets().facet_vertices( facet );
            const Triangle< 3 > piece{ solid.point( vertices[0] ),
                solid.point( vertices[1] ), solid.point( vertices[2] ) };
            for( const auto& point : piece.vertices() )
            {
                const auto distance =
                    std::get< 0 >( point_triangle_distance( point, triangle ) );
                if( distance > 1e-6 )
                {
                    return ::testing::AssertionFailure()
                           << "facet " << facet << " has a vertex " << distance
                           << " off the triangle";
                }
            }
            covered += triangle_area( piece );
        }
        if( std::abs( covered - area ) > 1e-8 * std::max( 1., area ) )
        {
            return ::testing::AssertionFailure()
                   << "the facets cover " << covered << " of " << area;
        }
        return ::testing::AssertionSuccess();
    }

    /// The same for the edges carrying an input edge record along a
    /// segment.
    inline ::testing::AssertionResult covers_segment(
        const internal::BackgroundSolid& solid,
        const MeshEdge& record,
        const Segment< 3 >& segment,
        double length )
    {
        double covered{ 0 };
        for( index_t edge = 0; edge < solid.edges().nb_edges(); edge++ )
        {
            const auto& records = solid.init_edge_ids( edge );
            if( std::find( records.begin(), records.end(), record ) == records.end() )
            {
                continue;
            }
            const auto& vertices = solid.edges().edge_vertices( edge );
            for( const auto vertex : vertices )
            {
                const auto distance = std::get< 0 >(
                    point_segment_distance( solid.point( vertex ), segment ) );
                if( distance > 1e-6 )
                {
                    return ::testing::AssertionFailure()
                           << "edge " << edge << " has a vertex " << distance
                           << " off the segment";
                }
            }
            covered += point_point_distance(
                solid.point( vertices[0] ), solid.point( vertices[1] ) );
        }
        if( std::abs( covered - length ) > 1e-8 * std::max( 1., length ) )
        {
            return ::testing::AssertionFailure()
                   << "the edges cover " << covered << " of " << length;
        }
        return ::testing::AssertionSuccess();
    }
} // namespace orvane::test
