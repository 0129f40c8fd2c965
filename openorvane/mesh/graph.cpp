#include <openorvane/mesh/graph.hpp>

#include <algorithm>
#include <utility>

#include <openorvane/basic/algorithm.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/mesh/graph_impl.hpp>

namespace orvane
{
    Graph::Graph() : impl_{ std::make_unique< Impl >() } {}

    Graph::Graph( Graph&& other ) noexcept
        : VertexSet{ std::move( other ) },
          impl_{ std::exchange( other.impl_, std::make_unique< Impl >() ) }
    {
    }

    Graph& Graph::operator=( Graph&& other ) noexcept
    {
        if( this != &other )
        {
            VertexSet::operator=( std::move( other ) );
            impl_ = std::exchange( other.impl_, std::make_unique< Impl >() );
        }
        return *this;
    }

    Graph::~Graph() = default;

    std::unique_ptr< Graph > Graph::create()
    {
        return create( MeshFactory::default_impl( type_name_static() ) );
    }

    std::unique_ptr< Graph > Graph::create( const MeshImpl& impl )
    {
        return detail::create_mesh< Graph >( impl );
    }

    MeshType Graph::type_name_static()
    {
        return MeshType{ "Graph" };
    }

    std::unique_ptr< Graph > Graph::clone() const
    {
        auto copy = create( impl_name() );
        auto builder = GraphBuilder::create( *copy );
        builder->copy( *this );
        return copy;
    }

    index_t Graph::nb_edges() const
    {
        return impl_->nb_edges();
    }

    index_t Graph::edge_vertex( const EdgeVertex& edge_vertex ) const
    {
        return impl_->vertex( edge_vertex );
    }

    EdgeVertices Graph::edge_vertices( index_t edge_id ) const
    {
        return { impl_->vertex( { edge_id, 0 } ), impl_->vertex( { edge_id, 1 } ) };
    }

    const EdgesAroundVertex& Graph::edges_around_vertex( index_t vertex_id ) const
    {
        return impl_->edges_around_vertex[vertex_id];
    }

    bool Graph::is_vertex_isolated( index_t vertex_id ) const
    {
        return impl_->edges_around_vertex[vertex_id].empty();
    }

    std::optional< index_t > Graph::edge_from_vertices(
        const EdgeVertices& vertices ) const
    {
        if( vertices[0] >= nb_vertices() )
        {
            return std::nullopt;
        }
        for( const auto& end : impl_->edges_around_vertex[vertices[0]] )
        {
            if( impl_->vertex( end.opposite() ) == vertices[1] )
            {
                return end.edge_id;
            }
        }
        return std::nullopt;
    }

    AttributeManager& Graph::edge_attribute_manager() const
    {
        return impl_->edge_attributes;
    }

    void Graph::vertices_added( index_t nb_vertices_total )
    {
        VertexSet::vertices_added( nb_vertices_total );
        impl_->edges_around_vertex.resize( nb_vertices_total );
    }

    void Graph::vertices_deleted(
        const std::vector< bool >& to_delete, const OldToNew& old2new )
    {
        VertexSet::vertices_deleted( to_delete, old2new );
        delete_vector_elements( to_delete, impl_->edges_around_vertex );
        for( auto& vertex : impl_->edge_vertices )
        {
            if( vertex != NO_ID )
            {
                vertex = old2new[vertex];
            }
        }
    }

    OpenOrvaneGraph::OpenOrvaneGraph() = default;

    OpenOrvaneGraph::OpenOrvaneGraph( OpenOrvaneGraph&& other ) noexcept
        : Graph{ std::move( other ) }
    {
    }

    OpenOrvaneGraph& OpenOrvaneGraph::operator=( OpenOrvaneGraph&& other ) noexcept
    {
        Graph::operator=( std::move( other ) );
        return *this;
    }

    OpenOrvaneGraph::~OpenOrvaneGraph() = default;

    MeshImpl OpenOrvaneGraph::impl_name_static()
    {
        return MeshImpl{ "OpenOrvaneGraph" };
    }

    MeshImpl OpenOrvaneGraph::impl_name() const
    {
        return impl_name_static();
    }

    MeshType OpenOrvaneGraph::type_name() const
    {
        return Graph::type_name_static();
    }

    std::string_view OpenOrvaneGraph::native_extension() const
    {
        return "oo_grp";
    }

    GraphBuilder::GraphBuilder( Graph& mesh ) : VertexSetBuilder{ mesh }, graph_( mesh )
    {
    }

    GraphBuilder::~GraphBuilder() = default;

    std::unique_ptr< GraphBuilder > GraphBuilder::create( Graph& mesh )
    {
        return detail::create_mesh_builder< GraphBuilder >( mesh );
    }

    index_t GraphBuilder::create_edge()
    {
        return create_edges( 1 );
    }

