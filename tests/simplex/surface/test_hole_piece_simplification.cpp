#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

#include <simplex/simplex_brep_library.hpp>
#include <simplex/surface/hole_piece_simplification.hpp>

#include <tests/support/surface_checks.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::internal;

    /// A hole piece over an n x n grid of unit squares (vertex (i, j) is
    /// i + (n + 1) j); `locked(v)` tells which vertices have an output
    /// vertex (output vertex 100 + v).
    template < index_t dimension, typename Locked >
    FrontalHolePiece< dimension > grid_piece( index_t n, Locked locked )
    {
        SimplexBRepLibrary::initialize();
        std::vector< Point< dimension > > points;
        for( index_t j = 0; j <= n; j++ )
        {
            for( index_t i = 0; i <= n; i++ )
            {
                Point< dimension > point;
                point.set_value( 0, i );
                point.set_value( 1, j );
                if constexpr( dimension == 3 )
                {
                    point.set_value( 2, 0.1 * i * j );
                }
                points.push_back( point );
            }
        }
        FrontalHolePiece< dimension > piece;
        piece.mesh = test::create_triangulated_surface< dimension >(
            points, test::grid_triangles( n, n ) );
        for( index_t v = 0; v < points.size(); v++ )
        {
            piece.output_vertices.push_back( locked( v ) ? 100 + v : NO_ID );
            piece.macro_vertices.push_back( v );
        }
        return piece;
    }

    bool on_grid_border( index_t v, index_t n )
    {
        const auto i = v % ( n + 1 );
        const auto j = v / ( n + 1 );
        return i == 0 || j == 0 || i == n || j == n;
    }

    /// The lock values carried by vertices that still lie in a live polygon.
    template < index_t dimension >
    std::multiset< index_t > live_locks( HolePieceEditor< dimension >& editor )
    {
        std::multiset< index_t > locks;
        const auto& mesh = editor.mesh();
        std::vector< bool > used( mesh.nb_vertices(), false );
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            if( !editor.modifier().is_polygon_active( p ) )
            {
                continue;
            }
            for( const local_index_t k : { 0, 1, 2 } )
            {
                used[mesh.polygon_vertex( { p, k } )] = true;
            }
        }
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            if( used[v] && editor.is_locked( v ) )
            {
                locks.insert( editor.locks().value( v ) );
            }
        }
        return locks;
    }

    template < index_t dimension >
    void expect_grid_reduced_to_its_border()
    {
        constexpr index_t n = 3;
        auto piece = grid_piece< dimension >( n, []( index_t v ) { return on_grid_border( v, n ); } );
        {
            HolePieceEditor< dimension > editor{ piece };
            collapse_unlocked_edges( editor );
            collapse_unlocked_border_edges( editor );
            const auto& mesh = editor.mesh();
            ASSERT_EQ( mesh.nb_vertices(), 12u );
            std::set< index_t > locks;
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                ASSERT_TRUE( editor.is_locked( v ) ) << v;
                locks.insert( editor.locks().value( v ) );
                EXPECT_EQ( mesh.point( v ), piece.mesh->point( v ) );
            }
            EXPECT_EQ( locks.size(), 12u );
            test::SurfaceCheckOptions options;
            options.check_degenerate = dimension == 2;
            EXPECT_TRUE( test::is_valid_triangulated_surface( mesh, options ) );
            if constexpr( dimension == 2 )
            {
                for( index_t p = 0; p < mesh.nb_polygons(); p++ )
                {
                    const auto triangle = mesh.triangle( p );
                    const auto& corners = triangle.vertices();
                    EXPECT_GT( ( corners[1].value( 0 ) - corners[0].value( 0 ) )
                                       * ( corners[2].value( 1 ) - corners[0].value( 1 ) )
                                   - ( corners[1].value( 1 ) - corners[0].value( 1 ) )
                                         * ( corners[2].value( 0 ) - corners[0].value( 0 ) ),
                        0. )
                        << p;
                }
            }
        }
        EXPECT_FALSE( piece.mesh->vertex_attribute_manager().attribute_exists(
            HOLE_PIECE_LOCKS ) );
    }
} // namespace

TEST( HolePieceSimplification, free_interior_vertices_collapse_onto_the_locked_border )
{
    expect_grid_reduced_to_its_border< 2 >();
    expect_grid_reduced_to_its_border< 3 >();
}

TEST( HolePieceSimplification, a_fully_locked_piece_is_left_unchanged )
{
    auto piece = grid_piece< 3 >( 2, []( index_t ) { return true; } );
    const auto nb_polygons = piece.mesh->nb_polygons();
    HolePieceEditor< 3 > editor{ piece };
    collapse_unlocked_edges( editor );
    collapse_unlocked_border_edges( editor );
    EXPECT_EQ( editor.mesh().nb_polygons(), nb_polygons );
    EXPECT_EQ( editor.mesh().nb_vertices(), 9u );
}

