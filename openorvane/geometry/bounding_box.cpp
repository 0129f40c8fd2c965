#include <openorvane/geometry/bounding_box.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

#include <openorvane/geometry/basic_objects.hpp>

namespace
{
    // Each parameter along a line is computed with one subtraction and one
    // division, whose signs are exact and whose relative error is at most
    // two units of roundoff; a direction from two points adds one more.
    // Accepting parameters within this relative slack makes the line tests
    // conservative: they never reject a line that meets the box.
    constexpr double LINE_SLACK = 16. * std::numeric_limits< double >::epsilon();

    template < orvane::index_t dimension >
    bool line_meets_box( const orvane::Point< dimension >& origin,
        const orvane::Point< dimension >& direction,
        double t_end,
        const orvane::Point< dimension >& min,
        const orvane::Point< dimension >& max )
    {
        double t_min = 0.;
        double t_max = t_end;
        for( orvane::local_index_t i = 0; i < dimension; i++ )
        {
            const double o = origin.value( i );
            const double d = direction.value( i );
            if( d == 0. )
            {
                if( o < min.value( i ) || o > max.value( i ) )
                {
                    return false;
                }
                continue;
            }
            const double t1 = ( min.value( i ) - o ) / d;
            const double t2 = ( max.value( i ) - o ) / d;
            t_min = std::max( t_min, std::min( t1, t2 ) );
            t_max = std::min( t_max, std::max( t1, t2 ) );
            if( t_max < 0. )
            {
                return false;
            }
        }
        return t_min <= t_max * ( 1. + LINE_SLACK );
    }
} // namespace

namespace orvane
{
    template < index_t dimension >
    BoundingBox< dimension >::BoundingBox()
    {
        for( local_index_t i = 0; i < dimension; i++ )
        {
            min_.set_value( i, std::numeric_limits< double >::max() );
            max_.set_value( i, std::numeric_limits< double >::lowest() );
        }
    }

    template < index_t dimension >
    void BoundingBox< dimension >::add_point( const Point< dimension >& point )
    {
        for( local_index_t i = 0; i < dimension; i++ )
        {
            min_.set_value( i, std::min( min_.value( i ), point.value( i ) ) );
            max_.set_value( i, std::max( max_.value( i ), point.value( i ) ) );
        }
    }

    template < index_t dimension >
    void BoundingBox< dimension >::add_box( const BoundingBox< dimension >& box )
    {
        if( box.empty() )
        {
            return;
        }
        add_point( box.min_ );
        add_point( box.max_ );
    }

    template < index_t dimension >
    void BoundingBox< dimension >::extends( double distance )
    {
        if( empty() )
        {
            return;
        }
        for( local_index_t i = 0; i < dimension; i++ )
        {
            min_.set_value( i, min_.value( i ) - distance );
            max_.set_value( i, max_.value( i ) + distance );
        }
    }

    template < index_t dimension >
    bool BoundingBox< dimension >::empty() const
    {
        return min_.value( 0 ) > max_.value( 0 );
    }

    template < index_t dimension >
    Point< dimension > BoundingBox< dimension >::center() const
    {
        return ( min_ + max_ ) * 0.5;
    }

    template < index_t dimension >
    Vector< dimension > BoundingBox< dimension >::diagonal() const
    {
        return Vector< dimension >{ min_, max_ };
    }

    template < index_t dimension >
    bool BoundingBox< dimension >::contains(
        const Point< dimension >& point ) const
    {
        for( local_index_t i = 0; i < dimension; i++ )
        {
            if( point.value( i ) < min_.value( i )
                || point.value( i ) > max_.value( i ) )
            {
                return false;
            }
        }
        return true;
    }

    template < index_t dimension >
    bool BoundingBox< dimension >::intersects(
        const BoundingBox< dimension >& box ) const
    {
        for( local_index_t i = 0; i < dimension; i++ )
        {
            if( max_.value( i ) < box.min_.value( i )
                || box.max_.value( i ) < min_.value( i ) )
            {
                return false;
            }
        }
        return true;
    }

    template < index_t dimension >
    bool BoundingBox< dimension >::intersects(
        const Ray< dimension >& ray ) const
    {
        if( empty() )
        {
            return false;
        }
        return line_meets_box( ray.origin(), ray.direction(),
            std::numeric_limits< double >::infinity(), min_, max_ );
    }

    template < index_t dimension >
    bool BoundingBox< dimension >::intersects(
        const Segment< dimension >& segment ) const
    {
        if( empty() )
        {
            return false;
        }
        const auto& vertices = segment.vertices();
        return line_meets_box(
            vertices[0], vertices[1] - vertices[0], 1., min_, max_ );
    }

    template < index_t dimension >
    double BoundingBox< dimension >::signed_distance(
        const Point< dimension >& point ) const
    {
        if( contains( point ) )
        {
            double inner = std::numeric_limits< double >::max();
            for( local_index_t i = 0; i < dimension; i++ )
            {
                inner = std::min( inner,
                    std::min( point.value( i ) - min_.value( i ),
                        max_.value( i ) - point.value( i ) ) );
            }
            return -inner;
        }
        double square{ 0. };
        for( local_index_t i = 0; i < dimension; i++ )
        {
            double excess{ 0. };
            if( point.value( i ) < min_.value( i ) )
            {
                excess = min_.value( i ) - point.value( i );
            }
            else if( point.value( i ) > max_.value( i ) )
            {
                excess = point.value( i ) - max_.value( i );
            }
            square += excess * excess;
        }
        return std::sqrt( square );
    }

    template class BoundingBox< 2 >;
    template class BoundingBox< 3 >;
} // namespace orvane
