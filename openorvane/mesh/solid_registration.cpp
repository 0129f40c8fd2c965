#include <openorvane/mesh/mesh_registration.hpp>

#include <openorvane/mesh/openorvane_tetrahedral_solid.hpp>

namespace orvane
{
    namespace detail
    {
        void register_solid_meshes()
        {
            using Solid = OpenOrvaneTetrahedralSolid< 3 >;
            const auto impl = Solid::impl_name_static();
            MeshFactory::register_creator< Solid >( impl );
            // A tetrahedral solid is also a solid mesh: both types default to
            // the core implementation.
            for( const auto& type : { TetrahedralSolid< 3 >::type_name_static(),
                     SolidMesh< 3 >::type_name_static() } )
            {
                MeshFactory::register_type( type, impl );
                MeshFactory::register_default( type, impl );
            }
            MeshBuilderFactory::register_creator<
                OpenOrvaneTetrahedralSolidBuilder< 3 > >( impl );
        }
    } // namespace detail
} // namespace orvane
