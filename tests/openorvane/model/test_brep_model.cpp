#include <algorithm>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/mesh/tetrahedral_solid.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/model_component_mesh_edges.hpp>
#include <openorvane/model/model_component_mesh_polygons.hpp>
#include <openorvane/model/model_library.hpp>
#include <tests/openorvane/model/component_ids.hpp>
#include <tests/support/brep_checks.hpp>
#include <tests/support/brep_fixtures.hpp>

namespace orvane
{
    namespace
    {
        using test::ids;
        using test::open_surfaces;

        const ComponentType CORNER{ "Corner" };
        const ComponentType LINE{ "Line" };
        const ComponentType SURFACE{ "Surface" };
        const ComponentType BLOCK{ "Block" };
    } // namespace

    TEST( BRepModel, TwoSurfacesFixtureIsConformal )
    {
        const auto fixture = test::two_surfaces_sharing_a_line();
        EXPECT_TRUE( test::is_valid_brep( fixture.model, open_surfaces() ) );
        // The free borders of both surfaces carry no line: the full check
        // must see them.
        EXPECT_EQ( test::brep_problems( fixture.model ).size(), 4u );
    }

    TEST( BRepModel, CheckerSeesBrokenLinksAndRelationships )
    {
        auto fixture = test::two_surfaces_sharing_a_line();
        BRepBuilder builder{ fixture.model };
        // The apex of surface1 tied to the apex of surface0: two distinct
        // points on one unique vertex, and unique vertex 4 left empty.
        builder.set_unique_vertex( { { SURFACE, fixture.surface1 }, 3 }, 3 );
        // A line vertex without unique vertex.
        builder.unset_unique_vertex( { { LINE, fixture.line }, 1 }, 2 );
        // A surface internal to itself is no allowed relationship.
        builder.add_internal_relation(
            ComponentID{ SURFACE, fixture.surface0 }, ComponentID{ SURFACE, fixture.surface1 } );
        const auto problems = test::brep_problems( fixture.model );
        const auto reported = [&problems]( std::string_view text ) {
            return std::any_of( problems.begin(), problems.end(),
                [text]( const std::string& problem ) {
                    return problem.find( text ) != std::string::npos;
                } );
        };
        EXPECT_TRUE( reported( "ties distinct points" ) );
        EXPECT_TRUE( reported( "Unique vertex 4 has no component vertex" ) );
        EXPECT_TRUE( reported( "vertex 1 has no unique vertex" ) );
        EXPECT_TRUE( reported( "has internal component of type Surface" ) );
        // The line edges are no longer found in the surfaces.
        EXPECT_TRUE( reported( "is not an edge of" ) ) << problems.size();
    }

    TEST( BRepModel, ComponentsInInsertionOrderWithTypedIds )
    {
        const auto fixture = test::two_surfaces_sharing_a_line();
        const auto& model = fixture.model;
        EXPECT_EQ( model.nb_corners(), 2u );
        EXPECT_EQ( model.nb_lines(), 1u );
        EXPECT_EQ( model.nb_surfaces(), 2u );
        EXPECT_EQ( model.nb_blocks(), 0u );
        EXPECT_EQ( ids( model.corners() ),
            ( std::vector< uuid >{ fixture.corner0, fixture.corner1 } ) );
        EXPECT_EQ( ids( model.surfaces() ),
            ( std::vector< uuid >{ fixture.surface0, fixture.surface1 } ) );
        const auto& line = model.line( fixture.line );
        EXPECT_EQ( line.component_id(), ComponentID( LINE, fixture.line ) );
        EXPECT_EQ( model.corner( fixture.corner0 ).component_id().type().get(), "Corner" );
        EXPECT_EQ( model.surface( fixture.surface0 ).component_id().type().get(), "Surface" );
        EXPECT_EQ( line.mesh().nb_edges(), 2u );
        EXPECT_TRUE( model.has_component( fixture.surface1 ) );
        EXPECT_FALSE( model.has_component( uuid{} ) );
    }

