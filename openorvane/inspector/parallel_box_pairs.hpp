#pragma once

#include <algorithm>
#include <utility>
#include <vector>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/aabb.hpp>
#include <openorvane/geometry/bounding_box.hpp>

// Pair searches over box trees that run on the thread pool: the top of the
// traversal is unrolled into independent node pairs, which the pool then
// walks side by side. The pairs reached are those of the trees' own pair
// searches (touching boxes count), each once.

namespace orvane::internal
{
    using ElementPairs = std::vector< std::pair< index_t, index_t > >;

    template < index_t dimension >
    class ParallelBoxPairs
    {
    public:
        /// Pairs of distinct elements of one tree.
        explicit ParallelBoxPairs( const AABBTree< dimension >& tree )
            : tree0_( tree ), tree1_( tree ), self_( true )
        {
        }

        /// Pairs (element of tree0, element of tree1).
        ParallelBoxPairs(
            const AABBTree< dimension >& tree0, const AABBTree< dimension >& tree1 )
            : tree0_( tree0 ), tree1_( tree1 ), self_( false )
        {
        }

        /// Calls accept( e0, e1 ) for every pair whose boxes intersect, from
        /// pool threads at once, and returns the accepted pairs in ascending
        /// order; pairs of one tree are given as (lower, higher) element.
        /// The result does not depend on the number of threads.
        template < typename Accept >
        ElementPairs accepted_pairs( const Accept& accept ) const
        {
            if( tree0_.nb_bboxes() == 0 || tree1_.nb_bboxes() == 0 )
            {
                return {};
            }
            std::vector< Job > jobs;
            const Range root0{ AABBTree< dimension >::ROOT, 0, tree0_.nb_bboxes() };
            const Range root1{ AABBTree< dimension >::ROOT, 0, tree1_.nb_bboxes() };
            const auto total = tree0_.nb_bboxes() + tree1_.nb_bboxes();
            // Small enough node pairs to keep every pool thread busy, large
            // enough that unrolling stays cheap.
            const auto threshold = std::max< index_t >( total / 256, 256 );
            unroll( root0, root1, threshold, jobs );
            std::vector< ElementPairs > found( jobs.size() );
            async::parallel_for( 0, static_cast< index_t >( jobs.size() ),
                [this, &jobs, &found, &accept]( index_t j ) {
                    walk( jobs[j].first, jobs[j].second, accept, found[j] );
                } );
            std::size_t nb_pairs{ 0 };
            for( const auto& pairs : found )
            {
                nb_pairs += pairs.size();
            }
            ElementPairs result;
            result.reserve( nb_pairs );
            for( auto& pairs : found )
            {
                result.insert( result.end(), pairs.begin(), pairs.end() );
                ElementPairs{}.swap( pairs );
            }
            std::sort( result.begin(), result.end() );
            return result;
        }

    private:
        /// A node and the leaf positions [begin, end) it covers.
        struct Range
        {
            index_t node;
            index_t begin;
            index_t end;

            index_t size() const
            {
                return end - begin;
            }

            bool is_leaf() const
            {
                return end - begin == 1;
            }

            Range left() const
            {
                return { 2 * node, begin, AABBTree< dimension >::middle( begin, end ) };
            }

            Range right() const
            {
                return { 2 * node + 1, AABBTree< dimension >::middle( begin, end ), end };
            }
        };

        using Job = std::pair< Range, Range >;

        /// Whether the node pair may hold pairs to visit: boxes that meet,
        /// and for one tree, not a second range wholly before the first.
        bool worth_visiting( const Range& range0, const Range& range1 ) const
        {
            if( self_ && range1.end <= range0.begin )
            {
                return false;
            }
            return boxes_meet(
                tree0_.node_box( range0.node ), tree1_.node_box( range1.node ) );
        }

        /// The closed-box test of BoundingBox::intersects (touching boxes
        /// meet, an empty box meets nothing), inlined in the hot loop.
        static bool boxes_meet(
            const BoundingBox< dimension >& box0, const BoundingBox< dimension >& box1 )
        {
            for( local_index_t i = 0; i < dimension; i++ )
            {
                if( box0.max().value( i ) < box1.min().value( i )
                    || box1.max().value( i ) < box0.min().value( i ) )
                {
                    return false;
                }
            }
            return true;
        }

        void unroll( const Range& range0,
            const Range& range1,
            index_t threshold,
            std::vector< Job >& jobs ) const
        {
            if( !worth_visiting( range0, range1 ) )
            {
                return;
            }
            if( range0.size() + range1.size() <= threshold
                || ( range0.is_leaf() && range1.is_leaf() ) )
            {
                jobs.emplace_back( range0, range1 );
                return;
            }
            if( range1.size() > range0.size() )
            {
                unroll( range0, range1.left(), threshold, jobs );
                unroll( range0, range1.right(), threshold, jobs );
            }
            else
            {
                unroll( range0.left(), range1, threshold, jobs );
                unroll( range0.right(), range1, threshold, jobs );
            }
        }

        template < typename Accept >
        void walk( Range range0, Range range1, const Accept& accept, ElementPairs& found ) const
        {
            while( true )
            {
                if( !worth_visiting( range0, range1 ) )
                {
                    return;
                }
                if( range0.is_leaf() && range1.is_leaf() )
                {
                    if( self_ && range0.node == range1.node )
                    {
                        return;
                    }
                    auto e0 = tree0_.element_at( range0.begin );
                    auto e1 = tree1_.element_at( range1.begin );
                    if( self_ && e1 < e0 )
                    {
                        std::swap( e0, e1 );
                    }
                    if( accept( e0, e1 ) )
                    {
                        found.emplace_back( e0, e1 );
                    }
                    return;
                }
                // Split the longer range (the first on ties) and go on with
                // its second half.
                if( range1.size() > range0.size() )
                {
                    walk( range0, range1.left(), accept, found );
                    range1 = range1.right();
                }
                else
                {
                    walk( range0.left(), range1, accept, found );
                    range0 = range0.right();
                }
            }
        }

    private:
        const AABBTree< dimension >& tree0_;
        const AABBTree< dimension >& tree1_;
        bool self_;
    };
} // namespace orvane::internal
