#include <common/modifier/common_modifier_edged_curve_library.hpp>

#include <openorvane/mesh/edged_curve.hpp>

#include <common/modifier/common_modifier_common_library.hpp>
#include <common/modifier/edged_curve_modifier.hpp>
#include <common/modifier/mesh_modifier_factory.hpp>

namespace orvane
{
    CommonModifierEdgedCurveLibrary::CommonModifierEdgedCurveLibrary() = default;

    void CommonModifierEdgedCurveLibrary::initialize()
    {
        initialize_library< CommonModifierEdgedCurveLibrary >(
            "CommonModifierEdgedCurve" );
    }

    void CommonModifierEdgedCurveLibrary::do_initialize()
    {
        CommonModifierCommonLibrary::initialize();
        MeshModifierFactory::register_modifier< EdgedCurveModifier< 2 >,
            EdgedCurve< 2 >, EdgedCurveBuilder< 2 > >(
            MeshModifierFactory::key( "OpenOrvaneEdgedCurve", 2 ) );
        MeshModifierFactory::register_modifier< EdgedCurveModifier< 3 >,
            EdgedCurve< 3 >, EdgedCurveBuilder< 3 > >(
            MeshModifierFactory::key( "OpenOrvaneEdgedCurve", 3 ) );
    }
} // namespace orvane
