#pragma once

#include <array>
#include <memory>

#include <openorvane/basic/types.hpp>
#include <openorvane/mesh/surface_mesh_builder.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>

namespace orvane
{
    /// Edits a TriangulatedSurface.
    template < index_t dimension >
    class TriangulatedSurfaceBuilder : public SurfaceMeshBuilder< dimension >
    {
    public:
        ~TriangulatedSurfaceBuilder() override;

        /// The builder registered for the surface's implementation name.
        /// Throws OpenOrvaneException "[Factory::create] Factory does not
        /// contain the requested key" for an unknown name and "Cannot create
        /// mesh builder with key: " + name when that builder is not a
        /// TriangulatedSurfaceBuilder.
        static std::unique_ptr< TriangulatedSurfaceBuilder > create(
            TriangulatedSurface< dimension >& mesh );

        /// Appends a triangle (local order kept, no adjacency) and returns
        /// its index; its vertices are associated with it.
        index_t create_triangle( const std::array< index_t, 3 >& vertices );

    protected:
        explicit TriangulatedSurfaceBuilder( TriangulatedSurface< dimension >& mesh );
    };

    /// The builder of OpenOrvaneTriangulatedSurface.
    template < index_t dimension >
    class OpenOrvaneTriangulatedSurfaceBuilder
        : public TriangulatedSurfaceBuilder< dimension >
    {
    public:
        /// Views the mesh as a TriangulatedSurface: throws std::bad_cast when
        /// it is not one.
        explicit OpenOrvaneTriangulatedSurfaceBuilder( VertexSet& mesh );
        explicit OpenOrvaneTriangulatedSurfaceBuilder(
            TriangulatedSurface< dimension >& mesh );
        ~OpenOrvaneTriangulatedSurfaceBuilder() override;
    };
} // namespace orvane
