#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of what every mesh modifier shares; registers nothing. Every
    /// modifier module initialises it before registering its modifiers.
    class CommonModifierCommonLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        CommonModifierCommonLibrary();

        void do_initialize() override;
    };
} // namespace orvane
