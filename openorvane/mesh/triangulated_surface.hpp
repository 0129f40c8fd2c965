#pragma once

#include <array>
#include <memory>
#include <string_view>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/mesh/surface_mesh.hpp>

namespace orvane
{
    template < index_t dimension >
    class TriangulatedSurfaceBuilder;

    /// A surface mesh whose polygons are triangles.
    template < index_t dimension >
    class TriangulatedSurface : public SurfaceMesh< dimension >
    {
    public:
        using Builder = TriangulatedSurfaceBuilder< dimension >;

        ~TriangulatedSurface() override;

        /// A new empty surface of the default implementation
        /// ("OpenOrvaneTriangulatedSurface2D" or "...3D").
        static std::unique_ptr< TriangulatedSurface > create();

        /// A new empty surface of the given implementation. Throws
        /// OpenOrvaneException when the key is unknown or is not a
        /// triangulated surface.
        static std::unique_ptr< TriangulatedSurface > create(
            const MeshImpl& impl );

        /// "TriangulatedSurface2D" or "TriangulatedSurface3D".
        static MeshType type_name_static();

        /// A copy of geometry, topology, edge table (when enabled),
        /// attributes, uuid and name, of the same implementation.
        std::unique_ptr< TriangulatedSurface > clone() const;

        /// The triangle of the polygon's three points, in local order.
        Triangle< dimension > triangle( index_t polygon_id ) const;

    protected:
        TriangulatedSurface();
        TriangulatedSurface( TriangulatedSurface&& other ) noexcept;
        TriangulatedSurface& operator=( TriangulatedSurface&& other ) noexcept;
    };

    /// The core implementation of triangulated surfaces.
    template < index_t dimension >
    class OpenOrvaneTriangulatedSurface : public TriangulatedSurface< dimension >
    {
    public:
        OpenOrvaneTriangulatedSurface();
        OpenOrvaneTriangulatedSurface( OpenOrvaneTriangulatedSurface&& other ) noexcept;
        OpenOrvaneTriangulatedSurface& operator=(
            OpenOrvaneTriangulatedSurface&& other ) noexcept;
        ~OpenOrvaneTriangulatedSurface() override;

        /// "OpenOrvaneTriangulatedSurface" + dimension + "D".
        static MeshImpl impl_name_static();

        MeshImpl impl_name() const override;

        MeshType type_name() const override;

        /// "oo_tsf" + dimension + "d".
        std::string_view native_extension() const override;
    };

    using TriangulatedSurface2D = TriangulatedSurface< 2 >;
    using TriangulatedSurface3D = TriangulatedSurface< 3 >;
} // namespace orvane