TEST( HolePieceSimplification, interior_pass_never_loses_a_lock )
{
    // Seeded lock patterns on a 5 x 5 grid: after the interior pass every
    // lock still sits on a vertex of a live polygon; after the border pass
    // no free vertex is left on the border.
    for( const unsigned seed : { 1u, 2u, 3u, 4u, 5u, 6u } )
    {
        SCOPED_TRACE( seed );
        std::mt19937 random{ seed };
        std::vector< bool > locked( 36 );
        for( auto&& value : locked )
        {
            value = random() % 3 == 0;
        }
        auto piece = grid_piece< 3 >( 5, [&locked]( index_t v ) { return locked[v]; } );
        HolePieceEditor< 3 > editor{ piece };
        std::multiset< index_t > expected;
        for( index_t v = 0; v < 36; v++ )
        {
            if( locked[v] )
            {
                expected.insert( v );
            }
        }
        collapse_unlocked_edges( editor );
        EXPECT_EQ( live_locks( editor ), expected );
        collapse_unlocked_border_edges( editor );
        const auto& mesh = editor.mesh();
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            for( const local_index_t e : { 0, 1, 2 } )
            {
                if( mesh.is_edge_on_border( { p, e } ) )
                {
                    EXPECT_TRUE( editor.is_locked( mesh.polygon_edge_vertex( { p, e }, 0 ) ) );
                }
            }
        }
    }
}

TEST( HolePieceSimplification, pinched_vertices_are_split_per_fan_with_their_lock )
{
    // Two triangles meeting only at vertex 0 (locked), and a free vertex 1.
    SimplexBRepLibrary::initialize();
    FrontalHolePiece< 3 > piece;
    piece.mesh = test::create_triangulated_surface< 3 >(
        { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 1., 0., 0. } },
            Point< 3 >{ { 1., 1., 0. } }, Point< 3 >{ { -1., 0., 0. } },
            Point< 3 >{ { -1., -1., 0. } } },
        { { 0, 1, 2 }, { 0, 3, 4 } } );
    piece.output_vertices = { 10, NO_ID, 12, 13, 14 };
    HolePieceEditor< 3 > editor{ piece };
    const auto& mesh = editor.mesh();
    ASSERT_EQ( mesh.nb_vertices(), 6u );
    EXPECT_NE( mesh.polygon_vertex( { 0, 0 } ), mesh.polygon_vertex( { 1, 0 } ) );
    EXPECT_EQ( editor.locks().value( mesh.polygon_vertex( { 0, 0 } ) ), 0u );
    EXPECT_EQ( editor.locks().value( mesh.polygon_vertex( { 1, 0 } ) ), 0u );
    EXPECT_EQ( mesh.point( 5 ), mesh.point( 0 ) );
}

namespace
{
    /// Free vertex 1 on the border 0 -> 1 -> 2 of a flat piece whose other
    /// vertices are locked; moving 1 onto 2 would turn triangle (1, 3, 4),
    /// moving it onto 0 turns nothing.
    template < index_t dimension >
    FrontalHolePiece< dimension > notch_piece()
    {
        SimplexBRepLibrary::initialize();
        const std::vector< std::array< double, 2 > > coordinates{ { 0., 0. }, { 1., 0. },
            { 2., 0. }, { 1.5, 0.5 }, { 1.5, 1. }, { 0., 1. }, { 2., 1. } };
        std::vector< Point< dimension > > points;
        for( const auto& [x, y] : coordinates )
        {
            Point< dimension > point;
            point.set_value( 0, x );
            point.set_value( 1, y );
            points.push_back( point );
        }
        FrontalHolePiece< dimension > piece;
        piece.mesh = test::create_triangulated_surface< dimension >( points,
            { { 1, 2, 3 }, { 1, 3, 4 }, { 0, 1, 4 }, { 0, 4, 5 }, { 2, 6, 3 }, { 3, 6, 4 } } );
        piece.output_vertices = { 10, NO_ID, 12, 13, 14, 15, 16 };
        return piece;
    }

    template < index_t dimension >
    void expect_border_pass_keeps_orientations()
    {
        auto piece = notch_piece< dimension >();
        HolePieceEditor< dimension > editor{ piece };
        collapse_unlocked_border_edges( editor );
        const auto& mesh = editor.mesh();
        ASSERT_EQ( mesh.nb_vertices(), 6u );
        ASSERT_EQ( mesh.nb_polygons(), 5u );
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            EXPECT_TRUE( editor.is_locked( v ) ) << v;
        }
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            const auto triangle = mesh.triangle( p );
            const auto& corners = triangle.vertices();
            EXPECT_GT( ( corners[1].value( 0 ) - corners[0].value( 0 ) )
                               * ( corners[2].value( 1 ) - corners[0].value( 1 ) )
                           - ( corners[1].value( 1 ) - corners[0].value( 1 ) )
                                 * ( corners[2].value( 0 ) - corners[0].value( 0 ) ),
                0. )
                << p;
        }
    }
} // namespace

TEST( HolePieceSimplification, border_pass_moves_a_free_vertex_the_way_that_turns_nothing )
{
    expect_border_pass_keeps_orientations< 2 >();
    expect_border_pass_keeps_orientations< 3 >();
}
