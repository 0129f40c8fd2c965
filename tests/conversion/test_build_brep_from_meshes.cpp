#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include <conversion/conversion_model_library.hpp>
#include <conversion/model_builder_from_meshes.hpp>
#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/identifier.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <tests/support/brep_checks.hpp>
#include <tests/support/conformal_meshes.hpp>

namespace orvane
{
    namespace
    {
        const ComponentType CORNER{ "Corner" };
        const ComponentType LINE{ "Line" };
        const ComponentType SURFACE{ "Surface" };

        Point< 3 > p( double x, double y, double z = 0. )
        {
            return Point< 3 >{ { x, y, z } };
        }

        /// The inputs of one build, owned, with the pointer spans.
        struct Inputs
        {
            std::vector< std::unique_ptr< PointSet< 3 > > > corners;
            std::vector< std::unique_ptr< EdgedCurve< 3 > > > lines;
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;

            std::tuple< BRep, ModelMappings > build() const
            {
                std::vector< const PointSet< 3 >* > corner_pointers;
                for( const auto& mesh : corners )
                {
                    corner_pointers.push_back( mesh.get() );
                }
                std::vector< const EdgedCurve< 3 >* > line_pointers;
                for( const auto& mesh : lines )
                {
                    line_pointers.push_back( mesh.get() );
                }
                std::vector< const SurfaceMesh< 3 >* > surface_pointers;
                for( const auto& mesh : surfaces )
                {
                    surface_pointers.push_back( mesh.get() );
                }
                return detail::build_brep_from_meshes(
                    corner_pointers, line_pointers, surface_pointers );
            }
        };

        struct Counts
        {
            index_t corners;
            index_t lines;
            index_t surfaces;
            index_t blocks;

            bool operator==( const Counts& ) const = default;
        };

        std::ostream& operator<<( std::ostream& out, const Counts& counts )
        {
            return out << counts.corners << " corners, " << counts.lines << " lines, "
                       << counts.surfaces << " surfaces, " << counts.blocks << " blocks";
        }

        Counts counts( const BRep& model )
        {
            return { model.nb_corners(), model.nb_lines(), model.nb_surfaces(), model.nb_blocks() };
        }

        /// The outputs of an input element or vertex.
        std::vector< MeshElement > outputs( const ElementsMapping& mapping, const MeshElement& in )
        {
            if( !mapping.has_mapping_input( in ) )
            {
                return {};
            }
            const auto& list = mapping.in2out( in );
            return { list.begin(), list.end() };
        }

        std::vector< uuid > component_outputs(
            const ModelMappings& mappings, const ComponentType& type, const uuid& input )
        {
            const auto& mapping = mappings.component_mapping.at( type );
            if( !mapping.has_mapping_input( input ) )
            {
                return {};
            }
            const auto& list = mapping.in2out( input );
            return { list.begin(), list.end() };
        }

        /// Every input vertex maps to component vertices at its own place,
        /// every input element to an element of a component of the model.
        void expect_mappings_in_place( const BRep& model,
            const ModelMappings& mappings,
            const Inputs& inputs )
        {
            const auto& vertices = mappings.mesh_vertices_mapping;
            for( const auto& surface : inputs.surfaces )
            {
                for( index_t v = 0; v < surface->nb_vertices(); v++ )
                {
                    const auto outs = outputs( vertices.surfaces, { surface->id(), v } );
                    EXPECT_FALSE( outs.empty() ) << "surface vertex " << v;
                    for( const auto& out : outs )
                    {
                        EXPECT_TRUE( model.surface( out.mesh_id )
                                         .mesh()
                                         .point( out.element )
                                         .inexact_equal( surface->point( v ) ) );
                    }
                }
                for( index_t t = 0; t < surface->nb_polygons(); t++ )
                {
                    const auto outs =
                        outputs( mappings.mesh_elements_mapping.surfaces, { surface->id(), t } );
                    ASSERT_EQ( outs.size(), 1u ) << "surface polygon " << t;
                    EXPECT_LT( outs[0].element,
                        model.surface( outs[0].mesh_id ).mesh().nb_polygons() );
                }
            }
            for( const auto& line : inputs.lines )
            {
                for( index_t v = 0; v < line->nb_vertices(); v++ )
                {
                    for( const auto& out : outputs( vertices.lines, { line->id(), v } ) )
                    {
                        EXPECT_TRUE( model.line( out.mesh_id )
                                         .mesh()
                                         .point( out.element )
                                         .inexact_equal( line->point( v ) ) );
                    }
                }
                for( index_t e = 0; e < line->nb_edges(); e++ )
                {
                    const auto outs = outputs( mappings.mesh_elements_mapping.lines, { line->id(), e } );
                    ASSERT_EQ( outs.size(), 1u ) << "line edge " << e;
                    const auto& mesh = model.line( outs[0].mesh_id ).mesh();
                    const auto ends = mesh.edge_vertices( outs[0].element );
                    const auto in_ends = line->edge_vertices( e );
                    const auto same = ( mesh.point( ends[0] ).inexact_equal( line->point( in_ends[0] ) )
                                          && mesh.point( ends[1] ).inexact_equal( line->point( in_ends[1] ) ) )
                                      || ( mesh.point( ends[0] ).inexact_equal( line->point( in_ends[1] ) )
                                           && mesh.point( ends[1] ).inexact_equal( line->point( in_ends[0] ) ) );
                    EXPECT_TRUE( same ) << "line edge " << e;
                }
            }
            for( const auto& corner : inputs.corners )
            {
                for( index_t v = 0; v < corner->nb_vertices(); v++ )
                {
                    const auto outs =
                        outputs( mappings.mesh_elements_mapping.corners, { corner->id(), v } );
                    ASSERT_EQ( outs.size(), 1u );
                    EXPECT_TRUE( model.corner( outs[0].mesh_id ).mesh().point( 0 ).inexact_equal(
                        corner->point( v ) ) );
                }
            }
        }

