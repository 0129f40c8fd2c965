#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/edged_curve.hpp>

#include <tests/support/surface_checks.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace orvane
{
    TEST( CurveGraph, EdgeEndsAreListedInInsertionOrder )
    {
        // Edges 0: 0->1, 1: 1->2, 2: 2->3.
        const auto curve = test::polyline< 3 >( 3 );
        auto builder = EdgedCurveBuilder< 3 >::create( *curve );
        EXPECT_EQ( curve->edges_around_vertex( 1 ),
            ( EdgesAroundVertex{ { 0, 1 }, { 1, 0 } } ) );
        EXPECT_EQ( builder->create_edge( 3, 1 ), 3 );
        EXPECT_EQ( curve->edges_around_vertex( 1 ),
            ( EdgesAroundVertex{ { 0, 1 }, { 1, 0 }, { 3, 1 } } ) );

        // Moving an end takes it out of the former list and appends it.
        builder->set_edge_vertex( { 0, 1 }, 2 );
        EXPECT_EQ( curve->edges_around_vertex( 1 ),
            ( EdgesAroundVertex{ { 1, 0 }, { 3, 1 } } ) );
        EXPECT_EQ( curve->edges_around_vertex( 2 ),
            ( EdgesAroundVertex{ { 1, 1 }, { 2, 0 }, { 0, 1 } } ) );
        EXPECT_TRUE( test::is_valid_graph( *curve ) );

        // Disassociating only drops the list entry.
        builder->disassociate_edge_vertex_to_vertex( { 2, 0 } );
        EXPECT_EQ( curve->edge_vertex( { 2, 0 } ), 2 );
        EXPECT_EQ( curve->edges_around_vertex( 2 ),
            ( EdgesAroundVertex{ { 1, 1 }, { 0, 1 } } ) );
        EXPECT_FALSE( test::is_valid_graph( *curve ) );

        const auto unset = builder->create_edge();
        EXPECT_EQ( curve->edge_vertices( unset ), ( EdgeVertices{ NO_ID, NO_ID } ) );
        EXPECT_EQ( builder->create_edges( 2 ), unset + 1 );
        EXPECT_EQ( curve->nb_edges(), 7 );
        EXPECT_THROW( builder->create_edge( 0, 9 ), OpenOrvaneException );
    }

    TEST( CurveGraph, EdgeEndWritesCheckTheirIndices )
    {
        // Edges 0: 0->1, 1: 1->2, 2: 2->3.
        const auto curve = test::polyline< 3 >( 3 );
        auto builder = EdgedCurveBuilder< 3 >::create( *curve );
        struct Case
        {
            const char* name;
            EdgeVertex end;
            index_t vertex;
        };
        const Case cases[]{
            { "end of a missing edge", { 3, 0 }, 1 },
            { "end of an edge far past the end", { NO_ID, 0 }, 1 },
            { "local end 2", { 1, 2 }, 0 },
            { "missing vertex", { 1, 0 }, 4 },
        };
        for( const auto& test_case : cases )
        {
            SCOPED_TRACE( test_case.name );
            EXPECT_THROW( builder->set_edge_vertex( test_case.end, test_case.vertex ),
                OpenOrvaneException );
            EXPECT_EQ( curve->nb_edges(), 3 );
            EXPECT_EQ( curve->edge_vertices( 1 ), ( EdgeVertices{ 1, 2 } ) );
            EXPECT_EQ( curve->edges_around_vertex( 1 ),
                ( EdgesAroundVertex{ { 0, 1 }, { 1, 0 } } ) );
            EXPECT_TRUE( test::is_valid_graph( *curve ) );
        }
        EXPECT_THROW( builder->disassociate_edge_vertex_to_vertex( { 3, 1 } ),
            OpenOrvaneException );
        EXPECT_THROW( builder->disassociate_edge_vertex_to_vertex( { 0, 2 } ),
            OpenOrvaneException );
        EXPECT_TRUE( test::is_valid_graph( *curve ) );
    }

    TEST( CurveGraph, EdgeFromVerticesIsUndirected )
    {
        const auto curve = test::polyline< 2 >( 3 );
        EXPECT_EQ( curve->edge_from_vertices( { 1, 2 } ), index_t{ 1 } );
        EXPECT_EQ( curve->edge_from_vertices( { 2, 1 } ), index_t{ 1 } );
        EXPECT_FALSE( curve->edge_from_vertices( { 0, 2 } ) );
        EXPECT_FALSE( curve->edge_from_vertices( { 9, 2 } ) );
        EXPECT_FALSE( curve->is_vertex_isolated( 0 ) );
    }

    TEST( CurveGraph, DeleteEdgesAndIsolatedVertices )
    {
        const auto curve = test::polyline< 3 >( 4 );
        auto builder = EdgedCurveBuilder< 3 >::create( *curve );
        auto attribute =
            curve->edge_attribute_manager().find_or_create_attribute< VariableAttribute, double >(
                "test_length", 0 );
        for( index_t e = 0; e < curve->nb_edges(); e++ )
        {
            attribute->set_value( e, e + 0.5 );
        }
        const auto old2new = builder->delete_edges( { false, true, true, false } );
        EXPECT_EQ( old2new, ( OldToNew{ 0, NO_ID, NO_ID, 1 } ) );
        EXPECT_EQ( curve->nb_edges(), 2 );
        EXPECT_EQ( curve->edge_vertices( 1 ), ( EdgeVertices{ 3, 4 } ) );
        EXPECT_DOUBLE_EQ( attribute->value( 1 ), 3.5 );
        EXPECT_TRUE( curve->is_vertex_isolated( 2 ) );
        EXPECT_EQ( curve->edges_around_vertex( 3 ), ( EdgesAroundVertex{ { 1, 0 } } ) );
        EXPECT_TRUE( test::is_valid_graph( *curve ) );

        const auto vertex_old2new = builder->delete_isolated_vertices();
        EXPECT_EQ( vertex_old2new, ( OldToNew{ 0, 1, NO_ID, 2, 3 } ) );
        EXPECT_EQ( curve->edge_vertices( 1 ), ( EdgeVertices{ 2, 3 } ) );
        EXPECT_EQ( curve->point( 2 ), test::planar_point< 3 >( 3, 0 ) );
        EXPECT_TRUE( test::is_valid_graph( *curve ) );
    }

    TEST( CurveGraph, GeometryCloneAndMove )
    {
        auto curve = test::polyline< 3 >( 2 );
        auto builder = EdgedCurveBuilder< 3 >::create( *curve );
        builder->set_point( 2, Point< 3 >{ { 1, 2, 0 } } );
        EXPECT_DOUBLE_EQ( curve->edge_length( 1 ), 2. );
        EXPECT_EQ( curve->edge_barycenter( 1 ), ( Point< 3 >{ { 1, 1, 0 } } ) );
        EXPECT_EQ( curve->segment( 0 ).vertices()[1], ( Point< 3 >{ { 1, 0, 0 } } ) );
        EXPECT_EQ( curve->bounding_box().max(), ( Point< 3 >{ { 1, 2, 0 } } ) );
        builder->set_name( "line" );

        const auto clone = curve->clone();
        EXPECT_EQ( clone->id(), curve->id() );
        EXPECT_EQ( clone->name(), "line" );
        EXPECT_EQ( clone->nb_edges(), 2 );
        EXPECT_EQ( clone->point( 2 ), curve->point( 2 ) );
        EXPECT_EQ( clone->edges_around_vertex( 1 ), curve->edges_around_vertex( 1 ) );

        auto& concrete = dynamic_cast< OpenOrvaneEdgedCurve< 3 >& >( *curve );
        OpenOrvaneEdgedCurve< 3 > moved{ std::move( concrete ) };
        EXPECT_EQ( moved.nb_edges(), 2 );
        EXPECT_EQ( curve->nb_edges(), 0 );
        EXPECT_EQ( curve->nb_vertices(), 0 );
        EXPECT_EQ( builder->create_point( Point< 3 >{} ), 0 );
        EXPECT_TRUE( test::is_valid_graph( *curve ) );

        const auto graph = Graph::create();
        auto graph_builder = GraphBuilder::create( *graph );
        graph_builder->create_vertices( 3 );
        graph_builder->create_edge( 0, 2 );
        const auto graph_clone = graph->clone();
        EXPECT_EQ( graph_clone->edge_vertices( 0 ), ( EdgeVertices{ 0, 2 } ) );
        EXPECT_EQ( graph_builder->delete_isolated_vertices(), ( OldToNew{ 0, NO_ID, 1 } ) );
        EXPECT_EQ( graph->edge_vertices( 0 ), ( EdgeVertices{ 0, 1 } ) );
    }
} // namespace orvane
