#include <openorvane/mesh/mesh_library.hpp>

#include <openorvane/geometry/geometry_library.hpp>
#include <openorvane/mesh/mesh_registration.hpp>

namespace orvane
{
    OpenOrvaneMeshLibrary::OpenOrvaneMeshLibrary() = default;

    void OpenOrvaneMeshLibrary::initialize()
    {
        initialize_library< OpenOrvaneMeshLibrary >( "OpenOrvaneMesh" );
    }

    void OpenOrvaneMeshLibrary::do_initialize()
    {
        OpenOrvaneGeometryLibrary::initialize();
        detail::register_point_set_curve_surface_meshes();
        detail::register_solid_meshes();
    }
} // namespace orvane