        class BuildBRepFromMeshes : public ::testing::Test
        {
        protected:
            void SetUp() override
            {
                ConversionModelLibrary::initialize();
            }
        };
    } // namespace

    TEST_F( BuildBRepFromMeshes, NoInputGivesAnEmptyModel )
    {
        const Inputs inputs;
        const auto [model, mappings] = inputs.build();
        EXPECT_EQ( counts( model ), ( Counts{ 0, 0, 0, 0 } ) );
        EXPECT_EQ( model.nb_unique_vertices(), 0u );
        for( const auto& type : { CORNER, LINE, SURFACE } )
        {
            ASSERT_TRUE( mappings.component_mapping.has_mapping_type( type ) );
            EXPECT_EQ( mappings.component_mapping.at( type ).size_in(), 0u );
        }
        EXPECT_EQ( mappings.component_mapping.size(), 3u );
    }

    TEST_F( BuildBRepFromMeshes, ClosedSphereIsOneSurfaceWithoutLines )
    {
        Inputs inputs;
        inputs.surfaces.push_back( test::sphere( p( 0, 0, 0 ), 1., 3 ) );
        const auto [model, mappings] = inputs.build();
        ASSERT_EQ( counts( model ), ( Counts{ 0, 0, 1, 1 } ) );
        const auto& surface = *model.surfaces().begin();
        // The outer side was removed: the sphere bounds the inner volume.
        EXPECT_EQ( model.nb_incidences( surface.id() ), 1u );
        EXPECT_EQ( surface.mesh().nb_polygons(), inputs.surfaces[0]->nb_polygons() );
        EXPECT_EQ( surface.mesh().nb_vertices(), inputs.surfaces[0]->nb_vertices() );
        EXPECT_EQ( component_outputs( mappings, SURFACE, inputs.surfaces[0]->id() ),
            std::vector< uuid >{ surface.id() } );
        EXPECT_TRUE( test::is_valid_brep( model ) );
        expect_mappings_in_place( model, mappings, inputs );
    }

    TEST_F( BuildBRepFromMeshes, DiscIsBoundedByOneClosedLineWithoutCorner )
    {
        Inputs inputs;
        inputs.surfaces.push_back( test::rectangle( 0, 0, 1, 1, 0, 3 ) );
        const auto [model, mappings] = inputs.build();
        EXPECT_EQ( counts( model ), ( Counts{ 0, 1, 1, 0 } ) );
        const auto& line = *model.lines().begin();
        const auto& surface = *model.surfaces().begin();
        EXPECT_EQ( line.mesh().nb_edges(), 12u );
        EXPECT_EQ( line.mesh().nb_vertices(), 12u );
        EXPECT_TRUE( model.is_closed( line ) );
        EXPECT_EQ( model.nb_boundaries( line.id() ), 0u );
        ASSERT_EQ( model.nb_boundaries( surface.id() ), 1u );
        EXPECT_EQ( model.boundaries( surface ).begin()->id(), line.id() );
        // A line made from surface borders only comes from no input.
        EXPECT_TRUE( mappings.component_mapping.at( LINE ).out2in().empty() );
        EXPECT_TRUE( test::is_valid_brep( model ) );
        expect_mappings_in_place( model, mappings, inputs );
    }

