#include <cmath>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/light_regular_grid.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <simplex/metric/grid_metric.hpp>

#include <explicit/background_solid_splitter.hpp>
#include <explicit/explicit_brep_library.hpp>
#include <explicit/modeler_metric.hpp>

#include <tests/support/solid_checks.hpp>

namespace orvane
{
    namespace
    {
        using internal::ModelerMetric;

        class ModelerMetricTest : public ::testing::Test
        {
        protected:
            void SetUp() override
            {
                ExplicitBRepLibrary::initialize();
            }
        };

        double box_volume( const BoundingBox< 3 >& box )
        {
            const auto diagonal = box.diagonal();
            return diagonal.value( 0 ) * diagonal.value( 1 ) * diagonal.value( 2 );
        }

        /// Every tetrahedron positive (exact sign) and their volumes adding up
        /// to the box's.
        void expect_fills_box(
            const TetrahedralSolid< 3 >& solid, const BoundingBox< 3 >& box )
        {
            double volume{ 0. };
            for( index_t t = 0; t < solid.nb_polyhedra(); ++t )
            {
                const auto tetrahedron = solid.tetrahedron( t );
                ASSERT_EQ( tetrahedron_volume_sign( tetrahedron ), SIDE::positive )
                    << "tetrahedron " << t;
                volume += tetrahedron_volume( tetrahedron );
            }
            const auto expected = box_volume( box );
            EXPECT_NEAR( volume, expected, 1e-9 * expected );
            EXPECT_TRUE( test::is_valid_tetrahedral_solid( solid ) );
        }

        TEST_F( ModelerMetricTest, no_point_is_refused )
        {
            ModelerMetric metric;
            try
            {
                static_cast< void >( metric.build() );
                ADD_FAILURE() << "no exception";
            }
            catch( const OpenOrvaneException& error )
            {
                EXPECT_STREQ( error.what(), "[ModelerMetric::build] No point added" );
            }
        }

        TEST_F( ModelerMetricTest, lone_or_coincident_points_set_no_size )
        {
            for( const index_t nb : { 1u, 3u } )
            {
                SCOPED_TRACE( nb );
                ModelerMetric metric;
                for( index_t i = 0; i < nb; ++i )
                {
                    // Coincident within 1e-6.
                    metric.add_point( Point< 3 >{ { 1. + 1e-7 * i, 2., 3. } } );
                }
                const auto& field = metric.build();
                EXPECT_EQ( field.median_metric(), NO_SIZE_REQUESTED );
                const auto box = metric.grid()->grid_bounding_box();
                EXPECT_NEAR( box.min().value( 0 ), 0., 1e-6 );
                EXPECT_NEAR( box.max().value( 2 ), 4., 1e-6 );
                EXPECT_LE( metric.grid()->nb_cells(), ModelerMetric::MAX_NB_CELLS );
            }
        }

        TEST_F( ModelerMetricTest, field_without_size_leaves_the_grid_unsplit )
        {
            // What the size field of a lone point is: no cell set.
            const LightRegularGrid< 3 > grid{ Point< 3 >{ { 0., 1., 2. } },
                { 10, 10, 10 }, { 0.2, 0.2, 0.2 } };
            GridMetric< 3 > field{ grid, NO_SIZE_REQUESTED };
            field.optimize( ModelerMetric::GRADATION );
            const auto box = grid.grid_bounding_box();
            const auto solid = internal::create_split_background_solid( box, field );
            // The target length is the unset size: one cell, six tetrahedra.
            EXPECT_EQ( solid->nb_polyhedra(), 6u );
            expect_fills_box( *solid, box );
        }

        /// Points on two parallel planes 0.5 apart, spaced 0.25 in x and y.
        void add_two_planes( ModelerMetric& metric )
        {
            for( index_t i = 0; i <= 8; ++i )
            {
                for( index_t j = 0; j <= 8; ++j )
                {
                    for( const auto z : { 0., 0.5 } )
                    {
                        metric.add_point(
                            Point< 3 >{ { 0.25 * i, 0.25 * j, z } } );
                    }
                }
            }
        }

        TEST_F( ModelerMetricTest, size_field_is_graded_and_bounded )
        {
            ModelerMetric metric;
            add_two_planes( metric );
            const auto& field = metric.build();
            const auto& grid = *metric.grid();
            EXPECT_LE( grid.nb_cells(), ModelerMetric::MAX_NB_CELLS );
            // Near the points the size is the spacing.
            EXPECT_DOUBLE_EQ(
                field.point_metric( Point< 3 >{ { 1.01, 1.01, 0.01 } } ), 0.25 );
            const auto values =
                grid.cell_attribute_manager().find_attribute< double >(
                    GridMetric< 3 >::ATTRIBUTE_NAME );
            for( index_t c = 0; c < grid.nb_cells(); ++c )
            {
                const auto cell = grid.cell_indices( c );
                ASSERT_LT( values->value( c ), NO_SIZE_REQUESTED );
                for( const local_index_t d : { 0, 1, 2 } )
                {
                    if( cell[d] + 1 == grid.nb_cells_in_direction( d ) )
                    {
                        continue;
                    }
                    auto next = cell;
                    ++next[d];
                    const auto difference = std::abs(
                        values->value( c ) - values->value( grid.cell_index( next ) ) );
                    EXPECT_LE( difference,
                        ( ModelerMetric::GRADATION - 1. )
                                * grid.cell_length_in_direction( d )
                            + 1e-12 );
                }
            }
        }

        TEST_F( ModelerMetricTest, many_points_keep_the_cell_limit )
        {
            ModelerMetric metric;
            for( index_t i = 0; i < 200; ++i )
            {
                metric.add_point( Point< 3 >{ { 1e-3 * i, 0., 0. } } );
                metric.add_point( Point< 3 >{ { 100., 100., 100. - 1e-3 * i } } );
            }
            static_cast< void >( metric.build() );
            EXPECT_LE( metric.grid()->nb_cells(), ModelerMetric::MAX_NB_CELLS );
        }

        TEST_F( ModelerMetricTest, split_solid_fits_the_size_field )
        {
            // A dense row of points and a lone far point: the size field
            // goes from 0.25 along the row to several units far from it.
            ModelerMetric metric;
            for( index_t i = 0; i <= 2; ++i )
            {
                metric.add_point( Point< 3 >{ { 0.25 * i, 0., 0. } } );
            }
            metric.add_point( Point< 3 >{ { 2., 2., 2. } } );
            const auto& field = metric.build();
            const auto box = metric.grid()->grid_bounding_box();
            const auto solid = internal::create_split_background_solid( box, field );
            const auto unsplit =
                build_grid_from_bbox_target_length_and_maximum_cell_number(
                    box, field.median_metric(), ModelerMetric::MAX_NB_CELLS );
            EXPECT_GT( solid->nb_polyhedra(), 6 * unsplit->nb_cells() );
            expect_fills_box( *solid, box );
            const auto factor = 2. * std::sqrt( 3. );
            for( index_t t = 0; t < solid->nb_polyhedra(); ++t )
            {
                const auto tetrahedron = solid->tetrahedron( t );
                const auto& v = tetrahedron.vertices();
                double shortest{ std::numeric_limits< double >::max() };
                for( index_t a = 0; a < 4; ++a )
                {
                    for( index_t b = a + 1; b < 4; ++b )
                    {
                        shortest =
                            std::min( shortest, point_point_distance( v[a], v[b] ) );
                    }
                }
                EXPECT_LE( shortest, factor * field.tetrahedron_metric( tetrahedron ) )
                    << "tetrahedron " << t;
            }
        }
    } // namespace
} // namespace orvane
