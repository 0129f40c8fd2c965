#include <common/modifier/brep_geometric_modifier_previews.hpp>

#include <algorithm>
#include <array>

#include <absl/container/flat_hash_set.h>

#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep.hpp>

#include <common/modifier/model_geometric_modifier.hpp>
#include <common/modifier/tetrahedral_collapse_validity.hpp>

namespace orvane
{
    namespace
    {
        const TetrahedralSolid< 3 >& block_solid( const BRep& model, const uuid& id )
        {
            return dynamic_cast< const TetrahedralSolid< 3 >& >( model.block( id ).mesh() );
        }

        const TriangulatedSurface< 3 >& surface_mesh( const BRep& model, const uuid& id )
        {
            return dynamic_cast< const TriangulatedSurface< 3 >& >(
                model.surface( id ).mesh() );
        }

        const std::vector< ComponentMeshVertex >& component_vertices(
            const BRep& model, index_t unique_vertex )
        {
            static const std::vector< ComponentMeshVertex > none;
            if( unique_vertex == NO_ID )
            {
                return none;
            }
            return model.component_mesh_vertices( unique_vertex );
        }

        std::vector< index_t > vertices_in_component(
            const BRep& model, index_t unique_vertex, const uuid& component )
        {
            if( unique_vertex == NO_ID )
            {
                return {};
            }
            return model.mesh_component_vertices( unique_vertex, component );
        }

        std::size_t nb_vertices_in_component(
            const BRep& model, index_t unique_vertex, const uuid& component )
        {
            return vertices_in_component( model, unique_vertex, component ).size();
        }

        /// Whether the tetrahedra around the block vertex stay positive when
        /// it moves to the point.
        bool is_block_vertex_move_valid( const BRep& model,
            const ComponentMeshVertex& block_vertex,
            const Point< 3 >& point )
        {
            const auto& solid = block_solid( model, block_vertex.component_id.id() );
            return detail::are_tetrahedra_positive(
                tetrahedra_after_move_vertex( solid, block_vertex.vertex, point ) );
        }

        /// The vertex opposite the edge in its triangle: the start of the
        /// previous edge.
        index_t opposite_vertex( const SurfaceMesh< 3 >& mesh, const PolygonEdge& edge )
        {
            return mesh.polygon_vertex( PolygonVertex{ mesh.previous_polygon_edge( edge ) } );
        }

        absl::flat_hash_map< uuid, std::vector< std::pair< PolyhedronFacetEdge,
                                       SplitPreviewReport > > >
            invalid_block_edges_for_split( const BRep& model,
                const BRepComponentMeshEdges& edges,
                const Point< 3 >& point )
        {
            absl::flat_hash_map< uuid,
                std::vector< std::pair< PolyhedronFacetEdge, SplitPreviewReport > > >
                result;
            for( const auto& id : detail::sorted_component_ids( edges.blocks ) )
            {
                const auto& solid = block_solid( model, id );
                for( const auto& edge : edges.blocks.at( id ) )
                {
                    const auto previews = tetrahedra_after_split_edge( solid,
                        solid.polyhedra_around_edge( edge ),
                        solid.polyhedron_facet_edge_vertices( edge ), point );
                    SplitPreviewReport report;
                    detail::report_invalid_tetrahedra( previews, report );
                    if( !report.valid )
                    {
                        result[id].emplace_back( edge, std::move( report ) );
                    }
                }
            }
            return result;
        }

        /// Both ends must lie in the same components.
        bool have_same_components(
            const BRep& model, index_t unique_vertex0, index_t unique_vertex1 )
        {
            absl::flat_hash_set< ComponentID > components0;
            absl::flat_hash_set< ComponentID > components1;
            for( const auto& vertex : component_vertices( model, unique_vertex0 ) )
            {
                components0.insert( vertex.component_id );
            }
            for( const auto& vertex : component_vertices( model, unique_vertex1 ) )
            {
                components1.insert( vertex.component_id );
            }
            return components0 == components1;
        }

