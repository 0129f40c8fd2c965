#include <algorithm>
#include <functional>
#include <random>
#include <set>
#include <utility>

#include <gtest/gtest.h>

#include <oneapi/tbb/task_arena.h>

#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/point_set.hpp>

#include <explicit/conflict_finder.hpp>
#include <explicit/explicit_brep_library.hpp>

#include <tests/explicit/explicit_scenes.hpp>
#include <tests/support/conformal_meshes.hpp>

namespace orvane
{
    namespace
    {
        using test::TriangleCorners;
        using test::triangles_surface;
        using ElementKey = std::tuple< std::string, uuid, index_t >;
        using Conflict = std::pair< ElementKey, ElementKey >;

        class ConflictFinderTest : public ::testing::Test
        {
        protected:
            void SetUp() override
            {
                ExplicitBRepLibrary::initialize();
            }
        };

        Point< 3 > p( double x, double y, double z )
        {
            return Point< 3 >{ { x, y, z } };
        }

        ElementKey key( const ComponentMeshElement& element )
        {
            return { element.component_id.type().get(), element.component_id.id(),
                element.element };
        }

        /// The graph's edges as unordered element pairs (the smaller first).
        std::set< Conflict > conflicts( const internal::ConflictGraph& graph )
        {
            std::set< Conflict > result;
            for( index_t edge = 0; edge < graph.graph().nb_edges(); edge++ )
            {
                const auto vertices = graph.graph().edge_vertices( edge );
                auto first = key( graph.element( vertices[0] ) );
                auto second = key( graph.element( vertices[1] ) );
                if( second < first )
                {
                    std::swap( first, second );
                }
                result.emplace( first, second );
            }
            return result;
        }

        internal::ModelerMeshes meshes_of(
            const std::vector< std::unique_ptr< TriangulatedSurface< 3 > > >& surfaces )
        {
            internal::ModelerMeshes meshes;
            for( const auto& surface : surfaces )
            {
                meshes.surfaces.push_back( surface.get() );
            }
            return meshes;
        }

        /// Two triangles: the first flat at z = 0, the second standing in
        /// the vertical plane parallel to the first one's long edge at the
        /// given distance from it. Their boxes overlap whatever the
        /// distance, so the pair is tested.
        std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > facing_triangles(
            double distance )
        {
            const double s = distance * std::sqrt( 2. );
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            surfaces.push_back(
                triangles_surface( { { p( 0, 0, 0 ), p( 1, 0, 0 ), p( 0, 1, 0 ) } } ) );
            surfaces.push_back( triangles_surface( { { p( 1 + s, 0, -1 ),
                p( 0, 1 + s, -1 ), p( 0.5 + s / 2, 0.5 + s / 2, 1 ) } } ) );
            return surfaces;
        }

        TEST_F( ConflictFinderTest, FindsExactlyTheCloseOrCrossingPairs )
        {
            struct Case
            {
                const char* name;
                std::vector< std::vector< TriangleCorners > > surfaces;
                std::size_t nb_conflicts;
            };
            const std::vector< Case > cases{
                // Two squares sharing the border x = 1: neighbours, not
                // conflicts.
                { "shared border",
                    { { { p( 0, 0, 0 ), p( 1, 0, 0 ), p( 1, 1, 0 ) },
                          { p( 0, 0, 0 ), p( 1, 1, 0 ), p( 0, 1, 0 ) } },
                        { { p( 1, 0, 0 ), p( 2, 0, 0.5 ), p( 2, 1, 0.5 ) },
                            { p( 1, 0, 0 ), p( 2, 1, 0.5 ), p( 1, 1, 0 ) } } },
                    0 },
                // Shared vertex only, the triangles bent away from each other.
                { "shared vertex",
                    { { { p( 0, 0, 0 ), p( 1, 0, 0 ), p( 0, 1, 0 ) } },
                        { { p( 0, 0, 0 ), p( -1, 0, 1 ), p( 0, -1, 1 ) } } },
                    0 },
                { "crossing",
                    { { { p( 0, 0, 0 ), p( 2, 0, 0 ), p( 0, 2, 0 ) } },
                        { { p( 0.5, 0.5, -1 ), p( 0.5, 0.5, 1 ), p( 1.5, -1, 0 ) } } },
                    1 },
                // A fold: the second triangle shares an edge and lies back
                // on the first one.
                { "fold",
                    { { { p( 0, 0, 0 ), p( 2, 0, 0 ), p( 0, 2, 0 ) } },
                        { { p( 2, 0, 0 ), p( 0, 0, 0 ), p( 0.5, 0.5, 1e-7 ) } } },
                    1 },
                // The same triangle in two surfaces merges into one polygon:
                // nothing to compare.
                { "duplicate triangle",
                    { { { p( 0, 0, 0 ), p( 1, 0, 0 ), p( 0, 1, 0 ) } },
                        { { p( 0, 0, 0 ), p( 1, 0, 0 ), p( 0, 1, 0 ) } } },
                    0 },
                // Conflicts inside one surface count too.
                { "self-crossing surface",
                    { { { p( 0, 0, 0 ), p( 2, 0, 0 ), p( 0, 2, 0 ) },
                        { p( 0.5, 0.5, -1 ), p( 0.5, 0.5, 1 ), p( 1.5, -1, 0 ) } } },
                    1 },
            };
            for( const auto& test_case : cases )
            {
                SCOPED_TRACE( test_case.name );
                std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
                for( const auto& triangles : test_case.surfaces )
                {
                    surfaces.push_back( triangles_surface( triangles ) );
                }
                const auto graph = internal::find_conflicts( meshes_of( surfaces ) );
                if( test_case.nb_conflicts == 0 )
                {
                    EXPECT_FALSE( graph.has_value() );
                    continue;
                }
                ASSERT_TRUE( graph.has_value() );
                EXPECT_EQ( conflicts( **graph ).size(), test_case.nb_conflicts );
            }
        }

