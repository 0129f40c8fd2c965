#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of what the background meshes share; registers nothing.
    class BackgroundCommonLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        BackgroundCommonLibrary();

        void do_initialize() override;
    };
} // namespace orvane
