#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of explicit modeling of a model; registers nothing.
    class ExplicitBRepLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        ExplicitBRepLibrary();

        void do_initialize() override;
    };
} // namespace orvane
