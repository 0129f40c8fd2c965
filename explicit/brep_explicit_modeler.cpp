#include <explicit/brep_explicit_modeler.hpp>

#include <cmath>

#include <absl/container/flat_hash_set.h>
#include <absl/container/inlined_vector.h>

#include <openorvane/basic/algorithm.hpp>
#include <openorvane/basic/async.hpp>
#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/graph_identifier.hpp>
#include <openorvane/mesh/surface_mesh_merger.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <conversion/model_builder_from_meshes.hpp>

#include <explicit/conflict_finder.hpp>
#include <explicit/modeler_meshes.hpp>
#include <explicit/zone_integration.hpp>
#include <explicit/zone_resolution.hpp>

namespace
{
    using namespace orvane;
    using Origins = absl::InlinedVector< index_t, 1 >;

    constexpr const char* ORIGIN_ATTRIBUTE = "mesh_element_origin";

    void check_surface( const TriangulatedSurface< 3 >& surface )
    {
        for( index_t vertex = 0; vertex < surface.nb_vertices(); vertex++ )
        {
            const auto& point = surface.point( vertex );
            for( const auto axis : { 0, 1, 2 } )
            {
                if( !std::isfinite( point.value( axis ) ) )
                {
                    throw OpenOrvaneException{ "[BRepExplicitModeler::add_"
                                               "triangulated_surface] Surface ",
                        surface.id().string(), " has a non-finite coordinate at vertex ",
                        vertex };
                }
            }
        }
        for( index_t polygon = 0; polygon < surface.nb_polygons(); polygon++ )
        {
            const auto vertices = surface.polygon_vertices( polygon );
            if( vertices.size() != 3 || vertices[0] == vertices[1]
                || vertices[1] == vertices[2] || vertices[0] == vertices[2] )
            {
                throw OpenOrvaneException{ "[BRepExplicitModeler::add_"
                                           "triangulated_surface] Surface ",
                    surface.id().string(), " has a degenerate triangle ", polygon,
                    " (repeated vertices)" };
            }
        }
    }

    using ElementLists = internal::ProblematicElements::ElementLists;

    /// Appends the input elements of one current element, each once per
    /// mesh.
    void add_origins( ElementLists& lists,
        absl::flat_hash_map< uuid, absl::flat_hash_set< index_t > >& seen,
        const uuid& mesh,
        const Origins& origins )
    {
        for( const auto origin : origins )
        {
            if( seen[mesh].insert( origin ).second )
            {
                lists[mesh].push_back( origin );
            }
        }
    }

