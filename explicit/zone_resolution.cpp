#include <explicit/zone_resolution.hpp>

#include <absl/container/inlined_vector.h>

#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/light_regular_grid.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

#include <background/background_solid.hpp>
#include <background/background_solid_inserter.hpp>

#include <explicit/background_solid_splitter.hpp>
#include <explicit/curve_simplifier.hpp>
#include <explicit/modeler_metric.hpp>
#include <explicit/surface_polygon_simplifier.hpp>

namespace
{
    using namespace orvane;
    using Failures = absl::flat_hash_map< uuid, std::vector< index_t > >;

    /// Runs `insert` on every mesh of the list that the zone lists elements
    /// of; a run that ends with elements not inserted records them and the
    /// next mesh is still inserted.
    template < typename Mesh, typename Insert >
    Failures insert_listed( absl::Span< const std::unique_ptr< Mesh > > meshes,
        const internal::ProblematicElements::ElementLists& listed,
        const Insert& insert )
    {
        Failures failures;
        for( const auto& mesh : meshes )
        {
            const auto elements = listed.find( mesh->id() );
            if( elements == listed.end() || elements->second.empty() )
            {
                continue;
            }
            const absl::InlinedVector< index_t, 64 > buffer{
                elements->second.begin(), elements->second.end()
            };
            try
            {
                insert( *mesh, absl::MakeConstSpan( buffer ) );
            }
            catch( const internal::BackgroundInsertionException& error )
            {
                failures[mesh->id()] = error.elements();
            }
        }
        return failures;
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        ComponentResolution resolve_component(
            const ModelerState& state, const ProblematicElements& zone )
        {
            ModelerMetric size_field;
            for( const auto& surface : state.surfaces )
            {
                const auto polygons = zone.surfaces.find( surface->id() );
                if( polygons != zone.surfaces.end() )
                {
                    size_field.add_polygons( *surface, polygons->second );
                }
            }
            for( const auto& curve : state.curves )
            {
                const auto edges = zone.lines.find( curve->id() );
                if( edges == zone.lines.end() )
                {
                    continue;
                }
                std::vector< bool > added( curve->nb_vertices(), false );
                for( const auto edge : edges->second )
                {
                    for( const local_index_t end : { 0, 1 } )
                    {
                        const auto vertex = curve->edge_vertex( { edge, end } );
                        if( !added[vertex] )
                        {
                            added[vertex] = true;
                            size_field.add_point( curve->point( vertex ) );
                        }
                    }
                }
            }
            const auto& metric = size_field.build();
            auto tetrahedra = create_split_background_solid(
                size_field.grid()->grid_bounding_box(), metric );
            auto solid = std::make_unique< BackgroundSolid >( *tetrahedra );
            tetrahedra.reset();

            ComponentResolution result;
            {
                BackgroundSolidInserter inserter{ *solid };
                result.left_over.surfaces =
                    insert_component_surfaces( inserter, state, zone );
                result.left_over.lines = insert_component_curves( inserter, state, zone );
            }
            result.extracted = extract_meshes( *solid, state );
            result.status = zone_status( result.left_over, zone );
            return result;
        }

        absl::flat_hash_map< uuid, std::vector< index_t > > insert_component_surfaces(
            BackgroundSolidInserter& inserter,
            const ModelerState& state,
            const ProblematicElements& zone )
        {
            return insert_listed( state.surfaces, zone.surfaces,
                [&inserter]( const TriangulatedSurface< 3 >& surface,
                    absl::Span< const index_t > polygons ) {
                    inserter.insert_surface( surface, polygons );
                } );
        }

        absl::flat_hash_map< uuid, std::vector< index_t > > insert_component_curves(
            BackgroundSolidInserter& inserter,
            const ModelerState& state,
            const ProblematicElements& zone )
        {
            return insert_listed( state.curves, zone.lines,
                [&inserter]( const EdgedCurve< 3 >& curve,
                    absl::Span< const index_t > edges ) {
                    inserter.insert_curve( curve, edges );
                } );
        }

        ExtractedMeshes extract_meshes(
            const BackgroundSolid& solid, const ModelerState& state )
        {
            MeshesExtracterfromBackgroundSolid extracter{ solid, state.point_sets,
                state.curves, state.surfaces };
            extracter.extract_points();
            extracter.extract_curves();
            extracter.extract_surfaces();
            // Curves are independent of each other: simplify them in list
            // order rather than in hash order.
            auto& extracted = extracter.extracted_meshes();
            for( const auto& curve : state.curves )
            {
                const auto piece = extracted.curves.find( curve->id() );
                if( piece != extracted.curves.end() )
                {
                    CurveSimplifier::apply( extracter, piece->second );
                }
            }
            SurfacePolygonSimplifier::apply( extracter );
            return extracter.take_extracted_meshes();
        }
    } // namespace internal
} // namespace orvane
