#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of the surface parameterisation; registers nothing.
    class NumericsSurfaceLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        NumericsSurfaceLibrary();

        void do_initialize() override;
    };
} // namespace orvane
