#include <common/modifier/vertices_modifier.hpp>

#include <algorithm>
#include <mutex>

#include <openorvane/basic/attribute_manager.hpp>
#include <openorvane/basic/variable_attribute.hpp>

namespace orvane
{
    namespace
    {
        template < std::size_t N >
        std::array< index_t, N > sorted( std::array< index_t, N > vertices )
        {
            std::sort( vertices.begin(), vertices.end() );
            return vertices;
        }

        template < std::size_t N >
        std::array< index_t, N > translated_sorted(
            std::array< index_t, N > vertices, VerticesModifier& modifier )
        {
            for( auto& vertex : vertices )
            {
                vertex = modifier.updated_vertex( vertex );
            }
            return sorted( vertices );
        }

        VertexCycle translated_canonical(
            VertexCycle cycle, VerticesModifier& modifier )
        {
            for( auto& vertex : cycle )
            {
                vertex = modifier.updated_vertex( vertex );
            }
            return detail::canonical_cycle( std::move( cycle ) );
        }

        /// Whether a stored item has the same canonical form as `item`.
        /// The canonical forms go through the modifier's map, so items made
        /// equal by merges match.
        template < typename Item, typename Canonical >
        bool contains_canonical( const std::vector< Item >& items,
            Item item,
            const Canonical& canonical )
        {
            if( items.empty() )
            {
                return false;
            }
            const auto target = canonical( std::move( item ) );
            return std::any_of( items.begin(), items.end(),
                [&target, &canonical](
                    const Item& stored ) { return canonical( stored ) == target; } );
        }

        template < typename Item >
        void push_if_absent( std::vector< Item >& items, Item item )
        {
            if( std::find( items.begin(), items.end(), item ) == items.end() )
            {
                items.push_back( std::move( item ) );
            }
        }

        // Stable removal of the items one of whose translated vertices is
        // `vertex`: every vertex of every item is translated, so the
        // modifier's map is compressed along the way.
        template < typename Item >
        void remove_with_vertex( std::vector< Item >& items,
            index_t vertex,
            VerticesModifier& modifier )
        {
            std::erase_if( items, [vertex, &modifier]( const Item& item ) {
                bool found{ false };
                for( const auto stored : item )
                {
                    if( modifier.updated_vertex( stored ) == vertex )
                    {
                        found = true;
                    }
                }
                return found;
            } );
        }
    } // namespace

    namespace
    {
        // Number of live ActiveFlags per attribute manager. Modifiers of
        // different meshes are created on several threads at once, hence
        // the lock.
        class ActiveFlagsHolders
        {
        public:
            static void add( const AttributeManager& manager )
            {
                const std::lock_guard< std::mutex > locking{ mutex() };
                holders()[&manager]++;
            }

            /// Whether the removed holder was the last one of the manager.
            static bool remove( const AttributeManager& manager )
            {
                const std::lock_guard< std::mutex > locking{ mutex() };
                auto& counts = holders();
                const auto found = counts.find( &manager );
                if( found == counts.end() )
                {
                    return true;
                }
                if( --found->second > 0 )
                {
                    return false;
                }
                counts.erase( found );
                return true;
            }

        private:
            static std::mutex& mutex()
            {
                static std::mutex holders_mutex;
                return holders_mutex;
            }

            static absl::flat_hash_map< const AttributeManager*, index_t >&
                holders()
            {
                static absl::flat_hash_map< const AttributeManager*, index_t >
                    counts;
                return counts;
            }
        };
    } // namespace

    namespace internal
    {
        ActiveFlags::ActiveFlags( AttributeManager& manager )
            : manager_( manager ),
              attribute_(
                  manager.find_or_create_attribute< VariableAttribute, bool >(
                      ACTIVE_ATTRIBUTE_NAME, true, AttributeProperties{} ) )
        {
            ActiveFlagsHolders::add( manager_ );
        }

        ActiveFlags::~ActiveFlags()
        {
            if( ActiveFlagsHolders::remove( manager_ ) )
            {
                manager_.delete_attribute( ACTIVE_ATTRIBUTE_NAME );
            }
        }
    } // namespace internal

    VerticesModifier::VerticesModifier() = default;

    VerticesModifier::VerticesModifier( VerticesModifier&& ) noexcept = default;

    VerticesModifier& VerticesModifier::operator=(
        VerticesModifier&& ) noexcept = default;

    VerticesModifier::~VerticesModifier() = default;

    index_t VerticesModifier::updated_vertex( index_t vertex )
    {
        // Most edits merge no vertex: skip the hash of the lookup then.
        if( vertex_map_.empty() )
        {
            return vertex;
        }
        auto entry = vertex_map_.find( vertex );
        if( entry == vertex_map_.end() )
        {
            return vertex;
        }
        // Values of a flat_hash_map stay in place while nothing is inserted,
        // so the entries of the walk can be rewritten through pointers.
        absl::InlinedVector< index_t*, 3 > walked;
        walked.push_back( &entry->second );
        auto result = entry->second;
        while( true )
        {
            const auto next = vertex_map_.find( result );
            if( next == vertex_map_.end() )
            {
                break;
            }
            walked.push_back( &next->second );
            result = next->second;
        }
        for( auto* value : walked )
        {
            *value = result;
        }
        return result;
    }

