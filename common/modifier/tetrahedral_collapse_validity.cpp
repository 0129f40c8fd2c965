#include <common/modifier/tetrahedral_collapse_validity.hpp>

#include <algorithm>
#include <ranges>

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

} // namespace

namespace orvane
{
    bool is_collapse_edge_valid( const TetrahedralSolid< 3 >& solid,
        const PolyhedronFacetEdge& edge,
        const Point< 3 >& point )
    {
        const auto edge_vertices = solid.polyhedron_facet_edge_vertices( edge );
        const auto survivors = tetrahedra_with_moved_vertices(
            solid, polyhedra_around_edge_vertices( solid, edge_vertices ), point );
        if( !detail::are_tetrahedra_positive( survivors ) )
        {
            return false;
        }
        return !detail::collapse_edge_breaks_topology( solid, edge );
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
            if( const auto border = edge_border_facets( solid, edge ) )
            {
                // An inner edge joining two border vertices would merge two
                // separate pieces of the border into one vertex, pinching
                // the solid there.
                const auto edge_vertices =
                    solid.polyhedron_facet_edge_vertices( edge );
                if( !border->edge_on_border
                    && solid.is_vertex_on_border( edge_vertices[0] )
                    && solid.is_vertex_on_border( edge_vertices[1] ) )
                {
                    return true;
                }
                const absl::Span< const std::array< bool, 2 > > flags{
                    border->flags.data(), border->flags.size()
                };
                if( breaks_border_facet_pattern( flags )
                    || breaks_border_facet_runs( flags, border->edge_on_border ) )
                {
                    return true;
                }
            }
            return breaks_link_condition( solid, edge );
        }

        std::optional< EdgeBorderFacets > edge_border_facets(
            const TetrahedralSolid< 3 >& solid, const PolyhedronFacetEdge& edge )
        {
            const auto edge_vertices =
                solid.polyhedron_facet_edge_vertices( edge );
            if( !solid.is_vertex_on_border( edge_vertices[0] )
                && !solid.is_vertex_on_border( edge_vertices[1] ) )
            {
                return std::nullopt;
            }
            const auto polyhedra = solid.polyhedra_around_edge( edge );
            EdgeBorderFacets result{ polyhedra.size() };
            for( const auto i :
                std::views::iota( std::size_t{ 0 }, polyhedra.size() ) )
            {
                for( const auto end : { 0, 1 } )
                {
                    const auto local = solid.vertex_in_polyhedron(
                        polyhedra[i], edge_vertices[end] );
                    result.flags[i][end] = solid.is_polyhedron_facet_on_border(
                        { polyhedra[i], local.value() } );
                }
            }
            result.edge_on_border = solid.is_edge_on_border(
                edge_vertices, edge.polyhedron_facet.polyhedron_id );
            return result;
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
            const auto edge_vertices =
                solid.polyhedron_facet_edge_vertices( edge );
            for( const auto vertex : common_adjacent_vertices(
                     solid, edge_vertices[0], edge_vertices[1] ) )
            {
                const auto around0 =
                    solid.polyhedra_around_edge( { vertex, edge_vertices[0] } );
                const auto around1 =
                    solid.polyhedra_around_edge( { vertex, edge_vertices[1] } );
                const auto shared = std::any_of(
                    around0.begin(), around0.end(), [&]( index_t polyhedron ) {
                        return std::find( around1.begin(), around1.end(),
                                   polyhedron )
                               != around1.end();
                    } );
                if( !shared )
                {
                    return true;
                }
            }
            return false;
        }
    } // namespace detail
} // namespace orvane
