#include <algorithm>
#include <array>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/openorvane_tetrahedral_solid.hpp>

#include <tests/support/solid_checks.hpp>
#include <tests/support/solid_fixtures.hpp>

namespace
{
    using namespace orvane;
    using orvane::test::is_valid_tetrahedral_solid;

    std::vector< index_t > polyhedra_of( const PolyhedraAroundVertex& around )
    {
        std::vector< index_t > result;
        for( const auto& polyhedron_vertex : around )
        {
            result.push_back( polyhedron_vertex.polyhedron_id );
        }
        return result;
    }

    std::vector< index_t > as_vector( const PolyhedraAroundEdge& around )
    {
        return { around.begin(), around.end() };
    }

    std::vector< index_t > sorted( std::vector< index_t > values )
    {
        std::sort( values.begin(), values.end() );
        return values;
    }
} // namespace

TEST( TetrahedralSolid, FixedAnswersOfTheCoreImplementation )
{
    const auto solid = orvane::test::single_tetrahedron();
    EXPECT_EQ( solid->impl_name().get(), "OpenOrvaneTetrahedralSolid3D" );
    EXPECT_EQ( OpenOrvaneTetrahedralSolid< 3 >::impl_name_static().get(),
        "OpenOrvaneTetrahedralSolid3D" );
    EXPECT_EQ( solid->type_name().get(), "TetrahedralSolid3D" );
    EXPECT_EQ( TetrahedralSolid< 3 >::type_name_static().get(),
        "TetrahedralSolid3D" );
    EXPECT_EQ( solid->native_extension(), "oo_tso3d" );
    EXPECT_EQ( solid->nb_polyhedron_vertices( 0 ), 4 );
    EXPECT_EQ( solid->nb_polyhedron_facets( 0 ), 4 );
    EXPECT_EQ( MeshFactory::default_impl( SolidMesh< 3 >::type_name_static() )
                   .get(),
        "OpenOrvaneTetrahedralSolid3D" );
}

// Facet f is opposite local vertex f, with the listed local orders, and each
// facet followed by its opposite vertex has the tetrahedron's orientation.
TEST( TetrahedralSolid, FacetNumberingAndOrientation )
{
    orvane::test::initialize_solid_meshes();
    auto solid = TetrahedralSolid< 3 >::create();
    auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
    for( const auto& point : { Point< 3 >{ { 0, 0, 0 } }, Point< 3 >{ { 1, 0, 0 } },
             Point< 3 >{ { 0, 1, 0 } }, Point< 3 >{ { 0, 0, 1 } } } )
    {
        builder->create_point( point );
    }
    // Vertex indices differ from local indices, to tell them apart.
    builder->create_vertices( 6 );
    for( index_t v = 0; v < 4; v++ )
    {
        builder->set_point( v + 6, solid->point( v ) );
    }
    const std::array< index_t, 4 > vertices{ 6, 7, 8, 9 };
    ASSERT_EQ( builder->create_tetrahedron( vertices ), 0 );
    ASSERT_EQ( tetrahedron_volume_sign( solid->tetrahedron( 0 ) ), SIDE::positive );

    const std::array< std::array< local_index_t, 3 >, 4 > expected{ { { 1, 3, 2 },
        { 0, 2, 3 }, { 3, 1, 0 }, { 0, 1, 2 } } };
    for( local_index_t f = 0; f < 4; f++ )
    {
        const auto facet_vertices = solid->polyhedron_facet_vertices( { 0, f } );
        ASSERT_EQ( facet_vertices.size(), 3 );
        for( local_index_t v = 0; v < 3; v++ )
        {
            EXPECT_EQ( facet_vertices[v], vertices[expected[f][v]] )
                << "facet " << int{ f } << " vertex " << int{ v };
            EXPECT_EQ( solid->polyhedron_facet_vertex_id( { { 0, f }, v } ),
                PolyhedronVertex( 0, expected[f][v] ) );
        }
        EXPECT_EQ( std::count( facet_vertices.begin(), facet_vertices.end(),
                       vertices[f] ),
            0 );
        const auto triangle = solid->triangle( { 0, f } );
        const Tetrahedron with_opposite{ triangle.vertices()[0],
            triangle.vertices()[1], triangle.vertices()[2],
            solid->point( vertices[f] ) };
        EXPECT_EQ( tetrahedron_volume_sign( with_opposite ), SIDE::positive )
            << "facet " << int{ f };
    }
    // Facet edge k runs from facet vertex k to facet vertex k + 1.
    EXPECT_EQ( solid->polyhedron_facet_edge_vertices( { { 0, 0 }, 2 } ),
        ( EdgeVertices{ 8, 7 } ) );
    EXPECT_EQ( solid->polyhedron_facet_edge_vertices( { { 0, 3 }, 1 } ),
        ( EdgeVertices{ 7, 8 } ) );
}

