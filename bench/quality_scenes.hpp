#pragma once

// The geological scenes of the quality report, built in code so that every
// run meshes the same input: a conformal layer cake, a horizon cut by a
// dipping fault, and two crossing faults through two horizons. Lengths are
// in metres.

#include <array>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include <openorvane/geometry/bounding_box.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/triangulated_surface.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

#include <bench/bench_meshes.hpp>

namespace orvane
{
    namespace bench
    {
        struct QualityScene
        {
            std::string name;
            BoundingBox< 3 > box;
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > surfaces;
            /// The output size the metric is chosen for.
            index_t target_triangles{ 0 };

            index_t nb_triangles() const
            {
                index_t total{ 0 };
                for( const auto& surface : surfaces )
                {
                    total += surface->nb_polygons();
                }
                return total;
            }

            /// The edge length whose equilateral triangles tile the input's
            /// area with about target_triangles triangles.
            double metric() const
            {
                double area{ 0 };
                for( const auto& surface : surfaces )
                {
                    for( index_t p = 0; p < surface->nb_polygons(); p++ )
                    {
                        area += triangle_area( surface->triangle( p ) );
                    }
                }
                return std::sqrt( 4. * area
                                  / ( std::numbers::sqrt3 * static_cast< double >( target_triangles ) ) );
            }
        };

        /// A grid of nu x nv cells whose vertex (i, j) is point( i, j ), two
        /// triangles per cell, adjacencies computed.
        template < typename Place >
        std::unique_ptr< TriangulatedSurface< 3 > > grid_surface(
            index_t nu, index_t nv, const Place& point )
        {
            auto surface = TriangulatedSurface< 3 >::create();
            auto builder = TriangulatedSurfaceBuilder< 3 >::create( *surface );
            for( index_t j = 0; j <= nv; j++ )
            {
                for( index_t i = 0; i <= nu; i++ )
                {
                    builder->create_point( point( i, j ) );
                }
            }
            create_grid_triangles( *builder, nu, nv );
            builder->compute_polygon_adjacencies();
            return surface;
        }

        /// Three gently folded horizons cut by a vertical fault in a 4 x 2 x
        /// 3 km box, every surface stitched to its neighbours through equal
        /// vertices: the top and bottom of the box, the horizons on both
        /// sides of the fault, and the fault and the four box sides cut at
        /// the horizons (28 surfaces). n is the number of cells per
        /// kilometre: 248 n^2 triangles.
        inline QualityScene layer_cake( index_t n, index_t target_triangles )
        {
            constexpr double KM = 1000.;
            // Nominal depth of the bottom, the three horizons and the top.
            const std::vector< double > levels{ 0., 1., 1.5, 2., 3. };
            const auto coordinate = [n]( index_t i ) {
                return KM * static_cast< double >( i ) / static_cast< double >( n );
            };
            const auto level_z = [&]( std::size_t k, double x, double y ) {
                if( k == 0 || k + 1 == levels.size() )
                {
                    return KM * levels[k];
                }
                return KM * levels[k] + 100. * std::sin( x / 700. ) * std::cos( y / 500. );
            };
            QualityScene scene;
            scene.name = "layer cake";
            scene.target_triangles = target_triangles;
            scene.box.add_point( Point< 3 >{ { -10., -10., -10. } } );
            scene.box.add_point( Point< 3 >{ { 4 * KM + 10., 2 * KM + 10., 3 * KM + 10. } } );
            const auto add_horizontal = [&]( std::size_t k, index_t i0, index_t i1 ) {
                scene.surfaces.push_back(
                    grid_surface( i1 - i0, 2 * n, [&]( index_t i, index_t j ) {
                        const auto x = coordinate( i0 + i );
                        const auto y = coordinate( j );
                        return Point< 3 >{ { x, y, level_z( k, x, y ) } };
                    } ) );
            };
            // A vertical wall between level k and k + 1 through the grid
            // vertices (x, y) = place( a ), a in [0, length]; its rows are
            // spaced evenly between the two levels and its top row is the
            // upper level itself, so that it meets the horizon exactly.
            const auto add_wall = [&]( std::size_t k, index_t length, const auto& place ) {
                const auto nz = static_cast< index_t >(
                    std::lround( ( levels[k + 1] - levels[k] ) * 2 * static_cast< double >( n ) ) );
                scene.surfaces.push_back( grid_surface( length, nz, [&]( index_t a, index_t b ) {
                    const auto [x, y] = place( a );
                    const auto z0 = level_z( k, x, y );
                    const auto z1 = level_z( k + 1, x, y );
                    const auto z = b == nz ? z1
                                           : z0 + ( z1 - z0 ) * static_cast< double >( b )
                                                      / static_cast< double >( nz );
                    return Point< 3 >{ { x, y, z } };
                } ) );
            };
            add_horizontal( 0, 0, 4 * n );
            add_horizontal( levels.size() - 1, 0, 4 * n );
            for( std::size_t k = 1; k + 1 < levels.size(); k++ )
            {
                add_horizontal( k, 0, 2 * n );
                add_horizontal( k, 2 * n, 4 * n );
            }
            for( std::size_t k = 0; k + 1 < levels.size(); k++ )
            {
                for( const auto i : { 2 * n, index_t{ 0 }, 4 * n } )
                {
                    add_wall( k, 2 * n, [&]( index_t a ) {
                        return std::array< double, 2 >{ coordinate( i ), coordinate( a ) };
                    } );
                }
                for( const auto j : { index_t{ 0 }, 2 * n } )
                {
                    add_wall( k, 4 * n, [&]( index_t a ) {
                        return std::array< double, 2 >{ coordinate( a ), coordinate( j ) };
                    } );
                }
            }
            return scene;
        }

