#include <explicit/explicit_brep_library.hpp>

#include <background/background_solid_library.hpp>
#include <common/modifier/common_modifier_model_library.hpp>
#include <conversion/conversion_model_library.hpp>
#include <explicit/explicit_common_library.hpp>

namespace orvane
{
    ExplicitBRepLibrary::ExplicitBRepLibrary() = default;

    void ExplicitBRepLibrary::initialize()
    {
        initialize_library< ExplicitBRepLibrary >( "ExplicitBRep" );
    }

    void ExplicitBRepLibrary::do_initialize()
    {
        CommonModifierModelLibrary::initialize();
        BackgroundSolidLibrary::initialize();
        ConversionModelLibrary::initialize();
        ExplicitCommonLibrary::initialize();
    }
} // namespace orvane