    TEST_F( BuildBRepFromMeshes, RingOfInputLineEdgesIsOneClosedLine )
    {
        Inputs inputs;
        inputs.lines.push_back(
            test::curve( { p( 0, 0 ), p( 1, 0 ), p( 1, 1 ), p( 0, 1 ), p( 0, 0 ) } ) );
        const auto [model, mappings] = inputs.build();
        EXPECT_EQ( counts( model ), ( Counts{ 0, 1, 0, 0 } ) );
        const auto& line = *model.lines().begin();
        EXPECT_EQ( line.mesh().nb_vertices(), 4u );
        EXPECT_EQ( line.mesh().nb_edges(), 4u );
        // The input's first and last vertices are one place: both map to
        // the line's vertex there.
        const auto& vertices = mappings.mesh_vertices_mapping.lines;
        EXPECT_EQ( outputs( vertices, { inputs.lines[0]->id(), 0 } ),
            outputs( vertices, { inputs.lines[0]->id(), 4 } ) );
        EXPECT_EQ( component_outputs( mappings, LINE, inputs.lines[0]->id() ),
            std::vector< uuid >{ line.id() } );
        EXPECT_TRUE( test::is_valid_brep( model ) );
        expect_mappings_in_place( model, mappings, inputs );
    }

    TEST_F( BuildBRepFromMeshes, SurfacesSharingPartOfTheirBordersMeetOnALineBetweenCorners )
    {
        Inputs inputs;
        inputs.surfaces.push_back( test::rectangle( 0, 0, 2, 1, 0, 2 ) );
        inputs.surfaces.push_back( test::rectangle( 0, 1, 1, 2, 0, 1 ) );
        const auto [model, mappings] = inputs.build();
        EXPECT_EQ( counts( model ), ( Counts{ 2, 3, 2, 0 } ) );
        // The shared line joins (0,1) and (1,1) and bounds both surfaces.
        const Line< 3 >* shared = nullptr;
        for( const auto& line : model.lines() )
        {
            if( model.nb_incidences( line.id() ) == 2 )
            {
                shared = &line;
            }
        }
        ASSERT_NE( shared, nullptr );
        EXPECT_EQ( shared->mesh().nb_edges(), 1u );
        for( const auto& corner : model.corners() )
        {
            EXPECT_EQ( model.nb_incidences( corner.id() ), 3u );
        }
        // The vertex (1,1) of the second input is on both surfaces.
        const auto at_corner = outputs(
            mappings.mesh_vertices_mapping.surfaces, { inputs.surfaces[1]->id(), 1 } );
        EXPECT_EQ( at_corner.size(), 2u );
        for( const auto& input : inputs.surfaces )
        {
            EXPECT_EQ( component_outputs( mappings, SURFACE, input->id() ).size(), 1u );
        }
        EXPECT_TRUE( test::is_valid_brep( model ) );
        expect_mappings_in_place( model, mappings, inputs );
    }

    TEST_F( BuildBRepFromMeshes, ThreeSurfacesAlongOneLineMakeATJunction )
    {
        Inputs inputs;
        inputs.surfaces.push_back( test::rectangle( -1, 0, 0, 1, 0, 2 ) );
        inputs.surfaces.push_back( test::rectangle( 0, 0, 1, 1, 0, 2 ) );
        test::TriangleSoup wall;
        wall.add_grid( p( 0, 0, 0 ), Vector< 3 >{ { 0, 1, 0 } }, Vector< 3 >{ { 0, 0, 1 } }, 2 );
        inputs.surfaces.push_back( wall.mesh() );
        // The junction is also given as an input line.
        inputs.lines.push_back( test::curve( { p( 0, 0 ), p( 0, 0.5 ), p( 0, 1 ) } ) );
        const auto [model, mappings] = inputs.build();
        EXPECT_EQ( counts( model ), ( Counts{ 2, 4, 3, 0 } ) );
        const auto junction = component_outputs( mappings, LINE, inputs.lines[0]->id() );
        ASSERT_EQ( junction.size(), 1u );
        EXPECT_EQ( model.nb_incidences( junction[0] ), 3u );
        EXPECT_EQ( model.line( junction[0] ).mesh().nb_edges(), 2u );
        for( const auto& corner : model.corners() )
        {
            EXPECT_EQ( model.nb_incidences( corner.id() ), 4u );
        }
        // The middle vertex of the input line is on the line and on the
        // three surfaces.
        EXPECT_EQ( outputs( mappings.mesh_vertices_mapping.lines, { inputs.lines[0]->id(), 1 } )
                       .size(),
            1u );
        EXPECT_TRUE( test::is_valid_brep( model ) );
        expect_mappings_in_place( model, mappings, inputs );
    }

