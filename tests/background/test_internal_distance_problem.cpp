#include <background/internal_distance_problem.hpp>

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/geometry/distance.hpp>

#include <tests/support/solid_fixtures.hpp>

namespace
{
    using orvane::Point;
    using orvane::Tetrahedron;
    using orvane::internal::InternalDistanceProblem;
    using orvane::internal::InternalDistanceProblems;
    using orvane::internal::TetrahedronClass;
    using Edge = std::array< orvane::local_index_t, 2 >;

    constexpr double EPSILON = 1e-6;
    constexpr double LARGEST = std::numeric_limits< double >::max();

    Tetrahedron tetrahedron( std::array< std::array< double, 3 >, 4 > points )
    {
        return { Point< 3 >{ points[0] }, Point< 3 >{ points[1] },
            Point< 3 >{ points[2] }, Point< 3 >{ points[3] } };
    }

    const Tetrahedron regular = tetrahedron( { { { 1., 1., 1. }, { -1., 1., -1. },
        { 1., -1., -1. }, { -1., -1., 1. } } } );

    /// Every finder with the threshold, in the epsilon pass's order.
    InternalDistanceProblems all_problems( const Tetrahedron& t, double threshold )
    {
        InternalDistanceProblems problems;
        orvane::internal::find_short_edges( t, threshold, problems );
        orvane::internal::find_vertices_near_edges( t, threshold, problems );
        orvane::internal::find_vertices_near_facets( t, threshold, problems );
        orvane::internal::find_edges_near_edges( t, threshold, problems );
        return problems;
    }

    TEST( InternalDistanceProblem, regular_tetrahedron_has_no_problem )
    {
        EXPECT_TRUE( all_problems( regular, EPSILON ).empty() );
        EXPECT_TRUE( all_problems( regular, 1. ).empty() );
        // Its smallest height is 4 / sqrt(3), its opposite edges 2 apart.
        EXPECT_NEAR( orvane::internal::internal_distance_quality( regular ), 2., 1e-12 );
        EXPECT_EQ( orvane::internal::classify_tetrahedron( regular ),
            TetrahedronClass::positive );
    }

    TEST( InternalDistanceProblem, finders_report_in_table_order_at_the_threshold )
    {
        struct Case
        {
            const char* name;
            Tetrahedron geometry;
            std::int32_t kind;
            std::vector< Edge > edges;
            std::vector< orvane::local_index_t > vertices;
        };
        const std::vector< Case > cases{
            // An edge exactly 1e-6 long counts.
            { "edge of 1e-6", tetrahedron( { { { 0., 0., 0. }, { EPSILON, 0., 0. },
                                  { 0., 1., 0. }, { 0., 0., 1. } } } ),
                InternalDistanceProblem::SHORT_EDGE, { { 0, 1 } }, {} },
            { "two short edges", tetrahedron( { { { 0., 0., 0. }, { 1e-7, 0., 0. },
                                     { 0., 1., 0. }, { 0., 1., 1e-7 } } } ),
                InternalDistanceProblem::SHORT_EDGE, { { 0, 1 }, { 2, 3 } }, {} },
            { "vertex on an edge's middle", tetrahedron( { { { 0., 0., 0. }, { 2., 0., 0. },
                                                { 1., 1e-7, 0. }, { 0., 0., 1. } } } ),
                InternalDistanceProblem::VERTEX_NEAR_EDGE, { { 0, 1 } }, { 2 } },
            { "vertex on a facet", tetrahedron( { { { 0., 0., 0. }, { 2., 0., 0. },
                                       { 0., 2., 0. }, { 0.5, 0.5, 1e-7 } } } ),
                InternalDistanceProblem::VERTEX_NEAR_FACET, {}, { 3 } },
            { "crossing opposite edges", tetrahedron( { { { -1., 0., 0. }, { 1., 0., 0. },
                                             { 0., -1., 1e-7 }, { 0., 1., 1e-7 } } } ),
                InternalDistanceProblem::EDGE_NEAR_EDGE, { { 0, 1 } }, {} },
        };
        for( const auto& test : cases )
        {
            SCOPED_TRACE( test.name );
            InternalDistanceProblems problems;
            const auto threshold = EPSILON;
            bool found{ false };
            switch( test.kind )
            {
            case InternalDistanceProblem::SHORT_EDGE:
                found = orvane::internal::find_short_edges( test.geometry, threshold, problems );
                break;
            case InternalDistanceProblem::VERTEX_NEAR_EDGE:
                found = orvane::internal::find_vertices_near_edges(
                    test.geometry, threshold, problems );
                break;
            case InternalDistanceProblem::VERTEX_NEAR_FACET:
                found = orvane::internal::find_vertices_near_facets(
                    test.geometry, threshold, problems );
                break;
            default:
                found = orvane::internal::find_edges_near_edges(
                    test.geometry, threshold, problems );
            }
            ASSERT_TRUE( found );
            const auto nb = std::max( test.edges.size(), test.vertices.size() );
            ASSERT_EQ( problems.size(), nb );
            for( std::size_t p = 0; p < nb; p++ )
            {
                EXPECT_EQ( problems[p].kind, test.kind );
                EXPECT_LE( problems[p].distance, threshold );
                if( !test.edges.empty() )
                {
                    EXPECT_EQ( problems[p].edge, test.edges[p] );
                }
                if( !test.vertices.empty() )
                {
                    EXPECT_EQ( problems[p].vertex, test.vertices[p] );
                }
            }
        }
    }

