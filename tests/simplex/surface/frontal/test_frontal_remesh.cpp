#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/logger.hpp>

#include <simplex/surface/frontal/candidate_walker.hpp>
#include <simplex/surface/frontal/propagate_along_macro_edge.hpp>

#include <tests/simplex/surface/frontal/frontal_fixtures.hpp>
#include <tests/simplex/surface/frontal/frontal_result_checks.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::internal;

    using Placement = std::function< std::array< double, 3 >( double, double ) >;

    /// A grid of n x n squares over the unit square, each square cut along
    /// its bottom-left to top-right diagonal; vertex (i, j) is
    /// i + (n + 1) j and sits at place(i / n, j / n).
    template < index_t dimension >
    test::EditableSurface< dimension > unit_square_grid(
        index_t n, const Placement& place )
    {
        test::initialize_surface_meshes();
        std::vector< std::array< double, 3 > > points;
        for( index_t j = 0; j <= n; j++ )
        {
            for( index_t i = 0; i <= n; i++ )
            {
                points.push_back( place( double( i ) / n, double( j ) / n ) );
            }
        }
        return test::make_surface< dimension >( points, test::grid_triangles( n, n ) );
    }

    std::array< double, 3 > flat( double x, double y )
    {
        return { x, y, 0. };
    }

    /// The unit square turned about the axis (1, 1, 0) by 30 degrees.
    std::array< double, 3 > tilted( double x, double y )
    {
        const auto angle = std::numbers::pi / 6;
        const auto c = std::cos( angle );
        const auto s = std::sin( angle );
        const auto half = ( 1 - c ) / 2;
        const auto k = s / std::numbers::sqrt2;
        return { x * ( c + half ) + y * half, x * half + y * ( c + half ),
            k * ( x - y ) };
    }

    constexpr double WAVE_AMPLITUDE = 0.08;

    std::array< double, 3 > wavy( double x, double y )
    {
        return { x, y,
            WAVE_AMPLITUDE * std::sin( 2 * std::numbers::pi * x )
                * std::sin( 3 * std::numbers::pi * y ) };
    }

    /// The upward normal of the wavy surface at (x, y).
    std::array< double, 3 > wavy_normal( double x, double y )
    {
        const auto a = WAVE_AMPLITUDE;
        const auto pi = std::numbers::pi;
        return { -a * 2 * pi * std::cos( 2 * pi * x ) * std::sin( 3 * pi * y ),
            -a * 3 * pi * std::sin( 2 * pi * x ) * std::cos( 3 * pi * y ), 1. };
    }

    /// The border vertices of the grid counter-clockwise from vertex 0.
    std::vector< index_t > border_ring( index_t n )
    {
        std::vector< index_t > ring;
        const auto at = [n]( index_t i, index_t j ) {
            return i + ( n + 1 ) * j;
        };
        for( index_t i = 0; i < n; i++ )
        {
            ring.push_back( at( i, 0 ) );
        }
        for( index_t j = 0; j < n; j++ )
        {
            ring.push_back( at( n, j ) );
        }
        for( index_t i = n; i > 0; i-- )
        {
            ring.push_back( at( i, n ) );
        }
        for( index_t j = n; j > 0; j-- )
        {
            ring.push_back( at( 0, j ) );
        }
        return ring;
    }

    /// Every `step`-th vertex of the border ring, from vertex 0.
    std::vector< index_t > every_nth_border_vertex( index_t n, index_t step )
    {
        const auto ring = border_ring( n );
        std::vector< index_t > fixed;
        for( std::size_t k = 0; k < ring.size(); k += step )
        {
            fixed.push_back( ring[k] );
        }
        return fixed;
    }

    template < index_t dimension >
    FrontalResult< dimension > run( test::FrontalFixture< dimension >& fixture )
    {
        FrontalResult< dimension > result;
        fixture.remesher->remesh( result );
        return result;
    }

    /// The output vertex of each fixed macro vertex, in the order given.
    template < index_t dimension >
    std::vector< index_t > fixed_outputs( const FrontalResult< dimension >& result,
        const std::vector< index_t >& fixed )
    {
        std::vector< index_t > outputs;
        for( const auto vertex : fixed )
        {
            index_t found{ NO_ID };
            for( index_t o = 0; o < result.created_vertices.size(); o++ )
            {
                if( result.created_vertices[o]
                    == std::pair< index_t, bool >{ vertex, true } )
                {
                    found = o;
                }
            }
            outputs.push_back( found );
        }
        return outputs;
    }

    /// The stitched border must be exactly the chain of fixed vertices.
    template < index_t dimension >
    void expect_border_is_fixed_chain( const test::StitchedSurface& stitched,
        const FrontalResult< dimension >& result,
        const std::vector< index_t >& fixed )
    {
        const auto outputs = fixed_outputs( result, fixed );
        std::vector< std::pair< index_t, index_t > > expected;
        for( std::size_t k = 0; k < outputs.size(); k++ )
        {
            ASSERT_NE( outputs[k], NO_ID ) << "fixed vertex " << fixed[k];
            expected.emplace_back( outputs[k], outputs[( k + 1 ) % outputs.size()] );
        }
        std::sort( expected.begin(), expected.end() );
        EXPECT_EQ( test::border_edges( *stitched.mesh ), expected );
    }

    test::SurfaceCheckOptions stitched_checks()
    {
        test::SurfaceCheckOptions options;
        options.check_manifold_edges = true;
        return options;
    }

    TEST( FrontalRemesh, unit_square_in_the_plane_is_covered_by_counter_clockwise_triangles_of_the_target_size )
    {
        const auto fixed = every_nth_border_vertex( 4, 1 );
        test::FrontalFixture< 2 > fixture{ unit_square_grid< 2 >( 4, flat ), fixed,
            0.25 };
        const auto result = run( fixture );
        const auto& mesh = *result.mesh;
        ASSERT_GT( mesh.nb_polygons(), 0u );
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            const auto normal = test::area_vector( test::flat_triangle( mesh, p ) );
            EXPECT_GT( normal[2], 0. ) << "triangle " << p;
        }
        const auto stitched = test::stitch( result );
        EXPECT_NEAR( stitched.output_area + stitched.hole_area, 1., 1e-9 );
        const auto quality = test::mesh_quality( mesh, 0.25 );
        EXPECT_GE( quality.min_edge, 0.5 * 0.25 );
        EXPECT_LE( quality.max_edge, 2 * 0.25 );
        EXPECT_TRUE(
            test::is_valid_triangulated_surface( *stitched.mesh, stitched_checks() ) );
        expect_border_is_fixed_chain( stitched, result, fixed );
    }

    TEST( FrontalRemesh, unit_square_in_space_keeps_every_output_vertex_on_the_input_plane )
    {
        const auto fixed = every_nth_border_vertex( 4, 1 );
        for( const auto& [name, place] :
            { std::pair< std::string, Placement >{ "flat", flat },
                { "tilted", tilted } } )
        {
            SCOPED_TRACE( name );
            test::FrontalFixture< 3 > fixture{ unit_square_grid< 3 >( 4, place ),
                fixed, 0.25 };
            const auto result = run( fixture );
            const auto& mesh = *result.mesh;
            ASSERT_GT( mesh.nb_polygons(), 0u );
            // The plane of the square: origin place(0, 0), axes place(1, 0)
            // and place(0, 1) from it.
            const auto origin = place( 0, 0 );
            const auto u = test::difference( place( 1, 0 ), origin );
            const auto v = test::difference( place( 0, 1 ), origin );
            const auto normal = test::cross( u, v );
            const auto dot = []( const std::array< double, 3 >& a,
                                 const std::array< double, 3 >& b ) {
                return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
            };
            for( index_t o = 0; o < mesh.nb_vertices(); o++ )
            {
                const auto offset =
                    test::difference( test::coordinates( mesh.point( o ) ), origin );
                EXPECT_NEAR( dot( offset, normal ), 0., 1e-9 ) << "vertex " << o;
                EXPECT_GE( dot( offset, u ), -1e-9 );
                EXPECT_LE( dot( offset, u ), 1 + 1e-9 );
                EXPECT_GE( dot( offset, v ), -1e-9 );
                EXPECT_LE( dot( offset, v ), 1 + 1e-9 );
            }
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                EXPECT_GT(
                    dot( test::area_vector( test::flat_triangle( mesh, p ) ), normal ),
                    0. )
                    << "triangle " << p;
            }
            const auto stitched = test::stitch( result );
            EXPECT_NEAR( stitched.output_area + stitched.hole_area, 1., 1e-9 );
            EXPECT_TRUE( test::is_valid_triangulated_surface(
                *stitched.mesh, stitched_checks() ) );
            expect_border_is_fixed_chain( stitched, result, fixed );
        }
    }

    /// The regular octahedron with vertices on the unit axes, triangles
    /// facing outwards.
    test::EditableSurface< 3 > octahedron()
    {
        test::initialize_surface_meshes();
        return test::make_surface< 3 >( { { 1, 0, 0 }, { 0, 1, 0 }, { -1, 0, 0 },
                                            { 0, -1, 0 }, { 0, 0, 1 }, { 0, 0, -1 } },
            { { 0, 1, 4 }, { 1, 2, 4 }, { 2, 3, 4 }, { 3, 0, 4 }, { 1, 0, 5 },
                { 2, 1, 5 }, { 3, 2, 5 }, { 0, 3, 5 } } );
    }

    TEST( FrontalRemesh, closed_octahedron_starts_from_a_seed_triangle_and_ends_covered )
    {
        test::FrontalFixture< 3 > fixture{ octahedron(), {}, 0.5 };
        auto& state = fixture.state();
        fixture.prepare();
        state.initialize_queue();
        ASSERT_EQ( state.front.size(), 3u );
        ASSERT_EQ( state.element_vertices_.size(), 3u );
        const auto seed = fixture.surface.mesh->polygon_vertices( 0 );
        EXPECT_EQ( state.element_vertices_[0], std::make_pair( seed[1], seed[0] ) );
        EXPECT_EQ( state.element_vertices_[1], std::make_pair( seed[2], seed[1] ) );
        EXPECT_EQ( state.element_vertices_[2], std::make_pair( seed[0], seed[2] ) );
        for( index_t e = 0; e < 3; e++ )
        {
            EXPECT_EQ( state.element_triangles[e], std::make_pair( index_t{ 0 }, NO_ID ) );
            EXPECT_EQ( state.edge_info->value( 0 )[e].size(), 1u );
            EXPECT_EQ( state.edge_info->value( 0 )[e][0], e );
        }
        EXPECT_EQ( state.front.top().kind, 1u );
        state.advance_front();
        const auto result = state.finish();
        ASSERT_GT( result.mesh->nb_polygons(), 1u );
        for( index_t p = 0; p < fixture.surface.mesh->nb_polygons(); p++ )
        {
            if( state.modifier->is_polygon_active( p ) )
            {
                EXPECT_NE( state.triangle_info->value( p ), NO_ID ) << "polygon " << p;
            }
        }
        const auto stitched = test::stitch( result );
        EXPECT_TRUE(
            test::is_valid_triangulated_surface( *stitched.mesh, stitched_checks() ) );
        EXPECT_TRUE( test::border_edges( *stitched.mesh ).empty() );
    }

    TEST( FrontalFront, disc_with_four_fixed_border_vertices_gives_four_border_elements )
    {
        test::initialize_surface_meshes();
        auto mesh = test::triangle_fan< 3 >( 8, true );
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *mesh );
        test::FrontalFixture< 3 > fixture{ { std::move( mesh ), std::move( builder ) },
            { 1, 3, 5, 7 } };
        auto& state = fixture.state();
        fixture.prepare();
        state.initialize_queue();
        ASSERT_EQ( state.front.size(), 4u );
        ASSERT_EQ( state.element_vertices_.size(), 4u );
        auto queue = state.front;
        while( !queue.empty() )
        {
            EXPECT_EQ( queue.top().kind, 0u );
            queue.pop();
        }
        const auto& surface = *fixture.surface.mesh;
        for( index_t e = 0; e < 4; e++ )
        {
            const auto [v0, v1] = state.element_vertices_[e];
            EXPECT_EQ( state.element_triangles[e], std::make_pair( NO_ID, NO_ID ) );
            // Each stretch is two ring edges, both listing the element.
            const auto middle = v0 % 8 + 1;
            EXPECT_EQ( v1, middle % 8 + 1 );
            for( const auto& [from, to] :
                { std::pair{ v0, middle }, std::pair{ middle, v1 } } )
            {
                const auto edge = surface.polygon_edge_from_vertices( from, to ).value();
                ASSERT_TRUE( surface.is_edge_on_border( edge ) );
                EXPECT_TRUE( state.edge_info_holds( edge, e ) );
            }
        }
        // No seed triangle on a surface with border elements.
        EXPECT_EQ( fixture.remesher->output().mesh->nb_polygons(), 0u );
    }

    TEST( FrontalFront, border_stretch_of_at_most_10000_edges )
    {
        for( const index_t nb_edges : { 10000u, 10001u } )
        {
            SCOPED_TRACE( nb_edges );
            test::initialize_surface_meshes();
            // An open fan: the ring from 1 to nb_edges + 1 is one stretch.
            auto mesh = test::triangle_fan< 2 >( nb_edges, false );
            auto builder = TriangulatedSurfaceBuilder< 2 >::create( *mesh );
            test::FrontalFixture< 2 > fixture{ { std::move( mesh ), std::move( builder ) },
                { 0, 1, nb_edges + 1 } };
            fixture.prepare();
            if( nb_edges <= 10000 )
            {
                fixture.state().initialize_queue();
                EXPECT_EQ( fixture.state().front.size(), 3u );
                continue;
            }
            try
            {
                fixture.state().initialize_queue();
                ADD_FAILURE() << "no exception";
            }
            catch( const OpenOrvaneException& exception )
            {
                EXPECT_EQ( std::string{ exception.what() },
                    "[Frontal::initialize_queue] macro edge too long" );
            }
        }
    }

    TEST( FrontalCycles, figure_eight_of_open_elements_gives_two_cycles )
    {
        test::FrontalFixture< 2 > fixture{ test::flat_grid< 2 >( 4, 2 ) };
        fixture.prepare();
        // Two counter-clockwise squares of single-edge elements meeting at
        // vertex 7 = (2, 1).
        for( const auto& [from, to] : std::vector< std::pair< index_t, index_t > >{
                 { 7, 6 }, { 6, 1 }, { 1, 2 }, { 2, 7 }, { 7, 8 }, { 8, 13 },
                 { 13, 12 }, { 12, 7 } } )
        {
            fixture.add_element( { from, to } );
        }
        const auto cycles = fixture.state().macro_edges_cycles();
        ASSERT_EQ( cycles.size(), 2u );
        EXPECT_EQ( cycles[0], ( std::vector< index_t >{ 0, 1, 2, 3 } ) );
        EXPECT_EQ( cycles[1], ( std::vector< index_t >{ 4, 5, 6, 7 } ) );
        // Closing the first square leaves one cycle.
        for( index_t e = 0; e < 4; e++ )
        {
            fixture.state().element_triangles[e].second = 0;
        }
        const auto left = fixture.state().macro_edges_cycles();
        ASSERT_EQ( left.size(), 1u );
        EXPECT_EQ( left[0], ( std::vector< index_t >{ 4, 5, 6, 7 } ) );
    }

    /// A plane remesher that counts its candidate searches.
    class CountingRemesher final : public FrontalRemesher< 2 >
    {
    public:
        using FrontalRemesher< 2 >::FrontalRemesher;

        std::optional< std::vector< SurfacePathCrossing > > find_macro_path(
            const FrontalQueueElement< 2 >&, index_t a, index_t b ) override
        {
            PropagateAlongSurfaceMacroEdge2D walker{ state().macro, a, b, state() };
            return walker.find_path();
        }

        std::vector< SurfaceCut< 2 > > determine_cuts(
            index_t a, index_t b, absl::Span< const SurfacePathCrossing > path ) override
        {
            return orvane::determine_cuts< 2 >( state().macro, a, b, path );
        }

        std::vector< index_t > crossings_off_segment(
            index_t, index_t, absl::Span< const SurfaceCut< 2 > >, double ) override
        {
            return {};
        }

        std::optional< FrontalCandidate< 2 > > candidate_point(
            const FrontalQueueElement< 2 >& element, const Point< 2 >& query ) override
        {
            searches++;
            return frontal_candidate_point< 2 >( state(), element, query );
        }

        bool is_well_oriented(
            const FrontalQueueElement< 2 >&, const Point< 2 >&, index_t ) override
        {
            return true;
        }

        index_t searches{ 0 };
    };

    TEST( FrontalLoop, queued_element_closed_meanwhile_is_dropped )
    {
        auto surface = unit_square_grid< 2 >( 4, flat );
        const auto fixed = every_nth_border_vertex( 4, 1 );
        const ConstantMetric< 2 > metric{ 0.25 };
        CountingRemesher remesher{ *surface.mesh, *surface.builder, metric, fixed };
        auto& state = remesher.state();
        state.prepare_macro_surface();
        state.create_macro_attributes();
        state.initialize_queue();
        ASSERT_EQ( state.element_vertices_.size(), 16u );
        const auto entry = [&]( index_t element ) {
            const auto [v0, v1] = state.element_vertices( element );
            return FrontalQueueElement< 2 >{ *surface.mesh, metric, v0, v1, 0, element };
        };
        while( !state.front.empty() )
        {
            state.front.pop();
        }
        state.element_triangles[0].second = 0;
        state.front.push( entry( 0 ) );
        state.advance_front();
        EXPECT_EQ( remesher.searches, 0u );
        state.front.push( entry( 1 ) );
        state.advance_front();
        EXPECT_GE( remesher.searches, 1u );
        EXPECT_NE( state.element_triangles[1].second, NO_ID );
    }

    TEST( FrontalRemesh, two_runs_give_identical_output )
    {
        const auto fixed = every_nth_border_vertex( 10, 1 );
        const auto remesh_once = [&] {
            test::FrontalFixture< 3 > fixture{ unit_square_grid< 3 >( 10, wavy ),
                fixed, 0.12 };
            return run( fixture );
        };
        const auto first = remesh_once();
        const auto second = remesh_once();
        const auto& a = *first.mesh;
        const auto& b = *second.mesh;
        ASSERT_EQ( a.nb_vertices(), b.nb_vertices() );
        ASSERT_EQ( a.nb_polygons(), b.nb_polygons() );
        for( index_t v = 0; v < a.nb_vertices(); v++ )
        {
            EXPECT_EQ( test::coordinates( a.point( v ) ),
                test::coordinates( b.point( v ) ) );
        }
        for( index_t p = 0; p < a.nb_polygons(); p++ )
        {
            EXPECT_EQ( a.polygon_vertices( p ), b.polygon_vertices( p ) );
        }
        EXPECT_EQ( first.created_vertices, second.created_vertices );
        ASSERT_EQ( first.holes.size(), second.holes.size() );
        for( std::size_t h = 0; h < first.holes.size(); h++ )
        {
            EXPECT_EQ( first.holes[h].macro_vertices, second.holes[h].macro_vertices );
            EXPECT_EQ( first.holes[h].element_chains, second.holes[h].element_chains );
        }
    }

    TEST( FrontalRemesh, wavy_surface_gives_a_manifold_surface_of_the_target_size )
    {
        // 30 x 30 squares, 1800 input triangles, to stay short under the
        // sanitizers; the benchmark remeshes a finer one.
        constexpr index_t n = 30;
        for( const index_t step : { 2u, 3u, 5u } )
        {
            const auto target = double( step ) / n;
            SCOPED_TRACE( "target " + std::to_string( target ) );
            const auto fixed = every_nth_border_vertex( n, step );
            test::FrontalFixture< 3 > fixture{ unit_square_grid< 3 >( n, wavy ), fixed,
                target };
            const auto result = run( fixture );
            const auto& mesh = *result.mesh;
            ASSERT_GT( mesh.nb_polygons(), 0u );
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                const auto t = test::flat_triangle( mesh, p );
                const auto x = ( t[0][0] + t[1][0] + t[2][0] ) / 3;
                const auto y = ( t[0][1] + t[1][1] + t[2][1] ) / 3;
                const auto normal = wavy_normal( x, y );
                const auto face = test::area_vector( t );
                EXPECT_GT( face[0] * normal[0] + face[1] * normal[1]
                               + face[2] * normal[2],
                    0. )
                    << "triangle " << p << " is inverted";
            }
            const auto stitched = test::stitch( result );
            EXPECT_TRUE( test::is_valid_triangulated_surface(
                *stitched.mesh, stitched_checks() ) );
            expect_border_is_fixed_chain( stitched, result, fixed );
            const auto total = stitched.output_area + stitched.hole_area;
            EXPECT_LT( stitched.hole_area, 0.05 * total );
            const auto quality = test::mesh_quality( mesh, target );
            Logger::log_info( "Frontal remesh of a wavy surface at ", target, ": ",
                mesh.nb_polygons(), " triangles, ", result.holes.size(),
                " hole pieces (", 100 * stitched.hole_area / total,
                "% of the area), ", 100 * quality.share_in_range,
                "% of edges within [L/sqrt2, L sqrt2], min angle ",
                quality.min_angle, " deg, mean 2r/R ", quality.mean_radius_ratio,
                ", edges from ", quality.min_edge, " to ", quality.max_edge );
            EXPECT_GT( quality.min_angle, 5. );
            if( step == 2 )
            {
                // Several edges per wave: the front follows the size. At the
                // coarser sizes the sides bend with the waves and the apex
                // moves onto them.
                EXPECT_GT( quality.share_in_range, 0.8 );
                EXPECT_GT( quality.mean_radius_ratio, 0.85 );
            }
        }
    }

    TEST( FrontalRemesh, coarse_wavy_surface_lays_no_side_far_shorter_than_the_metric )
    {
        // 20 x 20 squares at sizes up to 0.3: the sides bend with the waves,
        // apexes move onto them and front vertices end up a hair apart. A
        // vertex a few 1e-5 from an end of the element was once snapped to,
        // and the front then laid a run of triangles halving down to that
        // length. Every fixed border edge has the target length here, so
        // nothing forces a short side.
        constexpr index_t n = 20;
        for( const index_t step : { 2u, 4u, 6u } )
        {
            const auto target = double( step ) / n;
            SCOPED_TRACE( "target " + std::to_string( target ) );
            const auto fixed = every_nth_border_vertex( n, step );
            test::FrontalFixture< 3 > fixture{ unit_square_grid< 3 >( n, wavy ), fixed,
                target };
            const auto result = run( fixture );
            const auto stitched = test::stitch( result );
            EXPECT_TRUE( test::is_valid_triangulated_surface(
                *stitched.mesh, stitched_checks() ) );
            expect_border_is_fixed_chain( stitched, result, fixed );
            const auto quality = test::mesh_quality( *result.mesh, target );
            EXPECT_GT( quality.min_edge, 0.15 * target );
            EXPECT_GT( quality.min_angle, 3. );
        }
    }
} // namespace

