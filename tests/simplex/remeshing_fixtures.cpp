#include <tests/simplex/remeshing_fixtures.hpp>

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/inspector/triangulated_surface_intersections.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/surface_mesh_merger.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/model/model_library.hpp>

#include <simplex/line/line_remesher.hpp>

#include <tests/support/brep_checks.hpp>

#include <tests/support/brep_fixtures.hpp>

namespace orvane::test
{
    WireModel::WireModel( const std::vector< Point< 3 > >& corner_points )
        : corner_points_( corner_points )
    {
        OpenOrvaneModelLibrary::initialize();
        BRepBuilder builder{ model };
        builder.create_unique_vertices( static_cast< index_t >( corner_points.size() ) );
        for( index_t k = 0; k < corner_points.size(); k++ )
        {
            corners.push_back( add_linked_corner( model, corner_points[k], k ) );
        }
    }

    uuid WireModel::add_line( const std::vector< Point< 3 > >& points, bool closed )
    {
        BRepBuilder builder{ model };
        std::vector< index_t > uniques;
        std::vector< index_t > touched;
        for( const auto& point : points )
        {
            auto unique = NO_ID;
            for( index_t k = 0; k < corner_points_.size(); k++ )
            {
                if( corner_points_[k].inexact_equal( point ) )
                {
                    unique = k;
                }
            }
            if( unique == NO_ID )
            {
                unique = builder.create_unique_vertex();
            }
            else if( std::find( touched.begin(), touched.end(), unique ) == touched.end() )
            {
                touched.push_back( unique );
            }
            uniques.push_back( unique );
        }
        const auto id = add_linked_line( model, points, uniques, closed );
        for( const auto k : touched )
        {
            builder.add_corner_line_boundary_relationship(
                model.corner( corners[k] ), model.line( id ) );
        }
        return id;
    }

    /// Checks the output corners and lines of a run stopped before the
    /// surfaces: corners are unique vertices 0..n-1; every line vertex is
    /// linked; line ends sit on the line's boundary corners; every other
    /// line vertex has its own unique vertex, held by that line only (a
    /// line bounding several surfaces is remeshed once); edges are near the
    /// metric.
    void expect_conformal_corners_and_lines( const BRep& output, double metric )
    {
        index_t corner_index{ 0 };
        for( const auto& corner : output.corners() )
        {
            EXPECT_EQ( output.unique_vertex( { corner.component_id(), 0 } ), corner_index++ );
        }
        for( const auto& line : output.lines() )
        {
            const auto& mesh = line.mesh();
            ASSERT_GT( mesh.nb_edges(), 1 );
            std::vector< index_t > boundary_uniques;
            for( const auto& corner : output.boundaries( line ) )
            {
                boundary_uniques.push_back(
                    output.unique_vertex( { corner.component_id(), 0 } ) );
            }
            std::vector< index_t > end_uniques;
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                const auto unique = output.unique_vertex( { line.component_id(), v } );
                ASSERT_NE( unique, NO_ID );
                const auto nb_edges = mesh.edges_around_vertex( v ).size();
                const bool at_corner = std::find( boundary_uniques.begin(),
                                           boundary_uniques.end(), unique )
                                       != boundary_uniques.end();
                if( nb_edges == 1 )
                {
                    end_uniques.push_back( unique );
                    EXPECT_TRUE( at_corner ) << "line end " << v;
                }
                if( !at_corner )
                {
                    EXPECT_EQ( output.component_mesh_vertices( unique ).size(), 1 )
                        << "line vertex " << v;
                }
            }
            std::sort( end_uniques.begin(), end_uniques.end() );
            std::sort( boundary_uniques.begin(), boundary_uniques.end() );
            EXPECT_EQ( end_uniques, boundary_uniques );
            for( index_t e = 0; e < mesh.nb_edges(); e++ )
            {
                EXPECT_LT( mesh.edge_length( e ), 1.5 * metric + 1e-9 );
                EXPECT_GT( mesh.edge_length( e ), 0.25 * metric );
            }
        }
        BRepCheckOptions options;
        options.check_surface_borders = false;
        options.check_block_boundaries = false;
        EXPECT_TRUE( is_valid_brep( output, options ) );
    }
} // namespace orvane::test

