#include <openorvane/geometry/projection.hpp>

#include <cmath>

#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/predicates.hpp>

namespace
{
    bool is_degenerate( const orvane::Triangle< 2 >& triangle )
    {
        if( orvane::triangle_area_sign( triangle ) == orvane::SIDE::zero )
        {
            return true;
        }
        const auto& v = triangle.vertices();
        const orvane::Vector< 2 > ab{ v[0], v[1] };
        const orvane::Vector< 2 > ac{ v[0], v[2] };
        return std::fabs( ab.value( 0 ) * ac.value( 1 )
                          - ab.value( 1 ) * ac.value( 0 ) )
               <= orvane::DIVISION_EPSILON;
    }

    bool is_degenerate( const orvane::Triangle< 3 >& triangle )
    {
        return !triangle.normal();
    }

    /// The closest edge point of a degenerate triangle.
    template < orvane::index_t dimension >
    orvane::Point< dimension > closest_on_edges(
        const orvane::Point< dimension >& point,
        const orvane::Triangle< dimension >& triangle )
    {
        const auto& v = triangle.vertices();
        orvane::Point< dimension > best = v[0];
        double best_distance = orvane::point_point_distance( point, v[0] );
        for( const orvane::local_index_t e : { 0, 1, 2 } )
        {
            const auto [distance, closest] = orvane::point_segment_distance(
                point, orvane::Segment< dimension >{ v[e], v[( e + 1 ) % 3] } );
            if( distance < best_distance )
            {
                best_distance = distance;
                best = closest;
            }
        }
        return best;
    }
} // namespace

namespace orvane
{
    template < index_t dimension >
    Point< dimension > point_line_projection(
        const Point< dimension >& point, const InfiniteLine< dimension >& line )
    {
        const double t =
            Vector< dimension >{ line.origin(), point }.dot( line.direction() );
        return line.origin() + line.direction() * t;
    }

    template < index_t dimension >
    Point< dimension > point_segment_projection(
        const Point< dimension >& point, const Segment< dimension >& segment )
    {
        const auto& v = segment.vertices();
        const Vector< dimension > direction{ v[0], v[1] };
        const double length2 = direction.length2();
        if( std::sqrt( length2 ) <= DIVISION_EPSILON )
        {
            return v[0];
        }
        const double along = Vector< dimension >{ v[0], point }.dot( direction );
        if( along <= 0. )
        {
            return v[0];
        }
        if( along >= length2 )
        {
            return v[1];
        }
        return v[0] + direction * ( along / length2 );
    }

    template < index_t dimension >
    Point< dimension > point_triangle_projection(
        const Point< dimension >& point, const Triangle< dimension >& triangle )
    {
        if( is_degenerate( triangle ) )
        {
            return closest_on_edges( point, triangle );
        }
        if constexpr( dimension == 2 )
        {
            if( point_triangle_position( point, triangle ) != POSITION::outside )
            {
                return point;
            }
        }
        // Voronoi regions of the vertices, then of the edges, then the face.
        const auto& v = triangle.vertices();
        const Vector< dimension > ab{ v[0], v[1] };
        const Vector< dimension > ac{ v[0], v[2] };
        const Vector< dimension > ap{ v[0], point };
        const double d1 = ab.dot( ap );
        const double d2 = ac.dot( ap );
        if( d1 <= 0. && d2 <= 0. )
        {
            return v[0];
        }
        const Vector< dimension > bp{ v[1], point };
        const double d3 = ab.dot( bp );
        const double d4 = ac.dot( bp );
        if( d3 >= 0. && d4 <= d3 )
        {
            return v[1];
        }
        const double vc = d1 * d4 - d3 * d2;
        if( vc <= 0. && d1 >= 0. && d3 <= 0. )
        {
            return point_segment_projection(
                point, Segment< dimension >{ v[0], v[1] } );
        }
        const Vector< dimension > cp{ v[2], point };
        const double d5 = ab.dot( cp );
        const double d6 = ac.dot( cp );
        if( d6 >= 0. && d5 <= d6 )
        {
            return v[2];
        }
        const double vb = d5 * d2 - d1 * d6;
        if( vb <= 0. && d2 >= 0. && d6 <= 0. )
        {
            return point_segment_projection(
                point, Segment< dimension >{ v[0], v[2] } );
        }
        const double va = d3 * d6 - d5 * d4;
        if( va <= 0. && ( d4 - d3 ) >= 0. && ( d5 - d6 ) >= 0. )
        {
            return point_segment_projection(
                point, Segment< dimension >{ v[1], v[2] } );
        }
        const double sum = va + vb + vc;
        if( !( std::fabs( sum ) > DIVISION_EPSILON ) )
        {
            return closest_on_edges( point, triangle );
        }
        const double w_b = vb / sum;
        const double w_c = vc / sum;
        return v[0] + ab * w_b + ac * w_c;
    }

    Point< 3 > point_plane_projection( const Point< 3 >& point, const Plane& plane )
    {
        const double offset =
            plane.normal().dot( Vector< 3 >{ plane.origin(), point } );
        return point - plane.normal() * offset;
    }

    template Point< 2 > point_line_projection(
        const Point< 2 >&, const InfiniteLine< 2 >& );
    template Point< 3 > point_line_projection(
        const Point< 3 >&, const InfiniteLine< 3 >& );
    template Point< 2 > point_segment_projection(
        const Point< 2 >&, const Segment< 2 >& );
    template Point< 3 > point_segment_projection(
        const Point< 3 >&, const Segment< 3 >& );
    template Point< 2 > point_triangle_projection(
        const Point< 2 >&, const Triangle< 2 >& );
    template Point< 3 > point_triangle_projection(
        const Point< 3 >&, const Triangle< 3 >& );
} // namespace orvane
