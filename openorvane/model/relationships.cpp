#include <openorvane/model/relationships.hpp>

#include <algorithm>

#include <absl/container/flat_hash_map.h>

namespace orvane
{
    namespace
    {
        struct ComponentRelations
        {
            ComponentID id;
            std::vector< ComponentID > boundaries;
            std::vector< ComponentID > incidences;
            std::vector< ComponentID > internals;
            std::vector< ComponentID > embeddings;
        };

        bool contains_id( const std::vector< ComponentID >& list, const uuid& id )
        {
            return std::any_of( list.begin(), list.end(),
                [&id]( const ComponentID& entry ) { return entry.id() == id; } );
        }

        void erase_id( std::vector< ComponentID >& list, const uuid& id )
        {
            list.erase( std::remove_if( list.begin(), list.end(),
                            [&id]( const ComponentID& entry ) {
                                return entry.id() == id;
                            } ),
                list.end() );
        }
    } // namespace

    class Relationships::Impl
    {
    public:
        const ComponentRelations& at( const uuid& id ) const
        {
            return relations_.at( id );
        }

        ComponentRelations& at( const uuid& id )
        {
            return relations_.at( id );
        }

        bool contains( const uuid& id ) const
        {
            return relations_.contains( id );
        }

        void add( const ComponentID& id )
        {
            relations_.try_emplace( id.id(), ComponentRelations{ id, {}, {}, {}, {} } );
        }

        void remove( const uuid& id )
        {
            const auto found = relations_.find( id );
            if( found == relations_.end() )
            {
                return;
            }
            const auto& relations = found->second;
            for( const auto& other : relations.boundaries )
            {
                erase_id( relations_.at( other.id() ).incidences, id );
            }
            for( const auto& other : relations.incidences )
            {
                erase_id( relations_.at( other.id() ).boundaries, id );
            }
            for( const auto& other : relations.internals )
            {
                erase_id( relations_.at( other.id() ).embeddings, id );
            }
            for( const auto& other : relations.embeddings )
            {
                erase_id( relations_.at( other.id() ).internals, id );
            }
            relations_.erase( found );
        }

    private:
        absl::flat_hash_map< uuid, ComponentRelations > relations_;
    };

    Relationships::Relationships() : impl_( std::make_unique< Impl >() ) {}

    Relationships::Relationships( Relationships&& other ) noexcept
        : impl_( std::exchange( other.impl_, std::make_unique< Impl >() ) )
    {
    }

    Relationships& Relationships::operator=( Relationships&& other ) noexcept
    {
        if( this != &other )
        {
            impl_ = std::exchange( other.impl_, std::make_unique< Impl >() );
        }
        return *this;
    }

    Relationships::~Relationships() = default;

    bool Relationships::is_registered( const uuid& id ) const
    {
        return impl_->contains( id );
    }

    index_t Relationships::nb_boundaries( const uuid& id ) const
    {
        return static_cast< index_t >( impl_->at( id ).boundaries.size() );
    }

    index_t Relationships::nb_incidences( const uuid& id ) const
    {
        return static_cast< index_t >( impl_->at( id ).incidences.size() );
    }

    index_t Relationships::nb_internals( const uuid& id ) const
    {
        return static_cast< index_t >( impl_->at( id ).internals.size() );
    }

    index_t Relationships::nb_embeddings( const uuid& id ) const
    {
        return static_cast< index_t >( impl_->at( id ).embeddings.size() );
    }

    const std::vector< ComponentID >& Relationships::boundaries( const uuid& id ) const
    {
        return impl_->at( id ).boundaries;
    }

    const std::vector< ComponentID >& Relationships::incidences( const uuid& id ) const
    {
        return impl_->at( id ).incidences;
    }

    const std::vector< ComponentID >& Relationships::internals( const uuid& id ) const
    {
        return impl_->at( id ).internals;
    }

    const std::vector< ComponentID >& Relationships::embeddings( const uuid& id ) const
    {
        return impl_->at( id ).embeddings;
    }

    bool Relationships::is_boundary( const uuid& boundary, const uuid& incidence ) const
    {
        return contains_id( impl_->at( incidence ).boundaries, boundary );
    }

    bool Relationships::is_internal( const uuid& internal, const uuid& embedding ) const
    {
        return contains_id( impl_->at( embedding ).internals, internal );
    }

    RelationshipsBuilder::RelationshipsBuilder( Relationships& relationships )
        : relationships_( relationships )
    {
    }

    RelationshipsBuilder::~RelationshipsBuilder() = default;

    void RelationshipsBuilder::register_component( const ComponentID& id )
    {
        relationships_.impl_->add( id );
    }

    void RelationshipsBuilder::unregister_component( const uuid& id )
    {
        relationships_.impl_->remove( id );
    }

    void RelationshipsBuilder::add_boundary_relation(
        const ComponentID& boundary, const ComponentID& incidence )
    {
        auto& impl = *relationships_.impl_;
        auto& boundary_relations = impl.at( boundary.id() );
        auto& incidence_relations = impl.at( incidence.id() );
        if( contains_id( incidence_relations.boundaries, boundary.id() ) )
        {
            return;
        }
        incidence_relations.boundaries.push_back( boundary_relations.id );
        boundary_relations.incidences.push_back( incidence_relations.id );
    }

    void RelationshipsBuilder::add_internal_relation(
        const ComponentID& internal, const ComponentID& embedding )
    {
        auto& impl = *relationships_.impl_;
        auto& internal_relations = impl.at( internal.id() );
        auto& embedding_relations = impl.at( embedding.id() );
        if( contains_id( embedding_relations.internals, internal.id() ) )
        {
            return;
        }
        embedding_relations.internals.push_back( internal_relations.id );
        internal_relations.embeddings.push_back( embedding_relations.id );
    }
} // namespace orvane
