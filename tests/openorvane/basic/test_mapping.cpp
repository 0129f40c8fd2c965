#include <openorvane/basic/mapping.hpp>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace
{
    using orvane::BijectiveMapping;
    using orvane::ComponentType;
    using orvane::GenericMapping;
    using orvane::MeshElement;
    using orvane::ModelMapping;
    using orvane::ModelMappings;
    using orvane::uuid;
    using UuidMapping = GenericMapping< uuid, uuid >;
    using UuidList = std::vector< uuid >;

    const ComponentType SURFACE{ "Surface" };
    const ComponentType LINE{ "Line" };

    template < typename List >
    UuidList as_vector( const List& list )
    {
        return { list.begin(), list.end() };
    }

    /// Checks that each direction lists every pair of the other, as often.
    template < typename K, typename V >
    void expect_mutual( const GenericMapping< K, V >& mapping )
    {
        for( const auto& [in, outs] : mapping.in2out() )
        {
            for( const auto& out : outs )
            {
                const auto& ins = mapping.out2in( out );
                EXPECT_EQ( std::count( outs.begin(), outs.end(), out ),
                    std::count( ins.begin(), ins.end(), in ) );
            }
        }
        for( const auto& [out, ins] : mapping.out2in() )
        {
            for( const auto& in : ins )
            {
                EXPECT_TRUE( mapping.has_mapping_input( in ) );
                const auto& outs = mapping.in2out( in );
                EXPECT_NE( std::find( outs.begin(), outs.end(), out ), outs.end() );
            }
        }
    }

    TEST( GenericMapping, map_keeps_call_order_and_duplicates )
    {
        const uuid a, x, y;
        UuidMapping mapping;
        mapping.map( a, x );
        mapping.map( a, y );
        EXPECT_EQ( as_vector( mapping.in2out( a ) ), ( UuidList{ x, y } ) );
        EXPECT_EQ( as_vector( mapping.out2in( x ) ), ( UuidList{ a } ) );
        EXPECT_EQ( as_vector( mapping.out2in( y ) ), ( UuidList{ a } ) );
        mapping.map( a, x );
        EXPECT_EQ( as_vector( mapping.in2out( a ) ), ( UuidList{ x, y, x } ) );
        EXPECT_EQ( as_vector( mapping.out2in( x ) ), ( UuidList{ a, a } ) );
        expect_mutual( mapping );
    }

    TEST( GenericMapping, map_all_gives_what_one_map_per_pair_gives )
    {
        // Many keys, so the tables are large; repeated inputs and outputs,
        // and entries present before, whose lists must keep their order.
        const uuid first, second;
        std::vector< std::pair< MeshElement, MeshElement > > pairs;
        for( orvane::index_t i = 0; i < 20000; i++ )
        {
            pairs.push_back( { { first, i }, { second, i / 3 } } );
            if( i % 7 == 0 )
            {
                pairs.push_back( { { first, i }, { first, i } } );
            }
        }
        GenericMapping< MeshElement, MeshElement > one_by_one;
        GenericMapping< MeshElement, MeshElement > all_at_once;
        for( auto* mapping : { &one_by_one, &all_at_once } )
        {
            mapping->map( { first, 14 }, { second, 99999 } );
            mapping->map( { second, 0 }, { second, 0 } );
        }
        for( const auto& [in, out] : pairs )
        {
            one_by_one.map( in, out );
        }
        all_at_once.map_all( pairs );
        all_at_once.map_all( {} );
        ASSERT_EQ( all_at_once.size_in(), one_by_one.size_in() );
        ASSERT_EQ( all_at_once.size_out(), one_by_one.size_out() );
        for( const auto& [in, outs] : one_by_one.in2out() )
        {
            ASSERT_TRUE( all_at_once.has_mapping_input( in ) );
            EXPECT_EQ( all_at_once.in2out( in ), outs );
        }
        for( const auto& [out, ins] : one_by_one.out2in() )
        {
            ASSERT_TRUE( all_at_once.has_mapping_output( out ) );
            EXPECT_EQ( all_at_once.out2in( out ), ins );
        }
    }

    TEST( GenericMapping, erase_drops_lists_that_empty )
    {
        const uuid a, b, x, y;
        UuidMapping mapping;
        mapping.map( a, x );
        mapping.map( a, y );
        mapping.map( b, x );
        mapping.map( a, x );
        mapping.erase_in( a );
        EXPECT_FALSE( mapping.has_mapping_input( a ) );
        EXPECT_FALSE( mapping.has_mapping_output( y ) );
        EXPECT_EQ( as_vector( mapping.out2in( x ) ), ( UuidList{ b } ) );
        expect_mutual( mapping );
        mapping.erase_out( x );
        EXPECT_TRUE( mapping.in2out().empty() );
        EXPECT_TRUE( mapping.out2in().empty() );
        mapping.erase_in( a ); // unknown: nothing happens
        EXPECT_THROW( mapping.in2out( a ), std::out_of_range );
    }

    TEST( BijectiveMapping, remapping_replaces_the_earlier_pair )
    {
        const uuid a, b, x, y;
        BijectiveMapping< uuid, uuid > mapping;
        mapping.map( a, x );
        mapping.map( b, y );
        mapping.map( a, y );
        EXPECT_EQ( mapping.in2out( a ), y );
        EXPECT_EQ( mapping.out2in( y ), a );
        EXPECT_FALSE( mapping.has_mapping_input( b ) );
        EXPECT_FALSE( mapping.has_mapping_output( x ) );
        EXPECT_EQ( mapping.size(), 1u );
        EXPECT_EQ( mapping.out2in().size(), 1u );
    }

    TEST( ModelMapping, duplicate_emplace_throws_and_keeps_existing_entry )
    {
        const uuid a, x, other;
        UuidMapping surfaces;
        surfaces.map( a, x );
        ModelMapping< UuidMapping > mapping;
        mapping.emplace( SURFACE, std::move( surfaces ) );
        UuidMapping replacement;
        replacement.map( other, other );
        try
        {
            mapping.emplace( ComponentType{ "Surface" }, std::move( replacement ) );
            FAIL() << "no exception";
        }
        catch( const orvane::OpenOrvaneException& exception )
        {
            EXPECT_STREQ( exception.what(),
                "[ModelMapping::emplace] A mapping with the given ComponentType is "
                "already present, cannot emplace another." );
            EXPECT_EQ( exception.depth(), 0 );
        }
        ASSERT_TRUE( mapping.has_mapping_type( SURFACE ) );
        EXPECT_EQ( as_vector( mapping.at( SURFACE ).in2out( a ) ), ( UuidList{ x } ) );
        EXPECT_FALSE( mapping.at( SURFACE ).has_mapping_input( other ) );
        EXPECT_FALSE( mapping.has_mapping_type( LINE ) );
        EXPECT_THROW( mapping.at( LINE ), std::out_of_range );
    }

    TEST( ComponentType, compares_and_hashes_by_name )
    {
        EXPECT_EQ( ComponentType{}.get(), "undefined" );
        EXPECT_EQ( ComponentType{ "Block" }, ComponentType{ std::string{ "Block" } } );
        EXPECT_NE( SURFACE, LINE );
        EXPECT_EQ( absl::Hash< ComponentType >{}( SURFACE ),
            absl::Hash< ComponentType >{}( ComponentType{ "Surface" } ) );
        const MeshElement element{ uuid{}, 3 };
        const orvane::MeshVertex vertex{ element.mesh_id, 3 };
        EXPECT_EQ( element, vertex );
        EXPECT_EQ( absl::Hash< MeshElement >{}( element ),
            absl::Hash< MeshElement >{}( vertex ) );
        EXPECT_NE( element, ( MeshElement{ element.mesh_id, 4 } ) );
    }

    TEST( ModelMappings, moved_from_record_is_empty_and_reusable )
    {
        const uuid a, x;
        ModelMappings mappings;
        UuidMapping lines;
        lines.map( a, x );
        mappings.component_mapping.emplace( LINE, std::move( lines ) );
        mappings.mesh_elements_mapping.surfaces.map( { a, 0 }, { x, 1 } );
        mappings.mesh_vertices_mapping.corners.map( { a, 2 }, { x, 0 } );
        ModelMappings moved{ std::move( mappings ) };
        EXPECT_TRUE( moved.component_mapping.has_mapping_type( LINE ) );
        EXPECT_EQ( moved.mesh_elements_mapping.surfaces.size_in(), 1u );
        EXPECT_EQ( moved.mesh_vertices_mapping.corners.size_out(), 1u );
        // NOLINTBEGIN: checking the moved-from state
        EXPECT_TRUE( mappings.component_mapping.empty() );
        for( const auto* elements :
            { &mappings.mesh_elements_mapping, &mappings.mesh_vertices_mapping } )
        {
            for( const auto* mapping :
                { &elements->corners, &elements->lines, &elements->surfaces } )
            {
                EXPECT_TRUE( mapping->in2out().empty() );
                EXPECT_TRUE( mapping->out2in().empty() );
            }
        }
        mappings = std::move( moved );
        EXPECT_TRUE( mappings.component_mapping.has_mapping_type( LINE ) );
        EXPECT_TRUE( moved.component_mapping.empty() );
        EXPECT_TRUE( moved.mesh_elements_mapping.surfaces.in2out().empty() );
        // NOLINTEND
    }

    /// One composition case: pairs of the first mapping (A to B) and of the
    /// second (B to C), by index into a pool of ids, and the expected
    /// in2out lists of the result.
    struct MergeCase
    {
        std::string name;
        std::vector< std::pair< int, int > > first;
        std::vector< std::pair< int, int > > second;
        std::vector< std::pair< int, std::vector< int > > > expected;
    };

    const std::vector< MergeCase >& merge_cases()
    {
        // Ids 0-9 are inputs, 10-19 middles, 20-29 outputs.
        static const std::vector< MergeCase > cases{
            { "chain", { { 0, 10 } }, { { 10, 20 } }, { { 0, { 20 } } } },
            { "two paths to one output listed once", { { 0, 10 }, { 0, 11 } },
                { { 10, 20 }, { 11, 20 } }, { { 0, { 20 } } } },
            { "duplicate pair in the first mapping", { { 0, 10 }, { 0, 10 } },
                { { 10, 20 } }, { { 0, { 20 } } } },
            { "middle without image keeps the input", { { 0, 10 }, { 1, 11 } },
                { { 10, 20 } }, { { 0, { 20 } }, { 1, {} } } },
            { "fan out keeps first appearance order", { { 0, 11 }, { 0, 10 } },
                { { 10, 21 }, { 11, 22 }, { 10, 20 }, { 11, 21 } },
                { { 0, { 22, 21, 20 } } } },
            { "two inputs share an output", { { 0, 10 }, { 1, 11 } },
                { { 10, 20 }, { 11, 20 } }, { { 0, { 20 } }, { 1, { 20 } } } },
            { "unreached second entries are ignored", { { 0, 10 } },
                { { 10, 20 }, { 12, 22 } }, { { 0, { 20 } } } },
            { "empty first mapping", {}, { { 10, 20 } }, {} },
        };
        return cases;
    }

    /// Checks the result against a case: lists, mutual directions, and
    /// out2in lists holding each input once, in increasing order.
    template < typename Key >
    void check_merge( const MergeCase& test,
        const std::vector< Key >& ids,
        const GenericMapping< Key, Key >& result )
    {
        SCOPED_TRACE( test.name );
        EXPECT_EQ( result.size_in(), test.expected.size() );
        for( const auto& [in, outs] : test.expected )
        {
            ASSERT_TRUE( result.has_mapping_input( ids[in] ) );
            std::vector< Key > expected_outs;
            for( const auto out : outs )
            {
                expected_outs.push_back( ids[out] );
            }
            const auto& listed = result.in2out( ids[in] );
            EXPECT_EQ( std::vector< Key >( listed.begin(), listed.end() ),
                expected_outs );
        }
        expect_mutual( result );
        for( const auto& [out, ins] : result.out2in() )
        {
            EXPECT_TRUE( std::is_sorted( ins.begin(), ins.end() ) );
            EXPECT_EQ( std::adjacent_find( ins.begin(), ins.end() ), ins.end() );
        }
    }

    TEST( MergeMappings, model_mappings_compose_components_elements_and_vertices )
    {
        std::vector< uuid > ids( 30 );
        std::vector< MeshElement > elements;
        for( int i = 0; i < 30; i++ )
        {
            elements.emplace_back( ids[i / 3], static_cast< orvane::index_t >( i ) );
        }
        for( const auto& test : merge_cases() )
        {
            ModelMappings first;
            ModelMappings second;
            UuidMapping first_surfaces;
            UuidMapping second_surfaces;
            for( const auto& [in, out] : test.first )
            {
                first_surfaces.map( ids[in], ids[out] );
                first.mesh_elements_mapping.lines.map( elements[in], elements[out] );
                first.mesh_vertices_mapping.surfaces.map( elements[in], elements[out] );
            }
            for( const auto& [in, out] : test.second )
            {
                second_surfaces.map( ids[in], ids[out] );
                second.mesh_elements_mapping.lines.map( elements[in], elements[out] );
                second.mesh_vertices_mapping.surfaces.map( elements[in], elements[out] );
            }
            first.component_mapping.emplace( SURFACE, std::move( first_surfaces ) );
            second.component_mapping.emplace( SURFACE, std::move( second_surfaces ) );
            const auto result = orvane::detail::merge_mappings( first, second );
            ASSERT_TRUE( result.component_mapping.has_mapping_type( SURFACE ) );
            EXPECT_EQ( result.component_mapping.size(), 1u );
            check_merge( test, ids, result.component_mapping.at( SURFACE ) );
            check_merge( test, elements, result.mesh_elements_mapping.lines );
            check_merge( test, elements, result.mesh_vertices_mapping.surfaces );
            EXPECT_TRUE( result.mesh_elements_mapping.corners.in2out().empty() );
        }
    }

    TEST( MergeMappings, generic_then_bijective_composes_per_type )
    {
        std::vector< uuid > ids( 30 );
        for( const auto& test : merge_cases() )
        {
            ModelMapping< UuidMapping > first;
            ModelMapping< BijectiveMapping< uuid, uuid > > second;
            UuidMapping first_surfaces;
            BijectiveMapping< uuid, uuid > second_surfaces;
            for( const auto& [in, out] : test.first )
            {
                first_surfaces.map( ids[in], ids[out] );
            }
            for( const auto& [in, out] : test.second )
            {
                // One-to-one: skip pairs whose middle already has an image.
                if( !second_surfaces.has_mapping_input( ids[in] ) )
                {
                    second_surfaces.map( ids[in], ids[out] );
                }
            }
            const bool one_to_one =
                second_surfaces.size() == test.second.size()
                && second_surfaces.out2in().size() == test.second.size();
            first.emplace( SURFACE, std::move( first_surfaces ) );
            second.emplace( SURFACE, std::move( second_surfaces ) );
            const auto result = orvane::detail::merge_mappings( first, second );
            if( one_to_one )
            {
                check_merge( test, ids, result.at( SURFACE ) );
            }
            else
            {
                expect_mutual( result.at( SURFACE ) );
            }
        }
    }

    TEST( MergeMappings, type_missing_from_second_keeps_inputs_with_empty_lists )
    {
        const uuid a, b, c, d;
        ModelMapping< UuidMapping > first;
        UuidMapping lines;
        lines.map( a, b );
        UuidMapping surfaces;
        surfaces.map( c, d );
        first.emplace( LINE, std::move( lines ) );
        first.emplace( SURFACE, std::move( surfaces ) );
        ModelMapping< BijectiveMapping< uuid, uuid > > second;
        BijectiveMapping< uuid, uuid > second_surfaces;
        second_surfaces.map( d, a );
        second.emplace( SURFACE, std::move( second_surfaces ) );
        second.emplace( ComponentType{ "Block" }, {} );
        const auto result = orvane::detail::merge_mappings( first, second );
        EXPECT_EQ( result.mapping_types(), ( std::vector< ComponentType >{ LINE, SURFACE } ) );
        ASSERT_TRUE( result.at( LINE ).has_mapping_input( a ) );
        EXPECT_TRUE( result.at( LINE ).in2out( a ).empty() );
        EXPECT_TRUE( result.at( LINE ).out2in().empty() );
        EXPECT_EQ( as_vector( result.at( SURFACE ).in2out( c ) ), ( UuidList{ a } ) );
    }
} // namespace
