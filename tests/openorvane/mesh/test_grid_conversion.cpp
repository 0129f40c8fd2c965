#include <openorvane/mesh/grid_conversion.hpp>

#include <gtest/gtest.h>

#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <tests/support/solid_checks.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace
{
    using namespace orvane;

    TEST( GridConversion, SixPositiveTetrahedraPerCellConformalAndLinked )
    {
        test::initialize_surface_meshes();
        const LightRegularGrid< 3 > grid{ Point< 3 >{ { -1., 2., 0.5 } }, { 3, 2, 2 },
            { 0.5, 0.25, 1. } };
        const auto solid = convert_grid_into_tetrahedral_solid( grid );
        EXPECT_EQ( solid->nb_vertices(), 4u * 3u * 3u );
        ASSERT_EQ( solid->nb_polyhedra(), 6u * grid.nb_cells() );
        EXPECT_TRUE( test::is_valid_tetrahedral_solid( *solid ) );
        double volume{ 0 };
        index_t border_facets{ 0 };
        for( index_t t = 0; t < solid->nb_polyhedra(); t++ )
        {
            const auto tetrahedron = solid->tetrahedron( t );
            EXPECT_EQ( tetrahedron_volume_sign( tetrahedron ), SIDE::positive );
            volume += tetrahedron_signed_volume( tetrahedron );
            for( const local_index_t f : { 0, 1, 2, 3 } )
            {
                border_facets +=
                    !solid->polyhedron_adjacent( PolyhedronFacet{ t, f } ).has_value();
            }
        }
        EXPECT_NEAR( volume, 1.5 * 0.5 * 2., 1e-12 );
        // Two triangles per boundary cell face: the only unlinked facets.
        const index_t boundary_faces = 2 * ( 3 * 2 + 3 * 2 + 2 * 2 );
        EXPECT_EQ( border_facets, 2 * boundary_faces );
        // Vertices sit on the grid's cell boundaries.
        EXPECT_EQ( solid->point( 0 ), grid.origin() );
        EXPECT_EQ( solid->point( solid->nb_vertices() - 1 ), grid.grid_bounding_box().max() );
    }
} // namespace
