#include <openorvane/geometry/nn_search.hpp>

#include <algorithm>
#include <numeric>
#include <queue>
#include <utility>

#include <openorvane/geometry/bounding_box.hpp>

namespace
{
    template < orvane::index_t dimension >
    double distance2(
        const orvane::Point< dimension >& a, const orvane::Point< dimension >& b )
    {
        double result{ 0. };
        for( orvane::local_index_t i = 0; i < dimension; i++ )
        {
            const double delta = a.value( i ) - b.value( i );
            result += delta * delta;
        }
        return result;
    }

    /// A candidate ordered by distance, then by index.
    using Candidate = std::pair< double, orvane::index_t >;
} // namespace

namespace orvane
{
    /// An implicit k-d tree: the range [b, e) of `order_` is split at its
    /// median position m = b + (e - b) / 2, whose point separates the two
    /// halves along axis_[m].
    template < index_t dimension >
    class NNSearch< dimension >::Impl
    {
    public:
        explicit Impl( std::vector< Point< dimension > > points )
            : points_( std::move( points ) ),
              order_( points_.size() ),
              axis_( points_.size(), 0 )
        {
            std::iota( order_.begin(), order_.end(), 0 );
            build( 0, static_cast< index_t >( points_.size() ) );
        }

        index_t nb_points() const
        {
            return static_cast< index_t >( points_.size() );
        }

        const Point< dimension >& point( index_t index ) const
        {
            return points_[index];
        }

        std::vector< index_t > neighbors(
            const Point< dimension >& query, index_t nb_neighbors ) const
        {
            std::priority_queue< Candidate > best;
            if( nb_neighbors > 0 )
            {
                search_nearest( 0, nb_points(), query, nb_neighbors, best );
            }
            std::vector< index_t > result( best.size() );
            for( auto i = result.size(); i > 0; i-- )
            {
                result[i - 1] = best.top().second;
                best.pop();
            }
            return result;
        }

        std::vector< index_t > radius_neighbors(
            const Point< dimension >& query, double distance ) const
        {
            std::vector< index_t > result;
            if( distance >= 0. )
            {
                search_radius(
                    0, nb_points(), query, distance * distance, result );
            }
            std::sort( result.begin(), result.end() );
            return result;
        }

    private:
        void build( index_t begin, index_t end )
        {
            if( end - begin <= 1 )
            {
                return;
            }
            BoundingBox< dimension > box;
            for( auto i = begin; i < end; i++ )
            {
                box.add_point( points_[order_[i]] );
            }
            const auto diagonal = box.diagonal();
            local_index_t axis{ 0 };
            for( local_index_t i = 1; i < dimension; i++ )
            {
                if( diagonal.value( i ) > diagonal.value( axis ) )
                {
                    axis = i;
                }
            }
            const auto middle = begin + ( end - begin ) / 2;
            std::nth_element( order_.begin() + begin, order_.begin() + middle,
                order_.begin() + end,
                [this, axis]( index_t lhs, index_t rhs ) {
                    const double left = points_[lhs].value( axis );
                    const double right = points_[rhs].value( axis );
                    if( left != right )
                    {
                        return left < right;
                    }
                    return lhs < rhs;
                } );
            axis_[middle] = axis;
            build( begin, middle );
            build( middle + 1, end );
        }

        /// The two halves of the node [begin, end) on either side of its
        /// middle point: first the one on the query's side, then the other,
        /// whose points are all at least |offset| away from the query.
        struct Split
        {
            index_t near_begin;
            index_t near_end;
            index_t far_begin;
            index_t far_end;
            double offset;
        };

        Split split_node( index_t begin,
            index_t middle,
            index_t end,
            const Point< dimension >& query ) const
        {
            const auto axis = axis_[middle];
            const double offset =
                query.value( axis ) - points_[order_[middle]].value( axis );
            if( offset < 0. )
            {
                return { begin, middle, middle + 1, end, offset };
            }
            return { middle + 1, end, begin, middle, offset };
        }

