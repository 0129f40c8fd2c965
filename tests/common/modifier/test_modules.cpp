#include <algorithm>
#include <mutex>
#include <string>
#include <typeinfo>
#include <vector>

#include <absl/strings/str_cat.h>
#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/basic/singleton.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/mesh_factory.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/solid_mesh.hpp>
#include <openorvane/mesh/surface_mesh.hpp>

#include <common/modifier/common_modifier_common_library.hpp>
#include <common/modifier/common_modifier_model_library.hpp>
#include <common/modifier/common_modifier_solid_library.hpp>
#include <common/modifier/edged_curve_modifier.hpp>
#include <common/modifier/mesh_modifier_factory.hpp>
#include <common/modifier/triangulated_surface_modifier.hpp>

#include <tests/support/fresh_process.hpp>
#include <tests/support/initialized_libraries.hpp>

namespace
{
    using orvane::Logger;
    using orvane::LoggerCapture;
    using orvane::MeshModifierFactory;
    using orvane::OpenOrvaneException;

    constexpr const char* duplicate_key_warning =
        "Factory: Trying to register twice the same key";

    class FirstModifier : public orvane::VerticesModifier
    {
    public:
        FirstModifier( const orvane::VertexSet&, orvane::VertexSetBuilder& ) {}
    };

    class SecondModifier : public orvane::VerticesModifier
    {
    public:
        SecondModifier( const orvane::VertexSet&, orvane::VertexSetBuilder& )
        {
        }
    };

    std::vector< std::string > sorted_modifier_keys()
    {
        std::vector< std::string > keys;
        for( const auto& key : MeshModifierFactory::list_creators() )
        {
            keys.push_back( key.get() );
        }
        std::sort( keys.begin(), keys.end() );
        return keys;
    }

    template < typename Module >
    const orvane::Singleton* registered_module()
    {
        const std::lock_guard< std::mutex > locking{ orvane::Singleton::lock() };
        return orvane::Singleton::instance( typeid( Module ) );
    }

    struct Points
    {
        orvane::OpenOrvanePointSet< 3 > mesh;
        orvane::OpenOrvanePointSetBuilder< 3 > builder{ mesh };
    };

    TEST( MeshModifierFactory, keys_join_family_dimension_and_D )
    {
        EXPECT_EQ( MeshModifierFactory::key( "OpenOrvaneEdgedCurve", 2 ).get(),
            "OpenOrvaneEdgedCurve2D" );
        EXPECT_EQ(
            MeshModifierFactory::key( "OpenOrvaneTetrahedralSolid", 3 ).get(),
            "OpenOrvaneTetrahedralSolid3D" );
    }

    TEST( MeshModifierFactory, second_registration_keeps_first_creator )
    {
        const MeshModifierFactory::Key key{ "ModulesTestDuplicate" };
        MeshModifierFactory::register_modifier< FirstModifier,
            orvane::VertexSet, orvane::VertexSetBuilder >( key );
        LoggerCapture capture;
        MeshModifierFactory::register_modifier< SecondModifier,
            orvane::VertexSet, orvane::VertexSetBuilder >( key );
        EXPECT_EQ(
            capture.count( Logger::Level::warn, duplicate_key_warning ), 1u );

        Points points;
        const auto modifier =
            MeshModifierFactory::create( key, points.mesh, points.builder );
        EXPECT_NE( dynamic_cast< FirstModifier* >( modifier.get() ), nullptr );
    }

    TEST( MeshModifierFactory, unknown_keys_throw_and_change_nothing )
    {
        Points points;
        const auto nb_keys = MeshModifierFactory::list_creators().size();
        for( const std::string name : { "", "NoSuchMesh3D" } )
        {
            try
            {
                [[maybe_unused]] const auto modifier =
                    MeshModifierFactory::create( MeshModifierFactory::Key{ name },
                        points.mesh, points.builder );
                ADD_FAILURE() << "created a modifier for '" << name << "'";
            }
            catch( const OpenOrvaneException& error )
            {
                EXPECT_STREQ( error.what(),
                    "[Factory::create] Factory does not contain the requested "
                    "key" );
                EXPECT_GT( error.depth(), 0 );
            }
        }
        EXPECT_EQ( MeshModifierFactory::list_creators().size(), nb_keys );
    }

