#include <openorvane/inspector/inspector_library.hpp>

#include <openorvane/model/model_library.hpp>

namespace orvane
{
    OpenOrvaneInspectorLibrary::OpenOrvaneInspectorLibrary() = default;

    void OpenOrvaneInspectorLibrary::initialize()
    {
        initialize_library< OpenOrvaneInspectorLibrary >( "OpenOrvaneInspector" );
    }

    void OpenOrvaneInspectorLibrary::do_initialize()
    {
        OpenOrvaneModelLibrary::initialize();
    }
} // namespace orvane
