#include <openorvane/mesh/coordinates.hpp>

#include <openorvane/basic/algorithm.hpp>

namespace orvane
{
    template < index_t dimension >
    void CoordinateArray< dimension >::resize( index_t nb_points )
    {
        points_.resize( nb_points );
    }

    template < index_t dimension >
    void CoordinateArray< dimension >::delete_points(
        const std::vector< bool >& to_delete )
    {
        delete_vector_elements( to_delete, points_ );
    }

    template < index_t dimension >
    BoundingBox< dimension > CoordinateArray< dimension >::bounding_box() const
    {
        BoundingBox< dimension > box;
        for( const auto& point : points_ )
        {
            box.add_point( point );
        }
        return box;
    }

    template class CoordinateArray< 2 >;
    template class CoordinateArray< 3 >;
} // namespace orvane
