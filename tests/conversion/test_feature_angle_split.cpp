#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include <oneapi/tbb/task_arena.h>

#include <conversion/conversion_model_library.hpp>
#include <absl/container/flat_hash_map.h>
#include <absl/strings/str_cat.h>

#include <conversion/feature_angle_split.hpp>
#include <conversion/model_builder_from_meshes.hpp>
#include <tests/support/brep_checks.hpp>
#include <tests/support/conformal_meshes.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace orvane
{
    namespace
    {
        class FeatureAngleSplitTest : public ::testing::Test
        {
        protected:
            void SetUp() override
            {
                ConversionModelLibrary::initialize();
                test::initialize_surface_meshes();
            }
        };

        /// A polyline through the points, edge i from point i to point i + 1.
        std::unique_ptr< EdgedCurve< 3 > > polyline( const std::vector< Point< 3 > >& points )
        {
            auto curve = EdgedCurve< 3 >::create();
            auto builder = EdgedCurveBuilder< 3 >::create( *curve );
            for( const auto& point : points )
            {
                builder->create_point( point );
            }
            for( index_t i = 0; i + 1 < points.size(); i++ )
            {
                builder->create_edge( i, i + 1 );
            }
            return curve;
        }

        std::vector< Point< 3 > > sharp_points(
            std::unique_ptr< EdgedCurve< 3 > > line, double angle )
        {
            std::vector< std::unique_ptr< EdgedCurve< 3 > > > lines;
            lines.push_back( std::move( line ) );
            const auto sharp = detail::sharp_line_vertices( lines, angle );
            std::vector< Point< 3 > > points;
            for( index_t v = 0; v < sharp->nb_vertices(); v++ )
            {
                points.push_back( sharp->point( v ) );
            }
            return points;
        }

        Point< 3 > p( double x, double y, double z = 0. )
        {
            return Point< 3 >{ { x, y, z } };
        }

        /// A 2 x 1 grid of unit squares whose right column is folded up
        /// about the line x = 1 by `degrees` (0: flat).
        std::unique_ptr< TriangulatedSurface< 3 > > folded_grid( double degrees )
        {
            const auto radians = degrees * 3.141592653589793 / 180.;
            std::vector< Point< 3 > > points;
            for( index_t j = 0; j <= 1; j++ )
            {
                for( index_t i = 0; i <= 2; i++ )
                {
                    if( i < 2 )
                    {
                        points.push_back( p( i, j ) );
                    }
                    else
                    {
                        points.push_back(
                            p( 1 + std::cos( radians ), j, std::sin( radians ) ) );
                    }
                }
            }
            return test::create_triangulated_surface< 3 >( points, test::grid_triangles( 2, 1 ) );
        }

        /// The polygon edges with no adjacent polygon.
        std::vector< PolygonEdge > border_edges( const SurfaceMesh< 3 >& mesh )
        {
            std::vector< PolygonEdge > borders;
            for( index_t polygon = 0; polygon < mesh.nb_polygons(); polygon++ )
            {
                for( local_index_t e = 0; e < 3; e++ )
                {
                    if( mesh.is_edge_on_border( { polygon, e } ) )
                    {
                        borders.push_back( { polygon, e } );
                    }
                }
            }
            return borders;
        }

        std::vector< PolygonEdge > split_borders(
            std::unique_ptr< SurfaceMesh< 3 > > mesh, double angle )
        {
            std::vector< std::unique_ptr< SurfaceMesh< 3 > > > surfaces;
            surfaces.push_back( std::move( mesh ) );
            detail::split_surfaces_along_sharp_edges( surfaces, angle );
            return border_edges( *surfaces.front() );
        }
    } // namespace

    TEST_F( FeatureAngleSplitTest, ThresholdOfTheDefaultAngleIsJustAboveOneHalf )
    {
        EXPECT_EQ( detail::feature_angle_threshold( 120. ), 0.5000000000000001 );
        EXPECT_EQ( detail::feature_angle_threshold( 180. ), 1. );
        EXPECT_EQ( detail::feature_angle_threshold( 0. ), -1. );
    }

    TEST_F( FeatureAngleSplitTest, SharpLineVerticesFollowTheAngleRule )
    {
        // Directions (0,1,1) and (-1,0,1) make 60 degrees, and their unit
        // vectors' dot product rounds to exactly 0.5.
        const auto incoming = Vector< 3 >{ { 0., 1., 1. } }.normalize();
        ASSERT_EQ( incoming.dot( Vector< 3 >{ { -3., 0., 3. } }.normalize() ), 0.5 );
        struct Case
        {
            std::string name;
            std::vector< Point< 3 > > points;
            double angle;
            std::vector< Point< 3 > > sharp;
        };
        const std::vector< Case > cases{
            { "straight", { p( 0, 0 ), p( 1, 0 ), p( 2, 0 ) }, 120., {} },
            { "right angle", { p( 0, 0 ), p( 1, 0 ), p( 1, 1 ), p( 1, 2 ) }, 120., { p( 1, 0 ) } },
            // Edges at 120 degrees from each other: dot product 0.5, which
            // the default threshold counts as sharp.
            { "exactly at the default angle", { p( 0, -1, -1 ), p( 0, 0 ), p( -3, 0, 3 ) },
                120., { p( 0, 0 ) } },
            { "gentle bend at the default angle", { p( 0, 0 ), p( 1, 0 ), p( 2, 0.5 ) }, 120.,
                {} },
            { "gentle bend at 180 degrees", { p( 0, 0 ), p( 1, 0 ), p( 2, 0.5 ) }, 180.,
                { p( 1, 0 ) } },
            { "straight at 180 degrees", { p( 0, 0 ), p( 1, 0 ), p( 3, 0 ) }, 180.,
                { p( 1, 0 ) } },
            { "right angle at 0 degrees", { p( 0, 0 ), p( 1, 0 ), p( 1, 1 ) }, 0., {} },
            { "fold back at 0 degrees", { p( 0, 0 ), p( 2, 0 ), p( 1, 0 ) }, 0., { p( 2, 0 ) } },
        };
        for( const auto& test_case : cases )
        {
            EXPECT_EQ( sharp_points( polyline( test_case.points ), test_case.angle ),
                test_case.sharp )
                << test_case.name;
        }
    }

    TEST_F( FeatureAngleSplitTest, BranchingAndEndVerticesAreNotTested )
    {
        // Three edges from (0,0) at right angles, and the free ends.
        auto curve = polyline( { p( 1, 0 ), p( 0, 0 ), p( 0, 1 ) } );
        auto builder = EdgedCurveBuilder< 3 >::create( *curve );
        const auto extra = builder->create_point( p( -1, 0 ) );
        builder->create_edge( 1, extra );
        EXPECT_TRUE( sharp_points( std::move( curve ), 180. ).empty() );
    }

    TEST_F( FeatureAngleSplitTest, ZeroLengthLineEdgeFailsWithTheDivisionMessage )
    {
        try
        {
            sharp_points( polyline( { p( 0, 0 ), p( 1, 0 ), p( 1, 0 ), p( 2, 0 ) } ), 120. );
            ADD_FAILURE() << "a zero-length edge was accepted";
        }
        catch( const OpenOrvaneException& error )
        {
            EXPECT_EQ( std::string{ error.what() },
                "[Point::operator/] Cannot divide Point by something close to zero" );
        }
    }

    TEST_F( FeatureAngleSplitTest, DegeneratePolygonsTakeTheirNeighboursNormal )
    {
        // Triangle 1 is flat: vertex 3 lies on the diagonal 0-2.
        const auto fan = test::create_triangulated_surface< 3 >(
            { p( 0, 0 ), p( 1, 0 ), p( 1, 1 ), p( 0.5, 0.5 ), p( 0, 1 ) },
            { { 0, 1, 2 }, { 0, 2, 3 }, { 0, 3, 4 } } );
        const auto normals = detail::polygon_normals( *fan );
        ASSERT_EQ( normals.size(), 3u );
        for( const auto& normal : normals )
        {
            ASSERT_TRUE( normal );
            EXPECT_EQ( *normal, ( Vector< 3 >{ { 0., 0., 1. } } ) );
        }
        // Hence it is cut like its neighbours: not at all below 180
        // degrees, and on every edge at 180, where even coplanar polygons
        // are separated.
        EXPECT_EQ( split_borders( fan->clone(), 179. ), border_edges( *fan ) );
        EXPECT_EQ( split_borders( fan->clone(), 180. ).size(), 9u );

        // A region without any normal keeps none and is never cut.
        const auto flat = test::create_triangulated_surface< 3 >(
            { p( 0, 0 ), p( 1, 0 ), p( 2, 0 ), p( 3, 0 ) }, { { 0, 1, 2 }, { 0, 2, 3 } } );
        const auto none = detail::polygon_normals( *flat );
        EXPECT_FALSE( none[0] );
        EXPECT_FALSE( none[1] );
        EXPECT_EQ( split_borders( flat->clone(), 180. ), border_edges( *flat ) );
    }

    TEST_F( FeatureAngleSplitTest, FoldsAreCutFromBothSidesOnlyWhenSharp )
    {
        const auto flat = folded_grid( 0. );
        const auto outer = border_edges( *flat );
        ASSERT_EQ( outer.size(), 6u );
        // The fold line x = 1 is the edge 1-4: edge 1 of polygon 0 and edge
        // 2 of polygon 3 in the grid numbering.
        struct Case
        {
            double fold;
            double angle;
            bool cut;
        };
        for( const auto& test_case : { Case{ 90., 120., true }, Case{ 60.5, 120., true },
                 Case{ 30., 120., false }, Case{ 30., 160., true }, Case{ 0., 179., false } } )
        {
            const auto borders = split_borders( folded_grid( test_case.fold ), test_case.angle );
            const auto nb_expected = outer.size() + ( test_case.cut ? 2 : 0 );
            EXPECT_EQ( borders.size(), nb_expected )
                << "fold " << test_case.fold << " angle " << test_case.angle;
            if( test_case.cut )
            {
                EXPECT_NE( std::find( borders.begin(), borders.end(), PolygonEdge{ 0, 1 } ),
                    borders.end() );
                EXPECT_NE( std::find( borders.begin(), borders.end(), PolygonEdge{ 3, 2 } ),
                    borders.end() );
            }
        }
        EXPECT_EQ( split_borders( folded_grid( 0. ), 180. ).size(), 12u );
    }

    TEST_F( FeatureAngleSplitTest, CutsDoNotDependOnTheNumberOfThreads )
    {
        // A bumpy grid large enough for many tasks.
        const index_t n = 80;
        auto grid = test::grid_surface< 3 >( n, n );
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *grid );
        for( index_t v = 0; v < grid->nb_vertices(); v++ )
        {
            const auto& point = grid->point( v );
            builder->set_point( v, p( point.value( 0 ), point.value( 1 ),
                                       ( ( v * 7919 ) % 13 ) * 0.15 ) );
        }
        std::vector< std::vector< PolygonEdge > > results;
        for( const int threads : { 1, 8 } )
        {
            tbb::task_arena arena{ threads };
            arena.execute( [&] { results.push_back( split_borders( grid->clone(), 120. ) ); } );
        }
        EXPECT_GT( results[0].size(), border_edges( *grid ).size() );
        EXPECT_EQ( results[0], results[1] );
    }
} // namespace orvane

