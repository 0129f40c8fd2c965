#include <openorvane/geometry/aabb.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/median_split.hpp>

namespace
{
    /// Ranges at least this long split their two halves over the pool.
    constexpr orvane::index_t PARALLEL_RANGE = 4096;

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

    /// Builds the layout by a recursive median split. The order is a strict
    /// total order on (centre coordinate, element index), so each half of a
    /// split holds a fixed set of elements whatever the selection algorithm
    /// and the thread that runs it: the serial and the parallel builds give
    /// the same tree.
    template < orvane::index_t dimension >
    class TreeBuilder
    {
    public:
        using Boxes = std::vector< orvane::BoundingBox< dimension >,
            orvane::UninitializedArrayAllocator< orvane::BoundingBox< dimension > > >;
        using Mapping = std::vector< orvane::index_t,
            orvane::UninitializedArrayAllocator< orvane::index_t > >;

        TreeBuilder( absl::Span< const orvane::BoundingBox< dimension > > bboxes,
            Boxes& tree,
            Mapping& mapping )
            : bboxes_( bboxes ), tree_( tree ), mapping_( mapping )
        {
            const auto nb = static_cast< orvane::index_t >( bboxes.size() );
            Items items( nb );
            // Refuse non-finite boxes before anything else: the median split
            // needs a strict order on the centres. The first bad box is named
            // whatever the thread count.
            std::atomic< bool > non_finite{ false };
            const auto fill = [this, &items, &non_finite]( orvane::index_t element ) {
                const auto& box = bboxes_[element];
                if( box.empty() )
                {
                    items[element] = { orvane::Point< dimension >{}, element };
                    return;
                }
                if( !is_finite( box.min() ) || !is_finite( box.max() ) )
                {
                    non_finite.store( true, std::memory_order_relaxed );
                }
                items[element] = { box.center(), element };
            };
            if( nb >= PARALLEL_RANGE )
            {
                orvane::async::parallel_for( 0, nb, fill );
            }
            else
            {
                for( orvane::index_t element = 0; element < nb; element++ )
                {
                    fill( element );
                }
            }
            if( non_finite.load() )
            {
                for( orvane::index_t element = 0; element < nb; element++ )
                {
                    const auto& box = bboxes_[element];
                    if( !box.empty()
                        && ( !is_finite( box.min() ) || !is_finite( box.max() ) ) )
                    {
                        throw orvane::OpenOrvaneException{ "[AABBTree] Box ",
                            element, " has a non-finite coordinate" };
                    }
                }
            }
            // The build writes each slot once: the box of its node, or the
            // empty box in the slots of numbers that are no node.
            tree_.resize( max_node( orvane::AABBTree< dimension >::ROOT, 0, nb )
                          + 1 );
            tree_[0] = orvane::BoundingBox< dimension >{};
            mapping_.resize( nb );
            orvane::detail::PointExtent< dimension > extent;
            for( const auto& item : items )
            {
                extent.add( item.point );
            }
            Items spare( nb );
            build( orvane::AABBTree< dimension >::ROOT, 0, nb, extent,
                items.data(), spare.data() );
        }

    private:
        struct Item
        {
            orvane::Point< dimension > point;
            orvane::index_t index;
        };
        using Items = std::vector< Item, orvane::UninitializedArrayAllocator< Item > >;

        static orvane::index_t max_node(
            orvane::index_t node, orvane::index_t begin, orvane::index_t end )
        {
            // The deeper subtree is the right one (it never holds fewer
            // positions than the left one), so follow it.
            while( end - begin > 1 )
            {
                begin = orvane::AABBTree< dimension >::middle( begin, end );
                node = 2 * node + 1;
            }
            return node;
        }

        /// Gives the slots under a leaf, which are no node, the empty box,
        /// so that every slot of the tree holds a defined box.
        void clear_slots_below( orvane::index_t leaf )
        {
            const orvane::BoundingBox< dimension > empty;
            const auto size = static_cast< orvane::index_t >( tree_.size() );
            for( auto first = 2 * leaf, last = 2 * leaf + 1; first < size;
                 first = 2 * first, last = 2 * last + 1 )
            {
                std::fill( tree_.begin() + first,
                    tree_.begin() + std::min( last + 1, size ), empty );
            }
        }

        /// Builds the subtree of `node` over the positions [begin, end),
        /// whose items `items` holds and `extent` bounds; `spare` is as
        /// large and free over [begin, end). The items move from one array
        /// to the other at every level.
        void build( orvane::index_t node,
            orvane::index_t begin,
            orvane::index_t end,
            const orvane::detail::PointExtent< dimension >& extent,
            Item* items,
            Item* spare )
        {
            if( end - begin == 1 )
            {
                const auto element = items[begin].index;
                mapping_[begin] = element;
                tree_[node] = bboxes_[element];
                clear_slots_below( node );
                return;
            }
            const auto axis = extent.widest_axis();
            const auto m = orvane::AABBTree< dimension >::middle( begin, end );
            // The item of the middle rank opens the second half.
            auto split = orvane::detail::split_at_rank(
                items + begin, spare + begin, end - begin, m - begin, axis, extent );
            split.after.add( spare[m].point );
            if( end - begin >= PARALLEL_RANGE )
            {
                orvane::async::parallel_invoke(
                    [this, node, begin, m, &split, items, spare] {
                        build( 2 * node, begin, m, split.before, spare, items );
                    },
                    [this, node, m, end, &split, items, spare] {
                        build( 2 * node + 1, m, end, split.after, spare, items );
                    } );
            }
            else
            {
                build( 2 * node, begin, m, split.before, spare, items );
                build( 2 * node + 1, m, end, split.after, spare, items );
            }
            tree_[node] = tree_[2 * node];
            tree_[node].add_box( tree_[2 * node + 1] );
        }

    private:
        absl::Span< const orvane::BoundingBox< dimension > > bboxes_;
        Boxes& tree_;
        Mapping& mapping_;
    };
} // namespace

namespace orvane
{
    template < index_t dimension >
    AABBTree< dimension >::AABBTree(
        absl::Span< const BoundingBox< dimension > > bboxes )
    {
        if( bboxes.empty() )
        {
            return;
        }
        TreeBuilder< dimension >{ bboxes, tree_, mapping_ };
    }

    template < index_t dimension >
    const BoundingBox< dimension >& AABBTree< dimension >::bounding_box() const
    {
        static const BoundingBox< dimension > empty_box;
        if( mapping_.empty() )
        {
            return empty_box;
        }
        return tree_[ROOT];
    }

    template class AABBTree< 2 >;
    template class AABBTree< 3 >;
} // namespace orvane