TEST( TetrahedralSolid, FixturesAreValidSolids )
{
    EXPECT_TRUE( is_valid_tetrahedral_solid( *orvane::test::single_tetrahedron() ) );
    EXPECT_TRUE(
        is_valid_tetrahedral_solid( *orvane::test::cube_of_five_tetrahedra() ) );
    EXPECT_TRUE(
        is_valid_tetrahedral_solid( *orvane::test::cube_of_six_tetrahedra() ) );
    EXPECT_TRUE( is_valid_tetrahedral_solid(
        *orvane::test::tetrahedra_fan_around_edge( 6, true ) ) );
    EXPECT_TRUE( is_valid_tetrahedral_solid(
        *orvane::test::tetrahedra_fan_around_edge( 4, false ) ) );
    const auto grid = orvane::test::grid_tetrahedral_solid( 3, 2, 2 );
    EXPECT_EQ( grid->nb_polyhedra(), 72 );
    EXPECT_TRUE( is_valid_tetrahedral_solid( *grid ) );
}

TEST( TetrahedralSolid, NewTetrahedraHaveNoAdjacencyAndSettersWriteOneWay )
{
    const auto solid = orvane::test::cube_of_five_tetrahedra();
    auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
    builder->create_point( Point< 3 >{ { 2, 2, 2 } } );
    const auto created = builder->create_tetrahedron( { 0, 1, 2, 8 } );
    EXPECT_EQ( created, 5 );
    for( local_index_t f = 0; f < 4; f++ )
    {
        EXPECT_FALSE( solid->polyhedron_adjacent( { created, f } ) );
        EXPECT_TRUE( solid->is_polyhedron_facet_on_border( { created, f } ) );
    }

    // Corner tetrahedron 0 = (0, 1, 2, 4): its facet 0 (1, 4, 2) faces the
    // central tetrahedron 4.
    ASSERT_EQ( solid->polyhedron_adjacent( { 0, 0 } ), 4u );
    const auto back = solid->polyhedron_adjacent_facet( { 0, 0 } );
    ASSERT_TRUE( back );
    EXPECT_EQ( back->polyhedron_id, 4 );
    EXPECT_EQ( solid->polyhedron_adjacent( back.value() ), 0u );

    builder->unset_polyhedron_adjacent( { 0, 0 } );
    EXPECT_FALSE( solid->polyhedron_adjacent( { 0, 0 } ) );
    EXPECT_EQ( solid->polyhedron_adjacent( back.value() ), 0u );

    builder->set_polyhedron_adjacent( { 0, 0 }, created );
    EXPECT_EQ( solid->polyhedron_adjacent( { 0, 0 } ), created );
    for( local_index_t f = 0; f < 4; f++ )
    {
        EXPECT_FALSE( solid->polyhedron_adjacent( { created, f } ) );
    }
    builder->set_polyhedron_adjacent( { 0, 0 }, NO_ID );
    EXPECT_FALSE( solid->polyhedron_adjacent( { 0, 0 } ) );
}

