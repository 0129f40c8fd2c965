#include <openorvane/geometry/intersection_detection.hpp>

#include <algorithm>
#include <array>
#include <optional>

#include <openorvane/geometry/predicates.hpp>

namespace
{
    using orvane::local_index_t;
    using orvane::POSITION;
    using orvane::SIDE;

    SIDE sign_of( double value )
    {
        if( value > 0 )
        {
            return SIDE::positive;
        }
        if( value < 0 )
        {
            return SIDE::negative;
        }
        return SIDE::zero;
    }

    POSITION position_from_sides( SIDE side0, SIDE side1 )
    {
        if( side0 == SIDE::zero && side1 == SIDE::zero )
        {
            return POSITION::parallel;
        }
        if( side0 == SIDE::zero )
        {
            return POSITION::vertex0;
        }
        if( side1 == SIDE::zero )
        {
            return POSITION::vertex1;
        }
        if( side0 != side1 )
        {
            return POSITION::inside;
        }
        return POSITION::outside;
    }

    orvane::Point< 2 > project( const orvane::Point< 3 >& point, local_index_t axis )
    {
        return orvane::Point< 2 >{ { point.value( ( axis + 1 ) % 3 ),
            point.value( ( axis + 2 ) % 3 ) } };
    }

    /// An axis along which the triangle does not vanish, if any.
    std::optional< local_index_t > projection_axis(
        const orvane::Triangle< 3 >& triangle )
    {
        for( const local_index_t axis : { 2, 0, 1 } )
        {
            if( orvane::triangle_area_sign( triangle, axis ) != SIDE::zero )
            {
                return axis;
            }
        }
        return std::nullopt;
    }

    /// True when the 2-D segment touches the closed, non-degenerate 2-D
    /// triangle.
    bool segment_touches_triangle(
        const orvane::Segment< 2 >& segment, const orvane::Triangle< 2 >& triangle )
    {
        for( const auto& end : segment.vertices() )
        {
            if( orvane::point_triangle_position( end, triangle )
                != POSITION::outside )
            {
                return true;
            }
        }
        const auto& vertices = triangle.vertices();
        for( const local_index_t e : { 0, 1, 2 } )
        {
            const orvane::Segment< 2 > edge{ vertices[e],
                vertices[( e + 1 ) % 3] };
            if( orvane::segment_segment_intersection_detection( segment, edge )
                    .first
                != POSITION::outside )
            {
                return true;
            }
        }
        return false;
    }

    /// Collinear segments (both of positive length) on one line: compares
    /// coordinates along an axis on which the first segment varies.
    std::pair< POSITION, POSITION > collinear_segments(
        const orvane::Segment< 2 >& segment0, const orvane::Segment< 2 >& segment1 )
    {
        const auto& a = segment0.vertices();
        const auto& b = segment1.vertices();
        const local_index_t axis = a[0].value( 0 ) != a[1].value( 0 ) ? 0 : 1;
        const auto low = []( const std::array< orvane::Point< 2 >, 2 >& s,
                             local_index_t axis ) {
            return std::min( s[0].value( axis ), s[1].value( axis ) );
        };
        const auto high = []( const std::array< orvane::Point< 2 >, 2 >& s,
                              local_index_t axis ) {
            return std::max( s[0].value( axis ), s[1].value( axis ) );
        };
        const double start = std::max( low( a, axis ), low( b, axis ) );
        const double end = std::min( high( a, axis ), high( b, axis ) );
        if( start > end )
        {
            return { POSITION::outside, POSITION::outside };
        }
        if( start < end )
        {
            return { POSITION::parallel, POSITION::parallel };
        }
        // One shared point: an end of each segment.
        const auto& shared =
            a[0].value( axis ) == start ? a[0] : a[1];
        return { orvane::point_segment_position( shared, segment0 ),
            orvane::point_segment_position( shared, segment1 ) };
    }

