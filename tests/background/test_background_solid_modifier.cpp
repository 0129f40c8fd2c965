#include <background/background_solid_modifier.hpp>

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/mesh/mesh_factory.hpp>

#include <common/modifier/mesh_modifier_factory.hpp>

#include <background/background_solid.hpp>
#include <background/background_solid_library.hpp>

#include <tests/background/background_fixtures.hpp>
#include <tests/support/fresh_process.hpp>
#include <tests/support/solid_modifier_checks.hpp>

namespace
{
    using orvane::index_t;
    using orvane::MeshEdge;
    using orvane::MeshVertex;
    using orvane::NO_ID;
    using orvane::Point;
    using orvane::uuid;
    using orvane::internal::BackgroundSolid;
    using orvane::internal::BackgroundSolidBuilder;
    using orvane::internal::BackgroundSolidModifier;
    using Blocks = std::vector< uuid >;

    constexpr const char* duplicate_key_warning =
        "Factory: Trying to register twice the same key";

    /// Writes the block list of a tetrahedron (the inserter's job).
    void set_blocks(
        const BackgroundSolid& solid, index_t tetrahedron, const Blocks& blocks )
    {
        solid.polyhedron_attribute_manager()
            .find_or_create_attribute< orvane::VariableAttribute, Blocks >(
                "orvane_macro_block_id", {} )
            ->set_value( tetrahedron, blocks );
    }

    struct Edited
    {
        std::unique_ptr< BackgroundSolid > solid;
        std::unique_ptr< BackgroundSolidBuilder > builder;
        std::unique_ptr< BackgroundSolidModifier > modifier;
    };

    Edited edited( std::unique_ptr< BackgroundSolid > solid )
    {
        Edited result;
        result.solid = std::move( solid );
        result.builder = std::make_unique< BackgroundSolidBuilder >( *result.solid );
        result.modifier = std::make_unique< BackgroundSolidModifier >(
            *result.solid, *result.builder );
        return result;
    }