TEST( TetrahedralSolid, ComputeAdjacenciesLinksOnlyFacingPairs )
{
    // Tetrahedra 0 and 1 face each other through (0, 1, 2); tetrahedron 2
    // repeats tetrahedron 1's orientation of that facet; tetrahedra 3 and 4
    // share (5, 6, 7) with the same orientation.
    const std::vector< Point< 3 > > points{ Point< 3 >{ { 0, 0, 0 } },
        Point< 3 >{ { 1, 0, 0 } }, Point< 3 >{ { 0, 1, 0 } },
        Point< 3 >{ { 0, 0, 1 } }, Point< 3 >{ { 0, 0, -1 } },
        Point< 3 >{ { 5, 0, 0 } }, Point< 3 >{ { 6, 0, 0 } },
        Point< 3 >{ { 5, 1, 0 } }, Point< 3 >{ { 5, 0, 1 } },
        Point< 3 >{ { 5, 0, 2 } } };
    {
        const auto pair = orvane::test::create_tetrahedral_solid(
            points, { { 0, 1, 2, 3 }, { 1, 0, 2, 4 } } );
        EXPECT_EQ( pair->polyhedron_adjacent( { 0, 3 } ), 1u );
        EXPECT_EQ( pair->polyhedron_adjacent( { 1, 3 } ), 0u );
        EXPECT_TRUE( is_valid_tetrahedral_solid( *pair ) );
    }
    {
        // Three uses of one triple: non-manifold, nothing linked.
        const auto triple = orvane::test::create_tetrahedral_solid( points,
            { { 0, 1, 2, 3 }, { 1, 0, 2, 4 }, { 1, 0, 2, 9 } } );
        for( index_t t = 0; t < 3; t++ )
        {
            for( local_index_t f = 0; f < 4; f++ )
            {
                EXPECT_FALSE( triple->polyhedron_adjacent( { t, f } ) )
                    << t << " " << int{ f };
            }
        }
    }
    {
        // Same orientation: a folded pair, not linked.
        const auto folded = orvane::test::create_tetrahedral_solid(
            points, { { 5, 6, 7, 8 }, { 5, 6, 7, 9 } } );
        EXPECT_FALSE( folded->polyhedron_adjacent( { 0, 3 } ) );
        EXPECT_FALSE( folded->polyhedron_adjacent( { 1, 3 } ) );
    }
    {
        // A full recomputation replaces stale adjacencies.
        const auto cube = orvane::test::cube_of_six_tetrahedra();
        auto builder = TetrahedralSolidBuilder< 3 >::create( *cube );
        builder->set_polyhedron_adjacent( { 0, 0 }, 3 );
        builder->set_polyhedron_adjacent( { 2, 1 }, 5 );
        builder->compute_polyhedron_adjacencies();
        EXPECT_TRUE( is_valid_tetrahedral_solid( *cube ) );
    }
}

TEST( TetrahedralSolid, ComputeAdjacenciesOfListedPolyhedra )
{
    const auto grid = orvane::test::grid_tetrahedral_solid( 2, 2, 2 );
    auto builder = TetrahedralSolidBuilder< 3 >::create( *grid );
    // Unset one facet of a few cells, both ways, as an edit leaves the cells
    // around the place it changed: the list version links them again.
    const std::vector< index_t > listed{ 5, 17, 30, 47 };
    for( const auto t : listed )
    {
        const PolyhedronFacet facet{ t, static_cast< local_index_t >( t % 4 ) };
        const auto other = grid->polyhedron_adjacent_facet( facet );
        ASSERT_TRUE( other ) << t;
        builder->unset_polyhedron_adjacent( facet );
        builder->unset_polyhedron_adjacent( other.value() );
    }
    builder->compute_polyhedron_adjacencies( listed );
    EXPECT_TRUE( is_valid_tetrahedral_solid( *grid ) );

    // Replace tetrahedron 5 by a copy at the end, as an edit does before it
    // deletes the old cell: the vertices stay associated with the connected
    // cells, and the list version links the copy with the old cell's
    // neighbours (both ways), never with the old cell, whose facets have the
    // same orientation.
    const auto vertices = grid->polyhedron_vertices( 5 );
    const auto copy = builder->create_tetrahedron(
        { vertices[0], vertices[1], vertices[2], vertices[3] } );
    for( local_index_t v = 0; v < 4; v++ )
    {
        builder->associate_polyhedron_vertex_to_vertex( { 5, v }, vertices[v] );
    }
    const std::vector< index_t > new_list{ copy };
    builder->compute_polyhedron_adjacencies( new_list );
    for( local_index_t f = 0; f < 4; f++ )
    {
        const auto old_adjacent = grid->polyhedron_adjacent( { 5, f } );
        EXPECT_EQ( grid->polyhedron_adjacent( { copy, f } ), old_adjacent );
        if( old_adjacent )
        {
            const auto back = grid->polyhedron_adjacent_facet( { copy, f } );
            ASSERT_TRUE( back );
            EXPECT_EQ( grid->polyhedron_adjacent( back.value() ), copy );
        }
    }
    builder->delete_polyhedra( [&] {
        std::vector< bool > flags( grid->nb_polyhedra(), false );
        flags[5] = true;
        return flags;
    }() );
    EXPECT_TRUE( is_valid_tetrahedral_solid( *grid ) );
}

