#include <background/background_solid_inserter_impl.hpp>

#include <background/background_solid_edit_context.hpp>
#include <background/background_solid_optimization.hpp>

namespace orvane
{
    namespace internal
    {
        // The edit context of the repair passes, with the tracked elements
        // of one insertion step.
        class InsertionEditContext::Impl
        {
        public:
            Impl( BackgroundSolid& solid,
                BackgroundSolidModifier& modifier,
                BackgroundSolidBuilder& builder,
                std::vector< index_t > tracked_vertices )
            {
                BackgroundSolidTrackedElements tracked;
                tracked.vertices = std::move( tracked_vertices );
                context_ = make_edit_context(
                    solid, modifier, builder, std::move( tracked ) );
            }

            BackgroundSolidTrackedElements& tracked()
            {
                return context_->tracked;
            }

            std::unique_ptr< BackgroundSolidEditContext >& handle()
            {
                return context_;
            }

        private:
            std::unique_ptr< BackgroundSolidEditContext > context_;
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
            return impl_->tracked().vertices;
        }

        void InsertionEditContext::track_edge( std::array< index_t, 2 > edge )
        {
            detail::add_unique_edge( impl_->tracked().edges, edge );
        }

        void InsertionEditContext::track_facet( VertexCycle cycle )
        {
            detail::add_unique_cycle( impl_->tracked().facets, std::move( cycle ) );
        }

        void InsertionEditContext::track( const PendingCutsReplay& replay )
        {
            BackgroundSolidTrackedElements other;
            for( const auto vertex : replay.vertices )
            {
                if( vertex != NO_ID )
                {
                    other.vertices.push_back( vertex );
                }
            }
            other.edges = replay.edges;
            other.facets = replay.facets;
            impl_->tracked().merge( other );
        }

        std::vector< index_t > InsertionEditContext::repair_epsilon(
            absl::Span< const index_t > tetrahedra )
        {
            return optimize_epsilon( impl_->handle(), tetrahedra );
        }

        std::vector< index_t > InsertionEditContext::repair_epsilon_from(
            index_t first )
        {
            return optimize_epsilon_from( impl_->handle(), first );
        }

        void InsertionEditContext::repair_quality( index_t first )
        {
            optimize_quality( impl_->handle(), first );
        }
    } // namespace internal
} // namespace orvane
