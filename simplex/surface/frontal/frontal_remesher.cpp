#include <simplex/surface/frontal/frontal_remesher.hpp>

#include <algorithm>
#include <cmath>

#include <openorvane/basic/exception.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/mensuration.hpp>

#include <simplex/metric/metric.hpp>
#include <simplex/surface/frontal/frontal_remesher_impl.hpp>

namespace
{
    constexpr double FRONTAL_EPSILON = 1e-6;
    constexpr double FRONTAL_EPSILON2 = 1e-12;

    /// The local vertex of the polygon within squared distance 1e-12 of the
    /// point, if any.
    template < orvane::index_t dimension >
    std::optional< orvane::local_index_t > polygon_vertex_at_point(
        const orvane::SurfaceMesh< dimension >& mesh,
        orvane::index_t polygon,
        const orvane::Point< dimension >& point )
    {
        for( orvane::local_index_t v = 0; v < 3; v++ )
        {
            const auto& vertex_point =
                mesh.point( mesh.polygon_vertex( { polygon, v } ) );
            double squared{ 0 };
            for( orvane::local_index_t c = 0; c < dimension; c++ )
            {
                const auto delta = vertex_point.value( c ) - point.value( c );
                squared += delta * delta;
            }
            if( squared <= FRONTAL_EPSILON2 )
            {
                return v;
            }
        }
        return std::nullopt;
    }

    /// Macro polygons and vertices that laying one output triangle adds,
    /// with some margin: each new side cut into the macro surface splits a
    /// few macro edges, and every split replaces two polygons by four.
    constexpr double MACRO_POLYGONS_PER_OUTPUT_TRIANGLE = 24;
    constexpr double MACRO_VERTICES_PER_OUTPUT_TRIANGLE = 7;

    /// Area of the equilateral triangle of unit side.
    constexpr double UNIT_EQUILATERAL_AREA = 0.4330127018922193;

    /// About how many triangles the metric asks for on the polygons of the
    /// surface that `is_active` accepts: each polygon's area over that of
    /// the equilateral triangle of the size the metric asks for at its
    /// barycenter.
    template < orvane::index_t dimension, typename IsActive >
    double expected_output_triangles( const orvane::SurfaceMesh< dimension >& mesh,
        const orvane::Metric< dimension >& metric,
        IsActive&& is_active )
    {
        double expected{ 0 };
        for( orvane::index_t p = 0; p < mesh.nb_polygons(); p++ )
        {
            if( !is_active( p ) )
            {
                continue;
            }
            const auto size = metric.point_metric( mesh.polygon_barycenter( p ) );
            if( !( size > FRONTAL_EPSILON ) )
            {
                continue;
            }
            const orvane::Triangle< dimension > triangle{
                mesh.point( mesh.polygon_vertex( { p, 0 } ) ),
                mesh.point( mesh.polygon_vertex( { p, 1 } ) ),
                mesh.point( mesh.polygon_vertex( { p, 2 } ) ) };
            expected += orvane::triangle_area( triangle )
                        / ( UNIT_EQUILATERAL_AREA * size * size );
        }
        return expected;
    }

    /// Room for ten times the current elements, or for those the expected
    /// output adds when that is more (bounded, so that an absurd metric
    /// cannot ask for an impossible reservation).
    orvane::index_t reserved_elements( orvane::index_t current, double added )
    {
        constexpr double MAX_RESERVED = 1 << 26;
        // Written so that a NaN estimate adds nothing.
        const auto wanted = std::min(
            static_cast< double >( current ) + ( added > 0 ? added : 0 ),
            MAX_RESERVED );
        return std::max( 10 * current, static_cast< orvane::index_t >( wanted ) );
    }
} // namespace

namespace orvane::internal
{
    std::pair< double, double > frontal_side_and_height(
        double length, double size )
    {
        const auto side = size > length
                              ? std::min( size, 2 * length )
                              : std::max( size, length / 2 + size / 4 );
        const auto radicand = side * side - length * length / 4;
        return { side, std::sqrt( std::max( radicand, 0. ) ) };
    }

    template < index_t dimension >
    FrontalQueueElement< dimension >::FrontalQueueElement(
        const SurfaceMesh< dimension >& macro,
        const Metric< dimension >& metric,
        index_t vertex0,
        index_t vertex1,
        index_t element_kind,
        index_t element_id )
        : v0( vertex0 ),
          v1( vertex1 ),
          p0( macro.point( vertex0 ) ),
          p1( macro.point( vertex1 ) ),
          kind( element_kind ),
          id( element_id )
    {
        length = point_point_distance( p0, p1 );
        size = metric.point_metric( ( p0 + p1 ) / 2. );
        height = frontal_side_and_height( length, size ).second;
    }

