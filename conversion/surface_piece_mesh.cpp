#include <conversion/surface_piece_mesh.hpp>

#include <algorithm>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/attribute_manager.hpp>

namespace orvane
{
    namespace detail
    {
        namespace
        {
            /// The input meshes behind the piece, by index: those of its
            /// first polygon, then the others in order of first mention.
            std::vector< index_t > piece_inputs(
                const MergedSurfaces& merged, absl::Span< const index_t > polygons )
            {
                std::vector< index_t > inputs;
                const auto add = [&inputs]( index_t input ) {
                    if( std::find( inputs.begin(), inputs.end(), input ) == inputs.end() )
                    {
                        inputs.push_back( input );
                    }
                };
                for( const auto& origin : merged.merger.polygon_origins( polygons.front() ) )
                {
                    add( origin.mesh_index );
                }
                for( const auto polygon : polygons )
                {
                    for( const auto& origin : merged.merger.polygon_origins( polygon ) )
                    {
                        add( origin.mesh_index );
                    }
                }
                return inputs;
            }

            void import_vertex_attributes( const MergedSurfaces& merged,
                index_t input,
                absl::Span< const index_t > polygons,
                absl::Span< const index_t > vertex_map,
                const SurfaceMesh< 3 >& mesh )
            {
                const auto& source = *merged.inputs[input];
                std::vector< index_t > old2new( source.nb_vertices(), NO_ID );
                for( const auto polygon : polygons )
                {
                    for( const auto& origin : merged.merger.polygon_origins( polygon ) )
                    {
                        if( origin.mesh_index != input )
                        {
                            continue;
                        }
                        for( const auto vertex : source.polygon_vertices( origin.element ) )
                        {
                            old2new[vertex] = vertex_map[merged.unique_of[merged.merger
                                    .vertex_in_merged( input, vertex )]];
                        }
                    }
                }
                mesh.vertex_attribute_manager().import( source.vertex_attribute_manager(), old2new );
            }

            void import_polygon_attributes( const MergedSurfaces& merged,
                index_t input,
                absl::Span< const index_t > polygons,
                absl::Span< const index_t > polygon_map,
                const uuid& surface_id,
                const SurfaceMesh< 3 >& mesh,
                absl::Span< std::pair< MeshElement, MeshElement > > polygon_entries,
                std::size_t& nb_entries )
            {
                const auto& source = *merged.inputs[input];
                std::vector< index_t > old2new( source.nb_polygons(), NO_ID );
                for( const auto polygon : polygons )
                {
                    for( const auto& origin : merged.merger.polygon_origins( polygon ) )
                    {
                        if( origin.mesh_index != input )
                        {
                            continue;
                        }
                        old2new[origin.element] = polygon_map[polygon];
                        polygon_entries[nb_entries++] = {
                            { source.id(), origin.element }, { surface_id, polygon_map[polygon] }
                        };
                    }
                }
                mesh.polygon_attribute_manager().import( source.polygon_attribute_manager(), old2new );
            }
        } // namespace

        std::size_t nb_polygon_origins(
            const SurfaceMeshMerger< 3 >& merger, absl::Span< const index_t > polygons )
        {
            std::size_t count{ 0 };
            for( const auto polygon : polygons )
            {
                count += merger.polygon_origins( polygon ).size();
            }
            return count;
        }

        SurfacePieceMesh build_surface_piece_mesh( const MergedSurfaces& merged,
            absl::Span< const index_t > polygons,
            const uuid& surface_id,
            const SurfaceMesh< 3 >& mesh,
            SurfaceMeshBuilder< 3 >& builder,
            absl::Span< index_t > polygon_map,
            absl::Span< index_t > vertex_map,
            absl::Span< std::pair< MeshElement, MeshElement > > polygon_entries )
        {
            SurfacePieceMesh piece;
            for( const auto polygon : polygons )
            {
                absl::InlinedVector< index_t, 3 > vertices;
                for( const auto merged_vertex : merged.merged.polygon_vertices( polygon ) )
                {
                    const auto unique = merged.unique_of[merged_vertex];
                    if( vertex_map[unique] == NO_ID )
                    {
                        vertex_map[unique] = builder.create_point( merged.merged.point( unique ) );
                        piece.unique_vertices.push_back( unique );
                    }
                    vertices.push_back( vertex_map[unique] );
                }
                polygon_map[polygon] = builder.create_polygon( vertices );
            }
            // Provenance: the input meshes of the piece's polygons, those of
            // its first polygon first. Only the first polygon's inputs name
            // the surface; every input contributes its attribute values and
            // its element entries, so that no input polygon of the piece is
            // left without a place in the mappings.
            const auto inputs = piece_inputs( merged, polygons );
            const auto nb_naming_inputs = [&] {
                std::vector< index_t > naming;
                for( const auto& origin : merged.merger.polygon_origins( polygons.front() ) )
                {
                    if( std::find( naming.begin(), naming.end(), origin.mesh_index ) == naming.end() )
                    {
                        naming.push_back( origin.mesh_index );
                    }
                }
                return naming.size();
            }();
            for( std::size_t i = 0; i < nb_naming_inputs; i++ )
            {
                piece.name += merged.inputs[inputs[i]]->name();
            }
            std::size_t nb_entries{ 0 };
            for( const auto input : inputs )
            {
                import_vertex_attributes( merged, input, polygons, vertex_map, mesh );
                import_polygon_attributes(
                    merged, input, polygons, polygon_map, surface_id, mesh, polygon_entries, nb_entries );
                const auto& id = merged.inputs[input]->id();
                if( std::find( piece.input_ids.begin(), piece.input_ids.end(), id )
                    == piece.input_ids.end() )
                {
                    piece.input_ids.push_back( id );
                }
            }
            builder.compute_polygon_adjacencies();
            for( index_t j = 0; j < polygons.size(); j++ )
            {
                for( local_index_t e = 0; e < merged.merged.nb_polygon_vertices( polygons[j] ); e++ )
                {
                    if( merged.merged.is_edge_on_border( { polygons[j], e } ) )
                    {
                        builder.unset_polygon_adjacent( { j, e } );
                    }
                }
            }
            for( const auto polygon : polygons )
            {
                polygon_map[polygon] = NO_ID;
            }
            for( const auto unique : piece.unique_vertices )
            {
                vertex_map[unique] = NO_ID;
            }
            return piece;
        }
    } // namespace detail
} // namespace orvane
