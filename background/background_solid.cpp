#include <background/background_solid.hpp>

#include <openorvane/basic/async.hpp>

namespace orvane
{
    namespace internal
    {
        BackgroundSolid::BackgroundSolid() = default;

        BackgroundSolid::BackgroundSolid( TetrahedralSolid< 3 >& solid )
        {
            auto* core = solid.impl_name()
                                 == OpenOrvaneTetrahedralSolid< 3 >::impl_name_static()
                             ? dynamic_cast< OpenOrvaneTetrahedralSolid< 3 >* >( &solid )
                             : nullptr;
            if( core != nullptr )
            {
                OpenOrvaneTetrahedralSolid< 3 >::operator=( std::move( *core ) );
            }
            else
            {
                OpenOrvaneTetrahedralSolidBuilder< 3 > copier{ *this };
                copier.copy( solid );
            }
            {
                BackgroundSolidBuilder builder{ *this };
                // The snapshot is taken before the tables are enabled: the
                // search needs none of them.
                builder.update_element_search( *this );
            }
            async::parallel_invoke(
                [this] { enable_facets(); }, [this] { enable_edges(); } );
            MacroInfo3D::create_macro_info_attributes( *this );
        }

        BackgroundSolid::~BackgroundSolid() = default;

        BackgroundSolidBuilder::BackgroundSolidBuilder( BackgroundSolid& solid )
            : OpenOrvaneTetrahedralSolidBuilder< 3 >( solid ),
              ElementSearchBuilder< TetrahedralSolid< 3 > >( solid ),
              MacroInfoBuilder3D( solid, solid ),
              solid_( solid )
        {
        }

        BackgroundSolidBuilder::~BackgroundSolidBuilder() = default;
    } // namespace internal
} // namespace orvane