    template < index_t dimension >
    index_t step_destination(
        const SurfaceMesh< dimension >& macro, const MacroEdgeStep& step )
    {
        if( step.forward )
        {
            return macro.polygon_vertex( macro.next_polygon_vertex( step.vertex ) );
        }
        return macro.polygon_vertex( step.vertex );
    }

    template < index_t dimension >
    index_t step_origin(
        const SurfaceMesh< dimension >& macro, const MacroEdgeStep& step )
    {
        if( step.forward )
        {
            return macro.polygon_vertex( step.vertex );
        }
        return macro.polygon_vertex( macro.next_polygon_vertex( step.vertex ) );
    }

    template < index_t dimension >
    FrontalHolePiece< dimension >::FrontalHolePiece() = default;
    template < index_t dimension >
    FrontalHolePiece< dimension >::FrontalHolePiece(
        FrontalHolePiece&& ) noexcept = default;
    template < index_t dimension >
    FrontalHolePiece< dimension >& FrontalHolePiece< dimension >::operator=(
        FrontalHolePiece&& ) noexcept = default;
    template < index_t dimension >
    FrontalHolePiece< dimension >::~FrontalHolePiece() = default;

    template < index_t dimension >
    FrontalResult< dimension >::FrontalResult() = default;
    template < index_t dimension >
    FrontalResult< dimension >::FrontalResult( FrontalResult&& ) noexcept = default;
    template < index_t dimension >
    FrontalResult< dimension >& FrontalResult< dimension >::operator=(
        FrontalResult&& ) noexcept = default;
    template < index_t dimension >
    FrontalResult< dimension >::~FrontalResult() = default;

    template < index_t dimension >
    RemeshAlgo< dimension >::Impl::Impl( const Metric< dimension >& target,
        absl::Span< const index_t > fixed_vertices )
        : metric( &target ),
          mesh( TriangulatedSurface< dimension >::create() ),
          builder( TriangulatedSurfaceBuilder< dimension >::create( *mesh ) ),
          fixed_macro_vertices( fixed_vertices )
    {
        created_vertices.reserve( fixed_vertices.size() );
    }

    template < index_t dimension >
    RemeshAlgo< dimension >::Impl::~Impl()
    {
        // The builder refers to the mesh: release it first.
        builder.reset();
        mesh.reset();
    }

    template < index_t dimension >
    RemeshAlgo< dimension >::RemeshAlgo( const Metric< dimension >& metric,
        absl::Span< const index_t > fixed_macro_vertices )
        : output_( std::make_unique< Impl >( metric, fixed_macro_vertices ) )
    {
    }

    template < index_t dimension >
    RemeshAlgo< dimension >::~RemeshAlgo() = default;

    template < index_t dimension >
    FrontalRemesher< dimension >::FrontalRemesher(
        const TriangulatedSurface< dimension >& macro,
        TriangulatedSurfaceBuilder< dimension >& builder,
        const Metric< dimension >& metric,
        absl::Span< const index_t > fixed_macro_vertices )
        : RemeshAlgo< dimension >( metric, fixed_macro_vertices ),
          impl_( std::make_unique< Impl >( *this, macro, builder ) )
    {
    }

    template < index_t dimension >
    FrontalRemesher< dimension >::FrontalRemesher(
        const TriangulatedSurface< dimension >& macro,
        TriangulatedSurfaceBuilder< dimension >& builder,
        TriangulatedSurfaceEpsilonModifier< dimension >& modifier,
        const Metric< dimension >& metric,
        absl::Span< const index_t > fixed_macro_vertices )
        : FrontalRemesher( macro, builder, metric, fixed_macro_vertices )
    {
        impl_->modifier = &modifier;
    }

    template < index_t dimension >
    FrontalRemesher< dimension >::~FrontalRemesher() = default;

    template < index_t dimension >
    void FrontalRemesher< dimension >::remesh( FrontalResult< dimension >& result )
    {
        impl_->remesh( result );
    }

    template < index_t dimension >
    FrontalResult< dimension > FrontalRemesher< dimension >::release_output()
    {
        FrontalResult< dimension > result;
        result.mesh = std::move( this->output().mesh );
        result.created_vertices = std::move( this->output().created_vertices );
        this->output().created_vertices.clear();
        return result;
    }

