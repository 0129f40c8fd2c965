#include <simplex/repair/repair_brep_surfaces.hpp>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/intersection.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/geometry/projection.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/edged_curve_aabb.hpp>
#include <openorvane/mesh/surface_aabb.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/line.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>
#include <openorvane/model/surface.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>
#include <common/modifier/brep_geometric_modifier_previews.hpp>

#include <simplex/remeshing_data.hpp>
#include <simplex/repair/repair_geometry.hpp>

// The cached trees of the repairer and the geometric queries that read them.

namespace
{
    using namespace orvane;

    const TriangulatedSurface< 3 >& triangulated( const Surface< 3 >& surface )
    {
        return dynamic_cast< const TriangulatedSurface< 3 >& >( surface.mesh() );
    }

    /// Whether the triangle faces against the direction: the exact sign of
    /// direction . ((b - a) x (c - a)) is negative. A triangle without
    /// normal faces nowhere.
    bool faces_against(
        const TriangulatedSurface< 3 >& mesh, index_t triangle, const Vector< 3 >& direction )
    {
        if( !mesh.polygon_normal( triangle ) )
        {
            return false;
        }
        const auto corners = mesh.triangle( triangle );
        const auto& points = corners.vertices();
        return tetrahedron_volume_sign(
                   Tetrahedron{ points[0], points[1], points[2], points[0] + direction } )
               == SIDE::negative;
    }
} // namespace

namespace orvane::internal
{
    const Surface< 3 >& RepairBRepSurfaces::input_surface_of(
        const Surface< 3 >& output_surface ) const
    {
        return input_.surface( input_component_id( data_, output_surface.component_id() ) );
    }

    const AABBTree< 3 >& RepairBRepSurfaces::input_surface_tree(
        const Surface< 3 >& output_surface )
    {
        auto& tree = input_surface_trees_.at( output_surface.id() );
        if( !tree )
        {
            tree.emplace( create_aabb_tree( input_surface_of( output_surface ).mesh() ) );
        }
        return *tree;
    }

    const AABBTree< 3 >& RepairBRepSurfaces::input_line_tree( const Line< 3 >& output_line )
    {
        auto& tree = input_line_trees_.at( output_line.id() );
        if( !tree )
        {
            const auto& input_line =
                input_.line( input_component_id( data_, output_line.component_id() ) );
            tree.emplace( create_aabb_tree( input_line.mesh() ) );
        }
        return *tree;
    }

    const AABBTree< 3 >& RepairBRepSurfaces::output_surface_tree(
        const Surface< 3 >& output_surface )
    {
        auto& tree = output_surface_trees_.at( output_surface.id() );
        if( !tree )
        {
            tree.emplace( create_aabb_tree( output_surface.mesh() ) );
        }
        return *tree;
    }

    void RepairBRepSurfaces::surface_changed( const uuid& output_surface )
    {
        output_surface_trees_.at( output_surface ).reset();
        const auto input_id = input_component_id(
            data_, output_.surface( output_surface ).component_id() );
        surfaces_to_check_[input_id] = true;
    }

    const std::vector< uuid >& RepairBRepSurfaces::candidate_surfaces(
        const uuid& input_surface ) const
    {
        return candidate_surfaces_.at( input_surface );
    }

    RepairSide RepairBRepSurfaces::make_side(
        const Surface< 3 >& output_surface, std::vector< PolygonEdge > edges )
    {
        return { output_surface, triangulated( output_surface ),
            triangulated( input_surface_of( output_surface ) ), std::move( edges ) };
    }

    bool RepairBRepSurfaces::is_triangle_active(
        const Surface< 3 >& output_surface, index_t triangle )
    {
        return modifier_.surface_modifier( output_surface ).is_polygon_active( triangle );
    }

