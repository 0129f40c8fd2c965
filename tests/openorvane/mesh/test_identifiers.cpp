#include <algorithm>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/graph.hpp>
#include <openorvane/mesh/graph_identifier.hpp>
#include <openorvane/mesh/surface_identifier.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <tests/support/surface_fixtures.hpp>

namespace orvane
{
    namespace
    {
        using Groups = std::vector< std::vector< index_t > >;
    } // namespace

    // Three pieces whose polygons are interleaved in index order: two
    // squares and a lone triangle.
    TEST( SurfaceIdentifier, OrdersPiecesByTheirLowestPolygon )
    {
        std::vector< Point3D > points;
        for( const double x : { 0., 5., 10. } )
        {
            for( const auto& [dx, dy] : std::vector< std::pair< double, double > >{
                     { 0, 0 }, { 1, 0 }, { 1, 1 }, { 0, 1 } } )
            {
                points.push_back( Point3D{ { x + dx, dy, 0 } } );
            }
        }
        // Square B (vertices 4-7) takes polygons 0 and 3, square A (0-3)
        // polygons 1 and 4, the lone triangle (8-10) polygon 2.
        auto surface = test::create_triangulated_surface< 3 >( points,
            { { 4, 5, 6 }, { 0, 1, 2 }, { 8, 9, 10 }, { 4, 6, 7 }, { 0, 2, 3 } } );
        detail::SurfaceIdentifier< 3 > identifier{ *surface };
        EXPECT_TRUE( identifier.identified_connected_polygons().empty() );
        EXPECT_EQ( identifier.polygon_identifier( 0 ), NO_ID );
        identifier.identify_polygons();
        EXPECT_EQ( identifier.identified_connected_polygons(),
            ( Groups{ { 0, 3 }, { 1, 4 }, { 2 } } ) );
        const std::vector< index_t > expected{ 0, 1, 2, 0, 1 };
        for( index_t p = 0; p < 5; p++ )
        {
            EXPECT_EQ( identifier.polygon_identifier( p ), expected[p] );
        }

        // Cutting the diagonal of square B (both ways, as the model build
        // does along a line) splits it; identification reads the surface
        // as it stands.
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        builder->unset_polygon_adjacent( { 0, 2 } );
        builder->unset_polygon_adjacent( { 3, 0 } );
        identifier.identify_polygons();
        EXPECT_EQ( identifier.identified_connected_polygons(),
            ( Groups{ { 0 }, { 1, 4 }, { 2 }, { 3 } } ) );
        // A link kept in one direction only still joins both polygons.
        builder->set_polygon_adjacent( { 3, 0 }, 0 );
        identifier.identify_polygons();
        EXPECT_EQ( identifier.polygon_identifier( 3 ), 0 );
        EXPECT_THROW( identifier.polygon_identifier( 5 ), OpenOrvaneException );
    }

    // Random surfaces with random cut edges, against a breadth-first search.
    TEST( SurfaceIdentifier, MatchesAFloodFillOnRandomCuts )
    {
        for( unsigned seed = 1; seed <= 20; seed++ )
        {
            std::mt19937 random{ seed };
            auto surface = test::grid_surface< 3 >( 6, 5 );
            auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
            for( index_t p = 0; p < surface->nb_polygons(); p++ )
            {
                for( local_index_t e = 0; e < 3; e++ )
                {
                    if( const auto adjacent = surface->polygon_adjacent( { p, e } );
                        adjacent && random() % 2 == 0 )
                    {
                        const auto back = surface->polygon_adjacent_edge( { p, e } ).value();
                        builder->unset_polygon_adjacent( { p, e } );
                        builder->unset_polygon_adjacent( back );
                    }
                }
            }
            detail::SurfaceIdentifier< 3 > identifier{ *surface };
            identifier.identify_polygons();
            Groups expected;
            std::vector< bool > seen( surface->nb_polygons(), false );
            for( index_t p = 0; p < surface->nb_polygons(); p++ )
            {
                if( seen[p] )
                {
                    continue;
                }
                std::vector< index_t > group{ p };
                seen[p] = true;
                for( std::size_t k = 0; k < group.size(); k++ )
                {
                    for( local_index_t e = 0; e < 3; e++ )
                    {
                        const auto adjacent = surface->polygon_adjacent( { group[k], e } );
                        if( adjacent && !seen[adjacent.value()] )
                        {
                            seen[adjacent.value()] = true;
                            group.push_back( adjacent.value() );
                        }
                    }
                }
                std::sort( group.begin(), group.end() );
                expected.push_back( group );
            }
            EXPECT_EQ( identifier.identified_connected_polygons(), expected )
                << "seed " << seed;
        }
    }

    TEST( GraphIdentifier, GroupsVerticesThroughEdges )
    {
        test::initialize_surface_meshes();
        auto graph = Graph::create();
        auto builder = GraphBuilder::create( *graph );
        builder->create_vertices( 7 );
        builder->create_edge( 5, 2 );
        builder->create_edge( 3, 0 );
        builder->create_edge( 2, 6 );
        // An edge with unset ends joins nothing.
        builder->create_edge();
        detail::GraphIdentifier identifier{ *graph };
        identifier.identify_vertices();
        EXPECT_EQ( identifier.identified_connected_vertices(),
            ( Groups{ { 0, 3 }, { 1 }, { 2, 5, 6 }, { 4 } } ) );
        EXPECT_EQ( identifier.vertex_identifier( 6 ), 2 );
        EXPECT_EQ( identifier.vertex_identifier( 4 ), 3 );
        EXPECT_THROW( identifier.vertex_identifier( 7 ), OpenOrvaneException );
    }
} // namespace orvane
