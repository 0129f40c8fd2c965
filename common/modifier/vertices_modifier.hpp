#pragma once

#include <array>
#include <concepts>
#include <memory>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>
#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/variable_attribute.hpp>

namespace orvane
{
    class AttributeManager;

    /// Name of the bool cell attribute (default true) with which modifiers
    /// mark live cells. Edits never delete a cell: they set its flag to false,
    /// and the modifier's clean-up deletes every flagged cell in one call.
    inline constexpr const char* ACTIVE_ATTRIBUTE_NAME = "orvane_active";

    /// Entry of the element lists of an edit result: the element an edit
    /// made and the element it replaces (whose attributes it inherits), or
    /// NO_ID when it was made from nothing.
    struct ElementOrigin
    {
        index_t new_element{ NO_ID };
        index_t old_element{ NO_ID };

        bool operator==( const ElementOrigin& ) const = default;
    };

    /// The part of a collapse result that the vertex map reads: the vertex
    /// the collapse created and the old vertices it replaced. Every collapse
    /// record of the modifiers begins with these two fields.
    template < typename T >
    concept CollapseResult = requires( const T& collapse ) {
        {
            collapse.new_vertex
        } -> std::convertible_to< index_t >;
        {
            collapse.merged_vertices.begin()
        };
        {
            collapse.merged_vertices.end()
        };
    };

    /// Base class of every mesh modifier.
    ///
    /// Besides the edits of the concrete modifiers, it keeps the vertex map:
    /// for every vertex that a collapse merged, the vertex that replaced it.
    /// A caller that recorded vertex indices before a series of edits reads
    /// them back through `updated_vertex`.
    ///
    /// The map assumes that every edit maps old vertices to a vertex created
    /// by that same edit, so it never holds a cycle; lookups do not check it.
    class VerticesModifier
    {
    public:
        VerticesModifier();
        VerticesModifier( const VerticesModifier& ) = delete;
        VerticesModifier& operator=( const VerticesModifier& ) = delete;
        VerticesModifier( VerticesModifier&& ) noexcept;
        VerticesModifier& operator=( VerticesModifier&& ) noexcept;
        virtual ~VerticesModifier();

        /// The vertex that `vertex` has become through the recorded
        /// collapses: `vertex` itself when it was never merged. Every entry
        /// met on the way is redirected to the answer (path compression), so
        /// this writes the map and must not be called concurrently on one
        /// modifier.
        [[nodiscard]] index_t updated_vertex( index_t vertex );

        /// Records that each merged vertex now reads as `new_vertex`,
        /// replacing an earlier target. `new_vertex` itself is never made a
        /// key, even when it is listed among the merged vertices.
        void update_vertex_map(
            index_t new_vertex, absl::Span< const index_t > merged_vertices );

        template < CollapseResult Collapse >
        void update_vertex_map( const Collapse& collapse )
        {
            const absl::InlinedVector< index_t, 4 > merged(
                collapse.merged_vertices.begin(),
                collapse.merged_vertices.end() );
            update_vertex_map( collapse.new_vertex, merged );
        }

        /// Forgets every recorded merge. To be called once vertices have been
        /// renumbered, since the old indices then mean nothing.
        void clear_vertex_map();

    protected:
        /// Read access to the recorded merges, old vertex to new vertex.
        [[nodiscard]] const absl::flat_hash_map< index_t, index_t >&
            vertex_map() const
        {
            return vertex_map_;
        }

    private:
        absl::flat_hash_map< index_t, index_t > vertex_map_;
    };

    namespace internal
    {
        /// The "orvane_active" flags of one element set, held by a modifier
        /// for its whole life.
        ///
        /// Construction finds or creates the attribute (a new one reads true
        /// for every element, including elements created later). When the
        /// last live holder of the flags of an element set is destroyed, the
        /// attribute is deleted from the set, so a mesh leaves its modifiers
        /// without it. Holders are counted per attribute manager: a second
        /// modifier on the same mesh shares the flags and does not lose them
        /// when the first one goes away.
        ///
        /// The attribute manager must outlive this object.
        class ActiveFlags
        {
        public:
            explicit ActiveFlags( AttributeManager& manager );
            ActiveFlags( const ActiveFlags& ) = delete;
            ActiveFlags& operator=( const ActiveFlags& ) = delete;
            ~ActiveFlags();

            // Inline: edits test flags of elements read at random, where a
            // call per test costs as much as the read.
            [[nodiscard]] bool is_active( index_t element ) const
            {
                return attribute_->value( element );
            }

            void set_active( index_t element, bool active )
            {
                attribute_->set_value( element, active );
            }