    template < index_t dimension >
    FrontalRemesher< dimension >::Impl::Impl( FrontalRemesher< dimension >& remesher,
        const TriangulatedSurface< dimension >& macro_surface,
        TriangulatedSurfaceBuilder< dimension >& macro_builder )
        : owner( &remesher ), macro( macro_surface ), builder( macro_builder )
    {
        vertex_info = macro.vertex_attribute_manager()
                          .template find_or_create_attribute< VariableAttribute,
                              index_t >( FRONTAL_VERTEX_INFO, NO_ID );
    }

    template < index_t dimension >
    FrontalRemesher< dimension >::Impl::~Impl()
    {
        macro.vertex_attribute_manager().delete_attribute( FRONTAL_VERTEX_INFO );
        macro.polygon_attribute_manager().delete_attribute( FRONTAL_EDGE_INFO );
        macro.polygon_attribute_manager().delete_attribute( FRONTAL_TRIANGLE_INFO );
    }

    template < index_t dimension >
    void FrontalRemesher< dimension >::Impl::create_macro_attributes()
    {
        // The cuts add macro polygons and vertices in proportion to the
        // output triangles, not to the input: reserving for the expected
        // output spares the attributes (above all the 24 bytes of "edge
        // info" per polygon) the copies of repeated growth.
        const auto expected = expected_output_triangles(
            macro, *output().metric, [this]( index_t polygon ) {
                return modifier->is_polygon_active( polygon );
            } );
        auto& vertices = macro.vertex_attribute_manager();
        vertices.reserve( reserved_elements( vertices.nb_elements(),
            expected * MACRO_VERTICES_PER_OUTPUT_TRIANGLE ) );
        auto& polygons = macro.polygon_attribute_manager();
        triangle_info =
            polygons.template find_or_create_attribute< VariableAttribute, index_t >(
                FRONTAL_TRIANGLE_INFO, NO_ID );
        FrontalEdgeInfo no_elements;
        edge_info = polygons.template find_or_create_attribute< VariableAttribute,
            FrontalEdgeInfo >( FRONTAL_EDGE_INFO, std::move( no_elements ) );
        // After creating them, so that the two new attributes get the room
        // too: the cuts multiply the polygons.
        polygons.reserve( reserved_elements( polygons.nb_elements(),
            expected * MACRO_POLYGONS_PER_OUTPUT_TRIANGLE ) );
    }

    template < index_t dimension >
    index_t FrontalRemesher< dimension >::Impl::fixed_output_vertex(
        index_t fixed_vertex )
    {
        const auto vertex = updated_vertex( fixed_vertex );
        const auto output_vertex = vertex < macro.nb_vertices()
                                       ? vertex_info->value( vertex )
                                       : NO_ID;
        ORVANE_EXCEPTION( output_vertex != NO_ID,
            "[FrontalRemesher::fixed_output_vertex] Fixed macro vertex ",
            fixed_vertex, " has no output vertex" );
        return output_vertex;
    }

    template < index_t dimension >
    index_t FrontalRemesher< dimension >::Impl::output_vertex(
        index_t vertex, bool fixed )
    {
        if( vertex_info->value( vertex ) == NO_ID )
        {
            auto& out = output();
            const auto created = out.builder->create_point( macro.point( vertex ) );
            vertex_info->set_value( vertex, created );
            out.created_vertices.emplace_back( vertex, fixed );
        }
        return vertex_info->value( vertex );
    }

    template < index_t dimension >
    std::pair< index_t, index_t >
        FrontalRemesher< dimension >::Impl::element_vertices( index_t element )
    {
        const auto& stored = element_vertices_.at( element );
        return { updated_vertex( stored.first ), updated_vertex( stored.second ) };
    }

    template < index_t dimension >
    void FrontalRemesher< dimension >::Impl::inherit_edge_info(
        absl::Span< const SurfaceCutEdge > edges )
    {
        for( const auto& record : edges )
        {
            for( const auto& origin : record.origins )
            {
                copy_edge_elements( record.edge, origin );
            }
        }
    }

