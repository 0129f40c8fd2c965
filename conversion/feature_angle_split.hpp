#pragma once

#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#include <absl/container/inlined_vector.h>

#include <openorvane/basic/mapping.hpp>
#include <openorvane/geometry/point.hpp>
#include <openorvane/mesh/edged_curve.hpp>
#include <openorvane/mesh/mesh_records.hpp>
#include <openorvane/mesh/point_set.hpp>
#include <openorvane/mesh/surface_mesh.hpp>
#include <openorvane/model/brep.hpp>

namespace orvane
{
    namespace detail
    {
        /// One entry per polygon: its unit normal, or nothing.
        using PolygonNormals = absl::InlinedVector< std::optional< Vector< 3 > >, 8 >;

        /// Rebuilds the model so that its sharp features become components:
        /// the line vertices where the two edges make an angle of at most
        /// `angle` degrees become corners, and the surface edges where the
        /// two polygons' normals differ by at least 180 - `angle` degrees
        /// become lines (cutting surfaces apart where they separate them).
        ///
        /// Works on clones of the component meshes that keep their
        /// components' uuids, so the mappings of the result are keyed by the
        /// components of `model`, which is not changed. The result does not
        /// depend on the number of threads.
        ///
        /// Throws "[Point::operator/] Cannot divide Point by something close
        /// to zero" for a line edge of zero length met by the angle test.
        std::tuple< BRep, ModelMappings > split_brep_by_feature_angle(
            const BRep& model, double angle );

        /// cos( (180 - angle) degrees ): a dot product of unit vectors at or
        /// below it is sharp.
        double feature_angle_threshold( double angle );

        /// Clones of the component meshes, in model order, each carrying its
        /// component's uuid.
        std::vector< std::unique_ptr< PointSet< 3 > > > clone_corner_meshes(
            const BRep& model );
        std::vector< std::unique_ptr< EdgedCurve< 3 > > > clone_line_meshes(
            const BRep& model );
        std::vector< std::unique_ptr< SurfaceMesh< 3 > > > clone_surface_meshes(
            const BRep& model );

        /// A new point set holding, for every line vertex with exactly two
        /// edges whose directions d1 (into the vertex) and d2 (out of it)
        /// satisfy d1 . d2 <= threshold, the vertex's point; lines in order,
        /// vertices in index order.
        std::unique_ptr< PointSet< 3 > > sharp_line_vertices(
            absl::Span< const std::unique_ptr< EdgedCurve< 3 > > > lines,
            double angle );

        /// Unsets, in each surface, the adjacency across every edge between
        /// two polygons whose normals make a dot product at or below the
        /// threshold. Surfaces are handled one after the other; within one
        /// surface the search runs as pool tasks over ranges of polygons and
        /// one continuation applies the cuts in range order.
        void split_surfaces_along_sharp_edges(
            absl::Span< const std::unique_ptr< SurfaceMesh< 3 > > > surfaces,
            double angle );

        /// The unit normal of every polygon. A degenerate polygon takes the
        /// normal of the first neighbour with one met over its edges, spread
        /// depth first to its whole region of polygons without normal; a
        /// region in which no polygon has a normal keeps none.
        PolygonNormals polygon_normals( const SurfaceMesh< 3 >& mesh );

        /// The sharp edges seen from the polygons of [begin, end): for each
        /// polygon edge whose neighbour has a normal and an index not below
        /// the polygon's, and whose normals' dot product is at most the
        /// threshold, the edge and then its neighbour's edge.
        std::vector< PolygonEdge > find_sharp_edges( const SurfaceMesh< 3 >& mesh,
            const PolygonNormals& normals,
            double threshold,
            index_t begin,
            index_t end );

        /// Unsets the adjacency across every listed edge, lists in order.
        void unset_sharp_edges( SurfaceMesh< 3 >& mesh,
            absl::Span< const std::vector< PolygonEdge > > sharp_edges );

        /// The raw pointers of owned meshes, in order.
        template < typename Mesh >
        std::vector< const Mesh* > mesh_pointers(
            const std::vector< std::unique_ptr< Mesh > >& meshes )
        {
            std::vector< const Mesh* > pointers;
            pointers.reserve( meshes.size() );
            for( const auto& mesh : meshes )
            {
                pointers.push_back( mesh.get() );
            }
            return pointers;
        }
    } // namespace detail
} // namespace orvane
