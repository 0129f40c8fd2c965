#include <tests/support/surface_fixtures.hpp>

#include <cmath>
#include <numbers>

#include <openorvane/mesh/mesh_library.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

namespace orvane
{
    namespace test
    {
        void initialize_surface_meshes()
        {
            OpenOrvaneMeshLibrary::initialize();
        }

        template < index_t dimension >
        Point< dimension > planar_point( double x, double y )
        {
            Point< dimension > point;
            point.set_value( 0, x );
            point.set_value( 1, y );
            return point;
        }

        template < index_t dimension >
        std::unique_ptr< TriangulatedSurface< dimension > >
            create_triangulated_surface(
                const std::vector< Point< dimension > >& points,
                const std::vector< std::array< index_t, 3 > >& triangles,
                bool compute_adjacencies )
        {
            initialize_surface_meshes();
            auto surface = TriangulatedSurface< dimension >::create();
            auto builder = TriangulatedSurfaceBuilder< dimension >::create( *surface );
            for( const auto& point : points )
            {
                builder->create_point( point );
            }
            for( const auto& triangle : triangles )
            {
                builder->create_triangle( triangle );
            }
            if( compute_adjacencies )
            {
                builder->compute_polygon_adjacencies();
            }
            return surface;
        }

        template < index_t dimension >
        std::unique_ptr< TriangulatedSurface< dimension > > square_of_two_triangles()
        {
            return create_triangulated_surface< dimension >(
                { planar_point< dimension >( 0, 0 ), planar_point< dimension >( 1, 0 ),
                    planar_point< dimension >( 1, 1 ),
                    planar_point< dimension >( 0, 1 ) },
                { { 0, 1, 2 }, { 0, 2, 3 } } );
        }

        template < index_t dimension >
        std::unique_ptr< TriangulatedSurface< dimension > > triangle_fan(
            index_t nb_triangles, bool closed )
        {
            std::vector< Point< dimension > > points{ planar_point< dimension >( 0, 0 ) };
            const auto nb_ring = closed ? nb_triangles : nb_triangles + 1;
            const auto step = closed ? 2 * std::numbers::pi / nb_triangles
                                     : std::numbers::pi / nb_triangles;
            for( index_t i = 0; i < nb_ring; i++ )
            {
                points.push_back( planar_point< dimension >(
                    std::cos( i * step ), std::sin( i * step ) ) );
            }
            std::vector< std::array< index_t, 3 > > triangles;
            for( index_t i = 0; i < nb_triangles; i++ )
            {
                triangles.push_back( { 0, 1 + i, 1 + ( i + 1 ) % nb_ring } );
            }
            return create_triangulated_surface< dimension >( points, triangles );
        }

        template < index_t dimension >
        std::unique_ptr< TriangulatedSurface< dimension > > triangle_strip(
            index_t nb_quads )
        {
            std::vector< Point< dimension > > points;
            for( const auto y : { 0., 1. } )
            {
                for( index_t i = 0; i <= nb_quads; i++ )
                {
                    points.push_back( planar_point< dimension >( i, y ) );
                }
            }
            return create_triangulated_surface< dimension >(
                points, grid_triangles( nb_quads, 1 ) );
        }

        std::vector< std::array< index_t, 3 > > grid_triangles( index_t nx, index_t ny )
        {
            std::vector< std::array< index_t, 3 > > triangles;
            triangles.reserve( 2 * nx * ny );
            const auto vertex = [nx]( index_t i, index_t j ) {
                return i + ( nx + 1 ) * j;
            };
            for( index_t j = 0; j < ny; j++ )
            {
                for( index_t i = 0; i < nx; i++ )
                {
                    triangles.push_back(
                        { vertex( i, j ), vertex( i + 1, j ), vertex( i + 1, j + 1 ) } );
                    triangles.push_back(
                        { vertex( i, j ), vertex( i + 1, j + 1 ), vertex( i, j + 1 ) } );
                }
            }
            return triangles;
        }

        template < index_t dimension >
        std::unique_ptr< TriangulatedSurface< dimension > > grid_surface(
            index_t nx, index_t ny )
        {
            std::vector< Point< dimension > > points;
            for( index_t j = 0; j <= ny; j++ )
            {
                for( index_t i = 0; i <= nx; i++ )
                {
                    points.push_back( planar_point< dimension >( i, j ) );
                }
            }
            return create_triangulated_surface< dimension >(
                points, grid_triangles( nx, ny ) );
        }

        template < index_t dimension >
        std::unique_ptr< TriangulatedSurface< dimension > > bowtie()
        {
            return create_triangulated_surface< dimension >(
                { planar_point< dimension >( 0, 0 ), planar_point< dimension >( 1, -1 ),
                    planar_point< dimension >( 1, 1 ),
                    planar_point< dimension >( -1, 1 ),
                    planar_point< dimension >( -1, -1 ) },
                { { 0, 1, 2 }, { 0, 3, 4 } } );
        }

        template < index_t dimension >
        std::unique_ptr< EdgedCurve< dimension > > polyline( index_t nb_edges )
        {
            initialize_surface_meshes();
            auto curve = EdgedCurve< dimension >::create();
            auto builder = EdgedCurveBuilder< dimension >::create( *curve );
            for( index_t i = 0; i <= nb_edges; i++ )
            {
                builder->create_point( planar_point< dimension >( i, 0 ) );
            }
            for( index_t i = 0; i < nb_edges; i++ )
            {
                builder->create_edge( i, i + 1 );
            }
            return curve;
        }

#define ORVANE_SURFACE_FIXTURES( d )                                           \
    template Point< d > planar_point< d >( double, double );                   \
    template std::unique_ptr< TriangulatedSurface< d > >                       \
        create_triangulated_surface< d >( const std::vector< Point< d > >&,    \
            const std::vector< std::array< index_t, 3 > >&, bool );            \
    template std::unique_ptr< TriangulatedSurface< d > >                       \
        square_of_two_triangles< d >();                                        \
    template std::unique_ptr< TriangulatedSurface< d > > triangle_fan< d >(    \
        index_t, bool );                                                       \
    template std::unique_ptr< TriangulatedSurface< d > > triangle_strip< d >(  \
        index_t );                                                             \
    template std::unique_ptr< TriangulatedSurface< d > > grid_surface< d >(    \
        index_t, index_t );                                                    \
    template std::unique_ptr< TriangulatedSurface< d > > bowtie< d >();        \
    template std::unique_ptr< EdgedCurve< d > > polyline< d >( index_t )

        ORVANE_SURFACE_FIXTURES( 2 );
        ORVANE_SURFACE_FIXTURES( 3 );
#undef ORVANE_SURFACE_FIXTURES
    } // namespace test
} // namespace orvane
