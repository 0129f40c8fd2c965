#pragma once

#include <openorvane/basic/library.hpp>

namespace orvane
{
    /// The module of the core meshes. It initialises the geometry library,
    /// then registers every core mesh implementation in the mesh factory
    /// (creator, type, and default of its type) and its builder in the
    /// mesh-builder factory.
    class OpenOrvaneMeshLibrary : public Library
    {
        friend class Library;

    public:
        static void initialize();

    private:
        OpenOrvaneMeshLibrary();

        void do_initialize() override;
    };
} // namespace orvane
