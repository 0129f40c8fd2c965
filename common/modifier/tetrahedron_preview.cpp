#include <common/modifier/tetrahedron_preview.hpp>

#include <algorithm>
#include <deque>
#include <ranges>
#include <utility>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/predicates.hpp>

namespace
{
    using orvane::EdgeVertices;
    using orvane::index_t;
    using orvane::local_index_t;

    /// The vertices of the polyhedron other than the edge's ends, in the
    /// polyhedron's local order.
    absl::InlinedVector< index_t, 4 > other_vertices(
        const orvane::TetrahedralSolid< 3 >& solid,
        index_t polyhedron,
        const EdgeVertices& edge_vertices )
    {
        absl::InlinedVector< index_t, 4 > result;
        for( const auto vertex : solid.polyhedron_vertices( polyhedron ) )
        {
            if( vertex != edge_vertices[0] && vertex != edge_vertices[1] )
            {
                result.push_back( vertex );
            }
        }
        return result;
    }

    orvane::Tetrahedron moved_tetrahedron(
        const orvane::TetrahedralSolid< 3 >& solid,
        const orvane::PolyhedronVertex& polyhedron_vertex,
        const orvane::Point< 3 >& point )
    {
        auto tetrahedron = solid.tetrahedron( polyhedron_vertex.polyhedron_id );
        tetrahedron.set_point( polyhedron_vertex.vertex_id, point );
        return tetrahedron;
    }

    bool is_positive( const orvane::Tetrahedron& tetrahedron )
    {
        return orvane::tetrahedron_volume_sign( tetrahedron )
               == orvane::SIDE::positive;
    }

    /// The ring under construction: a double-ended queue of vertices.
    class RingWalk
    {
    public:
        enum struct End
        {
            front,
            back
        };

        RingWalk( const orvane::TetrahedralSolid< 3 >& solid,
            const EdgeVertices& edge_vertices )
            : solid_( solid ), edge_vertices_( edge_vertices )
        {
        }

        void seed( index_t front, index_t back )
        {
            ring_.push_back( front );
            ring_.push_back( back );
        }

        /// The end of the ring that one of the polyhedron's vertices equals
        /// (the back is compared first, vertex by vertex).
        std::optional< End > touches( index_t polyhedron ) const
        {
            for( const auto vertex :
                other_vertices( solid_, polyhedron, edge_vertices_ ) )
            {
                if( vertex == ring_.back() )
                {
                    return End::back;
                }
                if( vertex == ring_.front() )
                {
                    return End::front;
                }
            }
            return std::nullopt;
        }

        /// Pushes onto the end the polyhedron's other vertex when one of its
        /// vertices is the vertex at that end.
        bool extend( End end, index_t polyhedron )
        {
            const auto end_vertex =
                end == End::front ? ring_.front() : ring_.back();
            const auto others =
                other_vertices( solid_, polyhedron, edge_vertices_ );
            if( std::find( others.begin(), others.end(), end_vertex )
                == others.end() )
            {
                return false;
            }
            std::optional< index_t > pushed;
            for( const auto vertex : others )
            {
                if( vertex != end_vertex )
                {
                    pushed = vertex;
                }
            }
            if( !pushed )
            {
                return false;
            }
            if( end == End::front )
            {
                ring_.push_front( pushed.value() );
            }
            else
            {
                ring_.push_back( pushed.value() );
            }
            return true;
        }

        static End opposite( End end )
        {
            return end == End::front ? End::back : End::front;
        }

        orvane::VerticesAroundEdge result()
        {
            bool closed{ false };
            if( ring_.size() > 1 && ring_.front() == ring_.back() )
            {
                closed = true;
                ring_.pop_back();
            }
            orvane::VerticesAroundEdge vertices{ ring_.size() };
            vertices.closed = closed;
            std::copy( ring_.begin(), ring_.end(), vertices.vertices.begin() );
            return vertices;
        }

    private:
        const orvane::TetrahedralSolid< 3 >& solid_;
        EdgeVertices edge_vertices_;
        std::deque< index_t > ring_;
    };
} // namespace

namespace orvane
{
    std::array< Tetrahedron, 4 > tetrahedra_after_split_tetrahedron(
        const TetrahedralSolid< 3 >& solid,
        index_t polyhedron,
        const Point< 3 >& point )
    {
        std::array< Tetrahedron, 4 > result;
        for( const local_index_t v : { 0, 1, 2, 3 } )
        {
            result[v] = moved_tetrahedron( solid, { polyhedron, v }, point );
        }
        return result;
    }

