#include <tests/openorvane/inspector/exact_contact_reference.hpp>

#include <algorithm>
#include <optional>

#include <absl/container/inlined_vector.h>

namespace
{
    using orvane::test::IntegerPoint;
    using Int = __int128;

    /// A point (x / w, y / w, z / w) with w > 0.
    struct Rational
    {
        std::array< Int, 3 > x;
        Int w;
    };

    using Vec = std::array< Int, 3 >;

    Rational exact( const IntegerPoint& p )
    {
        return { { p[0], p[1], p[2] }, 1 };
    }

    Vec scaled( const IntegerPoint& p, Int w )
    {
        return { p[0] * w, p[1] * w, p[2] * w };
    }

    Vec minus( const Vec& a, const Vec& b )
    {
        return { a[0] - b[0], a[1] - b[1], a[2] - b[2] };
    }

    Vec cross( const Vec& a, const Vec& b )
    {
        return { a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
            a[0] * b[1] - a[1] * b[0] };
    }

    Int dot( const Vec& a, const Vec& b )
    {
        return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    }

    bool is_zero( const Vec& v )
    {
        return v[0] == 0 && v[1] == 0 && v[2] == 0;
    }

    bool same_point( const Rational& p, const Rational& q )
    {
        for( int i = 0; i < 3; i++ )
        {
            if( p.x[i] * q.w != q.x[i] * p.w )
            {
                return false;
            }
        }
        return true;
    }

    /// Whether the rational point lies on the closed segment [a, b].
    bool on_segment( const Rational& p, const IntegerPoint& a, const IntegerPoint& b )
    {
        const auto ab = minus( scaled( b, 1 ), scaled( a, 1 ) );
        const auto ap = minus( p.x, scaled( a, p.w ) );
        if( is_zero( ab ) )
        {
            return is_zero( ap );
        }
        if( !is_zero( cross( ab, ap ) ) )
        {
            return false;
        }
        const auto along = dot( ap, ab );
        return along >= 0 && along <= dot( ab, ab ) * p.w;
    }

    bool collinear( const std::array< IntegerPoint, 3 >& t )
    {
        const auto a = scaled( t[0], 1 );
        return is_zero( cross( minus( scaled( t[1], 1 ), a ), minus( scaled( t[2], 1 ), a ) ) );
    }

    /// Whether the rational point lies in the closed triangle.
    bool in_triangle( const Rational& p, const std::array< IntegerPoint, 3 >& t )
    {
        if( collinear( t ) )
        {
            return on_segment( p, t[0], t[1] ) || on_segment( p, t[1], t[2] )
                   || on_segment( p, t[2], t[0] );
        }
        const auto a = scaled( t[0], 1 );
        const auto normal =
            cross( minus( scaled( t[1], 1 ), a ), minus( scaled( t[2], 1 ), a ) );
        if( dot( normal, minus( p.x, scaled( t[0], p.w ) ) ) != 0 )
        {
            return false;
        }
        for( int e = 0; e < 3; e++ )
        {
            const auto edge = minus( scaled( t[( e + 1 ) % 3], 1 ), scaled( t[e], 1 ) );
            const auto to_point = minus( p.x, scaled( t[e], p.w ) );
            if( dot( normal, cross( edge, to_point ) ) < 0 )
            {
                return false;
            }
        }
        return true;
    }

    Rational normalized( Vec x, Int w )
    {
        if( w < 0 )
        {
            for( auto& c : x )
            {
                c = -c;
            }
            w = -w;
        }
        return { x, w };
    }

    /// The crossing of the lines through two segments, when they are
    /// coplanar and not parallel.
    std::optional< Rational > line_crossing( const IntegerPoint& p,
        const IntegerPoint& q,
        const IntegerPoint& r,
        const IntegerPoint& s )
    {
        const auto d1 = minus( scaled( q, 1 ), scaled( p, 1 ) );
        const auto d2 = minus( scaled( s, 1 ), scaled( r, 1 ) );
        const auto normal = cross( d1, d2 );
        const auto pr = minus( scaled( r, 1 ), scaled( p, 1 ) );
        if( is_zero( normal ) || dot( pr, normal ) != 0 )
        {
            return std::nullopt;
        }
        // p + t d1 with t = ((r - p) x d2).n / n.n
        const auto numerator = dot( cross( pr, d2 ), normal );
        const auto denominator = dot( normal, normal );
        Vec x;
        for( int i = 0; i < 3; i++ )
        {
            x[i] = p[i] * denominator + numerator * d1[i];
        }
        return normalized( x, denominator );
    }

    /// The crossing of the line through a segment with the plane of a
    /// proper triangle, when the line is not parallel to it.
    std::optional< Rational > plane_crossing( const IntegerPoint& p,
        const IntegerPoint& q,
        const std::array< IntegerPoint, 3 >& t )
    {
        if( collinear( t ) )
        {
            return std::nullopt;
        }
        const auto a = scaled( t[0], 1 );
        const auto normal =
            cross( minus( scaled( t[1], 1 ), a ), minus( scaled( t[2], 1 ), a ) );
        const auto d = minus( scaled( q, 1 ), scaled( p, 1 ) );
        const auto denominator = dot( normal, d );
        if( denominator == 0 )
        {
            return std::nullopt;
        }
        const auto numerator = dot( normal, minus( a, scaled( p, 1 ) ) );
        Vec x;
        for( int i = 0; i < 3; i++ )
        {
            x[i] = p[i] * denominator + numerator * d[i];
        }
        return normalized( x, denominator );
    }

