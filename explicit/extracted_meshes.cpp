#include <explicit/extracted_meshes.hpp>

#include <numeric>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/facets.hpp>
#include <openorvane/mesh/repair_polygon_orientations.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

namespace orvane
{
    namespace detail
    {
        void renumber_vertex_map( absl::flat_hash_map< index_t, index_t >& map,
            absl::Span< const index_t > old2new )
        {
            for( auto entry = map.begin(); entry != map.end(); )
            {
                const auto renumbered = entry->second < old2new.size()
                                            ? old2new[entry->second]
                                            : NO_ID;
                if( renumbered == NO_ID )
                {
                    map.erase( entry++ );
                    continue;
                }
                entry->second = renumbered;
                ++entry;
            }
        }
    } // namespace detail

    namespace internal
    {
        namespace
        {
            template < typename Record >
            void create_vertex_attributes( Record& record )
            {
                auto& manager = record.mesh->vertex_attribute_manager();
                record.vertex_origin =
                    manager.template find_or_create_attribute< VariableAttribute,
                        index_t >( "extracted_vertex_origin", NO_ID );
                record.component_vertices =
                    manager.template find_or_create_attribute< VariableAttribute,
                        std::vector< MeshVertex > >(
                        "extracted_component_vertices", {} );
            }

            ExtractedPointSet create_extracted_point_set()
            {
                ExtractedPointSet record;
                record.mesh = PointSet< 3 >::create();
                record.builder = PointSetBuilder< 3 >::create( *record.mesh );
                create_vertex_attributes( record );
                return record;
            }

            /// The polygons of each connected piece of the surface (linked
            /// through adjacencies), pieces in the order of their
            /// lowest-index polygon, polygons breadth first.
            std::vector< std::vector< index_t > > connected_pieces(
                const TriangulatedSurface< 3 >& mesh )
            {
                std::vector< std::vector< index_t > > pieces;
                std::vector< bool > visited( mesh.nb_polygons(), false );
                for( index_t seed = 0; seed < mesh.nb_polygons(); ++seed )
                {
                    if( visited[seed] )
                    {
                        continue;
                    }
                    auto& piece = pieces.emplace_back();
                    visited[seed] = true;
                    piece.push_back( seed );
                    for( std::size_t next = 0; next < piece.size(); ++next )
                    {
                        const auto polygon = piece[next];
                        for( const local_index_t e : { 0, 1, 2 } )
                        {
                            const auto adjacent =
                                mesh.polygon_adjacent( { polygon, e } );
                            if( adjacent && !visited[adjacent.value()] )
                            {
                                visited[adjacent.value()] = true;
                                piece.push_back( adjacent.value() );
                            }
                        }
                    }
                }
                return pieces;
            }
        } // namespace

        ExtractedMeshes::ExtractedMeshes( ExtractedMeshes&& other ) noexcept
            : point_sets( std::move( other.point_sets ) ),
              curves( std::move( other.curves ) ),
              surfaces( std::move( other.surfaces ) )
        {
            other.point_sets.clear();
            other.curves.clear();
            other.surfaces.clear();
        }

        ExtractedMeshes& ExtractedMeshes::operator=(
            ExtractedMeshes&& other ) noexcept
        {
            point_sets = std::move( other.point_sets );
            curves = std::move( other.curves );
            surfaces = std::move( other.surfaces );
            other.point_sets.clear();
            other.curves.clear();
            other.surfaces.clear();
            return *this;
        }

        ExtractedMeshes::~ExtractedMeshes() = default;

        ExtractedCurve create_extracted_curve()
        {
            ExtractedCurve record;
            record.mesh = EdgedCurve< 3 >::create();
            record.builder = EdgedCurveBuilder< 3 >::create( *record.mesh );
            create_vertex_attributes( record );
            auto& edges = record.mesh->edge_attribute_manager();
            record.edge_origin =
                edges.find_or_create_attribute< VariableAttribute, index_t >(
                    "extracted_edge_origin", NO_ID );
            record.component_edges = edges.find_or_create_attribute<
                VariableAttribute, std::vector< MeshEdge > >(
                "extracted_component_edges", {} );
            return record;
        }

