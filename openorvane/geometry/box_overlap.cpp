#include <openorvane/geometry/box_overlap.hpp>

#include <array>

#include <absl/types/span.h>

#include <openorvane/geometry/predicates.hpp>

// The tests follow the separating-axis argument. A convex polytope A and a
// box B are disjoint exactly when the origin lies outside A - B, that is
// strictly outside one facet of A - B. The facet normals of A - B are the
// box's face normals, A's own face normals (outward) and the cross products
// of a box edge (a coordinate axis) with an edge of A. Each family is tested
// exactly:
// - box normals: comparisons of coordinates;
// - face normals of A: the eight box corners strictly beyond the face's
//   plane (exact orient3d);
// - axis x edge: the projection that drops that axis is exact, and the
//   separation there is a two-dimensional question between the projected
//   hull of A and a rectangle, answered with exact orient2d signs.

namespace
{
    using namespace orvane;

    int sign_of( double value )
    {
        return ( value > 0 ) - ( value < 0 );
    }

    /// The projection that drops coordinate `axis`, keeping the two others
    /// in cyclic order.
    Point< 2 > project( const Point< 3 >& point, local_index_t axis )
    {
        return Point< 2 >{ { point.value( ( axis + 1 ) % 3 ),
            point.value( ( axis + 2 ) % 3 ) } };
    }

    struct Rectangle
    {
        std::array< double, 2 > min;
        std::array< double, 2 > max;

        bool contains( const Point< 2 >& point ) const
        {
            return point.value( 0 ) >= min[0] && point.value( 0 ) <= max[0]
                   && point.value( 1 ) >= min[1] && point.value( 1 ) <= max[1];
        }

        std::array< Point< 2 >, 4 > corners() const
        {
            return { Point< 2 >{ { min[0], min[1] } },
                Point< 2 >{ { max[0], min[1] } },
                Point< 2 >{ { max[0], max[1] } },
                Point< 2 >{ { min[0], max[1] } } };
        }
    };

    Rectangle project( const BoundingBox< 3 >& box, local_index_t axis )
    {
        const auto u = static_cast< local_index_t >( ( axis + 1 ) % 3 );
        const auto v = static_cast< local_index_t >( ( axis + 2 ) % 3 );
        return Rectangle{ { box.min().value( u ), box.min().value( v ) },
            { box.max().value( u ), box.max().value( v ) } };
    }

    /// Closed segment against closed rectangle: the bounding boxes overlap
    /// and the four corners are not strictly on one side of the segment's
    /// line.
    bool segment_rectangle_overlap(
        const Point< 2 >& a, const Point< 2 >& b, const Rectangle& rectangle )
    {
        for( const local_index_t c : { 0, 1 } )
        {
            if( std::max( a.value( c ), b.value( c ) ) < rectangle.min[c]
                || std::min( a.value( c ), b.value( c ) ) > rectangle.max[c] )
            {
                return false;
            }
        }
        if( a == b )
        {
            return true;
        }
        int positive{ 0 };
        int negative{ 0 };
        for( const auto& corner : rectangle.corners() )
        {
            const auto side = sign_of( detail::orient2d( a, b, corner ) );
            positive += side > 0;
            negative += side < 0;
        }
        return positive != 4 && negative != 4;
    }

    /// Whether the point lies in the closed triangle; a triangle with three
    /// collinear points contains nothing here (its segments answer for it).
    bool point_in_proper_triangle( const Point< 2 >& point,
        const Point< 2 >& a,
        const Point< 2 >& b,
        const Point< 2 >& c )
    {
        const auto orientation = sign_of( detail::orient2d( a, b, c ) );
        if( orientation == 0 )
        {
            return false;
        }
        return sign_of( detail::orient2d( a, b, point ) ) != -orientation
               && sign_of( detail::orient2d( b, c, point ) ) != -orientation
               && sign_of( detail::orient2d( c, a, point ) ) != -orientation;
    }

    /// Whether the convex hull of the points meets the closed rectangle.
    /// The hull meets it exactly when a segment between two of the points
    /// meets it (the hull's edges are among them) or a corner of the
    /// rectangle lies in a triangle of three of the points (Caratheodory).
    bool hull_rectangle_overlap(
        absl::Span< const Point< 2 > > points, const Rectangle& rectangle )
    {
        for( const auto& point : points )
        {
            if( rectangle.contains( point ) )
            {
                return true;
            }
        }
        for( std::size_t i = 0; i < points.size(); i++ )
        {
            for( std::size_t j = i + 1; j < points.size(); j++ )
            {
                if( segment_rectangle_overlap( points[i], points[j], rectangle ) )
                {
                    return true;
                }
            }
        }
        const auto corners = rectangle.corners();
        for( std::size_t i = 0; i < points.size(); i++ )
        {
            for( std::size_t j = i + 1; j < points.size(); j++ )
            {
                for( std::size_t k = j + 1; k < points.size(); k++ )
                {
                    for( const auto& corner : corners )
                    {
                        if( point_in_proper_triangle(
                                corner, points[i], points[j], points[k] ) )
                        {
                            return true;
                        }
                    }
                }
            }
        }
        return false;
    }

