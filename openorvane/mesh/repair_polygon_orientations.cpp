#include <openorvane/mesh/repair_polygon_orientations.hpp>

#include <algorithm>
#include <deque>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>

#include <openorvane/mesh/surface_mesh.hpp>
#include <openorvane/mesh/surface_mesh_builder.hpp>

namespace orvane
{
    namespace
    {
        using EdgeUses = absl::InlinedVector< PolygonEdge, 2 >;

        template < index_t dimension >
        absl::flat_hash_map< EdgeVertices, EdgeUses > edge_uses(
            const SurfaceMesh< dimension >& surface )
        {
            absl::flat_hash_map< EdgeVertices, EdgeUses > uses;
            uses.reserve( std::size_t{ 2 } * surface.nb_polygons() );
            for( index_t p = 0; p < surface.nb_polygons(); p++ )
            {
                for( local_index_t e = 0; e < surface.nb_polygon_vertices( p ); e++ )
                {
                    auto vertices = surface.polygon_edge_vertices( { p, e } );
                    if( vertices[0] == vertices[1] )
                    {
                        continue;
                    }
                    if( vertices[1] < vertices[0] )
                    {
                        std::swap( vertices[0], vertices[1] );
                    }
                    uses[vertices].emplace_back( p, e );
                }
            }
            return uses;
        }
    } // namespace

    template < index_t dimension >
    void repair_polygon_orientations( SurfaceMesh< dimension >& surface )
    {
        const auto uses = edge_uses( surface );
        const auto nb_polygons = surface.nb_polygons();
        std::vector< bool > visited( nb_polygons, false );
        std::vector< bool > reversed( nb_polygons, false );
        std::deque< index_t > queue;
        for( index_t start = 0; start < nb_polygons; start++ )
        {
            if( visited[start] )
            {
                continue;
            }
            visited[start] = true;
            queue.push_back( start );
            while( !queue.empty() )
            {
                const auto polygon = queue.front();
                queue.pop_front();
                for( local_index_t e = 0; e < surface.nb_polygon_vertices( polygon ); e++ )
                {
                    const auto vertices = surface.polygon_edge_vertices( { polygon, e } );
                    const auto found = uses.find( EdgeVertices{
                        std::min( vertices[0], vertices[1] ),
                        std::max( vertices[0], vertices[1] ) } );
                    if( found == uses.end() || found->second.size() != 2 )
                    {
                        continue;
                    }
                    const auto& pair = found->second;
                    const auto& other = pair[0].polygon_id == polygon ? pair[1] : pair[0];
                    if( other.polygon_id == polygon || visited[other.polygon_id] )
                    {
                        continue;
                    }
                    // The other polygon must run the edge against this
                    // polygon's final direction.
                    const auto other_from = surface.polygon_edge_vertex( other, 0 );
                    const auto final_from = reversed[polygon] ? vertices[1] : vertices[0];
                    reversed[other.polygon_id] = other_from == final_from;
                    visited[other.polygon_id] = true;
                    queue.push_back( other.polygon_id );
                }
            }
        }
        auto builder = SurfaceMeshBuilder< dimension >::create( surface );
        for( index_t p = 0; p < nb_polygons; p++ )
        {
            if( !reversed[p] )
            {
                continue;
            }
            const auto v1 = surface.polygon_vertex( { p, 1 } );
            const auto v2 = surface.polygon_vertex( { p, 2 } );
            builder->set_polygon_vertex( { p, 1 }, v2 );
            builder->set_polygon_vertex( { p, 2 }, v1 );
        }
        builder->compute_polygon_adjacencies();
    }

    template void repair_polygon_orientations( SurfaceMesh< 2 >& );
    template void repair_polygon_orientations( SurfaceMesh< 3 >& );
} // namespace orvane