        ExtractedSurface create_extracted_surface()
        {
            ExtractedSurface record;
            record.mesh = TriangulatedSurface< 3 >::create();
            record.builder =
                TriangulatedSurfaceBuilder< 3 >::create( *record.mesh );
            create_vertex_attributes( record );
            auto& polygons = record.mesh->polygon_attribute_manager();
            record.polygon_origin =
                polygons.find_or_create_attribute< VariableAttribute, index_t >(
                    "extracted_polygon_origin", NO_ID );
            record.component_facets = polygons.find_or_create_attribute<
                VariableAttribute, std::vector< MeshPolygon > >(
                "extracted_component_facets", {} );
            return record;
        }

        void create_edge_attributes( ExtractedSurface& surface )
        {
            surface.mesh->enable_edges();
            auto& edges = surface.mesh->edges().edge_attribute_manager();
            surface.edge_components = edges.find_or_create_attribute<
                VariableAttribute, std::vector< MeshEdge > >(
                "extracted_edge_components", {}, { true, false } );
            surface.edge_incident_components =
                edges.find_or_create_attribute< VariableAttribute,
                    std::vector< std::vector< MeshPolygon > > >(
                    "extracted_edge_incident_components", {}, { true, false } );
        }

        void flip_polygons( const TriangulatedSurface< 3 >& mesh,
            TriangulatedSurfaceBuilder< 3 >& builder,
            absl::Span< const index_t > polygons )
        {
            for( const auto polygon : polygons )
            {
                const auto vertices = mesh.polygon_vertices( polygon );
                const auto nb = static_cast< local_index_t >( vertices.size() );
                absl::InlinedVector< std::optional< index_t >, 3 > adjacents;
                for( local_index_t e = 0; e < nb; ++e )
                {
                    adjacents.push_back( mesh.polygon_adjacent( { polygon, e } ) );
                }
                // Vertex 0 stays first and the others are reversed, so that
                // the edge that ran from vertex j to j + 1 now runs, reversed,
                // at position nb - 1 - j: the adjacency list is reversed whole.
                for( local_index_t v = 1; v < nb; ++v )
                {
                    builder.set_polygon_vertex(
                        { polygon, v }, vertices[nb - v] );
                }
                for( local_index_t e = 0; e < nb; ++e )
                {
                    const auto& adjacent = adjacents[nb - 1 - e];
                    if( adjacent )
                    {
                        builder.set_polygon_adjacent(
                            { polygon, e }, adjacent.value() );
                    }
                    else
                    {
                        builder.unset_polygon_adjacent( { polygon, e } );
                    }
                }
                for( local_index_t v = 0; v < nb; ++v )
                {
                    builder.associate_polygon_vertex_to_vertex(
                        { polygon, v }, mesh.polygon_vertex( { polygon, v } ) );
                }
            }
        }

        void flip_surface( const TriangulatedSurface< 3 >& mesh,
            TriangulatedSurfaceBuilder< 3 >& builder )
        {
            std::vector< index_t > all( mesh.nb_polygons() );
            std::iota( all.begin(), all.end(), index_t{ 0 } );
            flip_polygons( mesh, builder, all );
        }

        class MeshesExtracterfromBackgroundSolid::Impl
        {
        public:
            Impl( const TetrahedralSolid< 3 >& solid,
                absl::Span< const std::unique_ptr< PointSet< 3 > > > point_sets,
                absl::Span< const std::unique_ptr< EdgedCurve< 3 > > > curves,
                absl::Span< const std::unique_ptr< TriangulatedSurface< 3 > > >
                    surfaces )
                : solid_( solid ), provenance_( solid ), surfaces_( surfaces )
            {
                for( const auto& point_set : point_sets )
                {
                    if( !meshes_.point_sets.contains( point_set->id() ) )
                    {
                        meshes_.point_sets.emplace(
                            point_set->id(), create_extracted_point_set() );
                    }
                }
                for( const auto& curve : curves )
                {
                    if( !meshes_.curves.contains( curve->id() ) )
                    {
                        meshes_.curves.emplace(
                            curve->id(), create_extracted_curve() );
                    }
                }
                for( const auto& surface : surfaces )
                {
                    meshes_.surfaces.try_emplace( surface->id() );
                }
            }

