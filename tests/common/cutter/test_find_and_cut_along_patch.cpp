#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <random>
#include <set>

#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/cutter/find_and_cut_along_patch.hpp>
#include <common/modifier/tetrahedral_solid_modifier.hpp>

#include <tests/common/cutter/patch_cut_helpers.hpp>
#include <tests/support/solid_fixtures.hpp>
#include <tests/support/solid_modifier_checks.hpp>

namespace
{
    using namespace orvane;

    /// A solid with its builder and modifier, as the cutter's caller holds
    /// them.
    struct EditedSolid
    {
        explicit EditedSolid( std::unique_ptr< TetrahedralSolid< 3 > > mesh )
            : solid( std::move( mesh ) ),
              builder( TetrahedralSolidBuilder< 3 >::create( *solid ) ),
              modifier( *solid, *builder )
        {
            solid->enable_edges();
            solid->enable_facets();
        }

        Triangle< 3 > triangle( index_t a, index_t b, index_t c ) const
        {
            return { solid->point( a ), solid->point( b ), solid->point( c ) };
        }

        std::unique_ptr< TetrahedralSolid< 3 > > solid;
        std::unique_ptr< TetrahedralSolidBuilder< 3 > > builder;
        TetrahedralSolidModifier modifier;
    };

    CutAlongPatchResult cut( EditedSolid& edited,
        const Triangle< 3 >& triangle,
        const std::vector< PatchBoundaryEdge >& boundary,
        index_t* nb_splits = nullptr )
    {
        FindAndCutAlongPatchImpl cutter{ *edited.solid, edited.modifier, triangle,
            boundary };
        const auto splits = cutter.prepare();
        if( nb_splits )
        {
            *nb_splits = splits;
        }
        cutter.process();
        return cutter.take_result();
    }

    template < typename Call >
    std::string message_of( Call&& call )
    {
        try
        {
            call();
        }
        catch( const std::exception& error )
        {
            return error.what();
        }
        return {};
    }

    class PatchCutTest : public ::testing::Test
    {
    protected:
        static void SetUpTestSuite()
        {
            test::initialize_solid_meshes();
        }
    };

    TEST_F( PatchCutTest, TriangleOnAFacetTakesThatFacet )
    {
        EditedSolid edited{ test::single_tetrahedron() };
        const auto triangle = edited.triangle( 1, 2, 3 );
        const auto boundary = test::boundary_of( *edited.solid, { 1, 2, 3 } );
        FindAndCutAlongPatchImpl cutter{ *edited.solid, edited.modifier, triangle,
            boundary };
        EXPECT_EQ( cutter.projection_axis(), 0 );
        EXPECT_EQ( cutter.forward_sign(), SIDE::positive );
        ASSERT_EQ( cutter.front_cycles().size(), 1u );
        EXPECT_EQ( cutter.prepare(), 0u );
        cutter.process();
        EXPECT_TRUE( cutter.front_cycles().empty() );
        EXPECT_EQ( cutter.patch_surface().mesh().nb_polygons(), 1u );
        const auto result = cutter.take_result();

        const auto facet = edited.solid->facets().facet_from_vertices( { 1, 2, 3 } ).value();
        EXPECT_EQ( result.patch_facets,
            ( std::vector< ElementEntry >{ { facet, { facet } } } ) );
        EXPECT_EQ( result.cut_vertices, ( std::vector< ElementEntry >{ { 3, { 3 } } } ) );
        EXPECT_TRUE( result.modified_facets.empty() );
        EXPECT_TRUE( result.modified_edges.empty() );
        EXPECT_TRUE( result.tetrahedra.empty() );
        EXPECT_TRUE( result.short_edges.empty() );
        EXPECT_EQ( test::nb_live_tetrahedra( *edited.solid ), 1u );
    }

