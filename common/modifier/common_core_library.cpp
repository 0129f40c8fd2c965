#include <common/modifier/common_core_library.hpp>

namespace orvane
{
    CommonCoreLibrary::CommonCoreLibrary() = default;

    void CommonCoreLibrary::initialize()
    {
        initialize_library< CommonCoreLibrary >( "CommonCore" );
    }

    void CommonCoreLibrary::do_initialize() {}
} // namespace orvane
