#include <limits>

#include <openorvane/geometry/distance.hpp>

#include <common/modifier/triangle_preview.hpp>

#include <simplex/surface/frontal/frontal_remesher_impl.hpp>

namespace orvane::internal
{
    template < index_t dimension >
    std::optional< MacroEdgeInfo >
        FrontalRemesher< dimension >::Impl::process_macro_edge( index_t a,
            index_t b,
            index_t reserved_id,
            double tolerance,
            FrontEdgeMidpoint< dimension >& midpoint,
            const FrontalQueueElement< dimension >& element )
    {
        const auto [reverse, same_way] = find_elements_between( a, b );
        if( reverse )
        {
            if( element_triangles.at( *reverse ).second != NO_ID )
            {
                return std::nullopt;
            }
            return existing_macro_edge_info( a, b, *reverse );
        }
        if( same_way )
        {
            return std::nullopt;
        }
        const auto path = owner->find_macro_path( element, a, b );
        if( !path )
        {
            return std::nullopt;
        }
        auto plan = macro_edge_cuts( a, b, *path, tolerance );
        if( !plan )
        {
            return std::nullopt;
        }
        if( plan->off_segment.empty() )
        {
            SurfaceCutAlongPathResult cut;
            try
            {
                SurfaceCutAlongPath< dimension > cutter{ macro, *modifier, a, b,
                    plan->cuts };
                cut = cutter.cut_along_path();
            }
            catch( const SurfaceCutPathException< dimension >& exception )
            {
                if( !exception.degenerate_edges.empty() )
                {
                    throw;
                }
                // Only refused splits: the cuts made stay, with the output
                // vertices and element lists carried over, but the side
                // does not follow the straight way and is given up.
                new_macro_edge_info( a, b, reserved_id, exception.result );
                return std::nullopt;
            }
            auto info = new_macro_edge_info( a, b, reserved_id, cut );
            add_element_to_edges( info.path_edges, reserved_id );
            add_element_to_edges( info.border_edges, reserved_id );
            return info;
        }

        // The side strays from the straight way: propose the straying cut
        // nearest to the side's middle as the apex, each proposal nearer to
        // the element's middle than the previous one.
        const auto middle = ( macro.point( a ) + macro.point( b ) ) / 2.;
        std::optional< index_t > best;
        double best_distance{ std::numeric_limits< double >::max() };
        for( const auto k : plan->off_segment )
        {
            const auto& cut = plan->cuts[k];
            if( cut.vertex != NO_ID )
            {
                if( macro.is_vertex_on_border( cut.vertex ) )
                {
                    continue;
                }
                bool touches_covered{ false };
                for( const auto& corner : macro.polygons_around_vertex( cut.vertex ) )
                {
                    if( is_covered( corner.polygon_id ) )
                    {
                        touches_covered = true;
                        break;
                    }
                }
                if( touches_covered )
                {
                    continue;
                }
            }
            else if( macro.is_edge_on_border( cut.edge ) )
            {
                continue;
            }
            const auto& point =
                cut.vertex != NO_ID ? macro.point( cut.vertex ) : cut.point;
            if( point_point_distance( point, midpoint.point ) >= midpoint.nearest )
            {
                continue;
            }
            if( point_point_distance( point, element.p0 ) < tolerance
                || point_point_distance( point, element.p1 ) < tolerance
                || near_front_vertex( cut, point, tolerance ) )
            {
                continue;
            }
            const auto distance = point_point_distance( point, middle );
            if( distance < best_distance )
            {
                best_distance = distance;
                best = k;
            }
        }
        if( !best )
        {
            return std::nullopt;
        }
        const auto& cut = plan->cuts[*best];
        const auto& best_point =
            cut.vertex != NO_ID ? macro.point( cut.vertex ) : cut.point;
        midpoint.nearest = point_point_distance( best_point, midpoint.point );
        MacroEdgeInfo proposal;
        if( cut.vertex != NO_ID )
        {
            proposal.apex_vertex = cut.vertex;
            return proposal;
        }
        const auto split = modifier->split_edge( cut.edge, cut.point );
        if( split.kind == SurfaceEpsilonSplitEdgeKind::first_vertex )
        {
            proposal.apex_vertex = macro.polygon_edge_vertex( cut.edge, 0 );
            return proposal;
        }
        if( split.kind == SurfaceEpsilonSplitEdgeKind::second_vertex )
        {
            proposal.apex_vertex = macro.polygon_edge_vertex( cut.edge, 1 );
            return proposal;
        }
        for( const auto& half : split.info.halves )
        {
            for( const auto& origin : half.split_edges )
            {
                copy_edge_elements( origin.new_edge, origin.old_edge );
            }
            for( const auto& origin : half.outer_edges )
            {
                copy_edge_elements( origin.new_edge, origin.old_edge );
            }
        }
        proposal.apex_vertex = split.info.new_vertex;
        return proposal;
    }

