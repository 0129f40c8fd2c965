#include <tests/simplex/block/block_scenes.hpp>

#include <algorithm>
#include <array>
#include <set>

#include <gtest/gtest.h>

#include <conversion/conversion_model_library.hpp>
#include <conversion/model_builder_from_meshes.hpp>

#include <openorvane/geometry/bounding_box.hpp>

#include <tests/support/conformal_meshes.hpp>
#include <tests/support/solid_checks.hpp>

namespace orvane::test
{
    BRep build_model( const std::vector< std::unique_ptr< TriangulatedSurface< 3 > > >& surfaces )
    {
        ConversionModelLibrary::initialize();
        std::vector< const SurfaceMesh< 3 >* > pointers;
        for( const auto& mesh : surfaces )
        {
            pointers.push_back( mesh.get() );
        }
        return std::get< 0 >( detail::build_brep_from_meshes( {}, {}, pointers ) );
    }

    BRep cube_model( index_t n )
    {
        return build_model( cube_faces( 0, 1, n ) );
    }

    BRep horizon_in_a_cube( index_t n )
    {
        auto surfaces = cube_faces( 0, 1, n );
        surfaces.push_back( rectangle( 0, 0, 1, 1, 0.5, n ) );
        return build_model( surfaces );
    }

    BRep free_square_in_a_cube( index_t n )
    {
        auto surfaces = cube_faces( 0, 1, n );
        surfaces.push_back( rectangle( 0.25, 0.25, 0.75, 0.75, 0.5, n / 2 ) );
        return build_model( surfaces );
    }

    const TetrahedralSolid< 3 >& block_solid( const BRep& model, const Block< 3 >& block )
    {
        (void) model;
        return dynamic_cast< const TetrahedralSolid< 3 >& >( block.mesh() );
    }

    void expect_valid_block_mesh( const BRep& model, const Block< 3 >& block )
    {
        const auto& solid = block_solid( model, block );
        ASSERT_GT( solid.nb_polyhedra(), 0 );
        EXPECT_TRUE( is_valid_tetrahedral_solid( solid ) );
        using Facet = std::array< index_t, 3 >;
        const auto sorted = []( Facet facet ) {
            std::sort( facet.begin(), facet.end() );
            return facet;
        };
        std::multiset< Facet > border_facets;
        for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
        {
            for( const local_index_t f : { 0, 1, 2, 3 } )
            {
                if( !solid.is_polyhedron_facet_on_border( { t, f } ) )
                {
                    continue;
                }
                Facet facet;
                const auto vertices = solid.polyhedron_facet_vertices( { t, f } );
                for( const local_index_t v : { 0, 1, 2 } )
                {
                    facet[v] = model.unique_vertex( { block.component_id(), vertices[v] } );
                }
                border_facets.insert( sorted( facet ) );
            }
        }
        std::multiset< Facet > surface_triangles;
        BoundingBox< 3 > box;
        for( const auto& surface : model.boundaries( block ) )
        {
            const auto& mesh = surface.mesh();
            box.add_box( mesh.bounding_box() );
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                Facet facet;
                for( const local_index_t v : { 0, 1, 2 } )
                {
                    facet[v] = model.unique_vertex(
                        { surface.component_id(), mesh.polygon_vertex( { p, v } ) } );
                }
                surface_triangles.insert( sorted( facet ) );
            }
        }
        EXPECT_EQ( border_facets, surface_triangles );
        for( index_t v = 0; v < solid.nb_vertices(); v++ )
        {
            EXPECT_NE( model.unique_vertex( { block.component_id(), v } ), NO_ID ) << v;
            const auto& point = solid.point( v );
            for( const local_index_t axis : { 0, 1, 2 } )
            {
                EXPECT_GE( point.value( axis ), box.min().value( axis ) ) << v;
                EXPECT_LE( point.value( axis ), box.max().value( axis ) ) << v;
            }
        }
    }
} // namespace orvane::test
