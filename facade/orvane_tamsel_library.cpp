#include <facade/orvane_tamsel_library.hpp>

#include <openorvane/basic/basic_library.hpp>
#include <openorvane/geometry/geometry_library.hpp>
#include <openorvane/mesh/mesh_library.hpp>
#include <openorvane/model/model_library.hpp>

#include <conversion/conversion_model_library.hpp>
#include <explicit/explicit_brep_library.hpp>
#include <simplex/simplex_brep_library.hpp>

namespace orvane_tamsel
{
    OrvaneTamselLibrary::OrvaneTamselLibrary() = default;

    OrvaneTamselLibrary::~OrvaneTamselLibrary() = default;

    void OrvaneTamselLibrary::initialize()
    {
        initialize_library< OrvaneTamselLibrary >( "OrvaneTamsel" );
    }

    void OrvaneTamselLibrary::do_initialize()
    {
        orvane::OpenOrvaneBasicLibrary::initialize();
        orvane::OpenOrvaneGeometryLibrary::initialize();
        orvane::OpenOrvaneMeshLibrary::initialize();
        orvane::OpenOrvaneModelLibrary::initialize();
        orvane::ConversionModelLibrary::initialize();
        orvane::ExplicitBRepLibrary::initialize();
        orvane::SimplexBRepLibrary::initialize();
    }
} // namespace orvane_tamsel
