#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/basic_objects.hpp>

#include <common/cutter/solid_determine_cuts.hpp>

#include <tests/common/cutter/solid_cut_helpers.hpp>
#include <tests/support/solid_fixtures.hpp>

namespace
{
    using namespace orvane;
    using Point3D = Point< 3 >;

    std::vector< SolidPathStep > vertex_path( std::vector< index_t > vertices )
    {
        std::vector< SolidPathStep > path;
        for( const auto vertex : vertices )
        {
            path.push_back( SolidPathStep::vertex_step( vertex ) );
        }
        return path;
    }

    std::vector< index_t > cut_vertices( const std::vector< SolidCut >& cuts )
    {
        std::vector< index_t > vertices;
        for( const auto& cut : cuts )
        {
            vertices.push_back( cut.vertex );
        }
        return vertices;
    }

    TEST( SolidDetermineCuts, FacetCrossingOfAFoundPath )
    {
        const auto five = test::cube_of_five_tetrahedra();
        const auto path = SolidPathFinder{ *five, 0, 7 }.find_path().value();
        const auto cuts = determine_segment_cuts( *five, path );
        ASSERT_EQ( cuts.size(), 3 );
        EXPECT_EQ( cuts[0], test::vertex_cut( *five, 0 ) );
        EXPECT_EQ( cuts[1].position, POSITION::inside );
        EXPECT_EQ( cuts[1].facet, path[1].facet );
        EXPECT_EQ( cuts[1].vertex, NO_ID );
        EXPECT_TRUE( cuts[1].point.inexact_equal(
            Point3D{ { 1. / 3, 1. / 3, 1. / 3 } } ) );
        EXPECT_EQ( cuts[2], test::vertex_cut( *five, 7 ) );
    }

    TEST( SolidDetermineCuts, EdgeCrossingOfAFoundPath )
    {
        const auto grid = test::grid_tetrahedral_solid( 2, 2, 2 );
        const auto path = SolidPathFinder{ *grid, 9, 14 }.find_path().value();
        const auto cuts = determine_segment_cuts( *grid, path );
        ASSERT_EQ( cuts.size(), 3 );
        EXPECT_TRUE( detail::is_edge_position( cuts[1].position ) );
        EXPECT_EQ( cuts[1].vertex, NO_ID );
        EXPECT_TRUE( cuts[1].point.inexact_equal( Point3D{ { 1, 0.5, 1 } } ) );
    }

    TEST( SolidDetermineCuts, SnappingMergingAndLoops )
    {
        const auto five = test::cube_of_five_tetrahedra();
        // Facet (1, 2, 4), opposite corner 0 in tetrahedron 0.
        const SolidPathStep facet_step{ POSITION::inside, { 0, 0 }, NO_ID };
        const struct
        {
            const char* name;
            std::vector< SolidPathStep > path;
            std::vector< index_t > expected;
        } cases[] = {
            { "single vertex", vertex_path( { 3 } ), { 3 } },
            // The segment from 0 to 1 meets the facet at its vertex 1: the
            // cut snaps to 1 and merges with the end.
            { "facet crossing at a vertex",
                { SolidPathStep::vertex_step( 0 ), facet_step,
                    SolidPathStep::vertex_step( 1 ) },
                { 0, 1 } },
            { "same vertex twice", vertex_path( { 0, 1, 1, 2 } ), { 0, 1, 2 } },
            { "same facet from both sides",
                { SolidPathStep::vertex_step( 0 ), facet_step,
                    { POSITION::inside,
                        five->polyhedron_adjacent_facet( { 0, 0 } ).value(),
                        NO_ID },
                    SolidPathStep::vertex_step( 7 ) },
                { 0, NO_ID, 7 } },
            { "loop removed, later visit kept",
                vertex_path( { 0, 1, 2, 1, 3 } ), { 0, 1, 3 } },
            { "back to the first element keeps everything",
                vertex_path( { 0, 1, 2, 1, 0 } ), { 0, 1, 2, 1, 0 } },
        };
        for( const auto& test_case : cases )
        {
            EXPECT_EQ( cut_vertices( determine_segment_cuts( *five, test_case.path ) ),
                test_case.expected )
                << test_case.name;
        }
    }

    TEST( SolidDetermineCuts, EdgeCrossingNearAnEndSnaps )
    {
        // The segment from vertex 4 to a point 1e-7 beyond vertex 0 along x
        // would cut edge (0, 2) of the tetrahedron within 1e-12 (squared) of
        // vertex 0.
        const auto solid = test::create_tetrahedral_solid(
            { Point3D{ { 0, 0, 0 } }, Point3D{ { 1, 0, 0 } }, Point3D{ { 0, 1, 0 } },
                Point3D{ { 0, 0, 1 } }, Point3D{ { -1, 1e-7, 0 } },
                Point3D{ { 1, -1e-7, 0 } } },
            { { 0, 1, 2, 3 } } );
        const auto edge = test::edge_cut( *solid, 0, 2, Point3D{} );
        const std::vector< SolidPathStep > path{ SolidPathStep::vertex_step( 4 ),
            edge, SolidPathStep::vertex_step( 5 ) };
        const auto cuts = determine_segment_cuts( *solid, path );
        EXPECT_EQ( cut_vertices( cuts ), ( std::vector< index_t >{ 4, 0, 5 } ) );
    }

