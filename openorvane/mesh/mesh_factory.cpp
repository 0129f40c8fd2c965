#include <openorvane/mesh/mesh_factory.hpp>

#include <algorithm>
#include <mutex>

#include <absl/container/flat_hash_map.h>

#include <openorvane/mesh/vertex_set.hpp>

namespace orvane
{
    namespace
    {
        /// Which type each implementation belongs to and each type's default
        /// implementation. Written while modules initialise (under the
        /// mutex), only read afterwards.
        struct MeshTypeRegistry
        {
            std::mutex registering;
            absl::flat_hash_map< MeshImpl, MeshType > impl_types;
            absl::flat_hash_map< MeshType, MeshImpl > defaults;
        };

        MeshTypeRegistry& type_registry()
        {
            static MeshTypeRegistry registry;
            return registry;
        }

        using MeshCreatorFactory = Factory< MeshImpl, VertexSet >;
    } // namespace

    void MeshFactory::register_creator( const MeshImpl& key, Creator creator )
    {
        MeshCreatorFactory::register_creator( key, creator );
    }

    void MeshFactory::register_type( const MeshType& type, const MeshImpl& impl )
    {
        auto& registry = type_registry();
        const std::lock_guard< std::mutex > locking{ registry.registering };
        registry.impl_types.try_emplace( impl, type );
    }

    void MeshFactory::register_default( const MeshType& type, const MeshImpl& impl )
    {
        auto& registry = type_registry();
        const std::lock_guard< std::mutex > locking{ registry.registering };
        registry.defaults.try_emplace( type, impl );
    }

    std::unique_ptr< VertexSet > MeshFactory::create( const MeshImpl& key )
    {
        return MeshCreatorFactory::create( key );
    }

    bool MeshFactory::has_creator( const MeshImpl& key )
    {
        return MeshCreatorFactory::has_creator( key );
    }

    MeshImpl MeshFactory::default_impl( const MeshType& type )
    {
        const auto& defaults = type_registry().defaults;
        const auto found = defaults.find( type );
        if( found == defaults.end() )
        {
            throw OpenOrvaneException{
                "[MeshFactory::default_impl] No default implementation for type ",
                type.get()
            };
        }
        return found->second;
    }

    MeshType MeshFactory::type( const MeshImpl& impl )
    {
        const auto& types = type_registry().impl_types;
        const auto found = types.find( impl );
        if( found == types.end() )
        {
            throw OpenOrvaneException{
                "[MeshFactory::type] Unknown mesh implementation ", impl.get()
            };
        }
        return found->second;
    }

    std::vector< MeshImpl > MeshFactory::implementations( const MeshType& type )
    {
        std::vector< MeshImpl > result;
        for( const auto& [impl, impl_type] : type_registry().impl_types )
        {
            if( impl_type == type )
            {
                result.push_back( impl );
            }
        }
        std::sort( result.begin(), result.end() );
        return result;
    }
} // namespace orvane
