#include <background/background_solid_inserter_impl.hpp>

#include <algorithm>

namespace orvane
{
    namespace internal
    {
        // The tracked elements of one insertion step. The repair passes
        // (epsilon and quality) are not available yet: the repair calls
        // below are where they run once they are, and until then they
        // leave the solid as it is.
        class InsertionEditContext::Impl
        {
        public:
            Impl( BackgroundSolid& solid,
                BackgroundSolidModifier& modifier,
                BackgroundSolidBuilder& builder,
                std::vector< index_t > tracked_vertices )
                : solid_( solid ),
                  modifier_( modifier ),
                  builder_( builder ),
                  vertices_( std::move( tracked_vertices ) )
            {
            }

            std::vector< index_t >& vertices()
            {
                return vertices_;
            }

            void track_edge( std::array< index_t, 2 > edge )
            {
                detail::add_unique_edge( edges_, edge );
            }

            void track_facet( VertexCycle cycle )
            {
                detail::add_unique_cycle( facets_, std::move( cycle ) );
            }

            void add_vertex( index_t vertex )
            {
                if( std::find( vertices_.begin(), vertices_.end(), vertex )
                    == vertices_.end() )
                {
                    vertices_.push_back( vertex );
                }
            }

            std::vector< index_t > repair_epsilon(
                absl::Span< const index_t > /*tetrahedra*/ )
            {
                // REPAIR PASS: optimize_epsilon on the listed tetrahedra.
                return {};
            }

            std::vector< index_t > repair_epsilon_from( index_t /*first*/ )
            {
                // REPAIR PASS: optimize_epsilon_from the first tetrahedron.
                return {};
            }

            void repair_quality( index_t /*first*/ )
            {
                // REPAIR PASS: optimize_quality from the first tetrahedron.
            }

        private:
            BackgroundSolid& solid_;
            BackgroundSolidModifier& modifier_;
            BackgroundSolidBuilder& builder_;
            std::vector< index_t > vertices_;
            std::vector< std::array< index_t, 2 > > edges_;
            std::vector< VertexCycle > facets_;
        };

        InsertionEditContext::InsertionEditContext( BackgroundSolid& solid,
            BackgroundSolidModifier& modifier,
            BackgroundSolidBuilder& builder,
            std::vector< index_t > tracked_vertices )
            : impl_( std::make_unique< Impl >(
                solid, modifier, builder, std::move( tracked_vertices ) ) )
        {
        }

        InsertionEditContext::~InsertionEditContext() = default;

        std::vector< index_t >& InsertionEditContext::tracked_vertices()
        {
            return impl_->vertices();
        }

        void InsertionEditContext::track_edge( std::array< index_t, 2 > edge )
        {
            impl_->track_edge( edge );
        }

        void InsertionEditContext::track_facet( VertexCycle cycle )
        {
            impl_->track_facet( std::move( cycle ) );
        }

        void InsertionEditContext::track( const PendingCutsReplay& replay )
        {
            for( const auto vertex : replay.vertices )
            {
                if( vertex != NO_ID )
                {
                    impl_->add_vertex( vertex );
                }
            }
            for( const auto& edge : replay.edges )
            {
                impl_->track_edge( edge );
            }
            for( const auto& facet : replay.facets )
            {
                impl_->track_facet( facet );
            }
        }

        std::vector< index_t > InsertionEditContext::repair_epsilon(
            absl::Span< const index_t > tetrahedra )
        {
            return impl_->repair_epsilon( tetrahedra );
        }

        std::vector< index_t > InsertionEditContext::repair_epsilon_from(
            index_t first )
        {
            return impl_->repair_epsilon_from( first );
        }

        void InsertionEditContext::repair_quality( index_t first )
        {
            impl_->repair_quality( first );
        }
    } // namespace internal
} // namespace orvane
