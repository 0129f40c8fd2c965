#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/cutter/patch_surface.hpp>

#include <tests/support/solid_fixtures.hpp>

namespace
{
    using namespace orvane;

    std::vector< index_t > as_vector( const FrontCycle& cycle )
    {
        return { cycle.vertices().begin(), cycle.vertices().end() };
    }

    std::vector< std::vector< index_t > > as_vectors(
        const std::vector< FrontCycle >& cycles )
    {
        std::vector< std::vector< index_t > > vectors;
        for( const auto& cycle : cycles )
        {
            vectors.push_back( as_vector( cycle ) );
        }
        return vectors;
    }

    constexpr index_t a = 10, b = 11, c = 12, d = 13, e = 14, f = 15, g = 16;

    TEST( FrontCycle, InsertAfterTheFirstOccurrenceAndRemoveEveryOccurrence )
    {
        FrontCycle cycle{ a, b, c, b };
        cycle.insert_after( b, d );
        EXPECT_EQ( as_vector( cycle ), ( std::vector< index_t >{ a, b, d, c, b } ) );
        cycle.insert_after( g, e );
        EXPECT_EQ( cycle.size(), 5u );
        cycle.remove( b );
        EXPECT_EQ( as_vector( cycle ), ( std::vector< index_t >{ a, d, c } ) );
    }

    TEST( FrontCycle, SplitAtMovesTheRunFromTheFirstOccurrence )
    {
        FrontCycle cycle{ a, c, d, e, c, f };
        const auto piece = cycle.split_at( c );
        EXPECT_EQ( as_vector( piece ), ( std::vector< index_t >{ c, d, e } ) );
        EXPECT_EQ( as_vector( cycle ), ( std::vector< index_t >{ a, c, f } ) );

        // A value met once or never leaves the cycle whole.
        EXPECT_TRUE( cycle.split_at( a ).empty() );
        EXPECT_TRUE( cycle.split_at( g ).empty() );
        EXPECT_EQ( as_vector( cycle ), ( std::vector< index_t >{ a, c, f } ) );
    }

    TEST( SplitIntoSimpleCycles, Table )
    {
        struct Case
        {
            const char* name;
            FrontCycle chain;
            std::vector< std::vector< index_t > > expected;
        };
        const std::vector< Case > cases{
            { "simple", { a, b, c }, { { a, b, c } } },
            { "back and forth piece dropped", { a, b, c, b, d }, { { a, b, d } } },
            { "two vertices back and forth", { a, b, a }, {} },
            { "two vertices", { a, b }, {} },
            { "empty", {}, {} },
            // Figure eight through c: both loops survive, the cut-out one
            // last since the rest is worked first.
            { "figure eight", { a, b, c, d, e, c }, { { a, b, c }, { c, d, e } } },
            // A loop nested in a loop: c..c holds d..d.
            { "nested", { a, b, c, d, e, f, d, g, c },
                { { a, b, c }, { c, d, g }, { d, e, f } } },
            { "degenerate spike inside a loop", { a, b, c, d, c, e },
                { { a, b, c, e } } },
        };
        for( const auto& test : cases )
        {
            EXPECT_EQ( as_vectors( detail::split_into_simple_cycles( test.chain ) ),
                test.expected )
                << test.name;
        }
    }

