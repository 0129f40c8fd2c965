#include <simplex/simplex_solid_library.hpp>

#include <simplex/simplex_core_library.hpp>

namespace orvane
{
    SimplexSolidLibrary::SimplexSolidLibrary() = default;

    void SimplexSolidLibrary::initialize()
    {
        initialize_library< SimplexSolidLibrary >( "SimplexSolid" );
    }

    void SimplexSolidLibrary::do_initialize()
    {
        SimplexCoreLibrary::initialize();
    }
} // namespace orvane
