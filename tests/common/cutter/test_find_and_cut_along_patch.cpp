#include <gtest/gtest.h>

#include <filesystem>
#include <random>

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
            ( std::vector< PatchElementEntry >{ { facet, { facet } } } ) );
        EXPECT_EQ( result.cut_vertices, ( std::vector< PatchElementEntry >{ { 3, { 3 } } } ) );
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
        EXPECT_EQ( result.cut_vertices, ( std::vector< PatchElementEntry >{
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