namespace orvane
{
    namespace
    {
        std::tuple< BRep, ModelMappings > build_from(
            std::vector< std::unique_ptr< SurfaceMesh< 3 > > > surfaces )
        {
            const auto pointers = detail::mesh_pointers( surfaces );
            return detail::build_brep_from_meshes( {}, {}, pointers );
        }

        /// The model's components in range order with their geometry and
        /// relationships, uuids replaced by range positions: equal for two
        /// models built the same way.
        std::string signature( const BRep& model )
        {
            absl::flat_hash_map< uuid, std::string > names;
            index_t k = 0;
            for( const auto& corner : model.corners() )
            {
                names[corner.id()] = absl::StrCat( "C", k++ );
            }
            k = 0;
            for( const auto& line : model.lines() )
            {
                names[line.id()] = absl::StrCat( "L", k++ );
            }
            k = 0;
            for( const auto& surface : model.surfaces() )
            {
                names[surface.id()] = absl::StrCat( "S", k++ );
            }
            k = 0;
            for( const auto& block : model.blocks() )
            {
                names[block.id()] = absl::StrCat( "B", k++ );
            }
            std::string text;
            const auto relations = [&]( const uuid& id ) {
                for( const auto& other : model.Relationships::boundaries( id ) )
                {
                    absl::StrAppend( &text, " b", names.at( other.id() ) );
                }
                for( const auto& other : model.internals( id ) )
                {
                    absl::StrAppend( &text, " i", names.at( other.id() ) );
                }
                absl::StrAppend( &text, "\n" );
            };
            for( const auto& corner : model.corners() )
            {
                absl::StrAppend( &text, names[corner.id()], " ", corner.mesh().point( 0 ).string() );
                relations( corner.id() );
            }
            for( const auto& line : model.lines() )
            {
                absl::StrAppend( &text, names[line.id()] );
                const auto& mesh = line.mesh();
                for( index_t e = 0; e < mesh.nb_edges(); e++ )
                {
                    absl::StrAppend( &text, " [", mesh.point( mesh.edge_vertex( { e, 0 } ) ).string(),
                        "|", mesh.point( mesh.edge_vertex( { e, 1 } ) ).string(), "]" );
                }
                relations( line.id() );
            }
            for( const auto& surface : model.surfaces() )
            {
                absl::StrAppend( &text, names[surface.id()] );
                const auto& mesh = surface.mesh();
                for( index_t t = 0; t < mesh.nb_polygons(); t++ )
                {
                    absl::StrAppend( &text, " (" );
                    for( const auto v : mesh.polygon_vertices( t ) )
                    {
                        absl::StrAppend( &text, v, ":", mesh.point( v ).string(), ";" );
                    }
                    absl::StrAppend( &text, ")" );
                }
                relations( surface.id() );
            }
            for( const auto& block : model.blocks() )
            {
                absl::StrAppend( &text, names[block.id()] );
                relations( block.id() );
            }
            return text;
        }
    } // namespace

