#include <background/background_solid_optimization.hpp>

#include <numeric>

#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/predicates.hpp>

#include <common/modifier/tetrahedral_collapse_validity.hpp>
#include <common/modifier/tetrahedron_preview.hpp>

#include <background/background_solid.hpp>
#include <background/background_solid_edit_context.hpp>
#include <background/background_solid_modifier.hpp>
#include <background/internal_distance_optimizer.hpp>

namespace
{
    using namespace orvane;
    using namespace orvane::internal;

    /// Removes every defect at the scale of 1e-6. A normal step accepts an
    /// edit only when it makes no more flat tetrahedra than it removes; a
    /// retry step accepts any edit that inverts nothing, and then splits
    /// the edge or facet at the offending vertex or point.
    class BackgroundSolidEpsilonOptimizer
        : public BackgroundSolidInternalDistanceOptimizer
    {
    public:
        explicit BackgroundSolidEpsilonOptimizer(
            std::unique_ptr< BackgroundSolidEditContext >& context )
            : BackgroundSolidInternalDistanceOptimizer( context )
        {
        }

    private:
        const BackgroundSolid& solid()
        {
            return edit_context().solid;
        }

        bool stop_on_limit() override
        {
            return false;
        }

        bool double_skip_limit() override
        {
            return true;
        }

        bool is_tetrahedron_valid( index_t tetrahedron ) override
        {
            const auto geometry = solid().tetrahedron( tetrahedron );
            auto& problems = candidates();
            problems.clear();
            find_short_edges( geometry, GLOBAL_EPSILON, problems )
                || find_vertex_triple_adjacencies( solid(), tetrahedron, problems )
                || find_edge_double_adjacencies( solid(), tetrahedron, problems )
                || find_vertices_near_edges( geometry, GLOBAL_EPSILON, problems )
                || find_vertices_near_facets( geometry, GLOBAL_EPSILON, problems )
                || find_edges_near_edges( geometry, GLOBAL_EPSILON, problems );
            return problems.empty();
        }

        /// The number of listed tetrahedra whose volume sign is not
        /// positive.
        index_t nb_not_positive( absl::Span< const index_t > tetrahedra )
        {
            index_t count{ 0 };
            for( const auto tetrahedron : tetrahedra )
            {
                if( tetrahedron_volume_sign( solid().tetrahedron( tetrahedron ) )
                    != SIDE::positive )
                {
                    count++;
                }
            }
            return count;
        }

        /// Nothing when the collapse onto `kept` inverts a tetrahedron;
        /// otherwise whether it makes no more flat tetrahedra than it
        /// removes.
        std::optional< bool > collapse_acceptance(
            const EdgeVertices& ends, index_t kept )
        {
            const auto moved = tetrahedra_with_moved_vertices( solid(),
                polyhedra_around_edge_vertices( solid(), ends ),
                solid().point( kept ) );
            std::vector< Tetrahedron > previews;
            previews.reserve( moved.size() );
            for( const auto& preview : moved )
            {
                previews.push_back( preview.tetrahedron );
            }
            const auto nb_flat = count_flat_tetrahedra( previews );
            if( !nb_flat )
            {
                return std::nullopt;
            }
            const auto around = solid().polyhedra_around_edge( ends );
            return nb_not_positive( around ) >= nb_flat.value();
        }

        /// The collapse of the tetrahedron's edge from local vertex
        /// `removed` to local vertex `kept`, removing the first, when it is
        /// admissible and acceptable in this step.
        FixResult try_collapse(
            index_t tetrahedron, local_index_t removed, local_index_t kept )
        {
            auto& edits = edit_context();
            const auto removed_vertex =
                solid().polyhedron_vertex( { tetrahedron, removed } );
            const auto kept_vertex = solid().polyhedron_vertex( { tetrahedron, kept } );
            if( !edits.is_collapse_admissible( removed_vertex, kept_vertex ) )
            {
                return std::nullopt;
            }
            const auto accepted =
                collapse_acceptance( { removed_vertex, kept_vertex }, kept_vertex );
            if( !accepted || !( retry() || accepted.value() ) )
            {
                return std::nullopt;
            }
            const auto edge = tetrahedron_facet_edge( tetrahedron, removed, kept );
            // A collapse that glues two parts of the solid along a vertex or
            // an edge would leave it non-manifold.
            if( detail::collapse_edge_breaks_topology( solid(), edge ) )
            {
                return std::nullopt;
            }
            return fixed(
                edits.collapse_edge( edge, removed_vertex, kept_vertex ).tetrahedra );
        }

        /// The swap of the edge from the apex, when admissible, inverting
        /// nothing, acceptable in this step and creating no edge that
        /// exists already.
        FixResult try_swap_edge( const PolyhedronFacetEdge& edge, index_t apex )
        {
            auto& edits = edit_context();
            if( !edits.is_swap_edge_admissible( edge, apex ) )
            {
                return std::nullopt;
            }
            const auto swap = detail::swap_edge_preview( solid(), edge, apex );
            if( swap.preview.tetrahedra.empty() )
            {
                return std::nullopt;
            }
            const auto nb_flat = count_flat_tetrahedra( swap.preview.tetrahedra );
            if( !nb_flat )
            {
                return std::nullopt;
            }
            if( !retry()
                && nb_not_positive( solid().polyhedra_around_edge( edge ) )
                       < nb_flat.value() )
            {
                return std::nullopt;
            }
            // The fan joins the apex to every ring vertex but its two
            // neighbours on the ring.
            for( std::size_t i = 2; i + 1 < swap.ring.size(); i++ )
            {
                if( !solid().polyhedra_around_edge( { apex, swap.ring[i] } ).empty() )
                {
                    return std::nullopt;
                }
            }
            return fixed( swap_edge_and_track( edge, apex ) );
        }

        FixResult try_swap_edge_any_apex( const PolyhedronFacetEdge& edge )
        {
            const auto ends = solid().polyhedron_facet_edge_vertices( edge );
            const auto ring = ordered_vertices_around_edge(
                solid(), ends, solid().polyhedra_around_edge( edge ) );
            const std::vector< index_t > apexes(
                ring.vertices.begin(), ring.vertices.end() );
            for( const auto apex : apexes )
            {
                if( auto result = try_swap_edge( edge, apex ) )
                {
                    return result;
                }
            }
            return std::nullopt;
        }

        FixResult fix_short_edge(
            index_t tetrahedron, const InternalDistanceProblem& problem ) override
        {
            auto& edits = edit_context();
            local_index_t kept = problem.edge[0];
            local_index_t removed = problem.edge[1];
            const auto kept_vertex = solid().polyhedron_vertex( { tetrahedron, kept } );
            const auto removed_vertex =
                solid().polyhedron_vertex( { tetrahedron, removed } );
            // The collapse is made whatever it costs. The merged vertex
            // takes the point of a border end, so that the border does not
            // move inward, else of a tracked end, so that inserted geometry
            // does not move; else of the first end.
            const auto on_border = [this]( index_t vertex ) {
                return solid().is_vertex_on_border( vertex );
            };
            const auto keeps_other =
                on_border( removed_vertex ) != on_border( kept_vertex )
                    ? on_border( removed_vertex )
                    : edits.is_vertex_tracked( removed_vertex )
                          && !edits.is_vertex_tracked( kept_vertex );
            if( keeps_other )
            {
                std::swap( kept, removed );
            }
            const auto edge = tetrahedron_facet_edge( tetrahedron, removed, kept );
            return fixed( edits
                              .collapse_edge( edge,
                                  solid().polyhedron_vertex( { tetrahedron, removed } ),
                                  solid().polyhedron_vertex( { tetrahedron, kept } ) )
                              .tetrahedra );
        }

        FixResult fix_vertex_triple_adjacency(
            index_t tetrahedron, const InternalDistanceProblem& problem ) override
        {
            return fixed( edit_context()
                              .remove_vertex_triple_adjacency(
                                  tetrahedron, problem.vertex )
                              .tetrahedra );
        }

        FixResult fix_edge_double_adjacency(
            index_t tetrahedron, const InternalDistanceProblem& problem ) override
        {
            const auto edge =
                tetrahedron_facet_edge( tetrahedron, problem.edge[0], problem.edge[1] );
            return fixed(
                edit_context().remove_edge_double_adjacency( edge ).tetrahedra );
        }

        FixResult fix_vertex_near_edge(
            index_t tetrahedron, const InternalDistanceProblem& problem ) override
        {
            const auto apex = problem.vertex;
            for( const auto end : problem.edge )
            {
                if( auto result = try_collapse( tetrahedron, apex, end ) )
                {
                    return result;
                }
                if( auto result = try_collapse( tetrahedron, end, apex ) )
                {
                    return result;
                }
            }
            const auto edge =
                tetrahedron_facet_edge( tetrahedron, problem.edge[0], problem.edge[1] );
            const auto apex_vertex = solid().polyhedron_vertex( { tetrahedron, apex } );
            if( auto result = try_swap_edge( edge, apex_vertex ) )
            {
                return result;
            }
            if( retry() )
            {
                return fixed(
                    split_edge_at_vertex_and_track( edge, apex_vertex ).tetrahedra );
            }
            return std::nullopt;
        }

        FixResult fix_vertex_near_facet(
            index_t tetrahedron, const InternalDistanceProblem& problem ) override
        {
            const auto apex = problem.vertex;
            for( const auto corner : TETRAHEDRON_FACET_VERTICES[apex] )
            {
                if( auto result = try_collapse( tetrahedron, apex, corner ) )
                {
                    return result;
                }
                if( auto result = try_collapse( tetrahedron, corner, apex ) )
                {
                    return result;
                }
            }
            const PolyhedronFacet facet{ tetrahedron, apex };
            if( auto result = try_swap_facet( facet ) )
            {
                return result;
            }
            if( retry() )
            {
                return fixed( split_facet_at_vertex_and_track( facet,
                    solid().polyhedron_vertex( { tetrahedron, apex } ) )
                                  .tetrahedra );
            }
            return std::nullopt;
        }

        /// The 2-3 flip of the facet, when admissible, inverting nothing,
        /// acceptable in this step and creating an edge that does not exist
        /// yet.
        FixResult try_swap_facet( const PolyhedronFacet& facet )
        {
            if( !edit_context().is_swap_facet_admissible( facet ) )
            {
                return std::nullopt;
            }
            const auto preview = tetrahedra_after_swap_facet( solid(), facet );
            const auto nb_flat = count_flat_tetrahedra( preview.tetrahedra );
            if( !nb_flat )
            {
                return std::nullopt;
            }
            const auto neighbour = solid().polyhedron_adjacent_facet( facet ).value();
            const std::array< index_t, 2 > pair{ facet.polyhedron_id,
                neighbour.polyhedron_id };
            if( !retry() && nb_not_positive( pair ) < nb_flat.value() )
            {
                return std::nullopt;
            }
            const auto apex = solid().polyhedron_vertex(
                { facet.polyhedron_id, facet.facet_id } );
            const auto opposite = solid().polyhedron_vertex(
                { neighbour.polyhedron_id, neighbour.facet_id } );
            if( !solid().polyhedra_around_edge( { apex, opposite } ).empty() )
            {
                return std::nullopt;
            }
            return fixed( swap_facet_and_track( facet ) );
        }

        FixResult fix_edge_near_edge(
            index_t tetrahedron, const InternalDistanceProblem& problem ) override
        {
            for( const local_index_t f : { 0, 1, 2, 3 } )
            {
                const auto& facet = TETRAHEDRON_FACET_VERTICES[f];
                for( const local_index_t k : { 0, 1, 2 } )
                {
                    const auto u = facet[k];
                    const auto v = facet[( k + 1 ) % 3];
                    if( v < u )
                    {
                        continue;
                    }
                    if( auto result = try_collapse( tetrahedron, u, v ) )
                    {
                        return result;
                    }
                    if( auto result = try_collapse( tetrahedron, v, u ) )
                    {
                        return result;
                    }
                }
            }
            const auto first = problem.edge;
            std::array< local_index_t, 2 > second{ NO_LID, NO_LID };
            local_index_t nb_second{ 0 };
            for( const local_index_t vertex : { 0, 1, 2, 3 } )
            {
                if( vertex != first[0] && vertex != first[1] )
                {
                    second[nb_second++] = vertex;
                }
            }
            auto& edits = edit_context();
            for( const auto& local : { first, second } )
            {
                const auto edge =
                    tetrahedron_facet_edge( tetrahedron, local[0], local[1] );
                if( !edits.is_edge_free( edge ) )
                {
                    continue;
                }
                const auto ends = solid().polyhedron_facet_edge_vertices( edge );
                if( auto result = try_swap_edge_any_apex( edge ) )
                {
                    detail::add_unique_edge( edits.tracked.edges, ends );
                    return result;
                }
            }
            if( retry() )
            {
                const EdgeVertices first_ends{
                    solid().polyhedron_vertex( { tetrahedron, first[0] } ),
                    solid().polyhedron_vertex( { tetrahedron, first[1] } )
                };
                const EdgeVertices second_ends{
                    solid().polyhedron_vertex( { tetrahedron, second[0] } ),
                    solid().polyhedron_vertex( { tetrahedron, second[1] } )
                };
                return fixed(
                    edits.join_edges( first_ends, second_ends, problem.point )
                        .tetrahedra );
            }
            return std::nullopt;
        }
    };
} // namespace

