#include <gtest/gtest.h>

#include <absl/container/flat_hash_set.h>

#include <conversion/conversion_model_library.hpp>
#include <conversion/corners_lines_builder.hpp>
#include <core_support/sentinels.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <tests/support/brep_checks.hpp>

namespace orvane
{
    namespace
    {
        /// A wireframe builder whose corner rule is a given set of unique
        /// vertices; each unique vertex u is the point (u, u * u, 0).
        class TestWireframe : public detail::CornersLinesBuilder< BRep >
        {
        public:
            TestWireframe( BRep& model, absl::flat_hash_set< index_t > corners )
                : CornersLinesBuilder< BRep >( model ),
                  corners_( std::move( corners ) ),
                  builder_( model )
            {
            }

            void identify_vertices() override {}

            bool is_corner( index_t wireframe_vertex ) override
            {
                return corners_.contains( wireframe_unique_vertex( wireframe_vertex ) );
            }

            /// Creates unique vertices 0..nb-1.
            void create_uniques( index_t nb )
            {
                builder_.create_unique_vertices( nb );
            }

            index_t edge( index_t u0, index_t u1 )
            {
                return add_wireframe_edge( { u0, u1 }, point( u0 ), point( u1 ) );
            }

            static Point< 3 > point( index_t u )
            {
                const auto x = static_cast< double >( u );
                return Point< 3 >{ { x, x * x, 0. } };
            }

        private:
            absl::flat_hash_set< index_t > corners_;
            BRepBuilder builder_;
        };

        class CornersLinesBuilderTest : public ::testing::Test
        {
        protected:
            void SetUp() override
            {
                ConversionModelLibrary::initialize();
            }

            /// The unique vertices of a line's mesh vertices, in order.
            static std::vector< index_t > line_uniques( const BRep& model, const uuid& line )
            {
                const auto& component = model.line( line );
                std::vector< index_t > uniques;
                for( index_t v = 0; v < component.mesh().nb_vertices(); v++ )
                {
                    uniques.push_back( model.unique_vertex( { component.component_id(), v } ) );
                }
                return uniques;
            }

            static std::vector< uuid > line_ids( const BRep& model )
            {
                std::vector< uuid > ids;
                for( const auto& line : model.lines() )
                {
                    ids.push_back( line.id() );
                }
                return ids;
            }
        };
    } // namespace

    TEST_F( CornersLinesBuilderTest, EdgesAreFoundInEitherOrderAndKeepTheirFirstEnds )
    {
        BRep model;
        TestWireframe wireframe{ model, {} };
        wireframe.create_uniques( 3 );
        const auto first = wireframe.edge( 2, 0 );
        EXPECT_EQ( wireframe.edge( 0, 2 ), first );
        EXPECT_EQ( wireframe.edge( 2, 1 ), 1u );
        const auto& mesh = wireframe.wireframe();
        EXPECT_EQ( mesh.nb_edges(), 2u );
        EXPECT_EQ( mesh.nb_vertices(), 3u );
        // Ends in the order of the creating request, vertices numbered as
        // they appear.
        EXPECT_EQ( wireframe.wireframe_unique_vertex( mesh.edge_vertex( { first, 0 } ) ), 2u );
        EXPECT_EQ( wireframe.wireframe_unique_vertex( mesh.edge_vertex( { first, 1 } ) ), 0u );
        EXPECT_EQ( mesh.point( 0 ), TestWireframe::point( 2 ) );
        EXPECT_EQ( wireframe.find_wireframe_edge( { 1, 2 } ), std::optional< index_t >{ 1 } );
        EXPECT_FALSE( wireframe.find_wireframe_edge( { 0, 1 } ) );
        EXPECT_EQ( wireframe.find_wireframe_vertex( 1 ), std::optional< index_t >{ 2 } );
        EXPECT_EQ( wireframe.wireframe_line( first ), no_component_id );
        EXPECT_EQ( wireframe.wireframe_line_edge( first ), NO_ID );
    }

    TEST_F( CornersLinesBuilderTest, RingWithoutCornerIsOneClosedLine )
    {
        BRep model;
        TestWireframe wireframe{ model, {} };
        wireframe.create_uniques( 4 );
        for( index_t u = 0; u < 4; u++ )
        {
            wireframe.edge( u, ( u + 1 ) % 4 );
        }
        wireframe.build_corners();
        wireframe.build_lines();
        EXPECT_EQ( model.nb_corners(), 0u );
        ASSERT_EQ( model.nb_lines(), 1u );
        const auto line = line_ids( model ).front();
        const auto& mesh = model.line( line ).mesh();
        EXPECT_EQ( mesh.nb_vertices(), 4u );
        EXPECT_EQ( mesh.nb_edges(), 4u );
        EXPECT_EQ( line_uniques( model, line ), ( std::vector< index_t >{ 0, 1, 2, 3 } ) );
        EXPECT_EQ( mesh.edge_vertices( 3 ), ( EdgeVertices{ 3, 0 } ) );
        EXPECT_TRUE( model.is_closed( model.line( line ) ) );
        EXPECT_EQ( model.nb_boundaries( line ), 0u );
        for( index_t e = 0; e < 4; e++ )
        {
            EXPECT_EQ( wireframe.wireframe_line( e ), line );
            EXPECT_EQ( wireframe.wireframe_line_edge( e ), e );
        }
        EXPECT_TRUE( test::is_valid_brep( model ) );
    }

