#include <gtest/gtest.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <explicit/explicit_brep_library.hpp>
#include <explicit/zone_integration.hpp>

#include <tests/explicit/explicit_scenes.hpp>
#include <tests/support/conformal_meshes.hpp>
#include <tests/support/surface_checks.hpp>

namespace orvane
{
    namespace
    {
        using internal::ComponentResolution;
        using internal::ElementOriginList;

        class ZoneIntegrationTest : public ::testing::Test
        {
        protected:
            void SetUp() override
            {
                ExplicitBRepLibrary::initialize();
            }
        };

        Point< 3 > p( double x, double y, double z = 0 )
        {
            return Point< 3 >{ { x, y, z } };
        }

        std::shared_ptr< VariableAttribute< ElementOriginList > > origins_of(
            AttributeManager& manager )
        {
            return manager.find_or_create_attribute< VariableAttribute, ElementOriginList >(
                internal::ELEMENT_ORIGIN_ATTRIBUTE, ElementOriginList{} );
        }

        /// Gives every element its own index as provenance, as a stored
        /// input mesh has.
        void trace( AttributeManager& manager, index_t nb_elements )
        {
            auto origins = origins_of( manager );
            for( index_t element = 0; element < nb_elements; element++ )
            {
                origins->set_value( element, ElementOriginList{ element } );
            }
        }

        /// One vertex of a hand-made piece: its point, the background vertex
        /// it comes from and the input vertices it is.
        struct PieceVertex
        {
            Point< 3 > point;
            index_t background;
            std::vector< MeshVertex > is;
        };

        /// A hand-made extracted patch: triangles over the listed vertices,
        /// each lying on the listed input polygons.
        internal::ExtractedSurface patch( const std::vector< PieceVertex >& vertices,
            const std::vector< std::array< index_t, 3 > >& triangles,
            const std::vector< std::vector< MeshPolygon > >& lies_on )
        {
            auto piece = internal::create_extracted_surface();
            for( const auto& vertex : vertices )
            {
                const auto v = piece.builder->create_point( vertex.point );
                piece.vertex_origin->set_value( v, vertex.background );
                piece.component_vertices->set_value( v, vertex.is );
            }
            for( index_t t = 0; t < triangles.size(); t++ )
            {
                piece.builder->create_triangle( triangles[t] );
                piece.component_facets->set_value( t, lies_on[t] );
            }
            return piece;
        }

        /// A resolution with an empty entry for every current mesh.
        ComponentResolution empty_resolution( const internal::ModelerMeshes& meshes, int status )
        {
            ComponentResolution resolution;
            for( const auto* surface : meshes.surfaces )
            {
                resolution.extracted.surfaces[surface->id()];
            }
            for( const auto* curve : meshes.curves )
            {
                resolution.extracted.curves.emplace(
                    curve->id(), internal::create_extracted_curve() );
            }
            resolution.status = status;
            return resolution;
        }

        async::Task< ComponentResolution > ready( ComponentResolution&& resolution )
        {
            return async::spawn(
                [resolution = std::make_shared< ComponentResolution >(
                     std::move( resolution ) )]() mutable { return std::move( *resolution ); } );
        }

        double area( const TriangulatedSurface< 3 >& surface )
        {
            double total{ 0 };
            for( index_t polygon = 0; polygon < surface.nb_polygons(); polygon++ )
            {
                total += triangle_area( surface.triangle( polygon ) );
            }
            return total;
        }

        // The unit square as two triangles along the diagonal (0,0)-(1,1):
        // polygon 0 = (v0, v1, v2) below it, polygon 1 = (v0, v2, v3) above.
        std::unique_ptr< TriangulatedSurface< 3 > > square()
        {
            auto surface = test::triangles_surface( { { p( 0, 0 ), p( 1, 0 ), p( 1, 1 ) },
                { p( 0, 0 ), p( 1, 1 ), p( 0, 1 ) } } );
            trace( surface->polygon_attribute_manager(), surface->nb_polygons() );
            return surface;
        }

