#pragma once

#include <memory>

#include <absl/types/span.h>

#include <openorvane/basic/types.hpp>
#include <openorvane/mesh/mesh_merger_common.hpp>

namespace orvane
{
    template < index_t dimension >
    class SurfaceMesh;
    template < index_t dimension >
    class TriangulatedSurface;

    namespace detail
    {
        /// Merges several surfaces into one triangulated surface.
        ///
        /// - Vertices closer than the tolerance become one merged vertex.
        ///   Input vertices are scanned mesh after mesh, in index order; a
        ///   vertex joins the first merged vertex within the tolerance, or
        ///   starts a new one at its own point. Merged vertices are thus
        ///   numbered in order of first occurrence and pairwise farther apart
        ///   than the tolerance.
        /// - A polygon that gets a repeated merged vertex is dropped
        ///   (polygon_in_merged answers NO_ID).
        /// - Polygons on the same set of merged vertices become one merged
        ///   polygon, numbered in order of first occurrence, with the vertex
        ///   order of its first origin and every origin listed.
        /// - Adjacency comes only from the inputs: two merged polygons are
        ///   linked across an edge when every origin of each sees the other
        ///   across that edge in its own input. Polygons of different inputs
        ///   are never linked, and an input border edge stays a border.
        ///
        /// The tables are computed on construction; the inputs must outlive
        /// the merger only until then. Queries are safe concurrently.
        template < index_t dimension >
        class SurfaceMeshMerger
        {
        public:
            /// Throws OpenOrvaneException when an input has a non-finite
            /// coordinate, a polygon that is not a triangle or an index past
            /// the end, or when the tolerance is negative or not finite.
            SurfaceMeshMerger(
                absl::Span< const SurfaceMesh< dimension >* const > surfaces,
                double tolerance );
            SurfaceMeshMerger( SurfaceMeshMerger&& other ) noexcept;
            SurfaceMeshMerger& operator=( SurfaceMeshMerger&& other ) noexcept;
            ~SurfaceMeshMerger();

            /// A new surface of the default triangulated implementation with
            /// the merged vertices, polygons and adjacencies. Each call makes
            /// a new mesh from the same tables.
            std::unique_ptr< TriangulatedSurface< dimension > > merge() const;

            index_t nb_merged_vertices() const;

            index_t nb_merged_polygons() const;

            /// The merged vertex of vertex `vertex_id` of input `mesh_index`.
            /// Throws OpenOrvaneException for an index past the end.
            index_t vertex_in_merged( index_t mesh_index, index_t vertex_id ) const;

            /// The merged polygon of polygon `polygon_id` of input
            /// `mesh_index`, NO_ID when it was dropped. Throws
            /// OpenOrvaneException for an index past the end.
            index_t polygon_in_merged(
                index_t mesh_index, index_t polygon_id ) const;

            /// The input vertices merged into the vertex, in input order.
            absl::Span< const MergeOrigin > vertex_origins( index_t vertex_id ) const;

            /// The input polygons merged into the polygon, in input order.
            absl::Span< const MergeOrigin > polygon_origins(
                index_t polygon_id ) const;

        private:
            class Impl;
            std::unique_ptr< Impl > impl_;
        };
    } // namespace detail
} // namespace orvane
