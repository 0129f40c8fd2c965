#include <openorvane/model/vertex_identifier.hpp>

#include <algorithm>
#include <utility>

#include <openorvane/basic/exception.hpp>

namespace orvane
{
    namespace
    {
        /// The links of one component: the unique vertex of each mesh vertex
        /// (NO_ID when unlinked). The table grows on demand, because mesh
        /// builders create vertices without telling the identifier.
        struct ComponentLinks
        {
            ComponentID id;
            std::vector< index_t > unique_vertices;
        };

        void erase_component_vertex( std::vector< ComponentMeshVertex >& list,
            const uuid& component, index_t vertex )
        {
            const auto found = std::find_if( list.begin(), list.end(),
                [&component, vertex]( const ComponentMeshVertex& entry ) {
                    return entry.vertex == vertex && entry.component_id.id() == component;
                } );
            if( found != list.end() )
            {
                list.erase( found );
            }
        }
    } // namespace

    class VertexIdentifier::Impl
    {
    public:
        index_t nb_unique_vertices() const
        {
            return static_cast< index_t >( component_vertices_.size() );
        }

        const ComponentLinks& links( const uuid& component ) const
        {
            return *components_.at( component );
        }

        ComponentLinks& links( const uuid& component )
        {
            return *components_.at( component );
        }

        index_t unique_vertex( const uuid& component, index_t vertex ) const
        {
            const auto& table = links( component ).unique_vertices;
            return vertex < table.size() ? table[vertex] : NO_ID;
        }

        const std::vector< ComponentMeshVertex >& component_vertices(
            index_t unique_vertex_id ) const
        {
            check_unique_vertex( unique_vertex_id );
            return component_vertices_[unique_vertex_id];
        }

        std::vector< ComponentMeshVertex >& component_vertices( index_t unique_vertex_id )
        {
            check_unique_vertex( unique_vertex_id );
            return component_vertices_[unique_vertex_id];
        }

        void register_component( const ComponentID& id )
        {
            if( !components_.contains( id.id() ) )
            {
                components_.emplace(
                    id.id(), std::make_unique< ComponentLinks >( ComponentLinks{ id, {} } ) );
            }
        }

        void unlink_component( const uuid& component )
        {
            auto& table = links( component ).unique_vertices;
            for( index_t v = 0; v < table.size(); v++ )
            {
                if( table[v] != NO_ID )
                {
                    erase_component_vertex( component_vertices_[table[v]], component, v );
                }
            }
            table.clear();
        }

        void unregister_component( const uuid& component )
        {
            if( !components_.contains( component ) )
            {
                return;
            }
            unlink_component( component );
            components_.erase( component );
        }

        index_t create_unique_vertices( index_t nb )
        {
            const auto first = nb_unique_vertices();
            component_vertices_.resize( component_vertices_.size() + nb );
            return first;
        }

        void set_unique_vertex( const ComponentMeshVertex& component_vertex,
            index_t unique_vertex_id )
        {
            check_unique_vertex( unique_vertex_id );
            auto& component = links( component_vertex.component_id.id() );
            auto& table = component.unique_vertices;
            const auto vertex = component_vertex.vertex;
            if( vertex == NO_ID )
            {
                throw OpenOrvaneException{ "[VertexIdentifier::set_unique_vertex] "
                                           "The component mesh vertex is NO_ID" };
            }
            if( vertex >= table.size() )
            {
                table.resize( static_cast< std::size_t >( vertex ) + 1, NO_ID );
            }
            const auto previous = table[vertex];
            if( previous == unique_vertex_id )
            {
                return;
            }
            if( previous != NO_ID )
            {
                erase_component_vertex(
                    component_vertices_[previous], component.id.id(), vertex );
            }
            table[vertex] = unique_vertex_id;
            component_vertices_[unique_vertex_id].emplace_back( component.id, vertex );
        }

        void unset_unique_vertex( const ComponentMeshVertex& component_vertex,
            index_t unique_vertex_id )
        {
            auto& table = links( component_vertex.component_id.id() ).unique_vertices;
            const auto vertex = component_vertex.vertex;
            if( vertex >= table.size() || table[vertex] != unique_vertex_id
                || unique_vertex_id == NO_ID )
            {
                return;
            }
            table[vertex] = NO_ID;
            erase_component_vertex( component_vertices_[unique_vertex_id],
                component_vertex.component_id.id(), vertex );
        }