    TEST( BRepModel, MissingUuidThrowsOutOfRange )
    {
        const auto fixture = test::two_surfaces_sharing_a_line();
        const auto& model = fixture.model;
        const uuid missing;
        EXPECT_THROW( model.corner( missing ), std::out_of_range );
        EXPECT_THROW( model.line( missing ), std::out_of_range );
        EXPECT_THROW( model.surface( missing ), std::out_of_range );
        EXPECT_THROW( model.block( missing ), std::out_of_range );
        // A component of another kind is missing as well.
        EXPECT_THROW( model.surface( fixture.line ), std::out_of_range );
        EXPECT_THROW( model.nb_boundaries( missing ), std::out_of_range );
    }

    TEST( BRepModel, RelationshipsBothWays )
    {
        const auto fixture = test::two_surfaces_sharing_a_line();
        const auto& model = fixture.model;
        const auto& line = model.line( fixture.line );
        const auto& corner0 = model.corner( fixture.corner0 );
        const auto& surface0 = model.surface( fixture.surface0 );
        const auto& surface1 = model.surface( fixture.surface1 );

        EXPECT_EQ( ids( model.boundaries( line ) ),
            ( std::vector< uuid >{ fixture.corner0, fixture.corner1 } ) );
        EXPECT_EQ( ids( model.incidences( corner0 ) ), std::vector< uuid >{ fixture.line } );
        EXPECT_EQ( ids( model.incidences( line ) ),
            ( std::vector< uuid >{ fixture.surface0, fixture.surface1 } ) );
        EXPECT_EQ( ids( model.boundaries( surface0 ) ), std::vector< uuid >{ fixture.line } );
        EXPECT_EQ( ids( model.boundaries( surface1 ) ), std::vector< uuid >{ fixture.line } );
        EXPECT_TRUE( model.incidences( surface0 ).empty() );
        EXPECT_TRUE( model.internal_lines( surface0 ).empty() );
        EXPECT_TRUE( model.boundaries( corner0.id() ).empty() );

        EXPECT_EQ( model.nb_boundaries( fixture.line ), 2u );
        EXPECT_EQ( model.nb_incidences( fixture.line ), 2u );
        EXPECT_EQ( model.nb_incidences( fixture.corner1 ), 1u );
        EXPECT_EQ( model.nb_embeddings( fixture.line ), 0u );
        EXPECT_TRUE( model.is_boundary( fixture.corner1, fixture.line ) );
        EXPECT_FALSE( model.is_boundary( fixture.line, fixture.corner1 ) );
    }

    TEST( BRepModel, InternalRelationshipsBothWays )
    {
        OpenOrvaneModelLibrary::initialize();
        BRep model;
        BRepBuilder builder{ model };
        const auto& corner = builder.add_corner();
        const auto& line = builder.add_line();
        const auto& surface = builder.add_surface();
        const auto& block = builder.add_block();
        builder.add_line_surface_internal_relationship( model.line( line ), model.surface( surface ) );
        builder.add_corner_surface_internal_relationship(
            model.corner( corner ), model.surface( surface ) );
        builder.add_surface_block_internal_relationship(
            model.surface( surface ), model.block( block ) );
        builder.add_line_block_internal_relationship( model.line( line ), model.block( block ) );
        builder.add_corner_block_internal_relationship( model.corner( corner ), model.block( block ) );
        // Recorded once however often it is added.
        builder.add_line_block_internal_relationship( model.line( line ), model.block( block ) );

        EXPECT_EQ( ids( model.internal_lines( model.surface( surface ) ) ),
            std::vector< uuid >{ line } );
        EXPECT_EQ( ids( model.internal_corners( model.surface( surface ) ) ),
            std::vector< uuid >{ corner } );
        EXPECT_EQ( ids( model.internal_surfaces( model.block( block ) ) ),
            std::vector< uuid >{ surface } );
        EXPECT_EQ( ids( model.internal_lines( model.block( block ) ) ), std::vector< uuid >{ line } );
        EXPECT_EQ( ids( model.internal_corners( model.block( block ) ) ),
            std::vector< uuid >{ corner } );
        EXPECT_EQ( ids( model.embedding_surfaces( model.line( line ) ) ),
            std::vector< uuid >{ surface } );
        EXPECT_EQ( ids( model.embedding_blocks( model.corner( corner ) ) ),
            std::vector< uuid >{ block } );
        EXPECT_EQ( model.nb_embeddings( line ), 2u );
        EXPECT_EQ( model.nb_embeddings( corner ), 2u );
        EXPECT_EQ( model.nb_internals( block ), 3u );
        EXPECT_TRUE( model.boundaries( model.block( block ) ).empty() );
        EXPECT_TRUE( test::is_valid_brep( model ) );
    }

