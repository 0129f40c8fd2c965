#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of corner remeshing; registers nothing.
    class SimplexCornerLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        SimplexCornerLibrary();

        void do_initialize() override;
    };
} // namespace orvane
