#include <background/background_solid_edit_context.hpp>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/uuid.hpp>
#include <openorvane/geometry/distance.hpp>

#include <tests/background/repair_fixtures.hpp>
#include <tests/support/solid_modifier_checks.hpp>

namespace
{
    using orvane::index_t;
    using orvane::MeshPolygon;
    using orvane::MeshVertex;
    using orvane::Point;
    using orvane::uuid;
    using orvane::VertexCycle;
    using orvane::internal::BackgroundSolidTrackedElements;
    using orvane::test::RepairedSolid;

    /// Vertex (i, j, k) of a grid of 2 x 2 x 2 unit cells.
    index_t grid_vertex( index_t i, index_t j, index_t k )
    {
        return i + 3 * ( j + 3 * k );
    }

    /// A facet through `vertex` that does not hold `other`.
    std::optional< index_t > away_facet( const orvane::internal::BackgroundSolid& solid,
        index_t vertex,
        index_t other )
    {
        for( const auto& around : solid.polyhedra_around_vertex( vertex ) )
        {
            if( solid.vertex_in_polyhedron( around.polyhedron_id, other ) )
            {
                continue;
            }
            for( const orvane::local_index_t f : { 0, 1, 2, 3 } )
            {
                if( f != around.vertex_id )
                {
                    return solid.facets().facet_from_vertices(
                        solid.polyhedron_facet_vertices( { around.polyhedron_id, f } ) );
                }
            }
        }
        return std::nullopt;
    }

