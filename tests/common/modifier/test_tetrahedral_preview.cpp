#include <algorithm>
#include <cmath>
#include <memory>
#include <ranges>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/predicates.hpp>

#include <common/modifier/tetrahedron_preview.hpp>

#include <tests/support/solid_fixtures.hpp>

namespace
{
    using namespace orvane;

    Point< 3 > point( double x, double y, double z )
    {
        return Point< 3 >{ { x, y, z } };
    }

    PolyhedronFacetEdge facet_edge(
        const TetrahedralSolid< 3 >& solid, index_t a, index_t b )
    {
        return solid.polyhedron_facet_edge_from_vertices( { a, b } ).value();
    }

    SIDE sign( const Tetrahedron& tetrahedron )
    {
        return tetrahedron_volume_sign( tetrahedron );
    }

    /// A closed fan around (0, 1) with ring vertices at the given angles
    /// and radii, height 0.5; tetrahedron i is (0, 1, ring i, ring i + 1).
    std::unique_ptr< TetrahedralSolid< 3 > > fan(
        const std::vector< std::pair< double, double > >& ring, bool closed )
    {
        std::vector< Point< 3 > > points{ point( 0, 0, 0 ), point( 0, 0, 1 ) };
        for( const auto& [angle, radius] : ring )
        {
            points.push_back(
                point( radius * std::cos( angle ), radius * std::sin( angle ), 0.5 ) );
        }
        const auto n = static_cast< index_t >( ring.size() );
        std::vector< std::array< index_t, 4 > > tetrahedra;
        for( index_t i = 0; i + ( closed ? 0 : 1 ) < n; i++ )
        {
            tetrahedra.push_back( { 0, 1, 2 + i, 2 + ( i + 1 ) % n } );
        }
        return test::create_tetrahedral_solid( points, tetrahedra );
    }
} // namespace

TEST( TetrahedronPreview, split_tetrahedron )
{
    const auto solid = test::single_tetrahedron();
    for( const auto& created :
        tetrahedra_after_split_tetrahedron( *solid, 0, point( 0.1, 0.2, 0.3 ) ) )
    {
        EXPECT_EQ( sign( created ), SIDE::positive );
    }
    // A point on facet i flattens the tetrahedron whose vertex i was
    // replaced; a point outside inverts one.
    const std::array< Point< 3 >, 4 > on_facet{ point( 0.3, 0.3, 0.4 ),
        point( 0, 0.3, 0.3 ), point( 0.3, 0, 0.3 ), point( 0.3, 0.3, 0 ) };
    for( const local_index_t i : { 0, 1, 2, 3 } )
    {
        const auto previews =
            tetrahedra_after_split_tetrahedron( *solid, 0, on_facet[i] );
        for( const local_index_t j : { 0, 1, 2, 3 } )
        {
            EXPECT_EQ( sign( previews[j] ), i == j ? SIDE::zero : SIDE::positive )
                << "point on facet " << int{ i } << ", tetrahedron " << int{ j };
        }
    }
    const auto outside =
        tetrahedra_after_split_tetrahedron( *solid, 0, point( 0.3, 0.3, -0.1 ) );
    EXPECT_EQ( sign( outside[3] ), SIDE::negative );
}

TEST( TetrahedronPreview, split_facet_on_border_and_inside )
{
    const auto solid = test::cube_of_five_tetrahedra();
    for( local_index_t f = 0; f < 4; f++ )
    {
        const PolyhedronFacet facet{ 0, f };
        const auto previews = tetrahedra_after_split_facet(
            *solid, facet, solid->polyhedron_facet_barycenter( facet ) );
        const auto adjacent = solid->polyhedron_adjacent( facet );
        ASSERT_EQ( previews.size(), adjacent ? 6u : 3u );
        for( const auto i : std::views::iota( std::size_t{ 0 }, previews.size() ) )
        {
            EXPECT_EQ( previews[i].polyhedron, i < 3 ? 0u : adjacent.value() );
            EXPECT_EQ( sign( previews[i].tetrahedron ), SIDE::positive );
        }
    }
}

