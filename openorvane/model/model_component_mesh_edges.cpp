#include <openorvane/model/model_component_mesh_edges.hpp>

#include <algorithm>

#include <openorvane/model/brep.hpp>

namespace orvane
{
    namespace
    {
        /// The curve edges joining a and b, in a's edge order.
        LineEdges edges_between( const EdgedCurve< 3 >& curve, index_t a, index_t b )
        {
            LineEdges edges;
            if( a >= curve.nb_vertices() || b >= curve.nb_vertices() )
            {
                return edges;
            }
            for( const auto& edge_vertex : curve.edges_around_vertex( a ) )
            {
                if( curve.edge_vertex( edge_vertex.opposite() ) == b
                    && std::find( edges.begin(), edges.end(), edge_vertex.edge_id )
                           == edges.end() )
                {
                    edges.push_back( edge_vertex.edge_id );
                }
            }
            return edges;
        }

        SurfacePolygonEdges edges_between(
            const SurfaceMesh< 3 >& surface, index_t a, index_t b )
        {
            SurfacePolygonEdges edges;
            if( a >= surface.nb_vertices() || b >= surface.nb_vertices() )
            {
                return edges;
            }
            for( const auto& edge : surface.polygons_from_edge_vertices( { a, b } ) )
            {
                edges.push_back( edge );
            }
            return edges;
        }

        /// One facet edge joining a and b for each polyhedron around the
        /// edge, in turning order.
        BlockFacetEdges edges_between( const SolidMesh< 3 >& solid, index_t a, index_t b )
        {
            BlockFacetEdges edges;
            if( a >= solid.nb_vertices() || b >= solid.nb_vertices() )
            {
                return edges;
            }
            for( const auto polyhedron : solid.polyhedra_around_edge( { a, b } ) )
            {
                const auto facet = solid.edge_incident_facets( polyhedron, { a, b } )[0];
                const auto vertices = solid.polyhedron_facet_vertices( facet );
                const auto nb = static_cast< local_index_t >( vertices.size() );
                for( local_index_t k = 0; k < nb; k++ )
                {
                    const auto v0 = vertices[k];
                    const auto v1 = vertices[( k + 1 ) % nb];
                    if( ( v0 == a && v1 == b ) || ( v0 == b && v1 == a ) )
                    {
                        edges.emplace_back( facet, k );
                        break;
                    }
                }
            }
            return edges;
        }

        /// For each component of the given type linked to both unique
        /// vertices, the mesh elements joining its vertices linked to them,
        /// each listed once. mesh_of( model, uuid ) gives a component's mesh.
        template < typename Component, typename Elements, typename Mesh >
        void collect( const BRep& model,
            const std::array< index_t, 2 >& unique_vertices,
            absl::flat_hash_map< uuid, Elements >& result,
            const Mesh& ( *mesh_of )( const BRep&, const uuid& ) )
        {
            const auto pairs = model.component_mesh_vertex_pairs( unique_vertices[0],
                unique_vertices[1], Component::component_type_static() );
            for( const auto& [id, vertex_pairs] : pairs )
            {
                const auto& mesh = mesh_of( model, id );
                Elements elements;
                for( const auto& pair : vertex_pairs )
                {
                    for( const auto& element : edges_between( mesh, pair[0], pair[1] ) )
                    {
                        if( std::find( elements.begin(), elements.end(), element )
                            == elements.end() )
                        {
                            elements.push_back( element );
                        }
                    }
                }
                if( !elements.empty() )
                {
                    result.emplace( id, std::move( elements ) );
                }
            }
        }

        bool has_both( const std::array< index_t, 2 >& unique_vertices )
        {
            return unique_vertices[0] != NO_ID && unique_vertices[1] != NO_ID;
        }

        template < typename Component >
        std::array< index_t, 2 > unique_vertices_of( const BRep& model,
            const Component& component,
            const EdgeVertices& vertices )
        {
            const auto id = component.component_id();
            return { model.unique_vertex( { id, vertices[0] } ),
                model.unique_vertex( { id, vertices[1] } ) };
        }

