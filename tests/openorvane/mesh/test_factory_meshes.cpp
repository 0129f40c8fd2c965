#include <typeinfo>

#include <gtest/gtest.h>

#include <openorvane/basic/logger.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/graph.hpp>
#include <openorvane/mesh/mesh_factory.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <tests/support/surface_fixtures.hpp>

namespace orvane
{
    namespace
    {
        constexpr auto MISSING_KEY =
            "[Factory::create] Factory does not contain the requested key";

        /// A surface implementation that the tests register under their own
        /// key, as a later module would.
        class TestSurface : public OpenOrvaneTriangulatedSurface< 3 >
        {
        public:
            static MeshImpl impl_name_static()
            {
                return MeshImpl{ "TestSurface3D" };
            }

            MeshImpl impl_name() const override
            {
                return impl_name_static();
            }
        };

        /// A surface whose implementation name has no builder.
        class UnregisteredSurface : public OpenOrvaneTriangulatedSurface< 3 >
        {
        public:
            MeshImpl impl_name() const override
            {
                return MeshImpl{ "UnregisteredSurface3D" };
            }
        };

        /// A surface whose implementation name makes a point set builder.
        class MismatchedSurface : public OpenOrvaneTriangulatedSurface< 3 >
        {
        public:
            static MeshImpl impl_name_static()
            {
                return MeshImpl{ "MismatchedSurface3D" };
            }

            MeshImpl impl_name() const override
            {
                return impl_name_static();
            }
        };

        std::unique_ptr< VertexSetBuilder > create_point_set_builder( VertexSet& )
        {
            static OpenOrvanePointSet< 3 > points;
            return std::make_unique< OpenOrvanePointSetBuilder< 3 > >( points );
        }

        void register_test_meshes()
        {
            static const bool registered = [] {
                test::initialize_surface_meshes();
                MeshFactory::register_creator< TestSurface >( TestSurface::impl_name_static() );
                MeshFactory::register_type( TriangulatedSurface< 3 >::type_name_static(),
                    TestSurface::impl_name_static() );
                MeshFactory::register_default( TriangulatedSurface< 3 >::type_name_static(),
                    TestSurface::impl_name_static() );
                MeshBuilderFactory::register_creator<
                    OpenOrvaneTriangulatedSurfaceBuilder< 3 > >(
                    TestSurface::impl_name_static() );
                MeshBuilderFactory::register_creator(
                    MismatchedSurface::impl_name_static(), &create_point_set_builder );
                return true;
            }();
            EXPECT_TRUE( registered );
        }

        std::string message_of( const std::function< void() >& action )
        {
            try
            {
                action();
            }
            catch( const OpenOrvaneException& error )
            {
                return error.what();
            }
            return "no exception";
        }
    } // namespace

    TEST( FactoryMeshes, DefaultImplementationsAndNames )
    {
        test::initialize_surface_meshes();
        struct Case
        {
            std::unique_ptr< VertexSet > mesh;
            const char* impl;
            const char* type;
            const char* extension;
        };
        std::vector< Case > cases;
        cases.push_back( { TriangulatedSurface< 3 >::create(),
            "OpenOrvaneTriangulatedSurface3D", "TriangulatedSurface3D", "oo_tsf3d" } );
        cases.push_back( { TriangulatedSurface< 2 >::create(),
            "OpenOrvaneTriangulatedSurface2D", "TriangulatedSurface2D", "oo_tsf2d" } );
        cases.push_back( { SurfaceMesh< 3 >::create(), "OpenOrvaneTriangulatedSurface3D",
            "TriangulatedSurface3D", "oo_tsf3d" } );
        cases.push_back( { EdgedCurve< 3 >::create(), "OpenOrvaneEdgedCurve3D",
            "EdgedCurve3D", "oo_edc3d" } );
        cases.push_back( { EdgedCurve< 2 >::create(), "OpenOrvaneEdgedCurve2D",
            "EdgedCurve2D", "oo_edc2d" } );
        cases.push_back( { PointSet< 3 >::create(), "OpenOrvanePointSet3D", "PointSet3D",
            "oo_pts3d" } );
        cases.push_back( { Graph::create(), "OpenOrvaneGraph", "Graph", "oo_grp" } );
        for( const auto& test_case : cases )
        {
            EXPECT_EQ( test_case.mesh->impl_name().get(), test_case.impl );
            EXPECT_EQ( test_case.mesh->type_name().get(), test_case.type );
            EXPECT_EQ( test_case.mesh->native_extension(), test_case.extension );
            EXPECT_EQ( MeshFactory::type( test_case.mesh->impl_name() ).get(),
                test_case.type );
            // The builder made by implementation name works on the mesh.
            auto builder = VertexSetBuilder::create( *test_case.mesh );
            EXPECT_EQ( builder->create_vertices( 3 ), 0 );
            EXPECT_EQ( test_case.mesh->nb_vertices(), 3 );
        }
        EXPECT_EQ( OpenOrvaneTriangulatedSurface< 3 >::impl_name_static().get(),
            "OpenOrvaneTriangulatedSurface3D" );
        EXPECT_EQ( OpenOrvaneEdgedCurve< 2 >::impl_name_static().get(),
            "OpenOrvaneEdgedCurve2D" );
    }

