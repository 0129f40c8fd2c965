#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of the whole-model remeshing pipeline: brings in the corner,
    /// line, surface and solid stages; registers nothing.
    class SimplexBRepLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        SimplexBRepLibrary();

        void do_initialize() override;
    };
} // namespace orvane