    TEST_F( PatchCutTest, BoundaryGivenEitherWayAroundCoversTheSameFacets )
    {
        // The diagonal plane x = y of the cube cut around its diagonal is
        // made of facets: no split, two triangles either way round.
        for( const auto& chain :
            std::vector< std::vector< index_t > >{ { 0, 3, 7 }, { 7, 3, 0 } } )
        {
            EditedSolid edited{ test::cube_of_six_tetrahedra() };
            const auto triangle = edited.triangle( chain[0], chain[1], chain[2] );
            index_t splits{ NO_ID };
            const auto result = cut( edited, triangle,
                test::boundary_of( *edited.solid, chain ), &splits );
            EXPECT_EQ( splits, 0u );
            EXPECT_EQ( test::patch_problems(
                           *edited.solid, edited.modifier, triangle, result ),
                std::vector< std::string >{} );
            EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
        }
    }

    TEST_F( PatchCutTest, ConstructionRefusesBoundariesWithoutInsideAndFlatTriangles )
    {
        EditedSolid edited{ test::single_tetrahedron() };
        const auto open = test::boundary_of( *edited.solid, { 1, 2, 3 } );
        const std::vector< PatchBoundaryEdge > two_edges{ open[0], open[1] };
        const auto triangle = edited.triangle( 1, 2, 3 );
        EXPECT_EQ( message_of( [&] {
            FindAndCutAlongPatchImpl cutter{ *edited.solid, edited.modifier,
                triangle, two_edges };
        } ),
            "[FindAndCutAlongPatchImpl] Given boundary edges do not define a "
            "patch with an inside" );

        // A closed boundary around a triangle whose corners are collinear:
        // refused before any use of its normal.
        const Triangle< 3 > flat{ Point< 3 >{ { 0, 0, 0 } }, Point< 3 >{ { 1, 1, 1 } },
            Point< 3 >{ { 2, 2, 2 } } };
        EXPECT_EQ( message_of( [&] {
            FindAndCutAlongPatchImpl cutter{ *edited.solid, edited.modifier, flat,
                open };
        } ),
            "[FindAndCutAlongPatchImpl] Given MacroTriangle has no normal" );
        EXPECT_THROW( FindAndCutAlongPatchImpl( *edited.solid, edited.modifier, flat,
                          open ),
            OpenOrvaneException );
    }

    TEST_F( PatchCutTest, CrossingWithinToleranceOfAnEdgeEndIsNotSplit )
    {
        // Triangle A, B, C at z = 0; P lies 1e-9 below its centre and the
        // edge P-T to the top apex crosses the triangle right next to P.
        const std::vector< Point< 3 > > points{ Point< 3 >{ { 0, 0, 0 } },
            Point< 3 >{ { 3, 0, 0 } }, Point< 3 >{ { 0, 3, 0 } },
            Point< 3 >{ { 1, 1, -1e-9 } }, Point< 3 >{ { 1, 1, 2 } },
            Point< 3 >{ { 1, 1, -2 } } };
        constexpr index_t A = 0, B = 1, C = 2, P = 3, T = 4, D = 5;
        EditedSolid edited{ test::create_tetrahedral_solid( points,
            { { A, B, P, T }, { B, C, P, T }, { C, A, P, T }, { A, B, D, P },
                { B, C, D, P }, { C, A, D, P } } ) };
        ASSERT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
        const auto volume = test::live_volume( *edited.solid );
        const auto triangle = edited.triangle( A, B, C );
        index_t splits{ NO_ID };
        const auto result = cut(
            edited, triangle, test::boundary_of( *edited.solid, { A, B, C } ), &splits );
        EXPECT_EQ( splits, 0u );
        EXPECT_EQ( result.patch_facets.size(), 3u );
        EXPECT_EQ( result.cut_vertices, ( std::vector< ElementEntry >{
                                            { P, { P } }, { C, { C } } } ) );
        EXPECT_EQ(
            test::patch_problems( *edited.solid, edited.modifier, triangle, result ),
            std::vector< std::string >{} );
        EXPECT_NEAR( test::live_volume( *edited.solid ), volume, 1e-12 );
    }

