#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// Start-up of the model modifiers: brings in the modifiers of every mesh
    /// kind of a model; registers nothing.
    class CommonModifierModelLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        CommonModifierModelLibrary();

        void do_initialize() override;
    };
} // namespace orvane
