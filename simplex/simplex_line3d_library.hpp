#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of line remeshing; registers nothing.
    class SimplexLine3dLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        SimplexLine3dLibrary();

        void do_initialize() override;
    };
} // namespace orvane
