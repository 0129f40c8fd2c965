#include <random>
#include <set>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <tests/support/surface_checks.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace orvane
{
    namespace
    {
        /// Fans must stay inside the vertex's polygons even where deletions
        /// split them (the checker's full fan test needs one fan per vertex).
        void expect_fans_within_polygons( const TriangulatedSurface< 3 >& surface )
        {
            for( index_t v = 0; v < surface.nb_vertices(); v++ )
            {
                std::set< index_t > seen;
                for( const auto& corner : surface.polygons_around_vertex( v ) )
                {
                    ASSERT_LT( corner.polygon_id, surface.nb_polygons() );
                    EXPECT_EQ( surface.polygon_vertex( corner ), v );
                    EXPECT_TRUE( seen.insert( corner.polygon_id ).second );
                }
            }
        }
    } // namespace

    TEST( SurfaceInvariants, RandomDeletionsKeepTheSurfaceValid )
    {
        test::SurfaceCheckOptions options;
        options.check_vertex_fans = false;
        options.check_manifold_edges = true;
        for( const unsigned seed : { 1u, 7u, 42u, 2024u, 31337u } )
        {
            SCOPED_TRACE( ::testing::Message() << "seed " << seed );
            std::mt19937 random{ seed };
            const auto surface = test::grid_surface< 3 >( 8, 6 );
            surface->enable_edges();
            auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );

            // Remember where everything came from through attributes.
            auto vertex_origin =
                surface->vertex_attribute_manager()
                    .find_or_create_attribute< VariableAttribute, index_t >( "test_origin", NO_ID );
            auto polygon_origin =
                surface->polygon_attribute_manager()
                    .find_or_create_attribute< VariableAttribute, index_t >( "test_origin", NO_ID );
            std::vector< PolygonVertices > original_polygons;
            for( index_t v = 0; v < surface->nb_vertices(); v++ )
            {
                vertex_origin->set_value( v, v );
            }
            for( index_t p = 0; p < surface->nb_polygons(); p++ )
            {
                polygon_origin->set_value( p, p );
                original_polygons.push_back( surface->polygon_vertices( p ) );
            }

            for( int step = 0; step < 6 && surface->nb_polygons() > 0; step++ )
            {
                std::vector< bool > to_delete( surface->nb_polygons() );
                for( index_t p = 0; p < surface->nb_polygons(); p++ )
                {
                    to_delete[p] = random() % 6 == 0;
                }
                const auto old2new = builder->delete_polygons( to_delete );
                for( index_t p = 0; p < to_delete.size(); p++ )
                {
                    EXPECT_EQ( old2new[p] == NO_ID, to_delete[p] );
                }
                ASSERT_TRUE( test::is_valid_triangulated_surface( *surface, options ) );

                builder->delete_isolated_vertices();
                ASSERT_TRUE( test::is_valid_triangulated_surface( *surface, options ) );
                for( index_t v = 0; v < surface->nb_vertices(); v++ )
                {
                    EXPECT_FALSE( surface->is_vertex_isolated( v ) );
                }

                if( step % 2 == 1 )
                {
                    builder->edges_builder().delete_isolated_edges();
                    std::set< std::pair< index_t, index_t > > distinct;
                    for( index_t p = 0; p < surface->nb_polygons(); p++ )
                    {
                        for( local_index_t e = 0; e < 3; e++ )
                        {
                            const auto [a, b] = surface->polygon_edge_vertices( { p, e } );
                            distinct.emplace( std::min( a, b ), std::max( a, b ) );
                        }
                    }
                    EXPECT_EQ( surface->edges().nb_edges(), distinct.size() );
                }
                builder->compute_polygon_adjacencies();
                ASSERT_TRUE( test::is_valid_triangulated_surface( *surface, options ) );
                expect_fans_within_polygons( *surface );
            }

            // Every remaining polygon still joins the vertices it was made of.
            for( index_t p = 0; p < surface->nb_polygons(); p++ )
            {
                const auto& original = original_polygons[polygon_origin->value( p )];
                const auto vertices = surface->polygon_vertices( p );
                for( local_index_t v = 0; v < 3; v++ )
                {
                    EXPECT_EQ( vertex_origin->value( vertices[v] ), original[v] );
                }
            }
            const auto clone = surface->clone();
            EXPECT_TRUE( test::is_valid_triangulated_surface( *clone, options ) );
        }
    }

    TEST( SurfaceInvariants, CheckerSkipsInactivePolygons )
    {
        const auto surface = test::triangle_strip< 3 >( 2 );
        auto active = surface->polygon_attribute_manager()
                          .find_or_create_attribute< VariableAttribute, bool >(
                              "orvane_active", true );
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        // Replace triangle 3 = (1, 5, 4) by a copy and mark the original
        // dead, as a modifier does before clean-up.
        active->set_value( 3, false );
        const auto copy = builder->create_triangle( { 1, 5, 4 } );
        test::SurfaceCheckOptions skip;
        skip.skip_inactive = true;
        // The live neighbours still point to the dead triangle.
        EXPECT_FALSE( test::is_valid_triangulated_surface( *surface, skip ) );
        const std::array< index_t, 1 > listed{ copy };
        builder->compute_polygon_adjacencies( listed );
        // The copy's fans reach only itself, so its neighbours are the
        // newest polygons running its edges the other way; the dead triangle
        // runs them the same way and is not taken.
        EXPECT_TRUE( test::is_valid_triangulated_surface( *surface, skip ) )
            << test::is_valid_triangulated_surface( *surface, skip ).message();
        EXPECT_FALSE( test::is_valid_triangulated_surface( *surface ) );

        std::vector< bool > dead( surface->nb_polygons(), false );
        dead[3] = true;
        builder->delete_polygons( dead );
        EXPECT_TRUE( test::is_valid_triangulated_surface( *surface ) );
    }
} // namespace orvane
