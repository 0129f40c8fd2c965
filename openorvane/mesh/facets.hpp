#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/types.hpp>

namespace orvane
{
    class AttributeManager;
    template < index_t dimension >
    class SolidMesh;
    template < index_t dimension >
    class SolidFacetsBuilder;

    /// The vertices of one facet, in the order in which it was registered.
    using PolyhedronFacetVertices = absl::InlinedVector< index_t, 3 >;

    /// The facet table of a solid: one entry per distinct facet, keyed by its
    /// unordered set of vertices, with its own attribute manager.
    ///
    /// Entries are created by the solid's builder whenever a polyhedron that
    /// uses them is created or changed, and they keep their index through
    /// every edit of the solid. Only `SolidFacetsBuilder::delete_isolated_facets`
    /// removes entries, so that attributes stored on facets survive the
    /// deletion and re-creation of the polyhedra around them.
    template < index_t dimension >
    class SolidFacets
    {
        friend class SolidFacetsBuilder< dimension >;

    public:
        SolidFacets();
        /// Builds the table of every facet of every polyhedron of `solid`,
        /// in polyhedron order then local facet order.
        explicit SolidFacets( const SolidMesh< dimension >& solid );
        SolidFacets( SolidFacets&& ) noexcept;
        SolidFacets& operator=( SolidFacets&& ) noexcept;
        ~SolidFacets();

        index_t nb_facets() const;

        /// The facet's vertices as they were first registered. A facet one
        /// of whose vertices was deleted keeps NO_ID in that place.
        const PolyhedronFacetVertices& facet_vertices( index_t facet_id ) const;

        /// The facet made of these vertices, in any order, if registered.
        std::optional< index_t > facet_from_vertices(
            const PolyhedronFacetVertices& vertices ) const;

        /// True when no polyhedron of `solid` uses the facet.
        bool is_facet_isolated(
            index_t facet_id, const SolidMesh< dimension >& solid ) const;

        AttributeManager& facet_attribute_manager() const;

    private:
        class Impl;
        std::unique_ptr< Impl > impl_;
    };

    /// Edits the facet table of a solid.
    template < index_t dimension >
    class SolidFacetsBuilder
    {
    public:
        SolidFacetsBuilder(
            SolidFacets< dimension >& facets, const SolidMesh< dimension >& solid );

        /// The index of the facet made of these vertices, created at the end
        /// of the table (with default attribute values) when missing. An
        /// isolated facet that is still registered is returned as it is.
        index_t find_or_create_facet( PolyhedronFacetVertices vertices );

        /// Renumbers the facets' vertices after a deletion of vertices.
        /// A facet that loses a vertex can no longer be found from vertices;
        /// it keeps its index until `delete_isolated_facets`.
        void update_facet_vertices( const std::vector< index_t >& old2new );

        /// Removes the flagged facets, compacts their attributes and returns
        /// the old-to-new vector.
        std::vector< index_t > delete_facets( const std::vector< bool >& to_delete );

        /// Removes every facet that no polyhedron of the solid uses and
        /// returns the old-to-new vector.
        std::vector< index_t > delete_isolated_facets();

        /// Makes the table a copy of `other`, attributes included.
        void copy( const SolidFacets< dimension >& other );

    private:
        SolidFacets< dimension >& facets_;
        const SolidMesh< dimension >& solid_;
    };
} // namespace orvane