    TEST_F( PatchCutTest, FailureDumpsGetTheirOwnNumberedFiles )
    {
        const auto folder = std::filesystem::temp_directory_path()
                            / absl::StrCat( "patch_cut_dumps_", ::getpid() );
        std::filesystem::create_directories( folder );
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path( folder );

        EditedSolid edited{ test::single_tetrahedron() };
        const auto triangle = edited.triangle( 1, 2, 3 );
        FindAndCutAlongPatchImpl cutter{ *edited.solid, edited.modifier, triangle,
            test::boundary_of( *edited.solid, { 1, 2, 3 } ) };
        const auto first = detail::save_patch_cut_failure( *edited.solid, 0,
            cutter.patch_surface(), cutter.front_cycles() );
        const auto second = detail::save_patch_cut_failure( *edited.solid, 0,
            cutter.patch_surface(), cutter.front_cycles() );
        std::filesystem::current_path( previous );

        ASSERT_EQ( first.size(), 2u );
        ASSERT_EQ( second.size(), 2u );
        // The numbers of two dumps follow each other, and no file is shared.
        const auto number = first.back().substr( 7, first.back().find( '_', 7 ) - 7 );
        EXPECT_EQ( first.back(), absl::StrCat( "cycles_", number, "_999.oo_edc3d" ) );
        EXPECT_EQ( second.back(),
            absl::StrCat( "cycles_", std::stoul( number ) + 1, "_999.oo_edc3d" ) );
        EXPECT_NE( first.front(), second.front() );
        for( const auto& files : { first, second } )
        {
            for( const auto& file : files )
            {
                EXPECT_TRUE( std::filesystem::exists( folder / file ) ) << file;
            }
        }
        std::filesystem::remove_all( folder );
    }

    /// A block of n^3 unit cells whose vertices off the planes y = z and
    /// (for `all_but_plane` false) on them too, except the triangle's sides,
    /// are moved at random by up to `jitter` along each axis. The sides of
    /// the triangle (0,0,0), (n,0,0), (n,n,n) are grid edges and stay put.
    std::unique_ptr< TetrahedralSolid< 3 > > jittered_grid(
        index_t n, double jitter, bool keep_plane, std::mt19937& random )
    {
        auto solid = test::grid_tetrahedral_solid( n, n, n );
        auto builder = TetrahedralSolidBuilder< 3 >::create( *solid );
        std::uniform_real_distribution< double > shift{ -jitter, jitter };
        for( index_t v = 0; v < solid->nb_vertices(); v++ )
        {
            auto point = solid->point( v );
            const auto x = point.value( 0 ), y = point.value( 1 ), z = point.value( 2 );
            const bool on_side =
                ( y == 0 && z == 0 ) || ( x == n && y == z ) || ( x == y && y == z );
            const bool on_plane = y == z;
            if( on_side || ( keep_plane && on_plane ) )
            {
                continue;
            }
            for( const local_index_t c : { 0, 1, 2 } )
            {
                const auto moved = point.value( c ) + shift( random );
                // Border vertices stay on their border planes.
                if( point.value( c ) > 0 && point.value( c ) < n )
                {
                    point.set_value( c, moved );
                }
            }
            builder->set_point( v, point );
        }
        return solid;
    }

    std::vector< index_t > grid_chain( index_t n )
    {
        const auto vertex = [n]( index_t i, index_t j, index_t k ) {
            return i + ( n + 1 ) * ( j + ( n + 1 ) * k );
        };
        std::vector< index_t > chain;
        for( index_t i = 0; i < n; i++ )
        {
            chain.push_back( vertex( i, 0, 0 ) );
        }
        for( index_t j = 0; j < n; j++ )
        {
            chain.push_back( vertex( n, j, j ) );
        }
        for( index_t k = n; k > 0; k-- )
        {
            chain.push_back( vertex( k, k, k ) );
        }
        return chain;
    }

