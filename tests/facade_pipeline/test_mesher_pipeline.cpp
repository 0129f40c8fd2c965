#include <facade/mesher_pipeline.hpp>

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep.hpp>

#include <explicit/brep_explicit_modeler.hpp>
#include <facade/orvane_tamsel_library.hpp>
#include <simplex/brep_remesher.hpp>

#include <tests/explicit/explicit_scenes.hpp>

namespace orvane
{
    namespace
    {
        class MesherPipelineTest : public ::testing::Test
        {
        protected:
            void SetUp() override
            {
                orvane_tamsel::OrvaneTamselLibrary::initialize();
            }
        };

        /// Surface stages that leave the output surfaces as the driver
        /// hands them over.
        internal::SurfaceStages idle_surface_stages()
        {
            return { []( RemeshingData< BRep >& ) {},
                []( BRep&, BRepGeometricModifier&, const internal::SurfaceRelaxerOptions& ) {
                } };
        }

        BoundingBox< 3 > scene_box()
        {
            BoundingBox< 3 > box;
            box.add_point( Point< 3 >{ { 0., 0., 0. } } );
            box.add_point( Point< 3 >{ { 4., 2., 3. } } );
            return box;
        }

        TEST_F( MesherPipelineTest, SurfaceMappingLeadsFromEveryInputToTheResult )
        {
            const auto surfaces = test::layered_box( 1 );
            BRepExplicitModeler modeler{ scene_box() };
            for( const auto& surface : surfaces )
            {
                modeler.add_triangulated_surface( *surface );
            }
            orvane_tamsel::MesherOptions options{ 0.4 };
            auto [model, mapping] =
                internal::mesh_surfaces( modeler, options, idle_surface_stages() );
            ASSERT_TRUE( mapping.has_mapping_type( Surface< 3 >::component_type_static() ) );
            const auto& surface_mapping = mapping.at( Surface< 3 >::component_type_static() );
            EXPECT_EQ( surface_mapping.size_in(), surfaces.size() );
            for( const auto& surface : surfaces )
            {
                const auto& outputs = surface_mapping.in2out( surface->id() );
                ASSERT_FALSE( outputs.empty() );
                for( const auto& output : outputs )
                {
                    EXPECT_TRUE( model.has_surface( output ) );
                }
            }
            // Corners and lines are remeshed to the metric.
            EXPECT_GT( model.nb_lines(), 0 );
            for( const auto& line : model.lines() )
            {
                const auto& mesh = line.mesh();
                ASSERT_GT( mesh.nb_edges(), 0 );
                for( index_t edge = 0; edge < mesh.nb_edges(); edge++ )
                {
                    EXPECT_GT( mesh.edge_length( edge ), 0.4 / 2 );
                    EXPECT_LT( mesh.edge_length( edge ), 0.4 * 2 );
                }
            }
        }

        /// Records the name of every stage reported and checks its time.
        struct StageLog
        {
            std::vector< std::string > stages;

            internal::StageObserver observer()
            {
                return [this]( std::string_view stage, double seconds ) {
                    EXPECT_GE( seconds, 0. ) << stage;
                    stages.emplace_back( stage );
                };
            }
        };

        TEST_F( MesherPipelineTest, ObserverIsToldEveryStageInRunOrder )
        {
            const auto surfaces = test::layered_box( 1 );
            BRepExplicitModeler modeler{ scene_box() };
            for( const auto& surface : surfaces )
            {
                modeler.add_triangulated_surface( *surface );
            }
            StageLog log;
            const auto [model, mapping] = internal::mesh_surfaces( modeler,
                orvane_tamsel::MesherOptions{ 0.4 }, idle_surface_stages(), log.observer() );
            const std::vector< std::string > expected{ "explicit modeling", "model building",
                "feature split", "metric", "prepare", "corners", "lines", "surfaces",
                "relax lines", "relax surfaces", "clean" };
            EXPECT_EQ( log.stages, expected );
            EXPECT_GT( model.nb_surfaces(), 0 );
        }

        TEST_F( MesherPipelineTest, StageLeftByAnExceptionIsNotReported )
        {
            const auto surfaces = test::layered_box( 1 );
            BRepExplicitModeler modeler{ scene_box() };
            for( const auto& surface : surfaces )
            {
                modeler.add_triangulated_surface( *surface );
            }
            auto stages = idle_surface_stages();
            stages.remesh_surfaces = []( RemeshingData< BRep >& ) {
                throw OpenOrvaneException{ "surface stage failed" };
            };
            StageLog log;
            EXPECT_THROW( static_cast< void >( internal::mesh_surfaces( modeler,
                              orvane_tamsel::MesherOptions{ 0.4 }, stages, log.observer() ) ),
                OpenOrvaneException );
            const std::vector< std::string > expected{ "explicit modeling", "model building",
                "feature split", "metric", "prepare", "corners", "lines" };
            EXPECT_EQ( log.stages, expected );
        }
    } // namespace
} // namespace orvane
