#include <background/macro_info.hpp>

#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/uuid.hpp>

#include <background/background_solid.hpp>
#include <background/background_solid_modifier.hpp>
#include <common/modifier/tetrahedron_preview.hpp>

#include <tests/background/background_fixtures.hpp>

namespace
{
    using orvane::index_t;
    using orvane::MeshEdge;
    using orvane::MeshPolygon;
    using orvane::MeshVertex;
    using orvane::NO_ID;
    using orvane::uuid;
    using orvane::internal::BackgroundSolid;
    using orvane::internal::BackgroundSolidBuilder;
    using orvane::internal::BackgroundSolidModifier;

    index_t facet_of( const BackgroundSolid& solid,
        std::initializer_list< index_t > vertices )
    {
        return solid.facets()
            .facet_from_vertices( orvane::PolyhedronFacetVertices( vertices ) )
            .value();
    }

    index_t edge_of( const BackgroundSolid& solid, index_t a, index_t b )
    {
        return solid.edges().edge_from_vertices( { a, b } ).value();
    }

    class MacroInfoTest : public ::testing::Test
    {
    protected:
        std::unique_ptr< BackgroundSolid > solid{
            orvane::test::background_grid( 2, 2, 2 )
        };
        BackgroundSolidBuilder builder{ *solid };
        uuid surface;
        uuid other_surface;
        uuid curve;
    };

    TEST_F( MacroInfoTest, lists_hold_distinct_records_in_insertion_order )
    {
        builder.add_init_vertex_id( surface, 3, 7 );
        builder.add_init_vertex_id( surface, 3, 7 );
        builder.add_init_vertex_id( other_surface, 3, 7 );
        builder.add_init_vertex_id( surface, 4, 7 );
        EXPECT_EQ( solid->init_vertex_ids( 7 ),
            ( std::vector< MeshVertex >{ { surface, 3 }, { other_surface, 3 },
                { surface, 4 } } ) );
        EXPECT_TRUE( solid->has_init_vertex_component( 7, other_surface ) );
        EXPECT_FALSE( solid->has_init_vertex_component( 7, curve ) );
        EXPECT_FALSE( solid->has_init_vertex_component( 6, surface ) );

        const auto edge = edge_of( *solid, 0, 1 );
        builder.add_init_edge_id( curve, 2, edge );
        builder.add_init_edge_id( curve, 2, edge );
        EXPECT_EQ( solid->init_edge_ids( edge ), ( std::vector< MeshEdge >{ { curve, 2 } } ) );
        // Only the edge's own list.
        EXPECT_TRUE( solid->vertex_init_edge_ids( 0 ).empty() );

        const index_t vertices[] = { 0, 5, 0 };
        builder.add_vertices_init_edge_id( curve, 9, vertices );
        EXPECT_EQ( solid->vertex_init_edge_ids( 0 ), ( std::vector< MeshEdge >{ { curve, 9 } } ) );
        EXPECT_EQ( solid->vertex_init_edge_ids( 5 ), ( std::vector< MeshEdge >{ { curve, 9 } } ) );
    }

    TEST_F( MacroInfoTest, facet_records_go_to_the_facet_and_its_vertices_and_are_removed_from_both )
    {
        const auto first = facet_of( *solid, { 0, 1, 4 } );
        const auto second = facet_of( *solid, { 1, 4, 13 } );
        const index_t facets[] = { first, second };
        builder.add_init_facet_id( surface, 1, facets );
        builder.add_init_facet_id( other_surface, 2, facets );
        builder.add_init_facet_id( surface, 1, facets );
        const std::vector< MeshPolygon > both{ { surface, 1 }, { other_surface, 2 } };
        EXPECT_EQ( solid->init_facet_ids( first ), both );
        EXPECT_EQ( solid->init_facet_ids( second ), both );
        for( const auto vertex : { 0u, 1u, 4u, 13u } )
        {
            EXPECT_EQ( solid->vertex_init_facet_ids( vertex ), both ) << vertex;
        }

        builder.remove_init_facet_id( surface, 1, first );
        const std::vector< MeshPolygon > rest{ { other_surface, 2 } };
        EXPECT_EQ( solid->init_facet_ids( first ), rest );
        EXPECT_EQ( solid->init_facet_ids( second ), both );
        EXPECT_EQ( solid->vertex_init_facet_ids( 0 ), rest );
        EXPECT_EQ( solid->vertex_init_facet_ids( 13 ), both );
        // Removing a record that is not there changes nothing.
        builder.remove_init_facet_id( surface, 1, first );
        EXPECT_EQ( solid->init_facet_ids( first ), rest );
        EXPECT_EQ( solid->vertex_init_facet_ids( 4 ), rest );
    }

