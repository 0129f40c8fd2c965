#include <openorvane/mesh/mesh_registration.hpp>

#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/graph.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

namespace orvane
{
    namespace
    {
        /// Registers a core implementation: its creator, its type (also as
        /// the type's default) and its builder.
        template < typename Mesh, typename Builder, typename Type >
        void register_core_mesh()
        {
            const auto impl = Mesh::impl_name_static();
            const auto type = Type::type_name_static();
            MeshFactory::register_creator< Mesh >( impl );
            MeshFactory::register_type( type, impl );
            MeshFactory::register_default( type, impl );
            MeshBuilderFactory::register_creator< Builder >( impl );
        }

        template < index_t dimension >
        void register_meshes_of_dimension()
        {
            register_core_mesh< OpenOrvanePointSet< dimension >,
                OpenOrvanePointSetBuilder< dimension >, PointSet< dimension > >();
            register_core_mesh< OpenOrvaneEdgedCurve< dimension >,
                OpenOrvaneEdgedCurveBuilder< dimension >, EdgedCurve< dimension > >();
            register_core_mesh< OpenOrvaneTriangulatedSurface< dimension >,
                OpenOrvaneTriangulatedSurfaceBuilder< dimension >,
                TriangulatedSurface< dimension > >();
            // Surface meshes are triangulated here: the triangulated
            // implementation is also the default of the general surface type.
            MeshFactory::register_default( SurfaceMesh< dimension >::type_name_static(),
                OpenOrvaneTriangulatedSurface< dimension >::impl_name_static() );
        }
    } // namespace

    namespace detail
    {
        void register_point_set_curve_surface_meshes()
        {
            register_core_mesh< OpenOrvaneGraph, OpenOrvaneGraphBuilder, Graph >();
            register_meshes_of_dimension< 2 >();
            register_meshes_of_dimension< 3 >();
        }
    } // namespace detail
} // namespace orvane
