#include <string>

#include <gtest/gtest.h>

#include <openorvane/mesh/point_set.hpp>

#include <simplex/corner/corner_remesher.hpp>
#include <simplex/metric/constant_metric.hpp>
#include <simplex/model_splitter.hpp>
#include <simplex/remeshing_data.hpp>

#include <tests/simplex/remeshing_fixtures.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;

    TEST( CornerRemeshing, corners_become_unique_vertices_in_input_order_at_their_exact_points )
    {
        // Coordinates that do not round-trip through decimal text.
        WireModel wire{ { p3( 0.1, 1. / 3., -2.7 ), p3( 1e-9, 5, 0.3 ), p3( -7, 0.2, 1. / 7. ) } };
        const auto inputs = wire.corners;
        std::vector< Point< 3 > > points;
        for( const auto& id : inputs )
        {
            points.push_back( wire.model.corner( id ).mesh().point( 0 ) );
        }
        const ConstantMetric< 3 > metric{ 1. };
        RemeshingRun run{ std::move( wire.model ), metric };
        internal::prepare_remeshing( *run.data );
        internal::remesh_corners( *run.data );

        const auto& output = run.output;
        ASSERT_EQ( output.nb_unique_vertices(), 3 );
        for( index_t i = 0; i < 3; i++ )
        {
            const auto output_id = internal::output_component_id(
                *run.data, run.data->input.corner( inputs[i] ).component_id() );
            const auto& mesh = output.corner( output_id ).mesh();
            ASSERT_EQ( mesh.nb_vertices(), 1 );
            EXPECT_EQ( mesh.point( 0 ), points[i] );
            EXPECT_EQ( output.unique_vertex(
                           { { Corner< 3 >::component_type_static(), output_id }, 0 } ),
                i );
        }
    }

    TEST( CornerRemeshing, a_model_without_corners_gets_no_unique_vertex )
    {
        WireModel wire{ {} };
        wire.add_line( { p3( 0, 0, 0 ), p3( 1, 0, 0 ) } );
        const ConstantMetric< 3 > metric{ 1. };
        LoggerCapture capture;
        RemeshingRun run{ std::move( wire.model ), metric };
        internal::prepare_remeshing( *run.data );
        internal::remesh_corners( *run.data );
        EXPECT_EQ( run.output.nb_unique_vertices(), 0 );
        EXPECT_NE( progress_end( capture, "Remeshing Corners" ).find( "(0/0 steps)" ),
            std::string::npos );
    }
} // namespace
