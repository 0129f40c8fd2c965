#include <common/modifier/triangulated_surface_modifier.hpp>

#include <cmath>
#include <limits>
#include <tuple>

#include <openorvane/basic/attribute_interpolation.hpp>
#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/variable_attribute.hpp>
#include <openorvane/geometry/barycentric_coordinates.hpp>
#include <openorvane/geometry/distance.hpp>
#include <openorvane/geometry/predicates.hpp>

#include <common/modifier/triangulated_surface_modifier_impl.hpp>

namespace
{
    using namespace orvane;

    template < index_t dimension >
    std::unique_ptr< internal::ActiveFlags > edge_flags_if_enabled(
        const SurfaceMesh< dimension >& mesh )
    {
        if( !mesh.are_edges_enabled() )
        {
            return nullptr;
        }
        return std::make_unique< internal::ActiveFlags >(
            mesh.edges().edge_attribute_manager() );
    }

    /// The checks of the edits' input, made before any change: the edited
    /// polygon exists and is live, the local index is valid, the point is
    /// finite.
    template < index_t dimension >
    void check_live_polygon( const TriangulatedSurfaceModifier< dimension >& modifier,
        const TriangulatedSurface< dimension >& mesh,
        index_t polygon,
        const char* function )
    {
        const auto nb_polygons = mesh.nb_polygons();
        ORVANE_EXCEPTION( polygon < nb_polygons, "[TriangulatedSurfaceModifier::",
            function, "] Polygon ", polygon, " does not exist (the surface has ",
            nb_polygons, " polygons)" );
        ORVANE_EXCEPTION( modifier.is_polygon_active( polygon ),
            "[TriangulatedSurfaceModifier::", function, "] Polygon ", polygon,
            " is inactive" );
    }

    template < index_t dimension >
    void check_live_polygon_edge(
        const TriangulatedSurfaceModifier< dimension >& modifier,
        const TriangulatedSurface< dimension >& mesh,
        const PolygonEdge& edge,
        const char* function )
    {
        check_live_polygon( modifier, mesh, edge.polygon_id, function );
        ORVANE_EXCEPTION( edge.edge_id < 3, "[TriangulatedSurfaceModifier::",
            function, "] Polygon ", edge.polygon_id, " has no edge ", edge.edge_id );
    }

    template < index_t dimension >
    void check_finite_point( const Point< dimension >& point, const char* function )
    {
        ORVANE_EXCEPTION( point.is_finite(), "[TriangulatedSurfaceModifier::",
            function, "] Cannot use the non-finite point ", point.string() );
    }

    /// Throws when a vertex joins several fans of live polygons (a bowtie):
    /// the edits and their validity tests walk one fan per vertex and would
    /// miss the others. Linear in the size of the surface.
    template < index_t dimension >
    void check_one_fan_per_vertex( const SurfaceMesh< dimension >& mesh,
        const internal::ActiveFlags& polygon_active )
    {
        std::vector< index_t > nb_corners( mesh.nb_vertices(), 0 );
        for( index_t polygon = 0; polygon < mesh.nb_polygons(); polygon++ )
        {
            if( !polygon_active.is_active( polygon ) )
            {
                continue;
            }
            for( const auto vertex : mesh.polygon_vertices( polygon ) )
            {
                nb_corners[vertex]++;
            }
        }
        for( index_t vertex = 0; vertex < mesh.nb_vertices(); vertex++ )
        {
            if( nb_corners[vertex] < 2 )
            {
                continue;
            }
            const auto fan = mesh.polygons_around_vertex( vertex ).size();
            ORVANE_EXCEPTION( fan == nb_corners[vertex],
                "[TriangulatedSurfaceModifier] Vertex ", vertex, " joins ",
                nb_corners[vertex], " polygons but its fan holds ", fan,
                ": split vertices where separate fans meet (one vertex per "
                "fan) before editing" );
        }
    }
} // namespace

namespace orvane
{
    template < index_t dimension >
    TriangulatedSurfaceModifier< dimension >::Impl::Impl(
        const TriangulatedSurface< dimension >& mesh,
        TriangulatedSurfaceBuilder< dimension >& builder )
        : mesh_( mesh ),
          builder_( builder ),
          polygon_active_( mesh.polygon_attribute_manager() ),
          edge_active_( edge_flags_if_enabled( mesh ) )
    {
        check_one_fan_per_vertex( mesh, polygon_active_ );
    }