    /// The input elements (indices of the meshes as they were added) of the
    /// graph's elements, in graph vertex order. A graph without vertex
    /// stands for polygons the merge of the surfaces drops: those are
    /// listed.
    internal::ProblematicElements remaining_input_elements(
        const internal::ModelerMeshes& meshes, const internal::ConflictGraph& graph )
    {
        absl::flat_hash_map< uuid, const TriangulatedSurface< 3 >* > surfaces;
        for( const auto* surface : meshes.surfaces )
        {
            surfaces.emplace( surface->id(), surface );
        }
        absl::flat_hash_map< uuid, const EdgedCurve< 3 >* > curves;
        for( const auto* curve : meshes.curves )
        {
            curves.emplace( curve->id(), curve );
        }
        internal::ProblematicElements result;
        absl::flat_hash_map< uuid, absl::flat_hash_set< index_t > > seen_polygons;
        absl::flat_hash_map< uuid, absl::flat_hash_set< index_t > > seen_edges;
        absl::flat_hash_map< uuid, absl::flat_hash_set< index_t > > seen_vertices;
        for( index_t vertex = 0; vertex < graph.graph().nb_vertices(); vertex++ )
        {
            const auto& element = graph.element( vertex );
            const auto& mesh = element.component_id.id();
            const auto& type = element.component_id.type().get();
            if( type == "Surface" )
            {
                const auto origins =
                    surfaces.at( mesh )->polygon_attribute_manager().find_attribute< Origins >(
                        ORIGIN_ATTRIBUTE );
                add_origins( result.surfaces, seen_polygons, mesh,
                    origins->value( element.element ) );
            }
            else if( type == "Line" )
            {
                const auto origins =
                    curves.at( mesh )->edge_attribute_manager().find_attribute< Origins >(
                        ORIGIN_ATTRIBUTE );
                add_origins(
                    result.lines, seen_edges, mesh, origins->value( element.element ) );
            }
            else
            {
                add_origins( result.corners, seen_vertices, mesh, Origins{ element.element } );
            }
        }
        if( graph.graph().nb_vertices() > 0 || meshes.surfaces.empty() )
        {
            return result;
        }
        std::vector< const SurfaceMesh< 3 >* > inputs{ meshes.surfaces.begin(),
            meshes.surfaces.end() };
        const detail::SurfaceMeshMerger< 3 > merger{ inputs, GLOBAL_EPSILON };
        for( index_t s = 0; s < inputs.size(); s++ )
        {
            const auto* surface = meshes.surfaces[s];
            const auto origins =
                surface->polygon_attribute_manager().find_attribute< Origins >(
                    ORIGIN_ATTRIBUTE );
            for( index_t polygon = 0; polygon < surface->nb_polygons(); polygon++ )
            {
                if( merger.polygon_in_merged( s, polygon ) == NO_ID )
                {
                    add_origins( result.surfaces, seen_polygons, surface->id(),
                        origins->value( polygon ) );
                }
            }
        }
        return result;
    }

    /// Copies the elements the mapping knows (as inputs) into `known`.
    void keep_mapped(
        const ElementLists& lists, const ElementsMapping& mapping, ElementLists& known )
    {
        for( const auto& [mesh, elements] : lists )
        {
            for( const auto element : elements )
            {
                if( mapping.has_mapping_input( MeshElement{ mesh, element } ) )
                {
                    known[mesh].push_back( element );
                }
            }
        }
    }

    /// Rekeys an element mapping from current element indices to the
    /// indices of the meshes as they were added.
    template < typename Mesh, typename Manager >
    void rekey_element_mapping(
        ElementsMapping& mapping, const std::vector< Mesh* >& meshes, const Manager& manager )
    {
        absl::flat_hash_map< uuid, std::shared_ptr< ReadOnlyAttribute< Origins > > >
            origins;
        for( const auto* mesh : meshes )
        {
            origins.emplace(
                mesh->id(), manager( *mesh ).template find_attribute< Origins >(
                                ORIGIN_ATTRIBUTE ) );
        }
        ElementsMapping rekeyed;
        for( const auto& input : detail::sorted_keys( mapping.in2out() ) )
        {
            const auto& outputs = mapping.in2out().at( input );
            const auto& attribute = origins.at( input.mesh_id );
            for( const auto origin : attribute->value( input.element ) )
            {
                for( const auto& output : outputs )
                {
                    rekeyed.map( MeshElement{ input.mesh_id, origin }, output );
                }
            }
        }
        mapping = std::move( rekeyed );
    }
} // namespace

namespace orvane
{
    class BRepExplicitModeler::Impl
    {
    public:
        explicit Impl( const BoundingBox< 3 >& box )
            : box_( box ), resolver_( &internal::resolve_component )
        {
        }

        ~Impl()
        {
            point_sets_.clear();
            curves_.clear();
            surfaces_.clear();
        }

