#include <background/background_common_library.hpp>

#include <openorvane/mesh/mesh_library.hpp>

namespace orvane
{
    BackgroundCommonLibrary::BackgroundCommonLibrary() = default;

    void BackgroundCommonLibrary::initialize()
    {
        initialize_library< BackgroundCommonLibrary >( "BackgroundCommon" );
    }

    void BackgroundCommonLibrary::do_initialize()
    {
        OpenOrvaneMeshLibrary::initialize();
    }
} // namespace orvane
