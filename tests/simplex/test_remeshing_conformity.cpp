#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <conversion/conversion_model_library.hpp>
#include <conversion/model_builder_from_meshes.hpp>

#include <simplex/brep_remesher.hpp>
#include <simplex/metric/constant_metric.hpp>

#include <tests/simplex/remeshing_fixtures.hpp>
#include <tests/support/brep_checks.hpp>
#include <tests/support/conformal_meshes.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;

    BRep build( const std::vector< std::unique_ptr< TriangulatedSurface< 3 > > >& surfaces )
    {
        ConversionModelLibrary::initialize();
        std::vector< const SurfaceMesh< 3 >* > pointers;
        for( const auto& mesh : surfaces )
        {
            pointers.push_back( mesh.get() );
        }
        return std::get< 0 >( detail::build_brep_from_meshes( {}, {}, pointers ) );
    }

    /// A box of six faces.
    BRep box()
    {
        return build( cube_faces( 0, 1, 4 ) );
    }

    /// Two planes crossing along x = 0, z = 0, their grids sharing the
    /// crossing's vertices.
    BRep crossing_planes()
    {
        std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
        surfaces.push_back( rectangle( -1, -1, 1, 1, 0, 4 ) );
        TriangleSoup vertical;
        vertical.add_grid( p3( 0, -1, -1 ), Vector< 3 >{ { 0, 2, 0 } },
            Vector< 3 >{ { 0, 0, 2 } }, 4 );
        surfaces.push_back( vertical.mesh() );
        return build( surfaces );
    }

    /// Two planes crossing along x = 0, z = 0, each given as two halves that
    /// meet on the crossing, so that the crossing is a line of the model.
    BRep crossing_half_planes()
    {
        std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
        surfaces.push_back( rectangle( -1, -1, 0, 1, 0, 4 ) );
        surfaces.push_back( rectangle( 0, -1, 1, 1, 0, 4 ) );
        for( const double z0 : { -1., 0. } )
        {
            TriangleSoup vertical;
            vertical.add_grid( p3( 0, -1, z0 ), Vector< 3 >{ { 0, 2, 0 } },
                Vector< 3 >{ { 0, 0, 1 } }, 4 );
            surfaces.push_back( vertical.mesh() );
        }
        return build( surfaces );
    }

    /// A horizon at z = 0.5 inside a box, its border on the box faces.
    BRep horizon_in_a_box()
    {
        auto surfaces = cube_faces( 0, 1, 4 );
        surfaces.push_back( rectangle( 0, 0, 1, 1, 0.5, 4 ) );
        return build( surfaces );
    }

    TEST( RemeshingConformity, corners_and_lines_of_built_models_conform_after_the_line_stage )
    {
        struct Case
        {
            const char* name;
            BRep ( *make )();
            double metric;
        };
        for( const auto& [name, make, size] : { Case{ "box", &box, 0.3 },
                 Case{ "crossing planes", &crossing_planes, 0.15 },
                 Case{ "horizon in a box", &horizon_in_a_box, 0.12 } } )
        {
            SCOPED_TRACE( name );
            SimplexBRepLibrary::initialize();
            auto model = make();
            ASSERT_GT( model.nb_lines(), 0 );
            const auto nb_lines = model.nb_lines();
            const auto nb_corners = model.nb_corners();
            const ConstantMetric< 3 > metric{ size };
            BRepRemeshOptions options{ false, true, false, false, false, false };
            const internal::SurfaceStages stages{ []( RemeshingData< BRep >& ) {},
                []( BRep&, BRepGeometricModifier&, const internal::SurfaceRelaxerOptions& ) {} };
            const auto [output, mapping] =
                internal::remesh_brep( std::move( model ), metric, options, stages );
            EXPECT_EQ( output.nb_lines(), nb_lines );
            EXPECT_EQ( output.nb_corners(), nb_corners );
            expect_conformal_corners_and_lines( output, size );
        }
    }
} // namespace

namespace
{
    TEST( RemeshingConformity, surfaces_of_built_models_conform_after_the_surface_stage )
    {
        // The surface stage alone leaves the short edges where fronts meet
        // to the relaxation; the relaxed model must have more than 95% of its
        // edges near the metric.
        struct Case
        {
            const char* name;
            BRep ( *make )();
            double metric;
        };
        for( const auto& [name, make, size] : { Case{ "box", &box, 0.3 },
                 Case{ "crossing half planes", &crossing_half_planes, 0.15 },
                 Case{ "crossing planes", &crossing_planes, 0.15 },
                 Case{ "horizon in a box", &horizon_in_a_box, 0.12 } } )
        {
            for( const bool relax : { false, true } )
            {
                SCOPED_TRACE( std::string{ name } + ( relax ? ", relaxed" : "" ) );
                SimplexBRepLibrary::initialize();
                auto model = make();
                const auto shapes = input_surface_shapes( model );
                const ConstantMetric< 3 > metric{ size };
                const BRepRemeshOptions options{ false, relax, false, relax, false, false };
                const auto [output, mapping] = remesh_brep( std::move( model ), metric, options );
                EXPECT_EQ( output.nb_surfaces(), shapes.plane_normals.size() );
                const auto share =
                    expect_remeshed_surfaces( output, mapping, shapes, size, relax ? 0.95 : 0.9 );
                RecordProperty( std::string{ name } + ( relax ? " relaxed" : "" ) + " share",
                    std::to_string( share ) );
            }
        }
    }
} // namespace
