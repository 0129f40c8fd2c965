#include <background/internal_distance_problem.hpp>

#include <algorithm>
#include <limits>

#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/predicates.hpp>

namespace
{
    using orvane::local_index_t;

    using LocalEdge = std::array< local_index_t, 2 >;

    /// Each edge with the two vertices it does not hold.
    constexpr std::array< std::pair< LocalEdge, LocalEdge >, 6 > VERTICES_AGAINST_EDGES{ {
        { { 0, 1 }, { 2, 3 } },
        { { 0, 2 }, { 1, 3 } },
        { { 0, 3 }, { 1, 2 } },
        { { 1, 2 }, { 0, 3 } },
        { { 1, 3 }, { 0, 2 } },
        { { 2, 3 }, { 0, 1 } },
    } };

    /// Each vertex with the triangle of the three others.
    constexpr std::array< std::array< local_index_t, 3 >, 4 > FACET_AGAINST_VERTEX{ {
        { 1, 2, 3 },
        { 2, 3, 0 },
        { 3, 0, 1 },
        { 0, 1, 2 },
    } };

    constexpr std::array< std::pair< LocalEdge, LocalEdge >, 3 > OPPOSITE_EDGES{ {
        { { 0, 1 }, { 2, 3 } },
        { { 0, 2 }, { 1, 3 } },
        { { 0, 3 }, { 1, 2 } },
    } };

    const orvane::Point< 3 >& vertex_point(
        const orvane::Tetrahedron& tetrahedron, local_index_t vertex )
    {
        return tetrahedron.vertices()[vertex];
    }

    orvane::Segment< 3 > edge_segment(
        const orvane::Tetrahedron& tetrahedron, const LocalEdge& edge )
    {
        return { vertex_point( tetrahedron, edge[0] ),
            vertex_point( tetrahedron, edge[1] ) };
    }

    double vertex_facet_distance(
        const orvane::Tetrahedron& tetrahedron, local_index_t vertex )
    {
        const auto& facet = FACET_AGAINST_VERTEX[vertex];
        return std::get< 0 >( orvane::point_triangle_distance(
            vertex_point( tetrahedron, vertex ),
            orvane::Triangle< 3 >{ vertex_point( tetrahedron, facet[0] ),
                vertex_point( tetrahedron, facet[1] ),
                vertex_point( tetrahedron, facet[2] ) } ) );
    }

    bool is_degenerate_edge(
        const orvane::Tetrahedron& tetrahedron, const LocalEdge& edge )
    {
        return orvane::point_point_distance( vertex_point( tetrahedron, edge[0] ),
                   vertex_point( tetrahedron, edge[1] ) )
               <= orvane::GLOBAL_EPSILON;
    }

