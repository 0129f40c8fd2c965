#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>
#include <openorvane/model/model_component_mesh_polygons.hpp>

#include <common/modifier/brep_geometric_modifier_previews.hpp>
#include <common/modifier/common_modifier_model_library.hpp>

#include <tests/support/brep_fixtures.hpp>
#include <tests/support/brep_modifier_checks.hpp>

namespace
{
    using namespace orvane;

    Point< 3 > point( double x, double y, double z )
    {
        return Point< 3 >{ { x, y, z } };
    }

    PolygonEdge surface_edge( const BRep& model, const uuid& surface, index_t from, index_t to )
    {
        const auto edge = model.surface( surface ).mesh().polygon_edge_from_vertices( from, to );
        EXPECT_TRUE( edge.has_value() );
        return edge.value_or( PolygonEdge{} );
    }

    PolyhedronFacetEdge inner_edge( const test::Bipyramid& fixture )
    {
        const auto edge = fixture.model.block( fixture.block )
                              .mesh()
                              .polyhedron_facet_edge_from_vertices( { 0, 1 } );
        EXPECT_TRUE( edge.has_value() );
        return edge.value_or( PolyhedronFacetEdge{} );
    }

    /// A model of one surface, vertex i linked to unique vertex i.
    uuid surface_only_model( BRep& model,
        const std::vector< Point< 3 > >& points,
        const std::vector< std::array< index_t, 3 > >& triangles )
    {
        BRepBuilder builder{ model };
        const auto first = builder.create_unique_vertices( static_cast< index_t >( points.size() ) );
        std::vector< index_t > uniques;
        for( index_t v = 0; v < points.size(); v++ )
        {
            uniques.push_back( first + v );
        }
        return test::add_linked_surface( model, points, triangles, uniques );
    }

    class BRepModifierPreviews : public ::testing::Test
    {
    protected:
        static void SetUpTestSuite()
        {
            CommonModifierModelLibrary::initialize();
        }
    };

    TEST_F( BRepModifierPreviews, edge_split_judged_by_block_tetrahedra )
    {
        const auto fixture = test::bipyramid_model();
        const auto& model = fixture.model;
        const auto edges =
            component_mesh_edges( model, model.block( fixture.block ), inner_edge( fixture ) );
        struct Case
        {
            Point< 3 > point;
            bool valid;
        };
        const std::vector< Case > cases{
            { point( 0, 0, 0 ), true },
            { point( 0.05, 0, 0.5 ), true },
            // On the ring vertex r0: the tetrahedra through r0 are flat.
            { point( 1, 0, 0 ), false },
            { point( 3, 0, 0 ), false },
        };
        for( const auto& test_case : cases )
        {
            SCOPED_TRACE( test_case.point.string() );
            EXPECT_EQ( is_split_edge_valid( model, edges, test_case.point ), test_case.valid );
            const auto invalid = invalid_split_edge_elements( model, edges, test_case.point );
            EXPECT_TRUE( invalid.surfaces.empty() );
            EXPECT_EQ( invalid.blocks.empty(), test_case.valid );
            for( const auto& [id, entries] : invalid.blocks )
            {
                for( const auto& [edge, report] : entries )
                {
                    EXPECT_FALSE( report.valid );
                    EXPECT_FALSE( report.invalid_elements.empty() );
                    EXPECT_EQ(
                        report.invalid_elements.size(), report.replaced_elements.size() );
                }
            }
        }
    }

    TEST_F( BRepModifierPreviews, triangle_split_and_vertex_move_judged_by_block_tetrahedra )
    {
        const auto fixture = test::tetrahedron_model();
        const auto& model = fixture.model;
        const auto polygons =
            component_mesh_polygons( model, model.surface( fixture.surfaces[0] ), 0 );
        EXPECT_TRUE( is_split_triangle_valid( model, polygons, point( 1. / 3, 1. / 3, 1. / 3 ) ) );
        // Across the plane of points 0, 2 and 3, the tetrahedron that
        // replaces point 1 by the new point is inverted.
        EXPECT_FALSE( is_split_triangle_valid( model, polygons, point( -1, 1, 1 ) ) );

        EXPECT_TRUE( is_move_vertex_valid( model, 3, point( 0.1, 0.1, 0.5 ) ) );
        EXPECT_FALSE( is_move_vertex_valid( model, 3, point( 0.1, 0.1, 0 ) ) );
        EXPECT_FALSE( is_move_vertex_valid( model, 3, point( 0.1, 0.1, -1 ) ) );
    }

