#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of surface remeshing in 2-D; registers nothing.
    class SimplexSurface2dLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        SimplexSurface2dLibrary();

        void do_initialize() override;
    };
} // namespace orvane
