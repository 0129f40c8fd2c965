#include <common/modifier/tetrahedral_collapse_validity.hpp>

#include <algorithm>
#include <ranges>

#include <absl/container/inlined_vector.h>

#include <common/modifier/tetrahedron_preview.hpp>

namespace
{
    enum struct BorderClass
    {
        both,
        first_only,
        second_only,
        neither
    };

    BorderClass border_class( const std::array< bool, 2 >& flags )
    {
        if( flags[0] )
        {
            return flags[1] ? BorderClass::both : BorderClass::first_only;
        }
        return flags[1] ? BorderClass::second_only : BorderClass::neither;
    }

    using namespace orvane;

    /// The tetrahedra around each end of an edge, walked once and shared by
    /// every part of the validity test.
    struct EdgeEndStars
    {
        EdgeEndStars( const TetrahedralSolid< 3 >& solid, const EdgeVertices& ends )
            : vertices( ends ),
              around{ solid.polyhedra_around_vertex( ends[0] ),
                  solid.polyhedra_around_vertex( ends[1] ) }
        {
        }

        EdgeVertices vertices;
        std::array< PolyhedraAroundVertex, 2 > around;
    };

    /// True when a border facet of one of the tetrahedra holds the vertex
    /// they are around (facet f of a tetrahedron is opposite its vertex f).
    bool is_on_border( const TetrahedralSolid< 3 >& solid,
        const PolyhedraAroundVertex& around )
    {
        for( const auto& polyhedron_vertex : around )
        {
            for( const local_index_t f : { 0, 1, 2, 3 } )
            {
                if( f != polyhedron_vertex.vertex_id
                    && solid.is_polyhedron_facet_on_border(
                        { polyhedron_vertex.polyhedron_id, f } ) )
                {
                    return true;
                }
            }
        }
        return false;
    }

    using VertexList = absl::InlinedVector< index_t, 32 >;

    /// The vertices of the tetrahedra around a vertex other than itself, in
    /// order of first appearance; with `holding`, only those of the
    /// tetrahedra that also hold that vertex.
    VertexList other_vertices( const TetrahedralSolid< 3 >& solid,
        const PolyhedraAroundVertex& around,
        index_t holding = NO_ID )
    {
        VertexList result;
        for( const auto& polyhedron_vertex : around )
        {
            const auto vertices =
                solid.polyhedron_vertices( polyhedron_vertex.polyhedron_id );
            if( holding != NO_ID
                && std::find( vertices.begin(), vertices.end(), holding )
                       == vertices.end() )
            {
                continue;
            }
            for( const local_index_t v : { 0, 1, 2, 3 } )
            {
                if( v != polyhedron_vertex.vertex_id
                    && std::find( result.begin(), result.end(), vertices[v] )
                           == result.end() )
                {
                    result.push_back( vertices[v] );
                }
            }
        }
        return result;
    }

    std::optional< EdgeBorderFacets > edge_border_facets(
        const TetrahedralSolid< 3 >& solid,
        const PolyhedronFacetEdge& edge,
        const EdgeEndStars& stars )
    {
        if( !is_on_border( solid, stars.around[0] )
            && !is_on_border( solid, stars.around[1] ) )
        {
            return std::nullopt;
        }
        const auto& edge_vertices = stars.vertices;
        const auto polyhedra = solid.polyhedra_around_edge( edge );
        EdgeBorderFacets result{ polyhedra.size() };
        for( const auto i : std::views::iota( std::size_t{ 0 }, polyhedra.size() ) )
        {
            for( const auto end : { 0, 1 } )
            {
                const auto local =
                    solid.vertex_in_polyhedron( polyhedra[i], edge_vertices[end] );
                result.flags[i][end] = solid.is_polyhedron_facet_on_border(
                    { polyhedra[i], local.value() } );
            }
        }
        result.edge_on_border = solid.is_edge_on_border(
            edge_vertices, edge.polyhedron_facet.polyhedron_id );
        return result;
    }

    /// Every vertex joined to both ends by an edge must lie on a tetrahedron
    /// around the edge; on a solid whose vertex stars are connected, this is
    /// a tetrahedron shared by the edges from that vertex to either end.
    bool breaks_link_condition(
        const TetrahedralSolid< 3 >& solid, const EdgeEndStars& stars )
    {
        const auto neighbors0 = other_vertices( solid, stars.around[0] );
        const auto neighbors1 = other_vertices( solid, stars.around[1] );
        const auto ring =
            other_vertices( solid, stars.around[0], stars.vertices[1] );
        const auto contains = []( const VertexList& list, index_t vertex ) {
            return std::find( list.begin(), list.end(), vertex ) != list.end();
        };
        return std::any_of(
            neighbors1.begin(), neighbors1.end(), [&]( index_t vertex ) {
                return contains( neighbors0, vertex ) && !contains( ring, vertex );
            } );
    }

