#pragma once

#include <utility>
#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/assert.hpp>
#include <openorvane/basic/large_array_allocator.hpp>
#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/bounding_box.hpp>

namespace orvane
{
    /// A bounding-box tree over a list of element boxes.
    ///
    /// Layout, which callers may walk directly:
    /// - the n boxes sit at leaf positions 0..n-1, and element_at(position)
    ///   gives the element index of each position;
    /// - node ROOT (1) covers the positions [0, n); a node k covering [b, e)
    ///   with e - b > 1 has the children 2k over [b, m) and 2k + 1 over
    ///   [m, e), where m = b + (e - b) / 2; a node over one position is a
    ///   leaf;
    /// - node_box(k) bounds every box of its positions.
    ///
    /// The elements are ordered by a recursive median split of the box
    /// centres along the widest axis of their spread, ties broken by element
    /// index. Boxes are stored as given (never inflated). Large inputs are
    /// built on the thread pool, with the same layout whatever the thread
    /// count. A box with a non-finite coordinate throws an
    /// OpenOrvaneException (empty boxes are accepted).
    ///
    /// Every search takes a visitor returning bool: true ends the whole
    /// search at once and the search returns true; a search that ends
    /// without a visitor returning true returns false. The searches only
    /// read the tree, so several may run on one tree at once. An empty tree
    /// visits nothing.
    template < index_t dimension >
    class AABBTree
    {
    public:
        static constexpr index_t ROOT = 1;

        AABBTree() = default;
        explicit AABBTree( absl::Span< const BoundingBox< dimension > > bboxes );

        index_t nb_bboxes() const
        {
            return static_cast< index_t >( mapping_.size() );
        }

        /// The box of every element (the root's box); empty for an empty
        /// tree.
        const BoundingBox< dimension >& bounding_box() const;

        /// node_box and element_at check their index in Debug and sanitizer
        /// builds only (openorvane/basic/assert.hpp): Release reads out of
        /// range on a bad index.
        const BoundingBox< dimension >& node_box( index_t node ) const
        {
            ORVANE_ASSERT( node >= ROOT && node < tree_.size(),
                "[AABBTree::node_box] Node ", node, " out of range (",
                tree_.size(), " node slots)" );
            return tree_[node];
        }

        /// The element index of the leaf position.
        index_t element_at( index_t position ) const
        {
            ORVANE_ASSERT( position < mapping_.size(),
                "[AABBTree::element_at] Position ", position,
                " out of range (", mapping_.size(), " boxes)" );
            return mapping_[position];
        }

        static index_t middle( index_t begin, index_t end )
        {
            return begin + ( end - begin ) / 2;
        }

        static bool is_leaf( index_t begin, index_t end )
        {
            return end - begin == 1;
        }

        /// Visits each unordered pair of distinct elements whose boxes
        /// intersect, once, calling visitor(first, second) where first sits
        /// at the lower leaf position.
        template < typename Visitor >
        bool visit_intersecting_box_pairs( Visitor&& visitor ) const
        {
            if( nb_bboxes() == 0 )
            {
                return false;
            }
            return self_pairs( ROOT, 0, nb_bboxes(), ROOT, 0, nb_bboxes(), visitor );
        }

        /// Visits each pair (element of this tree, element of `other`) whose
        /// boxes intersect, calling visitor(this_element, other_element).
        template < typename Visitor >
        bool visit_intersecting_box_pairs(
            const AABBTree< dimension >& other, Visitor&& visitor ) const
        {
            if( nb_bboxes() == 0 || other.nb_bboxes() == 0 )
            {
                return false;
            }
            return other_pairs(
                other, ROOT, 0, nb_bboxes(), ROOT, 0, other.nb_bboxes(), visitor );
        }

        /// Visits the elements whose boxes intersect the query box, left
        /// child first, calling visitor(element).
        template < typename Visitor >
        bool visit_boxes_intersecting_box(
            const BoundingBox< dimension >& box, Visitor&& visitor ) const
        {
            return descend( [&box]( const BoundingBox< dimension >& node ) {
                return node.intersects( box );
            },
                visitor );
        }

