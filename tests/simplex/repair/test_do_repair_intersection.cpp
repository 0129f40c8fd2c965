#include <string>
#include <utility>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/surface.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>

#include <simplex/repair/do_repair_intersection.hpp>
#include <simplex/repair/repair_brep_surfaces.hpp>

#include <tests/simplex/repair/repair_scenes.hpp>
#include <tests/support/brep_checks.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;

    Point< 3 > p3( double x, double y, double z )
    {
        return Point< 3 >{ { x, y, z } };
    }

    /// The edge of the surface's active triangles joining the two points.
    std::optional< PolygonEdge > edge_between( internal::RepairBRepSurfaces& repair,
        const Surface< 3 >& surface,
        const Point< 3 >& a,
        const Point< 3 >& b )
    {
        const auto& mesh = surface.mesh();
        for( index_t t = 0; t < mesh.nb_polygons(); t++ )
        {
            if( !repair.is_triangle_active( surface, t ) )
            {
                continue;
            }
            for( const local_index_t e : { 0, 1, 2 } )
            {
                const auto vertices = mesh.polygon_edge_vertices( { t, e } );
                const auto& p = mesh.point( vertices[0] );
                const auto& q = mesh.point( vertices[1] );
                if( ( p == a && q == b ) || ( p == b && q == a ) )
                {
                    return PolygonEdge{ t, e };
                }
            }
        }
        return std::nullopt;
    }

    TEST( DoRepairIntersection, a_crossing_removed_by_one_split_ends_after_one_iteration )
    {
        RepairScene scene{ RepairScene::tent_input(), RepairScene::tent_output(), {} };
        internal::RepairBRepSurfaces repair{ *scene.data };
        const auto& square = scene.output_surface( 0 );
        const auto& wall = scene.output_surface( 1 );
        const auto diagonal = edge_between( repair, square, p3( -1, -1, -0.5 ), p3( 1, 1, -0.5 ) );
        ASSERT_TRUE( diagonal );
        const auto nb_uniques = scene.output_model.nb_unique_vertices();
        internal::DoRepairIntersection operation{ repair, square, *diagonal, wall,
            internal::triangle_edges( 0 ) };
        const auto touched = operation.apply();
        EXPECT_EQ( touched, absl::flat_hash_set< uuid >{ square.id() } );
        // One split: one new unique vertex, on the tent.
        ASSERT_EQ( scene.output_model.nb_unique_vertices(), nb_uniques + 1 );
        const auto& split_vertex = scene.output_model.component_mesh_vertices( nb_uniques ).front();
        const auto& point = square.mesh().point( split_vertex.vertex );
        EXPECT_NEAR( point.value( 2 ), 0.5 - std::abs( point.value( 0 ) ), 1e-12 );
        EXPECT_TRUE( operation.first().edges.empty() );
        scene.data->output_modifier.delete_inactive_component_elements();
        EXPECT_EQ( nb_surface_crossings( scene.output_model ), 0u );
    }

    TEST( DoRepairIntersection, a_surface_facing_against_its_input_is_reported )
    {
        // The square faces down while the whole tent faces up: every split
        // of an inverted triangle makes inverted triangles again, so the
        // repair of inverted triangles, which runs before any crossing
        // split, gives up after its last allowed pop.
        auto output = RepairScene::tent_output();
        for( auto& triangle : output.surfaces[0] )
        {
            std::swap( triangle[1], triangle[2] );
        }
        RepairScene scene{ RepairScene::tent_input(), output, {} };
        internal::RepairBRepSurfaces repair{ *scene.data };
        const auto& square = scene.output_surface( 0 );
        const auto& wall = scene.output_surface( 1 );
        const auto diagonal = edge_between( repair, square, p3( -1, -1, -0.5 ), p3( 1, 1, -0.5 ) );
        ASSERT_TRUE( diagonal );
        ASSERT_TRUE( repair.inverted_triangle( square, *diagonal ) );
        internal::DoRepairIntersection operation{ repair, square, *diagonal, wall,
            internal::triangle_edges( 0 ) };
        try
        {
            (void) operation.apply();
            ADD_FAILURE() << "no failure";
        }
        catch( const OpenOrvaneException& error )
        {
            EXPECT_EQ( std::string{ error.what() },
                "[DoRepairIntersection::process_inverted_edges] Too many repair operations "
                "occurs" );
        }
        // The crossing list was not worked on.
        EXPECT_EQ( operation.first().edges.size(), 1u );
    }

    /// Surface m is the unit square A(0,0,0) B(1,0,0) C(1,1,0) D(0,1,0) cut
    /// by the diagonal A-C, with an input triangle whose barycentre is B: the
    /// first candidate point on m's side falls on an apex of the diagonal.
    /// The other surface holds A-C too: as a border edge of the triangle
    /// A C E (`fold` false), or, when `fold` is set, as an inner edge between
    /// A B C (the same triangle as m's) and A C E.
    RepairScene shared_diagonal_scene( bool fold )
    {
        const auto e = p3( 0.5, 0.5, 1 );
        std::vector< std::array< index_t, 3 > > other{ { 0, 2, 4 } };
        if( fold )
        {
            other.push_back( { 0, 1, 2 } );
        }
        const SceneMeshes output{ { p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 1, 1, 0 ), p3( 0, 1, 0 ), e },
            { { { 0, 1, 2 }, { 0, 2, 3 } }, other }, {} };
        SceneMeshes input{ { p3( 0.5, -0.5, 0 ), p3( 1.5, -0.5, 0 ), p3( 1, 1, 0 ), p3( 0, 0, 0 ),
                               p3( 1, 0, 0 ), p3( 1, 1, 0 ), e },
            { { { 0, 1, 2 } }, { { 3, 5, 6 } } }, {} };
        if( fold )
        {
            input.surfaces[1].push_back( { 3, 4, 5 } );
        }
        return RepairScene{ input, output, {} };
    }

    TEST( DoRepairIntersection, shared_edge_side_on_a_border_is_left_to_the_other_side )
    {
        auto scene = shared_diagonal_scene( false );
        internal::RepairBRepSurfaces repair{ *scene.data };
        const auto& square = scene.output_surface( 0 );
        const auto& triangle = scene.output_surface( 1 );
        const auto in_square = edge_between( repair, square, p3( 0, 0, 0 ), p3( 1, 1, 0 ) );
        const auto in_triangle = edge_between( repair, triangle, p3( 0, 0, 0 ), p3( 1, 1, 0 ) );
        ASSERT_TRUE( in_square && in_triangle );
        ASSERT_TRUE( triangle.mesh().is_edge_on_border( *in_triangle ) );
        // The border side comes first; the square's side cannot swap (the
        // triangle holds the edge on its border) and splits instead.
        internal::DoRepairIntersection operation{ repair, triangle, *in_triangle, square,
            { *in_square } };
        const auto touched = operation.repair_shared_edges();
        EXPECT_TRUE( touched.contains( square.id() ) );
        EXPECT_FALSE( edge_between( repair, square, p3( 0, 0, 0 ), p3( 1, 1, 0 ) ) );
        EXPECT_EQ( triangle.mesh().nb_polygons(), 1u );
    }

    TEST( DoRepairIntersection, shared_edge_side_stops_after_a_swap )
    {
        auto scene = shared_diagonal_scene( true );
        internal::RepairBRepSurfaces repair{ *scene.data };
        const auto& square = scene.output_surface( 0 );
        const auto& fold = scene.output_surface( 1 );
        // The square's half of A-C in its triangle A B C, whose apex is B.
        const auto& mesh = square.mesh();
        std::optional< PolygonEdge > in_square;
        for( const local_index_t e : { 0, 1, 2 } )
        {
            if( mesh.polygon_adjacent( { 0, e } ) )
            {
                in_square = PolygonEdge{ 0, e };
            }
        }
        ASSERT_TRUE( in_square );
        const auto in_fold = edge_between( repair, fold, p3( 0, 0, 0 ), p3( 1, 1, 0 ) );
        ASSERT_TRUE( in_fold );
        const auto nb_uniques = scene.output_model.nb_unique_vertices();
        internal::DoRepairIntersection operation{ repair, square, *in_square, fold, { *in_fold } };
        // The square's diagonal is swapped once; the swapped edge is not
        // touched again. The fold's side then splits its own copy of the
        // edge: one new unique vertex in all, and no unique vertex left
        // without component vertex by a split of the stale edge.
        const auto touched = operation.repair_shared_edges();
        EXPECT_TRUE( touched.contains( square.id() ) );
        ASSERT_EQ( scene.output_model.nb_unique_vertices(), nb_uniques + 1 );
        // The fold's split point is the barycentre of its input triangle
        // closest to the edge (both hold the edge's midpoint).
        const auto& split_vertex =
            scene.output_model.component_mesh_vertices( nb_uniques ).front();
        const auto& point = fold.mesh().point( split_vertex.vertex );
        EXPECT_TRUE( point.inexact_equal( p3( 2. / 3., 1. / 3., 0 ) )
                     || point.inexact_equal( p3( 0.5, 0.5, 1. / 3. ) ) )
            << point.string();
        scene.data->output_modifier.delete_inactive_component_elements();
        EXPECT_TRUE( is_valid_brep( scene.output_model, open_surfaces() ) );
        EXPECT_FALSE( edge_between( repair, square, p3( 0, 0, 0 ), p3( 1, 1, 0 ) ) );
        EXPECT_TRUE( edge_between( repair, square, p3( 1, 0, 0 ), p3( 0, 1, 0 ) ) );
    }
} // namespace