    TEST( BackgroundSolidModifier, facet_swap_merges_the_block_lists )
    {
        const uuid a;
        const uuid b;
        const uuid c;
        struct Case
        {
            Blocks first;
            Blocks second;
            Blocks expected;
        };
        for( const auto& test : std::vector< Case >{ { { a }, { b }, { a, b } },
                 { { a }, { a }, { a } }, { { a, b }, { b, c }, { a, b, c } },
                 { {}, { c }, { c } } } )
        {
            // Two tetrahedra sharing facet (0, 1, 2), apexes above and below:
            // the 2-3 flip is valid.
            auto e = edited( orvane::test::background_from(
                orvane::test::create_tetrahedral_solid(
                    { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 1., 0., 0. } },
                        Point< 3 >{ { 0., 1., 0. } }, Point< 3 >{ { 0.2, 0.2, 1. } },
                        Point< 3 >{ { 0.2, 0.2, -1. } } },
                    { { 0, 1, 2, 3 }, { 1, 0, 2, 4 } } ) ) );
            set_blocks( *e.solid, 0, test.first );
            set_blocks( *e.solid, 1, test.second );
            // Facet 3 of tetrahedron 0: the first replaced one.
            const orvane::PolyhedronFacet facet{ 0, 3 };
            const auto swap = e.modifier->swap_facet( facet );
            for( const auto created : swap.new_tetrahedra )
            {
                EXPECT_EQ( e.solid->macro_block_ids( created ), test.expected );
            }
            EXPECT_TRUE( orvane::test::is_valid_modified_solid( *e.solid ) );
        }
    }

    TEST( BackgroundSolidModifier, edge_swap_gives_every_new_tetrahedron_all_blocks )
    {
        auto e = edited( orvane::test::background_from(
            orvane::test::tetrahedra_fan_around_edge( 4, true ) ) );
        std::vector< uuid > blocks( 4 );
        for( index_t t = 0; t < 4; t++ )
        {
            set_blocks( *e.solid, t, { blocks[t] } );
        }
        const auto edge = e.solid->polyhedron_facet_edge_from_vertices( { 0, 1 } ).value();
        const auto swap = e.modifier->swap_edge( edge, 2 );
        ASSERT_FALSE( swap.new_tetrahedra.empty() );
        Blocks expected;
        for( const auto old : swap.old_tetrahedra )
        {
            expected.push_back( blocks[old] );
        }
        for( const auto created : swap.new_tetrahedra )
        {
            EXPECT_EQ( e.solid->macro_block_ids( created ), expected );
        }
    }

    TEST( BackgroundSolidModifier, splits_keep_blocks_and_carry_curve_edges )
    {
        auto e = edited( orvane::test::background_grid( 2, 2, 2 ) );
        const uuid block;
        const uuid curve;
        for( index_t t = 0; t < e.solid->nb_polyhedra(); t++ )
        {
            set_blocks( *e.solid, t, { block } );
        }
        const auto edge = e.solid->edges().edge_from_vertices( { 13, 4 } ).value();
        const index_t edges[] = { edge };
        e.builder->add_edges_init_edge_id( curve, 7, edges );
        const auto split = e.modifier->split_edge(
            edge, e.solid->edge_barycenter( { 13, 4 } ) );
        const std::vector< MeshEdge > expected{ { curve, 7 } };
        for( const auto* halves : { &split.first_edges, &split.second_edges } )
        {
            ASSERT_EQ( halves->size(), 1u );
            EXPECT_EQ( halves->front().old_element, edge );
            EXPECT_EQ( e.solid->init_edge_ids( halves->front().new_element ), expected );
        }
        for( const auto& created : split.created_edges )
        {
            EXPECT_TRUE( e.solid->init_edge_ids( created.new_element ).empty() );
        }
        EXPECT_EQ( e.solid->vertex_init_edge_ids( split.new_vertex ), expected );
        for( const auto* halves : { &split.first_tetrahedra, &split.second_tetrahedra } )
        {
            for( const auto& origin : *halves )
            {
                EXPECT_EQ( e.solid->macro_block_ids( origin.new_element ), Blocks{ block } );
            }
        }
        const auto tetrahedron_split = e.modifier->split_tetrahedron(
            split.first_tetrahedra.front().new_element,
            e.solid->polyhedron_barycenter( split.first_tetrahedra.front().new_element ) );
        for( const auto& origin : tetrahedron_split.tetrahedra )
        {
            EXPECT_EQ( e.solid->macro_block_ids( origin.new_element ), Blocks{ block } );
        }
        EXPECT_TRUE( orvane::test::is_valid_modified_solid( *e.solid ) );
    }

    /// A positive tetrahedron on the four points (swapping two when needed).
    std::array< index_t, 4 > positive( const std::vector< Point< 3 > >& points,
        std::array< index_t, 4 > tetrahedron )
    {
        if( orvane::tetrahedron_signed_volume( { points[tetrahedron[0]],
                points[tetrahedron[1]], points[tetrahedron[2]],
                points[tetrahedron[3]] } )
            < 0 )
        {
            std::swap( tetrahedron[2], tetrahedron[3] );
        }
        return tetrahedron;
    }

    TEST( BackgroundSolidModifier, failed_collapse_check_still_carries_provenance )
    {
        // Edge n-f with three tetrahedra around edge f-3: A = (n, f, 2, 3),
        // B = (f, 2, 3, 4) and T = (n, f, 3, 4). T shares facet (n, f, 3)
        // with A but the link is missing, so the walk around the edge sees A
        // only while the walk around f reaches T through B. The collapse
        // gives T the new vertex in place of f and leaves n attached to T:
        // the isolation check fails after the edit.
        // The collapse handles the edge's ends in the order of the edge
        // table, which follows the first tetrahedron's vertex order: n must
        // come first, or its own turn would detach it again.
        constexpr index_t near = 0;
        constexpr index_t far = 1;
        const auto make = []( bool flip ) {
            std::vector< Point< 3 > > points( 5 );
            points[near] = Point< 3 >{ { 0., 0., 0. } };
            points[far] = Point< 3 >{ { 0., 0., 1. } };
            points[2] = Point< 3 >{ { 1., 0., 0.5 } };
            points[3] = Point< 3 >{ { 0., 1., 0.5 } };
            points[4] = Point< 3 >{ { -0.5, 0.2, 2. } };
            // An even permutation: the same orientation either way.
            const auto t = positive( points,
                flip ? std::array< index_t, 4 >{ far, near, 4, 3 }
                     : std::array< index_t, 4 >{ near, far, 3, 4 } );
            const auto b = positive( points, { far, 2, 3, 4 } );
            const auto a = positive( points, { near, far, 2, 3 } );
            auto solid = orvane::test::create_tetrahedral_solid( points, { t, b, a } );
            auto builder = orvane::TetrahedralSolidBuilder< 3 >::create( *solid );
            for( index_t tetrahedron : { 0u, 2u } )
            {
                for( const orvane::local_index_t f : { 0, 1, 2, 3 } )
                {
                    const auto adjacent = solid->polyhedron_adjacent( { tetrahedron, f } );
                    if( adjacent && *adjacent == 2 - tetrahedron )
                    {
                        builder->unset_polyhedron_adjacent( { tetrahedron, f } );
                    }
                }
            }
            return edited( orvane::test::background_from( std::move( solid ) ) );
        };
        auto first_try = make( false );
        const auto first_end = first_try.solid->edges().edge_vertices(
            first_try.solid->edges().edge_from_vertices( { near, far } ).value() )[0];
        auto e = first_end == near ? std::move( first_try ) : make( true );
        ASSERT_EQ( e.solid->edges().edge_vertices(
                       e.solid->edges().edge_from_vertices( { near, far } ).value() )[0],
            near );
        const uuid input;
        e.builder->add_init_vertex_id( input, 10, 0 );
        e.builder->add_init_vertex_id( input, 11, 1 );
        const auto edge = e.solid->edges().edge_from_vertices( { near, far } ).value();
        index_t new_vertex{ NO_ID };
        try
        {
            e.modifier->collapse_edge( edge, Point< 3 >{ { 0., 0., 0.5 } } );
            FAIL() << "the isolation check passed";
        }
        catch( const orvane::OpenOrvaneException& error )
        {
            EXPECT_STREQ( error.what(),
                "This edge collapse has provoked validity issue in TetrahedralSolid" );
            new_vertex = e.solid->nb_vertices() - 1;
        }
        // The collapse is made, and its vertex carries both ends' records.
        EXPECT_EQ( e.solid->point( new_vertex ), ( Point< 3 >{ { 0., 0., 0.5 } } ) );
        EXPECT_EQ( e.solid->init_vertex_ids( new_vertex ),
            ( std::vector< MeshVertex >{ { input, 10 }, { input, 11 } } ) );
    }

    TEST( BackgroundSolidModifier, is_created_by_the_factory_for_a_background_solid )
    {
        auto solid = orvane::test::background_grid( 1, 1, 1 );
        auto builder = orvane::TetrahedralSolidBuilder< 3 >::create( *solid );
        EXPECT_NE( dynamic_cast< BackgroundSolidBuilder* >( builder.get() ), nullptr );
        const auto modifier =
            orvane::MeshModifierFactory::create< BackgroundSolidModifier >( *solid, *builder );
        EXPECT_NE( modifier, nullptr );
        // A plain solid cannot get one.
        auto plain = orvane::test::grid_tetrahedral_solid( 1, 1, 1 );
        auto plain_builder = orvane::TetrahedralSolidBuilder< 3 >::create( *plain );
        EXPECT_THROW( static_cast< void >( orvane::MeshModifierFactory::create<
                          BackgroundSolidModifier >( *plain, *plain_builder ) ),
            orvane::OpenOrvaneException );
        const auto created = orvane::MeshFactory::create( BackgroundSolid::impl_name_static() );
        EXPECT_NE( dynamic_cast< BackgroundSolid* >( created.get() ), nullptr );
        EXPECT_EQ( orvane::MeshFactory::type( BackgroundSolid::impl_name_static() ),
            orvane::TetrahedralSolid< 3 >::type_name_static() );
        // The core implementation stays the default of the type.
        EXPECT_EQ( orvane::MeshFactory::default_impl(
                       orvane::TetrahedralSolid< 3 >::type_name_static() ),
            orvane::OpenOrvaneTetrahedralSolid< 3 >::impl_name_static() );
    }

    class OtherModifier : public orvane::VerticesModifier
    {
    public:
        OtherModifier( const orvane::VertexSet&, orvane::VertexSetBuilder& ) {}
    };

    TEST( BackgroundSolidModifier, registering_twice_warns_once_per_factory_and_keeps_first_creators )
    {
        orvane::test::expect_in_fresh_process( [] {
            // A creator registered before the module keeps the key.
            orvane::MeshModifierFactory::register_modifier< OtherModifier,
                orvane::VertexSet, orvane::VertexSetBuilder >(
                BackgroundSolid::impl_name_static() );
            orvane::LoggerCapture capture;
            orvane::BackgroundSolidLibrary::initialize();
            if( capture.count( orvane::Logger::Level::warn, duplicate_key_warning ) != 1 )
            {
                return std::string{ "no single warning for the taken key" };
            }
            capture.clear();
            orvane::detail::register_background_solid();
            if( capture.count( orvane::Logger::Level::warn, duplicate_key_warning ) != 3 )
            {
                return std::string{ "a second registration did not warn once per factory" };
            }
            auto solid = orvane::test::background_grid( 1, 1, 1 );
            auto builder = orvane::TetrahedralSolidBuilder< 3 >::create( *solid );
            const auto modifier = orvane::MeshModifierFactory::create(
                BackgroundSolid::impl_name_static(), *solid, *builder );
            if( dynamic_cast< OtherModifier* >( modifier.get() ) == nullptr )
            {
                return std::string{ "the first modifier creator was replaced" };
            }
            return std::string{};
        } );
    }
} // namespace
