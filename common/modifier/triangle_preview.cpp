#include <common/modifier/triangle_preview.hpp>

#include <algorithm>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

namespace
{
    using namespace orvane;

    /// The vertex opposite the polygon edge.
    template < index_t dimension >
    index_t opposite_vertex(
        const TriangulatedSurface< dimension >& mesh, const PolygonEdge& edge )
    {
        return mesh.polygon_vertex(
            mesh.previous_polygon_vertex( PolygonVertex{ edge } ) );
    }

    template < index_t dimension >
    bool polygon_holds_vertex( const TriangulatedSurface< dimension >& mesh,
        index_t polygon,
        index_t vertex )
    {
        return mesh.vertex_in_polygon( polygon, vertex ).has_value();
    }

    /// The edge of the polygons between the two vertices, in either
    /// direction.
    template < index_t dimension >
    std::optional< PolygonEdge > any_polygon_edge(
        const TriangulatedSurface< dimension >& mesh,
        const std::array< index_t, 2 >& edge_vertices )
    {
        if( auto edge = mesh.polygon_edge_from_vertices(
                edge_vertices[0], edge_vertices[1] ) )
        {
            return edge;
        }
        return mesh.polygon_edge_from_vertices(
            edge_vertices[1], edge_vertices[0] );
    }

    /// Whether the apexes of the two triangles sharing the edge (seen from
    /// `edge` and from `adjacent`) each lie in more than one triangle: when
    /// both ends of the edge are on the border, collapsing it then pinches
    /// the surface.
    template < index_t dimension >
    bool are_apexes_shared( const TriangulatedSurface< dimension >& mesh,
        const PolygonEdge& edge,
        const PolygonEdge& adjacent )
    {
        return mesh.polygons_around_vertex( opposite_vertex( mesh, edge ) ).size() != 1
               && mesh.polygons_around_vertex( opposite_vertex( mesh, adjacent ) ).size()
                      != 1;
    }
} // namespace

namespace orvane
{
    template < index_t dimension >
    TrianglePreviews< dimension > triangles_after_split_edge(
        const TriangulatedSurface< dimension >& mesh,
        const PolygonEdge& edge,
        const Point< dimension >& point )
    {
        const auto adjacent = mesh.polygon_adjacent_edge( edge );
        TrianglePreviews< dimension > previews( adjacent ? 4 : 2 );
        const auto add_side = [&mesh, &point, &previews](
                                  const PolygonEdge& side, std::size_t first ) {
            const auto vertices = mesh.polygon_edge_vertices( side );
            const auto& apex = mesh.point( opposite_vertex( mesh, side ) );
            previews[first] = { Triangle< dimension >{
                                    mesh.point( vertices[0] ), point, apex },
                side.polygon_id };
            previews[first + 1] = { Triangle< dimension >{
                                        point, mesh.point( vertices[1] ), apex },
                side.polygon_id };
        };
        add_side( edge, 0 );
        if( adjacent )
        {
            add_side( adjacent.value(), 2 );
        }
        return previews;
    }

    std::array< Triangle< 3 >, 3 > triangles_after_split_triangle(
        const TriangulatedSurface< 3 >& mesh,
        index_t polygon,
        const Point< 3 >& point )
    {
        std::array< Triangle< 3 >, 3 > triangles;
        for( local_index_t vertex = 0; vertex < 3; vertex++ )
        {
            triangles[vertex] = mesh.triangle( polygon );
            triangles[vertex].set_point( vertex, point );
        }
        return triangles;
    }

    TrianglePreviews< 3 > triangles_after_move_vertex(
        const TriangulatedSurface< 3 >& mesh,
        index_t vertex,
        const Point< 3 >& point )
    {
        const auto corners = mesh.polygons_around_vertex( vertex );
        return triangles_with_moved_vertices(
            mesh, EdgeVerticesCorners{ corners.begin(), corners.end() }, point );
    }

    template < index_t dimension >
    EdgeVerticesCorners polygons_around_edge_vertices(
        const TriangulatedSurface< dimension >& mesh,
        const std::array< index_t, 2 >& edge_vertices )
    {
        EdgeVerticesCorners corners;
        for( const auto end : { 0, 1 } )
        {
            const auto other_end = edge_vertices[1 - end];
            for( const auto& corner :
                mesh.polygons_around_vertex( edge_vertices[end] ) )
            {
                if( !polygon_holds_vertex( mesh, corner.polygon_id, other_end ) )
                {
                    corners.push_back( corner );
                }
            }
        }
        return corners;
    }

