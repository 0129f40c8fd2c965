#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// The module of the mesh inspectors (intersection finders). It
    /// initialises the model library first.
    class OpenOrvaneInspectorLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        OpenOrvaneInspectorLibrary();

        void do_initialize() override;
    };
} // namespace orvane