    TEST( SolidDetermineCuts, SegmentFailures )
    {
        // A flat tetrahedron: its facet opposite vertex 3 is a segment.
        const auto flat = test::create_tetrahedral_solid(
            { Point3D{ { 0, 0, 0 } }, Point3D{ { 1, 0, 0 } }, Point3D{ { 2, 0, 0 } },
                Point3D{ { 0, 1, 0 } }, Point3D{ { 0, 1, 1 } } },
            { { 0, 1, 2, 3 } }, false );
        const std::vector< SolidPathStep > no_plane{ SolidPathStep::vertex_step( 3 ),
            { POSITION::inside, { 0, 3 }, NO_ID }, SolidPathStep::vertex_step( 4 ) };
        EXPECT_EQ(
            test::message_of( [&] { (void) determine_segment_cuts( *flat, no_plane ); } ),
            "[SolidDetermineCutsSegmentImpl::infinite_facet_intersection] Given "
            "solid facet has no plane" );

        // The segment from corner 0 to corner 1 of the cube runs parallel to
        // the top facets, at height 1: the bisection never gets closer.
        const auto six = test::cube_of_six_tetrahedra();
        std::optional< PolyhedronFacet > top;
        for( index_t t = 0; t < six->nb_polyhedra() && !top; t++ )
        {
            for( local_index_t f = 0; f < 4; f++ )
            {
                if( six->polyhedron_facet_barycenter( { t, f } ).value( 2 ) == 1 )
                {
                    top = PolyhedronFacet{ t, f };
                    break;
                }
            }
        }
        ASSERT_TRUE( top );
        const std::vector< SolidPathStep > parallel{ SolidPathStep::vertex_step( 0 ),
            { POSITION::inside, top.value(), NO_ID }, SolidPathStep::vertex_step( 1 ) };
        EXPECT_EQ(
            test::message_of( [&] { (void) determine_segment_cuts( *six, parallel ); } ),
            "[SolidDetermineCutsSegmentImpl::parallel_facet_intersection] Too much "
            "steps before finding result in dichotomic algorithm" );

        // A previous cut lying on the facet and on the segment is taken
        // as is: here the begin vertex, onto which the cut then snaps.
        std::optional< PolyhedronFacet > front;
        for( index_t t = 0; t < six->nb_polyhedra() && !front; t++ )
        {
            for( local_index_t f = 0; f < 4; f++ )
            {
                auto vertices = six->polyhedron_facet_vertices( { t, f } );
                std::sort( vertices.begin(), vertices.end() );
                if( vertices[0] == 0 && vertices[1] == 1 )
                {
                    front = PolyhedronFacet{ t, f };
                    break;
                }
            }
        }
        ASSERT_TRUE( front );
        const std::vector< SolidPathStep > in_facet{ SolidPathStep::vertex_step( 0 ),
            { POSITION::inside, front.value(), NO_ID }, SolidPathStep::vertex_step( 1 ) };
        EXPECT_EQ( cut_vertices( determine_segment_cuts( *six, in_facet ) ),
            ( std::vector< index_t >{ 0, 1 } ) );
    }

    TEST( SolidDetermineCuts, PlaneCuts )
    {
        const auto tetrahedron = test::single_tetrahedron();
        const Plane vertical{ Vector< 3 >{ { 1, -1, 0 } }, Point3D{ { 0, 0, 0 } } };
        // Edge (1, 2) crosses the plane x = y at its middle.
        const std::vector< SolidPathStep > crossing{ SolidPathStep::vertex_step( 0 ),
            test::edge_cut( *tetrahedron, 1, 2, Point3D{} ),
            SolidPathStep::vertex_step( 3 ) };
        const auto cuts = determine_plane_cuts( *tetrahedron, crossing, vertical );
        ASSERT_EQ( cuts.size(), 3 );
        EXPECT_EQ( cuts[1].vertex, NO_ID );
        EXPECT_TRUE( cuts[1].point.inexact_equal( Point3D{ { 0.5, 0.5, 0 } } ) );

        // An edge lying in the plane is cut at its end nearer to the
        // previous cut (vertex 1 is nearer to 0 than to 2).
        const Plane bottom{ Vector< 3 >{ { 0, 0, 1 } }, Point3D{ { 0, 0, 0 } } };
        const std::vector< SolidPathStep > lying{ SolidPathStep::vertex_step( 1 ),
            test::edge_cut( *tetrahedron, 0, 2, Point3D{} ),
            SolidPathStep::vertex_step( 3 ) };
        EXPECT_EQ( cut_vertices( determine_plane_cuts( *tetrahedron, lying, bottom ) ),
            ( std::vector< index_t >{ 1, 0, 3 } ) );

        const Plane away{ Vector< 3 >{ { 0, 0, 1 } }, Point3D{ { 0, 0, 5 } } };
        EXPECT_EQ( test::message_of( [&] {
            (void) determine_plane_cuts( *tetrahedron, crossing, away );
        } ),
            "[SolidDetermineCutsPlaneImpl::edge_intersection] Solid edge does not "
            "cross the cutting plane" );
        const std::vector< SolidPathStep > with_facet{ SolidPathStep::vertex_step( 0 ),
            { POSITION::inside, { 0, 0 }, NO_ID }, SolidPathStep::vertex_step( 3 ) };
        EXPECT_EQ( test::message_of( [&] {
            (void) determine_plane_cuts( *tetrahedron, with_facet, vertical );
        } ),
            "[SolidDetermineCutsPlaneImpl::facet_intersection] Should not try to "
            "get an intersection between a Solid facet and the Plane" );
    }
} // namespace
