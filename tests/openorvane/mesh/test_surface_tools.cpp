#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/edged_curve_aabb.hpp>
#include <openorvane/mesh/mesh_output.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/repair_polygon_orientations.hpp>
#include <openorvane/mesh/surface_aabb.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <openorvane/mesh/vtk_output.hpp>

#include <tests/support/surface_checks.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace orvane
{
    namespace
    {
        std::string read_file( const std::filesystem::path& path )
        {
            std::ifstream file{ path };
            std::stringstream content;
            content << file.rdbuf();
            return content.str();
        }

        /// A scratch directory removed at the end of the test.
        class ScratchDirectory
        {
        public:
            ScratchDirectory()
                : path_{ std::filesystem::temp_directory_path()
                         / ( "orvane_mesh_output_" + uuid{}.string() ) }
            {
                std::filesystem::create_directories( path_ );
            }
            ~ScratchDirectory()
            {
                std::filesystem::remove_all( path_ );
            }
            std::string file( const std::string& name ) const
            {
                return ( path_ / name ).string();
            }

        private:
            std::filesystem::path path_;
        };
    } // namespace

    TEST( SurfaceTools, RepairOrientationsFollowsTheLowestPolygon )
    {
        // A strip whose triangles 1, 2 and 4 are reversed: compute leaves
        // their edges unlinked, the repair makes every triangle agree with
        // triangle 0 and links them all.
        std::vector< Point< 3 > > points;
        for( const auto y : { 0., 1. } )
        {
            for( index_t i = 0; i <= 3; i++ )
            {
                points.push_back( test::planar_point< 3 >( i, y ) );
            }
        }
        const auto surface = test::create_triangulated_surface< 3 >( points,
            { { 0, 1, 5 }, { 0, 4, 5 }, { 1, 6, 2 }, { 1, 6, 5 }, { 2, 7, 3 }, { 2, 7, 6 } } );
        EXPECT_FALSE( test::is_valid_triangulated_surface( *surface ) );
        repair_polygon_orientations( *surface );
        EXPECT_TRUE( test::is_valid_triangulated_surface( *surface ) );
        for( index_t p = 0; p < surface->nb_polygons(); p++ )
        {
            EXPECT_EQ( surface->polygon_normal( p ), ( Vector< 3 >{ { 0, 0, 1 } } ) )
                << "polygon " << p;
        }

        // The lowest polygon of each part decides, even when it is the one
        // that disagrees with the rest.
        auto flipped = test::create_triangulated_surface< 3 >( points,
            { { 0, 5, 1 }, { 0, 5, 4 }, { 2, 3, 7 }, { 2, 7, 6 } } );
        repair_polygon_orientations( *flipped );
        EXPECT_EQ( flipped->polygon_normal( 1 ), ( Vector< 3 >{ { 0, 0, -1 } } ) );
        EXPECT_EQ( flipped->polygon_normal( 3 ), ( Vector< 3 >{ { 0, 0, 1 } } ) );
        EXPECT_TRUE( test::is_valid_triangulated_surface( *flipped ) );
    }

    TEST( SurfaceTools, RepairOrientationsOfAClosedSurface )
    {
        // An octahedron with every other face reversed.
        const auto surface = test::create_triangulated_surface< 3 >(
            { Point< 3 >{ { 1, 0, 0 } }, Point< 3 >{ { -1, 0, 0 } }, Point< 3 >{ { 0, 1, 0 } },
                Point< 3 >{ { 0, -1, 0 } }, Point< 3 >{ { 0, 0, 1 } },
                Point< 3 >{ { 0, 0, -1 } } },
            { { 0, 2, 4 }, { 2, 4, 1 }, { 1, 3, 4 }, { 3, 4, 0 }, { 2, 0, 5 }, { 1, 5, 2 },
                { 3, 1, 5 }, { 0, 5, 3 } } );
        repair_polygon_orientations( *surface );
        test::SurfaceCheckOptions closed;
        closed.check_manifold_edges = true;
        EXPECT_TRUE( test::is_valid_triangulated_surface( *surface, closed ) );
        for( index_t v = 0; v < surface->nb_vertices(); v++ )
        {
            EXPECT_FALSE( surface->is_vertex_on_border( v ) );
        }
        // Every normal points away from the centre, as the first face's does.
        for( index_t p = 0; p < surface->nb_polygons(); p++ )
        {
            const auto normal = surface->polygon_normal( p ).value();
            const Vector< 3 > outward{ surface->polygon_barycenter( p ) };
            EXPECT_GT( normal.dot( outward ), 0 ) << "polygon " << p;
        }
    }

    TEST( SurfaceTools, SearchTreesHoldOneBoxPerElement )
    {
        const auto surface = test::grid_surface< 3 >( 4, 4 );
        const auto tree = create_aabb_tree( *surface );
        ASSERT_EQ( tree.nb_bboxes(), surface->nb_polygons() );
        BoundingBox< 3 > query;
        query.add_point( Point< 3 >{ { 2.2, 2.2, -1 } } );
        query.add_point( Point< 3 >{ { 2.3, 2.3, 1 } } );
        std::vector< index_t > found;
        tree.visit_boxes_intersecting_box( query, [&found]( index_t polygon ) {
            found.push_back( polygon );
            return false;
        } );
        // The cell (2, 2) holds two triangles.
        std::sort( found.begin(), found.end() );
        EXPECT_EQ( found, ( std::vector< index_t >{ 20, 21 } ) );
        const DistanceToTriangle< 3 > distance{ *surface };
        EXPECT_DOUBLE_EQ( distance( Point< 3 >{ { 2.2, 2.1, 3 } }, 20 ), 3 );

        const auto curve = test::polyline< 2 >( 5 );
        const auto curve_tree = create_aabb_tree( *curve );
        EXPECT_EQ( curve_tree.nb_bboxes(), 5 );
        const DistanceToEdge< 2 > to_edge{ *curve };
        EXPECT_DOUBLE_EQ( to_edge( test::planar_point< 2 >( 2.5, 2 ), 2 ), 2 );
        EXPECT_DOUBLE_EQ( to_edge( test::planar_point< 2 >( 0, 0 ), 3 ), 3 );
    }

    TEST( SurfaceTools, NativeAndVtkOutput )
    {
        const ScratchDirectory directory;
        const auto curve = test::polyline< 3 >( 2 );
        auto curve_builder = EdgedCurveBuilder< 3 >::create( *curve );
        curve_builder->set_name( "front" );
        curve_builder->set_point( 1, Point< 3 >{ { 0.1, 1e-20, -2 } } );
        const auto curve_file = directory.file( "cycles_0_999.oo_edc3d" );
        EXPECT_EQ( save_edged_curve( *curve, curve_file ),
            ( std::vector< std::string >{ curve_file } ) );
        EXPECT_EQ( read_file( curve_file ),
            "OpenOrvane EdgedCurve\nname front\nid " + curve->id().string()
                + "\ndimension 3\nvertices 3\n0 0 0\n0.10000000000000001 "
                  "9.9999999999999995e-21 -2\n2 0 0\nedges 2\n0 1\n1 2\n" );

        const auto surface = test::square_of_two_triangles< 2 >();
        const auto surface_file = directory.file( "square.oo_tsf2d" );
        save_surface_mesh( *surface, surface_file );
        EXPECT_EQ( read_file( surface_file ),
            "OpenOrvane SurfaceMesh\nname \nid " + surface->id().string()
                + "\ndimension 2\nvertices 4\n0 0\n1 0\n1 1\n0 1\npolygons 2\n3 0 1 2\n3 0 2 "
                  "3\nadjacencies\n-1 -1 1\n0 -1 -1\n" );

        const auto vtk_file = directory.file( "square.vtk" );
        save_vtk( *surface, vtk_file );
        EXPECT_EQ( read_file( vtk_file ),
            "# vtk DataFile Version 3.0\nOpenOrvane mesh\nASCII\nDATASET POLYDATA\nPOINTS 4 "
            "double\n0 0 0\n1 0 0\n1 1 0\n0 1 0\nPOLYGONS 2 8\n3 0 1 2\n3 0 2 3\n" );
        auto unset_end = curve_builder->create_edge();
        curve_builder->set_edge_vertex( { unset_end, 0 }, 0 );
        const auto curve_vtk = directory.file( "front.vtk" );
        save_vtk( *curve, curve_vtk );
        EXPECT_NE( read_file( curve_vtk ).find( "front\n" ), std::string::npos );
        EXPECT_NE( read_file( curve_vtk ).find( "LINES 2 6\n2 0 1\n2 1 2\n" ), std::string::npos );

        const auto points = PointSet< 3 >::create();
        PointSetBuilder< 3 >::create( *points )->create_point( Point< 3 >{ { 1, 2, 3 } } );
        const auto points_file = directory.file( "corner.oo_pts3d" );
        save_point_set( *points, points_file );
        EXPECT_NE( read_file( points_file ).find( "vertices 1\n1 2 3\n" ), std::string::npos );

        EXPECT_THROW( save_edged_curve( *curve, directory.file( "missing/dir/x.oo_edc3d" ) ),
            OpenOrvaneException );
        EXPECT_THROW( save_vtk( *surface, directory.file( "missing/dir/x.vtk" ) ),
            OpenOrvaneException );
    }
} // namespace orvane