        TEST_F( ZoneIntegrationTest, PiecesOfOneZoneReuseAndShareVertices )
        {
            auto surface = square();
            const auto id = surface->id();
            const uuid other;
            internal::ModelerMeshes meshes;
            meshes.surfaces.push_back( surface.get() );
            // Both polygons are cut at the centre, background vertex 100,
            // which the two pieces share; their corners are the square's.
            auto resolution = empty_resolution( meshes, 2 );
            const PieceVertex centre{ p( 0.5, 0.5 ), 100, {} };
            resolution.extracted.surfaces[id].emplace( 1,
                patch( { { p( 0, 0 ), 10, { { id, 0 } } }, centre,
                           { p( 1, 1 ), 12, { { id, 2 } } }, { p( 0, 1 ), 13, { { id, 3 } } } },
                    { { 0, 1, 3 }, { 1, 2, 3 } },
                    // The second triangle also lies on polygon 0 and on a
                    // polygon of another surface, which is ignored.
                    { { { id, 1 } }, { { id, 1 }, { other, 5 }, { id, 0 } } } ) );
            resolution.extracted.surfaces[id].emplace( 0,
                patch( { { p( 0, 0 ), 10, { { id, 0 } } }, { p( 1, 0 ), 11, { { id, 1 } } },
                           { p( 1, 1 ), 12, { { id, 2 } } }, centre },
                    { { 0, 1, 3 }, { 3, 1, 2 } }, { { { id, 0 } }, { { id, 0 } } } ) );
            std::vector< async::Task< ComponentResolution > > zones;
            zones.push_back( ready( std::move( resolution ) ) );

            EXPECT_EQ( internal::merge_component_results( meshes, zones ), 2 );

            // The replaced polygons went; the pieces were appended polygon 0
            // first, whatever the pieces' map order.
            ASSERT_EQ( surface->nb_polygons(), 4 );
            EXPECT_EQ( surface->nb_vertices(), 5 );
            EXPECT_TRUE( test::is_valid_triangulated_surface( *surface ) );
            EXPECT_DOUBLE_EQ( area( *surface ), 1. );
            const auto origins = origins_of( surface->polygon_attribute_manager() );
            EXPECT_EQ( origins->value( 0 ), ElementOriginList{ 0 } );
            EXPECT_EQ( origins->value( 1 ), ElementOriginList{ 0 } );
            EXPECT_EQ( origins->value( 2 ), ElementOriginList{ 1 } );
            EXPECT_EQ( origins->value( 3 ), ( ElementOriginList{ 1, 0 } ) );
            // The centre is one vertex, used by all four triangles.
            for( index_t polygon = 0; polygon < 4; polygon++ )
            {
                bool has_centre{ false };
                for( const auto v : surface->polygon_vertices( polygon ) )
                {
                    has_centre = has_centre || surface->point( v ) == p( 0.5, 0.5 );
                }
                EXPECT_TRUE( has_centre ) << polygon;
            }
        }

        TEST_F( ZoneIntegrationTest, ZonesAreAppendedInOrderAndDeletedTogether )
        {
            const auto make_zones = []( const uuid& id, bool second_fails ) {
                std::vector< async::Task< ComponentResolution > > zones;
                internal::ModelerMeshes none;
                // Zone 0 cuts polygon 0 at the middle of its bottom side.
                ComponentResolution first;
                first.extracted.surfaces[id].emplace( 0,
                    patch( { { p( 0, 0 ), 1, { { id, 0 } } }, { p( 0.5, 0 ), 2, {} },
                               { p( 1, 0 ), 3, { { id, 1 } } }, { p( 1, 1 ), 4, { { id, 2 } } } },
                        { { 0, 1, 3 }, { 1, 2, 3 } }, { { { id, 0 } }, { { id, 0 } } } ) );
                first.status = 2;
                zones.push_back( ready( std::move( first ) ) );
                if( second_fails )
                {
                    zones.push_back( async::spawn( []() -> ComponentResolution {
                        throw OpenOrvaneException{ "zone failed" };
                    } ) );
                    return zones;
                }
                // Zone 1 cuts polygon 1 at the middle of its top side.
                ComponentResolution second;
                second.extracted.surfaces[id].emplace( 1,
                    patch( { { p( 0, 0 ), 1, { { id, 0 } } }, { p( 1, 1 ), 4, { { id, 2 } } },
                               { p( 0.5, 1 ), 2, {} }, { p( 0, 1 ), 5, { { id, 3 } } } },
                        { { 0, 1, 2 }, { 0, 2, 3 } }, { { { id, 1 } }, { { id, 1 } } } ) );
                second.status = 0;
                zones.push_back( ready( std::move( second ) ) );
                return zones;
            };

            {
                auto surface = square();
                internal::ModelerMeshes meshes;
                meshes.surfaces.push_back( surface.get() );
                auto zones = make_zones( surface->id(), false );
                // Statuses 2 and 0 disagree: progress.
                EXPECT_EQ( internal::merge_component_results( meshes, zones ), 1 );
                EXPECT_EQ( surface->nb_polygons(), 4 );
                EXPECT_EQ( surface->nb_vertices(), 6 );
                EXPECT_TRUE( test::is_valid_triangulated_surface( *surface ) );
                EXPECT_DOUBLE_EQ( area( *surface ), 1. );
            }
            {
                // A failing zone: the zones before it stay appended, nothing
                // is deleted.
                auto surface = square();
                internal::ModelerMeshes meshes;
                meshes.surfaces.push_back( surface.get() );
                auto zones = make_zones( surface->id(), true );
                EXPECT_THROW(
                    internal::merge_component_results( meshes, zones ), OpenOrvaneException );
                EXPECT_EQ( surface->nb_polygons(), 4 );
                const auto origins = origins_of( surface->polygon_attribute_manager() );
                EXPECT_EQ( origins->value( 0 ), ElementOriginList{ 0 } );
                EXPECT_EQ( origins->value( 3 ), ElementOriginList{ 0 } );
            }
        }