TEST( TetrahedralSolid, PolyhedraAroundVertex )
{
    const auto grid = orvane::test::grid_tetrahedral_solid( 2, 2, 2 );
    // Vertex (1, 1, 1) is interior: every cell of the 8 around it gives the
    // tetrahedra that use it.
    const index_t interior = 1 + 3 * ( 1 + 3 * 1 );
    const auto around = grid->polyhedra_around_vertex( interior );
    std::vector< index_t > expected;
    for( index_t t = 0; t < grid->nb_polyhedra(); t++ )
    {
        if( grid->vertex_in_polyhedron( t, interior ) )
        {
            expected.push_back( t );
        }
    }
    EXPECT_EQ( sorted( polyhedra_of( around ) ), expected );
    for( const auto& polyhedron_vertex : around )
    {
        EXPECT_EQ( grid->polyhedron_vertex( polyhedron_vertex ), interior );
    }
    // The flood starts at the stored entry.
    EXPECT_EQ( around.front(), grid->polyhedron_around_vertex( interior ) );
    EXPECT_FALSE( grid->is_vertex_on_border( interior ) );
    EXPECT_TRUE( grid->is_vertex_on_border( 0 ) );
    // Corner 0 of the grid is used by the 6 tetrahedra of cell 0 only.
    EXPECT_EQ( grid->polyhedra_around_vertex( 0 ).size(), 6 );

    // Breadth-first order, facets taken in local order: pinned on the cube of
    // six, whose vertex 0 was last associated with tetrahedron 5 = (0, 4, 5,
    // 7). Its facets 1 (0, 5, 7), 2 (7, 4, 0) lead to tetrahedra 1 and 4,
    // then 1 leads to 0 and 4 to 3, and 0 to 2.
    const auto cube = orvane::test::cube_of_six_tetrahedra();
    EXPECT_EQ( polyhedra_of( cube->polyhedra_around_vertex( 0 ) ),
        ( std::vector< index_t >{ 5, 1, 4, 0, 3, 2 } ) );

    // Neighbours in order of first appearance: around vertex 0 of the cube,
    // tetrahedron 5 = (0, 4, 5, 7) gives 4, 5, 7, then tetrahedron 1 =
    // (0, 5, 1, 7) gives 1, tetrahedron 4 = (0, 6, 4, 7) gives 6 and
    // tetrahedron 0 = (0, 1, 3, 7) gives 3; tetrahedron 3 adds 2.
    const auto single = orvane::test::single_tetrahedron();
    const auto neighbours = single->vertices_around_vertex( 2 );
    EXPECT_EQ( std::vector< index_t >( neighbours.begin(), neighbours.end() ),
        ( std::vector< index_t >{ 0, 1, 3 } ) );
    const auto cube_neighbours = cube->vertices_around_vertex( 0 );
    EXPECT_EQ(
        std::vector< index_t >( cube_neighbours.begin(), cube_neighbours.end() ),
        ( std::vector< index_t >{ 4, 5, 7, 1, 6, 3, 2 } ) );
    EXPECT_EQ( cube->vertices_around_vertex( 1 ).size(), 4 );
    EXPECT_EQ( cube->vertices_around_vertex( 0 ).size(), 7 );

    auto builder = TetrahedralSolidBuilder< 3 >::create( *single );
    const auto isolated = builder->create_point( Point< 3 >{ { 3, 3, 3 } } );
    EXPECT_TRUE( single->is_vertex_isolated( isolated ) );
    EXPECT_TRUE( single->polyhedra_around_vertex( isolated ).empty() );
    EXPECT_TRUE( single->vertices_around_vertex( isolated ).empty() );
}

