#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/model/brep_builder.hpp>
#include <openorvane/model/model_library.hpp>
#include <tests/support/brep_checks.hpp>
#include <tests/support/brep_fixtures.hpp>

namespace orvane
{
    namespace
    {
        const ComponentType LINE{ "Line" };
        const ComponentType SURFACE{ "Surface" };

        using test::open_surfaces;

        /// A bare identifier with two registered components.
        struct Links
        {
            Links()
            {
                builder.register_mesh_component( line );
                builder.register_mesh_component( surface );
            }

            VertexIdentifier identifier;
            VertexIdentifierBuilder builder{ identifier };
            ComponentID line{ LINE, uuid{} };
            ComponentID surface{ SURFACE, uuid{} };
        };
    } // namespace

    TEST( VertexIdentifier, CreateReturnsFirstIndexAndStartsEmpty )
    {
        Links links;
        EXPECT_EQ( links.builder.create_unique_vertex(), 0u );
        EXPECT_EQ( links.builder.create_unique_vertices( 3 ), 1u );
        EXPECT_EQ( links.builder.create_unique_vertices( 0 ), 4u );
        EXPECT_EQ( links.identifier.nb_unique_vertices(), 4u );
        for( index_t u = 0; u < 4; u++ )
        {
            EXPECT_TRUE( links.identifier.component_mesh_vertices( u ).empty() );
        }
        // Vertices never linked, even beyond anything linked so far.
        EXPECT_EQ( links.identifier.unique_vertex( { links.line, 1000 } ), NO_ID );
    }

    TEST( VertexIdentifier, RelinkingUnlinksFromThePreviousUniqueVertex )
    {
        Links links;
        links.builder.create_unique_vertices( 3 );
        links.builder.set_unique_vertex( { links.line, 0 }, 0 );
        links.builder.set_unique_vertex( { links.surface, 4 }, 0 );
        links.builder.set_unique_vertex( { links.line, 1 }, 1 );
        // Relink line vertex 0 without unsetting it first.
        links.builder.set_unique_vertex( { links.line, 0 }, 2 );
        EXPECT_EQ( links.identifier.unique_vertex( { links.line, 0 } ), 2u );
        EXPECT_EQ( links.identifier.component_mesh_vertices( 0 ),
            ( std::vector< ComponentMeshVertex >{ { links.surface, 4 } } ) );
        // Linking the same pair again records it once.
        links.builder.set_unique_vertex( { links.line, 0 }, 2 );
        EXPECT_EQ( links.identifier.component_mesh_vertices( 2 ).size(), 1u );
        // The old unique vertex of a fully relinked vertex becomes empty ...
        links.builder.set_unique_vertex( { links.line, 1 }, 0 );
        EXPECT_TRUE( links.identifier.component_mesh_vertices( 1 ).empty() );
        // ... and delete_isolated_vertices removes it, renumbering the rest.
        const auto old2new = links.builder.delete_isolated_vertices();
        EXPECT_EQ( old2new, ( OldToNew{ 0, NO_ID, 1 } ) );
        EXPECT_EQ( links.identifier.nb_unique_vertices(), 2u );
        EXPECT_EQ( links.identifier.unique_vertex( { links.line, 0 } ), 1u );
        EXPECT_EQ( links.identifier.unique_vertex( { links.line, 1 } ), 0u );
        EXPECT_EQ( links.identifier.component_mesh_vertices( 0 ),
            ( std::vector< ComponentMeshVertex >{ { links.surface, 4 }, { links.line, 1 } } ) );
        EXPECT_EQ( links.identifier.component_mesh_vertices( 1 ),
            ( std::vector< ComponentMeshVertex >{ { links.line, 0 } } ) );
        // Nothing left to delete.
        EXPECT_EQ( links.builder.delete_isolated_vertices(), ( OldToNew{ 0, 1 } ) );
    }

    TEST( VertexIdentifier, UnsetRemovesOnlyThatLink )
    {
        Links links;
        links.builder.create_unique_vertices( 2 );
        links.builder.set_unique_vertex( { links.line, 0 }, 0 );
        links.builder.set_unique_vertex( { links.surface, 0 }, 0 );
        // Wrong unique vertex, vertex never linked: nothing happens.
        links.builder.unset_unique_vertex( { links.line, 0 }, 1 );
        links.builder.unset_unique_vertex( { links.line, 7 }, 0 );
        EXPECT_EQ( links.identifier.component_mesh_vertices( 0 ).size(), 2u );
        links.builder.unset_unique_vertex( { links.line, 0 }, 0 );
        EXPECT_EQ( links.identifier.unique_vertex( { links.line, 0 } ), NO_ID );
        EXPECT_EQ( links.identifier.component_mesh_vertices( 0 ),
            ( std::vector< ComponentMeshVertex >{ { links.surface, 0 } } ) );
    }

