#include <openorvane/geometry/basic_objects.hpp>

#include <algorithm>
#include <cmath>

#include <openorvane/geometry/predicates.hpp>

namespace
{
    template < orvane::index_t dimension, std::size_t size >
    orvane::BoundingBox< dimension > box_of(
        const std::array< orvane::Point< dimension >, size >& points )
    {
        orvane::BoundingBox< dimension > box;
        for( const auto& point : points )
        {
            box.add_point( point );
        }
        return box;
    }

    template < orvane::index_t dimension, std::size_t size >
    orvane::Point< dimension > mean_of(
        const std::array< orvane::Point< dimension >, size >& points )
    {
        orvane::Point< dimension > sum;
        for( const auto& point : points )
        {
            sum += point;
        }
        return sum * ( 1. / static_cast< double >( size ) );
    }

    /// Twice the triangle's area, computed in floating point.
    double double_area(
        const std::array< orvane::Point< 2 >, 3 >& vertices )
    {
        const orvane::Vector< 2 > ab{ vertices[0], vertices[1] };
        const orvane::Vector< 2 > ac{ vertices[0], vertices[2] };
        return std::fabs(
            ab.value( 0 ) * ac.value( 1 ) - ab.value( 1 ) * ac.value( 0 ) );
    }

    double double_area(
        const std::array< orvane::Point< 3 >, 3 >& vertices )
    {
        const orvane::Vector< 3 > ab{ vertices[0], vertices[1] };
        const orvane::Vector< 3 > ac{ vertices[0], vertices[2] };
        return ab.cross( ac ).length();
    }

    bool is_exactly_degenerate( const orvane::Triangle< 2 >& triangle )
    {
        return orvane::triangle_area_sign( triangle ) == orvane::SIDE::zero;
    }

    bool is_exactly_degenerate( const orvane::Triangle< 3 >& triangle )
    {
        for( const orvane::local_index_t axis : { 0, 1, 2 } )
        {
            if( orvane::triangle_area_sign( triangle, axis )
                != orvane::SIDE::zero )
            {
                return false;
            }
        }
        return true;
    }
} // namespace

namespace orvane
{
    template < index_t dimension >
    Vector< dimension > Segment< dimension >::direction() const
    {
        return Vector< dimension >{ vertices_[0], vertices_[1] };
    }

    template < index_t dimension >
    Vector< dimension > Segment< dimension >::normalized_direction() const
    {
        return direction().normalize();
    }

    template < index_t dimension >
    double Segment< dimension >::length() const
    {
        return direction().length();
    }

    template < index_t dimension >
    Point< dimension > Segment< dimension >::barycenter() const
    {
        return mean_of( vertices_ );
    }

    template < index_t dimension >
    BoundingBox< dimension > Segment< dimension >::bounding_box() const
    {
        return box_of( vertices_ );
    }

    template < index_t dimension >
    Point< dimension > Triangle< dimension >::barycenter() const
    {
        return mean_of( vertices_ );
    }

    template < index_t dimension >
    BoundingBox< dimension > Triangle< dimension >::bounding_box() const
    {
        return box_of( vertices_ );
    }

    template < index_t dimension >
    double Triangle< dimension >::minimum_height() const
    {
        if( is_exactly_degenerate( *this ) )
        {
            return 0.;
        }
        double longest{ 0. };
        for( const local_index_t e : { 0, 1, 2 } )
        {
            longest = std::max( longest,
                Vector< dimension >{ vertices_[e], vertices_[( e + 1 ) % 3] }
                    .length() );
        }
        if( longest <= DIVISION_EPSILON )
        {
            return 0.;
        }
        return double_area( vertices_ ) / longest;
    }

    template < index_t dimension >
    std::optional< Vector< 3 > > Triangle< dimension >::normal() const
        requires( dimension == 3 )
    {
        if( is_exactly_degenerate( *this ) )
        {
            return std::nullopt;
        }
        const Vector< 3 > ab{ vertices_[0], vertices_[1] };
        const Vector< 3 > ac{ vertices_[0], vertices_[2] };
        const auto cross = ab.cross( ac );
        const auto length = cross.length();
        if( length <= DIVISION_EPSILON )
        {
            return std::nullopt;
        }
        return cross / length;
    }

    template < index_t dimension >
    std::optional< Plane > Triangle< dimension >::plane() const
        requires( dimension == 3 )
    {
        const auto triangle_normal = normal();
        if( !triangle_normal )
        {
            return std::nullopt;
        }
        return Plane{ *triangle_normal, vertices_[0] };
    }

    Point< 3 > Tetrahedron::barycenter() const
    {
        return mean_of( vertices_ );
    }

    BoundingBox< 3 > Tetrahedron::bounding_box() const
    {
        return box_of( vertices_ );
    }

    Plane::Plane() : normal_{ { 0., 0., 1. } }, origin_{} {}

    Plane::Plane( const Vector< 3 >& normal, const Point< 3 >& origin )
        : normal_( normal.normalize() ), origin_( origin )
    {
    }

    double Plane::plane_constant() const
    {
        return -normal_.dot( Vector< 3 >{ origin_ } );
    }

    template < index_t dimension >
    InfiniteLine< dimension >::InfiniteLine(
        const Vector< dimension >& direction, const Point< dimension >& origin )
        : direction_( direction.normalize() ), origin_( origin )
    {
    }

    template < index_t dimension >
    InfiniteLine< dimension >::InfiniteLine( const Segment< dimension >& segment )
        : InfiniteLine( segment.direction(), segment.vertices()[0] )
    {
    }

    template < index_t dimension >
    BoundingBox< dimension > Sphere< dimension >::bounding_box() const
    {
        BoundingBox< dimension > box;
        box.add_point( origin_ );
        box.extends( radius_ );
        return box;
    }

    BoundingBox< 3 > Circle::bounding_box() const
    {
        // Along axis i the circle spans radius * sqrt(1 - n_i^2) around its
        // centre, n being the unit normal.
        Point< 3 > extent;
        for( const local_index_t i : { 0, 1, 2 } )
        {
            const double n = plane_.normal().value( i );
            extent.set_value(
                i, radius_ * std::sqrt( std::max( 0., 1. - n * n ) ) );
        }
        BoundingBox< 3 > box;
        box.add_point( plane_.origin() - extent );
        box.add_point( plane_.origin() + extent );
        return box;
    }

    template class Segment< 2 >;
    template class Segment< 3 >;
    template class Triangle< 2 >;
    template class Triangle< 3 >;
    template class InfiniteLine< 2 >;
    template class InfiniteLine< 3 >;
    template class Ray< 2 >;
    template class Ray< 3 >;
    template class Sphere< 2 >;
    template class Sphere< 3 >;
} // namespace orvane
