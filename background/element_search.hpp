#pragma once

#include <memory>
#include <utility>

#include <openorvane/basic/types.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/tetrahedral_solid.hpp>

namespace orvane
{
    namespace internal
    {
        template < typename Mesh >
        class ElementSearchBuilder;

        /// Search of the element of a mesh closest to a point.
        ///
        /// The search works on a snapshot: a copy of the mesh taken when the
        /// search was last built (ElementSearchBuilder::update_element_search)
        /// and a box tree over the copy's elements. Edits made to the mesh
        /// afterwards are not seen, and the element indices it answers are
        /// those of the snapshot. Empty until the first build.
        template < typename Mesh >
        class ElementSearch
        {
            friend class ElementSearchBuilder< Mesh >;

        public:
            ElementSearch();
            ElementSearch( const ElementSearch& ) = delete;
            ElementSearch& operator=( const ElementSearch& ) = delete;
            ~ElementSearch();

            /// The element of the snapshot closest to the point and its
            /// distance (0 inside the element); (NO_ID, 0) when the snapshot
            /// has no element or was never built. Between equally close
            /// elements the one met first stays; at each tree node the child
            /// whose box is nearer is searched first, the second child on a
            /// tie.
            [[nodiscard]] std::pair< index_t, double > closest_element(
                const Point< Mesh::dim >& point ) const;

        private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };

        /// Rebuilds the search of a mesh.
        template < typename Mesh >
        class ElementSearchBuilder
        {
        public:
            explicit ElementSearchBuilder( ElementSearch< Mesh >& search );

            /// Replaces the snapshot by a fresh clone of `mesh` and builds a
            /// new tree over it; the previous snapshot is released.
            void update_element_search( const Mesh& mesh );

        private:
            ElementSearch< Mesh >& search_;
        };
    } // namespace internal
} // namespace orvane
