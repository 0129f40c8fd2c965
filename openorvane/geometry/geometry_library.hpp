#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// The module of points, primitives, predicates and search trees. It
    /// initialises the basic library, then the exact predicates.
    class OpenOrvaneGeometryLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        OpenOrvaneGeometryLibrary();

        void do_initialize() override;
    };
} // namespace orvane