    template < index_t dimension >
    TrianglePreviews< dimension > triangles_with_moved_vertices(
        const TriangulatedSurface< dimension >& mesh,
        const EdgeVerticesCorners& corners,
        const Point< dimension >& point )
    {
        TrianglePreviews< dimension > previews( corners.size() );
        for( std::size_t i = 0; i < corners.size(); i++ )
        {
            auto triangle = mesh.triangle( corners[i].polygon_id );
            triangle.set_point( corners[i].vertex_id, point );
            previews[i] = { std::move( triangle ), corners[i].polygon_id };
        }
        return previews;
    }

    template < index_t dimension >
    TrianglePreviews< dimension > triangles_after_collapse_onto_vertex(
        const TriangulatedSurface< dimension >& mesh,
        const std::array< index_t, 2 >& edge_vertices,
        local_index_t kept_end )
    {
        const auto kept = edge_vertices[kept_end];
        const auto moved = edge_vertices[1 - kept_end];
        const auto kept_corners = mesh.polygons_around_vertex( kept );
        const auto moved_corners = mesh.polygons_around_vertex( moved );
        absl::InlinedVector< bool, 256 > shared( moved_corners.size(), false );
        for( std::size_t i = 0; i < moved_corners.size(); i++ )
        {
            shared[i] = std::any_of( kept_corners.begin(), kept_corners.end(),
                [&]( const PolygonVertex& corner ) {
                    return corner.polygon_id == moved_corners[i].polygon_id;
                } );
        }
        EdgeVerticesCorners corners;
        for( std::size_t i = 0; i < moved_corners.size(); i++ )
        {
            if( !shared[i] )
            {
                corners.push_back( moved_corners[i] );
            }
        }
        return triangles_with_moved_vertices( mesh, corners, mesh.point( kept ) );
    }

    namespace
    {
        template < index_t dimension >
        bool are_kept_triangles_valid(
            const TrianglePreviews< dimension >& previews )
        {
            if constexpr( dimension == 2 )
            {
                return std::all_of( previews.begin(), previews.end(),
                    []( const TrianglePreview< 2 >& preview ) {
                        return triangle_area_sign( preview.triangle )
                               == SIDE::positive;
                    } );
            }
            else
            {
                static_cast< void >( previews );
                return true;
            }
        }

        /// The corner of the triangle's vertex before `corner`'s.
        PolygonVertex previous_corner( const PolygonVertex& corner )
        {
            return { corner.polygon_id,
                static_cast< local_index_t >( ( corner.vertex_id + 2 ) % 3 ) };
        }

        /// The fans of both ends of a collapsed edge, walked once for the
        /// whole validity test, with the other two vertices of each
        /// corner's triangle read once.
        struct EndFans
        {
            std::array< index_t, 2 > vertices;
            std::array< PolygonsAroundVertex, 2 > fans;
            /// Entry i of a side belongs to corner i of the same fan.
            std::array< CornersSides, 2 > sides;

            std::size_t end_of( index_t vertex ) const
            {
                return vertex == vertices[0] ? 0 : 1;
            }
        };

        template < index_t dimension >
        EndFans end_fans( const TriangulatedSurface< dimension >& mesh,
            const std::array< index_t, 2 >& edge_vertices )
        {
            // Both walks start from the ends' stored corners: load the
            // second one while the first walk runs.
            mesh.prefetch_vertices( edge_vertices );
            EndFans ends;
            ends.vertices = edge_vertices;
            for( const auto end : { 0, 1 } )
            {
                ends.fans[end] =
                    mesh.polygons_around_vertex( edge_vertices[end], ends.sides[end] );
            }
            return ends;
        }

