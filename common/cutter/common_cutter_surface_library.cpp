#include <common/cutter/common_cutter_surface_library.hpp>

#include <common/modifier/common_modifier_surface_library.hpp>

namespace orvane
{
    CommonCutterSurfaceLibrary::CommonCutterSurfaceLibrary() = default;

    void CommonCutterSurfaceLibrary::initialize()
    {
        initialize_library< CommonCutterSurfaceLibrary >(
            "CommonCutterSurface" );
    }

    void CommonCutterSurfaceLibrary::do_initialize()
    {
        CommonModifierSurfaceLibrary::initialize();
    }
} // namespace orvane
