#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/predicates.hpp>

#include <numerics/lscm.hpp>
#include <numerics/numerics_surface_library.hpp>

#include <tests/support/surface_fixtures.hpp>

namespace
{
    using namespace orvane;
    using Surface3 = TriangulatedSurface< 3 >;
    using Triangles = std::vector< std::array< index_t, 3 > >;

    class LSCMTest : public ::testing::Test
    {
    protected:
        static void SetUpTestSuite()
        {
            NumericsSurfaceLibrary::initialize();
        }
    };

    std::shared_ptr< VariableAttribute< Point< 2 > > > lscm_attribute(
        const Surface3& mesh )
    {
        return mesh.vertex_attribute_manager()
            .find_or_create_attribute< VariableAttribute, Point< 2 > >(
                "lscm", Point< 2 >{ { -7., -7. } } );
    }

    /// Runs the caller's sequence and returns the 2-D surface.
    std::unique_ptr< TriangulatedSurface< 2 > > parameterize( const Surface3& mesh )
    {
        {
            internal::LSCM lscm{ mesh, lscm_attribute( mesh ),
                internal::LinearSolver{ 2 * mesh.nb_vertices() } };
            lscm.compute();
        }
        return internal::create_parameterized_surface( mesh, "lscm" );
    }

    std::string lscm_error( const Surface3& mesh )
    {
        try
        {
            internal::LSCM lscm{ mesh, lscm_attribute( mesh ),
                internal::LinearSolver{ 2 * mesh.nb_vertices() } };
            lscm.compute();
        }
        catch( const OpenOrvaneException& error )
        {
            return error.what();
        }
        return "no error";
    }

    /// The triangles of an nx x ny grid whose vertex (i, j) is placed at
    /// `place`( i / nx, j / ny ).
    template < typename Place >
    std::unique_ptr< Surface3 > mapped_grid( index_t nx, index_t ny, Place place )
    {
        std::vector< Point< 3 > > points;
        for( index_t j = 0; j <= ny; j++ )
        {
            for( index_t i = 0; i <= nx; i++ )
            {
                points.push_back( place( static_cast< double >( i ) / nx,
                    static_cast< double >( j ) / ny ) );
            }
        }
        return test::create_triangulated_surface< 3 >(
            points, test::grid_triangles( nx, ny ) );
    }

    void expect_positive_orientations( const TriangulatedSurface< 2 >& surface )
    {
        for( index_t p = 0; p < surface.nb_polygons(); p++ )
        {
            const auto triangle = surface.triangle( p );
            const auto& points = triangle.vertices();
            EXPECT_GT( detail::orient2d( points[0], points[1], points[2] ), 0. )
                << "triangle " << p;
        }
    }

    /// Every edge scaled by the same factor: the map is a similarity
    /// (with positive orientations, a direct one).
    void expect_similar( const Surface3& mesh,
        const TriangulatedSurface< 2 >& surface,
        double tolerance )
    {
        const auto ratio = surface.edge_length( { 0, 0 } ) / mesh.edge_length( { 0, 0 } );
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            for( const local_index_t e : { 0, 1, 2 } )
            {
                EXPECT_NEAR( surface.edge_length( { p, e } ) / mesh.edge_length( { p, e } ),
                    ratio, tolerance * ratio )
                    << "edge " << p << ", " << static_cast< int >( e );
            }
        }
    }
} // namespace

TEST_F( LSCMTest, PieceInPlaneZeroIsItsProjection )
{
    // An irregular planar piece: the result is the projection on the axes
    // u = (x + y) / sqrt 2, v = (y - x) / sqrt 2 of the plane z = 0, the
    // pinned vertices included.
    auto mesh = mapped_grid( 4, 3, []( double s, double t ) {
        return Point< 3 >{ { 3. * s + 0.3 * t * t, 2. * t + 0.2 * s * s, 0. } };
    } );
    const auto surface = parameterize( *mesh );
    ASSERT_EQ( surface->nb_vertices(), mesh->nb_vertices() );
    const auto axis = 1. / std::sqrt( 2. );
    for( index_t v = 0; v < mesh->nb_vertices(); v++ )
    {
        const auto& p = mesh->point( v );
        EXPECT_NEAR( surface->point( v ).value( 0 ),
            axis * p.value( 0 ) + axis * p.value( 1 ), 1e-5 )
            << v;
        EXPECT_NEAR( surface->point( v ).value( 1 ),
            axis * p.value( 1 ) - axis * p.value( 0 ), 1e-5 )
            << v;
    }
    expect_positive_orientations( *surface );
}

