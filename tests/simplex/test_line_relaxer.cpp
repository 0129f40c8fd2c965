#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/point_set.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>

#include <simplex/line/line_relaxer.hpp>
#include <simplex/metric/constant_metric.hpp>
#include <simplex/simplex_brep_library.hpp>

#include <tests/simplex/remeshing_fixtures.hpp>
#include <tests/support/brep_checks.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;

    void relax( BRep& model, const Metric< 3 >* metric )
    {
        SimplexBRepLibrary::initialize();
        BRepBuilder builder{ model };
        BRepGeometricModifier modifier{ model, builder };
        internal::relax_lines( model, modifier, metric );
        modifier.clean();
    }

    std::vector< Point< 3 > > on_x( const std::vector< double >& xs )
    {
        std::vector< Point< 3 > > points;
        for( const auto x : xs )
        {
            points.push_back( p3( x, 0, 0 ) );
        }
        return points;
    }

    void expect_no_working_attribute( const EdgedCurve< 3 >& mesh )
    {
        for( const auto* name : { "metric stamp", "smooth stamp", "fixed" } )
        {
            EXPECT_FALSE( mesh.vertex_attribute_manager().attribute_exists( name ) ) << name;
        }
    }

    double shortest_edge( const EdgedCurve< 3 >& mesh )
    {
        double shortest{ MAX_DOUBLE };
        for( index_t e = 0; e < mesh.nb_edges(); e++ )
        {
            shortest = std::min( shortest, mesh.edge_length( e ) );
        }
        return shortest;
    }

    TEST( LineRelaxation, short_inner_edges_go_corners_stay_and_no_attribute_is_left )
    {
        WireModel wire{ { p3( 0, 0, 0 ), p3( 10, 0, 0 ) } };
        const auto line =
            wire.add_line( on_x( { 0, 1, 1.2, 3, 4, 4.1, 5, 6, 7, 8, 9, 9.8, 10 } ) );
        const ConstantMetric< 3 > metric{ 1. };
        relax( wire.model, &metric );

        const auto& mesh = wire.model.line( line ).mesh();
        // The two inner short edges are gone; the one at the corner (10) may
        // not collapse: the model would lose its corner vertex.
        EXPECT_EQ( mesh.nb_edges(), 10 );
        for( index_t e = 0; e < mesh.nb_edges(); e++ )
        {
            const auto vertices = mesh.edge_vertices( e );
            if( mesh.point( vertices[0] ) != p3( 10, 0, 0 )
                && mesh.point( vertices[1] ) != p3( 10, 0, 0 ) )
            {
                EXPECT_GE( mesh.edge_length( e ), 0.5 );
            }
        }
        EXPECT_EQ( wire.model.corner( wire.corners[0] ).mesh().point( 0 ), p3( 0, 0, 0 ) );
        EXPECT_EQ( wire.model.corner( wire.corners[1] ).mesh().point( 0 ), p3( 10, 0, 0 ) );
        // The line still runs from corner to corner, vertices on the corners.
        EXPECT_TRUE( is_valid_brep( wire.model ) );
        expect_no_working_attribute( mesh );
    }

    TEST( LineRelaxation, a_free_line_end_keeps_its_position )
    {
        WireModel wire{ {} };
        const auto line = wire.add_line( on_x( { 0, 0.2, 1, 2, 3 } ) );
        const ConstantMetric< 3 > metric{ 1. };
        relax( wire.model, &metric );
        const auto& mesh = wire.model.line( line ).mesh();
        std::vector< Point< 3 > > ends;
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            if( mesh.edges_around_vertex( v ).size() == 1 )
            {
                ends.push_back( mesh.point( v ) );
            }
        }
        ASSERT_EQ( ends.size(), 2 );
        for( const auto& end : { p3( 0, 0, 0 ), p3( 3, 0, 0 ) } )
        {
            EXPECT_NE( std::find( ends.begin(), ends.end(), end ), ends.end() ) << end.string();
        }
        EXPECT_EQ( mesh.nb_edges(), 3 );
    }

    TEST( LineRelaxation, an_edge_of_exactly_half_the_metric_stays_a_shorter_one_goes )
    {
        struct Case
        {
            double inner;
            index_t nb_edges;
        };
        for( const auto& [inner, nb_edges] : { Case{ 0.5, 3 }, Case{ 0.49, 2 } } )
        {
            WireModel wire{ { p3( 0, 0, 0 ), p3( 2 + inner, 0, 0 ) } };
            const auto line = wire.add_line( on_x( { 0, 1, 1 + inner, 2 + inner } ) );
            const ConstantMetric< 3 > metric{ 1. };
            relax( wire.model, &metric );
            const auto& mesh = wire.model.line( line ).mesh();
            EXPECT_EQ( mesh.nb_edges(), nb_edges ) << inner;
            EXPECT_TRUE( is_valid_brep( wire.model ) ) << inner;
        }
    }

    TEST( LineRelaxation, without_metric_vertices_are_only_smoothed )
    {
        WireModel wire{ { p3( 0, 0, 0 ), p3( 3, 0, 0 ) } };
        const auto line = wire.add_line( on_x( { 0, 0.1, 1, 2, 3 } ) );
        relax( wire.model, nullptr );
        const auto& mesh = wire.model.line( line ).mesh();
        EXPECT_EQ( mesh.nb_edges(), 4 );
        EXPECT_NEAR( shortest_edge( mesh ), 0.1, 1e-12 );
        expect_no_working_attribute( mesh );
    }

    TEST( LineRelaxation, moves_are_bounded_below_and_above )
    {
        struct Case
        {
            double middle;
            double after;
        };
        // Within 5% of the mean edge length: no move; 6%: moved to the
        // middle; 30% or more: not in one pass, and nothing else queues it.
        for( const auto& [middle, after] :
            { Case{ 1.04, 1.04 }, Case{ 1.06, 1. }, Case{ 1.3, 1.3 }, Case{ 1.29, 1. } } )
        {
            WireModel wire{ { p3( 0, 0, 0 ), p3( 2, 0, 0 ) } };
            const auto line = wire.add_line( on_x( { 0, middle, 2 } ) );
            relax( wire.model, nullptr );
            const auto& mesh = wire.model.line( line ).mesh();
            ASSERT_EQ( mesh.nb_vertices(), 3 );
            EXPECT_NEAR( mesh.point( 1 ).value( 0 ), after, 1e-12 ) << middle;
        }
    }

    TEST( LineRelaxation, a_closed_line_of_three_edges_keeps_its_vertices )
    {
        WireModel wire{ {} };
        const auto line = wire.add_line( { p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 0, 1, 0 ) }, true );
        const ConstantMetric< 3 > metric{ 100. };
        relax( wire.model, &metric );
        EXPECT_EQ( wire.model.line( line ).mesh().nb_edges(), 3 );
        EXPECT_EQ( wire.model.line( line ).mesh().nb_vertices(), 3 );
    }

    TEST( LineRelaxation, a_vertex_between_two_zero_length_edges_is_skipped )
    {
        WireModel wire{ { p3( 0, 0, 0 ), p3( 2, 0, 0 ) } };
        const auto line = wire.add_line( on_x( { 0, 1, 1, 1, 2 } ) );
        EXPECT_NO_THROW( relax( wire.model, nullptr ) );
        const auto& mesh = wire.model.line( line ).mesh();
        EXPECT_EQ( mesh.nb_edges(), 4 );
        expect_no_working_attribute( mesh );
    }

    TEST( LineRelaxation, an_exception_leaves_no_attribute_behind )
    {
        WireModel wire{ { p3( 0, 0, 0 ), p3( 2, 0, 0 ) } };
        const auto line = wire.add_line( on_x( { 0, 0.5, 1, 2 } ) );
        const FunctionMetric failing{ []( const Point< 3 >& ) -> double {
            throw OpenOrvaneException{ "metric failure" };
        } };
        SimplexBRepLibrary::initialize();
        BRepBuilder builder{ wire.model };
        BRepGeometricModifier modifier{ wire.model, builder };
        EXPECT_THROW( internal::relax_lines( wire.model, modifier, &failing ), OpenOrvaneException );
        expect_no_working_attribute( wire.model.line( line ).mesh() );
    }
} // namespace
