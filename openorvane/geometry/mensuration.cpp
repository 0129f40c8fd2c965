#include <openorvane/geometry/mensuration.hpp>

#include <cmath>

namespace orvane
{
    double triangle_area( const Triangle< 2 >& triangle )
    {
        return std::fabs( triangle_signed_area( triangle ) );
    }

    double triangle_area( const Triangle< 3 >& triangle )
    {
        const auto& vertices = triangle.vertices();
        const Vector< 3 > ab{ vertices[0], vertices[1] };
        const Vector< 3 > ac{ vertices[0], vertices[2] };
        return ab.cross( ac ).length() / 2.;
    }

    double triangle_signed_area( const Triangle< 2 >& triangle )
    {
        const auto& vertices = triangle.vertices();
        const Vector< 2 > ab{ vertices[0], vertices[1] };
        const Vector< 2 > ac{ vertices[0], vertices[2] };
        return ( ab.value( 0 ) * ac.value( 1 ) - ab.value( 1 ) * ac.value( 0 ) )
               / 2.;
    }

    double tetrahedron_signed_volume( const Tetrahedron& tetrahedron )
    {
        const auto& vertices = tetrahedron.vertices();
        const Vector< 3 > ab{ vertices[0], vertices[1] };
        const Vector< 3 > ac{ vertices[0], vertices[2] };
        const Vector< 3 > ad{ vertices[0], vertices[3] };
        return ab.dot( ac.cross( ad ) ) / 6.;
    }

    double tetrahedron_volume( const Tetrahedron& tetrahedron )
    {
        return std::fabs( tetrahedron_signed_volume( tetrahedron ) );
    }
} // namespace orvane