    TEST_F( BuildBRepFromMeshes, CubeOfSixFacesHasTwelveEdgesAndEightCorners )
    {
        Inputs inputs;
        inputs.surfaces = test::cube_faces( 0, 1, 2 );
        const auto [model, mappings] = inputs.build();
        EXPECT_EQ( counts( model ), ( Counts{ 8, 12, 6, 1 } ) );
        EXPECT_EQ( model.nb_boundaries( model.blocks().begin()->id() ), 6u );
        for( const auto& line : model.lines() )
        {
            EXPECT_EQ( model.nb_incidences( line.id() ), 2u );
            EXPECT_EQ( model.nb_boundaries( line.id() ), 2u );
            EXPECT_EQ( line.mesh().nb_edges(), 2u );
        }
        for( const auto& surface : model.surfaces() )
        {
            EXPECT_EQ( model.nb_boundaries( surface.id() ), 4u );
        }
        // A cube corner vertex of the first face is on three surfaces.
        EXPECT_EQ(
            outputs( mappings.mesh_vertices_mapping.surfaces, { inputs.surfaces[0]->id(), 0 } )
                .size(),
            3u );
        EXPECT_TRUE( test::is_valid_brep( model ) );
        expect_mappings_in_place( model, mappings, inputs );
    }

    TEST_F( BuildBRepFromMeshes, InnerLineEndsAtCornersInsideTheSurfaceAndSplitsItsVertices )
    {
        Inputs inputs;
        inputs.surfaces.push_back( test::rectangle( 0, 0, 4, 4, 0, 4 ) );
        inputs.lines.push_back( test::curve( { p( 1, 2 ), p( 2, 2 ), p( 3, 2 ) } ) );
        const auto [model, mappings] = inputs.build();
        EXPECT_EQ( counts( model ), ( Counts{ 2, 2, 1, 0 } ) );
        const auto& surface = *model.surfaces().begin();
        const auto inner = component_outputs( mappings, LINE, inputs.lines[0]->id() );
        ASSERT_EQ( inner.size(), 1u );
        EXPECT_EQ( model.nb_boundaries( surface.id() ), 1u );
        ASSERT_EQ( model.nb_internals( surface.id() ), 3u );
        // The middle vertex has a fan on each side of the line.
        EXPECT_EQ( surface.mesh().nb_vertices(), 26u );
        const auto middle = outputs( mappings.mesh_vertices_mapping.surfaces,
            { inputs.surfaces[0]->id(), 12 } );
        EXPECT_EQ( middle.size(), 2u );
        for( const auto& corner : model.corners() )
        {
            EXPECT_EQ( model.embeddings( corner.id() ).size(), 1u );
        }
        EXPECT_TRUE( test::is_valid_brep( model ) );
        expect_mappings_in_place( model, mappings, inputs );
    }

    TEST_F( BuildBRepFromMeshes, InputCornerAtATouchingVertexReusesItsCorner )
    {
        // A cone touching a plane at its apex, the plane's centre vertex;
        // two input corner points at that same place.
        Inputs inputs;
        inputs.surfaces.push_back( test::rectangle( -1, -1, 1, 1, 0, 2 ) );
        std::vector< Point< 3 > > cone_points{ p( 0, 0, 0 ), p( 1, 0, 1 ), p( 0, 1, 1 ),
            p( -1, 0, 1 ), p( 0, -1, 1 ) };
        inputs.surfaces.push_back( test::TriangleSoup{ cone_points,
            { { 0, 1, 2 }, { 0, 2, 3 }, { 0, 3, 4 }, { 0, 4, 1 } } }
                                       .mesh() );
        inputs.corners.push_back( test::point_set( { p( 0, 0, 0 ), p( 0, 0, 1e-9 ) } ) );
        const auto [model, mappings] = inputs.build();
        EXPECT_EQ( counts( model ), ( Counts{ 1, 2, 2, 0 } ) );
        const auto& corner = *model.corners().begin();
        EXPECT_EQ( model.embeddings( corner.id() ).size(), 2u );
        const auto& elements = mappings.mesh_elements_mapping.corners;
        const std::vector< MeshElement > expected{ { corner.id(), 0 } };
        EXPECT_EQ( outputs( elements, { inputs.corners[0]->id(), 0 } ), expected );
        EXPECT_EQ( outputs( elements, { inputs.corners[0]->id(), 1 } ), expected );
        EXPECT_EQ( component_outputs( mappings, CORNER, inputs.corners[0]->id() ),
            std::vector< uuid >{ corner.id() } );
        EXPECT_TRUE( test::is_valid_brep( model ) );
        expect_mappings_in_place( model, mappings, inputs );
    }

