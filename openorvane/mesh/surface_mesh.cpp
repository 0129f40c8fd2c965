#include <openorvane/mesh/surface_mesh.hpp>

#include <algorithm>
#include <string>
#include <utility>

#include <absl/strings/str_cat.h>

#include <openorvane/basic/assert.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/surface_mesh_builder.hpp>
#include <openorvane/mesh/surface_mesh_impl.hpp>

namespace orvane
{
    namespace
    {
        /// Appends the value unless the list already holds it: the lists
        /// around a vertex are short, so a linear search is enough.
        template < typename List, typename Value >
        void push_back_unique( List& list, const Value& value )
        {
            if( std::find( list.begin(), list.end(), value ) == list.end() )
            {
                list.push_back( value );
            }
        }

        /// The first local index of a triangle's vertices holding the vertex,
        /// as local_vertex finds it; 3 when none does.
        template < typename Vertices >
        local_index_t first_local_of( const Vertices& vertices, index_t vertex_id )
        {
            if( vertices[0] == vertex_id )
            {
                return 0;
            }
            if( vertices[1] == vertex_id )
            {
                return 1;
            }
            if( vertices[2] == vertex_id )
            {
                return 2;
            }
            return 3;
        }

        /// One step of a walk around a vertex: the polygon reached, the
        /// vertex's local index in it and the local edge through the vertex
        /// that the walk crosses next.
        struct FanStep
        {
            index_t polygon;
            local_index_t vertex;
            local_index_t edge;
        };

        /// Crosses `step.edge` and moves `step` to the next step; returns
        /// false, leaving `step` as it was, when the edge has no neighbour or
        /// the neighbour does not share the edge around `vertex_id`
        /// (inconsistent adjacency). The edge crossed next is the
        /// neighbour's other edge through the vertex, which keeps the turning
        /// direction even across polygons of opposite orientation.
        template < typename Impl >
        bool cross( const Impl& impl, index_t vertex_id, FanStep& step )
        {
            const auto& row = impl.polygons[step.polygon];
            const auto adjacent = row.adjacents[step.edge];
            if( adjacent == NO_ID || adjacent >= impl.nb_polygons() )
            {
                return false;
            }
            const auto other = row.vertices[step.edge == step.vertex
                                                ? Impl::next( step.vertex )
                                                : Impl::previous( step.vertex )];
            const auto& vertices = impl.polygons[adjacent].vertices;
            const auto v = first_local_of( vertices, vertex_id );
            if( v == 3 )
            {
                return false;
            }
            if( vertices[Impl::next( v )] == other )
            {
                step = { adjacent, v, Impl::previous( v ) };
                return true;
            }
            if( vertices[Impl::previous( v )] == other )
            {
                step = { adjacent, v, v };
                return true;
            }
            return false;
        }