        /// The polygon edge running from `from` to `to` found in the fans as
        /// polygon_edge_from_vertices finds it: a corner of `from` whose next
        /// vertex is `to`, else a corner of `to` whose previous vertex is
        /// `from`.
        std::optional< PolygonEdge > polygon_edge_in_fans(
            const EndFans& ends, index_t from, index_t to )
        {
            const auto from_end = ends.end_of( from );
            const auto& from_fan = ends.fans[from_end];
            for( std::size_t i = 0; i < from_fan.size(); i++ )
            {
                if( ends.sides[from_end][i].next == to )
                {
                    return PolygonEdge{ from_fan[i] };
                }
            }
            const auto to_end = ends.end_of( to );
            const auto& to_fan = ends.fans[to_end];
            for( std::size_t i = 0; i < to_fan.size(); i++ )
            {
                if( ends.sides[to_end][i].previous == from )
                {
                    return PolygonEdge{ previous_corner( to_fan[i] ) };
                }
            }
            return std::nullopt;
        }

        /// Whether the end's fan joins it to the vertex.
        bool is_fan_neighbour(
            const EndFans& ends, std::size_t end, index_t vertex )
        {
            for( const auto& side : ends.sides[end] )
            {
                if( side.next == vertex || side.previous == vertex )
                {
                    return true;
                }
            }
            return false;
        }

        /// detail::edge_common_vertices( mesh, edge ).link_broken, counted
        /// on the fans: the neighbours of the second end are visited once
        /// each, in order of first appearance, and those of the first end
        /// are looked up in its fan.
        template < index_t dimension >
        bool is_link_broken( const TriangulatedSurface< dimension >& mesh,
            const EndFans& ends,
            const PolygonEdge& edge )
        {
            const auto vertices = mesh.polygon_edge_vertices( edge );
            const auto first_end = ends.end_of( vertices[0] );
            const auto& second_sides = ends.sides[ends.end_of( vertices[1] )];
            const std::size_t allowed = mesh.is_edge_on_border( edge ) ? 1 : 2;
            absl::InlinedVector< index_t, 20 > visited( 2 * second_sides.size() );
            auto* const first = visited.data();
            auto* last = first;
            std::size_t nb_common{ 0 };
            const auto is_common_again = [&]( index_t vertex ) {
                for( const auto* seen = first; seen != last; seen++ )
                {
                    if( *seen == vertex )
                    {
                        return false;
                    }
                }
                *last++ = vertex;
                return is_fan_neighbour( ends, first_end, vertex )
                       && ++nb_common > allowed;
            };
            for( const auto& side : second_sides )
            {
                if( is_common_again( side.next ) || is_common_again( side.previous ) )
                {
                    return true;
                }
            }
            return false;
        }

        /// mesh.is_vertex_on_border, on the vertex's fan.
        template < index_t dimension >
        bool is_fan_on_border( const TriangulatedSurface< dimension >& mesh,
            const PolygonsAroundVertex& fan )
        {
            return std::any_of(
                fan.begin(), fan.end(), [&mesh]( const PolygonVertex& corner ) {
                    return mesh.is_edge_on_border( PolygonEdge{ corner } )
                           || mesh.is_edge_on_border(
                               PolygonEdge{ previous_corner( corner ) } );
                } );
        }

        /// detail::collapse_pinches_border, with the ends' border test made
        /// on their fans.
        template < index_t dimension >
        bool pinches_border( const TriangulatedSurface< dimension >& mesh,
            const EndFans& ends,
            const PolygonEdge& edge )
        {
            const auto adjacent = mesh.polygon_adjacent_edge( edge );
            if( !adjacent )
            {
                return false;
            }
            if( !is_fan_on_border( mesh, ends.fans[0] )
                || !is_fan_on_border( mesh, ends.fans[1] ) )
            {
                return false;
            }
            return are_apexes_shared( mesh, edge, adjacent.value() );
        }

        /// The edge is looked up in both directions, so that the verdict
        /// does not depend on the order of the ends. The same verdict as the
        /// detail:: tests, with each end's fan walked once.
        template < index_t dimension >
        bool is_collapse_topologically_valid(
            const TriangulatedSurface< dimension >& mesh, const EndFans& ends )
        {
            const auto& vertices = ends.vertices;
            auto edge = polygon_edge_in_fans( ends, vertices[0], vertices[1] );
            if( !edge )
            {
                edge = polygon_edge_in_fans( ends, vertices[1], vertices[0] );
            }
            if( !edge )
            {
                return true;
            }
            if( is_link_broken( mesh, ends, edge.value() )
                || detail::collapse_duplicates_triangles( mesh, edge.value() )
                || detail::collapse_removes_every_polygon( mesh, edge.value() ) )
            {
                return false;
            }
            return !pinches_border( mesh, ends, edge.value() );
        }

