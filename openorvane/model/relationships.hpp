#pragma once

#include <memory>
#include <vector>

#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/model/component.hpp>

namespace orvane
{
    class RelationshipsBuilder;

    /// The boundary and internal relationships between the components of a
    /// model, kept in both directions:
    /// - a boundary relationship (b, c) lists b among the boundaries of c and
    ///   c among the incidences of b (a corner bounds a line, a line bounds a
    ///   surface, a surface bounds a block);
    /// - an internal relationship (i, e) lists i among the internals of e
    ///   and e among the embeddings of i (a line or corner inside a surface,
    ///   a surface, line or corner inside a block).
    ///
    /// Every list keeps the order in which the relationships were added. A
    /// component is known from its registration by the model builder on;
    /// queries of an unknown uuid throw std::out_of_range. Only
    /// RelationshipsBuilder writes; reads never write. A moved-from object
    /// is valid and empty.
    class Relationships
    {
        friend class RelationshipsBuilder;

    public:
        Relationships();
        Relationships( Relationships&& other ) noexcept;
        Relationships& operator=( Relationships&& other ) noexcept;
        virtual ~Relationships();

        bool is_registered( const uuid& id ) const;

        index_t nb_boundaries( const uuid& id ) const;

        index_t nb_incidences( const uuid& id ) const;

        index_t nb_internals( const uuid& id ) const;

        /// The number of components holding the component as internal.
        index_t nb_embeddings( const uuid& id ) const;

        const std::vector< ComponentID >& boundaries( const uuid& id ) const;

        const std::vector< ComponentID >& incidences( const uuid& id ) const;

        const std::vector< ComponentID >& internals( const uuid& id ) const;

        const std::vector< ComponentID >& embeddings( const uuid& id ) const;

        bool is_boundary( const uuid& boundary, const uuid& incidence ) const;

        bool is_internal( const uuid& internal, const uuid& embedding ) const;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };

    /// Writes the relationships of a model.
    class RelationshipsBuilder
    {
    public:
        explicit RelationshipsBuilder( Relationships& relationships );
        virtual ~RelationshipsBuilder();

        /// Makes the component known, with no relationship. Registering it
        /// again does nothing.
        void register_component( const ComponentID& id );

        /// Drops the component and every relationship that names it, on
        /// both sides.
        void unregister_component( const uuid& id );

        /// Records `boundary` as a boundary of `incidence`. Both must be
        /// registered (std::out_of_range otherwise). A relationship already
        /// recorded is not recorded twice.
        void add_boundary_relation(
            const ComponentID& boundary, const ComponentID& incidence );

        /// Records `internal` as internal to `embedding`, under the same
        /// rules.
        void add_internal_relation(
            const ComponentID& internal, const ComponentID& embedding );

    private:
        Relationships& relationships_;
    };
} // namespace orvane