    /// The distance between two opposite edges and the closest point of
    /// the second; nothing when an edge is 1e-6 long or shorter.
    std::optional< std::pair< double, orvane::Point< 3 > > > opposite_edges_distance(
        const orvane::Tetrahedron& tetrahedron,
        const std::pair< LocalEdge, LocalEdge >& pair )
    {
        if( is_degenerate_edge( tetrahedron, pair.first )
            || is_degenerate_edge( tetrahedron, pair.second ) )
        {
            return std::nullopt;
        }
        const auto [distance, on_first, on_second] = orvane::segment_segment_distance(
            edge_segment( tetrahedron, pair.first ),
            edge_segment( tetrahedron, pair.second ) );
        return std::pair{ distance, on_second };
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        bool find_short_edges( const Tetrahedron& tetrahedron,
            double threshold,
            InternalDistanceProblems& problems )
        {
            const auto size = problems.size();
            for( const auto& edge : TETRAHEDRON_EDGES )
            {
                const auto length = point_point_distance(
                    vertex_point( tetrahedron, edge[0] ),
                    vertex_point( tetrahedron, edge[1] ) );
                if( length <= threshold )
                {
                    InternalDistanceProblem problem;
                    problem.kind = InternalDistanceProblem::SHORT_EDGE;
                    problem.distance = length;
                    problem.edge = edge;
                    problems.push_back( problem );
                }
            }
            return problems.size() > size;
        }

        bool find_vertices_near_edges( const Tetrahedron& tetrahedron,
            double threshold,
            InternalDistanceProblems& problems )
        {
            const auto size = problems.size();
            for( const auto& [edge, vertices] : VERTICES_AGAINST_EDGES )
            {
                const auto segment = edge_segment( tetrahedron, edge );
                for( const auto vertex : vertices )
                {
                    const auto distance = std::get< 0 >( point_segment_distance(
                        vertex_point( tetrahedron, vertex ), segment ) );
                    if( distance <= threshold )
                    {
                        InternalDistanceProblem problem;
                        problem.kind = InternalDistanceProblem::VERTEX_NEAR_EDGE;
                        problem.distance = distance;
                        problem.vertex = vertex;
                        problem.edge = edge;
                        problems.push_back( problem );
                    }
                }
            }
            return problems.size() > size;
        }

        bool find_vertices_near_facets( const Tetrahedron& tetrahedron,
            double threshold,
            InternalDistanceProblems& problems )
        {
            const auto size = problems.size();
            for( const local_index_t vertex : { 0, 1, 2, 3 } )
            {
                const auto distance = vertex_facet_distance( tetrahedron, vertex );
                if( distance <= threshold )
                {
                    InternalDistanceProblem problem;
                    problem.kind = InternalDistanceProblem::VERTEX_NEAR_FACET;
                    problem.distance = distance;
                    problem.vertex = vertex;
                    problems.push_back( problem );
                }
            }
            return problems.size() > size;
        }

        bool find_edges_near_edges( const Tetrahedron& tetrahedron,
            double threshold,
            InternalDistanceProblems& problems )
        {
            const auto size = problems.size();
            for( const auto& pair : OPPOSITE_EDGES )
            {
                const auto measured = opposite_edges_distance( tetrahedron, pair );
                if( measured && measured->first <= threshold )
                {
                    InternalDistanceProblem problem;
                    problem.kind = InternalDistanceProblem::EDGE_NEAR_EDGE;
                    problem.distance = measured->first;
                    problem.edge = pair.first;
                    problem.point = measured->second;
                    problems.push_back( problem );
                }
            }
            return problems.size() > size;
        }

        bool find_edge_double_adjacencies( const TetrahedralSolid< 3 >& solid,
            index_t tetrahedron,
            InternalDistanceProblems& problems )
        {
            // Two slots per local edge (index into TETRAHEDRON_EDGES): the
            // neighbours across the two facets holding it.
            std::array< std::array< index_t, 2 >, 6 > slots;
            for( auto& slot : slots )
            {
                slot = { NO_ID, NO_ID };
            }
            const auto edge_index = []( local_index_t a, local_index_t b ) {
                for( const auto e : { 0, 1, 2, 3, 4, 5 } )
                {
                    const auto& edge = TETRAHEDRON_EDGES[e];
                    if( ( edge[0] == a && edge[1] == b ) || ( edge[0] == b && edge[1] == a ) )
                    {
                        return e;
                    }
                }
                return 0;
            };
            for( const local_index_t f : { 0, 1, 2, 3 } )
            {
                const auto adjacent = solid.polyhedron_adjacent( { tetrahedron, f } );
                if( !adjacent )
                {
                    continue;
                }
                const auto& facet = TETRAHEDRON_FACET_VERTICES[f];
                for( const local_index_t k : { 0, 1, 2 } )
                {
                    auto& slot = slots[edge_index( facet[k], facet[( k + 1 ) % 3] )];
                    slot[slot[0] == NO_ID ? 0 : 1] = adjacent.value();
                }
            }
            const auto size = problems.size();
            for( const auto e : { 0, 1, 2, 3, 4, 5 } )
            {
                if( slots[e][0] != NO_ID && slots[e][0] == slots[e][1] )
                {
                    InternalDistanceProblem problem;
                    problem.kind = InternalDistanceProblem::EDGE_DOUBLE_ADJACENCY;
                    problem.edge = TETRAHEDRON_EDGES[e];
                    problems.push_back( problem );
                }
            }
            return problems.size() > size;
        }

        bool find_vertex_triple_adjacencies( const TetrahedralSolid< 3 >& solid,
            index_t tetrahedron,
            InternalDistanceProblems& problems )
        {
            std::array< std::array< index_t, 3 >, 4 > slots;
            for( auto& slot : slots )
            {
                slot = { NO_ID, NO_ID, NO_ID };
            }
            for( const local_index_t f : { 0, 1, 2, 3 } )
            {
                const auto adjacent = solid.polyhedron_adjacent( { tetrahedron, f } );
                if( !adjacent )
                {
                    continue;
                }
                for( const auto vertex : TETRAHEDRON_FACET_VERTICES[f] )
                {
                    auto& slot = slots[vertex];
                    // A vertex lies on three facets: a free slot remains.
                    *std::find( slot.begin(), slot.end(), NO_ID ) = adjacent.value();
                }
            }
            const auto size = problems.size();
            for( const local_index_t vertex : { 0, 1, 2, 3 } )
            {
                const auto& slot = slots[vertex];
                if( slot[0] != NO_ID && slot[0] == slot[1] && slot[1] == slot[2] )
                {
                    InternalDistanceProblem problem;
                    problem.kind = InternalDistanceProblem::VERTEX_TRIPLE_ADJACENCY;
                    problem.vertex = vertex;
                    problems.push_back( problem );
                }
            }
            return problems.size() > size;
        }

        double internal_distance_quality( const Tetrahedron& tetrahedron )
        {
            auto quality = std::numeric_limits< double >::max();
            for( const local_index_t vertex : { 0, 1, 2, 3 } )
            {
                quality = std::min( quality, vertex_facet_distance( tetrahedron, vertex ) );
            }
            for( const auto& pair : OPPOSITE_EDGES )
            {
                if( const auto measured = opposite_edges_distance( tetrahedron, pair ) )
                {
                    quality = std::min( quality, measured->first );
                }
            }
            return quality;
        }

        TetrahedronClass classify_tetrahedron( const Tetrahedron& tetrahedron )
        {
            if( tetrahedron_volume_sign( tetrahedron ) == SIDE::positive )
            {
                return TetrahedronClass::positive;
            }
            for( const local_index_t vertex : { 0, 1, 2, 3 } )
            {
                if( vertex_facet_distance( tetrahedron, vertex ) <= GLOBAL_EPSILON )
                {
                    return TetrahedronClass::flat;
                }
            }
            for( const auto& pair : OPPOSITE_EDGES )
            {
                const auto measured = opposite_edges_distance( tetrahedron, pair );
                if( measured && measured->first <= GLOBAL_EPSILON )
                {
                    return TetrahedronClass::flat;
                }
            }
            return TetrahedronClass::inverted;
        }

        std::optional< index_t > count_flat_tetrahedra(
            absl::Span< const Tetrahedron > tetrahedra )
        {
            index_t nb_flat{ 0 };
            for( const auto& tetrahedron : tetrahedra )
            {
                const auto kind = classify_tetrahedron( tetrahedron );
                if( kind == TetrahedronClass::inverted )
                {
                    return std::nullopt;
                }
                if( kind == TetrahedronClass::flat )
                {
                    nb_flat++;
                }
            }
            return nb_flat;
        }
    } // namespace internal
} // namespace orvane
