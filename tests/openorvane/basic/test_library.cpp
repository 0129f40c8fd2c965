#include <openorvane/basic/basic_library.hpp>
#include <openorvane/basic/factory.hpp>
#include <openorvane/basic/library.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/basic/singleton.hpp>
#include <openorvane/basic/uuid.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace
{
    std::atomic< int > dependency_runs{ 0 };
    std::atomic< int > module_runs{ 0 };
    std::atomic< bool > module_initialized{ false };

    class DependencyLibrary : public orvane::Library
    {
        friend class orvane::Library;

    public:
        static void initialize()
        {
            initialize_library< DependencyLibrary >( "Dependency" );
        }

    private:
        DependencyLibrary() = default;

        void do_initialize() override
        {
            dependency_runs++;
        }
    };

    class SlowModuleLibrary : public orvane::Library
    {
        friend class orvane::Library;

    public:
        static void initialize()
        {
            initialize_library< SlowModuleLibrary >( "SlowModule" );
        }

    private:
        SlowModuleLibrary() = default;

        void do_initialize() override
        {
            DependencyLibrary::initialize();
            module_runs++;
            // Long enough for the other callers to arrive while it runs.
            std::this_thread::sleep_for( std::chrono::milliseconds{ 50 } );
            module_initialized = true;
        }
    };

    orvane::Singleton* registered( const std::type_info& type )
    {
        const std::lock_guard< std::mutex > locking{ orvane::Singleton::lock() };
        return orvane::Singleton::instance( type );
    }

    TEST( Library, concurrent_initialization_runs_once_and_waits_for_it )
    {
        constexpr int NB_THREADS = 16;
        std::atomic< int > returned_before_done{ 0 };
        std::vector< std::thread > threads;
        for( int t = 0; t < NB_THREADS; t++ )
        {
            threads.emplace_back( [&returned_before_done] {
                SlowModuleLibrary::initialize();
                if( !module_initialized )
                {
                    returned_before_done++;
                }
            } );
        }
        for( auto& thread : threads )
        {
            thread.join();
        }
        EXPECT_EQ( module_runs, 1 );
        EXPECT_EQ( dependency_runs, 1 );
        EXPECT_EQ( returned_before_done, 0 );
        auto* instance = registered( typeid( SlowModuleLibrary ) );
        ASSERT_NE( instance, nullptr );
        EXPECT_NE( dynamic_cast< SlowModuleLibrary* >( instance ), nullptr );
        SlowModuleLibrary::initialize();
        DependencyLibrary::initialize();
        EXPECT_EQ( registered( typeid( SlowModuleLibrary ) ), instance );
        EXPECT_EQ( module_runs, 1 );
        EXPECT_EQ( dependency_runs, 1 );
    }

    TEST( Library, basic_library_registers_one_instance )
    {
        orvane::OpenOrvaneBasicLibrary::initialize();
        auto* first = registered( typeid( orvane::OpenOrvaneBasicLibrary ) );
        ASSERT_NE( first, nullptr );
        orvane::OpenOrvaneBasicLibrary::initialize();
        EXPECT_EQ( registered( typeid( orvane::OpenOrvaneBasicLibrary ) ), first );
    }

    struct Shape
    {
        virtual ~Shape() = default;
        virtual int sides() const = 0;
    };

    struct Polygon : Shape
    {
        explicit Polygon( int nb_sides ) : nb_sides_( nb_sides ) {}
        int sides() const override
        {
            return nb_sides_;
        }
        int nb_sides_;
    };

    struct Doubled : Shape
    {
        explicit Doubled( int nb_sides ) : nb_sides_( 2 * nb_sides ) {}
        int sides() const override
        {
            return nb_sides_;
        }
        int nb_sides_;
    };

    using ShapeKey = orvane::NamedType< std::string, struct ShapeKeyTag >;
    using ShapeFactory = orvane::Factory< ShapeKey, Shape, int >;

    TEST( Factory, duplicate_key_warns_and_keeps_first_creator )
    {
        // Fresh keys, so that repeated runs in one process start clean.
        const auto suffix = orvane::uuid{}.string();
        const ShapeKey polygon{ "polygon" + suffix };
        const ShapeKey doubled{ "doubled" + suffix };
        orvane::LoggerCapture capture;
        ShapeFactory::register_creator< Polygon >( polygon );
        EXPECT_EQ( capture.messages().size(), 0u );
        ShapeFactory::register_creator< Doubled >( polygon );
        EXPECT_EQ( capture.count( orvane::Logger::Level::warn,
                       "Factory: Trying to register twice the same key" ),
            1u );
        EXPECT_EQ( ShapeFactory::create( polygon, 3 )->sides(), 3 );
        ShapeFactory::register_creator< Doubled >( doubled );
        EXPECT_EQ( capture.messages().size(), 1u );
        EXPECT_EQ( ShapeFactory::create( doubled, 3 )->sides(), 6 );
        EXPECT_TRUE( ShapeFactory::has_creator( doubled ) );
        const auto keys = ShapeFactory::list_creators();
        EXPECT_EQ( std::count( keys.begin(), keys.end(), polygon ), 1 );
        EXPECT_EQ( std::count( keys.begin(), keys.end(), doubled ), 1 );
    }

    TEST( Factory, missing_key_throws_with_stack )
    {
        EXPECT_FALSE( ShapeFactory::has_creator( ShapeKey{ "circle" } ) );
        try
        {
            ShapeFactory::create( ShapeKey{ "circle" }, 1 );
            FAIL() << "no exception";
        }
        catch( const orvane::OpenOrvaneException& exception )
        {
            EXPECT_STREQ( exception.what(),
                "[Factory::create] Factory does not contain the requested key" );
            EXPECT_GT( exception.depth(), 0 );
        }
    }

    TEST( Factory, factories_of_different_signatures_have_separate_stores )
    {
        using OtherFactory = orvane::Factory< ShapeKey, Shape >;
        struct Triangle : Shape
        {
            int sides() const override
            {
                return 3;
            }
        };
        OtherFactory::register_creator< Triangle >( ShapeKey{ "triangle" } );
        EXPECT_TRUE( OtherFactory::has_creator( ShapeKey{ "triangle" } ) );
        EXPECT_FALSE( ShapeFactory::has_creator( ShapeKey{ "triangle" } ) );
        EXPECT_EQ( OtherFactory::create( ShapeKey{ "triangle" } )->sides(), 3 );
    }

    TEST( NamedType, compares_and_hashes_by_value )
    {
        EXPECT_EQ( ShapeKey{ "a" }, ShapeKey{ std::string{ "a" } } );
        EXPECT_NE( ShapeKey{ "a" }, ShapeKey{ "b" } );
        EXPECT_TRUE( ShapeKey{ "a" } < ShapeKey{ "b" } );
        EXPECT_EQ( absl::Hash< ShapeKey >{}( ShapeKey{ "a" } ),
            absl::Hash< ShapeKey >{}( ShapeKey{ "a" } ) );
    }
} // namespace
