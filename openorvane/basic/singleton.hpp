#pragma once

#include <mutex>
#include <typeinfo>

namespace orvane
{
    /// The process-wide registry of one object per type.
    ///
    /// Registered objects live until the process ends (they are never
    /// destroyed, so no static destructor can reach a dead one).
    /// `instance` and `set_instance` must be called with `lock()` held: the
    /// caller makes its find-or-create atomic with that one mutex.
    class Singleton
    {
    public:
        virtual ~Singleton();

        Singleton( const Singleton& ) = delete;
        Singleton& operator=( const Singleton& ) = delete;

        /// The one mutex of the registry.
        static std::mutex& lock();

        /// The object registered under the type, or null.
        static Singleton* instance( const std::type_info& type );

        /// Registers the object under the type, replacing any earlier one.
        static void set_instance( const std::type_info& type, Singleton* singleton );

    protected:
        Singleton();
    };
} // namespace orvane
