#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include <oneapi/tbb/global_control.h>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/logger.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/predicates.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/model/brep.hpp>
#include <openorvane/model/brep_builder.hpp>

#include <common/modifier/brep_geometric_modifier.hpp>

#include <simplex/metric/constant_metric.hpp>
#include <simplex/surface/brep_surface_relaxation.hpp>
#include <simplex/surface/surface_relaxer.hpp>

#include <tests/simplex/remeshing_fixtures.hpp>
#include <tests/support/brep_checks.hpp>
#include <tests/support/brep_fixtures.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::test;

    const double NaN = std::numeric_limits< double >::quiet_NaN();

    constexpr std::array< const char*, 3 > VERTEX_ATTRIBUTES{ "stamp", "fixed",
        "BRepSurfaceRelaxer 2d" };
    constexpr std::array< const char*, 2 > POLYGON_ATTRIBUTES{ "stamp", "quality" };

    void relax( BRep& model, const internal::SurfaceRelaxerOptions& options, bool clean = true )
    {
        SimplexBRepLibrary::initialize();
        BRepBuilder builder{ model };
        BRepGeometricModifier modifier{ model, builder };
        internal::relax_surfaces( model, modifier, options );
        if( clean )
        {
            modifier.clean();
        }
    }

    internal::SurfaceRelaxerOptions full( const Metric< 3 >* metric )
    {
        return { true, true, metric };
    }

    internal::SurfaceRelaxerOptions flips_only()
    {
        return { false, true, nullptr };
    }

    const TriangulatedSurface< 3 >& mesh_of( const BRep& model, const uuid& surface )
    {
        return dynamic_cast< const TriangulatedSurface< 3 >& >( model.surface( surface ).mesh() );
    }

    void expect_no_working_attribute( const BRep& model )
    {
        for( const auto& surface : model.surfaces() )
        {
            const auto& mesh = surface.mesh();
            for( const auto* name : VERTEX_ATTRIBUTES )
            {
                EXPECT_FALSE( mesh.vertex_attribute_manager().attribute_exists( name ) ) << name;
            }
            for( const auto* name : POLYGON_ATTRIBUTES )
            {
                EXPECT_FALSE( mesh.polygon_attribute_manager().attribute_exists( name ) ) << name;
            }
        }
    }

    double quality_of( const TriangulatedSurface< 3 >& mesh, index_t polygon )
    {
        const auto v = mesh.polygon_vertices( polygon );
        return internal::triangle_quality( mesh.point( v[0] ), mesh.point( v[1] ), mesh.point( v[2] ) );
    }

    struct QualityFigures
    {
        double minimum{ 1. };
        double mean{ 0. };
        /// Share of edges with length in [L / sqrt 2, L sqrt 2].
        double edges_near_metric{ 0. };
    };

    QualityFigures figures( const TriangulatedSurface< 3 >& mesh, double metric )
    {
        QualityFigures result;
        index_t near{ 0 };
        index_t edges{ 0 };
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            const auto quality = quality_of( mesh, p );
            result.minimum = std::min( result.minimum, quality );
            result.mean += quality;
            for( const local_index_t e : { 0, 1, 2 } )
            {
                const auto length = mesh.edge_length( { p, e } );
                edges++;
                if( length >= metric / std::sqrt( 2. ) && length <= metric * std::sqrt( 2. ) )
                {
                    near++;
                }
            }
        }
        result.mean /= static_cast< double >( mesh.nb_polygons() );
        result.edges_near_metric = static_cast< double >( near ) / static_cast< double >( edges );
        return result;
    }

    void log_figures( const std::string& title, const QualityFigures& before, const QualityFigures& after )
    {
        Logger::log_info( title, ": mean radius ratio ", before.mean, " -> ", after.mean,
            ", minimum ", before.minimum, " -> ", after.minimum, ", edges within metric bounds ",
            before.edges_near_metric, " -> ", after.edges_near_metric );
    }

    /// A regular grid sheet bounded by lines: (n + 1)^2 points, point
    /// j * (n + 1) + i at height(x, y) over (i / n, j / n) with the inner
    /// points shifted by up to `jitter` cell lengths in x and y (fixed
    /// seed), every point on its own unique vertex (same index), corners
    /// at the four grid corners, and lines along the four sides (split at
    /// the column `crease` when it is set, along which an inner line runs).
    struct GridSheet
    {
        BRep model;
        uuid surface;
        index_t n{ 0 };
        std::vector< uuid > lines;
    };

    GridSheet grid_sheet( index_t n,
        double jitter,
        const std::function< double( double, double ) >& height,
        index_t crease = NO_ID )
    {
        SimplexBRepLibrary::initialize();
        GridSheet sheet;
        sheet.n = n;
        const auto step = 1. / static_cast< double >( n );
        std::mt19937 random{ 42 };
        const auto shift = [&random, jitter, step] {
            return ( static_cast< double >( random() ) / 4294967295. - 0.5 ) * 2. * jitter * step;
        };
        std::vector< Point< 3 > > points;
        std::vector< index_t > uniques;
        const auto index = [n]( index_t i, index_t j ) { return j * ( n + 1 ) + i; };
        for( index_t j = 0; j <= n; j++ )
        {
            for( index_t i = 0; i <= n; i++ )
            {
                auto x = static_cast< double >( i ) * step;
                auto y = static_cast< double >( j ) * step;
                if( i > 0 && i < n && j > 0 && j < n && i != crease )
                {
                    x += shift();
                    y += shift();
                }
                points.push_back( p3( x, y, height( x, y ) ) );
                uniques.push_back( index( i, j ) );
            }
        }
        std::vector< std::array< index_t, 3 > > triangles;
        for( index_t j = 0; j < n; j++ )
        {
            for( index_t i = 0; i < n; i++ )
            {
                const auto v = index( i, j );
                triangles.push_back( { v, v + 1, v + n + 2 } );
                triangles.push_back( { v, v + n + 2, v + n + 1 } );
            }
        }
        {
            BRepBuilder builder{ sheet.model };
            builder.create_unique_vertices( ( n + 1 ) * ( n + 1 ) );
        }
        sheet.surface = add_linked_surface( sheet.model, points, triangles, uniques );
        std::vector< index_t > corner_vertices{ index( 0, 0 ), index( n, 0 ), index( n, n ),
            index( 0, n ) };
        if( crease != NO_ID )
        {
            corner_vertices.push_back( index( crease, 0 ) );
            corner_vertices.push_back( index( crease, n ) );
        }
        std::vector< std::pair< uuid, index_t > > corners;
        for( const auto v : corner_vertices )
        {
            corners.emplace_back( add_linked_corner( sheet.model, points[v], v ), v );
        }
        // Chains of grid vertices, each made a line.
        std::vector< std::vector< index_t > > chains;
        const auto add_chain = [&chains]( std::vector< index_t > chain ) {
            chains.push_back( std::move( chain ) );
        };
        std::vector< index_t > chain;
        const auto flush = [&] {
            add_chain( chain );
            chain.assign( 1, chain.back() );
        };
        // Bottom, then top, split at the crease.
        for( const index_t j : { index_t{ 0 }, n } )
        {
            chain.assign( 1, index( 0, j ) );
            for( index_t i = 1; i <= n; i++ )
            {
                chain.push_back( index( i, j ) );
                if( i == crease )
                {
                    flush();
                }
            }
            add_chain( chain );
        }
        for( const index_t i : { index_t{ 0 }, n } )
        {
            chain.clear();
            for( index_t j = 0; j <= n; j++ )
            {
                chain.push_back( index( i, j ) );
            }
            add_chain( chain );
        }
        const auto nb_border_chains = chains.size();
        if( crease != NO_ID )
        {
            chain.clear();
            for( index_t j = 0; j <= n; j++ )
            {
                chain.push_back( index( crease, j ) );
            }
            add_chain( chain );
        }
        BRepBuilder builder{ sheet.model };
        for( std::size_t c = 0; c < chains.size(); c++ )
        {
            std::vector< Point< 3 > > line_points;
            for( const auto v : chains[c] )
            {
                line_points.push_back( points[v] );
            }
            const auto line_id = add_linked_line( sheet.model, line_points, chains[c] );
            sheet.lines.push_back( line_id );
            const auto& line = sheet.model.line( line_id );
            for( const auto& [corner, v] : corners )
            {
                if( v == chains[c].front() || v == chains[c].back() )
                {
                    builder.add_corner_line_boundary_relationship( sheet.model.corner( corner ), line );
                }
            }
            if( c < nb_border_chains )
            {
                builder.add_line_surface_boundary_relationship( line, sheet.model.surface( sheet.surface ) );
            }
            else
            {
                builder.add_line_surface_internal_relationship( line, sheet.model.surface( sheet.surface ) );
            }
        }
        return sheet;
    }

    double flat( double, double )
    {
        return 0.;
    }

    /// Sorted points of every line and corner mesh vertex.
    std::vector< Point< 3 > > sorted_line_points( const BRep& model )
    {
        std::vector< Point< 3 > > points;
        for( const auto& corner : model.corners() )
        {
            points.push_back( corner.mesh().point( 0 ) );
        }
        for( const auto& line : model.lines() )
        {
            for( index_t v = 0; v < line.mesh().nb_vertices(); v++ )
            {
                points.push_back( line.mesh().point( v ) );
            }
        }
        std::sort( points.begin(), points.end(), []( const Point< 3 >& a, const Point< 3 >& b ) {
            return std::tuple{ a.value( 0 ), a.value( 1 ), a.value( 2 ) }
                   < std::tuple{ b.value( 0 ), b.value( 1 ), b.value( 2 ) };
        } );
        return points;
    }

    /// Every triangle of the z = const sheet turns counter-clockwise seen
    /// from +z (exact sign).
    void expect_all_triangles_positive_in_xy( const TriangulatedSurface< 3 >& mesh )
    {
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            const auto v = mesh.polygon_vertices( p );
            EXPECT_EQ( triangle_area_sign(
                           Triangle< 3 >{ mesh.point( v[0] ), mesh.point( v[1] ), mesh.point( v[2] ) }, 2 ),
                SIDE::positive )
                << "polygon " << p;
        }
    }
} // namespace

