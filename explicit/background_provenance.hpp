#pragma once

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include <openorvane/basic/mapping.hpp>
#include <openorvane/basic/types.hpp>

namespace orvane
{
    template < index_t dimension >
    class TetrahedralSolid;
    template < typename T >
    class ReadOnlyAttribute;

    namespace detail
    {
        /// Whether every record of `included` has an equal record in
        /// `container` (true for an empty `included`). Lists are short:
        /// linear scans.
        template < typename Record >
        [[nodiscard]] bool are_records_included(
            const std::vector< Record >& included,
            const std::vector< Record >& container )
        {
            return std::all_of( included.begin(), included.end(),
                [&container]( const Record& record ) {
                    return std::find( container.begin(), container.end(), record )
                           != container.end();
                } );
        }

        /// The records of `first` that also occur in `second`, in the order
        /// of `first`.
        template < typename Record >
        [[nodiscard]] std::vector< Record > common_records(
            const std::vector< Record >& first,
            const std::vector< Record >& second )
        {
            std::vector< Record > result;
            for( const auto& record : first )
            {
                if( std::find( second.begin(), second.end(), record )
                    != second.end() )
                {
                    result.push_back( record );
                }
            }
            return result;
        }
    } // namespace detail

    namespace internal
    {
        /// Read access to the provenance that a background solid keeps in
        /// attributes of its vertices, edges and facets: the input vertices a
        /// vertex is ("init_vertex_id"), the input curve edges an edge or a
        /// vertex lies on ("init_edge_id") and the input polygons a facet or
        /// a vertex lies on ("init_facet_id").
        ///
        /// The solid must have its edge and facet tables enabled and carry
        /// the five attributes; the constructor throws the attribute
        /// manager's OpenOrvaneException otherwise. The view only reads:
        /// several views of one solid may be used at once.
        class BackgroundProvenance
        {
        public:
            explicit BackgroundProvenance( const TetrahedralSolid< 3 >& solid );
            ~BackgroundProvenance();

            [[nodiscard]] const TetrahedralSolid< 3 >& solid() const
            {
                return solid_;
            }

            [[nodiscard]] const std::vector< MeshVertex >& init_vertex_ids(
                index_t vertex ) const;

            [[nodiscard]] const std::vector< MeshEdge >& vertex_init_edge_ids(
                index_t vertex ) const;

            [[nodiscard]] const std::vector< MeshPolygon >& vertex_init_facet_ids(
                index_t vertex ) const;

            [[nodiscard]] const std::vector< MeshEdge >& init_edge_ids(
                index_t edge ) const;

            [[nodiscard]] const std::vector< MeshPolygon >& init_facet_ids(
                index_t facet ) const;

            /// The edge of the edge table joining the two vertices.
            [[nodiscard]] std::optional< index_t > edge_from_vertices(
                const std::array< index_t, 2 >& vertices ) const;

            /// Whether each of the three vertex lists of `moved` is included
            /// in the corresponding list of `kept`.
            [[nodiscard]] bool is_provenance_included(
                index_t moved, index_t kept ) const;

            /// The facets of the facet table around the edge (a, b) that lie
            /// on some input polygon, ascending and without repetition.
            /// Throws std::bad_optional_access when a facet of a tetrahedron
            /// around the edge is missing from the table.
            [[nodiscard]] std::vector< index_t > facets_around_edge(
                const std::array< index_t, 2 >& edge ) const;

        private:
            const TetrahedralSolid< 3 >& solid_;
            std::shared_ptr< ReadOnlyAttribute< std::vector< MeshVertex > > >
                vertex_init_vertex_;
            std::shared_ptr< ReadOnlyAttribute< std::vector< MeshEdge > > >
                vertex_init_edge_;
            std::shared_ptr< ReadOnlyAttribute< std::vector< MeshPolygon > > >
                vertex_init_facet_;
            std::shared_ptr< ReadOnlyAttribute< std::vector< MeshEdge > > >
                edge_init_edge_;
            std::shared_ptr< ReadOnlyAttribute< std::vector< MeshPolygon > > >
                facet_init_facet_;
        };
    } // namespace internal
} // namespace orvane
