#include <algorithm>
#include <ranges>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>

#include <common/modifier/triangulated_surface_modifier_impl.hpp>

namespace orvane
{
    template < index_t dimension >
    typename TriangulatedSurfaceModifier< dimension >::Impl::CollapseSide
        TriangulatedSurfaceModifier< dimension >::Impl::collapse_side(
            const PolygonEdge& edge ) const
    {
        CollapseSide side;
        side.edge = edge;
        side.next = mesh_.next_polygon_edge( edge );
        side.previous = mesh_.previous_polygon_edge( edge );
        side.next_adjacent = mesh_.polygon_adjacent_edge( side.next );
        side.previous_adjacent = mesh_.polygon_adjacent_edge( side.previous );
        return side;
    }

    template < index_t dimension >
    typename TriangulatedSurfaceModifier< dimension >::Impl::CollapseContext
        TriangulatedSurfaceModifier< dimension >::Impl::collapse_context(
            const PolygonEdge& edge ) const
    {
        CollapseContext context;
        const auto vertices = mesh_.polygon_edge_vertices( edge );
        context.vertices = { vertices[0], vertices[1] };
        // The other two vertices of each corner's triangle, read by the fan
        // walks, give the ends' links.
        std::array< CornersSides, 2 > sides;
        for( const auto end : { 0, 1 } )
        {
            context.polygons_around[end] =
                mesh_.polygons_around_vertex( context.vertices[end], sides[end] );
        }
        context.side = collapse_side( edge );
        if( const auto adjacent = mesh_.polygon_adjacent_edge( edge ) )
        {
            context.adjacent_side = collapse_side( adjacent.value() );
        }
        if( !mesh_.are_edges_enabled() )
        {
            return context;
        }
        // Room for every corner's two other vertices: each end's link is
        // written in place, then the list is cut to the links' length.
        auto& link_vertices = context.link_vertices;
        link_vertices.resize( 2
                              * ( context.polygons_around[0].size()
                                  + context.polygons_around[1].size() ) );
        auto* const links_start = link_vertices.data();
        auto* last = links_start;
        for( const auto end : { 0, 1 } )
        {
            const auto other_end = context.vertices[1 - end];
            // The link is kept sorted and free of repeats as it is filled:
            // each of its few vertices comes once or twice. A vertex goes
            // after the last kept one not above it, unless that one is the
            // vertex itself.
            auto* const first = last;
            const auto insert = [first, &last]( index_t vertex ) {
                auto* place = last;
                while( place != first && *( place - 1 ) > vertex )
                {
                    place--;
                }
                if( place != first && *( place - 1 ) == vertex )
                {
                    return;
                }
                for( auto* moved = last; moved != place; moved-- )
                {
                    *moved = *( moved - 1 );
                }
                *place = vertex;
                last++;
            };
            for( const auto& side : sides[end] )
            {
                // The corner's next vertex, then its previous one.
                for( const auto vertex : { side.next, side.previous } )
                {
                    if( vertex != other_end )
                    {
                        insert( vertex );
                    }
                }
            }
            context.link_starts[end + 1] =
                static_cast< std::size_t >( last - links_start );
        }
        const auto nb_links = context.link_starts[2];
        link_vertices.resize( nb_links );
        // Every old edge of the ends must be in the table: look them all up
        // together now, before the surface changes, and the collapsed edge
        // last.
        const auto& edges = mesh_.edges();
        absl::InlinedVector< EdgeVertices, 32 > pairs( nb_links + 1 );
        // The new vertex, the next one created, gets an edge to each link
        // vertex: start loading their place in the table now, so that those
        // misses overlap with the lookups below.
        absl::InlinedVector< EdgeVertices, 32 > created( nb_links );
        const auto new_vertex = mesh_.nb_vertices();
        for( const auto end : { 0, 1 } )
        {
            for( auto i = context.link_starts[end]; i < context.link_starts[end + 1]; i++ )
            {
                pairs[i] = { context.vertices[end], link_vertices[i] };
                created[i] = { new_vertex, link_vertices[i] };
            }
        }
        edges.prefetch_edges( created );
        pairs[nb_links] = { context.vertices[0], context.vertices[1] };
        auto& found = context.link_edge_ids;
        found.resize( nb_links + 1 );
        edges.edges_from_vertices( pairs, absl::MakeSpan( found ) );
        context.collapsed_edge = found.back();
        found.pop_back();
        for( const auto end : { 0, 1 } )
        {
            for( auto i = context.link_starts[end]; i < context.link_starts[end + 1]; i++ )
            {
                if( found[i] == NO_ID )
                {
                    throw OpenOrvaneException{
                        "[TriangulatedSurfaceModifier::collapse_edge] The edge "
                        "table holds no edge between vertices ",
                        context.vertices[end], " and ", link_vertices[i]
                    };
                }
            }
        }
        return context;
    }

