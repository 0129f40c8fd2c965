#include <openorvane/geometry/point.hpp>

#include <sstream>

#include <openorvane/basic/exception.hpp>

namespace orvane
{
    namespace detail
    {
        void check_point_divider( double divider )
        {
            // Written so that a NaN divider fails as well.
            if( !( std::fabs( divider ) > DIVISION_EPSILON ) )
            {
                throw OpenOrvaneException{ "[Point::operator/] Cannot divide "
                                           "Point by something close to zero" };
            }
        }
    } // namespace detail

    template < index_t dimension >
    std::string Point< dimension >::string() const
    {
        std::ostringstream out;
        out.precision( 15 );
        const char* separator = "";
        for( const auto value : values_ )
        {
            out << separator << value;
            separator = " ";
        }
        return out.str();
    }

    template class Point< 2 >;
    template class Point< 3 >;
} // namespace orvane
