#include <algorithm>

#include <openorvane/basic/exception.hpp>

#include <simplex/metric/metric.hpp>
#include <simplex/surface/frontal/frontal_remesher_impl.hpp>

namespace
{
    /// The most polygon edges one border stretch may hold.
    constexpr orvane::index_t MAX_BORDER_STRETCH = 10000;

    /// The element ids around a vertex, gathered on the stack.
    using ElementIds = absl::InlinedVector< orvane::index_t, 16 >;

    template < typename Impl >
    ElementIds gather_elements_around( const Impl& impl, orvane::index_t vertex )
    {
        ElementIds ids;
        impl.visit_elements_around_vertex( vertex, [&ids]( orvane::index_t element ) {
            ids.push_back( element );
            return false;
        } );
        return ids;
    }

    /// common_element's rule on gathered ids: the first id around b that
    /// also occurs around a.
    std::optional< orvane::index_t > first_common(
        const ElementIds& around_a, const ElementIds& around_b )
    {
        for( const auto element : around_b )
        {
            if( std::find( around_a.begin(), around_a.end(), element )
                != around_a.end() )
            {
                return element;
            }
        }
        return std::nullopt;
    }
} // namespace

namespace orvane::internal
{
    template < index_t dimension >
    index_t FrontalRemesher< dimension >::Impl::add_queue_element(
        index_t v0, index_t v1, index_t first_triangle, index_t kind )
    {
        output_vertex( v0, false );
        output_vertex( v1, false );
        const auto id = static_cast< index_t >( element_vertices_.size() );
        front.emplace( macro, *output().metric, v0, v1, kind, id );
        element_vertices_.emplace_back( v0, v1 );
        element_triangles.emplace_back( first_triangle, NO_ID );
        if( element_vertices_.size() != element_triangles.size() )
        {
            throw OpenOrvaneException{
                "[Frontal::add_queue_element] Database just broke"
            };
        }
        return id;
    }

    template < index_t dimension >
    void FrontalRemesher< dimension >::Impl::initialize_queue()
    {
        const auto nb_polygons = macro.nb_polygons();
        for( index_t p = 0; p < nb_polygons; p++ )
        {
            if( !modifier->is_polygon_active( p ) )
            {
                continue;
            }
            for( local_index_t e = 0; e < 3; e++ )
            {
                const PolygonEdge start_edge{ p, e };
                const auto begin = macro.polygon_edge_vertex( start_edge, 0 );
                if( !macro.is_edge_on_border( start_edge )
                    || vertex_info->value( begin ) == NO_ID )
                {
                    continue;
                }
                const auto id = static_cast< index_t >( element_vertices_.size() );
                auto edge = start_edge;
                index_t nb_edges{ 0 };
                index_t end{ NO_ID };
                while( true )
                {
                    add_edge_element( edge, id );
                    if( ++nb_edges > MAX_BORDER_STRETCH )
                    {
                        throw OpenOrvaneException{
                            "[Frontal::initialize_queue] macro edge too long"
                        };
                    }
                    edge = macro.next_on_border( edge ).value();
                    end = macro.polygon_edge_vertex( edge, 0 );
                    if( vertex_info->value( end ) != NO_ID )
                    {
                        break;
                    }
                }
                add_queue_element( begin, end, NO_ID, 0 );
            }
        }
        if( !front.empty() )
        {
            return;
        }
        index_t seed{ NO_ID };
        for( index_t p = 0; p < nb_polygons; p++ )
        {
            if( modifier->is_polygon_active( p ) )
            {
                seed = p;
                break;
            }
        }
        if( seed == NO_ID )
        {
            return;
        }
        const auto vertices = macro.polygon_vertices( seed );
        std::array< index_t, 3 > outputs;
        for( local_index_t v = 0; v < 3; v++ )
        {
            outputs[v] = output_vertex( vertices[v], false );
        }
        const auto triangle = output().builder->create_triangle( outputs );
        triangle_info->set_value( seed, triangle );
        add_queue_element( vertices[1], vertices[0], triangle, 1 );
        add_queue_element( vertices[2], vertices[1], triangle, 1 );
        add_queue_element( vertices[0], vertices[2], triangle, 1 );
        // Edge k of the seed runs from vertex k to vertex k + 1 and carries
        // the element running back along it.
        edge_info->modify_value( seed, []( FrontalEdgeInfo& info ) {
            for( index_t k = 0; k < 3; k++ )
            {
                info[k].assign( 1, k );
            }
        } );
    }

    template < index_t dimension >
    void FrontalRemesher< dimension >::Impl::update_macro_edge_info(
        const MacroEdgeInfo& info, index_t triangle, index_t start, index_t end )
    {
        if( info.new_element )
        {
            if( add_queue_element( start, end, triangle, 1 ) != info.element )
            {
                throw OpenOrvaneException{
                    "[Frontal::update_macro_edge_info] Wrong macro edge id"
                };
            }
            return;
        }
        auto& second = element_triangles.at( info.element ).second;
        if( second != NO_ID )
        {
            throw OpenOrvaneException{
                "[update_macro_edge_info] adjacency second already set"
            };
        }
        second = triangle;
        set_element_adjacency( start, end, triangle, info.element );
    }

