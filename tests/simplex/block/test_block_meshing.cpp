#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include <oneapi/tbb/task_arena.h>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <simplex/block/block_meshing.hpp>
#include <simplex/brep_remesher.hpp>
#include <simplex/metric/constant_metric.hpp>
#include <simplex/simplex_brep_library.hpp>

#include <tests/simplex/block/block_scenes.hpp>
#include <tests/simplex/remeshing_fixtures.hpp>
#include <tests/support/brep_checks.hpp>
#include <tests/support/brep_fixtures.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;

    BRepRemeshOptions with_blocks()
    {
        BRepRemeshOptions options;
        options.mesh_blocks = true;
        return options;
    }

    /// Per block in model order, its points in vertex order and its
    /// tetrahedra.
    struct BlockMeshes
    {
        std::vector< std::vector< Point< 3 > > > points;
        std::vector< std::vector< std::array< index_t, 4 > > > tetrahedra;
        bool operator==( const BlockMeshes& ) const = default;
    };

    BlockMeshes block_meshes( const BRep& model )
    {
        BlockMeshes meshes;
        for( const auto& block : model.blocks() )
        {
            const auto& solid = block_solid( model, block );
            auto& points = meshes.points.emplace_back();
            for( index_t v = 0; v < solid.nb_vertices(); v++ )
            {
                points.push_back( solid.point( v ) );
            }
            auto& tetrahedra = meshes.tetrahedra.emplace_back();
            for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
            {
                const auto v = solid.polyhedron_vertices( t );
                tetrahedra.push_back( { v[0], v[1], v[2], v[3] } );
            }
        }
        return meshes;
    }

    /// The share of the block edges whose length lies within [0.5, 1.5]
    /// times the metric, and the mean edge length over the metric.
    std::pair< double, double > edge_lengths( const BRep& model, double metric )
    {
        index_t nb_edges = 0;
        index_t nb_near = 0;
        double total = 0;
        for( const auto& block : model.blocks() )
        {
            const auto& solid = block_solid( model, block );
            for( index_t t = 0; t < solid.nb_polyhedra(); t++ )
            {
                const auto v = solid.polyhedron_vertices( t );
                for( local_index_t i = 0; i < 4; i++ )
                {
                    for( auto j = static_cast< local_index_t >( i + 1 ); j < 4; j++ )
                    {
                        const auto ratio =
                            Vector< 3 >{ solid.point( v[i] ), solid.point( v[j] ) }.length() / metric;
                        total += ratio;
                        nb_edges++;
                        nb_near += ratio >= 0.5 && ratio <= 1.5 ? 1 : 0;
                    }
                }
            }
        }
        return { static_cast< double >( nb_near ) / nb_edges, total / nb_edges };
    }

    struct Scene
    {
        const char* name;
        BRep ( *make )( index_t );
        index_t n;
        double metric;
        index_t nb_blocks;
        index_t nb_internal_surfaces;
    };

    /// Remeshes the scene with block meshing and checks every block mesh,
    /// the whole model, the edge lengths and the order of the block stages.
    void expect_conformal_block_meshes( const std::vector< Scene >& scenes )
    {
        for( const auto& [name, make, n, size, nb_blocks, nb_internal_surfaces] : scenes )
        {
            SCOPED_TRACE( name );
            SimplexBRepLibrary::initialize();
            const ConstantMetric< 3 > metric{ size };
            LoggerCapture capture;
            auto [output, mapping] = remesh_brep( make( n ), metric, with_blocks() );
            ASSERT_EQ( output.nb_blocks(), nb_blocks );
            index_t nb_internal = 0;
            for( const auto& block : output.blocks() )
            {
                for( const auto& surface : output.internal_surfaces( block ) )
                {
                    (void) surface;
                    nb_internal++;
                }
                expect_valid_block_mesh( output, block );
            }
            EXPECT_EQ( nb_internal, nb_internal_surfaces );
            EXPECT_TRUE( is_valid_brep( output ) );
            const auto [share, mean] = edge_lengths( output, size );
            EXPECT_GT( share, 0.9 );
            EXPECT_GT( mean, 0.8 );
            EXPECT_LT( mean, 1.25 );
            ::testing::Test::RecordProperty( std::string{ name } + " share near metric", std::to_string( share ) );
            std::vector< std::string > stages;
            for( const auto& message : capture.messages() )
            {
                if( message.text.ends_with( "Blocks started" ) )
                {
                    stages.push_back( message.text );
                }
            }
            EXPECT_EQ( stages, ( std::vector< std::string >{ "Pre-process Blocks started",
                                   "Meshing Blocks started", "Relaxing Blocks started" } ) );
        }
    }

    TEST( BlockMeshing, remeshed_blocks_are_conformal_to_their_surfaces )
    {
        expect_conformal_block_meshes( { { "cube", &cube_model, 4, 0.34, 1, 0 },
            { "horizon in a cube", &horizon_in_a_cube, 4, 0.3, 2, 0 } } );
    }

    TEST( BlockMeshing, remeshed_blocks_hold_their_internal_surfaces )
    {
        expect_conformal_block_meshes(
            { { "free square in a cube", &free_square_in_a_cube, 4, 0.25, 1, 1 } } );
    }

    TEST( BlockMeshing, concurrent_blocks_give_the_same_meshes_as_one_at_a_time )
    {
        SimplexBRepLibrary::initialize();
        const ConstantMetric< 3 > metric{ 0.34 };
        const auto run = [&metric] {
            auto model = horizon_in_a_cube( 4 );
            const auto [output, mapping] = remesh_brep( std::move( model ), metric, with_blocks() );
            return block_meshes( output );
        };
        const auto concurrent = run();
        tbb::task_arena single{ 1 };
        const auto serial = single.execute( run );
        ASSERT_EQ( concurrent.points.size(), 2 );
        EXPECT_TRUE( concurrent == serial );
    }

    TEST( BlockMeshing, a_failing_block_stops_registration_after_the_blocks_before_it )
    {
        // The first block is the closed unit corner tetrahedron; the second
        // is bounded by three of its faces only, an open tent in which the
        // tetrahedralisation keeps nothing.
        SimplexBRepLibrary::initialize();
        auto fixture = tetrahedron_model();
        auto& model = fixture.model;
        BRepBuilder builder{ model };
        const auto second_id = builder.add_block();
        for( const index_t f : { 0, 1, 2 } )
        {
            builder.add_surface_block_boundary_relationship(
                model.surface( fixture.surfaces[f] ), model.block( second_id ) );
        }
        const auto& first = model.block( fixture.block );
        const auto& second = model.block( second_id );
        ASSERT_EQ( model.blocks().begin()->id(), fixture.block );
        const ConstantMetric< 3 > metric{ 0.25 };
        try
        {
            internal::mesh_blocks( model, builder, metric );
            ADD_FAILURE() << "no failure";
        }
        catch( const OpenOrvaneException& error )
        {
            EXPECT_EQ( std::string{ error.what() },
                "[TetgenMesher::assign_result] Generated mesh is empty" );
        }
        const auto& meshed = block_solid( model, first );
        ASSERT_GT( meshed.nb_polyhedra(), 0 );
        for( index_t v = 0; v < meshed.nb_vertices(); v++ )
        {
            EXPECT_NE( model.unique_vertex( { first.component_id(), v } ), NO_ID ) << v;
        }
        EXPECT_EQ( block_solid( model, second ).nb_polyhedra(), 0 );
    }
} // namespace