        /// The corners of the fan whose polygon does not hold the vertex.
        template < index_t dimension >
        void add_corners_without( const TriangulatedSurface< dimension >& mesh,
            const PolygonsAroundVertex& fan,
            index_t vertex,
            EdgeVerticesCorners& corners )
        {
            for( const auto& corner : fan )
            {
                if( !polygon_holds_vertex( mesh, corner.polygon_id, vertex ) )
                {
                    corners.push_back( corner );
                }
            }
        }
    } // namespace

    template < index_t dimension >
    bool is_collapse_edge_valid( const TriangulatedSurface< dimension >& mesh,
        const std::array< index_t, 2 >& edge_vertices,
        const Point< dimension >& point )
    {
        const auto ends = end_fans( mesh, edge_vertices );
        if constexpr( dimension == 2 )
        {
            // Only the plane checks the kept triangles.
            EdgeVerticesCorners corners;
            add_corners_without( mesh, ends.fans[0], edge_vertices[1], corners );
            add_corners_without( mesh, ends.fans[1], edge_vertices[0], corners );
            if( !are_kept_triangles_valid(
                    triangles_with_moved_vertices( mesh, corners, point ) ) )
            {
                return false;
            }
        }
        else
        {
            static_cast< void >( point );
        }
        return is_collapse_topologically_valid( mesh, ends );
    }

    template < index_t dimension >
    bool is_collapse_edge_valid( const TriangulatedSurface< dimension >& mesh,
        const std::array< index_t, 2 >& edge_vertices,
        local_index_t kept_end )
    {
        if constexpr( dimension == 2 )
        {
            if( !are_kept_triangles_valid( triangles_after_collapse_onto_vertex(
                    mesh, edge_vertices, kept_end ) ) )
            {
                return false;
            }
        }
        else
        {
            static_cast< void >( kept_end );
        }
        return is_collapse_topologically_valid(
            mesh, end_fans( mesh, edge_vertices ) );
    }

    TrianglesSwapPreview triangles_after_swap_edge(
        const TriangulatedSurface< 3 >& mesh, const PolygonEdge& edge )
    {
        const auto adjacent = mesh.polygon_adjacent_edge( edge );
        if( !adjacent )
        {
            throw OpenOrvaneException{
                "[triangles_after_swap_edge] Swap edge can only be simulated on "
                "edge with an adjacent"
            };
        }
        const auto vertices = mesh.polygon_edge_vertices( edge );
        const auto& apex = mesh.point( opposite_vertex( mesh, edge ) );
        const auto& other_apex =
            mesh.point( opposite_vertex( mesh, adjacent.value() ) );
        TrianglesSwapPreview preview{ absl::FixedArray< Triangle< 3 >, 10 >( 2 ),
            absl::FixedArray< index_t, 64 >( 2 ) };
        preview.triangles[0] =
            Triangle< 3 >{ mesh.point( vertices[0] ), other_apex, apex };
        preview.triangles[1] =
            Triangle< 3 >{ mesh.point( vertices[1] ), apex, other_apex };
        preview.polygons[0] = edge.polygon_id;
        preview.polygons[1] = adjacent->polygon_id;
        return preview;
    }

    namespace
    {
        /// Whether swapping the inner edge would make a degenerate triangle
        /// (both opposite vertices are one vertex) or duplicate an edge that
        /// a polygon already has.
        bool is_swap_diagonal_blocked( const TriangulatedSurface< 3 >& mesh,
            const PolygonEdge& edge,
            const PolygonEdge& adjacent )
        {
            const auto apex = opposite_vertex( mesh, edge );
            const auto other_apex = opposite_vertex( mesh, adjacent );
            return apex == other_apex
                   || !mesh.polygons_from_edge_vertices( { apex, other_apex } )
                           .empty();
        }
    } // namespace