    TetrahedronPreviews tetrahedra_after_split_facet(
        const TetrahedralSolid< 3 >& solid,
        const PolyhedronFacet& facet,
        const Point< 3 >& point )
    {
        const auto adjacent = solid.polyhedron_adjacent_facet( facet );
        TetrahedronPreviews result( adjacent ? 6 : 3 );
        const auto fill = [&]( const PolyhedronFacet& side, std::size_t first ) {
            for( const local_index_t k : { 1, 2, 3 } )
            {
                const auto vertex =
                    static_cast< local_index_t >( ( side.facet_id + k ) % 4 );
                result[first + k - 1] = { moved_tetrahedron(
                                              solid, { side.polyhedron_id, vertex },
                                              point ),
                    side.polyhedron_id };
            }
        };
        fill( facet, 0 );
        if( adjacent )
        {
            fill( adjacent.value(), 3 );
        }
        return result;
    }

    TetrahedronPreviews tetrahedra_after_split_edge(
        const TetrahedralSolid< 3 >& solid,
        const PolyhedraAroundEdge& polyhedra,
        const EdgeVertices& edge_vertices,
        const Point< 3 >& point )
    {
        TetrahedronPreviews result( 2 * polyhedra.size() );
        std::size_t position{ 0 };
        for( const auto polyhedron : polyhedra )
        {
            for( const auto end : edge_vertices )
            {
                const auto local =
                    solid.vertex_in_polyhedron( polyhedron, end ).value();
                result[position++] = { moved_tetrahedron(
                                           solid, { polyhedron, local }, point ),
                    polyhedron };
            }
        }
        return result;
    }

    TetrahedronPreviews tetrahedra_after_move_vertex(
        const TetrahedralSolid< 3 >& solid,
        index_t vertex,
        const Point< 3 >& point )
    {
        const auto around = solid.polyhedra_around_vertex( vertex );
        TetrahedronPreviews result( around.size() );
        for( const auto i : std::views::iota( std::size_t{ 0 }, around.size() ) )
        {
            result[i] = { moved_tetrahedron( solid, around[i], point ),
                around[i].polyhedron_id };
        }
        return result;
    }

    PolyhedraAroundEdgeVertices polyhedra_around_edge_vertices(
        const TetrahedralSolid< 3 >& solid, const EdgeVertices& edge_vertices )
    {
        return detail::polyhedra_around_edge_vertices(
            { solid.polyhedra_around_vertex( edge_vertices[0] ),
                solid.polyhedra_around_vertex( edge_vertices[1] ) } );
    }

    TetrahedronPreviews tetrahedra_with_moved_vertices(
        const TetrahedralSolid< 3 >& solid,
        const PolyhedraAroundEdgeVertices& polyhedron_vertices,
        const Point< 3 >& point )
    {
        TetrahedronPreviews result( polyhedron_vertices.size() );
        for( const auto i :
            std::views::iota( std::size_t{ 0 }, polyhedron_vertices.size() ) )
        {
            result[i] = { moved_tetrahedron( solid, polyhedron_vertices[i], point ),
                polyhedron_vertices[i].polyhedron_id };
        }
        return result;
    }

    TetrahedronPreviews tetrahedra_after_collapse_onto_vertex(
        const TetrahedralSolid< 3 >& solid,
        const EdgeVertices& edge_vertices,
        local_index_t kept_end )
    {
        const auto kept = edge_vertices[kept_end];
        const auto removed = edge_vertices[1 - kept_end];
        const auto around_kept = solid.polyhedra_around_vertex( kept );
        PolyhedraAroundEdgeVertices moved;
        for( const auto& polyhedron_vertex :
            solid.polyhedra_around_vertex( removed ) )
        {
            const auto holds_kept = std::any_of( around_kept.begin(),
                around_kept.end(), [&]( const PolyhedronVertex& other ) {
                    return other.polyhedron_id
                           == polyhedron_vertex.polyhedron_id;
                } );
            if( !holds_kept )
            {
                moved.push_back( polyhedron_vertex );
            }
        }
        return tetrahedra_with_moved_vertices( solid, moved, solid.point( kept ) );
    }