namespace
{
    TEST( FrontalHoles, open_border_front_becomes_one_piece_seeded_from_the_border_polygons )
    {
        // A 2 x 2 grid with every border vertex fixed: eight one-edge border
        // elements around the free centre 4, none of them closed.
        test::FrontalFixture< 2 > fixture{ test::flat_grid< 2 >( 2, 2 ),
            { 0, 1, 2, 5, 8, 7, 6, 3 } };
        auto& state = fixture.state();
        fixture.prepare();
        state.initialize_queue();
        ASSERT_EQ( state.element_vertices_.size(), 8u );
        const auto cycles = state.macro_edges_cycles();
        ASSERT_EQ( cycles.size(), 1u );
        ASSERT_EQ( cycles[0].size(), 8u );
        auto result = state.finish();
        EXPECT_EQ( result.mesh->nb_polygons(), 0u );
        ASSERT_EQ( result.holes.size(), 1u );
        const auto& piece = result.holes[0];
        EXPECT_EQ( piece.mesh->nb_polygons(), 8u );
        EXPECT_TRUE( piece.collar_triangles.empty() );
        EXPECT_TRUE( test::is_valid_triangulated_surface( *piece.mesh ) );
        ASSERT_EQ( piece.macro_vertices.size(), 9u );
        for( index_t v = 0; v < 9; v++ )
        {
            const auto macro_vertex = piece.macro_vertices[v];
            EXPECT_EQ( piece.output_vertices[v] == NO_ID, macro_vertex == 4 )
                << "piece vertex " << v;
            EXPECT_EQ( test::coordinates( piece.mesh->point( v ) ),
                test::coordinates( fixture.surface.mesh->point( macro_vertex ) ) );
        }
        // One chain per element of the cycle, from its v1 back to its v0.
        ASSERT_EQ( piece.element_chains.size(), 8u );
        for( std::size_t c = 0; c < 8; c++ )
        {
            const auto& chain = piece.element_chains[c];
            ASSERT_EQ( chain.size(), 2u );
            const auto [v0, v1] = state.element_vertices_[cycles[0][c]];
            EXPECT_EQ( piece.macro_vertices[chain.front()], v1 );
            EXPECT_EQ( piece.macro_vertices[chain.back()], v0 );
        }
        // The polygons are taken: the same cycle yields no second piece.
        EXPECT_FALSE( state.make_hole_piece( cycles[0] ) );
    }

