#include <explicit/zone_integration.hpp>

#include <algorithm>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <explicit/degenerate_elements.hpp>

namespace
{
    using namespace orvane;
    using internal::ElementOriginList;

    std::shared_ptr< VariableAttribute< ElementOriginList > > origin_attribute(
        AttributeManager& manager )
    {
        return manager.find_or_create_attribute< VariableAttribute, ElementOriginList >(
            internal::ELEMENT_ORIGIN_ATTRIBUTE, ElementOriginList{} );
    }

    /// The input vertex of `mesh` the piece vertex is, when it is one (the
    /// last such entry wins), or NO_ID.
    index_t reused_vertex( const std::vector< MeshVertex >& coincident, const uuid& mesh )
    {
        index_t vertex{ NO_ID };
        for( const auto& entry : coincident )
        {
            if( entry.mesh_id == mesh )
            {
                vertex = entry.element;
            }
        }
        return vertex;
    }

    void remove_triangles(
        TriangulatedSurface< 3 >& surface, const std::vector< index_t >& polygons )
    {
        Logger::log_debug( "triangles_to_remove.size()", " = ", polygons.size() );
        std::vector< bool > to_delete( surface.nb_polygons(), false );
        for( const auto polygon : polygons )
        {
            to_delete.at( polygon ) = true;
        }
        internal::delete_surface_polygons( surface, to_delete );
    }

