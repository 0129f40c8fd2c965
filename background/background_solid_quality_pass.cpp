#include <background/background_solid_optimization.hpp>

#include <algorithm>
#include <limits>

#include <absl/container/flat_hash_map.h>

#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/distance.hpp>

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

    /// A tetrahedron known by the coordinates of its four vertices, in
    /// vertex order: indices change with every edit, coordinates do not.
    struct QualityKey
    {
        std::array< Point< 3 >, 4 > points;

        bool operator==( const QualityKey& other ) const
        {
            return points == other.points;
        }
    };

    struct QualityKeyHash
    {
        std::size_t operator()( const QualityKey& key ) const
        {
            std::size_t hash{ 0 };
            for( const auto& point : key.points )
            {
                for( const local_index_t c : { 0, 1, 2 } )
                {
                    hash ^= std::hash< double >{}( point.value( c ) );
                }
            }
            return hash;
        }
    };

    Tetrahedron with_vertex_at(
        const Tetrahedron& tetrahedron, local_index_t vertex, const Point< 3 >& point )
    {
        auto points = tetrahedron.vertices();
        points[vertex] = point;
        return { points[0], points[1], points[2], points[3] };
    }

    /// Relatively thin tetrahedra, removed by one local edit each when the
    /// edit makes the worst tetrahedron of the neighbourhood better.
    class BackgroundSolidOptimizerImpl
        : public BackgroundSolidInternalDistanceOptimizer
    {
    public:
        explicit BackgroundSolidOptimizerImpl(
            std::unique_ptr< BackgroundSolidEditContext >& context )
            : BackgroundSolidInternalDistanceOptimizer( context )
        {
        }

    private:
        /// The quality of a tetrahedron, memoised by its coordinates.
        double quality( const Tetrahedron& tetrahedron )
        {
            QualityKey key{ tetrahedron.vertices() };
            const auto found = memo_.find( key );
            if( found != memo_.end() )
            {
                return found->second;
            }
            const auto value = internal_distance_quality( tetrahedron );
            memo_.emplace( key, value );
            return value;
        }

        double quality( index_t tetrahedron )
        {
            return quality( edit_context().solid.tetrahedron( tetrahedron ) );
        }

        bool stop_on_limit() override
        {
            return true;
        }

        bool double_skip_limit() override
        {
            return false;
        }

        bool is_tetrahedron_valid( index_t tetrahedron ) override
        {
            const auto geometry = edit_context().solid.tetrahedron( tetrahedron );
            double longest{ 0 };
            for( const auto& edge : TETRAHEDRON_EDGES )
            {
                longest = std::max( longest,
                    point_point_distance( geometry.vertices()[edge[0]],
                        geometry.vertices()[edge[1]] ) );
            }
            const auto threshold = 0.1 * longest;
            auto& problems = candidates();
            problems.clear();
            find_short_edges( geometry, threshold, problems )
                || find_vertices_near_edges( geometry, threshold, problems )
                || find_vertices_near_facets( geometry, threshold, problems )
                || find_edges_near_edges( geometry, threshold, problems );
            return problems.empty();
        }

        FixResult fix_short_edge(
            index_t tetrahedron, const InternalDistanceProblem& problem ) override
        {
            auto& edits = edit_context();
            const auto& solid = edits.solid;
            const std::array< local_index_t, 2 > local{ problem.edge[0],
                problem.edge[1] };
            const EdgeVertices ends{ solid.polyhedron_vertex(
                                         { tetrahedron, local[0] } ),
                solid.polyhedron_vertex( { tetrahedron, local[1] } ) };
            for( const local_index_t removed_end : { 0, 1 } )
            {
                const local_index_t kept_end = 1 - removed_end;
                const auto removed = ends[removed_end];
                const auto kept = ends[kept_end];
                if( !edits.is_collapse_admissible( removed, kept ) )
                {
                    continue;
                }
                const auto kept_point = solid.point( kept );
                const auto moved = tetrahedra_with_moved_vertices( solid,
                    polyhedra_around_edge_vertices( solid, ends ), kept_point );
                if( !detail::are_tetrahedra_positive( moved ) )
                {
                    continue;
                }
                const auto edge = tetrahedron_facet_edge(
                    tetrahedron, local[removed_end], local[kept_end] );
                if( detail::collapse_edge_breaks_topology( solid, edge ) )
                {
                    continue;
                }
                if( !improves_on_collapse( ends, kept_point, problem.distance ) )
                {
                    continue;
                }
                return fixed(
                    edits.collapse_edge( edge, removed, kept ).tetrahedra );
            }
            return std::nullopt;
        }

        /// Running minima over the tetrahedra around each end, in the order
        /// of the ends: the worst surviving tetrahedron, moved, must never
        /// fall below the worst one seen so far.
        bool improves_on_collapse( const EdgeVertices& ends,
            const Point< 3 >& kept_point,
            double distance )
        {
            const auto& solid = edit_context().solid;
            auto before = distance;
            auto after = std::numeric_limits< double >::max();
            for( const local_index_t end : { 0, 1 } )
            {
                const auto vertex = ends[end];
                const auto other = ends[1 - end];
                for( const auto& around : solid.polyhedra_around_vertex( vertex ) )
                {
                    before = std::min( before, quality( around.polyhedron_id ) );
                    if( solid.vertex_in_polyhedron( around.polyhedron_id, other ) )
                    {
                        continue;
                    }
                    after = std::min( after,
                        quality( with_vertex_at(
                            solid.tetrahedron( around.polyhedron_id ),
                            around.vertex_id, kept_point ) ) );
                    if( before > after )
                    {
                        return false;
                    }
                }
            }
            return true;
        }

        FixResult fix_vertex_triple_adjacency(
            index_t, const InternalDistanceProblem& ) override
        {
            return std::nullopt;
        }

        FixResult fix_edge_double_adjacency(
            index_t, const InternalDistanceProblem& ) override
        {
            return std::nullopt;
        }

        FixResult fix_edge_near_edge(
            index_t, const InternalDistanceProblem& ) override
        {
            return std::nullopt;
        }

        FixResult fix_vertex_near_edge(
            index_t tetrahedron, const InternalDistanceProblem& problem ) override
        {
            auto& edits = edit_context();
            const auto& solid = edits.solid;
            const auto apex = solid.polyhedron_vertex( { tetrahedron, problem.vertex } );
            const auto edge =
                tetrahedron_facet_edge( tetrahedron, problem.edge[0], problem.edge[1] );
            if( !edits.is_swap_edge_admissible( edge, apex )
                || !is_swap_edge_valid( solid, edge, apex ) )
            {
                return std::nullopt;
            }
            const auto ends = solid.polyhedron_facet_edge_vertices( edge );
            const auto around = solid.polyhedra_around_edge( edge );
            auto worst = problem.distance;
            for( const auto polyhedron : around )
            {
                worst = std::min( worst, quality( polyhedron ) );
            }
            const auto apex_point = solid.point( apex );
            for( const auto polyhedron : around )
            {
                if( solid.vertex_in_polyhedron( polyhedron, apex ) )
                {
                    continue;
                }
                const auto geometry = solid.tetrahedron( polyhedron );
                const auto local =
                    solid.edge_vertices_in_polyhedron( polyhedron, ends ).value();
                for( const auto end : local )
                {
                    if( quality( with_vertex_at( geometry, end, apex_point ) )
                        <= 1.01 * worst )
                    {
                        return std::nullopt;
                    }
                }
            }
            return fixed( swap_edge_and_track( edge, apex ) );
        }

        FixResult fix_vertex_near_facet(
            index_t tetrahedron, const InternalDistanceProblem& problem ) override
        {
            auto& edits = edit_context();
            const auto& solid = edits.solid;
            const PolyhedronFacet facet{ tetrahedron, problem.vertex };
            if( !edits.is_swap_facet_admissible( facet )
                || solid.is_polyhedron_facet_on_border( facet )
                || !detail::are_tetrahedra_positive(
                    tetrahedra_after_swap_facet( solid, facet ) ) )
            {
                return std::nullopt;
            }
            const auto neighbour = solid.polyhedron_adjacent_facet( facet ).value();
            const auto worst = std::min( { quality( tetrahedron ),
                quality( neighbour.polyhedron_id ), problem.distance } );
            const auto apex_point =
                solid.point( solid.polyhedron_vertex( { tetrahedron, problem.vertex } ) );
            const auto geometry = solid.tetrahedron( neighbour.polyhedron_id );
            for( const local_index_t vertex : { 0, 1, 2, 3 } )
            {
                if( vertex == neighbour.facet_id )
                {
                    continue;
                }
                if( quality( with_vertex_at( geometry, vertex, apex_point ) )
                    <= 1.01 * worst )
                {
                    return std::nullopt;
                }
            }
            return fixed( swap_facet_and_track( facet ) );
        }

    private:
        absl::flat_hash_map< QualityKey, double, QualityKeyHash > memo_;
    };
} // namespace

namespace orvane
{
    namespace internal
    {
        void optimize_quality(
            std::unique_ptr< BackgroundSolidEditContext >& context,
            index_t first_tetrahedron )
        {
            BackgroundSolidOptimizerImpl optimizer{ context };
            const auto nb_tetrahedra = context->solid.nb_polyhedra();
            for( auto tetrahedron = first_tetrahedron; tetrahedron < nb_tetrahedra;
                 tetrahedron++ )
            {
                optimizer.add_element( tetrahedron );
            }
            optimizer.set_default_max_steps();
            optimizer.process_queue();
        }
    } // namespace internal
} // namespace orvane
