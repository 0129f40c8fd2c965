#include <openorvane/model/split_along_surface_mesh_borders.hpp>

#include <algorithm>
#include <numeric>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/model/brep_builder.hpp>

namespace orvane
{
    namespace detail
    {
        namespace
        {
            /// Union-find over the polygon corners of one vertex.
            index_t find_root( std::vector< index_t >& parents, index_t item )
            {
                while( parents[item] != item )
                {
                    parents[item] = parents[parents[item]];
                    item = parents[item];
                }
                return item;
            }

            /// The polygon corners of every vertex, by vertex, in polygon
            /// then local order.
            std::vector< std::vector< PolygonVertex > > corners_by_vertex(
                const SurfaceMesh< 3 >& mesh )
            {
                std::vector< std::vector< PolygonVertex > > corners( mesh.nb_vertices() );
                for( index_t polygon = 0; polygon < mesh.nb_polygons(); polygon++ )
                {
                    for( local_index_t v = 0; v < mesh.nb_polygon_vertices( polygon ); v++ )
                    {
                        corners[mesh.polygon_vertex( { polygon, v } )].push_back(
                            { polygon, v } );
                    }
                }
                return corners;
            }

            /// The fans of one vertex: its corners grouped through the
            /// adjacencies across the two polygon edges holding the vertex.
            /// Fans come in order of their first corner.
            std::vector< std::vector< PolygonVertex > > fans_of(
                const SurfaceMesh< 3 >& mesh, const std::vector< PolygonVertex >& corners )
            {
                const auto nb = static_cast< index_t >( corners.size() );
                std::vector< index_t > parents( nb );
                std::iota( parents.begin(), parents.end(), 0 );
                const auto position = [&corners]( index_t polygon ) {
                    for( index_t i = 0; i < corners.size(); i++ )
                    {
                        if( corners[i].polygon_id == polygon )
                        {
                            return i;
                        }
                    }
                    return NO_ID;
                };
                for( index_t i = 0; i < nb; i++ )
                {
                    const auto& corner = corners[i];
                    const auto nb_vertices = mesh.nb_polygon_vertices( corner.polygon_id );
                    const std::array< local_index_t, 2 > edges{ corner.vertex_id,
                        static_cast< local_index_t >(
                            ( corner.vertex_id + nb_vertices - 1 ) % nb_vertices ) };
                    for( const auto edge : edges )
                    {
                        const auto adjacent = mesh.polygon_adjacent( { corner.polygon_id, edge } );
                        if( !adjacent )
                        {
                            continue;
                        }
                        const auto other = position( *adjacent );
                        if( other != NO_ID )
                        {
                            parents[find_root( parents, i )] = find_root( parents, other );
                        }
                    }
                }
                std::vector< std::vector< PolygonVertex > > fans;
                std::vector< index_t > fan_of_root( nb, NO_ID );
                for( index_t i = 0; i < nb; i++ )
                {
                    const auto root = find_root( parents, i );
                    if( fan_of_root[root] == NO_ID )
                    {
                        fan_of_root[root] = static_cast< index_t >( fans.size() );
                        fans.emplace_back();
                    }
                    fans[fan_of_root[root]].push_back( corners[i] );
                }
                return fans;
            }
        } // namespace

        SplitAlongSurfaceMeshBorders< BRep >::SplitAlongSurfaceMeshBorders( BRep& model )
            : model_( model )
        {
        }

        std::vector< std::pair< ComponentMeshVertex, ComponentMeshVertex > >
            SplitAlongSurfaceMeshBorders< BRep >::split_all_surfaces()
        {
            std::vector< std::pair< ComponentMeshVertex, ComponentMeshVertex > > splits;
            BRepBuilder builder{ model_ };
            for( const auto& surface : model_.surfaces() )
            {
                const auto& mesh = surface.mesh();
                const auto id = surface.component_id();
                const auto corners = corners_by_vertex( mesh );
                std::unique_ptr< SurfaceMeshBuilder< 3 > > mesh_builder;
                for( index_t vertex = 0; vertex < corners.size(); vertex++ )
                {
                    if( corners[vertex].size() < 2 )
                    {
                        continue;
                    }
                    const auto fans = fans_of( mesh, corners[vertex] );
                    if( fans.size() < 2 )
                    {
                        continue;
                    }
                    // The vertex stays with the fan it is associated with.
                    const auto stored = mesh.polygon_around_vertex( vertex );
                    index_t kept = 0;
                    for( index_t f = 0; f < fans.size() && stored; f++ )
                    {
                        if( std::find( fans[f].begin(), fans[f].end(), *stored )
                            != fans[f].end() )
                        {
                            kept = f;
                        }
                    }
                    if( !mesh_builder )
                    {
                        mesh_builder = builder.surface_mesh_builder( surface.id() );
                    }
                    const auto unique = model_.unique_vertex( { id, vertex } );
                    for( index_t f = 0; f < fans.size(); f++ )
                    {
                        if( f == kept )
                        {
                            continue;
                        }
                        const auto copy = mesh_builder->create_point( mesh.point( vertex ) );
                        mesh.vertex_attribute_manager().assign_attribute_value( vertex, copy );
                        for( const auto& corner : fans[f] )
                        {
                            mesh_builder->set_polygon_vertex( corner, copy );
                        }
                        mesh_builder->associate_polygon_vertex_to_vertex( fans[f].front(), copy );
                        if( unique != NO_ID )
                        {
                            builder.set_unique_vertex( { id, copy }, unique );
                        }
                        splits.emplace_back( ComponentMeshVertex{ id, vertex },
                            ComponentMeshVertex{ id, copy } );
                    }
                    mesh_builder->associate_polygon_vertex_to_vertex( fans[kept].front(), vertex );
                }
            }
            return splits;
        }
    } // namespace detail
} // namespace orvane