    TEST( MeshModifierFactory, creators_view_mesh_and_builder_by_reference_cast )
    {
        const MeshModifierFactory::Key key{ "ModulesTestCurve3D" };
        MeshModifierFactory::register_modifier< FirstModifier,
            orvane::EdgedCurve< 3 >, orvane::EdgedCurveBuilder< 3 > >( key );

        orvane::OpenOrvaneEdgedCurve< 3 > curve;
        orvane::OpenOrvaneEdgedCurveBuilder< 3 > curve_builder{ curve };
        orvane::OpenOrvaneEdgedCurve< 2 > planar_curve;
        orvane::OpenOrvaneEdgedCurveBuilder< 2 > planar_builder{ planar_curve };
        Points points;

        EXPECT_NE(
            MeshModifierFactory::create( key, curve, curve_builder ), nullptr );
        EXPECT_THROW( static_cast< void >( MeshModifierFactory::create(
                          key, planar_curve, planar_builder ) ),
            std::bad_cast );
        EXPECT_THROW( static_cast< void >( MeshModifierFactory::create(
                          key, points.mesh, curve_builder ) ),
            std::bad_cast );
        EXPECT_THROW( static_cast< void >( MeshModifierFactory::create(
                          key, curve, points.builder ) ),
            std::bad_cast );
    }

    TEST( MeshModifierFactory, typed_creation_checks_the_modifier_class )
    {
        // Point sets have no modifier of their own: register one for the
        // test under their implementation name.
        Points points;
        const auto name = points.mesh.impl_name();
        MeshModifierFactory::register_modifier< FirstModifier,
            orvane::VertexSet, orvane::VertexSetBuilder >( name );

        EXPECT_NE( MeshModifierFactory::create< FirstModifier >(
                       points.mesh, points.builder ),
            nullptr );
        try
        {
            [[maybe_unused]] const auto modifier =
                MeshModifierFactory::create< SecondModifier >(
                    points.mesh, points.builder );
            ADD_FAILURE() << "created a modifier of another class";
        }
        catch( const OpenOrvaneException& error )
        {
            EXPECT_EQ( std::string{ error.what() },
                absl::StrCat(
                    "Cannot create mesh modifier with key: ", name.get() ) );
            EXPECT_GT( error.depth(), 0 );
        }

        orvane::OpenOrvaneEdgedCurve< 3 > unregistered;
        orvane::OpenOrvaneEdgedCurveBuilder< 3 > builder{ unregistered };
        if( !MeshModifierFactory::has_creator( unregistered.impl_name() ) )
        {
            EXPECT_THROW( static_cast< void >(
                              MeshModifierFactory::create< FirstModifier >(
                                  unregistered, builder ) ),
                OpenOrvaneException );
        }
    }

    TEST( ModifierModules, solid_module_alone_brings_in_only_its_dependencies )
    {
        orvane::test::expect_in_fresh_process( [] {
            Logger::set_level( Logger::Level::debug );
            LoggerCapture capture;
            orvane::CommonModifierSolidLibrary::initialize();
            const std::vector< std::string > expected_order{
                "CommonModifierSolid", "CommonModifierCommon", "OpenOrvaneMesh",
                "OpenOrvaneGeometry", "OpenOrvaneBasic", "CommonCore"
            };
            const auto order = orvane::test::initialized_libraries( capture );
            if( order != expected_order )
            {
                return absl::StrCat( "initialised ",
                    orvane::test::joined( order ) );
            }
            const std::vector< std::string > expected_keys{
                "OpenOrvaneTetrahedralSolid3D"
            };
            if( sorted_modifier_keys() != expected_keys )
            {
                return absl::StrCat( "modifier keys ",
                    orvane::test::joined( sorted_modifier_keys() ) );
            }
            return std::string{};
        } );
    }

    TEST( ModifierModules, model_module_registers_every_mesh_modifier_once )
    {
        orvane::test::expect_in_fresh_process( [] {
            Logger::set_level( Logger::Level::debug );
            LoggerCapture capture;
            orvane::CommonModifierModelLibrary::initialize();
            const std::vector< std::string > expected_order{
                "CommonModifierModel",
                "OpenOrvaneModel",
                "OpenOrvaneMesh",
                "OpenOrvaneGeometry",
                "OpenOrvaneBasic",
                "CommonModifierEdgedCurve",
                "CommonModifierCommon",
                "CommonCore",
                "CommonModifierSurface",
                "CommonModifierSolid",
            };
            const auto order = orvane::test::initialized_libraries( capture );
            if( order != expected_order )
            {
                return absl::StrCat( "initialised ",
                    orvane::test::joined( order ) );
            }
            const std::vector< std::string > expected_keys{
                "OpenOrvaneEdgedCurve2D",
                "OpenOrvaneEdgedCurve3D",
                "OpenOrvaneTetrahedralSolid3D",
                "OpenOrvaneTriangulatedSurface2D",
                "OpenOrvaneTriangulatedSurface3D",
            };
            if( sorted_modifier_keys() != expected_keys )
            {
                return absl::StrCat( "modifier keys ",
                    orvane::test::joined( sorted_modifier_keys() ) );
            }

            const auto* common = registered_module<
                orvane::CommonModifierCommonLibrary >();
            const auto* model =
                registered_module< orvane::CommonModifierModelLibrary >();
            capture.clear();
            orvane::CommonModifierModelLibrary::initialize();
            orvane::CommonModifierSolidLibrary::initialize();
            if( !orvane::test::initialized_libraries( capture ).empty()
                || capture.count( Logger::Level::warn, duplicate_key_warning )
                       != 0 )
            {
                return std::string{ "a second initialisation did work again" };
            }
            if( common == nullptr || model == nullptr
                || registered_module< orvane::CommonModifierCommonLibrary >()
                       != common
                || registered_module< orvane::CommonModifierModelLibrary >()
                       != model )
            {
                return std::string{ "module instances changed" };
            }
            return std::string{};
        } );
    }