    TEST_F( FeatureAngleSplitTest, FoldedSurfaceComesBackAsTwoSurfacesAndAFoldLine )
    {
        // A 4 x 2 rectangle folded up by 90 degrees along x = 2, both
        // halves oriented alike across the fold.
        test::TriangleSoup soup;
        soup.add_grid( p( 0, 0 ), Vector< 3 >{ { 2, 0, 0 } }, Vector< 3 >{ { 0, 2, 0 } }, 2 );
        soup.add_grid( p( 2, 0 ), Vector< 3 >{ { 0, 0, 2 } }, Vector< 3 >{ { 0, 2, 0 } }, 2 );
        std::vector< std::unique_ptr< SurfaceMesh< 3 > > > input;
        input.push_back( soup.mesh() );
        const auto [model, first_mappings] = build_from( std::move( input ) );
        ASSERT_EQ( model.nb_surfaces(), 1u );
        ASSERT_EQ( model.nb_lines(), 1u );

        const auto before = signature( model );
        const auto [split, mappings] = detail::split_brep_by_feature_angle( model, 120. );
        EXPECT_EQ( signature( model ), before );
        EXPECT_EQ( split.nb_surfaces(), 2u );
        // The outline bends at the four rectangle corners and at both ends
        // of the fold: six corners, six outline lines and the fold line.
        EXPECT_EQ( split.nb_corners(), 6u );
        EXPECT_EQ( split.nb_lines(), 7u );
        index_t nb_fold_lines{ 0 };
        for( const auto& line : split.lines() )
        {
            if( split.nb_incidences( line.id() ) == 2 )
            {
                nb_fold_lines++;
                EXPECT_EQ( line.mesh().nb_edges(), 2u );
            }
        }
        EXPECT_EQ( nb_fold_lines, 1u );
        EXPECT_TRUE( test::is_valid_brep( split ) );
        // The clones keep the uuids of the split model's components.
        const auto& surfaces = mappings.component_mapping.at( ComponentType{ "Surface" } );
        ASSERT_TRUE( surfaces.has_mapping_input( model.surfaces().begin()->id() ) );
        EXPECT_EQ( surfaces.in2out( model.surfaces().begin()->id() ).size(), 2u );
        const auto& lines = mappings.component_mapping.at( ComponentType{ "Line" } );
        ASSERT_TRUE( lines.has_mapping_input( model.lines().begin()->id() ) );
        EXPECT_EQ( lines.in2out( model.lines().begin()->id() ).size(), 6u );
        // The sharp-vertex set is the last corner input: its points made the
        // six corners.
        const auto& corners = mappings.component_mapping.at( ComponentType{ "Corner" } );
        ASSERT_EQ( corners.size_in(), 1u );
        EXPECT_EQ( corners.in2out().begin()->second.size(), 6u );
    }