    index_t GraphBuilder::create_edge( index_t v0, index_t v1 )
    {
        const auto nb_vertices = graph_.nb_vertices();
        ORVANE_EXCEPTION( v0 < nb_vertices && v1 < nb_vertices,
            "[GraphBuilder::create_edge] Edge (", v0, ", ", v1,
            ") names a vertex that does not exist (the graph has ", nb_vertices,
            " vertices)" );
        const auto edge = create_edges( 1 );
        set_edge_vertex( { edge, 0 }, v0 );
        set_edge_vertex( { edge, 1 }, v1 );
        return edge;
    }

    index_t GraphBuilder::create_edges( index_t nb )
    {
        auto& impl = *graph_.impl_;
        const auto first = impl.nb_edges();
        impl.edge_vertices.resize( impl.edge_vertices.size() + 2 * std::size_t{ nb }, NO_ID );
        impl.edge_attributes.resize( first + nb );
        return first;
    }

    void GraphBuilder::check_edge_vertex(
        const EdgeVertex& edge_vertex, const char* function ) const
    {
        const auto nb_edges = graph_.nb_edges();
        ORVANE_EXCEPTION( edge_vertex.edge_id < nb_edges && edge_vertex.vertex_id < 2,
            "[GraphBuilder::", function, "] Edge end ", edge_vertex.string(),
            " does not exist (the graph has ", nb_edges, " edges)" );
    }

    void GraphBuilder::set_edge_vertex( const EdgeVertex& edge_vertex, index_t vertex_id )
    {
        auto& impl = *graph_.impl_;
        check_edge_vertex( edge_vertex, "set_edge_vertex" );
        ORVANE_EXCEPTION( vertex_id < graph_.nb_vertices(),
            "[GraphBuilder::set_edge_vertex] Vertex ", vertex_id, " does not exist" );
        disassociate_edge_vertex_to_vertex( edge_vertex );
        impl.vertex( edge_vertex ) = vertex_id;
        impl.edges_around_vertex[vertex_id].push_back( edge_vertex );
    }

    void GraphBuilder::disassociate_edge_vertex_to_vertex( const EdgeVertex& edge_vertex )
    {
        auto& impl = *graph_.impl_;
        check_edge_vertex( edge_vertex, "disassociate_edge_vertex_to_vertex" );
        const auto vertex = impl.vertex( edge_vertex );
        if( vertex == NO_ID || vertex >= graph_.nb_vertices() )
        {
            return;
        }
        auto& ends = impl.edges_around_vertex[vertex];
        const auto found = std::find( ends.begin(), ends.end(), edge_vertex );
        if( found != ends.end() )
        {
            ends.erase( found );
        }
    }

    OldToNew GraphBuilder::delete_edges( const std::vector< bool >& to_delete )
    {
        auto& impl = *graph_.impl_;
        const auto nb_edges = impl.nb_edges();
        ORVANE_EXCEPTION( to_delete.size() == nb_edges,
            "[GraphBuilder::delete_edges] Expected one flag per edge, got ",
            to_delete.size(), " flags for ", nb_edges, " edges" );
        auto old2new = detail::mapping_after_deletion( to_delete );
        if( std::find( to_delete.begin(), to_delete.end(), true ) == to_delete.end() )
        {
            return old2new;
        }
        index_t kept{ 0 };
        for( index_t e = 0; e < nb_edges; e++ )
        {
            if( !to_delete[e] )
            {
                impl.edge_vertices[2 * kept] = impl.edge_vertices[2 * e];
                impl.edge_vertices[2 * kept + 1] = impl.edge_vertices[2 * e + 1];
                kept++;
            }
        }
        impl.edge_vertices.resize( 2 * std::size_t{ kept } );
        impl.edge_attributes.delete_elements( to_delete );
        for( auto& ends : impl.edges_around_vertex )
        {
            EdgesAroundVertex renumbered;
            for( const auto& end : ends )
            {
                if( end.edge_id < nb_edges && old2new[end.edge_id] != NO_ID )
                {
                    renumbered.emplace_back( old2new[end.edge_id], end.vertex_id );
                }
            }
            ends = std::move( renumbered );
        }
        return old2new;
    }

    OldToNew GraphBuilder::delete_isolated_vertices()
    {
        const auto& impl = *graph_.impl_;
        std::vector< bool > to_delete( graph_.nb_vertices(), false );
        for( index_t v = 0; v < graph_.nb_vertices(); v++ )
        {
            to_delete[v] = impl.edges_around_vertex[v].empty();
        }
        for( const auto vertex : impl.edge_vertices )
        {
            if( vertex != NO_ID )
            {
                to_delete[vertex] = false;
            }
        }
        return delete_vertices( to_delete );
    }

    void GraphBuilder::copy( const Graph& graph )
    {
        if( &graph == &graph_ )
        {
            return;
        }
        copy_vertex_set( graph );
        graph_.impl_->copy( *graph.impl_ );
    }

    OpenOrvaneGraphBuilder::OpenOrvaneGraphBuilder( VertexSet& mesh )
        : GraphBuilder{ dynamic_cast< Graph& >( mesh ) }
    {
    }

    OpenOrvaneGraphBuilder::~OpenOrvaneGraphBuilder() = default;
} // namespace orvane