    void remove_edges( EdgedCurve< 3 >& curve, const std::vector< index_t >& edges )
    {
        Logger::log_debug( "edges_to_remove.size()", " = ", edges.size() );
        std::vector< bool > to_delete( curve.nb_edges(), false );
        for( const auto edge : edges )
        {
            to_delete.at( edge ) = true;
        }
        auto builder = EdgedCurveBuilder< 3 >::create( curve );
        builder->delete_edges( to_delete );
        builder->delete_isolated_vertices();
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        void delete_surface_polygons(
            TriangulatedSurface< 3 >& surface, const std::vector< bool >& to_delete )
        {
            auto builder = TriangulatedSurfaceBuilder< 3 >::create( surface );
            builder->delete_polygons( to_delete );
            for( index_t polygon = 0; polygon < surface.nb_polygons(); polygon++ )
            {
                for( const local_index_t edge : { 0, 1, 2 } )
                {
                    builder->unset_polygon_adjacent( { polygon, edge } );
                }
            }
            builder->compute_polygon_adjacencies();
            // Vertices and edges only the deleted polygons used would stay
            // behind as loose points beside the new ones.
            builder->delete_isolated_vertices();
            if( surface.are_edges_enabled() )
            {
                builder->edges_builder().delete_isolated_edges();
            }
        }

        int combine_status( int pass, int zone )
        {
            if( pass == 3 || pass == zone )
            {
                return zone;
            }
            return 1;
        }

        int merge_component_results( const ModelerMeshes& meshes,
            std::vector< async::Task< ComponentResolution > >& zones )
        {
            int status{ 3 };
            ProblematicElements removal;
            for( auto& zone : zones )
            {
                const auto resolution = zone.get();
                integrate_extracted_surfaces( meshes, resolution, removal );
                integrate_extracted_curves( meshes, resolution, removal );
                status = combine_status( status, resolution.status );
            }
            remove_replaced_elements( meshes, removal );
            remove_degenerate_elements( meshes );
            return status;
        }

        void integrate_extracted_surfaces( const ModelerMeshes& meshes,
            const ComponentResolution& resolution,
            ProblematicElements& removal )
        {
            for( auto* surface : meshes.surfaces )
            {
                const auto& pieces = resolution.extracted.surfaces.at( surface->id() );
                if( pieces.empty() )
                {
                    continue;
                }
                // Appending in input polygon order keeps the result free of
                // the pieces' hash order.
                std::vector< index_t > replaced;
                replaced.reserve( pieces.size() );
                for( const auto& entry : pieces )
                {
                    replaced.push_back( entry.first );
                }
                std::sort( replaced.begin(), replaced.end() );
                absl::flat_hash_map< index_t, index_t > vertex_map;
                for( const auto polygon : replaced )
                {
                    const auto& piece = pieces.at( polygon );
                    const auto first = append_extracted_surface( *surface, piece, vertex_map );
                    auto origins = origin_attribute(
                        surface->polygon_attribute_manager() );
                    for( index_t p = 0; p < piece.mesh->nb_polygons(); p++ )
                    {
                        const auto& facets = piece.component_facets->value( p );
                        inherit_origins( surface->id(), *origins,
                            absl::MakeConstSpan( facets ), removal.surfaces, first + p );
                    }
                }
            }
        }

        void integrate_extracted_curves( const ModelerMeshes& meshes,
            const ComponentResolution& resolution,
            ProblematicElements& removal )
        {
            for( auto* curve : meshes.curves )
            {
                const auto& piece = resolution.extracted.curves.at( curve->id() );
                if( !piece.mesh || piece.mesh->nb_edges() == 0 )
                {
                    continue;
                }
                const auto first = append_extracted_curve( *curve, piece );
                auto origins =
                    origin_attribute( curve->edge_attribute_manager() );
                for( index_t e = 0; e < piece.mesh->nb_edges(); e++ )
                {
                    const auto& edges = piece.component_edges->value( e );
                    inherit_origins( curve->id(), *origins, absl::MakeConstSpan( edges ),
                        removal.lines, first + e );
                }
            }
        }

        index_t append_extracted_surface( TriangulatedSurface< 3 >& surface,
            const ExtractedSurface& piece,
            absl::flat_hash_map< index_t, index_t >& vertex_map )
        {
            const auto first = surface.nb_polygons();
            const auto& patch = *piece.mesh;
            absl::InlinedVector< index_t, 64 > new_vertex( patch.nb_vertices(), NO_ID );
            auto builder = TriangulatedSurfaceBuilder< 3 >::create( surface );
            for( index_t p = 0; p < patch.nb_polygons(); p++ )
            {
                std::array< index_t, 3 > triangle;
                for( const local_index_t corner : { 0, 1, 2 } )
                {
                    const auto v = patch.polygon_vertex( { p, corner } );
                    if( new_vertex[v] == NO_ID )
                    {
                        new_vertex[v] = reused_vertex(
                            piece.component_vertices->value( v ), surface.id() );
                    }
                    if( new_vertex[v] == NO_ID )
                    {
                        const auto background = piece.vertex_origin->value( v );
                        const auto found = vertex_map.find( background );
                        if( found != vertex_map.end() )
                        {
                            new_vertex[v] = found->second;
                        }
                        else
                        {
                            new_vertex[v] = builder->create_point( patch.point( v ) );
                            vertex_map.emplace( background, new_vertex[v] );
                        }
                    }
                    triangle[corner] = new_vertex[v];
                }
                builder->create_triangle( triangle );
            }
            return first;
        }

        index_t append_extracted_curve( EdgedCurve< 3 >& curve, const ExtractedCurve& piece )
        {
            const auto first = curve.nb_edges();
            const auto& extracted = *piece.mesh;
            absl::InlinedVector< index_t, 64 > new_vertex( extracted.nb_vertices(), NO_ID );
            auto builder = EdgedCurveBuilder< 3 >::create( curve );
            for( index_t e = 0; e < extracted.nb_edges(); e++ )
            {
                std::array< index_t, 2 > ends;
                for( const local_index_t end : { 0, 1 } )
                {
                    const auto v = extracted.edge_vertex( { e, end } );
                    if( new_vertex[v] == NO_ID )
                    {
                        new_vertex[v] = reused_vertex(
                            piece.component_vertices->value( v ), curve.id() );
                        if( new_vertex[v] == NO_ID )
                        {
                            new_vertex[v] = builder->create_point( extracted.point( v ) );
                        }
                    }
                    ends[end] = new_vertex[v];
                }
                builder->create_edge( ends[0], ends[1] );
            }
            return first;
        }

        void remove_replaced_elements(
            const ModelerMeshes& meshes, const ProblematicElements& removal )
        {
            std::vector< async::Task< void > > tasks;
            for( auto* surface : meshes.surfaces )
            {
                const auto polygons = removal.surfaces.find( surface->id() );
                if( polygons == removal.surfaces.end() )
                {
                    continue;
                }
                tasks.push_back( async::spawn( [surface, &polygons = polygons->second] {
                    remove_triangles( *surface, polygons );
                } ) );
            }
            for( auto* curve : meshes.curves )
            {
                const auto edges = removal.lines.find( curve->id() );
                if( edges == removal.lines.end() )
                {
                    continue;
                }
                tasks.push_back( async::spawn( [curve, &edges = edges->second] {
                    remove_edges( *curve, edges );
                } ) );
            }
            async::wait_all( tasks );
        }
    } // namespace internal
} // namespace orvane
