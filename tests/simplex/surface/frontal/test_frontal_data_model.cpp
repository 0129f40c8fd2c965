#include <cmath>
#include <cstdint>
#include <queue>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include <tests/simplex/surface/frontal/frontal_fixtures.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::internal;

    /// The standard priority queue of whole front entries.
    using StandardQueue = std::priority_queue< FrontalQueueElement< 2 >,
        std::vector< FrontalQueueElement< 2 > >,
        FrontalQueueOrder >;

    TEST( FrontalQueueElement, side_and_height_follow_the_metric )
    {
        struct Case
        {
            double size;
            double side;
            double height;
        };
        const double d = 2.;
        const std::vector< Case > cases{
            { 2 * d, 2 * d, std::sqrt( 15. ) / 2 * d },
            { 10 * d, 2 * d, std::sqrt( 15. ) / 2 * d },
            { d, d, std::sqrt( 3. ) / 2 * d },
            { d / 4, 9 * d / 16, std::sqrt( 17. ) / 16 * d },
            { 0., d / 2, 0. },
        };
        for( const auto& c : cases )
        {
            const auto [side, height] = frontal_side_and_height( d, c.size );
            EXPECT_NEAR( side, c.side, 1e-12 ) << c.size;
            EXPECT_NEAR( height, c.height, 1e-12 ) << c.size;
        }
        // The entry reads its points and the metric at the midpoint.
        test::FrontalFixture< 3 > fixture{ test::flat_grid< 3 >( 2, 1 ), {}, d };
        const FrontalQueueElement< 3 > entry{ *fixture.surface.mesh, fixture.metric,
            0, 2, 0, 7 };
        EXPECT_DOUBLE_EQ( entry.length, 2. );
        EXPECT_DOUBLE_EQ( entry.size, d );
        EXPECT_NEAR( entry.height, std::sqrt( 3. ), 1e-12 );
        EXPECT_EQ( entry.id, 7u );
        EXPECT_EQ( entry.apex, NO_ID );
    }

    TEST( FrontalQueueElement, border_elements_come_first_then_shorter_ones )
    {
        test::FrontalFixture< 2 > fixture{ test::flat_grid< 2 >( 3, 1 ) };
        const auto& mesh = *fixture.surface.mesh;
        StandardQueue front;
        front.push( { mesh, fixture.metric, 0, 1, 1, 0 } ); // inner, length 1
        front.push( { mesh, fixture.metric, 0, 3, 0, 1 } ); // border, length 3
        front.push( { mesh, fixture.metric, 0, 2, 0, 2 } ); // border, length 2
        front.push( { mesh, fixture.metric, 0, 7, 1, 3 } ); // inner, length 3.16
        std::vector< index_t > order;
        while( !front.empty() )
        {
            order.push_back( front.top().id );
            front.pop();
        }
        EXPECT_EQ( order, ( std::vector< index_t >{ 2, 1, 0, 3 } ) );
    }

    TEST( FrontalQueue, pops_in_the_order_of_a_priority_queue_of_whole_entries )
    {
        // Many ties of kind and length among few distinct lengths, pushes
        // mixed with pops: the ids must come out in the very order of
        // std::priority_queue, whose tie order the remesh output depends on.
        test::FrontalFixture< 2 > fixture{ test::flat_grid< 2 >( 4, 4 ) };
        const auto& mesh = *fixture.surface.mesh;
        StandardQueue reference;
        FrontalQueue< 2 > front;
        std::vector< index_t > expected;
        std::vector< index_t > popped;
        const auto pop_both = [&] {
            ASSERT_EQ( front.size(), reference.size() );
            expected.push_back( reference.top().id );
            popped.push_back( front.top().id );
            EXPECT_EQ( front.top().v1, reference.top().v1 );
            reference.pop();
            front.pop();
        };
        std::uint32_t seed = 12345;
        for( index_t id = 0; id < 400; id++ )
        {
            seed = seed * 1664525u + 1013904223u;
            // Ends 0 -> 1, 2, 5 or 6 of the 5 x 5 grid: lengths 1, 2, 1, 1.41.
            const index_t ends[4] = { 1, 2, 5, 6 };
            const auto v1 = ends[( seed >> 8 ) % 4];
            const auto kind = ( seed >> 16 ) % 5 == 0 ? 0u : 1u;
            FrontalQueueElement< 2 > entry{ mesh, fixture.metric, 0, v1, kind, id };
            reference.push( entry );
            front.push( entry );
            if( ( seed >> 20 ) % 3 == 0 )
            {
                pop_both();
            }
        }
        while( !reference.empty() )
        {
            pop_both();
        }
        EXPECT_TRUE( front.empty() );
        EXPECT_EQ( popped, expected );
    }

    template < index_t dimension >
    void expect_no_frontal_attribute( const TriangulatedSurface< dimension >& mesh )
    {
        EXPECT_FALSE(
            mesh.vertex_attribute_manager().attribute_exists( FRONTAL_VERTEX_INFO ) );
        EXPECT_FALSE(
            mesh.polygon_attribute_manager().attribute_exists( FRONTAL_TRIANGLE_INFO ) );
        EXPECT_FALSE(
            mesh.polygon_attribute_manager().attribute_exists( FRONTAL_EDGE_INFO ) );
    }

    TEST( FrontalRemesher, working_attributes_go_with_the_remesher_also_on_failure )
    {
        auto surface = test::flat_grid< 3 >( 2, 2 );
        const ConstantMetric< 3 > metric{ 1. };
        const std::vector< index_t > fixed{ 0, 4 };
        {
            FrontalRemesher3D remesher{ *surface.mesh, *surface.builder, metric,
                fixed };
            remesher.state().prepare_macro_surface();
            remesher.state().create_macro_attributes();
            EXPECT_TRUE( surface.mesh->polygon_attribute_manager().attribute_exists(
                FRONTAL_EDGE_INFO ) );
        }
        expect_no_frontal_attribute( *surface.mesh );

        const auto fail = [&] {
            FrontalRemesher3D remesher{ *surface.mesh, *surface.builder, metric,
                fixed };
            remesher.state().prepare_macro_surface();
            remesher.state().create_macro_attributes();
            (void) remesher.state().element_vertices( 3 );
        };
        EXPECT_THROW( fail(), std::out_of_range );
        expect_no_frontal_attribute( *surface.mesh );
    }

    TEST( FrontalRemesher, output_vertices_are_made_once_and_released_with_their_pairs )
    {
        test::FrontalFixture< 2 > fixture{ test::flat_grid< 2 >( 2, 2 ), { 8, 0 } };
        fixture.prepare();
        auto& state = fixture.state();
        EXPECT_EQ( state.output_vertex( 4, false ), 2u );
        EXPECT_EQ( state.output_vertex( 4, false ), 2u );
        EXPECT_EQ( state.output_vertex( 0, false ), 1u );
        const auto result = fixture.remesher->release_output();
        ASSERT_TRUE( result.mesh );
        EXPECT_EQ( result.mesh->nb_vertices(), 3u );
        EXPECT_EQ( result.created_vertices,
            ( std::vector< std::pair< index_t, bool > >{
                { 8, true }, { 0, true }, { 4, false } } ) );
        EXPECT_TRUE( result.holes.empty() );
    }

    TEST( FrontalRemesher, a_front_vertex_merged_by_a_collapse_keeps_its_output_vertex )
    {
        // A cut collapses the short edges it meets, also one between a front
        // vertex and a vertex that is no cut vertex: the merged vertex must
        // stand for the front vertex's output vertex, or the next triangle
        // at that corner would be made with no vertex.
        test::FrontalFixture< 3 > fixture{ test::flat_grid< 3 >( 2, 2 ), { 0, 2, 8, 6 } };
        fixture.prepare();
        auto& state = fixture.state();
        const auto output = state.output_vertex( 4, false );
        const auto& mesh = *fixture.surface.mesh;
        const auto edge = mesh.polygon_edge_from_vertices( 4, 5 ).value();
        const auto collapse = state.modifier->collapse_edge( edge, mesh.point( 4 ) );
        const auto merged = collapse.new_vertex;
        ASSERT_NE( merged, 4u );

        EXPECT_EQ( state.updated_vertex( 4 ), merged );
        EXPECT_EQ( state.vertex_info->value( merged ), output );
        EXPECT_EQ( state.output_vertex( merged, false ), output );
        // Reading a vertex that kept its place changes nothing.
        EXPECT_EQ( state.updated_vertex( 1 ), 1u );
        EXPECT_EQ( state.vertex_info->value( 1 ), NO_ID );
    }
} // namespace
