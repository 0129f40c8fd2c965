#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/mesh_conversion.hpp>
#include <openorvane/model/model_library.hpp>
#include <openorvane/model/split_along_borders.hpp>

#include <tests/support/brep_fixtures.hpp>
#include <tests/support/surface_checks.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace orvane
{
    namespace
    {
        /// A 4 x 2 grid of unit squares as one surface, vertex (i, j) =
        /// i + 5 j linked to unique vertex i + 5 j, with a vertex attribute
        /// "weight" (neither assignable nor interpolable) worth 10 times
        /// the vertex index. The edges of row j = 1 from column `from` to
        /// column `to` are cut: adjacency unset on both sides.
        struct CutGrid
        {
            BRep model;
            uuid surface;
        };

        CutGrid cut_grid( index_t from, index_t to )
        {
            OpenOrvaneModelLibrary::initialize();
            CutGrid result;
            BRepBuilder builder{ result.model };
            builder.create_unique_vertices( 15 );
            const auto grid = test::grid_surface< 3 >( 4, 2 );
            std::vector< Point3D > points;
            std::vector< index_t > uniques;
            for( index_t v = 0; v < grid->nb_vertices(); v++ )
            {
                points.push_back( grid->point( v ) );
                uniques.push_back( v );
            }
            result.surface = test::add_linked_surface(
                result.model, points, test::grid_triangles( 4, 2 ), uniques );
            auto mesh_builder = builder.surface_mesh_builder( result.surface );
            const auto& mesh = result.model.surface( result.surface ).mesh();
            auto weight = mesh.vertex_attribute_manager()
                              .find_or_create_attribute< VariableAttribute, double >(
                                  "weight", -1., AttributeProperties{ false, false } );
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                weight->set_value( v, 10. * v );
            }
            for( index_t i = from; i < to; i++ )
            {
                for( const auto& edge : mesh.polygons_from_edge_vertices( { 5 + i, 6 + i } ) )
                {
                    mesh_builder->unset_polygon_adjacent( edge );
                }
            }
            return result;
        }
    } // namespace

    // A cut inside the surface copies the vertices strictly inside it; a
    // cut from border to border copies every vertex on it.
    TEST( SplitAlongSurfaceMeshBorders, CopiesTheVerticesOfEachExtraFan )
    {
        struct Case
        {
            index_t from;
            index_t to;
            std::vector< index_t > split;
        };
        const std::vector< Case > cases{
            { 1, 3, { 7 } }, { 0, 4, { 5, 6, 7, 8, 9 } }, { 0, 2, { 5, 6 } }, { 2, 2, {} }
        };
        for( const auto& split_case : cases )
        {
            SCOPED_TRACE( ::testing::Message() << "cut " << split_case.from << "-"
                                               << split_case.to );
            auto grid = cut_grid( split_case.from, split_case.to );
            const auto pairs =
                detail::SplitAlongSurfaceMeshBorders< BRep >{ grid.model }.split_all_surfaces();
            const auto& surface = grid.model.surface( grid.surface );
            const auto& mesh = dynamic_cast< const TriangulatedSurface3D& >( surface.mesh() );
            ASSERT_EQ( pairs.size(), split_case.split.size() );
            ASSERT_EQ( mesh.nb_vertices(), 15 + pairs.size() );
            const auto weight =
                mesh.vertex_attribute_manager().find_attribute< double >( "weight" );
            for( index_t k = 0; k < pairs.size(); k++ )
            {
                const auto& [original, copy] = pairs[k];
                EXPECT_EQ( original.component_id, surface.component_id() );
                EXPECT_EQ( copy.component_id, surface.component_id() );
                EXPECT_EQ( original.vertex, split_case.split[k] );
                EXPECT_EQ( copy.vertex, 15 + k );
                EXPECT_EQ( mesh.point( copy.vertex ), mesh.point( original.vertex ) );
                EXPECT_EQ( weight->value( copy.vertex ), 10. * original.vertex );
                EXPECT_EQ( grid.model.unique_vertex( copy ), original.vertex );
                // One side of the cut on each.
                EXPECT_FALSE( mesh.is_vertex_isolated( original.vertex ) );
                EXPECT_FALSE( mesh.is_vertex_isolated( copy.vertex ) );
            }
            // Every vertex's polygons now form one fan.
            test::SurfaceCheckOptions options;
            options.check_complete_adjacency = false;
            EXPECT_TRUE( test::is_valid_triangulated_surface( mesh, options ) );
            // A second run finds nothing left to split.
            EXPECT_TRUE( detail::SplitAlongSurfaceMeshBorders< BRep >{ grid.model }
                             .split_all_surfaces()
                             .empty() );
        }
    }

    // Two tetrahedra on one facet: linked, nothing to split; unlinked,
    // each of the three shared vertices is copied for the second one.
    TEST( SplitAlongBlockMeshBorders, CopiesVerticesOfSeparatedTetrahedra )
    {
        for( const bool linked : { true, false } )
        {
            OpenOrvaneModelLibrary::initialize();
            BRep model;
            BRepBuilder builder{ model };
            builder.create_unique_vertices( 5 );
            const auto block = builder.add_block();
            auto& solid = dynamic_cast< TetrahedralSolid3D& >(
                builder.modifiable_block( block ).get_modifiable_mesh() );
            auto solid_builder = TetrahedralSolidBuilder< 3 >::create( solid );
            for( const auto& p : std::vector< Point3D >{ Point3D{ { 0, 0, 0 } },
                     Point3D{ { 1, 0, 0 } }, Point3D{ { 0, 1, 0 } }, Point3D{ { 0, 0, 1 } },
                     Point3D{ { 0, 0, -1 } } } )
            {
                const auto v = solid_builder->create_point( p );
                builder.set_unique_vertex( { model.block( block ).component_id(), v }, v );
            }
            solid_builder->create_tetrahedron( { 0, 1, 2, 3 } );
            solid_builder->create_tetrahedron( { 0, 2, 1, 4 } );
            if( linked )
            {
                solid_builder->compute_polyhedron_adjacencies();
            }
            const auto pairs = detail::SplitAlongBlockMeshBorders{ model, builder }
                                   .split_all_blocks();
            if( linked )
            {
                EXPECT_TRUE( pairs.empty() );
                continue;
            }
            ASSERT_EQ( pairs.size(), 3 );
            for( index_t k = 0; k < 3; k++ )
            {
                const auto& [original, copy] = pairs[k];
                EXPECT_EQ( original.vertex, k );
                EXPECT_EQ( copy.vertex, 5 + k );
                EXPECT_EQ( model.unique_vertex( copy ), k );
                EXPECT_EQ( solid.point( copy.vertex ), solid.point( k ) );
            }
            // The vertices are stored with the last tetrahedron created, which
            // keeps them; the first one takes the copies.
            const std::vector< std::array< index_t, 4 > > expected{ { 5, 6, 7, 3 },
                { 0, 2, 1, 4 } };
            for( index_t t = 0; t < 2; t++ )
            {
                for( local_index_t v = 0; v < 4; v++ )
                {
                    EXPECT_EQ( solid.polyhedron_vertex( { t, v } ), expected[t][v] );
                }
            }
        }
    }

    TEST( MeshConversion, TriangulatedAndTetrahedralMeshesAreKept )
    {
        auto tetrahedron = test::tetrahedron_model();
        BRepBuilder builder{ tetrahedron.model };
        const auto* surface_mesh =
            &tetrahedron.model.surface( tetrahedron.surfaces[0] ).mesh();
        EXPECT_NO_THROW(
            convert_surface_meshes_into_triangulated_surfaces( tetrahedron.model, builder ) );
        EXPECT_NO_THROW(
            convert_block_meshes_into_tetrahedral_solids( tetrahedron.model, builder ) );
        EXPECT_EQ( &tetrahedron.model.surface( tetrahedron.surfaces[0] ).mesh(), surface_mesh );
    }
} // namespace orvane
