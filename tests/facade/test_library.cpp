#include <facade/orvane_tamsel_library.hpp>

#include <algorithm>
#include <mutex>
#include <thread>
#include <string>
#include <typeinfo>
#include <vector>

#include <absl/strings/str_cat.h>
#include <gtest/gtest.h>

#include <openorvane/basic/logger.hpp>
#include <openorvane/basic/singleton.hpp>
#include <openorvane/mesh/mesh_factory.hpp>

#include <common/modifier/mesh_modifier_factory.hpp>

#include <tests/support/fresh_process.hpp>
#include <tests/support/initialized_libraries.hpp>

namespace
{
    using orvane::Logger;
    using orvane::LoggerCapture;

    constexpr const char* duplicate_key_warning =
        "Factory: Trying to register twice the same key";

    // Every module of the library and of the core library it relies on, in
    // the order their initialisation starts: each module initialises its
    // dependencies in a fixed order before registering anything, and a
    // module reached again later is not initialised again.
    const orvane::Singleton* registered_library()
    {
        const std::lock_guard< std::mutex > locking{ orvane::Singleton::lock() };
        return orvane::Singleton::instance(
            typeid( orvane_tamsel::OrvaneTamselLibrary ) );
    }

    const std::vector< std::string > start_up_order{
        "OrvaneTamsel",
        "OpenOrvaneBasic",
        "OpenOrvaneGeometry",
        "OpenOrvaneMesh",
        "OpenOrvaneModel",
        "ConversionModel",
        "CommonModifierModel",
        "CommonModifierEdgedCurve",
        "CommonModifierCommon",
        "CommonCore",
        "CommonModifierSurface",
        "CommonModifierSolid",
        "ExplicitBRep",
        "BackgroundSolid",
        "CommonCutterSolid",
        "BackgroundCommon",
        "ExplicitCommon",
        "SimplexBRep",
        "SimplexCorner",
        "SimplexCore",
        "BackgroundBRep",
        "SimplexLine3d",
        "SimplexSurface3d",
        "NumericsSurface",
        "SimplexSurface2d",
        "SimplexSurfaceCommon",
        "CommonCutterSurface",
        "SimplexMetric",
        "SimplexSolid",
    };

    TEST( OrvaneTamselLibrary, initializes_every_module_once_in_dependency_order )
    {
        orvane::test::expect_in_fresh_process( [] {
            Logger::set_level( Logger::Level::debug );
            LoggerCapture capture;
            orvane_tamsel::OrvaneTamselLibrary::initialize();
            const auto first = orvane::test::initialized_libraries( capture );
            if( first != start_up_order )
            {
                return absl::StrCat( "start-up order: ",
                    orvane::test::joined( first ), "\nexpected: ",
                    orvane::test::joined( start_up_order ) );
            }
            if( capture.count( Logger::Level::warn, duplicate_key_warning )
                != 0 )
            {
                return std::string{ "a factory key was registered twice" };
            }
            return std::string{};
        } );
    }

    TEST( OrvaneTamselLibrary, registers_every_editable_mesh_in_the_factories )
    {
        orvane::test::expect_in_fresh_process( [] {
            orvane_tamsel::OrvaneTamselLibrary::initialize();
            std::vector< std::string > modifier_keys;
            for( const auto& key : orvane::MeshModifierFactory::list_creators() )
            {
                modifier_keys.push_back( key.get() );
            }
            std::sort( modifier_keys.begin(), modifier_keys.end() );
            const std::vector< std::string > expected{ "BackgroundSolid",
                "OpenOrvaneEdgedCurve2D", "OpenOrvaneEdgedCurve3D",
                "OpenOrvaneTetrahedralSolid3D",
                "OpenOrvaneTriangulatedSurface2D",
                "OpenOrvaneTriangulatedSurface3D" };
            if( modifier_keys != expected )
            {
                return absl::StrCat( "modifier keys: ",
                    orvane::test::joined( modifier_keys ) );
            }
            const orvane::MeshImpl background{ "BackgroundSolid" };
            if( !orvane::MeshFactory::has_creator( background )
                || !orvane::MeshBuilderFactory::has_creator( background ) )
            {
                return std::string{
                    "the background solid has no mesh or builder creator"
                };
            }
            return std::string{};
        } );
    }

    TEST( OrvaneTamselLibrary, second_initialization_does_nothing )
    {
        orvane::test::expect_in_fresh_process( [] {
            orvane_tamsel::OrvaneTamselLibrary::initialize();
            const auto* library = registered_library();

            Logger::set_level( Logger::Level::debug );
            LoggerCapture capture;
            orvane_tamsel::OrvaneTamselLibrary::initialize();
            const auto again = orvane::test::initialized_libraries( capture );
            if( !again.empty() )
            {
                return absl::StrCat( "initialised again: ",
                    orvane::test::joined( again ) );
            }
            if( !capture.messages().empty() )
            {
                return absl::StrCat( "logged: ", capture.messages()[0].text );
            }
            if( library == nullptr || registered_library() != library )
            {
                return std::string{ "the library instance changed" };
            }
            return std::string{};
        } );
    }

    TEST( OrvaneTamselLibrary, concurrent_first_calls_initialize_each_module_once )
    {
        orvane::test::expect_in_fresh_process( [] {
            Logger::set_level( Logger::Level::debug );
            LoggerCapture capture;
            std::vector< std::thread > hosts;
            for( int t = 0; t < 8; t++ )
            {
                hosts.emplace_back(
                    [] { orvane_tamsel::OrvaneTamselLibrary::initialize(); } );
            }
            for( auto& host : hosts )
            {
                host.join();
            }
            auto initialized = orvane::test::initialized_libraries( capture );
            auto expected = start_up_order;
            std::sort( initialized.begin(), initialized.end() );
            std::sort( expected.begin(), expected.end() );
            if( initialized != expected )
            {
                return absl::StrCat( "initialised: ",
                    orvane::test::joined( initialized ) );
            }
            if( capture.count( Logger::Level::warn, duplicate_key_warning )
                != 0 )
            {
                return std::string{ "a factory key was registered twice" };
            }
            return std::string{};
        } );
    }
} // namespace
