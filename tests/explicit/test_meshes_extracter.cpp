#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/mesh/facets.hpp>

#include <explicit/explicit_brep_library.hpp>
#include <explicit/extracted_meshes.hpp>

#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <tests/explicit/provenance_scenes.hpp>
#include <tests/support/solid_fixtures.hpp>
#include <tests/support/surface_checks.hpp>

namespace orvane
{
    namespace
    {
        using internal::ExtractedSurface;
        using internal::MeshesExtracterfromBackgroundSolid;

        class MeshesExtracterTest : public ::testing::Test
        {
        protected:
            void SetUp() override
            {
                ExplicitBRepLibrary::initialize();
            }
        };

        /// Every patch triangle faces like its input polygon.
        void expect_oriented_like( const ExtractedSurface& patch,
            const TriangulatedSurface< 3 >& input,
            index_t polygon )
        {
            const auto reference = input.polygon_normal( polygon ).value();
            for( index_t p = 0; p < patch.mesh->nb_polygons(); ++p )
            {
                const auto normal = patch.mesh->polygon_normal( p );
                ASSERT_TRUE( normal );
                EXPECT_GT( normal->dot( reference ), 0. )
                    << "triangle " << p << " of the patch of polygon " << polygon;
            }
        }

        TEST_F( MeshesExtracterTest, crossing_quads_give_one_oriented_patch_per_polygon )
        {
            test::CrossingQuads scene{ 0.5 };
            MeshesExtracterfromBackgroundSolid extracter{ *scene.background.solid,
                scene.point_sets, scene.curves, scene.surfaces };
            extracter.extract_points();
            extracter.extract_curves();
            extracter.extract_surfaces();
            auto meshes = extracter.take_extracted_meshes();
            EXPECT_TRUE( extracter.extracted_meshes().surfaces.empty() );

            ASSERT_EQ( meshes.surfaces.size(), 2u );
            for( const auto& surface : scene.surfaces )
            {
                const auto& patches = meshes.surfaces.at( surface->id() );
                ASSERT_EQ( patches.size(), 2u );
                for( const auto& [polygon, patch] : patches )
                {
                    SCOPED_TRACE( polygon );
                    // Each input triangle is 8 in area and covered by 64
                    // grid facets of 1/8.
                    EXPECT_EQ( patch.mesh->nb_polygons(), 64u );
                    double area{ 0. };
                    for( index_t p = 0; p < patch.mesh->nb_polygons(); ++p )
                    {
                        area += triangle_area( patch.mesh->triangle( p ) );
                        const auto& records = patch.component_facets->value( p );
                        ASSERT_EQ( records.size(), 1u );
                        EXPECT_EQ( records[0],
                            ( MeshPolygon{ surface->id(), polygon } ) );
                        EXPECT_NE( patch.polygon_origin->value( p ), NO_ID );
                    }
                    EXPECT_NEAR( area, 8., 1e-9 );
                    expect_oriented_like( patch, *surface, polygon );
                    EXPECT_TRUE( test::is_valid_triangulated_surface( *patch.mesh ) );
                    for( index_t v = 0; v < patch.mesh->nb_vertices(); ++v )
                    {
                        const auto origin = patch.vertex_origin->value( v );
                        EXPECT_EQ( patch.mesh->point( v ),
                            scene.background.solid->point( origin ) );
                        EXPECT_EQ( patch.vertex_map.at( origin ), v );
                    }
                }
            }
            // Edges on the crossing line x = 2, z = 0 see four facets of two
            // surfaces around them.
            const auto& patch = meshes.surfaces.at( scene.surfaces[0]->id() ).at( 0 );
            const auto& edges = patch.mesh->edges();
            index_t crossing_edges{ 0 };
            index_t input_edges{ 0 };
            for( index_t e = 0; e < edges.nb_edges(); ++e )
            {
                const auto& ends = edges.edge_vertices( e );
                const auto& p0 = patch.mesh->point( ends[0] );
                const auto& p1 = patch.mesh->point( ends[1] );
                if( p0.value( 0 ) == 2. && p1.value( 0 ) == 2. )
                {
                    ++crossing_edges;
                    EXPECT_EQ( patch.edge_incident_components->value( e ).size(), 4u );
                }
                if( !patch.edge_components->value( e ).empty() )
                {
                    ++input_edges;
                }
            }
            EXPECT_EQ( crossing_edges, 4u );
            // The three sides of the input triangle, 8 edges each.
            EXPECT_EQ( input_edges, 24u );
        }

        /// Two tetrahedra with no common vertex, each with one facet on the
        /// plane z = 0: the first has its apex above the plane, the second
        /// below, so that their facets on the plane run in opposite
        /// directions. Eight input triangles of normal +z elsewhere.
        struct SeparateFacets
        {
            SeparateFacets()
                : background( test::create_tetrahedral_solid(
                    { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 1., 0., 0. } },
                        Point< 3 >{ { 0., 1., 0. } }, Point< 3 >{ { 0., 0., 1. } },
                        Point< 3 >{ { 3., 0., 0. } }, Point< 3 >{ { 3., 1., 0. } },
                        Point< 3 >{ { 4., 0., 0. } },
                        Point< 3 >{ { 3., 0., -1. } } },
                    { { 0, 1, 2, 3 }, { 4, 5, 6, 7 } } ) )
            {
                std::vector< Point< 3 > > points;
                std::vector< std::array< index_t, 3 > > triangles;
                for( index_t i = 0; i < 9; ++i )
                {
                    points.push_back( Point< 3 >{ { double( i ), 10., 0. } } );
                    points.push_back( Point< 3 >{ { double( i ), 11., 0. } } );
                }
                for( index_t i = 0; i < 8; ++i )
                {
                    triangles.push_back( { 2 * i, 2 * i + 2, 2 * i + 1 } );
                }
                surfaces.push_back( test::surface_of( points, triangles ) );
                auto points_mesh = PointSet< 3 >::create();
                PointSetBuilder< 3 >::create( *points_mesh )
                    ->create_point( Point< 3 >{ { 0., 0., 0. } } );
                point_sets.push_back( std::move( points_mesh ) );
                background.add_vertex_record( 0, { point_sets[0]->id(), 0 } );
            }