        /// The block vertices of either end that hold no listed edge move to
        /// the point too: their tetrahedra must stay positive.
        bool are_detached_block_vertices_valid( const BRep& model,
            const BRepComponentMeshEdges& edges,
            const Point< 3 >& point )
        {
            if( edges.blocks.empty() )
            {
                return true;
            }
            absl::flat_hash_set< ComponentMeshVertex > listed;
            for( const auto& [id, block_edges] : edges.blocks )
            {
                const ComponentID component{ Block< 3 >::component_type_static(), id };
                const auto& solid = block_solid( model, id );
                for( const auto& edge : block_edges )
                {
                    for( const auto vertex : solid.polyhedron_facet_edge_vertices( edge ) )
                    {
                        listed.insert( { component, vertex } );
                    }
                }
            }
            for( const auto unique_vertex : edges.unique_vertices )
            {
                for( const auto& vertex : component_vertices( model, unique_vertex ) )
                {
                    if( vertex.component_id.type() != Block< 3 >::component_type_static()
                        || listed.contains( vertex ) )
                    {
                        continue;
                    }
                    if( !is_block_vertex_move_valid( model, vertex, point ) )
                    {
                        return false;
                    }
                }
            }
            return true;
        }

        /// Components of the type, outside the record, holding both ends at
        /// two vertices in use: the collapse would pinch them.
        template < typename Mesh, typename Listed, typename MeshOf >
        bool vertex_pairs_break_components( const BRep& model,
            const BRepComponentMeshEdges& edges,
            const ComponentType& type,
            const Listed& listed,
            MeshOf mesh_of )
        {
            const auto [unique0, unique1] = edges.unique_vertices;
            if( unique0 == NO_ID || unique1 == NO_ID )
            {
                return false;
            }
            const auto pairs = model.component_mesh_vertex_pairs( unique0, unique1, type );
            for( const auto& [id, vertex_pairs] : pairs )
            {
                if( listed.contains( id ) )
                {
                    continue;
                }
                const Mesh& mesh = mesh_of( id );
                for( const auto& pair : vertex_pairs )
                {
                    if( !mesh.is_vertex_isolated( pair[0] )
                        && !mesh.is_vertex_isolated( pair[1] ) )
                    {
                        return true;
                    }
                }
            }
            return false;
        }

        bool lines_broken_by_collapse( const BRep& model, const BRepComponentMeshEdges& edges )
        {
            return vertex_pairs_break_components< EdgedCurve< 3 > >( model, edges,
                Line< 3 >::component_type_static(), edges.lines,
                [&model]( const uuid& id ) -> const EdgedCurve< 3 >& {
                    return model.line( id ).mesh();
                } );
        }

        /// The unique vertices of the other vertices of every triangle
        /// around the vertices of the unique vertex in the surface.
        absl::flat_hash_set< index_t > ring_unique_vertices(
            const BRep& model, const Surface< 3 >& surface, index_t unique_vertex )
        {
            absl::flat_hash_set< index_t > ring;
            const auto& mesh = surface.mesh();
            for( const auto vertex : vertices_in_component( model, unique_vertex, surface.id() ) )
            {
                for( const auto& corner : mesh.polygons_around_vertex( vertex ) )
                {
                    const auto nb = mesh.nb_polygon_vertices( corner.polygon_id );
                    for( local_index_t v = 0; v < nb; v++ )
                    {
                        if( v == corner.vertex_id )
                        {
                            continue;
                        }
                        const auto other = model.unique_vertex( { surface.component_id(),
                            mesh.polygon_vertex( { corner.polygon_id, v } ) } );
                        if( other != NO_ID )
                        {
                            ring.insert( other );
                        }
                    }
                }
            }
            return ring;
        }

        /// When `end` lies on a line, no other surface may hold, as an inner
        /// edge, an edge from `end` to a ring member that also lies on a
        /// line.
        bool is_line_edge_test_valid( const BRep& model,
            const Surface< 3 >& tested,
            const absl::flat_hash_set< index_t >& ring,
            index_t end )
        {
            const auto& line_type = Line< 3 >::component_type_static();
            if( end == NO_ID || !model.has_component_mesh_vertices( end, line_type ) )
            {
                return true;
            }
            for( const auto member : ring )
            {
                if( member == end || !model.has_component_mesh_vertices( member, line_type ) )
                {
                    continue;
                }
                const auto surfaces = surface_component_mesh_edges( model, { member, end } );
                for( const auto& [id, polygon_edges] : surfaces )
                {
                    if( id == tested.id() )
                    {
                        continue;
                    }
                    const auto& mesh = model.surface( id ).mesh();
                    for( const auto& edge : polygon_edges )
                    {
                        if( !mesh.is_edge_on_border( edge ) )
                        {
                            return false;
                        }
                    }
                }
            }
            return true;
        }