        /// Walks the fan of `vertex_id` in the order of
        /// polygons_around_vertex, calling `visit( polygon, local vertex )`
        /// for each corner until it returns true. Returns true when `visit`
        /// stopped the walk.
        ///
        /// Each step crosses the adjacency kept from the previous row and
        /// reads one row: the crossed edge's far vertex (`other`) and the
        /// neighbour to cross next come from the row just read, so that the
        /// loop keeps its state in registers. It makes the same decisions as
        /// `cross` (same stops on inconsistent adjacency, same order).
        template < typename Impl, typename Visit >
        bool walk_fan( const Impl& impl, index_t vertex_id, Visit&& visit )
        {
            if( vertex_id >= impl.polygon_around_vertex.size()
                || !impl.has_valid_association( vertex_id ) )
            {
                return false;
            }
            const auto start = impl.polygon_around_vertex[vertex_id];
            if( visit( start.polygon_id, start.vertex_id ) )
            {
                return true;
            }
            const auto* const rows = impl.polygons.data();
            // NO_ID is above every polygon index: one compare rejects both a
            // border edge and an adjacency out of range.
            const auto nb_polygons = impl.nb_polygons();
            const auto& start_row = rows[start.polygon_id];
            const auto start_next = Impl::next( start.vertex_id );
            const auto start_previous = Impl::previous( start.vertex_id );
            // Crosses to `polygon` from an edge whose far vertex is `other`;
            // on success sets `local`, and `polygon` and `other` for the
            // next step (the adjacent to cross and its edge's far vertex).
            const auto cross_to = [rows, nb_polygons, vertex_id](
                                      index_t& polygon, index_t& other,
                                      local_index_t& local ) {
                if( polygon >= nb_polygons )
                {
                    return false;
                }
                const auto& row = rows[polygon];
                const auto& vertices = row.vertices;
                const auto v = first_local_of( vertices, vertex_id );
                if( v == 3 )
                {
                    return false;
                }
                const auto v_next = Impl::next( v );
                const auto v_previous = Impl::previous( v );
                local = v;
                if( vertices[v_next] == other )
                {
                    // Crossed edge v: go on across the edge ending at v.
                    other = vertices[v_previous];
                    polygon = row.adjacents[v_previous];
                    return true;
                }
                if( vertices[v_previous] == other )
                {
                    // Crossed the edge ending at v: go on across edge v.
                    other = vertices[v_next];
                    polygon = row.adjacents[v];
                    return true;
                }
                return false;
            };
            const auto max_steps = nb_polygons;
            // Forward: across the edge that starts at the vertex.
            auto polygon = start_row.adjacents[start.vertex_id];
            auto other = start_row.vertices[start_next];
            for( index_t s = 0; s < max_steps; s++ )
            {
                const auto reached = polygon;
                local_index_t local;
                if( !cross_to( polygon, other, local ) )
                {
                    break;
                }
                if( reached == start.polygon_id )
                {
                    return false;
                }
                if( visit( reached, local ) )
                {
                    return true;
                }
            }
            // Border reached: from the start, across the edge that ends at
            // the vertex.
            polygon = start_row.adjacents[start_previous];
            other = start_row.vertices[start_previous];
            for( index_t s = 0; s < max_steps; s++ )
            {
                const auto reached = polygon;
                local_index_t local;
                if( !cross_to( polygon, other, local )
                    || reached == start.polygon_id )
                {
                    break;
                }
                if( visit( reached, local ) )
                {
                    return true;
                }
            }
            return false;
        }

        template < typename Impl >
        PolygonsAroundVertex fan( const Impl& impl, index_t vertex_id )
        {
            PolygonsAroundVertex result;
            walk_fan( impl, vertex_id,
                [&result]( index_t polygon, local_index_t local ) {
                    result.emplace_back( polygon, local );
                    return false;
                } );
            return result;
        }
    } // namespace

    template < index_t dimension >
    SurfaceMesh< dimension >::SurfaceMesh() : impl_{ std::make_unique< Impl >() }
    {
    }

    template < index_t dimension >
    SurfaceMesh< dimension >::SurfaceMesh( SurfaceMesh&& other ) noexcept
        : VertexSet{ std::move( other ) },
          impl_{ std::exchange( other.impl_, std::make_unique< Impl >() ) }
    {
    }

    template < index_t dimension >
    SurfaceMesh< dimension >& SurfaceMesh< dimension >::operator=(
        SurfaceMesh&& other ) noexcept
    {
        if( this != &other )
        {
            VertexSet::operator=( std::move( other ) );
            impl_ = std::exchange( other.impl_, std::make_unique< Impl >() );
        }
        return *this;
    }

    template < index_t dimension >
    SurfaceMesh< dimension >::~SurfaceMesh() = default;

    template < index_t dimension >
    std::unique_ptr< SurfaceMesh< dimension > > SurfaceMesh< dimension >::create()
    {
        return create( MeshFactory::default_impl( type_name_static() ) );
    }

    template < index_t dimension >
    std::unique_ptr< SurfaceMesh< dimension > > SurfaceMesh< dimension >::create(
        const MeshImpl& impl )
    {
        return detail::create_mesh< SurfaceMesh< dimension > >( impl );
    }

    template < index_t dimension >
    MeshType SurfaceMesh< dimension >::type_name_static()
    {
        return MeshType{ absl::StrCat( "SurfaceMesh", dimension, "D" ) };
    }

    template < index_t dimension >
    std::unique_ptr< SurfaceMesh< dimension > > SurfaceMesh< dimension >::clone() const
    {
        auto copy = create( this->impl_name() );
        auto builder = SurfaceMeshBuilder< dimension >::create( *copy );
        builder->copy( *this );
        return copy;
    }

    template < index_t dimension >
    index_t SurfaceMesh< dimension >::nb_polygons() const
    {
        return impl_->nb_polygons();
    }

    template < index_t dimension >
    local_index_t SurfaceMesh< dimension >::nb_polygon_vertices(
        index_t /*polygon_id*/ ) const
    {
        return Impl::NB_POLYGON_VERTICES;
    }