        void update_unique_vertices( const uuid& component, const OldToNew& old2new )
        {
            auto& table = links( component ).unique_vertices;
            // The new index of each linked vertex (NO_ID: its link is
            // dropped), so that each unique vertex's list can be rewritten
            // in place and keep its order.
            std::vector< index_t > renumbered( table.size(), NO_ID );
            std::vector< index_t > new_table;
            std::vector< index_t > touched;
            for( index_t v = 0; v < table.size(); v++ )
            {
                const auto unique = table[v];
                if( unique == NO_ID )
                {
                    continue;
                }
                touched.push_back( unique );
                const auto new_vertex = v < old2new.size() ? old2new[v] : NO_ID;
                if( new_vertex == NO_ID )
                {
                    continue;
                }
                if( new_vertex >= new_table.size() )
                {
                    new_table.resize( static_cast< std::size_t >( new_vertex ) + 1, NO_ID );
                }
                if( new_table[new_vertex] == NO_ID )
                {
                    new_table[new_vertex] = unique;
                    renumbered[v] = new_vertex;
                }
            }
            std::sort( touched.begin(), touched.end() );
            touched.erase( std::unique( touched.begin(), touched.end() ), touched.end() );
            for( const auto unique : touched )
            {
                auto& list = component_vertices_[unique];
                auto kept = list.begin();
                for( auto& component_vertex : list )
                {
                    if( component_vertex.component_id.id() == component )
                    {
                        const auto vertex = component_vertex.vertex;
                        const auto new_vertex =
                            vertex < renumbered.size() ? renumbered[vertex] : NO_ID;
                        if( new_vertex == NO_ID )
                        {
                            continue;
                        }
                        component_vertex.vertex = new_vertex;
                    }
                    if( &*kept != &component_vertex )
                    {
                        *kept = std::move( component_vertex );
                    }
                    ++kept;
                }
                list.erase( kept, list.end() );
            }
            table = std::move( new_table );
        }

        OldToNew delete_isolated_vertices()
        {
            OldToNew old2new( component_vertices_.size(), NO_ID );
            index_t count{ 0 };
            for( index_t u = 0; u < component_vertices_.size(); u++ )
            {
                if( !component_vertices_[u].empty() )
                {
                    if( count != u )
                    {
                        component_vertices_[count] = std::move( component_vertices_[u] );
                    }
                    old2new[u] = count++;
                }
            }
            component_vertices_.resize( count );
            if( count == old2new.size() )
            {
                return old2new;
            }
            for( auto& entry : components_ )
            {
                for( auto& unique : entry.second->unique_vertices )
                {
                    if( unique != NO_ID )
                    {
                        unique = old2new[unique];
                    }
                }
            }
            return old2new;
        }

    private:
        void check_unique_vertex( index_t unique_vertex_id ) const
        {
            if( unique_vertex_id >= nb_unique_vertices() )
            {
                throw OpenOrvaneException{ "[VertexIdentifier] Unique vertex ",
                    unique_vertex_id, " is out of range (", nb_unique_vertices(),
                    " unique vertices)" };
            }
        }

    private:
        // Tables behind stable pointers: the map is written only when a
        // component is registered or removed, never by the links themselves.
        absl::flat_hash_map< uuid, std::unique_ptr< ComponentLinks > > components_;
        std::vector< std::vector< ComponentMeshVertex > > component_vertices_;
    };

    VertexIdentifier::VertexIdentifier() : impl_( std::make_unique< Impl >() ) {}

    VertexIdentifier::VertexIdentifier( VertexIdentifier&& other ) noexcept
        : impl_( std::exchange( other.impl_, std::make_unique< Impl >() ) )
    {
    }

    VertexIdentifier& VertexIdentifier::operator=( VertexIdentifier&& other ) noexcept
    {
        if( this != &other )
        {
            impl_ = std::exchange( other.impl_, std::make_unique< Impl >() );
        }
        return *this;
    }

    VertexIdentifier::~VertexIdentifier() = default;

    index_t VertexIdentifier::nb_unique_vertices() const
    {
        return impl_->nb_unique_vertices();
    }

