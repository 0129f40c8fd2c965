#include <simplex/simplex_corner_library.hpp>

#include <simplex/simplex_core_library.hpp>

namespace orvane
{
    SimplexCornerLibrary::SimplexCornerLibrary() = default;

    void SimplexCornerLibrary::initialize()
    {
        initialize_library< SimplexCornerLibrary >( "SimplexCorner" );
    }

    void SimplexCornerLibrary::do_initialize()
    {
        SimplexCoreLibrary::initialize();
    }
} // namespace orvane
