#pragma once

#include <memory>

#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <background/background_solid.hpp>
#include <background/background_solid_library.hpp>

#include <tests/support/solid_fixtures.hpp>

namespace orvane::test
{
    /// A background solid made from (and taking over) a solid of the core
    /// implementation, with the background module started.
    inline std::unique_ptr< internal::BackgroundSolid > background_from(
        std::unique_ptr< TetrahedralSolid< 3 > > solid )
    {
        BackgroundSolidLibrary::initialize();
        return std::make_unique< internal::BackgroundSolid >( *solid );
    }

    /// A background solid over a block of nx * ny * nz unit cells of six
    /// tetrahedra (grid_tetrahedral_solid).
    inline std::unique_ptr< internal::BackgroundSolid > background_grid(
        index_t nx, index_t ny, index_t nz )
    {
        return background_from( grid_tetrahedral_solid( nx, ny, nz ) );
    }
} // namespace orvane::test