        void search_nearest( index_t begin,
            index_t end,
            const Point< dimension >& query,
            index_t nb_neighbors,
            std::priority_queue< Candidate >& best ) const
        {
            if( begin >= end )
            {
                return;
            }
            const auto middle = begin + ( end - begin ) / 2;
            const auto index = order_[middle];
            const Candidate candidate{ distance2( query, points_[index] ), index };
            if( best.size() < nb_neighbors )
            {
                best.push( candidate );
            }
            else if( candidate < best.top() )
            {
                best.pop();
                best.push( candidate );
            }
            if( end - begin == 1 )
            {
                return;
            }
            const auto split = split_node( begin, middle, end, query );
            search_nearest( split.near_begin, split.near_end, query, nb_neighbors, best );
            // A point exactly |offset| away may still win on its lower index.
            if( best.size() < nb_neighbors
                || split.offset * split.offset <= best.top().first )
            {
                search_nearest( split.far_begin, split.far_end, query, nb_neighbors, best );
            }
        }

        void search_radius( index_t begin,
            index_t end,
            const Point< dimension >& query,
            double radius2,
            std::vector< index_t >& result ) const
        {
            if( begin >= end )
            {
                return;
            }
            const auto middle = begin + ( end - begin ) / 2;
            const auto index = order_[middle];
            if( distance2( query, points_[index] ) <= radius2 )
            {
                result.push_back( index );
            }
            if( end - begin == 1 )
            {
                return;
            }
            const auto split = split_node( begin, middle, end, query );
            search_radius( split.near_begin, split.near_end, query, radius2, result );
            if( split.offset * split.offset <= radius2 )
            {
                search_radius( split.far_begin, split.far_end, query, radius2, result );
            }
        }

    private:
        std::vector< Point< dimension > > points_;
        std::vector< index_t > order_;
        std::vector< local_index_t > axis_;
    };

    template < index_t dimension >
    NNSearch< dimension >::NNSearch( std::vector< Point< dimension > > points )
        : impl_( std::make_unique< Impl >( std::move( points ) ) )
    {
    }

    template < index_t dimension >
    NNSearch< dimension >::NNSearch( NNSearch&& ) noexcept = default;

    template < index_t dimension >
    NNSearch< dimension >& NNSearch< dimension >::operator=(
        NNSearch&& ) noexcept = default;

    template < index_t dimension >
    NNSearch< dimension >::~NNSearch() = default;

    template < index_t dimension >
    index_t NNSearch< dimension >::nb_points() const
    {
        return impl_->nb_points();
    }

    template < index_t dimension >
    const Point< dimension >& NNSearch< dimension >::point( index_t index ) const
    {
        return impl_->point( index );
    }

    template < index_t dimension >
    index_t NNSearch< dimension >::closest_neighbor(
        const Point< dimension >& point ) const
    {
        const auto result = impl_->neighbors( point, 1 );
        return result.empty() ? NO_ID : result.front();
    }

    template < index_t dimension >
    std::vector< index_t > NNSearch< dimension >::neighbors(
        const Point< dimension >& point, index_t nb_neighbors ) const
    {
        return impl_->neighbors( point, nb_neighbors );
    }

    template < index_t dimension >
    std::vector< index_t > NNSearch< dimension >::neighbors(
        index_t index, index_t nb_neighbors ) const
    {
        return impl_->neighbors( impl_->point( index ), nb_neighbors );
    }

    template < index_t dimension >
    std::vector< index_t > NNSearch< dimension >::radius_neighbors(
        const Point< dimension >& point, double distance ) const
    {
        return impl_->radius_neighbors( point, distance );
    }

    template < index_t dimension >
    typename NNSearch< dimension >::ColocatedInfo
        NNSearch< dimension >::colocated_index_mapping( double epsilon ) const
    {
        ColocatedInfo info;
        const auto nb = impl_->nb_points();
        info.colocated_mapping.resize( nb, NO_ID );
        // unique_of[i]: the unique point represented by point i, or NO_ID
        // when point i is not a representative.
        std::vector< index_t > unique_of( nb, NO_ID );
        for( index_t i = 0; i < nb; i++ )
        {
            const auto& point = impl_->point( i );
            for( const auto neighbor : impl_->radius_neighbors( point, epsilon ) )
            {
                if( neighbor >= i )
                {
                    break;
                }
                if( unique_of[neighbor] != NO_ID )
                {
                    info.colocated_mapping[i] = unique_of[neighbor];
                    break;
                }
            }
            if( info.colocated_mapping[i] == NO_ID )
            {
                unique_of[i] = info.nb_unique_points();
                info.colocated_mapping[i] = unique_of[i];
                info.unique_points.push_back( point );
            }
        }
        return info;
    }

    template class NNSearch< 2 >;
    template class NNSearch< 3 >;
} // namespace orvane
