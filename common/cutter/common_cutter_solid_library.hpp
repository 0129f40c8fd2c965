#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of the solid cutters: brings in the solid modifier; registers
    /// nothing.
    class CommonCutterSolidLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        CommonCutterSolidLibrary();

        void do_initialize() override;
    };
} // namespace orvane
