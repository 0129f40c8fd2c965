#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of the tetrahedral solid modifier: initialises
    /// "CommonModifierCommon", then registers the modifier of the core
    /// tetrahedral solid ("OpenOrvaneTetrahedralSolid3D") in the
    /// mesh-modifier factory.
    class CommonModifierSolidLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        CommonModifierSolidLibrary();

        void do_initialize() override;
    };
} // namespace orvane
