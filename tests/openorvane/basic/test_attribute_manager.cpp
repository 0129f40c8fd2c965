#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/basic/uuid.hpp>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace
{
    using orvane::AttributeLinearInterpolation;
    using orvane::AttributeManager;
    using orvane::index_t;
    using orvane::NO_ID;
    using orvane::OpenOrvaneException;
    using orvane::SparseAttribute;
    using orvane::VariableAttribute;

    constexpr const char* CREATE_MESSAGE =
        "[AttributeManager::find_or_create_attribute] Do not instantiate an "
        "attribute if an instantiated attribute of the same name with "
        "different storage already exists.";
    constexpr const char* FIND_MESSAGE =
        "[AttributeManager::find_attribute] You have to create an attribute "
        "before using it. See find_or_create_attribute method and derived "
        "classes of ReadOnlyAttribute.";

    void expect_message( const auto& call, const char* message )
    {
        try
        {
            call();
            FAIL() << "should throw: " << message;
        }
        catch( const OpenOrvaneException& exception )
        {
            EXPECT_STREQ( exception.what(), message );
            EXPECT_EQ( exception.depth(), 0 );
        }
    }

    TEST( AttributeManager, find_or_create_returns_the_first_attribute )
    {
        AttributeManager manager;
        manager.resize( 3 );
        auto stamp = manager.find_or_create_attribute< VariableAttribute,
            unsigned int >( "stamp", 4u, { true, false } );
        EXPECT_EQ( stamp->size(), 3u );
        EXPECT_EQ( stamp->value( 2 ), 4u );
        EXPECT_EQ( stamp->name(), "stamp" );
        stamp->set_value( 1, 8 );

        const auto again = manager.find_or_create_attribute< VariableAttribute,
            unsigned int >( "stamp", 0u );
        EXPECT_EQ( again, stamp );
        EXPECT_EQ( again->default_value(), 4u );
        EXPECT_TRUE( again->properties().assignable );

        expect_message(
            [&] {
                manager.find_or_create_attribute< VariableAttribute, bool >(
                    "stamp", true );
            },
            CREATE_MESSAGE );
        expect_message(
            [&] {
                manager.find_or_create_attribute< SparseAttribute, unsigned int >(
                    "stamp", 0u );
            },
            CREATE_MESSAGE );
        EXPECT_EQ( manager.find_attribute_base( "stamp" ), stamp );
        EXPECT_EQ( manager.find_attribute< unsigned int >( "stamp" )->value( 1 ), 8u );
        expect_message( [&] { manager.find_attribute< bool >( "stamp" ); },
            FIND_MESSAGE );

        // Deleting the name makes the next creation fresh; the old handle
        // lives on, detached.
        manager.delete_attribute( "stamp" );
        const auto fresh = manager.find_or_create_attribute< VariableAttribute,
            unsigned int >( "stamp", 0u );
        EXPECT_NE( fresh, stamp );
        EXPECT_EQ( fresh->value( 1 ), 0u );
        EXPECT_EQ( stamp->value( 1 ), 8u );
    }

    TEST( AttributeManager, find_attribute_reads_either_storage )
    {
        AttributeManager manager;
        manager.resize( 2 );
        const orvane::uuid none;
        const orvane::uuid corner;
        auto corners = manager.find_or_create_attribute< SparseAttribute,
            orvane::uuid >( "corner_uuid", none );
        corners->set_value( 1, corner );
        const auto read = manager.find_attribute< orvane::uuid >( "corner_uuid" );
        EXPECT_EQ( read->value( 0 ), none );
        EXPECT_EQ( read->value( 1 ), corner );
        expect_message(
            [&] {
                manager.find_or_create_attribute< VariableAttribute, orvane::uuid >(
                    "corner_uuid", none );
            },
            CREATE_MESSAGE );

        expect_message( [&] { manager.find_attribute< double >( "absent" ); },
            FIND_MESSAGE );
        EXPECT_FALSE( manager.attribute_exists( "absent" ) );
        EXPECT_EQ( manager.find_attribute_base( "absent" ), nullptr );
        EXPECT_EQ( manager.attribute_names(),
            ( std::vector< std::string_view >{ "corner_uuid" } ) );
    }

    TEST( AttributeManager, keeps_attributes_sized_with_the_elements )
    {
        AttributeManager manager;
        auto dense = manager.find_or_create_attribute< VariableAttribute,
            std::string >( "dense", "-" );
        auto sparse = manager.find_or_create_attribute< SparseAttribute,
            std::string >( "sparse", "-" );
        manager.resize( 3 );
        for( index_t i = 0; i < 3; i++ )
        {
            dense->set_value( i, std::string( 1, 'a' + i ) );
            sparse->set_value( i, std::string( 1, 'a' + i ) );
        }
        manager.permute_elements( std::vector< index_t >{ 2, 0, 1 } );
        manager.delete_elements( { false, true, false } );
        EXPECT_EQ( manager.nb_elements(), 2u );
        EXPECT_EQ( dense->size(), 2u );
        for( const auto& attribute :
            { manager.find_attribute< std::string >( "dense" ),
                manager.find_attribute< std::string >( "sparse" ) } )
        {
            EXPECT_EQ( attribute->value( 0 ), "c" );
            EXPECT_EQ( attribute->value( 1 ), "b" );
        }
        EXPECT_EQ( sparse->value( 2 ), "-" );

        auto late = manager.find_or_create_attribute< VariableAttribute, bool >(
            "late", true );
        EXPECT_EQ( late->size(), 2u );

        EXPECT_THROW( manager.delete_elements( { true } ), OpenOrvaneException );
        for( const auto& malformed : std::vector< std::vector< index_t > >{
                 { 0 }, { 1, 1 }, { 0, 2 } } )
        {
            EXPECT_THROW( manager.permute_elements( malformed ), OpenOrvaneException );
        }
        EXPECT_EQ( dense->value( 0 ), "c" );
        EXPECT_EQ( dense->size(), 2u );

        manager.reserve( 64 );
        EXPECT_GE( dense->capacity(), 64u );

        manager.clear();
        EXPECT_EQ( manager.nb_elements(), 0u );
        EXPECT_TRUE( manager.attribute_names().empty() );
    }

    TEST( AttributeManager, assigns_and_interpolates_by_property )
    {
        AttributeManager manager;
        manager.resize( 3 );
        auto plain = manager.find_or_create_attribute< VariableAttribute, double >(
            "plain", -1. );
        EXPECT_FALSE( manager.has_assignable_attributes() );
        EXPECT_FALSE( manager.has_interpolable_attributes() );
        auto assigned = manager.find_or_create_attribute< VariableAttribute,
            double >( "assigned", -1., { true, false } );
        auto interpolated = manager.find_or_create_attribute< VariableAttribute,
            double >( "interpolated", -1., { false, true } );
        EXPECT_TRUE( manager.has_assignable_attributes() );
        EXPECT_TRUE( manager.has_interpolable_attributes() );
        for( const auto& attribute : { plain, assigned, interpolated } )
        {
            attribute->set_value( 0, 2. );
            attribute->set_value( 1, 6. );
        }
        manager.assign_attribute_value( 1, 2 );
        EXPECT_EQ( plain->value( 2 ), -1. );
        EXPECT_EQ( assigned->value( 2 ), 6. );
        EXPECT_EQ( interpolated->value( 2 ), -1. );

        manager.interpolate_attribute_value(
            AttributeLinearInterpolation{ std::vector< index_t >{ 0, 1 },
                std::vector< double >{ 0.5, 0.5 } },
            0 );
        EXPECT_EQ( plain->value( 0 ), 2. );
        EXPECT_EQ( assigned->value( 0 ), 2. );
        EXPECT_EQ( interpolated->value( 0 ), 4. );
    }

    TEST( AttributeManager, properties_follow_every_change_of_the_attributes )
    {
        // Each step changes the registered attributes, then expects whether
        // an assignable and an interpolable attribute remain, and that one
        // more element reaches every attribute.
        AttributeManager manager;
        manager.resize( 2 );
        AttributeManager other;
        other.find_or_create_attribute< VariableAttribute, double >(
            "from_other", 0., { false, true } );
        struct Step
        {
            const char* what;
            std::function< void() > change;
            bool assignable;
            bool interpolable;
        };
        const std::vector< Step > steps{
            { "assignable added",
                [&] {
                    manager.find_or_create_attribute< VariableAttribute, int >(
                        "a", 1, { true, false } );
                },
                true, false },
            { "interpolable added",
                [&] {
                    manager.find_or_create_attribute< SparseAttribute, double >(
                        "b", 2., { false, true } );
                },
                true, true },
            { "assignable replaced under its name",
                [&] {
                    manager.register_attribute(
                        std::make_shared< VariableAttribute< int > >(
                            3, orvane::AttributeProperties{} ),
                        "a" );
                },
                false, true },
            { "interpolable deleted",
                [&] { manager.delete_attribute( "b" ); }, false, false },
            { "copied from a manager with an interpolable",
                [&] { manager.copy( other ); }, false, true },
            { "cleared", [&] { manager.clear(); }, false, false },
            { "assignable added after clearing",
                [&] {
                    manager.find_or_create_attribute< VariableAttribute, int >(
                        "c", 4, { true, true } );
                },
                true, true },
        };
        for( const auto& step : steps )
        {
            step.change();
            EXPECT_EQ( manager.has_assignable_attributes(), step.assignable )
                << step.what;
            EXPECT_EQ( manager.has_interpolable_attributes(), step.interpolable )
                << step.what;
            const auto nb_elements = manager.nb_elements() + 1;
            manager.resize( nb_elements );
            for( const auto name : manager.attribute_names() )
            {
                const auto attribute = manager.find_attribute_base( name );
                if( const auto ints = std::dynamic_pointer_cast<
                        VariableAttribute< int > >( attribute ) )
                {
                    EXPECT_EQ( ints->size(), nb_elements ) << step.what << name;
                }
                if( const auto doubles = std::dynamic_pointer_cast<
                        VariableAttribute< double > >( attribute ) )
                {
                    EXPECT_EQ( doubles->size(), nb_elements ) << step.what << name;
                }
            }
        }
        const auto last = manager.find_attribute< int >( "c" );
        EXPECT_EQ( last->value( manager.nb_elements() - 1 ), 4 );
    }

    TEST( AttributeManager, copy_duplicates_every_attribute )
    {
        AttributeManager source;
        source.resize( 2 );
        auto values = source.find_or_create_attribute< VariableAttribute,
            unsigned int >( "values", 0u, { false, true } );
        values->set_value( 1, 5 );
        AttributeManager copy;
        copy.resize( 7 );
        copy.find_or_create_attribute< VariableAttribute, bool >( "stale", false );
        copy.copy( source );
        EXPECT_EQ( copy.nb_elements(), 2u );
        EXPECT_EQ( copy.attribute_names(),
            ( std::vector< std::string_view >{ "values" } ) );
        const auto copied = copy.find_or_create_attribute< VariableAttribute,
            unsigned int >( "values", 9u );
        EXPECT_NE( copied, values );
        EXPECT_EQ( copied->value( 1 ), 5u );
        EXPECT_TRUE( copied->properties().interpolable );
        values->set_value( 1, 6 );
        EXPECT_EQ( copied->value( 1 ), 5u );

        AttributeManager moved{ std::move( copy ) };
        EXPECT_EQ( moved.nb_elements(), 2u );
        EXPECT_EQ( copy.nb_elements(), 0u ); // NOLINT: moved-from is valid
        EXPECT_TRUE( copy.attribute_names().empty() );
    }

    TEST( AttributeManager, imports_managers_one_after_the_other )
    {
        // Two sets of two elements merged into one set of three: the second
        // element of the first set and the first element of the second
        // become the same element 1.
        AttributeManager first;
        first.resize( 2 );
        auto first_values = first.find_or_create_attribute< VariableAttribute,
            unsigned int >( "values", 0u );
        first_values->set_value( 0, 10 );
        first_values->set_value( 1, 11 );
        first.find_or_create_attribute< VariableAttribute, double >( "clash", 1. );
        auto only_first = first.find_or_create_attribute< SparseAttribute,
            std::string >( "only_first", "-" );
        only_first->set_value( 0, "f" );

        AttributeManager second;
        second.resize( 2 );
        auto second_values = second.find_or_create_attribute< VariableAttribute,
            unsigned int >( "values", 0u );
        second_values->set_value( 0, 20 );
        second_values->set_value( 1, 21 );
        second.find_or_create_attribute< VariableAttribute, bool >( "clash", true );

        AttributeManager merged;
        merged.resize( 3 );
        merged.import( first, std::vector< index_t >{ 0, 1 } );
        orvane::LoggerCapture capture;
        merged.import( second, std::vector< index_t >{ NO_ID, 2 } );

        const auto values = merged.find_attribute< unsigned int >( "values" );
        EXPECT_EQ( values->value( 0 ), 10u );
        EXPECT_EQ( values->value( 1 ), 11u );
        EXPECT_EQ( values->value( 2 ), 21u );
        EXPECT_EQ( merged.find_attribute< std::string >( "only_first" )->value( 0 ),
            "f" );
        EXPECT_EQ( merged.find_attribute< std::string >( "only_first" )->value( 2 ),
            "-" );
        // The clashing attribute keeps the type of the first import.
        EXPECT_EQ( merged.find_attribute< double >( "clash" )->value( 2 ), 1. );
        const auto messages = capture.messages();
        ASSERT_EQ( messages.size(), 1u );
        EXPECT_EQ( messages[0].level, orvane::Logger::Level::warn );
        EXPECT_NE( messages[0].text.find( "clash" ), std::string::npos );

        // A target beyond the elements changes nothing.
        EXPECT_THROW( merged.import( second, std::vector< index_t >{ 0, 3 } ),
            OpenOrvaneException );
        EXPECT_EQ( values->value( 0 ), 10u );
        EXPECT_THROW( merged.import( second, std::vector< index_t >{ 0, 1, 2 } ),
            OpenOrvaneException );
    }

    // Random resizes, permutations and deletions, with a dense and a sparse
    // attribute checked against a plain vector after every step.
    TEST( AttributeManager, random_edits_keep_both_storages_in_step )
    {
        const auto seed = std::random_device{}();
        SCOPED_TRACE( "seed " + std::to_string( seed ) );
        std::mt19937 random{ seed };
        AttributeManager manager;
        auto dense = manager.find_or_create_attribute< VariableAttribute,
            unsigned int >( "dense", NO_ID );
        auto sparse = manager.find_or_create_attribute< SparseAttribute,
            unsigned int >( "sparse", NO_ID );
        std::vector< unsigned int > expected;
        unsigned int next_value{ 0 };
        for( int step = 0; step < 300; step++ )
        {
            const auto n = static_cast< index_t >( expected.size() );
            switch( random() % 3 )
            {
            case 0: {
                const auto added = static_cast< index_t >( random() % 5 );
                manager.resize( n + added );
                for( index_t i = n; i < n + added; i++ )
                {
                    expected.push_back( next_value );
                    dense->set_value( i, next_value );
                    if( next_value % 2 == 0 )
                    {
                        sparse->set_value( i, next_value );
                    }
                    next_value++;
                }
                break;
            }
            case 1: {
                std::vector< index_t > permutation( n );
                for( index_t i = 0; i < n; i++ )
                {
                    permutation[i] = i;
                }
                std::shuffle( permutation.begin(), permutation.end(), random );
                manager.permute_elements( permutation );
                orvane::permute( expected, permutation );
                break;
            }
            default: {
                std::vector< bool > flags( n );
                for( index_t i = 0; i < n; i++ )
                {
                    flags[i] = random() % 4 == 0;
                }
                manager.delete_elements( flags );
                orvane::delete_vector_elements( flags, expected );
            }
            }
            ASSERT_EQ( manager.nb_elements(), expected.size() );
            ASSERT_EQ( dense->size(), expected.size() );
            for( index_t i = 0; i < expected.size(); i++ )
            {
                ASSERT_EQ( dense->value( i ), expected[i] );
                ASSERT_EQ( sparse->value( i ),
                    expected[i] % 2 == 0 ? expected[i] : NO_ID );
            }
            ASSERT_LE( sparse->nb_entries(), expected.size() );
        }
    }
} // namespace
