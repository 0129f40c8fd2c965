#include <openorvane/geometry/separation.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace
{
    using Vec = std::array< double, 3 >;

    /// The unit roundoff of double arithmetic.
    constexpr double U = std::numeric_limits< double >::epsilon() / 2;

    /// Directions shorter than this are not used: their projections could
    /// be lost to underflow.
    constexpr double MIN_NORM2 = 1e-200;

    /// Covers the absolute errors of products and sums that underflow
    /// (each at most the smallest subnormal).
    constexpr double UNDERFLOW_SLACK = 1e-290;

    Vec sub( const Vec& a, const Vec& b )
    {
        return { a[0] - b[0], a[1] - b[1], a[2] - b[2] };
    }

    Vec cross( const Vec& a, const Vec& b )
    {
        return { a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
            a[0] * b[1] - a[1] * b[0] };
    }

    double dot( const Vec& a, const Vec& b )
    {
        return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    }

    double abs_dot( const Vec& a, const Vec& b )
    {
        return std::fabs( a[0] ) * std::fabs( b[0] ) + std::fabs( a[1] ) * std::fabs( b[1] )
               + std::fabs( a[2] ) * std::fabs( b[2] );
    }

    /// Up to three points, as offsets from a common reference point.
    struct Shape
    {
        std::array< Vec, 3 > points;
        std::size_t size{ 0 };

        std::array< Vec, 3 > edges;
        std::size_t nb_edges{ 0 };

        Vec normal{ 0, 0, 0 };
        bool has_normal{ false };
    };

    /// Offsets fl(point - reference), false when one is not finite. Each
    /// offset coordinate d is within u |d| / (1 - u) of the exact
    /// difference (an exact difference when it is subnormal).
    bool make_shape(
        const orvane::Point< 3 >& reference, absl::Span< const orvane::Point< 3 > > points, Shape& shape )
    {
        if( points.empty() || points.size() > 3 )
        {
            return false;
        }
        shape.size = points.size();
        for( std::size_t i = 0; i < points.size(); i++ )
        {
            for( const int axis : { 0, 1, 2 } )
            {
                const auto value = points[i].value( axis ) - reference.value( axis );
                if( !std::isfinite( value ) )
                {
                    return false;
                }
                shape.points[i][axis] = value;
            }
        }
        return true;
    }

    /// Edges and normal of the shape spanned by `points` (offsets); they
    /// only propose directions, so their rounding does not matter.
    void add_features( Shape& shape, const Vec* points, std::size_t size )
    {
        for( std::size_t i = 0; i < size; i++ )
        {
            for( std::size_t j = i + 1; j < size && shape.nb_edges < 3; j++ )
            {
                shape.edges[shape.nb_edges++] = sub( points[j], points[i] );
            }
        }
        if( size == 3 )
        {
            shape.normal = cross( shape.edges[0], shape.edges[1] );
            shape.has_normal = true;
        }
    }

    /// The centroid of the shape's points (a direction proposal only).
    Vec centroid( const Shape& shape )
    {
        Vec sum{ 0, 0, 0 };
        for( std::size_t i = 0; i < shape.size; i++ )
        {
            for( const int axis : { 0, 1, 2 } )
            {
                sum[axis] += shape.points[i][axis];
            }
        }
        const auto scale = 1. / static_cast< double >( shape.size );
        return { sum[0] * scale, sum[1] * scale, sum[2] * scale };
    }

    /// Calls `try_direction` on directions likely to separate the two
    /// shapes, most promising first, until it answers true.
    template < typename Try >
    bool any_direction(
        const Shape& a, const Shape& b, const Try& try_direction, const Vec* extra = nullptr )
    {
        // Planes of the triangles.
        for( const auto* shape : { &a, &b } )
        {
            if( shape->has_normal && try_direction( shape->normal ) )
            {
                return true;
            }
        }
        if( extra && try_direction( *extra ) )
        {
            return true;
        }
        // Lines of the edges within the planes of the triangles.
        for( const auto* plane : { &a, &b } )
        {
            if( !plane->has_normal )
            {
                continue;
            }
            for( const auto* shape : { &a, &b } )
            {
                for( std::size_t e = 0; e < shape->nb_edges; e++ )
                {
                    if( try_direction( cross( shape->edges[e], plane->normal ) ) )
                    {
                        return true;
                    }
                }
            }
        }
        // Pairs of edges.
        for( std::size_t i = 0; i < a.nb_edges; i++ )
        {
            for( std::size_t j = 0; j < b.nb_edges; j++ )
            {
                if( try_direction( cross( a.edges[i], b.edges[j] ) ) )
                {
                    return true;
                }
            }
        }
        // From one shape to the other, straight and square to each edge.
        const auto between = sub( centroid( b ), centroid( a ) );
        if( try_direction( between ) )
        {
            return true;
        }
        for( const auto* shape : { &a, &b } )
        {
            for( std::size_t e = 0; e < shape->nb_edges; e++ )
            {
                const auto& edge = shape->edges[e];
                if( try_direction( cross( cross( edge, between ), edge ) ) )
                {
                    return true;
                }
            }
        }
        return false;
    }

    /// The computed projections of a shape's points on a direction.
    struct Extent
    {
        double min{ std::numeric_limits< double >::infinity() };
        double max{ -std::numeric_limits< double >::infinity() };
    };

    Extent project( const Shape& shape, const Vec& direction )
    {
        Extent extent;
        for( std::size_t i = 0; i < shape.size; i++ )
        {
            const auto projection = dot( direction, shape.points[i] );
            extent.min = std::min( extent.min, projection );
            extent.max = std::max( extent.max, projection );
        }
        return extent;
    }

    /// The largest computed sum of |n_k| |d_k| over the points of the two
    /// shapes.
    double magnitude( const Shape& a, const Shape& b, const Vec& direction )
    {
        double result{ 0 };
        for( const auto* shape : { &a, &b } )
        {
            for( std::size_t i = 0; i < shape->size; i++ )
            {
                result = std::max( result, abs_dot( direction, shape->points[i] ) );
            }
        }
        return result;
    }

    // Error bound. For an offset d of point x from the reference r and a
    // direction n (any double vector: it need not be exact), the computed
    // p = fl(n . d) satisfies |p - n . (x - r)| <= (gamma_3 + u / (1 - u))
    // sum |n_k| |d_k| <= 4.02 u A, A being that sum, plus underflow; the
    // computed A is at least A (1 - gamma_3). So between the two shapes, the
    // exact gap along n is at least the gap of the computed projections
    // minus 2 * 4.02 u A_max, and the distance between the hulls is at least
    // that gap over |n|. The test asks for 16 u A_max and multiplies the
    // wanted distance by (1 + 16 u) to cover the few roundings of the test
    // itself (each a relative u on positive values) and of |n|.

    /// Whether the computed `gap` along `direction` (squared length
    /// `norm2`) proves an exact gap larger than `distance` |n|, given the
    /// largest computed sum of |n_k| |d_k|.
    bool proves_gap( double gap, double norm2, double magnitude, double distance )
    {
        if( !std::isfinite( magnitude ) )
        {
            return false;
        }
        const auto required = 16 * U * magnitude
                              + distance * std::sqrt( norm2 ) * ( 1 + 16 * U )
                              + UNDERFLOW_SLACK;
        // The computed gap, scaled down for its own rounding.
        return gap * ( 1 - 4 * U ) > required;
    }

    /// Whether the direction is long enough, and finite, to be used.
    bool usable( const Vec& direction, double& norm2 )
    {
        norm2 = dot( direction, direction );
        return norm2 >= MIN_NORM2 && std::isfinite( norm2 );
    }
} // namespace

