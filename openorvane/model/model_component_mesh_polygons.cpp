#include <openorvane/model/model_component_mesh_polygons.hpp>

#include <algorithm>
#include <array>
#include <vector>

#include <openorvane/model/brep.hpp>

namespace orvane
{
    namespace
    {
        /// Whether the unique vertices of the listed vertices are exactly
        /// the three targets (sorted).
        template < typename Vertices >
        bool same_unique_vertices( const BRep& model,
            const ComponentID& component,
            const Vertices& vertices,
            const std::array< index_t, 3 >& targets )
        {
            if( vertices.size() != 3 )
            {
                return false;
            }
            std::array< index_t, 3 > uniques;
            for( std::size_t i = 0; i < 3; i++ )
            {
                uniques[i] = model.unique_vertex( { component, vertices[i] } );
            }
            std::sort( uniques.begin(), uniques.end() );
            return uniques == targets;
        }

        /// The components of the type holding the unique vertex, each once,
        /// in link order.
        std::vector< ComponentID > components_of( const BRep& model,
            index_t unique_vertex,
            const ComponentType& type )
        {
            std::vector< ComponentID > components;
            for( const auto& component_vertex :
                model.component_mesh_vertices( unique_vertex, type ) )
            {
                if( std::find( components.begin(), components.end(),
                        component_vertex.component_id )
                    == components.end() )
                {
                    components.push_back( component_vertex.component_id );
                }
            }
            return components;
        }
    } // namespace

    BRepComponentMeshPolygons component_mesh_polygons(
        const BRep& model, const Surface< 3 >& surface, index_t polygon_id )
    {
        BRepComponentMeshPolygons result;
        const auto& mesh = surface.mesh();
        const auto vertices = mesh.polygon_vertices( polygon_id );
        std::array< index_t, 3 > targets{ NO_ID, NO_ID, NO_ID };
        bool linked = vertices.size() == 3;
        for( std::size_t i = 0; linked && i < 3; i++ )
        {
            targets[i] = model.unique_vertex( { surface.component_id(), vertices[i] } );
            linked = targets[i] != NO_ID;
        }
        if( !linked )
        {
            result.surfaces[surface.id()].push_back( polygon_id );
            return result;
        }
        std::sort( targets.begin(), targets.end() );
        for( const auto& component :
            components_of( model, targets[0], Surface< 3 >::component_type_static() ) )
        {
            const auto& other = model.surface( component.id() ).mesh();
            absl::InlinedVector< index_t, 1 > polygons;
            for( const auto vertex :
                model.mesh_component_vertices( targets[0], component.id() ) )
            {
                for( const auto& around : other.polygons_around_vertex( vertex ) )
                {
                    if( std::find( polygons.begin(), polygons.end(), around.polygon_id )
                            == polygons.end()
                        && same_unique_vertices( model, component,
                            other.polygon_vertices( around.polygon_id ), targets ) )
                    {
                        polygons.push_back( around.polygon_id );
                    }
                }
            }
            if( !polygons.empty() )
            {
                result.surfaces.emplace( component.id(), std::move( polygons ) );
            }
        }
        for( const auto& component :
            components_of( model, targets[0], Block< 3 >::component_type_static() ) )
        {
            const auto& solid = model.block( component.id() ).mesh();
            absl::InlinedVector< PolyhedronFacet, 2 > facets;
            for( const auto vertex :
                model.mesh_component_vertices( targets[0], component.id() ) )
            {
                for( const auto& around : solid.polyhedra_around_vertex( vertex ) )
                {
                    const auto polyhedron = around.polyhedron_id;
                    for( local_index_t f = 0; f < solid.nb_polyhedron_facets( polyhedron );
                         f++ )
                    {
                        const PolyhedronFacet facet{ polyhedron, f };
                        if( std::find( facets.begin(), facets.end(), facet ) == facets.end()
                            && same_unique_vertices( model, component,
                                solid.polyhedron_facet_vertices( facet ), targets ) )
                        {
                            facets.push_back( facet );
                        }
                    }
                }
            }
            if( !facets.empty() )
            {
                result.blocks.emplace( component.id(), std::move( facets ) );
            }
        }
        return result;
    }
} // namespace orvane