    void VerticesModifier::update_vertex_map(
        index_t new_vertex, absl::Span< const index_t > merged_vertices )
    {
        for( const auto merged : merged_vertices )
        {
            // An entry from a vertex to itself would make every later
            // lookup of that vertex walk forever.
            if( merged != new_vertex )
            {
                vertex_map_.insert_or_assign( merged, new_vertex );
            }
        }
    }

    void VerticesModifier::clear_vertex_map()
    {
        vertex_map_.clear();
    }

    namespace detail
    {
        VertexCycle canonical_cycle( VertexCycle cycle )
        {
            if( cycle.size() < 2 )
            {
                return cycle;
            }
            // min_element returns the first occurrence of the smallest value.
            std::rotate( cycle.begin(),
                std::min_element( cycle.begin(), cycle.end() ), cycle.end() );
            if( cycle[1] > cycle.back() )
            {
                std::reverse( cycle.begin() + 1, cycle.end() );
            }
            return cycle;
        }

        void add_unique_edge( std::vector< std::array< index_t, 2 > >& edges,
            std::array< index_t, 2 > edge )
        {
            push_if_absent( edges, sorted( edge ) );
        }

        bool contains_remapped_edge(
            const std::vector< std::array< index_t, 2 > >& edges,
            std::array< index_t, 2 > edge,
            VerticesModifier& modifier )
        {
            return contains_canonical( edges, edge,
                [&modifier]( const std::array< index_t, 2 >& item ) {
                    return translated_sorted( item, modifier );
                } );
        }

        void remove_edges_with_vertex(
            std::vector< std::array< index_t, 2 > >& edges,
            index_t vertex,
            VerticesModifier& modifier )
        {
            remove_with_vertex( edges, vertex, modifier );
        }

        void add_unique_triangle(
            std::vector< std::array< index_t, 3 > >& triangles,
            std::array< index_t, 3 > triangle )
        {
            push_if_absent( triangles, sorted( triangle ) );
        }

        bool contains_remapped_triangle(
            const std::vector< std::array< index_t, 3 > >& triangles,
            std::array< index_t, 3 > triangle,
            VerticesModifier& modifier )
        {
            return contains_canonical( triangles, triangle,
                [&modifier]( const std::array< index_t, 3 >& item ) {
                    return translated_sorted( item, modifier );
                } );
        }

        void add_unique_cycle(
            std::vector< VertexCycle >& cycles, VertexCycle cycle )
        {
            push_if_absent( cycles, canonical_cycle( std::move( cycle ) ) );
        }

        void add_unique_cycles( std::vector< VertexCycle >& cycles,
            const std::vector< VertexCycle >& new_cycles )
        {
            for( const auto& cycle : new_cycles )
            {
                push_if_absent( cycles, cycle );
            }
        }

        bool contains_remapped_cycle( const std::vector< VertexCycle >& cycles,
            VertexCycle cycle,
            VerticesModifier& modifier )
        {
            return contains_canonical( cycles, std::move( cycle ),
                [&modifier]( VertexCycle item ) {
                    return translated_canonical( std::move( item ), modifier );
                } );
        }

        void remove_cycles_with_vertex( std::vector< VertexCycle >& cycles,
            index_t vertex,
            VerticesModifier& modifier )
        {
            remove_with_vertex( cycles, vertex, modifier );
        }

        void merge_vertex_entries( std::vector< VertexEntry >& entries,
            index_t new_vertex,
            absl::Span< const index_t > merged_vertices )
        {
            absl::InlinedVector< std::size_t, 4 > collected;
            for( std::size_t e = 0; e < entries.size(); e++ )
            {
                if( std::find( merged_vertices.begin(), merged_vertices.end(),
                        entries[e].vertex )
                    != merged_vertices.end() )
                {
                    collected.push_back( e );
                }
            }
            if( collected.empty() )
            {
                return;
            }
            absl::InlinedVector< index_t, 4 > merged_values;
            for( const auto e : collected )
            {
                for( const auto value : entries[e].values )
                {
                    if( value != NO_ID
                        && std::find( merged_values.begin(),
                               merged_values.end(), value )
                               == merged_values.end() )
                    {
                        merged_values.push_back( value );
                    }
                }
            }
            if( merged_values.empty() )
            {
                merged_values.push_back( NO_ID );
            }
            for( const auto e : collected )
            {
                entries[e].vertex = new_vertex;
                entries[e].values = merged_values;
            }
        }
    } // namespace detail
} // namespace orvane