TEST( TetrahedronPreview, split_edge_validity )
{
    const auto solid = test::tetrahedra_fan_around_edge( 5, true );
    const auto edge = facet_edge( *solid, 0, 1 );
    EXPECT_TRUE( is_split_edge_valid( *solid, edge, point( 0, 0, 0.3 ) ) );
    EXPECT_FALSE( is_split_edge_valid( *solid, edge, point( 0, 0, 1.2 ) ) )
        << "beyond the end, the halves holding that end invert";
    const auto previews = tetrahedra_after_split_edge( *solid,
        solid->polyhedra_around_edge( edge ), { 0, 1 }, point( 0, 0, 1.2 ) );
    EXPECT_EQ( previews.size(), 10u );
    SplitPreviewReport report;
    detail::report_invalid_tetrahedra( previews, report );
    EXPECT_FALSE( report.valid );
    EXPECT_EQ( report.invalid_elements.size(), 5u );
    EXPECT_EQ( report.replaced_elements.size(), 5u );
    SplitPreviewReport untouched;
    untouched.valid = false;
    detail::report_invalid_tetrahedra( tetrahedra_after_split_edge( *solid,
                                           solid->polyhedra_around_edge( edge ),
                                           { 0, 1 }, point( 0, 0, 0.3 ) ),
        untouched );
    EXPECT_FALSE( untouched.valid ) << "a report is never set back to valid";
    EXPECT_TRUE( untouched.invalid_elements.empty() );
}

TEST( TetrahedronPreview, swap_facet_on_border_throws )
{
    const auto solid = test::single_tetrahedron();
    try
    {
        static_cast< void >( tetrahedra_after_swap_facet( *solid, { 0, 0 } ) );
        ADD_FAILURE() << "a border facet has no flip";
    }
    catch( const OpenOrvaneException& error )
    {
        EXPECT_STREQ(
            error.what(), "[SwapFacet] Facet should have an adjacent tetrahedron" );
    }
}

TEST( TetrahedronPreview, ordered_vertices_around_edge )
{
    struct Case
    {
        const char* name;
        std::unique_ptr< TetrahedralSolid< 3 > > solid;
        std::size_t nb_vertices;
        bool closed;
    };
    const double step = 2 * M_PI / 6;
    std::vector< Case > cases;
    cases.push_back( { "closed fan of 6", test::tetrahedra_fan_around_edge( 6, true ), 6, true } );
    cases.push_back( { "open fan of 4", test::tetrahedra_fan_around_edge( 4, false ), 5, false } );
    cases.push_back( { "one tetrahedron", test::single_tetrahedron(), 2, false } );
    // The first listed tetrahedron is flat: the orientation comes from the
    // next one.
    cases.push_back( { "closed fan starting flat",
        fan( { { 0, 1 }, { 0, 2 }, { step, 1 }, { 2 * step, 1 }, { 3 * step, 1 },
                 { 4 * step, 1 }, { 5 * step, 1 } },
            true ),
        7, true } );
    for( const auto& test_case : cases )
    {
        SCOPED_TRACE( test_case.name );
        const auto& solid = *test_case.solid;
        const auto edge = facet_edge( solid, 0, 1 );
        const auto polyhedra = solid.polyhedra_around_edge( edge );
        const auto ring = ordered_vertices_around_edge( solid, { 0, 1 }, polyhedra );
        ASSERT_EQ( ring.vertices.size(), test_case.nb_vertices );
        EXPECT_EQ( ring.closed, test_case.closed );
        EXPECT_TRUE( detail::is_ring_complete( solid, { 0, 1 }, polyhedra, ring ) );
        const auto nb_pairs = ring.closed ? ring.vertices.size()
                                          : ring.vertices.size() - 1;
        for( const auto i : std::views::iota( std::size_t{ 0 }, nb_pairs ) )
        {
            const Tetrahedron turn{ solid.point( 0 ), solid.point( 1 ),
                solid.point( ring.vertices[i] ),
                solid.point( ring.vertices[( i + 1 ) % ring.vertices.size()] ) };
            EXPECT_NE( sign( turn ), SIDE::negative ) << "pair " << i;
        }
    }
    const auto solid = test::single_tetrahedron();
    const auto empty = ordered_vertices_around_edge( *solid, { 0, 1 }, {} );
    EXPECT_TRUE( empty.vertices.empty() );
    EXPECT_FALSE( empty.closed );
}

TEST( TetrahedronPreview, swap_edge_preview )
{
    struct Case
    {
        index_t nb_tetrahedra;
        bool closed;
        index_t apex;
        std::size_t nb_created;
    };
    // Apex off the ring, ring of 2, ring of 3, ring of 5.
    for( const auto& test_case : { Case{ 5, true, 0, 0 }, Case{ 1, false, 2, 0 },
             Case{ 3, true, 3, 2 }, Case{ 5, true, 4, 6 } } )
    {
        SCOPED_TRACE( ::testing::Message()
                      << test_case.nb_tetrahedra << " apex " << test_case.apex );
        const auto solid =
            test::tetrahedra_fan_around_edge( test_case.nb_tetrahedra, test_case.closed );
        const auto edge = facet_edge( *solid, 0, 1 );
        const auto swap = detail::swap_edge_preview( *solid, edge, test_case.apex );
        EXPECT_EQ( swap.preview.tetrahedra.size(), test_case.nb_created );
        EXPECT_EQ( is_swap_edge_valid( *solid, edge, test_case.apex ),
            test_case.nb_created != 0 );
        if( test_case.nb_created == 0 )
        {
            EXPECT_TRUE( swap.preview.polyhedra.empty() );
            continue;
        }
        EXPECT_EQ( swap.ring[0], test_case.apex );
        const auto polyhedra = solid->polyhedra_around_edge( edge );
        ASSERT_EQ( swap.preview.polyhedra.size(), polyhedra.size() );
        EXPECT_TRUE( std::equal(
            polyhedra.begin(), polyhedra.end(), swap.preview.polyhedra.begin() ) );
        for( const auto& created : swap.preview.tetrahedra )
        {
            EXPECT_EQ( sign( created ), SIDE::positive );
        }
    }
}