namespace orvane
{
    bool hulls_proven_farther_than( absl::Span< const Point< 3 > > first,
        absl::Span< const Point< 3 > > second,
        double distance )
    {
        if( first.empty() )
        {
            return false;
        }
        const auto& reference = first[0];
        Shape a;
        Shape b;
        if( !make_shape( reference, first, a ) || !make_shape( reference, second, b ) )
        {
            return false;
        }
        add_features( a, a.points.data(), a.size );
        add_features( b, b.points.data(), b.size );
        return any_direction( a, b, [&a, &b, distance]( const Vec& direction ) {
            double norm2;
            if( !usable( direction, norm2 ) )
            {
                return false;
            }
            const auto on_a = project( a, direction );
            const auto on_b = project( b, direction );
            const auto gap = std::max( on_b.min - on_a.max, on_a.min - on_b.max );
            // Most directions fail already without the rounding allowance.
            if( !( gap > 0 ) || gap * gap <= distance * distance * norm2 )
            {
                return false;
            }
            return proves_gap( gap, norm2, magnitude( a, b, direction ), distance );
        } );
    }

    bool proven_apart_around( absl::Span< const Point< 3 > > shared,
        absl::Span< const Point< 3 > > first,
        absl::Span< const Point< 3 > > second,
        double distance )
    {
        if( shared.empty() || first.empty() || second.empty()
            || shared.size() + first.size() > 3 || shared.size() + second.size() > 3 )
        {
            return false;
        }
        Shape common;
        Shape f;
        Shape g;
        const auto& reference = shared[0];
        if( !make_shape( reference, shared, common ) || !make_shape( reference, first, f )
            || !make_shape( reference, second, g ) )
        {
            return false;
        }
        // The directions come from the two whole shapes, each with the
        // shared points.
        const auto whole = [&common]( const Shape& side ) {
            Shape result;
            for( std::size_t i = 0; i < common.size; i++ )
            {
                result.points[result.size++] = common.points[i];
            }
            for( std::size_t i = 0; i < side.size; i++ )
            {
                result.points[result.size++] = side.points[i];
            }
            add_features( result, result.points.data(), result.size );
            return result;
        };
        const auto a = whole( f );
        const auto b = whole( g );
        // The plane halfway between the directions from the reference to
        // the two sides, which separates shapes of one plane (a fan of
        // triangles around a vertex) when the planes of edges do not.
        const auto unit = []( const Vec& vector ) {
            const auto length = std::sqrt( dot( vector, vector ) );
            return Vec{ vector[0] / length, vector[1] / length, vector[2] / length };
        };
        const auto bisector = sub( unit( centroid( g ) ), unit( centroid( f ) ) );
        return any_direction(
            a, b,
            [&]( const Vec& direction ) {
                double norm2;
                if( !usable( direction, norm2 ) )
                {
                    return false;
                }
                const auto on_common = project( common, direction );
                const auto on_f = project( f, direction );
                const auto on_g = project( g, direction );
                // `low` below the shared points and the other side, `high`
                // above them and the low side.
                const auto separates = [&]( const Extent& low, const Extent& high ) {
                    const auto gap_low = std::min( on_common.min, high.min ) - low.max;
                    const auto gap_high = high.min - std::max( on_common.max, low.max );
                    if( !( gap_low > 0 && gap_high > 0 )
                        || std::min( gap_low, gap_high ) * std::min( gap_low, gap_high )
                               <= distance * distance * norm2 )
                    {
                        return false;
                    }
                    const auto allowance = magnitude( a, b, direction );
                    return proves_gap( gap_low, norm2, allowance, distance )
                           && proves_gap( gap_high, norm2, allowance, distance );
                };
                return separates( on_f, on_g ) || separates( on_g, on_f );
            },
            &bisector );
    }

    bool proven_apart_beyond_apex( const Point< 3 >& apex,
        absl::Span< const Point< 3 > > first,
        absl::Span< const Point< 3 > > second )
    {
        return proven_apart_around( { apex }, first, second, 0 );
    }
} // namespace orvane
