#include <common/modifier/common_modifier_solid_library.hpp>

#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <common/modifier/common_modifier_common_library.hpp>
#include <common/modifier/mesh_modifier_factory.hpp>
#include <common/modifier/tetrahedral_solid_modifier.hpp>

namespace orvane
{
    CommonModifierSolidLibrary::CommonModifierSolidLibrary() = default;

    void CommonModifierSolidLibrary::initialize()
    {
        initialize_library< CommonModifierSolidLibrary >( "CommonModifierSolid" );
    }

    void CommonModifierSolidLibrary::do_initialize()
    {
        CommonModifierCommonLibrary::initialize();
        MeshModifierFactory::register_modifier< TetrahedralSolidModifier,
            TetrahedralSolid< 3 >, TetrahedralSolidBuilder< 3 > >(
            MeshModifierFactory::key( "OpenOrvaneTetrahedralSolid", 3 ) );
    }
} // namespace orvane