    TEST( FactoryMeshes, LaterImplementationsDoNotReplaceTheDefault )
    {
        register_test_meshes();
        EXPECT_EQ( MeshFactory::default_impl( TriangulatedSurface< 3 >::type_name_static() ),
            OpenOrvaneTriangulatedSurface< 3 >::impl_name_static() );
        const auto implementations =
            MeshFactory::implementations( TriangulatedSurface< 3 >::type_name_static() );
        EXPECT_EQ( implementations.size(), 2 );
        // create( impl ) goes through the factory, and a clone keeps the
        // implementation of what it copies.
        auto surface = TriangulatedSurface< 3 >::create( TestSurface::impl_name_static() );
        ASSERT_TRUE( dynamic_cast< TestSurface* >( surface.get() ) );
        auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
        builder->create_point( test::planar_point< 3 >( 1, 2 ) );
        const auto clone = surface->clone();
        EXPECT_TRUE( dynamic_cast< TestSurface* >( clone.get() ) );
        EXPECT_EQ( clone->point( 0 ), test::planar_point< 3 >( 1, 2 ) );
    }

    TEST( FactoryMeshes, RegisteringTwiceKeepsTheFirstCreator )
    {
        register_test_meshes();
        LoggerCapture capture;
        MeshFactory::register_creator< OpenOrvaneEdgedCurve< 3 > >(
            TestSurface::impl_name_static() );
        EXPECT_EQ( capture.count(
                       Logger::Level::warn, "Factory: Trying to register twice the same key" ),
            1 );
        EXPECT_TRUE( dynamic_cast< TestSurface* >(
            MeshFactory::create( TestSurface::impl_name_static() ).get() ) );
    }

    TEST( FactoryMeshes, CreationFailures )
    {
        register_test_meshes();
        EXPECT_EQ( message_of( [] { MeshFactory::create( MeshImpl{ "NoSuchMesh" } ); } ),
            MISSING_KEY );
        EXPECT_EQ( message_of( [] {
            TriangulatedSurface< 3 >::create( OpenOrvaneEdgedCurve< 3 >::impl_name_static() );
        } ),
            "Cannot create mesh with key: OpenOrvaneEdgedCurve3D" );

        UnregisteredSurface unregistered;
        EXPECT_EQ( message_of( [&] { TriangulatedSurfaceBuilder< 3 >::create( unregistered ); } ),
            MISSING_KEY );

        MismatchedSurface mismatched;
        EXPECT_EQ( message_of( [&] { TriangulatedSurfaceBuilder< 3 >::create( mismatched ); } ),
            "Cannot create mesh builder with key: MismatchedSurface3D" );

        // A builder made for a mesh of another class cannot view it.
        auto curve = EdgedCurve< 3 >::create();
        EXPECT_THROW(
            MeshBuilderFactory::create( OpenOrvaneTriangulatedSurface< 3 >::impl_name_static(),
                *curve ),
            std::bad_cast );
        VertexSet& as_vertex_set = *curve;
        EXPECT_THROW(
            (void) dynamic_cast< TriangulatedSurface< 3 >& >( as_vertex_set ), std::bad_cast );
        EXPECT_THROW(
            MeshFactory::default_impl( MeshType{ "NoSuchType" } ), OpenOrvaneException );
    }
} // namespace orvane
