#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// The module of the basic services (identifiers, logging, registry,
    /// factories, thread pool). It registers nothing.
    class OpenOrvaneBasicLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        OpenOrvaneBasicLibrary();

        void do_initialize() override;
    };
} // namespace orvane