    template < index_t dimension >
    index_t SurfaceMesh< dimension >::polygon_vertex(
        const PolygonVertex& polygon_vertex ) const
    {
        ORVANE_ASSERT( polygon_vertex.polygon_id < impl_->nb_polygons()
                           && polygon_vertex.vertex_id < Impl::NB_POLYGON_VERTICES,
            "[SurfaceMesh::polygon_vertex] Polygon vertex (",
            polygon_vertex.polygon_id, ", ", polygon_vertex.vertex_id,
            ") out of range (", impl_->nb_polygons(), " polygons)" );
        return impl_->vertex( polygon_vertex.polygon_id, polygon_vertex.vertex_id );
    }

    template < index_t dimension >
    PolygonVertices SurfaceMesh< dimension >::polygon_vertices(
        index_t polygon_id ) const
    {
        ORVANE_ASSERT( polygon_id < impl_->nb_polygons(),
            "[SurfaceMesh::polygon_vertices] Polygon ", polygon_id,
            " out of range (", impl_->nb_polygons(), " polygons)" );
        return { impl_->vertex( polygon_id, 0 ), impl_->vertex( polygon_id, 1 ),
            impl_->vertex( polygon_id, 2 ) };
    }

    template < index_t dimension >
    index_t SurfaceMesh< dimension >::polygon_edge_vertex(
        const PolygonEdge& polygon_edge, local_index_t vertex_id ) const
    {
        const auto local =
            vertex_id == 0 ? polygon_edge.edge_id : Impl::next( polygon_edge.edge_id );
        return impl_->vertex( polygon_edge.polygon_id, local );
    }

    template < index_t dimension >
    EdgeVertices SurfaceMesh< dimension >::polygon_edge_vertices(
        const PolygonEdge& polygon_edge ) const
    {
        return { polygon_edge_vertex( polygon_edge, 0 ),
            polygon_edge_vertex( polygon_edge, 1 ) };
    }

    template < index_t dimension >
    PolygonVertex SurfaceMesh< dimension >::next_polygon_vertex(
        const PolygonVertex& polygon_vertex ) const
    {
        return { polygon_vertex.polygon_id, Impl::next( polygon_vertex.vertex_id ) };
    }

    template < index_t dimension >
    PolygonVertex SurfaceMesh< dimension >::previous_polygon_vertex(
        const PolygonVertex& polygon_vertex ) const
    {
        return { polygon_vertex.polygon_id,
            Impl::previous( polygon_vertex.vertex_id ) };
    }

    template < index_t dimension >
    PolygonEdge SurfaceMesh< dimension >::next_polygon_edge(
        const PolygonEdge& polygon_edge ) const
    {
        return { polygon_edge.polygon_id, Impl::next( polygon_edge.edge_id ) };
    }

    template < index_t dimension >
    PolygonEdge SurfaceMesh< dimension >::previous_polygon_edge(
        const PolygonEdge& polygon_edge ) const
    {
        return { polygon_edge.polygon_id, Impl::previous( polygon_edge.edge_id ) };
    }

    template < index_t dimension >
    std::optional< local_index_t > SurfaceMesh< dimension >::vertex_in_polygon(
        index_t polygon_id, index_t vertex_id ) const
    {
        return impl_->local_vertex( polygon_id, vertex_id );
    }

    template < index_t dimension >
    std::optional< index_t > SurfaceMesh< dimension >::polygon_adjacent(
        const PolygonEdge& polygon_edge ) const
    {
        const auto adjacent =
            impl_->adjacent( polygon_edge.polygon_id, polygon_edge.edge_id );
        if( adjacent == NO_ID )
        {
            return std::nullopt;
        }
        return adjacent;
    }

