#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <simplex/surface/frontal/frontal_records.hpp>

#include <tests/support/surface_checks.hpp>
#include <tests/support/surface_modifier_checks.hpp>

// Invariants of a frontal remesh: the output stitched to its hole pieces,
// its border, and the shape of its triangles.

namespace orvane::test
{
    /// A triangle of three points given in 3-D coordinates.
    using FlatTriangle = std::array< std::array< double, 3 >, 3 >;

    template < index_t dimension >
    std::array< double, 3 > coordinates( const Point< dimension >& point )
    {
        std::array< double, 3 > xyz{ 0, 0, 0 };
        for( local_index_t c = 0; c < dimension; c++ )
        {
            xyz[c] = point.value( c );
        }
        return xyz;
    }

    inline std::array< double, 3 > difference(
        const std::array< double, 3 >& p, const std::array< double, 3 >& q )
    {
        return { p[0] - q[0], p[1] - q[1], p[2] - q[2] };
    }

    inline std::array< double, 3 > cross(
        const std::array< double, 3 >& u, const std::array< double, 3 >& v )
    {
        return { u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
            u[0] * v[1] - u[1] * v[0] };
    }

    inline double norm( const std::array< double, 3 >& u )
    {
        return std::sqrt( u[0] * u[0] + u[1] * u[1] + u[2] * u[2] );
    }

    /// Twice the area vector of the triangle (its normal times 2 x area).
    inline std::array< double, 3 > area_vector( const FlatTriangle& t )
    {
        return cross( difference( t[1], t[0] ), difference( t[2], t[0] ) );
    }

    inline double area( const FlatTriangle& t )
    {
        return norm( area_vector( t ) ) / 2;
    }

    template < index_t dimension >
    FlatTriangle flat_triangle(
        const SurfaceMesh< dimension >& mesh, index_t polygon )
    {
        FlatTriangle triangle;
        const auto vertices = mesh.polygon_vertices( polygon );
        for( local_index_t v = 0; v < 3; v++ )
        {
            triangle[v] = coordinates( mesh.point( vertices[v] ) );
        }
        return triangle;
    }

    /// The output of a frontal remesh with every hole piece written in:
    /// piece vertices with an output vertex are that vertex, the others new
    /// ones; collar triangles are left out (the output covers them).
    struct StitchedSurface
    {
        std::unique_ptr< TriangulatedSurface< 3 > > mesh;
        /// Triangles of the output, then of the pieces.
        index_t nb_output_triangles{ 0 };
        double output_area{ 0 };
        double hole_area{ 0 };
    };