    TEST_F( MacroInfoTest, curve_records_on_edges_go_to_their_ends_first )
    {
        const index_t edges[] = { edge_of( *solid, 0, 1 ), edge_of( *solid, 1, 2 ) };
        builder.add_edges_init_edge_id( curve, 4, edges );
        for( const auto edge : edges )
        {
            EXPECT_EQ( solid->init_edge_ids( edge ), ( std::vector< MeshEdge >{ { curve, 4 } } ) );
        }
        for( const auto vertex : { 0u, 1u, 2u } )
        {
            EXPECT_EQ( solid->vertex_init_edge_ids( vertex ),
                ( std::vector< MeshEdge >{ { curve, 4 } } ) );
        }
        EXPECT_TRUE( solid->vertex_init_edge_ids( 3 ).empty() );
    }

    TEST_F( MacroInfoTest, origins_records_replay_edges_up_to_no_id_and_every_facet )
    {
        const auto e1 = edge_of( *solid, 0, 1 );
        const auto e2 = edge_of( *solid, 1, 2 );
        const auto target_edge = edge_of( *solid, 13, 14 );
        builder.add_init_edge_id( curve, 1, e1 );
        builder.add_init_edge_id( curve, 2, e2 );
        const orvane::ElementEntry edges{ target_edge, { e1, NO_ID, e2 } };
        builder.update_edges( absl::MakeConstSpan( &edges, 1 ) );
        EXPECT_EQ( solid->init_edge_ids( target_edge ),
            ( std::vector< MeshEdge >{ { curve, 1 } } ) );
        EXPECT_EQ( solid->vertex_init_edge_ids( 13 ),
            ( std::vector< MeshEdge >{ { curve, 1 } } ) );

        const auto f1 = facet_of( *solid, { 0, 1, 4 } );
        const auto f2 = facet_of( *solid, { 1, 4, 13 } );
        const auto target_facet = facet_of( *solid, { 13, 14, 26 } );
        const index_t first[] = { f1 };
        const index_t second[] = { f2 };
        builder.add_init_facet_id( surface, 1, first );
        builder.add_init_facet_id( surface, 2, second );
        const orvane::ElementEntry facets{ target_facet, { f1, NO_ID, f2, target_facet } };
        builder.update_facets( absl::MakeConstSpan( &facets, 1 ) );
        const std::vector< MeshPolygon > expected{ { surface, 1 }, { surface, 2 } };
        EXPECT_EQ( solid->init_facet_ids( target_facet ), expected );
        EXPECT_EQ( solid->vertex_init_facet_ids( 26 ), expected );
    }

    TEST_F( MacroInfoTest, facets_around_an_edge_and_shared_input_polygons )
    {
        // Edge 13-4 (an axis edge in the middle of the block) and a facet
        // through it.
        const orvane::EdgeVertices edge{ 13, 4 };
        const auto tetrahedron =
            solid->polyhedron_facet_edge_from_vertices( edge )->polyhedron_facet.polyhedron_id;
        EXPECT_TRUE( solid->init_facet_ids_around_edge( edge, *solid ).empty() );
        EXPECT_FALSE( solid->has_init_facet_around_edge( tetrahedron, edge, *solid ) );

        const auto ring = orvane::vertices_around_edge(
            *solid, edge, solid->polyhedra_around_edge( edge ) );
        const auto facet = facet_of( *solid, { 13, 4, ring.front() } );
        const index_t facets[] = { facet };
        builder.add_init_facet_id( surface, 5, facets );
        const auto around = solid->init_facet_ids_around_edge( edge, *solid );
        ASSERT_EQ( around.size(), 1u );
        EXPECT_EQ( around.at( facet ), ( std::vector< MeshPolygon >{ { surface, 5 } } ) );
        EXPECT_TRUE( solid->has_init_facet_around_edge( tetrahedron, edge, *solid ) );

        // End 13 no longer lies on the polygon: the ends share none, even
        // though the facet still carries it.
        const auto away = facet_of( *solid, { 13, 14, 26 } );
        builder.remove_init_facet_id( surface, 5, away );
        EXPECT_FALSE( solid->init_facet_ids( facet ).empty() );
        EXPECT_FALSE( solid->has_init_facet_around_edge( tetrahedron, edge, *solid ) );
    }

