#include <common/cutter/common_cutter_solid_library.hpp>

#include <common/modifier/common_modifier_solid_library.hpp>

namespace orvane
{
    CommonCutterSolidLibrary::CommonCutterSolidLibrary() = default;

    void CommonCutterSolidLibrary::initialize()
    {
        initialize_library< CommonCutterSolidLibrary >( "CommonCutterSolid" );
    }

    void CommonCutterSolidLibrary::do_initialize()
    {
        CommonModifierSolidLibrary::initialize();
    }
} // namespace orvane
