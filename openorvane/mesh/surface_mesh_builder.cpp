#include <openorvane/mesh/surface_mesh_builder.hpp>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>

#include <openorvane/basic/algorithm.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/surface_mesh_impl.hpp>

namespace orvane
{
    namespace
    {
        /// One use of an unordered vertex pair by a polygon edge, filed
        /// under the smaller vertex.
        struct EdgeUse
        {
            index_t other_vertex;
            index_t polygon_edge; // 3 * polygon + local edge
            bool from_smaller;    // the edge runs from the smaller vertex
        };

        void check_vertex( index_t vertex, index_t nb_vertices, const char* function )
        {
            ORVANE_EXCEPTION( vertex < nb_vertices, "[SurfaceMeshBuilder::",
                function, "] Vertex ", vertex, " does not exist (the surface has ",
                nb_vertices, " vertices)" );
        }

        /// Checks a polygon and a local index (of a vertex or an edge).
        template < typename Impl >
        void check_polygon_local( const Impl& impl,
            index_t polygon,
            local_index_t local,
            const char* function )
        {
            ORVANE_EXCEPTION(
                polygon < impl.nb_polygons() && local < Impl::NB_POLYGON_VERTICES,
                "[SurfaceMeshBuilder::", function, "] Polygon ", polygon,
                " local index ", local, " does not exist (the surface has ",
                impl.nb_polygons(), " polygons)" );
        }

        /// Throws the error of set_polygon_adjacent's first failed check.
        /// Kept out of line, so that the caller's valid path saves no
        /// registers.
        template < typename Impl >
        [[noreturn, gnu::noinline, gnu::cold]] void throw_bad_adjacent(
            const Impl& impl, const PolygonEdge& polygon_edge, index_t adjacent_id )
        {
            check_polygon_local( impl, polygon_edge.polygon_id,
                polygon_edge.edge_id, "set_polygon_adjacent" );
            throw OpenOrvaneException{
                "[SurfaceMeshBuilder::set_polygon_adjacent] Adjacent polygon ",
                adjacent_id, " does not exist (the surface has ",
                impl.nb_polygons(), " polygons)"
            };
        }
    } // namespace

    template < index_t dimension >
    SurfaceMeshBuilder< dimension >::SurfaceMeshBuilder( SurfaceMesh< dimension >& mesh )
        : VertexSetBuilder{ mesh }, surface_( mesh )
    {
    }

    template < index_t dimension >
    SurfaceMeshBuilder< dimension >::~SurfaceMeshBuilder() = default;

    template < index_t dimension >
    std::unique_ptr< SurfaceMeshBuilder< dimension > >
        SurfaceMeshBuilder< dimension >::create( SurfaceMesh< dimension >& mesh )
    {
        return detail::create_mesh_builder< SurfaceMeshBuilder< dimension > >( mesh );
    }

    template < index_t dimension >
    index_t SurfaceMeshBuilder< dimension >::create_point(
        const Point< dimension >& point )
    {
        // Checked first, so that a refused point creates no vertex.
        CoordinateArray< dimension >::check_finite( point );
        const auto vertex = create_vertex();
        set_point( vertex, point );
        return vertex;
    }

    template < index_t dimension >
    void SurfaceMeshBuilder< dimension >::set_point(
        index_t vertex_id, const Point< dimension >& point )
    {
        surface_.impl_->points.set_point( vertex_id, point );
    }