    TEST_F( PatchCutTest, TriangleAcrossAJitteredGrid )
    {
        // The triangle lies in the plane y = z. Vertices off it are jittered
        // so that the plane crosses edges and facets at arbitrary places;
        // with `keep_plane` the vertices on it stay there, and the triangle
        // also meets solid vertices and edges lying in it.
        constexpr index_t n = 4;
        for( const auto keep_plane : { true, false } )
        {
            for( const std::uint32_t seed : { 1u, 2u, 3u } )
            {
                std::mt19937 random{ seed };
                EditedSolid edited{ jittered_grid( n, 0.3, keep_plane, random ) };
                ASSERT_TRUE( test::is_valid_modified_solid( *edited.solid ) )
                    << "seed " << seed;
                const auto volume = test::live_volume( *edited.solid );
                const auto chain = grid_chain( n );
                const Triangle< 3 > triangle{ Point< 3 >{ { 0, 0, 0 } },
                    Point< 3 >{ { n, 0, 0 } }, Point< 3 >{ { n, n, n } } };
                index_t splits{ 0 };
                CutAlongPatchResult result;
                try
                {
                    result = cut( edited, triangle,
                        test::boundary_of( *edited.solid, chain ), &splits );
                }
                catch( const CutPatchException& error )
                {
                    ADD_FAILURE() << "seed " << seed << " keep " << keep_plane
                                  << " blocked " << error.front_blocked
                                  << " postponed " << error.postponed_cuts.size();
                    EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
                    continue;
                }
                // Kept in place, the plane's vertices shield it: the jitter
                // cannot push a vertex across it.
                EXPECT_EQ( splits > 0, !keep_plane );
                EXPECT_EQ( test::patch_problems(
                               *edited.solid, edited.modifier, triangle, result ),
                    std::vector< std::string >{} )
                    << "seed " << seed << " keep " << keep_plane;
                EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
                EXPECT_NEAR( test::live_volume( *edited.solid ), volume, 1e-9 );
                for( const auto& origin : result.tetrahedra )
                {
                    EXPECT_TRUE(
                        edited.modifier.is_polyhedron_active( origin.new_element ) );
                }
                for( const auto& entry : result.cut_vertices )
                {
                    EXPECT_LE( std::get< 0 >( point_triangle_distance(
                                   edited.solid->point( entry.element ), triangle ) ),
                        1e-6 );
                }
            }
        }
    }
} // namespace

namespace
{
    /// A random triangle of one of the kinds that stress the cutter.
    std::array< Point< 3 >, 3 > random_triangle( const TetrahedralSolid< 3 >& solid,
        index_t n,
        index_t kind,
        std::mt19937& random )
    {
        std::uniform_real_distribution< double > inside{ 0.15, n - 0.15 };
        std::uniform_real_distribution< double > unit{ -1., 1. };
        const auto random_point = [&] {
            return Point< 3 >{ { inside( random ), inside( random ), inside( random ) } };
        };
        const auto near = [&]( const Point< 3 >& point, double size ) {
            auto moved = point;
            for( const local_index_t c : { 0, 1, 2 } )
            {
                moved.set_value( c, std::clamp( point.value( c ) + size * unit( random ),
                                        0.05, n - 0.05 ) );
            }
            return moved;
        };
        // A solid vertex, the middle of a solid edge, the centre of a facet.
        const auto on_solid = [&]( index_t dimension ) {
            std::uniform_int_distribution< index_t > pick{ 0, solid.nb_polyhedra() - 1 };
            const auto vertices = solid.polyhedron_vertices( pick( random ) );
            Point< 3 > sum;
            for( index_t v = 0; v <= dimension; v++ )
            {
                sum = sum + solid.point( vertices[v] );
            }
            return sum / static_cast< double >( dimension + 1 );
        };
        switch( kind )
        {
        case 0: // large
            return { random_point(), random_point(), random_point() };
        case 1: { // small
            const auto centre = random_point();
            return { near( centre, 0.3 ), near( centre, 0.3 ), near( centre, 0.3 ) };
        }
        case 2: { // nearly flat: the third corner close to the first side
            const auto a = random_point();
            const auto b = random_point();
            return { a, b, near( ( a + b ) / 2., 0.01 ) };
        }
        case 3: { // nearly parallel to the facets z = k
            const auto k = static_cast< double >( 1 + random() % ( n - 1 ) );
            auto a = random_point(), b = random_point(), c = random_point();
            a.set_value( 2, k + 1e-4 * unit( random ) );
            b.set_value( 2, k + 1e-4 * unit( random ) );
            c.set_value( 2, k + 1e-4 * unit( random ) );
            return { a, b, c };
        }
        default: // corners on a solid vertex, an edge and a facet
            return { on_solid( 0 ), on_solid( 1 ), on_solid( 2 ) };
        }
    }

