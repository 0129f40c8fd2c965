#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>

#include <absl/types/span.h>

#include <openorvane/basic/algorithm.hpp>
#include <openorvane/basic/async.hpp>
#include <openorvane/basic/exception.hpp>
#include <openorvane/basic/large_array_allocator.hpp>
#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>

namespace orvane
{
    /// The name of a component type: "Corner", "Line", "Surface", "Block",
    /// or "undefined" when default-constructed.
    class ComponentType
    {
    public:
        ComponentType() = default;

        explicit ComponentType( std::string type ) : type_( std::move( type ) ) {}

        const std::string& get() const
        {
            return type_;
        }

        friend bool operator==( const ComponentType& lhs, const ComponentType& rhs )
        {
            return lhs.type_ == rhs.type_;
        }

        friend bool operator!=( const ComponentType& lhs, const ComponentType& rhs )
        {
            return !( lhs == rhs );
        }

        friend bool operator<( const ComponentType& lhs, const ComponentType& rhs )
        {
            return lhs.type_ < rhs.type_;
        }

        template < typename H >
        friend H AbslHashValue( H hash, const ComponentType& type )
        {
            return H::combine( std::move( hash ), type.type_ );
        }

    private:
        std::string type_{ "undefined" };
    };

    /// One element (vertex, edge or polygon, depending on the mapping that
    /// holds it) of one mesh.
    struct MeshElement
    {
        MeshElement() = default;

        MeshElement( const uuid& mesh_id_in, index_t element_in )
            : mesh_id( mesh_id_in ), element( element_in )
        {
        }

        friend bool operator==( const MeshElement& lhs, const MeshElement& rhs )
        {
            return lhs.mesh_id == rhs.mesh_id && lhs.element == rhs.element;
        }

        friend bool operator!=( const MeshElement& lhs, const MeshElement& rhs )
        {
            return !( lhs == rhs );
        }

        /// By mesh, then by element.
        friend bool operator<( const MeshElement& lhs, const MeshElement& rhs )
        {
            if( lhs.mesh_id != rhs.mesh_id )
            {
                return lhs.mesh_id < rhs.mesh_id;
            }
            return lhs.element < rhs.element;
        }

        template < typename H >
        friend H AbslHashValue( H hash, const MeshElement& element )
        {
            return H::combine( std::move( hash ), element.mesh_id, element.element );
        }

        uuid mesh_id;
        index_t element{ NO_ID };
    };

    /// A vertex of one mesh.
    struct MeshVertex : public MeshElement
    {
        using MeshElement::MeshElement;
    };

    /// An edge of one mesh.
    struct MeshEdge : public MeshElement
    {
        using MeshElement::MeshElement;
    };

    /// A polygon of one mesh.
    struct MeshPolygon : public MeshElement
    {
        using MeshElement::MeshElement;
    };

    namespace detail
    {
        /// The two hash maps of a correspondence kept in both directions and
        /// the queries every kind of such mapping shares. A moved-from
        /// mapping is empty.
        template < typename InToOutMap, typename OutToInMap >
        class BidirectionalMapping
        {
        public:
            using InToOut = InToOutMap;
            using OutToIn = OutToInMap;
            using In = typename InToOut::key_type;
            using Out = typename OutToIn::key_type;

            BidirectionalMapping() = default;
            BidirectionalMapping( const BidirectionalMapping& ) = default;
            BidirectionalMapping& operator=( const BidirectionalMapping& ) = default;

            BidirectionalMapping( BidirectionalMapping&& other ) noexcept
                : in2out_( std::move( other.in2out_ ) ),
                  out2in_( std::move( other.out2in_ ) )
            {
                other.in2out_.clear();
                other.out2in_.clear();
            }

            BidirectionalMapping& operator=( BidirectionalMapping&& other ) noexcept
            {
                if( this != &other )
                {
                    in2out_ = std::move( other.in2out_ );
                    out2in_ = std::move( other.out2in_ );
                    other.in2out_.clear();
                    other.out2in_.clear();
                }
                return *this;
            }

            bool has_mapping_input( const In& in ) const
            {
                return in2out_.contains( in );
            }

            bool has_mapping_output( const Out& out ) const
            {
                return out2in_.contains( out );
            }

            /// What in maps to; throws std::out_of_range when in is unknown.
            const typename InToOut::mapped_type& in2out( const In& in ) const
            {
                return in2out_.at( in );
            }

            /// What maps to out; throws std::out_of_range when out is
            /// unknown.
            const typename OutToIn::mapped_type& out2in( const Out& out ) const
            {
                return out2in_.at( out );
            }

            const InToOut& in2out() const
            {
                return in2out_;
            }

            const OutToIn& out2in() const
            {
                return out2in_;
            }

            void reserve( std::size_t capacity )
            {
                in2out_.reserve( capacity );
                out2in_.reserve( capacity );
            }