    // Whether the cells of the mesh (edges of a curve, polygons of a
    // surface, polyhedra of a solid) carry the "orvane_active" flags.
    bool has_active_flags( const orvane::VertexSet& mesh )
    {
        if( mesh.vertex_attribute_manager().attribute_exists( "orvane_active" ) )
        {
            return true;
        }
        if( const auto* curve =
                dynamic_cast< const orvane::EdgedCurve< 3 >* >( &mesh ) )
        {
            return curve->edge_attribute_manager().attribute_exists(
                "orvane_active" );
        }
        if( const auto* curve =
                dynamic_cast< const orvane::EdgedCurve< 2 >* >( &mesh ) )
        {
            return curve->edge_attribute_manager().attribute_exists(
                "orvane_active" );
        }
        if( const auto* surface =
                dynamic_cast< const orvane::SurfaceMesh< 3 >* >( &mesh ) )
        {
            return surface->polygon_attribute_manager().attribute_exists(
                "orvane_active" );
        }
        if( const auto* surface =
                dynamic_cast< const orvane::SurfaceMesh< 2 >* >( &mesh ) )
        {
            return surface->polygon_attribute_manager().attribute_exists(
                "orvane_active" );
        }
        if( const auto* solid =
                dynamic_cast< const orvane::SolidMesh< 3 >* >( &mesh ) )
        {
            return solid->polyhedron_attribute_manager().attribute_exists(
                "orvane_active" );
        }
        return false;
    }

    TEST( ModifierModules, modifiers_hold_active_flags_for_their_lifetime )
    {
        orvane::CommonModifierModelLibrary::initialize();
        for( const std::string name :
            { "OpenOrvaneEdgedCurve2D", "OpenOrvaneEdgedCurve3D",
                "OpenOrvaneTriangulatedSurface2D",
                "OpenOrvaneTriangulatedSurface3D",
                "OpenOrvaneTetrahedralSolid3D" } )
        {
            const orvane::MeshImpl key{ name };
            if( !MeshModifierFactory::has_creator( key ) )
            {
                ADD_FAILURE() << "no modifier registered for " << name;
                continue;
            }
            const auto mesh = orvane::MeshFactory::create( key );
            const auto builder = orvane::VertexSetBuilder::create( *mesh );
            auto modifier =
                MeshModifierFactory::create( key, *mesh, *builder );
            EXPECT_TRUE( has_active_flags( *mesh ) ) << name;
            modifier.reset();
            EXPECT_FALSE( has_active_flags( *mesh ) ) << name;
        }
    }

    TEST( ModifierModules, registered_creators_check_mesh_and_modifier_classes )
    {
        orvane::CommonModifierModelLibrary::initialize();
        orvane::OpenOrvaneEdgedCurve< 3 > curve;
        orvane::OpenOrvaneEdgedCurveBuilder< 3 > curve_builder{ curve };
        orvane::OpenOrvaneEdgedCurve< 2 > planar_curve;
        orvane::OpenOrvaneEdgedCurveBuilder< 2 > planar_builder{ planar_curve };

        EXPECT_NE( MeshModifierFactory::create< orvane::EdgedCurveModifier< 3 > >(
                       curve, curve_builder ),
            nullptr );
        EXPECT_THROW(
            static_cast< void >( MeshModifierFactory::create(
                curve.impl_name(), planar_curve, planar_builder ) ),
            std::bad_cast );
        try
        {
            [[maybe_unused]] const auto modifier = MeshModifierFactory::create<
                orvane::TriangulatedSurfaceModifier< 3 > >(
                curve, curve_builder );
            ADD_FAILURE() << "a curve got a surface modifier";
        }
        catch( const OpenOrvaneException& error )
        {
            EXPECT_STREQ( error.what(),
                "Cannot create mesh modifier with key: OpenOrvaneEdgedCurve3D" );
        }
        // The failed creations left no flags behind.
        EXPECT_FALSE( curve.edge_attribute_manager().attribute_exists(
            "orvane_active" ) );
    }
} // namespace
