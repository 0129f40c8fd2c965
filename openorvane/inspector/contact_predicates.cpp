#include <openorvane/inspector/contact_predicates.hpp>

#include <algorithm>
#include <cmath>
#include <optional>

#include <absl/container/inlined_vector.h>

#include <openorvane/geometry/predicates.hpp>
#include <openorvane/geometry/separation.hpp>

namespace
{
    using orvane::index_t;
    using orvane::local_index_t;
    using orvane::Point;
    using Points = std::array< const Point< 3 >*, 3 >;

    int sign( double value )
    {
        return ( value > 0 ) - ( value < 0 );
    }

    /// The sign of (b - a).((c - a) x (d - a)).
    int orient3(
        const Point< 3 >& a, const Point< 3 >& b, const Point< 3 >& c, const Point< 3 >& d )
    {
        return sign( orvane::detail::orient3d( a, b, c, d ) );
    }

    /// The point on the coordinates ((axis + 1) mod 3, (axis + 2) mod 3):
    /// dropping a coordinate is exact.
    Point< 2 > project( const Point< 3 >& point, local_index_t axis )
    {
        return Point< 2 >{ { point.value( ( axis + 1 ) % 3 ),
            point.value( ( axis + 2 ) % 3 ) } };
    }

    /// The orientation of the projection of (a, b, c) along the axis.
    int orient2( const Point< 3 >& a,
        const Point< 3 >& b,
        const Point< 3 >& c,
        local_index_t axis )
    {
        return sign( orvane::detail::orient2d(
            project( a, axis ), project( b, axis ), project( c, axis ) ) );
    }

    /// An axis along which the triangle projects to a proper triangle, none
    /// when its points are collinear. Points coplanar with a proper triangle
    /// project along that axis with their orientations kept (up to one
    /// common sign), so planar questions are decided in that projection.
    /// The axis of the largest approximate normal component is tried first,
    /// the answer itself is exact.
    std::optional< local_index_t > projection_axis(
        const Point< 3 >& a, const Point< 3 >& b, const Point< 3 >& c )
    {
        const auto u = b - a;
        const auto v = c - a;
        const std::array< double, 3 > normal{ std::fabs( u.value( 1 ) * v.value( 2 )
                                                         - u.value( 2 ) * v.value( 1 ) ),
            std::fabs( u.value( 2 ) * v.value( 0 ) - u.value( 0 ) * v.value( 2 ) ),
            std::fabs( u.value( 0 ) * v.value( 1 ) - u.value( 1 ) * v.value( 0 ) ) };
        local_index_t first{ 0 };
        if( normal[1] > normal[first] )
        {
            first = 1;
        }
        if( normal[2] > normal[first] )
        {
            first = 2;
        }
        if( orient2( a, b, c, first ) != 0 )
        {
            return first;
        }
        for( const local_index_t axis : { 0, 1, 2 } )
        {
            if( axis != first && orient2( a, b, c, axis ) != 0 )
            {
                return axis;
            }
        }
        return std::nullopt;
    }

    std::optional< local_index_t > projection_axis( const Points& triangle )
    {
        return projection_axis( *triangle[0], *triangle[1], *triangle[2] );
    }

    bool collinear( const Point< 3 >& a, const Point< 3 >& b, const Point< 3 >& c )
    {
        for( const local_index_t axis : { 0, 1, 2 } )
        {
            if( orient2( a, b, c, axis ) != 0 )
            {
                return false;
            }
        }
        return true;
    }

    /// An axis along which the points differ, none when they are equal. On a
    /// line through two such points, the coordinate of that axis orders the
    /// points of the line.
    std::optional< local_index_t > differing_axis(
        const Point< 3 >& a, const Point< 3 >& b )
    {
        for( const local_index_t axis : { 0, 1, 2 } )
        {
            if( a.value( axis ) != b.value( axis ) )
            {
                return axis;
            }
        }
        return std::nullopt;
    }

    /// For collinear points with target != origin: whether point lies
    /// strictly on the side of origin where target lies.
    bool same_direction(
        const Point< 3 >& origin, const Point< 3 >& target, const Point< 3 >& point )
    {
        const auto axis = *differing_axis( origin, target );
        if( target.value( axis ) > origin.value( axis ) )
        {
            return point.value( axis ) > origin.value( axis );
        }
        return point.value( axis ) < origin.value( axis );
    }