            void extract_points()
            {
                for( index_t v = 0; v < solid_.nb_vertices(); ++v )
                {
                    const auto& records = provenance_.init_vertex_ids( v );
                    for( const auto& record : records )
                    {
                        const auto found = meshes_.point_sets.find( record.mesh_id );
                        if( found == meshes_.point_sets.end() )
                        {
                            continue;
                        }
                        auto& output = found->second;
                        const auto vertex =
                            output.builder->create_point( solid_.point( v ) );
                        output.vertex_origin->set_value( vertex, v );
                        output.component_vertices->set_value( vertex, records );
                    }
                }
            }

            void extract_curves()
            {
                const auto& edges = solid_.edges();
                for( index_t e = 0; e < edges.nb_edges(); ++e )
                {
                    const auto& records = provenance_.init_edge_ids( e );
                    for( const auto& record : records )
                    {
                        const auto found = meshes_.curves.find( record.mesh_id );
                        if( found == meshes_.curves.end() )
                        {
                            continue;
                        }
                        auto& output = found->second;
                        const auto& ends = edges.edge_vertices( e );
                        const auto v0 = output_vertex( output, ends[0] );
                        const auto v1 = output_vertex( output, ends[1] );
                        const auto edge = output.builder->create_edge( v0, v1 );
                        output.edge_origin->set_value( edge, e );
                        output.component_edges->set_value( edge, records );
                    }
                }
            }

            void extract_surfaces()
            {
                const auto& facets = solid_.facets();
                for( index_t f = 0; f < facets.nb_facets(); ++f )
                {
                    const auto& records = provenance_.init_facet_ids( f );
                    if( records.empty() )
                    {
                        continue;
                    }
                    const auto& vertices = facets.facet_vertices( f );
                    for( const auto& record : records )
                    {
                        auto& patches = meshes_.surfaces.at( record.mesh_id );
                        auto patch = patches.find( record.element );
                        if( patch == patches.end() )
                        {
                            patch = patches
                                        .emplace( record.element,
                                            create_extracted_surface() )
                                        .first;
                        }
                        auto& output = patch->second;
                        const std::array< index_t, 3 > triangle{
                            output_vertex( output, vertices[0] ),
                            output_vertex( output, vertices[1] ),
                            output_vertex( output, vertices[2] )
                        };
                        const auto polygon =
                            output.builder->create_triangle( triangle );
                        output.polygon_origin->set_value( polygon, f );
                        output.component_facets->set_value( polygon, records );
                    }
                }
                for( const auto& surface_id : detail::sorted_keys( meshes_.surfaces ) )
                {
                    auto& patches = meshes_.surfaces.at( surface_id );
                    for( const auto polygon : detail::sorted_keys( patches ) )
                    {
                        finish_patch( surface_id, patches.at( polygon ) );
                    }
                }
            }

            Vector< 3 > original_triangle_normal(
                const uuid& surface_id, index_t facet ) const
            {
                const TriangulatedSurface< 3 >* surface{ nullptr };
                for( const auto& candidate : surfaces_ )
                {
                    if( candidate->id() == surface_id )
                    {
                        surface = candidate.get();
                        break;
                    }
                }
                if( surface != nullptr )
                {
                    for( const auto& record : provenance_.init_facet_ids( facet ) )
                    {
                        if( record.mesh_id == surface_id )
                        {
                            return surface->polygon_normal( record.element ).value();
                        }
                    }
                }
                throw OpenOrvaneException{
                    "[MeshesExtracterfromBackgroundSolid::original_triangle_"
                    "normal] Wrong mapping between output and input polygons "
                    "(origins)"
                };
            }

            const BackgroundProvenance& provenance() const
            {
                return provenance_;
            }

            ExtractedMeshes& meshes()
            {
                return meshes_;
            }

