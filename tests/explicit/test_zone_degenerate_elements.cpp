#include <algorithm>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

#include <explicit/degenerate_elements.hpp>
#include <explicit/explicit_brep_library.hpp>
#include <explicit/zone_integration.hpp>

#include <tests/explicit/explicit_scenes.hpp>
#include <tests/support/conformal_meshes.hpp>
#include <tests/support/surface_checks.hpp>

namespace orvane
{
    namespace
    {
        using internal::ElementOriginList;
        using Segment3 = std::pair< Point< 3 >, Point< 3 > >;

        class DegenerateElementsTest : public ::testing::Test
        {
        protected:
            void SetUp() override
            {
                ExplicitBRepLibrary::initialize();
            }
        };

        Point< 3 > p( double x, double y )
        {
            return Point< 3 >{ { x, y, 0 } };
        }

        std::unique_ptr< TriangulatedSurface< 3 > > traced(
            const std::vector< test::TriangleCorners >& triangles )
        {
            auto surface = test::triangles_surface( triangles );
            auto origins = surface->polygon_attribute_manager()
                               .find_or_create_attribute< VariableAttribute, ElementOriginList >(
                                   internal::ELEMENT_ORIGIN_ATTRIBUTE, ElementOriginList{} );
            for( index_t polygon = 0; polygon < surface->nb_polygons(); polygon++ )
            {
                origins->set_value( polygon, ElementOriginList{ polygon } );
            }
            return surface;
        }

        double area( const TriangulatedSurface< 3 >& surface )
        {
            double total{ 0 };
            for( index_t polygon = 0; polygon < surface.nb_polygons(); polygon++ )
            {
                total += triangle_area( surface.triangle( polygon ) );
            }
            return total;
        }

        /// The border edges as sorted point pairs: an opened surface shows
        /// border edges inside its outline.
        std::vector< Segment3 > border( const TriangulatedSurface< 3 >& surface )
        {
            std::vector< Segment3 > edges;
            for( index_t polygon = 0; polygon < surface.nb_polygons(); polygon++ )
            {
                for( const local_index_t e : { 0, 1, 2 } )
                {
                    if( surface.polygon_adjacent( { polygon, e } ) )
                    {
                        continue;
                    }
                    const auto& a = surface.point( surface.polygon_vertex( { polygon, e } ) );
                    const auto& b = surface.point( surface.polygon_vertex(
                        { polygon, static_cast< local_index_t >( ( e + 1 ) % 3 ) } ) );
                    edges.emplace_back( std::min( a, b ), std::max( a, b ) );
                }
            }
            std::sort( edges.begin(), edges.end() );
            return edges;
        }

        index_t nb_degenerate( const TriangulatedSurface< 3 >& surface )
        {
            index_t count{ 0 };
            for( index_t polygon = 0; polygon < surface.nb_polygons(); polygon++ )
            {
                if( surface.triangle( polygon ).minimum_height() <= GLOBAL_EPSILON )
                {
                    count++;
                }
            }
            return count;
        }

        /// A cap (0,0)-(2,0)-(1,h) on the edge it shares with the triangle
        /// below, two triangles above closing the diamond (-0,-1)..(1,1);
        /// with `below` false the cap's long edge is on the border.
        std::vector< test::TriangleCorners > cap_fixture( double h, bool below )
        {
            std::vector< test::TriangleCorners > triangles{ { p( 0, 0 ), p( 2, 0 ), p( 1, h ) },
                { p( 0, 0 ), p( 1, h ), p( 1, 1 ) }, { p( 1, h ), p( 2, 0 ), p( 1, 1 ) } };
            if( below )
            {
                triangles.push_back( { p( 2, 0 ), p( 0, 0 ), p( 1, -1 ) } );
            }
            return triangles;
        }