    template < index_t dimension >
    void TriangulatedSurfaceModifier< dimension >::Impl::deactivate_collapsed_edge(
        const CollapseContext& context )
    {
        if( context.collapsed_edge != NO_ID )
        {
            set_edge_active( context.collapsed_edge, false );
        }
    }

    template < index_t dimension >
    void TriangulatedSurfaceModifier< dimension >::Impl::close_hole(
        const CollapseSide& side, const std::optional< CollapseSide >& other )
    {
        const auto apex = mesh_.polygon_edge_vertex( side.next, 1 );
        const auto other_polygon = other ? other->edge.polygon_id : NO_ID;
        builder_.disassociate_polygon_vertex_to_vertex( apex );
        const auto& next_adjacent = side.next_adjacent;
        const auto& previous_adjacent = side.previous_adjacent;
        if( next_adjacent && previous_adjacent )
        {
            // The polygon edge gets the neighbour as adjacent or, when the
            // neighbour is the other collapsed triangle, the triangle beyond
            // it (none when `beyond` is empty).
            const auto link_across = [this, other_polygon](
                                         const PolygonEdge& polygon_edge,
                                         index_t neighbour,
                                         const std::optional< PolygonEdge >& beyond ) {
                if( neighbour != other_polygon )
                {
                    builder_.set_polygon_adjacent( polygon_edge, neighbour );
                }
                else if( beyond )
                {
                    builder_.set_polygon_adjacent( polygon_edge, beyond->polygon_id );
                }
                else
                {
                    builder_.unset_polygon_adjacent( polygon_edge );
                }
            };
            const std::optional< PolygonEdge > none;
            link_across( next_adjacent.value(), previous_adjacent->polygon_id,
                other ? other->previous_adjacent : none );
            link_across( previous_adjacent.value(), next_adjacent->polygon_id,
                other ? other->next_adjacent : none );
            builder_.associate_polygon_vertex_to_vertex(
                PolygonVertex{ mesh_.next_polygon_edge( previous_adjacent.value() ) },
                apex );
            builder_.associate_polygon_vertex_to_vertex(
                PolygonVertex{ next_adjacent.value() }, apex );
        }
        else if( next_adjacent )
        {
            builder_.unset_polygon_adjacent( next_adjacent.value() );
            builder_.associate_polygon_vertex_to_vertex(
                PolygonVertex{ next_adjacent.value() }, apex );
        }
        else if( previous_adjacent )
        {
            builder_.unset_polygon_adjacent( previous_adjacent.value() );
            builder_.associate_polygon_vertex_to_vertex(
                PolygonVertex{ mesh_.next_polygon_edge( previous_adjacent.value() ) },
                apex );
        }
    }

    template < index_t dimension >
    template < typename Info >
    void TriangulatedSurfaceModifier< dimension >::Impl::collapse_polygons(
        const CollapseContext& context, index_t new_vertex, Info& info )
    {
        const auto polygon = context.side.edge.polygon_id;
        const auto adjacent_polygon =
            context.adjacent_side ? context.adjacent_side->edge.polygon_id : NO_ID;
        // Both ends' corners move together, so that the builder registers
        // each new edge once.
        absl::InlinedVector< PolygonVertex, 20 > moved;
        info.moved_polygon_vertices.reserve( context.polygons_around[0].size()
                                             + context.polygons_around[1].size() );
        for( const auto end : { 0, 1 } )
        {
            builder_.disassociate_polygon_vertex_to_vertex( context.vertices[end] );
            for( const auto& corner : context.polygons_around[end] )
            {
                if( corner.polygon_id == polygon
                    || corner.polygon_id == adjacent_polygon )
                {
                    continue;
                }
                moved.push_back( corner );
                info.moved_polygon_vertices.push_back( corner );
            }
        }
        builder_.set_polygon_vertices( moved, new_vertex );
        close_hole( context.side, context.adjacent_side );
        if( context.adjacent_side )
        {
            close_hole( context.adjacent_side.value(),
                std::optional< CollapseSide >{ context.side } );
        }
        deactivate_polygon( polygon );
        info.removed_polygons.push_back( polygon );
        if( context.adjacent_side )
        {
            deactivate_polygon( adjacent_polygon );
            info.removed_polygons.push_back( adjacent_polygon );
        }
        info.new_vertex = new_vertex;
        info.merged_vertices = { context.vertices[0], context.vertices[1] };
    }

    template < index_t dimension >
    void TriangulatedSurfaceModifier< dimension >::Impl::update_collapsed_edges(
        const CollapseContext& context, index_t new_vertex )
    {
        if( !mesh_.are_edges_enabled() )
        {
            return;
        }
        const auto copy_attributes = has_assignable_edge_attributes();
        auto& manager = mesh_.edges().edge_attribute_manager();
        auto& flags = edge_flags();
        for( const auto end : { 0, 1 } )
        {
            const auto links = context.links( end );
            const auto link_edges = context.link_edges( end );
            for( const auto i : std::views::iota( std::size_t{ 0 }, links.size() ) )
            {
                const auto vertex = links[i];
                const auto old_edge = link_edges[i];
                flags.set_active( old_edge, false );
                if( !copy_attributes )
                {
                    continue;
                }
                // The edge to an apex whose triangle had no neighbour left
                // vanishes with the collapse: there is nothing to copy to.
                if( const auto new_edge = mesh_.edges().edge_from_vertices(
                        { new_vertex, vertex } ) )
                {
                    manager.assign_attribute_value( old_edge, new_edge.value() );
                }
            }
        }
    }

