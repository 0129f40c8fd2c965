#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of the background tetrahedral solid: registers it under the
    /// key "BackgroundSolid" in the mesh, mesh-builder and mesh-modifier
    /// factories.
    class BackgroundSolidLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        BackgroundSolidLibrary();

        void do_initialize() override;
    };

    namespace detail
    {
        /// Registers the background solid in the three factories: its type
        /// (a TetrahedralSolid<3> implementation, never the default one) and
        /// its mesh creator, its builder creator and its modifier creator. A
        /// key already present keeps its creator, with the factory's
        /// warning "Factory: Trying to register twice the same key".
        void register_background_solid();
    } // namespace detail
} // namespace orvane