    /// Whether the point lies on the closed segment [a, b].
    bool on_closed_segment(
        const Point< 3 >& point, const Point< 3 >& a, const Point< 3 >& b )
    {
        const auto axis = differing_axis( a, b );
        if( !axis )
        {
            return point == a;
        }
        if( !collinear( a, b, point ) )
        {
            return false;
        }
        const auto low = std::min( a.value( *axis ), b.value( *axis ) );
        const auto high = std::max( a.value( *axis ), b.value( *axis ) );
        return low <= point.value( *axis ) && point.value( *axis ) <= high;
    }

    /// Whether two closed segments lying on one line share a point.
    bool collinear_segments_meet( const Point< 3 >& p,
        const Point< 3 >& q,
        const Point< 3 >& r,
        const Point< 3 >& s )
    {
        auto axis = differing_axis( p, q );
        if( !axis )
        {
            axis = differing_axis( r, s );
        }
        if( !axis )
        {
            axis = differing_axis( p, r );
        }
        if( !axis )
        {
            return true;
        }
        const auto a = *axis;
        const auto low = std::max( std::min( p.value( a ), q.value( a ) ),
            std::min( r.value( a ), s.value( a ) ) );
        const auto high = std::min( std::max( p.value( a ), q.value( a ) ),
            std::max( r.value( a ), s.value( a ) ) );
        return low <= high;
    }

    /// Whether two closed segments of one plane share a point, decided in
    /// the projection along the plane's axis.
    bool coplanar_segments_meet( const Point< 3 >& p,
        const Point< 3 >& q,
        const Point< 3 >& r,
        const Point< 3 >& s,
        local_index_t axis )
    {
        const auto o1 = orient2( p, q, r, axis );
        const auto o2 = orient2( p, q, s, axis );
        if( o1 * o2 > 0 )
        {
            return false;
        }
        const auto o3 = orient2( r, s, p, axis );
        const auto o4 = orient2( r, s, q, axis );
        if( o3 * o4 > 0 )
        {
            return false;
        }
        // Once both tests pass, one pair of zero signs means that the four
        // points lie on one line.
        if( ( o1 == 0 && o2 == 0 ) || ( o3 == 0 && o4 == 0 ) )
        {
            return collinear_segments_meet( p, q, r, s );
        }
        return true;
    }

    /// Whether two closed segments share a point.
    bool segments_meet( const Point< 3 >& p,
        const Point< 3 >& q,
        const Point< 3 >& r,
        const Point< 3 >& s )
    {
        if( orient3( p, q, r, s ) != 0 )
        {
            return false;
        }
        for( const auto& triple : { Points{ &p, &q, &r }, Points{ &p, &q, &s },
                 Points{ &r, &s, &p }, Points{ &r, &s, &q } } )
        {
            if( const auto axis = projection_axis( triple ) )
            {
                return coplanar_segments_meet( p, q, r, s, *axis );
            }
        }
        return collinear_segments_meet( p, q, r, s );
    }

    /// A proper triangle with the axis of its projection and the sign of
    /// its projected orientation.
    struct ProperTriangle
    {
        const Points& points;
        local_index_t axis;
        int orientation;

        ProperTriangle( const Points& triangle, local_index_t projection )
            : points( triangle ),
              axis( projection ),
              orientation(
                  orient2( *triangle[0], *triangle[1], *triangle[2], projection ) )
        {
        }

        const Point< 3 >& operator[]( local_index_t v ) const
        {
            return *points[v];
        }

        /// The side of the point to the triangle's plane.
        int side( const Point< 3 >& point ) const
        {
            return orient3( *points[0], *points[1], *points[2], point );
        }

        /// Whether a point of the plane lies in the closed triangle.
        bool contains_coplanar( const Point< 3 >& point ) const
        {
            for( const local_index_t e : { 0, 1, 2 } )
            {
                if( orient2( *points[e], *points[( e + 1 ) % 3], point, axis )
                        * orientation
                    < 0 )
                {
                    return false;
                }
            }
            return true;
        }

        /// Whether a closed segment of the plane meets the closed triangle.
        bool meets_coplanar_segment( const Point< 3 >& p, const Point< 3 >& q ) const
        {
            if( contains_coplanar( p ) || contains_coplanar( q ) )
            {
                return true;
            }
            for( const local_index_t e : { 0, 1, 2 } )
            {
                if( coplanar_segments_meet(
                        p, q, *points[e], *points[( e + 1 ) % 3], axis ) )
                {
                    return true;
                }
            }
            return false;
        }

