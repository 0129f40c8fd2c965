#include <simplex/metric/brep_metric_constraints.hpp>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/model_library.hpp>

#include <simplex/metric/brep_grid_metric.hpp>
#include <simplex/metric/constant_metric.hpp>

#include <tests/support/brep_fixtures.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace
{
    using namespace orvane;
    using Constraints = BRepMetricConstraints::Impl;

    constexpr const char* SHORT_LINE_WARNING =
        "The length of one Line is less than the default metric, so the "
        "constraint will take the value of this length.";
    constexpr const char* CELL_SIZE_WARNING =
        "If the value of the metric is less than the size of a cell, it is "
        "currently replaced locally by the cell size. ";

    /// Lets info messages through for the progress lines.
    class InfoLevel
    {
    public:
        InfoLevel() : previous_( Logger::level() )
        {
            Logger::set_level( Logger::Level::info );
        }
        ~InfoLevel()
        {
            Logger::set_level( previous_ );
        }

    private:
        Logger::Level previous_;
    };

    std::size_t nb_messages_starting_with(
        const LoggerCapture& capture, const std::string& prefix )
    {
        std::size_t count{ 0 };
        for( const auto& message : capture.messages() )
        {
            count += message.text.rfind( prefix, 0 ) == 0;
        }
        return count;
    }

    TEST( MetricConstraints, DefaultMetricMustBeAFiniteNumberAboveEpsilon )
    {
        const auto fixture = test::two_surfaces_sharing_a_line();
        Constraints constraints{ fixture.model };
        const std::vector< std::pair< double, std::string > > refused{
            { 1e-6, "1e-06" }, { 0., "0" }, { -2., "-2" },
            { std::numeric_limits< double >::quiet_NaN(), "nan" },
            { std::numeric_limits< double >::infinity(), "inf" } };
        for( const auto& [value, text] : refused )
        {
            try
            {
                constraints.set_default_metric( value );
                ADD_FAILURE() << "accepted " << text;
            }
            catch( const OpenOrvaneException& error )
            {
                EXPECT_EQ( std::string{ error.what() },
                    "[MetricConstraints] Metric should be larger than epsilon, "
                    "provided "
                        + text );
            }
        }
        EXPECT_EQ( constraints.default_metric(), 0. );
        EXPECT_NO_THROW( constraints.set_default_metric( 1.1e-6 ) );
        EXPECT_EQ( constraints.default_metric(), 1.1e-6 );
        EXPECT_EQ( constraints.gradation(), 1.2 );
    }

    TEST( MetricConstraints, ConstantWhenNoLineIsShorterThanTheDefault )
    {
        // The fixture's line is 1 long.
        const auto fixture = test::two_surfaces_sharing_a_line();
        for( const double default_metric : { 0.5, 1. } )
        {
            Constraints constraints{ fixture.model };
            constraints.set_default_metric( default_metric );
            EXPECT_EQ( constraints.constant_metric(), default_metric );
            const auto* constant =
                dynamic_cast< const ConstantMetric< 3 >* >( &constraints.setup_metric() );
            ASSERT_NE( constant, nullptr );
            EXPECT_EQ( constant->value(), default_metric );
            EXPECT_EQ( constraints.grid(), nullptr );
        }
        // Any constraint calls for a grid.
        Constraints constrained{ fixture.model };
        constrained.set_default_metric( 0.5 );
        constrained.set_surface_constraint( fixture.surface0, 2. );
        EXPECT_FALSE( constrained.constant_metric().has_value() );
        // So does an empty model's absence of lines not: it is constant.
        const BRep empty;
        Constraints nothing{ empty };
        nothing.set_default_metric( 3. );
        EXPECT_EQ( nothing.constant_metric(), 3. );
    }

    TEST( MetricConstraints, ShortLineGivesAGradedGridMetricWithOneWarning )
    {
        const auto fixture = test::two_surfaces_sharing_a_line();
        Constraints constraints{ fixture.model };
        constraints.set_default_metric( 4. );
        EXPECT_FALSE( constraints.constant_metric().has_value() );
        LoggerCapture capture;
        const auto& metric = constraints.setup_metric();
        EXPECT_EQ( capture.count( Logger::Level::warn, SHORT_LINE_WARNING ), 1u );
        EXPECT_EQ( capture.count( Logger::Level::warn, CELL_SIZE_WARNING ), 1u );
        EXPECT_EQ( constraints.line_constraint( fixture.line ), 1. );
        ASSERT_NE( dynamic_cast< const BRepGridMetric* >( &metric ), nullptr );
        ASSERT_NE( constraints.grid(), nullptr );
        // The box is the unit cube and the target is 1: one cell, whose size
        // equals the line's constraint (warned about, written unchanged).
        EXPECT_EQ( constraints.grid()->nb_cells(), 1u );
        EXPECT_EQ( nb_messages_starting_with( capture, "The value of the metric for line: " ), 1u );
        EXPECT_EQ( metric.point_metric( Point< 3 >{ { 0.5, 0., 0. } } ), 1. );
        // Outside the grid, the default.
        EXPECT_EQ( metric.point_metric( Point< 3 >{ { 3., 0., 0. } } ), 4. );
    }

    TEST( MetricConstraints, ShortLinesTightenExistingConstraints )
    {
        const auto fixture = test::two_surfaces_sharing_a_line();
        const std::vector< std::pair< double, double > > cases{
            { 1.5, 1. }, { 0.3, 0.3 }, { 1., 1. } };
        for( const auto& [given, expected] : cases )
        {
            Constraints constraints{ fixture.model };
            constraints.set_default_metric( 2. );
            constraints.set_line_constraint( fixture.line, given );
            LoggerCapture capture;
            constraints.constrain_short_lines();
            EXPECT_EQ( constraints.line_constraint( fixture.line ), expected );
            EXPECT_EQ( capture.count( Logger::Level::warn, SHORT_LINE_WARNING ), 0u );
        }
    }

    TEST( MetricConstraints, ConstraintsBelowTheCellSizeAreClampedWithAWarning )
    {
        // A large box and a tiny constraint: the cap on the cell count makes
        // the cells larger than the constraint.
        OpenOrvaneModelLibrary::initialize();
        BRep model;
        BRepBuilder builder{ model };
        builder.create_unique_vertices( 4 );
        const auto line = test::add_linked_line( model,
            { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 0.5, 0., 0. } } }, { 0, 1 } );
        test::add_linked_line( model,
            { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 500., 500., 500. } } }, { 2, 3 } );
        test::initialize_surface_meshes();
        auto points = PointSet< 3 >::create();
        PointSetBuilder< 3 >::create( *points )->create_point( Point< 3 >{ { 400., 400., 400. } } );
        Constraints constraints{ model };
        constraints.set_default_metric( 100. );
        constraints.set_line_constraint( line, 0.01 );
        constraints.add_point_set_constraint( *points, 0.02 );
        LoggerCapture capture;
        const auto metric = constraints.create_metric();
        const auto& grid = *constraints.grid();
        EXPECT_LE( grid.nb_cells(), 10'000'000u );
        double cell_size = grid.cell_length_in_direction( 0 );
        for( const index_t d : { 1u, 2u } )
        {
            cell_size = std::min( cell_size, grid.cell_length_in_direction( d ) );
        }
        ASSERT_GT( cell_size, 0.02 );
        EXPECT_EQ( metric->point_metric( Point< 3 >{ { 0.25, 0., 0. } } ), cell_size );
        EXPECT_EQ( metric->point_metric( Point< 3 >{ { 400., 400., 400. } } ), cell_size );
        EXPECT_EQ( nb_messages_starting_with( capture,
                       "The value of the metric for line: " + line.string() + " is: 0.01 "
                       "so less than the size of a cell: " ),
            1u );
        EXPECT_EQ( nb_messages_starting_with( capture,
                       "The value of the metric for one point_set is: 0.02 so less "
                       "than the size of a cell: " ),
            1u );
        // Untouched cells stay unset until optimised.
        EXPECT_EQ( metric->point_metric( Point< 3 >{ { 250., 10., 480. } } ), NO_SIZE_REQUESTED );
    }

    TEST( MetricConstraints, FreeMeshAtTheCellSizeIsWrittenWithoutWarning )
    {
        // Unit cube box, target 0.5 from the surface constraint: cells of
        // exactly 0.5.
        const auto fixture = test::two_surfaces_sharing_a_line();
        test::initialize_surface_meshes();
        auto points = PointSet< 3 >::create();
        PointSetBuilder< 3 >::create( *points )->create_point( Point< 3 >{ { 0.9, 0.9, 0.9 } } );
        Constraints constraints{ fixture.model };
        constraints.set_default_metric( 2. );
        constraints.set_surface_constraint( fixture.surface1, 0.5 );
        constraints.add_point_set_constraint( *points, 0.5 );
        InfoLevel info;
        LoggerCapture capture;
        const auto metric = constraints.create_metric();
        EXPECT_EQ( constraints.grid()->cell_length_in_direction( 0 ), 0.5 );
        EXPECT_EQ( nb_messages_starting_with( capture, "The value of the metric for surface: " ), 1u );
        EXPECT_EQ( nb_messages_starting_with( capture, "The value of the metric for one point_set" ), 0u );
        EXPECT_EQ( metric->point_metric( Point< 3 >{ { 0.9, 0.9, 0.9 } } ), 0.5 );
        // surface1 lies in y = 0; the cells above y = 0.5 it does not touch.
        EXPECT_EQ( metric->point_metric( Point< 3 >{ { 0.2, 0.1, 0.2 } } ), 0.5 );
        EXPECT_EQ( metric->point_metric( Point< 3 >{ { 0.2, 0.9, 0.2 } } ), NO_SIZE_REQUESTED );
        // Two constraints plus the metric's creation.
        EXPECT_EQ( nb_messages_starting_with( capture, "Creating GridMetric started" ), 1u );
        bool completed{ false };
        for( const auto& message : capture.messages() )
        {
            if( message.text.rfind( "Creating GridMetric completed", 0 ) == 0 )
            {
                completed = message.text.find( "(3/3 steps)" ) != std::string::npos;
            }
        }
        EXPECT_TRUE( completed );
    }

    TEST( MetricConstraints, BlockConstraintCoversTheBlockVolume )
    {
        const auto fixture = test::tetrahedron_model();
        Constraints constraints{ fixture.model };
        constraints.set_default_metric( 1. );
        constraints.set_block_constraint( fixture.block, 0.05 );
        const auto metric = constraints.create_metric();
        const auto& grid = *constraints.grid();
        // Target 0.05 over the unit box: cells of 0.05, none clamped.
        EXPECT_EQ( grid.nb_cells_in_direction( 0 ), 20u );
        EXPECT_EQ( metric->point_metric( Point< 3 >{ { 0.2, 0.2, 0.2 } } ), 0.05 );
        EXPECT_EQ( metric->point_metric( Point< 3 >{ { 0.01, 0.01, 0.01 } } ), 0.05 );
        EXPECT_EQ( metric->point_metric( Point< 3 >{ { 0.9, 0.9, 0.9 } } ), NO_SIZE_REQUESTED );
    }
} // namespace
