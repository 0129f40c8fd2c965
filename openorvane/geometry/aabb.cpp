#include <openorvane/geometry/aabb.hpp>

#include <algorithm>
#include <numeric>

namespace
{
    template < orvane::index_t dimension >
    class TreeBuilder
    {
    public:
        TreeBuilder( absl::Span< const orvane::BoundingBox< dimension > > bboxes,
            std::vector< orvane::BoundingBox< dimension > >& tree,
            std::vector< orvane::index_t >& mapping )
            : bboxes_( bboxes ), tree_( tree ), mapping_( mapping )
        {
            const auto nb = static_cast< orvane::index_t >( bboxes.size() );
            centers_.reserve( nb );
            for( const auto& box : bboxes )
            {
                centers_.push_back( box.empty() ? orvane::Point< dimension >{}
                                                : box.center() );
            }
            mapping_.resize( nb );
            std::iota( mapping_.begin(), mapping_.end(), 0 );
            tree_.resize( max_node( orvane::AABBTree< dimension >::ROOT, 0, nb )
                          + 1 );
            build( orvane::AABBTree< dimension >::ROOT, 0, nb );
        }

    private:
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
                tree_[node] = bboxes_[mapping_[begin]];
                return;
            }
            const auto axis = widest_axis( begin, end );
            const auto m = orvane::AABBTree< dimension >::middle( begin, end );
            std::nth_element( mapping_.begin() + begin, mapping_.begin() + m,
                mapping_.begin() + end,
                [this, axis]( orvane::index_t lhs, orvane::index_t rhs ) {
                    const double left = centers_[lhs].value( axis );
                    const double right = centers_[rhs].value( axis );
                    if( left != right )
                    {
                        return left < right;
                    }
                    return lhs < rhs;
                } );
            build( 2 * node, begin, m );
            build( 2 * node + 1, m, end );
            tree_[node] = tree_[2 * node];
            tree_[node].add_box( tree_[2 * node + 1] );
        }

        orvane::local_index_t widest_axis(
            orvane::index_t begin, orvane::index_t end ) const
        {
            orvane::BoundingBox< dimension > spread;
            for( auto position = begin; position < end; position++ )
            {
                spread.add_point( centers_[mapping_[position]] );
            }
            const auto diagonal = spread.diagonal();
            orvane::local_index_t axis{ 0 };
            for( orvane::local_index_t i = 1; i < dimension; i++ )
            {
                if( diagonal.value( i ) > diagonal.value( axis ) )
                {
                    axis = i;
                }
            }
            return axis;
        }

    private:
        absl::Span< const orvane::BoundingBox< dimension > > bboxes_;
        std::vector< orvane::BoundingBox< dimension > >& tree_;
        std::vector< orvane::index_t >& mapping_;
        std::vector< orvane::Point< dimension > > centers_;
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
