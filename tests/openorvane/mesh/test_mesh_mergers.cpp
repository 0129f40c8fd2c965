#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/edged_curve_merger.hpp>
#include <openorvane/mesh/surface_mesh_merger.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <tests/support/surface_checks.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace orvane
{
    namespace
    {
        using detail::MergeOrigin;
        using Origins = std::vector< MergeOrigin >;
        using Triangles = std::vector< std::array< index_t, 3 > >;

        Point3D point( double x, double y, double z = 0. )
        {
            return Point3D{ { x, y, z } };
        }

        Origins to_vector( absl::Span< const MergeOrigin > origins )
        {
            return { origins.begin(), origins.end() };
        }

        std::unique_ptr< TriangulatedSurface3D > surface(
            const std::vector< Point3D >& points, const Triangles& triangles )
        {
            return test::create_triangulated_surface< 3 >( points, triangles );
        }

        std::unique_ptr< EdgedCurve3D > curve( const std::vector< Point3D >& points,
            const std::vector< std::array< index_t, 2 > >& edges )
        {
            test::initialize_surface_meshes();
            auto result = EdgedCurve3D::create();
            auto builder = EdgedCurveBuilder< 3 >::create( *result );
            for( const auto& p : points )
            {
                builder->create_point( p );
            }
            for( const auto& edge : edges )
            {
                builder->create_edge( edge[0], edge[1] );
            }
            return result;
        }

        detail::SurfaceMeshMerger< 3 > merger_of(
            const std::vector< const TriangulatedSurface3D* >& surfaces )
        {
            std::vector< const SurfaceMesh3D* > meshes( surfaces.begin(), surfaces.end() );
            return detail::SurfaceMeshMerger< 3 >{ meshes, GLOBAL_EPSILON };
        }

        test::SurfaceCheckOptions merged_surface_options()
        {
            test::SurfaceCheckOptions options;
            // Inputs are not linked to each other: edges they share stay
            // borders on both sides, and the merged surface may be
            // non-manifold there.
            options.check_complete_adjacency = false;
            options.check_vertex_fans = false;
            options.check_degenerate = false;
            return options;
        }
    } // namespace

    // Two unit squares side by side in two inputs; the second input's copies
    // of the shared vertices are moved by less than the tolerance.
    TEST( SurfaceMeshMerger, NumbersVerticesInFirstOccurrenceOrder )
    {
        const auto left = test::square_of_two_triangles< 3 >();
        const auto right = surface( { point( 1, 1e-7 ), point( 2, 0 ), point( 2, 1 ),
                                        point( 1 + 4e-7, 1 ) },
            { { 0, 1, 2 }, { 0, 2, 3 } } );
        const auto merger = merger_of( { left.get(), right.get() } );
        ASSERT_EQ( merger.nb_merged_vertices(), 6 );
        const std::vector< std::array< index_t, 4 > > expected_vertices{
            { 0, 1, 2, 3 }, { 1, 4, 5, 2 }
        };
        for( index_t mesh = 0; mesh < 2; mesh++ )
        {
            for( index_t v = 0; v < 4; v++ )
            {
                EXPECT_EQ( merger.vertex_in_merged( mesh, v ),
                    expected_vertices[mesh][v] )
                    << "mesh " << mesh << " vertex " << v;
            }
        }
        EXPECT_EQ( to_vector( merger.vertex_origins( 1 ) ),
            ( Origins{ { 0, 1 }, { 1, 0 } } ) );
        EXPECT_EQ( to_vector( merger.vertex_origins( 2 ) ),
            ( Origins{ { 0, 2 }, { 1, 3 } } ) );
        EXPECT_EQ( to_vector( merger.vertex_origins( 4 ) ), ( Origins{ { 1, 1 } } ) );

        const auto merged = merger.merge();
        ASSERT_EQ( merged->nb_vertices(), 6 );
        // A merged vertex stands at its first input point.
        EXPECT_EQ( merged->point( 1 ), point( 1, 0 ) );
        EXPECT_EQ( merged->point( 2 ), point( 1, 1 ) );
        ASSERT_EQ( merged->nb_polygons(), 4 );
        EXPECT_EQ( merged->polygon_vertices( 2 ), ( PolygonVertices{ 1, 4, 5 } ) );
        EXPECT_EQ( merged->polygon_vertices( 3 ), ( PolygonVertices{ 1, 5, 2 } ) );
        for( index_t p = 0; p < 4; p++ )
        {
            EXPECT_EQ( merger.polygon_in_merged( p / 2, p % 2 ), p );
            EXPECT_EQ( to_vector( merger.polygon_origins( p ) ),
                ( Origins{ { p / 2, p % 2 } } ) );
        }
        // Inside each input the diagonal stays linked; the shared edge 1-2
        // joins two inputs and stays a border on both sides.
        EXPECT_EQ( merged->polygon_adjacent( { 0, 2 } ), 1 );
        EXPECT_EQ( merged->polygon_adjacent( { 1, 0 } ), 0 );
        EXPECT_EQ( merged->polygon_adjacent( { 2, 2 } ), 3 );
        EXPECT_TRUE( merged->is_edge_on_border( { 0, 1 } ) );
        EXPECT_TRUE( merged->is_edge_on_border( { 3, 1 } ) );
        EXPECT_TRUE( test::is_valid_triangulated_surface(
            *merged, merged_surface_options() ) );
    }

    // A copy of a triangle, as given, rotated or reversed, folds into the
    // first one, which keeps its orientation and lists both origins.
    TEST( SurfaceMeshMerger, FoldsCopiesOfOnePolygon )
    {
        const std::vector< Point3D > points{ point( 0, 0 ), point( 1, 0 ), point( 0, 1 ) };
        const Triangles copies{ { 0, 1, 2 }, { 1, 2, 0 }, { 0, 2, 1 }, { 2, 1, 0 } };
        for( const auto& copy : copies )
        {
            const auto first = surface( points, { { 0, 1, 2 } } );
            const auto second = surface( points, { copy } );
            const auto merger = merger_of( { first.get(), second.get() } );
            const auto merged = merger.merge();
            ASSERT_EQ( merged->nb_polygons(), 1 );
            EXPECT_EQ( merged->polygon_vertices( 0 ), ( PolygonVertices{ 0, 1, 2 } ) );
            EXPECT_EQ( merger.polygon_in_merged( 1, 0 ), 0 );
            EXPECT_EQ( to_vector( merger.polygon_origins( 0 ) ),
                ( Origins{ { 0, 0 }, { 1, 0 } } ) );
        }
    }

    // Two copies of one square fold polygon by polygon and keep their
    // adjacency, because both origins of each merged polygon agree.
    TEST( SurfaceMeshMerger, CopiesOfASurfaceKeepTheirAdjacency )
    {
        const auto first = test::grid_surface< 3 >( 3, 2 );
        const auto second = test::grid_surface< 3 >( 3, 2 );
        const auto merger = merger_of( { first.get(), second.get() } );
        const auto merged = merger.merge();
        ASSERT_EQ( merged->nb_polygons(), first->nb_polygons() );
        for( index_t p = 0; p < merged->nb_polygons(); p++ )
        {
            EXPECT_EQ( merger.polygon_origins( p ).size(), 2 );
            for( local_index_t e = 0; e < 3; e++ )
            {
                EXPECT_EQ( merged->polygon_adjacent( { p, e } ),
                    first->polygon_adjacent( { p, e } ) );
            }
        }
        EXPECT_TRUE( test::is_valid_triangulated_surface( *merged ) );
    }

    // When the origins of a merged polygon disagree across an edge (a
    // neighbour in one input, a border in another), the edge is a border,
    // on both sides.
    TEST( SurfaceMeshMerger, DisagreeingOriginsLeaveABorder )
    {
        const auto square = test::square_of_two_triangles< 3 >();
        const auto lone = surface( { point( 0, 0 ), point( 1, 0 ), point( 1, 1 ) },
            { { 0, 1, 2 } } );
        const auto merger = merger_of( { square.get(), lone.get() } );
        const auto merged = merger.merge();
        ASSERT_EQ( merged->nb_polygons(), 2 );
        EXPECT_TRUE( merged->is_edge_on_border( { 0, 2 } ) );
        EXPECT_TRUE( merged->is_edge_on_border( { 1, 0 } ) );
        EXPECT_TRUE( test::is_valid_triangulated_surface(
            *merged, merged_surface_options() ) );
    }

    // A triangle whose two vertices lie within the tolerance loses a vertex
    // in the merge: it is dropped and its neighbours see a border there.
    TEST( SurfaceMeshMerger, DropsPolygonsWithARepeatedVertex )
    {
        const auto strip = surface( { point( 0, 0 ), point( 1, 0 ), point( 1, 1e-7 ),
                                        point( 0, 1 ), point( 2, 0.5 ) },
            { { 0, 1, 3 }, { 1, 2, 3 }, { 2, 4, 3 } } );
        ASSERT_EQ( strip->polygon_adjacent( { 1, 2 } ), 0 );
        const auto merger = merger_of( { strip.get() } );
        EXPECT_EQ( merger.vertex_in_merged( 0, 2 ), 1 );
        EXPECT_EQ( to_vector( merger.vertex_origins( 1 ) ),
            ( Origins{ { 0, 1 }, { 0, 2 } } ) );
        EXPECT_EQ( merger.polygon_in_merged( 0, 0 ), 0 );
        EXPECT_EQ( merger.polygon_in_merged( 0, 1 ), NO_ID );
        EXPECT_EQ( merger.polygon_in_merged( 0, 2 ), 1 );
        const auto merged = merger.merge();
        ASSERT_EQ( merged->nb_polygons(), 2 );
        EXPECT_EQ( merged->polygon_vertices( 1 ), ( PolygonVertices{ 1, 3, 2 } ) );
        // The two kept triangles share the edge 1-3 but were not neighbours
        // in their input.
        EXPECT_TRUE( merged->is_edge_on_border( { 0, 1 } ) );
        EXPECT_TRUE( merged->is_edge_on_border( { 1, 2 } ) );
    }

    TEST( SurfaceMeshMerger, RefusesBadInputAndBadIndices )
    {
        constexpr double nan = std::numeric_limits< double >::quiet_NaN();
        constexpr double inf = std::numeric_limits< double >::infinity();
        for( const double bad : { nan, inf, -inf } )
        {
            // Surfaces cannot hold such points: the builder refuses them.
            EXPECT_THROW( surface( { point( 0, 0 ), point( 1, bad ), point( 0, 1 ) },
                              { { 0, 1, 2 } } ),
                OpenOrvaneException );
        }
        const auto square = test::square_of_two_triangles< 3 >();
        const std::vector< const SurfaceMesh3D* > meshes{ square.get() };
        EXPECT_THROW( ( detail::SurfaceMeshMerger< 3 >{ meshes, -1. } ),
            OpenOrvaneException );
        EXPECT_THROW( ( detail::SurfaceMeshMerger< 3 >{ meshes, nan } ),
            OpenOrvaneException );

        // An adjacency that names a polygon past the end cannot be written.
        auto corrupt = test::square_of_two_triangles< 3 >();
        EXPECT_THROW( TriangulatedSurfaceBuilder< 3 >::create( *corrupt )
                          ->set_polygon_adjacent( { 0, 0 }, 7 ),
            OpenOrvaneException );

        const auto merger = merger_of( { square.get() } );
        EXPECT_THROW( merger.vertex_in_merged( 1, 0 ), OpenOrvaneException );
        EXPECT_THROW( merger.vertex_in_merged( 0, 4 ), OpenOrvaneException );
        EXPECT_THROW( merger.polygon_in_merged( 0, 2 ), OpenOrvaneException );
        EXPECT_THROW( merger.polygon_in_merged( NO_ID, 0 ), OpenOrvaneException );
        EXPECT_THROW( merger.vertex_origins( 4 ), OpenOrvaneException );
        EXPECT_THROW( merger.polygon_origins( 2 ), OpenOrvaneException );
    }

    TEST( SurfaceMeshMerger, NoInputGivesAnEmptySurface )
    {
        // No input surface creates the meshes that would start the library.
        test::initialize_surface_meshes();
        const auto merger = merger_of( {} );
        const auto merged = merger.merge();
        EXPECT_EQ( merged->nb_vertices(), 0 );
        EXPECT_EQ( merged->nb_polygons(), 0 );
    }

    namespace
    {
        /// The merge computed the slow way, straight from the rules.
        struct ReferenceMerge
        {
            std::vector< index_t > vertex_in_merged;
            std::vector< Point3D > points;
            std::vector< index_t > polygon_in_merged;
            Triangles polygons;
            std::vector< Origins > polygon_origins;
            std::vector< index_t > adjacents;
        };

        ReferenceMerge reference_merge(
            const std::vector< std::unique_ptr< TriangulatedSurface3D > >& inputs )
        {
            ReferenceMerge result;
            std::vector< index_t > vertex_offsets{ 0 };
            std::vector< index_t > polygon_offsets{ 0 };
            std::vector< Point3D > all_points;
            for( const auto& input : inputs )
            {
                for( index_t v = 0; v < input->nb_vertices(); v++ )
                {
                    all_points.push_back( input->point( v ) );
                }
                vertex_offsets.push_back( static_cast< index_t >( all_points.size() ) );
                polygon_offsets.push_back( polygon_offsets.back() + input->nb_polygons() );
            }
            std::vector< index_t > representatives;
            for( const auto& p : all_points )
            {
                auto merged = NO_ID;
                for( index_t r = 0; r < representatives.size(); r++ )
                {
                    const auto& q = all_points[representatives[r]];
                    double d2 = 0;
                    for( local_index_t c = 0; c < 3; c++ )
                    {
                        d2 += ( p.value( c ) - q.value( c ) ) * ( p.value( c ) - q.value( c ) );
                    }
                    if( std::sqrt( d2 ) <= GLOBAL_EPSILON )
                    {
                        merged = r;
                        break;
                    }
                }
                if( merged == NO_ID )
                {
                    merged = static_cast< index_t >( representatives.size() );
                    representatives.push_back(
                        static_cast< index_t >( result.vertex_in_merged.size() ) );
                    result.points.push_back( p );
                }
                result.vertex_in_merged.push_back( merged );
            }
            const auto triple_of = [&]( index_t m, index_t p ) {
                std::array< index_t, 3 > triple;
                for( local_index_t v = 0; v < 3; v++ )
                {
                    triple[v] = result.vertex_in_merged[vertex_offsets[m]
                                                        + inputs[m]->polygon_vertex( { p, v } )];
                }
                return triple;
            };
            for( index_t m = 0; m < inputs.size(); m++ )
            {
                for( index_t p = 0; p < inputs[m]->nb_polygons(); p++ )
                {
                    const auto triple = triple_of( m, p );
                    auto key = triple;
                    std::sort( key.begin(), key.end() );
                    if( key[0] == key[1] || key[1] == key[2] )
                    {
                        result.polygon_in_merged.push_back( NO_ID );
                        continue;
                    }
                    auto merged = NO_ID;
                    for( index_t q = 0; q < result.polygons.size(); q++ )
                    {
                        auto other = result.polygons[q];
                        std::sort( other.begin(), other.end() );
                        if( other == key )
                        {
                            merged = q;
                        }
                    }
                    if( merged == NO_ID )
                    {
                        merged = static_cast< index_t >( result.polygons.size() );
                        result.polygons.push_back( triple );
                        result.polygon_origins.emplace_back();
                    }
                    result.polygon_in_merged.push_back( merged );
                    result.polygon_origins[merged].push_back( { m, p } );
                }
            }
            // The neighbour each origin sees across each merged edge; the
            // edge is linked when all agree and the neighbour agrees back.
            const auto has_pair = [&]( index_t merged, index_t a, index_t b ) {
                const auto& t = result.polygons[merged];
                for( local_index_t e = 0; e < 3; e++ )
                {
                    if( std::min( t[e], t[( e + 1 ) % 3] ) == std::min( a, b )
                        && std::max( t[e], t[( e + 1 ) % 3] ) == std::max( a, b ) )
                    {
                        return true;
                    }
                }
                return false;
            };
            const auto agreed = [&]( index_t merged, index_t a, index_t b ) {
                std::vector< index_t > seen;
                for( const auto& [m, p] : result.polygon_origins[merged] )
                {
                    const auto triple = triple_of( m, p );
                    for( local_index_t k = 0; k < 3; k++ )
                    {
                        if( std::min( triple[k], triple[( k + 1 ) % 3] ) != std::min( a, b )
                            || std::max( triple[k], triple[( k + 1 ) % 3] )
                                   != std::max( a, b ) )
                        {
                            continue;
                        }
                        auto neighbour = NO_ID;
                        if( const auto adjacent = inputs[m]->polygon_adjacent( { p, k } ) )
                        {
                            neighbour = result.polygon_in_merged[polygon_offsets[m]
                                                                 + adjacent.value()];
                            if( neighbour == merged
                                || ( neighbour != NO_ID && !has_pair( neighbour, a, b ) ) )
                            {
                                neighbour = NO_ID;
                            }
                        }
                        seen.push_back( neighbour );
                    }
                }
                return std::all_of( seen.begin(), seen.end(),
                           [&]( index_t n ) { return n == seen.front(); } )
                           ? seen.front()
                           : NO_ID;
            };
            for( index_t merged = 0; merged < result.polygons.size(); merged++ )
            {
                const auto& t = result.polygons[merged];
                for( local_index_t e = 0; e < 3; e++ )
                {
                    const auto a = t[e];
                    const auto b = t[( e + 1 ) % 3];
                    const auto neighbour = agreed( merged, a, b );
                    result.adjacents.push_back(
                        neighbour != NO_ID && agreed( neighbour, a, b ) == merged
                            ? neighbour
                            : NO_ID );
                }
            }
            return result;
        }
    } // namespace

    // Random inputs on a coarse lattice, with copies of lattice points moved
    // by less than half the tolerance: shared vertices within and across
    // inputs, copied and reversed triangles, collapsed triangles.
    TEST( SurfaceMeshMerger, MatchesTheRulesOnRandomInputs )
    {
        for( unsigned seed = 1; seed <= 40; seed++ )
        {
            std::mt19937 random{ seed };
            std::uniform_int_distribution< int > lattice{ 0, 2 };
            std::uniform_real_distribution< double > jitter{ -2e-7, 2e-7 };
            std::vector< std::unique_ptr< TriangulatedSurface3D > > inputs;
            const auto nb_inputs = 1 + seed % 3;
            for( unsigned m = 0; m < nb_inputs; m++ )
            {
                std::vector< Point3D > points;
                const auto nb_points = 4 + random() % 8;
                for( unsigned v = 0; v < nb_points; v++ )
                {
                    points.push_back( point( lattice( random ) + jitter( random ),
                        lattice( random ) + jitter( random ), jitter( random ) ) );
                }
                Triangles triangles;
                const auto nb_triangles = 2 + random() % 12;
                for( unsigned t = 0; t < nb_triangles; t++ )
                {
                    std::array< index_t, 3 > triangle;
                    do
                    {
                        for( auto& v : triangle )
                        {
                            v = static_cast< index_t >( random() % nb_points );
                        }
                    } while( triangle[0] == triangle[1] || triangle[1] == triangle[2]
                             || triangle[0] == triangle[2] );
                    triangles.push_back( triangle );
                }
                inputs.push_back( surface( points, triangles ) );
            }
            std::vector< const TriangulatedSurface3D* > pointers;
            for( const auto& input : inputs )
            {
                pointers.push_back( input.get() );
            }
            const auto merger = merger_of( pointers );
            const auto merged = merger.merge();
            const auto expected = reference_merge( inputs );
            SCOPED_TRACE( ::testing::Message() << "seed " << seed );

            ASSERT_EQ( merged->nb_vertices(), expected.points.size() );
            for( index_t v = 0; v < merged->nb_vertices(); v++ )
            {
                EXPECT_EQ( merged->point( v ), expected.points[v] );
            }
            index_t vertex{ 0 };
            index_t polygon{ 0 };
            for( index_t m = 0; m < nb_inputs; m++ )
            {
                for( index_t v = 0; v < inputs[m]->nb_vertices(); v++ )
                {
                    const auto in_merged = merger.vertex_in_merged( m, v );
                    EXPECT_EQ( in_merged, expected.vertex_in_merged[vertex++] );
                    const auto origins = to_vector( merger.vertex_origins( in_merged ) );
                    EXPECT_NE( std::find( origins.begin(), origins.end(), MergeOrigin{ m, v } ),
                        origins.end() );
                }
                for( index_t p = 0; p < inputs[m]->nb_polygons(); p++ )
                {
                    EXPECT_EQ( merger.polygon_in_merged( m, p ),
                        expected.polygon_in_merged[polygon++] );
                }
            }
            ASSERT_EQ( merged->nb_polygons(), expected.polygons.size() );
            for( index_t p = 0; p < merged->nb_polygons(); p++ )
            {
                const auto& t = expected.polygons[p];
                EXPECT_EQ( merged->polygon_vertices( p ),
                    ( PolygonVertices{ t[0], t[1], t[2] } ) );
                EXPECT_EQ( to_vector( merger.polygon_origins( p ) ),
                    expected.polygon_origins[p] );
                for( local_index_t e = 0; e < 3; e++ )
                {
                    EXPECT_EQ( merged->polygon_adjacent( { p, e } ).value_or( NO_ID ),
                        expected.adjacents[3 * p + e] )
                        << "polygon " << p << " edge " << int{ e };
                }
            }
            EXPECT_TRUE( test::is_valid_triangulated_surface( *merged, [] {
                auto options = merged_surface_options();
                // Random triangles may run a shared edge the same way.
                options.check_orientation = false;
                return options;
            }() ) );
        }
    }

    TEST( EdgedCurveMerger, MergesFoldsAndDropsEdges )
    {
        // Edge 2 collapses (its ends lie within the tolerance); the second
        // curve repeats edge 0 reversed and adds one edge.
        const auto first = curve(
            { point( 0, 0 ), point( 1, 0 ), point( 2, 0 ), point( 2, 1e-7 ) },
            { { 0, 1 }, { 1, 2 }, { 2, 3 } } );
        const auto second = curve( { point( 1, 0 ), point( 0, 0 ), point( 0, 1 ) },
            { { 0, 1 }, { 1, 2 } } );
        const std::vector< const EdgedCurve3D* > curves{ first.get(), second.get() };
        const detail::EdgedCurveMerger< 3 > merger{ curves, GLOBAL_EPSILON };
        EXPECT_EQ( merger.nb_merged_vertices(), 4 );
        EXPECT_EQ( merger.vertex_in_merged( 0, 3 ), 2 );
        EXPECT_EQ( merger.vertex_in_merged( 1, 0 ), 1 );
        EXPECT_EQ( merger.vertex_in_merged( 1, 2 ), 3 );
        EXPECT_EQ( to_vector( merger.vertex_origins( 0 ) ),
            ( Origins{ { 0, 0 }, { 1, 1 } } ) );
        const std::vector< std::array< index_t, 3 > > in_merged{
            { 0, 0, 0 }, { 0, 1, 1 }, { 0, 2, NO_ID }, { 1, 0, 0 }, { 1, 1, 2 }
        };
        for( const auto& [mesh, edge, expected] : in_merged )
        {
            EXPECT_EQ( merger.edge_in_merged( mesh, edge ), expected )
                << "mesh " << mesh << " edge " << edge;
        }
        EXPECT_EQ( to_vector( merger.edge_origins( 0 ) ),
            ( Origins{ { 0, 0 }, { 1, 0 } } ) );
        const auto merged = merger.merge();
        ASSERT_EQ( merged->nb_edges(), 3 );
        EXPECT_EQ( merged->edge_vertices( 0 ), ( EdgeVertices{ 0, 1 } ) );
        EXPECT_EQ( merged->edge_vertices( 2 ), ( EdgeVertices{ 0, 3 } ) );
        EXPECT_EQ( merged->point( 2 ), point( 2, 0 ) );
        EXPECT_TRUE( test::is_valid_graph( *merged ) );
    }

    TEST( EdgedCurveMerger, RefusesBadInputAndBadIndices )
    {
        // Curves cannot hold a NaN point: the builder refuses it.
        EXPECT_THROW(
            curve( { point( 0, 0 ), point( std::numeric_limits< double >::quiet_NaN(), 0 ) },
                { { 0, 1 } } ),
            OpenOrvaneException );

        auto unset = curve( { point( 0, 0 ) }, {} );
        EdgedCurveBuilder< 3 >::create( *unset )->create_edge();
        const std::vector< const EdgedCurve3D* > unset_curves{ unset.get() };
        EXPECT_THROW( ( detail::EdgedCurveMerger< 3 >{ unset_curves, GLOBAL_EPSILON } ),
            OpenOrvaneException );

        const auto line = test::polyline< 3 >( 2 );
        const std::vector< const EdgedCurve3D* > curves{ line.get() };
        const detail::EdgedCurveMerger< 3 > merger{ curves, GLOBAL_EPSILON };
        EXPECT_THROW( merger.edge_in_merged( 0, 2 ), OpenOrvaneException );
        EXPECT_THROW( merger.vertex_in_merged( 1, 0 ), OpenOrvaneException );
        EXPECT_THROW( merger.edge_origins( 2 ), OpenOrvaneException );
        EXPECT_THROW( merger.vertex_origins( 3 ), OpenOrvaneException );
    }
} // namespace orvane