TEST_F( LSCMTest, TiltedPlanarDiscKeepsItsShape )
{
    // A disc of rings in a tilted plane, triangulated as a fan plus rings.
    const Vector< 3 > x_axis{ { 0.6, 0., 0.8 } };
    const Vector< 3 > y_axis{ { 0., 1., 0. } };
    const Point< 3 > centre{ { 5., -2., 1. } };
    constexpr index_t nb_rings = 3;
    constexpr index_t nb_sectors = 12;
    std::vector< Point< 3 > > points{ centre };
    for( index_t r = 1; r <= nb_rings; r++ )
    {
        for( index_t s = 0; s < nb_sectors; s++ )
        {
            const auto angle = 2. * std::numbers::pi * ( s + 0.5 * r ) / nb_sectors;
            points.push_back( centre + x_axis * ( r * std::cos( angle ) )
                              + y_axis * ( r * std::sin( angle ) ) );
        }
    }
    const auto ring = []( index_t r, index_t s ) {
        return 1 + ( r - 1 ) * nb_sectors + s % nb_sectors;
    };
    Triangles triangles;
    for( index_t s = 0; s < nb_sectors; s++ )
    {
        triangles.push_back( { 0, ring( 1, s ), ring( 1, s + 1 ) } );
    }
    for( index_t r = 1; r < nb_rings; r++ )
    {
        for( index_t s = 0; s < nb_sectors; s++ )
        {
            triangles.push_back( { ring( r, s ), ring( r + 1, s ), ring( r + 1, s + 1 ) } );
            triangles.push_back( { ring( r, s ), ring( r + 1, s + 1 ), ring( r, s + 1 ) } );
        }
    }
    auto mesh = test::create_triangulated_surface< 3 >( points, triangles );
    const auto surface = parameterize( *mesh );
    expect_positive_orientations( *surface );
    expect_similar( *mesh, *surface, 1e-5 );
}

TEST_F( LSCMTest, CurvedPiecesGiveValidEmbeddings )
{
    // A third of a cylinder is developable: its map is its unrolling.
    auto cylinder = mapped_grid( 24, 8, []( double s, double t ) {
        const auto angle = 2. * std::numbers::pi / 3. * s;
        return Point< 3 >{ { std::cos( angle ), std::sin( angle ), 3. * t } };
    } );
    const auto unrolled = parameterize( *cylinder );
    expect_positive_orientations( *unrolled );
    expect_similar( *cylinder, *unrolled, 1e-3 );

    // A disc with bumps of varying sign is not developable: only the
    // embedding is checked.
    auto bumpy = mapped_grid( 20, 20, []( double s, double t ) {
        const auto x = 2. * s - 1.;
        const auto y = 2. * t - 1.;
        return Point< 3 >{ { x, y,
            0.3 * std::sin( 3. * x ) * std::cos( 2. * y ) + 0.2 * x * y } };
    } );
    expect_positive_orientations( *parameterize( *bumpy ) );
}

TEST_F( LSCMTest, PinsTheExtremesOfTheLongerExtent )
{
    // Pyramids over a base quad (vertices 0 to 3) with apex 4. The average
    // plane is z = 0, with u = (x + y) / sqrt 2 and v = (y - x) / sqrt 2.
    // Pinned vertices keep their projections exactly; on a curved piece the
    // others move.
    struct Case
    {
        const char* name;
        std::array< Point< 3 >, 4 > base;
        std::array< index_t, 2 > pinned;
        index_t free;
    };
    const std::vector< Case > cases{
        // u extent 2 sqrt 2, v extent sqrt 2: least and greatest u.
        { "longer in u",
            { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 1.5, 0.5, 0. } },
                Point< 3 >{ { 2., 2., 0. } }, Point< 3 >{ { 0.5, 1.5, 0. } } },
            { 0, 2 }, 1 },
        // Equal extents: least and greatest v.
        { "equal extents",
            { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 1., 0., 0. } },
                Point< 3 >{ { 1., 1., 0. } }, Point< 3 >{ { 0., 1., 0. } } },
            { 1, 3 }, 0 },
    };
    for( const auto& test_case : cases )
    {
        SCOPED_TRACE( test_case.name );
        std::vector< Point< 3 > > points{ test_case.base.begin(), test_case.base.end() };
        auto apex = ( points[0] + points[2] ) / 2.;
        apex.set_value( 2, 0.6 );
        points.push_back( apex );
        auto mesh = test::create_triangulated_surface< 3 >(
            points, { { 0, 1, 4 }, { 1, 2, 4 }, { 2, 3, 4 }, { 3, 0, 4 } } );
        const auto surface = parameterize( *mesh );
        const auto axis = 1. / std::sqrt( 2. );
        const auto projection = [&]( index_t v ) {
            const auto& p = mesh->point( v );
            return Point< 2 >{ { axis * p.value( 0 ) + axis * p.value( 1 ),
                -axis * p.value( 0 ) + axis * p.value( 1 ) } };
        };
        for( const auto v : test_case.pinned )
        {
            EXPECT_NEAR( surface->point( v ).value( 0 ), projection( v ).value( 0 ), 1e-12 );
            EXPECT_NEAR( surface->point( v ).value( 1 ), projection( v ).value( 1 ), 1e-12 );
        }
        const Vector< 2 > moved{ projection( test_case.free ),
            surface->point( test_case.free ) };
        EXPECT_GT( moved.length(), 1e-2 );
        expect_positive_orientations( *surface );
    }
}

