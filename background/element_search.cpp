#include <background/element_search.hpp>

#include <openorvane/geometry/aabb.hpp>
#include <openorvane/mesh/solid_aabb.hpp>

namespace orvane
{
    namespace internal
    {
        template < typename Mesh >
        class ElementSearch< Mesh >::Impl
        {
        public:
            /// The tree over the snapshot's elements and the distance to one
            /// of them; both refer to the snapshot, which outlives them.
            struct Tree
            {
                explicit Tree( const Mesh& mesh )
                    : tree( create_aabb_tree( mesh ) ), distance( mesh )
                {
                }

                AABBTree< Mesh::dim > tree;
                DistanceToTetrahedron< Mesh::dim > distance;
            };

            Impl() = default;
            Impl( const Impl& ) = delete;
            Impl& operator=( const Impl& ) = delete;

            ~Impl()
            {
                // The tree refers to the copy: release it first.
                tree.reset();
                solid_copy.reset();
            }

            std::unique_ptr< Mesh > solid_copy;
            std::unique_ptr< Tree > tree;
        };

        template < typename Mesh >
        ElementSearch< Mesh >::ElementSearch()
            : impl_( std::make_unique< Impl >() )
        {
        }

        template < typename Mesh >
        ElementSearch< Mesh >::~ElementSearch() = default;

        template < typename Mesh >
        std::pair< index_t, double > ElementSearch< Mesh >::closest_element(
            const Point< Mesh::dim >& point ) const
        {
            if( !impl_->tree || impl_->tree->tree.nb_bboxes() == 0 )
            {
                return { NO_ID, 0. };
            }
            const auto& tree = impl_->tree->tree;
            const auto& distance = impl_->tree->distance;
            const auto seed = detail::closest_leaf_element( tree, point );
            return detail::closest_element(
                tree, point, distance, seed, distance( point, seed ) );
        }

        template < typename Mesh >
        ElementSearchBuilder< Mesh >::ElementSearchBuilder(
            ElementSearch< Mesh >& search )
            : search_( search )
        {
        }

        template < typename Mesh >
        void ElementSearchBuilder< Mesh >::update_element_search(
            const Mesh& mesh )
        {
            auto& impl = *search_.impl_;
            auto copy = mesh.clone();
            auto tree =
                std::make_unique< typename ElementSearch< Mesh >::Impl::Tree >(
                    *copy );
            impl.tree.reset();
            impl.solid_copy = std::move( copy );
            impl.tree = std::move( tree );
        }

        template class ElementSearch< TetrahedralSolid< 3 > >;
        template class ElementSearchBuilder< TetrahedralSolid< 3 > >;
    } // namespace internal
} // namespace orvane