    TEST( BackgroundSolidEditContext, merge_appends_only_what_is_missing )
    {
        BackgroundSolidTrackedElements first;
        first.vertices = { 3, 1 };
        first.edges = { { 1, 3 } };
        first.facets = { VertexCycle{ 1, 2, 3 } };
        first.points = { Point< 3 >{ { 0., 0., 0. } } };
        const auto copy = first;
        first.merge( copy );
        EXPECT_EQ( first.vertices, copy.vertices );
        EXPECT_EQ( first.edges, copy.edges );
        EXPECT_EQ( first.facets, copy.facets );
        EXPECT_EQ( first.points, copy.points );

        BackgroundSolidTrackedElements other;
        other.vertices = { 1, 7 };
        other.edges = { { 1, 3 }, { 2, 7 } };
        other.facets = { VertexCycle{ 1, 2, 3 }, VertexCycle{ 2, 4, 7 } };
        // Points are compared exactly: a point 1e-15 away is another one.
        other.points = { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 1e-15, 0., 0. } } };
        first.merge( other );
        EXPECT_EQ( first.vertices, ( std::vector< index_t >{ 3, 1, 7 } ) );
        EXPECT_EQ( first.edges.size(), 2u );
        EXPECT_EQ( first.facets.size(), 2u );
        EXPECT_EQ( first.points.size(), 2u );
    }

    TEST( BackgroundSolidEditContext, collapse_admissibility )
    {
        const auto centre = grid_vertex( 1, 1, 1 );
        const auto border = grid_vertex( 1, 1, 0 );
        const uuid surface;
        struct Case
        {
            std::string name;
            index_t removed;
            index_t kept;
            bool track_removed;
            bool surface_record_on_removed;
            bool track_edge_from_kept;
            bool admissible;
        };
        for( const auto& test : std::vector< Case >{
                 { "interior onto border", centre, border, false, false, false, true },
                 { "border onto interior", border, centre, false, false, false, false },
                 { "tracked vertex removed", centre, border, true, false, false, false },
                 { "surface record that no facet around the edge carries", centre,
                     border, false, true, false, false },
                 { "edge that the collapse would make is tracked", centre, border,
                     false, false, true, false } } )
        {
            SCOPED_TRACE( test.name );
            BackgroundSolidTrackedElements tracked;
            if( test.track_removed )
            {
                tracked.vertices.push_back( test.removed );
            }
            if( test.track_edge_from_kept )
            {
                // The centre's neighbour (2, 1, 1) would be joined to the
                // kept vertex.
                tracked.edges.push_back( { border, grid_vertex( 2, 1, 1 ) } );
            }
            RepairedSolid repaired{ orvane::test::background_grid( 2, 2, 2 ),
                std::move( tracked ) };
            if( test.surface_record_on_removed )
            {
                // Both ends lie on the polygon, each through a facet of its
                // own, but no facet through the edge carries it.
                auto& solid = *repaired.solid;
                for( const auto& [end, other] :
                    { std::pair{ test.removed, test.kept }, std::pair{ test.kept, test.removed } } )
                {
                    const auto facet = away_facet( solid, end, other );
                    ASSERT_TRUE( facet.has_value() );
                    repaired.builder->add_init_facet_id( surface, 4, { facet.value() } );
                }
            }
            EXPECT_EQ( repaired.context->is_collapse_admissible( test.removed, test.kept ),
                test.admissible );
        }
    }

    TEST( BackgroundSolidEditContext, swap_facet_passes_facet_records_to_an_apex_on_it )
    {
        // Two tetrahedra sharing facet (0, 1, 2); the apex of the first lies
        // 1e-7 above it.
        RepairedSolid repaired{ orvane::test::background_from(
            orvane::test::create_tetrahedral_solid(
                { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 1., 0., 0. } },
                    Point< 3 >{ { 0., 1., 0. } }, Point< 3 >{ { 0.2, 0.2, 1e-7 } },
                    Point< 3 >{ { 0.2, 0.2, -1. } } },
                { { 0, 1, 2, 3 }, { 1, 0, 2, 4 } } ) ) };
        auto& solid = *repaired.solid;
        const uuid surface;
        const auto old_facet = solid.facets().facet_from_vertices( { 0, 1, 2 } ).value();
        repaired.builder->add_init_facet_id( surface, 9, { old_facet } );
        const std::vector< MeshPolygon > records{ MeshPolygon{ surface, 9 } };

        const auto created = repaired.context->swap_facet( { 0, 3 } );
        EXPECT_EQ( created.size(), 3u );
        for( const auto& [a, b] : std::vector< std::pair< index_t, index_t > >{
                 { 0, 1 }, { 1, 2 }, { 2, 0 } } )
        {
            const auto piece = solid.facets().facet_from_vertices( { a, b, 3 } ).value();
            EXPECT_EQ( solid.init_facet_ids( piece ), records ) << a << " " << b;
        }
        // The facets through the far apex stand for nothing.
        for( const auto x : { 0, 1, 2 } )
        {
            const auto inner = solid.facets().facet_from_vertices(
                { 3, 4, static_cast< index_t >( x ) } );
            ASSERT_TRUE( inner.has_value() );
            EXPECT_TRUE( solid.init_facet_ids( inner.value() ).empty() );
        }
        EXPECT_EQ( solid.vertex_init_facet_ids( 3 ), records );
        const std::vector< VertexCycle > tracked_facets{ VertexCycle{ 0, 1, 2 } };
        EXPECT_EQ( repaired.context->tracked.facets, tracked_facets );
        EXPECT_TRUE( orvane::test::is_valid_modified_solid( solid ) );
    }

    TEST( BackgroundSolidEditContext, swap_facet_away_from_the_apex_changes_no_record )
    {
        RepairedSolid repaired{ orvane::test::background_from(
            orvane::test::create_tetrahedral_solid(
                { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 1., 0., 0. } },
                    Point< 3 >{ { 0., 1., 0. } }, Point< 3 >{ { 0.2, 0.2, 1. } },
                    Point< 3 >{ { 0.2, 0.2, -1. } } },
                { { 0, 1, 2, 3 }, { 1, 0, 2, 4 } } ) ) };
        auto& solid = *repaired.solid;
        const uuid surface;
        const auto old_facet = solid.facets().facet_from_vertices( { 0, 1, 2 } ).value();
        repaired.builder->add_init_facet_id( surface, 9, { old_facet } );
        // Losing the record is what the admissibility test is for.
        EXPECT_FALSE( repaired.context->is_swap_facet_admissible( { 0, 3 } ) );
        repaired.context->swap_facet( { 0, 3 } );
        EXPECT_TRUE( solid.init_facet_ids(
                         solid.facets().facet_from_vertices( { 0, 1, 3 } ).value() )
                         .empty() );
        EXPECT_TRUE( repaired.context->tracked.facets.empty() );
    }
} // namespace