    template < index_t dimension >
    index_t SurfaceMeshBuilder< dimension >::create_polygon(
        absl::Span< const index_t > vertices )
    {
        using Impl = typename SurfaceMesh< dimension >::Impl;
        auto& impl = *surface_.impl_;
        ORVANE_EXCEPTION( vertices.size() == Impl::NB_POLYGON_VERTICES,
            "[SurfaceMeshBuilder::create_polygon] Only triangles are supported, "
            "got a polygon of ",
            vertices.size(), " vertices" );
        const auto nb_vertices = surface_.nb_vertices();
        for( const auto vertex : vertices )
        {
            check_vertex( vertex, nb_vertices, "create_polygon" );
        }
        ORVANE_EXCEPTION( vertices[0] != vertices[1] && vertices[1] != vertices[2]
                              && vertices[2] != vertices[0],
            "[SurfaceMeshBuilder::create_polygon] The vertices ", vertices[0], ", ",
            vertices[1], ", ", vertices[2], " of a polygon must differ" );
        const auto polygon = impl.nb_polygons();
        impl.polygons.push_back( { { vertices[0], vertices[1], vertices[2] },
            { NO_ID, NO_ID, NO_ID } } );
        impl.polygon_attributes.resize( polygon + 1 );
        for( local_index_t v = 0; v < Impl::NB_POLYGON_VERTICES; v++ )
        {
            impl.polygon_around_vertex[vertices[v]] = { polygon, v };
        }
        impl.register_polygon_edges( polygon );
        return polygon;
    }

    template < index_t dimension >
    void SurfaceMeshBuilder< dimension >::set_polygon_vertex(
        const PolygonVertex& polygon_vertex, index_t vertex_id )
    {
        using Impl = typename SurfaceMesh< dimension >::Impl;
        auto& impl = *surface_.impl_;
        check_vertex( vertex_id, surface_.nb_vertices(), "set_polygon_vertex" );
        check_polygon_local( impl, polygon_vertex.polygon_id,
            polygon_vertex.vertex_id, "set_polygon_vertex" );
        impl.vertex( polygon_vertex.polygon_id, polygon_vertex.vertex_id ) = vertex_id;
        impl.polygon_around_vertex[vertex_id] = polygon_vertex;
        if( impl.edges )
        {
            EdgesBuilder builder{ *impl.edges };
            const auto polygon = polygon_vertex.polygon_id;
            const auto local = polygon_vertex.vertex_id;
            builder.find_or_create_edge(
                { impl.vertex( polygon, Impl::previous( local ) ), vertex_id } );
            builder.find_or_create_edge(
                { vertex_id, impl.vertex( polygon, Impl::next( local ) ) } );
        }
    }

    template < index_t dimension >
    void SurfaceMeshBuilder< dimension >::set_polygon_vertices(
        absl::Span< const PolygonVertex > corners, index_t vertex_id )
    {
        using Impl = typename SurfaceMesh< dimension >::Impl;
        auto& impl = *surface_.impl_;
        check_vertex( vertex_id, surface_.nb_vertices(), "set_polygon_vertices" );
        for( const auto& corner : corners )
        {
            check_polygon_local( impl, corner.polygon_id, corner.vertex_id,
                "set_polygon_vertices" );
        }
        if( !impl.edges )
        {
            for( const auto& corner : corners )
            {
                impl.vertex( corner.polygon_id, corner.vertex_id ) = vertex_id;
                impl.polygon_around_vertex[vertex_id] = corner;
            }
            return;
        }
        // The edges of the fan around a vertex come twice (once from each
        // polygon on either side): keep the first use of each pair, so that
        // the table creates its entries in the order single calls would.
        // Every pair holds `vertex_id`, so two pairs are the same edge
        // exactly when their other vertices are equal: `others` lists the
        // other vertex of each kept pair.
        absl::InlinedVector< EdgeVertices, 32 > pairs( 2 * corners.size() );
        absl::InlinedVector< index_t, 32 > others( 2 * corners.size() );
        auto* const first_other = others.data();
        auto* last_other = first_other;
        auto* next_pair = pairs.data();
        // Bit `other % 64` is set for every kept other vertex: a vertex
        // whose bit is clear is new without a search.
        std::uint64_t kept_bits{ 0 };
        const auto add_pair = [first_other, &last_other, &next_pair, &kept_bits](
                                  const EdgeVertices& pair, index_t other ) {
            const auto bit = std::uint64_t{ 1 } << ( other % 64 );
            if( ( kept_bits & bit ) != 0
                && std::find( first_other, last_other, other ) != last_other )
            {
                return;
            }
            kept_bits |= bit;
            *last_other++ = other;
            *next_pair++ = pair;
        };
        for( const auto& corner : corners )
        {
            const auto polygon = corner.polygon_id;
            const auto local = corner.vertex_id;
            impl.vertex( polygon, local ) = vertex_id;
            impl.polygon_around_vertex[vertex_id] = corner;
            const auto previous = impl.vertex( polygon, Impl::previous( local ) );
            add_pair( { previous, vertex_id }, previous );
            const auto next = impl.vertex( polygon, Impl::next( local ) );
            add_pair( { vertex_id, next }, next );
        }
        const auto nb_pairs = static_cast< std::size_t >( last_other - first_other );
        if( nb_pairs == 0 )
        {
            return;
        }
        pairs.resize( nb_pairs );
        absl::InlinedVector< index_t, 32 > found( nb_pairs );
        EdgesBuilder{ *impl.edges }.find_or_create_edges( pairs, absl::MakeSpan( found ) );
    }

