#include <simplex/surface/simplex_surface2d_library.hpp>

#include <simplex/surface/simplex_surface_common_library.hpp>

namespace orvane
{
    SimplexSurface2dLibrary::SimplexSurface2dLibrary() = default;

    void SimplexSurface2dLibrary::initialize()
    {
        initialize_library< SimplexSurface2dLibrary >( "SimplexSurface2d" );
    }

    void SimplexSurface2dLibrary::do_initialize()
    {
        SimplexSurfaceCommonLibrary::initialize();
    }
} // namespace orvane
