#include <openorvane/mesh/light_regular_grid.hpp>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/variable_attribute.hpp>

namespace
{
    using namespace orvane;
    using Grid = LightRegularGrid< 3 >;
    using Cells = std::vector< Grid::CellIndices >;

    /// Bounds are exact binary fractions, so points on faces, edges and
    /// corners of cells can be written down exactly.
    Grid small_grid()
    {
        return Grid{ Point< 3 >{ { 1., -2., 0.5 } }, { 3, 4, 2 },
            { 0.5, 0.25, 2. } };
    }

    Cells brute_force_cells( const Grid& grid, const Point< 3 >& point )
    {
        Cells cells;
        for( index_t c = 0; c < grid.nb_cells(); c++ )
        {
            if( grid.cell_bounding_box( grid.cell_indices( c ) ).contains( point ) )
            {
                cells.push_back( grid.cell_indices( c ) );
            }
        }
        return cells;
    }

    Cells as_vector( const Grid::CellsAroundPoint& cells )
    {
        return { cells.begin(), cells.end() };
    }

    TEST( LightRegularGrid, IndexingAndGeometry )
    {
        const auto grid = small_grid();
        EXPECT_EQ( grid.nb_cells(), 24u );
        EXPECT_EQ( grid.nb_cells_in_direction( 1 ), 4u );
        EXPECT_EQ( grid.cell_length_in_direction( 2 ), 2. );
        EXPECT_EQ( grid.cell_index( { 2, 3, 1 } ), 2u + 3u * ( 3u + 4u * 1u ) );
        for( index_t c = 0; c < grid.nb_cells(); c++ )
        {
            EXPECT_EQ( grid.cell_index( grid.cell_indices( c ) ), c );
        }
        const auto box = grid.grid_bounding_box();
        EXPECT_EQ( box.min(), ( Point< 3 >{ { 1., -2., 0.5 } } ) );
        EXPECT_EQ( box.max(), ( Point< 3 >{ { 2.5, -1., 4.5 } } ) );
        const auto cell = grid.cell_bounding_box( { 1, 2, 1 } );
        EXPECT_EQ( cell.min(), ( Point< 3 >{ { 1.5, -1.5, 2.5 } } ) );
        EXPECT_EQ( cell.max(), ( Point< 3 >{ { 2., -1.25, 4.5 } } ) );
        EXPECT_EQ( grid.cell_barycenter( { 1, 2, 1 } ),
            ( Point< 3 >{ { 1.75, -1.375, 3.5 } } ) );
    }

    TEST( LightRegularGrid, CellsOfPointsOnFacesEdgesAndCorners )
    {
        const auto grid = small_grid();
        struct Case
        {
            const char* name;
            Point< 3 > point;
            std::size_t expected;
        };
        const std::vector< Case > cases{
            { "inside a cell", Point< 3 >{ { 1.2, -1.9, 1. } }, 1 },
            { "on an inner x face", Point< 3 >{ { 1.5, -1.9, 1. } }, 2 },
            { "on an inner y face", Point< 3 >{ { 1.2, -1.5, 1. } }, 2 },
            { "on an inner edge", Point< 3 >{ { 1.5, -1.5, 1. } }, 4 },
            { "on an inner corner", Point< 3 >{ { 1.5, -1.5, 2.5 } }, 8 },
            { "on the grid's min corner", Point< 3 >{ { 1., -2., 0.5 } }, 1 },
            { "on the grid's max corner", Point< 3 >{ { 2.5, -1., 4.5 } }, 1 },
            { "on the max face", Point< 3 >{ { 2.5, -1.9, 1. } }, 1 },
            { "on a boundary edge and an inner face",
                Point< 3 >{ { 2.5, -1.5, 1. } }, 2 },
            { "outside", Point< 3 >{ { 0.9, -1.9, 1. } }, 0 },
            { "just past the max face",
                Point< 3 >{ { std::nextafter( 2.5, 3. ), -1.9, 1. } }, 0 },
        };
        for( const auto& test : cases )
        {
            SCOPED_TRACE( test.name );
            const auto cells = as_vector( grid.cells( test.point ) );
            EXPECT_EQ( cells.size(), test.expected );
            EXPECT_EQ( cells, brute_force_cells( grid, test.point ) );
        }
        EXPECT_TRUE( grid.cells( Point< 3 >{
                                     { std::numeric_limits< double >::quiet_NaN(), -1.9, 1. } } )
                         .empty() );
    }