    TEST_F( CornersLinesBuilderTest, LoopThroughOneCornerHasItAtBothEnds )
    {
        BRep model;
        TestWireframe wireframe{ model, { 0 } };
        wireframe.create_uniques( 3 );
        wireframe.edge( 0, 1 );
        wireframe.edge( 1, 2 );
        wireframe.edge( 2, 0 );
        wireframe.build_corners();
        wireframe.build_lines();
        ASSERT_EQ( model.nb_corners(), 1u );
        ASSERT_EQ( model.nb_lines(), 1u );
        const auto line = line_ids( model ).front();
        EXPECT_EQ( line_uniques( model, line ), ( std::vector< index_t >{ 0, 1, 2, 0 } ) );
        EXPECT_EQ( model.line( line ).mesh().nb_edges(), 3u );
        EXPECT_EQ( model.nb_boundaries( line ), 1u );
        EXPECT_TRUE( test::is_valid_brep( model ) );
    }

    TEST_F( CornersLinesBuilderTest, BranchesMakeOneLinePerFreeEdgeAndPassThroughNonCorners )
    {
        // A star around 0 with three arms 0-1-2, 0-3-4 and 0-5, plus the
        // edge 2-4 closing the first two arms into a loop; 1, 3 are not
        // corners, 2 and 4 are.
        BRep model;
        TestWireframe wireframe{ model, { 0, 2, 4 } };
        wireframe.create_uniques( 6 );
        wireframe.edge( 0, 1 );
        wireframe.edge( 1, 2 );
        wireframe.edge( 0, 3 );
        wireframe.edge( 3, 4 );
        wireframe.edge( 0, 5 );
        wireframe.edge( 4, 2 );
        wireframe.build_corners();
        // 5 is the end of a single edge, but the rule here is the test's.
        EXPECT_EQ( model.nb_corners(), 3u );
        wireframe.create_corner( *wireframe.find_wireframe_vertex( 5 ) );
        wireframe.build_lines();
        const auto lines = line_ids( model );
        ASSERT_EQ( lines.size(), 4u );
        EXPECT_EQ( line_uniques( model, lines[0] ), ( std::vector< index_t >{ 0, 1, 2 } ) );
        EXPECT_EQ( line_uniques( model, lines[1] ), ( std::vector< index_t >{ 0, 3, 4 } ) );
        EXPECT_EQ( line_uniques( model, lines[2] ), ( std::vector< index_t >{ 0, 5 } ) );
        // Walked from 2 (wireframe vertex 2), the first corner met after 0.
        EXPECT_EQ( line_uniques( model, lines[3] ), ( std::vector< index_t >{ 2, 4 } ) );
        for( const auto& line : lines )
        {
            EXPECT_EQ( model.nb_boundaries( line ), 2u );
        }
        EXPECT_EQ( wireframe.wireframe_line_edge( 1 ), 1u );
        EXPECT_TRUE( test::is_valid_brep( model ) );
    }

    TEST_F( CornersLinesBuilderTest, SecondCornerRequestOnOneVertexReusesTheCorner )
    {
        BRep model;
        TestWireframe wireframe{ model, {} };
        wireframe.create_uniques( 2 );
        const auto vertex = wireframe.add_wireframe_corner( 1, TestWireframe::point( 1 ) );
        const auto corner = wireframe.wireframe_corner( vertex );
        EXPECT_NE( corner, no_component_id );
        EXPECT_EQ( wireframe.add_wireframe_corner( 1, TestWireframe::point( 1 ) ), vertex );
        EXPECT_EQ( wireframe.wireframe_corner( vertex ), corner );
        EXPECT_EQ( model.nb_corners(), 1u );
        EXPECT_EQ( model.component_mesh_vertices( 1 ).size(), 1u );
        // An edge reaching the corner's unique vertex reuses the vertex.
        wireframe.edge( 0, 1 );
        EXPECT_EQ( wireframe.wireframe().nb_vertices(), 2u );
        EXPECT_TRUE( test::is_valid_brep( model,
            { .allow_empty_unique_vertices = true,
                       .check_line_ends = false,
                       .check_surface_borders = false } ) );
    }
} // namespace orvane
