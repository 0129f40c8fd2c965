#pragma once

#include <array>
#include <cmath>
#include <string>
#include <utility>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    namespace detail
    {
        /// Throws "[Point::operator/] Cannot divide Point by something close
        /// to zero" unless |divider| > DIVISION_EPSILON (a NaN fails too).
        void check_point_divider( double divider );
    } // namespace detail

    /// A point of dimension 2 or 3: plain coordinates with arithmetic.
    /// The default point is the origin.
    template < index_t dimension >
    class Point
    {
        static_assert( dimension == 2 || dimension == 3,
            "Point is defined for dimensions 2 and 3" );

    public:
        Point()
        {
            values_.fill( 0. );
        }

        explicit Point( const std::array< double, dimension >& values )
            : values_( values )
        {
        }

        double value( local_index_t index ) const
        {
            return values_[index];
        }

        void set_value( local_index_t index, double value )
        {
            values_[index] = value;
        }

        /// Exact coordinate-wise equality.
        bool operator==( const Point& other ) const
        {
            return values_ == other.values_;
        }

        bool operator!=( const Point& other ) const
        {
            return !( *this == other );
        }

        /// Lexicographic order on the coordinates (x first).
        bool operator<( const Point& other ) const
        {
            for( const auto i : local_range() )
            {
                if( values_[i] < other.values_[i] )
                {
                    return true;
                }
                if( values_[i] > other.values_[i] )
                {
                    return false;
                }
            }
            return false;
        }

        Point operator+( const Point& other ) const
        {
            Point result{ *this };
            result += other;
            return result;
        }

        Point& operator+=( const Point& other )
        {
            for( const auto i : local_range() )
            {
                values_[i] += other.values_[i];
            }
            return *this;
        }

        Point operator-( const Point& other ) const
        {
            Point result{ *this };
            result -= other;
            return result;
        }

        Point& operator-=( const Point& other )
        {
            for( const auto i : local_range() )
            {
                values_[i] -= other.values_[i];
            }
            return *this;
        }

        Point operator*( double multiplier ) const
        {
            Point result{ *this };
            result *= multiplier;
            return result;
        }

        Point& operator*=( double multiplier )
        {
            for( auto& value : values_ )
            {
                value *= multiplier;
            }
            return *this;
        }

        /// Divides each coordinate by `divider`. Throws OpenOrvaneException
        /// when |divider| <= DIVISION_EPSILON or divider is NaN; the point
        /// is then left unchanged.
        Point operator/( double divider ) const
        {
            Point result{ *this };
            result /= divider;
            return result;
        }

        Point& operator/=( double divider )
        {
            detail::check_point_divider( divider );
            for( auto& value : values_ )
            {
                value /= divider;
            }
            return *this;
        }

        /// True when the squared distance, summed one axis at a time, stays
        /// at or below GLOBAL_EPSILON2. The sum stops as soon as it exceeds
        /// the tolerance.
        /// True when no coordinate is NaN or infinite.
        bool is_finite() const
        {
            for( const auto i : local_range() )
            {
                if( !std::isfinite( values_[i] ) )
                {
                    return false;
                }
            }
            return true;
        }

        bool inexact_equal( const Point& other ) const
        {
            double square_length{ 0. };
            for( const auto i : local_range() )
            {
                const double delta = values_[i] - other.values_[i];
                square_length += delta * delta;
                // Written so that a NaN difference also answers false.
                if( !( square_length <= GLOBAL_EPSILON2 ) )
                {
                    return false;
                }
            }
            return true;
        }

        /// The coordinates written with 15 significant digits in the
        /// default floating-point format, separated by single blanks.
        std::string string() const;

        template < typename H >
        friend H AbslHashValue( H hash, const Point& point )
        {
            // Adding 0. maps -0. to +0.: equal points must hash equally.
            for( const auto value : point.values_ )
            {
                hash = H::combine( std::move( hash ), value + 0. );
            }
            return hash;
        }

    protected:
        static constexpr std::array< local_index_t, dimension > local_range()
        {
            std::array< local_index_t, dimension > range{};
            for( local_index_t i = 0; i < dimension; i++ )
            {
                range[i] = i;
            }
            return range;
        }

    private:
        std::array< double, dimension > values_;
    };

    /// A direction or displacement. A vector is a point with the operations
    /// of a vector space added.
    template < index_t dimension >
    class Vector : public Point< dimension >
    {
    public:
        Vector() = default;

        explicit Vector( const std::array< double, dimension >& values )
            : Point< dimension >( values )
        {
        }

        explicit Vector( const Point< dimension >& point )
            : Point< dimension >( point )
        {
        }

        /// The vector from `from` to `to`.
        Vector( const Point< dimension >& from, const Point< dimension >& to )
            : Point< dimension >( to - from )
        {
        }

        double length2() const
        {
            return dot( *this );
        }

        double length() const
        {
            return std::sqrt( length2() );
        }

        /// The unit vector of the same direction. Throws OpenOrvaneException
        /// (the division message) when the length is at most
        /// DIVISION_EPSILON.
        Vector normalize() const
        {
            return *this / length();
        }

        /// Scalar product: the coordinate products are added to 0 in the
        /// order x, y, z, each rounded before it is added (the library is
        /// built without floating-point contraction).
        double dot( const Vector& other ) const
        {
            double result{ 0. };
            for( const auto i : Point< dimension >::local_range() )
            {
                const double product = this->value( i ) * other.value( i );
                result += product;
            }
            return result;
        }

        Vector cross( const Vector& other ) const
            requires( dimension == 3 )
        {
            const auto& a = *this;
            return Vector{ { a.value( 1 ) * other.value( 2 )
                                 - a.value( 2 ) * other.value( 1 ),
                a.value( 2 ) * other.value( 0 )
                    - a.value( 0 ) * other.value( 2 ),
                a.value( 0 ) * other.value( 1 )
                    - a.value( 1 ) * other.value( 0 ) } };
        }

        Vector operator+( const Vector& other ) const
        {
            return Vector{ Point< dimension >::operator+( other ) };
        }

        Vector& operator+=( const Vector& other )
        {
            Point< dimension >::operator+=( other );
            return *this;
        }

        Vector operator-( const Vector& other ) const
        {
            return Vector{ Point< dimension >::operator-( other ) };
        }

        Vector& operator-=( const Vector& other )
        {
            Point< dimension >::operator-=( other );
            return *this;
        }

        Vector operator-() const
        {
            return *this * -1.;
        }

        Vector operator*( double multiplier ) const
        {
            return Vector{ Point< dimension >::operator*( multiplier ) };
        }

        Vector& operator*=( double multiplier )
        {
            Point< dimension >::operator*=( multiplier );
            return *this;
        }

        Vector operator/( double divider ) const
        {
            return Vector{ Point< dimension >::operator/( divider ) };
        }

        Vector& operator/=( double divider )
        {
            Point< dimension >::operator/=( divider );
            return *this;
        }
    };

    /// The vector turned a quarter counter-clockwise: (x, y) -> (-y, x).
    inline Vector< 2 > perpendicular( const Vector< 2 >& vector )
    {
        return Vector< 2 >{ { -vector.value( 1 ), vector.value( 0 ) } };
    }

    using Point2D = Point< 2 >;
    using Point3D = Point< 3 >;
    using Vector2D = Vector< 2 >;
    using Vector3D = Vector< 3 >;
} // namespace orvane

#include <openorvane/geometry/point_attribute_traits.hpp>
