#include <background/background_solid_library.hpp>

#include <background/background_common_library.hpp>
#include <common/cutter/common_cutter_solid_library.hpp>
#include <openorvane/mesh/mesh_library.hpp>

namespace orvane
{
    BackgroundSolidLibrary::BackgroundSolidLibrary() = default;

    void BackgroundSolidLibrary::initialize()
    {
        initialize_library< BackgroundSolidLibrary >( "BackgroundSolid" );
    }

    void BackgroundSolidLibrary::do_initialize()
    {
        OpenOrvaneMeshLibrary::initialize();
        CommonCutterSolidLibrary::initialize();
        BackgroundCommonLibrary::initialize();
    }
} // namespace orvane