TEST( TetrahedronPreview, swap_edge_refused_when_an_edge_from_the_apex_exists )
{
    // A closed fan of 5 around (0, 1), ring 2..6; an extra tetrahedron
    // outside joins ring vertices 2 and 4.
    for( const bool extra : { false, true } )
    {
        for( const bool edges : { false, true } )
        {
            SCOPED_TRACE( ::testing::Message() << "extra " << extra << " edges " << edges );
            auto solid = test::tetrahedra_fan_around_edge( 5, true );
            if( extra )
            {
                auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
                const auto far = builder->create_point( point( 2, 2, 0.5 ) );
                const auto low = builder->create_point( point( 2, 2, -1 ) );
                static_cast< void >( builder->create_tetrahedron( { 2, 4, far, low } ) );
            }
            if( edges )
            {
                solid->enable_edges();
            }
            const auto edge = facet_edge( *solid, 0, 1 );
            EXPECT_EQ( is_swap_edge_valid( *solid, edge, 2 ), !extra );
        }
    }
}

TEST( TetrahedronPreview, surviving_polyhedra_of_a_collapse )
{
    const auto solid = test::grid_tetrahedral_solid( 2, 2, 2 );
    const EdgeVertices edge{ 13, 14 }; // (1, 1, 1), (2, 1, 1)
    const auto star = solid->polyhedra_around_edge( edge );
    const auto around0 = solid->polyhedra_around_vertex( 13 );
    const auto around1 = solid->polyhedra_around_vertex( 14 );
    const auto survivors = polyhedra_around_edge_vertices( *solid, edge );
    ASSERT_EQ( survivors.size(), around0.size() + around1.size() - 2 * star.size() );
    bool in_second_part{ false };
    for( const auto& survivor : survivors )
    {
        const auto holds0 = solid->vertex_in_polyhedron( survivor.polyhedron_id, 13 );
        const auto holds1 = solid->vertex_in_polyhedron( survivor.polyhedron_id, 14 );
        EXPECT_FALSE( holds0 && holds1 );
        EXPECT_FALSE( in_second_part && holds0 ) << "the first end's come first";
        in_second_part = in_second_part || holds1.has_value();
        EXPECT_EQ( solid->polyhedron_vertex( survivor ), holds0 ? 13u : 14u );
    }

    // Onto end 0: the polyhedra of end 1 without end 0, moved to end 0.
    const auto onto0 = tetrahedra_after_collapse_onto_vertex( *solid, edge, 0 );
    EXPECT_EQ( onto0.size(), around1.size() - star.size() );
    for( const auto& preview : onto0 )
    {
        EXPECT_TRUE( solid->vertex_in_polyhedron( preview.polyhedron, 14 ) );
        const auto& moved = preview.tetrahedron.vertices();
        EXPECT_TRUE( std::find( moved.begin(), moved.end(), solid->point( 13 ) )
                     != moved.end() );
    }
}

TEST( TetrahedronPreview, point_lookups )
{
    const auto solid = test::single_tetrahedron();
    struct Case
    {
        double offset;
        bool found;
    };
    for( const auto& [offset, found] : { Case{ 0.9e-6, true }, Case{ 1.1e-6, false } } )
    {
        SCOPED_TRACE( offset );
        const auto near = point( 1, offset, 0 );
        const auto vertex = detail::polyhedron_vertex_at_point( *solid, 0, near );
        EXPECT_EQ( vertex.has_value(), found );
        if( found )
        {
            EXPECT_EQ( vertex.value(), 1 );
        }
        // Facet 3 lists vertices 0, 1, 2: vertex 1 of the tetrahedron is its
        // second vertex.
        const auto facet_vertex =
            detail::polyhedron_facet_vertex_at_point( *solid, { 0, 3 }, near );
        EXPECT_EQ( facet_vertex.has_value(), found );
        if( found )
        {
            EXPECT_EQ( facet_vertex.value(), 1 );
        }
    }
}
