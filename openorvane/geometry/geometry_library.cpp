#include <openorvane/geometry/geometry_library.hpp>

#include <openorvane/basic/basic_library.hpp>
#include <openorvane/geometry/predicates.hpp>

namespace orvane
{
    OpenOrvaneGeometryLibrary::OpenOrvaneGeometryLibrary() = default;

    void OpenOrvaneGeometryLibrary::initialize()
    {
        initialize_library< OpenOrvaneGeometryLibrary >( "OpenOrvaneGeometry" );
    }

    void OpenOrvaneGeometryLibrary::do_initialize()
    {
        OpenOrvaneBasicLibrary::initialize();
        detail::initialize_predicates();
    }
} // namespace orvane