        void add_triangulated_surface( const TriangulatedSurface< 3 >& surface )
        {
            for( const auto& stored : surfaces_ )
            {
                if( stored->id() == surface.id() )
                {
                    throw OpenOrvaneException{ "[BRepExplicitModeler::add_triangulated_"
                                               "surface] A surface with uuid ",
                        surface.id().string(), " is already stored" };
                }
            }
            check_surface( surface );
            auto clone = surface.clone();
            auto builder = TriangulatedSurfaceBuilder< 3 >::create( *clone );
            IdentifierBuilder{ *clone }.set_id( surface.id() );
            for( index_t polygon = 0; polygon < clone->nb_polygons(); polygon++ )
            {
                for( const local_index_t edge : { 0, 1, 2 } )
                {
                    builder->unset_polygon_adjacent( { polygon, edge } );
                }
            }
            builder->compute_polygon_adjacencies();
            auto origin = clone->polygon_attribute_manager()
                              .find_or_create_attribute< VariableAttribute, Origins >(
                                  ORIGIN_ATTRIBUTE, Origins{} );
            for( index_t polygon = 0; polygon < surface.nb_polygons(); polygon++ )
            {
                origin->set_value( polygon, Origins{ polygon } );
            }
            builder.reset();
            surfaces_.push_back( std::move( clone ) );
        }

        std::pair< BRep, ModelMappings > build( const internal::StageObserver& observer )
        {
            Logger::log_trace( "[ExplicitModeler3D::build with local strategy]" );
            internal::StageClock clock{ observer };
            const auto meshes = current_meshes();
            auto graph = internal::find_conflicts( meshes );
            for( index_t pass = 0; graph; pass++ )
            {
                if( pass == BRepExplicitModeler::MAX_PASSES )
                {
                    throw_remaining( meshes, **graph );
                }
                const auto status = resolve_conflicts( meshes, **graph );
                if( status == 2 )
                {
                    Logger::log_info( "[BRepExplicitModeler::build] All problematic "
                                      "mesh elements have been found." );
                }
                // Even after a pass that resolved every zone the meshes are
                // searched again: an element counts as inserted without its
                // conflicts being gone, and the deletions may leave new ones.
                graph = internal::find_conflicts( meshes );
                if( status == 0 && graph )
                {
                    throw_remaining( meshes, **graph );
                }
            }
            clock.lap( "explicit modeling" );
            auto [model, mappings] = build_model( meshes );
            clock.lap( "model building" );
            Logger::log_info( "[BRepExplicitModeler::build] Generation of a conformal "
                              "BRep from input meshes done" );
            return { std::move( model ), std::move( mappings ) };
        }

        void set_zone_resolver( ZoneResolver resolver )
        {
            resolver_ = std::move( resolver );
        }

        const BoundingBox< 3 >& bounding_box() const
        {
            return box_;
        }

        std::vector< const TriangulatedSurface< 3 >* > surfaces() const
        {
            std::vector< const TriangulatedSurface< 3 >* > result;
            for( const auto& surface : surfaces_ )
            {
                result.push_back( surface.get() );
            }
            return result;
        }

    private:
        internal::ModelerMeshes current_meshes() const
        {
            internal::ModelerMeshes meshes;
            for( const auto& surface : surfaces_ )
            {
                meshes.surfaces.push_back( surface.get() );
            }
            for( const auto& curve : curves_ )
            {
                meshes.curves.push_back( curve.get() );
            }
            for( const auto& points : point_sets_ )
            {
                meshes.point_sets.push_back( points.get() );
            }
            return meshes;
        }

        /// One pass: every zone of the graph resolved in its own task, then
        /// integrated in zone order; returns the pass status.
        int resolve_conflicts(
            const internal::ModelerMeshes& meshes, const internal::ConflictGraph& graph )
        {
            // The insertion enables the edges of the surfaces it is given;
            // doing it here first leaves the zone tasks to read the
            // surfaces only, however many zones share one.
            for( auto* surface : meshes.surfaces )
            {
                surface->enable_edges();
            }
            detail::GraphIdentifier identifier{ graph.graph() };
            identifier.identify_vertices();
            const internal::ModelerState state{ surfaces_, curves_, point_sets_ };
            std::vector< async::Task< internal::ComponentResolution > > zones;
            for( const auto& vertices : identifier.identified_connected_vertices() )
            {
                zones.push_back( async::spawn( [this, &state, &graph, &vertices] {
                    return resolver_( state, graph.component_elements( vertices ) );
                } ) );
            }
            return internal::merge_component_results( meshes, zones );
        }

