#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of what surface remeshing shares in 2-D and 3-D; registers
    /// nothing.
    class SimplexSurfaceCommonLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        SimplexSurfaceCommonLibrary();

        void do_initialize() override;
    };
} // namespace orvane
