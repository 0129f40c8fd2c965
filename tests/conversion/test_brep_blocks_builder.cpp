#include <numeric>
#include <string>

#include <gtest/gtest.h>

#include <conversion/brep_blocks_builder.hpp>
#include <conversion/conversion_model_library.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/logger.hpp>
#include <tests/support/brep_checks.hpp>
#include <tests/support/brep_fixtures.hpp>
#include <tests/support/conformal_meshes.hpp>

namespace orvane
{
    namespace
    {
        class BRepBlocksBuilderTest : public ::testing::Test
        {
        protected:
            void SetUp() override
            {
                ConversionModelLibrary::initialize();
            }
        };

        /// Adds the mesh as a surface without lines, on fresh unique
        /// vertices.
        uuid add_surface( BRep& model, const TriangulatedSurface< 3 >& mesh )
        {
            BRepBuilder builder{ model };
            const auto first = builder.create_unique_vertices( mesh.nb_vertices() );
            std::vector< Point< 3 > > points;
            std::vector< index_t > uniques( mesh.nb_vertices() );
            std::iota( uniques.begin(), uniques.end(), first );
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                points.push_back( mesh.point( v ) );
            }
            std::vector< std::array< index_t, 3 > > triangles;
            for( index_t t = 0; t < mesh.nb_polygons(); t++ )
            {
                const auto vertices = mesh.polygon_vertices( t );
                triangles.push_back( { vertices[0], vertices[1], vertices[2] } );
            }
            return test::add_linked_surface( model, points, triangles, uniques );
        }
    } // namespace

    TEST_F( BRepBlocksBuilderTest, ModelWithBlocksOrWithoutSurfacesIsLeftAlone )
    {
        const std::string warning{
            "[build_blocks] Cannot build BRep blocks without surface or with existing blocks"
        };
        auto tetrahedron = test::tetrahedron_model();
        LoggerCapture capture;
        build_blocks( tetrahedron.model );
        EXPECT_EQ( tetrahedron.model.nb_blocks(), 1u );
        BRep empty;
        build_blocks( empty );
        EXPECT_EQ( empty.nb_blocks(), 0u );
        EXPECT_EQ( capture.count( Logger::Level::warn, warning ), 2u );
    }

    TEST_F( BRepBlocksBuilderTest, OpenSurfaceClosesNoBlock )
    {
        BRep model;
        add_surface( model, *test::rectangle( 0, 0, 1, 1, 0, 2 ) );
        LoggerCapture capture;
        build_blocks( model );
        EXPECT_EQ( model.nb_blocks(), 0u );
        EXPECT_EQ( capture.count(
                       Logger::Level::info, "[BRepBlocksBuilder::build_blocks] No Block were built" ),
            1u );
    }

    TEST_F( BRepBlocksBuilderTest, SphereBoundsTheBlockOnItsInnerSide )
    {
        for( const auto radius : { 1., -1. } )
        {
            // A negative radius mirrors the sphere: its normals point inward.
            BRep model;
            const auto surface = add_surface( model, *test::sphere( Point< 3 >{}, radius, 2 ) );
            build_blocks( model );
            ASSERT_EQ( model.nb_blocks(), 1u );
            EXPECT_EQ( model.nb_incidences( surface ), 1u );
            EXPECT_TRUE( test::is_valid_brep( model ) );
        }
    }

    TEST_F( BRepBlocksBuilderTest, ShellWithoutPolygonNormalCannotBePlaced )
    {
        BRep model;
        add_surface( model, *test::sphere( Point< 3 >{}, 1., 2 ) );
        // Two flat triangles on a line: no normal anywhere.
        const auto flat = test::TriangleSoup{
            { Point< 3 >{ { 5, 0, 0 } }, Point< 3 >{ { 6, 0, 0 } }, Point< 3 >{ { 7, 0, 0 } },
                Point< 3 >{ { 8, 0, 0 } } },
            { { 0, 1, 2 }, { 0, 2, 3 } } }
                              .mesh();
        add_surface( model, *flat );
        try
        {
            build_blocks( model );
            ADD_FAILURE() << "a shell without normal was placed";
        }
        catch( const OpenOrvaneException& error )
        {
            EXPECT_EQ( std::string{ error.what() },
                "[BRepBlocksBuilder::get_ray] Unable to find a non degenerated ray" );
        }
    }
} // namespace orvane

namespace orvane
{
    TEST_F( BRepBlocksBuilderTest, CheckerWantsUnmeshedBlocksClosed )
    {
        // The six faces of a cube as surfaces on shared unique vertices,
        // bounding one block without mesh; then the same without a face.
        for( const bool all_faces : { true, false } )
        {
            BRep model;
            BRepBuilder builder{ model };
            const auto faces = test::cube_faces( 0, 1, 1 );
            std::vector< Point< 3 > > places;
            std::vector< uuid > surfaces;
            for( index_t f = 0; f < ( all_faces ? 6u : 5u ); f++ )
            {
                const auto& mesh = *faces[f];
                std::vector< Point< 3 > > points;
                std::vector< index_t > uniques;
                for( index_t v = 0; v < mesh.nb_vertices(); v++ )
                {
                    const auto& point = mesh.point( v );
                    auto found = std::find( places.begin(), places.end(), point );
                    if( found == places.end() )
                    {
                        builder.create_unique_vertex();
                        places.push_back( point );
                        found = places.end() - 1;
                    }
                    points.push_back( point );
                    uniques.push_back( static_cast< index_t >( found - places.begin() ) );
                }
                std::vector< std::array< index_t, 3 > > triangles;
                for( index_t t = 0; t < mesh.nb_polygons(); t++ )
                {
                    const auto vertices = mesh.polygon_vertices( t );
                    triangles.push_back( { vertices[0], vertices[1], vertices[2] } );
                }
                surfaces.push_back( test::add_linked_surface( model, points, triangles, uniques ) );
            }
            const auto block = builder.add_block();
            for( const auto& surface : surfaces )
            {
                builder.add_surface_block_boundary_relationship(
                    model.surface( surface ), model.block( block ) );
            }
            test::BRepCheckOptions options;
            options.check_surface_borders = false;
            const auto problems = test::brep_problems( model, options );
            if( all_faces )
            {
                EXPECT_TRUE( problems.empty() ) << problems.front();
            }
            else
            {
                ASSERT_EQ( problems.size(), 1u );
                EXPECT_NE( problems.front().find( "is not closed" ), std::string::npos )
                    << problems.front();
            }
        }
    }
} // namespace orvane