        /// Whether the closed segment meets the closed triangle, given the
        /// sides of its ends to the triangle's plane.
        bool meets_segment( const Point< 3 >& p,
            const Point< 3 >& q,
            int p_side,
            int q_side ) const
        {
            if( p_side * q_side > 0 )
            {
                return false;
            }
            if( p_side == 0 && q_side == 0 )
            {
                return meets_coplanar_segment( p, q );
            }
            if( p_side == 0 )
            {
                return contains_coplanar( p );
            }
            if( q_side == 0 )
            {
                return contains_coplanar( q );
            }
            // The segment crosses the plane at one point, which lies in the
            // closed triangle when the line turns the same way (or not at
            // all) around the three edges.
            bool positive{ false };
            bool negative{ false };
            for( const local_index_t e : { 0, 1, 2 } )
            {
                const auto turn = orient3( p, q, *points[e], *points[( e + 1 ) % 3] );
                positive = positive || turn > 0;
                negative = negative || turn < 0;
            }
            return !( positive && negative );
        }
    };

    /// Whether the closed segment meets the closed triangle (a degenerate
    /// triangle being the union of its edges).
    bool segment_meets_triangle(
        const Point< 3 >& p, const Point< 3 >& q, const Points& triangle )
    {
        const auto axis = projection_axis( triangle );
        if( !axis )
        {
            for( const local_index_t e : { 0, 1, 2 } )
            {
                if( segments_meet( p, q, *triangle[e], *triangle[( e + 1 ) % 3] ) )
                {
                    return true;
                }
            }
            return false;
        }
        const ProperTriangle proper{ triangle, *axis };
        return proper.meets_segment( p, q, proper.side( p ), proper.side( q ) );
    }

    /// For the closed triangle (v, x, y): whether the segment [v, d] meets
    /// it at points other than v, that is whether d - v points into the
    /// triangle's cone at v.
    bool enters_triangle( const Point< 3 >& v,
        const Point< 3 >& d,
        const Point< 3 >& x,
        const Point< 3 >& y )
    {
        if( d == v )
        {
            return false;
        }
        const auto axis = projection_axis( v, x, y );
        if( !axis )
        {
            // A flat triangle is a segment: its cone at v is made of the
            // rays from v towards its other points.
            for( const auto* target : { &x, &y } )
            {
                if( *target != v && collinear( v, *target, d )
                    && same_direction( v, *target, d ) )
                {
                    return true;
                }
            }
            return false;
        }
        if( orient3( v, x, y, d ) != 0 )
        {
            return false;
        }
        const auto orientation = orient2( v, x, y, *axis );
        return orient2( v, x, d, *axis ) * orientation >= 0
               && orient2( v, d, y, *axis ) * orientation >= 0;
    }

    /// Closed triangles without common vertex: any common point.
    bool triangles_meet( const Points& t0, const Points& t1 )
    {
        // Sides of each triangle's vertices to the other's plane (all zero
        // for a flat triangle): one strict side for all three rules out a
        // contact.
        std::array< int, 3 > sides0;
        std::array< int, 3 > sides1;
        for( const local_index_t v : { 0, 1, 2 } )
        {
            sides1[v] = orient3( *t0[0], *t0[1], *t0[2], *t1[v] );
        }
        if( sides1[0] * sides1[1] > 0 && sides1[1] * sides1[2] > 0 )
        {
            return false;
        }
        for( const local_index_t v : { 0, 1, 2 } )
        {
            sides0[v] = orient3( *t1[0], *t1[1], *t1[2], *t0[v] );
        }
        if( sides0[0] * sides0[1] > 0 && sides0[1] * sides0[2] > 0 )
        {
            return false;
        }
        const auto axis0 = projection_axis( t0 );
        const auto axis1 = projection_axis( t1 );
        if( axis0 && axis1 )
        {
            const ProperTriangle p0{ t0, *axis0 };
            const ProperTriangle p1{ t1, *axis1 };
            for( const local_index_t e : { 0, 1, 2 } )
            {
                const auto f = static_cast< local_index_t >( ( e + 1 ) % 3 );
                if( p1.meets_segment( p0[e], p0[f], sides0[e], sides0[f] )
                    || p0.meets_segment( p1[e], p1[f], sides1[e], sides1[f] ) )
                {
                    return true;
                }
            }
            return false;
        }
        for( const local_index_t e : { 0, 1, 2 } )
        {
            const auto f = ( e + 1 ) % 3;
            if( segment_meets_triangle( *t0[e], *t0[f], t1 )
                || segment_meets_triangle( *t1[e], *t1[f], t0 ) )
            {
                return true;
            }
        }
        return false;
    }

