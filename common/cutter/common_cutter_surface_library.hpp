#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of the surface cutters: brings in the surface modifiers;
    /// registers nothing.
    class CommonCutterSurfaceLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        CommonCutterSurfaceLibrary();

        void do_initialize() override;
    };
} // namespace orvane