    TEST_F( FeatureAngleSplitTest, ClosedCubeSplitsIntoItsFaces )
    {
        std::vector< std::unique_ptr< SurfaceMesh< 3 > > > input;
        input.push_back( test::closed_cube( 0, 1, 2 ) );
        const auto [model, first_mappings] = build_from( std::move( input ) );
        ASSERT_EQ( model.nb_surfaces(), 1u );
        const auto [split, mappings] = detail::split_brep_by_feature_angle( model, 120. );
        EXPECT_EQ( split.nb_surfaces(), 6u );
        EXPECT_EQ( split.nb_lines(), 12u );
        EXPECT_EQ( split.nb_corners(), 8u );
        EXPECT_TRUE( test::is_valid_brep( split ) );
        // Flat at 120 degrees means nothing to cut.
        const auto [again, again_mappings] = detail::split_brep_by_feature_angle( split, 120. );
        EXPECT_EQ( signature( again ), signature( split ) );
    }

    TEST_F( FeatureAngleSplitTest, AtOneHundredEightyDegreesEveryPolygonIsItsOwnSurface )
    {
        // A grid of 4 x 4 squares with scattered heights: no two neighbours
        // are coplanar.
        auto grid = test::grid_surface< 3 >( 4, 4 );
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *grid );
        for( index_t v = 0; v < grid->nb_vertices(); v++ )
        {
            const auto& point = grid->point( v );
            builder->set_point(
                v, p( point.value( 0 ), point.value( 1 ), std::sin( 1.7 * v + 0.3 * v * v ) ) );
        }
        const auto nb_polygons = grid->nb_polygons();
        std::vector< std::unique_ptr< SurfaceMesh< 3 > > > input;
        input.push_back( std::move( grid ) );
        const auto [model, first_mappings] = build_from( std::move( input ) );
        const auto [split, mappings] = detail::split_brep_by_feature_angle( model, 180. );
        EXPECT_EQ( split.nb_surfaces(), nb_polygons );
        for( const auto& surface : split.surfaces() )
        {
            EXPECT_EQ( surface.mesh().nb_polygons(), 1u );
        }
        EXPECT_TRUE( test::is_valid_brep( split ) );
    }

    TEST_F( FeatureAngleSplitTest, SplitModelIsTheSameOnOneAndOnEightThreads )
    {
        const index_t n = 40;
        auto grid = test::grid_surface< 3 >( n, n );
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *grid );
        for( index_t v = 0; v < grid->nb_vertices(); v++ )
        {
            const auto& point = grid->point( v );
            const auto x = point.value( 0 );
            const auto y = point.value( 1 );
            // Ridges every 8 cells in both directions.
            builder->set_point( v, p( x, y, std::abs( std::fmod( x, 8. ) - 4. ) * 0.9
                                                + std::abs( std::fmod( y, 8. ) - 4. ) * 0.9 ) );
        }
        std::vector< std::unique_ptr< SurfaceMesh< 3 > > > input;
        input.push_back( std::move( grid ) );
        input.push_back( test::sphere( p( 20, 20, 30 ), 5., 4 ) );
        const auto [model, first_mappings] = build_from( std::move( input ) );
        std::vector< std::string > signatures;
        for( const int threads : { 1, 8 } )
        {
            tbb::task_arena arena{ threads };
            arena.execute( [&] {
                const auto [split, mappings] = detail::split_brep_by_feature_angle( model, 120. );
                EXPECT_GT( split.nb_surfaces(), 2u );
                EXPECT_TRUE( test::is_valid_brep( split ) );
                signatures.push_back( signature( split ) );
            } );
        }
        EXPECT_EQ( signatures[0], signatures[1] );
    }
} // namespace orvane