    TEST_F( BuildBRepFromMeshes, SurfacesSharingACoplanarPatchGetNoCornerInsideIt )
    {
        // Two strips of two 2 x 2 grids each, sharing the middle grid
        // [1, 2] x [0, 1] triangle for triangle: its centre vertex is held by
        // both surfaces but is no touching point.
        Inputs inputs;
        for( const auto first : { 0., 1. } )
        {
            test::TriangleSoup soup;
            for( const auto x : { first, first + 1 } )
            {
                soup.add_grid( p( x, 0 ), Vector< 3 >{ { 1, 0, 0 } },
                    Vector< 3 >{ { 0, 1, 0 } }, 2 );
            }
            inputs.surfaces.push_back( soup.mesh() );
        }
        const auto [model, mappings] = inputs.build();
        EXPECT_EQ( model.nb_surfaces(), 3 );
        for( const auto& surface : model.surfaces() )
        {
            EXPECT_EQ( model.internal_corners( surface ).size(), 0 );
        }
        for( const auto& corner : model.corners() )
        {
            const auto& point = corner.mesh().point( 0 );
            EXPECT_FALSE( point.value( 0 ) > 1 && point.value( 0 ) < 2
                          && point.value( 1 ) > 0 && point.value( 1 ) < 1 )
                << point.string();
        }
        EXPECT_TRUE( test::is_valid_brep( model ) );
        expect_mappings_in_place( model, mappings, inputs );
    }

    TEST_F( BuildBRepFromMeshes, InputLineMapsThroughCornersWhereLinesMeet )
    {
        // An open line with a sharp branch: a second line leaves its middle.
        Inputs inputs;
        inputs.lines.push_back( test::curve( { p( 0, 0 ), p( 1, 0 ), p( 2, 0 ) } ) );
        inputs.lines.push_back( test::curve( { p( 1, 0 ), p( 1, 1 ) } ) );
        inputs.corners.push_back( test::point_set( { p( 2, 0 ) } ) );
        const auto [model, mappings] = inputs.build();
        EXPECT_EQ( counts( model ), ( Counts{ 4, 3, 0, 0 } ) );
        const auto& vertices = mappings.mesh_vertices_mapping.lines;
        EXPECT_EQ( outputs( vertices, { inputs.lines[0]->id(), 1 } ).size(), 3u );
        EXPECT_EQ( outputs( vertices, { inputs.lines[1]->id(), 0 } ).size(), 3u );
        EXPECT_EQ( component_outputs( mappings, LINE, inputs.lines[0]->id() ).size(), 2u );
        EXPECT_EQ( outputs( mappings.mesh_vertices_mapping.corners, { inputs.corners[0]->id(), 0 } )
                       .size(),
            1u );
        EXPECT_TRUE( test::is_valid_brep( model ) );
        expect_mappings_in_place( model, mappings, inputs );
    }

    TEST_F( BuildBRepFromMeshes, SurfacesTakeTheNamesAndAttributesOfTheirInputs )
    {
        Inputs inputs;
        auto first = test::rectangle( 0, 0, 1, 1, 0, 1 );
        auto second = test::rectangle( 0, 0, 1, 1, 0, 1 );
        IdentifierBuilder{ *first }.set_name( "top" );
        IdentifierBuilder{ *second }.set_name( "base" );
        auto heights = first->vertex_attribute_manager()
                           .find_or_create_attribute< VariableAttribute, double >( "height", -1. );
        for( index_t v = 0; v < first->nb_vertices(); v++ )
        {
            heights->set_value( v, 10. + v );
        }
        auto facies = second->polygon_attribute_manager()
                          .find_or_create_attribute< VariableAttribute, index_t >( "facies", 0 );
        facies->set_value( 1, 7 );
        inputs.surfaces.push_back( std::move( first ) );
        inputs.surfaces.push_back( std::move( second ) );
        const auto [model, mappings] = inputs.build();
        // Identical triangles merge: one surface with both origins.
        ASSERT_EQ( model.nb_surfaces(), 1u );
        const auto& surface = *model.surfaces().begin();
        EXPECT_EQ( surface.name(), "topbase" );
        const auto& mesh = surface.mesh();
        const auto out_heights = mesh.vertex_attribute_manager().find_attribute< double >( "height" );
        for( index_t v = 0; v < 4; v++ )
        {
            const auto outs =
                outputs( mappings.mesh_vertices_mapping.surfaces, { inputs.surfaces[0]->id(), v } );
            ASSERT_EQ( outs.size(), 1u );
            EXPECT_EQ( out_heights->value( outs[0].element ), 10. + v );
        }
        const auto out_facies = mesh.polygon_attribute_manager().find_attribute< index_t >( "facies" );
        const auto polygon =
            outputs( mappings.mesh_elements_mapping.surfaces, { inputs.surfaces[1]->id(), 1 } );
        ASSERT_EQ( polygon.size(), 1u );
        EXPECT_EQ( out_facies->value( polygon[0].element ), 7u );
        EXPECT_EQ( component_outputs( mappings, SURFACE, inputs.surfaces[1]->id() ),
            std::vector< uuid >{ surface.id() } );
        EXPECT_TRUE( test::is_valid_brep( model ) );
    }