    template < index_t dimension >
    TriangulatedSurfaceModifier< dimension >::Impl::~Impl() = default;

    template < index_t dimension >
    bool TriangulatedSurfaceModifier< dimension >::Impl::is_polygon_active(
        index_t polygon ) const
    {
        return polygon_active_.is_active( polygon );
    }

    template < index_t dimension >
    bool TriangulatedSurfaceModifier< dimension >::Impl::is_edge_active(
        index_t edge )
    {
        return edge_flags().is_active( edge );
    }

    template < index_t dimension >
    internal::ActiveFlags&
        TriangulatedSurfaceModifier< dimension >::Impl::edge_flags()
    {
        if( edge_active_ )
        {
            return *edge_active_;
        }
        if( !mesh_.are_edges_enabled() )
        {
            throw OpenOrvaneException{
                "[TriangulatedSurfaceModifier::is_edge_active] Edges should be "
                "enabled to use edge indexing"
            };
        }
        const auto& edges = mesh_.edges();
        auto flags = std::make_unique< internal::ActiveFlags >(
            edges.edge_attribute_manager() );
        for( index_t edge = 0; edge < edges.nb_edges(); edge++ )
        {
            flags->set_active( edge, false );
        }
        for( index_t polygon = 0; polygon < mesh_.nb_polygons(); polygon++ )
        {
            if( !is_polygon_active( polygon ) )
            {
                continue;
            }
            for( local_index_t local = 0; local < 3; local++ )
            {
                const auto vertices = mesh_.polygon_edge_vertices(
                    { polygon, static_cast< local_index_t >( local ) } );
                flags->set_active(
                    table_edge( vertices[0], vertices[1],
                        "[TriangulatedSurfaceModifier::is_edge_active]" ),
                    true );
            }
        }
        edge_active_ = std::move( flags );
        return *edge_active_;
    }

    template < index_t dimension >
    index_t TriangulatedSurfaceModifier< dimension >::Impl::table_edge(
        index_t vertex0, index_t vertex1, const char* context ) const
    {
        const auto edge = mesh_.edges().edge_from_vertices( { vertex0, vertex1 } );
        if( !edge )
        {
            throw OpenOrvaneException{ context,
                " The edge table holds no edge between vertices ", vertex0,
                " and ", vertex1 };
        }
        return edge.value();
    }

    template < index_t dimension >
    void TriangulatedSurfaceModifier< dimension >::Impl::deactivate_polygon(
        index_t polygon )
    {
        // Surfaces keep no around-vertex cache to reset: the flag is all.
        polygon_active_.set_active( polygon, false );
    }

    template < index_t dimension >
    void TriangulatedSurfaceModifier< dimension >::Impl::deactivate_edge(
        const PolygonEdge& edge )
    {
        if( !mesh_.are_edges_enabled() )
        {
            return;
        }
        const auto edge_id =
            mesh_.edges().edge_from_vertices( mesh_.polygon_edge_vertices( edge ) );
        if( !edge_id )
        {
            return;
        }
        edge_flags().set_active( edge_id.value(), false );
    }

    template < index_t dimension >
    void TriangulatedSurfaceModifier< dimension >::Impl::set_edge_active(
        index_t edge, bool active )
    {
        edge_flags().set_active( edge, active );
    }

    template < index_t dimension >
    void TriangulatedSurfaceModifier< dimension >::Impl::interpolate_on_segment(
        index_t new_vertex, index_t vertex0, index_t vertex1 )
    {
        auto& manager = mesh_.vertex_attribute_manager();
        if( !manager.has_interpolable_attributes() )
        {
            return;
        }
        const auto weights = safe_segment_barycentric_coordinates(
            mesh_.point( new_vertex ),
            Segment< dimension >{ mesh_.point( vertex0 ), mesh_.point( vertex1 ) } );
        const std::array< index_t, 2 > indices{ vertex0, vertex1 };
        manager.interpolate_attribute_value(
            AttributeLinearInterpolation{ indices, weights }, new_vertex );
    }

