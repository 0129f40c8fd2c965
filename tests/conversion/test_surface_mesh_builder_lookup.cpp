#include <string>

#include <gtest/gtest.h>

#include <conversion/conversion_model_library.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/mesh_factory.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep_builder.hpp>

namespace orvane
{
    namespace
    {
        /// A surface whose implementation name has no builder.
        class BuilderlessSurface : public OpenOrvaneTriangulatedSurface< 3 >
        {
        public:
            MeshImpl impl_name() const override
            {
                return MeshImpl{ "BuilderlessSurface3D" };
            }
        };

        /// A surface whose implementation name makes a point set builder.
        class PointBuiltSurface : public OpenOrvaneTriangulatedSurface< 3 >
        {
        public:
            static MeshImpl impl_name_static()
            {
                return MeshImpl{ "PointBuiltSurface3D" };
            }

            MeshImpl impl_name() const override
            {
                return impl_name_static();
            }
        };

        std::unique_ptr< VertexSetBuilder > point_set_builder( VertexSet& )
        {
            static OpenOrvanePointSet< 3 > points;
            return std::make_unique< OpenOrvanePointSetBuilder< 3 > >( points );
        }

        std::string lookup_failure( BRep& model, std::unique_ptr< SurfaceMesh< 3 > > mesh )
        {
            BRepBuilder builder{ model };
            const auto id = builder.add_surface();
            builder.update_surface_mesh( model.surface( id ), std::move( mesh ) );
            try
            {
                builder.surface_mesh_builder( id );
            }
            catch( const OpenOrvaneException& error )
            {
                return error.what();
            }
            return "no failure";
        }
    } // namespace

    TEST( SurfaceMeshBuilderLookup, UnknownAndMismatchedImplementationsFail )
    {
        ConversionModelLibrary::initialize();
        MeshBuilderFactory::register_creator(
            PointBuiltSurface::impl_name_static(), &point_set_builder );
        BRep model;
        EXPECT_EQ( lookup_failure( model, std::make_unique< BuilderlessSurface >() ),
            "[Factory::create] Factory does not contain the requested key" );
        EXPECT_EQ( lookup_failure( model, std::make_unique< PointBuiltSurface >() ),
            "Cannot create mesh builder with key: PointBuiltSurface3D" );
        // A surface of a registered implementation gets its builder.
        BRepBuilder builder{ model };
        const auto id = builder.add_surface();
        EXPECT_NE( builder.surface_mesh_builder( id ), nullptr );
    }
} // namespace orvane
