#include <openorvane/geometry/barycentric_coordinates.hpp>

#include <cmath>
#include <optional>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/mensuration.hpp>
#include <openorvane/geometry/predicates.hpp>

namespace
{
    bool exactly_collinear( const orvane::Triangle< 2 >& triangle )
    {
        return orvane::triangle_area_sign( triangle ) == orvane::SIDE::zero;
    }

    bool exactly_collinear( const orvane::Triangle< 3 >& triangle )
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

    /// Coordinates of the projection for a valid triangle, nothing for a
    /// degenerate one. The coordinates are ratios of (signed) areas, which
    /// stay accurate on thin triangles where the Gram determinant cancels.
    std::optional< std::array< double, 3 > > regular_coordinates(
        const orvane::Point< 2 >& point, const orvane::Triangle< 2 >& triangle )
    {
        if( exactly_collinear( triangle ) )
        {
            return std::nullopt;
        }
        const auto& v = triangle.vertices();
        const double area = orvane::triangle_signed_area( triangle );
        if( std::fabs( 2. * area ) <= orvane::DIVISION_EPSILON )
        {
            return std::nullopt;
        }
        const double l1 =
            orvane::triangle_signed_area( { v[0], point, v[2] } ) / area;
        const double l2 =
            orvane::triangle_signed_area( { v[0], v[1], point } ) / area;
        return std::array< double, 3 >{ 1. - l1 - l2, l1, l2 };
    }

    std::optional< std::array< double, 3 > > regular_coordinates(
        const orvane::Point< 3 >& point, const orvane::Triangle< 3 >& triangle )
    {
        if( exactly_collinear( triangle ) )
        {
            return std::nullopt;
        }
        const auto& v = triangle.vertices();
        const orvane::Vector< 3 > ab{ v[0], v[1] };
        const orvane::Vector< 3 > ac{ v[0], v[2] };
        const orvane::Vector< 3 > ap{ v[0], point };
        const auto normal = ab.cross( ac );
        const double length2 = normal.length2();
        if( std::sqrt( length2 ) <= orvane::DIVISION_EPSILON )
        {
            return std::nullopt;
        }
        const double l1 = normal.dot( ap.cross( ac ) ) / length2;
        const double l2 = normal.dot( ab.cross( ap ) ) / length2;
        return std::array< double, 3 >{ 1. - l1 - l2, l1, l2 };
    }

    std::optional< std::array< double, 4 > > regular_coordinates(
        const orvane::Point< 3 >& point, const orvane::Tetrahedron& tetrahedron )
    {
        if( orvane::tetrahedron_volume_sign( tetrahedron ) == orvane::SIDE::zero )
        {
            return std::nullopt;
        }
        const double volume = orvane::tetrahedron_signed_volume( tetrahedron );
        if( std::fabs( 6. * volume ) <= orvane::DIVISION_EPSILON )
        {
            return std::nullopt;
        }
        std::array< double, 4 > result;
        double others{ 0. };
        for( const orvane::local_index_t v : { 1, 2, 3 } )
        {
            auto replaced = tetrahedron;
            replaced.set_point( v, point );
            result[v] = orvane::tetrahedron_signed_volume( replaced ) / volume;
            others += result[v];
        }
        result[0] = 1. - others;
        return result;
    }
} // namespace

namespace orvane
{
    template < index_t dimension >
    std::array< double, 2 > safe_segment_barycentric_coordinates(
        const Point< dimension >& point, const Segment< dimension >& segment )
    {
        const auto& vertices = segment.vertices();
        const Vector< dimension > direction{ vertices[0], vertices[1] };
        const double length2 = direction.length2();
        if( std::sqrt( length2 ) <= DIVISION_EPSILON )
        {
            return { 0.5, 0.5 };
        }
        const double t =
            Vector< dimension >{ vertices[0], point }.dot( direction ) / length2;
        return { 1. - t, t };
    }