    TEST_F( BuildBRepFromMeshes, LineEdgeOfZeroLengthIsRefused )
    {
        Inputs inputs;
        inputs.lines.push_back( test::curve( { p( 0, 0 ), p( 1, 0 ), p( 1, 0, 1e-8 ) } ) );
        try
        {
            inputs.build();
            ADD_FAILURE() << "a zero-length line edge was accepted";
        }
        catch( const OpenOrvaneException& error )
        {
            EXPECT_NE( std::string{ error.what() }.find( "Edge 1 of line mesh" ), std::string::npos )
                << error.what();
        }
    }

    TEST_F( BuildBRepFromMeshes, NestedSpheresBoundTwoBlocks )
    {
        Inputs inputs;
        inputs.surfaces.push_back( test::sphere( p( 0, 0, 0 ), 2., 3 ) );
        inputs.surfaces.push_back( test::sphere( p( 0.1, 0, 0 ), 1., 2 ) );
        // A free line and a free corner between the spheres, and a corner
        // outside everything.
        inputs.lines.push_back( test::curve( { p( 0, 0, 1.4 ), p( 0, 0.2, 1.4 ) } ) );
        inputs.corners.push_back( test::point_set( { p( 1.5, 0, 0 ), p( 5, 5, 5 ) } ) );
        const auto [model, mappings] = inputs.build();
        ASSERT_EQ( counts( model ), ( Counts{ 4, 1, 2, 2 } ) );
        const auto& outer = model.surface(
            component_outputs( mappings, SURFACE, inputs.surfaces[0]->id() ).front() );
        const auto& inner = model.surface(
            component_outputs( mappings, SURFACE, inputs.surfaces[1]->id() ).front() );
        const Block< 3 >* between = nullptr;
        for( const auto& block : model.blocks() )
        {
            if( model.nb_boundaries( block.id() ) == 2 )
            {
                between = &block;
            }
        }
        ASSERT_NE( between, nullptr );
        EXPECT_EQ( model.nb_incidences( outer.id() ), 1u );
        EXPECT_EQ( model.nb_incidences( inner.id() ), 2u );
        // The free line and the first free corner lie in the block between
        // the spheres; the corner outside is in no block.
        const auto& internals = model.internals( between->id() );
        EXPECT_EQ( internals.size(), 2u );
        index_t nb_embedded_corners{ 0 };
        for( const auto& corner : model.corners() )
        {
            if( model.nb_embeddings( corner.id() ) == 1 )
            {
                nb_embedded_corners++;
                EXPECT_EQ( corner.mesh().point( 0 ), p( 1.5, 0, 0 ) );
            }
        }
        EXPECT_EQ( nb_embedded_corners, 1u );
        EXPECT_TRUE( test::is_valid_brep( model ) );
        expect_mappings_in_place( model, mappings, inputs );
    }

    TEST_F( BuildBRepFromMeshes, SurfaceWithTheSameBlockOnBothSidesIsInsideIt )
    {
        Inputs inputs;
        inputs.surfaces = test::cube_faces( 0, 4, 2 );
        inputs.surfaces.push_back( test::rectangle( 1, 1, 3, 3, 2, 2 ) );
        const auto [model, mappings] = inputs.build();
        ASSERT_EQ( counts( model ), ( Counts{ 8, 13, 7, 1 } ) );
        const auto& block = *model.blocks().begin();
        const auto& disc = model.surface(
            component_outputs( mappings, SURFACE, inputs.surfaces[6]->id() ).front() );
        EXPECT_EQ( model.nb_boundaries( block.id() ), 6u );
        EXPECT_EQ( model.nb_internals( block.id() ), 1u );
        EXPECT_EQ( model.nb_incidences( disc.id() ), 0u );
        EXPECT_EQ( model.nb_embeddings( disc.id() ), 1u );
        EXPECT_TRUE( test::is_valid_brep( model ) );
    }

