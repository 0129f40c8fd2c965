#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of the edged curve modifier: initialises
    /// "CommonModifierCommon", then registers the modifiers of the core
    /// edged curves ("OpenOrvaneEdgedCurve2D", then "OpenOrvaneEdgedCurve3D")
    /// in the mesh-modifier factory.
    class CommonModifierEdgedCurveLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        CommonModifierEdgedCurveLibrary();

        void do_initialize() override;
    };
} // namespace orvane