    TEST_F( PatchCutTest, RandomTrianglesInAJitteredGrid )
    {
        constexpr index_t n = 4;
        index_t nb_cuts{ 0 };
        index_t nb_made{ 0 };
        for( std::uint32_t seed = 1; seed <= 4; seed++ )
        {
            std::mt19937 random{ seed };
            auto grid = test::grid_tetrahedral_solid( n, n, n );
            {
                auto builder = TetrahedralSolidBuilder< 3 >::create( *grid );
                std::uniform_real_distribution< double > shift{ -0.2, 0.2 };
                for( index_t v = 0; v < grid->nb_vertices(); v++ )
                {
                    auto point = grid->point( v );
                    for( const local_index_t c : { 0, 1, 2 } )
                    {
                        if( point.value( c ) > 0 && point.value( c ) < n )
                        {
                            point.set_value( c, point.value( c ) + shift( random ) );
                        }
                    }
                    builder->set_point( v, point );
                }
            }
            EditedSolid edited{ std::move( grid ) };
            ASSERT_TRUE( test::is_valid_modified_solid( *edited.solid ) ) << "seed " << seed;
            const auto volume = test::live_volume( *edited.solid );
            for( index_t kind = 0; kind < 5; kind++ )
            {
                const auto corners =
                    random_triangle( *edited.solid, n, kind, random );
                const Triangle< 3 > triangle{ corners[0], corners[1], corners[2] };
                if( !triangle.normal() )
                {
                    continue;
                }
                test::PatchBoundaryInserter inserter{ *edited.solid, edited.modifier };
                std::vector< index_t > vertices;
                for( const auto& corner : corners )
                {
                    if( const auto vertex = inserter.insert_point( corner ) )
                    {
                        vertices.push_back( *vertex );
                    }
                }
                if( vertices.size() < 3 || vertices[0] == vertices[1]
                    || vertices[1] == vertices[2] || vertices[0] == vertices[2] )
                {
                    continue;
                }
                std::vector< index_t > chain;
                for( const local_index_t k : { 0, 1, 2 } )
                {
                    const auto side =
                        inserter.insert_segment( vertices[k], vertices[( k + 1 ) % 3] );
                    if( !side )
                    {
                        chain.clear();
                        break;
                    }
                    chain.insert( chain.end(), side->begin(), side->end() - 1 );
                }
                ASSERT_TRUE( test::is_valid_modified_solid( *edited.solid ) )
                    << "seed " << seed << " kind " << kind;
                if( chain.empty() )
                {
                    continue;
                }
                // The triangle the chains actually bound.
                const Triangle< 3 > inserted{ edited.solid->point( vertices[0] ),
                    edited.solid->point( vertices[1] ), edited.solid->point( vertices[2] ) };
                nb_cuts++;
                try
                {
                    const auto result = cut(
                        edited, inserted, test::boundary_of( *edited.solid, chain ) );
                    nb_made++;
                    EXPECT_EQ( test::patch_problems(
                                   *edited.solid, edited.modifier, inserted, result ),
                        std::vector< std::string >{} )
                        << "seed " << seed << " kind " << kind;
                }
                catch( const CutPatchException& error )
                {
                    // A refused cut leaves the edits made so far, and a valid
                    // solid, for the caller to repair.
                    EXPECT_TRUE( error.front_blocked || !error.postponed_cuts.empty() );
                    for( const auto vertex : error.split_vertices )
                    {
                        EXPECT_LE( std::get< 0 >( point_triangle_distance(
                                       edited.solid->point(
                                           edited.modifier.updated_vertex( vertex ) ),
                                       inserted ) ),
                            1e-6 );
                    }
                }
                ASSERT_TRUE( test::is_valid_modified_solid( *edited.solid ) )
                    << "seed " << seed << " kind " << kind;
                EXPECT_NEAR( test::live_volume( *edited.solid ), volume, 1e-9 )
                    << "seed " << seed << " kind " << kind;
            }
        }
        std::cout << nb_made << " of " << nb_cuts << " random patch cuts made\n";
        EXPECT_GE( 2 * nb_made, nb_cuts );
    }
} // namespace

