#include <openorvane/mesh/light_regular_grid.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <openorvane/basic/exception.hpp>

namespace orvane
{
    template < index_t dimension >
    class LightRegularGrid< dimension >::Impl
    {
    public:
        Impl( const Point< dimension >& origin,
            const std::array< index_t, dimension >& cells_number,
            const std::array< double, dimension >& cells_length )
            : origin_( origin ),
              cells_number_( cells_number ),
              cells_length_( cells_length )
        {
            std::uint64_t total{ 1 };
            for( const auto d : range() )
            {
                if( !std::isfinite( origin.value( d ) ) )
                {
                    throw OpenOrvaneException{
                        "[LightRegularGrid] The origin should be finite, "
                        "coordinate ",
                        d, " is ", origin.value( d ) };
                }
                if( cells_number[d] == 0 )
                {
                    throw OpenOrvaneException{
                        "[LightRegularGrid] The grid should have at least one "
                        "cell along axis ",
                        d };
                }
                if( !std::isfinite( cells_length[d] ) || !( cells_length[d] > 0 ) )
                {
                    throw OpenOrvaneException{
                        "[LightRegularGrid] The cell length should be a "
                        "positive finite number, axis ",
                        d, " has ", cells_length[d] };
                }
                total *= cells_number[d];
                // NO_ID stays free, so every flat index is a valid index.
                if( total >= NO_ID )
                {
                    throw OpenOrvaneException{ "[LightRegularGrid] Too many "
                                               "cells: the cell count along "
                                               "the axes would exceed ",
                        NO_ID - 1, " cells" };
                }
            }
            nb_cells_ = static_cast< index_t >( total );
            attributes_.resize( nb_cells_ );
        }

        static constexpr std::array< local_index_t, dimension > range()
        {
            std::array< local_index_t, dimension > result{};
            for( index_t d = 0; d < dimension; d++ )
            {
                result[d] = static_cast< local_index_t >( d );
            }
            return result;
        }

        double coordinate( index_t d, index_t boundary ) const
        {
            return origin_.value( static_cast< local_index_t >( d ) )
                   + static_cast< double >( boundary ) * cells_length_[d];
        }

        std::optional< std::array< index_t, 2 > > cell_range(
            index_t d, double low, double high ) const
        {
            const auto n = cells_number_[d];
            if( !( low <= high ) || high < coordinate( d, 0 )
                || low > coordinate( d, n ) )
            {
                return std::nullopt;
            }
            // First estimate by division, then settle against the exact
            // boundary values, which are monotone in the boundary index.
            const auto estimate = [&]( double value ) {
                const auto t = std::floor(
                    ( value - origin_.value( static_cast< local_index_t >( d ) ) )
                    / cells_length_[d] );
                return static_cast< index_t >(
                    std::clamp( t, 0., static_cast< double >( n - 1 ) ) );
            };
            // first: the smallest i whose upper bound reaches low.
            auto first = estimate( low );
            while( first > 0 && coordinate( d, first ) >= low )
            {
                first--;
            }
            while( first + 1 < n && coordinate( d, first + 1 ) < low )
            {
                first++;
            }
            // last: the largest i whose lower bound does not pass high.
            auto last = estimate( high );
            while( last + 1 < n && coordinate( d, last + 1 ) <= high )
            {
                last++;
            }
            while( last > 0 && coordinate( d, last ) > high )
            {
                last--;
            }
            return std::array< index_t, 2 >{ first, last };
        }

        Point< dimension > origin_;
        std::array< index_t, dimension > cells_number_;
        std::array< double, dimension > cells_length_;
        index_t nb_cells_{ 0 };
        mutable AttributeManager attributes_;
    };

    template < index_t dimension >
    LightRegularGrid< dimension >::LightRegularGrid(
        const Point< dimension >& origin,
        const std::array< index_t, dimension >& cells_number,
        const std::array< double, dimension >& cells_length )
        : impl_( std::make_unique< Impl >( origin, cells_number, cells_length ) )
    {
    }

