#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of the background model; registers nothing.
    class BackgroundBRepLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        BackgroundBRepLibrary();

        void do_initialize() override;
    };
} // namespace orvane