    /// Closed triangles whose vertices v0 (of t0) and v1 (of t1) are the
    /// same vertex: any common point other than it. The common set is
    /// convex, so when it holds another point, an edge of one triangle
    /// meets the other elsewhere than at the vertex: the edges from the
    /// vertex enter the other triangle, or an opposite edge touches it.
    bool triangles_meet_beyond_vertex(
        const Points& t0, local_index_t v0, const Points& t1, local_index_t v1 )
    {
        const auto& v = *t0[v0];
        const auto& a0 = *t0[( v0 + 1 ) % 3];
        const auto& b0 = *t0[( v0 + 2 ) % 3];
        const auto& a1 = *t1[( v1 + 1 ) % 3];
        const auto& b1 = *t1[( v1 + 2 ) % 3];
        // A triangle whose other vertices lie strictly on one side of the
        // other's plane only reaches that plane at the common vertex. (Every
        // sign is zero for a flat triangle, which is never rejected here.)
        if( orient3( *t1[0], *t1[1], *t1[2], a0 ) * orient3( *t1[0], *t1[1], *t1[2], b0 ) > 0
            || orient3( *t0[0], *t0[1], *t0[2], a1 ) * orient3( *t0[0], *t0[1], *t0[2], b1 )
                   > 0 )
        {
            return false;
        }
        if( enters_triangle( v, a0, a1, b1 ) || enters_triangle( v, b0, a1, b1 )
            || enters_triangle( v, a1, a0, b0 ) || enters_triangle( v, b1, a0, b0 ) )
        {
            return true;
        }
        // An opposite edge through the vertex (a flat triangle) is the union
        // of the two edges from the vertex, already tested.
        return ( segment_meets_triangle( a0, b0, t1 ) && !on_closed_segment( v, a0, b0 ) )
               || ( segment_meets_triangle( a1, b1, t0 )
                    && !on_closed_segment( v, a1, b1 ) );
    }

    /// Closed triangles (u, w, a) and (u, w, b) with the common edge [u, w]:
    /// any common point off the edge.
    bool triangles_meet_beyond_edge( const Point< 3 >& u,
        const Point< 3 >& w,
        const Point< 3 >& a,
        const Point< 3 >& b )
    {
        // Out of one plane, both triangles are proper and meet along the
        // edge only.
        if( orient3( u, w, a, b ) != 0 )
        {
            return false;
        }
        const auto axis_a = projection_axis( u, w, a );
        const auto axis_b = projection_axis( u, w, b );
        if( axis_a && axis_b )
        {
            // Two proper triangles of one plane meet off the edge when they
            // lie on the same side of it (a fold).
            return orient2( u, w, a, *axis_a ) * orient2( u, w, b, *axis_a ) > 0;
        }
        if( axis_a || axis_b )
        {
            // The flat one lies on the line of the edge, which meets the
            // proper one along the edge only.
            return false;
        }
        const auto axis = differing_axis( u, w );
        if( !axis )
        {
            return a != u && b != u && collinear( u, a, b )
                   && same_direction( u, a, b );
        }
        // Both lie on the line of the edge: they meet off the edge when both
        // reach beyond the same end.
        const auto low = std::min( u.value( *axis ), w.value( *axis ) );
        const auto high = std::max( u.value( *axis ), w.value( *axis ) );
        return ( a.value( *axis ) > high && b.value( *axis ) > high )
               || ( a.value( *axis ) < low && b.value( *axis ) < low );
    }

    /// The first local vertex of the triangle whose id is none of the given
    /// ones.
    std::optional< local_index_t > other_vertex(
        const std::array< index_t, 3 >& vertices, index_t id0, index_t id1 )
    {
        for( const local_index_t v : { 0, 1, 2 } )
        {
            if( vertices[v] != id0 && vertices[v] != id1 )
            {
                return v;
            }
        }
        return std::nullopt;
    }

