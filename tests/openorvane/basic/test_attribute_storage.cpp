#include <openorvane/basic/algorithm.hpp>
#include <openorvane/basic/attribute_interpolation.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/sparse_attribute.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/basic/variable_attribute.hpp>

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include <absl/container/inlined_vector.h>
#include <gtest/gtest.h>

namespace
{
    using orvane::AttributeLinearInterpolation;
    using orvane::AttributeProperties;
    using orvane::index_t;
    using orvane::NO_ID;
    using orvane::OpenOrvaneException;
    using orvane::SparseAttribute;
    using orvane::VariableAttribute;

    constexpr const char* EXTRACT_MESSAGE =
        "[VariableAttribute::extract] The given mapping contains values that "
        "go beyond the given number of elements.";

    template < typename Attribute >
    auto values_of( const Attribute& attribute, index_t n )
    {
        std::vector< typename Attribute::value_type > values;
        for( index_t i = 0; i < n; i++ )
        {
            values.push_back( attribute.value( i ) );
        }
        return values;
    }

    void fill( VariableAttribute< std::string >& attribute,
        const std::vector< std::string >& values )
    {
        attribute.resize( static_cast< index_t >( values.size() ) );
        for( index_t i = 0; i < values.size(); i++ )
        {
            attribute.set_value( i, values[i] );
        }
    }

    void fill( SparseAttribute< std::string >& attribute,
        const std::vector< std::pair< index_t, std::string > >& entries )
    {
        for( const auto& [element, value] : entries )
        {
            attribute.set_value( element, value );
        }
    }

    void expect_extract_failure( const auto& call )
    {
        try
        {
            call();
            FAIL() << "extract should throw";
        }
        catch( const OpenOrvaneException& exception )
        {
            EXPECT_STREQ( exception.what(), EXTRACT_MESSAGE );
            EXPECT_EQ( exception.depth(), 0 );
        }
    }

    TEST( VectorHelpers, permute_and_delete )
    {
        struct PermuteCase
        {
            std::vector< std::string > values;
            std::vector< index_t > permutation;
            std::vector< std::string > expected;
        };
        const std::vector< PermuteCase > permute_cases{
            { { "a", "b", "c" }, { 2, 0, 1 }, { "c", "a", "b" } },
            { { "a", "b", "c" }, { 0, 1, 2 }, { "a", "b", "c" } },
            { { "a", "b", "c", "d" }, { 1, 0, 3, 2 }, { "b", "a", "d", "c" } },
            { { "a", "b", "c", "d", "e" }, { 4, 3, 0, 1, 2 },
                { "e", "d", "a", "b", "c" } },
            { {}, {}, {} },
        };
        for( auto test : permute_cases )
        {
            orvane::permute( test.values, test.permutation );
            EXPECT_EQ( test.values, test.expected );
        }

        // A malformed permutation must neither hang nor read out of range;
        // what it leaves is unspecified.
        for( const auto& malformed : std::vector< std::vector< index_t > >{
                 { 1, 1, 0 }, { 2, 7, 0 }, { 1, 2, 1 } } )
        {
            std::vector< std::string > values{ "a", "b", "c" };
            orvane::permute( values, malformed );
            EXPECT_EQ( values.size(), 3u );
        }

        struct DeleteCase
        {
            std::vector< bool > flags;
            std::vector< std::string > expected;
            index_t removed;
        };
        const std::vector< DeleteCase > delete_cases{
            { { false, true, false, true }, { "a", "c" }, 2 },
            { { false, false, false, false }, { "a", "b", "c", "d" }, 0 },
            { { true, true, true, true }, {}, 4 },
            { { true, false, false, false }, { "b", "c", "d" }, 1 },
        };
        for( const auto& test : delete_cases )
        {
            std::vector< std::string > values{ "a", "b", "c", "d" };
            EXPECT_EQ( orvane::delete_vector_elements( test.flags, values ),
                test.removed );
            EXPECT_EQ( values, test.expected );
        }

        EXPECT_EQ( orvane::detail::mapping_after_deletion(
                       { false, true, false, false } ),
            ( std::vector< index_t >{ 0, NO_ID, 1, 2 } ) );
        EXPECT_EQ( orvane::detail::mapping_after_deletion( { true, true } ),
            ( std::vector< index_t >{ NO_ID, NO_ID } ) );
        EXPECT_TRUE( orvane::detail::mapping_after_deletion( {} ).empty() );
    }

