#include <algorithm>
#include <array>

#include <gtest/gtest.h>

#include <openorvane/model/brep.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>
#include <openorvane/model/model_component_mesh_polygons.hpp>
#include <tests/support/brep_checks.hpp>
#include <tests/support/brep_fixtures.hpp>

namespace orvane
{
    namespace
    {
        std::array< index_t, 2 > sorted( std::array< index_t, 2 > pair )
        {
            std::sort( pair.begin(), pair.end() );
            return pair;
        }
    } // namespace

    // On two grids meeting along a line, every surface edge's model edge
    // lists exactly the elements joining the same two unique vertices: the
    // edge itself, its neighbour across it, the line edge and the other
    // surface's edge along the line.
    TEST( BRepMeshEdgesGrid, ModelEdgesOfEveryEdgeAreConsistent )
    {
        constexpr index_t n = 6;
        const auto fixture = test::two_grid_surfaces_sharing_a_line( n );
        const auto& model = fixture.model;
        ASSERT_TRUE( test::is_valid_brep( model, test::open_surfaces() ) );

        for( const auto& surface : model.surfaces() )
        {
            const auto& mesh = surface.mesh();
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                for( local_index_t e = 0; e < 3; e++ )
                {
                    const PolygonEdge edge{ p, e };
                    const auto found = component_mesh_edges( model, surface, edge );
                    const auto uniques = sorted( found.unique_vertices );
                    ASSERT_TRUE( found.surfaces.contains( surface.id() ) ) << edge.string();
                    const auto& own = found.surfaces.at( surface.id() );
                    EXPECT_NE( std::find( own.begin(), own.end(), edge ), own.end() );
                    EXPECT_EQ( own.size(), mesh.is_edge_on_border( edge ) ? 1u : 2u )
                        << edge.string();
                    // Every listed element joins the same unique vertices.
                    for( const auto& [id, edges] : found.surfaces )
                    {
                        for( const auto& listed : edges )
                        {
                            EXPECT_EQ( sorted( edge_unique_vertices(
                                           model, model.surface( id ), listed ) ),
                                uniques );
                        }
                    }
                    for( const auto& [id, edges] : found.lines )
                    {
                        for( const auto listed : edges )
                        {
                            EXPECT_EQ(
                                sorted( edge_unique_vertices( model, model.line( id ), listed ) ),
                                uniques );
                        }
                    }
                    // Along the line (both ends on row 0, unique vertices
                    // 0..n) the line and the other surface join in.
                    const bool on_line = uniques[1] <= n && uniques[1] == uniques[0] + 1;
                    EXPECT_EQ( found.lines.size(), on_line ? 1u : 0u ) << edge.string();
                    EXPECT_EQ( found.surfaces.size(), on_line ? 2u : 1u ) << edge.string();
                    // The record is the same from any of its elements.
                    for( const auto& [id, edges] : found.surfaces )
                    {
                        const auto again =
                            component_mesh_edges( model, model.surface( id ), edges.front() );
                        EXPECT_EQ( again.surfaces.size(), found.surfaces.size() );
                        EXPECT_EQ( again.lines, found.lines );
                    }
                }
                // Each triangle stands for itself only.
                const auto polygons = component_mesh_polygons( model, surface, p );
                ASSERT_EQ( polygons.surfaces.size(), 1u );
                EXPECT_EQ( polygons.surfaces.at( surface.id() ),
                    ( absl::InlinedVector< index_t, 1 >{ p } ) );
                EXPECT_TRUE( polygons.blocks.empty() );
            }
        }
        const auto& line = model.line( fixture.line );
        for( index_t e = 0; e < line.mesh().nb_edges(); e++ )
        {
            const auto found = component_mesh_edges( model, line, e );
            EXPECT_EQ( found.surfaces.size(), 2u );
            EXPECT_EQ( found.surfaces.at( fixture.surface0 ).size(), 1u );
            EXPECT_EQ( found.surfaces.at( fixture.surface1 ).size(), 1u );
            EXPECT_EQ( found.lines.at( fixture.line ), LineEdges{ e } );
        }
        EXPECT_FALSE( model.is_closed( line ) );
        EXPECT_EQ( model.bounding_box().max(), ( Point< 3 >{ { 1, 1, 1 } } ) );
    }
} // namespace orvane
