#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/model/brep_builder.hpp>

#include <simplex/block/block_meshing.hpp>
#include <simplex/block/block_relaxer.hpp>
#include <simplex/metric/constant_metric.hpp>
#include <simplex/simplex_brep_library.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>

#include <tests/simplex/block/block_scenes.hpp>
#include <tests/simplex/remeshing_fixtures.hpp>
#include <tests/support/brep_checks.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;

    TEST( BlockRelaxer, quality_is_one_for_the_regular_tetrahedron_and_signed )
    {
        struct Case
        {
            const char* name;
            Tetrahedron tetrahedron;
            double expected;
        };
        const double h = std::sqrt( 3. ) / 2.;
        for( const auto& [name, tetrahedron, expected] :
            { Case{ "unit corner", { p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 0, 1, 0 ), p3( 0, 0, 1 ) },
                  0.7698003589195 },
                Case{ "unit corner reversed",
                    { p3( 0, 0, 0 ), p3( 0, 1, 0 ), p3( 1, 0, 0 ), p3( 0, 0, 1 ) }, -0.7698003589195 },
                Case{ "regular", { p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 0.5, h, 0 ),
                                     p3( 0.5, h / 3., std::sqrt( 2. / 3. ) ) },
                    1. },
                Case{ "flat", { p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 0, 1, 0 ), p3( 1, 1, 0 ) }, 0. },
                Case{ "one point", { p3( 1, 1, 1 ), p3( 1, 1, 1 ), p3( 1, 1, 1 ), p3( 1, 1, 1 ) },
                    0. } } )
        {
            EXPECT_NEAR( detail::tetrahedron_quality( tetrahedron ), expected, 1e-12 ) << name;
        }
    }

    /// The worst and the mean quality of the block tetrahedra.
    std::pair< double, double > qualities( const BRep& model )
    {
        double worst = std::numeric_limits< double >::max();
        double sum = 0;
        index_t count = 0;
        for( const auto& block : model.blocks() )
        {
            const auto& solid = block_solid( model, block );
            for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
            {
                const auto quality = detail::tetrahedron_quality( solid.tetrahedron( t ) );
                worst = std::min( worst, quality );
                sum += quality;
                count++;
            }
        }
        return { worst, sum / count };
    }

    TEST( BlockRelaxer, swaps_raise_the_quality_and_keep_the_model_conformal )
    {
        // The cube's corners, edges and face diagonals stay: edges on lines
        // are never swapped, the face triangles flip with the blocks.
        SimplexBRepLibrary::initialize();
        auto model = horizon_in_a_cube( 4 );
        BRepBuilder builder{ model };
        const ConstantMetric< 3 > metric{ 0.25 };
        internal::mesh_blocks( model, builder, metric );
        const auto [worst_before, mean_before] = qualities( model );
        std::vector< std::vector< index_t > > line_edges;
        for( const auto& line : model.lines() )
        {
            line_edges.emplace_back().push_back( line.mesh().nb_edges() );
        }
        {
            BRepGeometricModifier modifier{ model, builder };
            internal::relax_blocks( model, modifier, metric );
            modifier.clean();
        }
        const auto [worst_after, mean_after] = qualities( model );
        // Every swap lifts the worst tetrahedron around its edge; the worst
        // of all may sit against the boundary, where nothing can swap.
        EXPECT_GE( worst_after, worst_before );
        EXPECT_GT( mean_after, mean_before );
        for( const auto& block : model.blocks() )
        {
            expect_valid_block_mesh( model, block );
        }
        EXPECT_TRUE( is_valid_brep( model ) );
        index_t l = 0;
        for( const auto& line : model.lines() )
        {
            EXPECT_EQ( line.mesh().nb_edges(), line_edges[l++][0] );
        }
        RecordProperty( "mean quality before", std::to_string( mean_before ) );
        RecordProperty( "mean quality after", std::to_string( mean_after ) );
    }
} // namespace
