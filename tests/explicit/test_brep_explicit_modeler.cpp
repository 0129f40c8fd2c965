#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/model/brep.hpp>

#include <explicit/brep_explicit_modeler.hpp>
#include <explicit/explicit_brep_library.hpp>
#include <explicit/problematic_elements.hpp>

#include <tests/explicit/explicit_scenes.hpp>
#include <tests/support/brep_checks.hpp>
#include <tests/support/conformal_meshes.hpp>

namespace orvane
{
    namespace
    {
        using Origins = absl::InlinedVector< index_t, 1 >;

        class BRepExplicitModelerTest : public ::testing::Test
        {
        protected:
            void SetUp() override
            {
                ExplicitBRepLibrary::initialize();
            }
        };

        Point< 3 > p( double x, double y, double z )
        {
            return Point< 3 >{ { x, y, z } };
        }

        BoundingBox< 3 > unit_box()
        {
            BoundingBox< 3 > box;
            box.add_point( p( -10, -10, -10 ) );
            box.add_point( p( 10, 10, 10 ) );
            return box;
        }

        std::string message_of( const std::function< void() >& call )
        {
            try
            {
                call();
            }
            catch( const std::exception& error )
            {
                return error.what();
            }
            return "no exception";
        }

        TEST( ProblematicElementsTest, CountAndMove )
        {
            internal::ProblematicElements elements;
            const uuid mesh;
            elements.surfaces[mesh] = { 3, 3, 5 };
            elements.lines[uuid{}] = {};
            elements.corners[uuid{}] = { 0 };
            EXPECT_EQ( elements.count(), 4 );
            internal::ProblematicElements moved{ std::move( elements ) };
            EXPECT_EQ( moved.count(), 4 );
            EXPECT_TRUE( elements.surfaces.empty() );
            EXPECT_TRUE( elements.lines.empty() );
            EXPECT_TRUE( elements.corners.empty() );
            internal::ProblematicElements assigned;
            assigned = std::move( moved );
            EXPECT_EQ( assigned.surfaces.at( mesh ), ( std::vector< index_t >{ 3, 3, 5 } ) );
            EXPECT_EQ( moved.count(), 0 );
        }

        TEST( ProblematicElementsTest, RemainingExceptionConvertsToComponentElements )
        {
            const uuid mesh;
            const uuid first_component;
            const uuid second_component;
            ModelMappings mappings;
            // Polygon 0 was split over two components, polygon 1 went to one.
            mappings.mesh_elements_mapping.surfaces.map(
                { mesh, 0 }, { first_component, 7 } );
            mappings.mesh_elements_mapping.surfaces.map(
                { mesh, 0 }, { second_component, 2 } );
            mappings.mesh_elements_mapping.surfaces.map(
                { mesh, 1 }, { first_component, 8 } );
            internal::ProblematicElements elements;
            elements.surfaces[mesh] = { 0, 1 };
            elements.surfaces[uuid{}] = {};
            const BRepExplicitModelerRemainingException error{ BRep{},
                ModelMappings{ mappings }, elements };
            EXPECT_STREQ( error.what(),
                "[BRepExplicitModeler::build] There are remaining elements (polygons "
                "and/or edges) that are still invalid (intersecting other elements)." );
            EXPECT_EQ( error.remaining.count(), 3 );
            EXPECT_EQ( error.remaining.surfaces.at( first_component ),
                ( std::vector< index_t >{ 7, 8 } ) );
            EXPECT_EQ( error.remaining.surfaces.at( second_component ),
                ( std::vector< index_t >{ 2 } ) );

            internal::ProblematicElements unknown;
            unknown.surfaces[mesh] = { 2 };
            EXPECT_THROW( BRepExplicitModelerRemainingException(
                              BRep{}, ModelMappings{ mappings }, unknown ),
                std::out_of_range );
        }

        TEST_F( BRepExplicitModelerTest, StoresTracedClonesWithRebuiltAdjacencies )
        {
            auto surface = test::rectangle( 0, 0, 1, 1, 0, 2 );
            {
                // Wrong adjacencies on the input: the clone recomputes them.
                auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
                builder->set_polygon_adjacent( { 0, 0 }, 5 );
                builder->unset_polygon_adjacent( { 1, 0 } );
                builder->unset_polygon_adjacent( { 1, 1 } );
                builder->unset_polygon_adjacent( { 1, 2 } );
            }
            const auto expected = test::rectangle( 0, 0, 1, 1, 0, 2 );
            BRepExplicitModeler modeler{ unit_box() };
            modeler.add_triangulated_surface( *surface );
            surface.reset();
            const auto stored = modeler.surfaces();
            ASSERT_EQ( stored.size(), 1 );
            const auto& clone = *stored[0];
            ASSERT_EQ( clone.nb_polygons(), expected->nb_polygons() );
            const auto origins =
                clone.polygon_attribute_manager().find_attribute< Origins >(
                    "mesh_element_origin" );
            for( index_t polygon = 0; polygon < clone.nb_polygons(); polygon++ )
            {
                EXPECT_EQ( origins->value( polygon ), Origins{ polygon } );
                for( const local_index_t edge : { 0, 1, 2 } )
                {
                    EXPECT_EQ( clone.polygon_adjacent( { polygon, edge } ),
                        expected->polygon_adjacent( { polygon, edge } ) )
                        << polygon << " " << edge;
                }
            }
        }

