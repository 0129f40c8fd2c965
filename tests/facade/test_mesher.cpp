#include <facade/mesher.hpp>

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include <openorvane/basic/logger.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

#include <facade/orvane_tamsel_library.hpp>

#include <tests/support/brep_modifier_checks.hpp>
#include <tests/support/conformal_meshes.hpp>

namespace
{
    using orvane::Logger;
    using orvane::LoggerCapture;
    using orvane::Point;

    constexpr const char* SHORT_LINE_WARNING =
        "The length of one Line is less than the default metric, so the "
        "constraint will take the value of this length.";

    class MesherTest : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            orvane_tamsel::OrvaneTamselLibrary::initialize();
        }
    };

    orvane::BoundingBox< 3 > box()
    {
        orvane::BoundingBox< 3 > result;
        result.add_point( Point< 3 >{ { -1., -1., -1. } } );
        result.add_point( Point< 3 >{ { 3., 3., 3. } } );
        return result;
    }

    std::string message_of( orvane_tamsel::Mesher& mesher,
        const orvane_tamsel::MesherOptions& options )
    {
        try
        {
            mesher.build_and_mesh( options );
        }
        catch( const std::exception& error )
        {
            return error.what();
        }
        return "no exception";
    }

    /// Two surfaces crossing each other.
    void add_crossing( orvane_tamsel::Mesher& mesher )
    {
        mesher.add_surface( *orvane::test::rectangle( 0, 0, 1, 1, 0.5, 2 ) );
        orvane::test::TriangleSoup soup;
        soup.add_grid( Point< 3 >{ { 0.25, 0.3, 0. } },
            orvane::Vector< 3 >{ { 0.5, 0.1, 0. } }, orvane::Vector< 3 >{ { 0., 0., 1. } },
            1 );
        mesher.add_surface( *soup.mesh() );
    }

    TEST( MesherOptionsTest, ConstructionAndAssignmentsCopyBothFields )
    {
        const orvane_tamsel::MesherOptions options{ 0.5 };
        EXPECT_EQ( options.angle, 120.0 );
        EXPECT_EQ( options.metric, 0.5 );
        orvane_tamsel::MesherOptions copied{ 2. };
        orvane_tamsel::MesherOptions source{ 3. };
        source.angle = 45.;
        copied = source;
        EXPECT_EQ( copied.angle, 45. );
        EXPECT_EQ( copied.metric, 3. );
        orvane_tamsel::MesherOptions moved{ 7. };
        moved = orvane_tamsel::MesherOptions{ 0.25 };
        EXPECT_EQ( moved.angle, 120. );
        EXPECT_EQ( moved.metric, 0.25 );
    }

    TEST_F( MesherTest, OptionsAreCheckedBeforeAnyStage )
    {
        // Crossing input would fail in explicit modeling: the options' own
        // message shows that they are checked first.
        orvane_tamsel::Mesher mesher{ box() };
        add_crossing( mesher );
        const auto inf = std::numeric_limits< double >::infinity();
        const auto nan = std::numeric_limits< double >::quiet_NaN();
        const std::vector< std::pair< double, std::string > > metrics{
            { 1e-6, "1e-06" }, { 0., "0" }, { -1., "-1" }, { inf, "inf" },
            { nan, "nan" } };
        for( const auto& [metric, text] : metrics )
        {
            EXPECT_EQ( message_of( mesher, orvane_tamsel::MesherOptions{ metric } ),
                "[MetricConstraints] Metric should be larger than epsilon, provided "
                    + text );
        }
        for( const auto angle : { -1., 180.5, nan } )
        {
            orvane_tamsel::MesherOptions options{ 1. };
            options.angle = angle;
            EXPECT_NE( message_of( mesher, options ).find( "feature angle" ),
                std::string::npos )
                << angle;
        }
        // Accepted values pass the checks (on a mesher without surfaces, so
        // that the tiny metric costs nothing).
        orvane_tamsel::Mesher empty{ box() };
        for( const auto& [metric, angle] : std::vector< std::pair< double, double > >{
                 { 1.0000001e-6, 120. }, { 1., 0. }, { 1., 180. } } )
        {
            orvane_tamsel::MesherOptions options{ metric };
            options.angle = angle;
            const auto message = message_of( empty, options );
            EXPECT_EQ( message.find( "Metric should be larger" ), std::string::npos )
                << message;
            EXPECT_EQ( message.find( "feature angle" ), std::string::npos ) << message;
        }
    }

    TEST_F( MesherTest, CrossingSurfacesAreMadeConformalAndRemeshed )
    {
        orvane_tamsel::Mesher mesher{ box() };
        add_crossing( mesher );
        auto [model, mapping] = mesher.build_and_mesh( orvane_tamsel::MesherOptions{ 0.25 } );
        // The crossing becomes a line inside both surfaces, and both input
        // surfaces lead to surfaces of the result.
        EXPECT_GT( model.nb_lines(), 8 );
        ASSERT_TRUE( mapping.has_mapping_type(
            orvane::Surface< 3 >::component_type_static() ) );
        EXPECT_EQ(
            mapping.at( orvane::Surface< 3 >::component_type_static() ).size_in(), 2 );
    }

    TEST_F( MesherTest, HorizonCutByADippingFaultGivesAConformalModel )
    {
        orvane_tamsel::Mesher mesher{ box() };
        mesher.add_surface( *orvane::test::rectangle( 0, 0, 2, 2, 1., 8 ) );
        orvane::test::TriangleSoup fault;
        fault.add_grid( Point< 3 >{ { 0.6, -0.2, 0.2 } },
            orvane::Vector< 3 >{ { 0., 2.4, 0. } }, orvane::Vector< 3 >{ { 0.8, 0., 1.6 } },
            6 );
        mesher.add_surface( *fault.mesh() );
        auto [model, mapping] = mesher.build_and_mesh( orvane_tamsel::MesherOptions{ 0.2 } );
        // The fault crosses the whole horizon, which is cut in two; the
        // crossing ends inside the wider fault, a line within it.
        EXPECT_EQ( model.nb_surfaces(), 3 );
        EXPECT_TRUE( orvane::test::brep_conformity_problems( model ).empty() );
    }

    TEST_F( MesherTest, FailedRunsLeaveTheStoredSurfacesAsAdded )
    {
        // A sliver that explicit modeling deletes in the surfaces it works
        // on; whatever a run does, the next run starts from the input as
        // added and ends the same way.
        auto mesher = std::make_unique< orvane_tamsel::Mesher >( box() );
        orvane::test::TriangleSoup soup;
        soup.add_grid( Point< 3 >{ { 0., 0., 0. } }, orvane::Vector< 3 >{ { 1., 0., 0. } },
            orvane::Vector< 3 >{ { 0., 1., 0. } }, 2 );
        soup.triangles.push_back( { soup.point( Point< 3 >{ { 1., 1., 0. } } ),
            soup.point( Point< 3 >{ { 1., 0., 0. } } ),
            soup.point( Point< 3 >{ { 1. + 1e-8, 0., 0. } } ) } );
        mesher->add_surface( *soup.mesh() );
        const orvane_tamsel::MesherOptions options{ 0.3 };
        const auto first = message_of( *mesher, options );
        EXPECT_EQ( message_of( *mesher, options ), first );
        // Destroying the mesher after failed runs releases everything (the
        // sanitizer build checks it).
        mesher.reset();
    }

    TEST_F( MesherTest, ConstantMetricWithoutWarningWhenNoLineIsShort )
    {
        orvane_tamsel::Mesher mesher{ box() };
        for( const auto& face : orvane::test::cube_faces( 0., 1., 2 ) )
        {
            mesher.add_surface( *face );
        }
        const LoggerCapture capture;
        message_of( mesher, orvane_tamsel::MesherOptions{ 0.3 } );
        EXPECT_EQ( capture.count( Logger::Level::warn, SHORT_LINE_WARNING ), 0 );
        for( const auto& message : capture.messages() )
        {
            EXPECT_EQ( message.text.find( "GridMetric" ), std::string::npos );
        }
    }

    TEST_F( MesherTest, OneShortLineWarnsOnceAndGradesTheMetric )
    {
        // A square and a fan-shaped quadrangle sharing a border of length
        // 0.1, the only line shorter than the metric.
        orvane_tamsel::Mesher mesher{ box() };
        mesher.add_surface( *orvane::test::rectangle( 0, 0, 1, 1, 0, 10 ) );
        orvane::test::TriangleSoup fan;
        const auto a = fan.point( Point< 3 >{ { 1., 0., 0. } } );
        const auto b = fan.point( Point< 3 >{ { 2., -0.5, 0. } } );
        const auto c = fan.point( Point< 3 >{ { 2., 0.6, 0. } } );
        const auto d = fan.point( Point< 3 >{ { 1., 0.1, 0. } } );
        fan.triangles = { { a, b, c }, { a, c, d } };
        mesher.add_surface( *fan.mesh() );
        const LoggerCapture capture;
        message_of( mesher, orvane_tamsel::MesherOptions{ 0.5 } );
        EXPECT_EQ( capture.count( Logger::Level::warn, SHORT_LINE_WARNING ), 1 );
        bool grid_metric{ false };
        for( const auto& message : capture.messages() )
        {
            grid_metric = grid_metric
                          || message.text.find( "Creating GridMetric" ) != std::string::npos;
        }
        EXPECT_TRUE( grid_metric );
    }
} // namespace
