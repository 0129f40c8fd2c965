#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of the background tetrahedral solid.
    class BackgroundSolidLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        BackgroundSolidLibrary();

        void do_initialize() override;
    };
} // namespace orvane