    template < index_t dimension >
    std::array< double, 3 > safe_triangle_barycentric_coordinates(
        const Point< dimension >& point, const Triangle< dimension >& triangle )
    {
        if( const auto coordinates = regular_coordinates( point, triangle ) )
        {
            return *coordinates;
        }
        const auto& vertices = triangle.vertices();
        local_index_t longest_edge{ 0 };
        double longest_length2{ -1. };
        for( const local_index_t e : { 0, 1, 2 } )
        {
            const double length2 =
                Vector< dimension >{ vertices[e], vertices[( e + 1 ) % 3] }
                    .length2();
            if( length2 > longest_length2 )
            {
                longest_length2 = length2;
                longest_edge = e;
            }
        }
        if( std::sqrt( longest_length2 ) <= DIVISION_EPSILON )
        {
            return { 1. / 3., 1. / 3., 1. / 3. };
        }
        const auto next = static_cast< local_index_t >( ( longest_edge + 1 ) % 3 );
        const auto edge_coordinates = safe_segment_barycentric_coordinates(
            point, Segment< dimension >{ vertices[longest_edge], vertices[next] } );
        std::array< double, 3 > result{ 0., 0., 0. };
        result[longest_edge] = edge_coordinates[0];
        result[next] = edge_coordinates[1];
        return result;
    }

    std::array< double, 4 > safe_tetrahedron_barycentric_coordinates(
        const Point< 3 >& point, const Tetrahedron& tetrahedron )
    {
        if( const auto coordinates = regular_coordinates( point, tetrahedron ) )
        {
            return *coordinates;
        }
        const auto& vertices = tetrahedron.vertices();
        // Facet f is opposite vertex f; any vertex order of a facet gives the
        // same coordinates.
        constexpr std::array< std::array< local_index_t, 3 >, 4 > FACETS{ {
            { 1, 3, 2 },
            { 0, 2, 3 },
            { 3, 1, 0 },
            { 0, 1, 2 },
        } };
        local_index_t largest{ 0 };
        double largest_area{ -1. };
        for( const local_index_t f : { 0, 1, 2, 3 } )
        {
            const double area = triangle_area( Triangle< 3 >{
                vertices[FACETS[f][0]], vertices[FACETS[f][1]],
                vertices[FACETS[f][2]] } );
            if( area > largest_area )
            {
                largest_area = area;
                largest = f;
            }
        }
        const auto& facet = FACETS[largest];
        const auto facet_coordinates = safe_triangle_barycentric_coordinates(
            point, Triangle< 3 >{ vertices[facet[0]], vertices[facet[1]],
                       vertices[facet[2]] } );
        std::array< double, 4 > result{ 0., 0., 0., 0. };
        for( const local_index_t v : { 0, 1, 2 } )
        {
            result[facet[v]] = facet_coordinates[v];
        }
        return result;
    }

    template < index_t dimension >
    std::array< double, 3 > triangle_barycentric_coordinates(
        const Point< dimension >& point, const Triangle< dimension >& triangle )
    {
        const auto coordinates = regular_coordinates( point, triangle );
        if( !coordinates )
        {
            throw OpenOrvaneException{ "[triangle_barycentric_coordinates] "
                                       "Degenerated triangle" };
        }
        return *coordinates;
    }

    std::array< double, 4 > tetrahedron_barycentric_coordinates(
        const Point< 3 >& point, const Tetrahedron& tetrahedron )
    {
        const auto coordinates = regular_coordinates( point, tetrahedron );
        if( !coordinates )
        {
            throw OpenOrvaneException{ "[tetrahedron_barycentric_coordinates] "
                                       "Degenerated tetrahedron" };
        }
        return *coordinates;
    }

    template std::array< double, 2 > safe_segment_barycentric_coordinates(
        const Point< 2 >&, const Segment< 2 >& );
    template std::array< double, 2 > safe_segment_barycentric_coordinates(
        const Point< 3 >&, const Segment< 3 >& );
    template std::array< double, 3 > safe_triangle_barycentric_coordinates(
        const Point< 2 >&, const Triangle< 2 >& );
    template std::array< double, 3 > safe_triangle_barycentric_coordinates(
        const Point< 3 >&, const Triangle< 3 >& );
    template std::array< double, 3 > triangle_barycentric_coordinates(
        const Point< 2 >&, const Triangle< 2 >& );
    template std::array< double, 3 > triangle_barycentric_coordinates(
        const Point< 3 >&, const Triangle< 3 >& );
} // namespace orvane
