#include <facade/mesher.hpp>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/logger.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/geometry/nn_search.hpp>
#include <openorvane/inspector/triangulated_surface_intersections.hpp>
#include <openorvane/mesh/surface_mesh_merger.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep.hpp>

#include <facade/orvane_tamsel_library.hpp>

#include <tests/support/brep_modifier_checks.hpp>
#include <tests/support/conformal_meshes.hpp>

// Geological scenes of crossing or nearly touching surfaces meshed from end
// to end: each output must be a conformal model without crossing or
// near-duplicate vertices, covering its input surfaces, with triangles of a
// sane shape.

namespace
{
    using orvane::index_t;
    using orvane::Point;
    using orvane::TriangulatedSurface;
    using orvane::Vector;
    using orvane::test::TriangleSoup;

    using Surfaces = std::vector< std::unique_ptr< TriangulatedSurface< 3 > > >;

    class MesherCrossingScenesTest : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            orvane_tamsel::OrvaneTamselLibrary::initialize();
        }
    };

    orvane::BoundingBox< 3 > box()
    {
        orvane::BoundingBox< 3 > result;
        result.add_point( Point< 3 >{ { -1., -1., -1. } } );
        result.add_point( Point< 3 >{ { 3., 3., 3. } } );
        return result;
    }

    /// A horizontal grid at height z over the given x and y coordinates
    /// (both increasing), normals up.
    std::unique_ptr< TriangulatedSurface< 3 > > horizon( const std::vector< double >& xs,
        const std::vector< double >& ys,
        double z )
    {
        TriangleSoup soup;
        const auto nx = static_cast< index_t >( xs.size() );
        std::vector< index_t > ids;
        for( const auto y : ys )
        {
            for( const auto x : xs )
            {
                ids.push_back( soup.point( Point< 3 >{ { x, y, z } } ) );
            }
        }
        for( index_t j = 0; j + 1 < ys.size(); j++ )
        {
            for( index_t i = 0; i + 1 < nx; i++ )
            {
                const auto a = ids[i + nx * j];
                const auto b = ids[i + 1 + nx * j];
                const auto c = ids[i + 1 + nx * ( j + 1 )];
                const auto d = ids[i + nx * ( j + 1 )];
                soup.triangles.push_back( { a, b, c } );
                soup.triangles.push_back( { a, c, d } );
            }
        }
        return soup.mesh();
    }

    /// n + 1 evenly spaced values from `from` to `to`.
    std::vector< double > spaced( double from, double to, index_t n )
    {
        std::vector< double > values;
        for( index_t i = 0; i <= n; i++ )
        {
            values.push_back( from + ( to - from ) * i / n );
        }
        return values;
    }

    /// The planar quadrangle origin + s u + t v, s, t in [0, 1], as an
    /// n x n grid.
    std::unique_ptr< TriangulatedSurface< 3 > > panel(
        const Point< 3 >& origin, const Vector< 3 >& u, const Vector< 3 >& v, index_t n )
    {
        TriangleSoup soup;
        soup.add_grid( origin, u, v, n );
        return soup.mesh();
    }

    double mesh_area( const orvane::SurfaceMesh< 3 >& mesh )
    {
        double area{ 0 };
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            const auto vertices = mesh.polygon_vertices( p );
            area += orvane::triangle_area( orvane::Triangle< 3 >{ mesh.point( vertices[0] ),
                mesh.point( vertices[1] ), mesh.point( vertices[2] ) } );
        }
        return area;
    }

    /// Pairs of distinct unique vertices whose points lie closer than 1e-6.
    index_t nb_near_duplicates( const orvane::BRep& model )
    {
        std::vector< Point< 3 > > points;
        for( index_t unique = 0; unique < model.nb_unique_vertices(); unique++ )
        {
            const auto& vertices = model.component_mesh_vertices( unique );
            if( vertices.empty() )
            {
                continue;
            }
            const auto& vertex = vertices.front();
            const auto& type = vertex.component_id.type().get();
            const auto& id = vertex.component_id.id();
            if( type == "Surface" )
            {
                points.push_back( model.surface( id ).mesh().point( vertex.vertex ) );
            }
            else if( type == "Line" )
            {
                points.push_back( model.line( id ).mesh().point( vertex.vertex ) );
            }
            else if( type == "Corner" )
            {
                points.push_back( model.corner( id ).mesh().point( vertex.vertex ) );
            }
        }
        const orvane::NNSearch< 3 > search{ points };
        index_t count{ 0 };
        for( index_t p = 0; p < points.size(); p++ )
        {
            for( const auto neighbor : search.radius_neighbors( points[p], 1e-6 ) )
            {
                count += neighbor > p ? 1 : 0;
            }
        }
        return count;
    }

    /// Pairs of output triangles that cross or overlap once all surfaces
    /// are merged at 1e-6, plus the triangles the merge collapses.
    index_t nb_crossings( const orvane::BRep& model )
    {
        std::vector< const orvane::SurfaceMesh< 3 >* > meshes;
        for( const auto& surface : model.surfaces() )
        {
            meshes.push_back( &surface.mesh() );
        }
        const orvane::detail::SurfaceMeshMerger< 3 > merger{ meshes, 1e-6 };
        index_t nb_dropped{ 0 };
        for( index_t m = 0; m < meshes.size(); m++ )
        {
            for( index_t p = 0; p < meshes[m]->nb_polygons(); p++ )
            {
                nb_dropped += merger.polygon_in_merged( m, p ) == orvane::NO_ID ? 1 : 0;
            }
        }
        const auto merged = merger.merge();
        const orvane::TriangulatedSurfaceIntersections< 3 > finder{ *merged };
        return static_cast< index_t >( finder.intersecting_elements().size() ) + nb_dropped;
    }

    struct Quality
    {
        double share_in_range{ 0 };
        double mean_radius_ratio{ 0 };
        double min_angle{ 180 };
    };

    Quality quality( const orvane::BRep& model, double metric )
    {
        Quality result;
        index_t nb_edges{ 0 };
        index_t nb_in_range{ 0 };
        index_t nb_triangles{ 0 };
        double ratio_sum{ 0 };
        for( const auto& surface : model.surfaces() )
        {
            const auto& mesh = surface.mesh();
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                const auto vertices = mesh.polygon_vertices( p );
                std::array< double, 3 > lengths;
                for( const index_t e : { 0, 1, 2 } )
                {
                    lengths[e] = orvane::point_point_distance( mesh.point( vertices[e] ),
                        mesh.point( vertices[( e + 1 ) % 3] ) );
                    nb_edges++;
                    nb_in_range += lengths[e] >= metric / std::numbers::sqrt2
                                           && lengths[e] <= metric * std::numbers::sqrt2
                                       ? 1
                                       : 0;
                }
                for( const index_t v : { 0, 1, 2 } )
                {
                    const auto a = lengths[v];
                    const auto b = lengths[( v + 2 ) % 3];
                    const auto opposite = lengths[( v + 1 ) % 3];
                    const auto cosine = std::clamp(
                        ( a * a + b * b - opposite * opposite ) / ( 2 * a * b ), -1., 1. );
                    result.min_angle = std::min(
                        result.min_angle, std::acos( cosine ) * 180 / std::numbers::pi );
                }
                const auto doubled_area =
                    2 * orvane::triangle_area( orvane::Triangle< 3 >{ mesh.point( vertices[0] ),
                            mesh.point( vertices[1] ), mesh.point( vertices[2] ) } );
                const auto perimeter = lengths[0] + lengths[1] + lengths[2];
                // 2 r / R with r = 2 area / perimeter and R = abc / (4 area).
                ratio_sum += 4 * doubled_area * doubled_area
                             / ( perimeter * lengths[0] * lengths[1] * lengths[2] );
                nb_triangles++;
            }
        }
        result.share_in_range = nb_edges == 0 ? 0. : double( nb_in_range ) / nb_edges;
        result.mean_radius_ratio = nb_triangles == 0 ? 0. : ratio_sum / nb_triangles;
        return result;
    }

    /// Meshes the scene and checks its output against the inputs.
    orvane_tamsel::MesherResult check_scene( const Surfaces& inputs, double metric )
    {
        orvane_tamsel::Mesher mesher{ box() };
        for( const auto& input : inputs )
        {
            mesher.add_surface( *input );
        }
        auto [model, mapping] = mesher.build_and_mesh( orvane_tamsel::MesherOptions{ metric } );
        EXPECT_TRUE( orvane::test::is_conformal_brep( model ) );
        EXPECT_EQ( nb_crossings( model ), 0 );
        EXPECT_EQ( nb_near_duplicates( model ), 0 );
        const auto& surface_type = orvane::Surface< 3 >::component_type_static();
        EXPECT_TRUE( mapping.has_mapping_type( surface_type ) );
        if( mapping.has_mapping_type( surface_type ) )
        {
            const auto& surfaces = mapping.at( surface_type );
            for( const auto& input : inputs )
            {
                const auto expected = mesh_area( *input );
                double area{ 0 };
                if( surfaces.has_mapping_input( input->id() ) )
                {
                    for( const auto& output : surfaces.in2out( input->id() ) )
                    {
                        area += mesh_area( model.surface( output ).mesh() );
                    }
                }
                EXPECT_NEAR( area, expected, 1e-3 * expected ) << input->id().string();
            }
        }
        const auto figures = quality( model, metric );
        orvane::Logger::log_info( "[crossing scene] ", model.nb_surfaces(), " surfaces, ",
            model.nb_lines(), " lines; edges within [L/sqrt2, L sqrt2]: ",
            figures.share_in_range, ", mean radius ratio ", figures.mean_radius_ratio,
            ", minimum angle ", figures.min_angle );
        EXPECT_GT( figures.share_in_range, 0.8 );
        EXPECT_GT( figures.mean_radius_ratio, 0.85 );
        EXPECT_GT( figures.min_angle, 15. );
        return { std::move( model ), std::move( mapping ) };
    }

    /// The lines lying inside a surface rather than on its border only.
    index_t nb_inner_lines( const orvane::BRep& model )
    {
        index_t count{ 0 };
        for( const auto& line : model.lines() )
        {
            count += model.embedding_surfaces( line ).empty() ? 0 : 1;
        }
        return count;
    }

    TEST_F( MesherCrossingScenesTest, TwoCrossingFaultsCutThreeHorizons )
    {
        Surfaces inputs;
        for( const auto z : { 0.3, 0.6, 0.9 } )
        {
            inputs.push_back( horizon( spaced( 0., 1.2, 3 ), spaced( 0., 1.2, 3 ), z ) );
        }
        // Two dipping faults, wider and taller than the horizons, crossing
        // each other along a steep line.
        inputs.push_back( panel( Point< 3 >{ { 0.45, -0.2, 0.05 } },
            Vector< 3 >{ { 0., 1.6, 0. } }, Vector< 3 >{ { 0.3, 0., 1. } }, 2 ) );
        inputs.push_back( panel( Point< 3 >{ { -0.2, 0.5, 0.05 } },
            Vector< 3 >{ { 1.6, 0., 0. } }, Vector< 3 >{ { 0., 0.25, 1. } }, 2 ) );
        const auto [model, mapping] = check_scene( inputs, 0.2 );
        // Each horizon is cut in four by the faults, each fault in two by
        // the other; the horizons end inside the faults.
        EXPECT_EQ( model.nb_surfaces(), 3 * 4 + 2 * 2 );
        EXPECT_GT( nb_inner_lines( model ), 0 );
    }

    TEST_F( MesherCrossingScenesTest, FaultEndingInsideAHorizonLeavesAFreeLine )
    {
        Surfaces inputs;
        inputs.push_back( horizon( spaced( 0., 2., 6 ), spaced( 0., 2., 6 ), 1. ) );
        // A vertical fault whose lower border lies in the horizon, away from
        // its vertices and edges.
        inputs.push_back( panel( Point< 3 >{ { 1.03, 0.41, 1. } }, Vector< 3 >{ { 0., 1.17, 0. } },
            Vector< 3 >{ { 0., 0., 0.8 } }, 4 ) );
        const auto [model, mapping] = check_scene( inputs, 0.25 );
        // The horizon is not cut: it holds the fault's border as an inner
        // line.
        EXPECT_EQ( model.nb_surfaces(), 2 );
        EXPECT_GT( nb_inner_lines( model ), 0 );
    }

    TEST_F( MesherCrossingScenesTest, HorizonTouchingAFaultWithinTheToleranceEndsOnIt )
    {
        Surfaces inputs;
        inputs.push_back( panel( Point< 3 >{ { 1., -0.2, 0.2 } }, Vector< 3 >{ { 0., 2.4, 0. } },
            Vector< 3 >{ { 0., 0., 1.6 } }, 6 ) );
        inputs.push_back( horizon( spaced( 0., 1. - 1e-7, 5 ), spaced( 0., 2., 6 ), 1.01 ) );
        const auto [model, mapping] = check_scene( inputs, 0.25 );
        // The horizon's border next to the fault becomes a line inside it.
        EXPECT_EQ( model.nb_surfaces(), 2 );
        EXPECT_GT( nb_inner_lines( model ), 0 );
    }

    TEST_F( MesherCrossingScenesTest, HorizonsOverlappingOnACoplanarPatchShareIt )
    {
        Surfaces inputs;
        inputs.push_back( horizon( spaced( 0., 1.2, 5 ), spaced( 0., 2., 7 ), 1. ) );
        inputs.push_back( horizon( spaced( 0.8, 2., 4 ), spaced( 0., 2., 6 ), 1. ) );
        const auto [model, mapping] = check_scene( inputs, 0.25 );
        // Each horizon alone on its side, and the patch [0.8, 1.2] x [0, 2]
        // shared: one surface made from both horizons.
        EXPECT_EQ( model.nb_surfaces(), 3 );
        const auto& surfaces = mapping.at( orvane::Surface< 3 >::component_type_static() );
        const auto& first = surfaces.in2out( inputs[0]->id() );
        const auto& second = surfaces.in2out( inputs[1]->id() );
        std::vector< orvane::uuid > shared;
        for( const auto& output : first )
        {
            if( std::find( second.begin(), second.end(), output ) != second.end() )
            {
                shared.push_back( output );
            }
        }
        ASSERT_EQ( shared.size(), 1 );
        EXPECT_NEAR( mesh_area( model.surface( shared.front() ).mesh() ), 0.8, 1e-9 );
    }

    TEST_F( MesherCrossingScenesTest, HorizonVerticesAFewUlpsFromAFaultAreSnapped )
    {
        Surfaces inputs;
        inputs.push_back( panel( Point< 3 >{ { 1., -0.2, 0.2 } }, Vector< 3 >{ { 0., 2.4, 0. } },
            Vector< 3 >{ { 0., 0., 1.6 } }, 6 ) );
        // Grid columns at 1e-14 on either side of the fault plane.
        auto columns = spaced( 0., 2., 6 );
        columns[3] = 1. - 1e-14;
        inputs.push_back( horizon( columns, spaced( 0., 2., 6 ), 0.7 ) );
        columns[3] = 1. + 1e-14;
        inputs.push_back( horizon( columns, spaced( 0.1, 1.9, 5 ), 1.3 ) );
        const auto [model, mapping] = check_scene( inputs, 0.25 );
        // Both horizons are cut in two, the fault holds the crossings.
        EXPECT_EQ( model.nb_surfaces(), 5 );
        EXPECT_EQ( nb_inner_lines( model ), 2 );
    }
} // namespace