    template < index_t dimension >
    void TriangulatedSurfaceModifier< dimension >::Impl::copy_polygon_attributes(
        index_t from, index_t to )
    {
        auto& manager = mesh_.polygon_attribute_manager();
        if( manager.has_assignable_attributes() )
        {
            manager.assign_attribute_value( from, to );
        }
    }

    template < index_t dimension >
    bool TriangulatedSurfaceModifier<
        dimension >::Impl::has_assignable_edge_attributes() const
    {
        return mesh_.are_edges_enabled()
               && mesh_.edges()
                      .edge_attribute_manager()
                      .has_assignable_attributes();
    }

    template < index_t dimension >
    SurfaceSplitTriangleInfo
        TriangulatedSurfaceModifier< dimension >::Impl::split_triangle(
            index_t polygon, const Point< dimension >& point )
    {
        const auto vertex = builder_.create_point( point );
        std::array< index_t, 3 > corners;
        std::array< std::optional< PolygonEdge >, 3 > adjacents;
        for( local_index_t local = 0; local < 3; local++ )
        {
            corners[local] = mesh_.polygon_vertex(
                { polygon, static_cast< local_index_t >( local ) } );
            adjacents[local] = mesh_.polygon_adjacent_edge(
                { polygon, static_cast< local_index_t >( local ) } );
        }
        auto& vertex_attributes = mesh_.vertex_attribute_manager();
        if( vertex_attributes.has_interpolable_attributes() )
        {
            const auto weights = safe_triangle_barycentric_coordinates( point,
                Triangle< dimension >{ mesh_.point( corners[0] ),
                    mesh_.point( corners[1] ), mesh_.point( corners[2] ) } );
            vertex_attributes.interpolate_attribute_value(
                AttributeLinearInterpolation{ corners, weights }, vertex );
        }

        SurfaceSplitTriangleInfo info;
        info.new_vertex = vertex;
        std::array< index_t, 3 > triangles;
        for( local_index_t i = 0; i < 3; i++ )
        {
            triangles[i] = builder_.create_triangle(
                { corners[i], corners[( i + 1 ) % 3], vertex } );
            info.polygons.push_back( { triangles[i], polygon } );
            info.border_edges.push_back(
                { { triangles[i], 0 }, { polygon, static_cast< local_index_t >( i ) } } );
            info.new_edges.push_back( { triangles[i], 1 } );
            info.new_edges.push_back( { triangles[i], 2 } );
        }
        for( local_index_t i = 0; i < 3; i++ )
        {
            builder_.set_polygon_adjacent(
                { triangles[i], 1 }, triangles[( i + 1 ) % 3] );
            builder_.set_polygon_adjacent(
                { triangles[i], 2 }, triangles[( i + 2 ) % 3] );
            if( adjacents[i] )
            {
                builder_.set_polygon_adjacent( adjacents[i].value(), triangles[i] );
                builder_.set_polygon_adjacent(
                    { triangles[i], 0 }, adjacents[i]->polygon_id );
            }
            else
            {
                builder_.unset_polygon_adjacent( { triangles[i], 0 } );
            }
        }
        deactivate_polygon( polygon );
        for( const auto& origin : info.polygons )
        {
            copy_polygon_attributes( origin.old_element, origin.new_element );
        }
        return info;
    }

    template < index_t dimension >
    std::array< index_t, 2 >
        TriangulatedSurfaceModifier< dimension >::Impl::split_polygon(
            const PolygonEdge& edge, index_t new_vertex )
    {
        const auto vertices = mesh_.polygon_edge_vertices( edge );
        const auto next = mesh_.next_polygon_edge( edge );
        const auto previous = mesh_.previous_polygon_edge( edge );
        const auto apex = mesh_.polygon_edge_vertex( next, 1 );
        const auto next_adjacent = mesh_.polygon_adjacent_edge( next );
        const auto previous_adjacent = mesh_.polygon_adjacent_edge( previous );

        const auto first =
            builder_.create_triangle( { vertices[0], new_vertex, apex } );
        const auto second =
            builder_.create_triangle( { new_vertex, vertices[1], apex } );
        builder_.set_polygon_adjacent( { first, 1 }, second );
        builder_.set_polygon_adjacent( { second, 2 }, first );
        if( next_adjacent )
        {
            builder_.set_polygon_adjacent( next_adjacent.value(), second );
            builder_.set_polygon_adjacent( { second, 1 }, next_adjacent->polygon_id );
        }
        if( previous_adjacent )
        {
            builder_.set_polygon_adjacent( previous_adjacent.value(), first );
            builder_.set_polygon_adjacent(
                { first, 2 }, previous_adjacent->polygon_id );
        }
        deactivate_polygon( edge.polygon_id );
        return { first, second };
    }