        TEST_F( ConflictFinderTest, ProximityThresholdIsTheLengthTolerance )
        {
            for( const auto& [distance, expected] :
                std::vector< std::pair< double, bool > >{
                    { 1e-7, true }, { 9e-7, true }, { 1e-5, false } } )
            {
                SCOPED_TRACE( distance );
                const auto surfaces = facing_triangles( distance );
                const auto graph = internal::find_conflicts( meshes_of( surfaces ) );
                ASSERT_EQ( graph.has_value(), expected );
                if( expected )
                {
                    const std::set< Conflict > wanted{ { key( { ComponentID{ ComponentType{ "Surface" }, surfaces[0]->id() }, 0 } ),
                        key( { ComponentID{ ComponentType{ "Surface" }, surfaces[1]->id() }, 0 } ) } };
                    auto found = conflicts( **graph );
                    // Normalise the expected pair the way conflicts() does.
                    std::set< Conflict > normalised;
                    for( auto [a, b] : wanted )
                    {
                        if( b < a )
                        {
                            std::swap( a, b );
                        }
                        normalised.emplace( a, b );
                    }
                    EXPECT_EQ( found, normalised );
                }
            }
        }

        TEST_F( ConflictFinderTest, CrossingTrianglesFormOneZoneOfTwoElements )
        {
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            surfaces.push_back(
                triangles_surface( { { p( 0, 0, 0 ), p( 2, 0, 0 ), p( 0, 2, 0 ) } } ) );
            surfaces.push_back( triangles_surface(
                { { p( 0.3, 0.2, -1 ), p( 0.3, 0.2, 1 ), p( 0.7, 0.3, 0 ) } } ) );
            const auto graph = internal::find_conflicts( meshes_of( surfaces ) );
            ASSERT_TRUE( graph.has_value() );
            const auto& conflict_graph = **graph;
            ASSERT_EQ( conflict_graph.graph().nb_vertices(), 2 );
            EXPECT_EQ( conflict_graph.graph().nb_edges(), 1 );
            const std::vector< index_t > vertices{ 0, 1 };
            const auto zone = conflict_graph.component_elements( vertices );
            EXPECT_EQ( zone.count(), 2 );
            ASSERT_EQ( zone.surfaces.size(), 2 );
            EXPECT_EQ( zone.surfaces.at( surfaces[1]->id() ), std::vector< index_t >{ 0 } );
            for( const auto vertex : vertices )
            {
                EXPECT_EQ(
                    conflict_graph.element_vertex( conflict_graph.element( vertex ) ), vertex );
            }
        }