    template < index_t dimension >
    index_t FrontalRemesher< dimension >::Impl::macro_vertex_at_point(
        const FrontalCandidate< dimension >& candidate )
    {
        const auto polygon = candidate.polygon;
        if( const auto local =
                polygon_vertex_at_point( macro, polygon, candidate.point ) )
        {
            return macro.polygon_vertex( { polygon, *local } );
        }
        const auto inherit = [this]( const PolygonEdgeOrigin& origin ) {
            copy_edge_elements( origin.new_edge, origin.old_edge );
        };
        for( local_index_t e = 0; e < 3; e++ )
        {
            const PolygonEdge edge{ polygon, e };
            if( element_on_polygon_edge( edge ) != NO_ID )
            {
                continue;
            }
            const auto distance = std::get< 0 >(
                point_segment_distance( candidate.point, macro.segment( edge ) ) );
            if( distance > FRONTAL_EPSILON )
            {
                continue;
            }
            const auto split = modifier->split_edge( edge, candidate.point );
            if( split.kind == SurfaceEpsilonSplitEdgeKind::first_vertex )
            {
                return macro.polygon_edge_vertex( edge, 0 );
            }
            if( split.kind == SurfaceEpsilonSplitEdgeKind::second_vertex )
            {
                return macro.polygon_edge_vertex( edge, 1 );
            }
            for( const auto& half : split.info.halves )
            {
                for( const auto& origin : half.split_edges )
                {
                    inherit( origin );
                }
                for( const auto& origin : half.outer_edges )
                {
                    inherit( origin );
                }
            }
            return split.info.new_vertex;
        }
        const auto split = modifier->split_triangle( polygon, candidate.point );
        for( const auto& origin : split.border_edges )
        {
            inherit( origin );
        }
        for( const auto& origin : split.extra_edges )
        {
            inherit( origin );
        }
        return split.new_vertex;
    }

    template < index_t dimension >
    std::optional< std::pair< index_t, Point< dimension > > >
        FrontalRemesher< dimension >::Impl::element_at_polygon_vertex(
            index_t polygon, const Point< dimension >& point )
    {
        const auto local = polygon_vertex_at_point( macro, polygon, point );
        if( !local )
        {
            return std::nullopt;
        }
        const PolygonEdge leaving{ polygon, *local };
        const PolygonEdge arriving{ polygon,
            static_cast< local_index_t >( ( *local + 2 ) % 3 ) };
        const auto position = macro.point( macro.polygon_vertex( { polygon, *local } ) );
        const auto on_twin = [this]( const PolygonEdge& edge ) {
            if( const auto twin = macro.polygon_adjacent_edge( edge ) )
            {
                return element_on_polygon_edge( *twin );
            }
            return NO_ID;
        };
        auto element = on_twin( leaving );
        if( element == NO_ID )
        {
            element = element_on_polygon_edge( leaving );
        }
        if( element == NO_ID )
        {
            element = on_twin( arriving );
        }
        if( element == NO_ID )
        {
            element = element_on_polygon_edge( arriving );
        }
        return std::make_pair( element, position );
    }

    template < index_t dimension >
    std::optional< index_t >
        FrontalRemesher< dimension >::Impl::other_open_element_on_edge(
            const PolygonEdge& edge, index_t element )
    {
        const auto& own = edge_info->value( edge.polygon_id )[edge.edge_id];
        absl::InlinedVector< index_t, 8 > ids( own.begin(), own.end() );
        if( const auto twin = macro.polygon_adjacent_edge( edge ) )
        {
            const auto& other = edge_info->value( twin->polygon_id )[twin->edge_id];
            ids.insert( ids.end(), other.begin(), other.end() );
        }
        std::sort( ids.begin(), ids.end() );
        ids.erase( std::unique( ids.begin(), ids.end() ), ids.end() );
        ids.erase( std::remove_if( ids.begin(), ids.end(),
                       [&]( index_t id ) {
                           return id == element
                                  || element_triangles.at( id ).second != NO_ID;
                       } ),
            ids.end() );
        if( ids.size() == 1 )
        {
            return ids.front();
        }
        return std::nullopt;
    }

    template struct FrontalQueueElement< 2 >;
    template struct FrontalQueueElement< 3 >;
    template index_t step_destination( const SurfaceMesh< 2 >&, const MacroEdgeStep& );
    template index_t step_destination( const SurfaceMesh< 3 >&, const MacroEdgeStep& );
    template index_t step_origin( const SurfaceMesh< 2 >&, const MacroEdgeStep& );
    template index_t step_origin( const SurfaceMesh< 3 >&, const MacroEdgeStep& );
    template struct FrontalHolePiece< 2 >;
    template struct FrontalHolePiece< 3 >;
    template struct FrontalResult< 2 >;
    template struct FrontalResult< 3 >;
    template class RemeshAlgo< 2 >;
    template class RemeshAlgo< 3 >;
    template class FrontalRemesher< 2 >;
    template class FrontalRemesher< 3 >;
} // namespace orvane::internal