    template < index_t dimension >
    void TriangulatedSurfaceModifier< dimension >::Impl::prefetch_edge_surroundings(
        const PolygonEdge& edge ) const
    {
        // Only the edge's own polygon is read here: the hints let the rows
        // of its neighbours and the entries of its corners load while the
        // caller goes on.
        std::array< index_t, 3 > around;
        for( local_index_t local = 0; local < 3; local++ )
        {
            around[local] = mesh_.polygon_adjacent( { edge.polygon_id, local } )
                                .value_or( NO_ID );
        }
        mesh_.prefetch_polygons( around );
        polygon_active_.prefetch( around[edge.edge_id] );
        const std::array< index_t, 3 > vertices{
            mesh_.polygon_vertex( { edge.polygon_id, 0 } ),
            mesh_.polygon_vertex( { edge.polygon_id, 1 } ),
            mesh_.polygon_vertex( { edge.polygon_id, 2 } ) };
        mesh_.prefetch_vertices( vertices );
    }

    template < index_t dimension >
    void TriangulatedSurfaceModifier< dimension >::Impl::prefetch_adjacent_surroundings(
        const PolygonEdge& edge ) const
    {
        const auto adjacent =
            mesh_.polygon_adjacent( edge ).value_or( NO_ID );
        if( adjacent >= mesh_.nb_polygons() )
        {
            return;
        }
        // Reading the adjacent row waits for it (it was hinted at by
        // prefetch_edge_surroundings); its own neighbours then load while
        // the edge's polygon is split.
        const auto [from, to] = mesh_.polygon_edge_vertices( edge );
        std::array< index_t, 3 > around;
        std::array< index_t, 1 > opposite{ NO_ID };
        for( local_index_t local = 0; local < 3; local++ )
        {
            around[local] =
                mesh_.polygon_adjacent( { adjacent, local } ).value_or( NO_ID );
            const auto vertex = mesh_.polygon_vertex( { adjacent, local } );
            if( vertex != from && vertex != to )
            {
                opposite[0] = vertex;
            }
        }
        mesh_.prefetch_polygons( around );
        mesh_.prefetch_vertices( opposite );
    }

