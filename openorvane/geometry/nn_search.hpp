#pragma once

#include <memory>
#include <vector>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>

namespace orvane
{
    /// Nearest-neighbour queries on a fixed set of points (a k-d tree).
    /// Queries only read the structure and may run concurrently.
    ///
    /// Large sets are built and merged (colocated_index_mapping) on the
    /// thread pool; the structure and every answer are the same whatever the
    /// thread count. Points and query points must be finite: a NaN or an
    /// infinite coordinate throws an OpenOrvaneException.
    template < index_t dimension >
    class NNSearch
    {
    public:
        /// colocated_mapping[i] is the unique point of input point i;
        /// unique points are numbered in order of first occurrence.
        struct ColocatedInfo
        {
            index_t nb_unique_points() const
            {
                return static_cast< index_t >( unique_points.size() );
            }

            index_t nb_colocated_points() const
            {
                return static_cast< index_t >( colocated_mapping.size() )
                       - nb_unique_points();
            }

            std::vector< index_t > colocated_mapping;
            std::vector< Point< dimension > > unique_points;
        };

        explicit NNSearch( std::vector< Point< dimension > > points );
        NNSearch( NNSearch&& other ) noexcept;
        NNSearch& operator=( NNSearch&& other ) noexcept;
        ~NNSearch();

        index_t nb_points() const;

        /// point and neighbors( index, k ) check the index in Debug and
        /// sanitizer builds only (openorvane/basic/assert.hpp): Release reads
        /// out of range on a bad index.
        const Point< dimension >& point( index_t index ) const;

        /// The index of the closest point (the lowest index on ties); NO_ID
        /// when the set is empty. Allocates nothing.
        index_t closest_neighbor( const Point< dimension >& point ) const;

        /// At most `nb_neighbors` point indices, nearest first, ties in
        /// increasing index order. Up to 16 neighbours, the only allocation
        /// is the returned list.
        std::vector< index_t > neighbors(
            const Point< dimension >& point, index_t nb_neighbors ) const;

        /// The same around a point of the set; the point itself comes first
        /// unless a coincident point has a lower index.
        std::vector< index_t > neighbors(
            index_t index, index_t nb_neighbors ) const;

        /// Every point at distance at most `distance`, in increasing index
        /// order.
        std::vector< index_t > radius_neighbors(
            const Point< dimension >& point, double distance ) const;

        /// Merges the points closer than `epsilon`. The points are scanned in
        /// index order: a point joins the lowest-index earlier
        /// representative within distance <= epsilon, otherwise it becomes a
        /// new representative and its coordinates form the next unique
        /// point. Representatives are thus pairwise more than epsilon apart.
        ColocatedInfo colocated_index_mapping( double epsilon ) const;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };

    using NNSearch2D = NNSearch< 2 >;
    using NNSearch3D = NNSearch< 3 >;
} // namespace orvane
