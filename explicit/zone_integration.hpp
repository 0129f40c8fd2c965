#pragma once

#include <vector>

#include <absl/container/flat_hash_map.h>
#include <absl/container/inlined_vector.h>
#include <absl/types/span.h>

#include <openorvane/basic/async.hpp>
#include <openorvane/basic/mapping.hpp>
#include <openorvane/basic/variable_attribute.hpp>

#include <explicit/component_resolution.hpp>
#include <explicit/modeler_meshes.hpp>
#include <explicit/problematic_elements.hpp>

namespace orvane
{
    namespace internal
    {
        /// The provenance of a current element: the indices of the elements
        /// of its mesh as it was added that it derives from.
        using ElementOriginList = absl::InlinedVector< index_t, 1 >;

        /// Name of the provenance attribute of current polygons and edges.
        inline constexpr const char* ELEMENT_ORIGIN_ATTRIBUTE = "mesh_element_origin";

        /// The pass status after a zone of status `zone`: the first zone's
        /// status (from 3, no zone yet), kept while the zones agree, 1 as
        /// soon as they disagree.
        int combine_status( int pass, int zone );

        /// Puts the zones' pieces in place of the elements they replace. The
        /// zones are taken in order: each one's failure is rethrown when its
        /// turn comes, leaving the zones before it appended and nothing
        /// deleted. Once every zone is appended, the replaced polygons and
        /// edges are deleted, then the degenerate ones (one task per mesh).
        /// Returns the pass status (3 without zone).
        int merge_component_results( const ModelerMeshes& meshes,
            std::vector< async::Task< ComponentResolution > >& zones );

        /// Appends every surface piece of the zone to its current surface,
        /// each new polygon inheriting the provenance of the polygons of its
        /// surface it lies on, which are added to `removal`. The pieces of a
        /// surface are taken by increasing input polygon. Throws
        /// std::out_of_range for a current surface the zone has no entry
        /// for.
        void integrate_extracted_surfaces( const ModelerMeshes& meshes,
            const ComponentResolution& resolution,
            ProblematicElements& removal );

        /// The same for the curves.
        void integrate_extracted_curves( const ModelerMeshes& meshes,
            const ComponentResolution& resolution,
            ProblematicElements& removal );

        /// Appends the piece's triangles to the surface and returns the
        /// surface's polygon count before. A piece vertex that is a vertex of
        /// the surface reuses it; the others are created once per background
        /// vertex, shared through `vertex_map` by all pieces of one zone.
        index_t append_extracted_surface( TriangulatedSurface< 3 >& surface,
            const ExtractedSurface& piece,
            absl::flat_hash_map< index_t, index_t >& vertex_map );

        /// Appends the extracted curve's edges to the curve and returns the
        /// curve's edge count before. A vertex that is a vertex of the curve
        /// reuses it; the others are created.
        index_t append_extracted_curve( EdgedCurve< 3 >& curve, const ExtractedCurve& piece );

        /// Gives the new element the concatenated provenance of the listed
        /// elements of `mesh` (entries of other meshes are ignored) and adds
        /// them to the mesh's list in `removal`.
        template < typename Element >
        void inherit_origins( const uuid& mesh,
            VariableAttribute< ElementOriginList >& origins,
            absl::Span< const Element > replaced,
            ProblematicElements::ElementLists& removal,
            index_t new_element )
        {
            for( const auto& element : replaced )
            {
                if( element.mesh_id != mesh )
                {
                    continue;
                }
                const auto inherited = origins.value( element.element );
                origins.modify_value( new_element, [&inherited]( ElementOriginList& list ) {
                    list.insert( list.end(), inherited.begin(), inherited.end() );
                } );
                removal[mesh].push_back( element.element );
            }
        }

        /// Deletes the flagged polygons, recomputes every adjacency from the
        /// vertices and deletes the vertices and edge-table entries no
        /// polygon uses any more.
        void delete_surface_polygons(
            TriangulatedSurface< 3 >& surface, const std::vector< bool >& to_delete );

        /// Deletes the listed polygons and edges of every current mesh, one
        /// task per mesh; polygon adjacencies are recomputed and the
        /// vertices left unused are deleted. The first failure in mesh order
        /// is rethrown once every task has ended.
        void remove_replaced_elements(
            const ModelerMeshes& meshes, const ProblematicElements& removal );
    } // namespace internal
} // namespace orvane