    template < index_t dimension >
    SurfaceSplitEdgeInfo TriangulatedSurfaceModifier< dimension >::Impl::split_edge(
        const PolygonEdge& edge, const Point< dimension >& point )
    {
        prefetch_edge_surroundings( edge );
        const auto vertices = mesh_.polygon_edge_vertices( edge );
        const auto copy_edge_attributes = has_assignable_edge_attributes();
        // Check the old edge before anything changes, so that a surface whose
        // edge table misses it is left untouched.
        const auto old_edge = copy_edge_attributes
                                  ? table_edge( vertices[0], vertices[1],
                                        "[TriangulatedSurfaceModifier::split_edge]" )
                                  : NO_ID;

        const auto vertex = builder_.create_point( point );
        interpolate_on_segment( vertex, vertices[0], vertices[1] );
        deactivate_edge( edge );
        prefetch_adjacent_surroundings( edge );
        const auto adjacent = mesh_.polygon_adjacent_edge( edge );

        SurfaceSplitEdgeInfo info;
        info.new_vertex = vertex;
        const auto [t1, t2] = split_polygon( edge, vertex );
        builder_.associate_polygon_vertex_to_vertex( { t1, 1 }, vertex );
        auto& first_half = info.halves[0];
        auto& second_half = info.halves[1];
        first_half.new_edges.push_back( { t1, 1 } );
        first_half.split_edges.push_back( { { t1, 0 }, edge } );
        first_half.outer_edges.push_back(
            { { t1, 2 }, mesh_.previous_polygon_edge( edge ) } );
        first_half.polygons.push_back( { t1, edge.polygon_id } );
        second_half.new_edges.push_back( { t2, 2 } );
        second_half.split_edges.push_back( { { t2, 0 }, edge } );
        second_half.outer_edges.push_back(
            { { t2, 1 }, mesh_.next_polygon_edge( edge ) } );
        second_half.polygons.push_back( { t2, edge.polygon_id } );

        if( adjacent )
        {
            const auto& other = adjacent.value();
            const auto [u1, u2] = split_polygon( other, vertex );
            builder_.set_polygon_adjacent( { t1, 0 }, u2 );
            builder_.set_polygon_adjacent( { u2, 0 }, t1 );
            builder_.set_polygon_adjacent( { t2, 0 }, u1 );
            builder_.set_polygon_adjacent( { u1, 0 }, t2 );
            // Two triangles sharing more than the split edge: the halves
            // still point to the replaced triangle across that other edge.
            if( mesh_.polygon_adjacent( { t1, 2 } ) == other.polygon_id )
            {
                builder_.set_polygon_adjacent( { t1, 2 }, u2 );
                builder_.set_polygon_adjacent( { u2, 1 }, t1 );
            }
            if( mesh_.polygon_adjacent( { t2, 1 } ) == other.polygon_id )
            {
                builder_.set_polygon_adjacent( { t2, 1 }, u1 );
                builder_.set_polygon_adjacent( { u1, 2 }, t2 );
            }
            first_half.new_edges.push_back( { u2, 2 } );
            first_half.split_edges.push_back( { { u2, 0 }, other } );
            first_half.outer_edges.push_back(
                { { u2, 1 }, mesh_.next_polygon_edge( other ) } );
            first_half.polygons.push_back( { u2, other.polygon_id } );
            second_half.new_edges.push_back( { u1, 1 } );
            second_half.split_edges.push_back( { { u1, 0 }, other } );
            second_half.outer_edges.push_back(
                { { u1, 2 }, mesh_.previous_polygon_edge( other ) } );
            second_half.polygons.push_back( { u1, other.polygon_id } );
        }

        if( copy_edge_attributes )
        {
            auto& manager = mesh_.edges().edge_attribute_manager();
            constexpr auto context = "[TriangulatedSurfaceModifier::split_edge]";
            manager.assign_attribute_value(
                old_edge, table_edge( vertices[0], vertex, context ) );
            manager.assign_attribute_value(
                old_edge, table_edge( vertices[1], vertex, context ) );
        }
        for( const auto& half : info.halves )
        {
            for( const auto& origin : half.polygons )
            {
                copy_polygon_attributes( origin.old_element, origin.new_element );
            }
        }
        return info;
    }

    template < index_t dimension >
    SurfaceSwapEdgeInfo TriangulatedSurfaceModifier< dimension >::Impl::swap_edge(
        const PolygonEdge& edge )
    {
        const auto adjacent = mesh_.polygon_adjacent_edge( edge );
        if( !adjacent )
        {
            throw OpenOrvaneException{
                "[TriangulatedSurfaceModifier::swap_edge] Swap edge can only be "
                "done on an edge with an adjacent polygon, not on polygon edge ",
                edge.string()
            };
        }
        const auto& other = adjacent.value();
        const auto vertices = mesh_.polygon_edge_vertices( edge );
        const auto next = mesh_.next_polygon_edge( edge );
        const auto previous = mesh_.previous_polygon_edge( edge );
        const auto apex = mesh_.polygon_edge_vertex( next, 1 );
        const auto other_next = mesh_.next_polygon_edge( other );
        const auto other_previous = mesh_.previous_polygon_edge( other );
        const auto other_apex = mesh_.polygon_edge_vertex( other_next, 1 );
        const std::array< PolygonEdge, 4 > old_edges{ next, previous, other_next,
            other_previous };
        std::array< std::optional< PolygonEdge >, 4 > old_adjacents;
        for( local_index_t i = 0; i < 4; i++ )
        {
            old_adjacents[i] = mesh_.polygon_adjacent_edge( old_edges[i] );
        }

        SurfaceSwapEdgeInfo info;
        const auto first =
            builder_.create_triangle( { vertices[0], other_apex, apex } );
        const auto second =
            builder_.create_triangle( { apex, other_apex, vertices[1] } );
        info.new_polygons = { first, second };
        builder_.set_polygon_adjacent( { first, 1 }, second );
        builder_.set_polygon_adjacent( { second, 0 }, first );
        info.new_diagonal = { PolygonEdge{ first, 1 }, PolygonEdge{ second, 0 } };

        const std::array< PolygonEdge, 4 > new_edges{ PolygonEdge{ second, 2 },
            PolygonEdge{ first, 2 }, PolygonEdge{ first, 0 },
            PolygonEdge{ second, 1 } };
        for( local_index_t i = 0; i < 4; i++ )
        {
            info.outer_edges[i].new_edge = new_edges[i];
            if( !old_adjacents[i] )
            {
                continue;
            }
            builder_.set_polygon_adjacent(
                new_edges[i], old_adjacents[i]->polygon_id );
            builder_.set_polygon_adjacent(
                old_adjacents[i].value(), new_edges[i].polygon_id );
            info.outer_edges[i].old_edge = old_edges[i];
        }
        deactivate_polygon( edge.polygon_id );
        deactivate_polygon( other.polygon_id );
        info.old_polygons = { edge.polygon_id, other.polygon_id };
        info.old_diagonal = { edge, other };

        // The new diagonal may reuse an entry of the edge table that an
        // earlier edit flagged inactive: it is live again.
        if( existing_edge_flags() != nullptr )
        {
            if( const auto diagonal =
                    mesh_.edges().edge_from_vertices( { apex, other_apex } ) )
            {
                existing_edge_flags()->set_active( diagonal.value(), true );
            }
        }
        return info;
    }

