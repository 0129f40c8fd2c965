#include <explicit/explicit_common_library.hpp>

#include <openorvane/mesh/mesh_library.hpp>

namespace orvane
{
    ExplicitCommonLibrary::ExplicitCommonLibrary() = default;

    void ExplicitCommonLibrary::initialize()
    {
        initialize_library< ExplicitCommonLibrary >( "ExplicitCommon" );
    }

    void ExplicitCommonLibrary::do_initialize()
    {
        OpenOrvaneMeshLibrary::initialize();
    }
} // namespace orvane