    TetrahedraSwapPreview tetrahedra_after_swap_facet(
        const TetrahedralSolid< 3 >& solid, const PolyhedronFacet& facet )
    {
        const auto adjacent = solid.polyhedron_adjacent_facet( facet );
        if( !adjacent )
        {
            throw OpenOrvaneException{
                "[SwapFacet] Facet should have an adjacent tetrahedron"
            };
        }
        const auto& b = solid.point(
            solid.polyhedron_vertex( { facet.polyhedron_id, facet.facet_id } ) );
        const auto& a = solid.point( solid.polyhedron_vertex(
            { adjacent->polyhedron_id, adjacent->facet_id } ) );
        const auto facet_vertices = solid.polyhedron_facet_vertices( facet );
        TetrahedraSwapPreview result{ 3, 2 };
        for( const auto k : { 0, 1, 2 } )
        {
            result.tetrahedra[k] = Tetrahedron{ a, b,
                solid.point( facet_vertices[k] ),
                solid.point( facet_vertices[( k + 1 ) % 3] ) };
        }
        result.polyhedra[0] = facet.polyhedron_id;
        result.polyhedra[1] = adjacent->polyhedron_id;
        return result;
    }

    TetrahedraSwapPreview tetrahedra_after_swap_edge(
        const TetrahedralSolid< 3 >& solid,
        const PolyhedronFacetEdge& edge,
        index_t apex )
    {
        return detail::swap_edge_preview( solid, edge, apex ).preview;
    }

    bool is_split_edge_valid( const TetrahedralSolid< 3 >& solid,
        const PolyhedronFacetEdge& edge,
        const Point< 3 >& point )
    {
        const auto edge_vertices = solid.polyhedron_facet_edge_vertices( edge );
        const auto polyhedra = solid.polyhedra_around_edge( edge );
        return detail::are_tetrahedra_positive( tetrahedra_after_split_edge(
            solid, polyhedra, edge_vertices, point ) );
    }

    bool is_swap_edge_valid( const TetrahedralSolid< 3 >& solid,
        const PolyhedronFacetEdge& edge,
        index_t apex )
    {
        const auto swap = detail::swap_edge_preview( solid, edge, apex );
        if( swap.preview.tetrahedra.empty()
            || !detail::are_tetrahedra_positive( swap.preview ) )
        {
            return false;
        }
        const auto& ring = swap.ring;
        const auto n = ring.size();
        if( n < 4 )
        {
            // A ring of three vertices creates no edge.
            return true;
        }
        if( solid.are_edges_enabled() )
        {
            const auto& edges = solid.edges();
            for( std::size_t i = 2; i + 1 < n; i++ )
            {
                if( edges.edge_from_vertices( { ring[0], ring[i] } ) )
                {
                    return false;
                }
            }
            return true;
        }
        for( const auto& polyhedron_vertex :
            solid.polyhedra_around_vertex( ring[0] ) )
        {
            const auto vertices =
                solid.polyhedron_vertices( polyhedron_vertex.polyhedron_id );
            for( std::size_t i = 2; i + 1 < n; i++ )
            {
                if( std::find( vertices.begin(), vertices.end(), ring[i] )
                    != vertices.end() )
                {
                    return false;
                }
            }
        }
        return true;
    }