    TEST( LightRegularGrid, CellsMatchBruteForceOnRandomAndLatticePoints )
    {
        // Irregular lengths: boundaries are rounded sums, and the answer must
        // still agree with the boxes of the cells.
        const Grid grid{ Point< 3 >{ { 0.1, -0.3, 7.7 } }, { 7, 5, 3 },
            { 0.1, 0.3, 1. / 3. } };
        std::mt19937 random{ 42 };
        std::uniform_real_distribution< double > coordinate{ -0.5, 1.5 };
        std::uniform_int_distribution< index_t > boundary{ 0, 8 };
        for( int trial = 0; trial < 2000; trial++ )
        {
            SCOPED_TRACE( trial );
            Point< 3 > point;
            for( const local_index_t d : { 0, 1, 2 } )
            {
                const auto lattice = trial % 2 == 0 || d == trial % 3;
                const auto n = grid.nb_cells_in_direction( d );
                point.set_value( d,
                    lattice ? grid.cell_coordinate( d, std::min( boundary( random ), n ) )
                            : grid.origin().value( d )
                                  + coordinate( random ) * n
                                        * grid.cell_length_in_direction( d ) );
            }
            EXPECT_EQ( as_vector( grid.cells( point ) ),
                brute_force_cells( grid, point ) );
        }
    }

    TEST( LightRegularGrid, RefusesInvalidDefinitions )
    {
        const Point< 3 > origin;
        const auto message_of = []( auto&& make ) -> std::string {
            try
            {
                make();
            }
            catch( const OpenOrvaneException& error )
            {
                return error.what();
            }
            return "no error";
        };
        EXPECT_NE( message_of( [&] {
            Grid{ origin, { 70000, 70000, 1 }, { 1., 1., 1. } };
        } ).find( "Too many cells" ),
            std::string::npos );
        EXPECT_NE( message_of( [&] {
            Grid{ origin, { 65536, 65536, 1 }, { 1., 1., 1. } };
        } ).find( "Too many cells" ),
            std::string::npos );
        EXPECT_NO_THROW( ( Grid{ origin, { 65535, 65535, 1 }, { 1., 1., 1. } } ) );
        EXPECT_THROW( ( Grid{ origin, { 1, 0, 1 }, { 1., 1., 1. } } ),
            OpenOrvaneException );
        EXPECT_THROW( ( Grid{ origin, { 1, 1, 1 }, { 1., 0., 1. } } ),
            OpenOrvaneException );
        EXPECT_THROW( ( Grid{ origin, { 1, 1, 1 },
                          { 1., std::numeric_limits< double >::infinity(), 1. } } ),
            OpenOrvaneException );
        EXPECT_THROW( ( Grid{ Point< 3 >{ { std::numeric_limits< double >::quiet_NaN(),
                                  0., 0. } },
                          { 1, 1, 1 }, { 1., 1., 1. } } ),
            OpenOrvaneException );
    }

    TEST( LightRegularGrid, CellAttributesHaveOneValuePerCell )
    {
        const auto grid = small_grid();
        const Grid& const_grid = grid;
        auto attribute =
            const_grid.cell_attribute_manager()
                .find_or_create_attribute< VariableAttribute, double >( "metric", 3. );
        EXPECT_EQ( attribute->size(), grid.nb_cells() );
        attribute->set_value( 23, 1. );
        EXPECT_EQ( grid.cell_attribute_manager()
                       .find_attribute< double >( "metric" )
                       ->value( 23 ),
            1. );
    }

    BoundingBox< 3 > box_of( const Point< 3 >& min, const Point< 3 >& max )
    {
        BoundingBox< 3 > box;
        box.add_point( min );
        box.add_point( max );
        return box;
    }