    TEST( AttributeLinearInterpolation, keeps_copies_and_checks_sizes )
    {
        std::vector< index_t > indices{ 3, 1 };
        std::vector< double > weights{ 0.25, 0.75 };
        const AttributeLinearInterpolation interpolation{ indices, weights };
        indices[0] = 9;
        weights[0] = 9.;
        ASSERT_EQ( interpolation.nb_indices(), 2u );
        EXPECT_EQ( interpolation.index( 0 ), 3u );
        EXPECT_EQ( interpolation.weight( 0 ), 0.25 );
        EXPECT_EQ( interpolation.index( 1 ), 1u );

        // More than the inline room of either list.
        const std::vector< index_t > many_indices( 100, 4 );
        const std::vector< double > many_weights( 100, 0.01 );
        EXPECT_EQ( AttributeLinearInterpolation( many_indices, many_weights )
                       .nb_indices(),
            100u );

        const std::vector< index_t > three{ 0, 1, 2 };
        const std::vector< double > two{ 0.5, 0.5 };
        try
        {
            AttributeLinearInterpolation{ three, two };
            FAIL() << "unequal lists should throw";
        }
        catch( const OpenOrvaneException& exception )
        {
            EXPECT_STREQ( exception.what(),
                "[AttributeLinearInterpolation] Both arrays should have the "
                "same size" );
        }
    }

    TEST( VariableAttribute, capacity_and_growth )
    {
        VariableAttribute< unsigned int > attribute{ 5u, {} };
        EXPECT_EQ( attribute.size(), 0u );
        EXPECT_EQ( attribute.capacity(), 10u );
        attribute.resize( 4 );
        EXPECT_EQ( values_of( attribute, 4 ),
            ( std::vector< unsigned int >{ 5, 5, 5, 5 } ) );

        // Each step: resize to `size`, then expect the capacity.
        struct Step
        {
            index_t size;
            index_t capacity;
        };
        const std::vector< Step > steps{
            { 10, 10 }, // within the capacity: no growth
            { 11, 20 }, // doubled
            { 3, 20 },  // shrinking keeps the capacity
            { 20, 20 },
            { 45, 45 }, // more than double: exactly the size
            { 46, 90 },
        };
        for( const auto& step : steps )
        {
            attribute.resize( step.size );
            EXPECT_EQ( attribute.size(), step.size );
            EXPECT_EQ( attribute.capacity(), step.capacity ) << step.size;
        }
        attribute.reserve( 50 );
        EXPECT_EQ( attribute.capacity(), 90u );
        attribute.reserve( 100 );
        EXPECT_EQ( attribute.capacity(), 100u );
    }

    TEST( VariableAttribute, copy_from_and_duplicate )
    {
        VariableAttribute< std::string > source{ "d", {} };
        fill( source, { "x", "y", "z" } );
        VariableAttribute< std::string > target{ "t", {} };
        target.resize( 2 );
        target.set_value( 0, "old" );

        // n = 0 takes the default value only.
        target.copy_from( source, 0 );
        EXPECT_EQ( target.default_value(), "d" );
        EXPECT_EQ( values_of( target, 2 ),
            ( std::vector< std::string >{ "old", "t" } ) );

        target.copy_from( source, 3 );
        EXPECT_EQ( values_of( target, 3 ), values_of( source, 3 ) );

        // Self copy leaves the values as they are.
        target.copy_from( target, 3 );
        EXPECT_EQ( values_of( target, 3 ), values_of( source, 3 ) );

        const VariableAttribute< double > other_type{ 0., {} };
        const SparseAttribute< std::string > other_storage{ "d", {} };
        EXPECT_THROW( target.copy_from( other_type, 1 ), std::bad_cast );
        EXPECT_THROW( target.copy_from( other_storage, 1 ), std::bad_cast );
        EXPECT_EQ( values_of( target, 3 ), values_of( source, 3 ) );

        VariableAttribute< std::string > flagged{ "f", { true, false } };
        flagged.resize( 2 );
        flagged.set_value( 1, "v" );
        const auto copy = flagged.duplicate();
        const auto& typed =
            dynamic_cast< const VariableAttribute< std::string >& >( *copy );
        EXPECT_EQ( typed.default_value(), "f" );
        EXPECT_TRUE( typed.properties().assignable );
        EXPECT_FALSE( typed.properties().interpolable );
        EXPECT_EQ( values_of( typed, 2 ),
            ( std::vector< std::string >{ "f", "v" } ) );
        EXPECT_TRUE( typed.name().empty() );
        flagged.set_value( 1, "changed" );
        EXPECT_EQ( typed.value( 1 ), "v" );
    }

