#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of surface remeshing in 3-D; registers nothing.
    class SimplexSurface3dLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        SimplexSurface3dLibrary();

        void do_initialize() override;
    };
} // namespace orvane
