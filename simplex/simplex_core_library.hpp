#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of what the remeshing stages share: the model modifiers and the
    /// background model; registers nothing.
    class SimplexCoreLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        SimplexCoreLibrary();

        void do_initialize() override;
    };
} // namespace orvane