        /// Visits the elements whose boxes the ray may cross (the box test
        /// is conservative), left child first, calling visitor(element).
        template < typename Visitor >
        bool visit_boxes_along_ray(
            const Ray< dimension >& ray, Visitor&& visitor ) const
        {
            return descend( [&ray]( const BoundingBox< dimension >& node ) {
                return node.intersects( ray );
            },
                visitor );
        }

        /// Visits the elements whose boxes the segment may cross (the box
        /// test is conservative), left child first, calling visitor(element).
        template < typename Visitor >
        bool visit_boxes_along_segment(
            const Segment< dimension >& segment, Visitor&& visitor ) const
        {
            return descend( [&segment]( const BoundingBox< dimension >& node ) {
                return node.intersects( segment );
            },
                visitor );
        }

    private:
        template < typename NodeTest, typename Visitor >
        bool descend( const NodeTest& test, Visitor& visitor ) const
        {
            if( nb_bboxes() == 0 )
            {
                return false;
            }
            return descend_node( ROOT, 0, nb_bboxes(), test, visitor );
        }

        template < typename NodeTest, typename Visitor >
        bool descend_node( index_t node,
            index_t begin,
            index_t end,
            const NodeTest& test,
            Visitor& visitor ) const
        {
            while( true )
            {
                if( !test( tree_[node] ) )
                {
                    return false;
                }
                if( is_leaf( begin, end ) )
                {
                    return visitor( mapping_[begin] );
                }
                const auto m = middle( begin, end );
                if( descend_node( 2 * node, begin, m, test, visitor ) )
                {
                    return true;
                }
                node = 2 * node + 1;
                begin = m;
            }
        }

        template < typename Visitor >
        bool self_pairs( index_t node_a,
            index_t a_begin,
            index_t a_end,
            index_t node_b,
            index_t b_begin,
            index_t b_end,
            Visitor& visitor ) const
        {
            while( true )
            {
                // Every position of the second range lies before the first.
                if( b_end <= a_begin )
                {
                    return false;
                }
                if( !tree_[node_a].intersects( tree_[node_b] ) )
                {
                    return false;
                }
                if( is_leaf( a_begin, a_end ) && is_leaf( b_begin, b_end ) )
                {
                    if( node_a == node_b )
                    {
                        return false;
                    }
                    return visitor( mapping_[a_begin], mapping_[b_begin] );
                }
                if( b_end - b_begin > a_end - a_begin )
                {
                    const auto m = middle( b_begin, b_end );
                    if( self_pairs( node_a, a_begin, a_end, 2 * node_b, b_begin,
                            m, visitor ) )
                    {
                        return true;
                    }
                    node_b = 2 * node_b + 1;
                    b_begin = m;
                }
                else
                {
                    const auto m = middle( a_begin, a_end );
                    if( self_pairs( 2 * node_a, a_begin, m, node_b, b_begin,
                            b_end, visitor ) )
                    {
                        return true;
                    }
                    node_a = 2 * node_a + 1;
                    a_begin = m;
                }
            }
        }

        template < typename Visitor >
        bool other_pairs( const AABBTree< dimension >& other,
            index_t node_a,
            index_t a_begin,
            index_t a_end,
            index_t node_b,
            index_t b_begin,
            index_t b_end,
            Visitor& visitor ) const
        {
            while( true )
            {
                if( !tree_[node_a].intersects( other.tree_[node_b] ) )
                {
                    return false;
                }
                if( is_leaf( a_begin, a_end ) && is_leaf( b_begin, b_end ) )
                {
                    return visitor(
                        mapping_[a_begin], other.mapping_[b_begin] );
                }
                if( b_end - b_begin > a_end - a_begin )
                {
                    const auto m = middle( b_begin, b_end );
                    if( other_pairs( other, node_a, a_begin, a_end, 2 * node_b,
                            b_begin, m, visitor ) )
                    {
                        return true;
                    }
                    node_b = 2 * node_b + 1;
                    b_begin = m;
                }
                else
                {
                    const auto m = middle( a_begin, a_end );
                    if( other_pairs( other, 2 * node_a, a_begin, m, node_b,
                            b_begin, b_end, visitor ) )
                    {
                        return true;
                    }
                    node_a = 2 * node_a + 1;
                    a_begin = m;
                }
            }
        }