        TEST_F( ZoneIntegrationTest, NoZoneStillDeletesDegenerateElements )
        {
            auto surface = square();
            {
                // A third triangle flat under the bottom side.
                auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
                const auto v = builder->create_point( p( 0.5, -1e-7 ) );
                builder->create_triangle( { 1, 0, v } );
                builder->compute_polygon_adjacencies();
            }
            trace( surface->polygon_attribute_manager(), surface->nb_polygons() );
            internal::ModelerMeshes meshes;
            meshes.surfaces.push_back( surface.get() );
            std::vector< async::Task< ComponentResolution > > zones;
            EXPECT_EQ( internal::merge_component_results( meshes, zones ), 3 );
            // The flat triangle is swapped away with the polygon across its
            // long side.
            EXPECT_EQ( surface->nb_polygons(), 3 );
            for( index_t polygon = 0; polygon < surface->nb_polygons(); polygon++ )
            {
                EXPECT_GT( surface->triangle( polygon ).minimum_height(), 1e-6 );
            }
            EXPECT_TRUE( test::is_valid_triangulated_surface( *surface ) );
        }

        TEST_F( ZoneIntegrationTest, CurvePiecesReuseTheCurveVertices )
        {
            auto curve = test::curve( { p( 0, 0 ), p( 1, 0 ), p( 2, 0 ) } );
            const auto id = curve->id();
            trace( curve->edge_attribute_manager(), curve->nb_edges() );
            internal::ModelerMeshes meshes;
            meshes.curves.push_back( curve.get() );
            auto resolution = empty_resolution( meshes, 2 );
            // Edge 0 cut at its middle.
            auto& piece = resolution.extracted.curves.at( id );
            for( const auto& vertex : std::vector< PieceVertex >{
                     { p( 0, 0 ), 7, { { id, 0 } } }, { p( 0.5, 0 ), 8, {} },
                     { p( 1, 0 ), 9, { { id, 1 } } } } )
            {
                const auto v = piece.builder->create_point( vertex.point );
                piece.vertex_origin->set_value( v, vertex.background );
                piece.component_vertices->set_value( v, vertex.is );
            }
            for( const auto& ends : { std::array< index_t, 2 >{ 0, 1 }, { 1, 2 } } )
            {
                const auto e = piece.builder->create_edge( ends[0], ends[1] );
                piece.component_edges->set_value( e, { { id, 0 } } );
            }
            std::vector< async::Task< ComponentResolution > > zones;
            zones.push_back( ready( std::move( resolution ) ) );
            EXPECT_EQ( internal::merge_component_results( meshes, zones ), 2 );

            ASSERT_EQ( curve->nb_edges(), 3 );
            EXPECT_EQ( curve->nb_vertices(), 4 );
            const auto origins = origins_of( curve->edge_attribute_manager() );
            EXPECT_EQ( origins->value( 0 ), ElementOriginList{ 1 } );
            EXPECT_EQ( origins->value( 1 ), ElementOriginList{ 0 } );
            EXPECT_EQ( origins->value( 2 ), ElementOriginList{ 0 } );
            // The piece ends are the curve's own vertices: one chain.
            EXPECT_EQ( curve->edge_vertex( { 1, 0 } ), 0 );
            EXPECT_EQ( curve->edge_vertex( { 1, 1 } ), curve->edge_vertex( { 2, 0 } ) );
            EXPECT_EQ( curve->edge_vertex( { 2, 1 } ), curve->edge_vertex( { 0, 0 } ) );
        }

        TEST( ZoneStatusTest, CountsOnlyTheZonesPolygonsAndEdges )
        {
            const uuid surface;
            const uuid curve;
            const uuid points;
            internal::ProblematicElements zone;
            zone.surfaces[surface] = { 4, 7 };
            zone.lines[curve] = { 2 };
            zone.corners[points] = { 0 };
            struct Case
            {
                internal::ProblematicElements::ElementLists surfaces;
                internal::ProblematicElements::ElementLists lines;
                int status;
            };
            const std::vector< Case > cases{
                { {}, {}, 2 },
                { { { surface, { 7 } } }, {}, 1 },
                // Every polygon and edge failed: no progress, whatever the
                // point-set vertex.
                { { { surface, { 4, 7 } } }, { { curve, { 2 } } }, 0 },
                // Repeats count once.
                { { { surface, { 4, 4, 7 } } }, {}, 1 },
            };
            for( const auto& test_case : cases )
            {
                internal::ProblematicElements left_over;
                left_over.surfaces = test_case.surfaces;
                left_over.lines = test_case.lines;
                EXPECT_EQ( internal::zone_status( left_over, zone ), test_case.status );
            }
            EXPECT_EQ( internal::combine_status( 3, 0 ), 0 );
            EXPECT_EQ( internal::combine_status( 2, 2 ), 2 );
            EXPECT_EQ( internal::combine_status( 2, 0 ), 1 );
            EXPECT_EQ( internal::combine_status( 0, 1 ), 1 );
        }
    } // namespace
} // namespace orvane
