#include <simplex/simplex_brep_library.hpp>

#include <simplex/simplex_corner_library.hpp>
#include <simplex/simplex_line3d_library.hpp>
#include <simplex/simplex_solid_library.hpp>
#include <simplex/surface/simplex_surface3d_library.hpp>

namespace orvane
{
    SimplexBRepLibrary::SimplexBRepLibrary() = default;

    void SimplexBRepLibrary::initialize()
    {
        initialize_library< SimplexBRepLibrary >( "SimplexBRep" );
    }

    void SimplexBRepLibrary::do_initialize()
    {
        SimplexCornerLibrary::initialize();
        SimplexLine3dLibrary::initialize();
        SimplexSurface3dLibrary::initialize();
        SimplexSolidLibrary::initialize();
    }
} // namespace orvane
