#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of what explicit modeling shares; registers nothing.
    class ExplicitCommonLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        ExplicitCommonLibrary();

        void do_initialize() override;
    };
} // namespace orvane
