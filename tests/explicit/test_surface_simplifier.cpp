#include <algorithm>
#include <set>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/facets.hpp>

#include <common/modifier/triangulated_surface_modifier.hpp>

#include <openorvane/mesh/light_regular_grid.hpp>

#include <simplex/metric/grid_metric.hpp>

#include <explicit/background_provenance.hpp>
#include <explicit/background_solid_splitter.hpp>
#include <explicit/explicit_brep_library.hpp>
#include <explicit/extracted_meshes.hpp>
#include <explicit/surface_polygon_simplifier.hpp>
#include <explicit/surface_simplifier.hpp>

#include <tests/explicit/provenance_scenes.hpp>
#include <tests/support/solid_fixtures.hpp>
#include <tests/support/surface_checks.hpp>

namespace orvane
{
    namespace
    {
        using internal::BackgroundProvenance;
        using internal::ExtractedMeshes;
        using internal::ExtractedSurface;
        using internal::MeshesExtracterfromBackgroundSolid;
        using internal::SurfacePolygonSimplifier;
        using internal::SurfaceSimplifier;

        class SurfaceSimplifierTest : public ::testing::Test
        {
        protected:
            void SetUp() override
            {
                ExplicitBRepLibrary::initialize();
            }
        };

        template < typename Scene >
        ExtractedMeshes extract( Scene& scene )
        {
            MeshesExtracterfromBackgroundSolid extracter{ *scene.background.solid,
                scene.point_sets, scene.curves, scene.surfaces };
            extracter.extract_points();
            extracter.extract_curves();
            extracter.extract_surfaces();
            return extracter.take_extracted_meshes();
        }

        using PointPair = std::pair< std::array< double, 3 >, std::array< double, 3 > >;

        std::array< double, 3 > coordinates( const Point< 3 >& point )
        {
            return { point.value( 0 ), point.value( 1 ), point.value( 2 ) };
        }

        /// The invariants every simplified patch keeps: a valid surface
        /// without degenerate triangle, covering its input polygon exactly,
        /// facing like it, with every vertex at its background vertex and
        /// every input vertex of the polygon kept.
        void check_simplified_patch( const ExtractedSurface& patch,
            const TriangulatedSurface< 3 >& input,
            index_t polygon,
            const TetrahedralSolid< 3 >& solid )
        {
            const auto& mesh = *patch.mesh;
            EXPECT_TRUE( test::is_valid_triangulated_surface( mesh ) );
            const auto reference = input.polygon_normal( polygon ).value();
            double area{ 0. };
            for( index_t p = 0; p < mesh.nb_polygons(); ++p )
            {
                const auto triangle = mesh.triangle( p );
                EXPECT_GT( triangle.minimum_height(), 1e-6 ) << "triangle " << p;
                area += triangle_area( triangle );
                const auto normal = triangle.normal();
                ASSERT_TRUE( normal );
                EXPECT_GT( normal->dot( reference ), 0. ) << "triangle " << p;
            }
            const auto input_area = triangle_area( input.triangle( polygon ) );
            EXPECT_NEAR( area, input_area, 1e-9 * input_area );
            std::set< std::array< double, 3 > > points;
            for( index_t v = 0; v < mesh.nb_vertices(); ++v )
            {
                const auto origin = patch.vertex_origin->value( v );
                EXPECT_EQ( mesh.point( v ), solid.point( origin ) );
                EXPECT_EQ( patch.vertex_map.at( origin ), v );
                points.insert( coordinates( mesh.point( v ) ) );
            }
            EXPECT_EQ( patch.vertex_map.size(), mesh.nb_vertices() );
            for( const auto vertex : input.polygon_vertices( polygon ) )
            {
                EXPECT_TRUE( points.contains( coordinates( input.point( vertex ) ) ) )
                    << "input vertex " << vertex << " lost";
            }
        }

