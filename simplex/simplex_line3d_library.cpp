#include <simplex/simplex_line3d_library.hpp>

#include <simplex/simplex_core_library.hpp>

namespace orvane
{
    SimplexLine3dLibrary::SimplexLine3dLibrary() = default;

    void SimplexLine3dLibrary::initialize()
    {
        initialize_library< SimplexLine3dLibrary >( "SimplexLine3d" );
    }

    void SimplexLine3dLibrary::do_initialize()
    {
        SimplexCoreLibrary::initialize();
    }
} // namespace orvane