TEST( TetrahedralSolid, PolyhedraAroundEdgeOnAClosedFan )
{
    const auto fan = orvane::test::tetrahedra_fan_around_edge( 6, true );
    // Tetrahedron i = (0, 1, ring i, ring i + 1) holds the edge on facets 2
    // (ring i + 1, 1, 0), shared with tetrahedron i + 1, and 3 (0, 1, ring i),
    // shared with tetrahedron i - 1. The walk crosses facet 2 first: the
    // one opposite the non-edge vertex of smaller local index.
    EXPECT_EQ( as_vector( fan->polyhedra_around_edge( { 0, 1 }, 2 ) ),
        ( std::vector< index_t >{ 2, 3, 4, 5, 0, 1 } ) );
    EXPECT_EQ( as_vector( fan->polyhedra_around_edge( { 1, 0 }, 4 ) ),
        ( std::vector< index_t >{ 4, 5, 0, 1, 2, 3 } ) );
    EXPECT_FALSE( fan->is_edge_on_border( { 0, 1 } ) );
    EXPECT_FALSE( fan->is_edge_on_border( { 0, 1 }, 3 ) );
    // Without a start: the first polyhedron around vertex 0 holding vertex 1.
    const auto default_start = fan->polyhedra_around_edge( { 0, 1 } );
    ASSERT_EQ( default_start.size(), 6 );
    EXPECT_EQ( default_start.front(),
        fan->polyhedra_around_vertex( 0 ).front().polyhedron_id );
    // From a facet edge: starts at its polyhedron.
    const auto facet_edge = fan->polyhedron_facet_edge_from_vertices( { 0, 1 } );
    ASSERT_TRUE( facet_edge );
    EXPECT_EQ( fan->polyhedron_facet_edge_vertices( facet_edge.value() ),
        ( EdgeVertices{ 0, 1 } ) );
    EXPECT_EQ( fan->polyhedra_around_edge( facet_edge.value() ).front(),
        facet_edge->polyhedron_facet.polyhedron_id );
    // An edge of one tetrahedron only.
    EXPECT_EQ( as_vector( fan->polyhedra_around_edge( { 2, 3 } ) ),
        ( std::vector< index_t >{ 0 } ) );
    EXPECT_TRUE( fan->is_edge_on_border( { 2, 3 } ) );
    // Not an edge.
    EXPECT_TRUE( fan->polyhedra_around_edge( { 2, 4 } ).empty() );
    EXPECT_TRUE( fan->polyhedra_around_edge( { 0, 1 }, NO_ID ).empty() );
    EXPECT_FALSE( fan->polyhedron_facet_edge_from_vertices( { 2, 4 } ) );
}

TEST( TetrahedralSolid, PolyhedraAroundEdgeOnAnOpenFanTurnsBackOnce )
{
    const auto fan = orvane::test::tetrahedra_fan_around_edge( 5, false );
    // From the middle: one way to the border, then the other way from the
    // start.
    EXPECT_EQ( as_vector( fan->polyhedra_around_edge( { 0, 1 }, 2 ) ),
        ( std::vector< index_t >{ 2, 3, 4, 1, 0 } ) );
    // From an end whose first facet is the border.
    EXPECT_EQ( as_vector( fan->polyhedra_around_edge( { 0, 1 }, 0 ) ),
        ( std::vector< index_t >{ 0, 1, 2, 3, 4 } ) );
    EXPECT_EQ( as_vector( fan->polyhedra_around_edge( { 0, 1 }, 4 ) ),
        ( std::vector< index_t >{ 4, 3, 2, 1, 0 } ) );
    EXPECT_TRUE( fan->is_edge_on_border( { 0, 1 }, 2 ) );
    EXPECT_TRUE( fan->is_edge_on_border( { 1, 0 } ) );
}