        TEST_F( ConflictFinderTest, CornersNearTrianglesAndEdges )
        {
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            surfaces.push_back(
                triangles_surface( { { p( 0, 0, 0 ), p( 2, 0, 0 ), p( 0, 2, 0 ) } } ) );
            const auto curve =
                test::curve( { p( 5, 0, 0 ), p( 6, 0, 0 ), p( 7, 0, 0 ) } );
            // On a triangle vertex (no conflict), 1e-7 above the triangle's
            // interior, 1e-7 beside the curve's first edge, far away.
            const auto points = test::point_set( { p( 0, 0, 0 ), p( 0.5, 0.5, 1e-7 ),
                p( 5.5, 1e-7, 0 ), p( 10, 10, 10 ) } );
            auto meshes = meshes_of( surfaces );
            meshes.curves.push_back( curve.get() );
            meshes.point_sets.push_back( points.get() );
            const auto graph = internal::find_conflicts( meshes );
            ASSERT_TRUE( graph.has_value() );
            const auto found = conflicts( **graph );
            const ElementKey triangle{ "Surface", surfaces[0]->id(), 0 };
            const ElementKey edge{ "Line", curve->id(), 0 };
            const ElementKey above{ "Corner", points->id(), 1 };
            const ElementKey beside{ "Corner", points->id(), 2 };
            std::set< Conflict > expected;
            expected.emplace( std::min( triangle, above ), std::max( triangle, above ) );
            expected.emplace( std::min( edge, beside ), std::max( edge, beside ) );
            EXPECT_EQ( found, expected );
        }

        TEST_F( ConflictFinderTest, ElementsCloserThanTheToleranceConflictWhenTheirBoxesAreApart )
        {
            // Each pair lies 1e-7 apart across an axis-aligned gap, so that
            // the elements' own boxes do not meet.
            const std::vector< std::pair< const char*, std::vector< TriangleCorners > > >
                pairs{ { "parallel faces",
                           { { p( 0, 0, 0 ), p( 1, 0, 0 ), p( 0, 1, 0 ) },
                               { p( 0.3, 0.3, 1e-7 ), p( 1.3, 0.3, 1e-7 ),
                                   p( 0.3, 1.3, 1e-7 ) } } },
                    // A horizontal triangle ending 1e-7 short of a vertical
                    // one.
                    { "border against face",
                        { { p( 0, 0, 0.5 ), p( 1 - 1e-7, 0, 0.5 ), p( 1 - 1e-7, 1, 0.5 ) },
                            { p( 1, -1, 0 ), p( 1, 2, 0 ), p( 1, 0, 1 ) } } } };
            for( const auto& [name, triangles] : pairs )
            {
                SCOPED_TRACE( name );
                std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
                surfaces.push_back( triangles_surface( { triangles[0] } ) );
                surfaces.push_back( triangles_surface( { triangles[1] } ) );
                const auto graph = internal::find_conflicts( meshes_of( surfaces ) );
                ASSERT_TRUE( graph.has_value() );
                EXPECT_EQ( conflicts( **graph ).size(), 1 );
            }
            // Two parallel curve edges 1e-7 apart, overlapping on half their
            // length.
            const auto first = test::curve( { p( 0, 0, 0 ), p( 1, 0, 0 ) } );
            const auto second = test::curve( { p( 0.5, 1e-7, 0 ), p( 1.5, 1e-7, 0 ) } );
            internal::ModelerMeshes meshes;
            meshes.curves = { first.get(), second.get() };
            const auto graph = internal::find_conflicts( meshes );
            ASSERT_TRUE( graph.has_value() );
            const ElementKey a{ "Line", first->id(), 0 };
            const ElementKey b{ "Line", second->id(), 0 };
            EXPECT_EQ( conflicts( **graph ),
                ( std::set< Conflict >{ { std::min( a, b ), std::max( a, b ) } } ) );
        }

        TEST_F( ConflictFinderTest, CurveEdgesAgainstTrianglesAndEdges )
        {
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            surfaces.push_back(
                triangles_surface( { { p( 0, 0, 0 ), p( 2, 0, 0 ), p( 0, 2, 0 ) } } ) );
            // Edge 0 pierces the triangle; edge 1 continues far from it.
            const auto piercing = test::curve( { p( 0.5, 0.5, -1 ), p( 0.5, 0.5, 1 ), p( 0.5, 0.5, 5 ) } );
            // Passes 1e-7 from the piercing curve's last edge, without shared
            // vertex, askew so that the edge boxes overlap.
            const double shift = 1e-7 * std::sqrt( 2. );
            const auto passing =
                test::curve( { p( 0.4, 0.6 + shift, 3 ), p( 0.6, 0.4 + shift, 3 ) } );
            auto meshes = meshes_of( surfaces );
            meshes.curves.push_back( piercing.get() );
            meshes.curves.push_back( passing.get() );
            const auto graph = internal::find_conflicts( meshes );
            ASSERT_TRUE( graph.has_value() );
            const auto found = conflicts( **graph );
            const ElementKey triangle{ "Surface", surfaces[0]->id(), 0 };
            const ElementKey pierce{ "Line", piercing->id(), 0 };
            const ElementKey last{ "Line", piercing->id(), 1 };
            const ElementKey pass{ "Line", passing->id(), 0 };
            std::set< Conflict > expected;
            expected.emplace( std::min( triangle, pierce ), std::max( triangle, pierce ) );
            expected.emplace( std::min( last, pass ), std::max( last, pass ) );
            EXPECT_EQ( found, expected );
        }

