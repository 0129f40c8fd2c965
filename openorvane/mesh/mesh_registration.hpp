#pragma once

namespace orvane
{
    namespace detail
    {
        /// Registers the point set, graph, edged curve and triangulated
        /// surface implementations in the mesh and mesh-builder factories.
        void register_point_set_curve_surface_meshes();

        /// Registers the solid mesh implementations in the mesh and
        /// mesh-builder factories.
        void register_solid_meshes();
    } // namespace detail
} // namespace orvane