    template < index_t dimension >
    void TriangulatedSurfaceModifier< dimension >::Impl::move_vertex(
        index_t vertex, const Point< dimension >& point )
    {
        auto& vertex_attributes = mesh_.vertex_attribute_manager();
        if( !mesh_.is_vertex_isolated( vertex )
            && vertex_attributes.has_interpolable_attributes() )
        {
            index_t best_polygon{ NO_ID };
            auto best_distance = std::numeric_limits< double >::max();
            const auto& origin = mesh_.point( 0 );
            Triangle< dimension > best_triangle{ origin, origin, origin };
            for( const auto& polygon_vertex : mesh_.polygons_around_vertex( vertex ) )
            {
                const auto triangle = mesh_.triangle( polygon_vertex.polygon_id );
                const auto distance =
                    std::get< 0 >( point_triangle_distance( point, triangle ) );
                if( distance < best_distance )
                {
                    best_distance = distance;
                    best_polygon = polygon_vertex.polygon_id;
                    best_triangle = triangle;
                    if( distance <= GLOBAL_EPSILON )
                    {
                        break;
                    }
                }
            }
            if( best_polygon != NO_ID )
            {
                const auto weights =
                    safe_triangle_barycentric_coordinates( point, best_triangle );
                const auto corners = mesh_.polygon_vertices( best_polygon );
                vertex_attributes.interpolate_attribute_value(
                    AttributeLinearInterpolation{ corners, weights }, vertex );
            }
        }
        builder_.set_point( vertex, point );
    }

    template < index_t dimension >
    std::vector< index_t >
        TriangulatedSurfaceModifier< dimension >::Impl::delete_inactive_polygons()
    {
        std::vector< bool > to_delete( mesh_.nb_polygons(), false );
        for( index_t polygon = 0; polygon < mesh_.nb_polygons(); polygon++ )
        {
            to_delete[polygon] = !is_polygon_active( polygon );
        }
        auto old2new = builder_.delete_polygons( to_delete );
        for( index_t polygon = 0; polygon < mesh_.nb_polygons(); polygon++ )
        {
            for( local_index_t local = 0; local < 3; local++ )
            {
                const PolygonVertex corner{ polygon,
                    static_cast< local_index_t >( local ) };
                const auto vertex = mesh_.polygon_vertex( corner );
                if( mesh_.is_vertex_isolated( vertex ) )
                {
                    builder_.associate_polygon_vertex_to_vertex( corner, vertex );
                }
            }
        }
        return old2new;
    }

    template < index_t dimension >
    SurfaceCleanInfo TriangulatedSurfaceModifier< dimension >::Impl::clean(
        VerticesModifier& modifier )
    {
        SurfaceCleanInfo info;
        info.polygons = delete_inactive_polygons();
        info.vertices = builder_.delete_isolated_vertices();
        modifier.clear_vertex_map();
        if( mesh_.are_edges_enabled() )
        {
            info.edges = builder_.edges_builder().delete_isolated_edges();
        }
        return info;
    }