    /// A segment (two points) or a triangle (three points).
    struct Element
    {
        std::array< IntegerPoint, 3 > points;
        std::size_t size;

        const IntegerPoint& operator[]( std::size_t i ) const
        {
            return points[i];
        }
    };

    using Candidates = absl::InlinedVector< Rational, 24 >;

    /// The candidate corners of the common set of two elements, each a
    /// segment (two points) or a triangle (three points).
    Candidates candidate_corners( const Element& element0, const Element& element1 )
    {
        Candidates candidates;
        const auto edges = []( const Element& element ) {
            absl::InlinedVector< std::array< IntegerPoint, 2 >, 3 > result;
            for( std::size_t e = 0; e < element.size; e++ )
            {
                result.push_back( { element[e], element[( e + 1 ) % element.size] } );
            }
            return result;
        };
        for( const auto* element : { &element0, &element1 } )
        {
            for( std::size_t v = 0; v < element->size; v++ )
            {
                candidates.push_back( exact( ( *element )[v] ) );
            }
        }
        for( const auto& e0 : edges( element0 ) )
        {
            for( const auto& e1 : edges( element1 ) )
            {
                if( const auto crossing = line_crossing( e0[0], e0[1], e1[0], e1[1] ) )
                {
                    candidates.push_back( *crossing );
                }
            }
        }
        const auto add_plane_crossings = [&]( const Element& from, const Element& to ) {
            if( to.size != 3 )
            {
                return;
            }
            for( const auto& e : edges( from ) )
            {
                if( const auto crossing = plane_crossing( e[0], e[1], { to[0], to[1], to[2] } ) )
                {
                    candidates.push_back( *crossing );
                }
            }
        };
        add_plane_crossings( element0, element1 );
        add_plane_crossings( element1, element0 );
        return candidates;
    }

    bool in_element( const Rational& p, const Element& element )
    {
        if( element.size == 2 )
        {
            return on_segment( p, element[0], element[1] );
        }
        return in_triangle( p, { element[0], element[1], element[2] } );
    }
} // namespace

namespace orvane::test
{
    bool reference_triangles_intersect( const std::array< IntegerPoint, 3 >& triangle0,
        const std::array< long long, 3 >& vertices0,
        const std::array< IntegerPoint, 3 >& triangle1,
        const std::array< long long, 3 >& vertices1 )
    {
        std::vector< IntegerPoint > shared;
        std::vector< long long > shared_ids;
        for( int v = 0; v < 3; v++ )
        {
            const bool in_other = std::find( vertices1.begin(), vertices1.end(), vertices0[v] )
                                  != vertices1.end();
            if( in_other
                && std::find( shared_ids.begin(), shared_ids.end(), vertices0[v] )
                       == shared_ids.end() )
            {
                shared_ids.push_back( vertices0[v] );
                shared.push_back( triangle0[v] );
            }
        }
        if( shared.size() == 3 )
        {
            return false;
        }
        const Element element0{ triangle0, 3 };
        const Element element1{ triangle1, 3 };
        for( const auto& corner : candidate_corners( element0, element1 ) )
        {
            if( !in_element( corner, element0 ) || !in_element( corner, element1 ) )
            {
                continue;
            }
            const bool allowed =
                ( shared.size() == 1 && same_point( corner, exact( shared[0] ) ) )
                || ( shared.size() == 2 && on_segment( corner, shared[0], shared[1] ) );
            if( !allowed )
            {
                return true;
            }
        }
        return false;
    }

    bool reference_segment_triangle_intersect( const IntegerPoint& start,
        const IntegerPoint& end,
        const std::array< IntegerPoint, 3 >& triangle )
    {
        const Element segment{ { start, end, end }, 2 };
        const Element element{ triangle, 3 };
        std::vector< Rational > excluded;
        for( const auto& point : { start, end } )
        {
            if( std::find( triangle.begin(), triangle.end(), point ) != triangle.end() )
            {
                excluded.push_back( exact( point ) );
            }
        }
        // The common set is a segment or a point: two distinct corners mean
        // a common piece of positive length, which holds points other than
        // the excluded ends.
        Candidates common;
        for( const auto& corner : candidate_corners( segment, element ) )
        {
            if( in_element( corner, segment ) && in_element( corner, element ) )
            {
                common.push_back( corner );
            }
        }
        for( const auto& corner : common )
        {
            if( !same_point( corner, common.front() ) )
            {
                return true;
            }
        }
        if( !common.empty() )
        {
            return std::none_of( excluded.begin(), excluded.end(),
                [&common]( const Rational& point ) { return same_point( common.front(), point ); } );
        }
        return false;
    }
} // namespace orvane::test