    TEST( VariableAttribute, extract_through_a_table )
    {
        VariableAttribute< std::string > source{ "d", {} };
        fill( source, { "a", "b", "c" } );
        struct Case
        {
            std::vector< index_t > table;
            index_t n;
            std::vector< std::string > expected;
        };
        const std::vector< Case > cases{
            { { NO_ID, 0 }, 1, { "b" } },
            { {}, 2, { "d", "d" } },
            { { NO_ID, NO_ID, NO_ID }, 1, { "d" } },
            { { 2, 0, 1 }, 3, { "b", "c", "a" } },
            { { 0, 0, 1 }, 2, { "b", "c" } }, // the last writer wins
        };
        for( const auto& test : cases )
        {
            const auto extracted = source.extract( test.table, test.n );
            const auto& typed =
                dynamic_cast< const VariableAttribute< std::string >& >(
                    *extracted );
            EXPECT_EQ( typed.size(), test.n );
            EXPECT_EQ( values_of( typed, test.n ), test.expected );
        }
        const std::vector< index_t > beyond{ 0, 2 };
        expect_extract_failure( [&] { source.extract( beyond, 2 ); } );
        EXPECT_EQ( values_of( source, 3 ),
            ( std::vector< std::string >{ "a", "b", "c" } ) );
    }

    TEST( VariableAttribute, extract_through_a_mapping )
    {
        VariableAttribute< std::string > source{ "d", {} };
        fill( source, { "a", "b", "c" } );
        orvane::GenericMapping< index_t, index_t > mapping;
        mapping.map( 0, 1 );
        mapping.map( 0, 2 );
        mapping.map( 2, 0 );
        const auto extracted = source.extract( mapping, 4 );
        EXPECT_EQ( values_of( dynamic_cast< const VariableAttribute< std::string >& >(
                                  *extracted ),
                       4 ),
            ( std::vector< std::string >{ "c", "a", "a", "d" } ) );

        expect_extract_failure( [&] { source.extract( mapping, 2 ); } );
        const orvane::GenericMapping< index_t, index_t > empty;
        EXPECT_EQ(
            values_of( dynamic_cast< const VariableAttribute< std::string >& >(
                           *source.extract( empty, 2 ) ),
                2 ),
            ( std::vector< std::string >{ "d", "d" } ) );
    }

    TEST( Attribute, permutation_and_deletion_agree_for_both_storages )
    {
        VariableAttribute< std::string > dense{ "d", {} };
        fill( dense, { "a", "b", "c" } );
        SparseAttribute< std::string > sparse{ "d", {} };
        fill( sparse, { { 0, "a" }, { 1, "b" }, { 2, "c" } } );
        const std::vector< index_t > permutation{ 2, 0, 1 };
        dense.apply_permutation( permutation );
        sparse.apply_permutation( permutation );
        const std::vector< std::string > permuted{ "c", "a", "b" };
        EXPECT_EQ( values_of( dense, 3 ), permuted );
        EXPECT_EQ( values_of( sparse, 3 ), permuted );

        const std::vector< bool > flags{ false, true, false };
        dense.erase_flagged_elements( flags );
        sparse.erase_flagged_elements( flags );
        EXPECT_EQ( values_of( dense, 2 ), ( std::vector< std::string >{ "c", "b" } ) );
        EXPECT_EQ( values_of( sparse, 3 ),
            ( std::vector< std::string >{ "c", "b", "d" } ) );
        EXPECT_EQ( dense.size(), 2u );
    }