namespace
{
    /// Three tetrahedra around the edge T-D, which crosses the triangle
    /// A, B, C at z = 0. T lies `offset` away from the plane through C, A
    /// and D, so the tetrahedron (C, A, T, D) is a sliver.
    std::unique_ptr< TetrahedralSolid< 3 > > three_around_crossing_edge(
        double offset, double t )
    {
        const std::vector< Point< 3 > > points{ Point< 3 >{ { 0, 0, 0 } },
            Point< 3 >{ { 2, 2.2, 0 } }, Point< 3 >{ { -3, 3, 0 } },
            Point< 3 >{ { -3 * t + offset, 3 * t, 1 } },
            Point< 3 >{ { -3.9 * t, 3.9 * t, -1.7 - t } } };
        std::vector< std::array< index_t, 4 > > tetrahedra{ { 0, 1, 3, 4 },
            { 1, 2, 3, 4 }, { 2, 0, 3, 4 } };
        for( auto& tetrahedron : tetrahedra )
        {
            if( tetrahedron_volume_sign( Tetrahedron{ points[tetrahedron[0]],
                    points[tetrahedron[1]], points[tetrahedron[2]],
                    points[tetrahedron[3]] } )
                != SIDE::positive )
            {
                std::swap( tetrahedron[2], tetrahedron[3] );
            }
        }
        return test::create_tetrahedral_solid( points, tetrahedra );
    }

    TEST_F( PatchCutTest, RefusedSplitIsReportedWithItsCut )
    {
        // The crossing point of T-D, rounded, falls on the wrong side of
        // the sliver: its split is refused and the cut fails with it.
        EditedSolid edited{ three_around_crossing_edge( 1.6e-16, 0.6224 ) };
        ASSERT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
        const auto triangle = edited.triangle( 0, 1, 2 );
        const auto boundary = test::boundary_of( *edited.solid, { 0, 1, 2 } );
        FindAndCutAlongPatchImpl cutter{ *edited.solid, edited.modifier, triangle,
            boundary };
        try
        {
            cutter.prepare();
            FAIL() << "the split should be refused";
        }
        catch( const CutPatchException& error )
        {
            EXPECT_STREQ( error.what(), "Invalid cut to do in cut_along_patch" );
            EXPECT_FALSE( error.front_blocked );
            EXPECT_TRUE( error.split_vertices.empty() );
            ASSERT_EQ( error.postponed_cuts.size(), 1u );
            const auto& postponed = error.postponed_cuts.front();
            const auto ends = edited.solid->polyhedron_facet_edge_vertices( postponed.edge );
            EXPECT_EQ( std::minmax( ends[0], ends[1] ), std::minmax( 3u, 4u ) );
            EXPECT_LE( std::get< 0 >( point_triangle_distance( postponed.point, triangle ) ),
                1e-6 );
            EXPECT_TRUE( error.result.patch_facets.empty() );
            EXPECT_TRUE( error.result.tetrahedra.empty() );
        }
        EXPECT_EQ( test::nb_live_tetrahedra( *edited.solid ), 3u );
        EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
    }