    template < index_t dimension >
    std::optional< PolygonEdge > SurfaceMesh< dimension >::polygon_adjacent_edge(
        const PolygonEdge& polygon_edge ) const
    {
        // Read from the rows directly: this runs on every edit.
        const auto& impl = *impl_;
        const auto& row = impl.polygons[polygon_edge.polygon_id];
        const auto adjacent = row.adjacents[polygon_edge.edge_id];
        if( adjacent == NO_ID || adjacent >= impl.nb_polygons() )
        {
            return std::nullopt;
        }
        const auto from = row.vertices[polygon_edge.edge_id];
        const auto to = row.vertices[Impl::next( polygon_edge.edge_id )];
        const auto& vertices = impl.polygons[adjacent].vertices;
        const auto v0 = vertices[0];
        const auto v1 = vertices[1];
        const auto v2 = vertices[2];
        // The first reversed edge in local order, else the first edge of the
        // same direction.
        local_index_t e;
        if( v0 == to && v1 == from )
        {
            e = 0;
        }
        else if( v1 == to && v2 == from )
        {
            e = 1;
        }
        else if( v2 == to && v0 == from )
        {
            e = 2;
        }
        else if( v0 == from && v1 == to )
        {
            e = 0;
        }
        else if( v1 == from && v2 == to )
        {
            e = 1;
        }
        else if( v2 == from && v0 == to )
        {
            e = 2;
        }
        else
        {
            return std::nullopt;
        }
        return PolygonEdge{ adjacent, e };
    }

    template < index_t dimension >
    bool SurfaceMesh< dimension >::is_edge_on_border(
        const PolygonEdge& polygon_edge ) const
    {
        return impl_->adjacent( polygon_edge.polygon_id, polygon_edge.edge_id )
               == NO_ID;
    }

    template < index_t dimension >
    std::optional< PolygonVertex > SurfaceMesh< dimension >::polygon_around_vertex(
        index_t vertex_id ) const
    {
        const auto& stored = impl_->polygon_around_vertex[vertex_id];
        if( stored.polygon_id == NO_ID )
        {
            return std::nullopt;
        }
        return stored;
    }

    template < index_t dimension >
    bool SurfaceMesh< dimension >::is_vertex_isolated( index_t vertex_id ) const
    {
        return impl_->polygon_around_vertex[vertex_id].polygon_id == NO_ID;
    }

    template < index_t dimension >
    PolygonsAroundVertex SurfaceMesh< dimension >::polygons_around_vertex(
        index_t vertex_id ) const
    {
        return fan( *impl_, vertex_id );
    }

    template < index_t dimension >
    PolygonsAroundVertex SurfaceMesh< dimension >::polygons_around_vertex(
        index_t vertex_id, CornersSides& sides ) const
    {
        const auto& impl = *impl_;
        const auto* const rows = impl.polygons.data();
        PolygonsAroundVertex corners;
        sides.clear();
        // Each row is read as the walk reaches it.
        walk_fan( impl, vertex_id,
            [rows, &corners, &sides]( index_t polygon, local_index_t local ) {
                const auto& vertices = rows[polygon].vertices;
                corners.emplace_back( polygon, local );
                sides.push_back( { vertices[Impl::next( local )],
                    vertices[Impl::previous( local )] } );
                return false;
            } );
        return corners;
    }

    template < index_t dimension >
    std::vector< index_t > SurfaceMesh< dimension >::vertices_around_vertex(
        index_t vertex_id ) const
    {
        std::vector< index_t > result;
        for( const auto& corner : polygons_around_vertex( vertex_id ) )
        {
            push_back_unique( result, polygon_vertex( next_polygon_vertex( corner ) ) );
            push_back_unique(
                result, polygon_vertex( previous_polygon_vertex( corner ) ) );
        }
        return result;
    }

    template < index_t dimension >
    bool SurfaceMesh< dimension >::is_vertex_on_border( index_t vertex_id ) const
    {
        const auto& impl = *impl_;
        const auto* const rows = impl.polygons.data();
        return walk_fan(
            impl, vertex_id, [rows]( index_t polygon, local_index_t local ) {
                const auto& adjacents = rows[polygon].adjacents;
                return adjacents[local] == NO_ID
                       || adjacents[Impl::previous( local )] == NO_ID;
            } );
    }