        /// The model edge through the component mesh edge joining vertices
        /// when both ends have unique vertices; otherwise only the
        /// component's own elements joining them, stored in result.*own.
        template < typename Component, typename Elements >
        BRepComponentMeshEdges model_or_own_edges( const BRep& model,
            const Component& component,
            const EdgeVertices& vertices,
            absl::flat_hash_map< uuid, Elements > BRepComponentMeshEdges::*own )
        {
            const auto unique_vertices = unique_vertices_of( model, component, vertices );
            if( has_both( unique_vertices ) )
            {
                return component_mesh_edges( model, unique_vertices );
            }
            BRepComponentMeshEdges result;
            result.unique_vertices = unique_vertices;
            ( result.*own )
                .emplace( component.id(),
                    edges_between( component.mesh(), vertices[0], vertices[1] ) );
            return result;
        }

        const EdgedCurve< 3 >& line_mesh( const BRep& model, const uuid& id )
        {
            return model.line( id ).mesh();
        }

        const SurfaceMesh< 3 >& surface_mesh( const BRep& model, const uuid& id )
        {
            return model.surface( id ).mesh();
        }

        const SolidMesh< 3 >& block_mesh( const BRep& model, const uuid& id )
        {
            return model.block( id ).mesh();
        }
    } // namespace

    std::array< index_t, 2 > edge_unique_vertices(
        const BRep& model, const Line< 3 >& line, index_t edge_id )
    {
        return unique_vertices_of( model, line, line.mesh().edge_vertices( edge_id ) );
    }

    std::array< index_t, 2 > edge_unique_vertices( const BRep& model,
        const Surface< 3 >& surface,
        const PolygonEdge& polygon_edge )
    {
        return unique_vertices_of(
            model, surface, surface.mesh().polygon_edge_vertices( polygon_edge ) );
    }

    std::array< index_t, 2 > edge_unique_vertices( const BRep& model,
        const Block< 3 >& block,
        const PolyhedronFacetEdge& facet_edge )
    {
        return unique_vertices_of(
            model, block, block.mesh().polyhedron_facet_edge_vertices( facet_edge ) );
    }

    BRepComponentMeshEdges component_mesh_edges(
        const BRep& model, const std::array< index_t, 2 >& unique_vertices )
    {
        BRepComponentMeshEdges result;
        result.unique_vertices = unique_vertices;
        if( !has_both( unique_vertices ) )
        {
            return result;
        }
        collect< Line< 3 > >( model, unique_vertices, result.lines, line_mesh );
        collect< Surface< 3 > >( model, unique_vertices, result.surfaces, surface_mesh );
        collect< Block< 3 > >( model, unique_vertices, result.blocks, block_mesh );
        return result;
    }

    BRepComponentMeshEdges component_mesh_edges(
        const BRep& model, const Line< 3 >& line, index_t edge_id )
    {
        return model_or_own_edges( model, line, line.mesh().edge_vertices( edge_id ),
            &BRepComponentMeshEdges::lines );
    }

    BRepComponentMeshEdges component_mesh_edges( const BRep& model,
        const Surface< 3 >& surface,
        const PolygonEdge& polygon_edge )
    {
        return model_or_own_edges( model, surface,
            surface.mesh().polygon_edge_vertices( polygon_edge ),
            &BRepComponentMeshEdges::surfaces );
    }

    BRepComponentMeshEdges component_mesh_edges( const BRep& model,
        const Block< 3 >& block,
        const PolyhedronFacetEdge& facet_edge )
    {
        return model_or_own_edges( model, block,
            block.mesh().polyhedron_facet_edge_vertices( facet_edge ),
            &BRepComponentMeshEdges::blocks );
    }

    absl::flat_hash_map< uuid, SurfacePolygonEdges > surface_component_mesh_edges(
        const BRep& model, const std::array< index_t, 2 >& unique_vertices )
    {
        absl::flat_hash_map< uuid, SurfacePolygonEdges > result;
        if( has_both( unique_vertices ) )
        {
            collect< Surface< 3 > >( model, unique_vertices, result, surface_mesh );
        }
        return result;
    }
} // namespace orvane