        /// The edges of the patch whose two ends satisfy `on_line`, as
        /// sorted coordinate pairs.
        template < typename OnLine >
        std::set< PointPair > edges_on( const ExtractedSurface& patch, OnLine on_line )
        {
            std::set< PointPair > result;
            const auto& mesh = *patch.mesh;
            for( index_t p = 0; p < mesh.nb_polygons(); ++p )
            {
                for( const local_index_t e : { 0, 1, 2 } )
                {
                    const auto ends = mesh.polygon_edge_vertices( { p, e } );
                    const auto& p0 = mesh.point( ends[0] );
                    const auto& p1 = mesh.point( ends[1] );
                    if( on_line( p0 ) && on_line( p1 ) )
                    {
                        result.insert( std::minmax(
                            coordinates( p0 ), coordinates( p1 ) ) );
                    }
                }
            }
            return result;
        }

        TEST_F( SurfaceSimplifierTest, crossing_quads_simplify_to_the_crossing )
        {
            test::CrossingQuads scene{ 0.5 };
            auto meshes = extract( scene );
            const BackgroundProvenance provenance{ *scene.background.solid };
            SurfacePolygonSimplifier::apply( provenance, meshes );

            std::array< std::set< PointPair >, 2 > crossing;
            const auto on_crossing = []( const Point< 3 >& point ) {
                return point.value( 0 ) == 2. && point.value( 2 ) == 0.;
            };
            for( const auto s : { 0u, 1u } )
            {
                const auto& surface = *scene.surfaces[s];
                for( const auto& [polygon, patch] : meshes.surfaces.at( surface.id() ) )
                {
                    SCOPED_TRACE( ::testing::Message()
                                  << "surface " << s << " polygon " << polygon );
                    check_simplified_patch(
                        patch, surface, polygon, *scene.background.solid );
                    // The crossing cuts each input triangle into a triangle
                    // and a quadrangle: three triangles at least.
                    EXPECT_GE( patch.mesh->nb_polygons(), 3u );
                    EXPECT_LE( patch.mesh->nb_polygons(), 5u );
                    const auto on_line = edges_on( patch, on_crossing );
                    crossing[s].insert( on_line.begin(), on_line.end() );
                }
            }
            // Both surfaces meet along the same edges, which cover the
            // crossing segment from (2, 0, 0) to (2, 4, 0).
            EXPECT_EQ( crossing[0], crossing[1] );
            double length{ 0. };
            for( const auto& [p0, p1] : crossing[0] )
            {
                length += std::abs( p1[1] - p0[1] );
            }
            EXPECT_DOUBLE_EQ( length, 4. );
        }

        /// The quad z = 0 over [0, 4]^2 of CrossingQuads and a vertical square
        /// x = 2, y in [0, 1.5], z in [-0.75, 0.75] whose crossing with it
        /// ends at (2, 1.5, 0) inside the first triangle of the quad.
        struct EndingCrossing
        {
            EndingCrossing()
                : background( test::grid_solid( Point< 3 >{ { 0., 0., -1. } },
                    { 16, 16, 8 }, 0.25 ) )
            {
                surfaces.push_back( test::surface_of(
                    { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 4., 0., 0. } },
                        Point< 3 >{ { 4., 4., 0. } }, Point< 3 >{ { 0., 4., 0. } } },
                    { { 0, 1, 2 }, { 0, 2, 3 } } ) );
                surfaces.push_back( test::surface_of(
                    { Point< 3 >{ { 2., 0., -0.75 } }, Point< 3 >{ { 2., 1.5, -0.75 } },
                        Point< 3 >{ { 2., 1.5, 0.75 } }, Point< 3 >{ { 2., 0., 0.75 } } },
                    { { 0, 1, 2 }, { 0, 2, 3 } } ) );
                background.mark_planar_facets(
                    surfaces[0]->id(), 2, 0., []( const Point< 3 >& c ) {
                        return c.value( 0 ) > c.value( 1 ) ? index_t{ 0 }
                                                           : index_t{ 1 };
                    } );
                background.mark_planar_facets(
                    surfaces[1]->id(), 0, 2., []( const Point< 3 >& c ) {
                        const auto y = c.value( 1 );
                        const auto z = c.value( 2 );
                        if( y > 1.5 || z < -0.75 || z > 0.75 )
                        {
                            return NO_ID;
                        }
                        return y > z + 0.75 ? index_t{ 0 } : index_t{ 1 };
                    } );
                background.mark_input( *surfaces[0] );
                background.mark_input( *surfaces[1] );
            }

