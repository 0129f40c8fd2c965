#include <openorvane/geometry/nn_search.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <utility>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/assert.hpp>
#include <openorvane/basic/async.hpp>
#include <openorvane/basic/large_array_allocator.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/median_split.hpp>

namespace
{
    /// Ranges at least this long build their two halves over the pool.
    constexpr orvane::index_t PARALLEL_RANGE = 4096;

    /// Ranges of at most this many points are leaves: their points are
    /// scanned one after the other instead of being split further, which
    /// spares the deepest levels of the build and the searches' branching
    /// over a few contiguous nodes.
    constexpr orvane::index_t LEAF_SIZE = 8;

    /// Neighbour counts up to this keep their candidates on the stack.
    constexpr orvane::index_t INLINE_NEIGHBORS = 16;

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

    template < orvane::index_t dimension >
    bool is_finite( const orvane::Point< dimension >& point )
    {
        for( orvane::local_index_t i = 0; i < dimension; i++ )
        {
            if( !std::isfinite( point.value( i ) ) )
            {
                return false;
            }
        }
        return true;
    }

    /// A candidate ordered by squared distance, then by index.
    using Candidate = std::pair< double, orvane::index_t >;
} // namespace

namespace orvane
{
    /// An implicit k-d tree: a range [b, e) of `nodes_` longer than
    /// LEAF_SIZE is split at its median position m = b + (e - b) / 2, whose
    /// point separates the two halves along nodes_[m].axis; a shorter range
    /// is a leaf whose points are all examined. The nodes hold copies of
    /// their points so that a search walks contiguous memory. The searches'
    /// answers are defined by distances and indices alone (ties go to the
    /// lower index), not by the order in which they meet the points.
    ///
    /// The split order is a strict total order on (coordinate, index), so
    /// each half holds a fixed set of points whatever the selection algorithm
    /// and the thread that runs it: the serial and the parallel builds give
    /// the same tree.
    template < index_t dimension >
    class NNSearch< dimension >::Impl
    {
    public:
        explicit Impl( std::vector< Point< dimension > > points )
            : points_( std::move( points ) ), nodes_( points_.size() )
        {
            const auto nb = nb_points();
            std::atomic< bool > non_finite{ false };
            const auto fill = [this, &non_finite]( index_t index ) {
                if( !is_finite( points_[index] ) )
                {
                    non_finite.store( true, std::memory_order_relaxed );
                }
                nodes_[index] = { points_[index], index, 0 };
            };
            if( nb >= PARALLEL_RANGE )
            {
                async::parallel_for( 0, nb, fill );
            }
            else
            {
                for( index_t index = 0; index < nb; index++ )
                {
                    fill( index );
                }
            }
            if( non_finite.load() )
            {
                // Name the first bad point whatever the thread count.
                for( index_t index = 0; index < nb; index++ )
                {
                    if( !is_finite( points_[index] ) )
                    {
                        throw OpenOrvaneException{ "[NNSearch] Point ", index,
                            " has a non-finite coordinate" };
                    }
                }
            }
            if( nb <= LEAF_SIZE )
            {
                return;
            }
            detail::PointExtent< dimension > extent;
            for( const auto& point : points_ )
            {
                extent.add( point );
            }
            std::vector< Node, UninitializedArrayAllocator< Node > > scratch(
                nodes_.size() );
            build( 0, nb, extent, nodes_.data(), scratch.data() );
        }

        index_t nb_points() const
        {
            return static_cast< index_t >( points_.size() );
        }

        const Point< dimension >& point( index_t index ) const
        {
            ORVANE_ASSERT( index < points_.size(), "[NNSearch::point] Point ",
                index, " out of range (", points_.size(), " points)" );
            return points_[index];
        }

        index_t closest_neighbor( const Point< dimension >& query ) const
        {
            check_query( query );
            Candidate best{ std::numeric_limits< double >::infinity(), NO_ID };
            search_closest( 0, nb_points(), query, best );
            return best.second;
        }

        std::vector< index_t > neighbors(
            const Point< dimension >& query, index_t nb_neighbors ) const
        {
            check_query( query );
            // A max-heap of the best candidates so far; it stays on the stack
            // for small counts.
            absl::InlinedVector< Candidate, INLINE_NEIGHBORS > best;
            if( nb_neighbors > 0 )
            {
                best.reserve( std::min( nb_neighbors, nb_points() ) );
                search_nearest( 0, nb_points(), query, nb_neighbors, best );
            }
            std::sort_heap( best.begin(), best.end() );
            std::vector< index_t > result;
            result.reserve( best.size() );
            for( const auto& candidate : best )
            {
                result.push_back( candidate.second );
            }
            return result;
        }