        bool surfaces_broken_by_collapse(
            const BRep& model, const BRepComponentMeshEdges& edges )
        {
            if( vertex_pairs_break_components< SurfaceMesh< 3 > >( model, edges,
                    Surface< 3 >::component_type_static(), edges.surfaces,
                    [&model]( const uuid& id ) -> const SurfaceMesh< 3 >& {
                        return model.surface( id ).mesh();
                    } ) )
            {
                return true;
            }
            const auto [unique0, unique1] = edges.unique_vertices;
            for( const auto& id : detail::sorted_component_ids( edges.surfaces ) )
            {
                const auto& surface = model.surface( id );
                const auto& polygon_edges = edges.surfaces.at( id );
                const auto border = std::count_if( polygon_edges.begin(),
                    polygon_edges.end(), [&surface]( const PolygonEdge& edge ) {
                        return surface.mesh().is_edge_on_border( edge );
                    } );
                const std::size_t limit = border == 1 ? 1 : 2;
                const auto ring0 = ring_unique_vertices( model, surface, unique0 );
                const auto ring1 = ring_unique_vertices( model, surface, unique1 );
                const auto nb_common = std::count_if( ring0.begin(), ring0.end(),
                    [&ring1]( index_t member ) { return ring1.contains( member ); } );
                if( static_cast< std::size_t >( nb_common ) > limit )
                {
                    return true;
                }
                if( !is_line_edge_test_valid( model, surface, ring0, unique1 )
                    || !is_line_edge_test_valid( model, surface, ring1, unique0 ) )
                {
                    return true;
                }
            }
            return false;
        }

        /// Two listed edges sharing one end s and reaching the other end
        /// through distinct block vertices d and c: every common neighbour
        /// of d and c must see its edge to s in at least two tetrahedra.
        bool breaks_duplicated_edges(
            const TetrahedralSolid< 3 >& solid, const BlockFacetEdges& block_edges )
        {
            for( std::size_t i = 0; i < block_edges.size(); i++ )
            {
                const auto first = solid.polyhedron_facet_edge_vertices( block_edges[i] );
                for( std::size_t j = i + 1; j < block_edges.size(); j++ )
                {
                    const auto second =
                        solid.polyhedron_facet_edge_vertices( block_edges[j] );
                    index_t shared{ NO_ID };
                    index_t d{ NO_ID };
                    index_t c{ NO_ID };
                    std::size_t nb_shared{ 0 };
                    for( std::size_t a = 0; a < 2; a++ )
                    {
                        for( std::size_t b = 0; b < 2; b++ )
                        {
                            if( first[a] == second[b] )
                            {
                                nb_shared++;
                                shared = first[a];
                                d = first[1 - a];
                                c = second[1 - b];
                            }
                        }
                    }
                    if( nb_shared != 1 )
                    {
                        continue;
                    }
                    for( const auto p : detail::common_adjacent_vertices( solid, d, c ) )
                    {
                        if( p == shared )
                        {
                            continue;
                        }
                        if( solid.polyhedra_around_edge( { p, shared } ).size() < 2 )
                        {
                            return true;
                        }
                    }
                }
            }
            return false;
        }

        /// With x held twice or more in the block: a common neighbour of its
        /// first two block vertices that stands for a unique vertex held once
        /// in the block would be pinched.
        bool breaks_duplicated_vertex( const BRep& model,
            const uuid& block,
            const TetrahedralSolid< 3 >& solid,
            index_t unique_vertex )
        {
            const auto vertices = vertices_in_component( model, unique_vertex, block );
            const ComponentID component{ Block< 3 >::component_type_static(), block };
            for( const auto d :
                detail::common_adjacent_vertices( solid, vertices[0], vertices[1] ) )
            {
                const auto other = model.unique_vertex( { component, d } );
                if( other != unique_vertex && other != NO_ID
                    && nb_vertices_in_component( model, other, block ) == 1 )
                {
                    return true;
                }
            }
            return false;
        }