    template < index_t dimension >
    bool FrontalRemesher< dimension >::Impl::near_front_vertex(
        const SurfaceCut< dimension >& cut,
        const Point< dimension >& point,
        double tolerance ) const
    {
        // A front vertex within the tolerance of the proposed apex would leave
        // two front vertices a hair apart, and the front would later lay ever
        // smaller triangles to join them. The nearest front vertex of a cut
        // is an end of its edge, or a neighbour of the vertex it falls on.
        const auto too_close = [&]( index_t vertex ) {
            return vertex_info->value( vertex ) != NO_ID
                   && point_point_distance( macro.point( vertex ), point ) < tolerance;
        };
        if( cut.vertex == NO_ID )
        {
            if( cut.edge.polygon_id == NO_ID )
            {
                return false;
            }
            const auto ends = macro.polygon_edge_vertices( cut.edge );
            return too_close( ends[0] ) || too_close( ends[1] );
        }
        for( const auto& corner : macro.polygons_around_vertex( cut.vertex ) )
        {
            for( const auto vertex : macro.polygon_vertices( corner.polygon_id ) )
            {
                if( vertex != cut.vertex && too_close( vertex ) )
                {
                    return true;
                }
            }
        }
        return false;
    }

    template < index_t dimension >
    std::optional< MacroEdgeCutPlan< dimension > >
        FrontalRemesher< dimension >::Impl::macro_edge_cuts( index_t a,
            index_t b,
            absl::Span< const SurfacePathCrossing > path,
            double tolerance )
    {
        MacroEdgeCutPlan< dimension > plan;
        plan.cuts = owner->determine_cuts( a, b, path );
        for( const auto& cut : plan.cuts )
        {
            auto touched = cut.vertex;
            if( touched == NO_ID && cut.edge.polygon_id != NO_ID )
            {
                if( const auto local = detail::polygon_vertex_at_point(
                        macro, cut.edge.polygon_id, cut.point ) )
                {
                    touched = macro.polygon_vertex( { cut.edge.polygon_id, *local } );
                }
            }
            if( touched != NO_ID && touched != a && touched != b
                && vertex_info->value( touched ) != NO_ID )
            {
                return std::nullopt;
            }
        }
        plan.off_segment = owner->crossings_off_segment( a, b, plan.cuts, tolerance );
        return plan;
    }

    template < index_t dimension >
    MacroEdgeInfo FrontalRemesher< dimension >::Impl::existing_macro_edge_info(
        index_t a, index_t b, index_t element )
    {
        MacroEdgeInfo info;
        info.element = element;
        info.v0 = a;
        info.v1 = b;
        const auto path = macro_edge_path( a, b, element );
        info.path_steps.assign( path.begin(), path.end() );
        info.path_ends = { a, b };
        info.path_edges.reserve( info.path_steps.size() );
        for( const auto& step : info.path_steps )
        {
            const auto twin = macro.polygon_adjacent_edge( step.edge );
            info.path_edges.push_back( twin ? *twin : step.edge );
        }
        return info;
    }

    template < index_t dimension >
    MacroEdgeInfo FrontalRemesher< dimension >::Impl::new_macro_edge_info( index_t a,
        index_t b,
        index_t reserved_id,
        const SurfaceCutAlongPathResult& cut )
    {
        for( const auto& cut_vertex : cut.cut_vertices )
        {
            if( cut_vertex.vertex == NO_ID )
            {
                continue;
            }
            for( const auto source : cut_vertex.source_vertices )
            {
                if( source != NO_ID && source != cut_vertex.vertex )
                {
                    vertex_info->set_value(
                        cut_vertex.vertex, vertex_info->value( source ) );
                }
            }
        }
        MacroEdgeInfo info;
        info.new_element = true;
        info.element = reserved_id;
        info.v0 = updated_vertex( a );
        info.v1 = updated_vertex( b );
        auto edges = collect_cut_edges( cut );
        info.border_edges = std::move( edges.first );
        info.path_edges = std::move( edges.second );
        return info;
    }

    template < index_t dimension >
    std::pair< std::vector< PolygonEdge >, std::vector< PolygonEdge > >
        FrontalRemesher< dimension >::Impl::collect_cut_edges(
            const SurfaceCutAlongPathResult& cut )
    {
        std::vector< PolygonEdge > path_edges;
        path_edges.reserve( cut.right_path_edges.size() );
        for( const auto& record : cut.right_path_edges )
        {
            path_edges.push_back( record.edge );
        }
        std::vector< PolygonEdge > border_edges;
        for( const auto& record : cut.left_path_edges )
        {
            if( macro.is_edge_on_border( record.edge ) )
            {
                border_edges.push_back( record.edge );
            }
        }
        inherit_edge_info( cut.left_path_edges );
        inherit_edge_info( cut.right_path_edges );
        inherit_edge_info( cut.created_edges );
        return { std::move( border_edges ), std::move( path_edges ) };
    }

    template class FrontalRemesher< 2 >::Impl;
    template class FrontalRemesher< 3 >::Impl;
} // namespace orvane::internal