    TEST( BRepModel, UniqueVerticesTieTheSharedPoints )
    {
        const auto fixture = test::two_surfaces_sharing_a_line();
        const auto& model = fixture.model;
        const ComponentID line{ LINE, fixture.line };
        const ComponentID surface0{ SURFACE, fixture.surface0 };
        const ComponentID surface1{ SURFACE, fixture.surface1 };
        const ComponentID corner0{ CORNER, fixture.corner0 };
        EXPECT_EQ( model.nb_unique_vertices(), 5u );
        // (0.5, 0, 0): line vertex 1 and vertex 1 of both surfaces, in link
        // order.
        EXPECT_EQ( model.component_mesh_vertices( 2 ),
            ( std::vector< ComponentMeshVertex >{
                { line, 1 }, { surface0, 1 }, { surface1, 1 } } ) );
        // (0, 0, 0): the corner, the line start, vertex 0 of surface0 and
        // vertex 2 of surface1.
        EXPECT_EQ( model.component_mesh_vertices( 0 ),
            ( std::vector< ComponentMeshVertex >{
                { corner0, 0 }, { line, 0 }, { surface0, 0 }, { surface1, 2 } } ) );
        EXPECT_EQ( model.unique_vertex( { surface1, 0 } ), 1u );
        EXPECT_EQ( model.unique_vertex( { surface1, 3 } ), 4u );
        EXPECT_EQ( model.component_mesh_vertices( 4 ),
            ( std::vector< ComponentMeshVertex >{ { surface1, 3 } } ) );
        EXPECT_TRUE( model.has_component_mesh_vertices( 0, CORNER ) );
        EXPECT_FALSE( model.has_component_mesh_vertices( 2, CORNER ) );
        EXPECT_TRUE( model.has_component_mesh_vertices( 2, LINE ) );
        EXPECT_FALSE( model.has_component_mesh_vertices( 3, LINE ) );
        EXPECT_EQ( model.component_mesh_vertices( 0, SURFACE ).size(), 2u );
        EXPECT_EQ( ComponentMeshVertex( surface1, 3 ).mesh_vertex(),
            MeshVertex( fixture.surface1, 3 ) );
    }

    TEST( BRepModel, ComponentMeshEdgesOfTheSharedEdge )
    {
        const auto fixture = test::two_surfaces_sharing_a_line();
        const auto& model = fixture.model;
        const auto& surface0 = model.surface( fixture.surface0 );
        // Surface0 polygon 0 edge 0 runs (0,0,0) -> (0.5,0,0).
        const auto edges = component_mesh_edges( model, surface0, PolygonEdge{ 0, 0 } );
        EXPECT_EQ( edges.unique_vertices, ( std::array< index_t, 2 >{ 0, 2 } ) );
        ASSERT_EQ( edges.lines.size(), 1u );
        EXPECT_EQ( edges.lines.at( fixture.line ), LineEdges{ 0 } );
        ASSERT_EQ( edges.surfaces.size(), 2u );
        EXPECT_EQ( edges.surfaces.at( fixture.surface0 ), SurfacePolygonEdges{ PolygonEdge( 0, 0 ) } );
        // Surface1 polygon 1 runs (0.5,0,0) -> (0,0,0) along its edge 0.
        EXPECT_EQ( edges.surfaces.at( fixture.surface1 ), SurfacePolygonEdges{ PolygonEdge( 1, 0 ) } );
        EXPECT_TRUE( edges.blocks.empty() );

        // The same model edge reached from the line and from surface1.
        const auto from_line = component_mesh_edges( model, model.line( fixture.line ), 0 );
        EXPECT_EQ( from_line.surfaces, edges.surfaces );
        EXPECT_EQ( from_line.lines, edges.lines );
        const auto from_other =
            component_mesh_edges( model, model.surface( fixture.surface1 ), PolygonEdge{ 1, 0 } );
        EXPECT_EQ( from_other.unique_vertices, ( std::array< index_t, 2 >{ 2, 0 } ) );
        EXPECT_EQ( from_other.surfaces, edges.surfaces );
        EXPECT_EQ( surface_component_mesh_edges( model, { 2, 0 } ), edges.surfaces );
        EXPECT_EQ( edge_unique_vertices( model, model.line( fixture.line ), 1 ),
            ( std::array< index_t, 2 >{ 2, 1 } ) );
    }

