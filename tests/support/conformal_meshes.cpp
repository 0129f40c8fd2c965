#include <tests/support/conformal_meshes.hpp>

#include <algorithm>

#include <openorvane/mesh/triangulated_surface_builder.hpp>
#include <tests/support/surface_fixtures.hpp>

namespace orvane
{
    namespace test
    {
        index_t TriangleSoup::point( const Point< 3 >& point )
        {
            const auto found = std::find( points.begin(), points.end(), point );
            if( found != points.end() )
            {
                return static_cast< index_t >( found - points.begin() );
            }
            points.push_back( point );
            return static_cast< index_t >( points.size() - 1 );
        }

        void TriangleSoup::add_grid(
            const Point< 3 >& origin, const Vector< 3 >& u, const Vector< 3 >& v, index_t n )
        {
            std::vector< index_t > ids( ( n + 1 ) * ( n + 1 ) );
            for( index_t j = 0; j <= n; j++ )
            {
                for( index_t i = 0; i <= n; i++ )
                {
                    const auto s = static_cast< double >( i ) / n;
                    const auto t = static_cast< double >( j ) / n;
                    ids[i + ( n + 1 ) * j] = point( origin + u * s + v * t );
                }
            }
            for( const auto& triangle : grid_triangles( n, n ) )
            {
                triangles.push_back(
                    { ids[triangle[0]], ids[triangle[1]], ids[triangle[2]] } );
            }
        }

        std::unique_ptr< TriangulatedSurface< 3 > > TriangleSoup::mesh() const
        {
            return create_triangulated_surface< 3 >( points, triangles );
        }

        std::unique_ptr< TriangulatedSurface< 3 > > rectangle(
            double x0, double y0, double x1, double y1, double z, index_t n )
        {
            TriangleSoup soup;
            soup.add_grid( Point< 3 >{ { x0, y0, z } }, Vector< 3 >{ { x1 - x0, 0, 0 } },
                Vector< 3 >{ { 0, y1 - y0, 0 } }, n );
            return soup.mesh();
        }

        namespace
        {
            std::vector< TriangleSoup > cube_soups( double lo, double hi, index_t n )
            {
                const auto d = hi - lo;
                const Vector< 3 > x{ { d, 0, 0 } };
                const Vector< 3 > y{ { 0, d, 0 } };
                const Vector< 3 > z{ { 0, 0, d } };
                const Point< 3 > o{ { lo, lo, lo } };
                std::vector< TriangleSoup > soups( 6 );
                soups[0].add_grid( o, z, y, n );
                soups[1].add_grid( o + x, y, z, n );
                soups[2].add_grid( o, x, z, n );
                soups[3].add_grid( o + y, z, x, n );
                soups[4].add_grid( o, y, x, n );
                soups[5].add_grid( o + z, x, y, n );
                return soups;
            }
        } // namespace

        std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > cube_faces(
            double lo, double hi, index_t n )
        {
            std::vector< std::unique_ptr< TriangulatedSurface< 3 > > > faces;
            for( const auto& soup : cube_soups( lo, hi, n ) )
            {
                faces.push_back( soup.mesh() );
            }
            return faces;
        }

        std::unique_ptr< TriangulatedSurface< 3 > > closed_cube( double lo, double hi, index_t n )
        {
            TriangleSoup all;
            for( const auto& soup : cube_soups( lo, hi, n ) )
            {
                for( const auto& triangle : soup.triangles )
                {
                    all.triangles.push_back( { all.point( soup.points[triangle[0]] ),
                        all.point( soup.points[triangle[1]] ),
                        all.point( soup.points[triangle[2]] ) } );
                }
            }
            return all.mesh();
        }

        std::unique_ptr< TriangulatedSurface< 3 > > sphere(
            const Point< 3 >& center, double radius, index_t n )
        {
            auto mesh = closed_cube( -1, 1, n );
            auto builder = TriangulatedSurfaceBuilder< 3 >::create( *mesh );
            for( index_t v = 0; v < mesh->nb_vertices(); v++ )
            {
                const Vector< 3 > direction{ mesh->point( v ) };
                builder->set_point( v, center + direction.normalize() * radius );
            }
            return mesh;
        }

        std::unique_ptr< EdgedCurve< 3 > > curve( const std::vector< Point< 3 > >& points )
        {
            initialize_surface_meshes();
            auto mesh = EdgedCurve< 3 >::create();
            auto builder = EdgedCurveBuilder< 3 >::create( *mesh );
            for( const auto& point : points )
            {
                builder->create_point( point );
            }
            for( index_t i = 0; i + 1 < points.size(); i++ )
            {
                builder->create_edge( i, i + 1 );
            }
            return mesh;
        }

        std::unique_ptr< PointSet< 3 > > point_set( const std::vector< Point< 3 > >& points )
        {
            initialize_surface_meshes();
            auto mesh = PointSet< 3 >::create();
            auto builder = PointSetBuilder< 3 >::create( *mesh );
            for( const auto& point : points )
            {
                builder->create_point( point );
            }
            return mesh;
        }
    } // namespace test
} // namespace orvane
