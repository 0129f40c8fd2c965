#include <openorvane/model/boundary_intersections.hpp>

#include <algorithm>

#include <openorvane/geometry/intersection.hpp>
#include <openorvane/geometry/intersection_detection.hpp>
#include <openorvane/geometry/position.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/surface_mesh.hpp>
#include <openorvane/model/brep.hpp>

namespace
{
    double along( const orvane::InfiniteLine< 3 >& line, const orvane::Point3D& point )
    {
        return orvane::Vector3D{ line.origin(), point }.dot( line.direction() );
    }

    std::optional< orvane::LineBoundaryIntersection > triangle_hit(
        const orvane::InfiniteLine< 3 >& line, const orvane::Triangle< 3 >& triangle )
    {
        using orvane::POSITION;
        const auto position =
            orvane::line_triangle_intersection_detection( line, triangle );
        if( position == POSITION::outside )
        {
            return std::nullopt;
        }
        const auto& vertices = triangle.vertices();
        orvane::LineBoundaryIntersection hit;
        if( position == POSITION::parallel )
        {
            hit.parallel = true;
            hit.point = vertices[0];
            hit.distance = along( line, vertices[0] );
            for( const auto& vertex : vertices )
            {
                const auto distance = along( line, vertex );
                if( distance > hit.distance )
                {
                    hit.distance = distance;
                    hit.point = vertex;
                }
            }
            return hit;
        }
        if( orvane::detail::orient3d(
                vertices[0], vertices[1], vertices[2], line.origin() )
            == 0. )
        {
            // The origin itself lies on the triangle.
            hit.point = line.origin();
            hit.distance = 0.;
            return hit;
        }
        if( position == POSITION::vertex0 || position == POSITION::vertex1
            || position == POSITION::vertex2 )
        {
            hit.point = vertices[orvane::detail::position_to_index( position )];
        }
        else
        {
            const auto crossing = orvane::line_triangle_intersection( line, triangle );
            if( crossing.type != orvane::INTERSECTION_TYPE::intersect )
            {
                // The exact test found a crossing that the rounded
                // computation misses: take the plane crossing instead.
                const auto plane = triangle.plane();
                if( !plane )
                {
                    return std::nullopt;
                }
                const auto crossing_plane =
                    orvane::line_plane_intersection( line, plane.value() );
                if( crossing_plane.type != orvane::INTERSECTION_TYPE::intersect )
                {
                    return std::nullopt;
                }
                hit.point = crossing_plane.result.value();
            }
            else
            {
                hit.point = crossing.result.value();
            }
        }
        hit.distance = along( line, hit.point );
        return hit;
    }
} // namespace

namespace orvane
{
    std::vector< LineBoundaryIntersection > find_intersections_with_boundaries(
        const InfiniteLine< 3 >& line, const BRep& model, const Block< 3 >& block )
    {
        std::vector< LineBoundaryIntersection > hits;
        for( const auto& surface : model.boundaries( block ) )
        {
            const auto& mesh = surface.mesh();
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                const auto vertices = mesh.polygon_vertices( p );
                const Triangle< 3 > triangle{ mesh.point( vertices[0] ),
                    mesh.point( vertices[1] ), mesh.point( vertices[2] ) };
                const auto hit = triangle_hit( line, triangle );
                if( !hit )
                {
                    continue;
                }
                const auto same = std::find_if( hits.begin(), hits.end(),
                    [&hit]( const LineBoundaryIntersection& other ) {
                        return other.point.inexact_equal( hit->point );
                    } );
                if( same == hits.end() )
                {
                    hits.push_back( hit.value() );
                }
                else
                {
                    same->parallel = same->parallel || hit->parallel;
                }
            }
        }
        std::stable_sort( hits.begin(), hits.end(),
            []( const LineBoundaryIntersection& lhs,
                const LineBoundaryIntersection& rhs ) {
                return lhs.distance < rhs.distance;
            } );
        return hits;
    }
} // namespace orvane