        std::vector< index_t > radius_neighbors(
            const Point< dimension >& query, double distance ) const
        {
            check_query( query );
            std::vector< index_t > result;
            if( distance >= 0. )
            {
                search_radius( 0, nb_points(), query, distance * distance,
                    [&result]( index_t index ) {
                        result.push_back( index );
                    } );
            }
            std::sort( result.begin(), result.end() );
            return result;
        }

        /// Calls visitor( index ) for every point within squared distance
        /// `radius2` of the query, in tree order.
        template < typename Visitor >
        void search_radius( index_t begin,
            index_t end,
            const Point< dimension >& query,
            double radius2,
            const Visitor& visitor ) const
        {
            while( begin < end )
            {
                if( end - begin <= LEAF_SIZE )
                {
                    for( auto position = begin; position < end; position++ )
                    {
                        const auto& node = nodes_[position];
                        if( distance2( query, node.point ) <= radius2 )
                        {
                            visitor( node.index );
                        }
                    }
                    return;
                }
                const auto middle = begin + ( end - begin ) / 2;
                const auto& node = nodes_[middle];
                if( distance2( query, node.point ) <= radius2 )
                {
                    visitor( node.index );
                }
                const auto split = split_node( begin, middle, end, query );
                if( split.offset * split.offset <= radius2 )
                {
                    search_radius(
                        split.far_begin, split.far_end, query, radius2, visitor );
                }
                begin = split.near_begin;
                end = split.near_end;
            }
        }

    private:
        static void check_query( const Point< dimension >& query )
        {
            if( !is_finite( query ) )
            {
                throw OpenOrvaneException{
                    "[NNSearch] Query point has a non-finite coordinate"
                };
            }
        }

        struct Node
        {
            Point< dimension > point;
            index_t index;
            local_index_t axis;
        };

        /// Builds the subtree of [begin, end), whose nodes `items` holds
        /// (nodes_ or the scratch array, `spare` being the other one) and
        /// `extent` bounds. Every level moves its items from one array to the
        /// other; the medians and the leaves are copied to nodes_.
        void build( index_t begin,
            index_t end,
            const detail::PointExtent< dimension >& extent,
            Node* items,
            Node* spare )
        {
            if( end - begin <= LEAF_SIZE )
            {
                if( items != nodes_.data() )
                {
                    std::copy( items + begin, items + end, nodes_.data() + begin );
                }
                return;
            }
            const auto axis = extent.widest_axis();
            const auto middle = begin + ( end - begin ) / 2;
            const auto split = detail::split_at_rank( items + begin,
                spare + begin, end - begin, middle - begin, axis, extent );
            nodes_[middle] = spare[middle];
            nodes_[middle].axis = axis;
            if( end - begin >= PARALLEL_RANGE )
            {
                async::parallel_invoke(
                    [this, begin, middle, &split, items, spare] {
                        build( begin, middle, split.before, spare, items );
                    },
                    [this, middle, end, &split, items, spare] {
                        build( middle + 1, end, split.after, spare, items );
                    } );
            }
            else
            {
                build( begin, middle, split.before, spare, items );
                build( middle + 1, end, split.after, spare, items );
            }
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
            const auto& node = nodes_[middle];
            const double offset =
                query.value( node.axis ) - node.point.value( node.axis );
            if( offset < 0. )
            {
                return { begin, middle, middle + 1, end, offset };
            }
            return { middle + 1, end, begin, middle, offset };
        }

        void search_closest( index_t begin,
            index_t end,
            const Point< dimension >& query,
            Candidate& best ) const
        {
            while( begin < end )
            {
                if( end - begin <= LEAF_SIZE )
                {
                    for( auto position = begin; position < end; position++ )
                    {
                        const auto& node = nodes_[position];
                        const Candidate candidate{ distance2( query, node.point ),
                            node.index };
                        if( candidate < best )
                        {
                            best = candidate;
                        }
                    }
                    return;
                }
                const auto middle = begin + ( end - begin ) / 2;
                const auto& node = nodes_[middle];
                const Candidate candidate{ distance2( query, node.point ),
                    node.index };
                if( candidate < best )
                {
                    best = candidate;
                }
                const auto split = split_node( begin, middle, end, query );
                search_closest( split.near_begin, split.near_end, query, best );
                // A point exactly |offset| away may still win on its lower
                // index.
                if( !( split.offset * split.offset <= best.first ) )
                {
                    return;
                }
                begin = split.far_begin;
                end = split.far_end;
            }
        }

