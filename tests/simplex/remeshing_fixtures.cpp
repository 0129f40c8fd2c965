#include <tests/simplex/remeshing_fixtures.hpp>

#include <algorithm>

#include <gtest/gtest.h>

#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/model/model_library.hpp>

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
