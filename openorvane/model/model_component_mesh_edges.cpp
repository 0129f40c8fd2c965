#include <openorvane/model/model_component_mesh_edges.hpp>

#include <algorithm>

#include <openorvane/model/brep.hpp>

namespace orvane
{
    namespace
    {
        /// The curve edges joining a and b, in a's edge order.
        LineEdges curve_edges_between(
            const EdgedCurve< 3 >& curve, index_t a, index_t b )
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

        SurfacePolygonEdges surface_edges_between(
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
        BlockFacetEdges solid_edges_between( const SolidMesh< 3 >& solid, index_t a, index_t b )
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

        template < typename Component, typename Elements, typename Finder >
        void collect( const BRep& model,
            const std::array< index_t, 2 >& unique_vertices,
            absl::flat_hash_map< uuid, Elements >& result,
            Finder finder )
        {
            const auto pairs = model.component_mesh_vertex_pairs( unique_vertices[0],
                unique_vertices[1], Component::component_type_static() );
            for( const auto& [id, vertex_pairs] : pairs )
            {
                const auto& mesh = finder.mesh( id );
                Elements elements;
                for( const auto& pair : vertex_pairs )
                {
                    for( const auto& element : finder.between( mesh, pair[0], pair[1] ) )
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

        struct LineFinder
        {
            const BRep& model;
            const EdgedCurve< 3 >& mesh( const uuid& id ) const
            {
                return model.line( id ).mesh();
            }
            LineEdges between( const EdgedCurve< 3 >& curve, index_t a, index_t b ) const
            {
                return curve_edges_between( curve, a, b );
            }
        };

        struct SurfaceFinder
        {
            const BRep& model;
            const SurfaceMesh< 3 >& mesh( const uuid& id ) const
            {
                return model.surface( id ).mesh();
            }
            SurfacePolygonEdges between(
                const SurfaceMesh< 3 >& surface, index_t a, index_t b ) const
            {
                return surface_edges_between( surface, a, b );
            }
        };

        struct BlockFinder
        {
            const BRep& model;
            const SolidMesh< 3 >& mesh( const uuid& id ) const
            {
                return model.block( id ).mesh();
            }
            BlockFacetEdges between( const SolidMesh< 3 >& solid, index_t a, index_t b ) const
            {
                return solid_edges_between( solid, a, b );
            }
        };

        bool has_both( const std::array< index_t, 2 >& unique_vertices )
        {
            return unique_vertices[0] != NO_ID && unique_vertices[1] != NO_ID;
        }
    } // namespace

    std::array< index_t, 2 > edge_unique_vertices(
        const BRep& model, const Line< 3 >& line, index_t edge_id )
    {
        const auto vertices = line.mesh().edge_vertices( edge_id );
        const auto id = line.component_id();
        return { model.unique_vertex( { id, vertices[0] } ),
            model.unique_vertex( { id, vertices[1] } ) };
    }

    std::array< index_t, 2 > edge_unique_vertices( const BRep& model,
        const Surface< 3 >& surface,
        const PolygonEdge& polygon_edge )
    {
        const auto vertices = surface.mesh().polygon_edge_vertices( polygon_edge );
        const auto id = surface.component_id();
        return { model.unique_vertex( { id, vertices[0] } ),
            model.unique_vertex( { id, vertices[1] } ) };
    }

    std::array< index_t, 2 > edge_unique_vertices( const BRep& model,
        const Block< 3 >& block,
        const PolyhedronFacetEdge& facet_edge )
    {
        const auto vertices = block.mesh().polyhedron_facet_edge_vertices( facet_edge );
        const auto id = block.component_id();
        return { model.unique_vertex( { id, vertices[0] } ),
            model.unique_vertex( { id, vertices[1] } ) };
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
        collect< Line< 3 > >( model, unique_vertices, result.lines, LineFinder{ model } );
        collect< Surface< 3 > >(
            model, unique_vertices, result.surfaces, SurfaceFinder{ model } );
        collect< Block< 3 > >( model, unique_vertices, result.blocks, BlockFinder{ model } );
        return result;
    }

    BRepComponentMeshEdges component_mesh_edges(
        const BRep& model, const Line< 3 >& line, index_t edge_id )
    {
        const auto unique_vertices = edge_unique_vertices( model, line, edge_id );
        if( has_both( unique_vertices ) )
        {
            return component_mesh_edges( model, unique_vertices );
        }
        BRepComponentMeshEdges result;
        result.unique_vertices = unique_vertices;
        const auto vertices = line.mesh().edge_vertices( edge_id );
        result.lines.emplace(
            line.id(), curve_edges_between( line.mesh(), vertices[0], vertices[1] ) );
        return result;
    }

    BRepComponentMeshEdges component_mesh_edges( const BRep& model,
        const Surface< 3 >& surface,
        const PolygonEdge& polygon_edge )
    {
        const auto unique_vertices = edge_unique_vertices( model, surface, polygon_edge );
        if( has_both( unique_vertices ) )
        {
            return component_mesh_edges( model, unique_vertices );
        }
        BRepComponentMeshEdges result;
        result.unique_vertices = unique_vertices;
        const auto vertices = surface.mesh().polygon_edge_vertices( polygon_edge );
        result.surfaces.emplace( surface.id(),
            surface_edges_between( surface.mesh(), vertices[0], vertices[1] ) );
        return result;
    }

    BRepComponentMeshEdges component_mesh_edges( const BRep& model,
        const Block< 3 >& block,
        const PolyhedronFacetEdge& facet_edge )
    {
        const auto unique_vertices = edge_unique_vertices( model, block, facet_edge );
        if( has_both( unique_vertices ) )
        {
            return component_mesh_edges( model, unique_vertices );
        }
        BRepComponentMeshEdges result;
        result.unique_vertices = unique_vertices;
        const auto vertices = block.mesh().polyhedron_facet_edge_vertices( facet_edge );
        result.blocks.emplace(
            block.id(), solid_edges_between( block.mesh(), vertices[0], vertices[1] ) );
        return result;
    }

    absl::flat_hash_map< uuid, SurfacePolygonEdges > surface_component_mesh_edges(
        const BRep& model, const std::array< index_t, 2 >& unique_vertices )
    {
        absl::flat_hash_map< uuid, SurfacePolygonEdges > result;
        if( has_both( unique_vertices ) )
        {
            collect< Surface< 3 > >( model, unique_vertices, result, SurfaceFinder{ model } );
        }
        return result;
    }
} // namespace orvane