        TEST_F( ConflictFinderTest, PolygonLostInTheMergeIsReportedWithoutZone )
        {
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            surfaces.push_back( triangles_surface( { { p( 0, 0, 0 ), p( 1, 0, 0 ), p( 0, 1, 0 ) },
                { p( 1, 0, 0 ), p( 1, 1e-8, 0 ), p( 3, 3, 3 ) } } ) );
            const auto graph = internal::find_conflicts( meshes_of( surfaces ) );
            ASSERT_TRUE( graph.has_value() );
            EXPECT_EQ( ( *graph )->graph().nb_vertices(), 0 );
        }

        /// Meshes of one search, owned.
        struct Scene
        {
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            std::vector< std::unique_ptr< EdgedCurve< 3 > > > curves;
            std::vector< std::unique_ptr< PointSet< 3 > > > point_sets;

            internal::ModelerMeshes meshes() const
            {
                auto result = meshes_of( surfaces );
                for( const auto& curve : curves )
                {
                    result.curves.push_back( curve.get() );
                }
                for( const auto& points : point_sets )
                {
                    result.point_sets.push_back( points.get() );
                }
                return result;
            }
        };

        TEST_F( ConflictFinderTest, ElementsJustBeyondTheToleranceAreApartFarFromTheOrigin )
        {
            // Each configuration puts two elements of overlapping boxes a
            // gap apart (the distance between them is gap times the
            // factor); close when that distance is at most 1e-6. Far from
            // the origin the coordinates carry fewer digits below the
            // tolerance, which must not turn a decision.
            struct Configuration
            {
                const char* name;
                double factor;
                std::function< Scene( const Point< 3 >&, double ) > build;
            };
            const std::vector< Configuration > configurations{
                { "fold over a common edge", 1.,
                    []( const Point< 3 >& o, double gap ) {
                        Scene scene;
                        scene.surfaces.push_back( triangles_surface(
                            { { o + p( 0, 0, 0 ), o + p( 2, 0, 0 ), o + p( 0, 2, 0 ) } } ) );
                        scene.surfaces.push_back( triangles_surface(
                            { { o + p( 2, 0, 0 ), o + p( 0, 0, 0 ), o + p( 0.5, 0.5, gap ) } } ) );
                        return scene;
                    } },
                { "over a common vertex", 1.,
                    []( const Point< 3 >& o, double gap ) {
                        Scene scene;
                        scene.surfaces.push_back( triangles_surface(
                            { { o + p( 0, 0, 0 ), o + p( 2, 0, 0 ), o + p( 0, 2, 0 ) } } ) );
                        scene.surfaces.push_back( triangles_surface( { { o + p( 0, 0, 0 ),
                            o + p( 1, 0.2, gap ), o + p( 0.2, 1, gap ) } } ) );
                        return scene;
                    } },
                { "facing triangles", 1.,
                    []( const Point< 3 >& o, double gap ) {
                        Scene scene;
                        for( const auto& surface : facing_triangles( gap ) )
                        {
                            std::vector< TriangleCorners > moved;
                            const auto triangle = surface->triangle( 0 );
                            const auto& v = triangle.vertices();
                            moved.push_back( { o + v[0], o + v[1], o + v[2] } );
                            scene.surfaces.push_back( triangles_surface( moved ) );
                        }
                        return scene;
                    } },
                { "corner over a triangle", 1.,
                    []( const Point< 3 >& o, double gap ) {
                        Scene scene;
                        scene.surfaces.push_back( triangles_surface(
                            { { o + p( 0, 0, 0 ), o + p( 2, 0, 0 ), o + p( 0, 2, 0 ) } } ) );
                        scene.point_sets.push_back( test::point_set( { o + p( 0.5, 0.5, gap ) } ) );
                        return scene;
                    } },
                { "skew curve edges", 1. / std::sqrt( 2. ),
                    []( const Point< 3 >& o, double gap ) {
                        Scene scene;
                        scene.curves.push_back( test::curve( { o + p( 0, 0, 0 ), o + p( 1, 0, 0 ) } ) );
                        scene.curves.push_back( test::curve(
                            { o + p( 0.5, -1, gap + 1 ), o + p( 0.5, 1, gap - 1 ) } ) );
                        return scene;
                    } },
            };
            for( const auto& offset :
                { p( 0, 0, 0 ), p( 3e5, 6e6, -1e3 ) } )
            {
                for( const auto& configuration : configurations )
                {
                    for( const double distance : { 0.5e-6, 0.95e-6, 1.05e-6, 1.5e-6, 5e-6 } )
                    {
                        SCOPED_TRACE( testing::Message() << configuration.name << ", offset "
                                                         << offset.string() << ", distance "
                                                         << distance );
                        const auto scene =
                            configuration.build( offset, distance / configuration.factor );
                        const auto graph = internal::find_conflicts( scene.meshes() );
                        ASSERT_EQ( graph.has_value(), distance <= GLOBAL_EPSILON );
                        if( graph )
                        {
                            EXPECT_EQ( ( *graph )->graph().nb_edges(), 1u );
                        }
                    }
                }
            }
        }