namespace orvane
{
    namespace internal
    {
        std::vector< index_t > optimize_epsilon(
            std::unique_ptr< BackgroundSolidEditContext >& context,
            absl::Span< const index_t > tetrahedra )
        {
            const auto nb_before = context->solid.nb_polyhedra();
            {
                BackgroundSolidEpsilonOptimizer optimizer{ context };
                for( const auto tetrahedron : tetrahedra )
                {
                    optimizer.add_element( tetrahedron );
                }
                optimizer.set_default_max_steps();
                optimizer.process_queue();
            }
            std::vector< index_t > created(
                context->solid.nb_polyhedra() - nb_before );
            std::iota( created.begin(), created.end(), nb_before );
            return created;
        }

        std::vector< index_t > optimize_epsilon_from(
            std::unique_ptr< BackgroundSolidEditContext >& context,
            index_t first_tetrahedron )
        {
            std::vector< index_t > tetrahedra;
            const auto nb_tetrahedra = context->solid.nb_polyhedra();
            for( auto tetrahedron = first_tetrahedron; tetrahedron < nb_tetrahedra;
                 tetrahedron++ )
            {
                tetrahedra.push_back( tetrahedron );
            }
            return optimize_epsilon( context, tetrahedra );
        }
    } // namespace internal
} // namespace orvane