        /// Builds the model of the current meshes and throws it with the
        /// elements of the graph, as input elements of the model.
        [[noreturn]] void throw_remaining(
            const internal::ModelerMeshes& meshes, const internal::ConflictGraph& graph )
        {
            auto remaining = remaining_input_elements( meshes, graph );
            auto [model, mappings] = build_model( meshes );
            internal::ProblematicElements known;
            keep_mapped( remaining.surfaces, mappings.mesh_elements_mapping.surfaces,
                known.surfaces );
            keep_mapped(
                remaining.lines, mappings.mesh_elements_mapping.lines, known.lines );
            keep_mapped( remaining.corners, mappings.mesh_elements_mapping.corners,
                known.corners );
            if( known.count() == 0 )
            {
                // Nothing to show in the model: the elements in conflict do
                // not reach it (polygons collapsed by the merge of vertices
                // closer than 1e-6).
                throw OpenOrvaneException{ "[BRepExplicitModeler::build] Some "
                                           "polygons collapse when their vertices "
                                           "closer than 1e-6 are merged, and are "
                                           "not degenerate enough to be removed" };
            }
            throw BRepExplicitModelerRemainingException{ std::move( model ),
                std::move( mappings ), known };
        }

        std::tuple< BRep, ModelMappings > build_model(
            const internal::ModelerMeshes& meshes ) const
        {
            std::vector< const PointSet< 3 >* > corners{ meshes.point_sets.begin(),
                meshes.point_sets.end() };
            std::vector< const EdgedCurve< 3 >* > lines{ meshes.curves.begin(),
                meshes.curves.end() };
            std::vector< const SurfaceMesh< 3 >* > surfaces{ meshes.surfaces.begin(),
                meshes.surfaces.end() };
            auto result = detail::build_brep_from_meshes( corners, lines, surfaces );
            auto& mappings = std::get< 1 >( result );
            rekey_element_mapping( mappings.mesh_elements_mapping.lines, meshes.curves,
                []( const EdgedCurve< 3 >& curve ) -> AttributeManager& {
                    return curve.edge_attribute_manager();
                } );
            rekey_element_mapping( mappings.mesh_elements_mapping.surfaces,
                meshes.surfaces,
                []( const TriangulatedSurface< 3 >& surface ) -> AttributeManager& {
                    return surface.polygon_attribute_manager();
                } );
            return result;
        }

    private:
        BoundingBox< 3 > box_;
        std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces_;
        std::vector< std::unique_ptr< EdgedCurve< 3 > > > curves_;
        std::vector< std::unique_ptr< PointSet< 3 > > > point_sets_;
        ZoneResolver resolver_;
    };

    BRepExplicitModeler::BRepExplicitModeler( const BoundingBox< 3 >& box )
        : impl_( std::make_unique< Impl >( box ) )
    {
    }

    BRepExplicitModeler::BRepExplicitModeler( BRepExplicitModeler&& ) noexcept = default;

    BRepExplicitModeler::~BRepExplicitModeler() = default;

    void BRepExplicitModeler::add_triangulated_surface(
        const TriangulatedSurface< 3 >& surface )
    {
        impl_->add_triangulated_surface( surface );
    }

    std::pair< BRep, ModelMappings > BRepExplicitModeler::build(
        const internal::StageObserver& observer )
    {
        return impl_->build( observer );
    }

    void BRepExplicitModeler::set_zone_resolver( ZoneResolver resolver )
    {
        impl_->set_zone_resolver( std::move( resolver ) );
    }

    const BoundingBox< 3 >& BRepExplicitModeler::bounding_box() const
    {
        return impl_->bounding_box();
    }

    std::vector< const TriangulatedSurface< 3 >* > BRepExplicitModeler::surfaces() const
    {
        return impl_->surfaces();
    }
} // namespace orvane