    bool collapse_edge_breaks_topology( const TetrahedralSolid< 3 >& solid,
        const PolyhedronFacetEdge& edge,
        const EdgeEndStars& stars )
    {
        if( const auto border = edge_border_facets( solid, edge, stars ) )
        {
            // An inner edge joining two border vertices would merge two
            // separate pieces of the border into one vertex, pinching the
            // solid there.
            if( !border->edge_on_border && is_on_border( solid, stars.around[0] )
                && is_on_border( solid, stars.around[1] ) )
            {
                return true;
            }
            const absl::Span< const std::array< bool, 2 > > flags{
                border->flags.data(), border->flags.size()
            };
            if( detail::breaks_border_facet_pattern( flags )
                || detail::breaks_border_facet_runs( flags, border->edge_on_border ) )
            {
                return true;
            }
        }
        return breaks_link_condition( solid, stars );
    }
} // namespace

namespace orvane
{
    bool is_collapse_edge_valid( const TetrahedralSolid< 3 >& solid,
        const PolyhedronFacetEdge& edge,
        const Point< 3 >& point )
    {
        const EdgeEndStars stars{ solid,
            solid.polyhedron_facet_edge_vertices( edge ) };
        const auto survivors = tetrahedra_with_moved_vertices( solid,
            detail::polyhedra_around_edge_vertices( stars.around ), point );
        if( !detail::are_tetrahedra_positive( survivors ) )
        {
            return false;
        }
        return !collapse_edge_breaks_topology( solid, edge, stars );
    }

    bool is_collapse_edge_valid( const TetrahedralSolid< 3 >& solid,
        index_t edge,
        local_index_t kept_end )
    {
        const auto edge_vertices = solid.edges().edge_vertices( edge );
        if( !detail::are_tetrahedra_positive( tetrahedra_after_collapse_onto_vertex(
                solid, edge_vertices, kept_end ) ) )
        {
            return false;
        }
        const auto facet_edge =
            solid.polyhedron_facet_edge_from_vertices( edge_vertices ).value();
        return !detail::collapse_edge_breaks_topology( solid, facet_edge );
    }

    namespace detail
    {
        bool breaks_border_facet_pattern(
            absl::Span< const std::array< bool, 2 > > flags )
        {
            if( flags.empty() )
            {
                return false;
            }
            auto tracked = flags[0];
            for( const auto& pair : flags )
            {
                if( pair[0] == pair[1] )
                {
                    continue;
                }
                if( pair[0] != tracked[0] && pair[1] != tracked[1] )
                {
                    return true;
                }
                tracked = pair;
            }
            return false;
        }

        bool collapse_edge_breaks_topology(
            const TetrahedralSolid< 3 >& solid, const PolyhedronFacetEdge& edge )
        {
            return ::collapse_edge_breaks_topology( solid, edge,
                { solid, solid.polyhedron_facet_edge_vertices( edge ) } );
        }

        std::optional< EdgeBorderFacets > edge_border_facets(
            const TetrahedralSolid< 3 >& solid, const PolyhedronFacetEdge& edge )
        {
            return ::edge_border_facets( solid, edge,
                { solid, solid.polyhedron_facet_edge_vertices( edge ) } );
        }

        bool breaks_border_facet_runs(
            absl::Span< const std::array< bool, 2 > > flags, bool edge_on_border )
        {
            if( flags.empty() )
            {
                return false;
            }
            index_t nb_runs{ 0 };
            for( const auto i : std::views::iota( std::size_t{ 0 }, flags.size() ) )
            {
                const auto current = border_class( flags[i] );
                if( current == BorderClass::both )
                {
                    continue;
                }
                bool starts_run = i == 0;
                if( !starts_run )
                {
                    const auto previous = border_class( flags[i - 1] );
                    starts_run =
                        previous == BorderClass::both
                        || ( previous == BorderClass::second_only
                             && current == BorderClass::first_only )
                        || ( previous == BorderClass::first_only
                             && current == BorderClass::second_only );
                }
                if( starts_run && ++nb_runs == 2 )
                {
                    return true;
                }
            }
            return !edge_on_border
                   && border_class( flags.front() ) == BorderClass::both
                   && border_class( flags.back() ) != BorderClass::both;
        }

        bool breaks_link_condition(
            const TetrahedralSolid< 3 >& solid, const PolyhedronFacetEdge& edge )
        {
            return ::breaks_link_condition(
                solid, { solid, solid.polyhedron_facet_edge_vertices( edge ) } );
        }
    } // namespace detail
} // namespace orvane