        bool blocks_broken_by_collapse( const BRep& model, const BRepComponentMeshEdges& edges )
        {
            if( vertex_pairs_break_components< SolidMesh< 3 > >( model, edges,
                    Block< 3 >::component_type_static(), edges.blocks,
                    [&model]( const uuid& id ) -> const SolidMesh< 3 >& {
                        return model.block( id ).mesh();
                    } ) )
            {
                return true;
            }
            for( const auto& id : detail::sorted_component_ids( edges.blocks ) )
            {
                const auto& block_edges = edges.blocks.at( id );
                if( block_edges.size() <= 1 )
                {
                    continue;
                }
                const auto& solid = block_solid( model, id );
                if( breaks_duplicated_edges( solid, block_edges ) )
                {
                    return true;
                }
                const auto ends = solid.polyhedron_facet_edge_vertices( block_edges.front() );
                const ComponentID component{ Block< 3 >::component_type_static(), id };
                const auto m = model.unique_vertex( { component, ends[0] } );
                const auto t = model.unique_vertex( { component, ends[1] } );
                const auto nm = nb_vertices_in_component( model, m, id );
                const auto nt = nb_vertices_in_component( model, t, id );
                if( nm > 1 && nt == 1 && breaks_duplicated_vertex( model, id, solid, m ) )
                {
                    return true;
                }
                if( nm == 1 && nt > 1 && breaks_duplicated_vertex( model, id, solid, t ) )
                {
                    return true;
                }
            }
            return false;
        }
    } // namespace

    InvalidSplitEdgeElements invalid_split_edge_elements(
        const BRep& model, const BRepComponentMeshEdges& edges, const Point< 3 >& point )
    {
        InvalidSplitEdgeElements result;
        result.blocks = invalid_block_edges_for_split( model, edges, point );
        return result;
    }

    bool is_split_edge_valid(
        const BRep& model, const BRepComponentMeshEdges& edges, const Point< 3 >& point )
    {
        return invalid_block_edges_for_split( model, edges, point ).empty();
    }

    bool is_split_triangle_valid( const BRep& model,
        const BRepComponentMeshPolygons& polygons,
        const Point< 3 >& point )
    {
        for( const auto& [id, facets] : polygons.blocks )
        {
            const auto& solid = block_solid( model, id );
            for( const auto& facet : facets )
            {
                if( !detail::are_tetrahedra_positive(
                        tetrahedra_after_split_facet( solid, facet, point ) ) )
                {
                    return false;
                }
            }
        }
        return true;
    }

    ElementsAfterCollapseEdge elements_after_collapse_edge(
        const BRep& model, const BRepComponentMeshEdges& edges, const Point< 3 >& point )
    {
        ElementsAfterCollapseEdge result;
        for( const auto& [id, polygon_edges] : edges.surfaces )
        {
            const auto& mesh = surface_mesh( model, id );
            auto& kept = result.surfaces[id];
            for( const auto& edge : polygon_edges )
            {
                const auto corners =
                    polygons_around_edge_vertices( mesh, mesh.polygon_edge_vertices( edge ) );
                for( const auto& triangle :
                    triangles_with_moved_vertices( mesh, corners, point ) )
                {
                    kept.push_back( triangle );
                }
            }
        }
        for( const auto& [id, block_edges] : edges.blocks )
        {
            const auto& solid = block_solid( model, id );
            auto& kept = result.blocks[id];
            for( const auto& edge : block_edges )
            {
                const auto around = polyhedra_around_edge_vertices(
                    solid, solid.polyhedron_facet_edge_vertices( edge ) );
                for( const auto& tetrahedron :
                    tetrahedra_with_moved_vertices( solid, around, point ) )
                {
                    kept.push_back( tetrahedron );
                }
            }
        }
        return result;
    }

    bool is_collapse_edge_valid(
        const BRep& model, const BRepComponentMeshEdges& edges, const Point< 3 >& point )
    {
        if( !have_same_components( model, edges.unique_vertices[0], edges.unique_vertices[1] ) )
        {
            return false;
        }
        if( !are_detached_block_vertices_valid( model, edges, point ) )
        {
            return false;
        }
        for( const auto& [id, polygon_edges] : edges.surfaces )
        {
            const auto& mesh = surface_mesh( model, id );
            for( const auto& edge : polygon_edges )
            {
                if( !is_collapse_edge_valid( mesh, mesh.polygon_edge_vertices( edge ), point ) )
                {
                    return false;
                }
            }
        }
        for( const auto& [id, block_edges] : edges.blocks )
        {
            const auto& solid = block_solid( model, id );
            for( const auto& edge : block_edges )
            {
                if( !is_collapse_edge_valid( solid, edge, point ) )
                {
                    return false;
                }
            }
        }
        return !lines_broken_by_collapse( model, edges )
               && !surfaces_broken_by_collapse( model, edges )
               && !blocks_broken_by_collapse( model, edges );
    }

