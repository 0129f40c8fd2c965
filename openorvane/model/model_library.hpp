#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// The module of the boundary-representation models. It initialises the
    /// mesh library first.
    class OpenOrvaneModelLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        OpenOrvaneModelLibrary();

        void do_initialize() override;
    };
} // namespace orvane
