#include <simplex/metric/grid_metric.hpp>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/block.hpp>
#include <openorvane/model/brep.hpp>

#include <simplex/metric/brep_grid_metric.hpp>

#include <tests/support/brep_fixtures.hpp>
#include <tests/support/surface_checks.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace
{
    using namespace orvane;
    using Grid = LightRegularGrid< 3 >;

    Grid unit_grid( index_t n, double length )
    {
        return Grid{ Point< 3 >{ { 0., 0., 0. } }, { n, n, n }, { length, length, length } };
    }

    double cell_value( const GridMetric< 3 >& metric, const Grid::CellIndices& cell )
    {
        return metric.point_metric( metric.grid().cell_barycenter( cell ) );
    }

    TEST( GridMetric, FreshMetricAnswersDefaultOutsideAndNoSizeInside )
    {
        const auto grid = unit_grid( 4, 0.5 );
        const GridMetric< 3 > metric{ grid, 3. };
        const Point< 3 > a{ { 0.1, 0.2, 0.3 } };
        const Point< 3 > b{ { 1.1, 0.2, 0.3 } };
        const Point< 3 > c{ { 0.5, 1.7, 0.3 } };
        const Point< 3 > d{ { 0.5, 0.6, 1.9 } };
        EXPECT_EQ( metric.point_metric( Point< 3 >{ { -1., 0.5, 0.5 } } ), 3. );
        EXPECT_EQ( metric.point_metric( a ), NO_SIZE_REQUESTED );
        EXPECT_EQ( metric.triangle_metric( Triangle< 3 >{ a, b, c } ), NO_SIZE_REQUESTED );
        EXPECT_EQ( metric.segment_metric( Segment< 3 >{ a, b } ), NO_SIZE_REQUESTED );
        EXPECT_EQ( metric.tetrahedron_metric( Tetrahedron{ a, b, c, d } ), NO_SIZE_REQUESTED );
        EXPECT_EQ( metric.mean_metric(), NO_SIZE_REQUESTED );
        EXPECT_EQ( metric.median_metric(), NO_SIZE_REQUESTED );
        // An element wholly outside the grid meets no cell.
        EXPECT_EQ( metric.segment_metric( Segment< 3 >{ Point< 3 >{ { 5., 5., 5. } },
                       Point< 3 >{ { 6., 5., 5. } } } ),
            NO_SIZE_REQUESTED );
    }

    TEST( GridMetric, LoweringKeepsTheMinimumAndQueriesTakeTheSmallestCell )
    {
        const auto grid = unit_grid( 4, 0.5 );
        GridMetric< 3 > metric{ grid, 3. };
        // A point on the face x = 0.5 lowers the cells on both sides.
        metric.lower_point_value( Point< 3 >{ { 0.5, 0.1, 0.1 } }, 2. );
        EXPECT_EQ( cell_value( metric, { 0, 0, 0 } ), 2. );
        EXPECT_EQ( cell_value( metric, { 1, 0, 0 } ), 2. );
        EXPECT_EQ( cell_value( metric, { 2, 0, 0 } ), NO_SIZE_REQUESTED );
        // Nothing ever raises a cell.
        metric.lower_point_value( Point< 3 >{ { 0.1, 0.1, 0.1 } }, 2.5 );
        EXPECT_EQ( cell_value( metric, { 0, 0, 0 } ), 2. );
        metric.lower_segment_value(
            Segment< 3 >{ Point< 3 >{ { 1.6, 1.6, 1.6 } }, Point< 3 >{ { 1.9, 1.9, 1.9 } } }, 0.5 );
        EXPECT_EQ( cell_value( metric, { 3, 3, 3 } ), 0.5 );
        // The first listed cell of a point on a face is the lower index.
        EXPECT_EQ( metric.point_metric( Point< 3 >{ { 1.5, 1.6, 1.6 } } ), NO_SIZE_REQUESTED );
        EXPECT_EQ( metric.segment_metric( Segment< 3 >{ Point< 3 >{ { 0.1, 0.1, 0.1 } },
                       Point< 3 >{ { 1.9, 1.9, 1.9 } } } ),
            0.5 );
        EXPECT_EQ( metric.triangle_metric( Triangle< 3 >{ Point< 3 >{ { 0.9, 0.1, 0.1 } },
                       Point< 3 >{ { 0.6, 0.4, 0.1 } }, Point< 3 >{ { 0.7, 0.1, 0.4 } } } ),
            2. );
        EXPECT_EQ( metric.mean_metric(), ( 2. + 2. + 0.5 ) / 3. );
        EXPECT_EQ( metric.median_metric(), 2. );
        // The attribute stays on the grid for a metric built later.
        const GridMetric< 3 > again{ grid, 1. };
        EXPECT_EQ( cell_value( again, { 3, 3, 3 } ), 0.5 );
    }

    TEST( GridMetric, MedianTakesTheUpperMiddle )
    {
        const std::vector< std::pair< std::vector< double >, double > > cases{
            { { 1., 2., 3., 4. }, 3. }, { { 5. }, 5. }, { { 4., 1., 3. }, 3. } };
        for( const auto& [values, median] : cases )
        {
            const auto grid = unit_grid( 2, 1. );
            GridMetric< 3 > metric{ grid, 10. };
            for( index_t v = 0; v < values.size(); v++ )
            {
                metric.lower_point_value(
                    grid.cell_barycenter( grid.cell_indices( v ) ), values[v] );
            }
            EXPECT_EQ( metric.median_metric(), median );
        }
    }

    TEST( GridMetric, OptimizeGradesFromOneLoweredCell )
    {
        const auto grid = unit_grid( 7, 0.5 );
        GridMetric< 3 > metric{ grid, 10. };
        metric.lower_point_value( grid.cell_barycenter( { 3, 3, 3 } ), 1. );
        metric.optimize( 1.2 );
        EXPECT_EQ( cell_value( metric, { 3, 3, 3 } ), 1. );
        EXPECT_DOUBLE_EQ( cell_value( metric, { 4, 3, 3 } ), 1.1 );
        EXPECT_DOUBLE_EQ( cell_value( metric, { 3, 2, 3 } ), 1.1 );
        EXPECT_DOUBLE_EQ( cell_value( metric, { 3, 3, 4 } ), 1.1 );
        EXPECT_DOUBLE_EQ( cell_value( metric, { 5, 3, 3 } ), 1.2 );
        EXPECT_DOUBLE_EQ( cell_value( metric, { 4, 4, 3 } ), 1.2 );
        EXPECT_DOUBLE_EQ( cell_value( metric, { 0, 0, 0 } ), 1. + 9 * 0.1 );
        // Every cell now holds a value: the mean counts them all.
        EXPECT_LT( metric.mean_metric(), 10. );
    }

    TEST( GridMetric, OptimizeMatchesTheClosedFormOnAnIrregularGrid )
    {
        // Different lengths per axis and an axis of one cell.
        const Grid grid{ Point< 3 >{ { 0., 0., 0. } }, { 6, 5, 1 }, { 0.5, 0.25, 2. } };
        GridMetric< 3 > metric{ grid, 4. };
        std::mt19937 random{ 3 };
        std::uniform_int_distribution< index_t > cell{ 0, grid.nb_cells() - 1 };
        std::uniform_real_distribution< double > value{ 0.5, 5. };
        std::vector< double > start( grid.nb_cells(), 4. );
        for( int i = 0; i < 5; i++ )
        {
            const auto c = cell( random );
            const auto v = value( random );
            metric.lower_point_value( grid.cell_barycenter( grid.cell_indices( c ) ), v );
            start[c] = std::min( start[c], v );
        }
        const double gradation = 1.5;
        metric.optimize( gradation );
        for( index_t c = 0; c < grid.nb_cells(); c++ )
        {
            const auto ci = grid.cell_indices( c );
            double expected{ MAX_DOUBLE };
            for( index_t o = 0; o < grid.nb_cells(); o++ )
            {
                const auto oi = grid.cell_indices( o );
                double distance{ 0 };
                for( const index_t d : { 0u, 1u, 2u } )
                {
                    distance += std::abs( static_cast< double >( ci[d] ) - oi[d] )
                                * grid.cell_length_in_direction( d );
                }
                expected = std::min( expected, start[o] + ( gradation - 1 ) * distance );
            }
            EXPECT_NEAR( cell_value( metric, ci ), expected, 1e-12 ) << c;
        }
    }

    TEST( GridMetric, ParallelLoweringEqualsSerialLowering )
    {
        test::initialize_surface_meshes();
        // Many small triangles over few cells: tasks lower the same cells.
        const auto surface = test::grid_surface< 3 >( 60, 60 );
        const Grid grid{ Point< 3 >{ { -0.5, -0.5, -0.5 } }, { 5, 5, 1 },
            { 12.25, 12.25, 1. } };
        GridMetric< 3 > parallel{ grid, 1. };
        parallel.lower_surface_value( *surface, 0.7 );
        const Grid serial_grid{ grid.origin(), { 5, 5, 1 }, { 12.25, 12.25, 1. } };
        GridMetric< 3 > serial{ serial_grid, 1. };
        for( index_t t = 0; t < surface->nb_polygons(); t++ )
        {
            serial.lower_triangle_value( surface->triangle( t ), 0.7 );
        }
        // Concurrent calls with different values keep the smallest.
        std::vector< double > values( 64 );
        for( index_t i = 0; i < values.size(); i++ )
        {
            values[i] = 0.5 - 0.001 * ( ( i * 37 ) % 64 );
        }
        const Segment< 3 > diagonal{ Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 55., 55., 0. } } };
        async::parallel_for( 0, static_cast< index_t >( values.size() ),
            [&]( index_t i ) { parallel.lower_segment_value( diagonal, values[i] ); } );
        serial.lower_segment_value( diagonal, *std::min_element( values.begin(), values.end() ) );
        for( index_t c = 0; c < grid.nb_cells(); c++ )
        {
            EXPECT_EQ( cell_value( parallel, grid.cell_indices( c ) ),
                cell_value( serial, grid.cell_indices( c ) ) )
                << c;
        }
    }

    TEST( BRepGridMetric, BlockBoundaryHasOneVertexPerUniqueVertex )
    {
        const auto fixture = test::tetrahedron_model();
        const Grid grid = unit_grid( 2, 0.5 );
        const BRepGridMetric metric{ grid, 1., fixture.model };
        const auto boundary =
            metric.block_boundary_surface( fixture.model.block( fixture.block ) );
        EXPECT_EQ( boundary->nb_vertices(), 4u );
        ASSERT_EQ( boundary->nb_polygons(), 4u );
        // Closed and consistently oriented: every edge has a neighbour
        // running it the other way.
        for( index_t t = 0; t < 4; t++ )
        {
            for( const local_index_t e : { 0, 1, 2 } )
            {
                EXPECT_TRUE( boundary->polygon_adjacent( PolygonEdge{ t, e } ).has_value() );
            }
        }
        EXPECT_TRUE( test::is_valid_triangulated_surface( *boundary ) );
    }
} // namespace