    TEST( VertexIdentifier, UpdateFollowsTheRenumbering )
    {
        struct Case
        {
            const char* name;
            OldToNew old2new;
            // Expected unique vertex of new vertices 0..3 (NO_ID: none).
            std::vector< index_t > expected;
            // Expected surface vertices listed by unique vertex 0.
            std::vector< index_t > listed_by_zero;
        };
        // Before: surface vertex v is linked to unique vertex v % 2, linked
        // in order v = 0, 1, 2, 3.
        const std::vector< Case > cases{
            { "identity", { 0, 1, 2, 3 }, { 0, 1, 0, 1 }, { 0, 2 } },
            { "deletion drops the link", { 0, NO_ID, 1, 2 }, { 0, 0, 1, NO_ID }, { 0, 1 } },
            { "reversal keeps list order", { 3, 2, 1, 0 }, { 1, 0, 1, 0 }, { 3, 1 } },
            { "merge keeps the first", { 0, 0, 1, 1 }, { 0, 0, NO_ID, NO_ID }, { 0, 1 } },
            { "short vector drops the rest", { 1, 0 }, { 1, 0, NO_ID, NO_ID }, { 1 } },
        };
        for( const auto& test_case : cases )
        {
            Links links;
            links.builder.create_unique_vertices( 2 );
            links.builder.set_unique_vertex( { links.line, 0 }, 0 );
            for( index_t v = 0; v < 4; v++ )
            {
                links.builder.set_unique_vertex( { links.surface, v }, v % 2 );
            }
            links.builder.update_unique_vertices( links.surface, test_case.old2new );
            for( index_t v = 0; v < 4; v++ )
            {
                EXPECT_EQ( links.identifier.unique_vertex( { links.surface, v } ),
                    test_case.expected[v] )
                    << test_case.name << " vertex " << v;
            }
            const auto listed = links.identifier.mesh_component_vertices( 0, links.surface.id() );
            EXPECT_EQ( listed, test_case.listed_by_zero ) << test_case.name;
            // Other components are untouched and keep their place.
            EXPECT_EQ( links.identifier.component_mesh_vertices( 0 ).front(),
                ComponentMeshVertex( links.line, 0 ) )
                << test_case.name;
            // Every remaining link is recorded both ways.
            for( index_t u = 0; u < 2; u++ )
            {
                for( const auto& cmv : links.identifier.component_mesh_vertices( u ) )
                {
                    EXPECT_EQ( links.identifier.unique_vertex( cmv ), u ) << test_case.name;
                }
            }
        }
    }

    TEST( VertexIdentifier, PairsAndTypedQueries )
    {
        Links links;
        const ComponentID other_surface{ SURFACE, uuid{} };
        links.builder.register_mesh_component( other_surface );
        links.builder.create_unique_vertices( 2 );
        links.builder.set_unique_vertex( { links.surface, 3 }, 0 );
        links.builder.set_unique_vertex( { links.surface, 5 }, 1 );
        // A surface cut along a line holds the point twice.
        links.builder.set_unique_vertex( { links.surface, 8 }, 1 );
        links.builder.set_unique_vertex( { other_surface, 0 }, 0 );
        links.builder.set_unique_vertex( { links.line, 0 }, 0 );
        links.builder.set_unique_vertex( { links.line, 1 }, 1 );
        const auto pairs = links.identifier.component_mesh_vertex_pairs( 0, 1, SURFACE );
        ASSERT_EQ( pairs.size(), 1u );
        EXPECT_EQ( pairs.at( links.surface.id() ),
            ( std::vector< std::array< index_t, 2 > >{ { 3, 5 }, { 3, 8 } } ) );
        const auto line_pairs = links.identifier.component_mesh_vertex_pairs( 1, 0, LINE );
        EXPECT_EQ( line_pairs.at( links.line.id() ),
            ( std::vector< std::array< index_t, 2 > >{ { 1, 0 } } ) );
        EXPECT_TRUE( links.identifier.component_mesh_vertex_pairs( 0, 1, ComponentType{ "Block" } )
                         .empty() );
        EXPECT_TRUE( links.identifier.has_component_mesh_vertices( 1, LINE ) );
        EXPECT_FALSE( links.identifier.has_component_mesh_vertices( 1, ComponentType{ "Corner" } ) );
        EXPECT_EQ( links.identifier.component_mesh_vertices( 0, SURFACE ),
            ( std::vector< ComponentMeshVertex >{ { links.surface, 3 }, { other_surface, 0 } } ) );
    }