            /// Hints the processor at the flag of the element, which is about
            /// to be read or written; elements out of range are ignored.
            void prefetch( index_t element ) const
            {
                if( element < attribute_->size() )
                {
                    __builtin_prefetch( &attribute_->value( element ), 1 );
                }
            }

            [[nodiscard]] VariableAttribute< bool >& attribute()
            {
                return *attribute_;
            }

            [[nodiscard]] const VariableAttribute< bool >& attribute() const
            {
                return *attribute_;
            }

            [[nodiscard]] const std::shared_ptr< VariableAttribute< bool > >&
                shared_attribute() const
            {
                return attribute_;
            }

        private:
            AttributeManager& manager_;
            std::shared_ptr< VariableAttribute< bool > > attribute_;
        };
    } // namespace internal

    /// A closed loop of vertices.
    using VertexCycle = absl::InlinedVector< index_t, 4 >;

    /// A tracked vertex with the vertices it stands for.
    struct VertexEntry
    {
        index_t vertex{ NO_ID };
        absl::InlinedVector< index_t, 4 > values;

        bool operator==( const VertexEntry& ) const = default;
    };

    /// Lists of vertex pairs, triples and cycles that stay comparable across
    /// edits: the `contains_remapped_*` and `remove_*_with_vertex` operations
    /// translate every stored vertex through a modifier's `updated_vertex`
    /// before comparing, while the stored lists keep their original vertices.
    /// The `add_unique_*` operations compare exactly, without translation.
    namespace detail
    {
        /// The loop rotated so that its first smallest vertex comes first,
        /// then turned so that the second vertex is not greater than the
        /// last. Both directions and every starting point of one loop give
        /// the same form; for a triple it is the ascending order.
        [[nodiscard]] VertexCycle canonical_cycle( VertexCycle cycle );

        /// Appends the pair, smaller vertex first, unless it is present.
        void add_unique_edge( std::vector< std::array< index_t, 2 > >& edges,
            std::array< index_t, 2 > edge );

        /// Whether some stored pair, translated and sorted, equals the given
        /// pair translated and sorted.
        [[nodiscard]] bool contains_remapped_edge(
            const std::vector< std::array< index_t, 2 > >& edges,
            std::array< index_t, 2 > edge,
            VerticesModifier& modifier );

        /// Erases, keeping the order of the others, every pair one of whose
        /// translated vertices is `vertex`.
        void remove_edges_with_vertex(
            std::vector< std::array< index_t, 2 > >& edges,
            index_t vertex,
            VerticesModifier& modifier );

        /// Appends the triple, sorted ascending, unless it is present.
        void add_unique_triangle(
            std::vector< std::array< index_t, 3 > >& triangles,
            std::array< index_t, 3 > triangle );

        /// Whether some stored triple, translated and sorted, equals the
        /// given triple translated and sorted.
        [[nodiscard]] bool contains_remapped_triangle(
            const std::vector< std::array< index_t, 3 > >& triangles,
            std::array< index_t, 3 > triangle,
            VerticesModifier& modifier );

        /// Appends the cycle in canonical form unless it is present.
        void add_unique_cycle(
            std::vector< VertexCycle >& cycles, VertexCycle cycle );

        /// Appends, in order and unchanged, every cycle of `new_cycles` that
        /// `cycles` does not hold exactly.
        void add_unique_cycles( std::vector< VertexCycle >& cycles,
            const std::vector< VertexCycle >& new_cycles );

        /// Whether some stored cycle, translated and in canonical form,
        /// equals the given cycle translated and in canonical form.
        [[nodiscard]] bool contains_remapped_cycle(
            const std::vector< VertexCycle >& cycles,
            VertexCycle cycle,
            VerticesModifier& modifier );

        /// Erases, keeping the order of the others, every cycle one of whose
        /// translated vertices is `vertex`.
        void remove_cycles_with_vertex( std::vector< VertexCycle >& cycles,
            index_t vertex,
            VerticesModifier& modifier );

        /// Re-keys the entries of merged vertices to the new vertex and gives
        /// each of them the union of their values (first occurrences in list
        /// order, NO_ID left out; the single value NO_ID when nothing is
        /// left). Entries are neither removed nor merged into one.
        void merge_vertex_entries( std::vector< VertexEntry >& entries,
            index_t new_vertex,
            absl::Span< const index_t > merged_vertices );

        template < CollapseResult Collapse >
        void merge_vertex_entries(
            std::vector< VertexEntry >& entries, const Collapse& collapse )
        {
            const absl::InlinedVector< index_t, 4 > merged(
                collapse.merged_vertices.begin(),
                collapse.merged_vertices.end() );
            merge_vertex_entries( entries, collapse.new_vertex, merged );
        }
    } // namespace detail
} // namespace orvane