TEST( TetrahedralSolid, EdgeAndFacetLookups )
{
    const auto solid = orvane::test::cube_of_five_tetrahedra();
    // Central tetrahedron 4 = (1, 2, 4, 7).
    EXPECT_EQ( solid->vertex_in_polyhedron( 4, 7 ), 3 );
    EXPECT_FALSE( solid->vertex_in_polyhedron( 4, 0 ) );
    const auto locals = solid->edge_vertices_in_polyhedron( 4, { 7, 2 } );
    ASSERT_TRUE( locals );
    EXPECT_EQ( locals.value(), ( std::array< local_index_t, 2 >{ 3, 1 } ) );
    EXPECT_FALSE( solid->edge_vertices_in_polyhedron( 4, { 7, 0 } ) );

    // The edge (1, 2) lies on facets 2 and 3 of the central tetrahedron; the
    // opposite edge (4, 7) on facets 0 and 1.
    const auto incident = solid->edge_incident_facets( 4, { 1, 2 } );
    EXPECT_EQ( incident[0], PolyhedronFacet( 4, 2 ) );
    EXPECT_EQ( incident[1], PolyhedronFacet( 4, 3 ) );
    const auto opposite = solid->opposite_edge_incident_facets( 4, { 2, 1 } );
    EXPECT_EQ( opposite[0], PolyhedronFacet( 4, 1 ) );
    EXPECT_EQ( opposite[1], PolyhedronFacet( 4, 0 ) );
    EXPECT_THROW( solid->edge_incident_facets( 4, { 1, 0 } ), OpenOrvaneException );
    EXPECT_THROW(
        solid->opposite_edge_incident_facets( 0, { 1, 7 } ), OpenOrvaneException );

    // Facets from vertices, in any order.
    for( const auto& vertices : { PolyhedronFacetVertices{ 1, 2, 4 },
             PolyhedronFacetVertices{ 4, 2, 1 } } )
    {
        const auto facet = solid->polyhedron_facet_from_vertices( vertices );
        ASSERT_TRUE( facet );
        auto found = solid->polyhedron_facet_vertices( facet.value() );
        std::sort( found.begin(), found.end() );
        EXPECT_EQ( found, ( PolyhedronFacetVertices{ 1, 2, 4 } ) );
    }
    EXPECT_FALSE( solid->polyhedron_facet_from_vertices( { 0, 3, 5 } ) );

    // A directed facet edge exists for both directions of an inner edge.
    for( const auto& edge : { EdgeVertices{ 1, 2 }, EdgeVertices{ 2, 1 } } )
    {
        const auto facet_edge = solid->polyhedron_facet_edge_from_vertices( edge );
        ASSERT_TRUE( facet_edge );
        EXPECT_EQ( solid->polyhedron_facet_edge_vertices( facet_edge.value() ),
            edge );
    }

    const auto barycenter = solid->polyhedron_barycenter( 0 );
    EXPECT_EQ( barycenter, ( Point< 3 >{ { 0.25, 0.25, 0.25 } } ) );
    EXPECT_EQ( solid->edge_barycenter( { 0, 7 } ),
        ( Point< 3 >{ { 0.5, 0.5, 0.5 } } ) );
    const auto box = solid->bounding_box();
    EXPECT_EQ( box.min(), ( Point< 3 >{ { 0, 0, 0 } } ) );
    EXPECT_EQ( box.max(), ( Point< 3 >{ { 1, 1, 1 } } ) );
}