namespace orvane::test
{
    InputSurfaceShapes input_surface_shapes( const BRep& input )
    {
        InputSurfaceShapes shapes;
        const auto box = input.bounding_box();
        shapes.model_size = Vector< 3 >{ box.min(), box.max() }.length();
        for( const auto& surface : input.surfaces() )
        {
            const auto& mesh = dynamic_cast< const TriangulatedSurface< 3 >& >( surface.mesh() );
            std::optional< Vector< 3 > > normal;
            bool planar{ mesh.nb_polygons() > 0 };
            for( index_t p = 0; p < mesh.nb_polygons() && planar; p++ )
            {
                const auto triangle_normal = mesh.triangle( p ).normal();
                if( !triangle_normal )
                {
                    continue;
                }
                if( !normal )
                {
                    normal = triangle_normal;
                }
                planar = triangle_normal->dot( *normal ) > 1. - 1e-12;
            }
            shapes.plane_normals.emplace( surface.id(), planar ? normal : std::nullopt );
            if( mesh.nb_vertices() > 0 )
            {
                shapes.plane_points.emplace( surface.id(), mesh.point( 0 ) );
            }
        }
        return shapes;
    }

    double expect_remeshed_surfaces( const BRep& output,
        const ModelMapping< BijectiveMapping< uuid, uuid > >& mapping,
        const InputSurfaceShapes& input,
        double metric,
        double min_share )
    {
        EXPECT_TRUE( is_valid_brep( output ) );
        std::vector< const SurfaceMesh< 3 >* > meshes;
        index_t nb_edges{ 0 };
        index_t nb_within{ 0 };
        const auto& surface_mapping = mapping.at( Surface< 3 >::component_type_static() );
        for( const auto& surface : output.surfaces() )
        {
            SCOPED_TRACE( surface.id().string() );
            const auto& mesh = dynamic_cast< const TriangulatedSurface< 3 >& >( surface.mesh() );
            EXPECT_GT( mesh.nb_polygons(), 0u );
            meshes.push_back( &mesh );
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                for( const local_index_t e : { 0, 1, 2 } )
                {
                    const auto adjacent = mesh.polygon_adjacent( { p, e } );
                    if( adjacent && *adjacent < p )
                    {
                        continue;
                    }
                    const auto length = mesh.edge_length( { p, e } );
                    nb_edges++;
                    if( length >= metric / std::sqrt( 2. ) && length <= metric * std::sqrt( 2. ) )
                    {
                        nb_within++;
                    }
                }
            }
            const auto& input_id = surface_mapping.out2in( surface.id() );
            const auto& normal = input.plane_normals.at( input_id );
            if( !normal )
            {
                continue;
            }
            const auto& origin = input.plane_points.at( input_id );
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                EXPECT_LE( std::abs( Vector< 3 >{ origin, mesh.point( v ) }.dot( *normal ) ),
                    1e-9 * input.model_size )
                    << "vertex " << v << " off the input plane";
            }
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                const auto triangle_normal = mesh.triangle( p ).normal();
                EXPECT_TRUE( triangle_normal && triangle_normal->dot( *normal ) > 0 )
                    << "triangle " << p << " turned against the input";
            }
        }
        const detail::SurfaceMeshMerger< 3 > merger{ meshes, 1e-6 };
        const auto merged = merger.merge();
        const TriangulatedSurfaceIntersections< 3 > finder{ *merged };
        const auto crossings = finder.intersecting_elements();
        EXPECT_TRUE( crossings.empty() ) << crossings.size() << " crossing triangle pairs";
        const auto share = nb_edges == 0 ? 0. : static_cast< double >( nb_within ) / nb_edges;
        EXPECT_GT( share, min_share ) << nb_within << " of " << nb_edges << " edges near " << metric;
        return share;
    }

    const Line< 3 >& output_line( const RemeshingRun& run, const uuid& input_line )
    {
        return run.output.line( internal::output_component_id(
            *run.data, run.data->input.line( input_line ).component_id() ) );
    }

    void expect_linked_to_input( const RemeshingRun& run, const uuid& input_line )
    {
        const auto& input = run.data->input.line( input_line );
        const auto& input_mesh = input.mesh();
        const auto attribute =
            input_mesh.vertex_attribute_manager().find_attribute< index_t >(
                internal::REMESHED_LINE_ATTRIBUTE );
        const auto& line = output_line( run, input_line );
        const auto& mesh = line.mesh();
        index_t nb_linked_inputs{ 0 };
        for( index_t v = 0; v < input_mesh.nb_vertices(); v++ )
        {
            nb_linked_inputs += attribute->value( v ) != NO_ID ? 1 : 0;
        }
        EXPECT_EQ( nb_linked_inputs, mesh.nb_vertices() );
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            const auto unique = run.output.unique_vertex( { line.component_id(), v } );
            ASSERT_NE( unique, NO_ID ) << "output vertex " << v;
            bool found{ false };
            for( index_t w = 0; w < input_mesh.nb_vertices(); w++ )
            {
                if( attribute->value( w ) == unique )
                {
                    found = true;
                    EXPECT_TRUE( input_mesh.point( w ).inexact_equal( mesh.point( v ) ) );
                }
            }
            EXPECT_TRUE( found ) << "output vertex " << v;
        }
    }

} // namespace orvane::test