    bool is_swap_edge_valid(
        const BRep& model, const Surface< 3 >& surface, const PolygonEdge& edge )
    {
        const auto apex = opposite_vertex( surface.mesh(), edge );
        const auto apex_unique = model.unique_vertex( { surface.component_id(), apex } );
        return is_swap_model_edge_valid(
            model, component_mesh_edges( model, surface, edge ), apex_unique );
    }

    bool is_swap_model_edge_valid( const BRep& model,
        const BRepComponentMeshEdges& edges,
        index_t apex_unique_vertex )
    {
        for( const auto& [id, polygon_edges] : edges.surfaces )
        {
            const auto& mesh = surface_mesh( model, id );
            const auto apexes = vertices_in_component( model, apex_unique_vertex, id );
            for( const auto& edge : polygon_edges )
            {
                if( mesh.is_edge_on_border( edge )
                    || !is_swap_edge_topologically_valid( mesh, edge ) )
                {
                    return false;
                }
                // Every vertex of the apex in this surface must be opposite
                // the edge on one side.
                std::array< index_t, 2 > opposite{ opposite_vertex( mesh, edge ), NO_ID };
                if( const auto adjacent = mesh.polygon_adjacent_edge( edge ) )
                {
                    opposite[1] = opposite_vertex( mesh, *adjacent );
                }
                if( apexes.empty() )
                {
                    return false;
                }
                for( const auto apex : apexes )
                {
                    if( apex != opposite[0] && apex != opposite[1] )
                    {
                        return false;
                    }
                }
            }
        }
        for( const auto& id : detail::sorted_component_ids( edges.blocks ) )
        {
            const auto& solid = block_solid( model, id );
            const ComponentID component{ Block< 3 >::component_type_static(), id };
            const auto apexes = vertices_in_component( model, apex_unique_vertex, id );
            for( const auto& edge : edges.blocks.at( id ) )
            {
                const auto ends = solid.polyhedron_facet_edge_vertices( edge );
                const auto i = nb_vertices_in_component(
                    model, model.unique_vertex( { component, ends[0] } ), id );
                const auto j = nb_vertices_in_component(
                    model, model.unique_vertex( { component, ends[1] } ), id );
                const auto duplicated = ( i >= 2 || j >= 2 ) && apexes.size() == 1;
                if( component_vertices( model, apex_unique_vertex ).empty() )
                {
                    return false;
                }
                const auto passes = [&]( index_t apex ) {
                    if( !is_swap_edge_valid( solid, edge, apex ) )
                    {
                        return false;
                    }
                    if( !duplicated )
                    {
                        return true;
                    }
                    for( const auto w : vertices_around_edge(
                             solid, ends, solid.polyhedra_around_edge( edge ) ) )
                    {
                        if( w == apex )
                        {
                            continue;
                        }
                        const auto other = model.unique_vertex( { component, w } );
                        if( other != NO_ID
                            && nb_vertices_in_component( model, other, id ) == 1 )
                        {
                            return false;
                        }
                    }
                    return true;
                };
                if( std::none_of( apexes.begin(), apexes.end(), passes ) )
                {
                    return false;
                }
            }
        }
        return true;
    }

    absl::flat_hash_map< uuid, std::vector< Tetrahedron > > block_tetrahedra_after_swap_edge(
        const BRep& model,
        const absl::flat_hash_map< uuid, BlockFacetEdges >& blocks,
        index_t apex_unique_vertex )
    {
        absl::flat_hash_map< uuid, std::vector< Tetrahedron > > result;
        for( const auto& [id, block_edges] : blocks )
        {
            const auto& solid = block_solid( model, id );
            auto& tetrahedra = result[id];
            for( const auto apex : vertices_in_component( model, apex_unique_vertex, id ) )
            {
                for( const auto& edge : block_edges )
                {
                    for( const auto& tetrahedron :
                        tetrahedra_after_swap_edge( solid, edge, apex ).tetrahedra )
                    {
                        tetrahedra.push_back( tetrahedron );
                    }
                }
            }
        }
        return result;
    }

    bool is_move_vertex_valid(
        const BRep& model, index_t unique_vertex, const Point< 3 >& point )
    {
        for( const auto& vertex : component_vertices( model, unique_vertex ) )
        {
            if( vertex.component_id.type() != Block< 3 >::component_type_static() )
            {
                continue;
            }
            if( !is_block_vertex_move_valid( model, vertex, point ) )
            {
                return false;
            }
        }
        return true;
    }
} // namespace orvane
