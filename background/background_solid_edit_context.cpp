#include <background/background_solid_edit_context.hpp>

#include <algorithm>

#include <openorvane/geometry/basic_objects.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

#include <background/background_solid.hpp>
#include <background/background_solid_modifier.hpp>

namespace
{
    bool contains( const std::vector< orvane::index_t >& values,
        orvane::index_t value )
    {
        return std::find( values.begin(), values.end(), value ) != values.end();
    }

    std::vector< orvane::index_t > new_tetrahedra(
        absl::Span< const orvane::ElementOrigin > origins )
    {
        std::vector< orvane::index_t > result;
        result.reserve( origins.size() );
        for( const auto& origin : origins )
        {
            result.push_back( origin.new_element );
        }
        return result;
    }
} // namespace

namespace orvane
{
    namespace internal
    {
        void BackgroundSolidTrackedElements::merge(
            const BackgroundSolidTrackedElements& other )
        {
            for( const auto vertex : other.vertices )
            {
                if( !contains( vertices, vertex ) )
                {
                    vertices.push_back( vertex );
                }
            }
            for( const auto& edge : other.edges )
            {
                if( std::find( edges.begin(), edges.end(), edge ) == edges.end() )
                {
                    edges.push_back( edge );
                }
            }
            for( const auto& point : other.points )
            {
                if( std::find( points.begin(), points.end(), point )
                    == points.end() )
                {
                    points.push_back( point );
                }
            }
            detail::add_unique_cycles( facets, other.facets );
        }

        BackgroundSolidEditContext::BackgroundSolidEditContext(
            BackgroundSolid& solid_in,
            BackgroundSolidModifier& modifier_in,
            BackgroundSolidBuilder& builder_in,
            BackgroundSolidTrackedElements tracked_in )
            : solid( solid_in ),
              modifier( modifier_in ),
              builder( builder_in ),
              tracked( std::move( tracked_in ) )
        {
        }

        std::unique_ptr< BackgroundSolidEditContext > make_edit_context(
            BackgroundSolid& solid,
            BackgroundSolidModifier& modifier,
            BackgroundSolidBuilder& builder,
            BackgroundSolidTrackedElements tracked )
        {
            return std::make_unique< BackgroundSolidEditContext >(
                solid, modifier, builder, std::move( tracked ) );
        }

        PolyhedronFacetEdge tetrahedron_facet_edge(
            index_t tetrahedron, local_index_t from, local_index_t to )
        {
            for( const local_index_t f : { 0, 1, 2, 3 } )
            {
                if( f == from || f == to )
                {
                    continue;
                }
                const auto& facet = TETRAHEDRON_FACET_VERTICES[f];
                for( const local_index_t k : { 0, 1, 2 } )
                {
                    if( facet[k] == from && facet[( k + 1 ) % 3] == to )
                    {
                        return { { tetrahedron, f }, k };
                    }
                }
            }
            // Of the two facets holding an edge, one runs along it in each
            // direction: only equal local vertices get here.
            throw OpenOrvaneException{
                "[tetrahedron_facet_edge] Local vertices must differ"
            };
        }

        bool BackgroundSolidEditContext::is_vertex_tracked( index_t vertex )
        {
            return std::any_of( tracked.vertices.begin(), tracked.vertices.end(),
                [this, vertex]( index_t stored ) {
                    return modifier.updated_vertex( stored ) == vertex;
                } );
        }

        void BackgroundSolidEditContext::forget_vertex( index_t vertex )
        {
            detail::remove_edges_with_vertex( tracked.edges, vertex, modifier );
            detail::remove_cycles_with_vertex( tracked.facets, vertex, modifier );
        }

        bool BackgroundSolidEditContext::is_tracked_edge( index_t a, index_t b )
        {
            return !tracked.edges.empty()
                   && detail::contains_remapped_edge(
                       tracked.edges, { a, b }, modifier );
        }