    TEST( VertexIdentifier, RejectsUnknownTargets )
    {
        Links links;
        links.builder.create_unique_vertices( 1 );
        EXPECT_THROW( links.builder.set_unique_vertex( { links.line, 0 }, 1 ), OpenOrvaneException );
        EXPECT_THROW( links.identifier.component_mesh_vertices( 1 ), OpenOrvaneException );
        const ComponentID unknown{ LINE, uuid{} };
        EXPECT_THROW( links.builder.set_unique_vertex( { unknown, 0 }, 0 ), std::out_of_range );
        EXPECT_THROW( links.identifier.unique_vertex( { unknown, 0 } ), std::out_of_range );
        EXPECT_THROW( links.builder.set_unique_vertex( { links.line, NO_ID }, 0 ),
            OpenOrvaneException );
        // The failed calls left nothing behind.
        EXPECT_TRUE( links.identifier.component_mesh_vertices( 0 ).empty() );
    }

    TEST( VertexIdentifier, UnregisterDropsAllLinksOfTheComponent )
    {
        Links links;
        links.builder.create_unique_vertices( 2 );
        links.builder.set_unique_vertex( { links.line, 0 }, 0 );
        links.builder.set_unique_vertex( { links.surface, 0 }, 0 );
        links.builder.set_unique_vertex( { links.line, 1 }, 1 );
        links.builder.unregister_mesh_component( links.line.id() );
        EXPECT_EQ( links.identifier.component_mesh_vertices( 0 ),
            ( std::vector< ComponentMeshVertex >{ { links.surface, 0 } } ) );
        EXPECT_TRUE( links.identifier.component_mesh_vertices( 1 ).empty() );
        EXPECT_THROW( links.identifier.unique_vertex( { links.line, 0 } ), std::out_of_range );
    }

    // Tasks that each build one component's mesh and link its vertices to
    // their own range of unique vertices (created beforehand) write
    // disjoint memory only; the sanitizer build runs this test too.
    TEST( VertexIdentifier, ParallelLinkingOfDisjointComponents )
    {
        OpenOrvaneModelLibrary::initialize();
        constexpr index_t nb_surfaces = 16;
        constexpr index_t nb_vertices = 300;
        BRep model;
        BRepBuilder builder{ model };
        std::vector< uuid > surfaces;
        for( index_t s = 0; s < nb_surfaces; s++ )
        {
            surfaces.push_back( builder.add_surface() );
        }
        builder.create_unique_vertices( nb_surfaces * nb_vertices );
        const auto link_all = [&]( index_t shift ) {
            std::vector< async::Task< void > > tasks;
            for( index_t s = 0; s < nb_surfaces; s++ )
            {
                tasks.push_back( async::spawn( [&, s, shift] {
                    const ComponentID id{ SURFACE, surfaces[s] };
                    if( shift == 0 )
                    {
                        auto mesh = builder.surface_mesh_builder( surfaces[s] );
                        for( index_t v = 0; v < nb_vertices; v++ )
                        {
                            mesh->create_point( Point< 3 >{
                                { static_cast< double >( v ), static_cast< double >( s ), 0 } } );
                        }
                    }
                    for( index_t v = 0; v < nb_vertices; v++ )
                    {
                        builder.set_unique_vertex(
                            { id, v }, s * nb_vertices + ( v + shift ) % nb_vertices );
                    }
                } ) );
            }
            async::wait_all( tasks );
        };
        link_all( 0 );
        // Relinking inside each component's own range touches only it.
        link_all( 1 );
        for( index_t s = 0; s < nb_surfaces; s++ )
        {
            const ComponentID id{ SURFACE, surfaces[s] };
            for( index_t v = 0; v < nb_vertices; v++ )
            {
                const auto unique = s * nb_vertices + ( v + 1 ) % nb_vertices;
                ASSERT_EQ( model.unique_vertex( { id, v } ), unique );
                ASSERT_EQ( model.component_mesh_vertices( unique ),
                    ( std::vector< ComponentMeshVertex >{ { id, v } } ) );
            }
        }
        // Each unique vertex holds exactly one surface vertex.
        test::BRepCheckOptions options = open_surfaces();
        options.check_meshes = false;
        EXPECT_TRUE( test::is_valid_brep( model, options ) );
    }
} // namespace orvane