    TEST( MacroRecords, inclusion_of_lists )
    {
        const uuid mesh;
        const std::vector< MeshPolygon > empty;
        const std::vector< MeshPolygon > one{ { mesh, 1 } };
        const std::vector< MeshPolygon > two{ { mesh, 2 }, { mesh, 1 } };
        EXPECT_TRUE( orvane::internal::all_macro_records_included( empty, empty ) );
        EXPECT_TRUE( orvane::internal::all_macro_records_included( empty, one ) );
        EXPECT_TRUE( orvane::internal::all_macro_records_included( one, two ) );
        EXPECT_FALSE( orvane::internal::all_macro_records_included( two, one ) );
        EXPECT_FALSE( orvane::internal::all_macro_records_included(
            one, std::vector< MeshPolygon >{ { uuid{}, 1 } } ) );
    }

    TEST_F( MacroInfoTest, facet_split_by_polyhedron_facet_carries_its_records )
    {
        BackgroundSolidModifier modifier{ *solid, builder };
        const auto facet = facet_of( *solid, { 1, 4, 13 } );
        const index_t facets[] = { facet };
        builder.add_init_facet_id( surface, 8, facets );
        const auto side = solid->polyhedron_facet_from_vertices( { 1, 4, 13 } ).value();
        const auto split =
            modifier.split_facet( side, solid->polyhedron_facet_barycenter( side ) );
        const std::vector< MeshPolygon > expected{ { surface, 8 } };
        index_t nb_carried{ 0 };
        for( const auto& origin : split.facets )
        {
            if( origin.old_element == facet )
            {
                nb_carried++;
                EXPECT_EQ( solid->init_facet_ids( origin.new_element ), expected );
                for( const auto vertex :
                    solid->facets().facet_vertices( origin.new_element ) )
                {
                    EXPECT_EQ( solid->vertex_init_facet_ids( vertex ), expected );
                }
            }
            else
            {
                EXPECT_EQ( origin.old_element, NO_ID );
                EXPECT_TRUE( solid->init_facet_ids( origin.new_element ).empty() );
            }
        }
        EXPECT_EQ( nb_carried, 3u );
        EXPECT_EQ( solid->vertex_init_facet_ids( split.new_vertex ), expected );
    }

    TEST_F( MacroInfoTest, facet_split_by_index_carries_nothing )
    {
        BackgroundSolidModifier modifier{ *solid, builder };
        const auto facet = facet_of( *solid, { 1, 4, 13 } );
        const index_t facets[] = { facet };
        builder.add_init_facet_id( surface, 8, facets );
        const auto split = modifier.split_facet(
            facet, solid->polyhedron_facet_barycenter(
                       solid->polyhedron_facet_from_vertices( { 1, 4, 13 } ).value() ) );
        for( const auto& origin : split.facets )
        {
            EXPECT_TRUE( solid->init_facet_ids( origin.new_element ).empty() );
        }
        EXPECT_TRUE( solid->vertex_init_facet_ids( split.new_vertex ).empty() );
    }

    TEST_F( MacroInfoTest, collapse_gives_the_new_vertex_the_union_in_merge_order )
    {
        BackgroundSolidModifier modifier{ *solid, builder };
        builder.add_init_vertex_id( surface, 1, 13 );
        builder.add_init_vertex_id( surface, 2, 13 );
        builder.add_init_vertex_id( surface, 3, 4 );
        builder.add_init_vertex_id( surface, 1, 4 );
        const index_t ends[] = { 4 };
        builder.add_vertices_init_edge_id( curve, 6, ends );
        const auto edge = edge_of( *solid, 13, 4 );
        const auto merged_first = solid->edges().edge_vertices( edge )[0];
        const auto collapse = modifier.collapse_edge(
            edge, solid->edge_barycenter( solid->edges().edge_vertices( edge ) ) );
        const std::vector< MeshVertex > from_13{ { surface, 1 }, { surface, 2 } };
        const std::vector< MeshVertex > from_4{ { surface, 3 }, { surface, 1 } };
        std::vector< MeshVertex > expected = merged_first == 13 ? from_13 : from_4;
        for( const auto& record : merged_first == 13 ? from_4 : from_13 )
        {
            if( std::find( expected.begin(), expected.end(), record ) == expected.end() )
            {
                expected.push_back( record );
            }
        }
        EXPECT_EQ( solid->init_vertex_ids( collapse.new_vertex ), expected );
        EXPECT_EQ( solid->vertex_init_edge_ids( collapse.new_vertex ),
            ( std::vector< MeshEdge >{ { curve, 6 } } ) );
    }
} // namespace
