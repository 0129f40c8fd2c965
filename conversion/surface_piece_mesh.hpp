#pragma once

#include <string>
#include <utility>
#include <vector>

#include <absl/types/span.h>

#include <openorvane/basic/mapping.hpp>
#include <openorvane/basic/types.hpp>
#include <openorvane/basic/uuid.hpp>
#include <openorvane/mesh/surface_mesh.hpp>
#include <openorvane/mesh/surface_mesh_builder.hpp>
#include <openorvane/mesh/surface_mesh_merger.hpp>

namespace orvane
{
    namespace detail
    {
        /// The merged surface that a model build cuts into pieces, with what
        /// links it to the input meshes. Only read while pieces are built.
        struct MergedSurfaces
        {
            absl::Span< const SurfaceMesh< 3 >* const > inputs;
            const SurfaceMeshMerger< 3 >& merger;
            const SurfaceMesh< 3 >& merged;
            /// The unique vertex of each merged vertex.
            absl::Span< const index_t > unique_of;
        };

        /// What building one piece gives back for the steps that change the
        /// model, done afterwards piece by piece in order.
        struct SurfacePieceMesh
        {
            /// The unique vertex of each vertex of the piece's mesh.
            std::vector< index_t > unique_vertices;
            /// The input meshes behind the piece: those of its first polygon
            /// first, then in the order its polygons name them.
            std::vector< uuid > input_ids;
            /// The names of the first polygon's input meshes, joined.
            std::string name;
        };

        /// The number of input polygons behind the merged polygons.
        [[nodiscard]] std::size_t nb_polygon_origins(
            const SurfaceMeshMerger< 3 >& merger, absl::Span< const index_t > polygons );

        /// Fills the empty mesh of a surface (whose uuid is `surface_id`)
        /// with the merged polygons of one piece, in order: a vertex per
        /// unique vertex met, in order of first use. Imports the vertex and
        /// polygon attributes of every input behind the piece, computes the
        /// adjacencies and unsets those across the merged surface's borders.
        /// Writes (input polygon, piece polygon) for every input polygon
        /// behind the piece, input by input, to `polygon_entries`, which
        /// holds nb_polygon_origins of the piece's polygons.
        ///
        /// Touches only the given mesh, so pieces may be built side by side.
        /// `polygon_map` spans the merged polygons: the call writes (and
        /// then resets to NO_ID) the entries of the piece's polygons only,
        /// so that pieces built side by side may share it. `vertex_map`
        /// spans the unique vertices, all NO_ID: a scratch table of the
        /// caller's thread, left all NO_ID again.
        [[nodiscard]] SurfacePieceMesh build_surface_piece_mesh( const MergedSurfaces& merged,
            absl::Span< const index_t > polygons,
            const uuid& surface_id,
            const SurfaceMesh< 3 >& mesh,
            SurfaceMeshBuilder< 3 >& builder,
            absl::Span< index_t > polygon_map,
            absl::Span< index_t > vertex_map,
            absl::Span< std::pair< MeshElement, MeshElement > > polygon_entries );
    } // namespace detail
} // namespace orvane