    template < index_t dimension >
    void SurfaceMeshBuilder< dimension >::set_polygon_adjacent(
        const PolygonEdge& polygon_edge, index_t adjacent_id )
    {
        using Impl = typename SurfaceMesh< dimension >::Impl;
        auto& impl = *surface_.impl_;
        const auto nb_polygons = impl.nb_polygons();
        // One test for the usual valid call; the checks below name what is
        // wrong otherwise.
        if( polygon_edge.polygon_id >= nb_polygons
            || polygon_edge.edge_id >= Impl::NB_POLYGON_VERTICES
            || ( adjacent_id >= nb_polygons && adjacent_id != NO_ID ) )
        {
            throw_bad_adjacent( impl, polygon_edge, adjacent_id );
        }
        impl.polygons.data()[polygon_edge.polygon_id].adjacents[polygon_edge.edge_id] =
            adjacent_id;
    }

    template < index_t dimension >
    void SurfaceMeshBuilder< dimension >::unset_polygon_adjacent(
        const PolygonEdge& polygon_edge )
    {
        set_polygon_adjacent( polygon_edge, NO_ID );
    }

    template < index_t dimension >
    void SurfaceMeshBuilder< dimension >::compute_polygon_adjacencies()
    {
        using Impl = typename SurfaceMesh< dimension >::Impl;
        auto& impl = *surface_.impl_;
        for( auto& row : impl.polygons )
        {
            row.adjacents.fill( NO_ID );
        }
        // Bucket every polygon edge under its smaller vertex (counting sort),
        // then group each bucket by the larger vertex.
        const auto nb_vertices = surface_.nb_vertices();
        std::vector< index_t > offsets( nb_vertices + 1, 0 );
        const auto nb_polygon_edges = Impl::NB_POLYGON_VERTICES * impl.nb_polygons();
        const auto edge_ends = [&impl]( index_t polygon_edge ) {
            const auto polygon = polygon_edge / Impl::NB_POLYGON_VERTICES;
            const auto local =
                static_cast< local_index_t >( polygon_edge % Impl::NB_POLYGON_VERTICES );
            return EdgeVertices{ impl.vertex( polygon, local ),
                impl.vertex( polygon, Impl::next( local ) ) };
        };
        for( index_t pe = 0; pe < nb_polygon_edges; pe++ )
        {
            const auto [from, to] = edge_ends( pe );
            if( from != to )
            {
                offsets[std::min( from, to ) + 1]++;
            }
        }
        std::partial_sum( offsets.begin(), offsets.end(), offsets.begin() );
        std::vector< EdgeUse > uses( offsets.back() );
        auto cursor = offsets;
        for( index_t pe = 0; pe < nb_polygon_edges; pe++ )
        {
            const auto [from, to] = edge_ends( pe );
            if( from != to )
            {
                uses[cursor[std::min( from, to )]++] = { std::max( from, to ), pe,
                    from < to };
            }
        }
        for( index_t v = 0; v < nb_vertices; v++ )
        {
            const auto begin = uses.begin() + offsets[v];
            const auto end = uses.begin() + offsets[v + 1];
            std::sort( begin, end, []( const EdgeUse& lhs, const EdgeUse& rhs ) {
                return lhs.other_vertex < rhs.other_vertex
                       || ( lhs.other_vertex == rhs.other_vertex
                            && lhs.polygon_edge < rhs.polygon_edge );
            } );
            for( auto group = begin; group != end; )
            {
                auto group_end = group + 1;
                while( group_end != end && group_end->other_vertex == group->other_vertex )
                {
                    ++group_end;
                }
                // A polygon that runs the pair both ways (a repeated vertex)
                // is never its own neighbour.
                const auto first = group->polygon_edge;
                if( group_end - group == 2 && group->from_smaller != ( group + 1 )->from_smaller
                    && first / Impl::NB_POLYGON_VERTICES
                           != ( group + 1 )->polygon_edge / Impl::NB_POLYGON_VERTICES )
                {
                    const auto second = ( group + 1 )->polygon_edge;
                    const auto adjacent_entry = [&impl]( index_t polygon_edge ) -> index_t& {
                        return impl.adjacent( polygon_edge / Impl::NB_POLYGON_VERTICES,
                            static_cast< local_index_t >(
                                polygon_edge % Impl::NB_POLYGON_VERTICES ) );
                    };
                    adjacent_entry( first ) = second / Impl::NB_POLYGON_VERTICES;
                    adjacent_entry( second ) = first / Impl::NB_POLYGON_VERTICES;
                }
                group = group_end;
            }
        }
    }