    template < std::size_t N >
    bool boxes_overlap(
        const std::array< Point< 3 >, N >& points, const BoundingBox< 3 >& box )
    {
        for( const local_index_t c : { 0, 1, 2 } )
        {
            double low{ points[0].value( c ) };
            double high{ low };
            for( const auto& point : points )
            {
                low = std::min( low, point.value( c ) );
                high = std::max( high, point.value( c ) );
            }
            if( high < box.min().value( c ) || low > box.max().value( c ) )
            {
                return false;
            }
        }
        return true;
    }

    std::array< Point< 3 >, 8 > box_corners( const BoundingBox< 3 >& box )
    {
        std::array< Point< 3 >, 8 > corners;
        for( const index_t c : { 0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u } )
        {
            corners[c] = Point< 3 >{ { ( c & 1 ) ? box.max().value( 0 )
                                                 : box.min().value( 0 ),
                ( c & 2 ) ? box.max().value( 1 ) : box.min().value( 1 ),
                ( c & 4 ) ? box.max().value( 2 ) : box.min().value( 2 ) } };
        }
        return corners;
    }

    /// Whether every corner lies strictly on the side `side` (+1 or -1) of
    /// the plane (a, b, c).
    bool corners_strictly_on_side( const std::array< Point< 3 >, 8 >& corners,
        const Point< 3 >& a,
        const Point< 3 >& b,
        const Point< 3 >& c,
        int side )
    {
        for( const auto& corner : corners )
        {
            if( sign_of( detail::orient3d( a, b, c, corner ) ) != side )
            {
                return false;
            }
        }
        return true;
    }

    template < std::size_t N >
    bool projections_overlap(
        const std::array< Point< 3 >, N >& points, const BoundingBox< 3 >& box )
    {
        for( const local_index_t axis : { 0, 1, 2 } )
        {
            std::array< Point< 2 >, N > projected;
            for( std::size_t p = 0; p < N; p++ )
            {
                projected[p] = project( points[p], axis );
            }
            if( !hull_rectangle_overlap( projected, project( box, axis ) ) )
            {
                return false;
            }
        }
        return true;
    }
} // namespace

namespace orvane
{
    bool segment_box_overlap(
        const Segment< 3 >& segment, const BoundingBox< 3 >& box )
    {
        const auto& points = segment.vertices();
        return boxes_overlap( points, box ) && projections_overlap( points, box );
    }

    bool triangle_box_overlap(
        const Triangle< 3 >& triangle, const BoundingBox< 3 >& box )
    {
        const auto& points = triangle.vertices();
        if( !boxes_overlap( points, box ) )
        {
            return false;
        }
        // The triangle's plane, seen from both sides since the triangle is
        // flat.
        const auto corners = box_corners( box );
        if( corners_strictly_on_side(
                corners, points[0], points[1], points[2], 1 )
            || corners_strictly_on_side(
                corners, points[0], points[1], points[2], -1 ) )
        {
            return false;
        }
        return projections_overlap( points, box );
    }

    bool tetrahedron_box_overlap(
        const Tetrahedron& tetrahedron, const BoundingBox< 3 >& box )
    {
        const auto& points = tetrahedron.vertices();
        if( !boxes_overlap( points, box ) )
        {
            return false;
        }
        const auto corners = box_corners( box );
        for( const local_index_t f : { 0, 1, 2, 3 } )
        {
            const auto& a = points[( f + 1 ) % 4];
            const auto& b = points[( f + 2 ) % 4];
            const auto& c = points[( f + 3 ) % 4];
            const auto apex = sign_of( detail::orient3d( a, b, c, points[f] ) );
            // The tetrahedron lies on the apex side of the face; the outer
            // side is the other one, and both when the tetrahedron is flat.
            if( apex != 1 && corners_strictly_on_side( corners, a, b, c, 1 ) )
            {
                return false;
            }
            if( apex != -1 && corners_strictly_on_side( corners, a, b, c, -1 ) )
            {
                return false;
            }
        }
        return projections_overlap( points, box );
    }
} // namespace orvane