    template < index_t dimension >
    TriangulatedSurfaceModifier< dimension >::TriangulatedSurfaceModifier(
        const TriangulatedSurface< dimension >& mesh,
        TriangulatedSurfaceBuilder< dimension >& builder )
        : impl_( std::make_unique< Impl >( mesh, builder ) )
    {
    }

    template < index_t dimension >
    TriangulatedSurfaceModifier< dimension >::~TriangulatedSurfaceModifier() =
        default;

    template < index_t dimension >
    SurfaceSplitTriangleInfo TriangulatedSurfaceModifier< dimension >::split_triangle(
        index_t polygon, const Point< dimension >& point )
    {
        check_live_polygon( *this, impl_->mesh(), polygon, "split_triangle" );
        check_finite_point( point, "split_triangle" );
        return impl_->split_triangle( polygon, point );
    }

    template < index_t dimension >
    SurfaceSplitEdgeInfo TriangulatedSurfaceModifier< dimension >::split_edge(
        const PolygonEdge& edge, const Point< dimension >& point )
    {
        check_live_polygon_edge( *this, impl_->mesh(), edge, "split_edge" );
        check_finite_point( point, "split_edge" );
        return impl_->split_edge( edge, point );
    }

    template < index_t dimension >
    SurfaceCollapseEdgeInfo TriangulatedSurfaceModifier< dimension >::collapse_edge(
        index_t edge, const Point< dimension >& point )
    {
        check_finite_point( point, "collapse_edge" );
        const auto& mesh = impl_->mesh();
        if( mesh.are_edges_enabled() )
        {
            const auto nb_edges = mesh.edges().nb_edges();
            ORVANE_EXCEPTION( edge < nb_edges,
                "[TriangulatedSurfaceModifier::collapse_edge] Edge ", edge,
                " does not exist (the table has ", nb_edges, " edges)" );
            ORVANE_EXCEPTION( impl_->is_edge_active( edge ),
                "[TriangulatedSurfaceModifier::collapse_edge] Edge ", edge,
                " is inactive" );
        }
        return impl_->collapse_edge( *this, edge, point );
    }

    template < index_t dimension >
    SurfaceCollapsePolygonEdgeInfo
        TriangulatedSurfaceModifier< dimension >::collapse_edge(
            const PolygonEdge& edge, const Point< dimension >& point )
    {
        check_live_polygon_edge( *this, impl_->mesh(), edge, "collapse_edge" );
        check_finite_point( point, "collapse_edge" );
        return impl_->collapse_edge( *this, edge, point );
    }

    template < index_t dimension >
    SurfaceSwapEdgeInfo TriangulatedSurfaceModifier< dimension >::swap_edge(
        const PolygonEdge& edge )
    {
        check_live_polygon_edge( *this, impl_->mesh(), edge, "swap_edge" );
        return impl_->swap_edge( edge );
    }

    template < index_t dimension >
    void TriangulatedSurfaceModifier< dimension >::move_vertex(
        index_t vertex, const Point< dimension >& point )
    {
        const auto nb_vertices = impl_->mesh().nb_vertices();
        ORVANE_EXCEPTION( vertex < nb_vertices,
            "[TriangulatedSurfaceModifier::move_vertex] Vertex ", vertex,
            " does not exist (the surface has ", nb_vertices, " vertices)" );
        check_finite_point( point, "move_vertex" );
        impl_->move_vertex( vertex, point );
    }

    template < index_t dimension >
    SurfaceCleanInfo TriangulatedSurfaceModifier< dimension >::clean()
    {
        return impl_->clean( *this );
    }

    template < index_t dimension >
    bool TriangulatedSurfaceModifier< dimension >::is_polygon_active(
        index_t polygon ) const
    {
        return impl_->is_polygon_active( polygon );
    }

    template < index_t dimension >
    bool TriangulatedSurfaceModifier< dimension >::is_edge_active( index_t edge )
    {
        return impl_->is_edge_active( edge );
    }