    TEST_F( BRepModifierPreviews, collapse_refused_when_it_would_break_the_model )
    {
        {
            // Ends in different components: p0 has a corner, p1 has none.
            BRep model;
            const auto strips = test::add_two_strips( model, point( 0, 0, 0 ) );
            const auto& line = model.line( strips.line );
            EXPECT_FALSE( is_collapse_edge_valid(
                model, component_mesh_edges( model, line, 0 ), point( 0.5, 0, 0 ) ) );
            EXPECT_TRUE( is_collapse_edge_valid(
                model, component_mesh_edges( model, line, 1 ), point( 1.5, 0, 0 ) ) );
        }
        {
            // A third surface holds p1 and p2 apart from each other: the
            // collapse would pinch it.
            BRep model;
            const auto strips = test::add_two_strips( model, point( 0, 0, 0 ) );
            BRepBuilder builder{ model };
            const auto first = builder.create_unique_vertices( 2 );
            test::add_linked_surface( model,
                { point( 1, 0, 0 ), point( 1.5, -1, 0.5 ), point( 1.5, -1, -0.5 ),
                    point( 2, 0, 0 ) },
                { { 0, 1, 2 }, { 2, 1, 3 } },
                { strips.first_unique + 1, first, first + 1, strips.first_unique + 2 } );
            EXPECT_FALSE( is_collapse_edge_valid( model,
                component_mesh_edges( model, model.line( strips.line ), 1 ),
                point( 1.5, 0, 0 ) ) );
        }
        {
            // Closed surface of a triangular bipyramid: the ring edge's ends
            // share three neighbours, the apex edge's ends two.
            BRep model;
            const auto surface = surface_only_model( model,
                { point( 0, 0, 1 ), point( 0, 0, -1 ), point( 1, 0, 0 ), point( -0.5, 0.8, 0 ),
                    point( -0.5, -0.8, 0 ) },
                { { 0, 2, 3 }, { 0, 3, 4 }, { 0, 4, 2 }, { 1, 3, 2 }, { 1, 4, 3 },
                    { 1, 2, 4 } } );
            const auto& mesh_surface = model.surface( surface );
            EXPECT_FALSE( is_collapse_edge_valid( model,
                component_mesh_edges( model, mesh_surface, surface_edge( model, surface, 2, 3 ) ),
                point( 0.25, 0.4, 0 ) ) );
            EXPECT_TRUE( is_collapse_edge_valid( model,
                component_mesh_edges( model, mesh_surface, surface_edge( model, surface, 0, 2 ) ),
                point( 0.5, 0, 0.5 ) ) );
        }
        {
            // A border edge whose ends share two neighbours.
            BRep model;
            const auto surface = surface_only_model( model,
                { point( 0, 0, 0 ), point( 2, 0, 0 ), point( 1, 1, 0 ), point( 1, 2, 0 ) },
                { { 0, 1, 2 }, { 0, 2, 3 }, { 2, 1, 3 } } );
            EXPECT_FALSE( is_collapse_edge_valid( model,
                component_mesh_edges(
                    model, model.surface( surface ), surface_edge( model, surface, 0, 1 ) ),
                point( 1, 0, 0 ) ) );
        }
    }

    TEST_F( BRepModifierPreviews, elements_after_collapse_list_every_component )
    {
        const auto fixture = test::tetrahedron_model();
        const auto& model = fixture.model;
        const auto edges = component_mesh_edges( model, model.line( fixture.lines[0] ), 0 );
        const auto kept = elements_after_collapse_edge( model, edges, point( 0.5, 0, 0 ) );
        ASSERT_EQ( kept.surfaces.size(), 2 );
        for( const auto& [id, triangles] : kept.surfaces )
        {
            EXPECT_TRUE( triangles.empty() );
        }
        ASSERT_EQ( kept.blocks.size(), 1 );
        EXPECT_TRUE( kept.blocks.at( fixture.block ).empty() );

        // The facets through point 0 only (opposite 1) keep one triangle.
        BRep strips_model;
        const auto strips = test::add_two_strips( strips_model, point( 0, 0, 0 ) );
        const auto strip_edges =
            component_mesh_edges( strips_model, strips_model.line( strips.line ), 1 );
        const auto strip_kept =
            elements_after_collapse_edge( strips_model, strip_edges, point( 1.5, 0, 0 ) );
        ASSERT_EQ( strip_kept.surfaces.size(), 2 );
        // Around p1 and p2 in a strip: five triangles, one holding both.
        EXPECT_EQ( strip_kept.surfaces.at( strips.surface0 ).size(), 4 );
        for( const auto& preview : strip_kept.surfaces.at( strips.surface0 ) )
        {
            const auto& vertices = preview.triangle.vertices();
            EXPECT_TRUE( std::any_of( vertices.begin(), vertices.end(),
                []( const auto& vertex ) { return vertex.inexact_equal( point( 1.5, 0, 0 ) ); } ) );
        }
    }

    TEST_F( BRepModifierPreviews, swap_validity )
    {
        {
            BRep model;
            const auto strips = test::add_two_strips( model, point( 0, 0, 0 ) );
            const auto& surface = model.surface( strips.surface0 );
            EXPECT_TRUE( is_swap_edge_valid( model, surface, surface_edge( model, strips.surface0, 1, 6 ) ) );
            // On the border of the surface.
            EXPECT_FALSE(
                is_swap_edge_valid( model, surface, surface_edge( model, strips.surface0, 1, 2 ) ) );
        }
        {
            auto fixture = test::bipyramid_model();
            auto& model = fixture.model;
            const auto edge = inner_edge( fixture );
            const auto edges = component_mesh_edges( model, model.block( fixture.block ), edge );
            EXPECT_TRUE( is_swap_model_edge_valid( model, edges, 2 ) );
            const auto swapped = block_tetrahedra_after_swap_edge( model, edges.blocks, 2 );
            ASSERT_EQ( swapped.size(), 1 );
            // Two tetrahedra for each listed entry (one per tetrahedron
            // around the edge).
            EXPECT_EQ( swapped.at( fixture.block ).size(),
                2 * edges.blocks.at( fixture.block ).size() );
            // An apex without any component vertex.
            BRepBuilder builder{ model };
            const auto empty = builder.create_unique_vertex();
            EXPECT_FALSE( is_swap_model_edge_valid( model, edges, empty ) );
            EXPECT_TRUE( block_tetrahedra_after_swap_edge( model, edges.blocks, empty )
                             .at( fixture.block )
                             .empty() );
        }
    }
} // namespace