    /// A triangle A, B, C at z = 0 with the middle M of A-B, triangulated
    /// in the plane by `nb_rings` nested copies of A, B, C shrunk towards
    /// its centre G, and G itself; each planar triangle is the base of a
    /// tetrahedron to an apex above G and of one to an apex below. Returns
    /// the solid; vertices 0 to 3 are A, M, B, C.
    std::unique_ptr< TetrahedralSolid< 3 > > double_cone_over_rings(
        index_t nb_rings )
    {
        const Point< 3 > A{ { 0, 0, 0 } }, B{ { 10, 1, 0 } }, C{ { 3, 9, 0 } };
        const auto G = ( A + B + C ) / 3.;
        std::vector< Point< 3 > > points{ A, ( A + B ) / 2., B, C };
        std::vector< std::array< index_t, 3 > > triangles;
        const auto ring = [&]( index_t r ) {
            const auto scale = 1. - static_cast< double >( r ) / ( nb_rings + 1 );
            const auto first = static_cast< index_t >( points.size() );
            for( const auto& corner : { A, B, C } )
            {
                points.push_back( G + ( corner - G ) * scale );
            }
            return std::array< index_t, 3 >{ first, first + 1, first + 2 };
        };
        auto inner = ring( 1 );
        triangles.push_back( { 0, 1, inner[0] } );
        triangles.push_back( { 1, inner[1], inner[0] } );
        triangles.push_back( { 1, 2, inner[1] } );
        triangles.push_back( { 2, 3, inner[2] } );
        triangles.push_back( { 2, inner[2], inner[1] } );
        triangles.push_back( { 3, 0, inner[0] } );
        triangles.push_back( { 3, inner[0], inner[2] } );
        for( index_t r = 2; r <= nb_rings; r++ )
        {
            const auto next = ring( r );
            for( const local_index_t k : { 0, 1, 2 } )
            {
                const local_index_t l = ( k + 1 ) % 3;
                triangles.push_back( { inner[k], inner[l], next[l] } );
                triangles.push_back( { inner[k], next[l], next[k] } );
            }
            inner = next;
        }
        const auto centre = static_cast< index_t >( points.size() );
        points.push_back( G );
        for( const local_index_t k : { 0, 1, 2 } )
        {
            triangles.push_back( { inner[k], inner[( k + 1 ) % 3], centre } );
        }
        const auto top = static_cast< index_t >( points.size() );
        points.push_back( G + Point< 3 >{ { 0, 0, 5 } } );
        points.push_back( G + Point< 3 >{ { 0, 0, -5 } } );
        std::vector< std::array< index_t, 4 > > tetrahedra;
        for( const auto& triangle : triangles )
        {
            // Counter-clockwise seen from above: the apex above makes a
            // positive tetrahedron, the one below needs the swap.
            tetrahedra.push_back( { triangle[0], triangle[1], triangle[2], top } );
            tetrahedra.push_back( { triangle[0], triangle[2], triangle[1], top + 1 } );
        }
        return test::create_tetrahedral_solid( points, tetrahedra );
    }