    std::pair< Point< 3 >, index_t > RepairBRepSurfaces::closest_input_point(
        const RepairSide& side, const PolygonEdge& edge )
    {
        const auto barycenter = side.mesh.edge_barycenter( edge );
        const auto [distance, triangle] = detail::closest_element_box(
            input_surface_tree( side.surface ), barycenter,
            DistanceToTriangle< 3 >{ side.input_mesh } );
        if( triangle == NO_ID )
        {
            throw OpenOrvaneException{ "[RepairBRepSurfaces::closest_input_point] "
                                       "The input surface has no triangle" };
        }
        return { point_triangle_projection( barycenter, side.input_mesh.triangle( triangle ) ),
            triangle };
    }

    std::optional< index_t > RepairBRepSurfaces::inverted_triangle(
        const Surface< 3 >& output_surface, const PolygonEdge& edge )
    {
        const auto& mesh = triangulated( output_surface );
        const auto& input_mesh = triangulated( input_surface_of( output_surface ) );
        const auto& tree = input_surface_tree( output_surface );
        const DistanceToTriangle< 3 > distance{ input_mesh };
        Vector< 3 > normal_sum;
        for( const auto vertex : mesh.polygon_edge_vertices( edge ) )
        {
            const auto closest =
                detail::closest_element_box( tree, mesh.point( vertex ), distance ).second;
            if( closest == NO_ID )
            {
                continue;
            }
            if( const auto normal = input_mesh.polygon_normal( closest ) )
            {
                normal_sum += *normal;
            }
        }
        if( normal_sum.length() <= GLOBAL_EPSILON )
        {
            return std::nullopt;
        }
        if( faces_against( mesh, edge.polygon_id, normal_sum ) )
        {
            return edge.polygon_id;
        }
        if( const auto adjacent = mesh.polygon_adjacent( edge );
            adjacent && faces_against( mesh, *adjacent, normal_sum ) )
        {
            return *adjacent;
        }
        return std::nullopt;
    }

    bool RepairBRepSurfaces::is_split_acceptable(
        const Surface< 3 >& output_surface, const PolygonEdge& edge, const Point< 3 >& point )
    {
        const auto invalid = invalid_split_edge_elements(
            output_, component_mesh_edges( output_, output_surface, edge ), point );
        for( const auto& [surface_id, entries] : invalid.surfaces )
        {
            const auto& surface = output_.surface( surface_id );
            for( const auto& entry : entries )
            {
                if( !inverted_triangle( surface, entry.first ) )
                {
                    return false;
                }
            }
        }
        return true;
    }

    std::optional< Point< 3 > > RepairBRepSurfaces::line_split_point(
        const RepairSide& side, const PolygonEdge& edge )
    {
        const auto edges = component_mesh_edges( output_, side.surface, edge );
        if( edges.lines.size() != 1 )
        {
            throw OpenOrvaneException{
                "[RepairIntersetion] More than one Line found on border, not implemented yet"
            };
        }
        const auto& line = output_.line( edges.lines.begin()->first );
        const auto& input_line =
            input_.line( input_component_id( data_, line.component_id() ) );
        const auto& input_curve = input_line.mesh();
        const auto& tree = input_line_tree( line );
        const DistanceToEdge< 3 > distance{ input_curve };
        const auto vertices = side.mesh.polygon_edge_vertices( edge );
        const auto from =
            detail::closest_element_box( tree, side.mesh.point( vertices[0] ), distance ).second;
        const auto to =
            detail::closest_element_box( tree, side.mesh.point( vertices[1] ), distance ).second;
        if( from == NO_ID || to == NO_ID )
        {
            return std::nullopt;
        }
        const auto plane = edge_median_plane(
            side.mesh, edge, side.mesh.point( edge_apex( side.mesh, edge ) ) );
        for( const auto line_edge : surface_repair::Repair::line_part( input_line, from, to ) )
        {
            const auto crossing =
                segment_plane_intersection( input_curve.segment( line_edge ), plane );
            if( crossing.has_intersection() )
            {
                return crossing.result;
            }
        }
        return std::nullopt;
    }
} // namespace orvane::internal