    template < index_t dimension >
    void SurfaceMeshBuilder< dimension >::compute_polygon_adjacencies(
        absl::Span< const index_t > polygons )
    {
        using Impl = typename SurfaceMesh< dimension >::Impl;
        auto& impl = *surface_.impl_;
        struct Use
        {
            index_t polygon;
            local_index_t edge;
            index_t from;
        };
        // The listed polygons around each of their vertices: their
        // adjacencies are not set yet, so the fans do not reach them.
        absl::flat_hash_map< index_t, absl::InlinedVector< index_t, 8 > > listed_at;
        for( const auto polygon : polygons )
        {
            for( local_index_t v = 0; v < Impl::NB_POLYGON_VERTICES; v++ )
            {
                listed_at[impl.vertex( polygon, v )].push_back( polygon );
            }
        }
        // Edges for which no candidate uses the vertex pair: new polygons
        // reach only themselves through their vertices' fans.
        absl::flat_hash_map< EdgeVertices, PolygonEdge > pending;
        for( const auto polygon : polygons )
        {
            for( local_index_t e = 0; e < Impl::NB_POLYGON_VERTICES; e++ )
            {
                const auto from = impl.vertex( polygon, e );
                const auto to = impl.vertex( polygon, Impl::next( e ) );
                if( from == to )
                {
                    impl.adjacent( polygon, e ) = NO_ID;
                    continue;
                }
                // Only a polygon holding `from` can use the pair.
                const auto& listed = listed_at.at( from );
                absl::InlinedVector< index_t, 32 > candidates(
                    listed.begin(), listed.end() );
                for( const auto vertex : { from, to } )
                {
                    for( const auto& corner : surface_.polygons_around_vertex( vertex ) )
                    {
                        candidates.push_back( corner.polygon_id );
                    }
                }
                std::sort( candidates.begin(), candidates.end() );
                candidates.erase( std::unique( candidates.begin(), candidates.end() ),
                    candidates.end() );
                absl::InlinedVector< Use, 4 > uses;
                for( const auto candidate : candidates )
                {
                    for( local_index_t ce = 0; ce < Impl::NB_POLYGON_VERTICES; ce++ )
                    {
                        if( candidate == polygon && ce == e )
                        {
                            continue;
                        }
                        const auto a = impl.vertex( candidate, ce );
                        const auto b = impl.vertex( candidate, Impl::next( ce ) );
                        if( ( a == from && b == to ) || ( a == to && b == from ) )
                        {
                            uses.push_back( { candidate, ce, a } );
                        }
                    }
                }
                if( uses.empty() )
                {
                    impl.adjacent( polygon, e ) = NO_ID;
                    pending.insert_or_assign( EdgeVertices{ to, from }, PolygonEdge{ polygon, e } );
                }
                else if( uses.size() == 1 && uses[0].from == to
                         && uses[0].polygon != polygon )
                {
                    impl.adjacent( polygon, e ) = uses[0].polygon;
                    impl.adjacent( uses[0].polygon, uses[0].edge ) = polygon;
                }
                else
                {
                    impl.adjacent( polygon, e ) = NO_ID;
                }
            }
        }
        if( pending.empty() )
        {
            return;
        }
        // Last resort: the newest polygon that runs the edge the other way.
        // Cells replaced by an edit but not deleted yet usually keep the
        // direction of their replacements, so they are not taken.
        absl::flat_hash_map< EdgeVertices, PolygonEdge > partners;
        for( index_t q = 0; q < impl.nb_polygons(); q++ )
        {
            for( local_index_t e = 0; e < Impl::NB_POLYGON_VERTICES; e++ )
            {
                const EdgeVertices key{ impl.vertex( q, e ), impl.vertex( q, Impl::next( e ) ) };
                const auto found = pending.find( key );
                if( found != pending.end() && found->second.polygon_id != q )
                {
                    partners.insert_or_assign( key, PolygonEdge{ q, e } );
                }
            }
        }
        // Applied in the order of the vertex pairs, so that the outcome does
        // not depend on the hash map's order when pairs share an edge.
        std::vector< std::pair< EdgeVertices, PolygonEdge > > ordered(
            partners.begin(), partners.end() );
        std::sort( ordered.begin(), ordered.end(),
            []( const auto& a, const auto& b ) { return a.first < b.first; } );
        for( const auto& [key, edge] : ordered )
        {
            const auto& polygon_edge = pending.at( key );
            impl.adjacent( polygon_edge.polygon_id, polygon_edge.edge_id ) = edge.polygon_id;
            impl.adjacent( edge.polygon_id, edge.edge_id ) = polygon_edge.polygon_id;
        }
    }