    template < index_t dimension >
    SurfaceCollapsePolygonEdgeInfo
        TriangulatedSurfaceModifier< dimension >::Impl::collapse_edge(
            VerticesModifier& modifier,
            const PolygonEdge& edge,
            const Point< dimension >& point )
    {
        const auto context = collapse_context( edge );
        const auto new_vertex = builder_.create_point( point );
        interpolate_on_segment(
            new_vertex, context.vertices[0], context.vertices[1] );
        deactivate_collapsed_edge( context );

        SurfaceCollapsePolygonEdgeInfo info;
        collapse_polygons( context, new_vertex, info );

        const auto add_merge = [&info]( const std::optional< PolygonEdge >& kept,
                                   const PolygonEdge& merged ) {
            if( kept )
            {
                info.edges.push_back( { kept.value(), { kept.value(), merged } } );
            }
        };
        const auto& side = context.side;
        add_merge( side.next_adjacent, side.previous );
        add_merge( side.previous_adjacent, side.next );
        if( const auto& other = context.adjacent_side )
        {
            add_merge( other->next_adjacent, other->previous );
            add_merge( other->previous_adjacent, other->next );
        }

        update_collapsed_edges( context, new_vertex );
        modifier.update_vertex_map( info );
        return info;
    }

    template < index_t dimension >
    SurfaceCollapseEdgeInfo
        TriangulatedSurfaceModifier< dimension >::Impl::collapse_edge(
            VerticesModifier& modifier,
            index_t edge,
            const Point< dimension >& point )
    {
        constexpr auto message = "[TriangulatedSurfaceModifier::collapse_edge]";
        if( !mesh_.are_edges_enabled() )
        {
            throw OpenOrvaneException{ message,
                " Edges should be enabled to collapse an edge given by its "
                "index" };
        }
        const auto& edges = mesh_.edges();
        const auto vertices = edges.edge_vertices( edge );
        auto polygon_edge =
            mesh_.polygon_edge_from_vertices( vertices[0], vertices[1] );
        if( !polygon_edge )
        {
            polygon_edge =
                mesh_.polygon_edge_from_vertices( vertices[1], vertices[0] );
        }
        if( !polygon_edge )
        {
            // Checked before the new vertex is created, so that the surface
            // is left unchanged.
            throw OpenOrvaneException{ message, " No polygon edge joins vertices ",
                vertices[0], " and ", vertices[1], " of edge ", edge };
        }
        const auto context = collapse_context( polygon_edge.value() );
        const auto new_vertex = builder_.create_point( point );
        interpolate_on_segment( new_vertex, vertices[0], vertices[1] );
        deactivate_collapsed_edge( context );

        SurfaceCollapseEdgeInfo info;
        collapse_polygons( context, new_vertex, info );

        info.edges.reserve( context.link_vertices.size() );
        for( const auto end : { 0, 1 } )
        {
            const auto links = context.links( end );
            const auto link_edges = context.link_edges( end );
            for( const auto i : std::views::iota( std::size_t{ 0 }, links.size() ) )
            {
                const auto old_edge = link_edges[i];
                const auto new_edge =
                    edges.edge_from_vertices( { new_vertex, links[i] } );
                if( !new_edge )
                {
                    continue;
                }
                const auto found = std::find_if( info.edges.begin(),
                    info.edges.end(), [&new_edge]( const EdgeMerge& merge ) {
                        return merge.new_edge == new_edge.value();
                    } );
                if( found != info.edges.end() )
                {
                    found->old_edges.push_back( old_edge );
                }
                else
                {
                    info.edges.push_back( { new_edge.value(), { old_edge } } );
                }
            }
        }

        update_collapsed_edges( context, new_vertex );
        modifier.update_vertex_map( info );
        return info;
    }

    template SurfaceCollapsePolygonEdgeInfo
        TriangulatedSurfaceModifier< 2 >::Impl::collapse_edge(
            VerticesModifier&, const PolygonEdge&, const Point< 2 >& );
    template SurfaceCollapsePolygonEdgeInfo
        TriangulatedSurfaceModifier< 3 >::Impl::collapse_edge(
            VerticesModifier&, const PolygonEdge&, const Point< 3 >& );
    template SurfaceCollapseEdgeInfo
        TriangulatedSurfaceModifier< 2 >::Impl::collapse_edge(
            VerticesModifier&, index_t, const Point< 2 >& );
    template SurfaceCollapseEdgeInfo
        TriangulatedSurfaceModifier< 3 >::Impl::collapse_edge(
            VerticesModifier&, index_t, const Point< 3 >& );
} // namespace orvane
