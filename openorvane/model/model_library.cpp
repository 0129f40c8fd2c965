#include <openorvane/model/model_library.hpp>

#include <openorvane/mesh/mesh_library.hpp>

namespace orvane
{
    OpenOrvaneModelLibrary::OpenOrvaneModelLibrary() = default;

    void OpenOrvaneModelLibrary::initialize()
    {
        initialize_library< OpenOrvaneModelLibrary >( "OpenOrvaneModel" );
    }

    void OpenOrvaneModelLibrary::do_initialize()
    {
        OpenOrvaneMeshLibrary::initialize();
    }
} // namespace orvane