    class PatchSurfaceTest : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            solid_ = test::single_tetrahedron();
            solid_->enable_edges();
        }

        PatchBoundaryEdge edge( index_t v0, index_t v1 ) const
        {
            const auto id = solid_->edges().edge_from_vertices( { v0, v1 } ).value();
            const auto& vertices = solid_->edges().edge_vertices( id );
            return { id, vertices[0] == v0 };
        }

        std::array< index_t, 2 > ends( const PatchBoundaryEdge& boundary ) const
        {
            return solid_->edges().edge_vertices( boundary.edge );
        }

        std::unique_ptr< TetrahedralSolid< 3 > > solid_;
    };

    TEST_F( PatchSurfaceTest, BoundaryEdgesGivenBothWaysMarkTheInnerSideTaken )
    {
        PatchSurface patch;
        std::vector< PatchEdgeKey > keys;
        for( const auto& [from, to] :
            std::vector< std::pair< index_t, index_t > >{ { 1, 2 }, { 2, 3 }, { 3, 1 } } )
        {
            const auto boundary = edge( from, to );
            keys.push_back( patch.add_boundary_edge( boundary, ends( boundary ) ) );
        }
        EXPECT_EQ( patch.mesh().nb_vertices(), 3u );
        EXPECT_EQ( patch.nb_records(), 3u );
        for( const auto& key : keys )
        {
            const auto& front = patch.front_edge( key );
            const auto& solid_ends = solid_->edges().edge_vertices( front.solid_edge );
            EXPECT_TRUE( ( std::array< index_t, 2 >{ patch.solid_vertex( key.first ),
                               patch.solid_vertex( key.second ) } == solid_ends )
                         || ( std::array< index_t, 2 >{ patch.solid_vertex( key.second ),
                                  patch.solid_vertex( key.first ) } == solid_ends ) );
            EXPECT_EQ( patch.record( front.record ).outer.polygon_id, NO_ID );
            EXPECT_EQ( patch.record( front.record ).inner.polygon_id, NO_ID );
        }
        EXPECT_EQ( patch.solid_vertex( keys[0].first ), 1u );
        EXPECT_EQ( patch.solid_vertex( keys[0].second ), 2u );
        for( const index_t v : { 1, 2, 3 } )
        {
            EXPECT_TRUE( patch.is_reached( v ) );
        }
        EXPECT_FALSE( patch.is_reached( 0 ) );

        const auto reversed = edge( 2, 1 );
        const auto key = patch.add_boundary_edge( reversed, ends( reversed ) );
        EXPECT_EQ( key, ( PatchEdgeKey{ keys[0].second, keys[0].first } ) );
        EXPECT_EQ( patch.mesh().nb_vertices(), 3u );
        EXPECT_EQ( patch.nb_records(), 3u );
        EXPECT_EQ( patch.record( patch.front_edge( keys[0] ).record ).inner.polygon_id,
            PatchEdgeRecord::TAKEN );
        EXPECT_THROW( static_cast< void >( patch.front_edge( key ) ), std::out_of_range );

        // The "patch" attribute names the solid vertex.
        const auto attribute =
            patch.mesh().vertex_attribute_manager().find_attribute< SolidPatch >(
                "patch" );
        EXPECT_EQ( attribute->value( keys[1].first ), ( SolidPatch{ 0, NO_ID, 2 } ) );
        const auto plain = patch.builder().create_vertex();
        EXPECT_EQ( attribute->value( plain ), ( SolidPatch{ 0, NO_ID, NO_ID } ) );
    }

    TEST_F( PatchSurfaceTest, FrontEdgesLinkTrianglesAndFindThemInBothOrientations )
    {
        PatchSurface patch;
        const auto p1 = patch.find_or_create_vertex( 1 );
        const auto p2 = patch.find_or_create_vertex( 2 );
        const auto p3 = patch.find_or_create_vertex( 3 );
        const auto p0 = patch.find_or_create_vertex( 0 );
        EXPECT_EQ( patch.find_or_create_vertex( 2 ), p2 );
        EXPECT_EQ( patch.patch_vertex( 3 ), p3 );
        EXPECT_FALSE( patch.patch_vertex( 7 ) );

        const auto t0 = patch.builder().create_triangle( { p1, p2, p3 } );
        patch.add_front_edge( p1, p2, { t0, 0 }, *solid_ );
        const auto& record = patch.record( patch.front_edge( { p1, p2 } ).record );
        EXPECT_EQ( record.outer, ( PolygonEdge{ t0, 0 } ) );
        EXPECT_EQ( record.inner.polygon_id, NO_ID );
        EXPECT_EQ( patch.front_edge( { p1, p2 } ).solid_edge,
            solid_->edges().edge_from_vertices( { 1, 2 } ).value() );

        // A triangle on the other side of (p1, p2) closes that record.
        const auto t1 = patch.builder().create_triangle( { p2, p1, p0 } );
        patch.add_front_edge( p2, p1, { t1, 0 }, *solid_ );
        EXPECT_EQ( patch.nb_records(), 1u );
        EXPECT_EQ( patch.record( patch.front_edge( { p1, p2 } ).record ).inner,
            ( PolygonEdge{ t1, 0 } ) );
        EXPECT_EQ( patch.mesh().polygon_adjacent( { t0, 0 } ), t1 );
        EXPECT_EQ( patch.mesh().polygon_adjacent( { t1, 0 } ), t0 );

        EXPECT_TRUE( patch.has_triangle( p1, p2, p3 ) );
        EXPECT_TRUE( patch.has_triangle( p1, p3, p2 ) );
        EXPECT_TRUE( patch.has_triangle( p2, p1, p0 ) );
        EXPECT_TRUE( patch.has_triangle( p1, p2, p0 ) );
        EXPECT_FALSE( patch.has_triangle( p3, p0, p1 ) );
        const auto p5 = patch.find_or_create_vertex( 5 );
        EXPECT_FALSE( patch.has_triangle( p1, p2, p5 ) );

        // The solid edge under a new front edge must exist.
        EXPECT_THROW( patch.add_front_edge( p1, p5, { t0, 1 }, *solid_ ),
            std::bad_optional_access );
    }
} // namespace