    private:
        /// Node boxes indexed by node number; the slots of numbers that are
        /// no node (entry 0 among them) hold the empty box.
        std::vector< BoundingBox< dimension >,
            UninitializedArrayAllocator< BoundingBox< dimension > > >
            tree_;
        /// Element index of each leaf position.
        std::vector< index_t, UninitializedArrayAllocator< index_t > > mapping_;
    };

    using AABBTree2D = AABBTree< 2 >;
    using AABBTree3D = AABBTree< 3 >;

    namespace detail
    {
        /// A first guess at the element closest to the point: from the root,
        /// descends into the child whose box has the smaller signed distance
        /// to the point (the right one on a tie) down to a leaf, and returns
        /// its element. The tree must not be empty.
        template < index_t dimension >
        index_t closest_leaf_element(
            const AABBTree< dimension >& tree, const Point< dimension >& point )
        {
            index_t node{ AABBTree< dimension >::ROOT };
            index_t begin{ 0 };
            index_t end{ tree.nb_bboxes() };
            while( !AABBTree< dimension >::is_leaf( begin, end ) )
            {
                const auto m = AABBTree< dimension >::middle( begin, end );
                const auto left = tree.node_box( 2 * node ).signed_distance( point );
                const auto right =
                    tree.node_box( 2 * node + 1 ).signed_distance( point );
                if( left < right )
                {
                    node = 2 * node;
                    end = m;
                }
                else
                {
                    node = 2 * node + 1;
                    begin = m;
                }
            }
            return tree.element_at( begin );
        }

        /// Branch-and-bound search of the element closest to the point,
        /// starting from a best guess (element, distance), usually the
        /// closest_leaf_element and its exact distance. `distance( point,
        /// element )` gives the exact distance to an element.
        ///
        /// At an inner node the child with the smaller box signed distance
        /// is visited first (the right one on a tie), each child only while
        /// its box distance is strictly below the best distance at that
        /// moment; a leaf replaces the best only when strictly closer.
        /// Returns the updated (element, distance); the guess when the tree
        /// is empty.
        template < index_t dimension, typename Distance >
        std::pair< index_t, double > closest_element(
            const AABBTree< dimension >& tree,
            const Point< dimension >& point,
            const Distance& distance,
            index_t best_element,
            double best_distance )
        {
            std::pair< index_t, double > best{ best_element, best_distance };
            if( tree.nb_bboxes() == 0 )
            {
                return best;
            }
            const auto visit = [&]( const auto& self, index_t node,
                                   index_t begin, index_t end ) -> void {
                if( AABBTree< dimension >::is_leaf( begin, end ) )
                {
                    const auto element = tree.element_at( begin );
                    const double exact = distance( point, element );
                    if( exact < best.second )
                    {
                        best = { element, exact };
                    }
                    return;
                }
                const auto m = AABBTree< dimension >::middle( begin, end );
                const auto left = tree.node_box( 2 * node ).signed_distance( point );
                const auto right =
                    tree.node_box( 2 * node + 1 ).signed_distance( point );
                if( left < right )
                {
                    if( left < best.second )
                    {
                        self( self, 2 * node, begin, m );
                    }
                    if( right < best.second )
                    {
                        self( self, 2 * node + 1, m, end );
                    }
                }
                else
                {
                    if( right < best.second )
                    {
                        self( self, 2 * node + 1, m, end );
                    }
                    if( left < best.second )
                    {
                        self( self, 2 * node, begin, m );
                    }
                }
            };
            visit( visit, AABBTree< dimension >::ROOT, 0, tree.nb_bboxes() );
            return best;
        }

        /// The element closest to the point and its distance, as (distance,
        /// element): the greedy leaf as first guess, refined by
        /// closest_element. (0, NO_ID) for an empty tree.
        template < index_t dimension, typename Distance >
        std::pair< double, index_t > closest_element_box(
            const AABBTree< dimension >& tree,
            const Point< dimension >& point,
            const Distance& distance )
        {
            if( tree.nb_bboxes() == 0 )
            {
                return { 0., NO_ID };
            }
            const auto guess = closest_leaf_element( tree, point );
            const auto [element, best] = closest_element(
                tree, point, distance, guess, distance( point, guess ) );
            return { best, element };
        }
    } // namespace detail
} // namespace orvane