    TEST( FrontalHoles, apex_retries_beyond_the_bound_build_nothing )
    {
        const auto fixed = every_nth_border_vertex( 4, 1 );
        test::FrontalFixture< 2 > fixture{ unit_square_grid< 2 >( 4, flat ), fixed,
            0.25 };
        auto& state = fixture.state();
        fixture.prepare();
        state.initialize_queue();
        auto element = state.front.top();
        const auto candidate =
            fixture.remesher->candidate_point( element, ( element.p0 + element.p1 ) / 2. );
        ASSERT_TRUE( candidate );
        element.apex = state.macro_vertex_at_point( *candidate );
        FrontEdgeMidpoint< 2 > midpoint{ ( element.p0 + element.p1 ) / 2. };
        const auto nb_elements = state.element_vertices_.size();
        state.apex_retry_depth = FrontalRemesher< 2 >::Impl::MAX_APEX_RETRY_DEPTH;
        EXPECT_FALSE( state.process_macro_triangle( element, 0.01, midpoint ) );
        state.apex_retry_depth = 0;
        state.apex_attempts = FrontalRemesher< 2 >::Impl::MAX_APEX_ATTEMPTS;
        EXPECT_FALSE( state.process_macro_triangle( element, 0.01, midpoint ) );
        EXPECT_EQ( state.element_vertices_.size(), nb_elements );
        EXPECT_EQ( fixture.remesher->output().mesh->nb_polygons(), 0u );
        // Within the bounds the same attempt builds the triangle.
        state.apex_attempts = 0;
        EXPECT_TRUE( state.process_macro_triangle( element, 0.01, midpoint ) );
        EXPECT_EQ( fixture.remesher->output().mesh->nb_polygons(), 1u );
    }
} // namespace