    template < index_t dimension >
    void SurfaceMeshBuilder< dimension >::associate_polygon_vertex_to_vertex(
        const PolygonVertex& polygon_vertex, index_t vertex_id )
    {
        check_vertex( vertex_id, surface_.nb_vertices(),
            "associate_polygon_vertex_to_vertex" );
        check_polygon_local( *surface_.impl_, polygon_vertex.polygon_id,
            polygon_vertex.vertex_id, "associate_polygon_vertex_to_vertex" );
        surface_.impl_->polygon_around_vertex[vertex_id] = polygon_vertex;
    }

    template < index_t dimension >
    void SurfaceMeshBuilder< dimension >::disassociate_polygon_vertex_to_vertex(
        index_t vertex_id )
    {
        check_vertex( vertex_id, surface_.nb_vertices(),
            "disassociate_polygon_vertex_to_vertex" );
        surface_.impl_->polygon_around_vertex[vertex_id] = PolygonVertex{};
    }

    template < index_t dimension >
    void SurfaceMeshBuilder< dimension >::reset_polygons_around_vertex(
        index_t /*vertex_id*/ )
    {
    }

    template < index_t dimension >
    void SurfaceMeshBuilder< dimension >::replace_vertex(
        index_t old_vertex_id, index_t new_vertex_id )
    {
        if( old_vertex_id == new_vertex_id )
        {
            return;
        }
        auto& impl = *surface_.impl_;
        const auto corners = surface_.polygons_around_vertex( old_vertex_id );
        const auto start = impl.polygon_around_vertex[old_vertex_id];
        set_polygon_vertices( corners, new_vertex_id );
        impl.polygon_around_vertex[new_vertex_id] = start;
        impl.polygon_around_vertex[old_vertex_id] = PolygonVertex{};
    }