    TEST( GridFromBox, CountsLengthsAndFlatAxes )
    {
        struct Case
        {
            const char* name;
            BoundingBox< 3 > box;
            double target;
            index_t max_cells;
            std::array< index_t, 3 > counts;
            std::array< double, 3 > lengths;
        };
        const std::vector< Case > cases{
            { "exact division",
                box_of( Point< 3 >{ { 0, 0, 0 } }, Point< 3 >{ { 4, 2, 1 } } ), 0.5,
                1000, { 8, 4, 2 }, { 0.5, 0.5, 0.5 } },
            { "rounded up counts",
                box_of( Point< 3 >{ { 0, 0, 0 } }, Point< 3 >{ { 3, 1, 1 } } ), 0.8,
                1000, { 4, 2, 2 }, { 0.75, 0.5, 0.5 } },
            { "target larger than the box",
                box_of( Point< 3 >{ { 0, 0, 0 } }, Point< 3 >{ { 1, 2, 0.5 } } ), 10.,
                1000, { 1, 1, 1 }, { 1., 2., 0.5 } },
            { "capped count",
                box_of( Point< 3 >{ { 0, 0, 0 } }, Point< 3 >{ { 8, 8, 8 } } ), 0.5,
                512, { 8, 8, 8 }, { 1., 1., 1. } },
            { "flat along z",
                box_of( Point< 3 >{ { 0, 0, 3 } }, Point< 3 >{ { 2, 1, 3 } } ), 0.5,
                1000, { 4, 2, 1 }, { 0.5, 0.5, 0.5 } },
        };
        for( const auto& test : cases )
        {
            SCOPED_TRACE( test.name );
            const auto grid = build_grid_from_bbox_target_length_and_maximum_cell_number(
                test.box, test.target, test.max_cells );
            for( const index_t d : { 0u, 1u, 2u } )
            {
                EXPECT_EQ( grid->nb_cells_in_direction( d ), test.counts[d] );
                EXPECT_DOUBLE_EQ( grid->cell_length_in_direction( d ), test.lengths[d] );
            }
            EXPECT_LE( grid->nb_cells(), test.max_cells );
        }
        // The flat axis is centred on the box.
        const auto flat = build_grid_from_bbox_target_length_and_maximum_cell_number(
            box_of( Point< 3 >{ { 0, 0, 3 } }, Point< 3 >{ { 2, 1, 3 } } ), 0.5, 1000 );
        EXPECT_EQ( flat->origin().value( 2 ), 2.75 );
        EXPECT_EQ( flat->cells( Point< 3 >{ { 1.1, 0.6, 3 } } ).size(), 1u );
    }

    TEST( GridFromBox, CoversTheBoxAndRespectsTheCapOnRandomBoxes )
    {
        std::mt19937 random{ 7 };
        std::uniform_real_distribution< double > coordinate{ -100., 100. };
        std::uniform_real_distribution< double > target{ 0.01, 30. };
        std::uniform_int_distribution< index_t > cap{ 1, 20000 };
        for( int trial = 0; trial < 300; trial++ )
        {
            SCOPED_TRACE( trial );
            BoundingBox< 3 > box;
            box.add_point( Point< 3 >{
                { coordinate( random ), coordinate( random ), coordinate( random ) } } );
            box.add_point( Point< 3 >{
                { coordinate( random ), coordinate( random ), coordinate( random ) } } );
            const auto max_cells = cap( random );
            const auto grid = build_grid_from_bbox_target_length_and_maximum_cell_number(
                box, target( random ), max_cells );
            EXPECT_LE( grid->nb_cells(), max_cells );
            EXPECT_FALSE( grid->cells( box.min() ).empty() );
            EXPECT_FALSE( grid->cells( box.max() ).empty() );
        }
    }

    TEST( GridFromBox, RefusesInvalidArguments )
    {
        const auto box = box_of( Point< 3 >{ { 0, 0, 0 } }, Point< 3 >{ { 1, 1, 1 } } );
        for( const double target : { 0., -1., std::numeric_limits< double >::quiet_NaN(),
                 std::numeric_limits< double >::infinity() } )
        {
            EXPECT_THROW(
                build_grid_from_bbox_target_length_and_maximum_cell_number( box, target, 10 ),
                OpenOrvaneException );
        }
        EXPECT_THROW(
            build_grid_from_bbox_target_length_and_maximum_cell_number( box, 1., 0 ),
            OpenOrvaneException );
        EXPECT_THROW( build_grid_from_bbox_target_length_and_maximum_cell_number(
                          BoundingBox< 3 >{}, 1., 10 ),
            OpenOrvaneException );
        // A tiny target on a huge box is capped, not overflowed.
        const auto capped = build_grid_from_bbox_target_length_and_maximum_cell_number(
            box_of( Point< 3 >{ { 0, 0, 0 } }, Point< 3 >{ { 1e12, 1e12, 1e12 } } ),
            1e-12, 1000 );
        EXPECT_LE( capped->nb_cells(), 1000u );
    }
} // namespace