    VerticesAroundEdge ordered_vertices_around_edge(
        const TetrahedralSolid< 3 >& solid,
        const EdgeVertices& edge_vertices,
        const PolyhedraAroundEdge& polyhedra )
    {
        const auto n = polyhedra.size();
        if( n == 0 )
        {
            return VerticesAroundEdge{ 0 };
        }
        if( n == 1 )
        {
            const auto others =
                other_vertices( solid, polyhedra[0], edge_vertices );
            VerticesAroundEdge result{ others.size() };
            std::copy( others.begin(), others.end(), result.vertices.begin() );
            return result;
        }

        // The orientation of the ring follows the first non-degenerate
        // polyhedron, so that a degenerate start does not flip it.
        auto start = n - 1;
        auto reference = SIDE::zero;
        for( const auto i : std::views::iota( std::size_t{ 0 }, n ) )
        {
            const auto sign =
                tetrahedron_volume_sign( solid.tetrahedron( polyhedra[i] ) );
            if( sign != SIDE::zero )
            {
                start = i;
                reference = sign;
                break;
            }
        }
        const auto seed =
            other_vertices( solid, polyhedra[start], edge_vertices );
        auto front = seed.at( 0 );
        auto back = seed.at( 1 );
        const auto seed_sign = tetrahedron_volume_sign(
            Tetrahedron{ solid.point( edge_vertices[0] ),
                solid.point( edge_vertices[1] ), solid.point( front ),
                solid.point( back ) } );
        const auto keep =
            ( reference == SIDE::positive && seed_sign == SIDE::positive )
            || ( reference != SIDE::positive && seed_sign == SIDE::negative );
        if( !keep )
        {
            std::swap( front, back );
        }
        RingWalk walk{ solid, edge_vertices };
        walk.seed( front, back );

        const auto visited = [&]( std::size_t k ) {
            return polyhedra[( start + k ) % n];
        };
        if( const auto end = walk.touches( visited( 1 ) ) )
        {
            std::size_t k{ 1 };
            while( k < n && walk.extend( end.value(), visited( k ) ) )
            {
                k++;
            }
            for( ; k < n; k++ )
            {
                walk.extend( RingWalk::opposite( end.value() ), visited( k ) );
            }
        }
        else
        {
            const auto last_end = walk.touches( visited( n - 1 ) ).value();
            for( std::size_t k = 1; k < n; k++ )
            {
                walk.extend( last_end, visited( k ) );
            }
        }
        return walk.result();
    }

    absl::InlinedVector< index_t, 10 > vertices_around_edge(
        const TetrahedralSolid< 3 >& solid,
        const EdgeVertices& edge_vertices,
        const PolyhedraAroundEdge& polyhedra )
    {
        absl::InlinedVector< index_t, 10 > result;
        for( const auto polyhedron : polyhedra )
        {
            for( const auto vertex :
                other_vertices( solid, polyhedron, edge_vertices ) )
            {
                if( std::find( result.begin(), result.end(), vertex )
                    == result.end() )
                {
                    result.push_back( vertex );
                }
            }
        }
        return result;
    }

    namespace detail
    {
        SwapEdgePreview swap_edge_preview( const TetrahedralSolid< 3 >& solid,
            const PolyhedronFacetEdge& edge,
            index_t apex )
        {
            const auto edge_vertices =
                solid.polyhedron_facet_edge_vertices( edge );
            const auto polyhedra = solid.polyhedra_around_edge( edge );
            const auto ring =
                ordered_vertices_around_edge( solid, edge_vertices, polyhedra );
            const auto& vertices = ring.vertices;
            const auto n = vertices.size();
            const auto apex_it =
                std::find( vertices.begin(), vertices.end(), apex );
            // An incomplete ring would leave the skipped polyhedra's space
            // unfilled once the whole star is replaced: refuse it.
            if( n < 3 || apex_it == vertices.end()
                || !is_ring_complete( solid, edge_vertices, polyhedra, ring ) )
            {
                return SwapEdgePreview{ vertices, 0, 0 };
            }
            const auto apex_position =
                static_cast< std::size_t >( apex_it - vertices.begin() );
            absl::InlinedVector< index_t, 64 > rotated( n );
            for( const auto i : std::views::iota( std::size_t{ 0 }, n ) )
            {
                rotated[i] = vertices[( apex_position + i ) % n];
            }
            SwapEdgePreview result{ rotated, 2 * n - 4, polyhedra.size() };
            const auto& d0 = solid.point( edge_vertices[0] );
            const auto& d1 = solid.point( edge_vertices[1] );
            const auto& a = solid.point( apex );
            for( std::size_t i = 2; i < n; i++ )
            {
                const auto& previous = solid.point( rotated[i - 1] );
                const auto& current = solid.point( rotated[i] );
                result.preview.tetrahedra[2 * ( i - 2 )] =
                    Tetrahedron{ a, previous, current, d1 };
                result.preview.tetrahedra[2 * ( i - 2 ) + 1] =
                    Tetrahedron{ d0, a, previous, current };
            }
            std::copy( polyhedra.begin(), polyhedra.end(),
                result.preview.polyhedra.begin() );
            return result;
        }

