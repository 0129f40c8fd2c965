#include <simplex/simplex_core_library.hpp>

#include <background/background_brep_library.hpp>
#include <common/modifier/common_modifier_model_library.hpp>

namespace orvane
{
    SimplexCoreLibrary::SimplexCoreLibrary() = default;

    void SimplexCoreLibrary::initialize()
    {
        initialize_library< SimplexCoreLibrary >( "SimplexCore" );
    }

    void SimplexCoreLibrary::do_initialize()
    {
        CommonModifierModelLibrary::initialize();
        BackgroundBRepLibrary::initialize();
    }
} // namespace orvane
