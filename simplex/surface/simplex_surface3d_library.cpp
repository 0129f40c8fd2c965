#include <simplex/surface/simplex_surface3d_library.hpp>

#include <numerics/numerics_surface_library.hpp>
#include <simplex/surface/simplex_surface2d_library.hpp>

namespace orvane
{
    SimplexSurface3dLibrary::SimplexSurface3dLibrary() = default;

    void SimplexSurface3dLibrary::initialize()
    {
        initialize_library< SimplexSurface3dLibrary >( "SimplexSurface3d" );
    }

    void SimplexSurface3dLibrary::do_initialize()
    {
        NumericsSurfaceLibrary::initialize();
        SimplexSurface2dLibrary::initialize();
    }
} // namespace orvane