    index_t VertexIdentifier::unique_vertex(
        const ComponentMeshVertex& component_vertex ) const
    {
        return impl_->unique_vertex(
            component_vertex.component_id.id(), component_vertex.vertex );
    }

    const std::vector< ComponentMeshVertex >& VertexIdentifier::component_mesh_vertices(
        index_t unique_vertex_id ) const
    {
        return impl_->component_vertices( unique_vertex_id );
    }

    std::vector< ComponentMeshVertex > VertexIdentifier::component_mesh_vertices(
        index_t unique_vertex_id, const ComponentType& type ) const
    {
        std::vector< ComponentMeshVertex > result;
        for( const auto& component_vertex : impl_->component_vertices( unique_vertex_id ) )
        {
            if( component_vertex.component_id.type() == type )
            {
                result.push_back( component_vertex );
            }
        }
        return result;
    }

    std::vector< index_t > VertexIdentifier::mesh_component_vertices(
        index_t unique_vertex_id, const uuid& component_id ) const
    {
        std::vector< index_t > result;
        for( const auto& component_vertex : impl_->component_vertices( unique_vertex_id ) )
        {
            if( component_vertex.component_id.id() == component_id )
            {
                result.push_back( component_vertex.vertex );
            }
        }
        return result;
    }

    bool VertexIdentifier::has_component_mesh_vertices(
        index_t unique_vertex_id, const ComponentType& type ) const
    {
        const auto& list = impl_->component_vertices( unique_vertex_id );
        return std::any_of( list.begin(), list.end(),
            [&type]( const ComponentMeshVertex& component_vertex ) {
                return component_vertex.component_id.type() == type;
            } );
    }

    absl::flat_hash_map< uuid, std::vector< std::array< index_t, 2 > > >
        VertexIdentifier::component_mesh_vertex_pairs( index_t unique_vertex0,
            index_t unique_vertex1,
            const ComponentType& type ) const
    {
        absl::flat_hash_map< uuid, std::vector< std::array< index_t, 2 > > > pairs;
        const auto& list0 = impl_->component_vertices( unique_vertex0 );
        const auto& list1 = impl_->component_vertices( unique_vertex1 );
        for( const auto& first : list0 )
        {
            if( first.component_id.type() != type )
            {
                continue;
            }
            for( const auto& second : list1 )
            {
                if( second.component_id.id() == first.component_id.id() )
                {
                    pairs[first.component_id.id()].push_back(
                        { first.vertex, second.vertex } );
                }
            }
        }
        return pairs;
    }

    VertexIdentifierBuilder::VertexIdentifierBuilder( VertexIdentifier& identifier )
        : identifier_( identifier )
    {
    }

    VertexIdentifierBuilder::~VertexIdentifierBuilder() = default;

    void VertexIdentifierBuilder::register_mesh_component( const ComponentID& component_id )
    {
        identifier_.impl_->register_component( component_id );
    }

    void VertexIdentifierBuilder::unregister_mesh_component( const uuid& component_id )
    {
        identifier_.impl_->unregister_component( component_id );
    }

    void VertexIdentifierBuilder::unlink_component_mesh_vertices( const uuid& component_id )
    {
        identifier_.impl_->unlink_component( component_id );
    }

    index_t VertexIdentifierBuilder::create_unique_vertex()
    {
        return identifier_.impl_->create_unique_vertices( 1 );
    }

    index_t VertexIdentifierBuilder::create_unique_vertices( index_t nb )
    {
        return identifier_.impl_->create_unique_vertices( nb );
    }

    void VertexIdentifierBuilder::set_unique_vertex(
        const ComponentMeshVertex& component_vertex, index_t unique_vertex_id )
    {
        identifier_.impl_->set_unique_vertex( component_vertex, unique_vertex_id );
    }

    void VertexIdentifierBuilder::unset_unique_vertex(
        const ComponentMeshVertex& component_vertex, index_t unique_vertex_id )
    {
        identifier_.impl_->unset_unique_vertex( component_vertex, unique_vertex_id );
    }

    void VertexIdentifierBuilder::update_unique_vertices(
        const ComponentID& component_id, const OldToNew& old2new )
    {
        identifier_.impl_->update_unique_vertices( component_id.id(), old2new );
    }

    OldToNew VertexIdentifierBuilder::delete_isolated_vertices()
    {
        return identifier_.impl_->delete_isolated_vertices();
    }
} // namespace orvane