    std::optional< local_index_t > local_vertex(
        const std::array< index_t, 3 >& vertices, index_t id )
    {
        for( const local_index_t v : { 0, 1, 2 } )
        {
            if( vertices[v] == id )
            {
                return v;
            }
        }
        return std::nullopt;
    }
    std::array< Point< 3 >, 3 > corners( const Points& triangle )
    {
        return { *triangle[0], *triangle[1], *triangle[2] };
    }

    /// The points of the triangle's vertices whose id is not `id`.
    absl::InlinedVector< Point< 3 >, 2 > others(
        const orvane::detail::MeshTriangle& triangle, index_t id )
    {
        absl::InlinedVector< Point< 3 >, 2 > result;
        for( const local_index_t v : { 0, 1, 2 } )
        {
            if( triangle.vertices[v] != id )
            {
                result.push_back( *triangle.points[v] );
            }
        }
        return result;
    }
} // namespace

namespace orvane::detail
{
    bool mesh_triangles_intersect(
        const MeshTriangle& triangle0, const MeshTriangle& triangle1 )
    {
        std::array< index_t, 3 > shared;
        local_index_t nb_shared{ 0 };
        for( const auto id : triangle0.vertices )
        {
            if( local_vertex( triangle1.vertices, id )
                && std::find( shared.begin(), shared.begin() + nb_shared, id )
                       == shared.begin() + nb_shared )
            {
                shared[nb_shared++] = id;
            }
        }
        // Most pairs that box searches give are clearly apart beyond their
        // common vertex; a floating-point proof of it (see separation.hpp)
        // spares the exact tests, which decide every other pair.
        if( nb_shared == 0 )
        {
            if( hulls_proven_farther_than(
                    corners( triangle0.points ), corners( triangle1.points ), 0. ) )
            {
                return false;
            }
            return triangles_meet( triangle0.points, triangle1.points );
        }
        if( nb_shared == 1 )
        {
            if( proven_apart_beyond_apex( *triangle0.points[*local_vertex(
                                              triangle0.vertices, shared[0] )],
                    others( triangle0, shared[0] ), others( triangle1, shared[0] ) ) )
            {
                return false;
            }
            return triangles_meet_beyond_vertex( triangle0.points,
                *local_vertex( triangle0.vertices, shared[0] ), triangle1.points,
                *local_vertex( triangle1.vertices, shared[0] ) );
        }
        if( nb_shared == 2 )
        {
            const auto apex0 = other_vertex( triangle0.vertices, shared[0], shared[1] );
            const auto apex1 = other_vertex( triangle1.vertices, shared[0], shared[1] );
            if( !apex0 || !apex1 )
            {
                // A triangle on the two common vertices only is their edge.
                return false;
            }
            return triangles_meet_beyond_edge(
                *triangle0.points[*local_vertex( triangle0.vertices, shared[0] )],
                *triangle0.points[*local_vertex( triangle0.vertices, shared[1] )],
                *triangle0.points[*apex0], *triangle1.points[*apex1] );
        }
        return false;
    }

    bool segment_triangle_intersect( const Point< 3 >& segment_start,
        const Point< 3 >& segment_end,
        const std::array< const Point< 3 >*, 3 >& triangle )
    {
        const auto coinciding_vertex =
            [&triangle]( const Point< 3 >& point ) -> std::optional< local_index_t > {
            for( const local_index_t v : { 0, 1, 2 } )
            {
                if( point.inexact_equal( *triangle[v] ) )
                {
                    return v;
                }
            }
            return std::nullopt;
        };
        const auto start_vertex = coinciding_vertex( segment_start );
        const auto end_vertex = coinciding_vertex( segment_end );
        if( start_vertex && end_vertex )
        {
            // Either the segment runs along a triangle edge, or it shrinks to
            // one vertex, where its ends do not count.
            return *start_vertex != *end_vertex;
        }
        if( start_vertex || end_vertex )
        {
            const auto v = start_vertex ? *start_vertex : *end_vertex;
            const auto& other = start_vertex ? segment_end : segment_start;
            return enters_triangle( *triangle[v], other, *triangle[( v + 1 ) % 3],
                *triangle[( v + 2 ) % 3] );
        }
        return segment_meets_triangle( segment_start, segment_end, triangle );
    }
} // namespace orvane::detail