        TEST_F( DegenerateElementsTest, CapsGoWithoutOpeningTheSurface )
        {
            ASSERT_EQ( Triangle< 3 >( p( 0, 0 ), p( 2, 0 ), p( 1, 1e-6 ) ).minimum_height(),
                1e-6 );
            struct Case
            {
                double height;
                bool below;
                index_t nb_deleted;
                index_t nb_polygons;
            };
            // A cap of height 1e-6 is swapped away with the triangle across
            // its long edge (two triangles again, no deletion) or, on the
            // border, deleted; 1.1e-6 stays.
            for( const auto& test_case : std::vector< Case >{
                     { 1e-6, true, 0, 4 }, { 1e-6, false, 1, 2 }, { 1.1e-6, true, 0, 4 } } )
            {
                SCOPED_TRACE( test_case.height );
                SCOPED_TRACE( test_case.below );
                auto surface = traced( cap_fixture( test_case.height, test_case.below ) );
                const auto outline = border( *surface );
                const auto before = area( *surface );
                EXPECT_EQ( internal::remove_degenerate_triangles( *surface ),
                    test_case.nb_deleted );
                EXPECT_EQ( surface->nb_polygons(), test_case.nb_polygons );
                EXPECT_EQ( nb_degenerate( *surface ), 0 );
                EXPECT_TRUE( test::is_valid_triangulated_surface( *surface ) );
                EXPECT_NEAR( area( *surface ), before, 2e-6 );
                if( test_case.below )
                {
                    EXPECT_EQ( border( *surface ), outline );
                }
                else
                {
                    // The border moves from the long edge onto the cap's
                    // vertex: still one closed outline, no T-junction.
                    EXPECT_EQ( border( *surface ).size(), outline.size() + 1 );
                }
            }
        }

        TEST_F( DegenerateElementsTest, SwappedCapSharesProvenance )
        {
            auto surface = traced( cap_fixture( 1e-6, true ) );
            internal::remove_degenerate_triangles( *surface );
            const auto origins =
                surface->polygon_attribute_manager().find_attribute< ElementOriginList >(
                    internal::ELEMENT_ORIGIN_ATTRIBUTE );
            // Polygon 0 (the cap) and 3 (below it) share their ground.
            EXPECT_EQ( origins->value( 0 ), ( ElementOriginList{ 0, 3 } ) );
            EXPECT_EQ( origins->value( 3 ), ( ElementOriginList{ 0, 3 } ) );
            EXPECT_EQ( origins->value( 1 ), ElementOriginList{ 1 } );
        }

        TEST_F( DegenerateElementsTest, NeedleEdgeIsCollapsed )
        {
            // A needle (0,0)-(1e-6,0)-(0.5,1) in a diamond of six triangles.
            const auto a = p( 0, 0 );
            const auto b = p( 1e-6, 0 );
            const auto top = p( 0.5, 1 );
            const auto bottom = p( 0.5, -1 );
            const auto left = p( -1, 0 );
            const auto right = p( 1, 0 );
            auto surface = traced( { { a, b, top }, { b, a, bottom }, { left, a, top },
                { left, bottom, a }, { b, right, top }, { bottom, right, b } } );
            const auto outline = border( *surface );
            EXPECT_EQ( internal::remove_degenerate_triangles( *surface ), 2 );
            EXPECT_EQ( surface->nb_polygons(), 4 );
            EXPECT_EQ( surface->nb_vertices(), 5 );
            EXPECT_EQ( nb_degenerate( *surface ), 0 );
            EXPECT_TRUE( test::is_valid_triangulated_surface( *surface ) );
            EXPECT_EQ( border( *surface ), outline );
        }

        TEST_F( DegenerateElementsTest, ShortCurveEdgeJoinsItsEnds )
        {
            auto curve = test::curve( { Point< 3 >{ { 0, 0, 0 } }, Point< 3 >{ { 1, 0, 0 } },
                Point< 3 >{ { 1 + 5e-7, 0, 0 } }, Point< 3 >{ { 2, 0, 0 } } } );
            EXPECT_EQ( internal::remove_degenerate_edges( *curve ), 1 );
            ASSERT_EQ( curve->nb_edges(), 2 );
            EXPECT_EQ( curve->nb_vertices(), 3 );
            EXPECT_EQ( curve->edge_vertex( { 0, 1 } ), curve->edge_vertex( { 1, 0 } ) );
        }
    } // namespace
} // namespace orvane