        bool BackgroundSolidEditContext::is_tracked_facet(
            index_t a, index_t b, index_t c )
        {
            return !tracked.facets.empty()
                   && detail::contains_remapped_cycle(
                       tracked.facets, VertexCycle{ a, b, c }, modifier );
        }

        void BackgroundSolidEditContext::track_edge( index_t a, index_t b )
        {
            detail::add_unique_edge( tracked.edges, { a, b } );
        }

        void BackgroundSolidEditContext::track_facet(
            index_t a, index_t b, index_t c )
        {
            detail::add_unique_cycle( tracked.facets, VertexCycle{ a, b, c } );
        }

        index_t BackgroundSolidEditContext::edge( index_t a, index_t b ) const
        {
            return solid.edges().edge_from_vertices( { a, b } ).value();
        }

        index_t BackgroundSolidEditContext::facet(
            index_t a, index_t b, index_t c ) const
        {
            return solid.facets()
                .facet_from_vertices( PolyhedronFacetVertices{ a, b, c } )
                .value();
        }

        void BackgroundSolidEditContext::inherit_edge(
            index_t a, index_t b, index_t old_edge )
        {
            builder.update_edge( { edge( a, b ), old_edge } );
        }

        void BackgroundSolidEditContext::inherit_facet(
            index_t a, index_t b, index_t c, index_t old_facet )
        {
            builder.update_facet( { facet( a, b, c ), old_facet } );
        }

        bool BackgroundSolidEditContext::is_near_segment(
            index_t vertex, index_t a, index_t b ) const
        {
            return std::get< 0 >( point_segment_distance( solid.point( vertex ),
                       Segment< 3 >{ solid.point( a ), solid.point( b ) } ) )
                   <= GLOBAL_EPSILON;
        }

        bool BackgroundSolidEditContext::is_near_triangle(
            index_t vertex, index_t a, index_t b, index_t c ) const
        {
            return std::get< 0 >( point_triangle_distance( solid.point( vertex ),
                       Triangle< 3 >{ solid.point( a ), solid.point( b ),
                           solid.point( c ) } ) )
                   <= GLOBAL_EPSILON;
        }

        BackgroundSolidVertexEdit BackgroundSolidEditContext::collapse_edge(
            const PolyhedronFacetEdge& edge, index_t removed, index_t kept )
        {
            forget_vertex( removed );
            const auto point = solid.point( kept );
            const auto collapse = modifier.collapse_edge( edge, point );
            BackgroundSolidVertexEdit result;
            result.vertex = collapse.new_vertex;
            result.merged_vertices = collapse.merged_vertices;
            result.tetrahedra = collapse.modified_tetrahedra;
            // A tetrahedron that held both ends twice over would now hold
            // the merged vertex twice: collapse what is left of it.
            const auto merged = collapse.new_vertex;
            if( solid.edges().edge_from_vertices( { merged, merged } ) )
            {
                if( const auto degenerate =
                        solid.polyhedron_facet_edge_from_vertices(
                            { merged, merged } ) )
                {
                    const auto merged_point = solid.point( merged );
                    const auto again = modifier.collapse_edge(
                        degenerate.value(), merged_point );
                    result.vertex = again.new_vertex;
                }
            }
            return result;
        }