    TEST_F( BuildBRepFromMeshes, HorizonCutByAFaultInsideABoxMakesFourBlocks )
    {
        Inputs inputs;
        inputs.surfaces = test::cube_faces( 0, 4, 4 );
        inputs.surfaces.push_back( test::rectangle( 0, 0, 4, 4, 2, 4 ) );
        test::TriangleSoup fault;
        fault.add_grid( p( 2, 0, 0 ), Vector< 3 >{ { 0, 4, 0 } }, Vector< 3 >{ { 0, 0, 4 } }, 4 );
        inputs.surfaces.push_back( fault.mesh() );
        // The intersection of horizon and fault, given as a line so that
        // both are cut along it.
        inputs.lines.push_back(
            test::curve( { p( 2, 0, 2 ), p( 2, 1, 2 ), p( 2, 2, 2 ), p( 2, 3, 2 ), p( 2, 4, 2 ) } ) );
        const auto [model, mappings] = inputs.build();
        EXPECT_EQ( model.nb_surfaces(), 20u );
        ASSERT_EQ( model.nb_blocks(), 4u );
        for( const auto& block : model.blocks() )
        {
            EXPECT_EQ( model.nb_boundaries( block.id() ), 6u );
        }
        EXPECT_EQ( component_outputs( mappings, SURFACE, inputs.surfaces[6]->id() ).size(), 2u );
        EXPECT_EQ( component_outputs( mappings, SURFACE, inputs.surfaces[7]->id() ).size(), 2u );
        EXPECT_EQ( component_outputs( mappings, SURFACE, inputs.surfaces[2]->id() ).size(), 4u );
        // The inner vertices of the intersection are vertices of both input
        // surfaces away from their borders, but both surfaces run along the
        // input line there: the intersection is one line, cornered only
        // where it meets the box, bounding the four surfaces around it.
        const auto intersection = component_outputs( mappings, LINE, inputs.lines[0]->id() );
        ASSERT_EQ( intersection.size(), 1u );
        EXPECT_EQ( model.nb_incidences( intersection[0] ), 4u );
        EXPECT_EQ( model.line( intersection[0] ).mesh().nb_edges(), 4u );
        EXPECT_EQ( model.nb_boundaries( intersection[0] ), 2u );
        EXPECT_TRUE( test::is_valid_brep( model ) );
        expect_mappings_in_place( model, mappings, inputs );
    }

