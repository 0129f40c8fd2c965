#include <cmath>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

#include <simplex/metric/constant_metric.hpp>
#include <simplex/simplex_brep_library.hpp>
#include <simplex/surface/surface_remesher_3d.hpp>

#include <tests/support/surface_checks.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::internal;

    /// An n x n grid over [0, 1]^2 lifted onto a gentle dome; vertex (i, j)
    /// is i + (n + 1) j.
    std::unique_ptr< TriangulatedSurface< 3 > > dome( index_t n )
    {
        SimplexBRepLibrary::initialize();
        std::vector< Point< 3 > > points;
        for( index_t j = 0; j <= n; j++ )
        {
            for( index_t i = 0; i <= n; i++ )
            {
                const auto x = double( i ) / n;
                const auto y = double( j ) / n;
                points.push_back( Point< 3 >{
                    { x, y, 0.2 * std::sin( M_PI * x ) * std::sin( M_PI * y ) } } );
            }
        }
        return test::create_triangulated_surface< 3 >( points, test::grid_triangles( n, n ) );
    }

    std::vector< index_t > border_vertices( index_t n )
    {
        std::vector< index_t > border;
        for( index_t v = 0; v < ( n + 1 ) * ( n + 1 ); v++ )
        {
            const auto i = v % ( n + 1 );
            const auto j = v / ( n + 1 );
            if( i == 0 || j == 0 || i == n || j == n )
            {
                border.push_back( v );
            }
        }
        return border;
    }
} // namespace

TEST( HolePieceRemesher, flattened_piece_loses_its_collar_and_gains_chord_fans )
{
    // A 2 x 2 dome grid; triangle 0 plays the collar, and the chain 0-1-2
    // (the bottom row) is closed by a fan from the middle of its chord.
    const auto piece = dome( 2 );
    const ConstantMetric< 3 > metric{ 0.5 };
    const std::vector< index_t > fixed{ 0, 2 };
    const std::vector< index_t > collar{ 0 };
    HolePieceRemesher remesher{ metric, fixed, *piece, collar, { { 0, 1, 2 }, { 2, 5 } } };
    auto flattened = remesher.parameterize_piece();
    ASSERT_EQ( flattened->nb_vertices(), 9u );
    for( index_t v = 0; v < 9; v++ )
    {
        EXPECT_EQ( remesher.lifted_point( v ), piece->point( v ) );
    }
    const auto nb_polygons = flattened->nb_polygons();
    remesher.prepare_flattened_piece( *flattened );
    // One collar triangle gone, two fan triangles for the three-vertex
    // chain, none for the two-vertex one.
    EXPECT_EQ( flattened->nb_polygons(), nb_polygons - 1 + 2 );
    ASSERT_EQ( flattened->nb_vertices(), 10u );
    EXPECT_EQ( remesher.lifted_point( 9 ), ( piece->point( 0 ) + piece->point( 2 ) ) * 0.5 );
    const auto expected_middle = ( flattened->point( 0 ) + flattened->point( 2 ) ) * 0.5;
    EXPECT_EQ( flattened->point( 9 ), expected_middle );
    const auto last = flattened->nb_polygons() - 1;
    EXPECT_EQ( flattened->polygon_vertex( { last, 0 } ), 9u );
    EXPECT_EQ( flattened->polygon_vertex( { last, 1 } ), 1u );
    EXPECT_EQ( flattened->polygon_vertex( { last, 2 } ), 2u );
}

TEST( HolePieceRemesher, curved_piece_is_remeshed_in_the_plane_and_lifted )
{
    constexpr index_t n = 8;
    const auto piece = dome( n );
    const ConstantMetric< 3 > metric{ 0.25 };
    const auto fixed = border_vertices( n );
    HolePieceRemesher remesher{ metric, fixed, *piece, {}, {} };
    const auto result = remesher.remesh();
    const auto& mesh = *result.mesh;
    ASSERT_GT( mesh.nb_polygons(), 0u );
    ASSERT_EQ( result.created_vertices.size(), mesh.nb_vertices() );
    test::SurfaceCheckOptions options;
    options.check_complete_adjacency = result.holes.empty();
    EXPECT_TRUE( test::is_valid_triangulated_surface( mesh, options ) );
    for( index_t v = 0; v < mesh.nb_vertices(); v++ )
    {
        const auto [macro, is_fixed] = result.created_vertices[v];
        if( is_fixed )
        {
            EXPECT_EQ( mesh.point( v ), piece->point( macro ) ) << v;
        }
        // Lifted points stay on the dome's side of the base plane and
        // within its height.
        EXPECT_GE( mesh.point( v ).value( 2 ), -1e-12 ) << v;
        EXPECT_LE( mesh.point( v ).value( 2 ), 0.2 + 1e-12 ) << v;
    }
    // No triangle turned against the dome (all normals point up).
    for( index_t p = 0; p < mesh.nb_polygons(); p++ )
    {
        const auto normal = mesh.triangle( p ).normal();
        ASSERT_TRUE( normal ) << p;
        EXPECT_GT( normal->value( 2 ), 0. ) << p;
    }
}
