#include <common/modifier/common_modifier_surface_library.hpp>

#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <common/modifier/common_modifier_common_library.hpp>
#include <common/modifier/mesh_modifier_factory.hpp>
#include <common/modifier/triangulated_surface_modifier.hpp>

namespace orvane
{
    CommonModifierSurfaceLibrary::CommonModifierSurfaceLibrary() = default;

    void CommonModifierSurfaceLibrary::initialize()
    {
        initialize_library< CommonModifierSurfaceLibrary >(
            "CommonModifierSurface" );
    }

    void CommonModifierSurfaceLibrary::do_initialize()
    {
        CommonModifierCommonLibrary::initialize();
        MeshModifierFactory::register_modifier< TriangulatedSurfaceModifier< 2 >,
            TriangulatedSurface< 2 >, TriangulatedSurfaceBuilder< 2 > >(
            MeshModifierFactory::key( "OpenOrvaneTriangulatedSurface", 2 ) );
        MeshModifierFactory::register_modifier< TriangulatedSurfaceModifier< 3 >,
            TriangulatedSurface< 3 >, TriangulatedSurfaceBuilder< 3 > >(
            MeshModifierFactory::key( "OpenOrvaneTriangulatedSurface", 3 ) );
    }
} // namespace orvane