    TEST( BRepModel, ComponentMeshEdgesOfAnInnerEdge )
    {
        const auto fixture = test::two_surfaces_sharing_a_line();
        const auto& model = fixture.model;
        // Surface0 edge (0.5,0,0) -> (0.5,1,0) is shared by both of its
        // triangles, and by nothing else.
        const auto edges = component_mesh_edges(
            model, model.surface( fixture.surface0 ), PolygonEdge{ 0, 1 } );
        EXPECT_EQ( edges.unique_vertices, ( std::array< index_t, 2 >{ 2, 3 } ) );
        EXPECT_TRUE( edges.lines.empty() );
        ASSERT_EQ( edges.surfaces.size(), 1u );
        auto polygon_edges = edges.surfaces.at( fixture.surface0 );
        std::sort( polygon_edges.begin(), polygon_edges.end(),
            []( const PolygonEdge& a, const PolygonEdge& b ) { return a.polygon_id < b.polygon_id; } );
        EXPECT_EQ( polygon_edges, ( SurfacePolygonEdges{ PolygonEdge( 0, 1 ), PolygonEdge( 1, 2 ) } ) );
        // Two unique vertices no component edge joins.
        const auto none = component_mesh_edges( model, { 3, 4 } );
        EXPECT_TRUE( none.lines.empty() && none.surfaces.empty() && none.blocks.empty() );
    }

    TEST( BRepModel, TetrahedronModelIsClosedAndConformal )
    {
        const auto fixture = test::tetrahedron_model();
        const auto& model = fixture.model;
        EXPECT_TRUE( test::is_valid_brep( model ) );
        const auto& block = model.block( fixture.block );
        EXPECT_EQ( model.boundaries( block ).size(), 4u );
        for( const auto& surface : model.surfaces() )
        {
            EXPECT_EQ( model.boundaries( surface ).size(), 3u );
            EXPECT_EQ( ids( model.incidences( surface ) ), std::vector< uuid >{ fixture.block } );
        }
        for( const auto& line : model.lines() )
        {
            EXPECT_EQ( model.incidences( line ).size(), 2u );
            EXPECT_FALSE( model.is_closed( line ) );
        }
        const auto box = model.bounding_box();
        EXPECT_EQ( box.min(), ( Point< 3 >{ { 0, 0, 0 } } ) );
        EXPECT_EQ( box.max(), ( Point< 3 >{ { 1, 1, 1 } } ) );
    }

    TEST( BRepModel, TetrahedronModelEdgesAndPolygonsReachTheBlock )
    {
        const auto fixture = test::tetrahedron_model();
        const auto& model = fixture.model;
        // Line 0 joins unique vertices 0 and 1; facets 2 and 3 hold it.
        const auto edges = component_mesh_edges( model, model.line( fixture.lines[0] ), 0 );
        EXPECT_EQ( edges.lines.size(), 1u );
        EXPECT_EQ( edges.surfaces.size(), 2u );
        EXPECT_TRUE( edges.surfaces.contains( fixture.surfaces[2] ) );
        EXPECT_TRUE( edges.surfaces.contains( fixture.surfaces[3] ) );
        ASSERT_EQ( edges.blocks.size(), 1u );
        const auto& facet_edges = edges.blocks.at( fixture.block );
        ASSERT_EQ( facet_edges.size(), 1u );
        const auto ends = model.block( fixture.block ).mesh().polyhedron_facet_edge_vertices(
            facet_edges.front() );
        EXPECT_EQ( std::min( ends[0], ends[1] ), 0u );
        EXPECT_EQ( std::max( ends[0], ends[1] ), 1u );
        EXPECT_EQ( edge_unique_vertices( model, model.block( fixture.block ), facet_edges.front() ),
            ( std::array< index_t, 2 >{ ends[0], ends[1] } ) );
        // The same edge from the block lists the same components.
        const auto from_block = component_mesh_edges(
            model, model.block( fixture.block ), facet_edges.front() );
        EXPECT_EQ( from_block.surfaces.size(), 2u );
        EXPECT_EQ( from_block.lines, edges.lines );

        // Surface 3 is the facet opposite point 3, i.e. facet 3 of the
        // tetrahedron.
        const auto polygons =
            component_mesh_polygons( model, model.surface( fixture.surfaces[3] ), 0 );
        ASSERT_EQ( polygons.surfaces.size(), 1u );
        EXPECT_EQ( polygons.surfaces.at( fixture.surfaces[3] ).size(), 1u );
        ASSERT_EQ( polygons.blocks.size(), 1u );
        EXPECT_EQ( polygons.blocks.at( fixture.block ).front(), PolyhedronFacet( 0, 3 ) );
    }

