#include <array>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>
#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/mapping.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/model/component.hpp>

#include <core_support/solid_patch.hpp>

namespace
{
    using orvane::AttributeLinearInterpolation;
    using orvane::AttributeManager;
    using orvane::index_t;
    using orvane::NO_ID;
    using orvane::Point2D;
    using orvane::Point3D;
    using orvane::SolidPatch;
    using orvane::VariableAttribute;

    AttributeLinearInterpolation interpolation(
        std::vector< index_t > indices, std::vector< double > weights )
    {
        return { indices, weights };
    }

    TEST( PointAttribute, interpolates_coordinate_by_coordinate )
    {
        AttributeManager vertices;
        vertices.resize( 4 );
        auto points = vertices.find_or_create_attribute< VariableAttribute,
            Point3D >( "3d", Point3D{}, { false, true } );
        auto flat = vertices.find_or_create_attribute< VariableAttribute,
            Point2D >( "lscm", Point2D{}, { false, true } );
        auto relaxed = vertices.find_or_create_attribute< VariableAttribute,
            Point2D >( "BRepSurfaceRelaxer 2d", Point2D{ { 7., 7. } } );
        points->set_value( 1, Point3D{ { 2., 4., 6. } } );
        points->set_value( 3, Point3D{ { 9., 9., 9. } } );
        flat->set_value( 0, Point2D{ { 1., 3. } } );
        flat->set_value( 1, Point2D{ { 3., 5. } } );
        relaxed->set_value( 0, Point2D{ { 1., 1. } } );

        vertices.interpolate_attribute_value(
            interpolation( { 0, 1 }, { 0.5, 0.5 } ), 2 );
        EXPECT_EQ( points->value( 2 ), ( Point3D{ { 1., 2., 3. } } ) );
        EXPECT_EQ( flat->value( 2 ), ( Point2D{ { 2., 4. } } ) );
        // Not interpolable: left alone by the manager.
        EXPECT_EQ( relaxed->value( 2 ), ( Point2D{ { 7., 7. } } ) );

        // A vertex moved to the middle of itself and a neighbour.
        vertices.interpolate_attribute_value(
            interpolation( { 1, 0 }, { 0.5, 0.5 } ), 1 );
        EXPECT_EQ( points->value( 1 ), ( Point3D{ { 1., 2., 3. } } ) );
        EXPECT_EQ( flat->value( 1 ), ( Point2D{ { 2., 4. } } ) );

        vertices.interpolate_attribute_value( interpolation( {}, {} ), 3 );
        EXPECT_EQ( points->value( 3 ), Point3D{} );
    }

    TEST( PointAttribute, scalar_view_reads_coordinates )
    {
        VariableAttribute< Point3D > points{ Point3D{ { 1.5, 2.5, 3.5 } }, {} };
        VariableAttribute< Point2D > flat{ Point2D{ { -1., 0.25 } }, {} };
        points.resize( 1 );
        flat.resize( 1 );
        EXPECT_TRUE( points.is_scalar_convertible() );
        EXPECT_EQ( points.nb_scalars(), 3 );
        EXPECT_EQ( points.scalar_value( 0 ), 1.5f );
        EXPECT_EQ( points.scalar_item_value( 0, 1 ), 2.5f );
        EXPECT_EQ( points.scalar_item_value( 0, 2 ), 3.5f );
        EXPECT_EQ( flat.nb_scalars(), 2 );
        EXPECT_EQ( flat.scalar_value( 0 ), -1.f );
        EXPECT_EQ( flat.scalar_item_value( 0, 1 ), 0.25f );
    }