    /// The position on the triangle where the line through p and q meets
    /// it, for a line that is not in the triangle's plane. The signs of the
    /// volumes (p, q, edge) tell on which side of each edge the line passes.
    POSITION line_crossing_position( const orvane::Point< 3 >& p,
        const orvane::Point< 3 >& q,
        const orvane::Triangle< 3 >& triangle )
    {
        const auto& t = triangle.vertices();
        std::array< SIDE, 3 > sides;
        bool positive{ false };
        bool negative{ false };
        for( const local_index_t e : { 0, 1, 2 } )
        {
            sides[e] = sign_of(
                orvane::detail::orient3d( p, q, t[e], t[( e + 1 ) % 3] ) );
            positive = positive || sides[e] == SIDE::positive;
            negative = negative || sides[e] == SIDE::negative;
        }
        if( positive && negative )
        {
            return POSITION::outside;
        }
        const bool on0 = sides[0] == SIDE::zero;
        const bool on1 = sides[1] == SIDE::zero;
        const bool on2 = sides[2] == SIDE::zero;
        if( on0 && on1 && on2 )
        {
            return POSITION::parallel;
        }
        if( on2 && on0 )
        {
            return POSITION::vertex0;
        }
        if( on0 && on1 )
        {
            return POSITION::vertex1;
        }
        if( on1 && on2 )
        {
            return POSITION::vertex2;
        }
        if( on0 )
        {
            return POSITION::edge0;
        }
        if( on1 )
        {
            return POSITION::edge1;
        }
        if( on2 )
        {
            return POSITION::edge2;
        }
        return POSITION::inside;
    }
} // namespace

namespace orvane
{
    POSITION segment_plane_intersection_detection(
        const Segment< 3 >& segment, const Plane& plane )
    {
        const auto& vertices = segment.vertices();
        return position_from_sides( point_side_to_plane( vertices[0], plane ),
            point_side_to_plane( vertices[1], plane ) );
    }

    POSITION segment_line_intersection_detection(
        const Segment< 2 >& segment, const InfiniteLine< 2 >& line )
    {
        const auto& vertices = segment.vertices();
        return position_from_sides( point_side_to_line( vertices[0], line ),
            point_side_to_line( vertices[1], line ) );
    }

    std::pair< POSITION, POSITION > segment_segment_intersection_detection(
        const Segment< 2 >& segment0, const Segment< 2 >& segment1 )
    {
        const auto& a = segment0.vertices();
        const auto& b = segment1.vertices();
        if( a[0] == a[1] )
        {
            const auto position = point_segment_position( a[0], segment1 );
            if( position == POSITION::outside )
            {
                return { POSITION::outside, POSITION::outside };
            }
            return { POSITION::vertex0, position };
        }
        if( b[0] == b[1] )
        {
            const auto position = point_segment_position( b[0], segment0 );
            if( position == POSITION::outside )
            {
                return { POSITION::outside, POSITION::outside };
            }
            return { position, POSITION::vertex0 };
        }
        const auto a0 = sign_of( detail::orient2d( b[0], b[1], a[0] ) );
        const auto a1 = sign_of( detail::orient2d( b[0], b[1], a[1] ) );
        const auto b0 = sign_of( detail::orient2d( a[0], a[1], b[0] ) );
        const auto b1 = sign_of( detail::orient2d( a[0], a[1], b[1] ) );
        if( a0 == SIDE::zero && a1 == SIDE::zero )
        {
            return collinear_segments( segment0, segment1 );
        }
        if( ( a0 != SIDE::zero && a0 == a1 ) || ( b0 != SIDE::zero && b0 == b1 ) )
        {
            return { POSITION::outside, POSITION::outside };
        }
        // The segments are not collinear and each one's line separates (or
        // touches) the other's ends: they meet at exactly one point.
        return { position_from_sides( a0, a1 ), position_from_sides( b0, b1 ) };
    }

