#include <algorithm>
#include <map>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <openorvane/model/vertex_identifier.hpp>

namespace orvane
{
    namespace
    {
        /// A plain model of the links: the unique vertex of each component
        /// vertex, and each unique vertex's list in link order.
        struct ReferenceLinks
        {
            std::map< std::pair< index_t, index_t >, index_t > unique_of;
            std::vector< std::vector< std::pair< index_t, index_t > > > lists;

            void unlink( index_t component, index_t vertex )
            {
                const auto found = unique_of.find( { component, vertex } );
                if( found == unique_of.end() )
                {
                    return;
                }
                auto& list = lists[found->second];
                list.erase( std::find(
                    list.begin(), list.end(), std::make_pair( component, vertex ) ) );
                unique_of.erase( found );
            }

            void set( index_t component, index_t vertex, index_t unique )
            {
                const auto found = unique_of.find( { component, vertex } );
                if( found != unique_of.end() && found->second == unique )
                {
                    return;
                }
                unlink( component, vertex );
                unique_of[{ component, vertex }] = unique;
                lists[unique].emplace_back( component, vertex );
            }

            void update( index_t component, const OldToNew& old2new )
            {
                std::map< index_t, index_t > renumbered;
                std::vector< bool > taken;
                for( const auto& [key, unique] : unique_of )
                {
                    if( key.first != component )
                    {
                        continue;
                    }
                    const auto old_vertex = key.second;
                    const auto new_vertex =
                        old_vertex < old2new.size() ? old2new[old_vertex] : NO_ID;
                    if( new_vertex != NO_ID && ( new_vertex >= taken.size() || !taken[new_vertex] ) )
                    {
                        taken.resize( std::max< std::size_t >( taken.size(), new_vertex + 1 ), false );
                        taken[new_vertex] = true;
                        renumbered[old_vertex] = new_vertex;
                    }
                    else
                    {
                        renumbered[old_vertex] = NO_ID;
                    }
                }
                std::map< std::pair< index_t, index_t >, index_t > next;
                for( const auto& [key, unique] : unique_of )
                {
                    if( key.first != component )
                    {
                        next[key] = unique;
                    }
                    else if( renumbered[key.second] != NO_ID )
                    {
                        next[{ component, renumbered[key.second] }] = unique;
                    }
                }
                for( auto& list : lists )
                {
                    std::vector< std::pair< index_t, index_t > > rewritten;
                    for( const auto& entry : list )
                    {
                        if( entry.first != component )
                        {
                            rewritten.push_back( entry );
                        }
                        else if( renumbered[entry.second] != NO_ID )
                        {
                            rewritten.emplace_back( component, renumbered[entry.second] );
                        }
                    }
                    list = std::move( rewritten );
                }
                unique_of = std::move( next );
            }

            OldToNew delete_isolated()
            {
                OldToNew old2new( lists.size(), NO_ID );
                std::vector< std::vector< std::pair< index_t, index_t > > > kept;
                for( index_t u = 0; u < lists.size(); u++ )
                {
                    if( !lists[u].empty() )
                    {
                        old2new[u] = static_cast< index_t >( kept.size() );
                        kept.push_back( lists[u] );
                    }
                }
                lists = std::move( kept );
                for( auto& entry : unique_of )
                {
                    entry.second = old2new[entry.second];
                }
                return old2new;
            }
        };
    } // namespace

    // Random sequences of every write of the identifier, compared after each
    // step with a plain reference model.
    TEST( VertexIdentifierRandom, MatchesAReferenceModel )
    {
        constexpr index_t nb_components = 3;
        constexpr index_t nb_vertices = 12;
        for( unsigned seed = 1; seed <= 20; seed++ )
        {
            std::mt19937 random{ seed };
            const auto draw = [&random]( index_t bound ) {
                return std::uniform_int_distribution< index_t >{ 0, bound - 1 }( random );
            };
            VertexIdentifier identifier;
            VertexIdentifierBuilder builder{ identifier };
            ReferenceLinks reference;
            std::vector< ComponentID > components;
            for( index_t c = 0; c < nb_components; c++ )
            {
                components.emplace_back( ComponentType{ c == 0 ? "Line" : "Surface" }, uuid{} );
                builder.register_mesh_component( components.back() );
            }
            builder.create_unique_vertices( 6 );
            reference.lists.resize( 6 );
            for( index_t step = 0; step < 300; step++ )
            {
                const auto component = draw( nb_components );
                const auto vertex = draw( nb_vertices );
                const auto operation = draw( 10 );
                if( operation < 5 && identifier.nb_unique_vertices() > 0 )
                {
                    const auto unique = draw( identifier.nb_unique_vertices() );
                    builder.set_unique_vertex( { components[component], vertex }, unique );
                    reference.set( component, vertex, unique );
                }
                else if( operation < 7 )
                {
                    const auto found = reference.unique_of.find( { component, vertex } );
                    const auto unique = found != reference.unique_of.end() && draw( 4 ) != 0
                                            ? found->second
                                            : draw( identifier.nb_unique_vertices() + 1 );
                    builder.unset_unique_vertex( { components[component], vertex }, unique );
                    if( found != reference.unique_of.end() && found->second == unique )
                    {
                        reference.unlink( component, vertex );
                    }
                }
                else if( operation == 7 )
                {
                    OldToNew old2new( draw( nb_vertices + 1 ) );
                    for( auto& entry : old2new )
                    {
                        entry = draw( 4 ) == 0 ? NO_ID : draw( nb_vertices );
                    }
                    builder.update_unique_vertices( components[component], old2new );
                    reference.update( component, old2new );
                }
                else if( operation == 8 )
                {
                    ASSERT_EQ( builder.delete_isolated_vertices(), reference.delete_isolated() )
                        << "seed " << seed << " step " << step;
                }
                else
                {
                    builder.create_unique_vertex();
                    reference.lists.emplace_back();
                }

                ASSERT_EQ( identifier.nb_unique_vertices(), reference.lists.size() )
                    << "seed " << seed << " step " << step;
                for( index_t u = 0; u < reference.lists.size(); u++ )
                {
                    std::vector< ComponentMeshVertex > expected;
                    for( const auto& entry : reference.lists[u] )
                    {
                        expected.emplace_back( components[entry.first], entry.second );
                    }
                    ASSERT_EQ( identifier.component_mesh_vertices( u ), expected )
                        << "seed " << seed << " step " << step << " unique vertex " << u;
                }
                for( index_t c = 0; c < nb_components; c++ )
                {
                    for( index_t v = 0; v < nb_vertices; v++ )
                    {
                        const auto found = reference.unique_of.find( { c, v } );
                        ASSERT_EQ( identifier.unique_vertex( { components[c], v } ),
                            found == reference.unique_of.end() ? NO_ID : found->second )
                            << "seed " << seed << " step " << step;
                    }
                }
            }
        }
    }
} // namespace orvane