        /// A folded horizon over 1 x 1 km at about 200 m, as a grid of n x n
        /// cells.
        inline std::unique_ptr< TriangulatedSurface< 3 > > folded_horizon(
            index_t n, double depth )
        {
            const double step = 1000. / static_cast< double >( n );
            return grid_surface( n, n, [&]( index_t i, index_t j ) {
                const double x = static_cast< double >( i ) * step;
                const double y = static_cast< double >( j ) * step;
                return Point< 3 >{ { x, y,
                    depth + 30. * std::sin( x / 300. ) * std::cos( y / 400. ) } };
            } );
        }

        inline BoundingBox< 3 > kilometre_box()
        {
            BoundingBox< 3 > box;
            box.add_point( Point< 3 >{ { -10., -10., -300. } } );
            box.add_point( Point< 3 >{ { 1010., 1010., 900. } } );
            return box;
        }

        /// A folded horizon (grid of n x n cells) cut through by a fault
        /// plane dipping east (grid of nu x nv cells over 1000 m along the
        /// strike and 300 m up the dip); the two meshes share no vertex.
        inline QualityScene horizon_and_fault(
            index_t n, index_t nu, index_t nv, index_t target_triangles )
        {
            QualityScene scene;
            scene.name = "horizon and fault";
            scene.target_triangles = target_triangles;
            scene.box = kilometre_box();
            scene.surfaces.push_back( folded_horizon( n, 200. ) );
            scene.surfaces.push_back( grid_surface( nu, nv, [&]( index_t i, index_t j ) {
                const double y = 1000. * static_cast< double >( i ) / static_cast< double >( nu );
                const double t = 300. * static_cast< double >( j ) / static_cast< double >( nv );
                return Point< 3 >{ { 400. + 0.4 * t, y, 50. + t } };
            } ) );
            return scene;
        }

        /// Two folded horizons (grids of n x n cells, at about 200 m and
        /// 450 m) cut by two faults that cross each other and both
        /// horizons: one strikes north and dips east, the other strikes east
        /// and dips south (grids of nu x nv cells, 600 m high).
        inline QualityScene crossing_faults(
            index_t n, index_t nu, index_t nv, index_t target_triangles )
        {
            QualityScene scene;
            scene.name = "crossing faults";
            scene.target_triangles = target_triangles;
            scene.box = kilometre_box();
            scene.surfaces.push_back( folded_horizon( n, 200. ) );
            scene.surfaces.push_back( folded_horizon( n, 450. ) );
            const auto along = [nu]( index_t i ) {
                return 1000. * static_cast< double >( i ) / static_cast< double >( nu );
            };
            const auto up = [nv]( index_t j ) {
                return 600. * static_cast< double >( j ) / static_cast< double >( nv );
            };
            scene.surfaces.push_back( grid_surface( nu, nv, [&]( index_t i, index_t j ) {
                return Point< 3 >{ { 300. + 0.3 * up( j ), along( i ), up( j ) } };
            } ) );
            scene.surfaces.push_back( grid_surface( nu, nv, [&]( index_t i, index_t j ) {
                return Point< 3 >{ { along( i ), 650. - 0.25 * up( j ), up( j ) } };
            } ) );
            return scene;
        }
    } // namespace bench
} // namespace orvane
