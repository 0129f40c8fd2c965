#include <background/background_solid_edit_context.hpp>

#include <algorithm>

#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/modifier/tetrahedron_preview.hpp>

#include <background/background_solid.hpp>
#include <background/background_solid_modifier.hpp>

namespace orvane
{
    namespace internal
    {
        bool BackgroundSolidEditContext::is_collapse_admissible(
            index_t removed, index_t kept )
        {
            if( is_vertex_tracked( removed ) )
            {
                return false;
            }
            // Every record of the removed vertex must survive on the kept
            // one, and the records of the curves and surfaces it lies on
            // must run along the collapsed edge.
            if( !all_macro_records_included( solid.init_vertex_ids( removed ),
                    solid.init_vertex_ids( kept ) )
                || !all_macro_records_included(
                    solid.vertex_init_edge_ids( removed ),
                    solid.vertex_init_edge_ids( kept ) )
                || !all_macro_records_included(
                    solid.vertex_init_facet_ids( removed ),
                    solid.vertex_init_facet_ids( kept ) ) )
            {
                return false;
            }
            const auto collapsed =
                solid.edges().edge_from_vertices( { removed, kept } );
            if( !collapsed )
            {
                return false;
            }
            const auto& removed_edges = solid.vertex_init_edge_ids( removed );
            if( !removed_edges.empty()
                && !all_macro_records_included(
                    removed_edges, solid.init_edge_ids( collapsed.value() ) ) )
            {
                return false;
            }
            const auto& removed_facets = solid.vertex_init_facet_ids( removed );
            if( !removed_facets.empty() )
            {
                const auto around =
                    solid.init_facet_ids_around_edge( { removed, kept }, solid );
                std::vector< MeshPolygon > records;
                for( const auto& [facet_id, polygons] : around )
                {
                    records.insert(
                        records.end(), polygons.begin(), polygons.end() );
                }
                if( !all_macro_records_included( removed_facets, records ) )
                {
                    return false;
                }
            }
            if( solid.is_vertex_on_border( removed )
                && !solid.is_vertex_on_border( kept ) )
            {
                return false;
            }
            if( tracked.edges.empty() && tracked.facets.empty() )
            {
                return true;
            }
            for( const auto& around : solid.polyhedra_around_vertex( removed ) )
            {
                const auto opposite = solid.polyhedron_facet_vertices(
                    { around.polyhedron_id, around.vertex_id } );
                for( const local_index_t k : { 0, 1, 2 } )
                {
                    const auto x = opposite[k];
                    const auto y = opposite[( k + 1 ) % 3];
                    if( ( x != kept && is_tracked_edge( kept, x ) )
                        || ( x != kept && y != kept
                             && is_tracked_facet( kept, x, y ) ) )
                    {
                        return false;
                    }
                }
            }
            return true;
        }

        bool BackgroundSolidEditContext::is_swap_edge_admissible(
            const PolyhedronFacetEdge& polyhedron_edge, index_t apex )
        {
            const auto tetrahedron =
                polyhedron_edge.polyhedron_facet.polyhedron_id;
            const auto edge_vertices =
                solid.polyhedron_facet_edge_vertices( polyhedron_edge );
            const auto [u, v] = edge_vertices;
            if( solid.is_edge_on_border( edge_vertices, tetrahedron )
                && !solid.is_vertex_on_border( apex ) )
            {
                return false;
            }
            const auto around = solid.polyhedra_around_edge( polyhedron_edge );
            const auto ring =
                ordered_vertices_around_edge( solid, edge_vertices, around );
            std::vector< index_t > vertices(
                ring.vertices.begin(), ring.vertices.end() );
            if( vertices.size() < 3 )
            {
                return false;
            }
            auto sorted = vertices;
            std::sort( sorted.begin(), sorted.end() );
            if( std::adjacent_find( sorted.begin(), sorted.end() ) != sorted.end() )
            {
                return false;
            }
            const auto apex_position =
                std::find( vertices.begin(), vertices.end(), apex );
            if( apex_position == vertices.end() )
            {
                return false;
            }
            if( !tracked.edges.empty() || !tracked.facets.empty() )
            {
                std::rotate( vertices.begin(), apex_position, vertices.end() );
                for( const auto x : vertices )
                {
                    if( x == apex )
                    {
                        continue;
                    }
                    if( is_tracked_edge( apex, x ) || is_tracked_facet( apex, x, u )
                        || is_tracked_facet( apex, x, v ) )
                    {
                        return false;
                    }
                }
                for( std::size_t i = 1; i + 1 < vertices.size(); i++ )
                {
                    if( is_tracked_facet( apex, vertices[i], vertices[i + 1] ) )
                    {
                        return false;
                    }
                }
            }
            if( is_near_segment( apex, u, v ) )
            {
                return true;
            }
            const auto ring_near = std::any_of( vertices.begin(), vertices.end(),
                [this, u = u, v = v](
                    index_t x ) { return is_near_segment( x, u, v ); } );
            if( !ring_near && !solid.init_edge_ids( edge( u, v ) ).empty() )
            {
                return false;
            }
            return !solid.has_init_facet_around_edge(
                tetrahedron, edge_vertices, solid );
        }

        bool BackgroundSolidEditContext::is_swap_facet_admissible(
            const PolyhedronFacet& polyhedron_facet )
        {
            const auto adjacent =
                solid.polyhedron_adjacent_facet( polyhedron_facet );
            if( !adjacent )
            {
                return false;
            }
            // Facet f of a tetrahedron is opposite its local vertex f.
            const auto a = solid.polyhedron_vertex( { polyhedron_facet.polyhedron_id,
                polyhedron_facet.facet_id } );
            const auto b = solid.polyhedron_vertex(
                { adjacent->polyhedron_id, adjacent->facet_id } );
            const auto f = solid.polyhedron_facet_vertices( polyhedron_facet );
            if( is_tracked_edge( a, b ) )
            {
                return false;
            }
            for( const auto x : f )
            {
                if( is_tracked_facet( a, b, x ) )
                {
                    return false;
                }
            }
            if( is_near_triangle( a, f[0], f[1], f[2] ) )
            {
                return true;
            }
            return solid.init_facet_ids( facet( f[0], f[1], f[2] ) ).empty();
        }

        bool BackgroundSolidEditContext::is_edge_free(
            const PolyhedronFacetEdge& polyhedron_edge )
        {
            const auto tetrahedron =
                polyhedron_edge.polyhedron_facet.polyhedron_id;
            const auto edge_vertices =
                solid.polyhedron_facet_edge_vertices( polyhedron_edge );
            return !solid.is_edge_on_border( edge_vertices, tetrahedron )
                   && solid.init_edge_ids( edge( edge_vertices[0], edge_vertices[1] ) )
                          .empty()
                   && !solid.has_init_facet_around_edge(
                       tetrahedron, edge_vertices, solid );
        }
    } // namespace internal
} // namespace orvane
