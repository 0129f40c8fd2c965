#include <background/background_solid_library.hpp>

#include <memory>

#include <openorvane/mesh/mesh_factory.hpp>
#include <openorvane/mesh/mesh_library.hpp>

#include <common/cutter/common_cutter_solid_library.hpp>
#include <common/modifier/mesh_modifier_factory.hpp>

#include <background/background_common_library.hpp>
#include <background/background_solid.hpp>
#include <background/background_solid_modifier.hpp>

namespace
{
    std::unique_ptr< orvane::VertexSetBuilder > create_background_solid_builder(
        orvane::VertexSet& mesh )
    {
        return std::make_unique< orvane::internal::BackgroundSolidBuilder >(
            dynamic_cast< orvane::internal::BackgroundSolid& >( mesh ) );
    }
} // namespace

namespace orvane
{
    BackgroundSolidLibrary::BackgroundSolidLibrary() = default;

    void BackgroundSolidLibrary::initialize()
    {
        initialize_library< BackgroundSolidLibrary >( "BackgroundSolid" );
    }

    void BackgroundSolidLibrary::do_initialize()
    {
        OpenOrvaneMeshLibrary::initialize();
        CommonCutterSolidLibrary::initialize();
        BackgroundCommonLibrary::initialize();
        detail::register_background_solid();
    }

    namespace detail
    {
        void register_background_solid()
        {
            using internal::BackgroundSolid;
            const auto key = BackgroundSolid::impl_name_static();
            MeshFactory::register_type( TetrahedralSolid< 3 >::type_name_static(), key );
            MeshFactory::register_creator< BackgroundSolid >( key );
            MeshBuilderFactory::register_creator(
                key, &create_background_solid_builder );
            MeshModifierFactory::register_modifier<
                internal::BackgroundSolidModifier, BackgroundSolid,
                internal::BackgroundSolidBuilder >( key );
        }
    } // namespace detail
} // namespace orvane