    TEST( SparseAttribute, entries_beyond_the_elements_are_dropped )
    {
        // Entries 5 and 9 lie beyond the three elements.
        SparseAttribute< std::string > permuted{ "d", {} };
        fill( permuted, { { 0, "a" }, { 5, "x" }, { 9, "y" } } );
        const std::vector< index_t > permutation{ 1, 2, 0 };
        permuted.apply_permutation( permutation );
        EXPECT_EQ( values_of( permuted, 10 ),
            ( std::vector< std::string >{
                "d", "d", "a", "d", "d", "d", "d", "d", "d", "d" } ) );
        EXPECT_EQ( permuted.nb_entries(), 1u );

        SparseAttribute< std::string > erased{ "d", {} };
        fill( erased, { { 2, "c" }, { 5, "x" }, { 1, "d" } } );
        erased.erase_flagged_elements( { true, false, false } );
        EXPECT_EQ( values_of( erased, 6 ),
            ( std::vector< std::string >{ "d", "c", "d", "d", "d", "d" } ) );
        // The entry equal to the default is dropped as well.
        EXPECT_EQ( erased.nb_entries(), 1u );
    }

    TEST( SparseAttribute, reads_writes_and_copies )
    {
        SparseAttribute< std::string > attribute{ "d", {} };
        EXPECT_EQ( attribute.value( 0 ), "d" );
        EXPECT_EQ( attribute.value( NO_ID - 1 ), "d" );
        attribute.resize( 100 );
        EXPECT_EQ( attribute.nb_entries(), 0u );
        attribute.set_value( 3, "d" );
        EXPECT_EQ( attribute.value( 3 ), "d" );

        // assign from an element without entry gives the target the default.
        attribute.set_value( 4, "v" );
        attribute.assign_element_value( 1, 4 );
        EXPECT_EQ( attribute.value( 4 ), "d" );
        attribute.set_value( 4, "v" );
        attribute.assign_element_value( 4, 4 );
        EXPECT_EQ( attribute.value( 4 ), "v" );

        // interpolation stores the default, also over another value.
        const AttributeLinearInterpolation interpolation{
            std::vector< index_t >{ 4 }, std::vector< double >{ 1. } };
        attribute.interpolate_element_value( interpolation, 4 );
        EXPECT_EQ( attribute.value( 4 ), "d" );

        // copy_from gives exactly other's first n values: the entries held
        // before do not survive.
        SparseAttribute< std::string > target{ "d", {} };
        fill( target, { { 1, "a" }, { 7, "b" } } );
        SparseAttribute< std::string > other{ "e", {} };
        other.set_value( 0, "x" );
        other.set_value( 2, "y" );
        other.set_value( 5, "z" ); // beyond n
        target.copy_from( other, 3 );
        EXPECT_EQ( target.default_value(), "e" );
        EXPECT_EQ( values_of( target, 8 ),
            ( std::vector< std::string >{
                "x", "e", "y", "e", "e", "e", "e", "e" } ) );
        EXPECT_THROW( target.copy_from( VariableAttribute< std::string >{ "d", {} }, 1 ),
            std::bad_cast );

        const auto copy = target.duplicate();
        EXPECT_EQ( values_of( dynamic_cast< const SparseAttribute< std::string >& >( *copy ),
                       3 ),
            ( std::vector< std::string >{ "x", "e", "y" } ) );
        EXPECT_TRUE( copy->name().empty() );
    }

    TEST( SparseAttribute, extract_looks_only_at_written_values )
    {
        SparseAttribute< std::string > source{ "d", {} };
        fill( source, { { 0, "a" } } );
        // Element 1 has the default: its target 5 is never written.
        const std::vector< index_t > default_beyond{ NO_ID, 5 };
        const auto extracted = source.extract( default_beyond, 2 );
        const auto& typed =
            dynamic_cast< const SparseAttribute< std::string >& >( *extracted );
        EXPECT_EQ( typed.nb_entries(), 0u );
        EXPECT_EQ( values_of( typed, 2 ), ( std::vector< std::string >{ "d", "d" } ) );

        const std::vector< index_t > written_beyond{ 5, NO_ID };
        expect_extract_failure( [&] { source.extract( written_beyond, 2 ); } );
        EXPECT_EQ( source.value( 0 ), "a" );

        const std::vector< index_t > kept{ 1, 0 };
        EXPECT_EQ( values_of( dynamic_cast< const SparseAttribute< std::string >& >(
                                  *source.extract( kept, 2 ) ),
                       2 ),
            ( std::vector< std::string >{ "d", "a" } ) );

        orvane::GenericMapping< index_t, index_t > mapping;
        mapping.map( 1, 7 ); // default-valued: accepted
        mapping.map( 0, 1 );
        EXPECT_EQ( values_of( dynamic_cast< const SparseAttribute< std::string >& >(
                                  *source.extract( mapping, 2 ) ),
                       2 ),
            ( std::vector< std::string >{ "d", "a" } ) );
        mapping.map( 0, 2 );
        expect_extract_failure( [&] { source.extract( mapping, 2 ); } );
    }