    template < index_t dimension >
    StitchedSurface stitch( const internal::FrontalResult< dimension >& result )
    {
        StitchedSurface stitched;
        stitched.mesh = TriangulatedSurface< 3 >::create();
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *stitched.mesh );
        const auto& output = *result.mesh;
        for( index_t v = 0; v < output.nb_vertices(); v++ )
        {
            const auto xyz = coordinates( output.point( v ) );
            builder->create_point( Point< 3 >{ { xyz[0], xyz[1], xyz[2] } } );
        }
        for( index_t p = 0; p < output.nb_polygons(); p++ )
        {
            const auto vertices = output.polygon_vertices( p );
            builder->create_triangle( { vertices[0], vertices[1], vertices[2] } );
            stitched.output_area += area( flat_triangle( output, p ) );
        }
        stitched.nb_output_triangles = output.nb_polygons();
        for( const auto& piece : result.holes )
        {
            const auto& mesh = *piece.mesh;
            std::vector< index_t > map( mesh.nb_vertices() );
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                if( piece.output_vertices[v] != NO_ID )
                {
                    map[v] = piece.output_vertices[v];
                    continue;
                }
                const auto xyz = coordinates( mesh.point( v ) );
                map[v] = builder->create_point(
                    Point< 3 >{ { xyz[0], xyz[1], xyz[2] } } );
            }
            const std::set< index_t > collar( piece.collar_triangles.begin(),
                piece.collar_triangles.end() );
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                if( collar.contains( p ) )
                {
                    continue;
                }
                const auto vertices = mesh.polygon_vertices( p );
                builder->create_triangle(
                    { map[vertices[0]], map[vertices[1]], map[vertices[2]] } );
                stitched.hole_area += area( flat_triangle( mesh, p ) );
            }
        }
        builder->compute_polygon_adjacencies();
        return stitched;
    }

    /// The border edges of a surface as (from, to) vertex pairs, sorted.
    inline std::vector< std::pair< index_t, index_t > > border_edges(
        const SurfaceMesh< 3 >& mesh )
    {
        std::vector< std::pair< index_t, index_t > > edges;
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            for( local_index_t e = 0; e < 3; e++ )
            {
                const PolygonEdge edge{ p, e };
                if( mesh.is_edge_on_border( edge ) )
                {
                    edges.emplace_back( mesh.polygon_edge_vertex( edge, 0 ),
                        mesh.polygon_edge_vertex( edge, 1 ) );
                }
            }
        }
        std::sort( edges.begin(), edges.end() );
        return edges;
    }

    /// Shape figures of a triangulated surface against a target length.
    struct MeshQuality
    {
        /// Share of the edges (each counted once per triangle side) whose
        /// length lies within [L / sqrt 2, L sqrt 2].
        double share_in_range{ 0 };
        double min_edge{ 0 };
        double max_edge{ 0 };
        /// Smallest angle of any triangle, in degrees.
        double min_angle{ 0 };
        /// Mean of 2 r / R (1 for an equilateral triangle).
        double mean_radius_ratio{ 0 };
    };

    template < index_t dimension >
    MeshQuality mesh_quality( const SurfaceMesh< dimension >& mesh, double target )
    {
        MeshQuality quality;
        quality.min_edge = std::numeric_limits< double >::max();
        quality.min_angle = 180;
        index_t nb_edges{ 0 };
        index_t nb_in_range{ 0 };
        double ratio_sum{ 0 };
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            const auto t = flat_triangle( mesh, p );
            std::array< double, 3 > lengths;
            for( local_index_t e = 0; e < 3; e++ )
            {
                lengths[e] = norm( difference( t[( e + 1 ) % 3], t[e] ) );
                quality.min_edge = std::min( quality.min_edge, lengths[e] );
                quality.max_edge = std::max( quality.max_edge, lengths[e] );
                nb_edges++;
                if( lengths[e] >= target / std::numbers::sqrt2
                    && lengths[e] <= target * std::numbers::sqrt2 )
                {
                    nb_in_range++;
                }
            }
            const auto a = lengths[0];
            const auto b = lengths[1];
            const auto c = lengths[2];
            const auto doubled_area = 2 * area( t );
            for( local_index_t v = 0; v < 3; v++ )
            {
                // The angle opposite side v + 1 (at vertex v + 2).
                const auto opposite = lengths[( v + 1 ) % 3];
                const auto adjacent0 = lengths[v];
                const auto adjacent1 = lengths[( v + 2 ) % 3];
                const auto cosine = std::clamp( ( adjacent0 * adjacent0
                                                    + adjacent1 * adjacent1
                                                    - opposite * opposite )
                                                    / ( 2 * adjacent0 * adjacent1 ),
                    -1., 1. );
                quality.min_angle = std::min(
                    quality.min_angle, std::acos( cosine ) * 180 / std::numbers::pi );
            }
            // r = 2 area / perimeter, R = abc / (4 area).
            const auto inradius = doubled_area / ( a + b + c );
            const auto circumradius = a * b * c / ( 2 * doubled_area );
            ratio_sum += 2 * inradius / circumradius;
        }
        if( nb_edges > 0 )
        {
            quality.share_in_range = double( nb_in_range ) / nb_edges;
            quality.mean_radius_ratio = ratio_sum / mesh.nb_polygons();
        }
        return quality;
    }
} // namespace orvane::test
