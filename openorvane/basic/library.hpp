#pragma once

#include <concepts>
#include <mutex>
#include <typeinfo>

#include <openorvane/basic/singleton.hpp>

namespace orvane
{
    /// A module of the library: one registered object per module class,
    /// initialised once.
    ///
    /// A module class derives from Library, implements `do_initialize` (which
    /// initialises the modules it depends on, then makes its registrations)
    /// and has a static `initialize()` that calls
    /// `initialize_library< ThisClass >( "ModuleName" )`:
    ///
    ///     class MyLibrary : public orvane::Library
    ///     {
    ///         friend class orvane::Library; // or a public constructor
    ///     public:
    ///         static void initialize()
    ///         {
    ///             initialize_library< MyLibrary >( "My" );
    ///         }
    ///     private:
    ///         MyLibrary() = default;
    ///         void do_initialize() override;
    ///     };
    class Library : public Singleton
    {
    public:
        ~Library() override;

    protected:
        Library();

        /// Runs `do_initialize` the first time it is called on this object;
        /// later and concurrent calls wait until that first run has ended
        /// and do nothing else. If the first run throws, the next call runs
        /// it again.
        void call_initialize( const char* name );

        /// Finds the instance of X in the registry, or creates and registers
        /// one, under the registry mutex; then, with the mutex released,
        /// initialises it under the given module name. The mutex covers only
        /// the find-or-create step because `do_initialize` initialises other
        /// modules, which take it again.
        template < typename X >
            requires std::derived_from< X, Library >
        static void initialize_library( const char* name )
        {
            Library* library{ nullptr };
            {
                const std::lock_guard< std::mutex > locking{ Singleton::lock() };
                auto* existing =
                    dynamic_cast< X* >( Singleton::instance( typeid( X ) ) );
                if( existing == nullptr )
                {
                    existing = new X;
                    Singleton::set_instance( typeid( X ), existing );
                }
                library = existing;
            }
            library->call_initialize( name );
        }

    private:
        virtual void do_initialize() = 0;

    private:
        std::once_flag initialized_;
    };
} // namespace orvane