        private:
            template < typename Record >
            index_t output_vertex( Record& output, index_t background_vertex )
            {
                const auto found = output.vertex_map.find( background_vertex );
                if( found != output.vertex_map.end() )
                {
                    return found->second;
                }
                const auto vertex =
                    output.builder->create_point( solid_.point( background_vertex ) );
                output.vertex_map.emplace( background_vertex, vertex );
                output.vertex_origin->set_value( vertex, background_vertex );
                output.component_vertices->set_value(
                    vertex, provenance_.init_vertex_ids( background_vertex ) );
                return vertex;
            }

            void finish_patch( const uuid& surface_id, ExtractedSurface& patch )
            {
                auto& mesh = *patch.mesh;
                patch.builder->compute_polygon_adjacencies();
                repair_polygon_orientations( mesh );
                // Each connected piece is oriented on its own: pieces of one
                // polygon that share no edge know nothing of each other's
                // orientation.
                for( const auto& piece : connected_pieces( mesh ) )
                {
                    for( const auto polygon : piece )
                    {
                        const auto normal = mesh.polygon_normal( polygon );
                        if( !normal )
                        {
                            continue;
                        }
                        const auto reference = original_triangle_normal(
                            surface_id, patch.polygon_origin->value( polygon ) );
                        if( normal->dot( reference ) < 0. )
                        {
                            flip_polygons( mesh, *patch.builder, piece );
                        }
                        break;
                    }
                }
                create_edge_attributes( patch );
                const auto& edges = mesh.edges();
                for( index_t e = 0; e < edges.nb_edges(); ++e )
                {
                    const auto& ends = edges.edge_vertices( e );
                    const std::array< index_t, 2 > background{
                        patch.vertex_origin->value( ends[0] ),
                        patch.vertex_origin->value( ends[1] )
                    };
                    const auto edge =
                        provenance_.edge_from_vertices( background ).value();
                    patch.edge_components->set_value(
                        e, provenance_.init_edge_ids( edge ) );
                    std::vector< std::vector< MeshPolygon > > incident;
                    for( const auto facet :
                        provenance_.facets_around_edge( background ) )
                    {
                        incident.push_back( provenance_.init_facet_ids( facet ) );
                    }
                    patch.edge_incident_components->set_value(
                        e, std::move( incident ) );
                }
            }

            const TetrahedralSolid< 3 >& solid_;
            BackgroundProvenance provenance_;
            absl::Span< const std::unique_ptr< TriangulatedSurface< 3 > > > surfaces_;
            ExtractedMeshes meshes_;
        };

        MeshesExtracterfromBackgroundSolid::MeshesExtracterfromBackgroundSolid(
            const TetrahedralSolid< 3 >& solid,
            absl::Span< const std::unique_ptr< PointSet< 3 > > > point_sets,
            absl::Span< const std::unique_ptr< EdgedCurve< 3 > > > curves,
            absl::Span< const std::unique_ptr< TriangulatedSurface< 3 > > > surfaces )
            : impl_{ std::make_unique< Impl >(
                solid, point_sets, curves, surfaces ) }
        {
        }

        MeshesExtracterfromBackgroundSolid::~MeshesExtracterfromBackgroundSolid() =
            default;

        void MeshesExtracterfromBackgroundSolid::extract_points()
        {
            impl_->extract_points();
        }

        void MeshesExtracterfromBackgroundSolid::extract_curves()
        {
            impl_->extract_curves();
        }

        void MeshesExtracterfromBackgroundSolid::extract_surfaces()
        {
            impl_->extract_surfaces();
        }

        const BackgroundProvenance&
            MeshesExtracterfromBackgroundSolid::provenance() const
        {
            return impl_->provenance();
        }

        ExtractedMeshes& MeshesExtracterfromBackgroundSolid::extracted_meshes()
        {
            return impl_->meshes();
        }

        ExtractedMeshes MeshesExtracterfromBackgroundSolid::take_extracted_meshes()
        {
            return std::move( impl_->meshes() );
        }

        Vector< 3 > MeshesExtracterfromBackgroundSolid::original_triangle_normal(
            const uuid& surface, index_t facet ) const
        {
            return impl_->original_triangle_normal( surface, facet );
        }
    } // namespace internal
} // namespace orvane