    template < index_t dimension >
    std::vector< index_t >
        TriangulatedSurfaceModifier< dimension >::delete_inactive_polygons()
    {
        return impl_->delete_inactive_polygons();
    }

    template < index_t dimension >
    const TriangulatedSurface< dimension >&
        TriangulatedSurfaceModifier< dimension >::mesh() const
    {
        return impl_->mesh();
    }

    template < index_t dimension >
    TriangulatedSurfaceEpsilonModifier< dimension >::
        TriangulatedSurfaceEpsilonModifier(
            const TriangulatedSurface< dimension >& mesh,
            TriangulatedSurfaceBuilder< dimension >& builder )
        : TriangulatedSurfaceModifier< dimension >( mesh, builder )
    {
    }

    template < index_t dimension >
    SurfaceEpsilonSplitEdgeInfo
        TriangulatedSurfaceEpsilonModifier< dimension >::split_edge(
            PolygonEdge edge, const Point< dimension >& point )
    {
        auto& base = static_cast< TriangulatedSurfaceModifier< dimension >& >( *this );
        const auto& mesh = this->mesh();
        check_live_polygon_edge( base, mesh, edge, "split_edge" );
        // One result object for every path, so that it is built in place.
        SurfaceEpsilonSplitEdgeInfo result;
        const auto first = mesh.polygon_edge_vertex( edge, 0 );
        if( mesh.point( first ).inexact_equal( point ) )
        {
            result.info.new_vertex = first;
            result.kind = SurfaceEpsilonSplitEdgeKind::first_vertex;
            return result;
        }
        const auto second = mesh.polygon_edge_vertex( edge, 1 );
        if( point.inexact_equal( mesh.point( second ) ) )
        {
            result.info.new_vertex = second;
            result.kind = SurfaceEpsilonSplitEdgeKind::second_vertex;
            return result;
        }
        result.info = base.split_edge( edge, point );
        result.kind = SurfaceEpsilonSplitEdgeKind::split;
        return result;
    }

    namespace detail
    {
        bool is_triangle_inverted(
            const Triangle< 3 >& triangle, const Vector< 3 >& reference )
        {
            if( reference.length() < GLOBAL_EPSILON )
            {
                return false;
            }
            const auto& vertices = triangle.vertices();
            if( triangle.normal() )
            {
                // The sign of reference . ((b - a) x (c - a)) is the sign of
                // the volume of (a, b, c, a + reference).
                const Tetrahedron tetrahedron{ vertices[0], vertices[1],
                    vertices[2], vertices[0] + reference };
                return tetrahedron_volume_sign( tetrahedron ) != SIDE::positive;
            }
            local_index_t axis{ 0 };
            for( const local_index_t candidate : { 1, 2 } )
            {
                if( std::fabs( reference.value( candidate ) )
                    > std::fabs( reference.value( axis ) ) )
                {
                    axis = candidate;
                }
            }
            const auto positive_reference = reference.value( axis ) >= 0.;
            const auto area = triangle_area_sign( triangle, axis );
            if( area == SIDE::zero )
            {
                return false;
            }
            return ( area == SIDE::negative ) == positive_reference;
        }

        bool is_triangle_inverted_around_edge( const TriangulatedSurface< 3 >& mesh,
            const Triangle< 3 >& triangle,
            const PolygonEdge& edge )
        {
            auto reference = mesh.polygon_normal( edge.polygon_id )
                                 .value_or( Vector< 3 >{} );
            if( const auto adjacent = mesh.polygon_adjacent( edge ) )
            {
                reference +=
                    mesh.polygon_normal( adjacent.value() ).value_or( Vector< 3 >{} );
            }
            return is_triangle_inverted( triangle, reference );
        }

        bool is_triangle_inverted_in_polygon( const TriangulatedSurface< 3 >& mesh,
            const Triangle< 3 >& triangle,
            index_t polygon )
        {
            return is_triangle_inverted(
                triangle, mesh.polygon_normal( polygon ).value_or( Vector< 3 >{} ) );
        }
    } // namespace detail

    template class TriangulatedSurfaceModifier< 2 >;
    template class TriangulatedSurfaceModifier< 3 >;
    template class TriangulatedSurfaceEpsilonModifier< 2 >;
    template class TriangulatedSurfaceEpsilonModifier< 3 >;
} // namespace orvane
