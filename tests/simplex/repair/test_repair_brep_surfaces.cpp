#include <string>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/surface.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>

#include <simplex/brep_remesher.hpp>
#include <simplex/repair/repair_brep_surfaces.hpp>

#include <tests/simplex/remeshing_fixtures.hpp>
#include <tests/simplex/repair/repair_scenes.hpp>
#include <tests/support/brep_checks.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;

    /// Whether every vertex of the surface lies on the tent of the
    /// wall-and-tent scene (z = 0.5 - |x|).
    bool lies_on_tent( const Surface< 3 >& surface )
    {
        const auto& mesh = surface.mesh();
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            const auto& point = mesh.point( v );
            if( std::abs( point.value( 2 ) - ( 0.5 - std::abs( point.value( 0 ) ) ) ) > 1e-12 )
            {
                return false;
            }
        }
        return true;
    }

    TEST( RepairBRepSurfaces, surfaces_without_defect_are_left_alone )
    {
        // Surfaces 0 and 1 meet conformally along a line; surface 2 is far
        // from both and has no candidate.
        const auto p = []( double x, double y, double z ) { return Point< 3 >{ { x, y, z } }; };
        const SceneMeshes meshes{ { p( 0, 0, 0 ), p( 0.5, 0, 0 ), p( 1, 0, 0 ), p( 0.5, 1, 0 ),
                                      p( 0.5, 0, 1 ), p( 10, 10, 10 ), p( 11, 10, 10 ),
                                      p( 10, 11, 10 ) },
            { { { 0, 1, 3 }, { 1, 2, 3 } }, { { 2, 1, 4 }, { 1, 0, 4 } }, { { 5, 6, 7 } } },
            { { 0, 1, 2 } } };
        RepairScene scene{ meshes, meshes, { { { 0, 1 } }, {} }, 0.5 };
        internal::RepairBRepSurfaces repair{ *scene.data };
        EXPECT_EQ( repair.candidate_surfaces( scene.input_surfaces[0] ),
            std::vector< uuid >{ scene.input_surfaces[1] } );
        EXPECT_EQ( repair.candidate_surfaces( scene.input_surfaces[1] ),
            std::vector< uuid >{ scene.input_surfaces[0] } );
        EXPECT_TRUE( repair.candidate_surfaces( scene.input_surfaces[2] ).empty() );
        EXPECT_FALSE( repair.repair_pass() );
        EXPECT_EQ( scene.output_surface( 0 ).mesh().nb_polygons(), 2u );
        EXPECT_EQ( scene.output_surface( 1 ).mesh().nb_polygons(), 2u );
    }

    TEST( RepairBRepSurfaces, passes_repair_a_crossing_and_then_settle )
    {
        RepairScene scene{ RepairScene::tent_input(), RepairScene::tent_output(), {} };
        ASSERT_GT( nb_surface_crossings( scene.output_model ), 0u );
        internal::RepairBRepSurfaces repair{ *scene.data };
        EXPECT_TRUE( repair.repair_pass() );
        EXPECT_FALSE( repair.repair_pass() );
        scene.data->output_modifier.clean();
        EXPECT_EQ( nb_surface_crossings( scene.output_model ), 0u );
        EXPECT_TRUE( lies_on_tent( scene.output_surface( 0 ) ) );
        EXPECT_TRUE( is_valid_brep( scene.output_model, open_surfaces() ) );
    }

    TEST( RepairBRepSurfaces, small_blocks_have_their_single_triangles_snapped )
    {
        const auto p = []( double x, double y, double z ) { return Point< 3 >{ { x, y, z } }; };
        struct Case
        {
            const char* name;
            index_t nb_surfaces;
            bool snapped;
        };
        for( const auto& c : { Case{ "three triangles", 3, true }, Case{ "four triangles", 4, false } } )
        {
            SCOPED_TRACE( c.name );
            // One-triangle surfaces at heights 5k; each output triangle sits
            // 0.1 above its input.
            SceneMeshes input;
            SceneMeshes output;
            std::vector< index_t > bounding;
            for( index_t k = 0; k < c.nb_surfaces; k++ )
            {
                const double z = 5. * k;
                for( auto* meshes : { &input, &output } )
                {
                    const double lift = meshes == &output ? 0.1 : 0.;
                    const auto first = static_cast< index_t >( meshes->points.size() );
                    meshes->points.insert( meshes->points.end(),
                        { p( 0, 0, z + lift ), p( 1, 0, z + lift ), p( 0, 1, z + lift ) } );
                    meshes->surfaces.push_back( { { first, first + 1, first + 2 } } );
                }
                bounding.push_back( k );
            }
            RepairScene scene{ input, output, { {}, { bounding } } };
            internal::RepairBRepSurfaces repair{ *scene.data };
            repair.repair_small_blocks();
            for( index_t k = 0; k < c.nb_surfaces; k++ )
            {
                const auto& surface = scene.output_surface( k );
                const auto& mesh = surface.mesh();
                ASSERT_EQ( mesh.nb_polygons(), c.snapped ? 3u : 1u ) << k;
                if( !c.snapped )
                {
                    continue;
                }
                // The new vertex is the hit below the barycentre.
                const auto& added = mesh.point( 3 );
                EXPECT_NEAR( added.value( 0 ), 1. / 3., 1e-12 );
                EXPECT_NEAR( added.value( 1 ), 1. / 3., 1e-12 );
                EXPECT_NEAR( added.value( 2 ), 5. * k, 1e-12 );
                // The output modifier still owns live flags on the mesh.
                EXPECT_TRUE( mesh.polygon_attribute_manager().attribute_exists( "orvane_active" ) );
                auto& modifier = scene.data->output_modifier;
                for( index_t t = 0; t < 3; t++ )
                {
                    EXPECT_TRUE( modifier.surface_modifier( surface ).is_polygon_active( t ) );
                }
            }
            // The block is bounded only by its relationships: its surfaces
            // do not close.
            auto options = open_surfaces();
            options.check_block_boundaries = false;
            EXPECT_TRUE( is_valid_brep( scene.output_model, options ) );
        }
    }

    TEST( RepairBRepSurfaces, passes_fail_only_when_the_tenth_still_changes )
    {
        struct Case
        {
            const char* name;
            index_t nb_changing;
            bool fails;
        };
        for( const auto& c : { Case{ "no change", 0, false }, Case{ "settles on the tenth", 9, false },
                 Case{ "still changing on the tenth", 10, true } } )
        {
            index_t nb_calls{ 0 };
            const auto pass = [&] { return ++nb_calls <= c.nb_changing; };
            if( c.fails )
            {
                try
                {
                    internal::repeat_surface_repair_passes( pass );
                    ADD_FAILURE() << c.name << ": no failure";
                }
                catch( const OpenOrvaneException& error )
                {
                    EXPECT_EQ( std::string{ error.what() },
                        "[RepairBRepSurfaces::repair] Too many surface repair occurs" );
                }
            }
            else
            {
                EXPECT_NO_THROW( internal::repeat_surface_repair_passes( pass ) ) << c.name;
            }
            EXPECT_EQ( nb_calls, std::min< index_t >( c.nb_changing + 1, 10 ) ) << c.name;
        }
    }

    TEST( RepairBRepSurfaces, remeshing_with_the_repair_leaves_no_crossing )
    {
        for( const bool repair_on : { false, true } )
        {
            SCOPED_TRACE( repair_on ? "repair" : "no repair" );
            std::vector< uuid > surfaces;
            std::vector< uuid > lines;
            auto model = build_scene_model( RepairScene::tent_input(), {}, surfaces, lines );
            const ConstantMetric< 3 > metric{ 4. };
            // The surface stage puts the feet square and the wall in place,
            // as a coarse remeshing would: the square crosses the wall.
            const internal::SurfaceStages stages{
                []( RemeshingData< BRep >& data ) {
                    fill_output_components( data, ids_of( data.input.surfaces() ), {},
                        RepairScene::tent_output() );
                },
                []( BRep&, BRepGeometricModifier&, const internal::SurfaceRelaxerOptions& ) {}
            };
            BRepRemeshOptions options{ false, false, repair_on, false, false, false };
            const auto [output, mapping] =
                internal::remesh_brep( std::move( model ), metric, options, stages );
            EXPECT_EQ( nb_surface_crossings( output ) == 0, repair_on );
            EXPECT_TRUE( is_valid_brep( output, open_surfaces() ) );
            const auto& square = output.surface(
                mapping.at( Surface< 3 >::component_type_static() ).in2out( surfaces[0] ) );
            EXPECT_TRUE( lies_on_tent( square ) );
        }
    }
} // namespace