    TEST_F( PatchCutTest, FrontThatClosesAtTheStepLimitSucceeds )
    {
        // 66 rings and the centre: 199 inner vertices and 400 facets under
        // the triangle, one step each; with its 4 boundary edges the front
        // may take 400 steps, and it closes on the last one.
        EditedSolid edited{ double_cone_over_rings( 66 ) };
        ASSERT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
        const auto triangle = edited.triangle( 0, 2, 3 );
        const auto boundary = test::boundary_of( *edited.solid, { 0, 1, 2, 3 } );
        FindAndCutAlongPatchImpl cutter{ *edited.solid, edited.modifier, triangle,
            boundary };
        EXPECT_EQ( cutter.prepare(), 0u );
        cutter.process();
        EXPECT_EQ( cutter.patch_surface().mesh().nb_polygons(), 400u );
        const auto result = cutter.take_result();
        EXPECT_EQ( result.patch_facets.size(), 400u );
        // Every inner vertex is an apex, once.
        absl::flat_hash_set< index_t > apexes;
        for( const auto& entry : result.cut_vertices )
        {
            EXPECT_TRUE( apexes.insert( entry.element ).second );
        }
        for( index_t v = 4; v < 4 + 199; v++ )
        {
            EXPECT_TRUE( apexes.contains( v ) ) << v;
        }
        EXPECT_EQ(
            test::patch_problems( *edited.solid, edited.modifier, triangle, result ),
            std::vector< std::string >{} );

        // One ring more needs 406 steps: over the limit.
        EditedSolid larger{ double_cone_over_rings( 67 ) };
        const auto larger_triangle = larger.triangle( 0, 2, 3 );
        const auto larger_boundary = test::boundary_of( *larger.solid, { 0, 1, 2, 3 } );
        FindAndCutAlongPatchImpl over{ *larger.solid, larger.modifier, larger_triangle,
            larger_boundary };
        over.prepare();
        const auto message = message_of( [&] { over.process(); } );
        EXPECT_TRUE( message.starts_with( "[FindAndCutAlongPatchImpl::process] Too "
                                          "many steps while cutting along patch. (" ) )
            << message;
        EXPECT_TRUE( message.ends_with( ")" ) ) << message;
    }
} // namespace

namespace
{
    TEST_F( PatchCutTest, SplitNextToACornerLeavesNoShortEdge )
    {
        // T-D crosses the triangle less than 1e-6 from its corner A: the
        // edge from A to the split vertex is collapsed afterwards (onto the
        // point of the edge's vertex 0, whichever it is), and the patch is
        // the one facet left on B, C and the merged vertex.
        EditedSolid edited{ three_around_crossing_edge( 1e-7, 1e-7 ) };
        ASSERT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
        const auto volume = test::live_volume( *edited.solid );
        const auto triangle = edited.triangle( 0, 1, 2 );
        index_t splits{ 0 };
        const auto result = cut(
            edited, triangle, test::boundary_of( *edited.solid, { 0, 1, 2 } ), &splits );
        EXPECT_EQ( splits, 1u );
        EXPECT_TRUE( result.short_edges.empty() );
        ASSERT_EQ( result.patch_facets.size(), 1u );
        const auto& facet = edited.solid->facets().facet_vertices(
            result.patch_facets.front().element );
        const auto corner = edited.modifier.updated_vertex( 0 );
        EXPECT_NE( corner, 0u );
        EXPECT_EQ( std::set< index_t >( facet.begin(), facet.end() ),
            ( std::set< index_t >{ corner, 1, 2 } ) );
        EXPECT_LE( point_point_distance( edited.solid->point( corner ), triangle.vertices()[0] ),
            1e-6 );
        EXPECT_TRUE( test::is_valid_modified_solid( *edited.solid ) );
        EXPECT_NEAR( test::live_volume( *edited.solid ), volume, 1e-5 );
        for( const auto& origin : result.tetrahedra )
        {
            EXPECT_TRUE( edited.modifier.is_polyhedron_active( origin.new_element ) );
        }
        for( const auto& entry : result.modified_facets )
        {
            EXPECT_TRUE( edited.modifier.is_facet_active( entry.element ) );
        }
    }
} // namespace