    template < index_t dimension >
    std::optional< PolygonEdge > SurfaceMesh< dimension >::next_on_border(
        const PolygonEdge& polygon_edge ) const
    {
        const auto& impl = *impl_;
        const auto local_end = Impl::next( polygon_edge.edge_id );
        const auto vertex_id = impl.vertex( polygon_edge.polygon_id, local_end );
        FanStep step{ polygon_edge.polygon_id, local_end, local_end };
        for( index_t s = 0; s <= impl.nb_polygons(); s++ )
        {
            if( impl.adjacent( step.polygon, step.edge ) == NO_ID )
            {
                if( step.edge != step.vertex )
                {
                    // The border edge found ends at the vertex: the
                    // surrounding polygons are not consistently oriented.
                    return std::nullopt;
                }
                return PolygonEdge{ step.polygon, step.edge };
            }
            if( !cross( impl, vertex_id, step )
                || step.polygon == polygon_edge.polygon_id )
            {
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    template < index_t dimension >
    std::optional< PolygonEdge > SurfaceMesh< dimension >::polygon_edge_from_vertices(
        index_t from_vertex_id, index_t to_vertex_id ) const
    {
        // Each walk stops at the first corner found, in fan order.
        const auto& impl = *impl_;
        const auto* const rows = impl.polygons.data();
        std::optional< PolygonEdge > result;
        if( walk_fan( impl, from_vertex_id,
                [rows, to_vertex_id, &result](
                    index_t polygon, local_index_t local ) {
                    if( rows[polygon].vertices[Impl::next( local )]
                        != to_vertex_id )
                    {
                        return false;
                    }
                    result = PolygonEdge{ polygon, local };
                    return true;
                } ) )
        {
            return result;
        }
        walk_fan( impl, to_vertex_id,
            [rows, from_vertex_id, &result](
                index_t polygon, local_index_t local ) {
                const auto previous = Impl::previous( local );
                if( rows[polygon].vertices[previous] != from_vertex_id )
                {
                    return false;
                }
                result = PolygonEdge{ polygon, previous };
                return true;
            } );
        return result;
    }

    template < index_t dimension >
    PolygonEdges SurfaceMesh< dimension >::polygons_from_edge_vertices(
        const EdgeVertices& edge_vertices ) const
    {
        PolygonEdges result;
        for( const auto side : { 0, 1 } )
        {
            const auto vertex = edge_vertices[side];
            const auto other = edge_vertices[1 - side];
            for( const auto& corner : polygons_around_vertex( vertex ) )
            {
                if( polygon_vertex( next_polygon_vertex( corner ) ) == other )
                {
                    push_back_unique( result, PolygonEdge{ corner } );
                }
                const auto previous = previous_polygon_vertex( corner );
                if( polygon_vertex( previous ) == other )
                {
                    push_back_unique( result, PolygonEdge{ previous } );
                }
            }
        }
        return result;
    }

    template < index_t dimension >
    void SurfaceMesh< dimension >::prefetch_polygons(
        absl::Span< const index_t > polygon_ids ) const
    {
        const auto& impl = *impl_;
        const auto nb_polygons = impl.nb_polygons();
        for( const auto polygon : polygon_ids )
        {
            if( polygon >= nb_polygons )
            {
                continue;
            }
            // A row may straddle two cache lines: hint at its first and last
            // bytes.
            const auto* row = reinterpret_cast< const char* >( &impl.polygons[polygon] );
            __builtin_prefetch( row );
            __builtin_prefetch( row + sizeof( typename Impl::PolygonRow ) - 1 );
        }
    }

    template < index_t dimension >
    void SurfaceMesh< dimension >::prefetch_vertices(
        absl::Span< const index_t > vertex_ids ) const
    {
        const auto& impl = *impl_;
        const auto& points = impl.points.points();
        const auto nb_vertices =
            std::min( points.size(), impl.polygon_around_vertex.size() );
        for( const auto vertex : vertex_ids )
        {
            if( vertex >= nb_vertices )
            {
                continue;
            }
            __builtin_prefetch( &impl.polygon_around_vertex[vertex] );
            const auto* point = reinterpret_cast< const char* >( &points[vertex] );
            __builtin_prefetch( point );
            __builtin_prefetch( point + sizeof( Point< dimension > ) - 1 );
        }
    }

    template < index_t dimension >
    const Point< dimension >& SurfaceMesh< dimension >::point( index_t vertex_id ) const
    {
        return impl_->points.point( vertex_id );
    }

    template < index_t dimension >
    BoundingBox< dimension > SurfaceMesh< dimension >::bounding_box() const
    {
        return impl_->points.bounding_box();
    }

    template < index_t dimension >
    Point< dimension > SurfaceMesh< dimension >::polygon_barycenter(
        index_t polygon_id ) const
    {
        Point< dimension > sum;
        for( local_index_t v = 0; v < Impl::NB_POLYGON_VERTICES; v++ )
        {
            sum += point( impl_->vertex( polygon_id, v ) );
        }
        return sum / static_cast< double >( Impl::NB_POLYGON_VERTICES );
    }

    template < index_t dimension >
    double SurfaceMesh< dimension >::edge_length( const PolygonEdge& polygon_edge ) const
    {
        return segment( polygon_edge ).length();
    }

    template < index_t dimension >
    Point< dimension > SurfaceMesh< dimension >::edge_barycenter(
        const PolygonEdge& polygon_edge ) const
    {
        return segment( polygon_edge ).barycenter();
    }

    template < index_t dimension >
    Segment< dimension > SurfaceMesh< dimension >::segment(
        const PolygonEdge& polygon_edge ) const
    {
        const auto [from, to] = polygon_edge_vertices( polygon_edge );
        return { point( from ), point( to ) };
    }

    template < index_t dimension >
    std::optional< Vector< 3 > > SurfaceMesh< dimension >::polygon_normal(
        index_t polygon_id ) const
        requires( dimension == 3 )
    {
        return Triangle< 3 >{ point( impl_->vertex( polygon_id, 0 ) ),
            point( impl_->vertex( polygon_id, 1 ) ),
            point( impl_->vertex( polygon_id, 2 ) ) }
            .normal();
    }

    template < index_t dimension >
    std::optional< Vector< 3 > > SurfaceMesh< dimension >::polygon_vertex_normal(
        index_t vertex_id ) const
        requires( dimension == 3 )
    {
        const auto& impl = *impl_;
        const auto* const rows = impl.polygons.data();
        Vector< 3 > sum;
        // The normals are added in fan order, as the walk meets them.
        walk_fan( impl, vertex_id,
            [&points = impl.points, rows, &sum](
                index_t polygon, local_index_t /*local*/ ) {
                const auto& vertices = rows[polygon].vertices;
                if( const auto normal = Triangle< 3 >{ points.point( vertices[0] ),
                        points.point( vertices[1] ), points.point( vertices[2] ) }
                                            .normal() )
                {
                    sum += normal.value();
                }
                return false;
            } );
        if( sum.length() <= DIVISION_EPSILON )
        {
            return std::nullopt;
        }
        return sum.normalize();
    }

    template < index_t dimension >
    void SurfaceMesh< dimension >::enable_edges() const
    {
        if( impl_->edges )
        {
            return;
        }
        auto edges = std::make_unique< Edges >();
        EdgesBuilder builder{ *edges };
        for( index_t p = 0; p < nb_polygons(); p++ )
        {
            for( local_index_t e = 0; e < Impl::NB_POLYGON_VERTICES; e++ )
            {
                builder.find_or_create_edge( polygon_edge_vertices( { p, e } ) );
            }
        }
        impl_->edges = std::move( edges );
    }

    template < index_t dimension >
    bool SurfaceMesh< dimension >::are_edges_enabled() const
    {
        return static_cast< bool >( impl_->edges );
    }

    template < index_t dimension >
    const SurfaceEdges< dimension >& SurfaceMesh< dimension >::edges() const
    {
        ORVANE_EXCEPTION( impl_->edges != nullptr,
            "[SurfaceMesh::edges] Edges should be enabled before accessing them" );
        return *impl_->edges;
    }

    template < index_t dimension >
    AttributeManager& SurfaceMesh< dimension >::polygon_attribute_manager() const
    {
        return impl_->polygon_attributes;
    }

    template < index_t dimension >
    void SurfaceMesh< dimension >::vertices_added( index_t nb_vertices_total )
    {
        VertexSet::vertices_added( nb_vertices_total );
        impl_->points.resize( nb_vertices_total );
        impl_->polygon_around_vertex.resize( nb_vertices_total );
    }

    template < index_t dimension >
    void SurfaceMesh< dimension >::vertices_deleted(
        const std::vector< bool >& to_delete, const OldToNew& old2new )
    {
        VertexSet::vertices_deleted( to_delete, old2new );
        auto& impl = *impl_;
        impl.points.delete_points( to_delete );
        delete_vector_elements( to_delete, impl.polygon_around_vertex );
        for( auto& row : impl.polygons )
        {
            for( auto& vertex : row.vertices )
            {
                if( vertex != NO_ID )
                {
                    vertex = old2new[vertex];
                }
            }
        }
        if( impl.edges )
        {
            EdgesBuilder{ *impl.edges }.update_edge_vertices( old2new );
        }
    }

    template class SurfaceMesh< 2 >;
    template class SurfaceMesh< 3 >;
} // namespace orvane
