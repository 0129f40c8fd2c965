#include <gtest/gtest.h>

#include <openorvane/mesh/triangulated_surface.hpp>

#include <explicit/brep_explicit_modeler.hpp>
#include <explicit/conflict_finder.hpp>
#include <explicit/explicit_brep_library.hpp>
#include <explicit/zone_resolution.hpp>

#include <tests/explicit/explicit_scenes.hpp>
#include <tests/support/brep_checks.hpp>
#include <tests/support/conformal_meshes.hpp>

namespace orvane
{
    namespace
    {
        TEST( ZoneEndToEndTest, TwoCrossingQuadsBecomeConformal )
        {
            ExplicitBRepLibrary::initialize();
            BoundingBox< 3 > box;
            box.add_point( Point< 3 >{ { -10, -10, -10 } } );
            box.add_point( Point< 3 >{ { 10, 10, 10 } } );
            BRepExplicitModeler modeler{ box };
            // A horizontal quad crossed through its middle by a slanted one
            // that overhangs it on both sides.
            const auto horizontal = test::rectangle( 0, 0, 1, 1, 0, 1 );
            test::TriangleSoup soup;
            soup.add_grid( Point< 3 >{ { 0.45, -0.2, -0.5 } }, Vector< 3 >{ { 0, 1.4, 0 } },
                Vector< 3 >{ { 0.1, 0, 1 } }, 1 );
            const auto slanted = soup.mesh();
            modeler.add_triangulated_surface( *horizontal );
            modeler.add_triangulated_surface( *slanted );
            modeler.set_zone_resolver( &internal::resolve_component );

            const auto [model, mappings] = modeler.build();

            EXPECT_TRUE( test::is_valid_brep( model ) );
            internal::ModelerMeshes meshes;
            for( const auto* surface : modeler.surfaces() )
            {
                meshes.surfaces.push_back( const_cast< TriangulatedSurface< 3 >* >( surface ) );
            }
            EXPECT_FALSE( internal::find_conflicts( meshes ) );
            // The crossing line is made of vertices both surfaces have: at
            // least its two ends on the horizontal quad's sides.
            const auto& first = *meshes.surfaces[0];
            const auto& second = *meshes.surfaces[1];
            index_t nb_shared{ 0 };
            for( index_t v = 0; v < first.nb_vertices(); v++ )
            {
                for( index_t w = 0; w < second.nb_vertices(); w++ )
                {
                    if( first.point( v ) == second.point( w ) )
                    {
                        nb_shared++;
                        EXPECT_NEAR( first.point( v ).value( 2 ), 0., 1e-12 );
                    }
                }
            }
            EXPECT_GE( nb_shared, 2 );
            // Every input polygon still maps to polygons of the model.
            for( const auto* input : { horizontal.get(), slanted.get() } )
            {
                for( index_t polygon = 0; polygon < input->nb_polygons(); polygon++ )
                {
                    EXPECT_TRUE( mappings.mesh_elements_mapping.surfaces.has_mapping_input(
                        { input->id(), polygon } ) );
                }
            }
        }
    } // namespace
} // namespace orvane
