#include <array>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <simplex/block/block_preprocessing.hpp>
#include <simplex/metric/constant_metric.hpp>

#include <tests/simplex/remeshing_fixtures.hpp>
#include <tests/support/brep_checks.hpp>
#include <tests/support/brep_fixtures.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;

    /// A block holding one internal surface in the plane z = 0: its border
    /// polygon (the `border` vertices, in order) is a closed line bounding
    /// only that surface, the other points are inside.
    struct FreeSurfaceScene
    {
        BRep model;
        uuid surface;
        uuid line;
    };

    FreeSurfaceScene free_surface( const std::vector< Point< 3 > >& points,
        const std::vector< index_t >& border,
        const std::vector< std::array< index_t, 3 > >& triangles,
        bool line_shared )
    {
        FreeSurfaceScene scene;
        BRepBuilder builder{ scene.model };
        std::vector< index_t > uniques( points.size() );
        const auto first = builder.create_unique_vertices( static_cast< index_t >( points.size() ) );
        for( index_t v = 0; v < points.size(); v++ )
        {
            uniques[v] = first + v;
        }
        scene.surface = add_linked_surface( scene.model, points, triangles, uniques );
        std::vector< Point< 3 > > line_points;
        std::vector< index_t > line_uniques;
        for( const auto v : border )
        {
            line_points.push_back( points[v] );
            line_uniques.push_back( uniques[v] );
        }
        scene.line = add_linked_line( scene.model, line_points, line_uniques, true );
        const auto& surface = scene.model.surface( scene.surface );
        const auto& line = scene.model.line( scene.line );
        builder.add_line_surface_boundary_relationship( line, surface );
        if( line_shared )
        {
            // A second surface on the same line: the border is no longer
            // free.
            const auto other = add_linked_surface( scene.model,
                { points[0], points[1], p3( 0, 0, 1 ) }, { { 0, 1, 2 } },
                { uniques[0], uniques[1], builder.create_unique_vertex() } );
            builder.add_line_surface_boundary_relationship( line, scene.model.surface( other ) );
        }
        const auto block = builder.add_block();
        builder.add_surface_block_internal_relationship( surface, scene.model.block( block ) );
        return scene;
    }

    /// The inner edges of the surface whose two ends lie on the line.
    index_t nb_inner_edges_between_border_vertices( const BRep& model, const uuid& surface_id, const uuid& line_id )
    {
        const auto& surface = model.surface( surface_id );
        const auto& mesh = surface.mesh();
        const auto on_line = [&]( index_t v ) {
            const auto unique = model.unique_vertex( { surface.component_id(), v } );
            return !model.mesh_component_vertices( unique, line_id ).empty();
        };
        index_t count = 0;
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            for( const local_index_t e : { 0, 1, 2 } )
            {
                const auto ends = mesh.polygon_edge_vertices( { p, e } );
                if( !mesh.is_edge_on_border( { p, e } ) && on_line( ends[0] ) && on_line( ends[1] ) )
                {
                    count++;
                }
            }
        }
        return count / 2;
    }

    TEST( BlockPreprocessing, inner_edges_between_free_border_vertices_are_split_once )
    {
        struct Case
        {
            const char* name;
            std::vector< Point< 3 > > points;
            std::vector< index_t > border;
            std::vector< std::array< index_t, 3 > > triangles;
            bool line_shared;
            index_t nb_triangles;
        };
        const std::vector< Point< 3 > > square{ p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 1, 1, 0 ), p3( 0, 1, 0 ) };
        const std::vector< Point< 3 > > pentagon{ p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 1.5, 0.8, 0 ),
            p3( 0.5, 1.5, 0 ), p3( -0.5, 0.8, 0 ) };
        auto centred = square;
        centred.push_back( p3( 0.5, 0.5, 0 ) );
        // A hexagon whose border runs through the vertices 2, 4, 0, 3, 5, 1,
        // cut by the diagonals (0, 2), (2, 3) and (1, 3): the splits of the
        // first and the last, listed from the lower vertices, replace both
        // triangles beside (2, 3) before any of its own entries comes.
        std::vector< Point< 3 > > hexagon( 6 );
        const std::array< index_t, 6 > around{ 2, 4, 0, 3, 5, 1 };
        for( index_t k = 0; k < 6; k++ )
        {
            const auto angle = k * std::acos( -1. ) / 3.;
            hexagon[around[k]] = p3( std::cos( angle ), std::sin( angle ), 0 );
        }
        // In the pentagon fan, splitting the first diagonal replaces the
        // triangle that lists the second one: the second must be found
        // again, not split through the replaced triangle.
        for( const auto& [name, points, border, triangles, line_shared, nb_triangles] :
            { Case{ "square with a diagonal", square, { 0, 1, 2, 3 }, { { 0, 1, 2 }, { 0, 2, 3 } },
                  false, 4 },
                Case{ "pentagon fan of two diagonals", pentagon, { 0, 1, 2, 3, 4 },
                    { { 0, 1, 2 }, { 0, 2, 3 }, { 0, 3, 4 } }, false, 7 },
                Case{ "hexagon whose middle diagonal loses both triangles", hexagon,
                    { 2, 4, 0, 3, 5, 1 }, { { 2, 4, 0 }, { 2, 0, 3 }, { 3, 5, 1 }, { 3, 1, 2 } },
                    false, 10 },
                Case{ "inner edges to an inside vertex", centred, { 0, 1, 2, 3 },
                    { { 0, 1, 4 }, { 1, 2, 4 }, { 2, 3, 4 }, { 3, 0, 4 } }, false, 4 },
                Case{ "border line shared with another surface", square, { 0, 1, 2, 3 },
                    { { 0, 1, 2 }, { 0, 2, 3 } }, true, 2 } } )
        {
            SCOPED_TRACE( name );
            SimplexBRepLibrary::initialize();
            auto scene = free_surface( points, border, triangles, line_shared );
            BRep output = std::move( scene.model );
            const ConstantMetric< 3 > metric{ 1. };
            RemeshingData< BRep > data{ BRep{}, output, metric };
            const auto nb_line_edges = output.line( scene.line ).mesh().nb_edges();
            internal::preprocess_blocks( data );
            const auto& surface = output.surface( scene.surface );
            EXPECT_EQ( surface.mesh().nb_polygons(), nb_triangles );
            EXPECT_EQ( output.line( scene.line ).mesh().nb_edges(), nb_line_edges );
            if( !line_shared )
            {
                EXPECT_EQ( nb_inner_edges_between_border_vertices( output, scene.surface, scene.line ), 0 );
            }
            auto options = open_surfaces();
            options.check_block_boundaries = false;
            options.check_line_ends = false;
            EXPECT_TRUE( is_valid_brep( output, options ) );
        }
    }
} // namespace
