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
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <conversion/model_builder_from_meshes.hpp>

#include <explicit/conflict_finder.hpp>
#include <explicit/modeler_meshes.hpp>

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

    /// Deletes the triangles whose smallest height is at most 1e-6; returns
    /// how many went.
    index_t remove_degenerate_triangles( TriangulatedSurface< 3 >& surface )
    {
        std::vector< bool > to_delete( surface.nb_polygons(), false );
        index_t count{ 0 };
        for( index_t polygon = 0; polygon < surface.nb_polygons(); polygon++ )
        {
            if( surface.triangle( polygon ).minimum_height() <= GLOBAL_EPSILON )
            {
                to_delete[polygon] = true;
                count++;
            }
        }
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( surface );
        builder->delete_polygons( to_delete );
        builder->compute_polygon_adjacencies();
        return count;
    }

    /// Deletes the edges of length at most 1e-6; returns how many went.
    index_t remove_degenerate_edges( EdgedCurve< 3 >& curve )
    {
        std::vector< bool > to_delete( curve.nb_edges(), false );
        index_t count{ 0 };
        for( index_t edge = 0; edge < curve.nb_edges(); edge++ )
        {
            if( curve.edge_length( edge ) <= GLOBAL_EPSILON )
            {
                to_delete[edge] = true;
                count++;
            }
        }
        auto builder = EdgedCurveBuilder< 3 >::create( curve );
        builder->delete_edges( to_delete );
        return count;
    }

    /// One task per mesh; the first failure in start order is rethrown.
    index_t remove_degenerate_elements( const internal::ModelerMeshes& meshes )
    {
        std::vector< async::Task< index_t > > tasks;
        for( auto* surface : meshes.surfaces )
        {
            tasks.push_back( async::spawn(
                [surface] { return remove_degenerate_triangles( *surface ); } ) );
        }
        for( auto* curve : meshes.curves )
        {
            tasks.push_back(
                async::spawn( [curve] { return remove_degenerate_edges( *curve ); } ) );
        }
        async::wait_all( tasks );
        index_t total{ 0 };
        for( auto& task : tasks )
        {
            total += task.get();
        }
        return total;
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
        explicit Impl( const BoundingBox< 3 >& box ) : box_( box ) {}

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

        std::pair< BRep, ModelMappings > build()
        {
            Logger::log_trace( "[ExplicitModeler3D::build with local strategy]" );
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
            auto graph = internal::find_conflicts( meshes );
            while( graph )
            {
                const auto nb_conflicting = ( *graph )->graph().nb_vertices();
                if( nb_conflicting > 0 )
                {
                    throw OpenOrvaneException{ "[BRepExplicitModeler::build] "
                                               "Intersecting or touching input "
                                               "surfaces cannot be made conformal "
                                               "yet: ",
                        nb_conflicting, " conflicting elements found" };
                }
                // Only polygons lost in the merge: a pass without zone, whose
                // clean-up deletes the degenerate elements, then a new search.
                if( remove_degenerate_elements( meshes ) == 0 )
                {
                    // Nothing changed: a new search would find the same.
                    throw OpenOrvaneException{ "[BRepExplicitModeler::build] "
                                               "Some polygons collapse when their "
                                               "vertices closer than 1e-6 are merged, "
                                               "and are not degenerate enough to be "
                                               "removed" };
                }
                graph = internal::find_conflicts( meshes );
            }
            auto [model, mappings] = build_model( meshes );
            Logger::log_info( "[BRepExplicitModeler::build] Generation of a conformal "
                              "BRep from input meshes done" );
            return { std::move( model ), std::move( mappings ) };
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

    std::pair< BRep, ModelMappings > BRepExplicitModeler::build()
    {
        return impl_->build();
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