TEST( TetrahedralSolid, DeletePolyhedraRenumbersAndReassociates )
{
    const auto solid = orvane::test::cube_of_five_tetrahedra();
    auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
    auto marker = solid->polyhedron_attribute_manager()
                      .find_or_create_attribute< VariableAttribute, index_t >(
                          "marker", NO_ID );
    for( index_t t = 0; t < solid->nb_polyhedra(); t++ )
    {
        marker->set_value( t, 10 * t );
    }
    // Vertex 7 is associated with the central tetrahedron 4 (the last one
    // created with it); vertex 0 with tetrahedron 0 only.
    ASSERT_EQ( solid->polyhedron_around_vertex( 7 )->polyhedron_id, 4 );

    const auto old2new =
        builder->delete_polyhedra( { true, false, false, true, true } );
    EXPECT_EQ( old2new, ( std::vector< index_t >{ NO_ID, 0, 1, NO_ID, NO_ID } ) );
    ASSERT_EQ( solid->nb_polyhedra(), 2 );
    EXPECT_EQ( marker->value( 0 ), 10 );
    EXPECT_EQ( marker->value( 1 ), 20 );
    EXPECT_EQ( solid->polyhedron_vertices( 0 ),
        ( PolyhedronVertices{ 3, 2, 1, 7 } ) );
    // Adjacencies towards deleted tetrahedra are unset.
    for( index_t t = 0; t < 2; t++ )
    {
        for( local_index_t f = 0; f < 4; f++ )
        {
            EXPECT_FALSE( solid->polyhedron_adjacent( { t, f } ) );
        }
    }
    // Vertex 7 moves to the first remaining tetrahedron that uses it; vertex
    // 0 has none left; vertex 4 was on tetrahedron 2 (now 1).
    EXPECT_EQ( solid->polyhedron_around_vertex( 7 ), PolyhedronVertex( 0, 3 ) );
    EXPECT_TRUE( solid->is_vertex_isolated( 0 ) );
    EXPECT_EQ( solid->polyhedron_around_vertex( 4 ), PolyhedronVertex( 1, 2 ) );
    // The two tetrahedra left share only the edge (1, 7): their stars are not
    // connected through facets.
    orvane::test::SolidCheckOptions options;
    options.check_vertex_fans = false;
    EXPECT_TRUE( is_valid_tetrahedral_solid( *solid, options ) );

    EXPECT_THROW( builder->delete_polyhedra( { true } ), OpenOrvaneException );
    const auto nothing = builder->delete_polyhedra( { false, false } );
    EXPECT_EQ( nothing, ( std::vector< index_t >{ 0, 1 } ) );
}

TEST( TetrahedralSolid, DeleteIsolatedVertices )
{
    const auto solid = orvane::test::cube_of_five_tetrahedra();
    auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
    solid->enable_edges();
    solid->enable_facets();
    auto height = solid->vertex_attribute_manager()
                      .find_or_create_attribute< VariableAttribute, double >(
                          "height", -1. );
    for( index_t v = 0; v < solid->nb_vertices(); v++ )
    {
        height->set_value( v, solid->point( v ).value( 2 ) );
    }
    const auto extra = builder->create_point( Point< 3 >{ { 9, 9, 9 } } );
    builder->delete_polyhedra( { true, false, false, false, false } );
    ASSERT_TRUE( solid->is_vertex_isolated( 0 ) );
    // Vertex 5 is still used but lost its association: it must be kept.
    builder->disassociate_polyhedron_vertex_to_vertex( 5 );

    const auto old2new = builder->delete_isolated_vertices();
    ASSERT_EQ( old2new.size(), 9 );
    EXPECT_EQ( old2new[0], NO_ID );
    EXPECT_EQ( old2new[extra], NO_ID );
    for( index_t v = 1; v < 8; v++ )
    {
        EXPECT_EQ( old2new[v], v - 1 );
    }
    ASSERT_EQ( solid->nb_vertices(), 7 );
    EXPECT_FALSE( solid->is_vertex_isolated( old2new[5] ) );
    for( index_t v = 0; v < solid->nb_vertices(); v++ )
    {
        EXPECT_EQ( height->value( v ), solid->point( v ).value( 2 ) );
    }
    // The central tetrahedron (1, 2, 4, 7) is renumbered.
    EXPECT_EQ( solid->polyhedron_vertices( 3 ), ( PolyhedronVertices{ 0, 1, 3, 6 } ) );
    EXPECT_TRUE( is_valid_tetrahedral_solid( *solid ) );
    // Nothing left to delete.
    const auto identity = builder->delete_isolated_vertices();
    EXPECT_EQ( identity, ( std::vector< index_t >{ 0, 1, 2, 3, 4, 5, 6 } ) );
}