        /// Brute force: two elements conflict when an edge of one comes
        /// within 1e-6 of the other triangle (an exact meeting is at 0).
        double triangle_triangle_distance( const Triangle< 3 >& a, const Triangle< 3 >& b )
        {
            double distance = std::numeric_limits< double >::max();
            for( const auto* pair : { &a, &b } )
            {
                const auto& from = *pair;
                const auto& to = pair == &a ? b : a;
                for( const auto e : { 0, 1, 2 } )
                {
                    const Segment< 3 > segment{ from.vertices()[e],
                        from.vertices()[( e + 1 ) % 3] };
                    distance = std::min(
                        distance, std::get< 0 >( segment_triangle_distance( segment, to ) ) );
                }
            }
            return distance;
        }

        TEST_F( ConflictFinderTest, RandomTrianglesMatchBruteForce )
        {
            std::mt19937 generator{ 24 };
            std::uniform_real_distribution< double > coordinate{ 0., 1. };
            for( int run = 0; run < 5; run++ )
            {
                SCOPED_TRACE( run );
                std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
                std::vector< std::pair< ElementKey, Triangle< 3 > > > all;
                for( int s = 0; s < 3; s++ )
                {
                    std::vector< TriangleCorners > triangles;
                    for( int t = 0; t < 8; t++ )
                    {
                        const auto centre = p( coordinate( generator ),
                            coordinate( generator ), coordinate( generator ) );
                        TriangleCorners corners;
                        for( auto& corner : corners )
                        {
                            corner = centre
                                     + Vector< 3 >{ { 0.3 * ( coordinate( generator ) - 0.5 ),
                                         0.3 * ( coordinate( generator ) - 0.5 ),
                                         0.3 * ( coordinate( generator ) - 0.5 ) } };
                        }
                        triangles.push_back( corners );
                    }
                    surfaces.push_back( triangles_surface( triangles ) );
                    for( index_t t = 0; t < surfaces.back()->nb_polygons(); t++ )
                    {
                        all.emplace_back( ElementKey{ "Surface", surfaces.back()->id(), t },
                            surfaces.back()->triangle( t ) );
                    }
                }
                std::set< Conflict > expected;
                for( std::size_t i = 0; i < all.size(); i++ )
                {
                    for( std::size_t j = i + 1; j < all.size(); j++ )
                    {
                        if( triangle_triangle_distance( all[i].second, all[j].second )
                            <= GLOBAL_EPSILON )
                        {
                            expected.emplace( std::min( all[i].first, all[j].first ),
                                std::max( all[i].first, all[j].first ) );
                        }
                    }
                }
                const auto graph = internal::find_conflicts( meshes_of( surfaces ) );
                ASSERT_EQ( graph.has_value(), !expected.empty() );
                if( graph )
                {
                    EXPECT_EQ( conflicts( **graph ), expected );
                }
            }
        }