    // The value types without scalar form or interpolation, each with a
    // default and another value.
    template < typename T >
    void check_plain_value_type( const T& default_value, const T& other )
    {
        SCOPED_TRACE( std::string{ orvane::detail::attribute_value_type_name< T >() } );
        AttributeManager elements;
        elements.resize( 3 );
        auto attribute = elements.find_or_create_attribute< VariableAttribute, T >(
            "values", default_value, { true, true } );
        EXPECT_FALSE( attribute->is_scalar_convertible() );
        EXPECT_EQ( attribute->nb_scalars(), 1 );
        attribute->set_value( 0, other );
        attribute->set_value( 1, other );
        EXPECT_EQ( attribute->scalar_value( 0 ), 0.f );
        EXPECT_EQ( attribute->scalar_item_value( 0, 0 ), 0.f );

        elements.interpolate_attribute_value(
            interpolation( { 0, 1 }, { 0.5, 0.5 } ), 1 );
        EXPECT_TRUE( attribute->value( 1 ) == default_value );
        elements.assign_attribute_value( 0, 2 );
        EXPECT_TRUE( attribute->value( 2 ) == other );

        const auto copy = attribute->duplicate();
        const auto& typed = dynamic_cast< const VariableAttribute< T >& >( *copy );
        EXPECT_TRUE( typed.value( 0 ) == other );
        EXPECT_TRUE( typed.value( 1 ) == default_value );
    }

    TEST( AttributeValueTypes, plain_types_copy_whole_values )
    {
        const orvane::uuid mesh;
        const orvane::uuid other_mesh;
        check_plain_value_type( mesh, other_mesh );
        check_plain_value_type( SolidPatch{}, SolidPatch{ 2, 5, NO_ID } );
        check_plain_value_type( absl::InlinedVector< index_t, 1 >{},
            absl::InlinedVector< index_t, 1 >{ 1, 2, 3 } );
        check_plain_value_type( absl::InlinedVector< Point3D, 1 >{},
            absl::InlinedVector< Point3D, 1 >{ Point3D{ { 1., 2., 3. } } } );
        using EdgeInfo = std::array< absl::InlinedVector< index_t, 1 >, 3 >;
        check_plain_value_type( EdgeInfo{}, EdgeInfo{ { { 1 }, {}, { 2, 3 } } } );
        check_plain_value_type(
            absl::flat_hash_map< orvane::uuid, unsigned int >{},
            absl::flat_hash_map< orvane::uuid, unsigned int >{ { mesh, 4u } } );
        const orvane::ComponentID undefined{ orvane::ComponentType{}, mesh };
        const orvane::ComponentID surface{ orvane::ComponentType{ "Surface" },
            other_mesh };
        check_plain_value_type( orvane::ComponentMeshElement{ undefined, NO_ID },
            orvane::ComponentMeshElement{ surface, 4 } );
        check_plain_value_type( std::vector< orvane::uuid >{},
            std::vector< orvane::uuid >{ mesh, other_mesh } );
        check_plain_value_type( std::vector< orvane::MeshVertex >{},
            std::vector< orvane::MeshVertex >{ { mesh, 3 } } );
        check_plain_value_type( std::vector< orvane::MeshEdge >{},
            std::vector< orvane::MeshEdge >{ { mesh, 3 }, { other_mesh, 0 } } );
        check_plain_value_type( std::vector< orvane::MeshPolygon >{},
            std::vector< orvane::MeshPolygon >{ { mesh, 1 } } );
        check_plain_value_type( std::vector< std::vector< orvane::MeshPolygon > >{},
            std::vector< std::vector< orvane::MeshPolygon > >{
                { { mesh, 1 } }, {} } );
    }

    TEST( AttributeValueTypes, patch_reads_its_default_until_written )
    {
        AttributeManager vertices;
        vertices.resize( 2 );
        auto patch = vertices.find_or_create_attribute< VariableAttribute,
            SolidPatch >( "patch", SolidPatch{ 0, NO_ID, NO_ID } );
        patch->set_value( 1, SolidPatch{ 0, NO_ID, 4 } );
        const auto read = vertices.find_attribute< SolidPatch >( "patch" );
        EXPECT_EQ( read->value( 0 ), ( SolidPatch{ 0, NO_ID, NO_ID } ) );
        EXPECT_EQ( read->value( 1 ).vertex, 4u );
        vertices.resize( 3 );
        EXPECT_EQ( read->value( 2 ), SolidPatch{} );
    }
} // namespace