    template < index_t dimension >
    LightRegularGrid< dimension >::~LightRegularGrid() = default;

    template < index_t dimension >
    LightRegularGrid< dimension >::LightRegularGrid(
        LightRegularGrid&& other ) noexcept = default;

    template < index_t dimension >
    LightRegularGrid< dimension >& LightRegularGrid< dimension >::operator=(
        LightRegularGrid&& other ) noexcept = default;

    template < index_t dimension >
    index_t LightRegularGrid< dimension >::nb_cells() const
    {
        return impl_->nb_cells_;
    }

    template < index_t dimension >
    index_t LightRegularGrid< dimension >::nb_cells_in_direction(
        index_t direction ) const
    {
        return impl_->cells_number_[direction];
    }

    template < index_t dimension >
    double LightRegularGrid< dimension >::cell_length_in_direction(
        index_t direction ) const
    {
        return impl_->cells_length_[direction];
    }

    template < index_t dimension >
    const Point< dimension >& LightRegularGrid< dimension >::origin() const
    {
        return impl_->origin_;
    }

    template < index_t dimension >
    double LightRegularGrid< dimension >::cell_coordinate(
        index_t direction, index_t boundary ) const
    {
        return impl_->coordinate( direction, boundary );
    }

    template < index_t dimension >
    index_t LightRegularGrid< dimension >::cell_index(
        const CellIndices& indices ) const
    {
        index_t index{ 0 };
        for( index_t d = dimension; d-- > 0; )
        {
            index = index * impl_->cells_number_[d] + indices[d];
        }
        return index;
    }

    template < index_t dimension >
    auto LightRegularGrid< dimension >::cell_indices( index_t index ) const
        -> CellIndices
    {
        CellIndices indices;
        for( index_t d = 0; d < dimension; d++ )
        {
            indices[d] = index % impl_->cells_number_[d];
            index /= impl_->cells_number_[d];
        }
        return indices;
    }

    template < index_t dimension >
    BoundingBox< dimension > LightRegularGrid< dimension >::cell_bounding_box(
        const CellIndices& indices ) const
    {
        Point< dimension > min;
        Point< dimension > max;
        for( const auto d : Impl::range() )
        {
            min.set_value( d, impl_->coordinate( d, indices[d] ) );
            max.set_value( d, impl_->coordinate( d, indices[d] + 1 ) );
        }
        BoundingBox< dimension > box;
        box.add_point( min );
        box.add_point( max );
        return box;
    }

    template < index_t dimension >
    Point< dimension > LightRegularGrid< dimension >::cell_barycenter(
        const CellIndices& indices ) const
    {
        Point< dimension > center;
        for( const auto d : Impl::range() )
        {
            center.set_value( d, ( impl_->coordinate( d, indices[d] )
                                     + impl_->coordinate( d, indices[d] + 1 ) )
                                     / 2. );
        }
        return center;
    }

    template < index_t dimension >
    BoundingBox< dimension >
        LightRegularGrid< dimension >::grid_bounding_box() const
    {
        BoundingBox< dimension > box;
        box.add_point( impl_->origin_ );
        Point< dimension > max;
        for( const auto d : Impl::range() )
        {
            max.set_value( d, impl_->coordinate( d, impl_->cells_number_[d] ) );
        }
        box.add_point( max );
        return box;
    }

    template < index_t dimension >
    std::optional< std::array< index_t, 2 > >
        LightRegularGrid< dimension >::cell_range(
            index_t direction, double low, double high ) const
    {
        return impl_->cell_range( direction, low, high );
    }