    TEST( BRepModel, IsClosed )
    {
        OpenOrvaneModelLibrary::initialize();
        struct Case
        {
            const char* name;
            std::vector< std::array< index_t, 2 > > edges;
            // Unique vertex of each line vertex (NO_ID: unlinked).
            std::vector< index_t > uniques;
            bool closed;
        };
        const std::vector< Case > cases{
            { "empty", {}, {}, false },
            { "open", { { 0, 1 }, { 1, 2 } }, { 0, 1, 2 }, false },
            { "cycle", { { 0, 1 }, { 1, 2 }, { 2, 0 } }, { 0, 1, 2 }, true },
            { "ends on one unique vertex", { { 0, 1 }, { 1, 2 } }, { 0, 1, 0 }, true },
            { "unlinked ends", { { 0, 1 }, { 1, 2 } }, { NO_ID, 1, NO_ID }, false },
            { "branching", { { 0, 1 }, { 1, 2 }, { 1, 3 } }, { 0, 1, 2, 3 }, false },
        };
        for( const auto& test_case : cases )
        {
            BRep model;
            BRepBuilder builder{ model };
            builder.create_unique_vertices( 4 );
            const auto id = builder.add_line();
            auto mesh = builder.line_mesh_builder( id );
            for( index_t v = 0; v < test_case.uniques.size(); v++ )
            {
                mesh->create_point( Point< 3 >{ { static_cast< double >( v ), 0, 0 } } );
                if( test_case.uniques[v] != NO_ID )
                {
                    builder.set_unique_vertex(
                        { { LINE, id }, v }, test_case.uniques[v] );
                }
            }
            for( const auto& edge : test_case.edges )
            {
                mesh->create_edge( edge[0], edge[1] );
            }
            EXPECT_EQ( model.is_closed( model.line( id ) ), test_case.closed ) << test_case.name;
        }
    }

    TEST( BRepModel, MovedFromModelIsEmptyAndValid )
    {
        auto fixture = test::two_surfaces_sharing_a_line();
        BRep moved{ std::move( fixture.model ) };
        EXPECT_EQ( moved.nb_surfaces(), 2u );
        EXPECT_EQ( moved.nb_unique_vertices(), 5u );
        EXPECT_EQ( moved.nb_incidences( fixture.line ), 2u );
        EXPECT_TRUE( test::is_valid_brep( moved, open_surfaces() ) );

        const auto& empty = fixture.model;
        EXPECT_EQ( empty.nb_corners() + empty.nb_lines() + empty.nb_surfaces() + empty.nb_blocks(),
            0u );
        EXPECT_EQ( empty.nb_unique_vertices(), 0u );
        EXPECT_TRUE( empty.corners().empty() );
        EXPECT_FALSE( empty.is_registered( fixture.line ) );
        EXPECT_THROW( empty.line( fixture.line ), std::out_of_range );
        EXPECT_TRUE( empty.bounding_box().empty() );
        EXPECT_TRUE( test::is_valid_brep( empty ) );

        // The moved-from model can be edited and assigned again.
        {
            BRepBuilder builder{ fixture.model };
            builder.add_corner( fixture.corner0 );
            builder.create_unique_vertex();
            EXPECT_EQ( fixture.model.nb_corners(), 1u );
        }
        fixture.model = std::move( moved );
        EXPECT_EQ( fixture.model.nb_surfaces(), 2u );
        EXPECT_EQ( moved.nb_corners(), 0u );
        EXPECT_TRUE( test::is_valid_brep( fixture.model, open_surfaces() ) );
    }
} // namespace orvane
