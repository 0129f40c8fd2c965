#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/edges.hpp>
#include <openorvane/mesh/facets.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

#include <background/background_solid_inserter.hpp>
#include <background/background_solid_inserter_impl.hpp>

#include <tests/background/background_fixtures.hpp>
#include <tests/common/cutter/solid_cut_helpers.hpp>
#include <tests/support/solid_checks.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace
{
    using namespace orvane;
    using internal::BackgroundSolidInserter;
    using Inserter = BackgroundSolidInserter::Impl;
    using Point3D = Point< 3 >;

    std::unique_ptr< EdgedCurve< 3 > > segment_curve(
        const Point3D& from, const Point3D& to )
    {
        auto curve = EdgedCurve< 3 >::create();
        auto builder = EdgedCurveBuilder< 3 >::create( *curve );
        builder->create_point( from );
        builder->create_point( to );
        builder->create_edge( 0, 1 );
        return curve;
    }

    bool holds( const std::vector< MeshEdge >& records, const MeshEdge& record )
    {
        return std::find( records.begin(), records.end(), record ) != records.end();
    }

    /// Every consecutive pair of the chain is an edge of a live tetrahedron.
    ::testing::AssertionResult is_edge_chain(
        const TetrahedralSolid< 3 >& solid, const internal::VertexChain& chain )
    {
        for( std::size_t i = 1; i < chain.size(); i++ )
        {
            if( solid.polyhedra_around_edge( { chain[i - 1], chain[i] } ).empty() )
            {
                return ::testing::AssertionFailure()
                       << "no edge between " << chain[i - 1] << " and " << chain[i];
            }
        }
        return ::testing::AssertionSuccess();
    }

    test::SolidCheckOptions live_only()
    {
        test::SolidCheckOptions options;
        options.skip_inactive = true;
        return options;
    }

    TEST( BackgroundSolidInserter, SkinCopiesEveryBorderFacetAndLeavesNoRecord )
    {
        auto solid = test::background_grid( 2, 2, 2 );
        auto inserter = std::make_unique< Inserter >( *solid );
        const auto skin_id = inserter->skin_id();
        // 6 faces of 2 x 2 squares of two triangles.
        EXPECT_EQ( inserter->skin().nb_polygons(), 48 );
        for( index_t t = 0; t < inserter->skin().nb_polygons(); t++ )
        {
            const auto facets = inserter->skin_border_facets( t );
            ASSERT_EQ( facets.size(), 1 );
            for( local_index_t corner = 0; corner < 3; corner++ )
            {
                EXPECT_TRUE( solid->point( inserter->skin_vertex( t, corner ) )
                        == inserter->skin().point(
                            inserter->skin().polygon_vertex( { t, corner } ) ) );
            }
        }
        // An edge through the border splits border facets, whose pieces
        // carry the skin's record too.
        const auto curve =
            segment_curve( Point3D{ { 0.3, 0.6, -1 } }, Point3D{ { 0.7, 1.2, 1.5 } } );
        const auto insertion = inserter->insert_curve_edge( *curve, 0, { 0, 1 } );
        ASSERT_EQ( insertion.crossings.size(), 3 );
        ASSERT_TRUE( insertion.crossings[1].vertex );
        EXPECT_EQ( insertion.outside, ( std::vector< std::uint32_t >{ 1, 0 } ) );
        const auto on_skin = insertion.crossings[1].vertex.value();
        EXPECT_FALSE( solid->vertex_init_facet_ids( on_skin ).empty() );
        inserter->compact();
        inserter.reset();
        for( index_t facet = 0; facet < solid->facets().nb_facets(); facet++ )
        {
            for( const auto& record : solid->init_facet_ids( facet ) )
            {
                EXPECT_NE( record.mesh_id, skin_id ) << "facet " << facet;
            }
        }
        for( index_t vertex = 0; vertex < solid->nb_vertices(); vertex++ )
        {
            for( const auto& record : solid->vertex_init_facet_ids( vertex ) )
            {
                EXPECT_NE( record.mesh_id, skin_id ) << "vertex " << vertex;
            }
        }
    }

    TEST( BackgroundSolidInserter, SkinCornersFollowMergesAndCompaction )
    {
        auto solid = test::background_grid( 2, 2, 2 );
        Inserter inserter{ *solid };
        // Vertex 1 (1, 0, 0) is merged into vertex 0 (0, 0, 0), then the
        // compaction renumbers every later vertex.
        const auto merged_point = solid->point( 1 );
        const auto kept_point = solid->point( 0 );
        (void) inserter.modifier().collapse_edge(
            solid->edges().edge_from_vertices( { 0, 1 } ).value(), kept_point );
        inserter.compact();
        const auto& skin = inserter.skin();
        for( index_t t = 0; t < skin.nb_polygons(); t++ )
        {
            for( local_index_t corner = 0; corner < 3; corner++ )
            {
                const auto vertex = inserter.skin_vertex( t, corner );
                ASSERT_LT( vertex, solid->nb_vertices() );
                EXPECT_FALSE( solid->is_vertex_isolated( vertex ) );
                const auto& point =
                    skin.point( skin.polygon_vertex( { t, corner } ) );
                EXPECT_TRUE( solid->point( vertex )
                             == ( point == merged_point ? kept_point : point ) );
            }
        }
    }

    TEST( BackgroundSolidInserter, CutEdgeOnAnExistingEdgeEditsNothing )
    {
        auto solid = test::background_grid( 2, 2, 2 );
        Inserter inserter{ *solid };
        const auto nb_tetrahedra = solid->nb_polyhedra();
        const auto nb_vertices = solid->nb_vertices();
        auto context = inserter.make_edit_context();
        EXPECT_EQ( inserter.cut_edge( { 0, 1 }, 0, *context ),
            ( internal::VertexChain{ 0, 1 } ) );
        EXPECT_EQ( solid->nb_polyhedra(), nb_tetrahedra );
        EXPECT_EQ( solid->nb_vertices(), nb_vertices );
    }

    TEST( BackgroundSolidInserter, CutEdgeAcrossTetrahedraMakesAnEdgeChain )
    {
        auto solid = test::background_grid( 2, 2, 2 );
        Inserter inserter{ *solid };
        auto context = inserter.make_edit_context();
        // From corner (0, 0, 0) to (2, 1, 2): crosses facets and edges.
        const auto chain = inserter.cut_edge( { 0, 23 }, 0, *context );
        ASSERT_GE( chain.size(), 3 );
        EXPECT_EQ( chain.front(), 0 );
        EXPECT_EQ( chain.back(), 23 );
        EXPECT_TRUE( is_edge_chain( *solid, chain ) );
        EXPECT_TRUE( test::is_valid_tetrahedral_solid( *solid, live_only() ) );
    }

    TEST( BackgroundSolidInserter, CutEdgeOutsideTheSolidFailsTheElement )
    {
        // An L of three cells: the segment from (2, 1, 0) to (1, 2, 0) runs
        // through the missing corner cell.
        const auto grid = test::grid_tetrahedral_solid( 2, 2, 1 );
        std::vector< Point3D > points;
        for( index_t v = 0; v < grid->nb_vertices(); v++ )
        {
            points.push_back( grid->point( v ) );
        }
        std::vector< std::array< index_t, 4 > > tetrahedra;
        for( index_t t = 0; t < grid->nb_polyhedra(); t++ )
        {
            const auto centre = grid->polyhedron_barycenter( t );
            if( centre.value( 0 ) > 1 && centre.value( 1 ) > 1 )
            {
                continue;
            }
            const auto vertices = grid->polyhedron_vertices( t );
            tetrahedra.push_back(
                { vertices[0], vertices[1], vertices[2], vertices[3] } );
        }
        auto solid = test::background_from(
            test::create_tetrahedral_solid( points, tetrahedra ) );
        Inserter inserter{ *solid };
        auto context = inserter.make_edit_context();
        EXPECT_THROW(
            (void) inserter.cut_edge( { 5, 7 }, 0, *context ), OpenOrvaneException );
    }

    TEST( BackgroundSolidInserter, SimplifyVertexChainDropsLoopsAndIsolatedVertices )
    {
        auto solid = test::background_grid( 1, 1, 1 );
        Inserter inserter{ *solid };
        const auto isolated = inserter.builder().create_point( Point3D{ { 5, 5, 5 } } );
        const struct
        {
            internal::VertexChain chain;
            internal::VertexChain expected;
        } cases[] = {
            { { 0, 1, 2, 0, 3 }, { 0, 3 } },
            { { 0, 1, 0 }, { 0 } },
            { { 0, 1, 2, 1, 3 }, { 0, 1, 3 } },
            { { 0, isolated, 2 }, { 0, 2 } },
            { { 0, 1, 2, 3 }, { 0, 1, 2, 3 } },
            { {}, {} },
        };
        for( const auto& test_case : cases )
        {
            auto chain = test_case.chain;
            inserter.simplify_vertex_chain( chain );
            EXPECT_EQ( chain, test_case.expected );
        }
    }

    TEST( BackgroundSolidInserter, FailedPathCutIsRecoveredIntoAnEdgeChain )
    {
        struct Case
        {
            const char* name;
            std::vector< SolidCut > ( *cuts )( const TetrahedralSolid< 3 >& );
        };
        const Case cases[] = {
            // Corners 0 and 7 of the cube of five share no edge: the gap is
            // cut again along the segment.
            { "vertices without edge",
                []( const TetrahedralSolid< 3 >& solid ) {
                    return std::vector< SolidCut >{ test::vertex_cut( solid, 0 ),
                        test::vertex_cut( solid, 7 ) };
                } },
            // A facet cut on the edge of its facet would make flat
            // tetrahedra: the cutter refuses it and leaves it pending.
            { "refused facet cut",
                []( const TetrahedralSolid< 3 >& solid ) {
                    const PolyhedronFacet outer{ 1, 1 };
                    const auto triangle = solid.triangle( outer );
                    const auto& corners = triangle.vertices();
                    const auto on_edge = ( corners[0] + corners[1] ) * 0.5;
                    return std::vector< SolidCut >{ test::vertex_cut( solid, 0 ),
                        test::facet_cut(
                            { 0, 0 }, Point3D{ { 1. / 3, 1. / 3, 1. / 3 } } ),
                        test::facet_cut( outer, on_edge ),
                        test::vertex_cut( solid, 7 ) };
                } },
        };
        for( const auto& test_case : cases )
        {
            SCOPED_TRACE( test_case.name );
            auto solid = test::background_from( test::cube_of_five_tetrahedra() );
            Inserter inserter{ *solid };
            auto context = inserter.make_edit_context();
            const auto chain = inserter.cut_along_cuts(
                test_case.cuts( *solid ), 0, *context );
            ASSERT_GE( chain.size(), 2 );
            EXPECT_EQ( chain.front(), inserter.modifier().updated_vertex( 0 ) );
            EXPECT_EQ( chain.back(), inserter.modifier().updated_vertex( 7 ) );
            EXPECT_TRUE( is_edge_chain( *solid, chain ) );
        }
    }

    TEST( BackgroundSolidInserter, GapCutsStopAtTheirNestingBound )
    {
        auto solid = test::background_from( test::cube_of_five_tetrahedra() );
        Inserter inserter{ *solid };
        inserter.set_max_cut_recovery_depth( 0 );
        auto context = inserter.make_edit_context();
        const std::vector< SolidCut > cuts{ test::vertex_cut( *solid, 0 ),
            test::vertex_cut( *solid, 7 ) };
        EXPECT_THROW( (void) inserter.cut_along_cuts( cuts, 0, *context ),
            OpenOrvaneException );
    }

    TEST( BackgroundSolidInserter, EdgeEndsNearAVertexReuseIt )
    {
        // Grid vertex 13 is (1, 1, 1), vertex 14 is (2, 1, 1): an axis edge.
        for( const auto offset : { 0., 5e-7 } )
        {
            SCOPED_TRACE( offset );
            auto solid = test::background_grid( 2, 2, 2 );
            Inserter inserter{ *solid };
            const auto nb_vertices = solid->nb_vertices();
            const auto nb_tetrahedra = solid->nb_polyhedra();
            const auto curve = segment_curve(
                Point3D{ { 1 + offset, 1, 1 } }, Point3D{ { 2, 1, 1 - offset } } );
            const auto insertion = inserter.insert_curve_edge( *curve, 0, { 0, 1 } );
            ASSERT_EQ( insertion.crossings.size(), 2 );
            EXPECT_EQ( insertion.crossings[0].vertex, 13 );
            EXPECT_EQ( insertion.crossings[1].vertex, 14 );
            EXPECT_EQ( insertion.outside, ( std::vector< std::uint32_t >{ 0 } ) );
            EXPECT_EQ( solid->nb_vertices(), nb_vertices );
            EXPECT_EQ( solid->nb_polyhedra(), nb_tetrahedra );
            const MeshEdge record{ curve->id(), 0 };
            const auto edge = solid->edges().edge_from_vertices( { 13, 14 } ).value();
            EXPECT_TRUE( holds( solid->init_edge_ids( edge ), record ) );
            EXPECT_EQ( solid->init_vertex_ids( 13 ),
                ( std::vector< MeshVertex >{ { curve->id(), 0 } } ) );
        }
    }

    TEST( BackgroundSolidInserter, EdgeAlongAnInsertedEdgeOnlyAddsRecords )
    {
        auto solid = test::background_grid( 2, 2, 2 );
        BackgroundSolidInserter inserter{ *solid };
        const Point3D from{ { 0.3, 0.4, 0.5 } };
        const Point3D to{ { 1.6, 1.5, 1.4 } };
        const auto first = segment_curve( from, to );
        inserter.insert_curve( *first, std::vector< index_t >{ 0 } );
        const auto nb_vertices = solid->nb_vertices();
        const auto nb_tetrahedra = solid->nb_polyhedra();
        const auto second = segment_curve( from, to );
        inserter.insert_curve( *second, std::vector< index_t >{ 0 } );
        EXPECT_EQ( solid->nb_vertices(), nb_vertices );
        EXPECT_EQ( solid->nb_polyhedra(), nb_tetrahedra );
        const MeshEdge first_record{ first->id(), 0 };
        const MeshEdge second_record{ second->id(), 0 };
        index_t nb_carrying{ 0 };
        for( index_t edge = 0; edge < solid->edges().nb_edges(); edge++ )
        {
            const auto& records = solid->init_edge_ids( edge );
            EXPECT_EQ( holds( records, first_record ), holds( records, second_record ) )
                << "edge " << edge;
            nb_carrying += holds( records, first_record ) ? 1 : 0;
        }
        EXPECT_GE( nb_carrying, 2 );
    }

    TEST( BackgroundSolidInserter, CrossingsAreOrderedAlongTheEdge )
    {
        struct Case
        {
            const char* name;
            Point3D from;
            Point3D to;
            std::vector< std::uint32_t > outside;
            bool first_end_inserted;
        };
        const Case cases[] = {
            { "first end on the skin", Point3D{ { 0.3, 0.6, 0 } },
                Point3D{ { 0.3, 0.6, -1 } }, { 1 }, true },
            { "last end on the skin", Point3D{ { 0.3, 0.6, -1 } },
                Point3D{ { 0.3, 0.6, 0 } }, { 1 }, false },
            { "through, nearly across x", Point3D{ { 0.7, -0.5, 0.6 } },
                Point3D{ { 0.7 + 1e-14, 2.5, 1.3 } }, { 1, 0, 1 }, false },
            { "through, backwards", Point3D{ { 2.5, 1.3, 1.1 } },
                Point3D{ { -0.5, 0.6, 0.4 } }, { 1, 0, 1 }, false },
            { "outside", Point3D{ { 3, 3, 3 } }, Point3D{ { 4, 3, 3 } }, { 1 },
                false },
        };
        for( const auto& test_case : cases )
        {
            SCOPED_TRACE( test_case.name );
            auto solid = test::background_grid( 2, 2, 2 );
            Inserter inserter{ *solid };
            const auto curve = segment_curve( test_case.from, test_case.to );
            const auto insertion = inserter.insert_curve_edge( *curve, 0, { 0, 1 } );
            const auto& crossings = insertion.crossings;
            EXPECT_EQ( insertion.outside, test_case.outside );
            ASSERT_EQ( crossings.size(), test_case.outside.size() + 1 );
            EXPECT_EQ( crossings.front().input_vertex, 0 );
            EXPECT_EQ( crossings.back().input_vertex, 1 );
            EXPECT_EQ( crossings.front().vertex.has_value(),
                test_case.first_end_inserted );
            for( std::size_t i = 1; i < crossings.size(); i++ )
            {
                EXPECT_LT( point_point_distance( test_case.from, crossings[i - 1].point ),
                    point_point_distance( test_case.from, crossings[i].point ) );
            }
            if( test_case.first_end_inserted )
            {
                EXPECT_EQ( solid->init_vertex_ids( crossings.front().vertex.value() ),
                    ( std::vector< MeshVertex >{ { curve->id(), 0 } } ) );
            }
        }
    }

    TEST( BackgroundSolidInserter, LocatePointSkipsIsolatedSeedVertices )
    {
        auto solid = test::background_grid( 1, 1, 1 );
        Inserter inserter{ *solid };
        // A border edge held by one tetrahedron: its split gives a vertex
        // with two tetrahedra, which the search snapshot then holds.
        std::optional< std::array< index_t, 2 > > lonely;
        for( index_t edge = 0; edge < solid->edges().nb_edges() && !lonely; edge++ )
        {
            const auto& vertices = solid->edges().edge_vertices( edge );
            if( solid->polyhedra_around_edge( vertices ).size() == 1 )
            {
                lonely = vertices;
            }
        }
        ASSERT_TRUE( lonely );
        const auto middle = solid->edge_barycenter( lonely.value() );
        (void) inserter.modifier().split_edge(
            solid->edges().edge_from_vertices( lonely.value() ).value(), middle );
        inserter.compact();
        const auto added = solid->nb_vertices() - 1;
        ASSERT_TRUE( solid->point( added ) == middle );
        // Removing its two tetrahedra isolates the vertex.
        const auto around = solid->polyhedra_around_vertex( added );
        ASSERT_EQ( around.size(), 2 );
        (void) inserter.modifier().remove_tetrahedra_pair( around[0] );
        ASSERT_TRUE( solid->is_vertex_isolated( added ) );
        // A query at an end of the split edge starts from a removed
        // tetrahedron of the snapshot, one of whose vertices is isolated.
        std::optional< Point3D > corner;
        for( const auto end : lonely.value() )
        {
            const auto around = solid->polyhedron_around_vertex( end );
            if( around && inserter.modifier().is_polyhedron_active( around->polyhedron_id ) )
            {
                corner = solid->point( end );
            }
        }
        ASSERT_TRUE( corner );
        std::optional< index_t > found;
        EXPECT_NO_THROW( found = inserter.locate_point( corner.value() ) );
        ASSERT_TRUE( found );
        EXPECT_TRUE( inserter.modifier().is_polyhedron_active( found.value() ) );
        EXPECT_NO_THROW( found = inserter.locate_point( middle ) );
        EXPECT_FALSE( found );
    }

    TEST( BackgroundSolidInserter, EmptyListCleansTheSolidAndThrowsNothing )
    {
        auto solid = test::background_grid( 1, 1, 1 );
        auto inserter = std::make_unique< Inserter >( *solid );
        (void) inserter->modifier().split_tetrahedron(
            0, solid->polyhedron_barycenter( 0 ) );
        EXPECT_EQ( solid->nb_polyhedra(), 10 );
        const auto surface = test::square_of_two_triangles< 3 >();
        EXPECT_NO_THROW( inserter->insert_surface( *surface, {} ) );
        EXPECT_EQ( solid->nb_polyhedra(), 9 );
        const auto curve = segment_curve( Point3D{ { 0, 0, 0 } }, Point3D{ { 1, 1, 1 } } );
        EXPECT_NO_THROW( inserter->insert_curve( *curve, {} ) );
        EXPECT_TRUE( test::is_valid_tetrahedral_solid( *solid ) );
    }

    TEST( BackgroundSolidInserter, FailedRunListsEveryPolygonNotInserted )
    {
        // Flat triangles sticking out of the solid: the border path that
        // would close their part inside needs a plane they do not have.
        const auto surface = test::create_triangulated_surface< 3 >(
            { Point3D{ { 1.5, 1.3, 0.7 } }, Point3D{ { 0.8, 1.3, 0.7 } },
                Point3D{ { -0.6, 1.3, 0.7 } }, Point3D{ { 0.3, 1.5, 1.4 } },
                Point3D{ { 0.3, 0.8, 1.4 } }, Point3D{ { 0.3, -0.6, 1.4 } } },
            { { 0, 1, 2 }, { 3, 4, 5 } } );
        const struct
        {
            std::vector< index_t > polygons;
            std::vector< index_t > expected;
        } cases[] = { { { 0 }, { 0 } }, { { 1, 0 }, { 0, 1 } },
            { { 0, 1, 0 }, { 0, 1 } } };
        for( const auto& test_case : cases )
        {
            auto solid = test::background_grid( 2, 2, 2 );
            BackgroundSolidInserter inserter{ *solid };
            try
            {
                inserter.insert_surface( *surface, test_case.polygons );
                ADD_FAILURE() << "no exception";
            }
            catch( const internal::BackgroundInsertionException& exception )
            {
                EXPECT_EQ( std::string{ exception.what() },
                    "[BackgroundSolidInserter::insert_surface] Not all polygons "
                    "have been inserted in BackgroundSolid" );
                auto elements = exception.elements();
                std::sort( elements.begin(), elements.end() );
                EXPECT_EQ( elements, test_case.expected );
            }
        }
    }
} // namespace