        std::vector< index_t > BackgroundSolidEditContext::swap_edge(
            const PolyhedronFacetEdge& edge, index_t apex )
        {
            const auto [u, v] = solid.polyhedron_facet_edge_vertices( edge );
            const auto old_edge = this->edge( u, v );
            const auto swap = modifier.swap_edge( edge, apex );
            std::optional< index_t > near;
            for( const auto tetrahedron : swap.old_tetrahedra )
            {
                for( const auto vertex : solid.polyhedron_vertices( tetrahedron ) )
                {
                    if( vertex != u && vertex != v
                        && is_near_segment( vertex, u, v ) )
                    {
                        near = vertex;
                        break;
                    }
                }
                if( near )
                {
                    break;
                }
            }
            if( near )
            {
                // The edge runs through the vertex: its two pieces carry
                // its records, and so do the fan triangles that replace its
                // facets when the apex is that vertex.
                track_edge( u, v );
                inherit_edge( u, near.value(), old_edge );
                inherit_edge( v, near.value(), old_edge );
                if( near.value() == apex )
                {
                    for( const auto& removed : swap.removed_facets )
                    {
                        const auto vertices =
                            solid.polyhedron_facet_vertices( removed );
                        index_t other{ NO_ID };
                        for( const auto vertex : vertices )
                        {
                            if( vertex != u && vertex != v )
                            {
                                other = vertex;
                                break;
                            }
                        }
                        if( other == NO_ID || other == apex )
                        {
                            continue;
                        }
                        const auto old_facet =
                            facet( vertices[0], vertices[1], vertices[2] );
                        inherit_facet( u, apex, other, old_facet );
                        inherit_facet( v, apex, other, old_facet );
                    }
                }
            }
            return { swap.new_tetrahedra.begin(), swap.new_tetrahedra.end() };
        }

        std::vector< index_t > BackgroundSolidEditContext::swap_facet(
            const PolyhedronFacet& polyhedron_facet )
        {
            const auto vertices =
                solid.polyhedron_facet_vertices( polyhedron_facet );
            const auto old_facet = facet( vertices[0], vertices[1], vertices[2] );
            const auto swap = modifier.swap_facet( polyhedron_facet );
            for( const auto tetrahedron : swap.old_tetrahedra )
            {
                for( const local_index_t j : { 0, 1, 2, 3 } )
                {
                    const auto vertex =
                        solid.polyhedron_vertex( { tetrahedron, j } );
                    if( std::find( vertices.begin(), vertices.end(), vertex )
                            != vertices.end()
                        || !is_near_triangle(
                            vertex, vertices[0], vertices[1], vertices[2] ) )
                    {
                        continue;
                    }
                    // The apex lies on the old facet: the three facets
                    // through it cover the old facet and carry its records.
                    track_facet( vertices[0], vertices[1], vertices[2] );
                    for( const local_index_t f : { 0, 1, 2, 3 } )
                    {
                        if( f == j )
                        {
                            continue;
                        }
                        const auto through =
                            solid.polyhedron_facet_vertices( { tetrahedron, f } );
                        inherit_facet(
                            through[0], through[1], through[2], old_facet );
                    }
                    return { swap.new_tetrahedra.begin(),
                        swap.new_tetrahedra.end() };
                }
            }
            return { swap.new_tetrahedra.begin(), swap.new_tetrahedra.end() };
        }

        BackgroundSolidVertexEdit BackgroundSolidEditContext::merge_split_vertex(
            index_t split_vertex, index_t vertex )
        {
            const auto point = solid.point( vertex );
            const auto edge = solid
                                  .polyhedron_facet_edge_from_vertices(
                                      { vertex, split_vertex } )
                                  .value();
            const auto collapse = modifier.collapse_edge( edge, point );
            BackgroundSolidVertexEdit result;
            result.vertex = collapse.new_vertex;
            result.merged_vertices = collapse.merged_vertices;
            result.tetrahedra = collapse.modified_tetrahedra;
            return result;
        }