        protected:
            InToOut in2out_;
            OutToIn out2in_;
        };
    } // namespace detail

    namespace detail
    {
        /// The table of one direction of a one-to-many mapping. Mappings of
        /// whole meshes hold millions of entries; their tables take the
        /// large-array allocator, so that filling them does not fault on
        /// every 4 KiB page.
        template < typename Key, typename Value >
        using MappingTable = absl::flat_hash_map< Key,
            absl::InlinedVector< Value, 1 >,
            absl::Hash< Key >,
            std::equal_to< Key >,
            PrefaultedArrayAllocator< std::pair< const Key, absl::InlinedVector< Value, 1 > > > >;
    } // namespace detail

    /// A one-to-many correspondence kept in both directions: for every pair
    /// in `in2out` the reverse pair is in `out2in`, as often. A moved-from
    /// mapping is empty.
    template < typename K, typename V >
    class GenericMapping
        : public detail::BidirectionalMapping< detail::MappingTable< K, V >,
              detail::MappingTable< V, K > >
    {
    public:
        /// Appends out to the list of in and in to the list of out, without
        /// looking for the pair first: mapping a pair twice lists it twice.
        void map( const K& in, const V& out )
        {
            this->in2out_[in].push_back( out );
            this->out2in_[out].push_back( in );
        }

        /// Maps every pair of the list, with the same result as calling
        /// `map` on them one after another. Meant for many pairs at once:
        /// both directions are filled side by side on the pool, each in the
        /// order of its table's slots rather than at random places of a
        /// table far larger than the caches.
        void map_all( absl::Span< const std::pair< K, V > > pairs )
        {
            if( pairs.empty() )
            {
                return;
            }
            async::parallel_invoke(
                [this, pairs] {
                    insert_in_slot_order( this->in2out_, pairs,
                        []( const std::pair< K, V >& pair ) -> const K& { return pair.first; },
                        []( const std::pair< K, V >& pair ) -> const V& { return pair.second; } );
                },
                [this, pairs] {
                    insert_in_slot_order( this->out2in_, pairs,
                        []( const std::pair< K, V >& pair ) -> const V& { return pair.second; },
                        []( const std::pair< K, V >& pair ) -> const K& { return pair.first; } );
                } );
        }

        /// Removes in from the list of each of its outputs (an output whose
        /// list empties is dropped), then drops in.
        void erase_in( const K& in )
        {
            erase_side( in, this->in2out_, this->out2in_ );
        }

        /// Removes out from the list of each of its inputs (an input whose
        /// list empties is dropped), then drops out.
        void erase_out( const V& out )
        {
            erase_side( out, this->out2in_, this->in2out_ );
        }

        std::size_t size_in() const
        {
            return this->in2out_.size();
        }

        std::size_t size_out() const
        {
            return this->out2in_.size();
        }

        /// Lists in as an input, with an empty list when it is new.
        void add_input( const K& in )
        {
            this->in2out_.try_emplace( in );
        }

    private:
        /// Appends the value of every pair to the list of its key, the pairs
        /// of one key in list order. The table places a key near its hash
        /// divided by 128 modulo the capacity, so visiting the pairs sorted
        /// by that position walks the table almost sequentially; sorting
        /// with the pair's rank as tie-break keeps the order within a key.
        template < typename Map, typename KeyOf, typename ValueOf >
        static void insert_in_slot_order( Map& map,
            absl::Span< const std::pair< K, V > > pairs,
            const KeyOf& key_of,
            const ValueOf& value_of )
        {
            map.reserve( map.size() + pairs.size() );
            const auto mask = map.capacity();
            const auto hasher = map.hash_function();
            std::vector< std::pair< std::size_t, std::size_t > > order( pairs.size() );
            async::parallel_for( 0, static_cast< index_t >( pairs.size() ),
                [&order, &pairs, &hasher, &key_of, mask]( index_t i ) {
                    order[i] = { ( hasher( key_of( pairs[i] ) ) >> 7 ) & mask, i };
                } );
            // The pairs are distinct, so the sorted order is the same
            // whichever way the pool splits the sort.
            async::parallel_sort( order.begin(), order.end() );
            for( const auto& [slot, i] : order )
            {
                map[key_of( pairs[i] )].push_back( value_of( pairs[i] ) );
            }
        }

        template < typename Key, typename Forward, typename Backward >
        static void erase_side( const Key& key, Forward& forward, Backward& backward )
        {
            const auto found = forward.find( key );
            if( found == forward.end() )
            {
                return;
            }
            for( const auto& other : found->second )
            {
                const auto reverse = backward.find( other );
                if( reverse == backward.end() )
                {
                    continue;
                }
                auto& list = reverse->second;
                list.erase( std::remove( list.begin(), list.end(), key ), list.end() );
                if( list.empty() )
                {
                    backward.erase( reverse );
                }
            }
            forward.erase( found );
        }
    };