        bool is_ring_complete( const TetrahedralSolid< 3 >& solid,
            const EdgeVertices& edge_vertices,
            const PolyhedraAroundEdge& polyhedra,
            const VerticesAroundEdge& ring )
        {
            const auto& vertices = ring.vertices;
            const auto m = vertices.size();
            const auto nb_segments = ring.closed ? m : ( m == 0 ? 0 : m - 1 );
            if( nb_segments != polyhedra.size() )
            {
                return false;
            }
            const auto sorted = []( index_t a, index_t b ) {
                return a < b ? std::array< index_t, 2 >{ a, b }
                             : std::array< index_t, 2 >{ b, a };
            };
            absl::InlinedVector< std::array< index_t, 2 >, 10 > segments;
            for( const auto i : std::views::iota( std::size_t{ 0 }, nb_segments ) )
            {
                segments.push_back(
                    sorted( vertices[i], vertices[( i + 1 ) % m] ) );
            }
            absl::InlinedVector< std::array< index_t, 2 >, 10 > filled;
            for( const auto polyhedron : polyhedra )
            {
                const auto others =
                    other_vertices( solid, polyhedron, edge_vertices );
                if( others.size() != 2 )
                {
                    return false;
                }
                filled.push_back( sorted( others[0], others[1] ) );
            }
            std::sort( segments.begin(), segments.end() );
            std::sort( filled.begin(), filled.end() );
            return segments == filled;
        }

        PolyhedraAroundEdgeVertices polyhedra_around_edge_vertices(
            const std::array< PolyhedraAroundVertex, 2 >& around )
        {
            PolyhedraAroundEdgeVertices result;
            for( const auto end : { 0, 1 } )
            {
                const auto& other = around[1 - end];
                for( const auto& polyhedron_vertex : around[end] )
                {
                    const auto shared = std::any_of( other.begin(), other.end(),
                        [&]( const PolyhedronVertex& candidate ) {
                            return candidate.polyhedron_id
                                   == polyhedron_vertex.polyhedron_id;
                        } );
                    if( !shared )
                    {
                        result.push_back( polyhedron_vertex );
                    }
                }
            }
            return result;
        }

        std::vector< index_t > common_adjacent_vertices(
            const TetrahedralSolid< 3 >& solid, index_t a, index_t b )
        {
            const auto around_a = solid.vertices_around_vertex( a );
            std::vector< index_t > result;
            for( const auto vertex : solid.vertices_around_vertex( b ) )
            {
                if( std::find( around_a.begin(), around_a.end(), vertex )
                    != around_a.end() )
                {
                    result.push_back( vertex );
                }
            }
            return result;
        }

        bool are_tetrahedra_positive(
            absl::Span< const TetrahedronPreview > previews )
        {
            return std::all_of( previews.begin(), previews.end(),
                []( const TetrahedronPreview& preview ) {
                    return is_positive( preview.tetrahedron );
                } );
        }

        bool are_tetrahedra_positive( const TetrahedraSwapPreview& preview )
        {
            return std::all_of( preview.tetrahedra.begin(),
                preview.tetrahedra.end(), is_positive );
        }

        void report_invalid_tetrahedra(
            absl::Span< const TetrahedronPreview > previews,
            SplitPreviewReport& report )
        {
            for( const auto& preview : previews )
            {
                if( !is_positive( preview.tetrahedron ) )
                {
                    report.valid = false;
                    report.invalid_elements.push_back( preview.tetrahedron );
                    report.replaced_elements.push_back( preview.polyhedron );
                }
            }
        }

        std::optional< local_index_t > polyhedron_vertex_at_point(
            const TetrahedralSolid< 3 >& solid,
            index_t polyhedron,
            const Point< 3 >& point )
        {
            for( const local_index_t v : { 0, 1, 2, 3 } )
            {
                if( solid.point( solid.polyhedron_vertex( { polyhedron, v } ) )
                        .inexact_equal( point ) )
                {
                    return v;
                }
            }
            return std::nullopt;
        }

        std::optional< local_index_t > polyhedron_facet_vertex_at_point(
            const TetrahedralSolid< 3 >& solid,
            const PolyhedronFacet& facet,
            const Point< 3 >& point )
        {
            for( const local_index_t v : { 0, 1, 2 } )
            {
                if( solid.point( solid.polyhedron_facet_vertex( { facet, v } ) )
                        .inexact_equal( point ) )
                {
                    return v;
                }
            }
            return std::nullopt;
        }
    } // namespace detail
} // namespace orvane
