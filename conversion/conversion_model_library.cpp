#include <conversion/conversion_model_library.hpp>

#include <common/modifier/common_modifier_model_library.hpp>
#include <openorvane/model/model_library.hpp>

namespace orvane
{
    ConversionModelLibrary::ConversionModelLibrary() = default;

    void ConversionModelLibrary::initialize()
    {
        initialize_library< ConversionModelLibrary >( "ConversionModel" );
    }

    void ConversionModelLibrary::do_initialize()
    {
        OpenOrvaneModelLibrary::initialize();
        CommonModifierModelLibrary::initialize();
    }
} // namespace orvane
