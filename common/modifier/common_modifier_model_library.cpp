#include <common/modifier/common_modifier_model_library.hpp>

#include <common/modifier/common_modifier_edged_curve_library.hpp>
#include <common/modifier/common_modifier_solid_library.hpp>
#include <common/modifier/common_modifier_surface_library.hpp>
#include <openorvane/model/model_library.hpp>

namespace orvane
{
    CommonModifierModelLibrary::CommonModifierModelLibrary() = default;

    void CommonModifierModelLibrary::initialize()
    {
        initialize_library< CommonModifierModelLibrary >(
            "CommonModifierModel" );
    }

    void CommonModifierModelLibrary::do_initialize()
    {
        OpenOrvaneModelLibrary::initialize();
        CommonModifierEdgedCurveLibrary::initialize();
        CommonModifierSurfaceLibrary::initialize();
        CommonModifierSolidLibrary::initialize();
    }
} // namespace orvane
