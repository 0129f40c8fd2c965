#include <common/modifier/common_modifier_common_library.hpp>

#include <common/modifier/common_core_library.hpp>
#include <openorvane/mesh/mesh_library.hpp>

namespace orvane
{
    CommonModifierCommonLibrary::CommonModifierCommonLibrary() = default;

    void CommonModifierCommonLibrary::initialize()
    {
        initialize_library< CommonModifierCommonLibrary >(
            "CommonModifierCommon" );
    }

    void CommonModifierCommonLibrary::do_initialize()
    {
        OpenOrvaneMeshLibrary::initialize();
        CommonCoreLibrary::initialize();
    }
} // namespace orvane