    TEST( Attribute, interpolation_by_value_type )
    {
        VariableAttribute< double > values{ -1., { false, true } };
        values.resize( 3 );
        values.set_value( 0, 4. );
        values.set_value( 1, 8. );
        values.interpolate_element_value(
            { std::vector< index_t >{ 0, 1 }, std::vector< double >{ 0.25, 0.75 } },
            2 );
        EXPECT_EQ( values.value( 2 ), 7. );

        // The element takes part with its old value.
        values.set_value( 0, 2. );
        values.set_value( 1, 6. );
        values.interpolate_element_value(
            { std::vector< index_t >{ 0, 1 }, std::vector< double >{ 0.5, 0.5 } },
            0 );
        EXPECT_EQ( values.value( 0 ), 4. );

        values.interpolate_element_value(
            { std::vector< index_t >{}, std::vector< double >{} }, 1 );
        EXPECT_EQ( values.value( 1 ), 0. );

        const AttributeLinearInterpolation weights{
            std::vector< index_t >{ 0, 1 }, std::vector< double >{ 0.5, 0.5 } };
        VariableAttribute< unsigned int > counters{ 9u, {} };
        counters.resize( 3 );
        counters.set_value( 0, 2 );
        counters.set_value( 1, 4 );
        counters.set_value( 2, 7 );
        counters.interpolate_element_value( weights, 2 );
        EXPECT_EQ( counters.value( 2 ), 9u );

        VariableAttribute< bool > flags{ true, {} };
        flags.resize( 2 );
        flags.set_value( 0, false );
        flags.set_value( 1, false );
        flags.interpolate_element_value( weights, 1 );
        EXPECT_TRUE( flags.value( 1 ) );

        using List = absl::InlinedVector< index_t, 1 >;
        VariableAttribute< List > lists{ List{ 1, 2 }, {} };
        lists.resize( 2 );
        lists.set_value( 0, List{ 5 } );
        lists.interpolate_element_value( weights, 0 );
        EXPECT_EQ( lists.value( 0 ), ( List{ 1, 2 } ) );
    }

    TEST( Attribute, scalar_views )
    {
        VariableAttribute< unsigned int > counters{ 7u, {} };
        VariableAttribute< bool > flags{ true, {} };
        VariableAttribute< double > doubles{ 0.1, {} };
        VariableAttribute< absl::InlinedVector< index_t, 1 > > lists{ { 3 }, {} };
        VariableAttribute< orvane::uuid > ids{ orvane::uuid{}, {} };
        SparseAttribute< orvane::uuid > sparse_ids{ orvane::uuid{}, {} };
        VariableAttribute< unsigned int > large{ ( 1u << 24 ) + 1, {} };
        for( orvane::AttributeBase* attribute : std::vector< orvane::AttributeBase* >{
                 &counters, &flags, &doubles, &lists, &ids, &large } )
        {
            attribute->resize( 1 );
        }
        struct Case
        {
            const orvane::AttributeBase* attribute;
            bool convertible;
            float scalar;
        };
        const std::vector< Case > cases{
            { &counters, true, 7.f },
            { &flags, true, 1.f },
            { &doubles, true, static_cast< float >( 0.1 ) },
            { &large, true, static_cast< float >( 1u << 24 ) }, // rounded
            { &lists, false, 0.f },
            { &ids, false, 0.f },
            { &sparse_ids, false, 0.f },
        };
        for( const auto& test : cases )
        {
            EXPECT_EQ( test.attribute->is_scalar_convertible(), test.convertible );
            EXPECT_EQ( test.attribute->nb_scalars(), 1 );
            EXPECT_EQ( test.attribute->scalar_value( 0 ), test.scalar );
            EXPECT_EQ( test.attribute->scalar_item_value( 0, 2 ), test.scalar );
        }
        EXPECT_EQ( counters.value_type_name(), "unsigned int" );
        EXPECT_EQ( doubles.value_type_name(), "double" );
        EXPECT_EQ( ids.value_type_name(), sparse_ids.value_type_name() );
    }