    TEST( InternalDistanceProblem, edge_near_edge_gives_the_closest_point_of_the_second_edge )
    {
        const auto crossing = tetrahedron(
            { { { -1., 0., 0. }, { 1., 0., 0. }, { 0.5, -1., 1e-7 }, { 0.5, 1., 1e-7 } } } );
        InternalDistanceProblems problems;
        ASSERT_TRUE( orvane::internal::find_edges_near_edges( crossing, EPSILON, problems ) );
        ASSERT_EQ( problems.size(), 1u );
        EXPECT_NEAR( problems[0].distance, 1e-7, 1e-15 );
        EXPECT_EQ( problems[0].point, ( Point< 3 >{ { 0.5, 0., 1e-7 } } ) );
    }

    TEST( InternalDistanceProblem, degenerate_edges_are_left_out_of_edge_distances )
    {
        // Vertices 0, 1 and 2 within 1e-7: every opposite pair holds a
        // degenerate edge.
        const auto needle = tetrahedron(
            { { { 0., 0., 0. }, { 1e-7, 0., 0. }, { 0., 1e-7, 0. }, { 0., 0., 1. } } } );
        InternalDistanceProblems problems;
        EXPECT_FALSE( orvane::internal::find_edges_near_edges( needle, LARGEST, problems ) );
        EXPECT_TRUE( problems.empty() );
        // The quality is then the smallest vertex-to-facet distance: vertex
        // 0 to facet (1, 2, 3).
        const auto expected = std::get< 0 >( orvane::point_triangle_distance(
            Point< 3 >{ { 0., 0., 0. } },
            orvane::Triangle< 3 >{ Point< 3 >{ { 1e-7, 0., 0. } },
                Point< 3 >{ { 0., 1e-7, 0. } }, Point< 3 >{ { 0., 0., 1. } } } ) );
        EXPECT_DOUBLE_EQ( orvane::internal::internal_distance_quality( needle ), expected );
    }

    TEST( InternalDistanceProblem, tetrahedra_are_classified_and_flat_ones_counted )
    {
        const auto flat = tetrahedron(
            { { { 0., 0., 0. }, { 1., 0., 0. }, { 0., 1., 0. }, { 0.2, 0.2, -1e-7 } } } );
        const auto inverted = tetrahedron(
            { { { 0., 0., 0. }, { 1., 0., 0. }, { 0., 1., 0. }, { 0.2, 0.2, -0.5 } } } );
        EXPECT_EQ( orvane::internal::classify_tetrahedron( flat ), TetrahedronClass::flat );
        EXPECT_EQ(
            orvane::internal::classify_tetrahedron( inverted ), TetrahedronClass::inverted );
        const std::vector< Tetrahedron > some_flat{ regular, flat, flat };
        EXPECT_EQ( orvane::internal::count_flat_tetrahedra( some_flat ), 2u );
        const std::vector< Tetrahedron > with_inverted{ flat, inverted, regular };
        EXPECT_FALSE( orvane::internal::count_flat_tetrahedra( with_inverted ).has_value() );
        EXPECT_EQ( orvane::internal::count_flat_tetrahedra( {} ), 0u );
    }

    TEST( InternalDistanceProblem, glued_facets_are_found_by_adjacency )
    {
        // Tetrahedron 0 whose three facets through vertex 0 all face
        // tetrahedron 1 (a fold that cutting can leave behind).
        auto solid = orvane::test::create_tetrahedral_solid(
            { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 1., 0., 0. } },
                Point< 3 >{ { 0., 1., 0. } }, Point< 3 >{ { 0., 0., 1. } },
                Point< 3 >{ { 1., 1., 1. } } },
            { { 0, 1, 2, 3 }, { 4, 1, 3, 2 } }, false );
        auto builder = orvane::TetrahedralSolidBuilder< 3 >::create( *solid );
        for( const orvane::local_index_t f : { 1, 2, 3 } )
        {
            builder->set_polyhedron_adjacent( { 0, f }, 1 );
        }
        InternalDistanceProblems problems;
        ASSERT_TRUE( orvane::internal::find_vertex_triple_adjacencies( *solid, 0, problems ) );
        ASSERT_EQ( problems.size(), 1u );
        EXPECT_EQ( problems[0].kind, InternalDistanceProblem::VERTEX_TRIPLE_ADJACENCY );
        EXPECT_EQ( problems[0].vertex, 0 );
        problems.clear();
        ASSERT_TRUE( orvane::internal::find_edge_double_adjacencies( *solid, 0, problems ) );
        ASSERT_EQ( problems.size(), 3u );
        for( std::size_t p = 0; p < 3; p++ )
        {
            EXPECT_EQ( problems[p].kind, InternalDistanceProblem::EDGE_DOUBLE_ADJACENCY );
            EXPECT_EQ( problems[p].edge, ( Edge{ 0, static_cast< orvane::local_index_t >( p + 1 ) } ) );
            EXPECT_EQ( problems[p].distance, 0. );
        }
        // Tetrahedron 1 has no adjacency: nothing.
        problems.clear();
        EXPECT_FALSE( orvane::internal::find_vertex_triple_adjacencies( *solid, 1, problems ) );
        EXPECT_FALSE( orvane::internal::find_edge_double_adjacencies( *solid, 1, problems ) );
    }
} // namespace