            index_t facet( const std::array< index_t, 3 >& vertices ) const
            {
                return background.solid->facets()
                    .facet_from_vertices( { vertices[0], vertices[1], vertices[2] } )
                    .value();
            }

            internal::ExtractedMeshes extract()
            {
                MeshesExtracterfromBackgroundSolid extracter{ *background.solid,
                    point_sets, curves, surfaces };
                extracter.extract_points();
                extracter.extract_curves();
                extracter.extract_surfaces();
                return extracter.take_extracted_meshes();
            }

            std::vector< std::unique_ptr< PointSet< 3 > > > point_sets;
            std::vector< std::unique_ptr< EdgedCurve< 3 > > > curves;
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            test::ProvenanceSolid background;
        };

        TEST_F( MeshesExtracterTest, facet_on_two_polygons_gives_two_patches )
        {
            SeparateFacets scene;
            const auto& surface = *scene.surfaces[0];
            const auto facet = scene.facet( { 0, 1, 2 } );
            scene.background.add_facet_record( facet, { surface.id(), 4 } );
            scene.background.add_facet_record( facet, { surface.id(), 7 } );
            auto meshes = scene.extract();

            const auto& patches = meshes.surfaces.at( surface.id() );
            ASSERT_EQ( patches.size(), 2u );
            for( const index_t polygon : { 4u, 7u } )
            {
                const auto& patch = patches.at( polygon );
                ASSERT_EQ( patch.mesh->nb_polygons(), 1u );
                EXPECT_EQ( patch.polygon_origin->value( 0 ), facet );
                const std::vector< MeshPolygon > both{ { surface.id(), 4 },
                    { surface.id(), 7 } };
                EXPECT_EQ( patch.component_facets->value( 0 ), both );
                expect_oriented_like( patch, surface, polygon );
            }
            // The point set gets the background vertex that is its point.
            const auto& points = meshes.point_sets.at( scene.point_sets[0]->id() );
            ASSERT_EQ( points.mesh->nb_vertices(), 1u );
            EXPECT_EQ( points.vertex_origin->value( 0 ), 0u );
        }

        TEST_F( MeshesExtracterTest, separate_pieces_of_one_polygon_are_each_oriented )
        {
            SeparateFacets scene;
            const auto& surface = *scene.surfaces[0];
            // The two facets lie on polygon 0 but run in opposite directions
            // and share no edge: each piece must be turned on its own.
            scene.background.add_facet_record(
                scene.facet( { 0, 1, 2 } ), { surface.id(), 0 } );
            scene.background.add_facet_record(
                scene.facet( { 4, 5, 6 } ), { surface.id(), 0 } );
            auto meshes = scene.extract();
            const auto& patch = meshes.surfaces.at( surface.id() ).at( 0 );
            ASSERT_EQ( patch.mesh->nb_polygons(), 2u );
            expect_oriented_like( patch, surface, 0 );
        }

        TEST_F( MeshesExtracterTest, facet_without_polygon_of_its_surface_is_refused )
        {
            SeparateFacets scene;
            const auto& surface = *scene.surfaces[0];
            MeshesExtracterfromBackgroundSolid extracter{ *scene.background.solid,
                scene.point_sets, scene.curves, scene.surfaces };
            EXPECT_THROW(
                {
                    try
                    {
                        static_cast< void >( extracter.original_triangle_normal(
                            surface.id(), scene.facet( { 0, 1, 2 } ) ) );
                    }
                    catch( const OpenOrvaneException& error )
                    {
                        EXPECT_STREQ( error.what(),
                            "[MeshesExtracterfromBackgroundSolid::original_"
                            "triangle_normal] Wrong mapping between output and "
                            "input polygons (origins)" );
                        throw;
                    }
                },
                OpenOrvaneException );
        }

        TEST_F( MeshesExtracterTest, flip_keeps_first_vertex_and_neighbours )
        {
            auto surface = test::surface_of(
                { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 1., 0., 0. } },
                    Point< 3 >{ { 1., 1., 0. } }, Point< 3 >{ { 0., 1., 0. } } },
                { { 0, 1, 2 }, { 0, 2, 3 } } );
            auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
            internal::flip_surface( *surface, *builder );
            EXPECT_EQ( surface->polygon_vertices( 0 ),
                ( PolygonVertices{ 0, 2, 1 } ) );
            EXPECT_EQ( surface->polygon_vertices( 1 ),
                ( PolygonVertices{ 0, 3, 2 } ) );
            EXPECT_LT( surface->polygon_normal( 0 )->value( 2 ), 0. );
            EXPECT_TRUE( test::is_valid_triangulated_surface( *surface ) );
        }
    } // namespace
} // namespace orvane