    bool is_swap_edge_topologically_valid(
        const TriangulatedSurface< 3 >& mesh, const PolygonEdge& edge )
    {
        const auto adjacent = mesh.polygon_adjacent_edge( edge );
        if( !adjacent )
        {
            return false;
        }
        return !is_swap_diagonal_blocked( mesh, edge, adjacent.value() );
    }

    namespace detail
    {
        template < index_t dimension >
        EdgeCommonVertices edge_common_vertices(
            const TriangulatedSurface< dimension >& mesh,
            const PolygonEdge& edge )
        {
            const auto vertices = mesh.polygon_edge_vertices( edge );
            const auto around_first = mesh.vertices_around_vertex( vertices[0] );
            EdgeCommonVertices result;
            for( const auto vertex : mesh.vertices_around_vertex( vertices[1] ) )
            {
                if( std::find( around_first.begin(), around_first.end(), vertex )
                    != around_first.end() )
                {
                    result.vertices.push_back( vertex );
                }
            }
            const std::size_t allowed = mesh.is_edge_on_border( edge ) ? 1 : 2;
            result.link_broken = result.vertices.size() > allowed;
            return result;
        }

        template < index_t dimension >
        bool collapse_duplicates_triangles(
            const TriangulatedSurface< dimension >& mesh,
            const PolygonEdge& edge )
        {
            const auto adjacent = mesh.polygon_adjacent_edge( edge );
            if( !adjacent )
            {
                return false;
            }
            const auto other_apex = opposite_vertex( mesh, adjacent.value() );
            if( opposite_vertex( mesh, edge ) == other_apex )
            {
                return true;
            }
            // With one fan per vertex, the triangle of an end and both apexes
            // can only be the neighbour across the edge joining that end to
            // the first apex.
            for( const auto& side :
                { mesh.next_polygon_edge( edge ), mesh.previous_polygon_edge( edge ) } )
            {
                const auto neighbour = mesh.polygon_adjacent( side );
                if( !neighbour || neighbour.value() >= mesh.nb_polygons()
                    || !polygon_holds_vertex( mesh, neighbour.value(), other_apex ) )
                {
                    return false;
                }
            }
            return true;
        }

        template < index_t dimension >
        bool collapse_removes_every_polygon(
            const TriangulatedSurface< dimension >& mesh,
            const PolygonEdge& edge )
        {
            // The polygons holding both ends are the edge's polygon and its
            // neighbour across the edge. With one fan per vertex, an end has
            // no other polygon exactly when the other edges through it in
            // these polygons lead nowhere else.
            const auto polygon = edge.polygon_id;
            const auto adjacent = mesh.polygon_adjacent_edge( edge );
            const auto other = adjacent ? adjacent->polygon_id : NO_ID;
            const auto leads_nowhere_else = [&mesh, polygon, other](
                                                const PolygonEdge& side ) {
                const auto neighbour = mesh.polygon_adjacent( side );
                return !neighbour || neighbour.value() == polygon
                       || neighbour.value() == other;
            };
            // The first end lies on the edge's previous edge, the second on
            // its next edge; in the neighbour, the other way round.
            if( !leads_nowhere_else( mesh.previous_polygon_edge( edge ) )
                || !leads_nowhere_else( mesh.next_polygon_edge( edge ) ) )
            {
                return false;
            }
            return !adjacent
                   || ( leads_nowhere_else( mesh.next_polygon_edge( adjacent.value() ) )
                        && leads_nowhere_else(
                            mesh.previous_polygon_edge( adjacent.value() ) ) );
        }

        template < index_t dimension >
        bool collapse_pinches_border( const TriangulatedSurface< dimension >& mesh,
            const PolygonEdge& edge )
        {
            const auto adjacent = mesh.polygon_adjacent_edge( edge );
            if( !adjacent )
            {
                return false;
            }
            const auto vertices = mesh.polygon_edge_vertices( edge );
            if( !mesh.is_vertex_on_border( vertices[0] )
                || !mesh.is_vertex_on_border( vertices[1] ) )
            {
                return false;
            }
            return are_apexes_shared( mesh, edge, adjacent.value() );
        }

