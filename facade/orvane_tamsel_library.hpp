#pragma once

#include <openorvane/basic/library.hpp>

#include <facade/export.hpp>

namespace orvane_tamsel
{
    /// The library's start-up. A host calls `initialize()` once before using
    /// anything else of the library: it initialises the core model library
    /// and every module of this library, which fill the mesh, mesh-builder
    /// and mesh-modifier factories. Further calls do nothing more; calls from
    /// several threads are safe.
    class ORVANE_TAMSEL_API OrvaneTamselLibrary : public orvane::Library
    {
    public:
        OrvaneTamselLibrary();
        ~OrvaneTamselLibrary() override;

        static void initialize();

    private:
        void do_initialize() override;
    };
} // namespace orvane_tamsel