        BackgroundSolidVertexEdit BackgroundSolidEditContext::split_edge_at_vertex(
            const PolyhedronFacetEdge& polyhedron_edge, index_t vertex )
        {
            const auto [u, v] =
                solid.polyhedron_facet_edge_vertices( polyhedron_edge );
            const auto old_edge = edge( u, v );
            const auto point = solid.point( vertex );
            const auto split = modifier.split_edge( polyhedron_edge, point );
            auto result = merge_split_vertex( split.new_vertex, vertex );
            for( const auto& origins :
                { split.first_tetrahedra, split.second_tetrahedra } )
            {
                for( const auto& origin : origins )
                {
                    const auto tetrahedron = origin.old_element;
                    const auto old_vertices =
                        solid.polyhedron_vertices( tetrahedron );
                    for( const auto near : old_vertices )
                    {
                        if( near == u || near == v
                            || !is_near_segment(
                                modifier.updated_vertex( near ), u, v ) )
                        {
                            continue;
                        }
                        index_t other{ NO_ID };
                        for( const auto x : old_vertices )
                        {
                            if( x != u && x != v && x != near )
                            {
                                other = x;
                                break;
                            }
                        }
                        track_edge( u, v );
                        const auto piece = modifier.updated_vertex( near );
                        inherit_edge( u, piece, old_edge );
                        inherit_edge( v, piece, old_edge );
                        const auto old_facet = facet( u, v, other );
                        const auto apex = modifier.updated_vertex( other );
                        inherit_facet( u, piece, apex, old_facet );
                        inherit_facet( v, piece, apex, old_facet );
                        return result;
                    }
                }
            }
            return result;
        }

        BackgroundSolidVertexEdit BackgroundSolidEditContext::split_facet_at_vertex(
            const PolyhedronFacet& polyhedron_facet, index_t vertex )
        {
            const auto f = solid.polyhedron_facet_vertices( polyhedron_facet );
            const auto old_facet = facet( f[0], f[1], f[2] );
            const auto point = solid.point( vertex );
            const auto split = modifier.split_facet( polyhedron_facet, point );
            auto result = merge_split_vertex( split.new_vertex, vertex );
            for( const auto& origin : split.tetrahedra )
            {
                for( const auto near :
                    solid.polyhedron_vertices( origin.old_element ) )
                {
                    if( std::find( f.begin(), f.end(), near ) != f.end() )
                    {
                        continue;
                    }
                    const auto piece = modifier.updated_vertex( near );
                    if( !is_near_triangle( piece, f[0], f[1], f[2] ) )
                    {
                        continue;
                    }
                    track_facet( f[0], f[1], f[2] );
                    inherit_facet( f[0], f[1], piece, old_facet );
                    inherit_facet( f[1], f[2], piece, old_facet );
                    inherit_facet( f[2], f[0], piece, old_facet );
                    return result;
                }
            }
            return result;
        }

        BackgroundSolidVertexEdit BackgroundSolidEditContext::join_edges(
            const EdgeVertices& first,
            const EdgeVertices& second,
            const Point< 3 >& point )
        {
            const auto split_first =
                modifier.split_edge( edge( first[0], first[1] ), point );
            const auto split_second =
                modifier.split_edge( edge( second[0], second[1] ), point );
            const auto joined = solid
                                    .polyhedron_facet_edge_from_vertices(
                                        { split_first.new_vertex,
                                            split_second.new_vertex } )
                                    .value();
            const auto collapse = modifier.collapse_edge( joined, point );
            track_edge( first[0], first[1] );
            track_edge( second[0], second[1] );
            BackgroundSolidVertexEdit result;
            result.vertex = collapse.new_vertex;
            result.merged_vertices = collapse.merged_vertices;
            result.tetrahedra = collapse.modified_tetrahedra;
            return result;
        }