    /// A one-to-one correspondence kept in both directions. Mapping an input
    /// or an output again replaces its earlier pair, so both directions stay
    /// inverse of each other. A moved-from mapping is empty.
    template < typename K, typename V >
    class BijectiveMapping
        : public detail::BidirectionalMapping< absl::flat_hash_map< K, V >,
              absl::flat_hash_map< V, K > >
    {
    public:
        void map( const K& in, const V& out )
        {
            erase_in( in );
            erase_out( out );
            this->in2out_.emplace( in, out );
            this->out2in_.emplace( out, in );
        }

        void erase_in( const K& in )
        {
            const auto found = this->in2out_.find( in );
            if( found == this->in2out_.end() )
            {
                return;
            }
            this->out2in_.erase( found->second );
            this->in2out_.erase( found );
        }

        void erase_out( const V& out )
        {
            const auto found = this->out2in_.find( out );
            if( found == this->out2in_.end() )
            {
                return;
            }
            this->in2out_.erase( found->second );
            this->out2in_.erase( found );
        }

        std::size_t size() const
        {
            return this->in2out_.size();
        }
    };

    /// One mapping per component type. A moved-from record is empty.
    template < typename Mapping >
    class ModelMapping
    {
    public:
        using Storage = absl::flat_hash_map< ComponentType, Mapping >;

        ModelMapping() = default;
        ModelMapping( const ModelMapping& ) = default;
        ModelMapping& operator=( const ModelMapping& ) = default;

        ModelMapping( ModelMapping&& other ) noexcept
            : mappings_( std::move( other.mappings_ ) )
        {
            other.mappings_.clear();
        }

        ModelMapping& operator=( ModelMapping&& other ) noexcept
        {
            if( this != &other )
            {
                mappings_ = std::move( other.mappings_ );
                other.mappings_.clear();
            }
            return *this;
        }

        /// Adds the mapping of a type not yet present. A type already present
        /// throws OpenOrvaneException (no stack) and keeps its entry; the
        /// given mapping is then dropped.
        void emplace( const ComponentType& type, Mapping mapping )
        {
            if( mappings_.contains( type ) )
            {
                throw OpenOrvaneException{ OpenOrvaneException::no_stack,
                    "[ModelMapping::emplace] A mapping with the given "
                    "ComponentType is already present, cannot emplace another." };
            }
            mappings_.emplace( type, std::move( mapping ) );
        }

        bool has_mapping_type( const ComponentType& type ) const
        {
            return mappings_.contains( type );
        }

        /// Throws std::out_of_range when the type is absent.
        const Mapping& at( const ComponentType& type ) const
        {
            return mappings_.at( type );
        }

        /// Throws std::out_of_range when the type is absent.
        Mapping& at( const ComponentType& type )
        {
            return mappings_.at( type );
        }

        /// The types present, sorted by name.
        std::vector< ComponentType > mapping_types() const
        {
            return detail::sorted_keys( mappings_ );
        }

        std::size_t size() const
        {
            return mappings_.size();
        }

        bool empty() const
        {
            return mappings_.empty();
        }

    private:
        Storage mappings_;
    };

    using ElementsMapping = GenericMapping< MeshElement, MeshElement >;

    /// Mesh element (or mesh vertex) correspondences of the corners, the
    /// lines and the surfaces. A moved-from record is empty.
    struct MeshElementsMapping
    {
        ElementsMapping corners;
        ElementsMapping lines;
        ElementsMapping surfaces;
    };

    /// What a stage records of where each input went: components per type,
    /// mesh elements and mesh vertices. A moved-from record is empty.
    struct ModelMappings
    {
        ModelMapping< GenericMapping< uuid, uuid > > component_mapping;
        MeshElementsMapping mesh_elements_mapping;
        MeshElementsMapping mesh_vertices_mapping;
    };

    namespace detail
    {
        /// Composes two model mappings (A to B, then B to C) into A to C:
        /// component mappings type by type, and the element and vertex
        /// mappings of corners, lines and surfaces.
        ///
        /// For every a -> b in the first mapping and b -> c in the second, c
        /// is listed once for a, however many b lead there, in the order of
        /// first appearance. Every input of the first mapping stays an input
        /// of the result, with an empty list when none of its outputs maps
        /// any further; a component type that the second mapping lacks thus
        /// keeps its inputs with empty lists.
        ModelMappings merge_mappings(
            const ModelMappings& first, const ModelMappings& second );

        /// Composes a component mapping with a one-to-one component mapping,
        /// type by type, under the same rules.
        ModelMapping< GenericMapping< uuid, uuid > > merge_mappings(
            const ModelMapping< GenericMapping< uuid, uuid > >& first,
            const ModelMapping< BijectiveMapping< uuid, uuid > >& second );
    } // namespace detail
} // namespace orvane
