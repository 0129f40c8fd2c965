#include <openorvane/basic/basic_library.hpp>

namespace orvane
{
    OpenOrvaneBasicLibrary::OpenOrvaneBasicLibrary() = default;

    void OpenOrvaneBasicLibrary::initialize()
    {
        initialize_library< OpenOrvaneBasicLibrary >( "OpenOrvaneBasic" );
    }

    void OpenOrvaneBasicLibrary::do_initialize() {}
} // namespace orvane