TEST_F( LSCMTest, FlatAndZeroSideTrianglesKeepTheSystemFinite )
{
    // A 3 x 3 grid with one extra triangle: a sliver whose corner 0 is
    // collinear with the other two (angle of 180 degrees), or a triangle
    // with a zero-length side, hanging on the grid's border edge 0-1.
    struct Case
    {
        const char* name;
        Point< 3 > extra_point;
        std::array< index_t, 3 > extra_triangle;
    };
    const std::vector< Case > cases{
        { "flat corner", Point< 3 >{ { 0.5 / 3., 0., 0. } }, { 16, 1, 0 } },
        { "zero-length side", Point< 3 >{ { 0., 0., 0. } }, { 16, 1, 0 } },
    };
    for( const auto& test_case : cases )
    {
        SCOPED_TRACE( test_case.name );
        auto grid = mapped_grid( 3, 3, []( double s, double t ) {
            return Point< 3 >{ { s, t, 0.1 * s * t } };
        } );
        std::vector< Point< 3 > > points;
        for( index_t v = 0; v < grid->nb_vertices(); v++ )
        {
            points.push_back( grid->point( v ) );
        }
        points.push_back( test_case.extra_point );
        auto triangles = test::grid_triangles( 3, 3 );
        triangles.push_back( test_case.extra_triangle );
        auto mesh = test::create_triangulated_surface< 3 >( points, triangles );
        const auto surface = parameterize( *mesh );
        for( index_t v = 0; v < surface->nb_vertices(); v++ )
        {
            EXPECT_TRUE( std::isfinite( surface->point( v ).value( 0 ) )
                         && std::isfinite( surface->point( v ).value( 1 ) ) )
                << v;
        }
        // The grid itself stays a valid embedding.
        for( index_t p = 0; p + 1 < surface->nb_polygons(); p++ )
        {
            const auto triangle = surface->triangle( p );
            const auto& corners = triangle.vertices();
            EXPECT_GT( detail::orient2d( corners[0], corners[1], corners[2] ), 0. )
                << "triangle " << p;
        }
    }
}

TEST_F( LSCMTest, PiecesWithoutAverageNormalAreRefused )
{
    struct Case
    {
        const char* name;
        std::vector< Point< 3 > > points;
        Triangles triangles;
    };
    const std::vector< Case > cases{
        { "coincident opposite triangles",
            { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 1., 0., 0. } },
                Point< 3 >{ { 0., 1., 0. } } },
            { { 0, 1, 2 }, { 0, 2, 1 } } },
        { "only degenerate triangles",
            { Point< 3 >{ { 0., 0., 0. } }, Point< 3 >{ { 1., 0., 0. } },
                Point< 3 >{ { 2., 0., 0. } } },
            { { 0, 1, 2 } } },
        { "no triangle", { Point< 3 >{ { 0., 0., 0. } } }, {} },
    };
    for( const auto& test_case : cases )
    {
        SCOPED_TRACE( test_case.name );
        auto mesh = test::create_triangulated_surface< 3 >(
            test_case.points, test_case.triangles );
        EXPECT_EQ( lscm_error( *mesh ),
            "[LSCM::average_plane] All triangles are degenerated" );
        // The attribute is written only after a successful solve.
        const auto attribute = lscm_attribute( *mesh );
        for( index_t v = 0; v < mesh->nb_vertices(); v++ )
        {
            EXPECT_EQ( attribute->value( v ), ( Point< 2 >{ { -7., -7. } } ) );
        }
    }
}

TEST_F( LSCMTest, ParameterizedSurfaceKeepsIndicesAndAdjacencies )
{
    auto mesh = test::grid_surface< 3 >( 2, 1 );
    const auto attribute = lscm_attribute( *mesh );
    for( index_t v = 0; v < mesh->nb_vertices(); v++ )
    {
        attribute->set_value( v, Point< 2 >{ { 10. + v, -1. * v } } );
    }
    const auto surface = internal::create_parameterized_surface( *mesh, "lscm" );
    ASSERT_EQ( surface->nb_vertices(), mesh->nb_vertices() );
    ASSERT_EQ( surface->nb_polygons(), mesh->nb_polygons() );
    for( index_t v = 0; v < mesh->nb_vertices(); v++ )
    {
        EXPECT_EQ( surface->point( v ), attribute->value( v ) );
    }
    for( index_t p = 0; p < mesh->nb_polygons(); p++ )
    {
        for( const local_index_t e : { 0, 1, 2 } )
        {
            EXPECT_EQ( surface->polygon_vertex( { p, e } ), mesh->polygon_vertex( { p, e } ) );
            EXPECT_EQ( surface->polygon_adjacent( { p, e } ),
                mesh->polygon_adjacent( { p, e } ) );
        }
    }

    auto bare = test::grid_surface< 3 >( 1, 1 );
    EXPECT_THROW(
        internal::create_parameterized_surface( *bare, "lscm" ), OpenOrvaneException );
}
