#include <openorvane/mesh/edges.hpp>

#include <algorithm>
#include <cstdint>
#include <utility>

#include <openorvane/basic/algorithm.hpp>
#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/large_array_allocator.hpp>
#include <openorvane/mesh/edge_lookup.hpp>

namespace orvane
{
    namespace
    {
        /// The sorted vertex pair packed in one integer: hashing and
        /// comparing it is a single word operation.
        std::uint64_t key( const EdgeVertices& vertices )
        {
            const auto low = std::min( vertices[0], vertices[1] );
            const auto high = std::max( vertices[0], vertices[1] );
            return ( static_cast< std::uint64_t >( low ) << 32 ) | high;
        }
    } // namespace

    class Edges::Impl
    {
    public:
        void copy( const Impl& other )
        {
            vertices = other.vertices;
            lookup = other.lookup;
            attributes.copy( other.attributes );
        }

        /// The edge of the pair, added to the table when missing (the
        /// attributes are left to grow_attributes).
        index_t find_or_add( const EdgeVertices& pair )
        {
            const auto next = static_cast< index_t >( vertices.size() );
            const auto [edge, inserted] = lookup.try_emplace( key( pair ), next );
            if( inserted )
            {
                vertices.push_back( pair );
            }
            return edge;
        }

        /// Gives the edges added since there were `nb_before` their
        /// attribute entries, in one resize.
        void grow_attributes( std::size_t nb_before )
        {
            if( vertices.size() != nb_before )
            {
                attributes.resize( static_cast< index_t >( vertices.size() ) );
            }
        }

        /// Registers every edge whose two vertices still exist under its
        /// sorted vertex pair; the first edge wins a duplicated pair.
        void rebuild_lookup()
        {
            lookup.clear();
            lookup.reserve( vertices.size() );
            for( index_t e = 0; e < vertices.size(); e++ )
            {
                const auto& edge = vertices[e];
                if( edge[0] != NO_ID && edge[1] != NO_ID )
                {
                    lookup.try_emplace( key( edge ), e );
                }
            }
        }

        /// The vertices of each edge as first created. Large tables take
        /// huge pages: they grow one edge at a time.
        std::vector< EdgeVertices, LargeArrayAllocator< EdgeVertices > > vertices;
        /// Sorted vertex pair (packed by key()) to edge; orphans (a deleted
        /// vertex) are absent.
        internal::EdgeLookup lookup;
        AttributeManager attributes;
    };

    Edges::Edges() : impl_{ std::make_unique< Impl >() } {}

    Edges::Edges( Edges&& other ) noexcept
        : impl_{ std::exchange( other.impl_, std::make_unique< Impl >() ) }
    {
    }

    Edges& Edges::operator=( Edges&& other ) noexcept
    {
        if( this != &other )
        {
            impl_ = std::exchange( other.impl_, std::make_unique< Impl >() );
        }
        return *this;
    }

    Edges::~Edges() = default;

    index_t Edges::nb_edges() const
    {
        return static_cast< index_t >( impl_->vertices.size() );
    }

    const EdgeVertices& Edges::edge_vertices( index_t edge_id ) const
    {
        return impl_->vertices[edge_id];
    }

    std::optional< index_t > Edges::edge_from_vertices(
        const EdgeVertices& vertices ) const
    {
        return impl_->lookup.find( key( vertices ) );
    }

    void Edges::edges_from_vertices( absl::Span< const EdgeVertices > vertices,
        absl::Span< index_t > edges ) const
    {
        ORVANE_EXCEPTION( vertices.size() == edges.size(),
            "[Edges::edges_from_vertices] Expected one output entry per pair, got ",
            edges.size(), " entries for ", vertices.size(), " pairs" );
        const auto& lookup = impl_->lookup;
        for( const auto& pair : vertices )
        {
            lookup.prefetch( key( pair ) );
        }
        for( std::size_t i = 0; i < vertices.size(); i++ )
        {
            edges[i] = lookup.find( key( vertices[i] ) ).value_or( NO_ID );
        }
    }

    void Edges::prefetch_edges( absl::Span< const EdgeVertices > vertices ) const
    {
        const auto& lookup = impl_->lookup;
        for( const auto& pair : vertices )
        {
            lookup.prefetch( key( pair ) );
        }
    }

    AttributeManager& Edges::edge_attribute_manager() const
    {
        return impl_->attributes;
    }

    EdgesBuilder::EdgesBuilder( Edges& edges, UsedEdges used_edges )
        : edges_( edges ), used_edges_( std::move( used_edges ) )
    {
    }

    index_t EdgesBuilder::find_or_create_edge( const EdgeVertices& vertices )
    {
        auto& impl = *edges_.impl_;
        const auto nb_before = impl.vertices.size();
        const auto edge = impl.find_or_add( vertices );
        impl.grow_attributes( nb_before );
        return edge;
    }

    void EdgesBuilder::find_or_create_edges(
        absl::Span< const EdgeVertices > vertices, absl::Span< index_t > edges )
    {
        ORVANE_EXCEPTION( vertices.size() == edges.size(),
            "[EdgesBuilder::find_or_create_edges] Expected one output entry per "
            "pair, got ",
            edges.size(), " entries for ", vertices.size(), " pairs" );
        edges_.prefetch_edges( vertices );
        // The attributes grow once for the whole batch: nothing reads them
        // in between.
        auto& impl = *edges_.impl_;
        const auto nb_before = impl.vertices.size();
        for( std::size_t i = 0; i < vertices.size(); i++ )
        {
            edges[i] = impl.find_or_add( vertices[i] );
        }
        impl.grow_attributes( nb_before );
    }

    void EdgesBuilder::update_edge_vertices( const OldToNew& old2new )
    {
        auto& impl = *edges_.impl_;
        for( auto& vertices : impl.vertices )
        {
            for( auto& vertex : vertices )
            {
                if( vertex != NO_ID )
                {
                    vertex = vertex < old2new.size() ? old2new[vertex] : NO_ID;
                }
            }
        }
        impl.rebuild_lookup();
    }

    OldToNew EdgesBuilder::delete_edges( const std::vector< bool >& to_delete )
    {
        auto& impl = *edges_.impl_;
        ORVANE_EXCEPTION( to_delete.size() == impl.vertices.size(),
            "[EdgesBuilder::delete_edges] Expected one flag per edge, got ",
            to_delete.size(), " flags for ", impl.vertices.size(), " edges" );
        auto old2new = detail::mapping_after_deletion( to_delete );
        if( std::find( to_delete.begin(), to_delete.end(), true ) == to_delete.end() )
        {
            return old2new;
        }
        delete_vector_elements( to_delete, impl.vertices );
        impl.attributes.delete_elements( to_delete );
        impl.rebuild_lookup();
        return old2new;
    }

    OldToNew EdgesBuilder::delete_isolated_edges()
    {
        ORVANE_EXCEPTION( static_cast< bool >( used_edges_ ),
            "[EdgesBuilder::delete_isolated_edges] The builder does not know "
            "which edges the mesh uses" );
        auto to_delete = used_edges_( edges_ );
        to_delete.flip();
        return delete_edges( to_delete );
    }

    void EdgesBuilder::copy( const Edges& other )
    {
        edges_.impl_->copy( *other.impl_ );
    }
} // namespace orvane