        SurfaceOperationReport check_collapse_edge(
            const TriangulatedSurface< 3 >& mesh,
            const std::array< index_t, 2 >& edge_vertices,
            TrianglePreviews< 3 > kept_triangles )
        {
            SurfaceOperationReport report;
            report.invalid_elements.reserve( kept_triangles.size() );
            report.replaced_elements.reserve( kept_triangles.size() );
            // No polygon edge between the vertices: std::bad_optional_access.
            const auto edge = any_polygon_edge( mesh, edge_vertices ).value();
            auto common = edge_common_vertices( mesh, edge );
            if( common.link_broken )
            {
                report.topology_valid = false;
                report.blocking_vertices = std::move( common.vertices );
            }
            if( collapse_duplicates_triangles( mesh, edge )
                || collapse_removes_every_polygon( mesh, edge ) )
            {
                report.topology_valid = false;
            }
            if( collapse_pinches_border( mesh, edge ) )
            {
                report.topology_valid = false;
                report.manifold_valid = false;
            }
            return report;
        }

        SurfaceOperationReport check_swap_edge(
            const TriangulatedSurface< 3 >& mesh, const PolygonEdge& edge )
        {
            SurfaceOperationReport report;
            static_cast< void >( triangles_after_swap_edge( mesh, edge ) );
            const auto adjacent = mesh.polygon_adjacent_edge( edge ).value();
            if( is_swap_diagonal_blocked( mesh, edge, adjacent ) )
            {
                report.topology_valid = false;
                report.blocking_vertices = { opposite_vertex( mesh, edge ),
                    opposite_vertex( mesh, adjacent ) };
            }
            return report;
        }

        template < index_t dimension >
        std::optional< local_index_t > polygon_vertex_at_point(
            const TriangulatedSurface< dimension >& mesh,
            index_t polygon,
            const Point< dimension >& point )
        {
            for( local_index_t vertex = 0; vertex < 3; vertex++ )
            {
                if( mesh.point( mesh.polygon_vertex( { polygon, vertex } ) )
                        .inexact_equal( point ) )
                {
                    return vertex;
                }
            }
            return std::nullopt;
        }
    } // namespace detail

#define ORVANE_INSTANTIATE_TRIANGLE_PREVIEWS( dimension )                      \
    template TrianglePreviews< dimension > triangles_after_split_edge(         \
        const TriangulatedSurface< dimension >&, const PolygonEdge&,           \
        const Point< dimension >& );                                           \
    template EdgeVerticesCorners polygons_around_edge_vertices(                \
        const TriangulatedSurface< dimension >&,                               \
        const std::array< index_t, 2 >& );                                     \
    template TrianglePreviews< dimension > triangles_with_moved_vertices(      \
        const TriangulatedSurface< dimension >&, const EdgeVerticesCorners&,   \
        const Point< dimension >& );                                           \
    template TrianglePreviews< dimension >                                     \
        triangles_after_collapse_onto_vertex(                                  \
            const TriangulatedSurface< dimension >&,                           \
            const std::array< index_t, 2 >&, local_index_t );                  \
    template bool is_collapse_edge_valid(                                      \
        const TriangulatedSurface< dimension >&,                               \
        const std::array< index_t, 2 >&, const Point< dimension >& );          \
    template bool is_collapse_edge_valid(                                      \
        const TriangulatedSurface< dimension >&,                               \
        const std::array< index_t, 2 >&, local_index_t );                      \
    template EdgeCommonVertices detail::edge_common_vertices(                  \
        const TriangulatedSurface< dimension >&, const PolygonEdge& );         \
    template bool detail::collapse_pinches_border(                             \
        const TriangulatedSurface< dimension >&, const PolygonEdge& );         \
    template bool detail::collapse_duplicates_triangles(                       \
        const TriangulatedSurface< dimension >&, const PolygonEdge& );         \
    template bool detail::collapse_removes_every_polygon(                      \
        const TriangulatedSurface< dimension >&, const PolygonEdge& );         \
    template std::optional< local_index_t > detail::polygon_vertex_at_point(  \
        const TriangulatedSurface< dimension >&, index_t,                      \
        const Point< dimension >& )

    ORVANE_INSTANTIATE_TRIANGLE_PREVIEWS( 2 );
    ORVANE_INSTANTIATE_TRIANGLE_PREVIEWS( 3 );

#undef ORVANE_INSTANTIATE_TRIANGLE_PREVIEWS
} // namespace orvane
