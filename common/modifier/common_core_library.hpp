#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Base module of the modifier family; it needs and registers nothing.
    class CommonCoreLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        CommonCoreLibrary();

        void do_initialize() override;
    };
} // namespace orvane
