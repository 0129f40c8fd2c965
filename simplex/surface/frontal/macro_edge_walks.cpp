#include <algorithm>

#include <openorvane/basic/exception.hpp>

#include <simplex/surface/frontal/frontal_remesher_impl.hpp>

namespace
{
    [[noreturn]] void throw_not_two( std::size_t count )
    {
        throw orvane::OpenOrvaneException{
            "[FrontalRemesher::find_next_edge_on_macro_edge] Should have only "
            "two PolygonEdges on macro edge, found ",
            count
        };
    }
} // namespace

namespace orvane::internal
{
    template < index_t dimension >
    std::vector< index_t > FrontalRemesher< dimension >::Impl::open_elements_on_edge(
        const PolygonEdge& edge ) const
    {
        std::vector< index_t > open;
        for( const auto id : edge_info->value( edge.polygon_id )[edge.edge_id] )
        {
            if( is_open_element( id ) )
            {
                open.push_back( id );
            }
        }
        return open;
    }

    template < index_t dimension >
    std::vector< index_t >
        FrontalRemesher< dimension >::Impl::open_elements_on_macro_edge(
            const PolygonEdge& edge ) const
    {
        auto open = open_elements_on_edge( edge );
        if( const auto twin = macro.polygon_adjacent_edge( edge ) )
        {
            const auto other = open_elements_on_edge( *twin );
            open.insert( open.end(), other.begin(), other.end() );
        }
        std::sort( open.begin(), open.end() );
        open.erase( std::unique( open.begin(), open.end() ), open.end() );
        return open;
    }

    template < index_t dimension >
    index_t FrontalRemesher< dimension >::Impl::element_on_polygon_edge(
        const PolygonEdge& edge )
    {
        return element_on_polygon_edge( edge, macro.polygon_adjacent( edge ) );
    }

    template < index_t dimension >
    index_t FrontalRemesher< dimension >::Impl::element_among_open_ids(
        const PolygonEdge& edge )
    {
        const auto& listed = edge_info->value( edge.polygon_id )[edge.edge_id];
        absl::InlinedVector< index_t, 4 > open;
        for( const auto id : listed )
        {
            if( is_open_element( id ) )
            {
                open.push_back( id );
            }
        }
        index_t best{ NO_ID };
        for( const auto id : open )
        {
            if( id >= element_triangles.size() )
            {
                best = std::min( best, id );
                continue;
            }
            const auto ends = element_vertices( id );
            MacroEdgeStep step{ edge, PolygonVertex{ edge.polygon_id, edge.edge_id },
                true };
            // The walk visits each macro edge of the path at most once.
            for( index_t guard = 0; guard <= element_triangles.size() + macro.nb_polygons() * 3;
                 guard++ )
            {
                const auto destination = step_destination( macro, step );
                if( vertex_info->value( destination ) != NO_ID
                    || destination == ends.first || destination == ends.second )
                {
                    break;
                }
                const auto steps = element_edges_around_vertex( id, destination );
                if( steps.size() != 2 )
                {
                    throw_not_two( steps.size() );
                }
                const auto origin = step_origin( macro, step );
                step = step_destination( macro, steps.front() ) == origin
                           ? steps.back()
                           : steps.front();
            }
            if( step_destination( macro, step ) == ends.second )
            {
                best = std::min( best, id );
            }
        }
        return best;
    }

    template < index_t dimension >
    typename FrontalRemesher< dimension >::Impl::Steps
        FrontalRemesher< dimension >::Impl::element_edges_around_vertex(
            index_t element, index_t vertex ) const
    {
        Steps steps;
        const auto fan = macro.polygons_around_vertex( vertex );
        prefetch_fan_records( fan );
        for( const auto& corner : fan )
        {
            // Both edges of the corner are read from one record; the edge
            // arriving at the corner is the previous local edge.
            const auto& lists = edge_info->value( corner.polygon_id );
            if( lists.contains( corner.vertex_id, element ) )
            {
                steps.push_back(
                    { PolygonEdge{ corner.polygon_id, corner.vertex_id }, corner,
                        true } );
            }
            const auto previous =
                static_cast< local_index_t >( ( corner.vertex_id + 2 ) % 3 );
            if( lists.contains( previous, element ) )
            {
                steps.push_back( { PolygonEdge{ corner.polygon_id, previous },
                    PolygonVertex{ corner.polygon_id, previous }, false } );
            }
        }
        return steps;
    }

    template < index_t dimension >
    std::optional< MacroEdgeStep >
        FrontalRemesher< dimension >::Impl::find_next_edge_on_macro_edge(
            const MacroEdgeStep& step, index_t element )
    {
        std::optional< std::pair< index_t, index_t > > ends;
        if( element < element_vertices_.size() )
        {
            ends = element_vertices( element );
        }
        return next_path_step( step, element, ends );
    }

    template < index_t dimension >
    std::optional< MacroEdgeStep >
        FrontalRemesher< dimension >::Impl::next_path_step( const MacroEdgeStep& step,
            index_t element,
            const std::optional< std::pair< index_t, index_t > >& ends ) const
    {
        const auto destination = step_destination( macro, step );
        if( ends && ( destination == ends->first || destination == ends->second ) )
        {
            return std::nullopt;
        }
        const auto steps = element_edges_around_vertex( element, destination );
        if( steps.size() != 2 )
        {
            throw_not_two( steps.size() );
        }
        if( step_destination( macro, steps.front() ) == step_origin( macro, step ) )
        {
            return steps.back();
        }
        return steps.front();
    }

    template < index_t dimension >
    typename FrontalRemesher< dimension >::Impl::MacroEdgePath
        FrontalRemesher< dimension >::Impl::macro_edge_path(
        index_t a, index_t b, index_t element )
    {
        MacroEdgePath path;
        visit_macro_edge_path( a, b, element, [&]( const MacroEdgeStep& step ) {
            path.push_back( step );
            return false;
        } );
        return path;
    }

    template < index_t dimension >
    bool FrontalRemesher< dimension >::Impl::visit_macro_edge_path( index_t a,
        index_t b,
        index_t element,
        absl::FunctionRef< bool( const MacroEdgeStep& ) > visit )
    {
        const auto first = element_edges_around_vertex( element, a );
        if( first.size() != 1 )
        {
            throw OpenOrvaneException{ "[find_first_edge] Should find one edge, found ",
                first.size() };
        }
        // Nothing is edited during the walk: the element's ends are read
        // through the vertex map once.
        std::optional< std::pair< index_t, index_t > > ends;
        if( element < element_vertices_.size() )
        {
            ends = element_vertices( element );
        }
        auto step = first.front();
        if( visit( step ) )
        {
            return true;
        }
        while( step_destination( macro, step ) != b )
        {
            step = next_path_step( step, element, ends ).value();
            if( visit( step ) )
            {
                return true;
            }
        }
        return false;
    }

    template class FrontalRemesher< 2 >::Impl;
    template class FrontalRemesher< 3 >::Impl;
} // namespace orvane::internal