    TEST_F( BuildBRepFromMeshes, SurfacesCrossingAlongAnInputLineGetCornersOnlyWhereItEnds )
    {
        // A horizon and a fault crossing along x = 2, z = 2, sharing the
        // five vertices of that polyline away from their borders, with an
        // input line along it.
        const auto crossing = [] {
            Inputs inputs;
            inputs.surfaces.push_back( test::rectangle( 0, 0, 4, 4, 2, 4 ) );
            test::TriangleSoup fault;
            fault.add_grid(
                p( 2, 0, 0 ), Vector< 3 >{ { 0, 4, 0 } }, Vector< 3 >{ { 0, 0, 4 } }, 4 );
            inputs.surfaces.push_back( fault.mesh() );
            inputs.lines.push_back( test::curve(
                { p( 2, 0, 2 ), p( 2, 1, 2 ), p( 2, 2, 2 ), p( 2, 3, 2 ), p( 2, 4, 2 ) } ) );
            return inputs;
        };
        const auto corner_places = []( const BRep& model ) {
            std::vector< Point< 3 > > places;
            for( const auto& corner : model.corners() )
            {
                places.push_back( corner.mesh().point( 0 ) );
            }
            return places;
        };
        const auto has_corner_at = [&]( const BRep& model, const Point< 3 >& place ) {
            const auto places = corner_places( model );
            return std::any_of( places.begin(), places.end(),
                [&place]( const Point< 3 >& corner ) { return corner.inexact_equal( place ); } );
        };
        {
            const auto inputs = crossing();
            const auto [model, mappings] = inputs.build();
            const auto intersection =
                component_outputs( mappings, LINE, inputs.lines[0]->id() );
            ASSERT_EQ( intersection.size(), 1u );
            EXPECT_EQ( model.line( intersection[0] ).mesh().nb_edges(), 4u );
            EXPECT_EQ( model.nb_incidences( intersection[0] ), 4u );
            EXPECT_EQ( model.nb_surfaces(), 4u );
            for( const auto y : { 1., 2., 3. } )
            {
                EXPECT_FALSE( has_corner_at( model, p( 2, y, 2 ) ) ) << "y = " << y;
            }
            EXPECT_TRUE( has_corner_at( model, p( 2, 0, 2 ) ) );
            EXPECT_TRUE( has_corner_at( model, p( 2, 4, 2 ) ) );
            EXPECT_TRUE( test::is_valid_brep( model ) );
            expect_mappings_in_place( model, mappings, inputs );
        }
        {
            // Without the input line the shared polyline still cuts both
            // surfaces: it becomes the one line they all four meet on, so
            // remeshing keeps them conformal along it.
            auto inputs = crossing();
            inputs.lines.clear();
            const auto [model, mappings] = inputs.build();
            EXPECT_EQ( model.nb_surfaces(), 4u );
            std::vector< uuid > intersection;
            for( const auto& line : model.lines() )
            {
                if( model.nb_incidences( line.id() ) == 4 )
                {
                    intersection.push_back( line.id() );
                }
            }
            ASSERT_EQ( intersection.size(), 1u );
            EXPECT_EQ( model.line( intersection[0] ).mesh().nb_edges(), 4u );
            for( const auto y : { 1., 2., 3. } )
            {
                EXPECT_FALSE( has_corner_at( model, p( 2, y, 2 ) ) ) << "y = " << y;
            }
            EXPECT_TRUE( test::is_valid_brep( model ) );
            expect_mappings_in_place( model, mappings, inputs );
        }
        {
            // A third surface touching the line at its middle vertex only
            // does not run along it there: that vertex keeps its corner.
            auto inputs = crossing();
            inputs.surfaces.push_back( test::TriangleSoup{
                { p( 2, 2, 2 ), p( 3, 1.5, 3 ), p( 3, 2.5, 3 ), p( 3.5, 2, 2.5 ) },
                { { 0, 1, 2 }, { 0, 2, 3 }, { 0, 3, 1 } } }
                                           .mesh() );
            const auto [model, mappings] = inputs.build();
            EXPECT_TRUE( has_corner_at( model, p( 2, 2, 2 ) ) );
            EXPECT_FALSE( has_corner_at( model, p( 2, 1, 2 ) ) );
            EXPECT_FALSE( has_corner_at( model, p( 2, 3, 2 ) ) );
            EXPECT_EQ( component_outputs( mappings, LINE, inputs.lines[0]->id() ).size(), 2u );
            EXPECT_TRUE( test::is_valid_brep( model ) );
            expect_mappings_in_place( model, mappings, inputs );
        }
    }
} // namespace orvane

namespace orvane
{
    TEST_F( BuildBRepFromMeshes, NonManifoldAndFlatSurfacesStillGiveValidModels )
    {
        // Two fans meeting at one vertex of one mesh (non-manifold vertex
        // 0), and a mesh whose triangles are all flat.
        Inputs bowtie;
        bowtie.surfaces.push_back( test::TriangleSoup{
            { p( 0, 0 ), p( 1, 0 ), p( 1, 1 ), p( -1, 0 ), p( -1, -1 ) },
            { { 0, 1, 2 }, { 0, 3, 4 } } }
                                       .mesh() );
        const auto [model, mappings] = bowtie.build();
        EXPECT_EQ( counts( model ), ( Counts{ 1, 2, 2, 0 } ) );
        EXPECT_TRUE( test::is_valid_brep( model ) );
        expect_mappings_in_place( model, mappings, bowtie );

        Inputs flat;
        flat.surfaces.push_back( test::TriangleSoup{
            { p( 0, 0 ), p( 1, 0 ), p( 2, 0 ), p( 3, 0 ) }, { { 0, 1, 2 }, { 0, 2, 3 } } }
                                     .mesh() );
        // Without any normal the surface closes no volume; its triangles
        // stay as flat as they came.
        const auto [flat_model, flat_mappings] = flat.build();
        EXPECT_EQ( counts( flat_model ), ( Counts{ 0, 1, 1, 0 } ) );
        EXPECT_TRUE( test::is_valid_brep( flat_model, { .check_meshes = false } ) );
    }
} // namespace orvane
