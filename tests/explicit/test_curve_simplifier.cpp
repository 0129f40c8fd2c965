#include <set>

#include <gtest/gtest.h>

#include <openorvane/mesh/edges.hpp>

#include <explicit/background_provenance.hpp>
#include <explicit/curve_simplifier.hpp>
#include <explicit/explicit_brep_library.hpp>
#include <explicit/extracted_meshes.hpp>

#include <tests/explicit/provenance_scenes.hpp>

namespace orvane
{
    namespace
    {
        class CurveSimplifierTest : public ::testing::Test
        {
        protected:
            void SetUp() override
            {
                ExplicitBRepLibrary::initialize();
            }
        };

        std::unique_ptr< EdgedCurve< 3 > > segment_curve(
            const Point< 3 >& from, const Point< 3 >& to )
        {
            auto curve = EdgedCurve< 3 >::create();
            auto builder = EdgedCurveBuilder< 3 >::create( *curve );
            builder->create_point( from );
            builder->create_point( to );
            builder->create_edge( 0, 1 );
            return curve;
        }

        TEST_F( CurveSimplifierTest, chains_keep_only_what_their_input_needs )
        {
            struct Case
            {
                const char* name;
                index_t nb_background_edges;
                /// Inner background vertex (at x = 1) that also lies on a
                /// second curve, or stands for an input vertex.
                bool on_second_curve;
                bool input_vertex;
                index_t expected_edges;
            };
            for( const auto& test_case :
                { Case{ "one edge", 1, false, false, 1 },
                    Case{ "three edges", 3, false, false, 1 },
                    Case{ "two curves", 3, true, false, 2 },
                    Case{ "input vertex", 3, false, true, 2 } } )
            {
                SCOPED_TRACE( test_case.name );
                const auto n = test_case.nb_background_edges;
                test::ProvenanceSolid background{ test::grid_solid(
                    Point< 3 >{ { 0., 0., 0. } }, { n, 1, 1 }, 1. ) };
                std::vector< std::unique_ptr< PointSet< 3 > > > point_sets;
                std::vector< std::unique_ptr< EdgedCurve< 3 > > > curves;
                std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
                const Point< 3 > start{ { 0., 0., 0. } };
                const Point< 3 > end{ { double( n ), 0., 0. } };
                curves.push_back( segment_curve( start, end ) );
                curves.push_back( segment_curve(
                    Point< 3 >{ { 1., 0., 0. } }, Point< 3 >{ { 1., 1., 0. } } ) );
                const auto id = curves[0]->id();
                for( index_t i = 0; i < n; ++i )
                {
                    const auto edge = background.solid->edges().edge_from_vertices(
                        { background.vertex_at( Point< 3 >{ { double( i ), 0., 0. } } ),
                            background.vertex_at(
                                Point< 3 >{ { double( i + 1 ), 0., 0. } } ) } );
                    background.add_edge_record( edge.value(), { id, 0 } );
                }
                background.add_vertex_record( background.vertex_at( start ), { id, 0 } );
                background.add_vertex_record( background.vertex_at( end ), { id, 1 } );
                const auto inner = n > 1 ? background.vertex_at(
                                               Point< 3 >{ { 1., 0., 0. } } )
                                         : NO_ID;
                if( test_case.on_second_curve )
                {
                    const auto edge = background.solid->edges().edge_from_vertices(
                        { inner, background.vertex_at(
                                     Point< 3 >{ { 1., 1., 0. } } ) } );
                    background.add_edge_record( edge.value(), { curves[1]->id(), 0 } );
                }
                if( test_case.input_vertex )
                {
                    background.add_vertex_record( inner, { id, 7 } );
                }

                internal::MeshesExtracterfromBackgroundSolid extracter{
                    *background.solid, point_sets, curves, surfaces
                };
                extracter.extract_points();
                extracter.extract_curves();
                auto& curve = extracter.extracted_meshes().curves.at( id );
                ASSERT_EQ( curve.mesh->nb_edges(), n );
                internal::CurveSimplifier::apply( extracter, curve );

                const auto& mesh = *curve.mesh;
                EXPECT_EQ( mesh.nb_edges(), test_case.expected_edges );
                std::set< std::array< double, 3 > > points;
                for( index_t v = 0; v < mesh.nb_vertices(); ++v )
                {
                    EXPECT_FALSE( mesh.is_vertex_isolated( v ) );
                    const auto& point = mesh.point( v );
                    const auto origin = curve.vertex_origin->value( v );
                    EXPECT_EQ( point, background.solid->point( origin ) );
                    EXPECT_EQ( curve.vertex_map.at( origin ), v );
                    points.insert(
                        { point.value( 0 ), point.value( 1 ), point.value( 2 ) } );
                }
                EXPECT_EQ( curve.vertex_map.size(), mesh.nb_vertices() );
                EXPECT_TRUE( points.contains( { 0., 0., 0. } ) );
                EXPECT_TRUE( points.contains( { double( n ), 0., 0. } ) );
                if( test_case.expected_edges == 2 )
                {
                    EXPECT_TRUE( points.contains( { 1., 0., 0. } ) );
                }
                // The remaining edges still lie on the input edge.
                for( index_t e = 0; e < mesh.nb_edges(); ++e )
                {
                    EXPECT_EQ( curve.component_edges->value( e ),
                        ( std::vector< MeshEdge >{ { id, 0 } } ) );
                }
            }
        }
    } // namespace
} // namespace orvane
