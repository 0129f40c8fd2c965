#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of the triangulated surface modifier: initialises
    /// "CommonModifierCommon", then registers the modifiers of the core
    /// triangulated surfaces ("OpenOrvaneTriangulatedSurface2D", then
    /// "OpenOrvaneTriangulatedSurface3D") in the mesh-modifier factory.
    class CommonModifierSurfaceLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        CommonModifierSurfaceLibrary();

        void do_initialize() override;
    };
} // namespace orvane