    std::pair< POSITION, POSITION > segment_triangle_intersection_detection(
        const Segment< 3 >& segment, const Triangle< 3 >& triangle )
    {
        const auto& s = segment.vertices();
        const auto& t = triangle.vertices();
        const auto axis = projection_axis( triangle );
        if( !axis )
        {
            for( const local_index_t v : { 0, 1 } )
            {
                const auto position = point_triangle_position( s[v], triangle );
                if( position != POSITION::outside )
                {
                    return { detail::vertex_position( v ), position };
                }
            }
            return { POSITION::outside, POSITION::outside };
        }
        const auto side0 =
            sign_of( detail::orient3d( t[0], t[1], t[2], s[0] ) );
        const auto side1 =
            sign_of( detail::orient3d( t[0], t[1], t[2], s[1] ) );
        if( side0 == SIDE::zero && side1 == SIDE::zero )
        {
            if( s[0] == s[1] )
            {
                const auto position = point_triangle_position( s[0], triangle );
                if( position == POSITION::outside )
                {
                    return { POSITION::outside, POSITION::outside };
                }
                return { POSITION::vertex0, position };
            }
            const Segment< 2 > projected_segment{ project( s[0], *axis ),
                project( s[1], *axis ) };
            const Triangle< 2 > projected_triangle{ project( t[0], *axis ),
                project( t[1], *axis ), project( t[2], *axis ) };
            if( segment_touches_triangle( projected_segment, projected_triangle ) )
            {
                return { POSITION::parallel, POSITION::parallel };
            }
            return { POSITION::outside, POSITION::outside };
        }
        if( side0 != SIDE::zero && side0 == side1 )
        {
            return { POSITION::outside, POSITION::outside };
        }
        if( side0 == SIDE::zero || side1 == SIDE::zero )
        {
            const local_index_t end = side0 == SIDE::zero ? 0 : 1;
            const auto position = point_triangle_position( s[end], triangle );
            if( position == POSITION::outside )
            {
                return { POSITION::outside, POSITION::outside };
            }
            return { detail::vertex_position( end ), position };
        }
        // The segment crosses the plane strictly between its ends: the
        // crossing point's position follows from the line's position.
        const auto position =
            line_crossing_position( s[0], s[1], triangle );
        if( position == POSITION::outside )
        {
            return { POSITION::outside, POSITION::outside };
        }
        return { POSITION::inside, position };
    }

    POSITION line_triangle_intersection_detection(
        const InfiniteLine< 3 >& line, const Triangle< 3 >& triangle )
    {
        const auto axis = projection_axis( triangle );
        if( !axis )
        {
            return POSITION::outside;
        }
        const auto& t = triangle.vertices();
        const Point< 3 > p = line.origin();
        const Point< 3 > q = line.origin() + line.direction();
        const auto side_p = sign_of( detail::orient3d( t[0], t[1], t[2], p ) );
        const auto side_q = sign_of( detail::orient3d( t[0], t[1], t[2], q ) );
        if( side_p != SIDE::zero || side_q != SIDE::zero )
        {
            return line_crossing_position( p, q, triangle );
        }
        // The line lies in the plane: it touches the triangle unless all
        // three vertices are strictly on one side of it.
        const auto p2 = project( p, *axis );
        const auto q2 = project( q, *axis );
        bool positive{ false };
        bool negative{ false };
        for( const auto& vertex : t )
        {
            const auto side =
                sign_of( detail::orient2d( p2, q2, project( vertex, *axis ) ) );
            if( side == SIDE::zero )
            {
                return POSITION::parallel;
            }
            positive = positive || side == SIDE::positive;
            negative = negative || side == SIDE::negative;
        }
        return positive && negative ? POSITION::parallel : POSITION::outside;
    }

    bool triangle_triangle_intersection_detection(
        const Triangle< 3 >& triangle0, const Triangle< 3 >& triangle1 )
    {
        // Closed triangles meet exactly when an edge of one meets the other:
        // an end of their common part always lies on an edge.
        if( !triangle0.bounding_box().intersects( triangle1.bounding_box() ) )
        {
            return false;
        }
        for( const auto* pair : { &triangle0, &triangle1 } )
        {
            const auto& edges_of = *pair;
            const auto& other = pair == &triangle0 ? triangle1 : triangle0;
            const auto& v = edges_of.vertices();
            for( const local_index_t e : { 0, 1, 2 } )
            {
                const Segment< 3 > edge{ v[e], v[( e + 1 ) % 3] };
                if( segment_triangle_intersection_detection( edge, other ).first
                    != POSITION::outside )
                {
                    return true;
                }
            }
        }
        return false;
    }
} // namespace orvane
