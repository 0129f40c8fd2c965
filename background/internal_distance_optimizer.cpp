#include <background/internal_distance_optimizer.hpp>

#include <algorithm>

#include <absl/container/flat_hash_set.h>

#include <background/background_solid.hpp>
#include <background/background_solid_modifier.hpp>

namespace orvane
{
    namespace internal
    {
        class BackgroundSolidOrchestrator::Impl
        {
        public:
            explicit Impl( std::unique_ptr< BackgroundSolidEditContext >& handle_in )
                : handle( handle_in )
            {
            }

            std::unique_ptr< BackgroundSolidEditContext >& handle;
        };

        BackgroundSolidOrchestrator::BackgroundSolidOrchestrator(
            std::unique_ptr< BackgroundSolidEditContext >& context )
            : BackgroundOrchestrator( *context ),
              impl_( std::make_unique< Impl >( context ) )
        {
        }

        BackgroundSolidOrchestrator::~BackgroundSolidOrchestrator() = default;

        BackgroundSolidEditContext& BackgroundSolidOrchestrator::edit_context()
        {
            return *impl_->handle;
        }

        bool BackgroundSolidOrchestrator::skip_element( const Entry& entry )
        {
            return !context().modifier.is_polyhedron_active( entry.first )
                   || is_tetrahedron_valid( entry.first );
        }

        std::vector< index_t > BackgroundSolidOrchestrator::swap_edge_and_track(
            const PolyhedronFacetEdge& edge, index_t apex )
        {
            auto& edits = edit_context();
            const auto vertices =
                edits.solid.polyhedron_facet_edge_vertices( edge );
            auto result = edits.swap_edge( edge, apex );
            if( retry() )
            {
                detail::add_unique_edge( edits.tracked.edges, vertices );
            }
            return result;
        }

        std::vector< index_t > BackgroundSolidOrchestrator::swap_facet_and_track(
            const PolyhedronFacet& facet )
        {
            auto& edits = edit_context();
            const auto vertices = edits.solid.polyhedron_facet_vertices( facet );
            auto result = edits.swap_facet( facet );
            if( retry() )
            {
                detail::add_unique_cycle( edits.tracked.facets,
                    VertexCycle{ vertices[0], vertices[1], vertices[2] } );
            }
            return result;
        }

        BackgroundSolidVertexEdit
            BackgroundSolidOrchestrator::split_edge_at_vertex_and_track(
                const PolyhedronFacetEdge& edge, index_t vertex )
        {
            auto& edits = edit_context();
            const auto vertices =
                edits.solid.polyhedron_facet_edge_vertices( edge );
            auto result = edits.split_edge_at_vertex( edge, vertex );
            if( retry() )
            {
                detail::add_unique_edge( edits.tracked.edges, vertices );
            }
            return result;
        }

        BackgroundSolidVertexEdit
            BackgroundSolidOrchestrator::split_facet_at_vertex_and_track(
                const PolyhedronFacet& facet, index_t vertex )
        {
            auto& edits = edit_context();
            const auto vertices = edits.solid.polyhedron_facet_vertices( facet );
            auto result = edits.split_facet_at_vertex( facet, vertex );
            if( retry() )
            {
                detail::add_unique_cycle( edits.tracked.facets,
                    VertexCycle{ vertices[0], vertices[1], vertices[2] } );
            }
            return result;
        }

        BackgroundSolidInternalDistanceOptimizer::
            BackgroundSolidInternalDistanceOptimizer(
                std::unique_ptr< BackgroundSolidEditContext >& context )
            : BackgroundSolidOrchestrator( context )
        {
        }

        BackgroundSolidInternalDistanceOptimizer::
            ~BackgroundSolidInternalDistanceOptimizer() = default;

        auto BackgroundSolidInternalDistanceOptimizer::fixed(
            std::vector< index_t > tetrahedra ) -> Result
        {
            return Result{ true, {}, std::move( tetrahedra ) };
        }

        auto BackgroundSolidInternalDistanceOptimizer::unfixed_result(
            index_t tetrahedron ) -> Result
        {
            return Result{ false, { tetrahedron }, {} };
        }

        auto BackgroundSolidInternalDistanceOptimizer::fix(
            index_t tetrahedron, const InternalDistanceProblem& problem )
            -> FixResult
        {
            switch( problem.kind )
            {
            case InternalDistanceProblem::SHORT_EDGE:
                return fix_short_edge( tetrahedron, problem );
            case InternalDistanceProblem::VERTEX_TRIPLE_ADJACENCY:
                return fix_vertex_triple_adjacency( tetrahedron, problem );
            case InternalDistanceProblem::EDGE_DOUBLE_ADJACENCY:
                return fix_edge_double_adjacency( tetrahedron, problem );
            case InternalDistanceProblem::VERTEX_NEAR_EDGE:
                return fix_vertex_near_edge( tetrahedron, problem );
            case InternalDistanceProblem::VERTEX_NEAR_FACET:
                return fix_vertex_near_facet( tetrahedron, problem );
            case InternalDistanceProblem::EDGE_NEAR_EDGE:
                return fix_edge_near_edge( tetrahedron, problem );
            default:
                return std::nullopt;
            }
        }

        auto BackgroundSolidInternalDistanceOptimizer::process_element(
            const Entry& entry ) -> Result
        {
            const auto tetrahedron = entry.first;
            // The list is copied: a fix's edit may run another test.
            const auto problems = candidates_;
            FixResult result;
            if( !problems.empty() )
            {
                const auto kind = problems.front().kind;
                for( const auto& problem : problems )
                {
                    if( problem.kind != kind )
                    {
                        break;
                    }
                    result = fix( tetrahedron, problem );
                    if( result )
                    {
                        break;
                    }
                }
            }
            if( !result )
            {
                return unfixed_result( tetrahedron );
            }
            // Queue the whole neighbourhood of the edit again: every
            // tetrahedron around a vertex of a live tetrahedron it made.
            const auto& edits = edit_context();
            std::vector< index_t > vertices;
            absl::flat_hash_set< index_t > seen;
            for( const auto created : result->created )
            {
                if( !edits.modifier.is_polyhedron_active( created ) )
                {
                    continue;
                }
                for( const auto vertex :
                    edits.solid.polyhedron_vertices( created ) )
                {
                    if( seen.insert( vertex ).second )
                    {
                        vertices.push_back( vertex );
                    }
                }
            }
            auto created = std::move( result->created );
            for( const auto vertex : vertices )
            {
                for( const auto& around :
                    edits.solid.polyhedra_around_vertex( vertex ) )
                {
                    created.push_back( around.polyhedron_id );
                }
            }
            return Result{ true, {}, std::move( created ) };
        }
    } // namespace internal
} // namespace orvane