    TEST( VariableAttribute, bool_values_take_one_byte_each )
    {
        VariableAttribute< bool > flags{ false, {} };
        flags.resize( 5 );
        flags.set_value( 3, true );
        for( index_t i = 0; i + 1 < 5; i++ )
        {
            EXPECT_EQ( reinterpret_cast< const char* >( &flags.value( i + 1 ) )
                           - reinterpret_cast< const char* >( &flags.value( i ) ),
                1 );
        }
        flags.modify_value( 1, []( bool& value ) { value = !value; } );
        EXPECT_EQ( values_of( flags, 5 ),
            ( std::vector< bool >{ false, true, false, true, false } ) );
        flags.assign_element_value( 3, 0 );
        EXPECT_TRUE( flags.value( 0 ) );
    }

    /// Grows the attribute one element at a time to `size`, writing each
    /// new element's index; shrinks it to `kept`, grows it again by one and
    /// checks every value.
    template < typename T, typename MakeValue >
    void grow_one_by_one( const T& default_value,
        index_t size,
        index_t kept,
        const MakeValue& make_value )
    {
        VariableAttribute< T > attribute{ default_value, {} };
        for( index_t i = 0; i < size; i++ )
        {
            attribute.resize( i + 1 );
            ASSERT_EQ( attribute.value( i ), default_value ) << i;
            attribute.set_value( i, make_value( i ) );
        }
        const auto copy = std::dynamic_pointer_cast< VariableAttribute< T > >(
            attribute.duplicate() );
        attribute.resize( kept );
        attribute.resize( kept + 2 );
        for( index_t i = 0; i < size; i++ )
        {
            ASSERT_EQ( copy->value( i ), make_value( i ) ) << i;
            if( i < kept )
            {
                ASSERT_EQ( attribute.value( i ), make_value( i ) ) << i;
            }
        }
        // Shrinking kept the old values in the storage: regrowing must not
        // bring them back.
        EXPECT_EQ( attribute.value( kept ), default_value );
        EXPECT_EQ( attribute.value( kept + 1 ), default_value );
    }

    TEST( VariableAttribute, large_arrays_keep_their_values_as_they_grow )
    {
        // Past 2 MiB the storage moves to huge pages, both for values copied
        // byte by byte and for values with their own copy.
        grow_one_by_one< double >( -1., 300000, 280000,
            []( index_t i ) { return 0.5 * i; } );
        grow_one_by_one< bool >( true, 2200000, 2100000,
            []( index_t i ) { return i % 3 == 0; } );
        grow_one_by_one< std::string >( "-", 70000, 66000,
            []( index_t i ) { return std::to_string( i ); } );
    }

    TEST( VariableAttribute, container_values_are_whole_copies )
    {
        using Lists = std::vector< std::vector< index_t > >;
        VariableAttribute< Lists > attribute{ Lists{}, {} };
        attribute.resize( 3 );
        attribute.modify_value( 0, []( Lists& value ) { value.push_back( { 1, 2 } ); } );
        attribute.assign_element_value( 0, 2 );
        attribute.modify_value( 0, []( Lists& value ) { value[0].push_back( 3 ); } );
        EXPECT_EQ( attribute.value( 2 ), ( Lists{ { 1, 2 } } ) );
        EXPECT_EQ( attribute.value( 0 ), ( Lists{ { 1, 2, 3 } } ) );
        attribute.assign_element_value( 2, 2 );
        EXPECT_EQ( attribute.value( 2 ), ( Lists{ { 1, 2 } } ) );
        attribute.erase_flagged_elements( { true, false, false } );
        EXPECT_EQ( attribute.value( 1 ), ( Lists{ { 1, 2 } } ) );
        EXPECT_TRUE( attribute.value( 0 ).empty() );
    }
} // namespace