        /// A wavy grid of n x n squares over [0, n]^2, each square two
        /// triangles; the height at (x, y) is given.
        template < typename Height >
        std::unique_ptr< TriangulatedSurface< 3 > > wavy_grid( index_t n, const Height& height )
        {
            std::vector< TriangleCorners > triangles;
            const auto at = [&height]( index_t i, index_t j ) {
                const auto x = static_cast< double >( i );
                const auto y = static_cast< double >( j );
                return p( x, y, height( x, y ) );
            };
            for( index_t j = 0; j < n; j++ )
            {
                for( index_t i = 0; i < n; i++ )
                {
                    triangles.push_back( { at( i, j ), at( i + 1, j ), at( i + 1, j + 1 ) } );
                    triangles.push_back( { at( i, j ), at( i + 1, j + 1 ), at( i, j + 1 ) } );
                }
            }
            return triangles_surface( triangles );
        }

        TEST_F( ConflictFinderTest, GraphDoesNotDependOnTheNumberOfThreads )
        {
            // Enough elements for the pair search to be split into many
            // jobs: a horizon, a sheet dipping through it in a few places,
            // a curve lying on the horizon's vertices and crossing the
            // sheet, and points on both surfaces and on the curve.
            constexpr index_t n = 24;
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            surfaces.push_back( wavy_grid( n, []( double x, double y ) {
                return 0.2 * std::sin( 0.3 * x ) * std::cos( 0.2 * y );
            } ) );
            surfaces.push_back( wavy_grid( n, []( double x, double y ) {
                double z = 1.;
                for( const auto& [cx, cy] :
                    { std::pair{ 6., 6. }, std::pair{ 15., 18. }, std::pair{ 20., 5. } } )
                {
                    z -= 2. * std::exp( -( ( x - cx ) * ( x - cx ) + ( y - cy ) * ( y - cy ) ) / 4. );
                }
                return z;
            } ) );
            std::vector< Point< 3 > > curve_points;
            std::vector< Point< 3 > > corner_points;
            for( index_t i = 0; i <= n; i++ )
            {
                const auto t = static_cast< double >( i );
                curve_points.push_back( p( t, 0.5 * t, 0.5 - 0.02 * t ) );
                // Inside a triangle of either surface, and beside the middle
                // of a curve edge.
                const auto& surface = *surfaces[i % 2];
                corner_points.push_back(
                    surface.triangle( ( 37 * i ) % surface.nb_polygons() ).barycenter() );
                corner_points.push_back(
                    p( t + 0.5, 0.5 * t + 0.25, 0.5 - 0.02 * t - 0.01 + 1e-7 ) );
            }
            const auto curve = test::curve( curve_points );
            const auto points = test::point_set( corner_points );
            auto meshes = meshes_of( surfaces );
            meshes.curves.push_back( curve.get() );
            meshes.point_sets.push_back( points.get() );

            struct Found
            {
                std::vector< ElementKey > vertices;
                std::vector< std::array< index_t, 2 > > edges;
            };
            const auto search = [&meshes]( int nb_threads ) {
                Found found;
                tbb::task_arena arena{ nb_threads };
                arena.execute( [&] {
                    const auto graph = internal::find_conflicts( meshes );
                    if( !graph )
                    {
                        return;
                    }
                    const auto& conflict_graph = **graph;
                    for( index_t v = 0; v < conflict_graph.graph().nb_vertices(); v++ )
                    {
                        found.vertices.push_back( key( conflict_graph.element( v ) ) );
                    }
                    for( index_t e = 0; e < conflict_graph.graph().nb_edges(); e++ )
                    {
                        found.edges.push_back( conflict_graph.graph().edge_vertices( e ) );
                    }
                } );
                return found;
            };
            const auto serial = search( 1 );
            ASSERT_GT( serial.edges.size(), 50u );
            for( const auto nb_threads : { 2, 8 } )
            {
                SCOPED_TRACE( nb_threads );
                const auto parallel = search( nb_threads );
                EXPECT_EQ( parallel.vertices, serial.vertices );
                EXPECT_EQ( parallel.edges, serial.edges );
            }
            std::set< std::string > kinds_found;
            for( const auto& vertex : serial.vertices )
            {
                kinds_found.insert( std::get< 0 >( vertex ) );
            }
            EXPECT_EQ( kinds_found, ( std::set< std::string >{ "Corner", "Line", "Surface" } ) );
        }
    } // namespace
} // namespace orvane
