#include <background/background_brep_library.hpp>

#include <background/background_common_library.hpp>
#include <background/background_solid_library.hpp>
#include <common/modifier/common_modifier_model_library.hpp>
#include <openorvane/model/model_library.hpp>

namespace orvane
{
    BackgroundBRepLibrary::BackgroundBRepLibrary() = default;

    void BackgroundBRepLibrary::initialize()
    {
        initialize_library< BackgroundBRepLibrary >( "BackgroundBRep" );
    }

    void BackgroundBRepLibrary::do_initialize()
    {
        OpenOrvaneModelLibrary::initialize();
        CommonModifierModelLibrary::initialize();
        BackgroundCommonLibrary::initialize();
        BackgroundSolidLibrary::initialize();
    }
} // namespace orvane