            std::vector< std::unique_ptr< PointSet< 3 > > > point_sets;
            std::vector< std::unique_ptr< EdgedCurve< 3 > > > curves;
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            test::ProvenanceSolid background;
        };

        TEST_F( SurfaceSimplifierTest, crossing_ending_inside_a_polygon_keeps_its_end )
        {
            EndingCrossing scene;
            auto meshes = extract( scene );
            const BackgroundProvenance provenance{ *scene.background.solid };
            SurfacePolygonSimplifier::apply( provenance, meshes );
            const auto on_crossing = []( const Point< 3 >& point ) {
                return point.value( 0 ) == 2. && point.value( 2 ) == 0.;
            };
            std::array< std::set< PointPair >, 2 > crossing;
            for( const auto s : { 0u, 1u } )
            {
                const auto& surface = *scene.surfaces[s];
                for( const auto& [polygon, patch] : meshes.surfaces.at( surface.id() ) )
                {
                    SCOPED_TRACE( ::testing::Message()
                                  << "surface " << s << " polygon " << polygon );
                    check_simplified_patch(
                        patch, surface, polygon, *scene.background.solid );
                    const auto on_line = edges_on( patch, on_crossing );
                    crossing[s].insert( on_line.begin(), on_line.end() );
                }
            }
            EXPECT_EQ( crossing[0], crossing[1] );
            double length{ 0. };
            for( const auto& [p0, p1] : crossing[0] )
            {
                length += std::abs( p1[1] - p0[1] );
            }
            EXPECT_DOUBLE_EQ( length, 1.5 );
            // The slit from the border to an inner end: four triangles
            // at least, and no more than a few besides.
            const auto& cut = meshes.surfaces.at( scene.surfaces[0]->id() ).at( 0 );
            EXPECT_GE( cut.mesh->nb_polygons(), 4u );
            EXPECT_LE( cut.mesh->nb_polygons(), 6u );
            EXPECT_EQ(
                meshes.surfaces.at( scene.surfaces[0]->id() ).at( 1 ).mesh->nb_polygons(),
                1u );
        }

        TEST_F( SurfaceSimplifierTest, planar_patches_simplify_to_their_polygon )
        {
            test::CrossingQuads scene{ 0.25, false };
            auto meshes = extract( scene );
            const BackgroundProvenance provenance{ *scene.background.solid };
            SurfacePolygonSimplifier::apply( provenance, meshes );
            const auto& surface = *scene.surfaces[0];
            const auto& patches = meshes.surfaces.at( surface.id() );
            ASSERT_EQ( patches.size(), 2u );
            for( const auto& [polygon, patch] : patches )
            {
                SCOPED_TRACE( polygon );
                check_simplified_patch(
                    patch, surface, polygon, *scene.background.solid );
                EXPECT_EQ( patch.mesh->nb_polygons(), 1u );
            }
        }

        /// The quad z = 0 over [0, 4]^2 (two triangles) laid on a background
        /// solid of the cube [0, 4] x [0, 4] x [-2, 2] split towards a size of
        /// 0.1 around (1, 1, 0): an irregular triangulation with small and
        /// large, fat and thin triangles.
        struct GradedQuad
        {
            /// With the vertical square x = 2, y in [0, 4], z in [-2, 2]
            /// crossing the quad when `crossing` is set.
            explicit GradedQuad( bool crossing = false )
                : background( split_cube() )
            {
                surfaces.push_back( test::surface_of(
                    { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 4., 0., 0. } },
                        Point< 3 >{ { 4., 4., 0. } }, Point< 3 >{ { 0., 4., 0. } } },
                    { { 0, 1, 2 }, { 0, 2, 3 } } ) );
                background.mark_planar_facets(
                    surfaces[0]->id(), 2, 0., []( const Point< 3 >& c ) {
                        return c.value( 0 ) > c.value( 1 ) ? index_t{ 0 }
                                                           : index_t{ 1 };
                    } );
                background.mark_input( *surfaces[0] );
                if( !crossing )
                {
                    return;
                }
                surfaces.push_back( test::surface_of(
                    { Point< 3 >{ { 2., 0., -2. } }, Point< 3 >{ { 2., 4., -2. } },
                        Point< 3 >{ { 2., 4., 2. } }, Point< 3 >{ { 2., 0., 2. } } },
                    { { 0, 1, 2 }, { 0, 2, 3 } } ) );
                background.mark_planar_facets(
                    surfaces[1]->id(), 0, 2., []( const Point< 3 >& c ) {
                        return c.value( 1 ) > c.value( 2 ) + 2. ? index_t{ 0 }
                                                                : index_t{ 1 };
                    } );
                background.mark_input( *surfaces[1] );
            }

            static std::unique_ptr< TetrahedralSolid< 3 > > split_cube()
            {
                const LightRegularGrid< 3 > grid{ Point< 3 >{ { 0., 0., -2. } },
                    { 8, 8, 8 }, { 0.5, 0.5, 0.5 } };
                GridMetric< 3 > metric{ grid, NO_SIZE_REQUESTED };
                for( index_t c = 0; c < grid.nb_cells(); ++c )
                {
                    metric.lower_point_value(
                        grid.cell_barycenter( grid.cell_indices( c ) ), 1. );
                }
                metric.lower_point_value( Point< 3 >{ { 1., 1., 0. } }, 0.1 );
                metric.optimize( 2. );
                BoundingBox< 3 > box;
                box.add_point( Point< 3 >{ { 0., 0., -2. } } );
                box.add_point( Point< 3 >{ { 4., 4., 2. } } );
                return internal::create_split_background_solid( box, metric );
            }

            std::vector< std::unique_ptr< PointSet< 3 > > > point_sets;
            std::vector< std::unique_ptr< EdgedCurve< 3 > > > curves;
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            test::ProvenanceSolid background;
        };

        TEST_F( SurfaceSimplifierTest, irregular_patches_simplify_to_their_polygon )
        {
            GradedQuad scene;
            auto meshes = extract( scene );
            const BackgroundProvenance provenance{ *scene.background.solid };
            const auto& surface = *scene.surfaces[0];
            auto& patches = meshes.surfaces.at( surface.id() );
            ASSERT_EQ( patches.size(), 2u );
            // The split made the patches finer than the 32 facets per
            // triangle of the unsplit grid.
            EXPECT_GT( patches.at( 0 ).mesh->nb_polygons(), 32u );
            SurfacePolygonSimplifier::apply( provenance, meshes );
            for( const auto& [polygon, patch] : patches )
            {
                SCOPED_TRACE( polygon );
                check_simplified_patch(
                    patch, surface, polygon, *scene.background.solid );
                EXPECT_EQ( patch.mesh->nb_polygons(), 1u );
            }
        }

        TEST_F( SurfaceSimplifierTest, irregular_crossing_patches_meet_along_the_crossing )
        {
            GradedQuad scene{ true };
            auto meshes = extract( scene );
            const BackgroundProvenance provenance{ *scene.background.solid };
            SurfacePolygonSimplifier::apply( provenance, meshes );
            const auto on_crossing = []( const Point< 3 >& point ) {
                return point.value( 0 ) == 2. && point.value( 2 ) == 0.;
            };
            std::array< std::set< PointPair >, 2 > crossing;
            for( const auto s : { 0u, 1u } )
            {
                const auto& surface = *scene.surfaces[s];
                for( const auto& [polygon, patch] : meshes.surfaces.at( surface.id() ) )
                {
                    SCOPED_TRACE( ::testing::Message()
                                  << "surface " << s << " polygon " << polygon );
                    check_simplified_patch(
                        patch, surface, polygon, *scene.background.solid );
                    EXPECT_LE( patch.mesh->nb_polygons(), 5u );
                    const auto on_line = edges_on( patch, on_crossing );
                    crossing[s].insert( on_line.begin(), on_line.end() );
                }
            }
            EXPECT_EQ( crossing[0], crossing[1] );
        }

        /// An L-shaped surface folded along x = 2, z = 0: the square
        /// [0, 2]^2 of the plane z = 0 and the square y, z in [0, 2] of the
        /// plane x = 2, two triangles each, laid on a grid solid.
        struct FoldedSquares
        {
            explicit FoldedSquares( double length )
                : background( test::grid_solid( Point< 3 >{ { -0.5, -0.5, -0.5 } },
                    { static_cast< index_t >( 3. / length ),
                        static_cast< index_t >( 3. / length ),
                        static_cast< index_t >( 3. / length ) },
                    length ) )
            {
                surfaces.push_back( test::surface_of(
                    { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 2., 0., 0. } },
                        Point< 3 >{ { 2., 2., 0. } }, Point< 3 >{ { 0., 2., 0. } },
                        Point< 3 >{ { 2., 0., 2. } }, Point< 3 >{ { 2., 2., 2. } } },
                    { { 0, 1, 2 }, { 0, 2, 3 }, { 1, 4, 5 }, { 1, 5, 2 } } ) );
                const auto id = surfaces[0]->id();
                background.mark_planar_facets(
                    id, 2, 0., []( const Point< 3 >& c ) {
                        const auto x = c.value( 0 );
                        const auto y = c.value( 1 );
                        if( x < 0. || x > 2. || y < 0. || y > 2. )
                        {
                            return NO_ID;
                        }
                        return x > y ? index_t{ 0 } : index_t{ 1 };
                    } );
                background.mark_planar_facets(
                    id, 0, 2., []( const Point< 3 >& c ) {
                        const auto y = c.value( 1 );
                        const auto z = c.value( 2 );
                        if( z < 0. || z > 2. || y < 0. || y > 2. )
                        {
                            return NO_ID;
                        }
                        return z > y ? index_t{ 2 } : index_t{ 3 };
                    } );
                background.mark_input( *surfaces[0] );
            }

            std::vector< std::unique_ptr< PointSet< 3 > > > point_sets;
            std::vector< std::unique_ptr< EdgedCurve< 3 > > > curves;
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            test::ProvenanceSolid background;
        };

        TEST_F( SurfaceSimplifierTest, folded_patches_simplify_to_their_polygon )
        {
            FoldedSquares scene{ 0.25 };
            auto meshes = extract( scene );
            const BackgroundProvenance provenance{ *scene.background.solid };
            SurfacePolygonSimplifier::apply( provenance, meshes );
            const auto& surface = *scene.surfaces[0];
            const auto& patches = meshes.surfaces.at( surface.id() );
            ASSERT_EQ( patches.size(), 4u );
            const auto on_fold = []( const Point< 3 >& point ) {
                return point.value( 0 ) == 2. && point.value( 2 ) == 0.;
            };
            for( const auto& [polygon, patch] : patches )
            {
                SCOPED_TRACE( polygon );
                check_simplified_patch(
                    patch, surface, polygon, *scene.background.solid );
                EXPECT_EQ( patch.mesh->nb_polygons(), 1u );
            }
            // The fold is kept as one edge on both sides.
            EXPECT_EQ( edges_on( patches.at( 0 ), on_fold ),
                edges_on( patches.at( 3 ), on_fold ) );
            EXPECT_EQ( edges_on( patches.at( 0 ), on_fold ).size(), 1u );
        }

        TEST_F( SurfaceSimplifierTest, collapse_rules_keep_border_and_input_vertices )
        {
            test::CrossingQuads scene{ 0.5 };
            auto meshes = extract( scene );
            const BackgroundProvenance provenance{ *scene.background.solid };
            auto& patch = meshes.surfaces.at( scene.surfaces[0]->id() ).at( 0 );
            const auto& mesh = *patch.mesh;
            TriangulatedSurfaceModifier< 3 > modifier{ mesh, *patch.builder };
            const SurfaceSimplifier simplifier{ provenance, patch, modifier };
            index_t inner_between_border{ 0 };
            index_t half_border{ 0 };
            index_t from_input{ 0 };
            for( index_t p = 0; p < mesh.nb_polygons(); ++p )
            {
                for( const local_index_t e : { 0, 1, 2 } )
                {
                    const PolygonEdge edge{ p, e };
                    const auto ends = mesh.polygon_edge_vertices( edge );
                    const auto fixed = simplifier.fixed_ends( edge );
                    const std::array< bool, 2 > border{ mesh.is_vertex_on_border(
                                                            ends[0] ),
                        mesh.is_vertex_on_border( ends[1] ) };
                    if( border[0] && border[1] && !mesh.is_edge_on_border( edge ) )
                    {
                        ++inner_between_border;
                        EXPECT_TRUE( fixed[0] && fixed[1] ) << edge.string();
                    }
                    for( const local_index_t i : { 0, 1 } )
                    {
                        // Flag i keeps end 1 - i in place.
                        const auto moved = ends[1 - i];
                        if( border[1 - i] && !border[i] )
                        {
                            ++half_border;
                            EXPECT_TRUE( fixed[i] ) << edge.string();
                        }
                        if( !provenance
                                 .init_vertex_ids( patch.vertex_origin->value( moved ) )
                                 .empty() )
                        {
                            ++from_input;
                            EXPECT_TRUE( fixed[i] ) << edge.string();
                        }
                    }
                }
            }
            EXPECT_GT( inner_between_border, 0u );
            EXPECT_GT( half_border, 0u );
            EXPECT_GT( from_input, 0u );
        }

        /// Two triangles (a, b, c) and (a, c, d) of the plane z = 0 around
        /// the diagonal a-c, a = (0, 0), b = (1, -1), c = (2, 0), d = (1, top):
        /// areas 1 and `top`; the other diagonal gives two triangles of
        /// (1 + top) / 2. Each lies on a facet of a tetrahedron with apex
        /// (1, 0, 1).
        struct TwoTriangles
        {
            explicit TwoTriangles( double top )
                : background( test::create_tetrahedral_solid(
                    { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 1., -1., 0. } },
                        Point< 3 >{ { 2., 0., 0. } }, Point< 3 >{ { 1., top, 0. } },
                        Point< 3 >{ { 1., 0., 1. } } },
                    { { 0, 1, 2, 4 }, { 0, 2, 3, 4 } } ) )
            {
                for( const auto z : { 0., 1. } )
                {
                    surfaces.push_back( test::surface_of(
                        { Point< 3 >{ { -5., -5., z } }, Point< 3 >{ { 5., -5., z } },
                            Point< 3 >{ { 0., 5., z } } },
                        { { 0, 1, 2 } } ) );
                }
            }

            index_t facet( const std::array< index_t, 3 >& vertices ) const
            {
                return background.solid->facets()
                    .facet_from_vertices( { vertices[0], vertices[1], vertices[2] } )
                    .value();
            }

            /// Runs the final swap pass on the patch of the first surface and
            /// tells whether the diagonal a-c was swapped.
            bool swapped()
            {
                auto meshes = extract( *this );
                const BackgroundProvenance provenance{ *background.solid };
                auto& patch = meshes.surfaces.at( surfaces[0]->id() ).at( 0 );
                EXPECT_EQ( patch.mesh->nb_polygons(), 2u );
                {
                    TriangulatedSurfaceModifier< 3 > modifier{ *patch.mesh,
                        *patch.builder };
                    SurfaceSimplifier simplifier{ provenance, patch, modifier };
                    simplifier.swap_edges();
                    modifier.clean();
                }
                EXPECT_EQ( patch.mesh->nb_polygons(), 2u );
                // b and d (background vertices 1 and 3) are joined after a
                // swap.
                const auto b = patch.vertex_map.at( 1 );
                const auto d = patch.vertex_map.at( 3 );
                return patch.mesh->polygon_edge_from_vertices( b, d ).has_value()
                       || patch.mesh->polygon_edge_from_vertices( d, b ).has_value();
            }

            std::vector< std::unique_ptr< PointSet< 3 > > > point_sets;
            std::vector< std::unique_ptr< EdgedCurve< 3 > > > curves;
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            test::ProvenanceSolid background;
        };

        TEST_F( SurfaceSimplifierTest, final_swaps_need_one_percent_more_area )
        {
            struct Case
            {
                double top;
                bool other_polygon;
                bool swapped;
            };
            // New triangles of 1.005 and 1.02 times the smaller old one;
            // triangles of different input polygons are never swapped.
            for( const auto& [top, other_polygon, expected] :
                { Case{ 1.01, false, false }, Case{ 1.04, false, true },
                    Case{ 1.04, true, false } } )
            {
                SCOPED_TRACE( ::testing::Message()
                              << "top " << top << " other " << other_polygon );
                TwoTriangles scene{ top };
                const auto id = scene.surfaces[0]->id();
                scene.background.add_facet_record( scene.facet( { 0, 1, 2 } ), { id, 0 } );
                scene.background.add_facet_record( scene.facet( { 0, 2, 3 } ), { id, 0 } );
                if( other_polygon )
                {
                    scene.background.add_facet_record(
                        scene.facet( { 0, 2, 3 } ), { scene.surfaces[1]->id(), 0 } );
                }
                EXPECT_EQ( scene.swapped(), expected );
            }
        }

        TEST_F( SurfaceSimplifierTest, feature_edges )
        {
            test::CrossingQuads scene{ 0.5 };
            auto meshes = extract( scene );
            const BackgroundProvenance provenance{ *scene.background.solid };
            auto& patch = meshes.surfaces.at( scene.surfaces[0]->id() ).at( 0 );
            const auto& mesh = *patch.mesh;
            TriangulatedSurfaceModifier< 3 > modifier{ mesh, *patch.builder };
            const SurfaceSimplifier simplifier{ provenance, patch, modifier };
            for( index_t p = 0; p < mesh.nb_polygons(); ++p )
            {
                for( const local_index_t e : { 0, 1, 2 } )
                {
                    const PolygonEdge edge{ p, e };
                    const auto ends = mesh.polygon_edge_vertices( edge );
                    const auto on_crossing = mesh.point( ends[0] ).value( 0 ) == 2.
                                             && mesh.point( ends[1] ).value( 0 ) == 2.;
                    EXPECT_EQ( simplifier.is_feature_edge( edge ),
                        on_crossing || mesh.is_edge_on_border( edge ) )
                        << edge.string();
                }
            }
        }

        TEST_F( SurfaceSimplifierTest, patch_settling_in_its_last_cycle_is_simplified )
        {
            index_t needed{ 0 };
            {
                test::CrossingQuads scene{ 0.5 };
                auto meshes = extract( scene );
                const BackgroundProvenance provenance{ *scene.background.solid };
                needed = SurfacePolygonSimplifier::simplify_patch( provenance,
                    meshes.surfaces.at( scene.surfaces[0]->id() ).at( 0 ) );
            }
            ASSERT_GE( needed, 1u );
            // The same patch with exactly the cycles it needs succeeds ...
            {
                test::CrossingQuads scene{ 0.5 };
                auto meshes = extract( scene );
                const BackgroundProvenance provenance{ *scene.background.solid };
                auto& patch = meshes.surfaces.at( scene.surfaces[0]->id() ).at( 0 );
                EXPECT_EQ( SurfacePolygonSimplifier::simplify_patch(
                               provenance, patch, needed ),
                    needed );
                check_simplified_patch(
                    patch, *scene.surfaces[0], 0, *scene.background.solid );
            }
            if( needed == 1 )
            {
                return;
            }
            // ... and fails, cleaned, with one cycle less.
            test::CrossingQuads scene{ 0.5 };
            auto meshes = extract( scene );
            const BackgroundProvenance provenance{ *scene.background.solid };
            auto& patch = meshes.surfaces.at( scene.surfaces[0]->id() ).at( 0 );
            try
            {
                SurfacePolygonSimplifier::simplify_patch( provenance, patch, needed - 1 );
                ADD_FAILURE() << "no exception";
            }
            catch( const OpenOrvaneException& error )
            {
                EXPECT_STREQ( error.what(),
                    "[SurfacePolygonSimplifier::apply] Max safety count reached" );
            }
            EXPECT_TRUE( test::is_valid_triangulated_surface( *patch.mesh ) );
        }
    } // namespace
} // namespace orvane
