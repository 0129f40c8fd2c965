#include <array>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <tests/support/surface_checks.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace orvane
{
    namespace
    {
        std::shared_ptr< VariableAttribute< index_t > > index_attribute(
            AttributeManager& manager, index_t nb_elements )
        {
            auto attribute = manager.find_or_create_attribute< VariableAttribute, index_t >(
                "test_index", NO_ID );
            for( index_t i = 0; i < nb_elements; i++ )
            {
                attribute->set_value( i, i );
            }
            return attribute;
        }

        std::vector< index_t > values( const VariableAttribute< index_t >& attribute, index_t nb )
        {
            std::vector< index_t > result;
            for( index_t i = 0; i < nb; i++ )
            {
                result.push_back( attribute.value( i ) );
            }
            return result;
        }
    } // namespace

    TEST( SurfaceEdits, CreationAssociatesAndLeavesNoAdjacency )
    {
        const auto surface = test::create_triangulated_surface< 3 >(
            { test::planar_point< 3 >( 0, 0 ), test::planar_point< 3 >( 1, 0 ),
                test::planar_point< 3 >( 0, 1 ) },
            {}, false );
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        EXPECT_EQ( builder->create_triangle( { 0, 1, 2 } ), 0 );
        EXPECT_EQ( builder->create_triangle( { 2, 1, 0 } ), 1 );
        for( index_t v = 0; v < 3; v++ )
        {
            // The newest triangle overwrites the association.
            ASSERT_TRUE( surface->polygon_around_vertex( v ) );
            EXPECT_EQ( surface->polygon_around_vertex( v )->polygon_id, 1 );
            EXPECT_EQ( surface->polygon_vertex( surface->polygon_around_vertex( v ).value() ), v );
        }
        for( local_index_t e = 0; e < 3; e++ )
        {
            EXPECT_FALSE( surface->polygon_adjacent( { 0, e } ) );
        }
        EXPECT_EQ( builder->create_point( test::planar_point< 3 >( 3, 3 ) ), 3 );
        EXPECT_EQ( builder->create_vertices( 2 ), 4 );
        EXPECT_EQ( surface->nb_vertices(), 6 );
        EXPECT_EQ( surface->point( 5 ), ( Point< 3 >{} ) );
    }

    TEST( SurfaceEdits, RejectsUnsafeInput )
    {
        const auto surface = test::square_of_two_triangles< 3 >();
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        EXPECT_THROW( builder->create_triangle( { 0, 1, 4 } ), OpenOrvaneException );
        const std::array< index_t, 4 > quad{ 0, 1, 2, 3 };
        EXPECT_THROW( builder->create_polygon( quad ), OpenOrvaneException );
        EXPECT_THROW( builder->set_polygon_vertex( { 0, 0 }, 7 ), OpenOrvaneException );
        EXPECT_THROW( builder->delete_polygons( { true } ), OpenOrvaneException );
        EXPECT_EQ( surface->nb_polygons(), 2 );
        EXPECT_TRUE( test::is_valid_triangulated_surface( *surface ) );
    }

    TEST( SurfaceEdits, SetPolygonVertexAssociatesTheNewVertex )
    {
        const auto surface = test::square_of_two_triangles< 3 >();
        surface->enable_edges();
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        const auto extra = builder->create_point( test::planar_point< 3 >( 2, 0.5 ) );
        builder->set_polygon_vertex( { 0, 1 }, extra );
        EXPECT_EQ( surface->polygon_around_vertex( extra ), PolygonVertex( 0, 1 ) );
        EXPECT_TRUE( surface->edges().edge_from_vertices( { 0, extra } ) );
        EXPECT_TRUE( surface->edges().edge_from_vertices( { extra, 2 } ) );
        // The former vertex keeps its association: callers detach it.
        EXPECT_EQ( surface->polygon_around_vertex( 1 ), PolygonVertex( 0, 1 ) );
        builder->disassociate_polygon_vertex_to_vertex( 1 );
        EXPECT_TRUE( surface->is_vertex_isolated( 1 ) );
        // Resetting the fan keeps the association.
        builder->reset_polygons_around_vertex( extra );
        EXPECT_EQ( surface->polygon_around_vertex( extra ), PolygonVertex( 0, 1 ) );
        EXPECT_TRUE( test::is_valid_triangulated_surface( *surface ) );
    }

    TEST( SurfaceEdits, SetPolygonVerticesMatchesOneCallPerCorner )
    {
        // The same fan moved to a new centre corner by corner and in one
        // batch: same corners, association and edge table, entry by entry.
        const auto by_corner = test::triangle_fan< 3 >( 6, true );
        const auto batched = test::triangle_fan< 3 >( 6, true );
        const auto corners = by_corner->polygons_around_vertex( 0 );
        ASSERT_EQ( corners.size(), 6 );
        std::array< index_t, 2 > centres{};
        for( const auto s : { 0, 1 } )
        {
            const auto& surface = s == 0 ? *by_corner : *batched;
            surface.enable_edges();
            auto builder = TriangulatedSurfaceBuilder< 3 >::create(
                s == 0 ? *by_corner : *batched );
            centres[s] = builder->create_point( test::planar_point< 3 >( 0.1, 0 ) );
            if( s == 0 )
            {
                for( const auto& corner : corners )
                {
                    builder->set_polygon_vertex( corner, centres[s] );
                }
            }
            else
            {
                builder->set_polygon_vertices( corners, centres[s] );
            }
        }
        ASSERT_EQ( centres[0], centres[1] );
        EXPECT_EQ( batched->polygon_around_vertex( centres[1] ),
            by_corner->polygon_around_vertex( centres[0] ) );
        for( index_t p = 0; p < by_corner->nb_polygons(); p++ )
        {
            EXPECT_EQ( batched->polygon_vertices( p ), by_corner->polygon_vertices( p ) );
        }
        const auto& expected = by_corner->edges();
        const auto& edges = batched->edges();
        ASSERT_EQ( edges.nb_edges(), expected.nb_edges() );
        for( index_t e = 0; e < expected.nb_edges(); e++ )
        {
            EXPECT_EQ( edges.edge_vertices( e ), expected.edge_vertices( e ) ) << "edge " << e;
        }

        // A bad corner anywhere in the list changes nothing.
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *batched );
        const std::array< PolygonVertex, 2 > bad{ { { 0, 0 }, { 0, 3 } } };
        const auto before = batched->polygon_vertices( 0 );
        EXPECT_THROW( builder->set_polygon_vertices( bad, 1 ), OpenOrvaneException );
        EXPECT_EQ( batched->polygon_vertices( 0 ), before );
        EXPECT_EQ( batched->edges().nb_edges(), expected.nb_edges() );
    }

    TEST( SurfaceEdits, ReplaceVertexMovesTheFan )
    {
        const auto surface = test::triangle_fan< 3 >( 6, true );
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        const auto centre = builder->create_point( test::planar_point< 3 >( 0.1, 0 ) );
        const auto former = surface->polygon_around_vertex( 0 );
        builder->replace_vertex( 0, centre );
        EXPECT_TRUE( surface->is_vertex_isolated( 0 ) );
        EXPECT_EQ( surface->polygon_around_vertex( centre ), former );
        EXPECT_EQ( surface->polygons_around_vertex( centre ).size(), 6 );
        EXPECT_TRUE( test::is_valid_triangulated_surface( *surface ) );
        const auto old2new = builder->delete_isolated_vertices();
        EXPECT_EQ( old2new[0], NO_ID );
        EXPECT_EQ( old2new[centre], centre - 1 );
        EXPECT_TRUE( test::is_valid_triangulated_surface( *surface ) );
    }

    TEST( SurfaceEdits, DeletePolygonsRenumbersEverything )
    {
        // Strip of 3 quads: t0 = (0, 1, 5), t1 = (0, 5, 4), t2 = (1, 2, 6),
        // t3 = (1, 6, 5), t4 = (2, 3, 7), t5 = (2, 7, 6).
        const auto surface = test::triangle_strip< 3 >( 3 );
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        const auto attribute =
            index_attribute( surface->polygon_attribute_manager(), surface->nb_polygons() );
        // Vertex 4 is stored in t1 and vertex 5 in t3: both polygons go.
        const auto old2new =
            builder->delete_polygons( { false, true, false, true, false, false } );
        EXPECT_EQ( old2new, ( OldToNew{ 0, NO_ID, 1, NO_ID, 2, 3 } ) );
        EXPECT_EQ( surface->nb_polygons(), 4 );
        EXPECT_EQ( values( *attribute, 4 ), ( std::vector< index_t >{ 0, 2, 4, 5 } ) );
        // Vertex 4 is used by no polygon any more; vertex 5 goes to the first
        // remaining polygon that uses it.
        EXPECT_TRUE( surface->is_vertex_isolated( 4 ) );
        EXPECT_EQ( surface->polygon_around_vertex( 5 ), PolygonVertex( 0, 2 ) );
        // t2 -> new 1, t4 -> new 2: their link survives, links to the
        // deleted t3 are unset.
        EXPECT_EQ( surface->polygon_adjacent( { 1, 1 } ), index_t{ 3 } );
        EXPECT_FALSE( surface->polygon_adjacent( { 1, 2 } ) );
        EXPECT_FALSE( surface->polygon_adjacent( { 0, 1 } ) );
        // Vertex 1 now joins two fans (t0 and t2 no longer touch).
        test::SurfaceCheckOptions two_fans;
        two_fans.check_vertex_fans = false;
        EXPECT_TRUE( test::is_valid_triangulated_surface( *surface, two_fans ) );

        const auto vertex_attribute =
            index_attribute( surface->vertex_attribute_manager(), surface->nb_vertices() );
        const auto vertex_old2new = builder->delete_isolated_vertices();
        EXPECT_EQ( vertex_old2new, ( OldToNew{ 0, 1, 2, 3, NO_ID, 4, 5, 6 } ) );
        EXPECT_EQ( surface->nb_vertices(), 7 );
        EXPECT_EQ( values( *vertex_attribute, 7 ),
            ( std::vector< index_t >{ 0, 1, 2, 3, 5, 6, 7 } ) );
        EXPECT_EQ( surface->point( 4 ), test::planar_point< 3 >( 1, 1 ) );
        EXPECT_EQ( surface->polygon_vertices( 0 ), ( PolygonVertices{ 0, 1, 4 } ) );
        EXPECT_TRUE( test::is_valid_triangulated_surface( *surface, two_fans ) );
    }

    TEST( SurfaceEdits, DeleteIsolatedVerticesReattachesUsedVertices )
    {
        const auto surface = test::square_of_two_triangles< 3 >();
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        builder->disassociate_polygon_vertex_to_vertex( 2 );
        // A stale association (naming a corner that holds another vertex)
        // counts as none.
        builder->associate_polygon_vertex_to_vertex( { 0, 0 }, 3 );
        const auto old2new = builder->delete_isolated_vertices();
        EXPECT_EQ( old2new, ( OldToNew{ 0, 1, 2, 3 } ) );
        EXPECT_EQ( surface->polygon_around_vertex( 2 ), PolygonVertex( 0, 2 ) );
        EXPECT_EQ( surface->polygon_around_vertex( 3 ), PolygonVertex( 1, 2 ) );
        EXPECT_TRUE( test::is_valid_triangulated_surface( *surface ) );
    }

    TEST( SurfaceEdits, EdgeTableSurvivesDeletions )
    {
        const auto surface = test::square_of_two_triangles< 3 >();
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        EXPECT_FALSE( surface->are_edges_enabled() );
        EXPECT_THROW( surface->edges(), OpenOrvaneException );
        surface->enable_edges();
        ASSERT_TRUE( surface->are_edges_enabled() );
        const auto& edges = surface->edges();
        // Built in polygon then local edge order.
        ASSERT_EQ( edges.nb_edges(), 5 );
        EXPECT_EQ( edges.edge_vertices( 0 ), ( EdgeVertices{ 0, 1 } ) );
        EXPECT_EQ( edges.edge_vertices( 2 ), ( EdgeVertices{ 2, 0 } ) );
        EXPECT_EQ( edges.edge_from_vertices( { 0, 2 } ), index_t{ 2 } );
        const auto attribute = index_attribute( edges.edge_attribute_manager(), 5 );

        builder->delete_polygons( { false, true } );
        EXPECT_EQ( edges.nb_edges(), 5 );
        EXPECT_EQ( edges.edge_from_vertices( { 3, 2 } ), index_t{ 3 } );
        // Re-creating a polygon finds its old entries.
        builder->create_triangle( { 0, 2, 3 } );
        EXPECT_EQ( edges.nb_edges(), 5 );
        EXPECT_EQ( values( *attribute, 5 ), ( std::vector< index_t >{ 0, 1, 2, 3, 4 } ) );
        builder->delete_polygons( { false, true } );

        const auto vertex_old2new = builder->delete_isolated_vertices();
        EXPECT_EQ( vertex_old2new, ( OldToNew{ 0, 1, 2, NO_ID } ) );
        // The entries naming vertex 3 are orphans: unreachable, still there.
        EXPECT_EQ( edges.nb_edges(), 5 );
        EXPECT_EQ( edges.edge_vertices( 3 ), ( EdgeVertices{ 2, NO_ID } ) );
        EXPECT_FALSE( edges.edge_from_vertices( { 2, NO_ID } ) );
        EXPECT_EQ( edges.edge_from_vertices( { 1, 2 } ), index_t{ 1 } );
        EXPECT_TRUE( test::is_valid_triangulated_surface( *surface ) );

        const auto edge_old2new = builder->edges_builder().delete_isolated_edges();
        EXPECT_EQ( edge_old2new, ( OldToNew{ 0, 1, 2, NO_ID, NO_ID } ) );
        EXPECT_EQ( edges.nb_edges(), 3 );
        EXPECT_EQ( values( *attribute, 3 ), ( std::vector< index_t >{ 0, 1, 2 } ) );
        EXPECT_TRUE( test::is_valid_triangulated_surface( *surface ) );
    }

    TEST( SurfaceEdits, CloneCarriesEverythingAndTakesAnotherId )
    {
        const auto surface = test::triangle_strip< 3 >( 2 );
        surface->enable_edges();
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        builder->set_name( "strip" );
        const auto polygon_values =
            index_attribute( surface->polygon_attribute_manager(), surface->nb_polygons() );
        index_attribute( surface->vertex_attribute_manager(), surface->nb_vertices() );
        index_attribute( surface->edges().edge_attribute_manager(), surface->edges().nb_edges() );

        const auto clone = surface->clone();
        EXPECT_EQ( clone->impl_name(), surface->impl_name() );
        EXPECT_EQ( clone->id(), surface->id() );
        EXPECT_EQ( clone->name(), "strip" );
        ASSERT_EQ( clone->nb_vertices(), surface->nb_vertices() );
        ASSERT_EQ( clone->nb_polygons(), surface->nb_polygons() );
        for( index_t v = 0; v < surface->nb_vertices(); v++ )
        {
            EXPECT_EQ( clone->point( v ), surface->point( v ) );
            EXPECT_EQ( clone->polygon_around_vertex( v ), surface->polygon_around_vertex( v ) );
        }
        for( index_t p = 0; p < surface->nb_polygons(); p++ )
        {
            EXPECT_EQ( clone->polygon_vertices( p ), surface->polygon_vertices( p ) );
            for( local_index_t e = 0; e < 3; e++ )
            {
                EXPECT_EQ( clone->polygon_adjacent( { p, e } ),
                    surface->polygon_adjacent( { p, e } ) );
            }
        }
        ASSERT_TRUE( clone->are_edges_enabled() );
        EXPECT_EQ( clone->edges().nb_edges(), surface->edges().nb_edges() );
        for( auto* manager : { &clone->vertex_attribute_manager(),
                 &clone->polygon_attribute_manager(),
                 &clone->edges().edge_attribute_manager() } )
        {
            const auto copied = manager->find_attribute< index_t >( "test_index" );
            EXPECT_EQ( copied->value( 1 ), 1 );
        }
        EXPECT_TRUE( test::is_valid_triangulated_surface( *clone ) );

        // The clone is independent and can take another id.
        auto clone_builder = TriangulatedSurfaceBuilder< 3 >::create( *clone );
        const uuid other;
        clone_builder->set_id( other );
        clone_builder->delete_polygons( { true, false, false, false } );
        clone->polygon_attribute_manager()
            .find_attribute< index_t >( "test_index" );
        EXPECT_EQ( clone->id(), other );
        EXPECT_NE( surface->id(), other );
        EXPECT_EQ( surface->nb_polygons(), 4 );
        EXPECT_EQ( polygon_values->value( 0 ), 0 );
    }

    TEST( SurfaceEdits, MovedFromSurfaceIsValidAndEmpty )
    {
        auto surface = test::square_of_two_triangles< 2 >();
        surface->enable_edges();
        auto& concrete = dynamic_cast< OpenOrvaneTriangulatedSurface< 2 >& >( *surface );
        OpenOrvaneTriangulatedSurface< 2 > moved{ std::move( concrete ) };
        EXPECT_EQ( moved.nb_polygons(), 2 );
        EXPECT_TRUE( moved.are_edges_enabled() );
        EXPECT_EQ( surface->nb_polygons(), 0 );
        EXPECT_EQ( surface->nb_vertices(), 0 );
        EXPECT_FALSE( surface->are_edges_enabled() );
        EXPECT_TRUE( test::is_valid_triangulated_surface( *surface ) );
        // The moved-from surface can be edited again.
        auto builder = TriangulatedSurfaceBuilder< 2 >::create( *surface );
        builder->create_point( test::planar_point< 2 >( 0, 0 ) );
        EXPECT_EQ( surface->nb_vertices(), 1 );
        OpenOrvaneTriangulatedSurface< 2 > assigned;
        assigned = std::move( moved );
        EXPECT_EQ( assigned.nb_polygons(), 2 );
        EXPECT_EQ( moved.nb_polygons(), 0 );
        EXPECT_TRUE( test::is_valid_triangulated_surface( assigned ) );
    }
} // namespace orvane
