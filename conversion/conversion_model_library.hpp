#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of model building from meshes; registers nothing.
    class ConversionModelLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        ConversionModelLibrary();

        void do_initialize() override;
    };
} // namespace orvane