    template < index_t dimension >
    auto LightRegularGrid< dimension >::cells(
        const Point< dimension >& point ) const -> CellsAroundPoint
    {
        std::array< std::array< index_t, 2 >, dimension > ranges;
        for( const auto d : Impl::range() )
        {
            const auto range =
                impl_->cell_range( d, point.value( d ), point.value( d ) );
            if( !range )
            {
                return {};
            }
            ranges[d] = *range;
        }
        CellsAroundPoint result;
        CellIndices indices;
        // x varies fastest, so the cells come in increasing flat index.
        const auto fill = [&]( auto&& self, index_t d ) -> void {
            if( d == 0 )
            {
                for( auto i = ranges[0][0]; i <= ranges[0][1]; i++ )
                {
                    indices[0] = i;
                    result.push_back( indices );
                }
                return;
            }
            for( auto i = ranges[d][0]; i <= ranges[d][1]; i++ )
            {
                indices[d] = i;
                self( self, d - 1 );
            }
        };
        fill( fill, dimension - 1 );
        return result;
    }

    template < index_t dimension >
    AttributeManager&
        LightRegularGrid< dimension >::cell_attribute_manager() const
    {
        return impl_->attributes_;
    }

    std::unique_ptr< LightRegularGrid< 3 > >
        build_grid_from_bbox_target_length_and_maximum_cell_number(
            const BoundingBox< 3 >& box, double target_length, index_t max_nb_cells )
    {
        if( box.empty() )
        {
            throw OpenOrvaneException{ "[build_grid_from_bbox_target_length_"
                                       "and_maximum_cell_number] The box is "
                                       "empty" };
        }
        if( !std::isfinite( target_length ) || !( target_length > 0 ) )
        {
            throw OpenOrvaneException{
                "[build_grid_from_bbox_target_length_and_maximum_cell_number] "
                "The target length should be a positive finite number, "
                "provided ",
                target_length };
        }
        if( max_nb_cells == 0 )
        {
            throw OpenOrvaneException{
                "[build_grid_from_bbox_target_length_and_maximum_cell_number] "
                "The maximum number of cells should be positive" };
        }
        std::array< double, 3 > extent;
        for( const local_index_t d : { 0, 1, 2 } )
        {
            extent[d] = box.max().value( d ) - box.min().value( d );
            if( !std::isfinite( extent[d] ) )
            {
                throw OpenOrvaneException{
                    "[build_grid_from_bbox_target_length_and_maximum_cell_"
                    "number] The box should be finite" };
            }
        }
        // Counts as doubles, so that a tiny target cannot overflow them.
        std::array< double, 3 > counts;
        const auto compute_counts = [&] {
            double product{ 1 };
            for( const local_index_t d : { 0, 1, 2 } )
            {
                counts[d] = extent[d] <= GLOBAL_EPSILON
                                ? 1.
                                : std::max( 1., std::ceil( extent[d] / target_length ) );
                product *= counts[d];
            }
            return product;
        };
        for( auto product = compute_counts();
             product > static_cast< double >( max_nb_cells );
             product = compute_counts() )
        {
            const auto growth =
                std::cbrt( product / static_cast< double >( max_nb_cells ) );
            // The ceilings can keep the product above the cap by a hair:
            // grow by a little more than the ratio so the loop ends.
            target_length *= std::max( growth, 1. + 1e-9 );
        }
        Point< 3 > origin;
        std::array< index_t, 3 > cells_number;
        std::array< double, 3 > cells_length;
        for( const local_index_t d : { 0, 1, 2 } )
        {
            cells_number[d] = static_cast< index_t >( counts[d] );
            if( extent[d] <= GLOBAL_EPSILON )
            {
                cells_length[d] = target_length;
                origin.set_value( d, ( box.min().value( d ) + box.max().value( d ) ) / 2.
                                         - target_length / 2. );
            }
            else
            {
                cells_length[d] = extent[d] / counts[d];
                origin.set_value( d, box.min().value( d ) );
                // Rounding may leave the last boundary short of the box:
                // lengthen the cells by ulps until the grid covers it.
                while( box.min().value( d ) + counts[d] * cells_length[d]
                       < box.max().value( d ) )
                {
                    cells_length[d] =
                        std::nextafter( cells_length[d], MAX_DOUBLE );
                }
            }
        }
        return std::make_unique< LightRegularGrid< 3 > >(
            origin, cells_number, cells_length );
    }

    template class LightRegularGrid< 2 >;
    template class LightRegularGrid< 3 >;
} // namespace orvane