        template < typename Heap >
        void search_nearest( index_t begin,
            index_t end,
            const Point< dimension >& query,
            index_t nb_neighbors,
            Heap& best ) const
        {
            const auto offer = [&best, nb_neighbors]( const Candidate& candidate ) {
                if( best.size() < nb_neighbors )
                {
                    best.push_back( candidate );
                    std::push_heap( best.begin(), best.end() );
                }
                else if( candidate < best.front() )
                {
                    std::pop_heap( best.begin(), best.end() );
                    best.back() = candidate;
                    std::push_heap( best.begin(), best.end() );
                }
            };
            while( begin < end )
            {
                if( end - begin <= LEAF_SIZE )
                {
                    for( auto position = begin; position < end; position++ )
                    {
                        const auto& node = nodes_[position];
                        offer( { distance2( query, node.point ), node.index } );
                    }
                    return;
                }
                const auto middle = begin + ( end - begin ) / 2;
                const auto& node = nodes_[middle];
                offer( { distance2( query, node.point ), node.index } );
                const auto split = split_node( begin, middle, end, query );
                search_nearest(
                    split.near_begin, split.near_end, query, nb_neighbors, best );
                // A point exactly |offset| away may still win on its lower
                // index.
                if( best.size() >= nb_neighbors
                    && !( split.offset * split.offset <= best.front().first ) )
                {
                    return;
                }
                begin = split.far_begin;
                end = split.far_end;
            }
        }

    private:
        std::vector< Point< dimension > > points_;
        std::vector< Node, UninitializedArrayAllocator< Node > > nodes_;
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
        return impl_->closest_neighbor( point );
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
        if( !( epsilon >= 0. ) )
        {
            // No point has a neighbour: every point is its own.
            info.unique_points.reserve( nb );
            for( index_t i = 0; i < nb; i++ )
            {
                info.colocated_mapping[i] = i;
                info.unique_points.push_back( impl_->point( i ) );
            }
            return info;
        }
        const double radius2 = epsilon * epsilon;
        // First, in parallel: the lowest-index earlier point within epsilon
        // of each point, whether a representative or not.
        std::vector< index_t > lowest_earlier( nb, NO_ID );
        async::parallel_for( 0, nb, [this, radius2, &lowest_earlier]( index_t i ) {
            auto lowest = NO_ID;
            impl_->search_radius( 0, impl_->nb_points(), impl_->point( i ),
                radius2, [i, &lowest]( index_t neighbor ) {
                    if( neighbor < i && ( lowest == NO_ID || neighbor < lowest ) )
                    {
                        lowest = neighbor;
                    }
                } );
            lowest_earlier[i] = lowest;
        } );
        // Then in index order. unique_of[i]: the unique point represented by
        // point i, or NO_ID when point i is not a representative.
        std::vector< index_t > unique_of( nb, NO_ID );
        for( index_t i = 0; i < nb; i++ )
        {
            const auto& point = impl_->point( i );
            auto representative = lowest_earlier[i];
            if( representative != NO_ID && unique_of[representative] == NO_ID )
            {
                // The lowest earlier neighbour joined another point: look for
                // the lowest earlier representative among all neighbours.
                representative = NO_ID;
                impl_->search_radius( 0, nb, point, radius2,
                    [i, &unique_of, &representative]( index_t neighbor ) {
                        if( neighbor < i && unique_of[neighbor] != NO_ID
                            && ( representative == NO_ID
                                 || neighbor < representative ) )
                        {
                            representative = neighbor;
                        }
                    } );
            }
            if( representative != NO_ID )
            {
                info.colocated_mapping[i] = unique_of[representative];
                continue;
            }
            unique_of[i] = info.nb_unique_points();
            info.colocated_mapping[i] = unique_of[i];
            info.unique_points.push_back( point );
        }
        return info;
    }

    template class NNSearch< 2 >;
    template class NNSearch< 3 >;
} // namespace orvane
