#include <openorvane/basic/singleton.hpp>

#include <typeindex>
#include <unordered_map>

namespace orvane
{
    namespace
    {
        /// Built on first use and never destroyed, like the objects it holds.
        std::unordered_map< std::type_index, Singleton* >& registry()
        {
            static auto* singletons =
                new std::unordered_map< std::type_index, Singleton* >{};
            return *singletons;
        }
    } // namespace

    Singleton::Singleton() = default;

    Singleton::~Singleton() = default;

    std::mutex& Singleton::lock()
    {
        static auto* mutex = new std::mutex{};
        return *mutex;
    }

    Singleton* Singleton::instance( const std::type_info& type )
    {
        const auto& singletons = registry();
        const auto found = singletons.find( std::type_index{ type } );
        return found == singletons.end() ? nullptr : found->second;
    }

    void Singleton::set_instance( const std::type_info& type, Singleton* singleton )
    {
        registry()[std::type_index{ type }] = singleton;
    }
} // namespace orvane