    template < index_t dimension >
    index_t FrontalRemesher< dimension >::Impl::set_element_adjacency(
        index_t a, index_t b, index_t triangle, index_t element )
    {
        const auto first = element_triangles.at( element ).first;
        if( first == NO_ID )
        {
            return NO_ID;
        }
        const auto oa = vertex_info->value( a );
        const auto ob = vertex_info->value( b );
        if( oa == NO_ID || ob == NO_ID )
        {
            throw OpenOrvaneException{ "Macro vertex info not correctly tranfered" };
        }
        const auto& mesh = *output().mesh;
        auto& out_builder = *output().builder;
        const auto link = [&]( index_t polygon, index_t from, index_t to,
                              index_t neighbour, const char* message ) {
            for( local_index_t k = 0; k < 3; k++ )
            {
                const PolygonVertex corner{ polygon, k };
                if( mesh.polygon_vertex( corner ) == from
                    && mesh.polygon_vertex( mesh.next_polygon_vertex( corner ) )
                           == to )
                {
                    out_builder.set_polygon_adjacent( { polygon, k }, neighbour );
                    return;
                }
            }
            throw OpenOrvaneException{ message };
        };
        link( triangle, ob, oa, first, "first adjacency not set" );
        link( first, oa, ob, triangle, "second adjacency not set" );
        return first;
    }

    template < index_t dimension >
    std::vector< index_t >
        FrontalRemesher< dimension >::Impl::elements_around_vertex(
            index_t vertex ) const
    {
        const auto ids = gather_elements_around( *this, vertex );
        return { ids.begin(), ids.end() };
    }

    template < index_t dimension >
    std::optional< index_t > FrontalRemesher< dimension >::Impl::common_element(
        index_t a, index_t b ) const
    {
        // Asked for both sides of every triangle tried: the ids around a
        // stay on the stack, and those around b are not gathered at all.
        const auto around_a = gather_elements_around( *this, a );
        if( around_a.empty() )
        {
            return std::nullopt;
        }
        std::optional< index_t > common;
        visit_elements_around_vertex( b, [&]( index_t element ) {
            if( std::find( around_a.begin(), around_a.end(), element )
                == around_a.end() )
            {
                return false;
            }
            common = element;
            return true;
        } );
        return common;
    }

    template < index_t dimension >
    std::optional< index_t > FrontalRemesher< dimension >::Impl::find_element(
        index_t a, index_t b )
    {
        return element_running( common_element( a, b ), a, b );
    }

    template < index_t dimension >
    std::optional< index_t > FrontalRemesher< dimension >::Impl::element_running(
        std::optional< index_t > element, index_t a, index_t b )
    {
        // An id reserved for a side still being settled has no vertices yet.
        if( !element || *element >= element_vertices_.size() )
        {
            return std::nullopt;
        }
        if( element_vertices( *element ) == std::make_pair( a, b ) )
        {
            return element;
        }
        return std::nullopt;
    }

    template < index_t dimension >
    std::pair< std::optional< index_t >, std::optional< index_t > >
        FrontalRemesher< dimension >::Impl::find_elements_between(
            index_t a, index_t b )
    {
        // The ids around each vertex are gathered once for both questions.
        const auto around_a = gather_elements_around( *this, a );
        const auto around_b = gather_elements_around( *this, b );
        return { element_running( first_common( around_b, around_a ), b, a ),
            element_running( first_common( around_a, around_b ), a, b ) };
    }

    template < index_t dimension >
    void FrontalRemesher< dimension >::Impl::add_edge_element(
        const PolygonEdge& edge, index_t element )
    {
        edge_info->modify_value( edge.polygon_id, [&]( FrontalEdgeInfo& info ) {
            info[edge.edge_id].push_back( element );
        } );
    }

    template < index_t dimension >
    void FrontalRemesher< dimension >::Impl::add_element_to_edges(
        absl::Span< const PolygonEdge > edges, index_t element )
    {
        for( const auto& edge : edges )
        {
            add_edge_element( edge, element );
        }
    }

    template < index_t dimension >
    void FrontalRemesher< dimension >::Impl::copy_edge_elements(
        const PolygonEdge& to, const PolygonEdge& from )
    {
        if( from.polygon_id == NO_ID || from == to )
        {
            return;
        }
        // Both edges may belong to one polygon: the insertion copies the
        // ids before it edits the record.
        const auto ids = edge_info->value( from.polygon_id )[from.edge_id];
        edge_info->modify_value( to.polygon_id, [&]( FrontalEdgeInfo& info ) {
            auto list = info[to.edge_id];
            list.insert( list.end(), ids.begin(), ids.end() );
        } );
    }

    template < index_t dimension >
    void FrontalRemesher< dimension >::Impl::remove_macro_edge_element(
        const MacroEdgeInfo& info )
    {
        for( const auto& step : macro_edge_path( info.v0, info.v1, info.element ) )
        {
            edge_info->modify_value(
                step.edge.polygon_id, [&]( FrontalEdgeInfo& lists ) {
                    auto list = lists[step.edge.edge_id];
                    const auto found =
                        std::find( list.begin(), list.end(), info.element );
                    if( found != list.end() )
                    {
                        list.erase( found );
                    }
                } );
        }
    }

    template class FrontalRemesher< 2 >::Impl;
    template class FrontalRemesher< 3 >::Impl;
} // namespace orvane::internal