    template < index_t dimension >
    OldToNew SurfaceMeshBuilder< dimension >::delete_polygons(
        const std::vector< bool >& to_delete )
    {
        using Impl = typename SurfaceMesh< dimension >::Impl;
        auto& impl = *surface_.impl_;
        const auto nb_polygons = impl.nb_polygons();
        ORVANE_EXCEPTION( to_delete.size() == nb_polygons,
            "[SurfaceMeshBuilder::delete_polygons] Expected one flag per polygon, "
            "got ",
            to_delete.size(), " flags for ", nb_polygons, " polygons" );
        auto old2new = detail::mapping_after_deletion( to_delete );
        if( std::find( to_delete.begin(), to_delete.end(), true ) == to_delete.end() )
        {
            return old2new;
        }
        index_t kept{ 0 };
        for( index_t p = 0; p < nb_polygons; p++ )
        {
            if( to_delete[p] )
            {
                continue;
            }
            for( local_index_t v = 0; v < Impl::NB_POLYGON_VERTICES; v++ )
            {
                const auto adjacent = impl.adjacent( p, v );
                impl.vertex( kept, v ) = impl.vertex( p, v );
                impl.adjacent( kept, v ) =
                    adjacent < nb_polygons ? old2new[adjacent] : NO_ID;
            }
            kept++;
        }
        impl.polygons.resize( kept );
        impl.polygon_attributes.delete_elements( to_delete );

        // Renumber the associations; a vertex that lost its polygon goes to
        // the first remaining polygon that uses it.
        std::vector< bool > lost( surface_.nb_vertices(), false );
        bool any_lost{ false };
        for( index_t v = 0; v < surface_.nb_vertices(); v++ )
        {
            auto& stored = impl.polygon_around_vertex[v];
            if( stored.polygon_id == NO_ID )
            {
                continue;
            }
            const auto renumbered =
                stored.polygon_id < nb_polygons ? old2new[stored.polygon_id] : NO_ID;
            if( renumbered == NO_ID )
            {
                stored = PolygonVertex{};
                lost[v] = true;
                any_lost = true;
            }
            else
            {
                stored.polygon_id = renumbered;
            }
        }
        if( any_lost )
        {
            for( index_t p = 0; p < kept; p++ )
            {
                for( local_index_t v = 0; v < Impl::NB_POLYGON_VERTICES; v++ )
                {
                    const auto vertex = impl.vertex( p, v );
                    if( vertex < lost.size() && lost[vertex] )
                    {
                        impl.polygon_around_vertex[vertex] = { p, v };
                        lost[vertex] = false;
                    }
                }
            }
        }
        return old2new;
    }

    template < index_t dimension >
    OldToNew SurfaceMeshBuilder< dimension >::delete_isolated_vertices()
    {
        using Impl = typename SurfaceMesh< dimension >::Impl;
        auto& impl = *surface_.impl_;
        const auto nb_vertices = surface_.nb_vertices();
        // First use of each vertex, in polygon then local order.
        std::vector< PolygonVertex > first_use( nb_vertices );
        for( index_t p = 0; p < impl.nb_polygons(); p++ )
        {
            for( local_index_t v = 0; v < Impl::NB_POLYGON_VERTICES; v++ )
            {
                const auto vertex = impl.vertex( p, v );
                if( vertex < nb_vertices && first_use[vertex].polygon_id == NO_ID )
                {
                    first_use[vertex] = { p, v };
                }
            }
        }
        std::vector< bool > to_delete( nb_vertices, false );
        for( index_t v = 0; v < nb_vertices; v++ )
        {
            if( impl.has_valid_association( v ) )
            {
                continue;
            }
            if( first_use[v].polygon_id == NO_ID )
            {
                to_delete[v] = true;
            }
            else
            {
                impl.polygon_around_vertex[v] = first_use[v];
            }
        }
        return delete_vertices( to_delete );
    }

    template < index_t dimension >
    SurfaceEdgesBuilder< dimension > SurfaceMeshBuilder< dimension >::edges_builder()
    {
        auto& impl = *surface_.impl_;
        ORVANE_EXCEPTION( impl.edges != nullptr,
            "[SurfaceMeshBuilder::edges_builder] Edges should be enabled before "
            "editing them" );
        return EdgesBuilder{ *impl.edges,
            [&impl]( const Edges& table ) { return impl.used_edges( table ); } };
    }

    template < index_t dimension >
    void SurfaceMeshBuilder< dimension >::copy( const SurfaceMesh< dimension >& surface )
    {
        if( &surface == &surface_ )
        {
            return;
        }
        copy_vertex_set( surface );
        surface_.impl_->copy( *surface.impl_ );
    }

    template class SurfaceMeshBuilder< 2 >;
    template class SurfaceMeshBuilder< 3 >;
} // namespace orvane