namespace
{
    TEST( SurfaceRelaxation, triangle_quality_is_twice_inradius_over_circumradius )
    {
        struct Case
        {
            const char* name;
            Point< 3 > a, b, c;
            double expected;
        };
        const std::vector< Case > cases{
            { "equilateral", p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 0.5, std::sqrt( 3. ) / 2, 0 ), 1. },
            { "right isosceles", p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 0, 1, 0 ), 2. * ( std::sqrt( 2. ) - 1. ) },
            { "flat", p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 2, 0, 0 ), 0. },
            { "two corners at one point", p3( 0, 0, 0 ), p3( 0, 0, 0 ), p3( 0, 1, 0 ), NaN },
        };
        for( const auto& test : cases )
        {
            const auto quality = internal::triangle_quality( test.a, test.b, test.c );
            if( std::isnan( test.expected ) )
            {
                EXPECT_TRUE( std::isnan( quality ) ) << test.name;
            }
            else
            {
                EXPECT_NEAR( quality, test.expected, 1e-9 ) << test.name;
            }
        }
        EXPECT_NEAR( internal::triangle_quality( p3( 0, 0, 0 ), p3( 1, 0, 0 ), p3( 0, 1, 0 ) ), 0.828427, 1e-6 );
    }

    /// Two triangles P = (A, B, C) and Q = (B, A, D) on their own unique
    /// vertices, without lines.
    struct Quad
    {
        BRep model;
        uuid surface;
    };

    Quad quad( const Point< 3 >& a, const Point< 3 >& b, const Point< 3 >& c, const Point< 3 >& d )
    {
        SimplexBRepLibrary::initialize();
        Quad result;
        {
            BRepBuilder builder{ result.model };
            builder.create_unique_vertices( 4 );
        }
        result.surface = add_linked_surface( result.model, { a, b, c, d }, { { 0, 1, 2 }, { 1, 0, 3 } }, { 0, 1, 2, 3 } );
        return result;
    }

    /// Whether relaxing the quad flipped its diagonal A-B.
    bool diagonal_flipped( const Point< 3 >& a, const Point< 3 >& b, const Point< 3 >& c, const Point< 3 >& d )
    {
        auto fixture = quad( a, b, c, d );
        relax( fixture.model, flips_only() );
        const auto& mesh = mesh_of( fixture.model, fixture.surface );
        EXPECT_EQ( mesh.nb_polygons(), 2 );
        return !mesh.polygon_edge_from_vertices( 0, 1 ) && !mesh.polygon_edge_from_vertices( 1, 0 );
    }

    /// The gain of flipping the kite A = (-1, 0), B = (1, 0), C = (0, h),
    /// D = (0, -h), computed as the relaxer does.
    double kite_gain( double h )
    {
        const auto a = p3( -1, 0, 0 );
        const auto b = p3( 1, 0, 0 );
        const auto c = p3( 0, h, 0 );
        const auto d = p3( 0, -h, 0 );
        const auto old = std::min( internal::triangle_quality( a, b, c ), internal::triangle_quality( b, a, d ) );
        return std::min( internal::triangle_quality( c, a, d ), internal::triangle_quality( d, b, c ) ) / old;
    }

    TEST( SurfaceRelaxation, flip_needs_a_gain_of_one_percent_and_a_convex_quadrilateral )
    {
        // Bisect the kite's height down to neighbouring doubles around the
        // gain 1.01: the side at or above it flips, the side below does not.
        double low{ 0.5 };
        double high{ 0.999 };
        ASSERT_GE( kite_gain( low ), 1.01 );
        ASSERT_LT( kite_gain( high ), 1.01 );
        while( std::nextafter( low, high ) < high )
        {
            const auto middle = low + ( high - low ) / 2;
            if( middle <= low || middle >= high )
            {
                break;
            }
            ( kite_gain( middle ) >= 1.01 ? low : high ) = middle;
        }
        Logger::log_info( "Kite gain at the threshold: ", kite_gain( low ), " flips, ", kite_gain( high ), " does not" );
        EXPECT_TRUE( diagonal_flipped( p3( -1, 0, 0 ), p3( 1, 0, 0 ), p3( 0, low, 0 ), p3( 0, -low, 0 ) ) );
        EXPECT_FALSE( diagonal_flipped( p3( -1, 0, 0 ), p3( 1, 0, 0 ), p3( 0, high, 0 ), p3( 0, -high, 0 ) ) );

        // Not convex at A (angle sum above pi): Q is a sliver that the flip
        // would replace by far better but overlapping triangles.
        const auto a = p3( -1, 0, 0 );
        const auto b = p3( 1, 0, 0 );
        const auto c = p3( 0, 1, 0 );
        const auto d = p3( -1.5, -0.1, 0 );
        ASSERT_GT( std::min( internal::triangle_quality( c, a, d ), internal::triangle_quality( d, b, c ) )
                       / internal::triangle_quality( b, a, d ),
            1.01 );
        EXPECT_FALSE( diagonal_flipped( a, b, c, d ) );
    }

    TEST( SurfaceRelaxation, flips_only_move_no_vertex_and_never_lower_the_minimum_quality )
    {
        auto sheet = grid_sheet( 12, 0.35, flat );
        const auto& mesh = mesh_of( sheet.model, sheet.surface );
        std::vector< Point< 3 > > before;
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            before.push_back( mesh.point( v ) );
        }
        const auto figures_before = figures( mesh, 1. / 12 );
        relax( sheet.model, flips_only() );
        const auto figures_after = figures( mesh, 1. / 12 );
        log_figures( "Flips only", figures_before, figures_after );
        ASSERT_EQ( mesh.nb_vertices(), before.size() );
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            EXPECT_EQ( mesh.point( v ), before[v] ) << v;
        }
        EXPECT_GE( figures_after.minimum, figures_before.minimum );
        EXPECT_GT( figures_after.mean, figures_before.mean );
        expect_all_triangles_positive_in_xy( mesh );
        EXPECT_TRUE( is_valid_brep( sheet.model ) );
        expect_no_working_attribute( sheet.model );
    }

    /// A hexagonal fan around the vertex 0 at the origin, ring vertex 1 at
    /// (r, 0, 0) and the others at distance 1; the ring is a border
    /// without lines.
    Quad hexagon_fan( double r )
    {
        SimplexBRepLibrary::initialize();
        Quad result;
        std::vector< Point< 3 > > points{ p3( 0, 0, 0 ), p3( r, 0, 0 ) };
        for( index_t k = 1; k < 6; k++ )
        {
            const auto angle = static_cast< double >( k ) * M_PI / 3;
            points.push_back( p3( std::cos( angle ), std::sin( angle ), 0 ) );
        }
        std::vector< std::array< index_t, 3 > > triangles;
        for( index_t k = 0; k < 6; k++ )
        {
            triangles.push_back( { 0, 1 + k, 1 + ( k + 1 ) % 6 } );
        }
        {
            BRepBuilder builder{ result.model };
            builder.create_unique_vertices( 7 );
        }
        result.surface = add_linked_surface( result.model, points, triangles, { 0, 1, 2, 3, 4, 5, 6 } );
        return result;
    }

    TEST( SurfaceRelaxation, edges_shorter_than_half_the_metric_are_collapsed_equal_ones_are_not )
    {
        // The short edge from the centre is 0.5 long.
        struct Case
        {
            double metric;
            index_t vertices_after;
        };
        for( const auto& test : { Case{ 1., 7 }, Case{ 1.0000001, 6 } } )
        {
            auto fan = hexagon_fan( 0.5 );
            const ConstantMetric< 3 > metric{ test.metric };
            relax( fan.model, { true, false, &metric } );
            const auto& mesh = mesh_of( fan.model, fan.surface );
            EXPECT_EQ( mesh.nb_vertices(), test.vertices_after ) << test.metric;
            EXPECT_TRUE( is_valid_brep( fan.model, open_surfaces() ) );
        }
        // Without metric the short edge stays.
        auto fan = hexagon_fan( 0.5 );
        relax( fan.model, { true, true, nullptr } );
        EXPECT_EQ( mesh_of( fan.model, fan.surface ).nb_vertices(), 7 );
    }

    TEST( SurfaceRelaxation, low_valence_vertices_are_removed )
    {
        // A square cut into four triangles around a centre of valence 4,
        // and a triangle cut into three around one of valence 3.
        for( const index_t valence : { 3u, 4u } )
        {
            SimplexBRepLibrary::initialize();
            Quad fixture;
            std::vector< Point< 3 > > points{ p3( 0.1, 0.05, 0 ) };
            for( index_t k = 0; k < valence; k++ )
            {
                const auto angle = 2 * M_PI * static_cast< double >( k ) / valence;
                points.push_back( p3( std::cos( angle ), std::sin( angle ), 0 ) );
            }
            std::vector< std::array< index_t, 3 > > triangles;
            std::vector< index_t > uniques{ 0 };
            for( index_t k = 0; k < valence; k++ )
            {
                triangles.push_back( { 0, 1 + k, 1 + ( k + 1 ) % valence } );
                uniques.push_back( 1 + k );
            }
            {
                BRepBuilder builder{ fixture.model };
                builder.create_unique_vertices( valence + 1 );
            }
            fixture.surface = add_linked_surface( fixture.model, points, triangles, uniques );
            relax( fixture.model, full( nullptr ) );
            const auto& mesh = mesh_of( fixture.model, fixture.surface );
            EXPECT_EQ( mesh.nb_vertices(), valence ) << valence;
            EXPECT_EQ( mesh.nb_polygons(), valence - 2 ) << valence;
            expect_all_triangles_positive_in_xy( mesh );
        }
    }

    TEST( SurfaceRelaxation, vertex_on_an_axis_parallel_plane_relaxes )
    {
        // A fan in the plane x = 0 whose centre (0, 1, 1) is off the middle
        // of its ring: the tangent axes do not come from its coordinates.
        SimplexBRepLibrary::initialize();
        Quad fixture;
        std::vector< Point< 3 > > points{ p3( 0, 1, 1 ) };
        for( index_t k = 0; k < 6; k++ )
        {
            const auto angle = static_cast< double >( k ) * M_PI / 3;
            points.push_back( p3( 0, 1.3 + std::cos( angle ), 1.1 + std::sin( angle ) ) );
        }
        std::vector< std::array< index_t, 3 > > triangles;
        for( index_t k = 0; k < 6; k++ )
        {
            triangles.push_back( { 0, 1 + k, 1 + ( k + 1 ) % 6 } );
        }
        {
            BRepBuilder builder{ fixture.model };
            builder.create_unique_vertices( 7 );
        }
        fixture.surface = add_linked_surface( fixture.model, points, triangles, { 0, 1, 2, 3, 4, 5, 6 } );
        const auto& mesh = mesh_of( fixture.model, fixture.surface );
        const auto before = internal::triangle_quality( mesh.point( 0 ), mesh.point( 1 ), mesh.point( 2 ) );
        EXPECT_NO_THROW( relax( fixture.model, { true, false, nullptr } ) );
        EXPECT_NE( mesh.point( 0 ), p3( 0, 1, 1 ) );
        EXPECT_EQ( mesh.point( 0 ).value( 0 ), 0. );
        double minimum{ 1. };
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            minimum = std::min( minimum, quality_of( mesh, p ) );
        }
        EXPECT_GT( minimum, before );
        expect_no_working_attribute( fixture.model );
    }

    TEST( SurfaceRelaxation, vertex_with_neighbours_projecting_to_one_point_is_left_in_place )
    {
        // Around the origin, (1, 0, -h) and (1, 0, h) lie at the same
        // distance and project to one point of the tangent plane z = 0
        // (the fan is symmetric under the half turn about z).
        const double h = 0.3;
        SimplexBRepLibrary::initialize();
        Quad fixture;
        std::vector< Point< 3 > > points{ p3( 0, 0, 0 ), p3( 1, 0, -h ), p3( 1, 0, h ), p3( 0, 1, 0 ),
            p3( -1, 0, -h ), p3( -1, 0, h ), p3( 0, -1, 0 ) };
        std::vector< std::array< index_t, 3 > > triangles;
        for( index_t k = 0; k < 6; k++ )
        {
            triangles.push_back( { 0, 1 + k, 1 + ( k + 1 ) % 6 } );
        }
        {
            BRepBuilder builder{ fixture.model };
            builder.create_unique_vertices( 7 );
        }
        fixture.surface = add_linked_surface( fixture.model, points, triangles, { 0, 1, 2, 3, 4, 5, 6 } );
        const auto& mesh = mesh_of( fixture.model, fixture.surface );
        ASSERT_EQ( mesh.polygon_vertex_normal( 0 ).value(), ( Vector< 3 >{ { 0, 0, 1 } } ) );
        EXPECT_NO_THROW( relax( fixture.model, { true, false, nullptr } ) );
        EXPECT_EQ( mesh.point( 0 ), p3( 0, 0, 0 ) );
        expect_no_working_attribute( fixture.model );
    }

    TEST( SurfaceRelaxation, working_attributes_are_removed_also_after_an_exception )
    {
        auto sheet = grid_sheet( 6, 0.3, flat );
        const FunctionMetric failing{ []( const Point< 3 >& ) -> double {
            throw OpenOrvaneException{ "metric failure" };
        } };
        EXPECT_THROW( relax( sheet.model, full( &failing ), false ), OpenOrvaneException );
        expect_no_working_attribute( sheet.model );
        // A model without surfaces is left alone.
        BRep empty;
        EXPECT_NO_THROW( relax( empty, full( nullptr ) ) );
    }

    void expect_better_planar_sheet( GridSheet& sheet, const Metric< 3 >& metric, double length )
    {
        const auto& mesh = mesh_of( sheet.model, sheet.surface );
        const auto fixed_points = sorted_line_points( sheet.model );
        const auto before = figures( mesh, length );
        relax( sheet.model, full( &metric ) );
        const auto after = figures( mesh, length );
        log_figures( "Perturbed planar sheet", before, after );
        EXPECT_GT( after.mean, before.mean );
        EXPECT_GT( after.edges_near_metric, before.edges_near_metric );
        EXPECT_EQ( sorted_line_points( sheet.model ), fixed_points );
        expect_all_triangles_positive_in_xy( mesh );
        EXPECT_TRUE( is_valid_brep( sheet.model ) );
        expect_no_working_attribute( sheet.model );
    }

    TEST( SurfaceRelaxation, perturbed_planar_sheet_gets_better_and_keeps_its_lines )
    {
        auto sheet = grid_sheet( 16, 0.4, flat );
        const ConstantMetric< 3 > metric{ 1. / 16 };
        expect_better_planar_sheet( sheet, metric, 1. / 16 );
    }

    TEST( SurfaceRelaxation, fine_sheet_under_a_coarser_metric_loses_short_edges )
    {
        // Cells of 1/20 against a metric of 1/8: many edges are shorter
        // than half of it and go.
        auto sheet = grid_sheet( 20, 0.3, flat );
        const auto vertices_before = mesh_of( sheet.model, sheet.surface ).nb_vertices();
        const ConstantMetric< 3 > metric{ 1. / 8 };
        expect_better_planar_sheet( sheet, metric, 1. / 8 );
        EXPECT_LT( mesh_of( sheet.model, sheet.surface ).nb_vertices(), vertices_before );
    }

    double wavy( double x, double y )
    {
        return 0.05 * std::sin( 2 * M_PI * y ) + 0.3 * std::abs( x - 0.5 );
    }

    TEST( SurfaceRelaxation, wavy_sheet_with_a_crease_line_stays_on_its_surface )
    {
        const index_t n = 16;
        auto sheet = grid_sheet( n, 0.35, wavy, n / 2 );
        const auto& mesh = mesh_of( sheet.model, sheet.surface );
        // Relaxed vertices move over the triangles, so they stay within the
        // chord height of the longest input edge, kappa l^2 / 8, kappa being
        // the largest curvature of the waves.
        double longest{ 0. };
        for( index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            for( const local_index_t e : { 0, 1, 2 } )
            {
                longest = std::max( longest, mesh.edge_length( { p, e } ) );
            }
        }
        const auto curvature = 0.05 * 4 * M_PI * M_PI;
        const auto chord = curvature * longest * longest / 8;
        Logger::log_info( "Input chord height ", chord );
        const auto fixed_points = sorted_line_points( sheet.model );
        const ConstantMetric< 3 > metric{ 1. / n };
        const auto before = figures( mesh, 1. / n );
        relax( sheet.model, full( &metric ) );
        const auto after = figures( mesh, 1. / n );
        log_figures( "Wavy sheet with a crease", before, after );
        EXPECT_GT( after.mean, before.mean );
        EXPECT_GE( after.edges_near_metric, before.edges_near_metric );
        EXPECT_EQ( sorted_line_points( sheet.model ), fixed_points );
        for( index_t v = 0; v < mesh.nb_vertices(); v++ )
        {
            const auto& point = mesh.point( v );
            EXPECT_LE( std::abs( point.value( 2 ) - wavy( point.value( 0 ), point.value( 1 ) ) ), chord ) << v;
        }
        // Seen from above the sheet is a graph: every triangle stays
        // counter-clockwise in projection.
        expect_all_triangles_positive_in_xy( mesh );
        EXPECT_TRUE( is_valid_brep( sheet.model ) );
    }

    TEST( SurfaceRelaxation, results_do_not_depend_on_the_thread_count )
    {
        std::vector< std::vector< Point< 3 > > > results;
        for( const int threads : { 1, 8 } )
        {
            const tbb::global_control control{ tbb::global_control::max_allowed_parallelism,
                static_cast< std::size_t >( threads ) };
            auto sheet = grid_sheet( 12, 0.4, wavy, 6 );
            const ConstantMetric< 3 > metric{ 1. / 10 };
            relax( sheet.model, full( &metric ) );
            const auto& mesh = mesh_of( sheet.model, sheet.surface );
            std::vector< Point< 3 > > points;
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                for( const auto v : mesh.polygon_vertices( p ) )
                {
                    points.push_back( mesh.point( v ) );
                }
            }
            results.push_back( std::move( points ) );
        }
        EXPECT_EQ( results[0], results[1] );
    }
} // namespace
