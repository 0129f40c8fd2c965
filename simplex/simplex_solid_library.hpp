#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of block meshing; registers nothing.
    class SimplexSolidLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        SimplexSolidLibrary();

        void do_initialize() override;
    };
} // namespace orvane
