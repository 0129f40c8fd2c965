#include <numerics/lscm.hpp>

#include <algorithm>
#include <cmath>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/mesh/triangulated_surface_builder.hpp>

namespace
{
    /// Cosines are kept off +-1 so that a flat corner still gives a finite
    /// sine and finite coefficients.
    constexpr double MAX_COSINE = 0.999999;
} // namespace

namespace orvane
{
    namespace internal
    {
        LSCM::LSCM( const TriangulatedSurface< 3 >& mesh,
            std::shared_ptr< VariableAttribute< Point< 2 > > > parameters,
            LinearSolver solver )
            : mesh_( mesh ),
              parameters_( std::move( parameters ) ),
              solver_( std::move( solver ) )
        {
        }

        void LSCM::compute()
        {
            initial_guess();
            const auto nb_triangles = mesh_.nb_polygons();
            solver_.begin( 2 * nb_triangles );
            for( index_t t = 0; t < nb_triangles; t++ )
            {
                for( const auto& corner : triangle_coefficients( t ) )
                {
                    add_vertex_coefficients( t, corner.vertex, corner.a, corner.b );
                }
            }
            solver_.solve();
            for( index_t v = 0; v < mesh_.nb_vertices(); v++ )
            {
                parameters_->set_value( v, Point< 2 >{ { solver_.variable( 2 * v ),
                                               solver_.variable( 2 * v + 1 ) } } );
            }
        }

        std::array< Vector< 3 >, 2 > LSCM::average_plane() const
        {
            Vector< 3 > normal_sum;
            for( index_t p = 0; p < mesh_.nb_polygons(); p++ )
            {
                if( const auto normal = mesh_.polygon_normal( p ) )
                {
                    normal_sum += *normal;
                }
            }
            if( normal_sum.length() <= GLOBAL_EPSILON )
            {
                throw OpenOrvaneException{
                    "[LSCM::average_plane] All triangles are degenerated" };
            }
            const auto& origin = mesh_.point( 0 );
            const Plane plane{ normal_sum, origin };
            const auto& normal = plane.normal();
            local_index_t j{ 0 };
            while( j < 2 && std::fabs( normal.value( j ) ) <= GLOBAL_EPSILON )
            {
                j++;
            }
            const local_index_t k = ( j + 1 ) % 3;
            const local_index_t l = ( j + 2 ) % 3;
            Point< 3 > on_plane;
            on_plane.set_value( k, origin.value( k ) + 1. );
            on_plane.set_value( l, origin.value( l ) + 1. );
            on_plane.set_value( j, -( plane.plane_constant()
                                        + normal.value( k ) * on_plane.value( k )
                                        + normal.value( l ) * on_plane.value( l ) )
                                       / normal.value( j ) );
            const Vector< 3 > axis{ origin, on_plane };
            const auto second = axis / axis.length();
            return { normal.cross( second ), second };
        }

        void LSCM::initial_guess()
        {
            const auto axes = average_plane();
            const auto& first = axes[0];
            const auto& second = axes[1];
            index_t min_u{ 0 }, max_u{ 0 }, min_v{ 0 }, max_v{ 0 };
            double min_u_value{ 0. }, max_u_value{ 0. }, min_v_value{ 0. },
                max_v_value{ 0. };
            for( index_t v = 0; v < mesh_.nb_vertices(); v++ )
            {
                const Vector< 3 > position{ mesh_.point( v ) };
                const auto u_value = position.dot( second );
                const auto v_value = position.dot( first );
                solver_.set_variable( 2 * v, u_value );
                solver_.set_variable( 2 * v + 1, v_value );
                // Strict comparisons: on ties the lowest vertex index wins.
                if( v == 0 || u_value < min_u_value )
                {
                    min_u = v;
                    min_u_value = u_value;
                }
                if( v == 0 || u_value > max_u_value )
                {
                    max_u = v;
                    max_u_value = u_value;
                }
                if( v == 0 || v_value < min_v_value )
                {
                    min_v = v;
                    min_v_value = v_value;
                }
                if( v == 0 || v_value > max_v_value )
                {
                    max_v = v;
                    max_v_value = v_value;
                }
            }
            const bool along_u =
                max_u_value - min_u_value > max_v_value - min_v_value;
            for( const auto pinned : along_u ? std::array{ min_u, max_u }
                                             : std::array{ min_v, max_v } )
            {
                solver_.lock_variable( 2 * pinned );
                solver_.lock_variable( 2 * pinned + 1 );
            }
        }

        std::array< LSCM::CornerCoefficients, 3 > LSCM::triangle_coefficients(
            index_t triangle ) const
        {
            std::array< CornerCoefficients, 3 > result;
            for( const local_index_t c : { 0, 1, 2 } )
            {
                result[c] = { mesh_.polygon_vertex( { triangle, c } ), 0., 0. };
            }
            const auto& p0 = mesh_.point( result[0].vertex );
            const Vector< 3 > side1{ p0, mesh_.point( result[1].vertex ) };
            const Vector< 3 > side2{ p0, mesh_.point( result[2].vertex ) };
            const auto d = side1.length();
            const auto e = side2.length();
            if( d * e <= DIVISION_EPSILON )
            {
                // A side of zero length leaves the angle at corner 0
                // undefined: the triangle gives no equation rather than
                // NaN coefficients.
                return result;
            }
            const auto cosine =
                std::clamp( side1.dot( side2 ) / ( d * e ), -MAX_COSINE, MAX_COSINE );
            const auto sine = std::sin( std::acos( cosine ) );
            const auto k = 1. / std::sqrt( d * e * sine );
            result[0].a = k * ( e * cosine - d );
            result[0].b = k * ( e * sine );
            result[1].a = k * ( -e * cosine );
            result[1].b = k * ( -e * sine );
            result[2].a = k * d;
            result[2].b = 0.;
            return result;
        }

        void LSCM::add_vertex_coefficients(
            index_t triangle, index_t vertex, double a, double b )
        {
            const auto real_row = static_cast< std::int32_t >( 2 * triangle );
            const auto imaginary_row = real_row + 1;
            solver_.add_coefficient( real_row, 2 * vertex, a );
            solver_.add_coefficient( real_row, 2 * vertex + 1, -b );
            solver_.add_coefficient( imaginary_row, 2 * vertex, b );
            solver_.add_coefficient( imaginary_row, 2 * vertex + 1, a );
        }

        std::unique_ptr< TriangulatedSurface< 2 > > create_parameterized_surface(
            const TriangulatedSurface< 3 >& mesh, std::string_view attribute_name )
        {
            auto surface = TriangulatedSurface< 2 >::create();
            auto builder = TriangulatedSurfaceBuilder< 2 >::create( *surface );
            const auto parameters =
                mesh.vertex_attribute_manager().find_attribute< Point< 2 > >(
                    attribute_name );
            for( index_t v = 0; v < mesh.nb_vertices(); v++ )
            {
                builder->create_point( parameters->value( v ) );
            }
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                builder->create_triangle( { mesh.polygon_vertex( { p, 0 } ),
                    mesh.polygon_vertex( { p, 1 } ), mesh.polygon_vertex( { p, 2 } ) } );
            }
            for( index_t p = 0; p < mesh.nb_polygons(); p++ )
            {
                for( const local_index_t e : { 0, 1, 2 } )
                {
                    if( const auto adjacent = mesh.polygon_adjacent( { p, e } ) )
                    {
                        builder->set_polygon_adjacent( { p, e }, *adjacent );
                    }
                }
            }
            return surface;
        }
    } // namespace internal
} // namespace orvane