        BackgroundSolidVertexEdit
            BackgroundSolidEditContext::remove_vertex_triple_adjacency(
                index_t tetrahedron, local_index_t local_vertex )
        {
            const auto vertex =
                solid.polyhedron_vertex( { tetrahedron, local_vertex } );
            const auto f =
                solid.polyhedron_facet_vertices( { tetrahedron, local_vertex } );
            const auto point = solid.point( vertex );
            modifier.remove_tetrahedra_pair(
                PolyhedronVertex{ tetrahedron, local_vertex } );
            if( solid.init_vertex_ids( vertex ).empty()
                && solid.vertex_init_edge_ids( vertex ).empty()
                && solid.vertex_init_facet_ids( vertex ).empty()
                && !is_vertex_tracked( vertex ) )
            {
                forget_vertex( vertex );
                return {};
            }
            // The vertex stands for input geometry: put it back in the facet
            // that the removed pair leaves, at its own point.
            track_facet( f[0], f[1], f[2] );
            const auto glued = solid
                                   .polyhedron_facet_from_vertices(
                                       PolyhedronFacetVertices{ f[0], f[1], f[2] } )
                                   .value();
            const auto split = modifier.split_facet( glued, point );
            const auto inserted = split.new_vertex;
            const index_t merged[1]{ vertex };
            modifier.update_vertex_map( inserted, merged );
            builder.update_vertex( ElementEntry{ inserted, { vertex } } );
            for( const local_index_t k : { 0, 1, 2 } )
            {
                inherit_edge( f[k], inserted, edge( f[k], vertex ) );
            }
            for( const local_index_t k : { 0, 1, 2 } )
            {
                const auto x = f[k];
                const auto y = f[( k + 1 ) % 3];
                inherit_facet( x, y, inserted, facet( x, y, vertex ) );
            }
            BackgroundSolidVertexEdit result;
            result.vertex = inserted;
            result.merged_vertices = { vertex };
            result.tetrahedra = new_tetrahedra( split.tetrahedra );
            return result;
        }

        BackgroundSolidVertexEdit
            BackgroundSolidEditContext::remove_edge_double_adjacency(
                const PolyhedronFacetEdge& polyhedron_edge )
        {
            const auto tetrahedron =
                polyhedron_edge.polyhedron_facet.polyhedron_id;
            const auto [u, v] =
                solid.polyhedron_facet_edge_vertices( polyhedron_edge );
            const auto old_edge = edge( u, v );
            const auto keep = !solid.init_edge_ids( old_edge ).empty()
                              || solid.has_init_facet_around_edge(
                                  tetrahedron, { u, v }, solid );
            std::array< index_t, 2 > opposite{ NO_ID, NO_ID };
            index_t nb_opposite{ 0 };
            for( const auto vertex : solid.polyhedron_vertices( tetrahedron ) )
            {
                if( vertex != u && vertex != v && nb_opposite < 2 )
                {
                    opposite[nb_opposite++] = vertex;
                }
            }
            const auto [c, d] = opposite;
            modifier.remove_tetrahedra_pair( polyhedron_edge );
            track_edge( u, v );
            if( !keep )
            {
                return {};
            }
            for( const auto& [w, other] :
                { std::pair{ c, d }, std::pair{ d, c } } )
            {
                if( is_near_segment( w, u, v ) )
                {
                    // The edge now runs through w, along two edges.
                    inherit_edge( u, w, old_edge );
                    inherit_edge( v, w, old_edge );
                    const auto old_facet = facet( u, v, other );
                    inherit_facet( c, d, u, old_facet );
                    inherit_facet( c, d, v, old_facet );
                    return {};
                }
            }
            for( const auto& [z, other] :
                { std::pair{ u, v }, std::pair{ v, u } } )
            {
                if( !is_near_segment( z, c, d ) )
                {
                    continue;
                }
                const auto point = solid.point( z );
                const auto split = modifier.split_edge( edge( c, d ), point );
                const auto n = split.new_vertex;
                inherit_edge( u, n, old_edge );
                inherit_edge( v, n, old_edge );
                for( const auto y : { c, d } )
                {
                    inherit_facet( n, y, other, facet( u, v, y ) );
                }
                BackgroundSolidVertexEdit result;
                result.vertex = n;
                result.tetrahedra = new_tetrahedra( split.first_tetrahedra );
                const auto second = new_tetrahedra( split.second_tetrahedra );
                result.tetrahedra.insert(
                    result.tetrahedra.end(), second.begin(), second.end() );
                return result;
            }
            return {};
        }
    } // namespace internal
} // namespace orvane