        TEST_F( BRepExplicitModelerTest, RefusesASecondSurfaceWithTheSameUuid )
        {
            BRepExplicitModeler modeler{ unit_box() };
            const auto surface = test::rectangle( 0, 0, 1, 1, 0, 1 );
            modeler.add_triangulated_surface( *surface );
            const auto duplicate = message_of(
                [&] { modeler.add_triangulated_surface( *surface ); } );
            EXPECT_NE( duplicate.find( surface->id().string() ), std::string::npos );
            EXPECT_NE( duplicate.find( "already stored" ), std::string::npos );

            EXPECT_EQ( modeler.surfaces().size(), 1 );
        }

        TEST_F( BRepExplicitModelerTest, ConformalLayeredBoxGivesAValidModel )
        {
            const auto surfaces = test::layered_box( 2 );
            BRepExplicitModeler modeler{ unit_box() };
            for( const auto& surface : surfaces )
            {
                modeler.add_triangulated_surface( *surface );
            }
            const auto [model, mappings] = modeler.build();
            EXPECT_TRUE( test::is_valid_brep( model ) );
            // The fault's foot and head split the bottom, the top and the
            // four bands of the two sides it meets: ten more surfaces.
            EXPECT_EQ( model.nb_surfaces(), surfaces.size() + 10 );
            // Every input polygon maps, under its own index, to a polygon of
            // a model surface, and nothing else is mapped.
            index_t nb_polygons{ 0 };
            for( const auto& surface : surfaces )
            {
                for( index_t polygon = 0; polygon < surface->nb_polygons(); polygon++ )
                {
                    const auto& outputs = mappings.mesh_elements_mapping.surfaces.in2out(
                        { surface->id(), polygon } );
                    ASSERT_EQ( outputs.size(), 1 );
                    EXPECT_TRUE( model.has_surface( outputs[0].mesh_id ) );
                }
                nb_polygons += surface->nb_polygons();
            }
            EXPECT_EQ( mappings.mesh_elements_mapping.surfaces.size_in(), nb_polygons );
        }

        TEST_F( BRepExplicitModelerTest, CrossingInputIsResolvedByDefault )
        {
            BRepExplicitModeler modeler{ unit_box() };
            const auto horizontal = test::rectangle( 0, 0, 1, 1, 0, 1 );
            const auto crossing = test::triangles_surface(
                { { p( 0.3, 0.2, -1 ), p( 0.3, 0.2, 1 ), p( 0.7, 0.3, 0 ) } } );
            modeler.add_triangulated_surface( *horizontal );
            modeler.add_triangulated_surface( *crossing );
            const auto [model, mappings] = modeler.build();
            EXPECT_GE( model.nb_surfaces(), 2 );
            EXPECT_GT( model.nb_lines(), 0 );
        }

        TEST_F( BRepExplicitModelerTest, PolygonsLostInTheMergeAreDeleted )
        {
            // A sliver whose two vertices 1e-8 apart merge: the search
            // reports it lost, the pass deletes it as degenerate, and the
            // second search finds nothing.
            const auto surface = test::triangles_surface(
                { { p( 0, 0, 0 ), p( 1, 0, 0 ), p( 0, 1, 0 ) },
                    { p( 0, 1, 0 ), p( 1, 0, 0 ), p( 1, 1, 0 ) },
                    { p( 1, 1, 0 ), p( 1, 0, 0 ), p( 1 + 1e-8, 0, 0 ) } } );
            BRepExplicitModeler modeler{ unit_box() };
            modeler.add_triangulated_surface( *surface );
            const auto [model, mappings] = modeler.build();
            EXPECT_EQ( modeler.surfaces()[0]->nb_polygons(), 2 );
            const auto& surfaces = mappings.mesh_elements_mapping.surfaces;
            EXPECT_EQ( surfaces.in2out( { surface->id(), 0 } ).size(), 1 );
            EXPECT_EQ( surfaces.in2out( { surface->id(), 1 } ).size(), 1 );
            EXPECT_FALSE( surfaces.in2out().contains( { surface->id(), 2 } ) );
        }
    } // namespace
} // namespace orvane