TEST( TetrahedralSolid, SetPolyhedronVertexAssociatesTheNewVertex )
{
    const auto solid = orvane::test::single_tetrahedron();
    auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
    solid->enable_edges();
    solid->enable_facets();
    const auto moved = builder->create_point( Point< 3 >{ { 0, 0, 2 } } );
    builder->disassociate_polyhedron_vertex_to_vertex( 3 );
    builder->set_polyhedron_vertex( { 0, 3 }, moved );
    EXPECT_EQ( solid->polyhedron_vertex( { 0, 3 } ), moved );
    EXPECT_EQ( solid->polyhedron_around_vertex( moved ), PolyhedronVertex( 0, 3 ) );
    EXPECT_TRUE( solid->is_vertex_isolated( 3 ) );
    // The tables gained the new edges and facets and kept the old ones.
    EXPECT_TRUE( solid->edges().edge_from_vertices( { 0, moved } ) );
    EXPECT_TRUE( solid->edges().edge_from_vertices( { 0, 3 } ) );
    EXPECT_EQ( solid->edges().nb_edges(), 9 );
    EXPECT_TRUE( solid->facets().facet_from_vertices( { moved, 1, 0 } ) );
    EXPECT_EQ( solid->facets().nb_facets(), 7 );
    EXPECT_TRUE( is_valid_tetrahedral_solid( *solid ) );

    builder->associate_polyhedron_vertex_to_vertex( { 0, 3 }, 3 );
    EXPECT_EQ( solid->polyhedron_around_vertex( 3 ), PolyhedronVertex( 0, 3 ) );
    builder->reset_polyhedra_around_vertex( 3 );
    EXPECT_EQ( solid->polyhedron_around_vertex( 3 ), PolyhedronVertex( 0, 3 ) );
}

// Every edge of a grid: the walk lists exactly the tetrahedra holding the
// edge, each one sharing an edge facet with the one before it, except once
// for a border edge, where the walk goes back to the start and turns the
// other way.
TEST( TetrahedralSolid, PolyhedraAroundEveryEdgeOfAGrid )
{
    const index_t nx = 3, ny = 2, nz = 2;
    const auto grid = orvane::test::grid_tetrahedral_solid( nx, ny, nz );
    grid->enable_edges();
    const auto shares_edge_facet = [&grid]( index_t lhs, index_t rhs,
                                       const EdgeVertices& edge ) {
        for( const auto& facet : grid->edge_incident_facets( lhs, edge ) )
        {
            if( grid->polyhedron_adjacent( facet ) == rhs )
            {
                return true;
            }
        }
        return false;
    };
    const auto on_boundary = [&]( const EdgeVertices& edge ) {
        const auto a = grid->point( edge[0] );
        const auto b = grid->point( edge[1] );
        const std::array< double, 3 > size{ double( nx ), double( ny ), double( nz ) };
        for( local_index_t axis = 0; axis < 3; axis++ )
        {
            for( const auto side : { 0., size[axis] } )
            {
                if( a.value( axis ) == side && b.value( axis ) == side )
                {
                    return true;
                }
            }
        }
        return false;
    };
    for( index_t e = 0; e < grid->edges().nb_edges(); e++ )
    {
        const auto edge = grid->edges().edge_vertices( e );
        const auto around = as_vector( grid->polyhedra_around_edge( edge ) );
        std::vector< index_t > expected;
        for( index_t t = 0; t < grid->nb_polyhedra(); t++ )
        {
            if( grid->edge_vertices_in_polyhedron( t, edge ) )
            {
                expected.push_back( t );
            }
        }
        ASSERT_EQ( sorted( around ), expected ) << "edge " << e;
        index_t nb_restarts{ 0 };
        for( std::size_t i = 1; i < around.size(); i++ )
        {
            if( !shares_edge_facet( around[i - 1], around[i], edge ) )
            {
                EXPECT_TRUE( shares_edge_facet( around.front(), around[i], edge ) )
                    << "edge " << e;
                nb_restarts++;
            }
        }
        const auto border = on_boundary( edge );
        EXPECT_EQ( grid->is_edge_on_border( edge ), border ) << "edge " << e;
        EXPECT_LE( nb_restarts, border ? 1u : 0u ) << "edge " << e;
        if( !border )
        {
            EXPECT_TRUE( shares_edge_facet( around.back(), around.front(), edge ) )
                << "edge " << e;
        }
    }
}
