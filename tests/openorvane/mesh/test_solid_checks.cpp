#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <tests/support/solid_checks.hpp>
#include <tests/support/solid_fixtures.hpp>

namespace
{
    using namespace orvane;
    using orvane::test::tetrahedral_solid_problems;

    bool mentions( const std::vector< std::string >& problems, std::string_view text )
    {
        for( const auto& problem : problems )
        {
            if( problem.find( text ) != std::string::npos )
            {
                return true;
            }
        }
        return false;
    }
} // namespace

// The shared checker must see the faults that edits can leave behind.
TEST( SolidChecks, ReportsBrokenSolids )
{
    {
        auto cube = orvane::test::cube_of_five_tetrahedra();
        auto builder = TetrahedralSolidBuilder< 3 >::create( *cube );
        builder->unset_polyhedron_adjacent( { 0, 0 } );
        const auto problems = tetrahedral_solid_problems( *cube );
        EXPECT_TRUE( mentions( problems, "is not pointed back" ) );
        EXPECT_TRUE( mentions( problems, "but has no adjacency" ) );
    }
    {
        // An inverted tetrahedron.
        auto inverted = orvane::test::create_tetrahedral_solid(
            { Point< 3 >{ { 0, 0, 0 } }, Point< 3 >{ { 1, 0, 0 } },
                Point< 3 >{ { 0, 1, 0 } }, Point< 3 >{ { 0, 0, 1 } } },
            { { 1, 0, 2, 3 } } );
        EXPECT_TRUE( mentions(
            tetrahedral_solid_problems( *inverted ), "is not positive" ) );
        orvane::test::SolidCheckOptions options;
        options.check_orientation = false;
        EXPECT_TRUE( tetrahedral_solid_problems( *inverted, options ).empty() );
    }
    {
        auto cube = orvane::test::cube_of_six_tetrahedra();
        auto builder = TetrahedralSolidBuilder< 3 >::create( *cube );
        builder->associate_polyhedron_vertex_to_vertex( { 0, 1 }, 2 );
        builder->disassociate_polyhedron_vertex_to_vertex( 3 );
        const auto problems = tetrahedral_solid_problems( *cube );
        EXPECT_TRUE( mentions( problems, "which holds another vertex" ) );
        EXPECT_TRUE( mentions( problems, "vertex 3 is used but not associated" ) );
    }
    {
        // Fans: a vertex whose star is cut in two by a missing link.
        auto fan = orvane::test::tetrahedra_fan_around_edge( 4, false );
        auto builder = TetrahedralSolidBuilder< 3 >::create( *fan );
        builder->unset_polyhedron_adjacent( { 1, 2 } );
        builder->unset_polyhedron_adjacent( { 2, 3 } );
        orvane::test::SolidCheckOptions options;
        options.check_complete_adjacency = false;
        EXPECT_TRUE( mentions( tetrahedral_solid_problems( *fan, options ),
            "polyhedra_around_vertex(" ) );
    }
}

TEST( SolidChecks, SkipsInactiveTetrahedra )
{
    auto cube = orvane::test::cube_of_five_tetrahedra();
    auto builder = TetrahedralSolidBuilder< 3 >::create( *cube );
    auto active = cube->polyhedron_attribute_manager()
                      .find_or_create_attribute< VariableAttribute, bool >(
                          "orvane_active", true );
    // Deactivate the corner tetrahedron 0 and cut it out properly: the
    // central one forgets it, and vertex 0 is left without a live cell.
    active->set_value( 0, false );
    builder->unset_polyhedron_adjacent( { 4, 3 } );
    builder->disassociate_polyhedron_vertex_to_vertex( 0 );
    orvane::test::SolidCheckOptions options;
    options.skip_inactive = true;
    EXPECT_TRUE( orvane::test::is_valid_tetrahedral_solid( *cube, options ) );

    // A live cell pointing to the dead one is a fault.
    builder->set_polyhedron_adjacent( { 4, 3 }, 0 );
    EXPECT_TRUE( mentions( tetrahedral_solid_problems( *cube, options ),
        "points to inactive polyhedron" ) );
}
