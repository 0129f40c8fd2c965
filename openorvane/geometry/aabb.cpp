#include <openorvane/geometry/aabb.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/exception.hpp>

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
            orvane::LargeArrayAllocator< orvane::BoundingBox< dimension > > >;
        using Mapping =
            std::vector< orvane::index_t, orvane::LargeArrayAllocator< orvane::index_t > >;

        TreeBuilder( absl::Span< const orvane::BoundingBox< dimension > > bboxes,
            Boxes& tree,
            Mapping& mapping )
            : bboxes_( bboxes ), tree_( tree )
        {
            const auto nb = static_cast< orvane::index_t >( bboxes.size() );
            items_.resize( nb );
            // Refuse non-finite boxes before anything else: the median split
            // needs a strict order on the centres. The first bad box is named
            // whatever the thread count.
            std::atomic< bool > non_finite{ false };
            const auto fill = [this, &non_finite]( orvane::index_t element ) {
                const auto& box = bboxes_[element];
                if( box.empty() )
                {
                    items_[element] = { orvane::Point< dimension >{}, element };
                    return;
                }
                if( !is_finite( box.min() ) || !is_finite( box.max() ) )
                {
                    non_finite.store( true, std::memory_order_relaxed );
                }
                items_[element] = { box.center(), element };
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
            tree_.resize( max_node( orvane::AABBTree< dimension >::ROOT, 0, nb )
                          + 1 );
            build( orvane::AABBTree< dimension >::ROOT, 0, nb );
            mapping.resize( nb );
            for( orvane::index_t position = 0; position < nb; position++ )
            {
                mapping[position] = items_[position].element;
            }
        }

    private:
        struct Item
        {
            orvane::Point< dimension > center;
            orvane::index_t element;
        };

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

        void build( orvane::index_t node, orvane::index_t begin, orvane::index_t end )
        {
            if( end - begin == 1 )
            {
                tree_[node] = bboxes_[items_[begin].element];
                return;
            }
            const auto axis = widest_axis( begin, end );
            const auto m = orvane::AABBTree< dimension >::middle( begin, end );
            std::nth_element( items_.begin() + begin, items_.begin() + m,
                items_.begin() + end, [axis]( const Item& lhs, const Item& rhs ) {
                    const double left = lhs.center.value( axis );
                    const double right = rhs.center.value( axis );
                    if( left != right )
                    {
                        return left < right;
                    }
                    return lhs.element < rhs.element;
                } );
            if( end - begin >= PARALLEL_RANGE )
            {
                orvane::async::parallel_invoke(
                    [this, node, begin, m] { build( 2 * node, begin, m ); },
                    [this, node, m, end] { build( 2 * node + 1, m, end ); } );
            }
            else
            {
                build( 2 * node, begin, m );
                build( 2 * node + 1, m, end );
            }
            tree_[node] = tree_[2 * node];
            tree_[node].add_box( tree_[2 * node + 1] );
        }

        orvane::local_index_t widest_axis(
            orvane::index_t begin, orvane::index_t end ) const
        {
            auto low = items_[begin].center;
            auto high = low;
            for( auto position = begin + 1; position < end; position++ )
            {
                const auto& center = items_[position].center;
                for( orvane::local_index_t i = 0; i < dimension; i++ )
                {
                    const auto value = center.value( i );
                    if( value < low.value( i ) )
                    {
                        low.set_value( i, value );
                    }
                    if( value > high.value( i ) )
                    {
                        high.set_value( i, value );
                    }
                }
            }
            orvane::local_index_t axis{ 0 };
            for( orvane::local_index_t i = 1; i < dimension; i++ )
            {
                if( high.value( i ) - low.value( i )
                    > high.value( axis ) - low.value( axis ) )
                {
                    axis = i;
                }
            }
            return axis;
        }

    private:
        absl::Span< const orvane::BoundingBox< dimension > > bboxes_;
        Boxes& tree_;
        std::vector< Item, orvane::LargeArrayAllocator< Item > > items_;
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
