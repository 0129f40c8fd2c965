#include <gtest/gtest.h>

#include <absl/container/flat_hash_set.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

#include <explicit/explicit_brep_library.hpp>
#include <explicit/zone_resolution.hpp>

#include <tests/explicit/explicit_scenes.hpp>
#include <tests/support/conformal_meshes.hpp>

namespace orvane
{
    namespace
    {
        class ZoneResolutionTest : public ::testing::Test
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

        TEST_F( ZoneResolutionTest, ZoneOfPointSetVerticesOnlyHasNoSizeField )
        {
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            surfaces.push_back( test::rectangle( 0, 0, 1, 1, 0, 1 ) );
            std::vector< std::unique_ptr< EdgedCurve< 3 > > > curves;
            std::vector< std::unique_ptr< PointSet< 3 > > > points;
            points.push_back( test::point_set( { p( 0.5, 0.5, 1e-7 ) } ) );
            const internal::ModelerState state{ surfaces, curves, points };
            internal::ProblematicElements zone;
            zone.corners[points[0]->id()] = { 0 };
            EXPECT_EQ( message_of( [&] { internal::resolve_component( state, zone ); } ),
                "[ModelerMetric::build] No point added" );
        }

        TEST_F( ZoneResolutionTest, StatusCountsEveryElementNotInserted )
        {
            // Two triangles of two surfaces crossing each other: whatever the
            // insertion manages, the status is the one of what it left over,
            // which names zone elements only, and every current mesh has its
            // entry in the extracted meshes.
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            surfaces.push_back( test::triangles_surface(
                { { p( 0, 0, 0 ), p( 1, 0, 0 ), p( 0, 1, 0 ) } } ) );
            surfaces.push_back( test::triangles_surface(
                { { p( 0.2, 0.2, -0.5 ), p( 0.3, 0.2, 0.5 ), p( 0.25, 0.6, 0 ) } } ) );
            surfaces.push_back( test::rectangle( 5, 5, 6, 6, 0, 1 ) );
            std::vector< std::unique_ptr< EdgedCurve< 3 > > > curves;
            curves.push_back( test::curve( { p( 5, 5, 1 ), p( 6, 6, 1 ) } ) );
            std::vector< std::unique_ptr< PointSet< 3 > > > points;
            for( const auto& surface : surfaces )
            {
                surface->enable_edges();
            }
            const internal::ModelerState state{ surfaces, curves, points };
            internal::ProblematicElements zone;
            zone.surfaces[surfaces[0]->id()] = { 0 };
            zone.surfaces[surfaces[1]->id()] = { 0 };

            const auto resolution = internal::resolve_component( state, zone );

            EXPECT_EQ( resolution.status, internal::zone_status( resolution.left_over, zone ) );
            EXPECT_TRUE( resolution.left_over.corners.empty() );
            EXPECT_TRUE( resolution.left_over.lines.empty() );
            for( const auto& [mesh, polygons] : resolution.left_over.surfaces )
            {
                ASSERT_TRUE( zone.surfaces.contains( mesh ) );
                for( const auto polygon : polygons )
                {
                    EXPECT_EQ( polygon, 0 );
                }
            }
            for( const auto& surface : surfaces )
            {
                EXPECT_TRUE( resolution.extracted.surfaces.contains( surface->id() ) );
            }
            EXPECT_TRUE( resolution.extracted.surfaces.at( surfaces[2]->id() ).empty() );
            EXPECT_TRUE( resolution.extracted.curves.contains( curves[0]->id() ) );
            if( resolution.status == 2 )
            {
                // Both triangles were inserted: each has its patch.
                for( const index_t s : { 0, 1 } )
                {
                    EXPECT_TRUE( resolution.extracted.surfaces.at( surfaces[s]->id() )
                                     .contains( 0 ) );
                }
            }
        }
    } // namespace
} // namespace orvane
