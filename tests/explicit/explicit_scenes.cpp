#include <tests/explicit/explicit_scenes.hpp>

#include <tests/support/conformal_meshes.hpp>

namespace orvane
{
    namespace test
    {
        std::unique_ptr< TriangulatedSurface< 3 > > triangles_surface(
            const std::vector< TriangleCorners >& triangles )
        {
            TriangleSoup soup;
            for( const auto& corners : triangles )
            {
                soup.triangles.push_back( { soup.point( corners[0] ),
                    soup.point( corners[1] ), soup.point( corners[2] ) } );
            }
            return soup.mesh();
        }

        std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > layered_box(
            index_t n )
        {
            // Grids are cut at every 1/n along x and y, and at z = 1, 1.5, 2
            // on the vertical sides, so that shared borders have equal
            // vertices.
            const double step = 1. / static_cast< double >( n );
            const std::array< double, 5 > levels{ 0., 1., 1.5, 2., 3. };
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            const auto add_horizontal = [&]( double z, double x0, double x1 ) {
                TriangleSoup soup;
                const auto nx = static_cast< index_t >( ( x1 - x0 ) * n + 0.5 );
                const auto ny = 2 * n;
                for( index_t i = 0; i < nx; i++ )
                {
                    for( index_t j = 0; j < ny; j++ )
                    {
                        const auto p = [&]( index_t a, index_t b ) {
                            return soup.point( Point< 3 >{ { x0 + a * step, b * step, z } } );
                        };
                        soup.triangles.push_back( { p( i, j ), p( i + 1, j ), p( i + 1, j + 1 ) } );
                        soup.triangles.push_back( { p( i, j ), p( i + 1, j + 1 ), p( i, j + 1 ) } );
                    }
                }
                surfaces.push_back( soup.mesh() );
            };
            // A vertical rectangle: fixed coordinate `axis` = value, the
            // other horizontal coordinate over [h0, h1], z over [z0, z1].
            const auto add_vertical = [&]( int axis, double value, double h0, double h1,
                                          double z0, double z1 ) {
                TriangleSoup soup;
                const auto nh = static_cast< index_t >( ( h1 - h0 ) * n + 0.5 );
                const auto nz = static_cast< index_t >( ( z1 - z0 ) * 2 * n + 0.5 );
                const double zstep = ( z1 - z0 ) / static_cast< double >( nz );
                for( index_t i = 0; i < nh; i++ )
                {
                    for( index_t j = 0; j < nz; j++ )
                    {
                        const auto p = [&]( index_t a, index_t b ) {
                            const double h = h0 + a * step;
                            const double z = z0 + b * zstep;
                            return soup.point( axis == 0 ? Point< 3 >{ { value, h, z } }
                                                         : Point< 3 >{ { h, value, z } } );
                        };
                        soup.triangles.push_back( { p( i, j ), p( i + 1, j ), p( i + 1, j + 1 ) } );
                        soup.triangles.push_back( { p( i, j ), p( i + 1, j + 1 ), p( i, j + 1 ) } );
                    }
                }
                surfaces.push_back( soup.mesh() );
            };
            // Bottom and top of the box.
            add_horizontal( 0., 0., 4. );
            add_horizontal( 3., 0., 4. );
            // Horizons on both sides of the fault.
            for( const auto z : { 1., 1.5, 2. } )
            {
                add_horizontal( z, 0., 2. );
                add_horizontal( z, 2., 4. );
            }
            // The fault and the box sides, each cut at the horizon levels.
            for( std::size_t k = 0; k + 1 < levels.size(); k++ )
            {
                add_vertical( 0, 2., 0., 2., levels[k], levels[k + 1] );
                add_vertical( 0, 0., 0., 2., levels[k], levels[k + 1] );
                add_vertical( 0, 4., 0., 2., levels[k], levels[k + 1] );
                add_vertical( 1, 0., 0., 4., levels[k], levels[k + 1] );
                add_vertical( 1, 2., 0., 4., levels[k], levels[k + 1] );
            }
            return surfaces;
        }
    } // namespace test
} // namespace orvane
