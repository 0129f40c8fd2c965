#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/facets.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <tests/support/solid_checks.hpp>
#include <tests/support/solid_fixtures.hpp>

namespace
{
    using namespace orvane;

    /// Enables the facet table of the solid and tags each facet f with
    /// `first_tag` + f, so that tests can follow entries across edits.
    std::shared_ptr< VariableAttribute< index_t > > tag_facets(
        TetrahedralSolid< 3 >& solid, index_t first_tag )
    {
        solid.enable_facets();
        auto tags = solid.facets()
                        .facet_attribute_manager()
                        .find_or_create_attribute< VariableAttribute, index_t >(
                            "tag", NO_ID );
        for( index_t f = 0; f < solid.facets().nb_facets(); f++ )
        {
            tags->set_value( f, first_tag + f );
        }
        return tags;
    }
} // namespace

TEST( SolidFacets, EnabledTableListsFacetsInPolyhedronOrder )
{
    const auto solid = orvane::test::cube_of_five_tetrahedra();
    EXPECT_FALSE( solid->are_facets_enabled() );
    EXPECT_THROW( solid->facets(), OpenOrvaneException );
    solid->enable_facets();
    ASSERT_TRUE( solid->are_facets_enabled() );
    const auto& facets = solid->facets();
    // 4 corner tetrahedra with 3 outer facets each, plus the 4 inner ones.
    EXPECT_EQ( facets.nb_facets(), 16 );
    // The first entries are the facets of tetrahedron 0 as it lists them.
    for( local_index_t f = 0; f < 4; f++ )
    {
        EXPECT_EQ( facets.facet_vertices( f ),
            solid->polyhedron_facet_vertices( { 0, f } ) );
    }
    // Lookups ignore the order of the vertices.
    EXPECT_EQ( facets.facet_from_vertices( { 4, 2, 1 } ), 0u );
    EXPECT_EQ( facets.facet_from_vertices( { 2, 1, 4 } ), 0u );
    EXPECT_FALSE( facets.facet_from_vertices( { 0, 1, 7 } ) );
    EXPECT_EQ( facets.facet_attribute_manager().nb_elements(), 16 );
    // Enabling again changes nothing.
    solid->enable_facets();
    EXPECT_EQ( &solid->facets(), &facets );
}

TEST( SolidFacets, EntriesOutliveTheirPolyhedra )
{
    const auto solid = orvane::test::cube_of_five_tetrahedra();
    const auto tags = tag_facets( *solid, 100 );
    auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
    const auto corner_facet =
        solid->facets().facet_from_vertices( { 0, 1, 2 } ).value();
    builder->delete_polyhedra( { true, false, false, false, false } );
    // Still registered, though no tetrahedron uses it any more.
    EXPECT_EQ( solid->facets().nb_facets(), 16 );
    EXPECT_EQ( solid->facets().facet_from_vertices( { 0, 1, 2 } ), corner_facet );
    EXPECT_TRUE( solid->facets().is_facet_isolated( corner_facet, *solid ) );
    EXPECT_FALSE( solid->facets().is_facet_isolated(
        solid->facets().facet_from_vertices( { 1, 2, 4 } ).value(), *solid ) );
    // Re-creating the tetrahedron finds the old entries and their values.
    builder->create_tetrahedron( { 0, 1, 2, 4 } );
    EXPECT_EQ( solid->facets().nb_facets(), 16 );
    EXPECT_EQ( tags->value( corner_facet ), 100 + corner_facet );

    // A new facet is appended with the default value.
    builder->create_point( Point< 3 >{ { -1, -1, -1 } } );
    builder->create_tetrahedron( { 0, 2, 1, 8 } );
    EXPECT_EQ( solid->facets().nb_facets(), 19 );
    EXPECT_EQ( tags->value( 18 ), NO_ID );
    EXPECT_EQ( solid->facets().facet_vertices( 16 ),
        ( PolyhedronFacetVertices{ 2, 8, 1 } ) );
}

TEST( SolidFacets, VertexDeletionOrphansFacetsUntilTheyAreDeleted )
{
    const auto solid = orvane::test::cube_of_five_tetrahedra();
    const auto tags = tag_facets( *solid, 0 );
    auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
    const auto inner = solid->facets().facet_from_vertices( { 2, 4, 7 } ).value();
    builder->delete_polyhedra( { true, false, false, false, false } );
    const auto vertices_old2new = builder->delete_isolated_vertices();
    ASSERT_EQ( vertices_old2new[0], NO_ID );
    // Facets with vertex 0 keep their index but cannot be found any more;
    // the others are found under their renumbered vertices.
    EXPECT_EQ( solid->facets().nb_facets(), 16 );
    EXPECT_EQ( solid->facets().facet_vertices( 0 ),
        ( PolyhedronFacetVertices{ 0, 3, 1 } ) );
    EXPECT_EQ( solid->facets().facet_vertices( 1 ),
        ( PolyhedronFacetVertices{ NO_ID, 1, 3 } ) );
    EXPECT_EQ( solid->facets().facet_from_vertices( { 1, 3, 6 } ), inner );
    EXPECT_TRUE( solid->facets().is_facet_isolated( 1, *solid ) );

    const auto old2new = builder->facets_builder().delete_isolated_facets();
    // The three facets through vertex 0 go; facet (1, 2, 4) is still used by
    // the central tetrahedron.
    ASSERT_EQ( old2new.size(), 16 );
    EXPECT_EQ( old2new[0], 0u );
    EXPECT_EQ( old2new[1], NO_ID );
    EXPECT_EQ( old2new[2], NO_ID );
    EXPECT_EQ( old2new[3], NO_ID );
    EXPECT_EQ( old2new[4], 1u );
    EXPECT_EQ( solid->facets().nb_facets(), 13 );
    EXPECT_EQ( solid->facets().facet_attribute_manager().nb_elements(), 13 );
    for( index_t f = 0; f < 16; f++ )
    {
        if( old2new[f] != NO_ID )
        {
            EXPECT_EQ( tags->value( old2new[f] ), f );
        }
    }
    EXPECT_EQ( solid->facets().facet_from_vertices( { 1, 3, 6 } ), old2new[inner] );
    EXPECT_TRUE( orvane::test::is_valid_tetrahedral_solid( *solid ) );

    EXPECT_THROW( builder->facets_builder().delete_facets( { true } ),
        OpenOrvaneException );
    auto plain = orvane::test::single_tetrahedron();
    EXPECT_THROW(
        TetrahedralSolidBuilder< 3 >::create( *plain )->facets_builder(),
        OpenOrvaneException );
}
