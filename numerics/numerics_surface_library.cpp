#include <numerics/numerics_surface_library.hpp>

#include <openorvane/mesh/mesh_library.hpp>

namespace orvane
{
    NumericsSurfaceLibrary::NumericsSurfaceLibrary() = default;

    void NumericsSurfaceLibrary::initialize()
    {
        initialize_library< NumericsSurfaceLibrary >( "NumericsSurface" );
    }

    void NumericsSurfaceLibrary::do_initialize()
    {
        OpenOrvaneMeshLibrary::initialize();
    }
} // namespace orvane
